#include "probe.h"

#include "driver_service.h"
#include "platform_api.h"

DWORD QueryPlatformId(PlatformApi& api)
{
    // Zeroed, so that a failed query leaves platform id 0 (the 95/98/Me
    // family) rather than whatever was on the stack.
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    api.GetVersionExA(&version);
    return version.dwPlatformId;
}

InstallState ProbeInstallState()
{
    PlatformApi& api = ActivePlatformApi();

    InstallState state;
    state.isNT = QueryPlatformId(api) == VER_PLATFORM_WIN32_NT;

    if (!state.isNT) {
        state.osText = kTexts.osName9x;
        state.statusText = kTexts.statusNotNeeded;
        state.installEnabled = false;
        state.removeEnabled = false;
        return state;
    }

    state.osText = kTexts.osNameNT;
    SC_HANDLE manager = api.OpenSCManagerA(nullptr, nullptr, kDriverService.managerAccess);
    SC_HANDLE service = api.OpenServiceA(manager, kDriverService.serviceName,
                                         kDriverService.serviceAccess);
    if (service) {
        state.statusText = kTexts.statusInstalled;
        state.installEnabled = false;
        state.removeEnabled = true;
    } else {
        state.statusText = kTexts.statusNotInstalled;
        state.installEnabled = true;
        state.removeEnabled = false;
    }
    api.CloseServiceHandle(service);
    api.CloseServiceHandle(manager);
    return state;
}

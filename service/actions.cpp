#include "actions.h"

#include "driver_service.h"
#include "gather.h"
#include "image_path.h"
#include "platform_api.h"
#include "refusal_notice.h"
#include "text_route.h"

namespace {

Notice Success(const char* text)
{
    return Notice{text, kTexts.captionSuccess, MB_ICONINFORMATION};
}

Notice Failure(const char* text, const char* caption)
{
    return Notice{text, caption, MB_ICONERROR};
}

// Registers the driver service through the wide interface, so that the path
// is stored exactly as the folder is named, on every NT and in every code
// page; its names as this system shows our texts (text_route.h). Null with
// the reason in `error` when it was not registered.
SC_HANDLE CreateDriverService(PlatformApi& api, SC_HANDLE manager, const wchar_t* imagePath,
                              DWORD& error)
{
    WideText name(api, kDriverService.serviceName);
    WideText displayName(api, kDriverService.displayName);
    if (!name || !displayName) {
        error = ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    SC_HANDLE service = api.CreateServiceW(
        manager, name, displayName, kDriverService.serviceAccess, kDriverService.serviceType,
        kDriverService.startType, kDriverService.errorControl, imagePath, nullptr, nullptr,
        nullptr, nullptr, nullptr);
    if (!service)
        error = api.GetLastError();
    return service;
}

}  // namespace

DWORD InstallDriverService(bool isNT, NoticeSink& sink)
{
    if (!isNT)
        return ERROR_CANCELLED;

    PlatformApi& api = ActivePlatformApi();
    char message[kNoticeBufferSize];

    // Without the current directory nothing is registered; nor from a place
    // others could change, since Windows loads the driver from there into
    // the kernel at every start. The box says which place, why, and what to
    // do.
    ImagePath imagePath;
    DWORD unreadable = imagePath.Form(api);
    FolderVerdict verdict =
        unreadable != ERROR_SUCCESS
            ? FolderVerdict{Refusal::DirectoryUnreadable, unreadable, 0}
            : CheckDriverFolder(api, imagePath.c_str(), imagePath.FolderLength());
    if (verdict.refusal != Refusal::None) {
        RefusalNotice refusal(api, verdict, imagePath.c_str());
        sink.ShowNotice(refusal.notice());
        return verdict.code;
    }

    SC_HANDLE manager = api.OpenSCManagerA(nullptr, nullptr, kDriverService.managerAccess);
    DWORD outcome = ERROR_SUCCESS;
    SC_HANDLE service = CreateDriverService(api, manager, imagePath.c_str(), outcome);

    Notice notice;
    if (!service) {
        FormatErrorNotice(message, kTexts.formatCreateFailed, outcome);
        notice = Failure(message, kTexts.captionInstallFailure);
    } else if (!api.StartServiceA(service, 0, nullptr)) {
        // The registration stays: the probe will find it and offer Remove.
        outcome = api.GetLastError();
        FormatErrorNotice(message, kTexts.formatStartFailed, outcome);
        notice = Failure(message, kTexts.captionInstallFailure);
    } else {
        notice = Success(kTexts.noticeInstalled);
    }
    sink.ShowNotice(notice);

    api.CloseServiceHandle(service);
    api.CloseServiceHandle(manager);
    return outcome;
}

DWORD RemoveDriverService(bool isNT, NoticeSink& sink)
{
    if (!isNT)
        return ERROR_CANCELLED;

    PlatformApi& api = ActivePlatformApi();
    char message[kNoticeBufferSize];

    SC_HANDLE manager = api.OpenSCManagerA(nullptr, nullptr, kDriverService.managerAccess);
    SC_HANDLE service = api.OpenServiceA(manager, kDriverService.serviceName,
                                         kDriverService.serviceAccess);
    if (!service) {
        DWORD notFound = api.GetLastError();
        api.CloseServiceHandle(manager);
        return notFound;
    }

    // The stop is not waited on; a driver that is not running fails here and
    // the deletion is attempted all the same.
    SERVICE_STATUS status;
    if (!api.ControlService(service, SERVICE_CONTROL_STOP, &status)) {
        FormatErrorNotice(message, kTexts.formatStopFailed, api.GetLastError());
        sink.ShowNotice(Failure(message, kTexts.captionRemoveFailure));
    }

    // A deletion only marks the service: its registration goes once the
    // driver has stopped. One that did not stop (no unload routine, devices
    // still open) stays in the kernel until the next restart, and the removal
    // waits for it. A deletion refused as already marked is an earlier
    // Remove's, waiting the same way.
    DWORD outcome = ERROR_SUCCESS;
    if (!api.DeleteService(service)) {
        outcome = api.GetLastError();
        FormatErrorNotice(message, kTexts.formatDeleteFailed, outcome);
        sink.ShowNotice(Failure(message, kTexts.captionRemoveFailure));
        if (outcome == ERROR_SERVICE_MARKED_FOR_DELETE)
            outcome = ERROR_SUCCESS_REBOOT_REQUIRED;
    } else {
        sink.ShowNotice(Success(kTexts.noticeRemoved));
        SERVICE_STATUS after;
        if (!api.QueryServiceStatus(service, &after) || after.dwCurrentState != SERVICE_STOPPED)
            outcome = ERROR_SUCCESS_REBOOT_REQUIRED;
    }

    api.CloseServiceHandle(service);
    api.CloseServiceHandle(manager);
    return outcome;
}

#include "actions.h"

#include "driver_service.h"
#include "folder_check.h"
#include "image_path.h"
#include "platform_api.h"
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

// Registers the driver service. Where the system would misread the GBK
// display name, through the wide interface: the display name converted from
// 936, the image path from the ANSI code page (the path was formed only after
// that conversion proved to name the folder exactly). Through the ANSI
// interface otherwise, and when a conversion fails.
SC_HANDLE CreateDriverService(PlatformApi& api, SC_HANDLE manager, const char* imagePath)
{
    if (SystemTextRoute(api, VER_PLATFORM_WIN32_NT) == TextRoute::Wide) {
        WideText name(api, kTextsCodePage, kDriverService.serviceName);
        WideText displayName(api, kTextsCodePage, kDriverService.displayName);
        WideText widePath(api, CP_ACP, imagePath);
        if (name && displayName && widePath)
            return api.CreateServiceW(manager, name, displayName, kDriverService.serviceAccess,
                                      kDriverService.serviceType, kDriverService.startType,
                                      kDriverService.errorControl, widePath, nullptr, nullptr,
                                      nullptr, nullptr, nullptr);
    }
    return api.CreateServiceA(manager, kDriverService.serviceName, kDriverService.displayName,
                              kDriverService.serviceAccess, kDriverService.serviceType,
                              kDriverService.startType, kDriverService.errorControl, imagePath,
                              nullptr, nullptr, nullptr, nullptr, nullptr);
}

}  // namespace

DWORD InstallDriverService(bool isNT, NoticeSink& sink)
{
    if (!isNT)
        return ERROR_CANCELLED;

    PlatformApi& api = ActivePlatformApi();
    char message[kNoticeBufferSize];

    // Without a complete, faithful path nothing is registered; nor from a
    // folder others could change, since Windows loads the driver from there
    // into the kernel at every start. The install is reported as failed,
    // with the reason.
    ImagePath imagePath;
    DWORD refusal = imagePath.Form(api);
    if (refusal == ERROR_SUCCESS)
        refusal = CheckDriverFolder(api, imagePath.c_str());
    if (refusal != ERROR_SUCCESS) {
        FormatErrorNotice(message, kTexts.formatCreateFailed, refusal);
        sink.ShowNotice(Failure(message, kTexts.captionInstallFailure));
        return refusal;
    }

    SC_HANDLE manager = api.OpenSCManagerA(nullptr, nullptr, kDriverService.managerAccess);
    SC_HANDLE service = CreateDriverService(api, manager, imagePath.c_str());

    Notice notice;
    DWORD outcome = ERROR_SUCCESS;
    if (!service) {
        outcome = api.GetLastError();
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

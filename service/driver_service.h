// The one driver service this installer knows about, and the texts it shows.
#pragma once

#include <windows.h>

// Fixed parameters of the KESTRAMO kernel-driver service.
struct DriverServiceDefinition {
    const char* serviceName;
    const char* displayName;       // code page 936
    const wchar_t* driverFileSuffix;  // appended to the current directory
    DWORD serviceType;
    DWORD startType;
    DWORD errorControl;
    DWORD managerAccess;
    DWORD serviceAccess;
    // Load-order group, tag, dependencies, start account and password are
    // always passed as null.
};

extern const DriverServiceDefinition kDriverService;

// Runtime texts, as the code-page-936 (GBK) bytes the ANSI APIs are handed.
struct InstallTexts {
    const char* osNameNT;
    const char* osName9x;
    const char* statusNotNeeded;
    const char* statusInstalled;
    const char* statusNotInstalled;
    const char* noticeInstalled;
    const char* noticeRemoved;
    const char* formatCreateFailed;  // each format takes one DWORD, as %02x
    const char* formatStartFailed;
    const char* formatStopFailed;
    const char* formatDeleteFailed;
    const char* captionSuccess;
    const char* captionInstallFailure;
    const char* captionRemoveFailure;
};

extern const InstallTexts kTexts;

// The box of the program's own refusal to register the driver from where
// it lies: the heading with the code, then which place, why, and what to do.
struct RefusalTexts {
    const char* heading;  // takes the code, as %02x
    const char* place;    // before the place's path
    const char* directoryUnreadable;
    const char* tokenUnreadable;
    const char* placeUnreadable;
    const char* notLocalDisk;
    const char* notWindowsDrive;
    const char* nameEndsInSpaceOrDot;
    const char* link;
    const char* othersCanChange;
    const char* copyUnderProgramFiles;  // what to do
};

extern const RefusalTexts kRefusalTexts;

// The code page the texts above, and the display name, are written in.
const UINT kTextsCodePage = 936;

// A formatted error notice lives in a buffer of this size.
const int kNoticeBufferSize = 80;

// Formats one of the four error formats with the platform's error code.
// The result is always NUL-terminated within the buffer.
void FormatErrorNotice(char (&buffer)[kNoticeBufferSize], const char* format, DWORD errorCode);

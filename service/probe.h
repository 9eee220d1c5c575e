// Finds the OS family and whether the driver service is registered.
#pragma once

#include "platform_api.h"

struct InstallState {
    bool isNT;
    const char* osText;      // one of the OS names of kTexts
    const char* statusText;  // one of the status texts of kTexts
    bool installEnabled;
    bool removeEnabled;
};

// Asks the platform (through the active PlatformApi) and releases every
// handle it obtained before returning. Reports no failure: a manager that
// cannot be opened reads as "not installed".
InstallState ProbeInstallState();

// The platform id GetVersionExA reports through `api`; 0, the 95/98/Me
// family, when the query fails.
DWORD QueryPlatformId(PlatformApi& api);

// Finds the OS family and whether the driver service is registered.
#pragma once

struct InstallState {
    bool isNT;
    const char* osText;      // one of the OS names of kTexts
    const char* statusText;  // one of the status texts of kTexts
    bool installEnabled;
    bool removeEnabled;
};

// Asks the platform (through the active ServiceControlApi) and releases every
// handle it obtained before returning. Reports no failure: a manager that
// cannot be opened reads as "not installed".
InstallState ProbeInstallState();

// Gathers, through the platform, what decides whether the driver may be
// registered from a place, and asks folder_safety.h to judge it.
#pragma once

#include "platform_api.h"

// Checks, through `api`, the volume of `imagePath` (a path ending in
// "\KESTRAMO.SYS"), every folder from its root down to the driver's own, and
// the driver file, or the entries it would inherit when it is not there yet;
// who is trusted comes from the installer's token and the system's version.
// ERROR_SUCCESS when the driver can be registered from there;
// ERROR_DRIVER_BLOCKED when it must not be; the platform's code when a
// query fails.
DWORD CheckDriverFolder(PlatformApi& api, const char* imagePath);

// Gathers, through the platform, what decides whether the driver may be
// registered from a place, and asks judge.h to judge it.
#pragma once

#include "platform_api.h"
#include "verdict.h"

// Checks, through `api`, the volume of `imagePath` (the driver's path: its
// folder, `folderLength` characters, then the file's name), every folder
// from its root down to the driver's own, and the driver file, or the
// entries it would inherit when it is not there yet; who is trusted comes
// from the installer's token and the system's version. Says the first place
// refused and why, in the order the places are checked: the drive, each
// folder from the root down, the file.
FolderVerdict CheckDriverFolder(PlatformApi& api, const wchar_t* imagePath, size_t folderLength);

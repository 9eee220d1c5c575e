// Whether the folder a driver is registered from is safe: Windows loads the
// file at the registered path into the kernel at every start, so no one but
// the trusted principals (SYSTEM, Administrators, TrustedInstaller and the
// account the installer runs as) may be able to change or replace it.
#pragma once

#include "platform_api.h"

// What an untrusted principal must not be able to do to the driver's folder
// or to the driver file: write, append or add files, delete, delete
// children, change the DACL or the owner.
const DWORD kChangeRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_DELETE_CHILD | DELETE |
                            WRITE_DAC | WRITE_OWNER;
// What it must not be able to do to a folder above it, each of which would
// let it put a folder of its own in the driver folder's place: delete
// children, delete or rename the folder, change the DACL or the owner.
const DWORD kReplaceRights = FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER;

// A volume a driver may load from: a local fixed disk that keeps permissions.
bool IsTrustworthyVolume(UINT driveType, DWORD volumeFlags);

// True when, by this self-relative security descriptor of `size` bytes, only
// the trusted principals (`installerSid` among them) own the object and can
// be granted any of `rights` on it. Generic rights count as the file rights
// they stand for; inherit-only entries do not apply to the object; a deny
// entry counts where it certainly applies to the principal an allow entry
// after it names (the same SID, or Everyone). Anything that cannot be judged
// for certain (no DACL, no owner, an unknown entry type, a malformed
// descriptor) is false.
bool OnlyTrustedCanDo(const void* descriptor, DWORD size, DWORD rights, const void* installerSid);

// Checks, through `api`, the folder of `imagePath` (a path ending in
// "\KESTRAMO.SYS"), the driver file when it exists, and every folder above,
// up to the root of the volume. ERROR_SUCCESS when the driver can be
// registered from there; ERROR_DRIVER_BLOCKED when it must not be; the
// platform's code when a query fails.
DWORD CheckDriverFolder(PlatformApi& api, const char* imagePath);

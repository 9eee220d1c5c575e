// Why the driver may not be registered from where it lies, and which place
// was refused: what the refusal's box says.
#pragma once

#include <stddef.h>
#include <windows.h>

enum class Refusal {
    None,
    // A query failed; `code` is the query's.
    DirectoryUnreadable,  // the current directory (no place)
    TokenUnreadable,      // this program's own token (no place)
    PlaceUnreadable,      // the place: its volume, drive letter, attributes or permissions
    // The place is refused; `code` is ERROR_DRIVER_BLOCKED.
    NotLocalDisk,          // network, removable, CD, RAM disk; FAT or exFAT
    // Not the drive Windows is on: another disk, or a letter made with subst,
    // for a folder on a device, or (NT 4.0, 2000) by any user for everyone.
    NotWindowsDrive,
    NameEndsInSpaceOrDot,  // Win32 would read another name than the kernel opens
    Link,                  // a junction, symbolic link or mounted volume
    OthersCanChange,       // its owner or permissions let others than administrators change it
};

struct FolderVerdict {
    Refusal refusal;
    DWORD code;          // ERROR_SUCCESS where nothing is refused
    size_t placeLength;  // the place: the first this many characters of the driver's path
};

inline FolderVerdict Accepted()
{
    return FolderVerdict{Refusal::None, ERROR_SUCCESS, 0};
}

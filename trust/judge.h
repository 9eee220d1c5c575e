// The trust rule: whether the place a driver is registered from is safe.
// Windows loads the file at the registered path into the kernel at every
// start, so no one but the trusted principals may be able to change or
// replace it. These are pure functions of what the platform reports;
// gather.h gathers it.
#pragma once

#include <stddef.h>
#include <windows.h>

// What an untrusted principal must not be able to do to the driver file or
// its folder: write, append or add files, change attributes (enough to make
// an empty folder a junction), delete, delete children, change the DACL or
// the owner.
const DWORD kChangeRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_ATTRIBUTES |
                            FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER;
// What it must not be able to do to a folder above it, each of which would
// let it put a folder of its own in the driver folder's place: delete
// children, delete or rename the folder, change the DACL or the owner.
const DWORD kReplaceRights = FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER;

// A volume a driver may load from: a local fixed disk that keeps permissions.
inline bool IsTrustworthyVolume(UINT driveType, DWORD volumeFlags)
{
    return driveType == DRIVE_FIXED && (volumeFlags & FILE_PERSISTENT_ACLS) != 0;
}

// A file or folder the path to the driver may pass through: not a reparse
// point (a junction, a symbolic link, a mounted volume, a cloud or
// deduplicated file), whose target its owner may change at any time.
inline bool IsPlainFileOrFolder(DWORD attributes)
{
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// A name in the path that Win32 and the kernel read alike: not empty, and
// not ending in a space or a dot. Win32 drops those from a path's last name,
// so asking for "C:\Windows " reads C:\Windows, while the kernel opens the
// folder with the space, which any user may have made.
inline bool IsPlainName(const wchar_t* name, size_t length)
{
    return length > 0 && name[length - 1] != L' ' && name[length - 1] != L'.';
}

// Where the driver's path has two separators in a row, which it has in a
// drive root ("D:\\KESTRAMO.SYS"), the place of the second: the service
// manager drops it before the kernel opens the file, and a person does not
// type it. 0 where there is none.
inline size_t DoubledSeparator(const wchar_t* path, size_t length)
{
    return length > 3 && path[2] == L'\\' && path[3] == L'\\' ? 3 : 0;
}

// Whether a drive letter's target (QueryDosDevice) is a volume itself, as
// each system names one: "\Device\" and one name ("\Device\HarddiskVolume2",
// 2000 on); a partition of NT 4.0, which has no volume manager
// ("\Device\Harddisk0\Partition1"); a dynamic volume of 2000, XP and 2003
// ("\Device\HarddiskDmVolumes\<group>\Volume1"). A letter made with subst
// ("\??\C:\folder"), or for a folder on a device, is this session's own: at
// boot, where Windows loads the driver, the letter is missing or another
// volume's.
bool IsVolumeDevice(const wchar_t* target);

// Drive letters compared as Windows does, whatever their case.
bool IsSameDriveLetter(wchar_t letter, wchar_t other);

// What the installer's own token says of the account it runs as.
struct InstallerToken {
    bool elevationKnown;  // TokenElevationType answered: Vista and later
    TOKEN_ELEVATION_TYPE elevation;
    // For TokenElevationTypeDefault: the token holds INTERACTIVE, a sign-in
    // at a desktop, local or remote.
    bool interactive;
    // For TokenElevationTypeFull: the linked token was read and holds the
    // Administrators group enabled, not for deny only.
    bool linkedHoldsAdministrators;
};

// The installing account is trusted only where none of its processes runs
// without administrators' rights: before Vista; a sign-in at a desktop
// without a linked token (UAC off, the built-in Administrator); or a linked
// token that is itself an administrator's. Under UAC the linked token is the
// unelevated one, which every other program of the account runs with. A
// network, batch or service sign-in has no linked token even for an account
// UAC splits at the desktop, so it says nothing of the account's programs.
bool TrustsInstallingAccount(const InstallerToken& token);

// Power Users are administrators in all but name before Vista, where Windows
// grants them Modify on its own programs and system files; from Vista on
// they are ordinary users. A system whose version query says 5 but which
// answers the elevation query is Vista or later in a compatibility mode.
bool TrustsPowerUsers(DWORD majorVersion, const InstallerToken& token);

// Whether a TOKEN_GROUPS of `size` bytes holds the Administrators group
// enabled and not for deny only. Malformed: false.
bool HoldsAdministrators(const void* tokenGroups, DWORD size);
// The same for INTERACTIVE.
bool HoldsInteractive(const void* tokenGroups, DWORD size);

// Who may change the driver, besides SYSTEM, Administrators and
// TrustedInstaller.
struct TrustedPrincipals {
    const void* account;  // the installing account's SID, or null
    bool powerUsers;
};

// True when, by this self-relative security descriptor of `size` bytes, only
// the trusted principals own the object and can be granted any of `rights`
// on it. Generic rights count as the file rights they stand for; inherit-only
// entries do not apply to the object; an entry for CREATOR OWNER or CREATOR
// GROUP applies to no one, one for OWNER RIGHTS to the (trusted) owner; a
// deny entry counts where it certainly applies to the principal an allow
// entry after it names (the same SID, or Everyone for anyone but Anonymous
// Logon and NETWORK, which an anonymous caller holds). Anything that cannot
// be judged for certain (no DACL, no owner, an entry type it does not know,
// a malformed descriptor) is false.
bool OnlyTrustedCanDo(const void* descriptor, DWORD size, DWORD rights,
                      const TrustedPrincipals& trusted);

// The same for a file that is not there yet, by the entries it would
// inherit from its folder of this descriptor: every object-inherit entry,
// inherit-only or not. Its owner will be whoever creates it, who must already
// be able to add files to the folder; so an entry for CREATOR OWNER or OWNER
// RIGHTS grants no one further, while one for CREATOR GROUP stands for that
// creator's primary group, which is not trusted.
bool OnlyTrustedCanDoToNewFile(const void* folderDescriptor, DWORD size, DWORD rights,
                               const TrustedPrincipals& trusted);

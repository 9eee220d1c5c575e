#include "gather.h"

#include "judge.h"

#include <string.h>

namespace {

// The platform's code for a query that failed; never success.
DWORD QueryError(PlatformApi& api)
{
    DWORD error = api.GetLastError();
    return error != ERROR_SUCCESS ? error : ERROR_DRIVER_BLOCKED;
}

// Memory from the process heap, freed with the object.
class HeapBuffer {
public:
    HeapBuffer() = default;
    ~HeapBuffer() { Release(); }
    HeapBuffer(const HeapBuffer&) = delete;
    HeapBuffer& operator=(const HeapBuffer&) = delete;

    bool Resize(DWORD size)
    {
        Release();
        m_data = HeapAlloc(GetProcessHeap(), 0, size);
        m_size = m_data ? size : 0;
        return m_data != nullptr;
    }
    void* data() const { return m_data; }
    DWORD size() const { return m_size; }

private:
    void Release()
    {
        if (m_data)
            HeapFree(GetProcessHeap(), 0, m_data);
        m_data = nullptr;
        m_size = 0;
    }

    void* m_data = nullptr;
    DWORD m_size = 0;
};

// Runs `query(buffer, size, &needed)` until its answer fits the buffer.
template <typename Query> DWORD ReadSized(PlatformApi& api, HeapBuffer& buffer, Query query)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        DWORD needed = 0;
        if (query(buffer.data(), buffer.size(), &needed))
            return ERROR_SUCCESS;
        DWORD error = QueryError(api);
        if (error != ERROR_INSUFFICIENT_BUFFER || needed <= buffer.size())
            return error;
        if (!buffer.Resize(needed))
            return ERROR_NOT_ENOUGH_MEMORY;
    }
    return ERROR_INSUFFICIENT_BUFFER;
}

DWORD ReadTokenInformation(PlatformApi& api, HANDLE token, TOKEN_INFORMATION_CLASS kind,
                           HeapBuffer& information)
{
    return ReadSized(api, information, [&](void* data, DWORD size, DWORD* needed) {
        return api.GetTokenInformation(token, kind, data, size, needed);
    });
}

// Whether `token`'s groups hold what `holds` looks for; groups that cannot
// be read count as not held.
bool TokenHolds(PlatformApi& api, HANDLE token, bool (*holds)(const void*, DWORD))
{
    HeapBuffer groups;
    return ReadTokenInformation(api, token, TokenGroups, groups) == ERROR_SUCCESS &&
           holds(groups.data(), groups.size());
}

// What the token says of the account's other processes.
InstallerToken ReadElevation(PlatformApi& api, HANDLE token)
{
    InstallerToken state = {};
    DWORD needed = 0;
    state.elevationKnown = api.GetTokenInformation(token, TokenElevationType, &state.elevation,
                                                   sizeof state.elevation, &needed) != FALSE;
    if (state.elevationKnown && state.elevation == TokenElevationTypeDefault) {
        state.interactive = TokenHolds(api, token, HoldsInteractive);
        return state;
    }
    TOKEN_LINKED_TOKEN linked = {};
    if (!state.elevationKnown || state.elevation != TokenElevationTypeFull ||
        !api.GetTokenInformation(token, TokenLinkedToken, &linked, sizeof linked, &needed) ||
        !linked.LinkedToken)
        return state;
    state.linkedHoldsAdministrators = TokenHolds(api, linked.LinkedToken, HoldsAdministrators);
    api.CloseHandle(linked.LinkedToken);
    return state;
}

// Who is trusted besides SYSTEM, Administrators and TrustedInstaller; the
// installing account's SID, where it is, lies in `user`.
DWORD ReadTrustedPrincipals(PlatformApi& api, DWORD majorVersion, HeapBuffer& user,
                            TrustedPrincipals& trusted)
{
    HANDLE token = nullptr;
    if (!api.OpenProcessToken(TOKEN_QUERY, &token))
        return QueryError(api);
    InstallerToken state = {};
    DWORD error = ReadTokenInformation(api, token, TokenUser, user);
    if (error == ERROR_SUCCESS)
        state = ReadElevation(api, token);
    api.CloseHandle(token);
    if (error != ERROR_SUCCESS)
        return error;
    trusted.account =
        TrustsInstallingAccount(state) ? static_cast<TOKEN_USER*>(user.data())->User.Sid : nullptr;
    trusted.powerUsers = TrustsPowerUsers(majorVersion, state);
    return ERROR_SUCCESS;
}

FolderVerdict Refused(Refusal refusal, size_t place)
{
    return FolderVerdict{refusal, ERROR_DRIVER_BLOCKED, place};
}

FolderVerdict Unreadable(DWORD error, size_t place)
{
    return FolderVerdict{Refusal::PlaceUnreadable, error, place};
}

// Judges one file or folder, `place` characters of the driver's path, asked
// as `path`: no link, and only the trusted may do any of `rights` to it. Its
// attributes and descriptor are read through one handle to the object
// itself, never to what a link points at, so nothing can be swapped in
// between; its path is asked first as well, since Wine follows a link even
// then. The descriptor is left in `descriptor`; a file that is not there is
// unreadable with ERROR_FILE_NOT_FOUND as it comes.
FolderVerdict CheckPlace(PlatformApi& api, const wchar_t* path, size_t place, DWORD rights,
                         DWORD openFlags, const TrustedPrincipals& trusted,
                         HeapBuffer& descriptor)
{
    DWORD attributes = api.GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return Unreadable(QueryError(api), place);
    if (!IsPlainFileOrFolder(attributes))
        return Refused(Refusal::Link, place);
    HANDLE object = api.OpenForQuery(path, openFlags);
    if (object == INVALID_HANDLE_VALUE)
        return Unreadable(QueryError(api), place);
    BY_HANDLE_FILE_INFORMATION info = {};
    FolderVerdict verdict = Accepted();
    if (!api.GetFileInformationByHandle(object, &info)) {
        verdict = Unreadable(QueryError(api), place);
    } else if (!IsPlainFileOrFolder(info.dwFileAttributes)) {
        verdict = Refused(Refusal::Link, place);
    } else {
        DWORD error = ReadSized(api, descriptor, [&](void* data, DWORD size, DWORD* needed) {
            return api.GetKernelObjectSecurity(
                object, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, data, size,
                needed);
        });
        if (error != ERROR_SUCCESS)
            verdict = Unreadable(error, place);
    }
    api.CloseHandle(object);
    if (verdict.refusal != Refusal::None)
        return verdict;
    return OnlyTrustedCanDo(descriptor.data(), descriptor.size(), rights, trusted)
               ? Accepted()
               : Refused(Refusal::OthersCanChange, place);
}

// Whether `letter` is the drive Windows itself is on.
bool IsWindowsDrive(PlatformApi& api, wchar_t letter)
{
    char system[MAX_PATH];
    UINT length = api.GetSystemDirectoryA(system, MAX_PATH);
    return length >= 2 && length < MAX_PATH && system[1] == ':' &&
           IsSameDriveLetter(static_cast<BYTE>(system[0]), letter);
}

// The drive of a path "X:\...": a local fixed disk that keeps permissions,
// and the one Windows itself is on, whose letter names that volume as this
// system names one. Any other fixed disk may be one a user carries away and
// changes elsewhere, or be named by a letter any user may redefine (NT 4.0,
// 2000); a letter made with subst, or for a folder on a device, is this
// session's own. Only a fixed disk is asked for its flags: a network volume
// may be slow to answer, or not answer at all.
FolderVerdict CheckDrive(PlatformApi& api, wchar_t letter)
{
    const size_t kRoot = 3;  // the place: "X:\"
    const wchar_t root[] = {letter, L':', L'\\', L'\0'};
    UINT driveType = api.GetDriveTypeW(root);
    DWORD volumeFlags = 0;
    if (driveType == DRIVE_FIXED &&
        !api.GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, &volumeFlags, nullptr, 0))
        return Unreadable(QueryError(api), kRoot);
    if (!IsTrustworthyVolume(driveType, volumeFlags))
        return Refused(Refusal::NotLocalDisk, kRoot);

    // A target too long for the buffer is no volume's.
    wchar_t device[MAX_PATH];
    const wchar_t drive[] = {letter, L':', L'\0'};
    if (!api.QueryDosDeviceW(drive, device, MAX_PATH)) {
        DWORD error = QueryError(api);
        return error == ERROR_INSUFFICIENT_BUFFER ? Refused(Refusal::NotWindowsDrive, kRoot)
                                                  : Unreadable(error, kRoot);
    }
    return IsVolumeDevice(device) && IsWindowsDrive(api, letter)
               ? Accepted()
               : Refused(Refusal::NotWindowsDrive, kRoot);
}

}  // namespace

FolderVerdict CheckDriverFolder(PlatformApi& api, const wchar_t* imagePath, size_t folderLength)
{
    // Only a drive-letter path can be on a local disk: a UNC path is a
    // network path. A drive root keeps its backslash.
    if (folderLength < 3 || imagePath[1] != L':' || imagePath[2] != L'\\')
        return Refused(Refusal::NotLocalDisk, folderLength);
    FolderVerdict verdict = CheckDrive(api, imagePath[0]);
    if (verdict.refusal != Refusal::None)
        return verdict;

    DWORD majorVersion = LOBYTE(LOWORD(api.GetVersion()));
    HeapBuffer user;
    TrustedPrincipals trusted = {};
    DWORD error = ReadTrustedPrincipals(api, majorVersion, user, trusted);
    if (error != ERROR_SUCCESS)
        return FolderVerdict{Refusal::TokenUnreadable, error, 0};
    // A link is opened as itself; NT 4.0, which has none, does not know the
    // flag.
    DWORD openFlags = FILE_FLAG_BACKUP_SEMANTICS;
    if (majorVersion >= 5)
        openFlags |= FILE_FLAG_OPEN_REPARSE_POINT;

    // Every query names the path as the kernel will read it: "\\?\" keeps
    // each name as it is, where Win32 would take one such as NUL for a device.
    static const wchar_t kVerbatim[] = L"\\\\?\\";
    const size_t prefix = sizeof kVerbatim / sizeof kVerbatim[0] - 1;
    size_t pathLength = folderLength;
    while (imagePath[pathLength])
        ++pathLength;
    HeapBuffer copy;
    if (!copy.Resize(static_cast<DWORD>((prefix + pathLength + 1) * sizeof(wchar_t))))
        return Unreadable(ERROR_NOT_ENOUGH_MEMORY, folderLength);
    wchar_t* path = static_cast<wchar_t*>(copy.data());
    // The file in a drive root is asked with one separator before its name,
    // as the kernel will open it.
    const size_t doubled = DoubledSeparator(imagePath, pathLength);
    memcpy(path, kVerbatim, prefix * sizeof(wchar_t));
    if (doubled) {
        memcpy(path + prefix, imagePath, doubled * sizeof(wchar_t));
        memcpy(path + prefix + doubled, imagePath + doubled + 1,
               (pathLength - doubled) * sizeof(wchar_t));
    } else {
        memcpy(path + prefix, imagePath, (pathLength + 1) * sizeof(wchar_t));
    }

    // Each folder from the root down to the driver's own, each name one that
    // Win32 and the kernel read alike; `end` counts the characters of the
    // driver's path up to the folder's end.
    HeapBuffer folder;
    const size_t rootEnd = 3;
    for (size_t end = rootEnd;;) {
        wchar_t kept = path[prefix + end];
        path[prefix + end] = L'\0';
        verdict = CheckPlace(api, path, end, end == folderLength ? kChangeRights : kReplaceRights,
                             openFlags, trusted, folder);
        path[prefix + end] = kept;
        if (verdict.refusal != Refusal::None)
            return verdict;
        if (end == folderLength)
            break;
        size_t first = end == rootEnd ? rootEnd : end + 1;  // the next name's first character
        end = first;
        while (end < folderLength && imagePath[end] != L'\\')
            ++end;
        if (!IsPlainName(imagePath + first, end - first))
            return Refused(Refusal::NameEndsInSpaceOrDot, end);
    }

    // Then the driver file; one not there yet will get the entries it
    // inherits from the folder when it is copied in.
    HeapBuffer file;
    verdict = CheckPlace(api, path, pathLength, kChangeRights, openFlags, trusted, file);
    if (verdict.refusal != Refusal::PlaceUnreadable || verdict.code != ERROR_FILE_NOT_FOUND)
        return verdict;
    return OnlyTrustedCanDoToNewFile(folder.data(), folder.size(), kChangeRights, trusted)
               ? Accepted()
               : Refused(Refusal::OthersCanChange, folderLength);
}

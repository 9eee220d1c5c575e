#include "folder_check.h"

#include "driver_service.h"
#include "folder_safety.h"

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

// Judges one file or folder: no link, and only the trusted may do any of
// `rights` to it. Its attributes and descriptor are read through one handle
// to the object itself, never to what a link points at, so nothing can be
// swapped in between; its path is asked first as well, since Wine follows a
// link even then. The descriptor is left in `descriptor`;
// ERROR_FILE_NOT_FOUND as it comes when there is no such file.
DWORD CheckPlace(PlatformApi& api, const char* path, DWORD rights, DWORD openFlags,
                 const TrustedPrincipals& trusted, HeapBuffer& descriptor)
{
    DWORD attributes = api.GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return QueryError(api);
    if (!IsPlainFileOrFolder(attributes))
        return ERROR_DRIVER_BLOCKED;
    HANDLE place = api.OpenForQuery(path, openFlags);
    if (place == INVALID_HANDLE_VALUE)
        return QueryError(api);
    BY_HANDLE_FILE_INFORMATION info = {};
    DWORD error = api.GetFileInformationByHandle(place, &info) ? ERROR_SUCCESS : QueryError(api);
    if (error == ERROR_SUCCESS && !IsPlainFileOrFolder(info.dwFileAttributes))
        error = ERROR_DRIVER_BLOCKED;
    if (error == ERROR_SUCCESS)
        error = ReadSized(api, descriptor, [&](void* data, DWORD size, DWORD* needed) {
            return api.GetKernelObjectSecurity(
                place, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, data, size, needed);
        });
    api.CloseHandle(place);
    if (error != ERROR_SUCCESS)
        return error;
    return OnlyTrustedCanDo(descriptor.data(), descriptor.size(), rights, trusted)
               ? ERROR_SUCCESS
               : ERROR_DRIVER_BLOCKED;
}

}  // namespace

DWORD CheckDriverFolder(PlatformApi& api, const char* imagePath)
{
    // The folder is the path without "\KESTRAMO.SYS"; a drive root keeps its
    // backslash. Only a drive-letter path can be on a local disk: a UNC path
    // is a network path.
    size_t length = strlen(imagePath) - strlen(kDriverService.driverFileSuffix);
    if (length < 3 || imagePath[1] != ':' || imagePath[2] != '\\')
        return ERROR_DRIVER_BLOCKED;
    char root[4] = {imagePath[0], ':', '\\', '\0'};

    // Only a local fixed disk is asked for its flags: a network volume may be
    // slow to answer, or not answer at all.
    UINT driveType = api.GetDriveTypeA(root);
    DWORD volumeFlags = 0;
    if (driveType == DRIVE_FIXED &&
        !api.GetVolumeInformationA(root, nullptr, 0, nullptr, nullptr, &volumeFlags, nullptr, 0))
        return QueryError(api);
    if (!IsTrustworthyVolume(driveType, volumeFlags))
        return ERROR_DRIVER_BLOCKED;

    // The letter must name the volume itself, as it will at boot. A target
    // too long for the buffer is no volume's.
    char device[MAX_PATH];
    char letter[3] = {imagePath[0], ':', '\0'};
    if (!api.QueryDosDeviceA(letter, device, sizeof device)) {
        DWORD error = QueryError(api);
        return error == ERROR_INSUFFICIENT_BUFFER ? ERROR_DRIVER_BLOCKED : error;
    }
    if (!IsVolumeDevice(device))
        return ERROR_DRIVER_BLOCKED;

    DWORD majorVersion = LOBYTE(LOWORD(api.GetVersion()));
    HeapBuffer user;
    TrustedPrincipals trusted = {};
    DWORD error = ReadTrustedPrincipals(api, majorVersion, user, trusted);
    if (error != ERROR_SUCCESS)
        return error;
    // A link is opened as itself; NT 4.0, which has none, does not know the
    // flag.
    DWORD openFlags = FILE_FLAG_BACKUP_SEMANTICS;
    if (majorVersion >= 5)
        openFlags |= FILE_FLAG_OPEN_REPARSE_POINT;

    // Every query names the path as the kernel will read it: "\\?\" keeps
    // each name as it is, where Win32 would take one such as NUL for a device.
    static const char kVerbatim[] = "\\\\?\\";
    const size_t prefix = sizeof kVerbatim - 1;
    size_t size = prefix + strlen(imagePath) + 1;
    HeapBuffer copy;
    if (!copy.Resize(static_cast<DWORD>(size)))
        return ERROR_NOT_ENOUGH_MEMORY;
    char* path = static_cast<char*>(copy.data());
    memcpy(path, kVerbatim, prefix);
    memcpy(path + prefix, imagePath, size - prefix);
    length += prefix;

    // Each folder from the root down to the driver's own, each name one that
    // Win32 and the kernel read alike. A backslash is found by reading
    // forward: in a double-byte code page (936, 932) it may also be the
    // second byte of a character.
    HeapBuffer folder;
    const size_t rootEnd = prefix + 3;
    for (size_t end = rootEnd;;) {
        char kept = path[end];
        path[end] = '\0';
        error = CheckPlace(api, path, end == length ? kChangeRights : kReplaceRights, openFlags,
                           trusted, folder);
        path[end] = kept;
        if (error != ERROR_SUCCESS)
            return error;
        if (end == length)
            break;
        size_t first = end == rootEnd ? rootEnd : end + 1;  // the next name's first byte
        size_t next = first;
        do
            next += api.IsDBCSLeadByte(static_cast<BYTE>(path[next])) ? 2 : 1;
        while (next < length && path[next] != '\\');
        end = next < length ? next : length;
        if (!IsPlainName(path + first, end - first))
            return ERROR_DRIVER_BLOCKED;
    }

    // Then the driver file; one not there yet will get the entries it
    // inherits from the folder when it is copied in.
    HeapBuffer file;
    error = CheckPlace(api, path, kChangeRights, openFlags, trusted, file);
    if (error != ERROR_FILE_NOT_FOUND)
        return error;
    return OnlyTrustedCanDoToNewFile(folder.data(), folder.size(), kChangeRights, trusted)
               ? ERROR_SUCCESS
               : ERROR_DRIVER_BLOCKED;
}

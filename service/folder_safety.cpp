#include "folder_safety.h"

#include "driver_service.h"

#include <string.h>

namespace {

// SIDs as they lie in memory: revision, count, the authority (big-endian),
// then the sub-authorities (little-endian, as on every system this runs on).
#define SUB(x) BYTE((x) & 0xff), BYTE(((x) >> 8) & 0xff), BYTE(((x) >> 16) & 0xff), BYTE((x) >> 24)
const BYTE kLocalSystem[] = {1, 1, 0, 0, 0, 0, 0, 5, SUB(18u)};
const BYTE kAdministrators[] = {1, 2, 0, 0, 0, 0, 0, 5, SUB(32u), SUB(544u)};
const BYTE kTrustedInstaller[] = {1, 6, 0, 0, 0, 0, 0, 5, SUB(80u), SUB(956008885u),
                                  SUB(3418522649u), SUB(1831038044u), SUB(1853292631u),
                                  SUB(2271478464u)};
const BYTE kEveryone[] = {1, 1, 0, 0, 0, 0, 0, 1, SUB(0u)};
#undef SUB

WORD Read16(const BYTE* at)
{
    return static_cast<WORD>(at[0] | at[1] << 8);
}

DWORD Read32(const BYTE* at)
{
    return at[0] | at[1] << 8 | at[2] << 16 | static_cast<DWORD>(at[3]) << 24;
}

// The length of the SID at `sid` if one lies within `available` bytes, else 0.
size_t SidLength(const BYTE* sid, size_t available)
{
    if (available < 8 || sid[0] != SID_REVISION || sid[1] > SID_MAX_SUB_AUTHORITIES)
        return 0;
    size_t length = 8 + 4 * size_t(sid[1]);
    return length <= available ? length : 0;
}

bool SameSid(const BYTE* sid, const BYTE* other)
{
    return sid[1] == other[1] && memcmp(sid, other, 8 + 4 * size_t(sid[1])) == 0;
}

bool IsTrusted(const BYTE* sid, const BYTE* installer)
{
    return SameSid(sid, kLocalSystem) || SameSid(sid, kAdministrators) ||
           SameSid(sid, kTrustedInstaller) || (installer && SameSid(sid, installer));
}

DWORD MapGenericRights(DWORD mask)
{
    if (mask & GENERIC_READ)
        mask |= FILE_GENERIC_READ;
    if (mask & GENERIC_WRITE)
        mask |= FILE_GENERIC_WRITE;
    if (mask & GENERIC_EXECUTE)
        mask |= FILE_GENERIC_EXECUTE;
    if (mask & GENERIC_ALL)
        mask |= FILE_ALL_ACCESS;
    return mask & ~DWORD(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL);
}

// One entry of a DACL, read within its bounds.
struct Ace {
    BYTE type, flags;
    DWORD mask;        // generic rights mapped
    const BYTE* sid;   // null for a type that carries none where an allow or deny does
};

enum class AceKind { Allow, Deny, Unjudgeable, Other };

AceKind KindOf(BYTE type)
{
    switch (type) {
    case ACCESS_ALLOWED_ACE_TYPE:
    case ACCESS_ALLOWED_CALLBACK_ACE_TYPE:  // its condition may hold: it may grant
        return AceKind::Allow;
    case ACCESS_DENIED_ACE_TYPE:
    case ACCESS_DENIED_CALLBACK_ACE_TYPE:
        return AceKind::Deny;
    case ACCESS_ALLOWED_COMPOUND_ACE_TYPE:
    case ACCESS_ALLOWED_OBJECT_ACE_TYPE:
    case ACCESS_DENIED_OBJECT_ACE_TYPE:
    case ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE:
    case ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE:
        return AceKind::Unjudgeable;
    default:  // audit, alarm, label and attribute entries grant nothing
        return AceKind::Other;
    }
}

// Walks the entries of one DACL; false from Next when the list is malformed.
class AceWalk {
public:
    AceWalk(const BYTE* acl, size_t size, WORD count)
        : m_acl(acl), m_size(size), m_left(count), m_offset(8) {}

    bool Done() const { return m_left == 0; }
    size_t Offset() const { return m_offset; }

    bool Next(Ace& ace)
    {
        if (m_offset + 4 > m_size)
            return false;
        const BYTE* at = m_acl + m_offset;
        WORD length = Read16(at + 2);
        if (length < 4 || m_offset + length > m_size)
            return false;
        ace = Ace{at[0], at[1], 0, nullptr};
        AceKind kind = KindOf(ace.type);
        if (kind == AceKind::Allow || kind == AceKind::Deny) {
            if (length < 8 || !SidLength(at + 8, length - 8))
                return false;
            ace.mask = MapGenericRights(Read32(at + 4));
            ace.sid = at + 8;
        }
        m_offset += length;
        --m_left;
        return true;
    }

private:
    const BYTE* m_acl;
    size_t m_size;
    WORD m_left;
    size_t m_offset;
};

// The rights that deny entries before `end` take from `sid` for certain:
// those naming the SID itself, or Everyone.
DWORD DeniedBefore(const BYTE* acl, size_t size, WORD count, size_t end, const BYTE* sid)
{
    DWORD denied = 0;
    AceWalk walk(acl, size, count);
    Ace ace;
    while (walk.Offset() < end && walk.Next(ace)) {
        if (ace.type == ACCESS_DENIED_ACE_TYPE && !(ace.flags & INHERIT_ONLY_ACE) &&
            (SameSid(ace.sid, sid) || SameSid(ace.sid, kEveryone)))
            denied |= ace.mask;
    }
    return denied;
}

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

// Reads the owner and DACL of `path` and judges them; ERROR_FILE_NOT_FOUND
// as it comes when there is no such file.
DWORD CheckObject(PlatformApi& api, const char* path, DWORD rights, const void* installer)
{
    HeapBuffer descriptor;
    DWORD error = ReadSized(api, descriptor, [&](void* data, DWORD size, DWORD* needed) {
        return api.GetFileSecurityA(path, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                    data, size, needed);
    });
    if (error != ERROR_SUCCESS)
        return error;
    return OnlyTrustedCanDo(descriptor.data(), descriptor.size(), rights, installer)
               ? ERROR_SUCCESS
               : ERROR_DRIVER_BLOCKED;
}

// The user SID of the installer's own token, in `user` as a TOKEN_USER.
DWORD ReadInstallerAccount(PlatformApi& api, HeapBuffer& user)
{
    HANDLE token = nullptr;
    if (!api.OpenProcessToken(TOKEN_QUERY, &token))
        return QueryError(api);
    DWORD error = ReadSized(api, user, [&](void* data, DWORD size, DWORD* needed) {
        return api.GetTokenInformation(token, TokenUser, data, size, needed);
    });
    api.CloseHandle(token);
    return error;
}

}  // namespace

bool IsTrustworthyVolume(UINT driveType, DWORD volumeFlags)
{
    return driveType == DRIVE_FIXED && (volumeFlags & FILE_PERSISTENT_ACLS) != 0;
}

bool OnlyTrustedCanDo(const void* descriptor, DWORD size, DWORD rights, const void* installerSid)
{
    const BYTE* sd = static_cast<const BYTE*>(descriptor);
    const BYTE* installer = static_cast<const BYTE*>(installerSid);
    if (!sd || size < sizeof(SECURITY_DESCRIPTOR_RELATIVE) || sd[0] != SECURITY_DESCRIPTOR_REVISION)
        return false;
    if (installer && !SidLength(installer, SECURITY_MAX_SID_SIZE))
        installer = nullptr;
    WORD control = Read16(sd + 2);
    DWORD ownerAt = Read32(sd + 4);
    DWORD daclAt = Read32(sd + 16);
    if (!(control & SE_SELF_RELATIVE))
        return false;

    // The owner can always change the DACL.
    if (ownerAt == 0 || ownerAt >= size || !SidLength(sd + ownerAt, size - ownerAt) ||
        !IsTrusted(sd + ownerAt, installer))
        return false;

    // No DACL at all grants everyone everything.
    if (!(control & SE_DACL_PRESENT) || daclAt == 0 || daclAt > size - 8)
        return false;
    const BYTE* acl = sd + daclAt;
    size_t aclSize = Read16(acl + 2);
    WORD count = Read16(acl + 4);
    if (aclSize < 8 || aclSize > size - daclAt)
        return false;

    AceWalk walk(acl, aclSize, count);
    while (!walk.Done()) {
        size_t at = walk.Offset();
        Ace ace;
        if (!walk.Next(ace))
            return false;
        if (ace.flags & INHERIT_ONLY_ACE)
            continue;
        AceKind kind = KindOf(ace.type);
        if (kind == AceKind::Unjudgeable)
            return false;
        if (kind == AceKind::Allow && !IsTrusted(ace.sid, installer) &&
            (ace.mask & rights & ~DeniedBefore(acl, aclSize, count, at, ace.sid)) != 0)
            return false;
    }
    return true;
}

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

    HeapBuffer user;
    DWORD error = ReadInstallerAccount(api, user);
    if (error != ERROR_SUCCESS)
        return error;
    const void* installer = static_cast<TOKEN_USER*>(user.data())->User.Sid;

    // A missing driver file is no reason to refuse: the start reports it.
    error = CheckObject(api, imagePath, kChangeRights, installer);
    if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND)
        return error;

    HeapBuffer folder;
    if (!folder.Resize(static_cast<DWORD>(length) + 1))
        return ERROR_NOT_ENOUGH_MEMORY;
    char* path = static_cast<char*>(folder.data());
    memcpy(path, imagePath, length);
    path[length] = '\0';
    if (length > 3 && path[length - 1] == '\\')
        path[--length] = '\0';

    // The folder itself, then each one above it up to the root.
    DWORD rights = kChangeRights;
    for (;;) {
        error = CheckObject(api, path, rights, installer);
        if (error != ERROR_SUCCESS || length == 3)
            return error;
        size_t slash = length - 1;
        while (path[slash] != '\\')
            --slash;
        length = slash == 2 ? 3 : slash;  // the root keeps its backslash
        path[length] = '\0';
        rights = kReplaceRights;
    }
}

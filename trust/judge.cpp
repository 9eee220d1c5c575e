#include "judge.h"

#include <stddef.h>
#include <string.h>

namespace {

// SIDs as they lie in memory: revision, count, the authority (big-endian),
// then the sub-authorities (little-endian, as on every system this runs on).
#define SUB(x) BYTE((x) & 0xff), BYTE(((x) >> 8) & 0xff), BYTE(((x) >> 16) & 0xff), BYTE((x) >> 24)
const BYTE kLocalSystem[] = {1, 1, 0, 0, 0, 0, 0, 5, SUB(18u)};
const BYTE kAdministrators[] = {1, 2, 0, 0, 0, 0, 0, 5, SUB(32u), SUB(544u)};
const BYTE kPowerUsers[] = {1, 2, 0, 0, 0, 0, 0, 5, SUB(32u), SUB(547u)};
const BYTE kTrustedInstaller[] = {1, 6, 0, 0, 0, 0, 0, 5, SUB(80u), SUB(956008885u),
                                  SUB(3418522649u), SUB(1831038044u), SUB(1853292631u),
                                  SUB(2271478464u)};
const BYTE kEveryone[] = {1, 1, 0, 0, 0, 0, 0, 1, SUB(0u)};
const BYTE kAnonymousLogon[] = {1, 1, 0, 0, 0, 0, 0, 5, SUB(7u)};
const BYTE kNetwork[] = {1, 1, 0, 0, 0, 0, 0, 5, SUB(2u)};
const BYTE kInteractive[] = {1, 1, 0, 0, 0, 0, 0, 5, SUB(4u)};
const BYTE kCreatorOwner[] = {1, 1, 0, 0, 0, 0, 0, 3, SUB(0u)};
const BYTE kCreatorGroup[] = {1, 1, 0, 0, 0, 0, 0, 3, SUB(1u)};
const BYTE kOwnerRights[] = {1, 1, 0, 0, 0, 0, 0, 3, SUB(4u)};
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

// Which entries of a DACL are judged: those of the object itself, or those a
// file created in the folder would inherit.
enum class Judged { Object, NewFile };

bool Applies(BYTE aceFlags, Judged judged)
{
    return judged == Judged::Object ? !(aceFlags & INHERIT_ONLY_ACE)
                                    : (aceFlags & OBJECT_INHERIT_ACE) != 0;
}

bool IsTrusted(const BYTE* sid, const TrustedPrincipals& trusted)
{
    const BYTE* account = static_cast<const BYTE*>(trusted.account);
    return SameSid(sid, kLocalSystem) || SameSid(sid, kAdministrators) ||
           SameSid(sid, kTrustedInstaller) || (account && SameSid(sid, account)) ||
           (trusted.powerUsers && SameSid(sid, kPowerUsers));
}

// Whether an allow entry for `sid` may grant its rights to anyone untrusted.
// The owner is trusted: the object's was judged, and a new file's is its
// creator, who needed the right to add files.
bool GrantsUntrusted(const BYTE* sid, const TrustedPrincipals& trusted, Judged judged)
{
    if (IsTrusted(sid, trusted) || SameSid(sid, kCreatorOwner) || SameSid(sid, kOwnerRights))
        return false;
    if (SameSid(sid, kCreatorGroup))
        return judged == Judged::NewFile;
    return true;
}

// Whether a deny entry for `denied` certainly applies to whoever `sid` names.
// Everyone has not held Anonymous Logon since XP; an anonymous caller holds
// Anonymous Logon and NETWORK.
bool DenyCovers(const BYTE* denied, const BYTE* sid)
{
    return SameSid(denied, sid) || (SameSid(denied, kEveryone) && !SameSid(sid, kAnonymousLogon) &&
                                    !SameSid(sid, kNetwork));
}

// One entry of a DACL, read within its bounds.
struct Ace {
    BYTE type, flags;
    DWORD mask;        // generic rights mapped
    const BYTE* sid;   // null for a type that carries none where an allow or deny does
};

enum class AceKind { Allow, Deny, GrantsNothing, Unjudgeable };

AceKind KindOf(BYTE type)
{
    switch (type) {
    case ACCESS_ALLOWED_ACE_TYPE:
    case ACCESS_ALLOWED_CALLBACK_ACE_TYPE:  // its condition may hold: it may grant
        return AceKind::Allow;
    case ACCESS_DENIED_ACE_TYPE:
    case ACCESS_DENIED_CALLBACK_ACE_TYPE:
        return AceKind::Deny;
    case SYSTEM_AUDIT_ACE_TYPE:
    case SYSTEM_ALARM_ACE_TYPE:
    case SYSTEM_AUDIT_OBJECT_ACE_TYPE:
    case SYSTEM_ALARM_OBJECT_ACE_TYPE:
    case SYSTEM_AUDIT_CALLBACK_ACE_TYPE:
    case SYSTEM_ALARM_CALLBACK_ACE_TYPE:
    case SYSTEM_AUDIT_CALLBACK_OBJECT_ACE_TYPE:
    case SYSTEM_ALARM_CALLBACK_OBJECT_ACE_TYPE:
    case SYSTEM_MANDATORY_LABEL_ACE_TYPE:
        return AceKind::GrantsNothing;
    default:  // compound and object entries, and any type not known here
        return AceKind::Unjudgeable;
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

// The rights that the deny entries before `end` take from `sid` for certain.
DWORD DeniedBefore(const BYTE* acl, size_t size, WORD count, size_t end, const BYTE* sid,
                   Judged judged)
{
    DWORD denied = 0;
    AceWalk walk(acl, size, count);
    Ace ace;
    while (walk.Offset() < end && walk.Next(ace)) {
        if (ace.type == ACCESS_DENIED_ACE_TYPE && Applies(ace.flags, judged) &&
            DenyCovers(ace.sid, sid))
            denied |= ace.mask;
    }
    return denied;
}

bool Judge(const void* descriptor, DWORD size, DWORD rights, const TrustedPrincipals& trusted,
           Judged judged)
{
    const BYTE* sd = static_cast<const BYTE*>(descriptor);
    if (!sd || size < sizeof(SECURITY_DESCRIPTOR_RELATIVE) || sd[0] != SECURITY_DESCRIPTOR_REVISION)
        return false;
    TrustedPrincipals checked = trusted;
    if (checked.account && !SidLength(static_cast<const BYTE*>(checked.account),
                                      SECURITY_MAX_SID_SIZE))
        checked.account = nullptr;
    WORD control = Read16(sd + 2);
    DWORD ownerAt = Read32(sd + 4);
    DWORD daclAt = Read32(sd + 16);
    if (!(control & SE_SELF_RELATIVE))
        return false;

    // The owner can always change the DACL. A new file's owner is its
    // creator, who must be able to add files to the folder.
    if (judged == Judged::Object &&
        (ownerAt == 0 || ownerAt >= size || !SidLength(sd + ownerAt, size - ownerAt) ||
         !IsTrusted(sd + ownerAt, checked)))
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
        if (!Applies(ace.flags, judged))
            continue;
        AceKind kind = KindOf(ace.type);
        if (kind == AceKind::Unjudgeable)
            return false;
        if (kind == AceKind::Allow && GrantsUntrusted(ace.sid, checked, judged) &&
            (ace.mask & rights & ~DeniedBefore(acl, aclSize, count, at, ace.sid, judged)) != 0)
            return false;
    }
    return true;
}

// Whether a TOKEN_GROUPS of `size` bytes holds `wanted` enabled and not for
// deny only. Malformed: false.
bool HoldsGroup(const void* tokenGroups, DWORD size, const BYTE* wanted)
{
    const BYTE* base = static_cast<const BYTE*>(tokenGroups);
    if (!base || size < sizeof(TOKEN_GROUPS))
        return false;
    const TOKEN_GROUPS* groups = static_cast<const TOKEN_GROUPS*>(tokenGroups);
    const size_t header = offsetof(TOKEN_GROUPS, Groups);
    if (groups->GroupCount > (size - header) / sizeof(SID_AND_ATTRIBUTES))
        return false;
    for (DWORD i = 0; i < groups->GroupCount; ++i) {
        const SID_AND_ATTRIBUTES& group = groups->Groups[i];
        const BYTE* sid = static_cast<const BYTE*>(group.Sid);
        // Each SID lies within the same buffer, behind the array.
        if (sid < base || sid >= base + size || !SidLength(sid, size_t(base + size - sid)))
            return false;
        if (SameSid(sid, wanted))
            return (group.Attributes & SE_GROUP_ENABLED) &&
                   !(group.Attributes & SE_GROUP_USE_FOR_DENY_ONLY);
    }
    return false;
}

// The end of the name at `name` in a device path: the next backslash or the
// end of the text.
const wchar_t* NameEnd(const wchar_t* name)
{
    while (*name && *name != L'\\')
        ++name;
    return name;
}

// Whether the name from `name` to `end` is `word` followed by one or more
// digits ("Partition1" for "Partition"); `word` alone where `digits` is false.
bool IsName(const wchar_t* name, const wchar_t* end, const wchar_t* word, bool digits)
{
    for (; *word; ++word, ++name)
        if (name == end || *name != *word)
            return false;
    if (!digits)
        return name == end;
    if (name == end)
        return false;
    for (; name != end; ++name)
        if (*name < L'0' || *name > L'9')
            return false;
    return true;
}

}  // namespace

bool TrustsInstallingAccount(const InstallerToken& token)
{
    if (!token.elevationKnown)
        return true;
    // No linked token: UAC does not split this sign-in, but a network, batch
    // or service sign-in gets none even for an account UAC splits at the
    // desktop.
    if (token.elevation == TokenElevationTypeDefault)
        return token.interactive;
    // Limited: this very process runs without administrators' rights.
    return token.elevation == TokenElevationTypeFull && token.linkedHoldsAdministrators;
}

bool TrustsPowerUsers(DWORD majorVersion, const InstallerToken& token)
{
    return majorVersion < 6 && !token.elevationKnown;
}

bool HoldsAdministrators(const void* tokenGroups, DWORD size)
{
    return HoldsGroup(tokenGroups, size, kAdministrators);
}

bool HoldsInteractive(const void* tokenGroups, DWORD size)
{
    return HoldsGroup(tokenGroups, size, kInteractive);
}

bool OnlyTrustedCanDo(const void* descriptor, DWORD size, DWORD rights,
                      const TrustedPrincipals& trusted)
{
    return Judge(descriptor, size, rights, trusted, Judged::Object);
}

bool OnlyTrustedCanDoToNewFile(const void* folderDescriptor, DWORD size, DWORD rights,
                               const TrustedPrincipals& trusted)
{
    return Judge(folderDescriptor, size, rights, trusted, Judged::NewFile);
}

bool IsVolumeDevice(const wchar_t* target)
{
    const wchar_t kDevices[] = L"\\Device\\";
    for (const wchar_t* prefix = kDevices; *prefix; ++prefix, ++target)
        if (*target != *prefix)  // stops at the target's end too
            return false;
    // Up to three names below \Device.
    const wchar_t* first = target;
    const wchar_t* firstEnd = NameEnd(first);
    if (firstEnd == first)
        return false;
    if (!*firstEnd)
        return true;
    const wchar_t* second = firstEnd + 1;
    const wchar_t* secondEnd = NameEnd(second);
    if (!*secondEnd)
        return IsName(first, firstEnd, L"Harddisk", true) &&
               IsName(second, secondEnd, L"Partition", true);
    const wchar_t* third = secondEnd + 1;
    const wchar_t* thirdEnd = NameEnd(third);
    return !*thirdEnd && IsName(first, firstEnd, L"HarddiskDmVolumes", false) &&
           secondEnd != second && IsName(third, thirdEnd, L"Volume", true);
}

bool IsSameDriveLetter(wchar_t letter, wchar_t other)
{
    auto upper = [](wchar_t c) { return c >= L'a' && c <= L'z' ? wchar_t(c - L'a' + L'A') : c; };
    return upper(letter) == upper(other);
}


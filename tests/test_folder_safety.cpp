// Which folders a driver may be registered from, judged from security
// descriptors written as SDDL after Windows' own defaults.
#include "folder_safety.h"

#include <gtest/gtest.h>

#include <sddl.h>

#include <string>

namespace {

const char kInstaller[] = "S-1-5-21-1-2-3-1001";
const std::string kTi = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

struct Case {
    const char* what;
    std::string sddl;
    DWORD rights;
    bool safe;
};

bool Judge(const std::string& sddl, DWORD rights)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ULONG size = 0;
    PSID installer = nullptr;
    EXPECT_TRUE(ConvertStringSidToSidA(kInstaller, &installer));
    EXPECT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1,
                                                                     &descriptor, &size))
        << sddl << ": error " << GetLastError();
    bool safe = OnlyTrustedCanDo(descriptor, size, rights, installer);
    LocalFree(descriptor);
    LocalFree(installer);
    return safe;
}

}  // namespace

TEST(FolderSafety, SecurityDescriptors)
{
    const std::string base = "O:BAD:(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x1200a9;;;BU)";
    const Case cases[] = {
        {"new folder at the root of C:, inheriting Authenticated Users Modify",
         "O:BAD:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;OICIID;0x1200a9;;;BU)"
         "(A;OICIID;0x1301bf;;;AU)",
         kChangeRights, false},
        {"the root of C: above it",
         "O:SYD:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)"
         "(A;OICIIO;0x1301bf;;;AU)(A;;0x4;;;AU)",
         kReplaceRights, true},
        {"C:\\Program Files above it",
         "O:" + kTi + "D:PAI(A;;FA;;;" + kTi + ")(A;CIIO;GA;;;" + kTi + ")(A;;0x1301bf;;;SY)"
         "(A;OICIIO;GA;;;SY)(A;;0x1301bf;;;BA)(A;OICIIO;GA;;;BA)(A;;0x1200a9;;;BU)"
         "(A;OICIIO;GXGR;;;BU)(A;OICIIO;GA;;;CO)(A;;0x1200a9;;;S-1-15-2-1)",
         kReplaceRights, true},
        {"a folder an administrator made below C:\\Program Files",
         "O:BAD:AI(A;OICIID;FA;;;SY)(A;OICIID;FA;;;BA)(A;OICIID;0x1200a9;;;BU)"
         "(A;OICIIOID;GA;;;CO)(A;OICIID;0x1200a9;;;S-1-15-2-1)",
         kChangeRights, true},
        {"owned by and writable only by the installing account",
         std::string("O:") + kInstaller + "D:P(A;OICI;FA;;;" + kInstaller + ")(A;OICI;FA;;;SY)",
         kChangeRights, true},
        {"Users may write", base + "(A;;0x2;;;BU)", kChangeRights, false},
        {"Everyone may append", base + "(A;;0x4;;;WD)", kChangeRights, false},
        {"Users may delete children", base + "(A;;0x40;;;BU)", kChangeRights, false},
        {"Everyone may delete", base + "(A;;SD;;;WD)", kChangeRights, false},
        {"Users may change permissions", base + "(A;;WD;;;BU)", kChangeRights, false},
        {"Everyone may take ownership", base + "(A;;WO;;;WD)", kChangeRights, false},
        {"generic write for Users", base + "(A;;GW;;;BU)", kChangeRights, false},
        {"generic all for Everyone", base + "(A;;GA;;;WD)", kChangeRights, false},
        {"an untrusted owner", "O:BUD:(A;;FA;;;SY)", kChangeRights, false},
        {"no DACL read", "O:BA", kChangeRights, false},
        {"an empty DACL, a trusted owner", "O:BAD:", kChangeRights, true},
        {"an inherit-only entry alone", "O:BAD:(A;OICIIO;FA;;;WD)", kChangeRights, true},
        {"a parent where Authenticated Users delete children", base + "(A;;0x40;;;AU)",
         kReplaceRights, false},
        {"a parent where Users only add files and folders", base + "(A;;0x6;;;BU)",
         kReplaceRights, true},
        {"Everyone denied before Users allowed", "O:BAD:(D;;0x40;;;WD)(A;;0x40;;;BU)",
         kChangeRights, true},
        {"another group denied: not every user is in it", "O:BAD:(D;;0x40;;;IU)(A;;0x40;;;BU)",
         kChangeRights, false},
        {"denied only after the allow", "O:BAD:(A;;0x40;;;BU)(D;;0x40;;;BU)", kChangeRights,
         false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Judge(c.sddl, c.rights), c.safe) << c.what;
}

TEST(FolderSafety, NullDaclIsUnsafe)
{
    // Made by hand: not every SDDL parser gives a null DACL for
    // NO_ACCESS_CONTROL.
    SECURITY_DESCRIPTOR absolute;
    PSID administrators = nullptr;
    ASSERT_TRUE(InitializeSecurityDescriptor(&absolute, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(ConvertStringSidToSidA("S-1-5-32-544", &administrators));
    ASSERT_TRUE(SetSecurityDescriptorOwner(&absolute, administrators, FALSE));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&absolute, TRUE, nullptr, FALSE));
    BYTE relative[128];
    DWORD size = sizeof relative;
    ASSERT_TRUE(MakeSelfRelativeSD(&absolute, relative, &size)) << GetLastError();
    EXPECT_FALSE(OnlyTrustedCanDo(relative, size, kChangeRights, nullptr));
    LocalFree(administrators);
}

TEST(FolderSafety, MalformedDescriptorsAreUnsafe)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ULONG size = 0;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
        "O:BAD:(A;;FA;;;SY)", SDDL_REVISION_1, &descriptor, &size));
    EXPECT_TRUE(OnlyTrustedCanDo(descriptor, size, kChangeRights, nullptr));
    for (ULONG cut = 0; cut < size; ++cut)
        EXPECT_FALSE(OnlyTrustedCanDo(descriptor, cut, kChangeRights, nullptr)) << cut << " bytes";
    LocalFree(descriptor);
}

TEST(FolderSafety, OnlyAFixedDiskThatKeepsPermissions)
{
    EXPECT_TRUE(IsTrustworthyVolume(DRIVE_FIXED, FILE_PERSISTENT_ACLS | FILE_CASE_PRESERVED_NAMES));
    EXPECT_FALSE(IsTrustworthyVolume(DRIVE_FIXED, FILE_CASE_PRESERVED_NAMES));  // FAT, exFAT
    for (UINT type : {DRIVE_REMOTE, DRIVE_REMOVABLE, DRIVE_CDROM, DRIVE_RAMDISK, DRIVE_UNKNOWN,
                      DRIVE_NO_ROOT_DIR})
        EXPECT_FALSE(IsTrustworthyVolume(type, FILE_PERSISTENT_ACLS)) << "drive type " << type;
}

// Which folders a driver may be registered from, judged from security
// descriptors written as SDDL after Windows' own defaults.
#include "judge.h"

#include <gtest/gtest.h>

#include <sddl.h>

#include <string.h>

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

// Judges `sddl` as the object itself, or (`newFile`) for a file created in a
// folder of that descriptor.
bool Judge(const std::string& sddl, DWORD rights, bool accountTrusted = true,
           bool powerUsers = false, bool newFile = false)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ULONG size = 0;
    PSID installer = nullptr;
    EXPECT_TRUE(ConvertStringSidToSidA(kInstaller, &installer));
    EXPECT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1,
                                                                     &descriptor, &size))
        << sddl << ": error " << GetLastError();
    TrustedPrincipals trusted = {accountTrusted ? installer : nullptr, powerUsers};
    bool safe = newFile ? OnlyTrustedCanDoToNewFile(descriptor, size, rights, trusted)
                        : OnlyTrustedCanDo(descriptor, size, rights, trusted);
    LocalFree(descriptor);
    LocalFree(installer);
    return safe;
}

}  // namespace

TEST(TrustRule, SecurityDescriptors)
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
        {"Users may only change attributes", base + "(A;;0x100;;;BU)", kChangeRights, false},
        {"Everyone denied: not Anonymous Logon", "O:BAD:(D;;0x40;;;WD)(A;;0x40;;;AN)",
         kChangeRights, false},
        {"Everyone denied: not NETWORK, which Anonymous Logon holds",
         "O:BAD:(D;;0x40;;;WD)(A;;0x40;;;NU)", kChangeRights, false},
        {"an effective entry for CREATOR OWNER", "O:BAD:(A;OICI;FA;;;CO)(A;;FA;;;CG)",
         kChangeRights, true},
        {"OWNER RIGHTS, a trusted owner", "O:BAD:(A;;FA;;;S-1-3-4)", kChangeRights, true},
        {"OWNER RIGHTS, an untrusted owner", "O:BUD:(A;;FA;;;S-1-3-4)", kChangeRights, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Judge(c.sddl, c.rights), c.safe) << c.what;
}

TEST(TrustRule, NullDaclIsUnsafe)
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
    EXPECT_FALSE(OnlyTrustedCanDo(relative, size, kChangeRights, TrustedPrincipals{}));
    LocalFree(administrators);
}

TEST(TrustRule, MalformedDescriptorsAreUnsafe)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ULONG size = 0;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
        "O:BAD:(A;;FA;;;SY)", SDDL_REVISION_1, &descriptor, &size));
    EXPECT_TRUE(OnlyTrustedCanDo(descriptor, size, kChangeRights, TrustedPrincipals{}));
    for (ULONG cut = 0; cut < size; ++cut)
        EXPECT_FALSE(OnlyTrustedCanDo(descriptor, cut, kChangeRights, TrustedPrincipals{}))
            << cut << " bytes";

    // An entry of a type not known here: the first entry behind the DACL's
    // header.
    BYTE* sd = static_cast<BYTE*>(descriptor);
    DWORD daclAt;
    memcpy(&daclAt, sd + 16, sizeof daclAt);
    sd[daclAt + 8] = 0x20;
    EXPECT_FALSE(OnlyTrustedCanDo(descriptor, size, kChangeRights, TrustedPrincipals{}));
    LocalFree(descriptor);
}

// A file copied into the folder later takes the entries it inherits.
TEST(TrustRule, FileNotThereYet)
{
    const std::string admins = "O:BAD:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
    const struct {
        const char* what;
        std::string sddl;
        bool safe;
    } cases[] = {
        {"Users may write new files", admins + "(A;OIIO;FA;;;BU)", false},
        {"only new subfolders for Users", admins + "(A;CIIO;FA;;;BU)", true},
        {"Users read what is inherited", admins + "(A;OICI;0x1200a9;;;BU)", true},
        {"CREATOR OWNER: whoever added it", admins + "(A;OICIIO;FA;;;CO)(A;OIIO;FA;;;S-1-3-4)",
         true},
        {"CREATOR GROUP: the creator's primary group", admins + "(A;OIIO;FA;;;CG)", false},
        {"Everyone denied first", "O:BAD:(D;OIIO;FA;;;WD)(A;OIIO;FA;;;BU)", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Judge(c.sddl, kChangeRights, true, false, true), c.safe) << c.what;
    // The folder's own entries do not reach the file.
    EXPECT_TRUE(Judge(admins + "(A;OIIO;FA;;;BU)", kChangeRights));
}

// Each named system's defaults for the root of the system drive,
// Program Files and a folder an administrator made below it, and for a
// KESTRAMO.SYS copied into that folder later.
TEST(TrustRule, EachSystemsDefaults)
{
    const std::string me = kInstaller;
    const std::string nt4 = "O:BAD:(A;OICI;0x1301bf;;;WD)(A;OICI;FA;;;BA)(A;OICI;0x1301bf;;;SO)"
                            "(A;OICI;FA;;;SY)(A;OICIIO;FA;;;CO)";
    const std::string xpRoot = "O:BAD:AR(A;OICI;GA;;;BA)(A;OICI;GA;;;SY)(A;OICIIO;GA;;;CO)"
                               "(A;OICI;GRGX;;;BU)(A;CI;0x4;;;BU)(A;CIIO;0x2;;;BU)(A;;GRGX;;;WD)";
    const std::string xpProgramFiles = "O:BAD:P(A;OICI;GRGX;;;BU)(A;OICI;GRGWGXSD;;;PU)"
                                       "(A;OICI;GA;;;BA)(A;OICI;GA;;;SY)(A;OICI;GA;;;CO)";
    const std::string xpFolder = "O:" + me + "D:AI(A;OICIID;0x1200a9;;;BU)"
                                 "(A;OICIID;0x1301bf;;;PU)(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)"
                                 "(A;OICIIOID;GA;;;CO)(A;ID;FA;;;" + me + ")";
    const std::string vistaRoot = "O:SYD:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)"
                                  "(A;OICIIO;0x1301bf;;;AU)(A;;0x4;;;AU)";
    const std::string vistaProgramFiles =
        "O:" + kTi + "D:PAI(A;;FA;;;" + kTi + ")(A;CIIO;GA;;;" + kTi + ")(A;;0x1301bf;;;SY)"
        "(A;OICIIO;GA;;;SY)(A;;0x1301bf;;;BA)(A;OICIIO;GA;;;BA)(A;;0x1200a9;;;BU)"
        "(A;OICIIO;GXGR;;;BU)(A;OICIIO;GA;;;CO)(A;;0x1200a9;;;S-1-15-2-1)"
        "(A;OICIIO;GXGR;;;S-1-15-2-1)";
    const std::string vistaFolder =
        "O:BAD:AI(A;OICIID;FA;;;SY)(A;OICIID;FA;;;BA)(A;OICIID;0x1200a9;;;BU)"
        "(A;OICIIOID;GA;;;CO)(A;OICIID;0x1200a9;;;S-1-15-2-1)";
    const struct {
        const char* system;
        bool beforeVista;
        std::string root, programFiles, folder;
        bool rootSafe, programFilesSafe, folderSafe;
    } systems[] = {
        {"NT 4.0: Everyone may change", true, nt4, nt4,
         "O:" + me + "D:" + nt4.substr(nt4.find("D:") + 2) + "(A;;FA;;;" + me + ")", false, false,
         false},
        {"2000: Everyone has Full Control of the root", true, "O:BAD:(A;OICI;FA;;;WD)",
         xpProgramFiles, xpFolder, false, true, true},
        {"XP and 2003: Power Users may modify", true, xpRoot, xpProgramFiles, xpFolder, true, true,
         true},
        {"Vista to 11", false, vistaRoot, vistaProgramFiles, vistaFolder, true, true, true},
        {"XP's, judged on Vista or later", false, xpRoot, xpProgramFiles, xpFolder, true, false,
         false},
    };
    for (const auto& s : systems) {
        SCOPED_TRACE(s.system);
        EXPECT_EQ(Judge(s.root, kReplaceRights, s.beforeVista, s.beforeVista), s.rootSafe);
        EXPECT_EQ(Judge(s.programFiles, kReplaceRights, s.beforeVista, s.beforeVista),
                  s.programFilesSafe);
        EXPECT_EQ(Judge(s.folder, kChangeRights, s.beforeVista, s.beforeVista), s.folderSafe);
        EXPECT_EQ(Judge(s.folder, kChangeRights, s.beforeVista, s.beforeVista, true),
                  s.folderSafe);
    }
}

TEST(TrustRule, OnlyAFixedDiskThatKeepsPermissions)
{
    EXPECT_TRUE(IsTrustworthyVolume(DRIVE_FIXED, FILE_PERSISTENT_ACLS | FILE_CASE_PRESERVED_NAMES));
    EXPECT_FALSE(IsTrustworthyVolume(DRIVE_FIXED, FILE_CASE_PRESERVED_NAMES));  // FAT, exFAT
    for (UINT type : {DRIVE_REMOTE, DRIVE_REMOVABLE, DRIVE_CDROM, DRIVE_RAMDISK, DRIVE_UNKNOWN,
                      DRIVE_NO_ROOT_DIR})
        EXPECT_FALSE(IsTrustworthyVolume(type, FILE_PERSISTENT_ACLS)) << "drive type " << type;
    EXPECT_TRUE(IsPlainFileOrFolder(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_FALSE(IsPlainFileOrFolder(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
    EXPECT_FALSE(IsPlainFileOrFolder(INVALID_FILE_ATTRIBUTES));
}

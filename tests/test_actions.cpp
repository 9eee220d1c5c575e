// Install and Remove against the fake service manager: notices, call order,
// handles.
#include "actions.h"
#include "driver_service.h"
#include "fake_scm.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

namespace {

using Calls = std::vector<std::string>;

struct ActionFixture : ::testing::Test {
    FakePlatformApi fake;
    ScopedPlatformApi scope{&fake};
    RecordingNoticeSink sink{&fake};

    std::string Formatted(const char* format, DWORD code)
    {
        char buffer[kNoticeBufferSize];
        FormatErrorNotice(buffer, format, code);
        return buffer;
    }

    void ExpectNotice(size_t index, const std::string& text, const char* caption, UINT type)
    {
        ASSERT_GT(sink.shown.size(), index);
        EXPECT_EQ(sink.shown[index].text, text);
        EXPECT_EQ(sink.shown[index].caption, caption);
        EXPECT_EQ(sink.shown[index].type, type);
    }

    void ExpectHandlesBalanced()
    {
        EXPECT_EQ(fake.OpenHandles(), 0);
        EXPECT_EQ(fake.DoubleCloses(), 0);
    }
};

const std::string kSuccess = "Notice:" + std::string(kTexts.captionSuccess);
const std::string kFatal = "Notice:" + std::string(kTexts.captionInstallFailure);
const std::string kError = "Notice:" + std::string(kTexts.captionRemoveFailure);

}  // namespace

using InstallDriverServiceTest = ActionFixture;
using RemoveDriverServiceTest = ActionFixture;

TEST_F(InstallDriverServiceTest, RegistersAndStartsTheDriver)
{
    fake.currentDirectory = "C:\\Setup";
    EXPECT_EQ(InstallDriverService(true, sink), 0u);

    ASSERT_EQ(sink.shown.size(), 1u);
    ExpectNotice(0, kTexts.noticeInstalled, kTexts.captionSuccess, 0x40);
    EXPECT_EQ(fake.calls, (Calls{"GetCurrentDirectoryW", "OpenSCManagerA", "CreateServiceW",
                                 "StartServiceA", kSuccess, "CloseServiceHandle(service)",
                                 "CloseServiceHandle(manager)"}));
    ASSERT_EQ(fake.creations.size(), 1u);
    const auto& created = fake.creations[0];
    EXPECT_EQ(created.name, "KESTRAMO");
    EXPECT_EQ(created.displayName, u8"KESTRAMO 核心驱动程序");
    EXPECT_EQ(created.imagePath, "C:\\Setup\\KESTRAMO.SYS");
    EXPECT_EQ(created.access, DWORD(SERVICE_ALL_ACCESS));
    EXPECT_EQ(created.serviceType, DWORD(SERVICE_KERNEL_DRIVER));
    EXPECT_EQ(created.startType, DWORD(SERVICE_AUTO_START));
    EXPECT_EQ(created.errorControl, DWORD(SERVICE_ERROR_NORMAL));
    EXPECT_TRUE(created.nullOptionals);
    EXPECT_TRUE(fake.serviceRunning);
    ExpectHandlesBalanced();
}

TEST_F(InstallDriverServiceTest, CreationFailureIsFatalAndRegistersNothing)
{
    fake.FailNext("CreateServiceW", ERROR_ACCESS_DENIED);
    EXPECT_EQ(InstallDriverService(true, sink), DWORD(ERROR_ACCESS_DENIED));

    ASSERT_EQ(sink.shown.size(), 1u);
    ExpectNotice(0, Formatted(kTexts.formatCreateFailed, 5), kTexts.captionInstallFailure, 0x10);
    EXPECT_EQ(fake.calls, (Calls{"GetCurrentDirectoryW", "OpenSCManagerA", "CreateServiceW",
                                 "GetLastError", kFatal, "CloseServiceHandle(null)",
                                 "CloseServiceHandle(manager)"}));
    EXPECT_FALSE(fake.serviceRegistered);
    ExpectHandlesBalanced();
}

TEST_F(InstallDriverServiceTest, ExistingServiceGivesTheExistsCode)
{
    fake.serviceRegistered = true;
    InstallDriverService(true, sink);
    ASSERT_EQ(sink.shown.size(), 1u);
    ExpectNotice(0, Formatted(kTexts.formatCreateFailed, ERROR_SERVICE_EXISTS),
                 kTexts.captionInstallFailure, 0x10);
    EXPECT_NE(sink.shown[0].text.find("(0x431)"), std::string::npos);
}

TEST_F(InstallDriverServiceTest, UnopenableManagerShowsTheCreationFailure)
{
    fake.managerAccessDenied = true;
    InstallDriverService(true, sink);
    ASSERT_EQ(sink.shown.size(), 1u);
    ExpectNotice(0, Formatted(kTexts.formatCreateFailed, ERROR_INVALID_HANDLE),
                 kTexts.captionInstallFailure, 0x10);
    EXPECT_EQ(fake.calls, (Calls{"GetCurrentDirectoryW", "OpenSCManagerA", "CreateServiceW",
                                 "GetLastError", kFatal, "CloseServiceHandle(null)",
                                 "CloseServiceHandle(null)"}));
    EXPECT_FALSE(fake.serviceRegistered);
}

TEST_F(InstallDriverServiceTest, StartFailureLeavesTheRegistration)
{
    fake.driverLoads = false;
    EXPECT_EQ(InstallDriverService(true, sink), DWORD(ERROR_FILE_NOT_FOUND));

    ASSERT_EQ(sink.shown.size(), 1u);
    ExpectNotice(0, Formatted(kTexts.formatStartFailed, ERROR_FILE_NOT_FOUND),
                 kTexts.captionInstallFailure, 0x10);
    EXPECT_EQ(fake.calls, (Calls{"GetCurrentDirectoryW", "OpenSCManagerA", "CreateServiceW",
                                 "StartServiceA", "GetLastError", kFatal,
                                 "CloseServiceHandle(service)", "CloseServiceHandle(manager)"}));
    EXPECT_TRUE(fake.serviceRegistered);
    EXPECT_FALSE(fake.serviceRunning);
    ExpectHandlesBalanced();
}

TEST_F(InstallDriverServiceTest, LargeErrorCodeIsShownInFull)
{
    fake.FailNext("StartServiceA", 0xC0000135);
    EXPECT_EQ(InstallDriverService(true, sink), 0xC0000135u);
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_NE(sink.shown[0].text.find("[StartService (0xc0000135)]"), std::string::npos);
}

TEST_F(InstallDriverServiceTest, LongCurrentDirectoryIsRegisteredInFull)
{
    fake.currentDirectory = "C:\\" + std::string(180, 'x');
    InstallDriverService(true, sink);
    ASSERT_EQ(fake.creations.size(), 1u);
    EXPECT_EQ(fake.creations[0].imagePath, fake.currentDirectory + "\\KESTRAMO.SYS");
    ExpectNotice(0, kTexts.noticeInstalled, kTexts.captionSuccess, 0x40);
}

// A folder of any name: the path reaches CreateServiceW exactly as the
// folder is named, whatever the ANSI code page, 936 included.
TEST(InstallDriverServiceAnyFolder, RegistersTheExactPathInEveryCodePage)
{
    const char* const folders[] = {
        u8"C:\\한국어 폴더",
        u8"C:\\Setup \U0001F600",
        u8"C:\\Привет\\Γειά σου",
        u8"C:\\驱动 é Ａ",
        "C:\\Setup",
    };
    for (UINT codePage : {936u, 1252u, 932u}) {
        for (const char* folder : folders) {
            SCOPED_TRACE(std::to_string(codePage) + " " + folder);
            FakePlatformApi fake;
            ScopedPlatformApi scope{&fake};
            RecordingNoticeSink sink{&fake};
            fake.ansiCodePage = codePage;
            fake.currentDirectory = folder;
            EXPECT_EQ(InstallDriverService(true, sink), 0u);
            ASSERT_EQ(fake.creations.size(), 1u);
            EXPECT_EQ(fake.creations[0].imagePath, std::string(folder) + "\\KESTRAMO.SYS");
        }
    }
}

namespace {

std::string FromGbk(const char* text)
{
    wchar_t wide[512] = {};
    MultiByteToWideChar(936, 0, text, -1, wide, 512);
    return Utf8(wide);
}

// The box of the program's own refusal as a person reads it: the heading
// with the code; the place; why; what to do.
std::string RefusalBox(DWORD code, const std::string& place, const char* reason,
                       const char* action)
{
    char heading[kNoticeBufferSize];
    FormatErrorNotice(heading, kRefusalTexts.heading, code);
    std::string text = FromGbk(heading) + "\n\n";
    if (!place.empty())
        text += FromGbk(kRefusalTexts.place) + place + "\n";
    text += FromGbk(reason);
    if (action)
        text += "\n" + FromGbk(action);
    return text;
}

// Checks the one notice a refusal showed, and that nothing was registered.
void ExpectRefusal(FakePlatformApi& fake, const RecordingNoticeSink& sink, const std::string& box)
{
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_TRUE(sink.shown[0].wide);
    EXPECT_EQ(sink.shown[0].text, box);
    EXPECT_EQ(sink.shown[0].caption, u8"致命错误");
    EXPECT_EQ(sink.shown[0].type, 0x10u);
    EXPECT_FALSE(fake.AnyServiceManagerCall());
    EXPECT_EQ(fake.OpenHandles(), 0);
}

}  // namespace

// The box says it in full, for a person to act on.
TEST_F(InstallDriverServiceTest, RefusalSaysThePlaceWhyAndWhatToDo)
{
    fake.currentDirectory = u8"C:\\Users\\me\\Downloads\\한국어";
    fake.security[fake.currentDirectory] = "O:BAD:(A;;FA;;;BA)(A;;0x1301bf;;;AU)";
    EXPECT_EQ(InstallDriverService(true, sink), 1275u);
    ExpectRefusal(fake, sink,
                  u8"不能安装 KESTRAMO 驱动程序 (0x4fb).\n\n"
                  u8"位置: C:\\Users\\me\\Downloads\\한국어\n"
                  u8"原因: 除管理员以外, 别的用户也能更改它 (所有者或权限).\n"
                  u8"办法: 把 INSTALL.EXE 和 KESTRAMO.SYS 复制到 C:\\Program Files 下的一个文件夹里 "
                  u8"(Windows 2000 和 NT 4.0 请先看 README.txt), 再从那里运行 INSTALL.EXE.");
}

// Each refusal names the first place refused, why, and what to do; a query
// that fails names the place it could not read, and its code is the
// outcome.
TEST(InstallDriverServiceFolderCheck, EachRefusalNamesItsPlaceAndReason)
{
    const RefusalTexts& t = kRefusalTexts;
    const std::string kWritable = "O:BAD:(A;;FA;;;BA)(A;;0x1301bf;;;AU)";
    const std::string kFolder = "C:\\Tools\\Setup", kFile = kFolder + "\\KESTRAMO.SYS";
    const std::string kLong = "C:\\" + std::string(300, 'L');
    struct Case {
        const char* what;
        std::map<std::string, std::string> security;
        std::set<std::string> links;
        std::string place;
        const char* reason;
        DWORD code = 1275;
        const char* failing = nullptr;  // a query that fails with ERROR_ACCESS_DENIED
        UINT driveType = DRIVE_FIXED;
        DWORD volumeFlags = FILE_PERSISTENT_ACLS;
        std::string directory = "C:\\Tools\\Setup";
        std::set<std::string> linksWhenOpened = {};
    };
    const Case cases[] = {
        {"the folder", {{kFolder, kWritable}}, {}, kFolder, t.othersCanChange},
        {"the driver file", {{kFile, kWritable}}, {}, kFile, t.othersCanChange},
        {"a folder above", {{"C:\\Tools", kWritable}}, {}, "C:\\Tools", t.othersCanChange},
        {"a file not there yet that Users could write",
         {{kFile, ""}, {kFolder, "O:BAD:(A;OICI;FA;;;BA)(A;OIIO;FA;;;BU)"}}, {}, kFolder,
         t.othersCanChange},
        {"the driver file in a drive root", {{"C:\\KESTRAMO.SYS", kWritable}}, {},
         "C:\\KESTRAMO.SYS", t.othersCanChange, 1275, nullptr, DRIVE_FIXED,
         FILE_PERSISTENT_ACLS, "C:\\"},
        {"another disk", {}, {}, "D:\\", t.notWindowsDrive, 1275, nullptr, DRIVE_FIXED,
         FILE_PERSISTENT_ACLS, "D:\\Setup"},
        {"a long path, whole", {{kLong, kWritable}}, {}, kLong, t.othersCanChange, 1275, nullptr,
         DRIVE_FIXED, FILE_PERSISTENT_ACLS, kLong},
        {"the folder a link", {}, {kFolder}, kFolder, t.link},
        {"the driver file a link", {}, {kFile}, kFile, t.link},
        {"a folder above a link", {}, {"C:\\Tools"}, "C:\\Tools", t.link},
        {"a folder above made a link once its path was asked", {}, {}, "C:\\Tools", t.link, 1275,
         nullptr, DRIVE_FIXED, FILE_PERSISTENT_ACLS, kFolder, {"C:\\Tools"}},
        {"a network drive", {}, {}, "C:\\", t.notLocalDisk, 1275, nullptr, DRIVE_REMOTE},
        {"a network path", {}, {}, "\\\\server\\share\\Setup", t.notLocalDisk, 1275, nullptr,
         DRIVE_FIXED, FILE_PERSISTENT_ACLS, "\\\\server\\share\\Setup"},
        {"a FAT stick", {}, {}, "C:\\", t.notLocalDisk, 1275, nullptr, DRIVE_FIXED,
         FILE_CASE_PRESERVED_NAMES},
        {"unreadable permissions", {}, {}, "C:\\", t.placeUnreadable, 5,
         "GetKernelObjectSecurity"},
        {"an unreadable driver file", {{kFile, "not SDDL"}}, {}, kFile, t.placeUnreadable,
         ERROR_INVALID_SECURITY_DESCR},
        {"an unopenable folder", {}, {}, "C:\\", t.placeUnreadable, 5, "OpenForQuery"},
        {"unreadable attributes", {}, {}, "C:\\", t.placeUnreadable, 5, "GetFileAttributesW"},
        {"an unreadable volume", {}, {}, "C:\\", t.placeUnreadable, 5, "GetVolumeInformationW"},
        {"an unreadable drive letter", {}, {}, "C:\\", t.placeUnreadable, 5, "QueryDosDeviceW"},
        {"no token", {}, {}, "", t.tokenUnreadable, 5, "OpenProcessToken"},
        {"no current directory", {}, {}, "", t.directoryUnreadable, 5, "GetCurrentDirectoryW"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakePlatformApi fake;
        ScopedPlatformApi scope{&fake};
        RecordingNoticeSink sink{&fake};
        fake.currentDirectory = c.directory;
        fake.security = c.security;
        fake.links = c.links;
        fake.linksWhenOpened = c.linksWhenOpened;
        fake.driveType = c.driveType;
        fake.volumeFlags = c.volumeFlags;
        if (c.failing)
            fake.FailNext(c.failing, ERROR_ACCESS_DENIED);

        EXPECT_EQ(InstallDriverService(true, sink), c.code);
        ExpectRefusal(fake, sink,
                      RefusalBox(c.code, c.place, c.reason,
                                 c.code == 1275 ? t.copyUnderProgramFiles : nullptr));
    }
}

// Where the place the kernel opens at boot is not the one this session's
// queries read: a name ending in a space or a dot, which Win32 drops from the
// last name it is asked for ("C:\Windows " would read C:\Windows), and a
// drive letter made with subst, which does not exist at boot.
TEST(InstallDriverServiceFolderCheck, PlacesTheKernelReadsOtherwise)
{
    const RefusalTexts& t = kRefusalTexts;
    const std::string writable = "O:S-1-5-21-1-2-3-1002D:(A;OICI;FA;;;AU)";
    struct Case {
        const char* what;
        const char* directory;
        const char* device;
        const char* place;
        const char* reason;
        const char* action;
    };
    const Case cases[] = {
        {"a folder ending in a space", "C:\\Windows ", "\\Device\\HarddiskVolume2", "C:\\Windows ",
         t.nameEndsInSpaceOrDot, t.copyUnderProgramFiles},
        {"a folder above ending in a dot", "C:\\Windows.\\Setup", "\\Device\\HarddiskVolume2",
         "C:\\Windows.", t.nameEndsInSpaceOrDot, t.copyUnderProgramFiles},
        {"a subst letter", "K:\\", "\\??\\C:\\Program Files\\KESTRAMO", "K:\\", t.notWindowsDrive,
         t.copyUnderProgramFiles},
        {"a letter for a folder on a volume", "K:\\", "\\Device\\HarddiskVolume2\\Program Files",
         "K:\\", t.notWindowsDrive, t.copyUnderProgramFiles},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakePlatformApi fake;
        ScopedPlatformApi scope{&fake};
        RecordingNoticeSink sink{&fake};
        fake.currentDirectory = c.directory;
        fake.dosDevice = c.device;
        fake.security["C:\\Windows "] = fake.security["C:\\Windows."] = writable;

        EXPECT_EQ(InstallDriverService(true, sink), 1275u);
        ExpectRefusal(fake, sink, RefusalBox(1275, c.place, c.reason, c.action));
    }
}

// A drive letter counts as a volume where it names a disk device as each
// system names one, and as nothing else.
TEST(InstallDriverServiceFolderCheck, DriveLettersOfEachSystem)
{
    struct Case {
        const char* what;
        DWORD majorVersion;
        const char* device;
        bool installs;
        const char* directory = "C:\\Setup";  // Windows is on C:
    };
    const Case cases[] = {
        {"NT 4.0: a partition", 4, "\\Device\\Harddisk0\\Partition1", true},
        {"NT 4.0: a partition of a second disk", 4, "\\Device\\Harddisk1\\Partition12", true},
        {"2000, XP, 2003: a basic volume", 5, "\\Device\\HarddiskVolume1", true},
        {"2000, XP, 2003: a dynamic volume", 5, "\\Device\\HarddiskDmVolumes\\PCDg0\\Volume1",
         true},
        {"Vista on: any volume", 10, "\\Device\\HarddiskVolume3", true},
        {"a subst letter", 10, "\\??\\C:\\Program Files\\KESTRAMO", false},
        {"a subst letter of a root", 10, "\\??\\C:\\", false},
        {"NT 4.0: a subst letter", 4, "\\??\\C:\\Program Files", false},
        {"a folder on a volume", 10, "\\Device\\HarddiskVolume2\\Program Files", false},
        {"a folder on a partition", 4, "\\Device\\Harddisk0\\Partition1\\Program Files", false},
        {"a folder on a dynamic volume", 5, "\\Device\\HarddiskDmVolumes\\PCDg0\\Volume1\\Tools",
         false},
        {"a whole disk, not a partition", 4, "\\Device\\Harddisk0\\DR0", false},
        {"a partition without its number", 4, "\\Device\\Harddisk0\\Partition", false},
        {"a dynamic group's other object", 5, "\\Device\\HarddiskDmVolumes\\PCDg0\\Tools", false},
        {"a dynamic volume without a group", 5, "\\Device\\HarddiskDmVolumes\\\\Volume1", false},
        {"a network letter", 10, "\\Device\\LanmanRedirector\\;Z:0000000000012345\\server\\share",
         false},
        {"no device at all", 10, "\\Device\\", false},
        // Only the drive Windows is on: another fixed disk may be one a user
        // carries away, and on NT 4.0 and 2000 any user may define a letter.
        {"another disk", 10, "\\Device\\HarddiskVolume3", false, "D:\\Setup"},
        {"NT 4.0: another drive", 4, "\\Device\\Harddisk0\\Partition2", false, "D:\\Setup"},
        {"2000: another drive, its letter written small", 5, "\\Device\\HarddiskVolume2", false,
         "d:\\Setup"},
        {"the Windows drive, its letter written small", 5, "\\Device\\HarddiskVolume2", true,
         "c:\\Setup"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakePlatformApi fake;
        ScopedPlatformApi scope{&fake};
        RecordingNoticeSink sink{&fake};
        fake.majorVersion = c.majorVersion;
        fake.currentDirectory = c.directory;
        fake.dosDevice = c.device;
        EXPECT_EQ(InstallDriverService(true, sink), c.installs ? 0u : 1275u);
        EXPECT_EQ(fake.creations.size(), c.installs ? 1u : 0u);
        if (!c.installs && !sink.shown.empty()) {
            EXPECT_NE(sink.shown[0].text.find(FromGbk(kRefusalTexts.notWindowsDrive)),
                      std::string::npos)
                << sink.shown[0].text;
        }
    }
}

// Who is trusted besides SYSTEM, Administrators and TrustedInstaller: the
// installing account only where none of its programs runs unelevated, so a
// Downloads folder is refused under UAC; Power Users only before Vista.
TEST(InstallDriverServiceFolderCheck, TrustedAccountAndPowerUsers)
{
    const std::string me = FakePlatformApi().installerSid;
    const std::string downloads =
        "O:" + me + "D:(A;OICIID;FA;;;SY)(A;OICIID;FA;;;BA)(A;OICIID;FA;;;" + me + ")";
    const std::string powerUsers = "O:BAD:(A;OICI;FA;;;BA)(A;OICI;0x1301bf;;;PU)";
    const DWORD enabled = SE_GROUP_MANDATORY | SE_GROUP_ENABLED_BY_DEFAULT | SE_GROUP_ENABLED;
    const auto unsupported = TOKEN_ELEVATION_TYPE(0);
    struct Case {
        const char* what;
        const std::string& folder;
        DWORD majorVersion;
        TOKEN_ELEVATION_TYPE elevation;
        DWORD linkedAdministrators;
        bool linkedFails;
        DWORD code;
        bool notAtADesktop = false;  // a network, batch or service sign-in
    };
    const Case cases[] = {
        {"UAC: a linked token with Administrators deny-only", downloads, 10,
         TokenElevationTypeFull, SE_GROUP_USE_FOR_DENY_ONLY, false, 1275},
        {"no linked token", downloads, 10, TokenElevationTypeDefault, 0, false, 0},
        {"no linked token, not signed in at a desktop", downloads, 10,
         TokenElevationTypeDefault, 0, false, 1275, true},
        {"the elevation query unsupported", downloads, 5, unsupported, 0, false, 0},
        {"a linked token with Administrators enabled", downloads, 10, TokenElevationTypeFull,
         enabled, false, 0},
        {"the linked token unreadable", downloads, 10, TokenElevationTypeFull, enabled, true,
         1275},
        {"this process the unelevated one", downloads, 10, TokenElevationTypeLimited, enabled,
         false, 1275},
        {"Power Users before Vista", powerUsers, 5, unsupported, 0, false, 0},
        {"Power Users from Vista on", powerUsers, 6, TokenElevationTypeDefault, 0, false, 1275},
        {"Power Users where 5 is a compatibility mode's", powerUsers, 5,
         TokenElevationTypeDefault, 0, false, 1275},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakePlatformApi fake;
        ScopedPlatformApi scope{&fake};
        RecordingNoticeSink sink{&fake};
        fake.currentDirectory = "C:\\Users\\me\\Downloads";
        fake.security["C:\\Users\\me"] = fake.security[fake.currentDirectory] = c.folder;
        fake.majorVersion = c.majorVersion;
        fake.elevationType = c.elevation;
        fake.linkedAdministrators = c.linkedAdministrators;
        fake.interactive = !c.notAtADesktop;
        if (c.linkedFails)
            fake.FailNext("TokenLinkedToken", ERROR_ACCESS_DENIED);

        EXPECT_EQ(InstallDriverService(true, sink), c.code);
        EXPECT_EQ(fake.creations.size(), c.code == 0 ? 1u : 0u);
        EXPECT_EQ(fake.OpenHandles(), 0);
        EXPECT_EQ(fake.DoubleCloses(), 0);
    }
}

// A driver in a drive root is registered with two separators before its
// name, which the service manager makes one: the file is asked as the
// kernel will open it.
TEST_F(InstallDriverServiceTest, InstallsFromADriveRoot)
{
    fake.currentDirectory = "C:\\";
    EXPECT_EQ(InstallDriverService(true, sink), 0u);
    ASSERT_EQ(fake.creations.size(), 1u);
    EXPECT_EQ(fake.creations[0].imagePath, "C:\\\\KESTRAMO.SYS");
    const std::string asked = "GetFileAttributesW \\\\?\\C:\\KESTRAMO.SYS";
    EXPECT_NE(std::find(fake.folderQueries.begin(), fake.folderQueries.end(), asked),
              fake.folderQueries.end());
}

// From the root down, each folder's attributes then its descriptor; then the
// driver file's attributes; each asked by its UTF-16 name.
TEST_F(InstallDriverServiceTest, ChecksEachFolderFromTheRootThenTheFile)
{
    fake.currentDirectory = u8"D:\\Program Files\\Kestramo-乗";
    fake.systemDirectory = "D:\\WINNT\\system32";
    const std::string file = fake.currentDirectory + "\\KESTRAMO.SYS";
    fake.security[file] = "";  // not there yet
    EXPECT_EQ(InstallDriverService(true, sink), 0u);

    std::vector<std::string> read;  // each sized query is asked twice
    for (const std::string& query : fake.folderQueries)
        if (query.find("D:") != std::string::npos && (read.empty() || read.back() != query))
            read.push_back(query);
    // Each path as it stands, after "\\?\".
    const std::string v = "\\\\?\\";
    // Each place's path is asked, then its object opened, and its attributes
    // and descriptor read through that one handle.
    auto place = [&](const std::string& path) {
        return Calls{"GetFileAttributesW " + v + path, "OpenForQuery " + v + path,
                     "GetFileInformationByHandle " + path, "GetKernelObjectSecurity " + path};
    };
    Calls expected = {"GetDriveTypeW D:\\", "GetVolumeInformationW D:\\", "QueryDosDeviceW D:"};
    for (const std::string& path : {std::string("D:\\"), std::string("D:\\Program Files"),
                                    fake.currentDirectory}) {
        Calls calls = place(path);
        expected.insert(expected.end(), calls.begin(), calls.end());
    }
    expected.push_back("GetFileAttributesW " + v + file);
    EXPECT_EQ(read, expected);
    EXPECT_EQ(fake.calls, (Calls{"GetCurrentDirectoryW", "OpenSCManagerA", "CreateServiceW",
                                 "StartServiceA", kSuccess, "CloseServiceHandle(service)",
                                 "CloseServiceHandle(manager)"}));
    ExpectHandlesBalanced();
}

TEST_F(InstallDriverServiceTest, NotNtDoesNothing)
{
    EXPECT_EQ(InstallDriverService(false, sink), DWORD(ERROR_CANCELLED));
    EXPECT_TRUE(fake.calls.empty());
    EXPECT_TRUE(sink.shown.empty());
}

TEST_F(RemoveDriverServiceTest, StopsAndDeletesARunningDriver)
{
    fake.serviceRegistered = true;
    fake.serviceRunning = true;
    EXPECT_EQ(RemoveDriverService(true, sink), 0u);

    ASSERT_EQ(sink.shown.size(), 1u);
    ExpectNotice(0, kTexts.noticeRemoved, kTexts.captionSuccess, 0x40);
    EXPECT_EQ(fake.calls, (Calls{"OpenSCManagerA", "OpenServiceA", "ControlService",
                                 "DeleteService", kSuccess, "QueryServiceStatus",
                                 "CloseServiceHandle(service)", "CloseServiceHandle(manager)"}));
    EXPECT_FALSE(fake.serviceRegistered);
    ExpectHandlesBalanced();
}

TEST_F(RemoveDriverServiceTest, StoppedDriverShowsStopFailureThenRemoval)
{
    fake.serviceRegistered = true;
    EXPECT_EQ(RemoveDriverService(true, sink), 0u);

    ASSERT_EQ(sink.shown.size(), 2u);
    ExpectNotice(0, Formatted(kTexts.formatStopFailed, ERROR_SERVICE_NOT_ACTIVE),
                 kTexts.captionRemoveFailure, 0x10);
    EXPECT_NE(sink.shown[0].text.find("[StopService (0x426)]"), std::string::npos);
    ExpectNotice(1, kTexts.noticeRemoved, kTexts.captionSuccess, 0x40);
    // The stop failure is shown before the deletion is attempted.
    EXPECT_EQ(fake.calls, (Calls{"OpenSCManagerA", "OpenServiceA", "ControlService",
                                 "GetLastError", kError, "DeleteService", kSuccess,
                                 "QueryServiceStatus", "CloseServiceHandle(service)",
                                 "CloseServiceHandle(manager)"}));
    EXPECT_FALSE(fake.serviceRegistered);
    ExpectHandlesBalanced();
}

TEST_F(RemoveDriverServiceTest, DeletionFailureIsAnError)
{
    fake.serviceRegistered = true;
    fake.serviceRunning = true;
    fake.FailNext("DeleteService", ERROR_ACCESS_DENIED);
    EXPECT_EQ(RemoveDriverService(true, sink), DWORD(ERROR_ACCESS_DENIED));

    ASSERT_EQ(sink.shown.size(), 1u);
    ExpectNotice(0, Formatted(kTexts.formatDeleteFailed, 5), kTexts.captionRemoveFailure, 0x10);
    EXPECT_EQ(fake.calls, (Calls{"OpenSCManagerA", "OpenServiceA", "ControlService",
                                 "DeleteService", "GetLastError", kError,
                                 "CloseServiceHandle(service)", "CloseServiceHandle(manager)"}));
    EXPECT_TRUE(fake.serviceRegistered);
    ExpectHandlesBalanced();
}

TEST_F(RemoveDriverServiceTest, StopAndDeletionBothFailing)
{
    fake.serviceRegistered = true;
    fake.FailNext("DeleteService", ERROR_SERVICE_MARKED_FOR_DELETE);
    RemoveDriverService(true, sink);

    ASSERT_EQ(sink.shown.size(), 2u);
    ExpectNotice(0, Formatted(kTexts.formatStopFailed, 1062), kTexts.captionRemoveFailure, 0x10);
    ExpectNotice(1, Formatted(kTexts.formatDeleteFailed, 1072), kTexts.captionRemoveFailure, 0x10);
    ExpectHandlesBalanced();
}

// A driver that did not stop stays in the kernel, and its registration with
// it, until the next restart: the notices as ever, the exit status 3010.
TEST(RemoveDriverServiceRestart, DriverThatStaysUntilTheRestart)
{
    const std::string error = "Notice:" + std::string(kTexts.captionRemoveFailure);
    const std::string success = "Notice:" + std::string(kTexts.captionSuccess);
    struct Case {
        const char* what;
        DWORD runningState;
        const char* failing;  // fails with `code`
        DWORD code;
        Calls calls;  // from ControlService on
        DWORD exit;
    };
    const Case cases[] = {
        {"cannot be stopped, still running", SERVICE_RUNNING, "ControlService", 0x41c,
         {"ControlService", "GetLastError", error, "DeleteService", success, "QueryServiceStatus"},
         3010},
        {"cannot be stopped, stop pending", SERVICE_STOP_PENDING, "ControlService", 0x41c,
         {"ControlService", "GetLastError", error, "DeleteService", success, "QueryServiceStatus"},
         3010},
        {"its state unknown", SERVICE_RUNNING, "QueryServiceStatus", 5,
         {"ControlService", "DeleteService", success, "QueryServiceStatus"}, 3010},
        {"already marked for deletion", SERVICE_RUNNING, "DeleteService", 0x430,
         {"ControlService", "DeleteService", "GetLastError", error}, 3010},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakePlatformApi fake;
        ScopedPlatformApi scope{&fake};
        RecordingNoticeSink sink{&fake};
        fake.serviceRegistered = fake.serviceRunning = true;
        fake.runningState = c.runningState;
        fake.FailNext(c.failing, c.code);

        EXPECT_EQ(RemoveDriverService(true, sink), c.exit);

        Calls expected = {"OpenSCManagerA", "OpenServiceA"};
        expected.insert(expected.end(), c.calls.begin(), c.calls.end());
        expected.insert(expected.end(), {"CloseServiceHandle(service)",
                                         "CloseServiceHandle(manager)"});
        EXPECT_EQ(fake.calls, expected);
        EXPECT_EQ(fake.OpenHandles(), 0);
    }
}

TEST_F(RemoveDriverServiceTest, NoServiceShowsNothing)
{
    EXPECT_EQ(RemoveDriverService(true, sink), DWORD(ERROR_SERVICE_DOES_NOT_EXIST));
    EXPECT_TRUE(sink.shown.empty());
    EXPECT_EQ(fake.calls, (Calls{"OpenSCManagerA", "OpenServiceA", "GetLastError",
                                 "CloseServiceHandle(manager)"}));
    ExpectHandlesBalanced();
}

TEST_F(RemoveDriverServiceTest, UnopenableManagerShowsNothing)
{
    fake.serviceRegistered = true;
    fake.managerAccessDenied = true;
    EXPECT_EQ(RemoveDriverService(true, sink), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(sink.shown.empty());
    EXPECT_EQ(fake.calls, (Calls{"OpenSCManagerA", "OpenServiceA", "GetLastError",
                                 "CloseServiceHandle(null)"}));
    EXPECT_TRUE(fake.serviceRegistered);
}

TEST_F(RemoveDriverServiceTest, NotNtDoesNothing)
{
    fake.serviceRegistered = true;
    EXPECT_EQ(RemoveDriverService(false, sink), DWORD(ERROR_CANCELLED));
    EXPECT_TRUE(fake.calls.empty());
    EXPECT_TRUE(sink.shown.empty());
    EXPECT_TRUE(fake.serviceRegistered);
}

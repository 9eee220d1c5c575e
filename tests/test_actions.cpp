// Install and Remove against the fake service manager: notices, call order,
// handles.
#include "actions.h"
#include "driver_service.h"
#include "fake_scm.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(fake.calls, (Calls{"GetCurrentDirectoryA", "GetCurrentDirectoryW",
                                 "MultiByteToWideChar", "OpenSCManagerA", "CreateServiceA",
                                 "StartServiceA", kSuccess, "CloseServiceHandle(service)",
                                 "CloseServiceHandle(manager)"}));
    ASSERT_EQ(fake.creations.size(), 1u);
    const auto& created = fake.creations[0];
    EXPECT_EQ(created.name, "KESTRAMO");
    EXPECT_EQ(created.displayName, kDriverService.displayName);
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
    fake.FailNext("CreateServiceA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(InstallDriverService(true, sink), DWORD(ERROR_ACCESS_DENIED));

    ASSERT_EQ(sink.shown.size(), 1u);
    ExpectNotice(0, Formatted(kTexts.formatCreateFailed, 5), kTexts.captionInstallFailure, 0x10);
    EXPECT_EQ(fake.calls, (Calls{"GetCurrentDirectoryA", "GetCurrentDirectoryW",
                                 "MultiByteToWideChar", "OpenSCManagerA", "CreateServiceA",
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
    EXPECT_EQ(fake.calls, (Calls{"GetCurrentDirectoryA", "GetCurrentDirectoryW",
                                 "MultiByteToWideChar", "OpenSCManagerA", "CreateServiceA",
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
    EXPECT_EQ(fake.calls, (Calls{"GetCurrentDirectoryA", "GetCurrentDirectoryW",
                                 "MultiByteToWideChar", "OpenSCManagerA", "CreateServiceA",
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

TEST_F(InstallDriverServiceTest, UnreadableDirectoryRegistersNothing)
{
    fake.FailNext("GetCurrentDirectoryA", ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(InstallDriverService(true, sink), DWORD(ERROR_PATH_NOT_FOUND));
    ASSERT_EQ(sink.shown.size(), 1u);
    ExpectNotice(0, Formatted(kTexts.formatCreateFailed, ERROR_PATH_NOT_FOUND),
                 kTexts.captionInstallFailure, 0x10);
    EXPECT_TRUE(fake.creations.empty());
    EXPECT_FALSE(fake.AnyServiceManagerCall());
}

// The ANSI directory must name the folder the person stands in, or nothing
// is registered.
TEST(InstallDriverServiceDirectoryCheck, UnfaithfulAnsiDirectoryRegistersNothing)
{
    struct Case {
        const char* what;
        std::string ansi;
        std::wstring wide;
        const char* failing;  // a read or conversion that fails, or null
    };
    const Case cases[] = {
        {"letters lost", "C:\\Setup\\??", L"C:\\Setup\\\uD55C\uAD6D", nullptr},
        {"best-fit look-alike", "C:\\Setup\\a", L"C:\\Setup\\\u0103", nullptr},
        {"long and lossy", "C:\\" + std::string(150, '?'), L"C:\\" + std::wstring(150, L'\uD55C'),
         nullptr},
        {"wide read fails", "C:\\Setup", L"", "GetCurrentDirectoryW"},
        {"conversion fails", "C:\\Setup", L"", "MultiByteToWideChar"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakePlatformApi fake;
        ScopedPlatformApi scope{&fake};
        RecordingNoticeSink sink{&fake};
        fake.currentDirectory = c.ansi;
        fake.wideDirectory = c.wide;
        if (c.failing)
            fake.FailNext(c.failing, ERROR_INVALID_PARAMETER);

        EXPECT_EQ(InstallDriverService(true, sink), DWORD(ERROR_NO_UNICODE_TRANSLATION));

        ASSERT_EQ(sink.shown.size(), 1u);
        EXPECT_NE(sink.shown[0].text.find("[CreateService (0x459)]"), std::string::npos)
            << sink.shown[0].text;
        EXPECT_EQ(sink.shown[0].caption, kTexts.captionInstallFailure);
        EXPECT_EQ(sink.shown[0].type, 0x10u);
        EXPECT_FALSE(fake.AnyServiceManagerCall());
        EXPECT_TRUE(fake.creations.empty());
    }
}

TEST_F(InstallDriverServiceTest, FaithfulNonAsciiDirectoryInstallsAsBefore)
{
    // "驱动 é" and a full-width "Ａ", as GBK bytes.
    fake.currentDirectory = "C:\\\xC7\xFD\xB6\xAF \xA8\xA6\xA3\xC1";
    fake.wideDirectory = L"C:\\\u9A71\u52A8 \u00E9\uFF21";
    InstallDriverService(true, sink);
    ExpectNotice(0, kTexts.noticeInstalled, kTexts.captionSuccess, 0x40);
    ASSERT_EQ(fake.creations.size(), 1u);
    EXPECT_EQ(fake.creations[0].imagePath, fake.currentDirectory + "\\KESTRAMO.SYS");
    EXPECT_EQ(fake.calls, (Calls{"GetCurrentDirectoryA", "GetCurrentDirectoryW",
                                 "MultiByteToWideChar", "OpenSCManagerA", "CreateServiceA",
                                 "StartServiceA", kSuccess, "CloseServiceHandle(service)",
                                 "CloseServiceHandle(manager)"}));
}

// Windows loads the driver from the folder at every start: nothing is
// registered from a place an ordinary user could change.
TEST(InstallDriverServiceFolderCheck, UnsafeFolderRegistersNothing)
{
    const std::string kWritable = "O:BAD:(A;;FA;;;BA)(A;;0x1301bf;;;AU)";
    const std::string kFile = "C:\\Tools\\Setup\\KESTRAMO.SYS";
    struct Case {
        const char* what;
        std::map<std::string, std::string> security;
        std::set<std::string> links;
        UINT driveType;
        DWORD volumeFlags;
        const char* failing;  // a query that fails with ERROR_ACCESS_DENIED, or null
        DWORD code;
        std::set<std::string> linksWhenOpened = {};
    };
    const DWORD acls = FILE_PERSISTENT_ACLS;
    const Case cases[] = {
        {"the folder", {{"C:\\Tools\\Setup", kWritable}}, {}, DRIVE_FIXED, acls, nullptr, 1275},
        {"the driver file", {{kFile, kWritable}}, {}, DRIVE_FIXED, acls, nullptr, 1275},
        {"a folder above", {{"C:\\Tools", kWritable}}, {}, DRIVE_FIXED, acls, nullptr, 1275},
        {"a file not there yet that Users could write",
         {{kFile, ""}, {"C:\\Tools\\Setup", "O:BAD:(A;OICI;FA;;;BA)(A;OIIO;FA;;;BU)"}}, {},
         DRIVE_FIXED, acls, nullptr, 1275},
        {"the folder a link", {}, {"C:\\Tools\\Setup"}, DRIVE_FIXED, acls, nullptr, 1275},
        {"the driver file a link", {}, {kFile}, DRIVE_FIXED, acls, nullptr, 1275},
        {"a folder above a link", {}, {"C:\\Tools"}, DRIVE_FIXED, acls, nullptr, 1275},
        {"a folder above made a link once its path was asked", {}, {}, DRIVE_FIXED, acls,
         nullptr, 1275, {"C:\\Tools"}},
        {"a network drive", {}, {}, DRIVE_REMOTE, acls, nullptr, 1275},
        {"a FAT stick", {}, {}, DRIVE_FIXED, FILE_CASE_PRESERVED_NAMES, nullptr, 1275},
        {"an unreadable driver file", {}, {}, DRIVE_FIXED, acls, "GetKernelObjectSecurity", 5},
        {"an unopenable folder", {}, {}, DRIVE_FIXED, acls, "OpenForQuery", 5},
        {"unreadable attributes", {}, {}, DRIVE_FIXED, acls, "GetFileAttributesA", 5},
        {"an unreadable volume", {}, {}, DRIVE_FIXED, acls, "GetVolumeInformationA", 5},
        {"an unreadable drive letter", {}, {}, DRIVE_FIXED, acls, "QueryDosDeviceA", 5},
        {"no token", {}, {}, DRIVE_FIXED, acls, "OpenProcessToken", 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakePlatformApi fake;
        ScopedPlatformApi scope{&fake};
        RecordingNoticeSink sink{&fake};
        fake.currentDirectory = "C:\\Tools\\Setup";
        fake.security = c.security;
        fake.links = c.links;
        fake.linksWhenOpened = c.linksWhenOpened;
        fake.driveType = c.driveType;
        fake.volumeFlags = c.volumeFlags;
        if (c.failing)
            fake.FailNext(c.failing, ERROR_ACCESS_DENIED);

        EXPECT_EQ(InstallDriverService(true, sink), c.code);

        char expected[kNoticeBufferSize];
        FormatErrorNotice(expected, kTexts.formatCreateFailed, c.code);
        ASSERT_EQ(sink.shown.size(), 1u);
        EXPECT_EQ(sink.shown[0].text, expected);
        EXPECT_EQ(sink.shown[0].caption, kTexts.captionInstallFailure);
        EXPECT_EQ(sink.shown[0].type, 0x10u);
        EXPECT_FALSE(fake.AnyServiceManagerCall());
        EXPECT_EQ(fake.OpenHandles(), 0);
    }
}

// Where the place the kernel opens at boot is not the one this session's
// queries read: a name ending in a space or a dot, which Win32 drops from the
// last name it is asked for ("C:\Windows " would read C:\Windows), and a
// drive letter made with subst, which does not exist at boot.
TEST(InstallDriverServiceFolderCheck, PlacesTheKernelReadsOtherwise)
{
    const std::string writable = "O:S-1-5-21-1-2-3-1002D:(A;OICI;FA;;;AU)";
    struct Case {
        const char* what;
        const char* directory;
        const char* device;
    };
    const Case cases[] = {
        {"a folder ending in a space", "C:\\Windows ", "\\Device\\HarddiskVolume2"},
        {"a folder above ending in a dot", "C:\\Windows.\\Setup", "\\Device\\HarddiskVolume2"},
        {"a subst letter", "K:\\", "\\??\\C:\\Program Files\\KESTRAMO"},
        {"a letter for a folder on a volume", "K:\\", "\\Device\\HarddiskVolume2\\Program Files"},
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
        EXPECT_FALSE(fake.AnyServiceManagerCall());
        EXPECT_EQ(sink.shown.size(), 1u);
        EXPECT_EQ(fake.OpenHandles(), 0);
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

// From the root down, each folder's attributes then its descriptor; then the
// driver file's attributes. A backslash that is the second byte of a GBK
// character ends no folder name.
TEST_F(InstallDriverServiceTest, ChecksEachFolderFromTheRootThenTheFile)
{
    fake.currentDirectory = "D:\\Program Files\\Kestramo-\x81\x5c";  // "乗"
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
        return Calls{"GetFileAttributesA " + v + path, "OpenForQuery " + v + path,
                     "GetFileInformationByHandle " + path, "GetKernelObjectSecurity " + path};
    };
    Calls expected = {"GetDriveTypeA D:\\", "GetVolumeInformationA D:\\", "QueryDosDeviceA D:"};
    for (const std::string& path : {std::string("D:\\"), std::string("D:\\Program Files"),
                                    fake.currentDirectory}) {
        Calls calls = place(path);
        expected.insert(expected.end(), calls.begin(), calls.end());
    }
    expected.push_back("GetFileAttributesA " + v + file);
    EXPECT_EQ(read, expected);
    EXPECT_EQ(fake.calls, (Calls{"GetCurrentDirectoryA", "GetCurrentDirectoryW",
                                 "MultiByteToWideChar", "OpenSCManagerA", "CreateServiceA",
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

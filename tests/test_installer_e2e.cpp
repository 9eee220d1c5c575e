// INSTALL.EXE started as its own process under Wine, against Wine's real
// service manager and the test driver, driven through its windows.
#include "installer_process.h"
#include "scm_test_util.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const wchar_t kNotInstalled[] = L"KESTRAMO 核心驱动程序未安装.";
const wchar_t kInstalled[] = L"KESTRAMO 核心驱动程序已安装.";

// The program built beside the tests, or KESTRAMO_INSTALLER (a release's,
// e.g. after signing).
std::string InstallerUnderTest()
{
    char path[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("KESTRAMO_INSTALLER", path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? path : ProgramFolder() + "INSTALL.EXE";
}

struct InstallerEndToEnd : ::testing::Test {
    std::string folder;
    std::string exe = InstallerUnderTest();
    std::string startIn;  // empty: the test's own current directory
    DWORD exitCode = 0xdeadbeef;  // of the last RunAndPress

    void SetUp() override
    {
        ASSERT_TRUE(RemoveKestramoService()) << "leftover KESTRAMO service";
        folder = MakeTempFolder("kestramo-e2e");
        startIn = folder;
        ASSERT_TRUE(CopyTestDriverTo(folder));
    }

    void TearDown() override
    {
        RemoveKestramoService();
        RemoveFolder(folder);
    }

    struct Opened {
        std::wstring os, status;
        bool install, remove;
    };

    static Opened Read(HWND dialog)
    {
        return Opened{ui::ItemText(dialog, 1001), ui::ItemText(dialog, 1000),
                      ui::ItemEnabled(dialog, IDOK), ui::ItemEnabled(dialog, 3)};
    }

    // Starts the installer, presses `button`, answers `boxes` message boxes
    // and waits for the process to end with no window left.
    std::vector<ui::MessageBoxSeen> RunAndPress(int button, size_t boxes, Opened* opened,
                                                const std::string& arguments = "")
    {
        std::vector<ui::MessageBoxSeen> seen;
        InstallerProcess installer;
        EXPECT_TRUE(installer.Start(exe, startIn, arguments)) << GetLastError();
        HWND dialog = installer.WaitForDialog();
        EXPECT_NE(dialog, nullptr) << "no dialog";
        if (!dialog)
            return seen;
        *opened = Read(dialog);
        ui::Click(dialog, button);
        for (size_t i = 0; i < boxes; ++i) {
            ui::MessageBoxSeen box;
            EXPECT_TRUE(installer.AnswerMessageBox(box)) << "message box " << i;
            seen.push_back(box);
        }
        exitCode = 0xdeadbeef;
        EXPECT_TRUE(installer.WaitForExit(&exitCode)) << "still running";
        EXPECT_FALSE(ui::AnyWindowOfProcess(installer.ProcessId()));
        return seen;
    }
};

}  // namespace

TEST_F(InstallerEndToEnd, InstallThenRemoveAcrossTwoStarts)
{
    Opened first;
    auto boxes = RunAndPress(IDOK, 1, &first);
    EXPECT_EQ(first.os, L"Microsoft Windows NT/2000/XP");
    EXPECT_EQ(first.status, kNotInstalled);
    EXPECT_TRUE(first.install);
    EXPECT_FALSE(first.remove);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"KESTRAMO 驱动程序安装完成.");
    EXPECT_EQ(boxes[0].caption, L"成功");
    EXPECT_TRUE(WaitForKestramoState(SERVICE_RUNNING)) << "state " << KestramoServiceState();
    ServiceConfig config;
    ASSERT_TRUE(QueryKestramoConfig(config));
    EXPECT_EQ(config.imagePath, folder + "\\KESTRAMO.SYS");

    Opened second;
    boxes = RunAndPress(3, 1, &second);
    EXPECT_EQ(second.status, kInstalled);
    EXPECT_FALSE(second.install);
    EXPECT_TRUE(second.remove);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"KESTRAMO 驱动程序删除完成.");
    EXPECT_EQ(boxes[0].caption, L"成功");
    EXPECT_TRUE(WaitForKestramoGone());
}

TEST_F(InstallerEndToEnd, ExitChangesNothing)
{
    Opened opened;
    RunAndPress(IDCANCEL, 0, &opened);
    EXPECT_EQ(opened.status, kNotInstalled);
    EXPECT_FALSE(KestramoServiceExists());

    ASSERT_TRUE(RegisterKestramoService(folder + "\\KESTRAMO.SYS"));
    RunAndPress(IDCANCEL, 0, &opened);
    EXPECT_EQ(opened.status, kInstalled);
    EXPECT_TRUE(KestramoServiceExists());
    EXPECT_EQ(KestramoServiceState(), DWORD(SERVICE_STOPPED));
}

TEST_F(InstallerEndToEnd, CommandLineArgumentsChangeNothing)
{
    Opened plain, withArguments;
    RunAndPress(IDCANCEL, 0, &plain);
    RunAndPress(IDCANCEL, 0, &withArguments, "/remove --install \"C:\\some where\" /?");
    EXPECT_EQ(withArguments.os, plain.os);
    EXPECT_EQ(withArguments.status, plain.status);
    EXPECT_EQ(withArguments.install, plain.install);
    EXPECT_EQ(withArguments.remove, plain.remove);
    EXPECT_FALSE(KestramoServiceExists());
}

TEST_F(InstallerEndToEnd, InstallWithoutTheDriverReportsTheStartFailure)
{
    DeleteFileA((folder + "\\KESTRAMO.SYS").c_str());
    Opened opened;
    auto boxes = RunAndPress(IDOK, 1, &opened);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text.rfind(L"不能启动 KESTRAMO 驱动程序 [StartService (0x", 0), 0u)
        << "got another text";
    EXPECT_EQ(boxes[0].caption, L"致命错误");
    EXPECT_TRUE(KestramoServiceExists());
}

// The exit status tells a waiting setup what happened: 0 for success, the
// code in the notice that ended the action, 1060 for a Remove that found
// nothing, 1223 for Exit.
TEST_F(InstallerEndToEnd, ExitStatusTellsTheOutcome)
{
    Opened opened;
    RunAndPress(IDCANCEL, 0, &opened);
    EXPECT_EQ(exitCode, DWORD(ERROR_CANCELLED)) << "Exit";

    RunAndPress(IDOK, 1, &opened);
    EXPECT_EQ(exitCode, 0u) << "Install";
    ASSERT_TRUE(RemoveKestramoService());

    // Registered but stopped: the stop fails, the deletion succeeds.
    ASSERT_TRUE(RegisterKestramoService(folder + "\\KESTRAMO.SYS"));
    auto boxes = RunAndPress(3, 2, &opened);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].caption, L"成功");
    EXPECT_EQ(exitCode, 0u) << "Remove after a stop failure";

    // The start fails: the code in the notice.
    DeleteFileA((folder + "\\KESTRAMO.SYS").c_str());
    boxes = RunAndPress(IDOK, 1, &opened);
    ASSERT_EQ(boxes.size(), 1u);
    wchar_t shown[16] = {};
    swprintf(shown, 16, L"(0x%02x)]", static_cast<unsigned>(exitCode));
    EXPECT_NE(exitCode, 0u);
    EXPECT_NE(boxes[0].text.find(shown), std::wstring::npos)
        << "exit status " << exitCode << " is not the code shown";
}

TEST_F(InstallerEndToEnd, RemoveThatFindsNothingExitsWithItsCode)
{
    // Only a message to the dialog can press the disabled Remove button.
    InstallerProcess installer;
    ASSERT_TRUE(installer.Start(exe, folder));
    HWND dialog = installer.WaitForDialog();
    ASSERT_NE(dialog, nullptr);
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(3, BN_CLICKED), 0);
    DWORD code = 0xdeadbeef;
    EXPECT_TRUE(installer.WaitForExit(&code));
    EXPECT_EQ(code, DWORD(ERROR_SERVICE_DOES_NOT_EXIST));
}

// Remove exits 0 once the driver has stopped and its registration is gone,
// and 3010 while the removal waits for a restart: here a deletion already
// made waits for another process to let go of the service, as on Windows one
// waits for a driver that cannot be stopped.
TEST_F(InstallerEndToEnd, RemoveSaysWhenTheRemovalWaitsForARestart)
{
    Opened opened;
    RunAndPress(IDOK, 1, &opened);
    ASSERT_EQ(exitCode, 0u) << "Install";
    auto boxes = RunAndPress(3, 1, &opened);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"KESTRAMO 驱动程序删除完成.");
    EXPECT_EQ(exitCode, 0u) << "Remove of a running driver";
    ASSERT_TRUE(WaitForKestramoGone());

    RunAndPress(IDOK, 1, &opened);
    ASSERT_EQ(exitCode, 0u) << "Install again";
    {
        ScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        ScHandle held(OpenServiceA(manager.get(), "KESTRAMO", SERVICE_ALL_ACCESS));
        ASSERT_TRUE(held && DeleteService(held.get())) << GetLastError();
        boxes = RunAndPress(3, 1, &opened);
        EXPECT_EQ(opened.status, kInstalled);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, L"不能删除已有的 KESTRAMO 驱动程序 [DeleteService (0x430)]");
        EXPECT_EQ(boxes[0].caption, L"错误");
        EXPECT_EQ(exitCode, DWORD(ERROR_SUCCESS_REBOOT_REQUIRED));
    }
    EXPECT_TRUE(WaitForKestramoGone());
}

// The box of the program's own refusal: the place exactly, why, what to do.
const wchar_t kOthersCanChange[] = L"原因: 除管理员以外, 别的用户也能更改它 (所有者或权限).";
const wchar_t kLink[] = L"原因: 它是符号链接, 目录连接点或装入的卷.";
const wchar_t kNotLocalDisk[] =
    L"原因: 它不在保存权限的本地硬盘上 (网络驱动器, 可移动磁盘, 光盘, FAT 或 exFAT).";
const wchar_t kNameEndsInSpaceOrDot[] = L"原因: 它的名称以空格或点结尾.";
const wchar_t kNotWindowsDrive[] =
    L"原因: 它不在 Windows 所在的驱动器上 (另一块磁盘, 移动硬盘, 用 subst 建立的驱动器号).";
const wchar_t kCopyUnderProgramFiles[] =
    L"办法: 把 INSTALL.EXE 和 KESTRAMO.SYS 复制到 C:\\Program Files 下的一个文件夹里 "
    L"(Windows 2000 和 NT 4.0 请先看 README.txt), 再从那里运行 INSTALL.EXE.";
std::wstring RefusalBox(const std::wstring& place, const wchar_t* reason, const wchar_t* action)
{
    return L"不能安装 KESTRAMO 驱动程序 (0x4fb).\n\n位置: " + place + L"\n" + reason + L"\n" +
           action;
}

std::wstring Wide(const std::string& ascii)
{
    return std::wstring(ascii.begin(), ascii.end());
}

// A folder of any name installs: the service is registered with its path
// exactly, the driver starts, Remove removes it. The installer inherits the
// folder, set with SetCurrentDirectoryW: no ANSI path can name it. Run in
// code page 936 with the rest, and again in 1252 and 932.
struct InstallerInWideFolder : InstallerEndToEnd {
    std::vector<ui::MessageBoxSeen> PressIn(const WideTempFolder& where, int button)
    {
        EXPECT_TRUE(where.ok());
        ScopedCurrentDirectory inside(where.path());
        EXPECT_TRUE(inside.ok());
        startIn.clear();
        Opened opened;
        return RunAndPress(button, 1, &opened);
    }
};

TEST_F(InstallerInWideFolder, NamedInAnyScriptInstallsAndRemoves)
{
    for (const wchar_t* name : {L"kestramo-\uD55C\uAD6D\uC5B4", L"kestramo-\U0001F600",
                                L"kestramo-\u041F\u0440\u0438\u0432\u0435\u0442 \u0393\u03B5\u03B9\u03AC",
                                L"kestramo-\u9A71\u52A8-\u00E9"}) {
        SCOPED_TRACE(name);
        WideTempFolder folder(name);
        auto boxes = PressIn(folder, IDOK);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, L"KESTRAMO 驱动程序安装完成.");
        EXPECT_EQ(exitCode, 0u);
        EXPECT_EQ(KestramoConfigW().imagePath, folder.path() + L"\\KESTRAMO.SYS");
        EXPECT_TRUE(WaitForKestramoState(SERVICE_RUNNING)) << "state " << KestramoServiceState();

        boxes = PressIn(folder, 3);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, L"KESTRAMO 驱动程序删除完成.");
        EXPECT_EQ(exitCode, 0u);
        EXPECT_TRUE(WaitForKestramoGone());
    }
}

TEST_F(InstallerInWideFolder, NamedInAnyScriptAndWritableIsRefusedByItsName)
{
    WideTempFolder folder(L"kestramo-\uD55C\uAD6D\uC5B4 \U0001F600");
    ASSERT_TRUE(SetUnixMode(folder.path(), "0777"));
    auto boxes = PressIn(folder, IDOK);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, RefusalBox(folder.path(), kOthersCanChange, kCopyUnderProgramFiles));
    EXPECT_EQ(boxes[0].caption, L"致命错误");
    EXPECT_EQ(exitCode, DWORD(ERROR_DRIVER_BLOCKED));
    EXPECT_FALSE(KestramoServiceExists());
}

// Windows loads the driver from the folder at every start, so Install
// registers nothing from a place anyone but administrators could change.
// Wine derives a file's DACL from its Unix permissions (0777: Everyone may
// write; 0755: read and execute) and N: is declared a network drive
// (scripts/wine-prefix).
struct InstallerFolderCheck : InstallerEndToEnd {
    // Refused, with this place, reason and what to do in its box.
    void ExpectRefused(const std::string& place, const wchar_t* reason)
    {
        Opened opened;
        auto boxes = RunAndPress(IDOK, 1, &opened);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, RefusalBox(Wide(place), reason, kCopyUnderProgramFiles));
        EXPECT_EQ(boxes[0].caption, L"致命错误");
        EXPECT_EQ(exitCode, DWORD(ERROR_DRIVER_BLOCKED));
        EXPECT_FALSE(KestramoServiceExists());
    }
};

TEST_F(InstallerFolderCheck, FolderEveryoneMayWriteRegistersNothing)
{
    ASSERT_TRUE(SetUnixMode(folder, "0777"));
    ExpectRefused(folder, kOthersCanChange);
}

TEST_F(InstallerFolderCheck, FolderBelowOneEveryoneMayWriteRegistersNothing)
{
    startIn = folder + "\\inner";
    ASSERT_TRUE(CreateDirectoryA(startIn.c_str(), nullptr));
    ASSERT_TRUE(CopyTestDriverTo(startIn));
    ASSERT_TRUE(SetUnixMode(folder, "0777"));
    ExpectRefused(folder, kOthersCanChange);
}

TEST_F(InstallerFolderCheck, DriverFileEveryoneMayWriteRegistersNothing)
{
    ASSERT_TRUE(SetUnixMode(folder + "\\KESTRAMO.SYS", "0666"));
    ExpectRefused(folder + "\\KESTRAMO.SYS", kOthersCanChange);
}

TEST_F(InstallerFolderCheck, NetworkDriveRegistersNothing)
{
    ASSERT_TRUE(CopyTestDriverTo("N:")) << "N: is not mapped, error " << GetLastError();
    startIn = "N:\\";
    ExpectRefused("N:\\", kNotLocalDisk);
    DeleteFileA("N:\\KESTRAMO.SYS");
}

// Only the drive Windows is on: any other fixed disk may be one a user
// carries away and changes elsewhere. K: is a second local drive.
TEST_F(InstallerFolderCheck, AnotherDiskRegistersNothing)
{
    ASSERT_TRUE(CopyTestDriverTo("K:")) << "K: is not mapped, error " << GetLastError();
    startIn = "K:\\";
    ExpectRefused("K:\\", kNotWindowsDrive);
    DeleteFileA("K:\\KESTRAMO.SYS");
}

// Win32 drops a trailing space from the last name it is asked for, so asking
// for "inner " would read the folder "inner" beside it; the kernel opens the
// one with the space, which anyone may change here.
TEST_F(InstallerFolderCheck, FolderNameEndingInASpaceRegistersNothing)
{
    const std::string plain = folder + "\\inner", spaced = "\\\\?\\" + plain + " ";
    ASSERT_TRUE(CreateDirectoryA(plain.c_str(), nullptr));
    ASSERT_TRUE(CopyTestDriverTo(plain));
    ASSERT_TRUE(CreateDirectoryA(spaced.c_str(), nullptr)) << GetLastError();
    ASSERT_TRUE(SetUnixMode(spaced, "0777"));
    startIn = spaced + "\\";
    ExpectRefused(plain + " ", kNameEndsInSpaceOrDot);
    EXPECT_TRUE(RemoveDirectoryA(spaced.c_str())) << GetLastError();
}

// A link anywhere on the way is refused, whatever lies behind it: its owner
// may point it elsewhere at any time. Wine shows a Unix symbolic link to a
// folder as a reparse point, as Windows shows a junction, a symbolic link or
// a mounted volume; one to a file it shows as a plain file, so the driver
// file here is a link to a folder.
struct InstallerBehindALink : InstallerFolderCheck {
    std::string real, link;

    void SetUp() override
    {
        InstallerFolderCheck::SetUp();
        real = folder + "\\real";
        link = folder + "\\link";
        ASSERT_TRUE(CreateDirectoryA(real.c_str(), nullptr));
        ASSERT_TRUE(CopyTestDriverTo(real));
        ASSERT_TRUE(MakeUnixLink(real, link));
    }

    void TearDown() override
    {
        RemoveUnixLink(link);
        InstallerFolderCheck::TearDown();
    }
};

TEST_F(InstallerBehindALink, FolderThatIsALinkRegistersNothing)
{
    startIn = link;
    ExpectRefused(link, kLink);
}

TEST_F(InstallerBehindALink, FolderBelowALinkRegistersNothing)
{
    ASSERT_TRUE(CreateDirectoryA((real + "\\inner").c_str(), nullptr));
    ASSERT_TRUE(CopyTestDriverTo(real + "\\inner"));
    startIn = link + "\\inner";
    ExpectRefused(link, kLink);
}

TEST_F(InstallerBehindALink, DriverFileThatIsALinkRegistersNothing)
{
    ASSERT_TRUE(RemoveUnixLink(link));
    link = folder + "\\KESTRAMO.SYS";
    ASSERT_TRUE(DeleteFileA(link.c_str()));
    ASSERT_TRUE(MakeUnixLink(real, link));
    ExpectRefused(link, kLink);
}

TEST_F(InstallerFolderCheck, FolderOnlyItsOwnerMayChangeInstalls)
{
    ASSERT_TRUE(SetUnixMode(folder, "0755"));
    Opened opened;
    auto boxes = RunAndPress(IDOK, 1, &opened);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"KESTRAMO 驱动程序安装完成.");
    EXPECT_EQ(exitCode, 0u);
    EXPECT_TRUE(WaitForKestramoState(SERVICE_RUNNING)) << "state " << KestramoServiceState();
}

#ifndef _WIN64
// The x86 build on 64-bit Windows sees System32 as SysWOW64, and the service
// it registers is a 32-bit program's: Windows adjusts the path to the 32-bit
// location, and Wine's driver host for it is redirected alike. So the file
// judged is the file loaded, and a System32 namesake is neither.
struct InstallerOn64BitWindows : InstallerFolderCheck {
    const std::string wow64Drivers = "C:\\windows\\syswow64\\drivers";
    std::string nativeDrivers;  // System32\drivers itself, named through Z:
    bool madeWow64Drivers = false;

    void SetUp() override
    {
        InstallerFolderCheck::SetUp();
        BOOL wow64 = FALSE;
        if (!IsWow64Process(GetCurrentProcess(), &wow64) || !wow64)
            GTEST_SKIP() << "SKIPPED: this prefix is not a 64-bit one, so nothing is redirected";
        madeWow64Drivers = CreateDirectoryA(wow64Drivers.c_str(), nullptr) != 0;
        std::string native = UnixName(Wide(wow64Drivers));
        size_t at = native.rfind("/syswow64/");
        ASSERT_NE(at, std::string::npos) << native;
        native.replace(at, 10, "/system32/");
        for (char& c : native)
            c = c == '/' ? '\\' : c;
        nativeDrivers = "Z:" + native;
        ASSERT_TRUE(CopyTestDriverTo(wow64Drivers)) << GetLastError();
        ASSERT_TRUE(CopyTestDriverTo(nativeDrivers)) << GetLastError();
        startIn = "C:\\windows\\system32\\drivers";
    }

    void TearDown() override
    {
        DeleteFileA((wow64Drivers + "\\KESTRAMO.SYS").c_str());
        if (!nativeDrivers.empty())
            DeleteFileA((nativeDrivers + "\\KESTRAMO.SYS").c_str());
        if (madeWow64Drivers)
            RemoveDirectoryA(wow64Drivers.c_str());
        InstallerFolderCheck::TearDown();
    }
};

TEST_F(InstallerOn64BitWindows, SafeWow64CopyInstallsBesideAWritableNativeOne)
{
    ASSERT_TRUE(SetUnixMode(wow64Drivers + "\\KESTRAMO.SYS", "0644"));
    ASSERT_TRUE(SetUnixMode(nativeDrivers + "\\KESTRAMO.SYS", "0666"));
    Opened opened;
    auto boxes = RunAndPress(IDOK, 1, &opened);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"KESTRAMO 驱动程序安装完成.");
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(KestramoConfigW().imagePath, L"C:\\windows\\system32\\drivers\\KESTRAMO.SYS");
    EXPECT_TRUE(WaitForKestramoState(SERVICE_RUNNING)) << "state " << KestramoServiceState();
}

TEST_F(InstallerOn64BitWindows, WritableWow64CopyIsRefusedBesideASafeNativeOne)
{
    ASSERT_TRUE(SetUnixMode(wow64Drivers + "\\KESTRAMO.SYS", "0666"));
    ASSERT_TRUE(SetUnixMode(nativeDrivers + "\\KESTRAMO.SYS", "0644"));
    ExpectRefused("C:\\windows\\system32\\drivers\\KESTRAMO.SYS", kOthersCanChange);
}
#endif

// Every text reads as written whatever the system's ANSI code page, and the
// service manager keeps the display name as written. Run in code page 936
// with the rest, and again in 1252 and 932 (see CMakeLists.txt).
struct InstallerInAnyCodePage : InstallerInWideFolder {
    // A folder named in the script of the code page the test runs in.
    static std::wstring FolderName()
    {
        switch (GetACP()) {
        case 1252:
            return L"kestramo-caf\u00E9-\u00DCber";
        case 932:
            return L"kestramo-\u30C9\u30E9\u30A4\u30D0";
        case 949:
            return L"kestramo-\uB4DC\uB77C\uC774\uBC84";
        case 950:
            return L"kestramo-\u9A45\u52D5";
        default:
            return L"kestramo-\u9A71\u52A8";
        }
    }

    // The texts of a dialog's items, in template order.
    static std::vector<std::wstring> ItemTexts(HWND dialog)
    {
        std::vector<std::wstring> texts;
        for (HWND item = GetWindow(dialog, GW_CHILD); item; item = GetWindow(item, GW_HWNDNEXT))
            texts.push_back(ui::Text(item));
        return texts;
    }
};

TEST_F(InstallerInAnyCodePage, EveryTextReadsAsWrittenAndTheServiceKeepsItsName)
{
    WideTempFolder here(FolderName());
    ASSERT_TRUE(here.ok());
    ScopedCurrentDirectory inside(here.path());
    ASSERT_TRUE(inside.ok());
    InstallerProcess installer;
    ASSERT_TRUE(installer.Start(exe, ""));
    HWND dialog = installer.WaitForDialog();  // found by its caption, as written
    ASSERT_NE(dialog, nullptr) << "no dialog captioned as written, code page " << GetACP();
    EXPECT_EQ(ItemTexts(dialog), (std::vector<std::wstring>{
                                     L"立即安装(&I)", L"退出(&E)",
                                     L"这个应用程序安装 KESTRAMO 的核心模式驱动程序.",
                                     L"注意: 如果运行在 NT 下, 您需要有管理员的权限才能安装.",
                                     L"删除(&R)", L"当前状态:", kNotInstalled,
                                     L"Microsoft Windows NT/2000/XP", L"操作系统:"}));
    // A Unicode window exactly where the ANSI one would misread the texts.
    EXPECT_EQ(IsWindowUnicode(dialog) != 0, GetACP() != 936);

    PostMessageW(dialog, WM_SYSCOMMAND, 0x0010, 0);
    HWND about = nullptr;
    WaitUntil([&] { return (about = ui::FindDialog(L"关于 INSTALL", installer.ProcessId())); });
    ASSERT_NE(about, nullptr) << "no About box captioned as written";
    EXPECT_EQ(ItemTexts(about), (std::vector<std::wstring>{
                                    L"KESTRAMO 驱动程序 INSTALL 版本 2.0",
                                    L"版权所有 (C) 2026 KESTRAMO 驱动程序开发组", L"确定"}));
    ui::Click(about, IDOK);
    // The dialog is enabled again before the About box is gone: wait for
    // both, or the box looked for next could be the About box.
    WaitUntil([&] { return IsWindowEnabled(dialog) != 0 && !IsWindowVisible(about); });

    ui::Click(dialog, IDOK);
    ui::MessageBoxSeen box;
    ASSERT_TRUE(installer.AnswerMessageBox(box));
    EXPECT_EQ(box.text, L"KESTRAMO 驱动程序安装完成.");
    EXPECT_EQ(box.caption, L"成功");
    DWORD code = 0xdeadbeef;
    EXPECT_TRUE(installer.WaitForExit(&code));
    EXPECT_EQ(code, 0u);

    ServiceConfigW config = KestramoConfigW();
    EXPECT_EQ(config.displayName, L"KESTRAMO 核心驱动程序");
    EXPECT_EQ(config.imagePath, here.path() + L"\\KESTRAMO.SYS");
    EXPECT_TRUE(RemoveKestramoService());
}

TEST(InstallerVersion, VersionBlock)
{
    std::string exe = ProgramFolder() + "INSTALL.EXE";
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(exe.c_str(), &handle);
    ASSERT_GT(size, 0u) << GetLastError();
    std::vector<char> data(size);
    ASSERT_TRUE(GetFileVersionInfoA(exe.c_str(), 0, size, data.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
    EXPECT_EQ(fixed->dwFileFlags, 0u);
    EXPECT_EQ(fixed->dwFileOS, DWORD(VOS__WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, DWORD(VFT_APP));
    EXPECT_EQ(fixed->dwFileSubtype, 0u);

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 0x04B0);

    const std::pair<const char*, const char*> strings[] = {
        {"CompanyName", ""},
        {"FileDescription", "INSTALL MFC Application"},
        {"FileVersion", "1, 0, 0, 1"},
        {"InternalName", "INSTALL"},
        {"LegalTrademarks", ""},
        {"OriginalFilename", "INSTALL.EXE"},
        {"ProductName", "INSTALL Application"},
        {"ProductVersion", "1, 0, 0, 1"},
    };
    for (const auto& [key, value] : strings) {
        char* text = nullptr;
        std::string path = std::string("\\StringFileInfo\\040904B0\\") + key;
        ASSERT_TRUE(VerQueryValueA(data.data(), path.c_str(), reinterpret_cast<void**>(&text),
                                   &length))
            << key;
        EXPECT_STREQ(text, value) << key;
    }
    char* copyright = nullptr;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\StringFileInfo\\040904B0\\LegalCopyright",
                               reinterpret_cast<void**>(&copyright), &length));
    EXPECT_NE(std::string(copyright).find("Copyright"), std::string::npos);
}

TEST_F(InstallerEndToEnd, AboutBoxFromTheSystemMenuThenCloseThroughIt)
{
    InstallerProcess installer;
    ASSERT_TRUE(installer.Start(exe, folder));
    HWND dialog = installer.WaitForDialog();
    ASSERT_NE(dialog, nullptr);
    Opened before = Read(dialog);

    PostMessageW(dialog, WM_SYSCOMMAND, 0x0010, 0);
    HWND about = nullptr;
    WaitUntil([&] { return (about = ui::FindDialog(L"关于 INSTALL", installer.ProcessId())); },
              10000);
    ASSERT_NE(about, nullptr) << "no About box";
    EXPECT_EQ(GetWindow(about, GW_OWNER), dialog);
    EXPECT_FALSE(IsWindowEnabled(dialog)) << "About box is not modal";
    ui::Click(about, IDOK);
    WaitUntil([&] { return IsWindowEnabled(dialog) != 0; }, 10000);

    Opened after = Read(dialog);
    EXPECT_EQ(after.status, before.status);
    EXPECT_EQ(after.install, before.install);
    EXPECT_EQ(after.remove, before.remove);

    PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(installer.WaitForExit());
    EXPECT_FALSE(KestramoServiceExists());
}

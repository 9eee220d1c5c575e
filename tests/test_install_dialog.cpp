// The real main dialog, run modally under Wine with the fake service manager
// and driven through its windows as a person would.
#include "driver_service.h"
#include "fake_scm.h"
#include "install_dlg.h"
#include "resource.h"
#include "ui_script.h"

#include <gtest/gtest.h>

namespace {

const wchar_t kCaption[] = L"KESTRAMO 核心驱动程序安装";
const wchar_t kNt[] = L"Microsoft Windows NT/2000/XP";
const wchar_t k9x[] = L"Microsoft Windows 95/98/Me";
const wchar_t kAboutCaption[] = L"关于 INSTALL";

// As in the program, the application's main window owns dialogs that are
// opened without a parent.
CWinApp g_testApp;

struct Shown {
    std::wstring os, status;
    bool install = false, remove = false, exitEnabled = false;
};

struct InstallDialogTest : ::testing::Test {
    FakePlatformApi fake;
    ScopedPlatformApi scope{&fake};
    UiScript script;
    HWND dlg = nullptr;
    Shown shown;
    std::vector<ui::MessageBoxSeen> boxes;
    HWND lastBox = nullptr;

    // Waits for the dialog and reads what it shows.
    UiScript::Step Opened()
    {
        return [this] {
            dlg = ui::FindDialog(kCaption);
            if (!dlg)
                return false;
            shown.os = ui::ItemText(dlg, IDC_OSNAME);
            shown.status = ui::ItemText(dlg, IDC_STATUS);
            shown.install = ui::ItemEnabled(dlg, IDOK);
            shown.remove = ui::ItemEnabled(dlg, IDC_REMOVE);
            shown.exitEnabled = ui::ItemEnabled(dlg, IDCANCEL);
            fake.calls.clear();
            return true;
        };
    }

    UiScript::Step Press(int id)
    {
        return [this, id] {
            ui::Click(dlg, id);
            return true;
        };
    }

    // Reads and dismisses message boxes until `count` have been seen.
    UiScript::Step Answer(size_t count)
    {
        return [this, count] {
            HWND box = ui::FindOwnedDialog(dlg);
            if (box && box != lastBox) {
                boxes.push_back(ui::ReadMessageBox(box));
                ui::DismissMessageBox(box);
                lastBox = box;
            }
            return boxes.size() >= count;
        };
    }

    INT_PTR Run()
    {
        CInstallDlg dialog;
        g_testApp.m_pMainWnd = &dialog;
        INT_PTR result = script.Run([&] { return dialog.DoModal(); });
        EXPECT_FALSE(script.TimedOut()) << script.StepsLeft() << " steps left";
        EXPECT_FALSE(ui::AnyWindowOfThisThread()) << "a window was left open";
        return result;
    }

    void ExpectBox(size_t index, const char* text, const char* caption, ui::BoxIcon icon)
    {
        ASSERT_GT(boxes.size(), index);
        EXPECT_EQ(boxes[index].text, Wide(text));
        EXPECT_EQ(boxes[index].caption, Wide(caption));
        EXPECT_EQ(boxes[index].icon, icon);
        EXPECT_EQ(boxes[index].owner, dlg) << "not owned by the dialog";
        EXPECT_EQ(boxes[index].buttons, 1);
    }

    static std::wstring Wide(const std::string& gbk)
    {
        wchar_t buffer[256] = {};
        MultiByteToWideChar(936, 0, gbk.c_str(), -1, buffer, 256);
        return buffer;
    }

    static std::string Formatted(const char* format, DWORD code)
    {
        char buffer[kNoticeBufferSize];
        FormatErrorNotice(buffer, format, code);
        return buffer;
    }
};

}  // namespace

TEST_F(InstallDialogTest, EachProbeOutcomeShowsItsTextsAndButtons)
{
    struct Case {
        DWORD platform;
        bool registered;
        const wchar_t *os, *status;
        bool install, remove;
    } cases[] = {
        {VER_PLATFORM_WIN32_NT, false, kNt, L"KESTRAMO 核心驱动程序未安装.", true, false},
        {VER_PLATFORM_WIN32_NT, true, kNt, L"KESTRAMO 核心驱动程序已安装.", false, true},
        {VER_PLATFORM_WIN32_WINDOWS, true, k9x, L"不需要安装驱动程序.", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.status);
        fake.platformId = c.platform;
        fake.serviceRegistered = c.registered;
        script.Then(Opened()).Then(Press(IDCANCEL));
        EXPECT_EQ(Run(), IDCANCEL);
        EXPECT_EQ(shown.os, c.os);
        EXPECT_EQ(shown.status, c.status);
        EXPECT_EQ(shown.install, c.install);
        EXPECT_EQ(shown.remove, c.remove);
        EXPECT_TRUE(shown.exitEnabled);
    }
}

TEST_F(InstallDialogTest, FieldsCannotBeTypedInto)
{
    std::wstring statusAfter, osAfter;
    LONG statusStyle = 0, osStyle = 0;
    script.Then(Opened())
        .Then([&] {
            for (int id : {IDC_STATUS, IDC_OSNAME}) {
                HWND edit = GetDlgItem(dlg, id);
                SetFocus(edit);
                PostMessageW(edit, WM_CHAR, L'x', 0);
                PostMessageW(edit, WM_KEYDOWN, VK_BACK, 0);
                PostMessageW(edit, WM_CHAR, VK_BACK, 0);
            }
            return true;
        })
        .Then([&] {
            statusAfter = ui::ItemText(dlg, IDC_STATUS);
            osAfter = ui::ItemText(dlg, IDC_OSNAME);
            statusStyle = ui::ItemStyle(dlg, IDC_STATUS);
            osStyle = ui::ItemStyle(dlg, IDC_OSNAME);
            ui::Click(dlg, IDCANCEL);
            return true;
        });
    EXPECT_EQ(Run(), IDCANCEL);
    EXPECT_EQ(statusAfter, shown.status);
    EXPECT_EQ(osAfter, shown.os);
    EXPECT_TRUE(statusStyle & ES_READONLY);
    EXPECT_TRUE(osStyle & ES_READONLY);
}

TEST_F(InstallDialogTest, InstallShowsSuccessAndEndsWithOk)
{
    script.Then(Opened()).Then(Press(IDOK)).Then(Answer(1));
    EXPECT_EQ(Run(), IDOK);
    ASSERT_EQ(boxes.size(), 1u);
    ExpectBox(0, kTexts.noticeInstalled, kTexts.captionSuccess, ui::BoxIcon::Information);
    EXPECT_TRUE(fake.serviceRunning);
    EXPECT_EQ(fake.OpenHandles(), 0);
}

TEST_F(InstallDialogTest, FailedInstallStillEndsWithOk)
{
    fake.driverLoads = false;
    script.Then(Opened()).Then(Press(IDOK)).Then(Answer(1));
    EXPECT_EQ(Run(), IDOK);
    ASSERT_EQ(boxes.size(), 1u);
    ExpectBox(0, Formatted(kTexts.formatStartFailed, ERROR_FILE_NOT_FOUND).c_str(),
              kTexts.captionInstallFailure, ui::BoxIcon::Error);
}

// The refusal's box names a folder the ANSI code page cannot hold, in the
// ANSI dialog of a 936 system too.
TEST_F(InstallDialogTest, RefusalNamesAFolderOfAnyNameInItsBox)
{
    fake.currentDirectory = u8"C:\\한국어";
    fake.security[fake.currentDirectory] = "O:BAD:(A;;FA;;;BA)(A;;FA;;;WD)";
    script.Then(Opened()).Then(Press(IDOK)).Then(Answer(1));
    EXPECT_EQ(Run(), IDOK);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].text.find(L"\n\u4F4D\u7F6E: C:\\\uD55C\uAD6D\uC5B4\n"), std::wstring::npos)
        << "the place is not shown as it is";
    EXPECT_EQ(boxes[0].caption, Wide(kTexts.captionInstallFailure));
    EXPECT_EQ(boxes[0].icon, ui::BoxIcon::Error);
    EXPECT_EQ(boxes[0].owner, dlg) << "not owned by the dialog";
    EXPECT_EQ(boxes[0].buttons, 1);
    EXPECT_TRUE(fake.creations.empty());
}

TEST_F(InstallDialogTest, RemoveOfAStoppedDriverShowsBothNoticesInOrder)
{
    fake.serviceRegistered = true;
    script.Then(Opened()).Then(Press(IDC_REMOVE)).Then(Answer(2));
    EXPECT_EQ(Run(), IDOK);
    ASSERT_EQ(boxes.size(), 2u);
    ExpectBox(0, Formatted(kTexts.formatStopFailed, ERROR_SERVICE_NOT_ACTIVE).c_str(),
              kTexts.captionRemoveFailure, ui::BoxIcon::Error);
    ExpectBox(1, kTexts.noticeRemoved, kTexts.captionSuccess, ui::BoxIcon::Information);
    EXPECT_FALSE(fake.serviceRegistered);
    // Remove never runs Install.
    EXPECT_TRUE(fake.creations.empty());
}

TEST_F(InstallDialogTest, RemoveWithNothingLeftToRemoveEndsWithOkSilently)
{
    fake.serviceRegistered = true;
    script.Then(Opened())
        .Then([&] {
            fake.serviceRegistered = false;  // removed by someone else meanwhile
            return true;
        })
        .Then(Press(IDC_REMOVE));
    EXPECT_EQ(Run(), IDOK);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(fake.calls, (std::vector<std::string>{"OpenSCManagerA", "OpenServiceA",
                                                    "GetLastError",
                                                    "CloseServiceHandle(manager)"}));
}

TEST_F(InstallDialogTest, ExitEscapeAndCloseBoxEndWithCancelAndTouchNothing)
{
    const std::function<void(HWND)> ways[] = {
        [](HWND d) { ui::Click(d, IDCANCEL); },
        [](HWND d) {
            HWND focus = GetFocus();
            PostMessageW(focus ? focus : d, WM_KEYDOWN, VK_ESCAPE, 0);
        },
        [](HWND d) { PostMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0); },
    };
    int way = 0;
    for (const auto& leave : ways) {
        SCOPED_TRACE(way++);
        script.Then(Opened()).Then([&] {
            leave(dlg);
            return true;
        });
        EXPECT_EQ(Run(), IDCANCEL);
        EXPECT_TRUE(fake.calls.empty()) << fake.calls.front();
        EXPECT_TRUE(boxes.empty());
    }
}

TEST_F(InstallDialogTest, CarriesItsIconForTheCaptionAndDragging)
{
    HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    ASSERT_NE(icon, nullptr);
    LRESULT big = 0, small = 0, drag = 0;
    script.Then(Opened()).Then([&] {
        big = SendMessageW(dlg, WM_GETICON, ICON_BIG, 0);
        small = SendMessageW(dlg, WM_GETICON, ICON_SMALL, 0);
        drag = SendMessageW(dlg, WM_QUERYDRAGICON, 0, 0);
        ui::Click(dlg, IDCANCEL);
        return true;
    });
    Run();
    EXPECT_EQ(big, reinterpret_cast<LRESULT>(icon));
    EXPECT_EQ(small, reinterpret_cast<LRESULT>(icon));
    EXPECT_EQ(drag, reinterpret_cast<LRESULT>(icon));
}

TEST_F(InstallDialogTest, OpensCentredOnTheScreen)
{
    RECT window = {}, work = {};
    script.Then(Opened()).Then([&] {
        GetWindowRect(dlg, &window);
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        ui::Click(dlg, IDCANCEL);
        return true;
    });
    Run();
    EXPECT_LE(abs((window.left + window.right) - (work.left + work.right)), 2);
    EXPECT_LE(abs((window.top + window.bottom) - (work.top + work.bottom)), 2);
}

TEST_F(InstallDialogTest, SystemMenuEndsWithTheAboutEntry)
{
    int count = 0;
    UINT lastId = 0, separatorState = 0;
    wchar_t lastText[64] = {};
    script.Then(Opened()).Then([&] {
        HMENU menu = GetSystemMenu(dlg, FALSE);
        count = GetMenuItemCount(menu);
        lastId = GetMenuItemID(menu, count - 1);
        GetMenuStringW(menu, count - 1, lastText, 64, MF_BYPOSITION);
        separatorState = GetMenuState(menu, count - 2, MF_BYPOSITION);
        ui::Click(dlg, IDCANCEL);
        return true;
    });
    Run();
    ASSERT_GE(count, 3);
    EXPECT_EQ(lastId, UINT(IDM_ABOUTBOX));
    EXPECT_STREQ(lastText, L"关于  INSTALL (&A)...");
    EXPECT_TRUE(separatorState & MF_SEPARATOR);
}

// The route a system of another ANSI code page takes: a Unicode dialog, a
// wide menu entry and notices, every text as on the ANSI route.
TEST_F(InstallDialogTest, WideTextsShowTheSameTextsInAUnicodeDialog)
{
    struct WideTexts {
        WideTexts() { AfxUseWideTexts(kTextsCodePage); }
        ~WideTexts() { AfxUseWideTexts(0); }
    } wide;
    fake.driverLoads = false;
    bool unicode = false;
    wchar_t lastText[64] = {};
    script.Then(Opened())
        .Then([&] {
            unicode = IsWindowUnicode(dlg) != 0;
            HMENU menu = GetSystemMenu(dlg, FALSE);
            GetMenuStringW(menu, GetMenuItemCount(menu) - 1, lastText, 64, MF_BYPOSITION);
            return true;
        })
        .Then(Press(IDOK))
        .Then(Answer(1));
    EXPECT_EQ(Run(), IDOK);
    EXPECT_TRUE(unicode);
    EXPECT_EQ(shown.status, L"KESTRAMO 核心驱动程序未安装.");
    EXPECT_EQ(shown.os, kNt);
    EXPECT_STREQ(lastText, L"关于  INSTALL (&A)...");
    ExpectBox(0, Formatted(kTexts.formatStartFailed, ERROR_FILE_NOT_FOUND).c_str(),
              kTexts.captionInstallFailure, ui::BoxIcon::Error);
}

TEST_F(InstallDialogTest, AboutBoxIsModalAndLeavesTheDialogAsItWas)
{
    fake.serviceRegistered = true;
    HWND about = nullptr;
    bool mainEnabledDuringAbout = true;
    std::wstring version;
    Shown after;
    script.Then(Opened())
        .Then([&] {
            PostMessageW(dlg, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
            return true;
        })
        .Then([&] {
            about = ui::FindDialog(kAboutCaption);
            if (!about)
                return false;
            mainEnabledDuringAbout = IsWindowEnabled(dlg) != 0;
            version = ui::Text(GetWindow(about, GW_CHILD));
            EXPECT_EQ(GetWindow(about, GW_OWNER), dlg);
            ui::Click(about, IDOK);
            return true;
        })
        .Then([&] {
            if (ui::FindDialog(kAboutCaption) || !IsWindowEnabled(dlg))
                return false;
            after.os = ui::ItemText(dlg, IDC_OSNAME);
            after.status = ui::ItemText(dlg, IDC_STATUS);
            after.install = ui::ItemEnabled(dlg, IDOK);
            after.remove = ui::ItemEnabled(dlg, IDC_REMOVE);
            ui::Click(dlg, IDCANCEL);
            return true;
        });
    EXPECT_EQ(Run(), IDCANCEL);
    EXPECT_NE(about, nullptr);
    EXPECT_FALSE(mainEnabledDuringAbout) << "About box is not modal";
    EXPECT_EQ(version, L"KESTRAMO 驱动程序 INSTALL 版本 2.0");
    EXPECT_EQ(after.os, shown.os);
    EXPECT_EQ(after.status, shown.status);
    EXPECT_EQ(after.install, shown.install);
    EXPECT_EQ(after.remove, shown.remove);
    EXPECT_TRUE(fake.calls.empty());
}

TEST_F(InstallDialogTest, EveryCommandFrom0x10To0x1FOpensTheAboutBox)
{
    std::vector<UINT> opened;
    script.Then(Opened());
    for (UINT id = 0x10; id <= 0x1F; ++id) {
        script.Then([=] {
            PostMessageW(dlg, WM_SYSCOMMAND, id, 0);
            return true;
        });
        script.Then([&, id] {
            HWND about = ui::FindDialog(kAboutCaption);
            if (!about)
                return false;
            opened.push_back(id);
            ui::Click(about, IDOK);
            return true;
        });
        script.Then([] { return ui::FindDialog(kAboutCaption) == nullptr; });
    }
    script.Then(Press(IDCANCEL));
    EXPECT_EQ(Run(), IDCANCEL);
    EXPECT_EQ(opened.size(), 16u);
}

TEST_F(InstallDialogTest, HelpCommandShowsNothingAndLeavesTheDialogOpen)
{
    bool stillOpen = false;
    script.Then(Opened())
        .Then([&] {
            SendMessageW(dlg, WM_COMMAND, ID_HELP, 0);
            return true;
        })
        .Then([&] {
            stillOpen = IsWindow(dlg) && ui::FindOwnedDialog(dlg) == nullptr;
            ui::Click(dlg, IDCANCEL);
            return true;
        });
    EXPECT_EQ(Run(), IDCANCEL);
    EXPECT_TRUE(stillOpen);
    EXPECT_TRUE(fake.calls.empty());
}

TEST_F(InstallDialogTest, EnterWhileInstallIsDisabledNeverInstalls)
{
    fake.serviceRegistered = true;
    script.Then(Opened())
        .Then([&] {
            HWND focus = GetFocus();
            PostMessageW(focus ? focus : dlg, WM_KEYDOWN, VK_RETURN, 0);
            PostMessageW(focus ? focus : dlg, WM_KEYUP, VK_RETURN, 0);
            return true;
        })
        .Then([&] {
            // Whatever the platform's dialog rules made of the key, close
            // the dialog if it is still open.
            if (IsWindow(dlg))
                PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
            return true;
        });
    Run();
    for (const std::string& call : fake.calls)
        EXPECT_NE(call, "CreateServiceW");
    EXPECT_TRUE(fake.creations.empty());
    EXPECT_TRUE(fake.serviceRegistered);
}

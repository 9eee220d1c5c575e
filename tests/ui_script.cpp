#include "ui_script.h"

#include "scm_test_util.h"

#include <vector>

namespace {

UiScript* g_running = nullptr;

BOOL CALLBACK CollectWindow(HWND window, LPARAM list)
{
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::vector<HWND> ThreadWindows()
{
    std::vector<HWND> windows;
    EnumThreadWindows(GetCurrentThreadId(), CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::vector<HWND> TopLevelWindows()
{
    std::vector<HWND> windows;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

bool IsVisibleDialog(HWND window)
{
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    return wcscmp(className, L"#32770") == 0 && IsWindowVisible(window);
}

}  // namespace

INT_PTR UiScript::Run(const std::function<INT_PTR()>& modal, DWORD timeoutMs)
{
    m_deadline = GetTickCount() + ScaledWait(timeoutMs);
    m_timedOut = false;
    g_running = this;
    UINT_PTR timer = SetTimer(nullptr, 0, 25, Tick);
    INT_PTR result = modal();
    KillTimer(nullptr, timer);
    g_running = nullptr;
    return result;
}

void CALLBACK UiScript::Tick(HWND, UINT, UINT_PTR, DWORD)
{
    if (g_running)
        g_running->OnTick();
}

void UiScript::OnTick()
{
    if (m_inStep)
        return;  // a step that runs a modal loop of its own
    if (static_cast<LONG>(GetTickCount() - m_deadline) > 0) {
        m_timedOut = true;
        m_steps.clear();
        for (HWND window : ThreadWindows())
            if (IsVisibleDialog(window))
                EndDialog(window, IDABORT);
        return;
    }
    m_inStep = true;
    while (!m_steps.empty() && m_steps.front()())
        m_steps.pop_front();
    m_inStep = false;
}

namespace ui {

HWND FindDialog(const wchar_t* caption, DWORD processId)
{
    if (!processId)
        processId = GetCurrentProcessId();
    for (HWND window : TopLevelWindows()) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId && IsVisibleDialog(window) && Text(window) == caption)
            return window;
    }
    return nullptr;
}

HWND FindOwnedDialog(HWND owner)
{
    for (HWND window : TopLevelWindows())
        if (IsVisibleDialog(window) && GetWindow(window, GW_OWNER) == owner)
            return window;
    return nullptr;
}

bool AnyWindowOfProcess(DWORD processId)
{
    for (HWND window : TopLevelWindows()) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId && IsWindowVisible(window))
            return true;
    }
    return false;
}

bool AnyWindowOfThisThread()
{
    for (HWND window : ThreadWindows())
        if (IsWindowVisible(window))
            return true;
    return false;
}

std::wstring Text(HWND window)
{
    // WM_GETTEXT rather than GetWindowText, which does not ask a control of
    // another process for its text.
    wchar_t buffer[512] = {};
    SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buffer),
                        SMTO_ABORTIFHUNG, ScaledWait(5000), nullptr);
    return buffer;
}

std::wstring ItemText(HWND dialog, int id)
{
    return Text(GetDlgItem(dialog, id));
}

bool ItemEnabled(HWND dialog, int id)
{
    return IsWindowEnabled(GetDlgItem(dialog, id)) != 0;
}

LONG ItemStyle(HWND dialog, int id)
{
    return GetWindowLongW(GetDlgItem(dialog, id), GWL_STYLE);
}

void Click(HWND dialog, int id)
{
    HWND button = GetDlgItem(dialog, id);
    if (button && IsWindowEnabled(button))
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(button));
}

MessageBoxSeen ReadMessageBox(HWND box)
{
    MessageBoxSeen seen;
    seen.caption = Text(box);
    seen.owner = GetWindow(box, GW_OWNER);
    seen.text = ItemText(box, 0xFFFF);
    HICON information = LoadIconA(nullptr, IDI_INFORMATION);
    HICON error = LoadIconA(nullptr, IDI_ERROR);
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t className[32] = {};
        GetClassNameW(child, className, 32);
        LONG style = GetWindowLongW(child, GWL_STYLE);
        if (_wcsicmp(className, L"Button") == 0 && IsWindowVisible(child)) {
            ++seen.buttons;
        } else if (_wcsicmp(className, L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON &&
                   IsWindowVisible(child)) {
            HICON icon = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
            seen.icon = icon == information ? BoxIcon::Information
                        : icon == error     ? BoxIcon::Error
                        : icon              ? BoxIcon::Other
                                            : BoxIcon::None;
        }
    }
    return seen;
}

void DismissMessageBox(HWND box)
{
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

}  // namespace ui

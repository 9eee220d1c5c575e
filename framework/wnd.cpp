#include "framework.h"
#include "monitor.h"

// ---------------------------------------------------------------------------
// Data exchange

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    if (!rControl.m_hWnd)
        rControl.Attach(pDX->m_pDlgWnd->GetDlgItem(nIDC));
}

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value)
{
    HWND control = pDX->m_pDlgWnd->GetDlgItem(nIDC);
    if (pDX->m_bSaveAndValidate) {
        value.GetWindowTextFrom(control);
        return;
    }
    CWideText wide(value);
    if (!wide || !AfxWideUser32().setWindowText || !AfxWideUser32().setWindowText(control, wide))
        ::SetWindowTextA(control, value);
}

// ---------------------------------------------------------------------------
// Menus and painting

CMenu* CMenu::FromHandle(HMENU hMenu)
{
    static CMenu wrapper;
    if (!hMenu)
        return nullptr;
    wrapper.m_hMenu = hMenu;
    return &wrapper;
}

BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, const char* lpszNewItem)
{
    // Only a string item carries a text; a separator passes null.
    CWideText wide((nFlags & (MF_BITMAP | MF_OWNERDRAW | MF_SEPARATOR)) ? nullptr : lpszNewItem);
    if (wide && AfxWideUser32().appendMenu)
        return AfxWideUser32().appendMenu(m_hMenu, nFlags, nIDNewItem, wide);
    return ::AppendMenuA(m_hMenu, nFlags, nIDNewItem, lpszNewItem);
}

CPaintDC::CPaintDC(CWnd* pWnd) : m_hWnd(pWnd->m_hWnd)
{
    m_hDC = ::BeginPaint(m_hWnd, &m_ps);
}

CPaintDC::~CPaintDC()
{
    ::EndPaint(m_hWnd, &m_ps);
}

// ---------------------------------------------------------------------------
// Windows

CWnd::~CWnd()
{
    CWinApp* app = AfxGetApp();
    if (app && app->m_pMainWnd == this)
        app->m_pMainWnd = nullptr;
}

void CWnd::DoDataExchange(CDataExchange*) {}

int CWnd::MessageBox(const char* lpszText, const char* lpszCaption, UINT nType)
{
    CWideText text(lpszText), caption(lpszCaption);
    if (text && (caption || !lpszCaption) && AfxWideUser32().messageBox)
        return AfxWideUser32().messageBox(m_hWnd, text, caption, nType);
    return ::MessageBoxA(m_hWnd, lpszText, lpszCaption, nType);
}

int CWnd::MessageBox(const wchar_t* lpszText, const wchar_t* lpszCaption, UINT nType)
{
    HMODULE user32 = ::GetModuleHandleA("user32.dll");
    auto messageBox = reinterpret_cast<decltype(&::MessageBoxW)>(
        reinterpret_cast<void*>(user32 ? ::GetProcAddress(user32, "MessageBoxW") : nullptr));
    return messageBox ? messageBox(m_hWnd, lpszText, lpszCaption, nType) : 0;
}

BOOL CWnd::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

MonitorFunctions SystemMonitorFunctions()
{
    MonitorFunctions functions = {};
    if (HMODULE user32 = ::GetModuleHandleA("user32.dll")) {
        functions.monitorFromWindow = reinterpret_cast<decltype(functions.monitorFromWindow)>(
            reinterpret_cast<void*>(::GetProcAddress(user32, "MonitorFromWindow")));
        functions.getMonitorInfo = reinterpret_cast<decltype(functions.getMonitorInfo)>(
            reinterpret_cast<void*>(::GetProcAddress(user32, "GetMonitorInfoA")));
    }
    return functions;
}

RECT WorkAreaNear(HWND hWnd, const MonitorFunctions& functions)
{
    if (functions.monitorFromWindow && functions.getMonitorInfo) {
        MONITORINFO monitor = {};
        monitor.cbSize = sizeof monitor;
        HMONITOR nearest = functions.monitorFromWindow(hWnd, MONITOR_DEFAULTTONEAREST);
        if (nearest && functions.getMonitorInfo(nearest, &monitor))
            return monitor.rcWork;
    }
    RECT work = {};
    if (!::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0))
        work = RECT{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    return work;
}

void CWnd::CenterWindow()
{
    RECT window;
    ::GetWindowRect(m_hWnd, &window);

    // Over the owner when it is visible, else in the work area of the
    // monitor the window is on.
    HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    const RECT work = WorkAreaNear(owner ? owner : m_hWnd, SystemMonitorFunctions());
    RECT area;
    if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner))
        ::GetWindowRect(owner, &area);
    else
        area = work;

    int width = window.right - window.left;
    int height = window.bottom - window.top;
    int x = area.left + (area.right - area.left - width) / 2;
    int y = area.top + (area.bottom - area.top - height) / 2;

    // Keep the whole window on the monitor's work area.
    if (x + width > work.right)
        x = work.right - width;
    if (y + height > work.bottom)
        y = work.bottom - height;
    if (x < work.left)
        x = work.left;
    if (y < work.top)
        y = work.top;

    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    UINT code = 0;
    UINT id = 0;
    if (message == WM_COMMAND) {
        code = HIWORD(wParam);
        id = LOWORD(wParam);
    }

    const AFX_MSGMAP_ENTRY* entry = FindMessageEntry(message, code, id);
    if (!entry) {
        // Commands nobody here handles go on to the application object.
        CWinApp* app = AfxGetApp();
        return message == WM_COMMAND && app && app->OnCmdMsg(id, code);
    }

    // A handler may run a nested modal loop that dispatches other messages
    // to this window, so the request flag is kept per message.
    bool outerRequest = m_bDefaultRequested;
    m_bDefaultRequested = false;
    *pResult = 0;
    if (entry->pfnVoid)
        (this->*entry->pfnVoid)();
    else if (entry->pfnCursor)
        *pResult = reinterpret_cast<LRESULT>((this->*entry->pfnCursor)());
    else if (entry->pfnSysCommand)
        (this->*entry->pfnSysCommand)(static_cast<UINT>(wParam), lParam);

    bool handled = !m_bDefaultRequested;
    m_bDefaultRequested = outerRequest;
    return handled;
}

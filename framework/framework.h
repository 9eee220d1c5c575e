// A small dialog framework on raw Win32: an application object, windows and
// modal dialogs with static message maps, data exchange, and the few GDI and
// menu wrappers the installer uses.
#pragma once

#include <windows.h>

#include "wide_text.h"

class CCmdTarget;
class CWnd;
class CWinApp;

// ---------------------------------------------------------------------------
// Message maps: a static table of entries per class, chained to the base
// class's table. An entry names a message (and, for WM_COMMAND, a
// notification code and a control id) and exactly one handler, whose type
// tells how the message's parameters are passed.

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;
    UINT nCode;
    UINT nID;
    void (CCmdTarget::*pfnVoid)();                // handler()
    HCURSOR (CCmdTarget::*pfnCursor)();           // result = handler()
    void (CCmdTarget::*pfnSysCommand)(UINT, LPARAM);  // handler(wParam, lParam)
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;  // ends with an entry whose nMessage is 0
};

#define DECLARE_MESSAGE_MAP()                              \
protected:                                                 \
    static const AFX_MSGMAP* GetThisMessageMap();          \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                     \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* theClass::GetThisMessageMap()                                \
    {                                                                              \
        using ThisClass [[maybe_unused]] = theClass;                               \
        using TheBaseClass = baseClass;                                            \
        static const AFX_MSGMAP_ENTRY entries[] = {

#define END_MESSAGE_MAP()                                                         \
            {0, 0, 0, nullptr, nullptr, nullptr}                                  \
        };                                                                        \
        static const AFX_MSGMAP map = {&TheBaseClass::GetThisMessageMap, entries}; \
        return &map;                                                              \
    }

#define AFX_VOID_HANDLER(f) static_cast<void (CCmdTarget::*)()>(&ThisClass::f)

#define ON_COMMAND(id, f) {WM_COMMAND, 0, (id), AFX_VOID_HANDLER(f), nullptr, nullptr},
#define ON_BN_CLICKED(id, f) {WM_COMMAND, BN_CLICKED, (id), AFX_VOID_HANDLER(f), nullptr, nullptr},
#define ON_WM_PAINT() {WM_PAINT, 0, 0, AFX_VOID_HANDLER(OnPaint), nullptr, nullptr},
#define ON_WM_QUERYDRAGICON()                                                          \
    {WM_QUERYDRAGICON, 0, 0, nullptr,                                                  \
     static_cast<HCURSOR (CCmdTarget::*)()>(&ThisClass::OnQueryDragIcon), nullptr},
#define ON_WM_SYSCOMMAND()                                                             \
    {WM_SYSCOMMAND, 0, 0, nullptr, nullptr,                                            \
     static_cast<void (CCmdTarget::*)(UINT, LPARAM)>(&ThisClass::OnSysCommand)},

// The root of every message map.
class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;

    // Runs the handler that this object's map (or a base map) has for the
    // command `nID` with notification `nCode`. Returns FALSE if there is none.
    BOOL OnCmdMsg(UINT nID, UINT nCode);

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;

    const AFX_MSGMAP_ENTRY* FindMessageEntry(UINT nMessage, UINT nCode, UINT nID) const;
};

// ---------------------------------------------------------------------------

class CString {
public:
    CString();
    CString(const char* text);
    CString(const CString& other);
    ~CString();

    CString& operator=(const CString& other);
    CString& operator=(const char* text);

    operator const char*() const { return m_text; }
    bool IsEmpty() const { return m_length == 0; }

    // Loads a string resource, in the ANSI code page (or, with wide texts,
    // in theirs). Returns FALSE and leaves the string empty if there is none.
    BOOL LoadString(UINT nID);

    // Replaces the text with the window text of `hWnd`.
    void GetWindowTextFrom(HWND hWnd);

private:
    void Assign(const char* text, int length);
    void Release();

    char* m_text;
    int m_length;
};

// ---------------------------------------------------------------------------

class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd)
    {
    }

    BOOL m_bSaveAndValidate;  // TRUE: controls to members; FALSE: members to controls
    CWnd* m_pDlgWnd;
};

// Attaches `rControl` to the dialog's control `nIDC` on the first exchange.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
// Moves text between the control `nIDC` and `value`.
void DDX_Text(CDataExchange* pDX, int nIDC, CString& value);

// ---------------------------------------------------------------------------

class CMenu {
public:
    CMenu() : m_hMenu(nullptr) {}

    // A wrapper for `hMenu`, valid until the next call; null for no menu.
    static CMenu* FromHandle(HMENU hMenu);

    BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, const char* lpszNewItem = nullptr);

    HMENU m_hMenu;
};

class CDC {
public:
    CDC() : m_hDC(nullptr) {}
    HDC GetSafeHdc() const { return m_hDC; }
    BOOL DrawIcon(int x, int y, HICON hIcon) { return ::DrawIcon(m_hDC, x, y, hIcon); }

    HDC m_hDC;
};

// BeginPaint on construction, EndPaint on destruction.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC();
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

    PAINTSTRUCT m_ps;

private:
    HWND m_hWnd;
};

// ---------------------------------------------------------------------------

class CWnd : public CCmdTarget {
public:
    CWnd() : m_hWnd(nullptr), m_bDefaultRequested(false) {}
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    void Attach(HWND hWnd) { m_hWnd = hWnd; }

    BOOL EnableWindow(BOOL bEnable = TRUE) { return ::EnableWindow(m_hWnd, bEnable); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    void GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }
    HWND GetDlgItem(int nID) const { return ::GetDlgItem(m_hWnd, nID); }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }
    int MessageBox(const char* lpszText, const char* lpszCaption = nullptr, UINT nType = MB_OK);
    // A text already in UTF-16, shown through the wide interface whatever
    // route the framework's own texts take (NT; looked up at run time).
    // Returns 0 where the system has no MessageBoxW.
    int MessageBox(const wchar_t* lpszText, const wchar_t* lpszCaption, UINT nType = MB_OK);
    CMenu* GetSystemMenu(BOOL bRevert) const
    {
        return CMenu::FromHandle(::GetSystemMenu(m_hWnd, bRevert));
    }
    void CenterWindow();

    // FALSE moves the members into the controls, TRUE the controls into the members.
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    HWND m_hWnd;

protected:
    virtual void DoDataExchange(CDataExchange* pDX);

    // Asks for the platform's default processing of the message being
    // handled; it runs once the handler has returned.
    void Default() { m_bDefaultRequested = true; }

    // Default processing for the messages the map routes to handlers.
    void OnPaint() { Default(); }
    void OnSysCommand(UINT, LPARAM) { Default(); }

    // Runs the map's handler for a message. Returns FALSE when the map has
    // none or the handler asked for the default processing.
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

private:
    bool m_bDefaultRequested;
};

class CButton : public CWnd {
};

// ---------------------------------------------------------------------------

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);

    // Runs the dialog modally, owned by its parent or, without one, by the
    // application's main window. Returns what EndDialog was given, or -1.
    virtual INT_PTR DoModal();
    void EndDialog(int nResult) { ::EndDialog(m_hWnd, nResult); }

protected:
    // Performs the first data exchange (members into controls).
    virtual BOOL OnInitDialog();
    // IDOK: reads the controls back into the members, then ends with IDOK.
    virtual void OnOK();
    // IDCANCEL (Escape, the close box): ends with IDCANCEL.
    virtual void OnCancel();

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()
};

// ---------------------------------------------------------------------------

class CWinApp : public CCmdTarget {
public:
    explicit CWinApp(const char* lpszAppName = nullptr);
    ~CWinApp() override;

    // Returning FALSE ends the program without running the message pump.
    virtual BOOL InitInstance();
    virtual int Run();
    // Returns m_nExitCode, which becomes the process's exit status.
    virtual int ExitInstance();

    // The platform draws dialogs three-dimensionally by itself: nothing to
    // load or register.
    BOOL Enable3dControls() { return TRUE; }

    // ID_HELP. No help file ships with the program, so there is nothing to show.
    void OnHelp() {}

    const char* m_pszAppName;
    HINSTANCE m_hInstance;
    char* m_lpCmdLine;
    int m_nCmdShow;
    CWnd* m_pMainWnd;
    int m_nExitCode;

    DECLARE_MESSAGE_MAP()
};

#ifndef ID_HELP
#define ID_HELP 0xE146
#endif

CWinApp* AfxGetApp();
HINSTANCE AfxGetResourceHandle();

// Called by the program's entry point (entry.cpp): InitInstance, then Run or
// ExitInstance. Returns the process's exit status.
int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);

#include "install_dlg.h"

#include "about_dlg.h"
#include "icon_position.h"
#include "probe.h"

CInstallDlg::CInstallDlg(CWnd* pParent) : CDialog(IDD, pParent), m_dwOutcome(ERROR_CANCELLED)
{
    m_strStatus = "";
    m_strOsName = "";
    m_hIcon = ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME));
}

void CInstallDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_REMOVE, m_btnRemove);
    DDX_Control(pDX, IDOK, m_btnInstall);
    DDX_Text(pDX, IDC_STATUS, m_strStatus);
    DDX_Text(pDX, IDC_OSNAME, m_strOsName);
}

BEGIN_MESSAGE_MAP(CInstallDlg, CDialog)
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_BN_CLICKED(IDC_REMOVE, OnRemove)
END_MESSAGE_MAP()

BOOL CInstallDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    // The About entry at the end of the system menu.
    static_assert((IDM_ABOUTBOX & 0xFFF0) == IDM_ABOUTBOX, "system command ids use the high bits");
    CMenu* pSysMenu = GetSystemMenu(FALSE);
    if (pSysMenu != nullptr) {
        CString strAboutMenu;
        strAboutMenu.LoadString(IDS_ABOUTBOX);
        if (!strAboutMenu.IsEmpty()) {
            pSysMenu->AppendMenu(MF_SEPARATOR);
            pSysMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, strAboutMenu);
        }
    }

    ::SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    ::SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    UpdateStatus();
    return TRUE;
}

void CInstallDlg::UpdateStatus()
{
    InstallState state = ProbeInstallState();

    m_bIsNT = state.isNT;
    m_strOsName = state.osText;
    m_strStatus = state.statusText;

    if (!state.installEnabled)
        m_btnInstall.EnableWindow(FALSE);
    if (!state.removeEnabled)
        m_btnRemove.EnableWindow(FALSE);

    UpdateData(FALSE);
}

void CInstallDlg::OnOK()
{
    m_dwOutcome = InstallDriverService(m_bIsNT, *this);
    CDialog::OnOK();
}

void CInstallDlg::OnSysCommand(UINT nID, LPARAM lParam)
{
    // The low four bits of a system command are the platform's own.
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout;
        dlgAbout.DoModal();
    } else {
        CDialog::OnSysCommand(nID, lParam);
    }
}

void CInstallDlg::OnRemove()
{
    m_dwOutcome = RemoveDriverService(m_bIsNT, *this);
    CDialog::OnOK();  // the base: Remove never runs Install
}

void CInstallDlg::ShowNotice(const Notice& notice)
{
    if (notice.wideText && MessageBox(notice.wideText, notice.wideCaption, notice.MessageBoxType()))
        return;
    MessageBox(notice.text, notice.caption, notice.MessageBoxType());
}

void CInstallDlg::OnPaint()
{
    if (!IsIconic()) {
        CDialog::OnPaint();
        return;
    }

    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);

    int cx = GetSystemMetrics(SM_CXICON);
    int cy = GetSystemMetrics(SM_CYICON);
    RECT client;
    GetClientRect(&client);
    POINT at = CenteredIconPosition(client, cx, cy);

    dc.DrawIcon(at.x, at.y, m_hIcon);
}

HCURSOR CInstallDlg::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(m_hIcon);
}

#include "install_app.h"

#include "install_dlg.h"

BEGIN_MESSAGE_MAP(CInstallApp, CWinApp)
    ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

CInstallApp::CInstallApp() : CWinApp(nullptr) {}

CInstallApp theApp;

BOOL CInstallApp::InitInstance()
{
    Enable3dControls();

    CInstallDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();  // IDOK after an action, IDCANCEL on Exit: the same to us

    // The dialog has closed: end the program instead of running a message pump.
    return FALSE;
}

#include "install_app.h"

#include "driver_service.h"
#include "install_dlg.h"
#include "probe.h"
#include "text_route.h"

BEGIN_MESSAGE_MAP(CInstallApp, CWinApp)
    ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

CInstallApp::CInstallApp() : CWinApp(nullptr) {}

CInstallApp theApp;

BOOL CInstallApp::InitInstance()
{
    Enable3dControls();

    // Where the system would read the GBK texts in another code page, the
    // dialogs, fields, notices and menu entry show them through the wide
    // interfaces.
    PlatformApi& api = ActivePlatformApi();
    if (SystemTextRoute(api, QueryPlatformId(api)) == TextRoute::Wide)
        AfxUseWideTexts(kTextsCodePage);

    CInstallDlg dlg;
    m_pMainWnd = &dlg;
    // IDOK after an action, IDCANCEL on Exit: the same to us. What happened
    // is the exit status, for a setup that starts the program and waits.
    if (dlg.DoModal() == -1) {
        DWORD error = ::GetLastError();
        m_nExitCode = static_cast<int>(error != ERROR_SUCCESS ? error : ERROR_CANCELLED);
    } else {
        m_nExitCode = static_cast<int>(dlg.Outcome());
    }

    // The dialog has closed: end the program instead of running a message pump.
    return FALSE;
}

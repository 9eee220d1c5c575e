// The installer's main dialog: OS and status fields, Install, Remove, Exit.
#pragma once

#include "actions.h"
#include "framework.h"
#include "resource.h"

class CInstallDlg : public CDialog, public NoticeSink {
public:
    explicit CInstallDlg(CWnd* pParent = nullptr);

    enum { IDD = IDD_INSTALL_DIALOG };

    // Shows one notice in a message box owned by the dialog.
    void ShowNotice(const Notice& notice) override;

    // The code of the action's outcome once the dialog has ended (see
    // actions.h); ERROR_CANCELLED when it ended without one.
    DWORD Outcome() const { return m_dwOutcome; }

protected:
    CButton m_btnRemove;
    CButton m_btnInstall;
    CString m_strStatus;
    CString m_strOsName;
    HICON m_hIcon;
    BOOL m_bIsNT;
    DWORD m_dwOutcome;

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;  // Install

    void UpdateStatus();
    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnRemove();
    void OnPaint();
    HCURSOR OnQueryDragIcon();

    DECLARE_MESSAGE_MAP()
};

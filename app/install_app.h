// The application object: runs the main dialog once, then lets the process end.
#pragma once

#include "framework.h"

class CInstallApp : public CWinApp {
public:
    CInstallApp();

    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};

extern CInstallApp theApp;

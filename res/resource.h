// Resource ids of INSTALL.EXE.
#pragma once

#define IDR_MAINFRAME       128
#define IDD_INSTALL_DIALOG  102

#define IDC_REMOVE          3
#define IDC_STATUS          1000
#define IDC_OSNAME          1001

#define IDD_ABOUTBOX        100
#define IDS_ABOUTBOX        101
#define IDM_ABOUTBOX        0x0010

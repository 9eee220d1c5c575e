// The work area a window is centred in. The multi-monitor functions came
// with Windows 98 and 2000, so the program looks them up at run time instead
// of importing them: Windows 95 and NT 4.0 refuse to start a program whose
// imports they lack.
#pragma once

#include <windows.h>

// Of the header's own declarations' types, calling convention included.
struct MonitorFunctions {
    decltype(&::MonitorFromWindow) monitorFromWindow;
    decltype(&::GetMonitorInfoA) getMonitorInfo;
};

// USER32's, or null where this system has none.
MonitorFunctions SystemMonitorFunctions();

// The work area of the monitor nearest `hWnd`; without the multi-monitor
// functions, or when they fail, the primary monitor's (SPI_GETWORKAREA).
RECT WorkAreaNear(HWND hWnd, const MonitorFunctions& functions);

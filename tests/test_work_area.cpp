// The work area a dialog is centred in, with and without the multi-monitor
// functions that Windows 95 and NT 4.0 lack.
#include "monitor.h"

#include <gtest/gtest.h>

namespace {

const RECT kMonitorWork = {1280, 20, 2560, 1000};
bool g_infoFails = false;

HMONITOR WINAPI SecondMonitor(HWND, DWORD flags)
{
    EXPECT_EQ(flags, DWORD(MONITOR_DEFAULTTONEAREST));
    return reinterpret_cast<HMONITOR>(0x1234);
}

HMONITOR WINAPI NoMonitor(HWND, DWORD)
{
    return nullptr;
}

BOOL WINAPI SecondMonitorInfo(HMONITOR monitor, MONITORINFO* info)
{
    EXPECT_EQ(monitor, reinterpret_cast<HMONITOR>(0x1234));
    if (g_infoFails || info->cbSize != sizeof(MONITORINFO))
        return FALSE;
    info->rcWork = kMonitorWork;
    return TRUE;
}

RECT PrimaryWorkArea()
{
    RECT work = {};
    EXPECT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    return work;
}

bool Same(const RECT& a, const RECT& b)
{
    return EqualRect(&a, &b) != 0;
}

}  // namespace

TEST(WorkAreaNear, UsesTheMonitorOfTheWindowWhereTheSystemHasMultiMonitorFunctions)
{
    g_infoFails = false;
    EXPECT_TRUE(Same(WorkAreaNear(nullptr, {SecondMonitor, SecondMonitorInfo}), kMonitorWork));
}

TEST(WorkAreaNear, FallsBackToThePrimaryWorkArea)
{
    const RECT primary = PrimaryWorkArea();
    // Windows 95, NT 4.0: neither function exists.
    EXPECT_TRUE(Same(WorkAreaNear(nullptr, {nullptr, nullptr}), primary));
    EXPECT_TRUE(Same(WorkAreaNear(nullptr, {SecondMonitor, nullptr}), primary));
    // The functions exist but give no answer.
    EXPECT_TRUE(Same(WorkAreaNear(nullptr, {NoMonitor, SecondMonitorInfo}), primary));
    g_infoFails = true;
    EXPECT_TRUE(Same(WorkAreaNear(nullptr, {SecondMonitor, SecondMonitorInfo}), primary));
    g_infoFails = false;
}

TEST(WorkAreaNear, SystemFunctionsAreFoundWhereTheyExist)
{
    MonitorFunctions functions = SystemMonitorFunctions();
    EXPECT_NE(functions.monitorFromWindow, nullptr);
    EXPECT_NE(functions.getMonitorInfo, nullptr);
}

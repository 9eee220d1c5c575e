// The state probe against the fake service manager.
#include "driver_service.h"
#include "fake_scm.h"
#include "probe.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

struct ProbeFixture : ::testing::Test {
    FakePlatformApi fake;
    ScopedPlatformApi scope{&fake};
};

using Calls = std::vector<std::string>;

void ExpectState(const InstallState& state, bool isNT, const char* os, const char* status,
                 bool install, bool remove)
{
    EXPECT_EQ(state.isNT, isNT);
    EXPECT_STREQ(state.osText, os);
    EXPECT_STREQ(state.statusText, status);
    EXPECT_EQ(state.installEnabled, install);
    EXPECT_EQ(state.removeEnabled, remove);
}

}  // namespace

using ProbeInstallStateTest = ProbeFixture;

TEST_F(ProbeInstallStateTest, NtWithServiceRegisteredOffersOnlyRemove)
{
    fake.serviceRegistered = true;
    ExpectState(ProbeInstallState(), true, kTexts.osNameNT, kTexts.statusInstalled, false, true);
}

TEST_F(ProbeInstallStateTest, RunningOrStoppedMakesNoDifference)
{
    fake.serviceRegistered = true;
    fake.serviceRunning = true;
    ExpectState(ProbeInstallState(), true, kTexts.osNameNT, kTexts.statusInstalled, false, true);
}

TEST_F(ProbeInstallStateTest, NtWithoutServiceOffersOnlyInstall)
{
    ExpectState(ProbeInstallState(), true, kTexts.osNameNT, kTexts.statusNotInstalled, true, false);
}

TEST_F(ProbeInstallStateTest, OtherPlatformNeedsNothingAndTouchesNoServiceManager)
{
    for (DWORD platform : {DWORD(VER_PLATFORM_WIN32_WINDOWS), DWORD(VER_PLATFORM_WIN32s), DWORD(3)}) {
        fake.calls.clear();
        fake.platformId = platform;
        fake.serviceRegistered = true;
        SCOPED_TRACE(platform);
        ExpectState(ProbeInstallState(), false, kTexts.osName9x, kTexts.statusNotNeeded, false,
                    false);
        EXPECT_EQ(fake.calls, Calls{"GetVersionExA"});
    }
}

TEST_F(ProbeInstallStateTest, FailedVersionQueryCountsAsTheOtherFamily)
{
    fake.versionQueryFails = true;
    ExpectState(ProbeInstallState(), false, kTexts.osName9x, kTexts.statusNotNeeded, false, false);
    EXPECT_FALSE(fake.AnyServiceManagerCall());
}

TEST_F(ProbeInstallStateTest, ReleasesServiceThenManagerOnce)
{
    fake.serviceRegistered = true;
    ProbeInstallState();
    EXPECT_EQ(fake.calls, (Calls{"GetVersionExA", "OpenSCManagerA", "OpenServiceA",
                                 "CloseServiceHandle(service)", "CloseServiceHandle(manager)"}));
    EXPECT_EQ(fake.OpenHandles(), 0);
    EXPECT_EQ(fake.DoubleCloses(), 0);
}

TEST_F(ProbeInstallStateTest, NullServiceHandleIsReleasedToo)
{
    ProbeInstallState();
    EXPECT_EQ(fake.calls, (Calls{"GetVersionExA", "OpenSCManagerA", "OpenServiceA",
                                 "CloseServiceHandle(null)", "CloseServiceHandle(manager)"}));
    EXPECT_EQ(fake.OpenHandles(), 0);
}

TEST_F(ProbeInstallStateTest, ManagerWithoutFullAccessReadsAsNotInstalled)
{
    fake.managerAccessDenied = true;
    fake.serviceRegistered = true;
    ExpectState(ProbeInstallState(), true, kTexts.osNameNT, kTexts.statusNotInstalled, true, false);
    EXPECT_EQ(fake.calls, (Calls{"GetVersionExA", "OpenSCManagerA", "OpenServiceA",
                                 "CloseServiceHandle(null)", "CloseServiceHandle(null)"}));
    EXPECT_EQ(fake.OpenHandles(), 0);
}

// The state probe against the fake service manager.
#include "driver_service.h"
#include "fake_scm.h"
#include "probe.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

struct ProbeFixture : ::testing::Test {
    FakeServiceControlApi fake;
    ScopedServiceControlApi scope{&fake};
};

using Calls = std::vector<std::string>;

}  // namespace

using ProbeInstallStateTest = ProbeFixture;

TEST_F(ProbeInstallStateTest, NtWithServiceRegisteredOffersOnlyRemove)
{
    fake.serviceRegistered = true;
    InstallState state = ProbeInstallState();
    EXPECT_TRUE(state.isNT);
    EXPECT_STREQ(state.osText, kTexts.osNameNT);
    EXPECT_STREQ(state.statusText, kTexts.statusInstalled);
    EXPECT_FALSE(state.installEnabled);
    EXPECT_TRUE(state.removeEnabled);
}

TEST_F(ProbeInstallStateTest, RunningOrStoppedMakesNoDifference)
{
    fake.serviceRegistered = true;
    fake.serviceRunning = true;
    InstallState state = ProbeInstallState();
    EXPECT_STREQ(state.statusText, kTexts.statusInstalled);
    EXPECT_TRUE(state.removeEnabled);
}

TEST_F(ProbeInstallStateTest, NtWithoutServiceOffersOnlyInstall)
{
    InstallState state = ProbeInstallState();
    EXPECT_TRUE(state.isNT);
    EXPECT_STREQ(state.osText, kTexts.osNameNT);
    EXPECT_STREQ(state.statusText, kTexts.statusNotInstalled);
    EXPECT_TRUE(state.installEnabled);
    EXPECT_FALSE(state.removeEnabled);
}

TEST_F(ProbeInstallStateTest, OtherPlatformNeedsNothingAndTouchesNoServiceManager)
{
    for (DWORD platform : {DWORD(VER_PLATFORM_WIN32_WINDOWS), DWORD(VER_PLATFORM_WIN32s), DWORD(3)}) {
        fake.calls.clear();
        fake.platformId = platform;
        fake.serviceRegistered = true;
        InstallState state = ProbeInstallState();
        EXPECT_FALSE(state.isNT) << platform;
        EXPECT_STREQ(state.osText, kTexts.osName9x);
        EXPECT_STREQ(state.statusText, kTexts.statusNotNeeded);
        EXPECT_FALSE(state.installEnabled);
        EXPECT_FALSE(state.removeEnabled);
        EXPECT_EQ(fake.calls, Calls{"GetVersionExA"});
    }
}

TEST_F(ProbeInstallStateTest, FailedVersionQueryCountsAsTheOtherFamily)
{
    fake.versionQueryFails = true;
    InstallState state = ProbeInstallState();
    EXPECT_FALSE(state.isNT);
    EXPECT_STREQ(state.statusText, kTexts.statusNotNeeded);
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
    InstallState state = ProbeInstallState();
    EXPECT_TRUE(state.isNT);
    EXPECT_STREQ(state.statusText, kTexts.statusNotInstalled);
    EXPECT_TRUE(state.installEnabled);
    EXPECT_FALSE(state.removeEnabled);
    EXPECT_EQ(fake.calls, (Calls{"GetVersionExA", "OpenSCManagerA", "OpenServiceA",
                                 "CloseServiceHandle(null)", "CloseServiceHandle(null)"}));
    EXPECT_EQ(fake.OpenHandles(), 0);
}

// The state probe against Wine's real service manager.
#include "driver_service.h"
#include "probe.h"
#include "probe_child.h"
#include "scm_test_util.h"

#include <gtest/gtest.h>

namespace {

struct RealProbe : ::testing::Test {
    void SetUp() override { ASSERT_TRUE(RemoveKestramoService()) << "leftover KESTRAMO service"; }
    void TearDown() override { RemoveKestramoService(); }
};

// Runs probe_child.exe, with Wine told to report `version` ("win98", ...)
// to it when given, and returns its exit code.
DWORD RunProbeChild(const char* version)
{
    const char kKey[] = "Software\\Wine\\AppDefaults\\probe_child.exe";
    if (version)
        RegSetKeyValueA(HKEY_CURRENT_USER, kKey, "Version", REG_SZ, version,
                        static_cast<DWORD>(strlen(version) + 1));

    DWORD code = RunProgram("\"" + ProgramFolder() + "probe_child.exe\"");
    if (version)
        RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
    return code;
}

}  // namespace

TEST_F(RealProbe, ServiceRegisteredByAnotherProgramCountsAsInstalled)
{
    ASSERT_TRUE(RegisterKestramoService("C:\\elsewhere\\KESTRAMO.SYS"));
    InstallState state = ProbeInstallState();
    EXPECT_TRUE(state.isNT);
    EXPECT_STREQ(state.osText, kTexts.osNameNT);
    EXPECT_STREQ(state.statusText, kTexts.statusInstalled);
    EXPECT_FALSE(state.installEnabled);
    EXPECT_TRUE(state.removeEnabled);
}

TEST_F(RealProbe, AfterDeletionNotInstalled)
{
    ASSERT_TRUE(RegisterKestramoService("C:\\elsewhere\\KESTRAMO.SYS"));
    ASSERT_TRUE(RemoveKestramoService());
    InstallState state = ProbeInstallState();
    EXPECT_TRUE(state.isNT);
    EXPECT_STREQ(state.statusText, kTexts.statusNotInstalled);
    EXPECT_TRUE(state.installEnabled);
    EXPECT_FALSE(state.removeEnabled);
}

TEST_F(RealProbe, ReportedAsNtInItsOwnProcess)
{
    DWORD code = RunProbeChild(nullptr);
    EXPECT_EQ(code, DWORD(kProbeIsNT | kProbeInstallEnabled | kProbeStatusNotInstalled))
        << "exit code " << code;
}

TEST_F(RealProbe, Windows98NeedsNoDriverEvenWithTheServiceRegistered)
{
    ASSERT_TRUE(RegisterKestramoService("C:\\elsewhere\\KESTRAMO.SYS"));
    DWORD code = RunProbeChild("win98");
    EXPECT_EQ(code, DWORD(kProbeOs9x | kProbeStatusNotNeeded)) << "exit code " << code;
}

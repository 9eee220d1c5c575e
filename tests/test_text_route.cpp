// Which interfaces the texts take, and Install's registration on each route.
#include "actions.h"
#include "driver_service.h"
#include "fake_scm.h"
#include "text_route.h"

#include <gtest/gtest.h>

#include <algorithm>

TEST(ChooseTextRoute, WideOnlyWhereNtWouldMisreadGbkAndCanConvertIt)
{
    const struct {
        DWORD platform;
        UINT ansiCodePage;
        bool gbkInstalled;
        TextRoute route;
    } cases[] = {
        {VER_PLATFORM_WIN32_NT, 936, true, TextRoute::Ansi},
        {VER_PLATFORM_WIN32_NT, 1252, true, TextRoute::Wide},
        {VER_PLATFORM_WIN32_NT, 932, true, TextRoute::Wide},
        {VER_PLATFORM_WIN32_NT, 65001, true, TextRoute::Wide},
        {VER_PLATFORM_WIN32_WINDOWS, 1252, true, TextRoute::Ansi},
        {VER_PLATFORM_WIN32_WINDOWS, 936, true, TextRoute::Ansi},
        {VER_PLATFORM_WIN32_NT, 1252, false, TextRoute::Ansi},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChooseTextRoute(c.platform, c.ansiCodePage, c.gbkInstalled), c.route)
            << "platform " << c.platform << ", code page " << c.ansiCodePage
            << (c.gbkInstalled ? "" : ", 936 not installed");
}

struct InstallOnTextRoute : ::testing::Test {
    FakePlatformApi fake;
    ScopedPlatformApi scope{&fake};
    RecordingNoticeSink sink{&fake};

    bool Called(const char* operation) const
    {
        return std::find(fake.calls.begin(), fake.calls.end(), operation) != fake.calls.end();
    }
};

TEST_F(InstallOnTextRoute, WideRouteRegistersTheDisplayNameAsWritten)
{
    fake.ansiCodePage = 1252;
    fake.currentDirectory = "C:\\Caf\xE9";  // "Café" in code page 1252
    fake.wideDirectory = L"C:\\Caf\u00E9";
    EXPECT_EQ(InstallDriverService(true, sink), 0u);

    ASSERT_EQ(fake.creations.size(), 1u);
    const auto& created = fake.creations[0];
    EXPECT_EQ(created.wideName, L"KESTRAMO");
    EXPECT_EQ(created.wideDisplayName, L"KESTRAMO \u6838\u5FC3\u9A71\u52A8\u7A0B\u5E8F");
    EXPECT_EQ(created.wideImagePath, L"C:\\Caf\u00E9\\KESTRAMO.SYS");
    EXPECT_EQ(created.access, DWORD(SERVICE_ALL_ACCESS));
    EXPECT_EQ(created.serviceType, DWORD(SERVICE_KERNEL_DRIVER));
    EXPECT_EQ(created.startType, DWORD(SERVICE_AUTO_START));
    EXPECT_EQ(created.errorControl, DWORD(SERVICE_ERROR_NORMAL));
    EXPECT_TRUE(created.nullOptionals);
    EXPECT_TRUE(Called("CreateServiceW"));
    EXPECT_FALSE(Called("CreateServiceA"));
    EXPECT_TRUE(fake.serviceRunning);
}

TEST(InstallOnTextRouteAnsi, TodaysCallsWhereTheWideRouteCannotBeTaken)
{
    const struct {
        const char* why;
        UINT ansiCodePage;
        bool gbkInstalled;
        UINT failingCodePage;
    } cases[] = {
        {"code page 936", 936, true, 0},
        {"936 not installed", 1252, false, 0},
        {"the display name cannot be converted", 1252, true, 936},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        FakePlatformApi fake;
        ScopedPlatformApi scope{&fake};
        RecordingNoticeSink sink{&fake};
        fake.ansiCodePage = c.ansiCodePage;
        fake.gbkInstalled = c.gbkInstalled;
        fake.failingCodePage = c.failingCodePage;
        EXPECT_EQ(InstallDriverService(true, sink), 0u);
        ASSERT_EQ(fake.creations.size(), 1u);
        EXPECT_EQ(fake.creations[0].displayName, kDriverService.displayName);
        EXPECT_EQ(fake.creations[0].imagePath, "C:\\Setup\\KESTRAMO.SYS");
        auto end = std::remove(fake.calls.begin(), fake.calls.end(), "MultiByteToWideChar");
        fake.calls.erase(end, fake.calls.end());
        EXPECT_EQ(fake.calls, (std::vector<std::string>{
                                  "GetCurrentDirectoryA", "GetCurrentDirectoryW", "OpenSCManagerA",
                                  "CreateServiceA", "StartServiceA",
                                  "Notice:" + std::string(kTexts.captionSuccess),
                                  "CloseServiceHandle(service)", "CloseServiceHandle(manager)"}));
    }
}

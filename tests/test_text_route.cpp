// Which interfaces the texts take, and Install's registration on each route.
#include "actions.h"
#include "driver_service.h"
#include "fake_scm.h"
#include "text_route.h"

#include <gtest/gtest.h>


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

// The service is registered through the wide interface on every route, the
// path exactly as the folder is named; its display name as the system shows
// our texts: as written where 936 serves, else its GBK bytes read in the
// ANSI code page, as the ANSI interfaces would.
TEST(InstallOnTextRoute, DisplayNameAsTheSystemShowsOurTexts)
{
    const std::string written = u8"KESTRAMO 核心驱动程序";
    auto readIn = [](UINT codePage) {
        wchar_t wide[64] = {};
        MultiByteToWideChar(codePage, 0, kDriverService.displayName, -1, wide, 64);
        return Utf8(wide);
    };
    const struct {
        const char* why;
        UINT ansiCodePage;
        bool gbkInstalled;
        UINT failingCodePage;
        std::string displayName;
    } cases[] = {
        {"code page 936", 936, true, 0, written},
        {"code page 1252, 936 installed", 1252, true, 0, written},
        {"code page 932, 936 installed", 932, true, 0, written},
        {"936 not installed", 1252, false, 0, readIn(1252)},
        {"the conversion from 936 fails", 1252, true, 936, readIn(1252)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        FakePlatformApi fake;
        ScopedPlatformApi scope{&fake};
        RecordingNoticeSink sink{&fake};
        fake.ansiCodePage = c.ansiCodePage;
        fake.gbkInstalled = c.gbkInstalled;
        fake.failingCodePage = c.failingCodePage;
        fake.currentDirectory = u8"C:\\Café \U0001F600";
        EXPECT_EQ(InstallDriverService(true, sink), 0u);

        ASSERT_EQ(fake.creations.size(), 1u);
        const auto& created = fake.creations[0];
        EXPECT_EQ(created.name, "KESTRAMO");
        EXPECT_EQ(created.displayName, c.displayName);
        EXPECT_EQ(created.imagePath, fake.currentDirectory + "\\KESTRAMO.SYS");
        EXPECT_EQ(created.access, DWORD(SERVICE_ALL_ACCESS));
        EXPECT_TRUE(created.nullOptionals);
        EXPECT_EQ(fake.calls, (std::vector<std::string>{
                                  "GetCurrentDirectoryW", "OpenSCManagerA", "CreateServiceW",
                                  "StartServiceA", "Notice:" + std::string(kTexts.captionSuccess),
                                  "CloseServiceHandle(service)", "CloseServiceHandle(manager)"}));
    }
}

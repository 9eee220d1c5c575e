// What the entry point hands to AfxWinMain.
#include "startup.h"

#include <gtest/gtest.h>

#include <string>

TEST(SkipProgramName, LeavesTheArgumentsAfterTheNameAndItsBlanks)
{
    const struct {
        const char* commandLine;
        const char* rest;
    } cases[] = {
        {"INSTALL.EXE", ""},
        {"INSTALL.EXE /remove x", "/remove x"},
        {"INSTALL.EXE \t  \t/x", "/x"},
        {"INSTALL.EXE   ", ""},
        {"\"C:\\Program Files\\K\\INSTALL.EXE\" /x \"a b\"", "/x \"a b\""},
        {"\"C:\\Program Files\\K\\INSTALL.EXE\"", ""},
        {"\"C:\\a b\\INSTALL.EXE\"\t \t", ""},
        {"\"C:\\a\"b /x", "b /x"},         // the quote ends the name, not a blank
        {"\"C:\\never closed /x", ""},     // an unclosed quote takes the whole line
        {"C:\\\xC7\xFD\xB6\xAF\\INSTALL.EXE /x", "/x"},  // GBK bytes are no blanks
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(std::string(SkipProgramName(c.commandLine)), c.rest) << c.commandLine;
}

TEST(StartupShowState, TakenFromTheStartupInformationOnlyWhenItCarriesOne)
{
    STARTUPINFOA startup = {};
    startup.wShowWindow = SW_SHOWMINNOACTIVE;
    EXPECT_EQ(StartupShowState(startup), SW_SHOWDEFAULT);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    EXPECT_EQ(StartupShowState(startup), SW_SHOWMINNOACTIVE);
}

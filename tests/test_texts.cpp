// The fixed texts: their GBK bytes, and how error notices are formatted.
#include "driver_service.h"
#include "expected_texts_gbk.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <string.h>

namespace {

// Texts by key, as iconv converted them from the UTF-8 copy in tests/data.
std::map<std::string, std::string> ExpectedTexts()
{
    std::map<std::string, std::string> texts;
    std::string all(reinterpret_cast<const char*>(kExpectedTextsGbk), kExpectedTextsGbkSize);
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find('\n', start);
        std::string line = all.substr(start, end - start);
        size_t tab = line.find('\t');
        if (tab != std::string::npos)
            texts[line.substr(0, tab)] = line.substr(tab + 1);
        start = end == std::string::npos ? all.size() : end + 1;
    }
    return texts;
}

const std::map<std::string, const char*>& ProgramTexts()
{
    static const std::map<std::string, const char*> texts = {
        {"osNameNT", kTexts.osNameNT},
        {"osName9x", kTexts.osName9x},
        {"statusNotNeeded", kTexts.statusNotNeeded},
        {"statusInstalled", kTexts.statusInstalled},
        {"statusNotInstalled", kTexts.statusNotInstalled},
        {"noticeInstalled", kTexts.noticeInstalled},
        {"noticeRemoved", kTexts.noticeRemoved},
        {"formatCreateFailed", kTexts.formatCreateFailed},
        {"formatStartFailed", kTexts.formatStartFailed},
        {"formatStopFailed", kTexts.formatStopFailed},
        {"formatDeleteFailed", kTexts.formatDeleteFailed},
        {"captionSuccess", kTexts.captionSuccess},
        {"captionInstallFailure", kTexts.captionInstallFailure},
        {"captionRemoveFailure", kTexts.captionRemoveFailure},
        {"displayName", kDriverService.displayName},
    };
    return texts;
}

std::string Hex(const std::string& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
        out += ' ';
    }
    return out;
}

std::string Format(const char* format, DWORD code)
{
    char buffer[kNoticeBufferSize];
    memset(buffer, 'X', sizeof buffer);
    FormatErrorNotice(buffer, format, code);
    EXPECT_NE(memchr(buffer, '\0', sizeof buffer), nullptr) << "not terminated";
    return buffer;
}

}  // namespace

TEST(InstallTexts, EveryTextIsItsGbkEncoding)
{
    const auto expected = ExpectedTexts();
    ASSERT_EQ(expected.size(), ProgramTexts().size()) << "tests/data lists other texts";
    for (const auto& [key, text] : ProgramTexts()) {
        auto it = expected.find(key);
        ASSERT_NE(it, expected.end()) << key;
        EXPECT_EQ(Hex(text), Hex(it->second)) << key;
    }
}

TEST(InstallTexts, OnlyTheFourFormatsHoldAPlaceholder)
{
    const std::string formats[] = {kTexts.formatCreateFailed, kTexts.formatStartFailed,
                                   kTexts.formatStopFailed, kTexts.formatDeleteFailed};
    for (const auto& [key, text] : ProgramTexts()) {
        std::string s = text;
        bool isFormat = false;
        for (const std::string& f : formats)
            isFormat = isFormat || f == s;
        if (isFormat) {
            EXPECT_EQ(s.find('%'), s.find("%02x")) << key;
            EXPECT_EQ(s.find('%', s.find('%') + 1), std::string::npos) << key;
        } else {
            EXPECT_EQ(s.find('%'), std::string::npos) << key;
        }
    }
}

TEST(DriverServiceDefinition, ParametersOfAnAutoStartKernelDriver)
{
    EXPECT_STREQ(kDriverService.serviceName, "KESTRAMO");
    EXPECT_STREQ(kDriverService.driverFileSuffix, L"\\KESTRAMO.SYS");
    EXPECT_EQ(kDriverService.serviceType, 1u);
    EXPECT_EQ(kDriverService.startType, 2u);
    EXPECT_EQ(kDriverService.errorControl, 1u);
    EXPECT_EQ(kDriverService.managerAccess, 0xF003Fu);
    EXPECT_EQ(kDriverService.serviceAccess, 0xF01FFu);
}

TEST(FormatErrorNotice, CodeIsLowerCaseHexWithAtLeastTwoDigits)
{
    const std::string prefix = ExpectedTexts()["formatCreateFailed"].substr(
        0, std::string(kTexts.formatCreateFailed).find("(0x"));
    EXPECT_EQ(Format(kTexts.formatCreateFailed, 0), prefix + "(0x00)]");
    EXPECT_EQ(Format(kTexts.formatCreateFailed, 5), prefix + "(0x05)]");
    EXPECT_EQ(Format(kTexts.formatCreateFailed, 1062), prefix + "(0x426)]");
    EXPECT_EQ(Format(kTexts.formatCreateFailed, 0xABCDEF), prefix + "(0xabcdef)]");
    EXPECT_EQ(Format(kTexts.formatCreateFailed, 0xFFFFFFFF), prefix + "(0xffffffff)]");
}

TEST(FormatErrorNotice, LongestCodeFitsInEveryFormat)
{
    const char* formats[] = {kTexts.formatCreateFailed, kTexts.formatStartFailed,
                             kTexts.formatStopFailed, kTexts.formatDeleteFailed};
    for (const char* format : formats) {
        std::string text = Format(format, 0xFFFFFFFF);
        EXPECT_LT(text.size() + 1, static_cast<size_t>(kNoticeBufferSize)) << format;
        EXPECT_NE(text.find("(0xffffffff)]"), std::string::npos) << text;
    }
}

TEST(FormatErrorNotice, TooLongAResultIsCutAndTerminated)
{
    std::string longFormat(200, 'a');
    longFormat += "%02x";
    std::string text = Format(longFormat.c_str(), 7);
    EXPECT_EQ(text, std::string(kNoticeBufferSize - 1, 'a'));
}

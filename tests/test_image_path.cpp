// The image path: current directory followed by "\KESTRAMO.SYS".
#include "fake_scm.h"
#include "image_path.h"

#include <gtest/gtest.h>

namespace {

std::string FormPath(FakePlatformApi& fake, DWORD expectedResult = ERROR_SUCCESS)
{
    ImagePath path;
    DWORD result = path.Form(fake);
    EXPECT_EQ(result, expectedResult);
    std::string formed = Utf8(path.c_str());
    if (result == ERROR_SUCCESS) {
        EXPECT_EQ(path.FolderLength(), Utf16(fake.currentDirectory).size());
    }
    return formed;
}

}  // namespace

TEST(ImagePath, AppendsTheDriverFileToTheCurrentDirectory)
{
    FakePlatformApi fake;
    fake.currentDirectory = "C:\\Drivers\\Kestramo";
    EXPECT_EQ(FormPath(fake), "C:\\Drivers\\Kestramo\\KESTRAMO.SYS");
    ASSERT_EQ(fake.directoryCapacities.size(), 1u);
    EXPECT_EQ(fake.directoryCapacities[0], 128u);
}

TEST(ImagePath, DriveRootGivesADoubledSeparator)
{
    FakePlatformApi fake;
    fake.currentDirectory = "D:\\";
    EXPECT_EQ(FormPath(fake), "D:\\\\KESTRAMO.SYS");
}

TEST(ImagePath, FolderOfAnyNameIsKeptExactly)
{
    FakePlatformApi fake;
    // Hangul, Cyrillic, Greek and an emoji (a surrogate pair): no ANSI code
    // page holds them all.
    fake.currentDirectory = u8"C:\\한국어\\Привет Γειά \U0001F600";
    EXPECT_EQ(FormPath(fake), fake.currentDirectory + "\\KESTRAMO.SYS");
}

TEST(ImagePath, DirectoryOf127BytesFitsTheFixedBuffer)
{
    FakePlatformApi fake;
    fake.currentDirectory = "C:\\" + std::string(124, 'd');
    ASSERT_EQ(fake.currentDirectory.size(), 127u);
    std::string path = FormPath(fake);
    EXPECT_EQ(path.size(), 140u);
    EXPECT_EQ(path, fake.currentDirectory + "\\KESTRAMO.SYS");
    EXPECT_EQ(fake.directoryCapacities.size(), 1u);
    EXPECT_LE(path.size() + 1, static_cast<size_t>(ImagePath::kBufferSize));
}

TEST(ImagePath, LongerDirectoryIsReadAgainInFull)
{
    for (size_t length : {128u, 129u, 300u, 2000u}) {
        FakePlatformApi fake;
        fake.currentDirectory = "C:\\" + std::string(length - 3, 'L');
        EXPECT_EQ(FormPath(fake), fake.currentDirectory + "\\KESTRAMO.SYS") << length;
        ASSERT_EQ(fake.directoryCapacities.size(), 2u) << length;
        EXPECT_EQ(fake.directoryCapacities[1], length + 1) << length;
    }
}

TEST(ImagePath, UnreadableDirectoryGivesTheErrorAndNoPath)
{
    FakePlatformApi fake;
    fake.FailNext("GetCurrentDirectoryW", ERROR_ACCESS_DENIED);
    EXPECT_EQ(FormPath(fake, ERROR_ACCESS_DENIED), "");
}

// A directory that keeps growing between reads is given up on, never
// formed from a partial read.
TEST(ImagePath, DirectoryThatNeverFitsIsGivenUp)
{
    struct Growing : FakePlatformApi {
        DWORD GetCurrentDirectoryW(DWORD capacity, wchar_t* buffer) override
        {
            currentDirectory += std::string(50, 'g');
            return FakePlatformApi::GetCurrentDirectoryW(capacity, buffer);
        }
    } fake;
    fake.currentDirectory = "C:\\" + std::string(200, 'g');
    EXPECT_EQ(FormPath(fake, ERROR_FILENAME_EXCED_RANGE), "");
}

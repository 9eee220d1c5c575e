// The resources as stored in the program: dialog templates byte for byte,
// the icon group.
#include "dialog_template.h"
#include "installer_module.h"
#include "resource.h"

#include <gtest/gtest.h>

namespace {

const WORD kChinesePrc = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);
const WORD kEnglishUs = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
const LPCWSTR kDialogType = MAKEINTRESOURCEW(5);
const LPCWSTR kIconType = MAKEINTRESOURCEW(3);
const LPCWSTR kGroupIconType = MAKEINTRESOURCEW(14);

struct ExpectedItem {
    DWORD id;
    WORD classOrdinal;  // 0x80 button, 0x81 edit, 0x82 static
    const wchar_t* text;  // null: any text but none
    short x, y, cx, cy;
    DWORD style;
};

void ExpectItems(const DialogTemplate& dialog, const std::vector<ExpectedItem>& expected)
{
    ASSERT_EQ(dialog.items.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("item " + std::to_string(i));
        const DialogItem& item = dialog.items[i];
        const ExpectedItem& want = expected[i];
        EXPECT_EQ(item.id, want.id);
        EXPECT_TRUE(item.windowClass.isOrdinal);
        EXPECT_EQ(item.windowClass.ordinal, want.classOrdinal);
        EXPECT_FALSE(item.title.isOrdinal);
        if (want.text)
            EXPECT_EQ(item.title.text, want.text);
        else
            EXPECT_FALSE(item.title.text.empty());
        EXPECT_EQ(item.x, want.x);
        EXPECT_EQ(item.y, want.y);
        EXPECT_EQ(item.cx, want.cx);
        EXPECT_EQ(item.cy, want.cy);
        EXPECT_EQ(item.style, want.style) << std::hex << item.style;
        EXPECT_EQ(item.exStyle, 0u);
        EXPECT_EQ(item.helpId, 0u);
        EXPECT_EQ(item.extraBytes, 0);
    }
}

}  // namespace

TEST(Resources, MainDialogTemplate)
{
    HMODULE module = InstallerModule();
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(ResourceLanguages(module, kDialogType,
                                MAKEINTRESOURCEW(IDD_INSTALL_DIALOG)),
              std::vector<WORD>{kChinesePrc});

    const void* data;
    DWORD size;
    ASSERT_TRUE(ResourceBytes(module, kDialogType,
                              MAKEINTRESOURCEW(IDD_INSTALL_DIALOG), kChinesePrc, &data, &size));
    DialogTemplate dialog;
    ASSERT_TRUE(ParseDialogTemplate(data, size, dialog));

    EXPECT_TRUE(dialog.extended);
    EXPECT_EQ(dialog.version, 1);
    EXPECT_EQ(dialog.signature, 0xFFFF);
    EXPECT_EQ(dialog.helpId, 0u);
    EXPECT_EQ(dialog.style, 0x90C800C0u) << std::hex << dialog.style;
    EXPECT_EQ(dialog.exStyle, 0u);
    EXPECT_EQ(dialog.x, 0);
    EXPECT_EQ(dialog.y, 0);
    EXPECT_EQ(dialog.cx, 222);
    EXPECT_EQ(dialog.cy, 125);
    EXPECT_FALSE(dialog.menu.isOrdinal);
    EXPECT_TRUE(dialog.menu.text.empty());
    EXPECT_FALSE(dialog.windowClass.isOrdinal);
    EXPECT_TRUE(dialog.windowClass.text.empty());
    EXPECT_EQ(dialog.caption, L"KESTRAMO 核心驱动程序安装");
    EXPECT_EQ(dialog.pointSize, 9);
    EXPECT_EQ(dialog.weight, 0);
    EXPECT_EQ(dialog.italic, 0);
    EXPECT_EQ(dialog.charset, 0);
    EXPECT_EQ(dialog.typeface, L"宋体");

    ExpectItems(dialog, {
        {1, 0x80, L"立即安装(&I)", 20, 105, 60, 14, 0x50010001},
        {2, 0x80, L"退出(&E)", 150, 105, 50, 14, 0x50010000},
        {0xFFFF, 0x82, L"这个应用程序安装 KESTRAMO 的核心模式驱动程序.", 5, 10, 210, 10, 0x50020000},
        {0xFFFF, 0x82, L"注意: 如果运行在 NT 下, 您需要有管理员的权限才能安装.", 5, 25, 215, 10, 0x50020000},
        {3, 0x80, L"删除(&R)", 90, 105, 50, 14, 0x50010000},
        {0xFFFF, 0x82, L"当前状态:", 5, 67, 60, 10, 0x50020000},
        {1000, 0x81, L"", 70, 65, 130, 12, 0x50810880},
        {1001, 0x81, L"", 70, 50, 130, 12, 0x50810880},
        {0xFFFF, 0x82, L"操作系统:", 5, 52, 60, 10, 0x50020000},
    });
}

TEST(Resources, IconGroupHoldsTwoSixteenColourImages)
{
    HMODULE module = InstallerModule();
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(ResourceLanguages(module, kGroupIconType,
                                MAKEINTRESOURCEW(IDR_MAINFRAME)),
              std::vector<WORD>{kEnglishUs});

    const void* data;
    DWORD size;
    ASSERT_TRUE(ResourceBytes(module, kGroupIconType,
                              MAKEINTRESOURCEW(IDR_MAINFRAME), kEnglishUs, &data, &size));
#pragma pack(push, 2)
    struct Entry {
        BYTE width, height, colors, reserved;
        WORD planes, bitCount;
        DWORD bytes;
        WORD id;
    };
    struct Group {
        WORD reserved, type, count;
        Entry entries[2];
    };
#pragma pack(pop)
    ASSERT_GE(size, sizeof(Group));
    const Group* group = static_cast<const Group*>(data);
    EXPECT_EQ(group->type, 1);
    ASSERT_EQ(group->count, 2);
    const BYTE sizes[] = {32, 16};
    for (int i = 0; i < 2; ++i) {
        const Entry& e = group->entries[i];
        EXPECT_EQ(e.width, sizes[i]);
        EXPECT_EQ(e.height, sizes[i]);
        EXPECT_EQ(e.colors, 16);
        EXPECT_EQ(e.planes, 1);
        EXPECT_EQ(e.bitCount, 4);

        // The image itself: a 4-bit, one-plane bitmap of that size.
        HRSRC image = FindResourceW(module, MAKEINTRESOURCEW(e.id), kIconType);
        ASSERT_NE(image, nullptr);
        const auto* header = static_cast<const BITMAPINFOHEADER*>(
            LockResource(LoadResource(module, image)));
        EXPECT_EQ(header->biWidth, sizes[i]);
        EXPECT_EQ(header->biHeight, sizes[i] * 2);
        EXPECT_EQ(header->biPlanes, 1);
        EXPECT_EQ(header->biBitCount, 4);
    }
}

TEST(Resources, AboutBoxTemplate)
{
    HMODULE module = InstallerModule();
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(ResourceLanguages(module, kDialogType, MAKEINTRESOURCEW(IDD_ABOUTBOX)),
              std::vector<WORD>{kChinesePrc});

    const void* data;
    DWORD size;
    ASSERT_TRUE(ResourceBytes(module, kDialogType, MAKEINTRESOURCEW(IDD_ABOUTBOX), kChinesePrc,
                              &data, &size));
    DialogTemplate dialog;
    ASSERT_TRUE(ParseDialogTemplate(data, size, dialog));

    EXPECT_FALSE(dialog.extended);
    EXPECT_EQ(dialog.style, 0x80C800C0u) << std::hex << dialog.style;
    EXPECT_EQ(dialog.exStyle, 0u);
    EXPECT_EQ(dialog.x, 0);
    EXPECT_EQ(dialog.y, 0);
    EXPECT_EQ(dialog.cx, 217);
    EXPECT_EQ(dialog.cy, 55);
    EXPECT_TRUE(dialog.menu.text.empty() && !dialog.menu.isOrdinal);
    EXPECT_TRUE(dialog.windowClass.text.empty() && !dialog.windowClass.isOrdinal);
    EXPECT_EQ(dialog.caption, L"关于 INSTALL");
    EXPECT_EQ(dialog.pointSize, 9);
    EXPECT_EQ(dialog.typeface, L"宋体");

    // The copyright line is ours to word; everything else is fixed.
    ExpectItems(dialog, {
        {0xFFFF, 0x82, L"KESTRAMO 驱动程序 INSTALL 版本 2.0", 10, 10, 130, 8, 0x50020080},
        {0xFFFF, 0x82, nullptr, 10, 25, 165, 8, 0x50020000},
        {1, 0x80, L"确定", 178, 7, 32, 14, 0x50030001},
    });
}

TEST(Resources, TheOnlyStringIsTheAboutEntry)
{
    HMODULE module = InstallerModule();
    ASSERT_NE(module, nullptr);
    const LPCWSTR kStringType = MAKEINTRESOURCEW(6);

    // Strings 96 to 111 make block 7.
    ASSERT_EQ(ResourceIds(module, kStringType), std::vector<ULONG_PTR>{IDS_ABOUTBOX / 16 + 1});
    EXPECT_EQ(ResourceLanguages(module, kStringType, MAKEINTRESOURCEW(7)),
              std::vector<WORD>{kChinesePrc});

    const void* data;
    DWORD size;
    ASSERT_TRUE(ResourceBytes(module, kStringType, MAKEINTRESOURCEW(7), kChinesePrc, &data, &size));
    const WORD* p = static_cast<const WORD*>(data);
    for (int i = 0; i < 16; ++i) {
        WORD length = *p++;
        std::wstring text(reinterpret_cast<const wchar_t*>(p), length);
        p += length;
        if (96 + i == IDS_ABOUTBOX)
            EXPECT_EQ(text, L"关于  INSTALL (&A)...");
        else
            EXPECT_TRUE(text.empty()) << "string " << 96 + i;
    }
}

// INSTALL.EXE's application manifest, as the platform's own activation-context
// parser reads it from resource 1.
#include "scm_test_util.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <string>
#include <vector>

namespace {

// The systems the manifest says the program was made for: Vista, 7, 8, 8.1, 10/11.
const std::set<std::string> kSupportedOs = {
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"};

std::string GuidText(const GUID& g)
{
    char text[40];
    snprintf(text, sizeof text, "{%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}",
             static_cast<unsigned long>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
             g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

struct InstallerManifest : ::testing::Test {
    HANDLE context = INVALID_HANDLE_VALUE;

    void SetUp() override
    {
        std::string exe = ProgramFolder() + "INSTALL.EXE";
        std::wstring source(exe.begin(), exe.end());  // the build folder is ASCII
        ACTCTXW actctx = {};
        actctx.cbSize = sizeof actctx;
        actctx.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
        actctx.lpSource = source.c_str();
        actctx.lpResourceName = MAKEINTRESOURCEW(1);
        SetLastError(0xdeadbeef);
        context = CreateActCtxW(&actctx);
        ASSERT_NE(context, INVALID_HANDLE_VALUE) << "no manifest read, error " << GetLastError();
    }

    void TearDown() override
    {
        if (context != INVALID_HANDLE_VALUE)
            ReleaseActCtx(context);
    }

    std::vector<BYTE> Query(ULONG infoClass, const void* subInstance = nullptr)
    {
        std::vector<BYTE> buffer(4096);
        SIZE_T written = 0;
        SetLastError(0xdeadbeef);
        BOOL ok = QueryActCtxW(0, context, const_cast<void*>(subInstance), infoClass,
                               buffer.data(), buffer.size(), &written);
        EXPECT_TRUE(ok) << "class " << infoClass << ", error " << GetLastError();
        buffer.resize(ok ? written : 0);
        return buffer;
    }

    // A windowsSettings value; empty when the manifest has none.
    std::wstring Setting(const wchar_t* ns, const wchar_t* name)
    {
        typedef BOOL(WINAPI * QueryFn)(DWORD, HANDLE, const wchar_t*, const wchar_t*, wchar_t*,
                                       SIZE_T, SIZE_T*);
        auto query = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("kernel32.dll"), "QueryActCtxSettingsW")));
        if (!query) {
            ADD_FAILURE() << "no QueryActCtxSettingsW";
            return L"";
        }
        wchar_t value[64] = {};
        SIZE_T written = 0;
        if (!query(0, context, ns, name, value, 64, &written))
            return L"";
        return value;
    }
};

}  // namespace

TEST_F(InstallerManifest, NamesTheProgramWithTheVersionBlocksVersion)
{
    // The manifest is the only assembly: no Common Controls 6 dependency.
    std::vector<BYTE> context = Query(ActivationContextDetailedInformation);
    ASSERT_GE(context.size(), sizeof(ACTIVATION_CONTEXT_DETAILED_INFORMATION));
    auto* detail = reinterpret_cast<ACTIVATION_CONTEXT_DETAILED_INFORMATION*>(context.data());
    EXPECT_EQ(detail->ulAssemblyCount, 1u) << "the manifest depends on other assemblies";

    DWORD index = 1;
    std::vector<BYTE> assembly = Query(AssemblyDetailedInformationInActivationContext, &index);
    ASSERT_FALSE(assembly.empty());
    auto* info = reinterpret_cast<ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION*>(assembly.data());
    ASSERT_NE(info->lpAssemblyEncodedAssemblyIdentity, nullptr);
    std::wstring identity = info->lpAssemblyEncodedAssemblyIdentity;
    EXPECT_EQ(identity.rfind(L"INSTALL,", 0), 0u) << identity.c_str();

    std::string exe = ProgramFolder() + "INSTALL.EXE";
    DWORD handle = 0;
    std::vector<char> block(GetFileVersionInfoSizeA(exe.c_str(), &handle));
    ASSERT_FALSE(block.empty());
    ASSERT_TRUE(GetFileVersionInfoA(exe.c_str(), 0, block.size(), block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    std::wstring version = std::to_wstring(HIWORD(fixed->dwFileVersionMS)) + L"." +
                           std::to_wstring(LOWORD(fixed->dwFileVersionMS)) + L"." +
                           std::to_wstring(HIWORD(fixed->dwFileVersionLS)) + L"." +
                           std::to_wstring(LOWORD(fixed->dwFileVersionLS));
    EXPECT_NE(identity.find(L"version=\"" + version + L"\""), std::wstring::npos)
        << identity.c_str();
}

TEST_F(InstallerManifest, RequiresAdministratorWithoutUiAccess)
{
    std::vector<BYTE> buffer = Query(RunlevelInformationInActivationContext);
    ASSERT_GE(buffer.size(), sizeof(ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION));
    auto* runLevel = reinterpret_cast<ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION*>(buffer.data());
    EXPECT_EQ(runLevel->RunLevel, ACTCTX_RUN_LEVEL_REQUIRE_ADMIN) << runLevel->RunLevel;
    EXPECT_EQ(runLevel->UiAccess, 0u);
}

TEST_F(InstallerManifest, SupportsVistaTo11)
{
    std::vector<BYTE> buffer = Query(CompatibilityInformationInActivationContext);
    ASSERT_GE(buffer.size(), sizeof(DWORD));
    DWORD count = *reinterpret_cast<const DWORD*>(buffer.data());
    // Elements are a GUID and a type, followed since Windows 10 by a 64-bit
    // MaxVersionTested (and then aligned to 8): tell the layout by the size.
    size_t offset, stride;
    if (buffer.size() == 4 + 20 * count) {
        offset = 4, stride = 20;
    } else if (buffer.size() == 8 + 32 * count) {
        offset = 8, stride = 32;
    } else {
        FAIL() << "unexpected layout: " << count << " elements in " << buffer.size() << " bytes";
    }
    std::set<std::string> os;
    for (DWORD i = 0; i < count; ++i) {
        const BYTE* element = buffer.data() + offset + i * stride;
        DWORD type = *reinterpret_cast<const DWORD*>(element + sizeof(GUID));
        EXPECT_EQ(type, 1u) << "element " << i << " is not a supportedOS";  // ..._TYPE_OS
        os.insert(GuidText(*reinterpret_cast<const GUID*>(element)));
    }
    EXPECT_EQ(os, kSupportedOs);
}

TEST_F(InstallerManifest, IsSystemDpiAwareAndKeepsTheAnsiCodePage)
{
    EXPECT_EQ(Setting(nullptr, L"dpiAware"), L"true");
    EXPECT_EQ(Setting(L"http://schemas.microsoft.com/SMI/2019/WindowsSettings", L"activeCodePage"),
              L"");
}

// The built INSTALL.EXE as a Windows engineer would inspect it: imports, PE
// flags, size; and the DLL search restriction its start-up applies.
#include "dll_search.h"
#include "scm_test_util.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

struct PeImage {
    std::vector<unsigned char> bytes;
    const IMAGE_FILE_HEADER* file = nullptr;
    WORD magic = 0;
    WORD dllCharacteristics = 0;
    WORD subsystem = 0;
    const IMAGE_DATA_DIRECTORY* directories = nullptr;
    DWORD directoryCount = 0;
    const IMAGE_SECTION_HEADER* sections = nullptr;

    bool Load(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (bytes.size() < sizeof(IMAGE_DOS_HEADER))
            return false;
        auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes.data());
        if (dos->e_magic != IMAGE_DOS_SIGNATURE)
            return false;
        const unsigned char* nt = bytes.data() + dos->e_lfanew;
        if (*reinterpret_cast<const DWORD*>(nt) != IMAGE_NT_SIGNATURE)
            return false;
        file = reinterpret_cast<const IMAGE_FILE_HEADER*>(nt + 4);
        const unsigned char* optional = nt + 4 + sizeof(IMAGE_FILE_HEADER);
        magic = *reinterpret_cast<const WORD*>(optional);
        if (magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
            auto* h = reinterpret_cast<const IMAGE_OPTIONAL_HEADER64*>(optional);
            dllCharacteristics = h->DllCharacteristics;
            subsystem = h->Subsystem;
            directories = h->DataDirectory;
            directoryCount = h->NumberOfRvaAndSizes;
        } else {
            auto* h = reinterpret_cast<const IMAGE_OPTIONAL_HEADER32*>(optional);
            dllCharacteristics = h->DllCharacteristics;
            subsystem = h->Subsystem;
            directories = h->DataDirectory;
            directoryCount = h->NumberOfRvaAndSizes;
        }
        sections = reinterpret_cast<const IMAGE_SECTION_HEADER*>(optional +
                                                                 file->SizeOfOptionalHeader);
        return true;
    }

    const unsigned char* AtRva(DWORD rva) const
    {
        for (WORD i = 0; i < file->NumberOfSections; ++i) {
            const IMAGE_SECTION_HEADER& s = sections[i];
            DWORD size = std::max(s.Misc.VirtualSize, s.SizeOfRawData);
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + size)
                return bytes.data() + s.PointerToRawData + (rva - s.VirtualAddress);
        }
        return nullptr;
    }

    std::set<std::string> ImportedDlls() const
    {
        std::set<std::string> names;
        const IMAGE_DATA_DIRECTORY& dir = directories[IMAGE_DIRECTORY_ENTRY_IMPORT];
        auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(AtRva(dir.VirtualAddress));
        for (; d && d->Name; ++d) {
            std::string name = reinterpret_cast<const char*>(AtRva(d->Name));
            std::transform(name.begin(), name.end(), name.begin(), ::tolower);
            names.insert(name);
        }
        return names;
    }
};

struct InstallerImage : ::testing::Test {
    PeImage pe;
    void SetUp() override { ASSERT_TRUE(pe.Load(ProgramFolder() + "INSTALL.EXE")); }
};

}  // namespace

// Defined first, so it runs first: nothing in this process has restricted
// the search yet.
TEST(DllSearch, PlantedDllIsFoundBeforeHardeningAndNotAfter)
{
    HMODULE before = LoadLibraryA("planted_before.dll");
    EXPECT_NE(before, nullptr) << "control: a DLL beside the program loads by bare name, error "
                               << GetLastError();
    if (before)
        FreeLibrary(before);

    HardenDllSearchPath();

    SetLastError(0xdeadbeef);
    HMODULE after = LoadLibraryA("planted_after.dll");
    DWORD error = GetLastError();
    EXPECT_EQ(after, nullptr) << "a planted DLL was loaded after hardening";
    EXPECT_EQ(error, DWORD(ERROR_MOD_NOT_FOUND));
    // System DLLs still load by name.
    EXPECT_NE(LoadLibraryA("version.dll"), nullptr);
}

TEST(DllSearch, TheFrameworkStartUpHardensBeforeTheProgramRuns)
{
    DWORD code = RunProgram("\"" + ProgramFolder() + "startup_probe.exe\"");
    EXPECT_EQ(code, 0u) << (code == 1 ? "planted DLL loaded" : "no contrast");
}


TEST_F(InstallerImage, ImportsOnlyKnownSystemDlls)
{
    // All of them are KnownDLLs: always taken from the system folder.
    const std::set<std::string> known = {"kernel32.dll", "user32.dll", "gdi32.dll",
                                         "advapi32.dll", "msvcrt.dll"};
    std::set<std::string> imports = pe.ImportedDlls();
    ASSERT_FALSE(imports.empty());
    for (const std::string& name : imports)
        EXPECT_TRUE(known.count(name)) << name << " is not a known system DLL";
    EXPECT_EQ(pe.directories[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT].Size, 0u);
}

TEST_F(InstallerImage, IsAGuiProgramWithAslrAndDep)
{
    EXPECT_EQ(pe.subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
    EXPECT_TRUE(pe.dllCharacteristics & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE);
    EXPECT_TRUE(pe.dllCharacteristics & IMAGE_DLLCHARACTERISTICS_NX_COMPAT);
    // ASLR needs the relocations to stay in the image.
    EXPECT_FALSE(pe.file->Characteristics & IMAGE_FILE_RELOCS_STRIPPED);
    EXPECT_GT(pe.directories[IMAGE_DIRECTORY_ENTRY_BASERELOC].Size, 0u);
    if (pe.magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
        EXPECT_EQ(pe.file->Machine, IMAGE_FILE_MACHINE_AMD64);
        EXPECT_TRUE(pe.dllCharacteristics & IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA);
    } else {
        EXPECT_EQ(pe.file->Machine, IMAGE_FILE_MACHINE_I386);
    }
}

TEST_F(InstallerImage, CarriesNoTimeStampOrDebugData)
{
    EXPECT_EQ(pe.file->TimeDateStamp, 0u);
    EXPECT_EQ(pe.directories[IMAGE_DIRECTORY_ENTRY_DEBUG].Size, 0u);
    for (WORD i = 0; i < pe.file->NumberOfSections; ++i) {
        std::string name(reinterpret_cast<const char*>(pe.sections[i].Name), 8);
        EXPECT_NE(name.rfind(".debug", 0), 0u) << name.c_str();
    }
    EXPECT_EQ(pe.file->PointerToSymbolTable, 0u) << "not stripped";
}

TEST_F(InstallerImage, IsAtMost64KiB)
{
    EXPECT_LE(pe.bytes.size(), 64u * 1024) << "INSTALL.EXE is " << pe.bytes.size() << " bytes";
    printf("INSTALL.EXE: %u bytes\n", static_cast<unsigned>(pe.bytes.size()));
}

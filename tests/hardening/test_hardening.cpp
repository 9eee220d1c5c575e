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
#include <sstream>
#include <string>
#include <vector>

namespace {

struct PeImage {
    std::vector<unsigned char> bytes;
    const IMAGE_FILE_HEADER* file = nullptr;
    WORD magic = 0;
    WORD dllCharacteristics = 0;
    WORD subsystem = 0;
    WORD osVersion[2] = {}, subsystemVersion[2] = {};  // major, minor
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
            ReadHeader(*reinterpret_cast<const IMAGE_OPTIONAL_HEADER64*>(optional));
        } else {
            ReadHeader(*reinterpret_cast<const IMAGE_OPTIONAL_HEADER32*>(optional));
        }
        sections = reinterpret_cast<const IMAGE_SECTION_HEADER*>(optional +
                                                                 file->SizeOfOptionalHeader);
        return true;
    }

    template <typename Header> void ReadHeader(const Header& h)
    {
        dllCharacteristics = h.DllCharacteristics;
        subsystem = h.Subsystem;
        osVersion[0] = h.MajorOperatingSystemVersion;
        osVersion[1] = h.MinorOperatingSystemVersion;
        subsystemVersion[0] = h.MajorSubsystemVersion;
        subsystemVersion[1] = h.MinorSubsystemVersion;
        directories = h.DataDirectory;
        directoryCount = h.NumberOfRvaAndSizes;
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

    // "dll!function", the DLL's name in lower case; by ordinal: "dll!#n".
    std::set<std::string> ImportedFunctions() const
    {
        std::set<std::string> names;
        const bool wide = magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
        const IMAGE_DATA_DIRECTORY& dir = directories[IMAGE_DIRECTORY_ENTRY_IMPORT];
        auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(AtRva(dir.VirtualAddress));
        for (; d && d->Name; ++d) {
            std::string dll = reinterpret_cast<const char*>(AtRva(d->Name));
            std::transform(dll.begin(), dll.end(), dll.begin(), ::tolower);
            const unsigned char* thunk =
                AtRva(d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk);
            for (;; thunk += wide ? 8 : 4) {
                ULONGLONG entry = wide ? *reinterpret_cast<const ULONGLONG*>(thunk)
                                       : *reinterpret_cast<const DWORD*>(thunk);
                if (!entry)
                    break;
                const ULONGLONG byOrdinal = wide ? IMAGE_ORDINAL_FLAG64 : IMAGE_ORDINAL_FLAG32;
                if (entry & byOrdinal) {
                    names.insert(dll + "!#" + std::to_string(entry & 0xFFFF));
                } else {
                    auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(
                        AtRva(static_cast<DWORD>(entry)));
                    names.insert(dll + "!" + reinterpret_cast<const char*>(byName->Name));
                }
            }
        }
        return names;
    }

    std::set<std::string> ImportedDlls() const
    {
        std::set<std::string> dlls;
        for (const std::string& name : ImportedFunctions())
            dlls.insert(name.substr(0, name.find('!')));
        return dlls;
    }
};

// The reviewed list of imports for the oldest system a build names: lines
// of "DLL function", '#' starts a comment.
std::set<std::string> ReviewedImports(const std::string& path)
{
    std::set<std::string> names;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        line = line.substr(0, line.find('#'));
        std::istringstream fields(line);
        std::string dll, function;
        if (!(fields >> dll >> function))
            continue;
        std::transform(dll.begin(), dll.end(), dll.begin(), ::tolower);
        names.insert(dll + "!" + function);
    }
    return names;
}

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
    // System DLLs only. KERNEL32, USER32, GDI32 and ADVAPI32 are known DLLs
    // on every NT-family system, always taken from the system folder;
    // msvcrt.dll is not on NT 4.0's list, nor is any on 95/98/Me's, so there
    // the folder INSTALL.EXE stands in must be one only administrators change.
    const std::set<std::string> known = {"kernel32.dll", "user32.dll", "gdi32.dll",
                                         "advapi32.dll", "msvcrt.dll"};
    std::set<std::string> imports = pe.ImportedDlls();
    ASSERT_FALSE(imports.empty());
    for (const std::string& name : imports)
        EXPECT_TRUE(known.count(name)) << name << " is not a known system DLL";
    EXPECT_EQ(pe.directories[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT].Size, 0u);
}

// Windows 95 and NT 4.0 (i686) and XP x64 (x86_64) refuse to start a program
// that imports a single function they lack: every import must be one that
// was reviewed against the oldest system the build names.
TEST_F(InstallerImage, ImportsOnlyFunctionsTheOldestNamedSystemHas)
{
    const bool x64 = pe.magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
    const std::string list = ProgramFolder() + (x64 ? "imports-xp-x64.txt" : "imports-win95-nt4.txt");
    std::set<std::string> reviewed = ReviewedImports(list);
    ASSERT_FALSE(reviewed.empty()) << "no reviewed list at " << list;

    std::string unknown;
    for (const std::string& name : pe.ImportedFunctions()) {
        if (!reviewed.count(name))
            unknown += " " + name;
    }
    EXPECT_TRUE(unknown.empty()) << "imports not on " << list << ":" << unknown;

    // The header states the same floor.
    const WORD floor[2] = {WORD(x64 ? 5 : 4), WORD(x64 ? 2 : 0)};
    EXPECT_EQ(pe.osVersion[0], floor[0]) << "OS version " << pe.osVersion[0] << "." << pe.osVersion[1];
    EXPECT_EQ(pe.osVersion[1], floor[1]);
    EXPECT_EQ(pe.subsystemVersion[0], floor[0])
        << "subsystem version " << pe.subsystemVersion[0] << "." << pe.subsystemVersion[1];
    EXPECT_EQ(pe.subsystemVersion[1], floor[1]);
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

TEST_F(InstallerImage, IsAtMost36KiB)
{
    EXPECT_LE(pe.bytes.size(), 36u * 1024) << "INSTALL.EXE is " << pe.bytes.size() << " bytes";
    printf("INSTALL.EXE: %u bytes\n", static_cast<unsigned>(pe.bytes.size()));
}

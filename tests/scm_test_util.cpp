#include "scm_test_util.h"

#include <shellapi.h>
#include <vector>

namespace {

const char kName[] = "KESTRAMO";

ScHandle OpenManager()
{
    return ScHandle(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
}

}  // namespace

bool KestramoServiceExists()
{
    ScHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    ScHandle service(::OpenServiceA(manager.get(), kName, SERVICE_QUERY_STATUS));
    return static_cast<bool>(service);
}

DWORD KestramoServiceState()
{
    ScHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    ScHandle service(::OpenServiceA(manager.get(), kName, SERVICE_QUERY_STATUS));
    SERVICE_STATUS status = {};
    if (!service || !::QueryServiceStatus(service.get(), &status))
        return 0;
    return status.dwCurrentState;
}

bool WaitForKestramoState(DWORD state)
{
    return WaitUntil([state] { return KestramoServiceState() == state; });
}

bool WaitForKestramoGone()
{
    return WaitUntil([] { return !KestramoServiceExists(); });
}

bool RemoveKestramoService()
{
    {
        ScHandle manager = OpenManager();
        ScHandle service(::OpenServiceA(manager.get(), kName, SERVICE_ALL_ACCESS));
        if (service) {
            SERVICE_STATUS status;
            if (::ControlService(service.get(), SERVICE_CONTROL_STOP, &status))
                WaitForKestramoState(SERVICE_STOPPED);
            ::DeleteService(service.get());
        }
    }
    return WaitForKestramoGone();
}

bool RegisterKestramoService(const std::string& imagePath)
{
    ScHandle manager = OpenManager();
    ScHandle service(::CreateServiceA(manager.get(), kName, "KESTRAMO (test)", SERVICE_ALL_ACCESS,
                                      SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START,
                                      SERVICE_ERROR_IGNORE, imagePath.c_str(), nullptr, nullptr,
                                      nullptr, nullptr, nullptr));
    return static_cast<bool>(service);
}

bool QueryKestramoConfig(ServiceConfig& config)
{
    ScHandle manager = OpenManager();
    ScHandle service(::OpenServiceA(manager.get(), kName, SERVICE_QUERY_CONFIG));
    if (!service)
        return false;
    DWORD needed = 0;
    ::QueryServiceConfigA(service.get(), nullptr, 0, &needed);
    std::vector<char> buffer(needed + 1);
    auto* qsc = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
    if (!::QueryServiceConfigA(service.get(), qsc, needed, &needed))
        return false;
    config.serviceType = qsc->dwServiceType;
    config.startType = qsc->dwStartType;
    config.errorControl = qsc->dwErrorControl;
    config.imagePath = qsc->lpBinaryPathName ? qsc->lpBinaryPathName : "";
    config.displayName = qsc->lpDisplayName ? qsc->lpDisplayName : "";
    return true;
}

ServiceConfigW KestramoConfigW()
{
    ScHandle manager = OpenManager();
    ScHandle service(::OpenServiceW(manager.get(), L"KESTRAMO", SERVICE_QUERY_CONFIG));
    DWORD needed = 0;
    ::QueryServiceConfigW(service.get(), nullptr, 0, &needed);
    std::vector<char> buffer(needed + sizeof(wchar_t));
    auto* qsc = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    ServiceConfigW config;
    if (!service || !::QueryServiceConfigW(service.get(), qsc, needed, &needed))
        return config;
    config.imagePath = qsc->lpBinaryPathName ? qsc->lpBinaryPathName : L"";
    config.displayName = qsc->lpDisplayName ? qsc->lpDisplayName : L"";
    return config;
}

std::string ProgramFolder()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

DWORD RunProgram(const std::string& commandLine)
{
    std::string command = commandLine;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    DWORD code = 0xFFFFFFFF;
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return code;
    if (WaitForSingleObject(process.hProcess, ScaledWait(60000)) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return code;
}

namespace {

std::wstring Widened(const std::string& ascii)
{
    return std::wstring(ascii.begin(), ascii.end());  // the test folders are ASCII
}

}  // namespace

std::string UnixName(const std::wstring& windowsPath)
{
    typedef char*(CDECL * UnixFileNameFn)(const wchar_t*);
    auto unixNameOf = reinterpret_cast<UnixFileNameFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    char* name = unixNameOf ? unixNameOf(windowsPath.c_str()) : nullptr;
    std::string copy = name ? name : "";
    HeapFree(GetProcessHeap(), 0, name);
    return copy;
}

namespace {

// Runs a Unix shell command on these paths ("$1", "$2", ...) of the prefix
// and waits until it is done.
bool RunUnixCommand(const std::string& command, std::vector<std::wstring> paths)
{
    // Wine starts a Unix program named by its Windows path, but cannot wait
    // for it: the command removes a marker file when it is done.
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string marker = std::string(temp) + "kestramo-unix-pending";
    HANDLE file = CreateFileA(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    paths.push_back(Widened(marker));
    // Built in UTF-16: a Unix name (UTF-8) need not fit the ANSI code page.
    std::string line = "sh -c \"" + command + " && rm \\\"$" + std::to_string(paths.size()) +
                       "\\\"\" sh";
    bool named = true;
    for (const std::wstring& path : paths) {
        std::string unixPath = UnixName(path);
        named = named && !unixPath.empty();
        line += " \"" + unixPath + "\"";
    }
    std::wstring wideLine(line.size() + 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, line.c_str(), -1, &wideLine[0],
                        static_cast<int>(wideLine.size()));
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!named || !CreateProcessW(L"Z:\\bin\\sh", &wideLine[0], nullptr, nullptr, FALSE, 0,
                                  nullptr, nullptr, &startup, &process)) {
        DeleteFileA(marker.c_str());
        return false;
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return WaitUntil([&] { return GetFileAttributesA(marker.c_str()) == INVALID_FILE_ATTRIBUTES; });
}

}  // namespace

bool SetUnixMode(const std::wstring& path, const char* mode)
{
    return RunUnixCommand(std::string("chmod ") + mode + " \\\"$1\\\"", {path});
}

bool SetUnixMode(const std::string& path, const char* mode)
{
    return SetUnixMode(Widened(path), mode);
}

bool MakeUnixLink(const std::string& target, const std::string& link)
{
    return RunUnixCommand("ln -s \\\"$1\\\" \\\"$2\\\"", {Widened(target), Widened(link)});
}

bool RemoveUnixLink(const std::string& link)
{
    return RunUnixCommand("rm -f \\\"$1\\\"", {Widened(link)});
}

std::string TestDriverPath()
{
    return ProgramFolder() + "driver\\KESTRAMO.SYS";
}

std::string MakeTempFolder(const std::string& name)
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp) + name;
    RemoveFolder(folder);
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

bool CopyTestDriverTo(const std::string& folder)
{
    return CopyFileA(TestDriverPath().c_str(), (folder + "\\KESTRAMO.SYS").c_str(), FALSE) != 0;
}

void RemoveFolder(const std::string& folder)
{
    std::string from = folder;
    from.push_back('\0');  // double-NUL-terminated list
    SHFILEOPSTRUCTA op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    SHFileOperationA(&op);
}

WideTempFolder::WideTempFolder(const std::wstring& name)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    m_path = std::wstring(temp) + name;
    std::wstring driver = m_path + L"\\KESTRAMO.SYS";
    DeleteFileW(driver.c_str());
    RemoveDirectoryW(m_path.c_str());
    std::string source = TestDriverPath();
    std::wstring wideSource(source.begin(), source.end());  // the build folder is ASCII
    m_ok = CreateDirectoryW(m_path.c_str(), nullptr) &&
           CopyFileW(wideSource.c_str(), driver.c_str(), FALSE);
}

WideTempFolder::~WideTempFolder()
{
    DeleteFileW((m_path + L"\\KESTRAMO.SYS").c_str());
    RemoveDirectoryW(m_path.c_str());
}

ScopedCurrentDirectory::ScopedCurrentDirectory(const std::string& directory)
{
    GetCurrentDirectoryW(MAX_PATH, m_previous);
    m_ok = SetCurrentDirectoryA(directory.c_str()) != 0;
}

ScopedCurrentDirectory::ScopedCurrentDirectory(const std::wstring& directory)
{
    GetCurrentDirectoryW(MAX_PATH, m_previous);
    m_ok = SetCurrentDirectoryW(directory.c_str()) != 0;
}

ScopedCurrentDirectory::~ScopedCurrentDirectory()
{
    SetCurrentDirectoryW(m_previous);
}

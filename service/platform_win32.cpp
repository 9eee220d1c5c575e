#include "platform_api.h"

namespace {

// A function of a loaded system DLL looked up at run time; null where it is
// missing, with ERROR_CALL_NOT_IMPLEMENTED set. Named by the header's own
// declaration (decltype), the pointer keeps the function's calling convention.
template <typename Function> Function SystemFunction(const char* dll, const char* name)
{
    HMODULE module = ::GetModuleHandleA(dll);
    auto function = reinterpret_cast<Function>(
        reinterpret_cast<void*>(module ? ::GetProcAddress(module, name) : nullptr));
    if (!function)
        ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return function;
}

template <typename Function> Function Advapi32Function(const char* name)
{
    return SystemFunction<Function>("advapi32.dll", name);
}

template <typename Function> Function Kernel32Function(const char* name)
{
    return SystemFunction<Function>("kernel32.dll", name);
}

class Win32PlatformApi final : public PlatformApi {
public:
    BOOL GetVersionExA(OSVERSIONINFOA* info) override { return ::GetVersionExA(info); }

    DWORD GetVersion() override { return ::GetVersion(); }

    DWORD GetCurrentDirectoryW(DWORD capacity, wchar_t* buffer) override
    {
        return ::GetCurrentDirectoryW(capacity, buffer);
    }

    int MultiByteToWideChar(UINT codePage, DWORD flags, const char* text, int length,
                            wchar_t* wide, int capacity) override
    {
        return ::MultiByteToWideChar(codePage, flags, text, length, wide, capacity);
    }

    UINT GetSystemDirectoryA(char* buffer, UINT capacity) override
    {
        return ::GetSystemDirectoryA(buffer, capacity);
    }

    UINT GetACP() override { return ::GetACP(); }

    BOOL IsValidCodePage(UINT codePage) override { return ::IsValidCodePage(codePage); }

    UINT GetDriveTypeW(const wchar_t* root) override
    {
        auto query = Kernel32Function<decltype(&::GetDriveTypeW)>("GetDriveTypeW");
        return query ? query(root) : DRIVE_UNKNOWN;
    }

    BOOL GetVolumeInformationW(const wchar_t* root, wchar_t* name, DWORD nameSize,
                               DWORD* serialNumber, DWORD* maxComponentLength, DWORD* flags,
                               wchar_t* fileSystem, DWORD fileSystemSize) override
    {
        auto query =
            Kernel32Function<decltype(&::GetVolumeInformationW)>("GetVolumeInformationW");
        return query && query(root, name, nameSize, serialNumber, maxComponentLength, flags,
                              fileSystem, fileSystemSize);
    }

    DWORD GetFileAttributesW(const wchar_t* path) override
    {
        auto query = Kernel32Function<decltype(&::GetFileAttributesW)>("GetFileAttributesW");
        return query ? query(path) : INVALID_FILE_ATTRIBUTES;
    }

    HANDLE OpenForQuery(const wchar_t* path, DWORD flags) override
    {
        auto open = Kernel32Function<decltype(&::CreateFileW)>("CreateFileW");
        if (!open)
            return INVALID_HANDLE_VALUE;
        return open(path, READ_CONTROL | FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    flags, nullptr);
    }

    BOOL GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION* info) override
    {
        return ::GetFileInformationByHandle(file, info);
    }

    BOOL GetKernelObjectSecurity(HANDLE object, SECURITY_INFORMATION requested,
                                 PSECURITY_DESCRIPTOR descriptor, DWORD length,
                                 DWORD* needed) override
    {
        auto query =
            Advapi32Function<decltype(&::GetKernelObjectSecurity)>("GetKernelObjectSecurity");
        return query && query(object, requested, descriptor, length, needed);
    }

    DWORD QueryDosDeviceW(const wchar_t* device, wchar_t* target, DWORD capacity) override
    {
        auto query = Kernel32Function<decltype(&::QueryDosDeviceW)>("QueryDosDeviceW");
        return query ? query(device, target, capacity) : 0;
    }

    BOOL OpenProcessToken(DWORD access, HANDLE* token) override
    {
        auto open = Advapi32Function<decltype(&::OpenProcessToken)>("OpenProcessToken");
        return open && open(::GetCurrentProcess(), access, token);
    }

    BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind, void* information,
                             DWORD length, DWORD* needed) override
    {
        auto query = Advapi32Function<decltype(&::GetTokenInformation)>("GetTokenInformation");
        return query && query(token, kind, information, length, needed);
    }

    BOOL CloseHandle(HANDLE handle) override { return ::CloseHandle(handle); }

    SC_HANDLE OpenSCManagerA(const char* machine, const char* database, DWORD access) override
    {
        return ::OpenSCManagerA(machine, database, access);
    }

    SC_HANDLE OpenServiceA(SC_HANDLE manager, const char* serviceName, DWORD access) override
    {
        return ::OpenServiceA(manager, serviceName, access);
    }

    SC_HANDLE CreateServiceW(SC_HANDLE manager, const wchar_t* serviceName,
                             const wchar_t* displayName, DWORD access, DWORD serviceType,
                             DWORD startType, DWORD errorControl, const wchar_t* imagePath,
                             const wchar_t* loadOrderGroup, DWORD* tagId,
                             const wchar_t* dependencies, const wchar_t* startName,
                             const wchar_t* password) override
    {
        auto create = Advapi32Function<decltype(&::CreateServiceW)>("CreateServiceW");
        if (!create)
            return nullptr;
        return create(manager, serviceName, displayName, access, serviceType, startType,
                      errorControl, imagePath, loadOrderGroup, tagId, dependencies, startName,
                      password);
    }

    BOOL StartServiceA(SC_HANDLE service, DWORD argCount, const char** args) override
    {
        return ::StartServiceA(service, argCount, args);
    }

    BOOL ControlService(SC_HANDLE service, DWORD control, SERVICE_STATUS* status) override
    {
        return ::ControlService(service, control, status);
    }

    BOOL DeleteService(SC_HANDLE service) override { return ::DeleteService(service); }

    BOOL QueryServiceStatus(SC_HANDLE service, SERVICE_STATUS* status) override
    {
        auto query = Advapi32Function<decltype(&::QueryServiceStatus)>("QueryServiceStatus");
        return query && query(service, status);
    }

    BOOL CloseServiceHandle(SC_HANDLE handle) override { return ::CloseServiceHandle(handle); }

    DWORD GetLastError() override { return ::GetLastError(); }
};

Win32PlatformApi g_platformApi;
PlatformApi* g_activeApi = &g_platformApi;

}  // namespace

PlatformApi& ActivePlatformApi()
{
    return *g_activeApi;
}

PlatformApi* SetPlatformApi(PlatformApi* api)
{
    PlatformApi* previous = g_activeApi;
    g_activeApi = api ? api : &g_platformApi;
    return previous;
}

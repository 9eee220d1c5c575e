// The platform calls the probe and the two actions make, one operation per
// call. The product uses the platform's own; tests substitute a fake.
#pragma once

#include <windows.h>

class PlatformApi {
public:
    virtual BOOL GetVersionExA(OSVERSIONINFOA* info) = 0;
    virtual DWORD GetVersion() = 0;
    virtual DWORD GetCurrentDirectoryW(DWORD capacity, wchar_t* buffer) = 0;
    virtual int MultiByteToWideChar(UINT codePage, DWORD flags, const char* text, int length,
                                    wchar_t* wide, int capacity) = 0;
    // Only its drive letter is asked: the drive Windows itself is on.
    virtual UINT GetSystemDirectoryA(char* buffer, UINT capacity) = 0;
    virtual UINT GetACP() = 0;
    virtual BOOL IsValidCodePage(UINT codePage) = 0;
    // The folder check's queries of the file system take the path as UTF-16,
    // exactly as it is registered. They are looked up at run time, like
    // CreateServiceW: the program asks them only on NT. They fail with
    // ERROR_CALL_NOT_IMPLEMENTED where they are missing.
    virtual UINT GetDriveTypeW(const wchar_t* root) = 0;
    virtual BOOL GetVolumeInformationW(const wchar_t* root, wchar_t* name, DWORD nameSize,
                                       DWORD* serialNumber, DWORD* maxComponentLength,
                                       DWORD* flags, wchar_t* fileSystem,
                                       DWORD fileSystemSize) = 0;
    // Of the last component itself: a link shows FILE_ATTRIBUTE_REPARSE_POINT.
    virtual DWORD GetFileAttributesW(const wchar_t* path) = 0;
    // A file or folder opened for its attributes and descriptor only
    // (READ_CONTROL | FILE_READ_ATTRIBUTES, shared); `flags` as CreateFile's.
    virtual HANDLE OpenForQuery(const wchar_t* path, DWORD flags) = 0;
    virtual BOOL GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION* info) = 0;
    // The security queries are looked up at run time too.
    virtual BOOL GetKernelObjectSecurity(HANDLE object, SECURITY_INFORMATION requested,
                                         PSECURITY_DESCRIPTOR descriptor, DWORD length,
                                         DWORD* needed) = 0;
    // What a drive letter ("C:") stands for, as a list of strings.
    virtual DWORD QueryDosDeviceW(const wchar_t* device, wchar_t* target, DWORD capacity) = 0;
    // Of the current process.
    virtual BOOL OpenProcessToken(DWORD access, HANDLE* token) = 0;
    virtual BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind, void* information,
                                     DWORD length, DWORD* needed) = 0;
    virtual BOOL CloseHandle(HANDLE handle) = 0;
    virtual SC_HANDLE OpenSCManagerA(const char* machine, const char* database, DWORD access) = 0;
    virtual SC_HANDLE OpenServiceA(SC_HANDLE manager, const char* serviceName, DWORD access) = 0;
    // The driver's path is registered as UTF-16, exactly as the folder's
    // name is. Looked up at run time: Windows 95 is not known to export it,
    // and the program calls it only on NT. Fails with
    // ERROR_CALL_NOT_IMPLEMENTED where it is missing.
    virtual SC_HANDLE CreateServiceW(SC_HANDLE manager, const wchar_t* serviceName,
                                     const wchar_t* displayName, DWORD access, DWORD serviceType,
                                     DWORD startType, DWORD errorControl,
                                     const wchar_t* imagePath, const wchar_t* loadOrderGroup,
                                     DWORD* tagId, const wchar_t* dependencies,
                                     const wchar_t* startName, const wchar_t* password) = 0;
    virtual BOOL StartServiceA(SC_HANDLE service, DWORD argCount, const char** args) = 0;
    virtual BOOL ControlService(SC_HANDLE service, DWORD control, SERVICE_STATUS* status) = 0;
    virtual BOOL DeleteService(SC_HANDLE service) = 0;
    // Looked up at run time, like the security queries: asked only on NT.
    virtual BOOL QueryServiceStatus(SC_HANDLE service, SERVICE_STATUS* status) = 0;
    virtual BOOL CloseServiceHandle(SC_HANDLE handle) = 0;
    virtual DWORD GetLastError() = 0;

protected:
    ~PlatformApi() = default;
};

// The implementation in use: the platform's, unless a test installed another.
PlatformApi& ActivePlatformApi();

// Installs `api` (null restores the platform's) and returns the one it replaces.
PlatformApi* SetPlatformApi(PlatformApi* api);

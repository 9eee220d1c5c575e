// A stand-in for the platform's service control manager: one registrable
// service, a call log, handle accounting and injected failures.
#pragma once

#include "actions.h"
#include "platform_api.h"

#include <map>
#include <set>
#include <string>
#include <vector>

// UTF-16 as UTF-8, and back: how the fake and its tests write the wide
// platform's texts.
std::string Utf8(const std::wstring& text);
std::wstring Utf16(const std::string& text);

class FakePlatformApi : public PlatformApi {
public:
    // Platform state, set by the test.
    DWORD platformId = VER_PLATFORM_WIN32_NT;
    DWORD majorVersion = 5;  // on NT: GetVersionExA and GetVersion (XP unless set)
    bool versionQueryFails = false;
    // What GetCurrentDirectoryW reads, written here as UTF-8.
    std::string currentDirectory = "C:\\Setup";
    UINT ansiCodePage = 936;           // what GetACP reports
    bool gbkInstalled = true;          // IsValidCodePage(936)
    UINT failingCodePage = 0;          // MultiByteToWideChar from it fails
    bool managerAccessDenied = false;  // OpenSCManagerA fails with ERROR_ACCESS_DENIED
    bool serviceRegistered = false;
    bool serviceRunning = false;
    bool driverLoads = true;           // else StartServiceA fails with ERROR_FILE_NOT_FOUND
    // What QueryServiceStatus reports while the driver has not stopped.
    DWORD runningState = SERVICE_RUNNING;
    // What the folder check reads: the drive type, volume flags and device
    // of every drive letter; each path's owner and DACL as SDDL
    // (`defaultSecurity` where a path is not in `security`, none where it
    // maps to "": no such file); the paths that are links (reparse points);
    // the account the installer runs as, and its token's elevation type (0:
    // the query is not supported, as before Vista) with, for
    // TokenElevationTypeDefault, whether it holds INTERACTIVE and, for
    // TokenElevationTypeFull, the attributes of Administrators in the linked
    // token. Paths, written as UTF-8, are looked up as Windows reads them:
    // after "\\?\" as they stand, otherwise without the trailing spaces and
    // dots of the last name.
    UINT driveType = DRIVE_FIXED;
    DWORD volumeFlags = FILE_PERSISTENT_ACLS;
    std::string dosDevice = "\\Device\\HarddiskVolume2";
    // Where Windows is: only its drive letter is asked.
    std::string systemDirectory = "C:\\WINDOWS\\system32";
    std::string defaultSecurity = "O:BAD:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
    std::map<std::string, std::string> security;
    std::set<std::string> links;
    // Links that appear only once the path was asked: the object opened is
    // a link, while GetFileAttributesA saw a plain folder.
    std::set<std::string> linksWhenOpened;
    std::string installerSid = "S-1-5-21-1-2-3-1001";
    TOKEN_ELEVATION_TYPE elevationType = TOKEN_ELEVATION_TYPE(0);
    bool interactive = true;
    DWORD linkedAdministrators = SE_GROUP_USE_FOR_DENY_ONLY;

    // What CreateServiceW was given, its texts as UTF-8.
    struct Creation {
        std::string name, displayName, imagePath;
        DWORD access, serviceType, startType, errorControl;
        bool nullOptionals;
    };
    std::vector<Creation> creations;

    // The next call of `operation` (e.g. "DeleteService"; "TokenLinkedToken"
    // for that query of GetTokenInformation) fails with `code`.
    void FailNext(const std::string& operation, DWORD code) { m_failures[operation] = code; }

    // Every call in order, by operation name (CloseServiceHandle also says
    // which handle: "(manager)", "(service)", "(null)"); notices shown through
    // a RecordingNoticeSink bound to this fake are logged here too. Left out,
    // since they change nothing: the locale queries GetACP and
    // IsValidCodePage, MultiByteToWideChar, and the folder check's queries with any GetLastError
    // right after one; those go to `folderQueries` as "operation path".
    std::vector<std::string> calls;
    std::vector<DWORD> directoryCapacities;  // capacity of each GetCurrentDirectoryW
    std::vector<std::string> folderQueries;

    int OpenHandles() const;
    int DoubleCloses() const { return m_doubleCloses; }
    bool AnyServiceManagerCall() const;

    BOOL GetVersionExA(OSVERSIONINFOA* info) override;
    DWORD GetVersion() override;
    DWORD GetCurrentDirectoryW(DWORD capacity, wchar_t* buffer) override;
    int MultiByteToWideChar(UINT codePage, DWORD flags, const char* text, int length,
                            wchar_t* wide, int capacity) override;
    UINT GetSystemDirectoryA(char* buffer, UINT capacity) override;
    UINT GetACP() override { return ansiCodePage; }
    BOOL IsValidCodePage(UINT codePage) override { return codePage == 936 ? gbkInstalled : TRUE; }
    UINT GetDriveTypeW(const wchar_t* root) override;
    BOOL GetVolumeInformationW(const wchar_t* root, wchar_t* name, DWORD nameSize,
                               DWORD* serialNumber, DWORD* maxComponentLength, DWORD* flags,
                               wchar_t* fileSystem, DWORD fileSystemSize) override;
    DWORD GetFileAttributesW(const wchar_t* path) override;
    DWORD QueryDosDeviceW(const wchar_t* device, wchar_t* target, DWORD capacity) override;
    HANDLE OpenForQuery(const wchar_t* path, DWORD flags) override;
    BOOL GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION* info) override;
    BOOL GetKernelObjectSecurity(HANDLE object, SECURITY_INFORMATION requested,
                                 PSECURITY_DESCRIPTOR descriptor, DWORD length,
                                 DWORD* needed) override;
    BOOL OpenProcessToken(DWORD access, HANDLE* token) override;
    BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind, void* information,
                             DWORD length, DWORD* needed) override;
    BOOL CloseHandle(HANDLE handle) override;
    SC_HANDLE OpenSCManagerA(const char* machine, const char* database, DWORD access) override;
    SC_HANDLE OpenServiceA(SC_HANDLE manager, const char* serviceName, DWORD access) override;
    SC_HANDLE CreateServiceW(SC_HANDLE manager, const wchar_t* serviceName,
                             const wchar_t* displayName, DWORD access, DWORD serviceType,
                             DWORD startType, DWORD errorControl, const wchar_t* imagePath,
                             const wchar_t* loadOrderGroup, DWORD* tagId,
                             const wchar_t* dependencies, const wchar_t* startName,
                             const wchar_t* password) override;
    BOOL StartServiceA(SC_HANDLE service, DWORD argCount, const char** args) override;
    BOOL ControlService(SC_HANDLE service, DWORD control, SERVICE_STATUS* status) override;
    BOOL DeleteService(SC_HANDLE service) override;
    BOOL QueryServiceStatus(SC_HANDLE service, SERVICE_STATUS* status) override;
    BOOL CloseServiceHandle(SC_HANDLE handle) override;
    DWORD GetLastError() override;

private:
    enum class Kind { Manager, Service };
    struct HandleInfo {
        Kind kind;
        bool open;
    };

    bool Injected(const char* operation);
    void FolderQuery(const char* operation, const std::string& path);
    static std::string Resolved(const wchar_t* path);
    static bool HasEmptyName(const wchar_t* path);
    bool Exists(const std::string& resolved) const;
    // A folder, or a link where the path is one (`opened`: also where it
    // became one once its path was asked).
    DWORD AttributesOf(const std::string& resolved, bool opened) const;
    // Copies `size` bytes to a caller's buffer of `length`, as the platform's
    // sized queries do.
    BOOL Answer(const void* data, DWORD size, void* buffer, DWORD length, DWORD* needed);
    SC_HANDLE Create(const char* operation, SC_HANDLE manager, Creation creation);
    SC_HANDLE NewHandle(Kind kind);
    bool IsOpen(SC_HANDLE handle, Kind kind) const;
    template <typename T> T Fail(DWORD code, T result)
    {
        m_lastError = code;
        return result;
    }

    std::map<std::string, DWORD> m_failures;
    std::map<SC_HANDLE, HandleInfo> m_handles;
    std::map<HANDLE, std::string> m_openFiles;  // by OpenForQuery, with their paths
    int m_filesOpened = 0;
    DWORD m_lastError = 0;
    uintptr_t m_nextHandle = 0x1000;
    int m_doubleCloses = 0;
    int m_openTokens = 0;
    int m_openLinkedTokens = 0;
    size_t m_callsAtFolderQuery = size_t(-1);
};

// Records notices, and logs them into the fake's call sequence so tests can
// check what was shown between which calls.
class RecordingNoticeSink final : public NoticeSink {
public:
    explicit RecordingNoticeSink(FakePlatformApi* log = nullptr) : m_log(log) {}

    // A notice's text and caption as shown: the wide ones as UTF-8 where
    // it has them.
    struct Shown {
        std::string text, caption;
        UINT type;
        bool wide;
    };
    std::vector<Shown> shown;

    void ShowNotice(const Notice& notice) override;

private:
    FakePlatformApi* m_log;
};

// Installs a fake for the lifetime of the object.
class ScopedPlatformApi {
public:
    explicit ScopedPlatformApi(PlatformApi* api) : m_previous(SetPlatformApi(api)) {}
    ~ScopedPlatformApi() { SetPlatformApi(m_previous); }
    ScopedPlatformApi(const ScopedPlatformApi&) = delete;
    ScopedPlatformApi& operator=(const ScopedPlatformApi&) = delete;

private:
    PlatformApi* m_previous;
};

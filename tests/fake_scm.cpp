#include "fake_scm.h"

#include <sddl.h>
#include <string.h>

std::string Utf8(const std::wstring& text)
{
    std::string out(text.size() * 3, '\0');
    out.resize(::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                     &out[0], static_cast<int>(out.size()), nullptr, nullptr));
    return out;
}

std::wstring Utf16(const std::string& text)
{
    std::wstring out(text.size(), L'\0');
    out.resize(::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                     &out[0], static_cast<int>(out.size())));
    return out;
}

int FakePlatformApi::OpenHandles() const
{
    int count = 0;
    for (const auto& entry : m_handles)
        count += entry.second.open ? 1 : 0;
    return count + m_openTokens + m_openLinkedTokens + static_cast<int>(m_openFiles.size());
}

bool FakePlatformApi::AnyServiceManagerCall() const
{
    for (const std::string& call : calls) {
        if (call != "GetVersionExA" && call != "GetCurrentDirectoryW" && call != "GetLastError" && call.compare(0, 7, "Notice:") != 0)
            return true;
    }
    return false;
}

bool FakePlatformApi::Injected(const char* operation)
{
    auto it = m_failures.find(operation);
    if (it == m_failures.end())
        return false;
    m_lastError = it->second;
    m_failures.erase(it);
    return true;
}

SC_HANDLE FakePlatformApi::NewHandle(Kind kind)
{
    SC_HANDLE handle = reinterpret_cast<SC_HANDLE>(m_nextHandle);
    m_nextHandle += 0x10;
    m_handles[handle] = HandleInfo{kind, true};
    return handle;
}

bool FakePlatformApi::IsOpen(SC_HANDLE handle, Kind kind) const
{
    auto it = m_handles.find(handle);
    return it != m_handles.end() && it->second.open && it->second.kind == kind;
}

BOOL FakePlatformApi::GetVersionExA(OSVERSIONINFOA* info)
{
    calls.push_back("GetVersionExA");
    if (versionQueryFails || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA))
        return Fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
    info->dwMajorVersion = platformId == VER_PLATFORM_WIN32_NT ? majorVersion : 4;
    info->dwMinorVersion = platformId == VER_PLATFORM_WIN32_NT ? 1 : 10;
    info->dwBuildNumber = 2600;
    info->dwPlatformId = platformId;
    info->szCSDVersion[0] = '\0';
    return TRUE;
}

DWORD FakePlatformApi::GetVersion()
{
    FolderQuery("GetVersion", "");
    if (platformId != VER_PLATFORM_WIN32_NT)
        return 0xC0000A04;  // 95's 4.0.950, high bit set
    return majorVersion | 1u << 8 | 2600u << 16;
}

DWORD FakePlatformApi::GetCurrentDirectoryW(DWORD capacity, wchar_t* buffer)
{
    calls.push_back("GetCurrentDirectoryW");
    directoryCapacities.push_back(capacity);
    if (Injected("GetCurrentDirectoryW"))
        return 0;
    std::wstring directory = Utf16(currentDirectory);
    DWORD length = static_cast<DWORD>(directory.size());
    if (length + 1 > capacity)
        return length + 1;  // like the platform: nothing written, size needed returned
    memcpy(buffer, directory.c_str(), (length + 1) * sizeof(wchar_t));
    return length;
}

UINT FakePlatformApi::GetSystemDirectoryA(char* buffer, UINT capacity)
{
    FolderQuery("GetSystemDirectoryA", "");
    UINT length = static_cast<UINT>(systemDirectory.size());
    if (length + 1 > capacity)
        return length + 1;
    memcpy(buffer, systemDirectory.c_str(), length + 1);
    return length;
}

int FakePlatformApi::MultiByteToWideChar(UINT codePage, DWORD flags, const char* text,
                                         int length, wchar_t* wide, int capacity)
{
    if (Injected("MultiByteToWideChar"))
        return 0;
    if (codePage == CP_ACP)
        codePage = ansiCodePage;
    if (failingCodePage && codePage == failingCodePage)
        return Fail(ERROR_NO_UNICODE_TRANSLATION, 0);
    return ::MultiByteToWideChar(codePage, flags, text, length, wide, capacity);
}

namespace {

const DWORD kEnabledGroup = SE_GROUP_MANDATORY | SE_GROUP_ENABLED_BY_DEFAULT | SE_GROUP_ENABLED;

// The process's token, and the one linked to it.
const HANDLE kToken = reinterpret_cast<HANDLE>(0x7000);
const HANDLE kLinkedToken = reinterpret_cast<HANDLE>(0x7010);

// A TOKEN_GROUPS of these SIDs and attributes, each SID right behind the
// array and pointing into `buffer`, where the caller will find the answer.
std::vector<BYTE> TokenGroupsFor(const std::vector<std::pair<const char*, DWORD>>& groups,
                                 void* buffer)
{
    const size_t array = offsetof(TOKEN_GROUPS, Groups);
    std::vector<BYTE> out(array + groups.size() * sizeof(SID_AND_ATTRIBUTES));
    DWORD count = static_cast<DWORD>(groups.size());
    memcpy(out.data(), &count, sizeof count);
    for (size_t i = 0; i < groups.size(); ++i) {
        PSID sid = nullptr;
        ConvertStringSidToSidA(groups[i].first, &sid);
        SID_AND_ATTRIBUTES entry = {static_cast<BYTE*>(buffer) + out.size(), groups[i].second};
        memcpy(out.data() + array + i * sizeof entry, &entry, sizeof entry);
        const BYTE* bytes = static_cast<const BYTE*>(sid);
        out.insert(out.end(), bytes, bytes + GetLengthSid(sid));
        LocalFree(sid);
    }
    return out;
}

}  // namespace

std::string FakePlatformApi::Resolved(const wchar_t* path)
{
    std::string resolved = Utf8(path);
    if (resolved.compare(0, 4, "\\\\?\\") == 0)
        return resolved.substr(4);
    while (resolved.size() > 3 && (resolved.back() == ' ' || resolved.back() == '.'))
        resolved.pop_back();
    return resolved;
}

void FakePlatformApi::FolderQuery(const char* operation, const std::string& path)
{
    folderQueries.push_back(std::string(operation) + " " + path);
    m_callsAtFolderQuery = calls.size();
}

BOOL FakePlatformApi::Answer(const void* data, DWORD size, void* buffer, DWORD length,
                             DWORD* needed)
{
    *needed = size;
    if (length < size)
        return Fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
    memcpy(buffer, data, size);
    return TRUE;
}

UINT FakePlatformApi::GetDriveTypeW(const wchar_t* root)
{
    FolderQuery("GetDriveTypeW", Utf8(root));
    return driveType;
}

BOOL FakePlatformApi::GetVolumeInformationW(const wchar_t* root, wchar_t*, DWORD, DWORD*, DWORD*,
                                            DWORD* flags, wchar_t*, DWORD)
{
    FolderQuery("GetVolumeInformationW", Utf8(root));
    if (Injected("GetVolumeInformationW"))
        return FALSE;
    *flags = volumeFlags;
    return TRUE;
}

bool FakePlatformApi::HasEmptyName(const wchar_t* path)
{
    // After "\\?\" two separators in a row are an empty name: Windows refuses
    // the path, where Win32 would make them one.
    return Resolved(path).find("\\\\") != std::string::npos;
}

bool FakePlatformApi::Exists(const std::string& resolved) const
{
    auto it = security.find(resolved);
    return it == security.end() || !it->second.empty();
}

DWORD FakePlatformApi::AttributesOf(const std::string& resolved, bool opened) const
{
    bool link = links.count(resolved) || (opened && linksWhenOpened.count(resolved));
    return link ? FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT
                : FILE_ATTRIBUTE_DIRECTORY;
}

HANDLE FakePlatformApi::OpenForQuery(const wchar_t* path, DWORD flags)
{
    FolderQuery("OpenForQuery", Utf8(path));
    if (Injected("OpenForQuery"))
        return INVALID_HANDLE_VALUE;
    if (!(flags & FILE_FLAG_BACKUP_SEMANTICS))  // a folder cannot be opened without it
        return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
    if (HasEmptyName(path))
        return Fail(ERROR_INVALID_NAME, INVALID_HANDLE_VALUE);
    if (!Exists(Resolved(path)))
        return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
    HANDLE file = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x8000 + 4 * ++m_filesOpened));
    m_openFiles[file] = Resolved(path);
    return file;
}

BOOL FakePlatformApi::GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION* info)
{
    auto open = m_openFiles.find(file);
    FolderQuery("GetFileInformationByHandle", open != m_openFiles.end() ? open->second.c_str() : "");
    if (open == m_openFiles.end())
        return Fail(ERROR_INVALID_HANDLE, FALSE);
    *info = BY_HANDLE_FILE_INFORMATION{};
    info->dwFileAttributes = AttributesOf(open->second, true);
    return TRUE;
}

BOOL FakePlatformApi::GetKernelObjectSecurity(HANDLE object, SECURITY_INFORMATION requested,
                                              PSECURITY_DESCRIPTOR descriptor, DWORD length,
                                              DWORD* needed)
{
    auto open = m_openFiles.find(object);
    FolderQuery("GetKernelObjectSecurity",
                open != m_openFiles.end() ? open->second.c_str() : "");
    if (Injected("GetKernelObjectSecurity"))
        return FALSE;
    if (open == m_openFiles.end())
        return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (requested != (OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION))
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    auto it = security.find(open->second);
    const std::string& sddl = it != security.end() ? it->second : defaultSecurity;
    PSECURITY_DESCRIPTOR made = nullptr;
    ULONG size = 0;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1,
                                                              &made, &size))
        return Fail(ERROR_INVALID_SECURITY_DESCR, FALSE);
    BOOL answered = Answer(made, size, descriptor, length, needed);
    LocalFree(made);
    return answered;
}

DWORD FakePlatformApi::GetFileAttributesW(const wchar_t* path)
{
    FolderQuery("GetFileAttributesW", Utf8(path));
    if (Injected("GetFileAttributesW"))
        return INVALID_FILE_ATTRIBUTES;
    if (HasEmptyName(path))
        return Fail(ERROR_INVALID_NAME, INVALID_FILE_ATTRIBUTES);
    if (!Exists(Resolved(path)))
        return Fail(ERROR_FILE_NOT_FOUND, INVALID_FILE_ATTRIBUTES);
    return AttributesOf(Resolved(path), false);
}

DWORD FakePlatformApi::QueryDosDeviceW(const wchar_t* device, wchar_t* target, DWORD capacity)
{
    FolderQuery("QueryDosDeviceW", Utf8(device));
    if (Injected("QueryDosDeviceW"))
        return 0;
    // One string, then the list's closing null.
    std::wstring wide = Utf16(dosDevice);
    DWORD size = static_cast<DWORD>(wide.size() + 2);
    if (capacity < size)
        return Fail(ERROR_INSUFFICIENT_BUFFER, DWORD(0));
    memcpy(target, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
    target[size - 1] = L'\0';
    return size;
}

BOOL FakePlatformApi::OpenProcessToken(DWORD access, HANDLE* token)
{
    FolderQuery("OpenProcessToken", "");
    if (Injected("OpenProcessToken"))
        return FALSE;
    if (access != TOKEN_QUERY)
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    ++m_openTokens;
    *token = kToken;
    return TRUE;
}

BOOL FakePlatformApi::GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind,
                                          void* information, DWORD length, DWORD* needed)
{
    FolderQuery("GetTokenInformation", "");
    if (token == kLinkedToken && m_openLinkedTokens > 0 && kind == TokenGroups) {
        std::vector<BYTE> groups = TokenGroupsFor(
            {{"S-1-1-0", kEnabledGroup},
             {"S-1-5-32-544", linkedAdministrators},
             {"S-1-5-32-545", kEnabledGroup}},
            information);
        return Answer(groups.data(), static_cast<DWORD>(groups.size()), information, length,
                      needed);
    }
    if (token != kToken || m_openTokens == 0)
        return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (kind == TokenGroups) {
        std::vector<BYTE> groups = TokenGroupsFor(
            {{"S-1-1-0", kEnabledGroup}, {interactive ? "S-1-5-4" : "S-1-5-3", kEnabledGroup}},
            information);
        return Answer(groups.data(), static_cast<DWORD>(groups.size()), information, length,
                      needed);
    }
    if (kind == TokenElevationType) {
        if (elevationType == 0)  // before Vista
            return Fail(ERROR_INVALID_PARAMETER, FALSE);
        return Answer(&elevationType, sizeof elevationType, information, length, needed);
    }
    if (kind == TokenLinkedToken) {
        if (Injected("TokenLinkedToken"))
            return FALSE;
        if (elevationType == 0 || elevationType == TokenElevationTypeDefault)
            return Fail(ERROR_NO_SUCH_LOGON_SESSION, FALSE);
        TOKEN_LINKED_TOKEN linked = {kLinkedToken};
        if (!Answer(&linked, sizeof linked, information, length, needed))
            return FALSE;
        ++m_openLinkedTokens;
        return TRUE;
    }
    if (kind != TokenUser)
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    PSID sid = nullptr;
    if (!ConvertStringSidToSidA(installerSid.c_str(), &sid))
        return Fail(ERROR_INVALID_SID, FALSE);
    // A TOKEN_USER with its SID right behind it, the SID pointing into the
    // caller's buffer.
    std::vector<BYTE> user(sizeof(TOKEN_USER) + GetLengthSid(sid));
    memcpy(user.data() + sizeof(TOKEN_USER), sid, GetLengthSid(sid));
    LocalFree(sid);
    TOKEN_USER header = {};
    header.User.Sid = static_cast<BYTE*>(information) + sizeof(TOKEN_USER);
    memcpy(user.data(), &header, sizeof header);
    return Answer(user.data(), static_cast<DWORD>(user.size()), information, length, needed);
}

BOOL FakePlatformApi::CloseHandle(HANDLE handle)
{
    FolderQuery("CloseHandle", "");
    if (m_openFiles.erase(handle))
        return TRUE;
    int* open = handle == kToken ? &m_openTokens : handle == kLinkedToken ? &m_openLinkedTokens
                                                                          : nullptr;
    if (!open || *open == 0) {
        ++m_doubleCloses;
        return Fail(ERROR_INVALID_HANDLE, FALSE);
    }
    --*open;
    return TRUE;
}

SC_HANDLE FakePlatformApi::OpenSCManagerA(const char* machine, const char* database,
                                          DWORD access)
{
    calls.push_back("OpenSCManagerA");
    if (Injected("OpenSCManagerA"))
        return nullptr;
    if (machine || database)
        return Fail(ERROR_INVALID_PARAMETER, SC_HANDLE(nullptr));
    if (managerAccessDenied && access != SC_MANAGER_CONNECT)
        return Fail(ERROR_ACCESS_DENIED, SC_HANDLE(nullptr));
    return NewHandle(Kind::Manager);
}

SC_HANDLE FakePlatformApi::OpenServiceA(SC_HANDLE manager, const char* serviceName,
                                        DWORD access)
{
    (void)access;
    calls.push_back("OpenServiceA");
    if (Injected("OpenServiceA"))
        return nullptr;
    if (!IsOpen(manager, Kind::Manager))
        return Fail(ERROR_INVALID_HANDLE, SC_HANDLE(nullptr));
    if (!serviceRegistered || _stricmp(serviceName, "KESTRAMO") != 0)
        return Fail(ERROR_SERVICE_DOES_NOT_EXIST, SC_HANDLE(nullptr));
    return NewHandle(Kind::Service);
}

SC_HANDLE FakePlatformApi::Create(const char* operation, SC_HANDLE manager,
                                  Creation creation)
{
    calls.push_back(operation);
    if (Injected(operation))
        return nullptr;
    if (!IsOpen(manager, Kind::Manager))
        return Fail(ERROR_INVALID_HANDLE, SC_HANDLE(nullptr));
    if (serviceRegistered)
        return Fail(ERROR_SERVICE_EXISTS, SC_HANDLE(nullptr));
    creations.push_back(creation);
    serviceRegistered = true;
    serviceRunning = false;
    return NewHandle(Kind::Service);
}

SC_HANDLE FakePlatformApi::CreateServiceW(
    SC_HANDLE manager, const wchar_t* serviceName, const wchar_t* displayName, DWORD access,
    DWORD serviceType, DWORD startType, DWORD errorControl, const wchar_t* imagePath,
    const wchar_t* loadOrderGroup, DWORD* tagId, const wchar_t* dependencies,
    const wchar_t* startName, const wchar_t* password)
{
    return Create("CreateServiceW", manager,
                  Creation{Utf8(serviceName), Utf8(displayName), Utf8(imagePath), access,
                           serviceType, startType, errorControl,
                           !loadOrderGroup && !tagId && !dependencies && !startName && !password});
}

BOOL FakePlatformApi::StartServiceA(SC_HANDLE service, DWORD argCount, const char** args)
{
    calls.push_back("StartServiceA");
    if (Injected("StartServiceA"))
        return FALSE;
    if (!IsOpen(service, Kind::Service))
        return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (argCount != 0 || args)
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (serviceRunning)
        return Fail(ERROR_SERVICE_ALREADY_RUNNING, FALSE);
    if (!driverLoads)
        return Fail(ERROR_FILE_NOT_FOUND, FALSE);
    serviceRunning = true;
    return TRUE;
}

BOOL FakePlatformApi::ControlService(SC_HANDLE service, DWORD control,
                                     SERVICE_STATUS* status)
{
    calls.push_back("ControlService");
    if (Injected("ControlService"))
        return FALSE;
    if (!IsOpen(service, Kind::Service))
        return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (control != SERVICE_CONTROL_STOP || !status)
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (!serviceRunning)
        return Fail(ERROR_SERVICE_NOT_ACTIVE, FALSE);
    serviceRunning = false;
    status->dwCurrentState = SERVICE_STOPPED;
    return TRUE;
}

BOOL FakePlatformApi::DeleteService(SC_HANDLE service)
{
    calls.push_back("DeleteService");
    if (Injected("DeleteService"))
        return FALSE;
    if (!IsOpen(service, Kind::Service))
        return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (!serviceRegistered)
        return Fail(ERROR_SERVICE_MARKED_FOR_DELETE, FALSE);
    serviceRegistered = false;
    return TRUE;
}

BOOL FakePlatformApi::QueryServiceStatus(SC_HANDLE service, SERVICE_STATUS* status)
{
    calls.push_back("QueryServiceStatus");
    if (Injected("QueryServiceStatus"))
        return FALSE;
    if (!IsOpen(service, Kind::Service) || !status)
        return Fail(ERROR_INVALID_HANDLE, FALSE);
    *status = SERVICE_STATUS{};
    status->dwServiceType = SERVICE_KERNEL_DRIVER;
    status->dwCurrentState = serviceRunning ? runningState : SERVICE_STOPPED;
    return TRUE;
}

BOOL FakePlatformApi::CloseServiceHandle(SC_HANDLE handle)
{
    auto it = m_handles.find(handle);
    if (it == m_handles.end()) {
        calls.push_back(handle ? "CloseServiceHandle(invalid)" : "CloseServiceHandle(null)");
        return Fail(ERROR_INVALID_HANDLE, FALSE);
    }
    calls.push_back(it->second.kind == Kind::Manager ? "CloseServiceHandle(manager)"
                                                     : "CloseServiceHandle(service)");
    if (!it->second.open) {
        ++m_doubleCloses;
        return Fail(ERROR_INVALID_HANDLE, FALSE);
    }
    it->second.open = false;
    return TRUE;
}

DWORD FakePlatformApi::GetLastError()
{
    if (calls.size() != m_callsAtFolderQuery)
        calls.push_back("GetLastError");
    return m_lastError;
}

void RecordingNoticeSink::ShowNotice(const Notice& notice)
{
    if (notice.wideText)
        shown.push_back(Shown{Utf8(notice.wideText), Utf8(notice.wideCaption),
                              notice.MessageBoxType(), true});
    else
        shown.push_back(Shown{notice.text, notice.caption, notice.MessageBoxType(), false});
    if (m_log)
        m_log->calls.push_back("Notice:" + std::string(notice.caption));
}

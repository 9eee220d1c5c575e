// Helpers for tests that use Wine's real service control manager.
#pragma once

#include <windows.h>

#include <stdlib.h>

#include <string>

// A wait of the tests, `ms` times the factor KESTRAMO_WAIT_SCALE where the
// test run sets one (a machine that emulates the processor); as written
// everywhere else.
inline DWORD ScaledWait(DWORD ms)
{
    static const DWORD scale = [] {
        char text[16];
        DWORD length = GetEnvironmentVariableA("KESTRAMO_WAIT_SCALE", text, sizeof text);
        DWORD value = length > 0 && length < sizeof text ? strtoul(text, nullptr, 10) : 0;
        return value > 1 ? value : 1;
    }();
    return ms * scale;
}

// Polls `condition` every 20 ms until it holds; false after `timeoutMs`
// (scaled).
template <typename F> bool WaitUntil(F condition, DWORD timeoutMs = 5000)
{
    timeoutMs = ScaledWait(timeoutMs);
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(20);
    }
    return true;
}

// Owns one service-manager handle.
class ScHandle {
public:
    explicit ScHandle(SC_HANDLE handle = nullptr) : m_handle(handle) {}
    ~ScHandle()
    {
        if (m_handle)
            ::CloseServiceHandle(m_handle);
    }
    ScHandle(const ScHandle&) = delete;
    ScHandle& operator=(const ScHandle&) = delete;

    SC_HANDLE get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }

private:
    SC_HANDLE m_handle;
};

// Stops and deletes a KESTRAMO service, e.g. one left by a crashed run, and
// waits until the manager no longer knows it. Returns false if it stays.
bool RemoveKestramoService();

bool KestramoServiceExists();

// The service's current state (SERVICE_RUNNING, ...), or 0 if it cannot be
// queried.
DWORD KestramoServiceState();

// Waits up to five seconds for the service to reach `state`.
bool WaitForKestramoState(DWORD state);

// Waits up to five seconds for the manager to forget the service.
bool WaitForKestramoGone();

// Registers KESTRAMO directly through the platform API, as something other
// than the installer would.
bool RegisterKestramoService(const std::string& imagePath);

// The registration's configuration, read back with QueryServiceConfigA.
struct ServiceConfig {
    DWORD serviceType = 0, startType = 0, errorControl = 0;
    std::string imagePath, displayName;
};
bool QueryKestramoConfig(ServiceConfig& config);
// The registration's texts exactly as stored (QueryServiceConfigW).
struct ServiceConfigW {
    std::wstring imagePath, displayName;
};
ServiceConfigW KestramoConfigW();

// Folder of the running test program, with a trailing backslash.
std::string ProgramFolder();

// Runs `commandLine`, waits up to a minute, and returns its exit code
// (0xFFFFFFFF if it could not be started or did not end).
DWORD RunProgram(const std::string& commandLine);

// The Unix name of a path of the prefix; "" where Wine cannot say.
std::string UnixName(const std::wstring& windowsPath);

// Sets the Unix permissions (chmod `mode`) of a file or folder of the
// prefix: Wine derives its owner and DACL from them (0777: Everyone may
// write; 0755: only read and execute).
bool SetUnixMode(const std::string& path, const char* mode);
bool SetUnixMode(const std::wstring& path, const char* mode);

// Makes `link` a Unix symbolic link to `target`, and removes one; both are
// paths of the prefix. Wine shows a link to a folder as a reparse point.
bool MakeUnixLink(const std::string& target, const std::string& link);
bool RemoveUnixLink(const std::string& link);

// The test driver that the build puts beside the test programs.
std::string TestDriverPath();

// A fresh, empty folder below the system's temp folder.
std::string MakeTempFolder(const std::string& name);
bool CopyTestDriverTo(const std::string& folder);
void RemoveFolder(const std::string& folder);

// A fresh folder below the temp folder whose name the ANSI code page may not
// hold, with the test driver in it; removed again with the object.
class WideTempFolder {
public:
    explicit WideTempFolder(const std::wstring& name);
    ~WideTempFolder();
    WideTempFolder(const WideTempFolder&) = delete;
    WideTempFolder& operator=(const WideTempFolder&) = delete;
    const std::wstring& path() const { return m_path; }
    bool ok() const { return m_ok; }

private:
    std::wstring m_path;
    bool m_ok;
};

// Sets the current directory for the life of the object.
class ScopedCurrentDirectory {
public:
    explicit ScopedCurrentDirectory(const std::string& directory);
    explicit ScopedCurrentDirectory(const std::wstring& directory);
    ~ScopedCurrentDirectory();
    bool ok() const { return m_ok; }

private:
    wchar_t m_previous[MAX_PATH];
    bool m_ok;
};

// Runs INSTALL.EXE as a process of its own and drives its windows.
#pragma once

#include <windows.h>

#include <string>

#include "ui_script.h"

class InstallerProcess {
public:
    InstallerProcess() = default;
    ~InstallerProcess();
    InstallerProcess(const InstallerProcess&) = delete;
    InstallerProcess& operator=(const InstallerProcess&) = delete;

    // Starts `exe` in `directory` (empty: this process's current directory)
    // with `arguments` after the program name.
    bool Start(const std::string& exe, const std::string& directory,
               const std::string& arguments = "");

    // Waits for the main dialog to show its status; null if it does not
    // within 20 s.
    HWND WaitForDialog();
    // Waits for a message box owned by the main dialog, reads and dismisses it.
    bool AnswerMessageBox(ui::MessageBoxSeen& seen);
    // Waits for the process to end; false if it does not within 20 s.
    bool WaitForExit(DWORD* exitCode = nullptr);

    DWORD ProcessId() const { return m_info.dwProcessId; }
    HWND Dialog() const { return m_dialog; }

private:
    PROCESS_INFORMATION m_info = {};
    HWND m_dialog = nullptr;
    HWND m_lastBox = nullptr;
};

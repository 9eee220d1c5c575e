#include "installer_process.h"

#include "scm_test_util.h"

namespace {

const wchar_t kCaption[] = L"KESTRAMO 核心驱动程序安装";
const int kStatusField = 1000;
const DWORD kTimeoutMs = 20000;

}  // namespace

InstallerProcess::~InstallerProcess()
{
    if (m_info.hProcess) {
        if (WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(m_info.hProcess, 1);
        CloseHandle(m_info.hProcess);
        CloseHandle(m_info.hThread);
    }
}

bool InstallerProcess::Start(const std::string& exe, const std::string& directory,
                             const std::string& arguments)
{
    std::string command = "\"" + exe + "\"";
    if (!arguments.empty())
        command += " " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    return CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                          directory.empty() ? nullptr : directory.c_str(), &startup,
                          &m_info) != 0;
}

HWND InstallerProcess::WaitForDialog()
{
    // The dialog can be found before it has filled in its status field.
    WaitUntil([&] {
        m_dialog = ui::FindDialog(kCaption, m_info.dwProcessId);
        return m_dialog && !ui::ItemText(m_dialog, kStatusField).empty();
    }, kTimeoutMs);
    return m_dialog;
}

bool InstallerProcess::AnswerMessageBox(ui::MessageBoxSeen& seen)
{
    HWND box = nullptr;
    if (!WaitUntil([&] {
            box = ui::FindOwnedDialog(m_dialog);
            return box && box != m_lastBox;
        }, kTimeoutMs))
        return false;
    // Let it finish laying out before reading it.
    Sleep(50);
    seen = ui::ReadMessageBox(box);
    ui::DismissMessageBox(box);
    m_lastBox = box;
    return true;
}

bool InstallerProcess::WaitForExit(DWORD* exitCode)
{
    if (WaitForSingleObject(m_info.hProcess, ScaledWait(kTimeoutMs)) != WAIT_OBJECT_0)
        return false;
    if (exitCode)
        GetExitCodeProcess(m_info.hProcess, exitCode);
    return true;
}

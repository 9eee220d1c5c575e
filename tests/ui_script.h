// Drives modal windows of this thread from a thread timer: a script of steps,
// each retried on every tick until it reports done, played while the code
// under test sits in its modal loop.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <string>

class UiScript {
public:
    using Step = std::function<bool()>;  // true: done, go on; false: retry next tick

    UiScript& Then(Step step)
    {
        m_steps.push_back(std::move(step));
        return *this;
    }

    // Calls `modal`, which runs a modal loop, while the steps play. If they
    // have not all finished after `timeoutMs`, every window of this thread
    // is ended and TimedOut() is true.
    INT_PTR Run(const std::function<INT_PTR()>& modal, DWORD timeoutMs = 15000);

    bool TimedOut() const { return m_timedOut; }
    size_t StepsLeft() const { return m_steps.size(); }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    void OnTick();

    std::deque<Step> m_steps;
    DWORD m_deadline = 0;
    bool m_timedOut = false;
    bool m_inStep = false;
};

// Helpers for reading and pressing windows the way a person would see them.
namespace ui {

// A visible top-level dialog window (class #32770) with this caption, of
// the given process (0: this one).
HWND FindDialog(const wchar_t* caption, DWORD processId = 0);
// A visible dialog window owned by `owner`, or null.
HWND FindOwnedDialog(HWND owner);
bool AnyWindowOfThisThread();
bool AnyWindowOfProcess(DWORD processId);

std::wstring Text(HWND window);
std::wstring ItemText(HWND dialog, int id);
bool ItemEnabled(HWND dialog, int id);
LONG ItemStyle(HWND dialog, int id);

// Presses a button as the mouse would: only when it is enabled.
void Click(HWND dialog, int id);

enum class BoxIcon { None, Information, Error, Other };
struct MessageBoxSeen {
    std::wstring text;
    std::wstring caption;
    BoxIcon icon = BoxIcon::None;
    HWND owner = nullptr;
    int buttons = 0;
};
MessageBoxSeen ReadMessageBox(HWND box);
void DismissMessageBox(HWND box);

}  // namespace ui

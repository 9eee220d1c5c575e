#include "wide_text.h"

#include <string.h>

namespace {

UINT g_codePage = 0;

template <typename F> void Lookup(HMODULE module, const char* name, F& function)
{
    function = reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

}  // namespace

void AfxUseWideTexts(UINT codePage)
{
    g_codePage = codePage;
}

UINT AfxWideTextsCodePage()
{
    return g_codePage;
}

const WideUser32& AfxWideUser32()
{
    static const WideUser32 none = {};
    static WideUser32 found = {};
    static bool looked = false;
    if (!g_codePage)
        return none;
    if (!looked) {
        looked = true;
        if (HMODULE user32 = ::GetModuleHandleA("user32.dll")) {
            Lookup(user32, "DialogBoxParamW", found.dialogBoxParam);
            Lookup(user32, "SetWindowTextW", found.setWindowText);
            Lookup(user32, "GetWindowTextW", found.getWindowText);
            Lookup(user32, "GetWindowTextLengthW", found.getWindowTextLength);
            Lookup(user32, "MessageBoxW", found.messageBox);
            Lookup(user32, "AppendMenuW", found.appendMenu);
            Lookup(user32, "LoadStringW", found.loadString);
        }
    }
    return found;
}

CWideText::CWideText(const char* text) : m_text(nullptr)
{
    if (!text || !g_codePage)
        return;
    // A multibyte text never has more UTF-16 units than bytes.
    const int capacity = static_cast<int>(strlen(text)) + 1;
    m_text = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, capacity * sizeof(wchar_t)));
    if (m_text &&
        ::MultiByteToWideChar(g_codePage, MB_ERR_INVALID_CHARS, text, -1, m_text, capacity) == 0) {
        HeapFree(GetProcessHeap(), 0, m_text);
        m_text = nullptr;
    }
}

CWideText::~CWideText()
{
    if (m_text)
        HeapFree(GetProcessHeap(), 0, m_text);
}

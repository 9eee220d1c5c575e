#include "framework.h"

#include <string.h>

namespace {

char g_empty[1] = "";

}  // namespace

CString::CString() : m_text(g_empty), m_length(0) {}

CString::CString(const char* text) : CString()
{
    *this = text;
}

CString::CString(const CString& other) : CString()
{
    Assign(other.m_text, other.m_length);
}

CString::~CString()
{
    Release();
}

CString& CString::operator=(const CString& other)
{
    if (this != &other)
        Assign(other.m_text, other.m_length);
    return *this;
}

CString& CString::operator=(const char* text)
{
    Assign(text ? text : "", text ? static_cast<int>(strlen(text)) : 0);
    return *this;
}

void CString::Release()
{
    if (m_text != g_empty)
        HeapFree(GetProcessHeap(), 0, m_text);
    m_text = g_empty;
    m_length = 0;
}

void CString::Assign(const char* text, int length)
{
    if (length == 0) {
        Release();
        return;
    }
    char* copy = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, length + 1));
    if (!copy) {
        Release();  // out of memory: an empty string, never a dangling one
        return;
    }
    memcpy(copy, text, length);
    copy[length] = '\0';
    Release();
    m_text = copy;
    m_length = length;
}

BOOL CString::LoadString(UINT nID)
{
    char buffer[256];
    int length = 0;
    if (AfxWideUser32().loadString) {
        // As written in the resource, held in the wide texts' code page.
        wchar_t wide[128];
        int wideLength = AfxWideUser32().loadString(AfxGetResourceHandle(), nID, wide, 128);
        if (wideLength > 0)
            length = ::WideCharToMultiByte(AfxWideTextsCodePage(), 0, wide, wideLength, buffer,
                                           sizeof buffer - 1, nullptr, nullptr);
    }
    if (length <= 0)
        length = ::LoadStringA(AfxGetResourceHandle(), nID, buffer, sizeof buffer);
    Assign(buffer, length > 0 ? length : 0);
    return length > 0;
}

void CString::GetWindowTextFrom(HWND hWnd)
{
    const WideUser32& wide = AfxWideUser32();
    if (wide.getWindowText && wide.getWindowTextLength) {
        // Read as UTF-16 and held in the wide texts' code page.
        int capacity = wide.getWindowTextLength(hWnd) + 1;
        wchar_t* text = static_cast<wchar_t*>(
            HeapAlloc(GetProcessHeap(), 0, capacity * (sizeof(wchar_t) + 3)));
        if (!text) {
            Release();
            return;
        }
        char* bytes = reinterpret_cast<char*>(text + capacity);  // three bytes a unit at most
        int length = wide.getWindowText(hWnd, text, capacity);
        length = length > 0 ? ::WideCharToMultiByte(AfxWideTextsCodePage(), 0, text, length,
                                                    bytes, capacity * 3, nullptr, nullptr)
                            : 0;
        Assign(bytes, length > 0 ? length : 0);
        HeapFree(GetProcessHeap(), 0, text);
        return;
    }

    int capacity = ::GetWindowTextLengthA(hWnd) + 1;
    char* buffer = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, capacity));
    if (!buffer) {
        Release();
        return;
    }
    int length = ::GetWindowTextA(hWnd, buffer, capacity);
    Assign(buffer, length > 0 ? length : 0);
    HeapFree(GetProcessHeap(), 0, buffer);
}

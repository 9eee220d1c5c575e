#include "text_route.h"

#include "driver_service.h"

#include <string.h>

TextRoute ChooseTextRoute(DWORD platformId, UINT ansiCodePage, bool gbkInstalled)
{
    if (platformId != VER_PLATFORM_WIN32_NT || ansiCodePage == kTextsCodePage || !gbkInstalled)
        return TextRoute::Ansi;
    return TextRoute::Wide;
}

TextRoute SystemTextRoute(PlatformApi& api, DWORD platformId)
{
    return ChooseTextRoute(platformId, api.GetACP(), api.IsValidCodePage(kTextsCodePage) != 0);
}

int ConvertText(PlatformApi& api, const char* text, wchar_t* wide, int capacity)
{
    int converted = 0;
    if (SystemTextRoute(api, VER_PLATFORM_WIN32_NT) == TextRoute::Wide)
        converted = api.MultiByteToWideChar(kTextsCodePage, MB_ERR_INVALID_CHARS, text, -1, wide,
                                            capacity);
    if (converted == 0)
        converted = api.MultiByteToWideChar(CP_ACP, 0, text, -1, wide, capacity);
    return converted;
}

WideText::WideText(PlatformApi& api, const char* text) : m_text(nullptr)
{
    // A multibyte text never has more UTF-16 units than bytes.
    const int capacity = static_cast<int>(strlen(text)) + 1;
    m_text = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, capacity * sizeof(wchar_t)));
    if (m_text && ConvertText(api, text, m_text, capacity) == 0) {
        HeapFree(GetProcessHeap(), 0, m_text);
        m_text = nullptr;
    }
}

WideText::~WideText()
{
    if (m_text)
        HeapFree(GetProcessHeap(), 0, m_text);
}

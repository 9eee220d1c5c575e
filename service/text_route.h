// Which platform interfaces the texts take. They are held once, as their
// code-page-936 (GBK) bytes; a system whose ANSI code page is another one
// would read those bytes as other characters.
#pragma once

#include "platform_api.h"

enum class TextRoute {
    Ansi,  // the ANSI ("A") interfaces, with the GBK bytes as they are
    Wide,  // the wide ("W") interfaces, with the texts converted from 936
};

// Wide on an NT-family system whose ANSI code page is not 936, where code
// page 936 is installed; Ansi on 936 itself, on 95/98/Me, and where 936 is
// not installed (the texts show as today there).
TextRoute ChooseTextRoute(DWORD platformId, UINT ansiCodePage, bool gbkInstalled);

// The route on this system, asked of `api`, for a system of `platformId`.
TextRoute SystemTextRoute(PlatformApi& api, DWORD platformId);

// One of our texts (code page 936) in UTF-16, as this system shows it:
// converted from 936 on the wide route; elsewhere, and where that fails, its
// bytes read in the ANSI code page, as the ANSI interfaces read them (on 936
// itself, the same). Null only where no memory is left.
class WideText {
public:
    WideText(PlatformApi& api, const char* text);
    ~WideText();
    WideText(const WideText&) = delete;
    WideText& operator=(const WideText&) = delete;

    operator const wchar_t*() const { return m_text; }

private:
    wchar_t* m_text;
};

// Converts `text` as WideText does into `wide`, which holds `capacity`
// characters; the characters written, NUL included, or 0.
int ConvertText(PlatformApi& api, const char* text, wchar_t* wide, int capacity);

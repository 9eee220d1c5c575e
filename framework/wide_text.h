// How the framework hands its texts to the platform. By default, to the ANSI
// ("A") interfaces as they are. After AfxUseWideTexts(codePage) the framework
// holds its texts as multibyte text of that code page and shows them through
// the wide ("W") interfaces, converted: dialogs are created as Unicode
// dialogs, window texts, message boxes and menu items are converted, string
// resources are loaded as UTF-16. The wide functions are looked up at run
// time, as Windows 95 lacks some of them; where one is missing, or a text
// cannot be converted, that text takes the ANSI interface.
#pragma once

#include <windows.h>

// 0: the ANSI interfaces (the default).
void AfxUseWideTexts(UINT codePage);
UINT AfxWideTextsCodePage();

// USER32's wide functions the framework uses; a null member where this
// system has none, all of them null on the ANSI route. Each member has the
// type of the header's own declaration, calling convention included.
struct WideUser32 {
    decltype(&::DialogBoxParamW) dialogBoxParam;
    decltype(&::SetWindowTextW) setWindowText;
    decltype(&::GetWindowTextW) getWindowText;
    decltype(&::GetWindowTextLengthW) getWindowTextLength;
    decltype(&::MessageBoxW) messageBox;
    decltype(&::AppendMenuW) appendMenu;
    decltype(&::LoadStringW) loadString;
};
const WideUser32& AfxWideUser32();

// A framework text in UTF-16; null when `text` is null, when texts take the
// ANSI interfaces, or when it cannot be converted.
class CWideText {
public:
    explicit CWideText(const char* text);
    ~CWideText();
    CWideText(const CWideText&) = delete;
    CWideText& operator=(const CWideText&) = delete;

    operator const wchar_t*() const { return m_text; }

private:
    wchar_t* m_text;
};

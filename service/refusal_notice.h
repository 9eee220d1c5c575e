// The box of the program's own refusal to register the driver: which place
// failed, why, and what to do, with the code. It is composed in UTF-16, since
// the place's name may be one the ANSI code page cannot hold.
#pragma once

#include "actions.h"
#include "driver_service.h"
#include "platform_api.h"
#include "text_route.h"
#include "verdict.h"

class RefusalNotice {
public:
    // `imagePath` is the driver's path the verdict's place is part of; null
    // where there is none (the current directory could not be read).
    RefusalNotice(PlatformApi& api, const FolderVerdict& verdict, const wchar_t* imagePath);
    ~RefusalNotice();
    RefusalNotice(const RefusalNotice&) = delete;
    RefusalNotice& operator=(const RefusalNotice&) = delete;

    // The caption "致命错误" and the error icon, as for every failed install;
    // the text and caption in UTF-16 (null where no memory was left: then the
    // heading alone, through the texts' own route).
    Notice notice() const;

private:
    void Append(PlatformApi& api, const char* text);
    void Append(const wchar_t* text, size_t length);

    char m_heading[kNoticeBufferSize];
    wchar_t* m_text;
    size_t m_length;
    size_t m_capacity;
    WideText m_caption;
};

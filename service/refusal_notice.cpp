#include "refusal_notice.h"

#include "judge.h"

#include <string.h>

namespace {

// What the box says of a refusal: why, and what to do (null: nothing more
// than the place and the code, for a query that failed).
struct Wording {
    const char* reason;
    const char* action;
};

Wording WordingOf(Refusal refusal)
{
    const RefusalTexts& t = kRefusalTexts;
    switch (refusal) {
    case Refusal::DirectoryUnreadable:
        return {t.directoryUnreadable, nullptr};
    case Refusal::TokenUnreadable:
        return {t.tokenUnreadable, nullptr};
    case Refusal::PlaceUnreadable:
        return {t.placeUnreadable, nullptr};
    case Refusal::NotLocalDisk:
        return {t.notLocalDisk, t.copyUnderProgramFiles};
    case Refusal::NotWindowsDrive:
        return {t.notWindowsDrive, t.copyUnderProgramFiles};
    case Refusal::NameEndsInSpaceOrDot:
        return {t.nameEndsInSpaceOrDot, t.copyUnderProgramFiles};
    case Refusal::Link:
        return {t.link, t.copyUnderProgramFiles};
    default:
        return {t.othersCanChange, t.copyUnderProgramFiles};
    }
}

}  // namespace

RefusalNotice::RefusalNotice(PlatformApi& api, const FolderVerdict& verdict,
                             const wchar_t* imagePath)
    : m_text(nullptr), m_length(0), m_capacity(0), m_caption(api, kTexts.captionInstallFailure)
{
    FormatErrorNotice(m_heading, kRefusalTexts.heading, verdict.code);
    Wording wording = WordingOf(verdict.refusal);

    // The place as a person would type it: the driver file in a drive root
    // has one separator before its name, not the two it is registered with.
    const wchar_t* place = imagePath;
    size_t placeLength = imagePath ? verdict.placeLength : 0;
    size_t doubled = DoubledSeparator(place, placeLength);

    // A multibyte text never has more UTF-16 units than bytes; four line
    // breaks and the NUL.
    size_t capacity = strlen(m_heading) + strlen(kRefusalTexts.place) + placeLength +
                      strlen(wording.reason) + (wording.action ? strlen(wording.action) : 0) + 5;
    m_text = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, capacity * sizeof(wchar_t)));
    if (!m_text)
        return;
    m_capacity = capacity;
    m_text[0] = L'\0';

    Append(api, m_heading);
    Append(L"\n\n", 2);
    if (placeLength) {
        Append(api, kRefusalTexts.place);
        if (doubled) {
            Append(place, doubled);
            Append(place + doubled + 1, placeLength - doubled - 1);
        } else {
            Append(place, placeLength);
        }
        Append(L"\n", 1);
    }
    Append(api, wording.reason);
    if (wording.action) {
        Append(L"\n", 1);
        Append(api, wording.action);
    }
}

RefusalNotice::~RefusalNotice()
{
    if (m_text)
        HeapFree(GetProcessHeap(), 0, m_text);
}

void RefusalNotice::Append(PlatformApi& api, const char* text)
{
    int written = ConvertText(api, text, m_text + m_length, static_cast<int>(m_capacity - m_length));
    if (written > 0)
        m_length += written - 1;
    m_text[m_length] = L'\0';
}

void RefusalNotice::Append(const wchar_t* text, size_t length)
{
    memcpy(m_text + m_length, text, length * sizeof(wchar_t));
    m_length += length;
    m_text[m_length] = L'\0';
}

Notice RefusalNotice::notice() const
{
    Notice notice = {m_heading, kTexts.captionInstallFailure, MB_ICONERROR};
    if (m_text && m_caption) {
        notice.wideText = m_text;
        notice.wideCaption = m_caption;
    }
    return notice;
}

#include "dialog_template.h"

namespace {

class Reader {
public:
    Reader(const void* data, size_t size)
        : m_data(static_cast<const BYTE*>(data)), m_size(size)
    {
    }

    bool ok() const { return m_ok; }

    template <typename T> T Get()
    {
        T value{};
        if (m_pos + sizeof(T) > m_size) {
            m_ok = false;
            return value;
        }
        memcpy(&value, m_data + m_pos, sizeof(T));
        m_pos += sizeof(T);
        return value;
    }

    std::wstring String()
    {
        std::wstring text;
        for (WORD c = Get<WORD>(); m_ok && c; c = Get<WORD>())
            text += static_cast<wchar_t>(c);
        return text;
    }

    TemplateString StringOrOrdinal()
    {
        TemplateString s;
        WORD first = Get<WORD>();
        if (first == 0xFFFF) {
            s.isOrdinal = true;
            s.ordinal = Get<WORD>();
        } else if (first != 0) {
            s.text += static_cast<wchar_t>(first);
            s.text += String();
        }
        return s;
    }

    void AlignDword() { m_pos = (m_pos + 3) & ~size_t(3); }
    void Skip(size_t n) { m_pos += n; }

private:
    const BYTE* m_data;
    size_t m_size;
    size_t m_pos = 0;
    bool m_ok = true;
};

}  // namespace

bool ParseDialogTemplate(const void* data, size_t size, DialogTemplate& out)
{
    Reader r(data, size);
    WORD first = r.Get<WORD>();
    WORD second = r.Get<WORD>();
    out.extended = first == 1 && second == 0xFFFF;
    WORD count = 0;
    if (out.extended) {
        out.version = first;
        out.signature = second;
        out.helpId = r.Get<DWORD>();
        out.exStyle = r.Get<DWORD>();
        out.style = r.Get<DWORD>();
    } else {
        out.style = MAKELONG(first, second);
        out.exStyle = r.Get<DWORD>();
    }
    count = r.Get<WORD>();
    out.x = r.Get<short>();
    out.y = r.Get<short>();
    out.cx = r.Get<short>();
    out.cy = r.Get<short>();
    out.menu = r.StringOrOrdinal();
    out.windowClass = r.StringOrOrdinal();
    out.caption = r.String();
    if (out.style & DS_SETFONT) {
        out.pointSize = r.Get<WORD>();
        if (out.extended) {
            out.weight = r.Get<WORD>();
            out.italic = r.Get<BYTE>();
            out.charset = r.Get<BYTE>();
        }
        out.typeface = r.String();
    }
    for (WORD i = 0; i < count && r.ok(); ++i) {
        r.AlignDword();
        DialogItem item;
        if (out.extended) {
            item.helpId = r.Get<DWORD>();
            item.exStyle = r.Get<DWORD>();
            item.style = r.Get<DWORD>();
        } else {
            item.style = r.Get<DWORD>();
            item.exStyle = r.Get<DWORD>();
        }
        item.x = r.Get<short>();
        item.y = r.Get<short>();
        item.cx = r.Get<short>();
        item.cy = r.Get<short>();
        item.id = out.extended ? r.Get<DWORD>() : r.Get<WORD>();
        item.windowClass = r.StringOrOrdinal();
        item.title = r.StringOrOrdinal();
        item.extraBytes = r.Get<WORD>();
        r.Skip(item.extraBytes);
        out.items.push_back(item);
    }
    return r.ok();
}

bool ResourceBytes(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language, const void** data,
                   DWORD* size)
{
    HRSRC resource = FindResourceExW(module, type, name, language);
    if (!resource)
        return false;
    HGLOBAL loaded = LoadResource(module, resource);
    *data = loaded ? LockResource(loaded) : nullptr;
    *size = SizeofResource(module, resource);
    return *data != nullptr;
}

namespace {

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR list)
{
    reinterpret_cast<std::vector<WORD>*>(list)->push_back(language);
    return TRUE;
}

BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR list)
{
    reinterpret_cast<std::vector<ULONG_PTR>*>(list)->push_back(reinterpret_cast<ULONG_PTR>(name));
    return TRUE;
}

}  // namespace

std::vector<WORD> ResourceLanguages(HMODULE module, LPCWSTR type, LPCWSTR name)
{
    std::vector<WORD> languages;
    EnumResourceLanguagesW(module, type, name, CollectLanguage,
                           reinterpret_cast<LONG_PTR>(&languages));
    return languages;
}

std::vector<ULONG_PTR> ResourceIds(HMODULE module, LPCWSTR type)
{
    std::vector<ULONG_PTR> ids;
    EnumResourceNamesW(module, type, CollectName, reinterpret_cast<LONG_PTR>(&ids));
    return ids;
}

// Reads a dialog template (classic DIALOG or extended DIALOGEX) back from its
// resource bytes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct TemplateString {
    bool isOrdinal = false;
    WORD ordinal = 0;
    std::wstring text;
};

struct DialogItem {
    DWORD helpId = 0, exStyle = 0, style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    DWORD id = 0;
    TemplateString windowClass, title;
    WORD extraBytes = 0;
};

struct DialogTemplate {
    bool extended = false;
    WORD version = 0, signature = 0;
    DWORD helpId = 0, exStyle = 0, style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    TemplateString menu, windowClass;
    std::wstring caption;
    WORD pointSize = 0, weight = 0;
    BYTE italic = 0, charset = 0;
    std::wstring typeface;
    std::vector<DialogItem> items;
};

// Parses `size` bytes; false if they run out before the template ends.
bool ParseDialogTemplate(const void* data, size_t size, DialogTemplate& out);

// The bytes of resource `type`/`name` in exactly language `language`.
bool ResourceBytes(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language, const void** data,
                   DWORD* size);

// Every language a resource exists in.
std::vector<WORD> ResourceLanguages(HMODULE module, LPCWSTR type, LPCWSTR name);

// The numeric ids of every resource of `type`.
std::vector<ULONG_PTR> ResourceIds(HMODULE module, LPCWSTR type);

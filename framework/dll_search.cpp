#include "dll_search.h"

#include <windows.h>

void HardenDllSearchPath()
{
    HMODULE kernel32 = ::GetModuleHandleA("kernel32.dll");
    if (!kernel32)
        return;

    // Windows 8, or Vista and 7 with KB2533623.
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesFn)(DWORD);
    auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(::GetProcAddress(kernel32, "SetDefaultDllDirectories")));
    if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return;

    // Older systems (XP SP1 on): at least take the current folder out of the
    // search order.
    typedef BOOL(WINAPI * SetDllDirectoryFn)(LPCSTR);
    auto setDirectory = reinterpret_cast<SetDllDirectoryFn>(
        reinterpret_cast<void*>(::GetProcAddress(kernel32, "SetDllDirectoryA")));
    if (setDirectory)
        setDirectory("");
}

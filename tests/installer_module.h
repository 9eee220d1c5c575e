#pragma once

#include <windows.h>

// The module whose resources are under test.
inline HMODULE InstallerModule()
{
    return GetModuleHandleW(nullptr);
}

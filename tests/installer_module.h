#pragma once

#include <windows.h>

#include <string.h>

// INSTALL.EXE, beside the test program, loaded for its resources only.
inline HMODULE InstallerModule()
{
    static HMODULE module = [] {
        char path[MAX_PATH];
        DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
        char* name = path + length;
        while (name > path && name[-1] != '\\')
            --name;
        strcpy(name, "INSTALL.EXE");
        return LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }();
    return module;
}

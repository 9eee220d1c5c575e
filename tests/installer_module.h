#pragma once

#include "scm_test_util.h"

// INSTALL.EXE, beside the test program, loaded for its resources only.
inline HMODULE InstallerModule()
{
    static HMODULE module =
        LoadLibraryExA((ProgramFolder() + "INSTALL.EXE").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    return module;
}

// What the program's entry point hands to AfxWinMain: the command line after
// the program name, and the show state the starter asked for.
#pragma once

#include <windows.h>

// The rest of `commandLine` after the program name, quoted or not, and the
// blanks (spaces, tabs) after it; empty when nothing follows.
const char* SkipProgramName(const char* commandLine);

// The show state in `startup` when it carries one, else SW_SHOWDEFAULT.
int StartupShowState(const STARTUPINFOA& startup);

// A program on the installer's framework that does nothing but try to load a
// DLL planted beside it by bare name, after the framework's start-up ran.
// Exit code: 1 if the planted DLL was loaded by name, 2 if it cannot be
// loaded even by full path (no contrast), 0 when the start-up protected it.
#include "framework.h"

#include <string.h>

CWinApp theProbeApp;

int main()
{
    if (::LoadLibraryA("planted_startup.dll"))
        return 1;

    char path[MAX_PATH];
    DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    char* name = path + length;
    while (name > path && name[-1] != '\\')
        --name;
    strcpy(name, "planted_startup.dll");
    return ::LoadLibraryA(path) ? 0 : 2;
}

// A program on the installer's framework and entry point that does nothing
// but try to load a DLL planted beside it by bare name, once the start-up ran.
// Exit status: 1 if the planted DLL was loaded by name, 2 if it cannot be
// loaded even by full path (no contrast), 0 when the start-up protected it.
#include "framework.h"

#include <string.h>

namespace {

class CProbeApp : public CWinApp {
public:
    BOOL InitInstance() override
    {
        m_nExitCode = Probe();
        return FALSE;
    }

private:
    static int Probe()
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
};

CProbeApp theProbeApp;

}  // namespace

// The program's entry point, in place of the C runtime's start-up code, which
// is not linked: it brings instructions older processors lack and imports the
// program does not need. It does for the framework what that code did: the
// DLL search restriction first of all, the multibyte code page, the static
// objects in their order, the command line and show state for AfxWinMain, the
// static objects' destruction, and the exit status AfxWinMain returns.
//
// Compiled into each program that uses it, linked with -nostartfiles.
#include "dll_search.h"
#include "framework.h"
#include "startup.h"

#include <mbctype.h>

// Bounds of the static constructors' table the linker gathers: a marker, the
// constructors (run from the last to the first, so that those of a lower
// init_priority come first), a null.
extern "C" void (*__CTOR_LIST__[])();

namespace {

// The static objects' destructors, registered as their construction ends.
void (*g_exitFunctions[32])();
int g_exitCount = 0;

void ConstructStaticObjects()
{
    int count = 0;
    while (__CTOR_LIST__[count + 1])
        ++count;
    for (int i = count; i >= 1; --i)
        __CTOR_LIST__[i]();
}

void DestroyStaticObjects()
{
    while (g_exitCount > 0)
        g_exitFunctions[--g_exitCount]();
}

}  // namespace

// The compiler registers each static object's destructor here.
extern "C" int atexit(void (*function)())
{
    if (g_exitCount == static_cast<int>(sizeof g_exitFunctions / sizeof g_exitFunctions[0]))
        return -1;
    g_exitFunctions[g_exitCount++] = function;
    return 0;
}

extern "C" void WinMainCRTStartup()
{
    HardenDllSearchPath();
    _setmbcp(_MB_CP_ANSI);
    ConstructStaticObjects();

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    ::GetStartupInfoA(&startup);
    // AfxWinMain keeps the pointer but never writes through it.
    char* arguments = const_cast<char*>(SkipProgramName(::GetCommandLineA()));
    int exitCode = AfxWinMain(::GetModuleHandleA(nullptr), nullptr, arguments,
                              StartupShowState(startup));

    DestroyStaticObjects();
    ::ExitProcess(static_cast<UINT>(exitCode));
}

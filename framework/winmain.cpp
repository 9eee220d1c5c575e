// The program's entry point. The C runtime has already skipped the program
// name on the command line and taken the show state from the start-up
// information (SW_SHOWDEFAULT when it carries none).
#include "framework.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow)
{
    return AfxWinMain(hInstance, hPrevInstance, lpCmdLine, nCmdShow);
}

// win_main.cpp -- entry point of the meadow demo on Windows.
#include "platform/win32/app_shell.h"

// The command line and the show-window value are not used.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    return RunApplication(instance);
}

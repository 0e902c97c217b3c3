// win_main.cpp -- entry point of the meadow demo on Windows.
#include <windows.h>

#include "app/app_loop.h"

// The command line and the show-window value are not used.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    return RunApplication(instance);
}

// app_shell.h -- the Win32 shell: what it adds to the shell calls of platform/shell.h.
#pragma once

#include <windows.h>

#include "platform/shell.h"

// The full-screen toggle message the window procedure carries out.
constexpr UINT ToggleMessage = WM_USER + 1;

bool SwitchDisplayMode(int width, int height, int bitsPerPixel);

// The AppWindow a window carries in its user data, set when the window is created.
AppWindow *GetWindowRecord(HWND hWnd);
void SetWindowRecord(HWND hWnd, void *window);

LRESULT CALLBACK AppWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// app_shell.h -- the Win32 shell: window class, window and context lifecycle, window procedure.
#pragma once

#include <windows.h>

#include "app/app_window.h"

// The full-screen toggle message the window procedure carries out.
constexpr UINT ToggleMessage = WM_USER + 1;

bool RegisterAppClass(AppClass *appClass);
bool OpenAppWindow(AppWindow *window);
bool CloseAppWindow(AppWindow *window);
bool SwitchDisplayMode(int width, int height, int bitsPerPixel);

// The AppWindow a window carries in its user data, set when the window is created.
AppWindow *GetWindowRecord(HWND hWnd);
void SetWindowRecord(HWND hWnd, void *window);

LRESULT CALLBACK AppWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// Runs the whole program from the entry point; returns the process exit code.
int RunApplication(HINSTANCE instance);

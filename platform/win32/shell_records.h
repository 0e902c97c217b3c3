// shell_records.h -- the Win32 shell's own handles in the window class and window records.
#pragma once

// The handles as windows.h declares them (STRICT), so that the portable code that sees these
// records needs no windows.h of its own.
struct HINSTANCE__;
struct HWND__;
struct HDC__;
struct HGLRC__;

typedef HINSTANCE__ *InstanceHandle;

struct WindowHandles {
    HWND__ *window;
    HDC__ *deviceContext;
    HGLRC__ *glContext;
};

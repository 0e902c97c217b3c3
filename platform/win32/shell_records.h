// shell_records.h -- the Win32 shell's window class and window records.
#pragma once

#include <cstdint>

// The handles as windows.h declares them (STRICT), so that the portable code that sees these
// records needs no windows.h of its own.
struct HINSTANCE__;
struct HWND__;
struct HDC__;
struct HGLRC__;
struct KeyState;

struct AppClass {
    HINSTANCE__ *instance;
    const char *className;
};

struct AppWindow {
    KeyState *keys;
    HWND__ *window;
    HDC__ *deviceContext;
    HGLRC__ *glContext;
    AppClass *appClass;
    const char *title;
    int32_t width;
    int32_t height;
    int32_t colourDepth;
    int32_t fullScreen;
    int32_t visible;
    int32_t counterAvailable;
    uint32_t lastTime;
    float secondsPerTick;
};

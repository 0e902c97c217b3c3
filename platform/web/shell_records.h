// shell_records.h -- the web shell's window class and window records: a canvas and its WebGL context.
#pragma once

#include <cstdint>

struct KeyState;

struct AppClass {
    const char *className;
};

struct AppWindow {
    KeyState *keys;
    // The canvas, as a CSS selector, and its WebGL context (0 until the first window opens).
    const char *canvas;
    intptr_t glContext;
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

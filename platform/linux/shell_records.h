// shell_records.h -- the Linux shell's window class and window records, over SDL.
#pragma once

#include <cstdint>

struct SDL_Window;
struct KeyState;

struct AppClass {
    const char *className;
};

struct AppWindow {
    KeyState *keys;
    SDL_Window *window;
    void *glContext;
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

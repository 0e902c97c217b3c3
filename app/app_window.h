// app_window.h -- the records of the application shell: window class, window, key table.
#pragma once

#include <cstdint>

struct SDL_Window;

constexpr int KeyCount = 256;

// One 32-bit down flag per Windows virtual-key code.
struct KeyState {
    int32_t down[KeyCount];
};

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

// The shell's requests, used by the controls and the window procedure.
void RequestQuit(AppWindow *window);
void RequestFullScreenToggle(AppWindow *window);
void SetProjection(int width, int height);

// Unsigned 32-bit tick difference, correct across one wrap of the counter.
float ElapsedMilliseconds(uint32_t now, uint32_t last, float secondsPerTick);

// The process-wide flags of the outer loop.
extern int32_t running;
extern int32_t fullScreenRequest;

// Runs the whole program; returns the process exit code.
int RunApplication();

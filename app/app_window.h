// app_window.h -- the records of the application shell: window class, window, key table, and
// what every platform's shell does alike with them.
#pragma once

#include <cstdint>

constexpr int KeyCount = 256;

// One 32-bit down flag per Windows virtual-key code.
struct KeyState {
    int32_t down[KeyCount];
};

// InstanceHandle and WindowHandles, the platform's own handles: shell_records.h of the platform
// folder the build picks (platform/linux, platform/win32 or platform/web).
#include "shell_records.h"

// The window's fixed defaults, the same on every platform.
constexpr const char *AppClassName = "OpenGL";
constexpr const char *AppWindowTitle = "Halmwind";
constexpr int32_t AppWindowWidth = 800;
constexpr int32_t AppWindowHeight = 600;
constexpr int32_t AppWindowColourDepth = 32;

struct AppClass {
    InstanceHandle instance;
    const char *className;
};

// The fields mean the same on every platform; only `handles` is the platform's.
struct AppWindow {
    KeyState *keys;
    WindowHandles handles;
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

// Zeroes the window record and the key table, then fills in the defaults: the class, the title,
// 800 x 600 at 32 bits, full screen until the user says otherwise.
void InitAppWindow(AppWindow *window, KeyState *keys, AppClass *appClass);

// The shell's requests, used by the controls and the window procedure; each platform posts
// its own messages.
void RequestQuit(AppWindow *window);
void RequestFullScreenToggle(AppWindow *window);

// Viewport and perspective for a client size.
void SetProjection(int width, int height);

// What the window procedure does for each message that every platform has alike.
// A new window is shown: visible, projected at its requested size, no key held.
void ShowAppWindow(AppWindow *window);
// Restored or maximised to a new client size; the requested Width and Height stay.
void ResizeAppWindow(AppWindow *window, int clientWidth, int clientHeight);
void MinimiseAppWindow(AppWindow *window);
// A key message; codes above 255 do not reach the table (false: default processing).
bool SetKey(AppWindow *window, uintptr_t virtualKey, bool down);
// The toggle message: 1 becomes 0, anything else 1.
void FlipFullScreenRequest();
// One frame at time stamp `now` (in the units of Last time): controls, then the drawing.
void RunFrame(AppWindow *window, uint32_t now);

// Unsigned 32-bit tick difference, correct across one wrap of the counter.
float ElapsedMilliseconds(uint32_t now, uint32_t last, float secondsPerTick);

// The process-wide flags of the outer loop.
extern int32_t running;
extern int32_t fullScreenRequest;

// app_window.h -- the records of the application shell: window class, window, key table, and
// what every platform's shell does alike with them.
#pragma once

#include <cstdint>

constexpr int KeyCount = 256;

// Changes of one key that wait for frames: eight quick taps. Further ones are dropped in pairs.
constexpr int MaxQueuedKeyChanges = 16;

// One 32-bit down flag per Windows virtual-key code: what the controls read. Beside it, so that
// no press or release goes unseen by the frames, the window procedure's bookkeeping: whether a
// frame has read the flag since it last changed, and how many changes wait behind it.
struct KeyState {
    int32_t down[KeyCount];
    uint8_t unseen[KeyCount];
    uint8_t queued[KeyCount];
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

// The window and key table of the running pass, stored by the scene initialisation: the controls
// read the keys and make their requests for the window.
extern AppWindow *currentWindow;
extern KeyState *currentKeys;

// The shell's requests, used by the controls and the window procedure: each posts the platform's
// message; the quit request also ends the outer loop.
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
// A key message; codes above 255 do not reach the table (false: default processing). A change
// that comes before any frame has read the last one waits for the next frame, so a press and
// its release between two frames still give one frame with the key down.
bool SetKey(AppWindow *window, uintptr_t virtualKey, bool down);
// After a frame has read the table: each flag with a change waiting takes the next one.
void AdvanceKeyTable(KeyState *keys);
// The toggle message: the full-screen request flips (1 becomes 0, anything else 1) and the
// message loop ends; the outer loop goes on.
void HandleToggleMessage(AppWindow *window);
// True while closing a window that a full-screen window follows.
bool FullScreenFollows();
// One frame at time stamp `now` (in the units of Last time): controls, a look at wind.cg, then
// the drawing.
void RunFrame(AppWindow *window, uint32_t now);

// Unsigned 32-bit tick difference, correct across one wrap of the counter.
float ElapsedMilliseconds(uint32_t now, uint32_t last, float secondsPerTick);

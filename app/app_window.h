// app_window.h -- the records of the application shell: window class, window, key table.
#pragma once

#include <cstdint>

constexpr int KeyCount = 256;

// One 32-bit down flag per Windows virtual-key code.
struct KeyState {
    int32_t down[KeyCount];
};

// AppClass and AppWindow hold the platform's own handles: shell_records.h of the platform folder
// the build picks (platform/linux or platform/win32).
#include "shell_records.h"

// The shell's requests, used by the controls and the window procedure.
void RequestQuit(AppWindow *window);
void RequestFullScreenToggle(AppWindow *window);
void SetProjection(int width, int height);

// Unsigned 32-bit tick difference, correct across one wrap of the counter.
float ElapsedMilliseconds(uint32_t now, uint32_t last, float secondsPerTick);

// The process-wide flags of the outer loop.
extern int32_t running;
extern int32_t fullScreenRequest;

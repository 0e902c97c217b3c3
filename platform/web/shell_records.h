// shell_records.h -- the web shell's own handles in the window class and window records.
#pragma once

#include <cstdint>

// The page's canvas, as a CSS selector: the program is started on it and draws nowhere else.
typedef const char *InstanceHandle;

struct WindowHandles {
    const char *canvas;
    // The canvas's WebGL context: 0 until the first window opens, then kept for every later one.
    intptr_t glContext;
};

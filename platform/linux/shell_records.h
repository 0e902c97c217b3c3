// shell_records.h -- the Linux shell's own handles in the window class and window records.
#pragma once

struct SDL_Window;

// SDL has no instance handle: the class record's is null.
typedef void *InstanceHandle;

struct WindowHandles {
    SDL_Window *window;
    void *glContext;
};

// window_proc.cpp -- the window procedure over SDL events, and the frame pump.
#include <SDL.h>

#include "platform/linux/app_shell.h"
#include "platform/linux/key_codes.h"

uint32_t FrameCounterTicks(uint64_t counter, uint64_t frequency)
{
    // Whole seconds and the remainder apart, so that the product cannot overflow.
    uint64_t seconds = counter / frequency;
    uint64_t rest = counter % frequency;
    return uint32_t(seconds * FrameCounterFrequency + rest * FrameCounterFrequency / frequency);
}

uint32_t FrameCounterNow()
{
    return FrameCounterTicks(SDL_GetPerformanceCounter(), SDL_GetPerformanceFrequency());
}

int KeyTableIndex(int32_t keycode, uint16_t modifiers)
{
    if (IsSystemKey(keycode, modifiers)) {
        return -1;
    }
    int virtualKey = VirtualKeyFromKeycode(keycode);
    return virtualKey > 0 && virtualKey < KeyCount ? virtualKey : -1;
}

void ComposeFrame(AppWindow *window)
{
    RunFrame(window, window->counterAvailable ? FrameCounterNow() : SDL_GetTicks());
}

void PaintFrame(AppWindow *window)
{
    ComposeFrame(window);
    SDL_GL_SwapWindow(window->handles.window);
}

static void HandleWindowEvent(AppWindow *window, const SDL_WindowEvent &event)
{
    int width, height;
    SDL_GL_GetDrawableSize(window->handles.window, &width, &height);
    switch (event.event) {
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        // A size change while minimised leaves the window unseen: the projection only.
        SetProjection(width, height);
        break;
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_MAXIMIZED:
        ResizeAppWindow(window, width, height);
        break;
    case SDL_WINDOWEVENT_MINIMIZED:
        MinimiseAppWindow(window);
        break;
    case SDL_WINDOWEVENT_CLOSE:
        RequestQuit(window);
        break;
    default:
        break;
    }
}

void AppWindowProc(AppWindow *window, const SDL_Event &event)
{
    if (event.type == toggleEventType) {
        HandleToggleMessage(window);
        return;
    }
    switch (event.type) {
    case SDL_WINDOWEVENT:
        // Events of a window closed by an earlier pass are stale.
        if (event.window.windowID == SDL_GetWindowID(window->handles.window)) {
            HandleWindowEvent(window, event.window);
        }
        break;
    case SDL_QUIT:
        RequestQuit(window);
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        int index = KeyTableIndex(event.key.keysym.sym, event.key.keysym.mod);
        if (index >= 0) {
            SetKey(window, uintptr_t(index), event.type == SDL_KEYDOWN);
        }
        break;
    }
    default:
        break;
    }
}

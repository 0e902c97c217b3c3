// window_proc.cpp -- the window procedure over the page's events and the shell's own messages,
// and the frame pump.
#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include "platform/web/app_shell.h"
#include "platform/web/key_codes.h"

uint32_t FrameCounterNow()
{
    // performance.now() in milliseconds, as microsecond ticks; the low 32 bits wrap after 71
    // minutes, once, which the tick difference survives.
    return uint32_t(uint64_t(emscripten_get_now() * 1000.0));
}

bool PageVisible()
{
    EmscriptenVisibilityChangeEvent status;
    return emscripten_get_visibility_status(&status) != EMSCRIPTEN_RESULT_SUCCESS || !status.hidden;
}

void PaintFrame(AppWindow *window)
{
    RunFrame(window, FrameCounterNow());
    // The browser presents the canvas when the animation frame returns: that is the swap.
}

void AppWindowProc(AppWindow *window, ShellEvent event)
{
    switch (event) {
    case ShellEvent::ToggleFullScreen:
        HandleToggleMessage(window);
        break;
    case ShellEvent::Reload:
        // A new pass makes the scene anew from the files the page has written.
        PostEvent(ShellEvent::Quit);
        break;
    case ShellEvent::Quit:
        // The message loop takes it itself.
        break;
    }
}

// WM_KEYDOWN / WM_KEYUP: the key's virtual-key code into the table. Returning true keeps the
// browser from its own use of the key (scrolling, find, help) while the canvas has focus.
static EM_BOOL OnKey(int eventType, const EmscriptenKeyboardEvent *event, void *data)
{
    int index = KeyTableIndex(event->keyCode, event->altKey != 0);
    if (index < 0) {
        // Alt combinations are the browser's (menus, history); F10 is kept from it as on Windows.
        return event->keyCode == 121 && !event->altKey;
    }
    SetKey(static_cast<AppWindow *>(data), uintptr_t(index), eventType == EMSCRIPTEN_EVENT_KEYDOWN);
    return EM_TRUE;
}

// WM_SIZE minimised / restored: a hidden page draws nothing, and the canvas keeps its size.
static EM_BOOL OnVisibility(int, const EmscriptenVisibilityChangeEvent *event, void *data)
{
    AppWindow *window = static_cast<AppWindow *>(data);
    if (event->hidden) {
        MinimiseAppWindow(window);
    } else {
        ResizeAppWindow(window, window->width, window->height);
    }
    return EM_FALSE;
}

void RouteWindowEvents(AppWindow *window)
{
    // Setting a callback again replaces the last one: each window gets the events once.
    const char *canvas = window->handles.canvas;
    emscripten_set_keydown_callback(canvas, window, EM_TRUE, OnKey);
    emscripten_set_keyup_callback(canvas, window, EM_TRUE, OnKey);
    emscripten_set_visibilitychange_callback(window, EM_FALSE, OnVisibility);
}

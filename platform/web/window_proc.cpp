// window_proc.cpp -- the window procedure over the page's events, and the frame pump.
#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include "platform/web/app_shell.h"
#include "platform/web/key_codes.h"
#include "ui/controls.h"
#include "ui/frame.h"

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
    uint32_t now = FrameCounterNow();
    UpdateControls(ElapsedMilliseconds(now, window->lastTime, window->secondsPerTick));
    window->lastTime = now;
    DrawFrame();
    // The browser presents the canvas when the animation frame returns: that is the swap.
}

// WM_KEYDOWN / WM_KEYUP: the key's virtual-key code into the table. Returning true keeps the
// browser from its own use of the key (scrolling, find, help) while the canvas has focus.
static EM_BOOL OnKey(int eventType, const EmscriptenKeyboardEvent *event, void *data)
{
    AppWindow *window = static_cast<AppWindow *>(data);
    int index = KeyTableIndex(event->keyCode, event->altKey != 0);
    if (index < 0) {
        // Alt combinations are the browser's (menus, history); F10 is kept from it as on Windows.
        return event->keyCode == 121 && !event->altKey;
    }
    if (window->keys) {
        window->keys->down[index] = eventType == EMSCRIPTEN_EVENT_KEYDOWN ? 1 : 0;
    }
    return EM_TRUE;
}

// WM_SIZE minimised / restored: a hidden page draws nothing.
static EM_BOOL OnVisibility(int, const EmscriptenVisibilityChangeEvent *event, void *data)
{
    AppWindow *window = static_cast<AppWindow *>(data);
    window->visible = event->hidden ? 0 : 1;
    if (window->visible) {
        SetProjection(window->width, window->height);
    }
    return EM_FALSE;
}

void RouteWindowEvents(AppWindow *window)
{
    // Setting a callback again replaces the last one: each window gets the events once.
    emscripten_set_keydown_callback(window->canvas, window, EM_TRUE, OnKey);
    emscripten_set_keyup_callback(window->canvas, window, EM_TRUE, OnKey);
    emscripten_set_visibilitychange_callback(window, EM_FALSE, OnVisibility);
}

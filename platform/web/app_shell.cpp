// app_shell.cpp -- the canvas as window class, the window and its WebGL context, full screen, and
// the message loop one animation frame at a time.
#include "platform/web/app_shell.h"

#include <emscripten/emscripten.h>
#include <emscripten/html5.h>
#include <gl4esinit.h>

#include "app/messages.h"
#include "platform/gl_access.h"

namespace {

// The message queue: a pass posts at most a quit, a toggle and a reload before the next frame
// reads them; a few more places cover a burst of requests from the page.
constexpr int EventCapacity = 16;
ShellEvent events[EventCapacity];
int eventCount;

// The window opened last, and a count of the windows opened, so that a full-screen refusal that
// arrives late is matched with the window that asked.
AppWindow *pageWindow;
int passNumber;
bool glInitialised;

} // namespace

// --- the page: small calls into its JavaScript ------------------------------------------------

EM_JS(int, PageHasCanvas, (const char *selector), {
    return document.querySelector(UTF8ToString(selector)) ? 1 : 0;
});

EM_JS(int, PageRequestFullScreen, (const char *selector, int pass), {
    const canvas = document.querySelector(UTF8ToString(selector));
    if (!canvas || !canvas.requestFullscreen || document.fullscreenEnabled === false) {
        return 0;
    }
    // The browser answers later; only a refusal needs the program.
    canvas.requestFullscreen().catch(() => Module._HalmwindFullScreenRefused(pass));
    return 1;
});

EM_JS(int, PageIsFullScreen, (const char *selector), {
    return document.fullscreenElement && document.fullscreenElement === document.querySelector(UTF8ToString(selector)) ? 1 : 0;
});

EM_JS(void, PageLeaveFullScreen, (), {
    if (document.fullscreenElement && document.exitFullscreen) {
        document.exitFullscreen().catch(() => {});
    }
});

EM_JS(void, PageShowCursor, (const char *selector, int shown), {
    const canvas = document.querySelector(UTF8ToString(selector));
    if (canvas) {
        canvas.style.cursor = shown ? "" : "none";
    }
});

// gl4es draws into the default framebuffer and asks for its size itself.
static void MainFramebufferSize(int *width, int *height)
{
    *width = pageWindow->width;
    *height = pageWindow->height;
}

// --- the shell calls ---------------------------------------------------------------------------

bool RegisterAppClass(AppClass *appClass)
{
    // The page's canvas is the class: without one there is nothing to open.
    if (!PageHasCanvas(appClass->instance)) {
        ShowShellError("RegisterClassEx Failed!");
        return false;
    }
    return true;
}

void UnregisterAppClass(AppClass *)
{
    // The canvas is the page's; nothing was taken from it.
}

bool SwitchDisplayMode(AppWindow *window, int, int, int)
{
    // The canvas keeps its 800 x 600 drawing buffer; the page scales it to the screen, as the
    // display would show an 800 x 600 mode. A canvas still full screen from the last window is
    // in that mode already.
    const char *canvas = window->handles.canvas;
    return PageIsFullScreen(canvas) != 0 || PageRequestFullScreen(canvas, passNumber) != 0;
}

void FullScreenRefused(AppWindow *window)
{
    // The request flag keeps its value: the next toggle asks for windowed mode.
    ShowShellError("Mode Switch Failed.\nRunning In Windowed Mode.");
    window->fullScreen = 0;
    PageShowCursor(window->handles.canvas, 1);
}

static bool CreateGlContext(WindowHandles *handles, int width, int height)
{
    emscripten_set_canvas_element_size(handles->canvas, width, height);
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    // A double-buffered 8-bit colour buffer with a depth buffer, as the desktop's pixel format.
    attributes.alpha = EM_FALSE;
    attributes.depth = EM_TRUE;
    attributes.stencil = EM_FALSE;
    attributes.antialias = EM_FALSE;
    attributes.majorVersion = 1;
    EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = emscripten_webgl_create_context(handles->canvas, &attributes);
    if (context <= 0) {
        return false;
    }
    if (emscripten_webgl_make_context_current(context) != EMSCRIPTEN_RESULT_SUCCESS) {
        emscripten_webgl_destroy_context(context);
        return false;
    }
    handles->glContext = context;
    if (!glInitialised) {
        set_getmainfbsize(MainFramebufferSize);
        initialize_gl4es();
        glInitialised = true;
    }
    return true;
}

bool OpenAppWindow(AppWindow *window)
{
    passNumber++;
    pageWindow = window;
    WindowHandles *handles = &window->handles;
    handles->canvas = window->appClass->instance;
    // A canvas gives one WebGL context for its life: later windows draw in the first one.
    if (!handles->glContext && !CreateGlContext(handles, window->width, window->height)) {
        return false;
    }
    RouteWindowEvents(window);
    if (window->fullScreen == 1) {
        if (SwitchDisplayMode(window, window->width, window->height, window->colourDepth)) {
            PageShowCursor(handles->canvas, 0);
        } else {
            FullScreenRefused(window);
        }
    }
    ShowAppWindow(window);
    if (!PageVisible()) {
        MinimiseAppWindow(window);
    }
    // Requests left from the previous window belong to it.
    eventCount = 0;

    window->counterAvailable = 1;
    window->lastTime = FrameCounterNow();
    window->secondsPerTick = float(1.0 / double(FrameCounterFrequency));
    return true;
}

bool CloseAppWindow(AppWindow *window)
{
    // The desktop leaves the mode and sets it again for a full-screen successor; a browser
    // that is still leaving refuses the new request, so the canvas stays full screen instead.
    if (window->fullScreen && !FullScreenFollows()) {
        PageLeaveFullScreen();
        PageShowCursor(window->handles.canvas, 1);
    }
    return true;
}

void PostEvent(ShellEvent event)
{
    if (eventCount < EventCapacity) {
        events[eventCount++] = event;
    }
}

void PostShellMessage(AppWindow *, ShellMessage message)
{
    PostEvent(message == ShellMessage::Quit ? ShellEvent::Quit : ShellEvent::ToggleFullScreen);
}

bool RunMessageLoop(AppWindow *window)
{
    // The messages posted since the last frame, in order; one handled may post another.
    for (int i = 0; i < eventCount; i++) {
        if (events[i] == ShellEvent::Quit) {
            eventCount = 0;
            return true;
        }
        AppWindowProc(window, events[i]);
    }
    eventCount = 0;
    // The paint message comes when none is left; a hidden page draws nothing.
    if (window->visible) {
        PaintFrame(window);
    }
    return false;
}

extern "C" EMSCRIPTEN_KEEPALIVE void HalmwindFullScreenRefused(int pass)
{
    // A refusal for a window that has gone since belongs to it.
    if (pass == passNumber && pageWindow->fullScreen == 1) {
        FullScreenRefused(pageWindow);
    }
}

// app_shell.cpp -- entry, canvas and WebGL context lifecycle, full screen, the frame-driven loop.
#include "platform/web/app_shell.h"

#include <cstring>

#include <emscripten/emscripten.h>
#include <emscripten/html5.h>
#include <gl4esinit.h>

#include "platform/gl_access.h"
#include "platform/message_box.h"
#include "scene/scene.h"
#include "shader/shader_program.h"
#include "ui/overlay.h"
#include "wind/wind.h"

int32_t running;
int32_t fullScreenRequest;

namespace {

AppClass application = {"OpenGL"};
AppWindow appWindow;
KeyState keyState;

// The message queue: a pass posts at most a quit, a toggle and a reload before the next frame
// reads them; a few more places cover a burst of requests from the page.
constexpr int EventCapacity = 16;
ShellEvent events[EventCapacity];
int eventCount;

// Counts the windows opened, so that a full-screen refusal that arrives late is matched with
// the window that asked.
int passNumber;
bool loopStarted;
bool glInitialised;

void ShowShellError(const char *text)
{
    ShowMessage("Error", text, BoxIcon::Exclamation);
}

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

EM_JS(void, PageProgramEnded, (), {
    if (Module.onEnded) {
        Module.onEnded();
    }
});

// gl4es draws into the default framebuffer and asks for its size itself.
static void MainFramebufferSize(int *width, int *height)
{
    *width = appWindow.width;
    *height = appWindow.height;
}

// --- the shell ---------------------------------------------------------------------------------

void InitAppWindow(AppWindow *window, KeyState *keys, AppClass *appClass)
{
    std::memset(window, 0, sizeof *window);
    std::memset(keys, 0, sizeof *keys);
    window->keys = keys;
    window->appClass = appClass;
    window->canvas = "#canvas";
    window->title = "Halmwind";
    window->width = 800;
    window->height = 600;
    window->colourDepth = 32;
    window->fullScreen = 1;
}

bool RegisterAppClass(AppClass *)
{
    // The page's canvas is the class: without one there is nothing to open.
    return PageHasCanvas(appWindow.canvas) != 0;
}

bool SwitchDisplayMode(AppWindow *window, int, int, int)
{
    // The canvas keeps its 800 x 600 drawing buffer; the page scales it to the screen, as the
    // display would show an 800 x 600 mode. A canvas still full screen from the last window is
    // in that mode already.
    return PageIsFullScreen(window->canvas) != 0 || PageRequestFullScreen(window->canvas, passNumber) != 0;
}

void FullScreenRefused(AppWindow *window)
{
    ShowShellError("Mode Switch Failed.\nRunning In Windowed Mode.");
    window->fullScreen = 0;
    PageShowCursor(window->canvas, 1);
}

extern "C" EMSCRIPTEN_KEEPALIVE void HalmwindFullScreenRefused(int pass)
{
    // A refusal for a window that has gone since belongs to it.
    if (pass == passNumber && appWindow.fullScreen == 1) {
        FullScreenRefused(&appWindow);
    }
}

static bool CreateGlContext(AppWindow *window)
{
    emscripten_set_canvas_element_size(window->canvas, window->width, window->height);
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    // A double-buffered 8-bit colour buffer with a depth buffer, as the desktop's pixel format.
    attributes.alpha = EM_FALSE;
    attributes.depth = EM_TRUE;
    attributes.stencil = EM_FALSE;
    attributes.antialias = EM_FALSE;
    attributes.majorVersion = 1;
    EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = emscripten_webgl_create_context(window->canvas, &attributes);
    if (context <= 0) {
        return false;
    }
    if (emscripten_webgl_make_context_current(context) != EMSCRIPTEN_RESULT_SUCCESS) {
        emscripten_webgl_destroy_context(context);
        return false;
    }
    window->glContext = context;
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
    // A canvas gives one WebGL context for its life: later windows draw in the first one.
    if (!window->glContext && !CreateGlContext(window)) {
        return false;
    }
    RouteWindowEvents(window);
    if (window->fullScreen == 1) {
        if (SwitchDisplayMode(window, window->width, window->height, window->colourDepth)) {
            PageShowCursor(window->canvas, 0);
        } else {
            ShowShellError("Mode Switch Failed.\nRunning In Windowed Mode.");
            window->fullScreen = 0;
        }
    }
    window->visible = PageVisible() ? 1 : 0;
    SetProjection(window->width, window->height);
    std::memset(window->keys->down, 0, sizeof window->keys->down);

    window->counterAvailable = 1;
    window->lastTime = FrameCounterNow();
    window->secondsPerTick = float(1.0 / double(FrameCounterFrequency));
    return true;
}

bool CloseAppWindow(AppWindow *window)
{
    // The desktop drops the scene's GL objects with its context; the canvas keeps its context,
    // so the font's lists go by hand and the next scene starts from a clean state.
    if (window->glContext && textOverlay.fontListBase != 0) {
        glDeleteLists(textOverlay.fontListBase, 256);
        textOverlay.fontListBase = 0;
    }
    // The desktop leaves the mode and sets it again for a full-screen successor; a browser
    // that is still leaving refuses the new request, so the canvas stays full screen instead.
    if (window->fullScreen && !(running && fullScreenRequest == 1)) {
        PageLeaveFullScreen();
        PageShowCursor(window->canvas, 1);
    }
    return true;
}

void SetProjection(int width, int height)
{
    // A canvas sized to no height would divide by zero.
    if (height <= 0) {
        height = 1;
    }
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, double(width) / double(height), 0.1, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void PostEvent(ShellEvent event)
{
    if (eventCount < EventCapacity) {
        events[eventCount++] = event;
    }
}

void RequestQuit(AppWindow *)
{
    PostEvent(ShellEvent::Quit);
    running = 0;
}

void RequestFullScreenToggle(AppWindow *)
{
    PostEvent(ShellEvent::ToggleFullScreen);
}

// One pass of the outer loop up to its message loop: the window and the scene.
static bool BeginPass()
{
    appWindow.fullScreen = fullScreenRequest;
    if (!OpenAppWindow(&appWindow)) {
        ShowShellError("Error Creating OpenGL Window");
        running = 0;
        return false;
    }
    eventCount = 0;
    if (!InitScene(&appWindow, &keyState)) {
        RequestQuit(&appWindow);
    }
    return true;
}

// The rest of the pass once its message loop has ended; then the next pass, or the end.
static void EndPass()
{
    ReleaseShaderContext();
    CloseAppWindow(&appWindow);
    if (running && BeginPass()) {
        return;
    }
    ReleaseWindMarker();
    if (loopStarted) {
        emscripten_cancel_main_loop();
        loopStarted = false;
    }
    PageProgramEnded();
}

void StepMessageLoop()
{
    // Messages posted during the last frame, in order; the paint message comes when none is left.
    for (int i = 0; i < eventCount; i++) {
        switch (events[i]) {
        case ShellEvent::ToggleFullScreen:
            fullScreenRequest = fullScreenRequest == 1 ? 0 : 1;
            // Ends the message loop only; the running flag keeps the outer loop going.
            PostEvent(ShellEvent::Quit);
            break;
        case ShellEvent::Reload:
            PostEvent(ShellEvent::Quit);
            break;
        case ShellEvent::Quit:
            eventCount = 0;
            EndPass();
            return;
        }
    }
    eventCount = 0;
    if (appWindow.visible) {
        PaintFrame(&appWindow);
    }
}

extern "C" EMSCRIPTEN_KEEPALIVE void HalmwindStart(int fullScreen)
{
    if (running || loopStarted) {
        return;
    }
    InitAppWindow(&appWindow, &keyState, &application);
    if (!fullScreen) {
        appWindow.fullScreen = 0;
    }
    if (!RegisterAppClass(&application)) {
        ShowShellError("Error Registering Window Class!");
        PageProgramEnded();
        return;
    }
    running = 1;
    fullScreenRequest = appWindow.fullScreen;
    if (!BeginPass()) {
        ReleaseWindMarker();
        PageProgramEnded();
        return;
    }
    // No cap beyond the browser's own: one frame per animation frame.
    loopStarted = true;
    emscripten_set_main_loop(StepMessageLoop, 0, 0);
}

extern "C" EMSCRIPTEN_KEEPALIVE void HalmwindReload()
{
    if (running) {
        PostEvent(ShellEvent::Reload);
    }
}

extern "C" EMSCRIPTEN_KEEPALIVE void HalmwindPageClosed()
{
    if (running) {
        RequestQuit(&appWindow);
        // No more frames come: the quit is handled now.
        StepMessageLoop();
    }
}

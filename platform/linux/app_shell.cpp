// app_shell.cpp -- the window class over SDL video, window and GL context lifecycle, full screen,
// message loop.
#include "platform/linux/app_shell.h"

#include <cstring>
#include <strings.h>

#include <SDL.h>

#include "app/messages.h"

uint32_t quitEventType;
uint32_t toggleEventType;

// A video driver that shows nothing would let the program run unseen; it counts as a failed
// registration unless the user chose it.
bool DriverChosen(const char *chosen, const char *driver)
{
    // SDL_VIDEODRIVER may name several drivers, tried in turn: "x11,offscreen".
    size_t length = std::strlen(driver);
    for (const char *p = chosen; p && *p;) {
        const char *end = std::strchr(p, ',');
        size_t n = end ? size_t(end - p) : std::strlen(p);
        if (n == length && strncasecmp(p, driver, n) == 0) {
            return true;
        }
        p = end ? end + 1 : nullptr;
    }
    return false;
}

static bool IsInvisibleDriver(const char *driver)
{
    if (!driver || (std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0)) {
        return false;
    }
    return !DriverChosen(SDL_getenv("SDL_VIDEODRIVER"), driver);
}

bool RegisterAppClass(AppClass *appClass)
{
    // The class name becomes the X11 class of every window the program opens; SDL 2.26 reads it
    // from the environment when the video subsystem starts.
    SDL_setenv("SDL_VIDEO_X11_WMCLASS", appClass->className, 1);
    bool registered = SDL_Init(SDL_INIT_VIDEO) == 0 && !IsInvisibleDriver(SDL_GetCurrentVideoDriver());
    if (registered) {
        quitEventType = SDL_RegisterEvents(2);
        toggleEventType = quitEventType + 1;
        registered = quitEventType != uint32_t(-1);
    }
    if (!registered) {
        SDL_Quit();
        ShowShellError("RegisterClassEx Failed!");
    }
    return registered;
}

// 32 bits per pixel is a pixel stored in four bytes (depth 24 on X11).
static bool IsMode(const SDL_DisplayMode &mode, int width, int height, int bitsPerPixel)
{
    return mode.w == width && mode.h == height && int(SDL_BYTESPERPIXEL(mode.format)) * 8 == bitsPerPixel;
}

static int WindowDisplay(SDL_Window *window)
{
    int display = SDL_GetWindowDisplayIndex(window);
    return display < 0 ? 0 : display;
}

bool SwitchDisplayMode(AppWindow *window, int width, int height, int bitsPerPixel)
{
    // SDL applies a full-screen mode only when the window is shown, and falls back silently when
    // the display refuses it: the switch is made only once the display is seen in that mode.
    const int display = WindowDisplay(window->handles.window);
    const int count = SDL_GetNumDisplayModes(display);
    for (int i = 0; i < count; i++) {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(display, i, &mode) != 0 || !IsMode(mode, width, height, bitsPerPixel)) {
            continue;
        }
        if (SDL_SetWindowDisplayMode(window->handles.window, &mode) != 0 ||
            SDL_SetWindowFullscreen(window->handles.window, SDL_WINDOW_FULLSCREEN) != 0) {
            break;
        }
        SDL_ShowWindow(window->handles.window);
        SDL_DisplayMode current;
        if (SDL_GetCurrentDisplayMode(display, &current) == 0 && IsMode(current, width, height, bitsPerPixel) &&
            (SDL_GetWindowFlags(window->handles.window) & SDL_WINDOW_FULLSCREEN) != 0) {
            return true;
        }
        SDL_SetWindowFullscreen(window->handles.window, 0);
        SDL_HideWindow(window->handles.window);
        break;
    }
    return false;
}

void UnregisterAppClass(AppClass *)
{
    SDL_Quit();
}

static void DestroyAppWindow(AppWindow *window)
{
    SDL_DestroyWindow(window->handles.window);
    window->handles.window = nullptr;
}

bool OpenAppWindow(AppWindow *window)
{
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);

    // Windowed, it has a sizing border and a maximise box, as an overlapped window has.
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    flags |= window->fullScreen == 1 ? SDL_WINDOW_BORDERLESS : SDL_WINDOW_RESIZABLE;
    WindowHandles *handles = &window->handles;
    handles->window = SDL_CreateWindow(window->title, 0, 0, window->width, window->height, flags);
    if (!handles->window) {
        return false;
    }
    if (window->fullScreen == 1) {
        if (SwitchDisplayMode(window, window->width, window->height, window->colourDepth)) {
            SDL_ShowCursor(SDL_DISABLE);
        } else {
            ShowShellError("Mode Switch Failed.\nRunning In Windowed Mode.");
            window->fullScreen = 0;
            SDL_SetWindowBordered(handles->window, SDL_TRUE);
            SDL_SetWindowResizable(handles->window, SDL_TRUE);
        }
    }

    handles->glContext = SDL_GL_CreateContext(handles->window);
    if (!handles->glContext) {
        DestroyAppWindow(window);
        return false;
    }
    if (SDL_GL_MakeCurrent(handles->window, handles->glContext) != 0) {
        SDL_GL_DeleteContext(handles->glContext);
        handles->glContext = nullptr;
        DestroyAppWindow(window);
        return false;
    }

    SDL_ShowWindow(handles->window);
    SDL_DisableScreenSaver();
    ShowAppWindow(window);

    window->counterAvailable = 1;
    window->lastTime = FrameCounterNow();
    window->secondsPerTick = float(1.0 / double(FrameCounterFrequency));
    return true;
}

bool CloseAppWindow(AppWindow *window)
{
    WindowHandles *handles = &window->handles;
    if (handles->window) {
        SDL_GL_MakeCurrent(handles->window, nullptr);
        if (handles->glContext) {
            SDL_GL_DeleteContext(handles->glContext);
            handles->glContext = nullptr;
        }
        // Leave full screen before the window goes, so the desktop mode comes back.
        if (window->fullScreen) {
            SDL_SetWindowFullscreen(handles->window, 0);
        }
        DestroyAppWindow(window);
        SDL_EnableScreenSaver();
    }
    if (window->fullScreen) {
        SDL_ShowCursor(SDL_ENABLE);
    }
    return true;
}

void PostEvent(uint32_t type)
{
    SDL_Event event;
    SDL_zero(event);
    event.type = type;
    SDL_PushEvent(&event);
}

void PostShellMessage(AppWindow *, ShellMessage message)
{
    PostEvent(message == ShellMessage::Quit ? quitEventType : toggleEventType);
}

bool RunMessageLoop(AppWindow *window)
{
    // Requests left from the previous window belong to it.
    SDL_FlushEvents(quitEventType, toggleEventType);
    int loop = 1;
    while (loop) {
        SDL_Event event;
        if (SDL_PollEvent(&event)) {
            if (event.type == quitEventType) {
                loop = 0;
            } else {
                AppWindowProc(window, event);
            }
        } else if (!window->visible) {
            SDL_WaitEvent(nullptr);
        } else {
            // An empty queue is the paint message: frames run back to back.
            PaintFrame(window);
        }
    }
    return true;
}

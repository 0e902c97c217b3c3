// app_shell.cpp -- entry point, window class, window and GL context lifecycle, full screen, message loop.
#include "platform/win32/app_shell.h"

#include <cstring>

#include "platform/gl_access.h"
#include "platform/message_box.h"
#include "scene/scene.h"
#include "shader/shader_program.h"
#include "wind/wind.h"

int32_t running;
int32_t fullScreenRequest;

static void ShowShellError(const char *text)
{
    ShowMessage("Error", text, BoxIcon::Exclamation);
}

bool RegisterAppClass(AppClass *appClass)
{
    WNDCLASSEXA windowClass;
    std::memset(&windowClass, 0, sizeof windowClass);
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
    windowClass.lpfnWndProc = AppWindowProc;
    windowClass.hInstance = appClass->instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    // Never painted: the window procedure suppresses background erasing.
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOWTEXT + 1);
    windowClass.lpszClassName = appClass->className;
    if (RegisterClassExA(&windowClass) == 0) {
        ShowShellError("RegisterClassEx Failed!");
        return false;
    }
    return true;
}

bool SwitchDisplayMode(int width, int height, int bitsPerPixel)
{
    DEVMODEA dmScreenSettings;
    std::memset(&dmScreenSettings, 0, sizeof dmScreenSettings);
    dmScreenSettings.dmSize = sizeof dmScreenSettings;
    dmScreenSettings.dmPelsWidth = DWORD(width);
    dmScreenSettings.dmPelsHeight = DWORD(height);
    dmScreenSettings.dmBitsPerPel = DWORD(bitsPerPixel);
    // No refresh rate is asked for.
    dmScreenSettings.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    return ChangeDisplaySettingsA(&dmScreenSettings, CDS_FULLSCREEN) == DISP_CHANGE_SUCCESSFUL;
}

// The steps of OpenAppWindow that failed after the window was made undo it in reverse order.
static bool FailWindow(AppWindow *window)
{
    if (window->glContext) {
        wglDeleteContext(window->glContext);
        window->glContext = nullptr;
    }
    if (window->deviceContext) {
        ReleaseDC(window->window, window->deviceContext);
        window->deviceContext = nullptr;
    }
    DestroyWindow(window->window);
    window->window = nullptr;
    return false;
}

bool OpenAppWindow(AppWindow *window)
{
    DWORD style = WS_OVERLAPPEDWINDOW;
    DWORD extendedStyle = WS_EX_APPWINDOW;
    RECT windowRect = {0, 0, window->width, window->height};

    if (window->fullScreen == 1) {
        if (SwitchDisplayMode(window->width, window->height, window->colourDepth)) {
            ShowCursor(FALSE);
            style = WS_POPUP;
            extendedStyle |= WS_EX_TOPMOST;
        } else {
            // The request flag keeps 1: the next toggle asks for windowed mode.
            ShowShellError("Mode Switch Failed.\nRunning In Windowed Mode.");
            window->fullScreen = 0;
        }
    } else {
        AdjustWindowRectEx(&windowRect, style, FALSE, extendedStyle);
    }

    window->window = CreateWindowExA(extendedStyle, window->appClass->className, window->title, style, 0, 0,
                                     windowRect.right - windowRect.left, windowRect.bottom - windowRect.top,
                                     nullptr, nullptr, window->appClass->instance, window);
    if (!window->window) {
        return false;
    }
    window->deviceContext = GetDC(window->window);
    if (!window->deviceContext) {
        return FailWindow(window);
    }

    PIXELFORMATDESCRIPTOR pfd;
    std::memset(&pfd, 0, sizeof pfd);
    pfd.nSize = sizeof pfd;
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    pfd.iPixelType = PFD_TYPE_RGBA;
    pfd.cColorBits = BYTE(window->colourDepth);
    pfd.cDepthBits = 16;
    pfd.iLayerType = PFD_MAIN_PLANE;
    int pixelFormat = ChoosePixelFormat(window->deviceContext, &pfd);
    if (pixelFormat == 0 || !SetPixelFormat(window->deviceContext, pixelFormat, &pfd)) {
        return FailWindow(window);
    }

    window->glContext = wglCreateContext(window->deviceContext);
    if (!window->glContext) {
        return FailWindow(window);
    }
    if (!wglMakeCurrent(window->deviceContext, window->glContext)) {
        return FailWindow(window);
    }
    // OPENGL32 exports GL 1.1 only; the shader calls belong to this context. Without them the
    // shader set-up reports the missing profile.
    LoadGlShaderCalls();

    ShowWindow(window->window, SW_NORMAL);
    window->visible = 1;
    SetProjection(window->width, window->height);

    std::memset(window->keys->down, 0, sizeof window->keys->down);

    LARGE_INTEGER frequency, timer;
    if (QueryPerformanceFrequency(&frequency)) {
        window->counterAvailable = 1;
        QueryPerformanceCounter(&timer);
        window->lastTime = uint32_t(timer.LowPart);
        window->secondsPerTick = float(1.0 / double(frequency.QuadPart));
    } else {
        window->counterAvailable = 0;
        window->lastTime = GetTickCount();
        window->secondsPerTick = 0.001f;
    }
    return true;
}

bool CloseAppWindow(AppWindow *window)
{
    if (window->window) {
        if (window->deviceContext) {
            wglMakeCurrent(window->deviceContext, nullptr);
        }
        if (window->glContext) {
            wglDeleteContext(window->glContext);
            window->glContext = nullptr;
        }
        ReleaseDC(window->window, window->deviceContext);
        window->deviceContext = nullptr;
        DestroyWindow(window->window);
        window->window = nullptr;
    }
    if (window->fullScreen) {
        // The mode stored in the registry, and the cursor, come back.
        ChangeDisplaySettingsA(nullptr, 0);
        ShowCursor(TRUE);
    }
    return true;
}

void SetProjection(int width, int height)
{
    // A window sized to no height would divide by zero.
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

void RequestQuit(AppWindow *window)
{
    PostMessageA(window->window, WM_QUIT, 0, 0);
    running = 0;
}

void RequestFullScreenToggle(AppWindow *window)
{
    PostMessageA(window->window, ToggleMessage, 0, 0);
}

// Under Wine the X server's events (keys, focus, the close button) reach the queue only while the
// thread waits, or after every 200 messages: with a paint message always waiting that is seconds
// of frames, and a press and its release then arrive together and are never seen held. A wait
// of no time after each message lets them in; the paint bit is left out of it, since the paint
// message is always there. On Windows it returns at once.
static void LetInputIn()
{
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_ALLINPUT & ~QS_PAINT);
}

static void RunMessageLoop(AppWindow *window)
{
    MSG msg;
    int loop = 1;
    while (loop) {
        if (PeekMessageA(&msg, window->window, 0, 0, PM_REMOVE)) {
            // Not translated: no character messages arise.
            if (msg.message == WM_QUIT) {
                loop = 0;
            } else {
                DispatchMessageA(&msg);
                LetInputIn();
            }
        } else if (!window->visible) {
            WaitMessage();
        }
        // Visible and nothing waiting: peek again at once; the paint message is never validated.
    }
}

int RunApplication(HINSTANCE instance)
{
    AppClass application = {instance, "OpenGL"};
    AppWindow window;
    KeyState keys;
    std::memset(&window, 0, sizeof window);
    std::memset(&keys, 0, sizeof keys);
    window.keys = &keys;
    window.appClass = &application;
    window.title = "Halmwind";
    window.width = 800;
    window.height = 600;
    window.colourDepth = 32;
    window.fullScreen = 1;

    if (AskYesNo("FullScreen-Modus?", "M\xF6" "chten Sie im Fullscreen-Modus starten?",
                 BoxIcon::Question) == BoxAnswer::No) {
        window.fullScreen = 0;
    }
    if (!RegisterAppClass(&application)) {
        ShowShellError("Error Registering Window Class!");
        return -1;
    }

    running = 1;
    fullScreenRequest = window.fullScreen;
    while (running) {
        window.fullScreen = fullScreenRequest;
        if (!OpenAppWindow(&window)) {
            ShowShellError("Error Creating OpenGL Window");
            running = 0;
            break;
        }
        if (!InitScene(&window, &keys)) {
            RequestQuit(&window);
        } else {
            RunMessageLoop(&window);
        }
        ReleaseShaderContext();
        CloseAppWindow(&window);
    }
    ReleaseWindMarker();
    UnregisterClassA(application.className, application.instance);
    return 0;
}

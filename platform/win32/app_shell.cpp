// app_shell.cpp -- window class, window and GL context lifecycle, full screen, message loop.
#include "platform/win32/app_shell.h"

#include <cstring>

#include "platform/gl_access.h"
#include "app/messages.h"

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

void UnregisterAppClass(AppClass *appClass)
{
    UnregisterClassA(appClass->className, appClass->instance);
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
    if (window->handles.glContext) {
        wglDeleteContext(window->handles.glContext);
        window->handles.glContext = nullptr;
    }
    if (window->handles.deviceContext) {
        ReleaseDC(window->handles.window, window->handles.deviceContext);
        window->handles.deviceContext = nullptr;
    }
    DestroyWindow(window->handles.window);
    window->handles.window = nullptr;
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

    window->handles.window = CreateWindowExA(extendedStyle, window->appClass->className, window->title, style, 0, 0,
                                     windowRect.right - windowRect.left, windowRect.bottom - windowRect.top,
                                     nullptr, nullptr, window->appClass->instance, window);
    if (!window->handles.window) {
        return false;
    }
    window->handles.deviceContext = GetDC(window->handles.window);
    if (!window->handles.deviceContext) {
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
    int pixelFormat = ChoosePixelFormat(window->handles.deviceContext, &pfd);
    if (pixelFormat == 0 || !SetPixelFormat(window->handles.deviceContext, pixelFormat, &pfd)) {
        return FailWindow(window);
    }

    window->handles.glContext = wglCreateContext(window->handles.deviceContext);
    if (!window->handles.glContext) {
        return FailWindow(window);
    }
    if (!wglMakeCurrent(window->handles.deviceContext, window->handles.glContext)) {
        return FailWindow(window);
    }
    // OPENGL32 exports GL 1.1 only; the shader calls belong to this context. Without them the
    // shader set-up reports the missing profile.
    LoadGlShaderCalls();

    ShowWindow(window->handles.window, SW_NORMAL);
    ShowAppWindow(window);

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
    if (window->handles.window) {
        if (window->handles.deviceContext) {
            wglMakeCurrent(window->handles.deviceContext, nullptr);
        }
        if (window->handles.glContext) {
            wglDeleteContext(window->handles.glContext);
            window->handles.glContext = nullptr;
        }
        ReleaseDC(window->handles.window, window->handles.deviceContext);
        window->handles.deviceContext = nullptr;
        DestroyWindow(window->handles.window);
        window->handles.window = nullptr;
    }
    if (window->fullScreen) {
        // The mode stored in the registry, and the cursor, come back.
        ChangeDisplaySettingsA(nullptr, 0);
        ShowCursor(TRUE);
    }
    return true;
}

void PostShellMessage(AppWindow *window, ShellMessage message)
{
    PostMessageA(window->handles.window, message == ShellMessage::Quit ? WM_QUIT : ToggleMessage, 0, 0);
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

bool RunMessageLoop(AppWindow *window)
{
    MSG msg;
    int loop = 1;
    while (loop) {
        if (PeekMessageA(&msg, window->handles.window, 0, 0, PM_REMOVE)) {
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
    return true;
}

// window_proc.cpp -- the window procedure and the frame pump driven by the paint message.
#include "platform/win32/app_shell.h"

static void PaintFrame(AppWindow *window)
{
    uint32_t now;
    if (window->counterAvailable == 1) {
        LARGE_INTEGER timer;
        QueryPerformanceCounter(&timer);
        now = uint32_t(timer.LowPart);
    } else {
        now = GetTickCount();
    }
    RunFrame(window, now);
    SwapBuffers(window->handles.deviceContext);
}

LRESULT CALLBACK AppWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    AppWindow *window = reinterpret_cast<AppWindow *>(GetWindowLongA(hWnd, GWL_USERDATA));
    switch (message) {
    case WM_CREATE: {
        CREATESTRUCTA *creation = reinterpret_cast<CREATESTRUCTA *>(lParam);
        SetWindowLongA(hWnd, GWL_USERDATA, LONG(reinterpret_cast<LONG_PTR>(creation->lpCreateParams)));
        return 0;
    }
    case WM_SIZE:
        if (wParam == SIZE_RESTORED || wParam == SIZE_MAXIMIZED) {
            ResizeAppWindow(window, LOWORD(lParam), HIWORD(lParam));
            return 0;
        }
        if (wParam == SIZE_MINIMIZED) {
            MinimiseAppWindow(window);
            return 0;
        }
        break;
    case WM_PAINT:
        // No BeginPaint, EndPaint or validation: the next paint message comes as soon as the
        // queue is otherwise empty, which makes the frames run back to back.
        PaintFrame(window);
        return 0;
    case WM_CLOSE:
        // The window itself is destroyed by the shell's outer loop.
        RequestQuit(window);
        return 0;
    case WM_ERASEBKGND:
        return 0;
    case WM_SYSCOMMAND:
        // Compared whole, low four bits included: screen saver and monitor power-off stay off.
        if (wParam == SC_SCREENSAVE || wParam == SC_MONITORPOWER) {
            return 0;
        }
        break;
    case WM_KEYDOWN:
    case WM_KEYUP:
        if (SetKey(window, wParam, message == WM_KEYDOWN)) {
            return 0;
        }
        break;
    case ToggleMessage:
        FlipFullScreenRequest();
        // Ends the message loop only; the running flag keeps the outer loop going.
        PostMessageA(hWnd, WM_QUIT, 0, 0);
        break;
    default:
        break;
    }
    return DefWindowProcA(hWnd, message, wParam, lParam);
}

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

// The window's user data holds the AppWindow. A 32-bit LONG holds a pointer only on 32-bit
// Windows; the 64-bit build stores it through the pointer-sized twins of the same calls.
#ifdef _WIN64
AppWindow *GetWindowRecord(HWND hWnd)
{
    return reinterpret_cast<AppWindow *>(GetWindowLongPtrA(hWnd, GWLP_USERDATA));
}

void SetWindowRecord(HWND hWnd, void *window)
{
    SetWindowLongPtrA(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
}
#else
AppWindow *GetWindowRecord(HWND hWnd)
{
    return reinterpret_cast<AppWindow *>(GetWindowLongA(hWnd, GWL_USERDATA));
}

void SetWindowRecord(HWND hWnd, void *window)
{
    SetWindowLongA(hWnd, GWL_USERDATA, LONG(reinterpret_cast<LONG_PTR>(window)));
}
#endif

LRESULT CALLBACK AppWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    AppWindow *window = GetWindowRecord(hWnd);
    switch (message) {
    case WM_CREATE: {
        CREATESTRUCTA *creation = reinterpret_cast<CREATESTRUCTA *>(lParam);
        SetWindowRecord(hWnd, creation->lpCreateParams);
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
        HandleToggleMessage(window);
        break;
    default:
        break;
    }
    return DefWindowProcA(hWnd, message, wParam, lParam);
}

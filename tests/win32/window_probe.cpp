// window_probe.cpp -- the Win32 side of a window, for the end-to-end tests of the Windows build:
//   halmwind_window_probe.exe TITLE
// prints "class CLASS client WxH style popup|overlapped topmost 0|1 display WxHxBITS" for the
// top-level window named TITLE, or "none" (exit 1) when there is none. Wine does not show the
// Win32 class or styles to X.
#include <windows.h>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: halmwind_window_probe TITLE\n");
        return 2;
    }
    HWND window = FindWindowA(nullptr, argv[1]);
    if (!window) {
        std::printf("none\n");
        return 1;
    }
    char className[256] = {};
    GetClassNameA(window, className, sizeof className);
    RECT client = {};
    GetClientRect(window, &client);
    LONG style = GetWindowLongA(window, GWL_STYLE);
    LONG extendedStyle = GetWindowLongA(window, GWL_EXSTYLE);
    DEVMODEA mode = {};
    mode.dmSize = sizeof mode;
    EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode);
    std::printf("class %s client %ldx%ld style %s topmost %d display %lux%lux%lu\n", className,
                client.right - client.left, client.bottom - client.top,
                (style & WS_POPUP) ? "popup" : "overlapped", (extendedStyle & WS_EX_TOPMOST) ? 1 : 0,
                mode.dmPelsWidth, mode.dmPelsHeight, mode.dmBitsPerPel);
    return 0;
}

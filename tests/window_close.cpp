// window_close.cpp -- the close button's message, sent without a window manager, and the cursor.
#include "tests/window_close.h"

#include <cstdlib>

#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

bool SendCloseRequest(const std::string &windowId)
{
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        return false;
    }
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = Window(std::strtoul(windowId.c_str(), nullptr, 0));
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    Status sent = XSendEvent(display, event.xclient.window, False, NoEventMask, &event);
    XCloseDisplay(display);
    return sent != 0;
}

bool CursorBlankAt(int x, int y)
{
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        return false;
    }
    XWarpPointer(display, None, DefaultRootWindow(display), 0, 0, 0, 0, x, y);
    XSync(display, False);
    bool blank = false;
    if (XFixesCursorImage *image = XFixesGetCursorImage(display)) {
        blank = true;
        for (int i = 0; i < int(image->width) * int(image->height); i++) {
            blank = blank && (image->pixels[i] >> 24) == 0;
        }
        XFree(image);
    }
    XCloseDisplay(display);
    return blank;
}

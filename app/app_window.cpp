// app_window.cpp -- the shell's work that every platform does alike: the defaults, the
// projection, the portable side of the window messages and of one frame.
#include "app/app_window.h"

#include <cstring>

#include "platform/gl_access.h"
#include "shader/shader_program.h"
#include "ui/controls.h"
#include "ui/frame.h"

AppWindow *currentWindow;
KeyState *currentKeys;

void InitAppWindow(AppWindow *window, KeyState *keys, AppClass *appClass)
{
    std::memset(window, 0, sizeof *window);
    std::memset(keys, 0, sizeof *keys);
    window->keys = keys;
    window->appClass = appClass;
    window->title = AppWindowTitle;
    window->width = AppWindowWidth;
    window->height = AppWindowHeight;
    window->colourDepth = AppWindowColourDepth;
    window->fullScreen = 1;
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

void ShowAppWindow(AppWindow *window)
{
    window->visible = 1;
    SetProjection(window->width, window->height);
    // A key held across a toggle counts as released until it is pressed again.
    std::memset(window->keys, 0, sizeof *window->keys);
}

void ResizeAppWindow(AppWindow *window, int clientWidth, int clientHeight)
{
    window->visible = 1;
    SetProjection(clientWidth, clientHeight);
}

void MinimiseAppWindow(AppWindow *window)
{
    window->visible = 0;
}

bool SetKey(AppWindow *window, uintptr_t virtualKey, bool down)
{
    if (virtualKey >= uintptr_t(KeyCount)) {
        return false;
    }
    KeyState *keys = window->keys;
    const int32_t state = down ? 1 : 0;
    // What the flag will say once the changes already waiting have been read.
    const int32_t last = keys->queued[virtualKey] % 2 ? !keys->down[virtualKey] : keys->down[virtualKey];
    if (state == last) {
        // Auto-repeat, or a release of a key that is up.
        return true;
    }
    if (keys->queued[virtualKey] == 0 && !keys->unseen[virtualKey]) {
        keys->down[virtualKey] = state;
        keys->unseen[virtualKey] = 1;
    } else if (keys->queued[virtualKey] < MaxQueuedKeyChanges) {
        keys->queued[virtualKey]++;
    }
    return true;
}

void AdvanceKeyTable(KeyState *keys)
{
    for (int key = 0; key < KeyCount; key++) {
        if (keys->queued[key] != 0) {
            keys->down[key] = !keys->down[key];
            keys->queued[key]--;
            keys->unseen[key] = 1;
        } else {
            keys->unseen[key] = 0;
        }
    }
}

void RunFrame(AppWindow *window, uint32_t now)
{
    const float elapsed = ElapsedMilliseconds(now, window->lastTime, window->secondsPerTick);
    UpdateControls(elapsed);
    AdvanceKeyTable(window->keys);
    window->lastTime = now;
    // A wind.cg saved since the last look draws from this frame on.
    WatchWindProgram(elapsed);
    DrawFrame();
}

float ElapsedMilliseconds(uint32_t now, uint32_t last, float secondsPerTick)
{
    // Unsigned subtraction stays right across one wrap of the 32-bit counter.
    uint32_t ticks = now - last;
    return float(double(ticks) * double(secondsPerTick) * 1000.0);
}

// app_shell.h -- the web shell: a canvas and its WebGL context, a frame per animation frame.
#pragma once

#include <cstdint>

#include "app/app_window.h"

// Zeroes the window record and the key table, then fills in the window's fixed defaults:
// "Halmwind", 800 x 600 at 32 bits, full screen until the user says otherwise.
void InitAppWindow(AppWindow *window, KeyState *keys, AppClass *appClass);

// False when the page has no canvas to draw in.
bool RegisterAppClass(AppClass *appClass);
// Sends the canvas's keys and the page's visibility to the window's procedure.
void RouteWindowEvents(AppWindow *window);
// Makes the WebGL context (once: a canvas keeps its context) and asks for full screen.
bool OpenAppWindow(AppWindow *window);
bool CloseAppWindow(AppWindow *window);

// Asks the browser to show the canvas full screen. The answer comes later: a refusal calls
// FullScreenRefused.
bool SwitchDisplayMode(AppWindow *window, int width, int height, int bitsPerPixel);
void FullScreenRefused(AppWindow *window);

// The program's own messages, queued as the desktop's window messages are and handled at the
// start of the next animation frame.
enum class ShellEvent { Quit, ToggleFullScreen, Reload };
void PostEvent(ShellEvent event);

// One frame: elapsed time, controls, drawing. The browser shows the canvas when the frame returns.
void PaintFrame(AppWindow *window);

// One animation frame of the message loop: the queued messages, then the paint message.
void StepMessageLoop();

// False while the page is hidden (another tab, a minimised browser): the minimised window.
bool PageVisible();

// The frame timer ticks in microseconds, as on Linux.
constexpr uint64_t FrameCounterFrequency = 1000000;
uint32_t FrameCounterNow();

// The page's calls into the program (exported to JavaScript).
extern "C" {
// The start-up question's answer: 1 full screen, 0 windowed. Runs the first window's set-up and
// starts the loop.
void HalmwindStart(int fullScreen);
// A file dropped on the page has been written: the scene is made anew with it.
void HalmwindReload();
// The page is going away: the loop ends and the scene is released at once.
void HalmwindPageClosed();
}

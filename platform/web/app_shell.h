// app_shell.h -- the web shell: what it adds to the shell calls of platform/shell.h for the
// window procedure, the frame timer and the page.
#pragma once

#include <cstdint>

#include "platform/message_box.h"
#include "platform/shell.h"

// Sends the canvas's keys and the page's visibility to the window's procedure.
void RouteWindowEvents(AppWindow *window);

// Asks the browser to show the canvas full screen. The answer comes later: a refusal calls
// FullScreenRefused.
bool SwitchDisplayMode(AppWindow *window, int width, int height, int bitsPerPixel);
void FullScreenRefused(AppWindow *window);

// The program's own messages, queued as the desktop's window messages are and handled at the
// start of the next animation frame.
enum class ShellEvent { Quit, ToggleFullScreen, Reload };
void PostEvent(ShellEvent event);

// Handles one message taken from the queue, the quit message aside: the window procedure.
void AppWindowProc(AppWindow *window, ShellEvent event);

// One frame: elapsed time, controls, drawing. The browser shows the canvas when the frame returns.
void PaintFrame(AppWindow *window);

// False while the page is hidden (another tab, a minimised browser): the minimised window.
bool PageVisible();

// The page asks the start-up question before the program starts; AskYesNo gives its answer to
// the first question the program asks.
void SetPageAnswer(BoxAnswer answer);

// The frame timer ticks in microseconds, as on Linux.
constexpr uint64_t FrameCounterFrequency = 1000000;
uint32_t FrameCounterNow();

// The page's calls into the program (exported to JavaScript). The entry point (main.cpp) takes
// the start-up answer, a reload after a dropped file and the page's closing; the shell takes
// the browser's full-screen refusal.
extern "C" {
// The start-up question's answer: 1 full screen, 0 windowed. Starts the outer loop, stepped
// once per animation frame.
void HalmwindStart(int fullScreen);
// A file dropped on the page has been written: the scene is made anew with it.
void HalmwindReload();
// The page is going away: the loop ends and the scene is released at once.
void HalmwindPageClosed();
// The page's editor has written wind.cg: the next frame takes it up, or keeps the last good
// program and gives the page the message (Module.onStatus).
void HalmwindWindProgramSaved();
// The browser refused the full-screen request of window `pass`.
void HalmwindFullScreenRefused(int pass);
}

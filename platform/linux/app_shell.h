// app_shell.h -- the Linux shell over SDL: what it adds to the shell calls of platform/shell.h
// for the window procedure, the frame timer and the tools that drive frames themselves.
#pragma once

#include <cstdint>

#include "platform/shell.h"

union SDL_Event;

// Finds the exact display mode; a closest larger mode is not the mode asked for.
bool SwitchDisplayMode(AppWindow *window, int width, int height, int bitsPerPixel);

// Handles one event taken from the queue: the window procedure.
void AppWindowProc(AppWindow *window, const SDL_Event &event);

// One frame: elapsed time, controls, drawing, swap.
void PaintFrame(AppWindow *window);

// The frame up to the swap, so the capture tool can read the back buffer before it is shown.
void ComposeFrame(AppWindow *window);

// Posts an event of the program's own type to the queue.
void PostEvent(uint32_t type);

// The event types of the program's own quit and full-screen toggle messages.
extern uint32_t quitEventType;
extern uint32_t toggleEventType;

// The frame timer ticks in microseconds, as a 10 MHz counter would do: the low 32 bits of a
// 1 GHz counter wrap every 4.3 s, and a longer pause between two frames would read short.
constexpr uint64_t FrameCounterFrequency = 1000000;
uint32_t FrameCounterTicks(uint64_t counter, uint64_t frequency);
uint32_t FrameCounterNow();

// True when SDL_VIDEODRIVER (a comma-separated list) names `driver`.
bool DriverChosen(const char *chosen, const char *driver);

// The key-table entry written for a key event, or -1 when the event does not reach it.
int KeyTableIndex(int32_t keycode, uint16_t modifiers);

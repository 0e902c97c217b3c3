// shell.h -- the platform calls of the application shell: the window class, the window and its
// GL context, the display mode, the message loop. Each platform folder implements them in its
// app_shell.cpp. The outer loop (app/app_loop.cpp) calls the platform through these alone.
#pragma once

#include "app/app_window.h"

// Registers the window class; false after reporting why not.
bool RegisterAppClass(AppClass *appClass);
void UnregisterAppClass(AppClass *appClass);

// Window, GL context (made current) and frame timer; true only when all exist. On false what
// was made is released again.
bool OpenAppWindow(AppWindow *window);
// Releases what OpenAppWindow made and, after full screen, restores the display mode.
bool CloseAppWindow(AppWindow *window);

// Runs the message loop, each visible idle moment one frame. True once it has taken the quit
// message. A platform that cannot block returns false after one frame's messages and the
// frame itself, and is called again at the next animation frame.
bool RunMessageLoop(AppWindow *window);

// The shell's own messages, posted to the window's queue: the quit message ends the message
// loop; the toggle message is carried out by the window procedure (HandleToggleMessage).
enum class ShellMessage { Quit, ToggleFullScreen };
void PostShellMessage(AppWindow *window, ShellMessage message);

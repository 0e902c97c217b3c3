// app_loop.h -- the entry point's outer loop as a table of states over the platform's shell
// calls: run at once by a desktop, one step per animation frame by a browser. Only the entry
// points include it: they own the run and drive it.
#pragma once

#include "app/app_window.h"

enum class AppState { Asking, Registering, Opening, Initialising, Running, Releasing, Ending, Ended };

// The entry point's records, alive for the whole run, and the outer loop's two flags: running
// (0 ends the loop at its next test) and the full-screen request of the next pass.
struct AppRun {
    AppClass application;
    AppWindow window;
    KeyState keys;
    AppState state;
    int exitCode;
    int32_t running;
    int32_t fullScreenRequest;
};

// Fills the records with their defaults; the run starts with the start-up question. The shell's
// requests act on this run from now on.
void StartApplication(AppRun *run, InstanceHandle instance);

// Does the work of the current state and moves on; the new state. In Running a platform that
// cannot block stays until the message loop has taken the quit message.
AppState StepApplication(AppRun *run);

// Steps until the end; the process exit code: 0, or -1 when the class was not registered.
int RunApplication(InstanceHandle instance);

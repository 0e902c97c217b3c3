// app_loop.cpp -- the entry point's outer loop, one state at a time: ask, register, then per
// pass open, initialise, run, release, until the running flag is 0.
#include "app/app_loop.h"

#include "app/messages.h"
#include "platform/shell.h"
#include "scene/scene.h"
#include "shader/shader_program.h"
#include "ui/overlay.h"
#include "wind/wind.h"

// The run the shell's requests act on.
static AppRun *activeRun;

void StartApplication(AppRun *run, InstanceHandle instance)
{
    run->application.instance = instance;
    run->application.className = AppClassName;
    InitAppWindow(&run->window, &run->keys, &run->application);
    run->state = AppState::Asking;
    run->exitCode = 0;
    run->running = 0;
    run->fullScreenRequest = 0;
    activeRun = run;
}

void RequestQuit(AppWindow *window)
{
    PostShellMessage(window, ShellMessage::Quit);
    activeRun->running = 0;
}

void RequestFullScreenToggle(AppWindow *window)
{
    PostShellMessage(window, ShellMessage::ToggleFullScreen);
}

void HandleToggleMessage(AppWindow *window)
{
    activeRun->fullScreenRequest = activeRun->fullScreenRequest == 1 ? 0 : 1;
    // Ends the message loop only; the running flag keeps the outer loop going.
    PostShellMessage(window, ShellMessage::Quit);
}

bool FullScreenFollows()
{
    return activeRun->running && activeRun->fullScreenRequest == 1;
}

AppState StepApplication(AppRun *run)
{
    AppWindow *window = &run->window;
    switch (run->state) {
    case AppState::Asking:
        // Any answer but No keeps full screen.
        if (AskYesNo("FullScreen-Modus?", "M\xF6" "chten Sie im Fullscreen-Modus starten?",
                     BoxIcon::Question) == BoxAnswer::No) {
            window->fullScreen = 0;
        }
        run->state = AppState::Registering;
        break;
    case AppState::Registering:
        if (!RegisterAppClass(&run->application)) {
            ShowShellError("Error Registering Window Class!");
            run->exitCode = -1;
            run->state = AppState::Ended;
            break;
        }
        run->running = 1;
        run->fullScreenRequest = window->fullScreen;
        run->state = AppState::Opening;
        break;
    case AppState::Opening:
        window->fullScreen = run->fullScreenRequest;
        if (!OpenAppWindow(window)) {
            // Nothing of this pass is left to release.
            ShowShellError("Error Creating OpenGL Window");
            run->running = 0;
            run->state = AppState::Ending;
            break;
        }
        run->state = AppState::Initialising;
        break;
    case AppState::Initialising:
        if (!InitScene(window, &run->keys)) {
            // The message has been shown; the pass releases what it made and the run ends.
            RequestQuit(window);
            run->state = AppState::Releasing;
        } else {
            run->state = AppState::Running;
        }
        break;
    case AppState::Running:
        if (RunMessageLoop(window)) {
            run->state = AppState::Releasing;
        }
        break;
    case AppState::Releasing:
        ReleaseShaderContext();
        // A browser's canvas keeps its context for the next window: the font goes by hand.
        ReleaseFont();
        CloseAppWindow(window);
        // A toggle leaves the running flag at 1: the next pass opens the window in the new mode.
        run->state = run->running ? AppState::Opening : AppState::Ending;
        break;
    case AppState::Ending:
        ReleaseWindMarker();
        UnregisterAppClass(&run->application);
        run->exitCode = 0;
        run->state = AppState::Ended;
        break;
    case AppState::Ended:
        break;
    }
    return run->state;
}

int RunApplication(InstanceHandle instance)
{
    // Alive as long as the process: the shell's requests may come until the last message.
    static AppRun run;
    StartApplication(&run, instance);
    while (StepApplication(&run) != AppState::Ended) {
    }
    return run.exitCode;
}

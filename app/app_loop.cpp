// app_loop.cpp -- the entry point's outer loop, one state at a time: ask, register, then per
// pass open, initialise, run, release, until the running flag is 0.
#include "app/app_loop.h"

#include "platform/message_box.h"
#include "platform/shell.h"
#include "scene/scene.h"
#include "shader/shader_program.h"
#include "wind/wind.h"

static void ShowShellError(const char *text)
{
    ShowMessage("Error", text, BoxIcon::Exclamation);
}

void StartApplication(AppRun *run, InstanceHandle instance)
{
    run->application.instance = instance;
    run->application.className = AppClassName;
    InitAppWindow(&run->window, &run->keys, &run->application);
    run->state = AppState::Asking;
    run->exitCode = 0;
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
        running = 1;
        fullScreenRequest = window->fullScreen;
        run->state = AppState::Opening;
        break;
    case AppState::Opening:
        window->fullScreen = fullScreenRequest;
        if (!OpenAppWindow(window)) {
            // Nothing of this pass is left to release.
            ShowShellError("Error Creating OpenGL Window");
            running = 0;
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
        CloseAppWindow(window);
        // A toggle leaves the running flag at 1: the next pass opens the window in the new mode.
        run->state = running ? AppState::Opening : AppState::Ending;
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
    AppRun run;
    StartApplication(&run, instance);
    while (StepApplication(&run) != AppState::Ended) {
    }
    return run.exitCode;
}

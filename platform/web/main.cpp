// main.cpp -- entry point of the meadow demo in the browser.
//
// A page cannot wait for an answer, so main returns at once and the runtime stays: the page asks
// the start-up question and calls HalmwindStart with the answer. From then on the outer loop is
// stepped once per animation frame.
#include <emscripten/emscripten.h>

#include "app/app_loop.h"
#include "platform/web/app_shell.h"
#include "shader/shader_program.h"

namespace {

// The page's one canvas; the page gives it this id.
constexpr InstanceHandle PageCanvas = "#canvas";

// The outer loop's records, alive while the page is.
AppRun run;
bool started;

} // namespace

EM_JS(void, PageProgramEnded, (), {
    if (Module.onEnded) {
        Module.onEnded();
    }
});

// Every state but Running does its work at once, up to the next frame or the end.
static void StepToFrame()
{
    while (run.state != AppState::Running && run.state != AppState::Ended) {
        StepApplication(&run);
    }
    if (run.state == AppState::Ended) {
        emscripten_cancel_main_loop();
        PageProgramEnded();
    }
}

// One animation frame of the outer loop: Running's messages and paint, then whatever the
// message loop's end leads to.
static void StepAnimationFrame()
{
    StepApplication(&run);
    StepToFrame();
}

extern "C" EMSCRIPTEN_KEEPALIVE void HalmwindStart(int fullScreen)
{
    if (started) {
        return;
    }
    started = true;
    SetPageAnswer(fullScreen ? BoxAnswer::Yes : BoxAnswer::No);
    StartApplication(&run, PageCanvas);
    // No cap beyond the browser's own: one frame per animation frame.
    emscripten_set_main_loop(StepAnimationFrame, 0, 0);
    // The first window opens now, inside the click on the answer: that click is the gesture the
    // browser wants for full screen, and the canvas takes keys before the first frame.
    StepToFrame();
}

extern "C" EMSCRIPTEN_KEEPALIVE void HalmwindReload()
{
    if (run.running) {
        PostEvent(ShellEvent::Reload);
    }
}

extern "C" EMSCRIPTEN_KEEPALIVE void HalmwindWindProgramSaved()
{
    // The editor writes the file whole: the next frame takes it up without waiting.
    RequestWindProgramLook();
}

extern "C" EMSCRIPTEN_KEEPALIVE void HalmwindPageClosed()
{
    if (run.running) {
        RequestQuit(&run.window);
        // No more frames come: the quit is handled now.
        StepAnimationFrame();
    }
}

int main()
{
    return 0;
}

// startup_bench.cpp -- seconds from the start of a fresh process to its first frame on screen.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include <SDL.h>

#include "app/app_loop.h"
#include "bench/bench.h"
#include "platform/linux/app_shell.h"
#include "app/messages.h"

extern char **environ;

const char *const startupChildFlag = "--startup-child";

// The child's part of the start-up timing: what RunApplication does after its question, up to
// the first frame on screen; then the monotonic time of that moment goes to the parent.
int RunStartupChild(int resultFd)
{
    SetMessageSink(PrintMessage);
    // The program's own steps, windowed, with one frame in place of the message loop.
    AppRun run;
    StartApplication(&run, nullptr);
    run.window.fullScreen = 0;
    run.state = AppState::Registering;
    double firstFrame = -1.0;
    while (run.state != AppState::Ended) {
        if (run.state != AppState::Running) {
            StepApplication(&run);
            continue;
        }
        // The message loop handles what is queued before its first paint.
        SDL_FlushEvents(quitEventType, toggleEventType);
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            AppWindowProc(&run.window, event);
        }
        PaintFrame(&run.window);
        firstFrame = MonotonicSeconds();
        run.running = 0;
        run.state = AppState::Releasing;
    }
    const bool sent = write(resultFd, &firstFrame, sizeof firstFrame) == ssize_t(sizeof firstFrame);
    close(resultFd);
    return sent && firstFrame >= 0.0 ? 0 : 1;
}

namespace {

// Seconds from just before the spawn to the child's first frame; negative on failure.
double TimeStartup()
{
    int fds[2];
    if (pipe(fds) != 0) {
        return -1.0;
    }
    char fdText[16];
    std::snprintf(fdText, sizeof fdText, "%d", fds[1]);
    char self[] = "/proc/self/exe";
    char flag[32];
    std::snprintf(flag, sizeof flag, "%s", startupChildFlag);
    char *argv[] = {self, flag, fdText, nullptr};
    // The child's stdout is our stderr: the report on stdout stays clean.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
    const double start = MonotonicSeconds();
    pid_t child = -1;
    const int spawned = posix_spawn(&child, self, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    double firstFrame = -1.0;
    if (spawned == 0) {
        if (read(fds[0], &firstFrame, sizeof firstFrame) != ssize_t(sizeof firstFrame)) {
            firstFrame = -1.0;
        }
        int status = 0;
        waitpid(child, &status, 0);
    }
    close(fds[0]);
    return firstFrame < 0.0 ? -1.0 : firstFrame - start;
}

void StartToFirstFrame(benchmark::State &state)
{
    if (const char *failure = OpenScene()) {
        state.SkipWithError(failure);
        return;
    }
    for (auto _ : state) {
        const double seconds = TimeStartup();
        if (seconds < 0.0) {
            state.SkipWithError("the start-up child drew no frame (see stderr)");
            return;
        }
        state.SetIterationTime(seconds);
    }
}

}  // namespace

void RegisterStartupBenchmarks()
{
    benchmark::RegisterBenchmark("StartToFirstFrame", StartToFirstFrame)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(3);
}

// program_runner.h -- starts the real program under the test's X display and drives it with xdotool.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

struct RunningProgram {
    pid_t pid;
    std::string stderrPath;
};

// The program is the Linux build, or the one HALMWIND_TEST_PROGRAM names, started through
// HALMWIND_TEST_LAUNCHER when set (the Windows build: wine).
bool TestingWindowsBuild();

// The key that answers the start-up question with No (HALMWIND_TEST_NO_KEY, or Escape).
const char *NoKey();

// Starts the program in `directory` with extra environment settings ("NAME=value", or "-NAME"
// to remove one); its stdout and stderr go to a file.
RunningProgram StartProgram(const std::string &directory, const std::vector<std::string> &environment);

// Waits up to `seconds` for the program to end; its exit status, or -1000 when it did not end
// (it is then killed).
int WaitForExit(RunningProgram &program, double seconds);

// Ends every started program and display not yet waited for; runs by itself at the end of
// each test.
void StopLeftoverPrograms();

// Starts Xvfb with one screen ("800x600x24") on a free display; its name (":N"), or "" when it
// could not start. It runs until the end of the test.
std::string StartVirtualDisplay(const std::string &screen);

// Processor time the program has used so far, user and system, in clock ticks; -1 when gone.
long CpuTicks(const RunningProgram &program);

std::string ReadStderr(const RunningProgram &program);

// Output of a shell command, trailing newline removed.
std::string RunCommand(const std::string &command);

// Waits up to `seconds` for a window named exactly `name`; its id or "".
std::string WaitForWindow(const std::string &name, double seconds);

// Waits up to `seconds` for a window named exactly `name` other than `previousId`: the one that
// replaced it. Its id or "".
std::string WaitForWindowOtherThan(const std::string &name, const std::string &previousId, double seconds);

// Waits up to `seconds` until the window is gone or unmapped; false when it still shows.
bool WaitForWindowGone(const std::string &windowId, double seconds);

// Focuses the window and presses each key (xdotool key names, blank-separated) in turn.
void PressKeys(const std::string &windowId, const std::string &keys);

// A fresh directory holding the given files of data/ (and nothing else).
std::string MakeRunDirectory(const char *name, const std::vector<std::string> &dataFiles);

void WriteTextFile(const std::string &path, const std::string &text);
// The file's bytes, "" when it cannot be read.
std::string ReadTextFile(const std::string &path);

// Starts the program in `directory` and answers the start-up question with `answer` (Return
// for Yes, Escape for No); false when no question came.
bool StartAnswering(RunningProgram &program, const std::string &directory, const char *answer,
                    const std::vector<std::string> &environment = {});

// Answers No, so the program opens a window.
bool StartWindowed(RunningProgram &program, const std::string &directory,
                   const std::vector<std::string> &environment = {});

// Points DISPLAY at another display for as long as it lives.
struct DisplayOverride {
    explicit DisplayOverride(const std::string &display);
    ~DisplayOverride();
    std::string saved;
};

// Starts the program windowed; the main window's id, or "" when it did not come (a missing
// start-up question is a test failure).
std::string OpenWindowed(RunningProgram &program, const std::string &directory);

// Waits up to `seconds` until the main window draws frames: its message loop runs,
// so keys pressed from now on are seen rather than arriving with their releases in one batch.
// PressKeys waits so for every main window it presses into.
bool WaitUntilDrawing(const std::string &windowId, double seconds);

// A window's contents: RGB rows from the top, empty when it could not be read.
struct Picture {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
};

// The window's contents through ImageMagick, read back from the binary PPM written to `path`.
Picture TakePicture(const std::string &windowId, const std::string &path);

// Takes pictures of the window until one `fits` or `seconds` have passed; the last one taken.
// The wait for a key's effect: a frame shows it once the program has read the key.
Picture WaitForPicture(const std::string &windowId, const std::string &path,
                       const std::function<bool(const Picture &)> &fits, double seconds);

// The window's size as xwininfo gives it, blanks removed: "Width:800Height:600".
std::string WindowSize(const std::string &windowId);

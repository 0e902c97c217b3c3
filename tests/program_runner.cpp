// program_runner.cpp -- process and X11 helpers for the end-to-end tests.
#include "tests/program_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

namespace {

// Programs started and not yet waited for.
std::vector<pid_t> unreaped;

// Main windows seen drawing since the last program started (X reuses window ids).
std::vector<std::string> drawing;

// A test that stops at a failed assertion leaves its program running, holding the display and
// the test's output pipe open; it is ended with the test.
struct LeftoverProgramStopper : ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo &) override { StopLeftoverPrograms(); }
};

const bool stopperInstalled =
    (::testing::UnitTest::GetInstance()->listeners().Append(new LeftoverProgramStopper), true);

// The program under test and how it is started: the Linux build by default; the Windows build
// with HALMWIND_TEST_PROGRAM=.../halmwind.exe and HALMWIND_TEST_LAUNCHER=wine.
const char *ProgramPath()
{
    const char *program = std::getenv("HALMWIND_TEST_PROGRAM");
    return program && *program ? program : HALMWIND_PROGRAM;
}

const char *Launcher()
{
    const char *launcher = std::getenv("HALMWIND_TEST_LAUNCHER");
    return launcher && *launcher ? launcher : nullptr;
}

void Forget(pid_t pid)
{
    unreaped.erase(std::remove(unreaped.begin(), unreaped.end(), pid), unreaped.end());
}

}  // namespace

RunningProgram StartProgram(const std::string &directory, const std::vector<std::string> &environment)
{
    RunningProgram program;
    program.stderrPath = directory + "/stderr.txt";
    drawing.clear();
    program.pid = fork();
    if (program.pid == 0) {
        if (chdir(directory.c_str()) != 0) {
            _exit(127);
        }
        // Standard output too: the program must not share the test runner's pipe.
        int err = open(program.stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(err, 1);
        dup2(err, 2);
        for (const std::string &setting : environment) {
            if (setting[0] == '-') {
                unsetenv(setting.c_str() + 1);
            } else {
                putenv(const_cast<char *>(setting.c_str()));
            }
        }
        if (const char *launcher = Launcher()) {
            execlp(launcher, launcher, ProgramPath(), (char *)nullptr);
        } else {
            execl(ProgramPath(), ProgramPath(), (char *)nullptr);
        }
        _exit(127);
    }
    if (program.pid > 0) {
        unreaped.push_back(program.pid);
    }
    return program;
}

int WaitForExit(RunningProgram &program, double seconds)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (waitpid(program.pid, &status, WNOHANG) == program.pid) {
            Forget(program.pid);
            return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(program.pid, SIGKILL);
    waitpid(program.pid, nullptr, 0);
    Forget(program.pid);
    return -1000;
}

void StopLeftoverPrograms()
{
    // Asked first, so that a display server can remove its lock file.
    for (pid_t pid : unreaped) {
        kill(pid, SIGTERM);
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    for (pid_t pid : unreaped) {
        while (waitpid(pid, nullptr, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    unreaped.clear();
}

std::string StartVirtualDisplay(const std::string &screen)
{
    int fds[2];
    if (pipe(fds) != 0) {
        return "";
    }
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        std::string fd = std::to_string(fds[1]);
        // Without -noreset the server resets when its last client leaves and drops one connecting then.
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp",
               "-noreset", (char *)nullptr);
        _exit(127);
    }
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        return "";
    }
    unreaped.push_back(pid);
    // Xvfb writes its display number once it takes clients; end of file if it fails.
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') {
        number += c;
    }
    close(fds[0]);
    return number.empty() ? "" : ":" + number;
}

long CpuTicks(const RunningProgram &program)
{
    std::ifstream in("/proc/" + std::to_string(program.pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The command name may hold blanks; the fields are counted from its closing bracket.
    size_t close = text.rfind(')');
    if (close == std::string::npos) {
        return -1;
    }
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    long user = -1, system = -1;
    for (int i = 3; fields >> field; i++) {
        if (i == 14) {
            user = std::stol(field);
        } else if (i == 15) {
            system = std::stol(field);
            break;
        }
    }
    return user < 0 || system < 0 ? -1 : user + system;
}

std::string ReadTextFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string ReadStderr(const RunningProgram &program)
{
    return ReadTextFile(program.stderrPath);
}

std::string RunCommand(const std::string &command)
{
    std::string output;
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe) {
        return output;
    }
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) {
        output += buffer;
    }
    pclose(pipe);
    while (!output.empty() && output.back() == '\n') {
        output.pop_back();
    }
    return output;
}

// xdotool's name search misses SDL's message boxes; xwininfo lists every named window.
std::string WaitForWindow(const std::string &name, double seconds)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        std::string id = RunCommand("xwininfo -root -tree 2>/dev/null | grep -F '\"" + name +
                                    "\":' | head -n 1 | awk '{print $1}'");
        if (!id.empty()) {
            return id;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return "";
}

std::string WaitForWindowOtherThan(const std::string &name, const std::string &previousId, double seconds)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        std::string id = RunCommand("xwininfo -root -tree 2>/dev/null | grep -F '\"" + name +
                                    "\":' | awk '{print $1}' | grep -vxF '" + previousId + "' | head -n 1");
        if (!id.empty()) {
            return id;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return "";
}

// Wine may keep a closed box's X window a while, unmapped.
static bool WindowShown(const std::string &windowId)
{
    return RunCommand("xwininfo -id " + windowId + " 2>/dev/null | grep -c IsViewable") == "1";
}

bool WaitForWindowGone(const std::string &windowId, double seconds)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        // Wine may keep a closed window's X window a while, unmapped.
        if (!WindowShown(windowId)) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

// A chord such as "alt+w" is let go of last key first, as fingers do: with the modifier up
// first, the key's auto-repeat in between would arrive as a plain key.
static std::string ReleaseOrder(const std::string &chord)
{
    std::vector<std::string> keys;
    std::istringstream in(chord);
    for (std::string key; std::getline(in, key, '+');) {
        keys.push_back(key);
    }
    std::string order;
    for (auto key = keys.rbegin(); key != keys.rend(); ++key) {
        order += (order.empty() ? "" : "+") + *key;
    }
    return order;
}

void PressKeys(const std::string &windowId, const std::string &keys)
{
    const bool mainWindow = RunCommand("xwininfo -id " + windowId + " 2>/dev/null | grep -c '\"Halmwind\"'") == "1";
    // Keys pressed before the loop draws arrive with their releases in one batch and are lost:
    // the wait is for the loop's first frame, however long a loaded machine takes to set up
    // the scene. Under Wine a window that cannot show its rate line (full screen refused, so
    // the 800 x 600 picture is cut to a smaller client area) gives no sign: after a while the
    // keys go in anyway.
    if (mainWindow && !WaitUntilDrawing(windowId, TestingWindowsBuild() ? 20 : 180) && !TestingWindowsBuild()) {
        ADD_FAILURE() << "window " << windowId << " never drew a frame: keys for it would be lost";
    }
    // Each key is tapped, as a quick finger does: the program keeps a press until a frame has
    // read it. xdotool waits for the focus without end when the window has gone in the meantime.
    std::string command = "timeout 20 xdotool windowfocus --sync " + windowId + " 2>/dev/null";
    std::istringstream names(keys);
    std::string key;
    while (names >> key) {
        command += "; xdotool keydown " + key + " keyup " + ReleaseOrder(key);
    }
    RunCommand(command);
    // A message box shown while the main window is up runs its own message loop, which hands the
    // main window its paint messages one after another: under Wine it then takes the keyboard
    // only every 200 messages. The answer is pressed again until the box is gone.
    if (!mainWindow && TestingWindowsBuild()) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(40);
        while (WindowShown(windowId) && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::seconds(2));
            if (WindowShown(windowId)) {
                RunCommand(command);
            }
        }
    }
}

std::string MakeRunDirectory(const char *name, const std::vector<std::string> &dataFiles)
{
    std::string directory = std::string(::testing::TempDir()) + "halmwind_run_" + name;
    RunCommand("rm -rf '" + directory + "' && mkdir -p '" + directory + "'");
    for (const std::string &file : dataFiles) {
        RunCommand("cp '" HALMWIND_DATA_DIR "/" + file + "' '" + directory + "/'");
    }
    return directory;
}

void WriteTextFile(const std::string &path, const std::string &text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}

bool StartAnswering(RunningProgram &program, const std::string &directory, const char *answer,
                    const std::vector<std::string> &environment)
{
    program = StartProgram(directory, environment);
    std::string question = WaitForWindow("FullScreen-Modus?", 20);
    if (question.empty()) {
        return false;
    }
    PressKeys(question, answer);
    return true;
}

bool StartWindowed(RunningProgram &program, const std::string &directory,
                   const std::vector<std::string> &environment)
{
    return StartAnswering(program, directory, NoKey(), environment);
}

DisplayOverride::DisplayOverride(const std::string &display)
    : saved(std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "")
{
    setenv("DISPLAY", display.c_str(), 1);
}

DisplayOverride::~DisplayOverride()
{
    setenv("DISPLAY", saved.c_str(), 1);
}

std::string OpenWindowed(RunningProgram &program, const std::string &directory)
{
    if (!StartWindowed(program, directory)) {
        ADD_FAILURE() << "no start-up question\n" << ReadStderr(program);
        return "";
    }
    std::string id = WaitForWindow("Halmwind", 20);
    if (!id.empty()) {
        WaitUntilDrawing(id, 20);
    }
    return id;
}

// The program shows its window before the scene is set up (under Wine that takes seconds, the
// overlay font most of it), and its message loop starts only after that: keys pressed before
// arrive with their releases in one batch and are never seen held. Frames are drawn only by the
// loop.

// The pixels of the frame-rate corner, or "" when the window cannot be read.
static std::string RateCorner(const std::string &windowId)
{
    const std::string path = std::string(::testing::TempDir()) + "halmwind_corner.ppm";
    // import, like xdotool, can wait without end on a window that goes while it reads it.
    RunCommand("timeout 20 import -window " + windowId + " -crop 200x40+600+0 -depth 8 ppm:" + path + " 2>/dev/null");
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WaitUntilDrawing(const std::string &windowId, double seconds)
{
    if (std::find(drawing.begin(), drawing.end(), windowId) != drawing.end()) {
        return true;
    }
    // The rate line changes only when frames are drawn. Under Xvfb a new window shows nothing
    // of its own until the loop's first frame, so its first change says the loop runs. A new
    // window under Wine without a window manager first shows whatever the screen held there,
    // often the meadow of the program before: its second change (to the first count after "0")
    // comes from the message loop. A corner that cannot be read yet (the window not mapped) is
    // no picture to compare with.
    const int changesNeeded = TestingWindowsBuild() ? 2 : 1;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    std::string last = RateCorner(windowId);
    int changes = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        std::string corner = RateCorner(windowId);
        if (corner.empty()) {
            continue;
        }
        if (!last.empty() && corner != last && ++changes == changesNeeded) {
            drawing.push_back(windowId);
            return true;
        }
        last = corner;
    }
    return false;
}

const char *NoKey()
{
    // Wine's Yes/No box answers Escape with IDCANCEL, which is not No; its No button is N.
    const char *key = std::getenv("HALMWIND_TEST_NO_KEY");
    return key && *key ? key : "Escape";
}

bool TestingWindowsBuild()
{
    return Launcher() != nullptr;
}

Picture TakePicture(const std::string &windowId, const std::string &path)
{
    Picture picture;
    RunCommand("timeout 20 import -window " + windowId + " -depth 8 ppm:" + path);
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) {
        return picture;
    }
    int maxValue = 0;
    if (std::fscanf(f, "P6 %d %d %d", &picture.width, &picture.height, &maxValue) == 3 && maxValue == 255) {
        std::fgetc(f);
        picture.rgb.resize(size_t(picture.width) * picture.height * 3);
        if (std::fread(picture.rgb.data(), 1, picture.rgb.size(), f) != picture.rgb.size()) {
            picture.rgb.clear();
        }
    }
    std::fclose(f);
    return picture;
}

Picture WaitForPicture(const std::string &windowId, const std::string &path,
                       const std::function<bool(const Picture &)> &fits, double seconds)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    Picture picture = TakePicture(windowId, path);
    while (!fits(picture) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        picture = TakePicture(windowId, path);
    }
    return picture;
}

std::string WindowSize(const std::string &windowId)
{
    return RunCommand("xwininfo -id " + windowId + " | grep -E 'Width|Height' | tr -d ' \n'");
}

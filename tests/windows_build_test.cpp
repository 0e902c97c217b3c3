// windows_build_test.cpp -- what only the Windows build under Wine shows: the Win32 class and
// styles, the system keys, the same first meadow as the Linux build, full screen in a virtual
// desktop. Skipped unless the runner drives halmwind.exe (make test-windows).
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/program_runner.h"
#include "tests/window_close.h"

namespace {

// Pixels that differ between rows `top` and `bottom` (exclusive); -1 for frames of other sizes.
int Differing(const Picture &a, const Picture &b, int top, int bottom, int tolerance = 0)
{
    if (a.rgb.empty() || a.rgb.size() != b.rgb.size()) {
        return -1;
    }
    int count = 0;
    for (int y = top; y < bottom; y++) {
        for (int x = 0; x < a.width; x++) {
            size_t i = (size_t(y) * a.width + x) * 3;
            count += std::abs(a.rgb[i] - b.rgb[i]) > tolerance || std::abs(a.rgb[i + 1] - b.rgb[i + 1]) > tolerance ||
                     std::abs(a.rgb[i + 2] - b.rgb[i + 2]) > tolerance;
        }
    }
    return count;
}

// The first frame the window shows: under Wine the window appears well before it is drawn.
Picture TakeDrawnPicture(const std::string &windowId, const std::string &path)
{
    auto drawn = [](const Picture &frame) {
        int lit = 0;
        for (size_t i = 0; i < frame.rgb.size(); i += 3) {
            lit += frame.rgb[i + 1] > 64;
        }
        return lit > 10000;
    };
    Picture frame = WaitForPicture(windowId, path, drawn, 60);
    return drawn(frame) ? frame : Picture{};
}

// The Win32 side of the window named `title`, as the probe prints it; inside the Wine virtual
// desktop `desktop` when one is named.
std::string Probe(const std::string &title, const std::string &desktop = "")
{
    const char *probe = std::getenv("HALMWIND_TEST_WINDOW_PROBE");
    const std::string inside = desktop.empty() ? "" : " explorer /desktop=" + desktop;
    return RunCommand("wine" + inside + " '" + (probe ? probe : "") + "' '" + title + "' 2>/dev/null");
}

// The overlay's top lines end above row 60 and its bottom lines start below row 480.
constexpr int SceneTop = 60, SceneBottom = 480;

class WindowsBuild : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!TestingWindowsBuild()) {
            GTEST_SKIP() << "drives halmwind.exe under wine: make test-windows";
        }
    }
};

}  // namespace

TEST_F(WindowsBuild, ClassStylesAndSystemKeys)
{
    std::string dir = MakeRunDirectory("win_class", {"wind.cg", "terrain.raw"});
    RunningProgram program;
    std::string id = OpenWindowed(program, dir);
    ASSERT_NE(id, "") << ReadStderr(program);
    std::string probe = Probe("Halmwind");
    EXPECT_EQ(probe.substr(0, probe.find(" display")), "class OpenGL client 800x600 style overlapped topmost 0");

    // W alone reaches the key table; Alt+W and F10 arrive as system keys and never do (F10 then
    // holds the window in menu mode, as on Windows, so the close button ends the run).
    Picture before = TakeDrawnPicture(id, dir + "/before.ppm");
    ASSERT_EQ(before.width, 800);
    PressKeys(id, "w");
    Picture windy = WaitForPicture(
        id, dir + "/w.ppm", [&](const Picture &p) { return Differing(before, p, SceneTop, 600) > 1000; }, 60);
    EXPECT_GT(Differing(before, windy, SceneTop, 600), 1000);
    // F3 twice after Alt+W: once the wire frame has come and gone, Alt+W has been read too.
    PressKeys(id, "alt+w F3");
    WaitForPicture(id, dir + "/wire.ppm", [&](const Picture &p) { return Differing(windy, p, SceneTop, 600) > 20000; }, 60);
    PressKeys(id, "F3");
    Picture system = WaitForPicture(
        id, dir + "/system.ppm", [&](const Picture &p) { return Differing(windy, p, SceneTop, 600) == 0; }, 30);
    EXPECT_EQ(Differing(windy, system, SceneTop, 600), 0) << "Alt+W reached the key table";
    PressKeys(id, "F10");
    ASSERT_TRUE(SendCloseRequest(id));
    EXPECT_EQ(WaitForExit(program, 30), 0) << ReadStderr(program);
}

TEST_F(WindowsBuild, FirstMeadowMatchesTheLinuxBuild)
{
    std::string dir = MakeRunDirectory("win_meadow", {"wind.cg", "terrain.raw"});
    Picture frames[2];
    for (int linux = 0; linux < 2; linux++) {
        // The second run is the Linux build: the runner starts it while no launcher is set.
        std::vector<std::string> saved;
        const char *names[] = {"HALMWIND_TEST_PROGRAM", "HALMWIND_TEST_LAUNCHER", "HALMWIND_TEST_NO_KEY"};
        for (const char *name : names) {
            saved.push_back(std::getenv(name) ? std::getenv(name) : "");
            if (linux) {
                unsetenv(name);
            }
        }
        if (linux) {
            // Wine's own processes outlive the program for a while and may take the focus back.
            RunCommand("wineserver -w");
        }
        RunningProgram running;
        std::string id = OpenWindowed(running, dir);
        for (size_t i = 0; i < saved.size(); i++) {
            setenv(names[i], saved[i].c_str(), 1);
        }
        ASSERT_NE(id, "") << (linux ? "Linux" : "Windows") << " build\n" << ReadStderr(running);
        frames[linux] = TakeDrawnPicture(id, dir + (linux ? "/linux.ppm" : "/windows.ppm"));
        PressKeys(id, "Escape");
        EXPECT_EQ(WaitForExit(running, 30), 0) << ReadStderr(running);
    }
    ASSERT_EQ(frames[0].width, 800);
    ASSERT_EQ(frames[0].height, 600);
    // At most 1% of the scene's pixels: the rasterisers of the two Mesa builds may differ at edges.
    // The 32-bit and the 64-bit llvmpipe round the blended colours of a blade differently by a
    // level or three; a pixel differs when a channel is further off than that.
    int differing = Differing(frames[0], frames[1], SceneTop, SceneBottom, 3);
    EXPECT_GE(differing, 0);
    EXPECT_LE(differing, 800 * (SceneBottom - SceneTop) / 100);
}

TEST_F(WindowsBuild, YesSwitchesTheDisplayInsideAVirtualDesktop)
{
    // A plain X server refuses Wine's mode switch; a Wine virtual desktop takes it and becomes
    // 800 x 600 itself. Its programs' windows are X windows inside the desktop's.
    std::string dir = MakeRunDirectory("win_desktop", {"wind.cg", "terrain.raw"});
    const std::string launcher = dir + "/in_desktop.sh";
    WriteTextFile(launcher, "#!/bin/sh\nexec wine explorer /desktop=halmwind,1024x768 \"$@\"\n");
    RunCommand("chmod +x '" + launcher + "'");
    const std::string saved = std::getenv("HALMWIND_TEST_LAUNCHER");
    setenv("HALMWIND_TEST_LAUNCHER", launcher.c_str(), 1);
    RunningProgram program;
    bool asked = StartAnswering(program, dir, "Return");
    setenv("HALMWIND_TEST_LAUNCHER", saved.c_str(), 1);
    ASSERT_TRUE(asked) << ReadStderr(program);
    std::string id = WaitForWindow("Halmwind", 30);
    ASSERT_NE(id, "") << ReadStderr(program);
    EXPECT_EQ(WaitForWindow("Error", 1), "") << "the switch was reported as failed";
    std::string desktop = WaitForWindow("halmwind - Wine desktop", 5);
    EXPECT_EQ(WindowSize(desktop), "Width:800Height:600");
    // The desktop's console ends the probe's line with a carriage return.
    std::string probe = Probe("Halmwind", "halmwind");
    probe.erase(probe.find_last_not_of('\r') + 1);
    EXPECT_EQ(probe, "class OpenGL client 800x600 style popup topmost 1 display 800x600x32");

    // F1 closes the full-screen window: the desktop's own mode comes back before the window
    // that follows opens. The key is held longer than X's auto-repeat delay under Wine, and a
    // repeat reaching the new window would toggle it back: the repeat is off for the toggles.
    RunCommand("xset r off");
    PressKeys(id, "F1");
    std::string windowed = WaitForWindowOtherThan("Halmwind", id, 60);
    ASSERT_NE(windowed, "") << ReadStderr(program);
    ASSERT_TRUE(WaitUntilDrawing(windowed, 60));
    EXPECT_EQ(WindowSize(desktop), "Width:1024Height:768");
    probe = Probe("Halmwind", "halmwind");
    probe.erase(probe.find_last_not_of('\r') + 1);
    EXPECT_EQ(probe, "class OpenGL client 800x600 style overlapped topmost 0 display 1024x768x32");

    // Full screen again, then the close button ends the program; the desktop, its last window
    // gone, ends with it. Wine answers with the desktop's exit code, so the outcome is read
    // from the windows.
    PressKeys(windowed, "F1");
    id = WaitForWindowOtherThan("Halmwind", windowed, 60);
    ASSERT_NE(id, "") << ReadStderr(program);
    ASSERT_TRUE(WaitUntilDrawing(id, 60));
    EXPECT_EQ(WindowSize(desktop), "Width:800Height:600");
    RunCommand("xset r on");
    ASSERT_TRUE(SendCloseRequest(id));
    EXPECT_EQ(WaitForExit(program, 30), 0) << ReadStderr(program);
    EXPECT_EQ(WaitForWindow("Halmwind", 0.1), "");
}

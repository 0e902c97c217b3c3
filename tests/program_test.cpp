// program_test.cpp -- the real program under the test display: start, keys, failures, exit codes.
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/program_runner.h"
#include "tests/window_close.h"

namespace {

// Pixels that differ between two pictures, leaving out the frame-rate corner, which changes
// by itself every second.
int ChangedPixels(const Picture &a, const Picture &b)
{
    if (a.rgb.size() != b.rgb.size() || a.rgb.empty()) {
        return -1;
    }
    int changed = 0;
    for (int y = 0; y < a.height; y++) {
        for (int x = 0; x < a.width; x++) {
            if (x > a.width * 3 / 4 && y < a.height / 10) {
                continue;
            }
            size_t i = (size_t(y) * a.width + x) * 3;
            changed += a.rgb[i] != b.rgb[i] || a.rgb[i + 1] != b.rgb[i + 1] || a.rgb[i + 2] != b.rgb[i + 2];
        }
    }
    return changed;
}

}

TEST(Program, OpensTheWindowAndEndsWithEscape)
{
    std::string dir = MakeRunDirectory("escape", {"wind.cg", "terrain.raw"});
    RunningProgram program;
    std::string id = OpenWindowed(program, dir);
    ASSERT_NE(id, "") << ReadStderr(program);
    EXPECT_EQ(WindowSize(id), "Width:800Height:600");
    PressKeys(id, "Escape");
    EXPECT_EQ(WaitForExit(program, 20), 0) << ReadStderr(program);
}

TEST(Program, WithoutDisplayWritesTheMessagesAndFails)
{
    std::string dir = MakeRunDirectory("nodisplay", {"wind.cg", "terrain.raw"});
    RunningProgram program = StartProgram(dir, {"-DISPLAY", "-WAYLAND_DISPLAY"});
    // The entry point returns -1, which the shell shows as 255.
    EXPECT_EQ(WaitForExit(program, 20), 255);
    std::string err = ReadStderr(program);
    EXPECT_NE(err.find("FullScreen-Modus?: M\xC3\xB6" "chten Sie im Fullscreen-Modus starten?"), std::string::npos) << err;
    EXPECT_NE(err.find("Error: RegisterClassEx Failed!"), std::string::npos) << err;
    EXPECT_NE(err.find("Error: Error Registering Window Class!"), std::string::npos) << err;
}

TEST(Program, F1RecreatesTheWindowAfterTheModeSwitchFails)
{
    // The test display has no 800 x 600 mode: full screen cannot be had. Yes is answered with
    // the message and a window, and the request stays at full screen.
    std::string dir = MakeRunDirectory("toggle", {"wind.cg", "terrain.raw"});
    RunningProgram program;
    ASSERT_TRUE(StartAnswering(program, dir, "Return")) << ReadStderr(program);
    std::string error = WaitForWindow("Error", 20);
    ASSERT_NE(error, "") << "no mode-switch message\n" << ReadStderr(program);
    PressKeys(error, "Return");
    std::string first = WaitForWindow("Halmwind", 20);
    ASSERT_NE(first, "");
    if (TestingWindowsBuild()) {
        // Win32 makes the window from the unadjusted rectangle: its outer size is 800 x 600,
        // the client area inside the frame smaller.
        int width = 0, height = 0;
        ASSERT_EQ(std::sscanf(WindowSize(first).c_str(), "Width:%dHeight:%d", &width, &height), 2);
        EXPECT_TRUE(width < 800 && width > 780 && height < 600 && height > 560) << width << "x" << height;
    } else {
        EXPECT_EQ(WindowSize(first), "Width:800Height:600");
    }
    // The first toggle asks for a window: no message this time. The first window going is the
    // program's sign that it took the key; the second comes once the old one is released.
    PressKeys(first, "F1");
    ASSERT_TRUE(WaitForWindowGone(first, 60)) << "F1 was lost: the first window is still there\n"
                                              << ReadStderr(program);
    std::string second = WaitForWindowOtherThan("Halmwind", first, 60);
    ASSERT_NE(second, "") << "F1 was taken, but no second window came\n" << ReadStderr(program);
    EXPECT_EQ(WaitForWindow("Error", 1), "");
    // The second asks for full screen again, and fails again.
    PressKeys(second, "F1");
    ASSERT_TRUE(WaitForWindowGone(second, 60)) << "the second F1 was lost";
    error = WaitForWindow("Error", 60);
    ASSERT_NE(error, "") << "no mode-switch message after the second toggle";
    PressKeys(error, "Return");
    std::string third = WaitForWindowOtherThan("Halmwind", second, 60);
    ASSERT_NE(third, "");
    PressKeys(third, "Escape");
    EXPECT_EQ(WaitForExit(program, 20), 0);
}

TEST(Program, YesCoversTheDisplayWithoutCursorUntilF1)
{
    // A display of its own whose mode is 800 x 600: the switch is made.
    std::string display = StartVirtualDisplay("800x600x24");
    ASSERT_NE(display, "") << "Xvfb did not start";
    DisplayOverride restore(display);
    std::string dir = MakeRunDirectory("fullscreen", {"wind.cg", "terrain.raw"});
    RunningProgram program;
    ASSERT_TRUE(StartAnswering(program, dir, "Return")) << ReadStderr(program);
    std::string id = WaitForWindow("Halmwind", 20);
    ASSERT_NE(id, "") << ReadStderr(program);
    EXPECT_EQ(WaitForWindow("Error", 1), "") << "the switch was reported as failed";
    EXPECT_EQ(WindowSize(id), "Width:800Height:600");
    EXPECT_EQ(RunCommand("xwininfo -id " + id + " | grep Absolute | tr -d ' \n'"),
              "Absoluteupper-leftX:0Absoluteupper-leftY:0");
    EXPECT_NE(RunCommand("xprop -id " + id + " WM_CLASS").find("\"OpenGL\", \"OpenGL\""), std::string::npos);
    EXPECT_TRUE(CursorBlankAt(400, 300)) << "the cursor shows over the full-screen window";

    // F1: a window again, and the cursor is back.
    PressKeys(id, "F1");
    std::string windowed = WaitForWindowOtherThan("Halmwind", id, 20);
    ASSERT_NE(windowed, "") << ReadStderr(program);
    EXPECT_FALSE(CursorBlankAt(400, 300)) << "the cursor stays hidden over the window";
    PressKeys(windowed, "Escape");
    EXPECT_EQ(WaitForExit(program, 20), 0) << ReadStderr(program);
}

TEST(Program, WindProgramFailuresEndAfterTheirBox)
{
    struct Case {
        const char *name;
        std::vector<std::string> files;
        const char *windSource;
        std::vector<std::string> environment;
    };
    const Case cases[] = {
        {"broken", {"terrain.raw"},
         "struct appin {\n  float4 position : POSITION;\n};\n"
         "float4 main(appin IN) : POSITION\n{\n  return undefinedThing;\n}\n",
         {}},
        {"nowind", {"terrain.raw"}, nullptr, {}},
        {"gl15", {"wind.cg", "terrain.raw"}, nullptr, {"MESA_GL_VERSION_OVERRIDE=1.5"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::string dir = MakeRunDirectory(c.name, c.files);
        if (c.windSource) {
            WriteTextFile(dir + "/wind.cg", c.windSource);
        }
        RunningProgram program;
        ASSERT_TRUE(StartWindowed(program, dir, c.environment)) << "no start-up question\n" << ReadStderr(program);
        std::string error = WaitForWindow("Error", 20);
        ASSERT_NE(error, "") << ReadStderr(program);
        PressKeys(error, "Return");
        EXPECT_EQ(WaitForExit(program, 20), 0);
    }
}

TEST(Program, ChosenDriverWithoutGlCannotCreateTheWindow)
{
    // The dummy driver, named by the user, registers but has no GL: the window cannot be made.
    // Its box cannot be shown by that driver either, so the message goes to stderr.
    std::string dir = MakeRunDirectory("dummy", {"wind.cg", "terrain.raw"});
    RunningProgram program;
    ASSERT_TRUE(StartWindowed(program, dir, {"SDL_VIDEODRIVER=dummy"})) << ReadStderr(program);
    EXPECT_EQ(WaitForExit(program, 20), 0);
    std::string err = ReadStderr(program);
    EXPECT_NE(err.find("Error: Error Creating OpenGL Window"), std::string::npos) << err;
    EXPECT_EQ(err.find("RegisterClassEx"), std::string::npos) << err;
    EXPECT_EQ(WaitForWindow("Halmwind", 0.1), "");
}

TEST(Program, KeysChangeWhatTheScreenShowsAndSystemKeysDoNot)
{
    std::string dir = MakeRunDirectory("keys", {"wind.cg", "terrain.raw"});
    RunningProgram program;
    std::string id = OpenWindowed(program, dir);
    ASSERT_NE(id, "") << ReadStderr(program);
    std::string shot = dir + "/shot.ppm";

    // Each key in turn must change a good part of the picture: W the wind lines and the bend,
    // A the mode line, F3 the wire frame, F4 the light, the arrows the camera.
    struct Step {
        const char *keys;
        int atLeast;
    };
    const Step steps[] = {
        {"w", 3000}, {"a", 300}, {"F3", 20000}, {"F3", 20000}, {"F4", 20000},
        {"Up", 3000}, {"Left", 3000},
    };
    Picture before = TakePicture(id, shot);
    ASSERT_EQ(before.width, 800);
    for (const Step &step : steps) {
        PressKeys(id, step.keys);
        Picture after = WaitForPicture(id, shot, [&](const Picture &p) { return ChangedPixels(before, p) >= step.atLeast; }, 60);
        EXPECT_GE(ChangedPixels(before, after), step.atLeast) << step.keys;
        before = after;
        if (step.keys == steps[0].keys) {
            // The steady wind on, nothing moves by itself. Real X key events with Alt held are
            // system keys: they never reach the key table. The wire frame on and off again after
            // them says when they have been read.
            PressKeys(id, "alt+w alt+a alt+F1 F3");
            WaitForPicture(id, shot, [&](const Picture &p) { return ChangedPixels(before, p) >= 20000; }, 60);
            ASSERT_FALSE(WaitForWindowGone(id, 0.1)) << "Alt+F1 toggled the window";
            PressKeys(id, "F3");
            Picture system = WaitForPicture(id, shot, [&](const Picture &p) { return ChangedPixels(before, p) == 0; }, 30);
            EXPECT_EQ(ChangedPixels(before, system), 0) << "a system key changed the picture";
        }
    }
    PressKeys(id, "Escape");
    EXPECT_EQ(WaitForExit(program, 20), 0) << ReadStderr(program);
}

TEST(Program, SixQuickTapsOfF3FlipTheWireFrameSixTimes)
{
    std::string dir = MakeRunDirectory("taps", {"wind.cg", "terrain.raw"});
    RunningProgram program;
    std::string id = OpenWindowed(program, dir);
    ASSERT_NE(id, "") << ReadStderr(program);
    ASSERT_TRUE(WaitUntilDrawing(id, 60));
    std::string shot = dir + "/shot.ppm";
    // The filled meadow as it stands still: two pictures in a row alike.
    Picture last;
    const Picture filled = WaitForPicture(id, shot, [&](const Picture &p) {
        const bool still = ChangedPixels(last, p) == 0;
        last = p;
        return still;
    }, 60);
    ASSERT_EQ(filled.width, 800);
    // Each tap is a press and a release with no pause between, as xdotool sends them; the wire
    // frame (tens of thousands of pixels) must come with every odd tap and go with every even one.
    for (int tap = 1; tap <= 6; tap++) {
        RunCommand("timeout 20 xdotool windowfocus --sync " + id + " 2>/dev/null; xdotool keydown F3 keyup F3");
        const bool wire = tap % 2 == 1;
        auto flipped = [&](const Picture &p) {
            int changed = ChangedPixels(filled, p);
            return wire ? changed >= 20000 : changed >= 0 && changed < 1000;
        };
        ASSERT_TRUE(flipped(WaitForPicture(id, shot, flipped, 60))) << "tap " << tap << " was lost";
    }
    PressKeys(id, "Escape");
    EXPECT_EQ(WaitForExit(program, 20), 0) << ReadStderr(program);
}

namespace {

// Pixels of the scene (below the overlay's top lines, above its bottom ones) that are plainly red
// or plainly green.
struct Colours {
    int red = 0, green = 0;
};

Colours SceneColours(const Picture &p)
{
    Colours c;
    for (int y = 60; y < 480 && !p.rgb.empty(); y++) {
        for (int x = 0; x < p.width; x++) {
            const unsigned char *rgb = &p.rgb[(size_t(y) * p.width + x) * 3];
            c.red += rgb[0] > 150 && rgb[1] < 60 && rgb[2] < 60;
            c.green += rgb[1] > 100 && rgb[0] < 100;
        }
    }
    return c;
}

// Pixels of the message line's colour under the two top lines.
int MessagePixels(const Picture &p)
{
    int n = 0;
    for (int y = 40; y < 80 && !p.rgb.empty(); y++) {
        for (int x = 0; x < p.width / 2; x++) {
            const unsigned char *rgb = &p.rgb[(size_t(y) * p.width + x) * 3];
            n += rgb[0] > 200 && rgb[1] > 60 && rgb[1] < 120 && rgb[2] > 40 && rgb[2] < 100;
        }
    }
    return n;
}

// Saves as many editors do: a new file renamed over the old one.
void SaveOver(const std::string &dir, const std::string &text)
{
    WriteTextFile(dir + "/wind.cg.new", text);
    RunCommand("mv -f '" + dir + "/wind.cg.new' '" + dir + "/wind.cg'");
}

}  // namespace

TEST(Program, WindProgramSavedWhileRunningDrawsWithoutARestart)
{
    std::string dir = MakeRunDirectory("live", {"wind.cg", "terrain.raw"});
    const std::string shipped = ReadTextFile(dir + "/wind.cg");
    std::string red = shipped;
    red.replace(red.find("OUT.Col0 = IN.color;"), 20, "OUT.Col0 = float4(1.0, 0.0, 0.0, 1.0);");
    RunningProgram program;
    std::string id = OpenWindowed(program, dir);
    ASSERT_NE(id, "") << ReadStderr(program);
    std::string shot = dir + "/shot.ppm";
    // The vertex program's path: W twice.
    PressKeys(id, "w w");
    ASSERT_GT(SceneColours(WaitForPicture(id, shot, [](const Picture &p) { return SceneColours(p).green > 20000; }, 60)).green, 20000);

    SaveOver(dir, red);
    Picture reddened = WaitForPicture(id, shot, [](const Picture &p) { return SceneColours(p).red > 20000; }, 60);
    EXPECT_GT(SceneColours(reddened).red, 20000) << "the red program was not taken up";
    EXPECT_LT(SceneColours(reddened).green, 2000);

    // A broken save: the frames go on with the red program, and the message shows.
    SaveOver(dir, "struct appin { float4 position : POSITION; };\nvfconn main(appin IN) { return 1 +; }\n");
    Picture broken = WaitForPicture(id, shot, [](const Picture &p) { return MessagePixels(p) > 100; }, 60);
    EXPECT_GT(MessagePixels(broken), 100) << "no message line";
    EXPECT_GT(SceneColours(broken).red, 20000) << "the last good program stopped drawing";
    EXPECT_EQ(WaitForWindow("Error", 0.1), "") << "a box stopped the frames";
    if (!TestingWindowsBuild()) {
        EXPECT_NE(ReadStderr(program).find("wind.cg(2): error: unknown type 'vfconn'"), std::string::npos)
            << ReadStderr(program);
    }

    SaveOver(dir, shipped);
    Picture green = WaitForPicture(
        id, shot, [](const Picture &p) { return SceneColours(p).green > 20000 && MessagePixels(p) == 0; }, 60);
    EXPECT_GT(SceneColours(green).green, 20000);
    EXPECT_EQ(MessagePixels(green), 0) << "the message outlived the good save";
    PressKeys(id, "Escape");
    EXPECT_EQ(WaitForExit(program, 20), 0) << ReadStderr(program);
}

TEST(Program, CloseButtonEndsWithZero)
{
    std::string dir = MakeRunDirectory("close", {"wind.cg", "terrain.raw"});
    RunningProgram program;
    std::string id = OpenWindowed(program, dir);
    ASSERT_NE(id, "");
    ASSERT_TRUE(SendCloseRequest(id));
    EXPECT_EQ(WaitForExit(program, 20), 0) << ReadStderr(program);
}

namespace {

// The display's current mode as xrandr gives it: "1024x768".
std::string CurrentMode()
{
    return RunCommand("xrandr 2>/dev/null | sed -n 's/.*current \\([0-9]*\\) x \\([0-9]*\\),.*/\\1x\\2/p'");
}

}  // namespace

TEST(Program, FullScreenLeavesTheDesktopModeAndCursorAsItFoundThem)
{
    // A display of 1024 x 768 that offers 800 x 600 too: the switch is made, and undone.
    std::string display = StartVirtualDisplay("1024x768x24");
    ASSERT_NE(display, "") << "Xvfb did not start";
    DisplayOverride restore(display);
    RunCommand("xrandr --newmode 800x600 40 800 840 968 1056 600 601 605 628; xrandr --addmode screen 800x600");
    ASSERT_EQ(CurrentMode(), "1024x768");
    std::string dir = MakeRunDirectory("fullscreen_modes", {"wind.cg", "terrain.raw"});
    RunningProgram program;
    ASSERT_TRUE(StartAnswering(program, dir, "Return")) << ReadStderr(program);
    std::string id = WaitForWindow("Halmwind", 20);
    ASSERT_NE(id, "") << ReadStderr(program);
    ASSERT_TRUE(WaitUntilDrawing(id, 60)) << "the full-screen window never drew\n" << ReadStderr(program);
    EXPECT_EQ(WaitForWindow("Error", 0.1), "") << "the switch was reported as failed";
    EXPECT_EQ(CurrentMode(), "800x600");
    EXPECT_TRUE(CursorBlankAt(400, 300));

    // F1 closes the full-screen window: the desktop's mode and the cursor come back at once.
    PressKeys(id, "F1");
    std::string windowed = WaitForWindowOtherThan("Halmwind", id, 60);
    ASSERT_NE(windowed, "") << ReadStderr(program);
    EXPECT_EQ(CurrentMode(), "1024x768");
    EXPECT_FALSE(CursorBlankAt(400, 300));

    // Full screen again, then the close button: exit code 0, and the mode as it was.
    PressKeys(windowed, "F1");
    id = WaitForWindowOtherThan("Halmwind", windowed, 60);
    ASSERT_NE(id, "") << ReadStderr(program);
    ASSERT_TRUE(WaitUntilDrawing(id, 60));
    EXPECT_EQ(CurrentMode(), "800x600");
    ASSERT_TRUE(SendCloseRequest(id));
    EXPECT_EQ(WaitForExit(program, 60), 0) << ReadStderr(program);
    EXPECT_EQ(CurrentMode(), "1024x768");
    EXPECT_FALSE(CursorBlankAt(400, 300));
}

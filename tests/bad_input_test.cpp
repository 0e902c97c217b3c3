// bad_input_test.cpp -- broken data files, GL without shaders and a window sized, hidden and
// switched from outside: the message each case gives, and how the real program goes on.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <SDL.h>
#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include "platform/linux/app_shell.h"
#include "scene/height_map.h"
#include "shader/shader_program.h"
#include "tests/gl_fixture.h"
#include "tests/message_capture.h"
#include "tests/program_runner.h"

// Leaks are only seen in the AddressSanitizer build (make test-asan); the program under test is
// built with the same flags as this file.
#if defined(__SANITIZE_ADDRESS__)
#define HALMWIND_LEAK_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define HALMWIND_LEAK_CHECKED 1
#endif
#endif

namespace {

std::string ReadDataFile(const char *name)
{
    std::ifstream in(std::string(HALMWIND_DATA_DIR "/") + name, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Replaced(std::string text, const std::string &from, const std::string &to)
{
    size_t at = text.find(from);
    return at == std::string::npos ? "" : text.replace(at, from.size(), to);
}

struct WindCase {
    const char *name;
    std::string source;
    const char *message;  // part of what the set-up reports; nullptr when the program compiles
};

// Missing and empty files and an undefined name are covered in program_test and
// shader_program_test.
std::vector<WindCase> WindCases()
{
    const std::string shipped = ReadDataFile("wind.cg");
    const std::string withoutSl = Replaced(shipped, "    float  sl       : TEXCOORD2;", "");
    std::string garbage(4096, '\0');
    std::mt19937 random(1234);
    for (char &c : garbage) {
        c = char(random() & 0xFF);
    }
    garbage[0] = '\x8F';  // the first byte decides the message: keep it binary
    std::string prose;
    while (prose.size() < (size_t(1) << 20)) {
        prose += "Der Wind weht ueber die Wiese, und das Gras biegt sich.\n";
    }
    return {
        {"syntax", "struct appin {\n  float4 position : POSITION;\n};\n\n"
                   "float4 main(appin IN) : POSITION\n{\n  return IN.position +;\n}\n",
         "wind.cg(7)"},
        {"garbage", garbage, "wind.cg(1): error: unexpected character byte 0x8f"},
        {"prose", prose, "wind.cg(1): error: "},
        {"nomain", Replaced(shipped, "vfconn main(", "vfconn wind("), "no entry function 'main'"},
        {"slmissing", withoutSl, "wind.cg(21): error: "},
        // Valid Cg: the input struct has no sl and the body never asks for it.
        {"slunused", Replaced(withoutSl, "float s = IN.sl;", "float s = 0.0;"), nullptr},
    };
}

struct TerrainCase {
    const char *name;
    void (*make)(const std::string &path);
    bool box;
};

const TerrainCase terrainCases[] = {
    {"missing", [](const std::string &) {}, true},
    {"empty", [](const std::string &path) { WriteTextFile(path, ""); }, true},
    {"onebyte", [](const std::string &path) { WriteTextFile(path, "\x7f"); }, true},
    {"twomib", [](const std::string &path) { WriteTextFile(path, std::string(size_t(2) << 20, '\x60')); }, true},
    {"whole", [](const std::string &path) { WriteTextFile(path, std::string(size_t(1) << 20, '\x60')); }, false},
    {"directory", [](const std::string &path) { mkdir(path.c_str(), 0755); }, true},
    // Root reads any file whatever its mode; the process's own memory opens but fails to read.
    {"unreadable",
     [](const std::string &path) {
         if (geteuid() != 0) {
             WriteTextFile(path, "x");
             chmod(path.c_str(), 0);
         } else {
             EXPECT_EQ(symlink("/proc/self/mem", path.c_str()), 0);
         }
     },
     true},
};

// Confirms the expected "Error" box, or makes sure none comes; then the main window is up and
// Escape ends the program with 0.
void ExpectBoxThenRunsAndEnds(RunningProgram &program, bool box)
{
    std::string main = WaitForWindow("Halmwind", 20);
    ASSERT_NE(main, "") << ReadStderr(program);
    if (box) {
        std::string error = WaitForWindow("Error", 20);
        ASSERT_NE(error, "") << "no message box";
        PressKeys(error, "Return");
    } else {
        EXPECT_EQ(WaitForWindow("Error", 1.0), "") << "unexpected message box";
    }
    PressKeys(main, "Escape");
    // Under Wine the box's owner-less window hands the keyboard back to the main window only
    // after a while, and a key that comes before reaches no window: Escape is pressed again
    // until the program has ended.
    for (int again = 0; TestingWindowsBuild() && again < 6 && !WaitForWindowGone(main, 10); again++) {
        PressKeys(main, "Escape");
    }
    EXPECT_EQ(WaitForExit(program, 20), 0) << ReadStderr(program);
}

// Processor ticks the program uses in one second.
long TicksInOneSecond(const RunningProgram &program)
{
    long before = CpuTicks(program);
    sleep(1);
    return CpuTicks(program) - before;
}

// Measures seconds one by one until the program draws (at least 10 ticks a second) or idles (at
// most 5), as `drawing` asks, for up to 30 s; the last second's ticks. A window event reaches the
// program at its next message, which a busy machine may delay.
long TicksOnceSettled(const RunningProgram &program, bool drawing)
{
    long ticks = TicksInOneSecond(program);
    for (int second = 1; second < 30 && (drawing ? ticks < 10 : ticks > 5); second++) {
        ticks = TicksInOneSecond(program);
    }
    return ticks;
}

}  // namespace

class BadWindProgram : public GlTest {
protected:
    void TearDown() override
    {
        ReleaseShaderContext();
        ASSERT_EQ(chdir(HALMWIND_DATA_DIR), 0);
    }
};

TEST_F(BadWindProgram, SetupNamesTheCauseAndReleasesWhatItMade)
{
    std::string dir = MakeRunDirectory("bad_wind_unit", {});
    for (const WindCase &c : WindCases()) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.source.empty());
        WriteTextFile(dir + "/wind.cg", c.source);
        ASSERT_EQ(chdir(dir.c_str()), 0);
        MessageCapture messages;
        bool ok = SetupShaderProgram();
        if (c.message) {
            EXPECT_FALSE(ok);
            ASSERT_EQ(messages.texts().size(), 1u);
            EXPECT_EQ(messages.texts()[0].rfind("Error: The compile returned an error.\n", 0), 0u)
                << messages.texts()[0];
            EXPECT_NE(messages.texts()[0].find(c.message), std::string::npos) << messages.texts()[0];
            EXPECT_EQ(shaderProgram.program, nullptr);
        } else {
            EXPECT_TRUE(ok);
            EXPECT_TRUE(messages.texts().empty());
            EXPECT_EQ(shaderProgram.sl, nullptr);
            EXPECT_NE(shaderProgram.wind, nullptr);
            // Each window's pass releases its shader objects with the context.
            GLuint program = cgGLGetProgramID(shaderProgram.program);
            ASSERT_NE(program, 0u);
            ReleaseShaderContext();
            EXPECT_FALSE(glIsProgram(program));
        }
        ReleaseShaderContext();
    }
}

TEST(BadWindProgramRun, ShowsTheErrorAndEndsWithZeroOrRunsWhenValid)
{
    for (const WindCase &c : WindCases()) {
        SCOPED_TRACE(c.name);
        StopLeftoverPrograms();  // a case that failed halfway must not disturb the next
        std::string dir = MakeRunDirectory(("wind_" + std::string(c.name)).c_str(), {"terrain.raw"});
        WriteTextFile(dir + "/wind.cg", c.source);
        RunningProgram program;
        ASSERT_TRUE(StartWindowed(program, dir)) << "no start-up question\n" << ReadStderr(program);
        if (c.message) {
            std::string error = WaitForWindow("Error", 20);
            ASSERT_NE(error, "") << ReadStderr(program);
            PressKeys(error, "Return");
            EXPECT_EQ(WaitForExit(program, 20), 0) << ReadStderr(program);
        } else {
            ExpectBoxThenRunsAndEnds(program, false);
        }
    }
}

TEST(BadTerrainRun, BoxUnlessTheMapIsWholeThenRunsAndEndsWithZero)
{
    for (const TerrainCase &c : terrainCases) {
        SCOPED_TRACE(c.name);
        StopLeftoverPrograms();  // a case that failed halfway must not disturb the next
        std::string dir = MakeRunDirectory(("terrain_" + std::string(c.name)).c_str(), {"wind.cg"});
        c.make(dir + "/terrain.raw");
        RunningProgram program;
        ASSERT_TRUE(StartWindowed(program, dir)) << "no start-up question\n" << ReadStderr(program);
        ExpectBoxThenRunsAndEnds(program, c.box);
    }
}

TEST(LoadHeightMap, ReadErrorAfterTheOpenIsReported)
{
    // Mode 000 keeps out only users other than root; a read that fails after the open works for both.
    std::string path = std::string(::testing::TempDir()) + "halmwind_memory.raw";
    std::remove(path.c_str());
    ASSERT_EQ(symlink("/proc/self/mem", path.c_str()), 0);
    std::vector<unsigned char> map(64, 3);
    MessageCapture messages;
    LoadHeightMap(path.c_str(), 64, map.data());
    ASSERT_EQ(messages.texts().size(), 1u);
    EXPECT_EQ(messages.texts()[0], "Error: Daten konnten nicht geholt werden!!");
    EXPECT_EQ(map[0], 3);
    std::remove(path.c_str());
}

// The GL version is fixed when the context is made: this test runs again in a fresh copy of the
// test binary with the version lowered, where the check below applies.
class ShaderlessGl : public GlTest {};

TEST_F(ShaderlessGl, SetupSaysTheProfileIsInvalid)
{
    if (!std::getenv("HALMWIND_SHADERLESS_RUN")) {
        std::string self = RunCommand("readlink /proc/" + std::to_string(getpid()) + "/exe");
        std::string output = RunCommand("HALMWIND_SHADERLESS_RUN=1 MESA_GL_VERSION_OVERRIDE=1.5 '" + self +
                                        "' --gtest_filter=ShaderlessGl.* 2>&1; echo \"exit $?\"");
        EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
        EXPECT_EQ(output.substr(output.rfind('\n') + 1), "exit 0") << output;
        return;
    }
    ASSERT_LT(epoxy_gl_version(), 20);
    ASSERT_EQ(chdir(HALMWIND_DATA_DIR), 0);
    MessageCapture messages;
    EXPECT_FALSE(SetupShaderProgram());
    ASSERT_EQ(messages.texts().size(), 1u);
    EXPECT_EQ(messages.texts()[0], "Error: Invalid profile type");
    ReleaseShaderContext();
}

class ModeSwitch : public GlTest {};

TEST_F(ModeSwitch, FailureIsNamedAndTheWindowStaysAWindow)
{
    for (int i = 0, n = SDL_GetNumDisplayModes(0); i < n; i++) {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(0, i, &mode) == 0 && mode.w == 800 && mode.h == 600) {
            GTEST_SKIP() << "this display can switch to 800 x 600";
        }
    }
    SDL_Window *testWindow = SDL_GL_GetCurrentWindow();
    SDL_GLContext testContext = SDL_GL_GetCurrentContext();
    KeyState keys;
    AppWindow window;
    AppClass appClass = {nullptr, AppClassName};
    InitAppWindow(&window, &keys, &appClass);
    window.title = "Halmwind mode switch";
    MessageCapture messages;
    bool opened = OpenAppWindow(&window);
    CloseAppWindow(&window);
    SDL_GL_MakeCurrent(testWindow, testContext);
    ASSERT_TRUE(opened);
    ASSERT_EQ(messages.texts().size(), 1u);
    EXPECT_EQ(messages.texts()[0], "Error: Mode Switch Failed.\nRunning In Windowed Mode.");
    EXPECT_EQ(window.fullScreen, 0);
}

TEST(WindowFromOutside, SizedToNoHeightAndBackKeepsRunning)
{
    std::string dir = MakeRunDirectory("resize", {"wind.cg", "terrain.raw"});
    RunningProgram program;
    std::string id = OpenWindowed(program, dir);
    ASSERT_NE(id, "") << ReadStderr(program);
    // X has no windows without height: xdotool leaves a height of 0 alone, 1 is the least.
    const struct {
        const char *size;
        const char *geometry;
    } steps[] = {{"800 0", "Width:800Height:600"}, {"800 1", "Width:800Height:1"},
                 {"800 600", "Width:800Height:600"}};
    for (const auto &step : steps) {
        RunCommand("xdotool windowsize " + id + " " + step.size);
        std::string size = WindowSize(id);
        for (int poll = 0; poll < 200 && size != step.geometry; poll++) {
            RunCommand("sleep 0.1");
            size = WindowSize(id);
        }
        EXPECT_EQ(size, step.geometry) << step.size;
    }
    PressKeys(id, "Escape");
    EXPECT_EQ(WaitForExit(program, 20), 0) << ReadStderr(program);
}

TEST(WindowFromOutside, MinimisedStopsDrawingAndRestoredGoesOn)
{
    std::string dir = MakeRunDirectory("minimise", {"wind.cg", "terrain.raw"});
    RunningProgram program;
    std::string id = OpenWindowed(program, dir);
    ASSERT_NE(id, "") << ReadStderr(program);
    // Without a window manager nobody acts on the request; the unmap is what one would do.
    RunCommand("xdotool windowminimize " + id + "; xdotool windowunmap --sync " + id);
    EXPECT_LE(TicksOnceSettled(program, false), 5) << "still drawing while minimised";
    // A new size while minimised sets the projection and nothing more: still no frames.
    RunCommand("timeout 20 xdotool windowsize --sync " + id + " 640 480");
    EXPECT_LE(TicksInOneSecond(program), 5) << "drawing again after a resize while minimised";
    RunCommand("xdotool windowmap --sync " + id + "; xdotool windowactivate " + id + " 2>/dev/null");
    EXPECT_GE(TicksOnceSettled(program, true), 10) << "not drawing after the restore";
    PressKeys(id, "Escape");
    EXPECT_EQ(WaitForExit(program, 20), 0) << ReadStderr(program);
}

TEST(FullScreenToggles, TwentyTogglesLeaveNoLeak)
{
#ifndef HALMWIND_LEAK_CHECKED
    GTEST_SKIP() << "leaks are checked in the AddressSanitizer build (make test-asan)";
#endif
    // A display of its own that has the 800 x 600 mode, so that every switch succeeds.
    std::string display = StartVirtualDisplay("800x600x24");
    ASSERT_NE(display, "") << "Xvfb did not start";
    DisplayOverride restore(display);

    std::string dir = MakeRunDirectory("toggles", {"wind.cg", "terrain.raw"});
    RunningProgram program;
    ASSERT_TRUE(StartWindowed(program, dir));
    std::string id = WaitForWindow("Halmwind", 30);
    ASSERT_NE(id, "");
    for (int i = 1; i <= 20; i++) {
        PressKeys(id, "F1");
        // The window going is the program's sign that it took the key.
        ASSERT_TRUE(WaitForWindowGone(id, 60)) << "toggle " << i << " lost: the window is still there\n"
                                               << ReadStderr(program);
        std::string next = WaitForWindowOtherThan("Halmwind", id, 60);
        ASSERT_NE(next, "") << "no new window after toggle " << i << "\n" << ReadStderr(program);
        id = next;
    }
    EXPECT_EQ(WaitForWindow("Error", 0.1), "");
    PressKeys(id, "Escape");
    EXPECT_EQ(WaitForExit(program, 60), 0) << ReadStderr(program);
    std::string err = ReadStderr(program);
    EXPECT_EQ(err.find("Sanitizer"), std::string::npos) << err;
}

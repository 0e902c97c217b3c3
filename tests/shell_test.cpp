// shell_test.cpp -- key table, frame timer, the toggle request, the projection, and the program's
// own window: cleared keys, resize and maximise, the pause after a restore.
#include <cmath>

#include <SDL.h>
#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include "platform/linux/app_shell.h"
#include "app/app_loop.h"
#include "tests/gl_fixture.h"

TEST(KeyTable, MapsLayoutKeysToVirtualKeyCodes)
{
    EXPECT_EQ(KeyTableIndex(SDLK_a, KMOD_NONE), 65);
    EXPECT_EQ(KeyTableIndex(SDLK_y, KMOD_NONE), 89);
    EXPECT_EQ(KeyTableIndex(SDLK_z, KMOD_LSHIFT), 90);
    EXPECT_EQ(KeyTableIndex(SDLK_0, KMOD_NONE), 48);
    EXPECT_EQ(KeyTableIndex(SDLK_ESCAPE, KMOD_NONE), 27);
    EXPECT_EQ(KeyTableIndex(SDLK_F1, KMOD_NONE), 112);
    EXPECT_EQ(KeyTableIndex(SDLK_F24, KMOD_NONE), 135);
    EXPECT_EQ(KeyTableIndex(SDLK_PAGEUP, KMOD_NONE), 33);
    EXPECT_EQ(KeyTableIndex(SDLK_PAGEDOWN, KMOD_NONE), 34);
    EXPECT_EQ(KeyTableIndex(SDLK_LEFT, KMOD_NONE), 37);
    EXPECT_EQ(KeyTableIndex(SDLK_UP, KMOD_NONE), 38);
    EXPECT_EQ(KeyTableIndex(SDLK_RIGHT, KMOD_NONE), 39);
    EXPECT_EQ(KeyTableIndex(SDLK_DOWN, KMOD_NONE), 40);
    // Alt combinations and F10 are system keys: they never reach the table.
    EXPECT_EQ(KeyTableIndex(SDLK_a, KMOD_LALT), -1);
    EXPECT_EQ(KeyTableIndex(SDLK_F4, KMOD_RALT), -1);
    EXPECT_EQ(KeyTableIndex(SDLK_F10, KMOD_NONE), -1);
    EXPECT_EQ(KeyTableIndex(SDLK_UNKNOWN, KMOD_NONE), -1);
}

TEST(FrameTimer, ElapsedSurvivesACounterWrap)
{
    const float perTick = 1.0f / 1000000.0f;
    EXPECT_FLOAT_EQ(ElapsedMilliseconds(16000, 0, perTick), 16.0f);
    EXPECT_FLOAT_EQ(ElapsedMilliseconds(5000, 0xFFFFFFFFu - 10999, perTick), 16.0f);
    EXPECT_FLOAT_EQ(ElapsedMilliseconds(25, 5, 0.001f), 20.0f);

    // The timer ticks in microseconds whatever the counter's rate: a 10 s pause between two
    // frames reads as 10 s, also far into a 1 GHz counter's run.
    const float perMicrosecond = float(1.0 / double(FrameCounterFrequency));
    for (uint64_t frequency : {uint64_t(1000000000), uint64_t(10000000), uint64_t(3579545)}) {
        const uint64_t start = frequency * 86400 * 3 + 12345;
        uint32_t before = FrameCounterTicks(start, frequency);
        uint32_t after = FrameCounterTicks(start + 10 * frequency, frequency);
        EXPECT_NEAR(ElapsedMilliseconds(after, before, perMicrosecond), 10000.0f, 0.01f) << frequency;
    }
    EXPECT_EQ(FrameCounterTicks(2500000000u, 1000000000u), 2500000u);
}

TEST(VideoDriver, AChosenListNamesEachOfItsDrivers)
{
    EXPECT_TRUE(DriverChosen("x11,offscreen", "offscreen"));
    EXPECT_TRUE(DriverChosen("OFFSCREEN", "offscreen"));
    EXPECT_TRUE(DriverChosen("dummy,x11", "dummy"));
    EXPECT_FALSE(DriverChosen("x11", "offscreen"));
    EXPECT_FALSE(DriverChosen("offscreenx,x11", "offscreen"));
    EXPECT_FALSE(DriverChosen("", "dummy"));
    EXPECT_FALSE(DriverChosen(nullptr, "dummy"));
}

class WindowProc : public GlTest {
protected:
    void SetUp() override
    {
        GlTest::SetUp();
        static AppClass appClass = {nullptr, AppClassName};
        ASSERT_TRUE(RegisterAppClass(&appClass));
        window.keys = &keys;
        window.handles.window = GlTest::window;
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    bool QuitPosted()
    {
        SDL_Event e;
        return SDL_PeepEvents(&e, 1, SDL_GETEVENT, quitEventType, quitEventType) == 1;
    }
    KeyState keys = {};
    AppWindow window = {};
};

TEST_F(WindowProc, KeysSetAndClearTheirFlags)
{
    SDL_Event e = {};
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = SDLK_w;
    AppWindowProc(&window, e);
    AppWindowProc(&window, e);
    EXPECT_EQ(keys.down['W'], 1);
    AdvanceKeyTable(&keys);
    e.type = SDL_KEYUP;
    AppWindowProc(&window, e);
    EXPECT_EQ(keys.down['W'], 0);
    e.type = SDL_KEYDOWN;
    e.key.keysym.mod = KMOD_LALT;
    AppWindowProc(&window, e);
    EXPECT_EQ(keys.down['W'], 0);
}

TEST_F(WindowProc, OnlyRestoreAndMaximiseMakeTheWindowVisible)
{
    SDL_Event e = {};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = SDL_GetWindowID(window.handles.window);
    e.window.event = SDL_WINDOWEVENT_MINIMIZED;
    window.visible = 1;
    AppWindowProc(&window, e);
    EXPECT_EQ(window.visible, 0);
    // A size change while minimised sets the projection only.
    e.window.event = SDL_WINDOWEVENT_SIZE_CHANGED;
    AppWindowProc(&window, e);
    EXPECT_EQ(window.visible, 0);
    for (Uint8 shown : {SDL_WINDOWEVENT_RESTORED, SDL_WINDOWEVENT_MAXIMIZED}) {
        window.visible = 0;
        e.window.event = shown;
        AppWindowProc(&window, e);
        EXPECT_EQ(window.visible, 1) << int(shown);
    }
}

TEST_F(WindowProc, ToggleFlipsTheRequestAndEndsTheLoopOnly)
{
    static AppRun run;
    StartApplication(&run, nullptr);
    run.running = 1;
    run.fullScreenRequest = 1;
    SDL_Event e = {};
    e.type = toggleEventType;
    AppWindowProc(&window, e);
    EXPECT_EQ(run.fullScreenRequest, 0);
    EXPECT_TRUE(QuitPosted());
    EXPECT_EQ(run.running, 1);
    run.fullScreenRequest = 7;
    AppWindowProc(&window, e);
    EXPECT_EQ(run.fullScreenRequest, 1);

    RequestQuit(&window);
    EXPECT_TRUE(QuitPosted());
    EXPECT_EQ(run.running, 0);
}

TEST_F(WindowProc, ProjectionSurvivesZeroHeight)
{
    SetProjection(800, 0);
    GLfloat projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    for (float v : projection) {
        ASSERT_TRUE(std::isfinite(v));
    }
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[3], 1);
    SetProjection(800, 600);
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    EXPECT_NEAR(projection[0], projection[5] * 600.0f / 800.0f, 1e-5);
}

// The program's own window, opened windowed as a pass of the outer loop opens it.
class OpenedWindow : public GlTest {
protected:
    void SetUp() override
    {
        GlTest::SetUp();
        static AppClass appClass = {nullptr, AppClassName};
        ASSERT_TRUE(RegisterAppClass(&appClass));
        InitAppWindow(&window, &keys, &appClass);
        window.fullScreen = 0;
        // A key held when the window goes: the new window must not see it.
        keys.down['W'] = 1;
        keys.down[KeyCount - 1] = 1;
        ASSERT_TRUE(OpenAppWindow(&window));
    }
    void TearDown() override
    {
        CloseAppWindow(&window);
        SDL_GL_MakeCurrent(GlTest::window, testContext);
    }
    // Hands every queued event to the window procedure, as the message loop does.
    void Pump()
    {
        SDL_PumpEvents();
        SDL_Event e;
        while (SDL_PollEvent(&e)) {
            AppWindowProc(&window, e);
        }
    }
    void WindowEvent(Uint8 event)
    {
        SDL_Event e = {};
        e.type = SDL_WINDOWEVENT;
        e.window.windowID = SDL_GetWindowID(window.handles.window);
        e.window.event = event;
        AppWindowProc(&window, e);
    }
    // Hands the events to the window procedure until the drawable has the size.
    bool PumpUntilDrawableSize(int width, int height)
    {
        for (int i = 0; i < 500; i++) {
            Pump();
            int w = 0, h = 0;
            SDL_GL_GetDrawableSize(window.handles.window, &w, &h);
            if (w == width && h == height) {
                Pump();
                return true;
            }
            SDL_Delay(10);
        }
        return false;
    }
    void ExpectProjectedFor(int width, int height)
    {
        GLint viewport[4];
        glGetIntegerv(GL_VIEWPORT, viewport);
        EXPECT_EQ(viewport[2], width);
        EXPECT_EQ(viewport[3], height);
        GLfloat projection[16];
        glGetFloatv(GL_PROJECTION_MATRIX, projection);
        // gluPerspective: x scale = y scale / aspect.
        EXPECT_NEAR(projection[0], projection[5] * float(height) / float(width), 1e-5);
        EXPECT_NEAR(projection[5], 1.0 / std::tan(22.5 * 3.14159265358979 / 180.0), 1e-4);
        // The requested size never changes.
        EXPECT_EQ(window.width, 800);
        EXPECT_EQ(window.height, 600);
    }
    SDL_GLContext testContext = SDL_GL_GetCurrentContext();
    KeyState keys;
    AppWindow window;
};

TEST_F(OpenedWindow, StartsShownProjectedWithNoKeyHeld)
{
    EXPECT_EQ(window.visible, 1);
    ExpectProjectedFor(800, 600);
    for (int k = 0; k < KeyCount; k++) {
        ASSERT_EQ(keys.down[k], 0) << "key " << k << " still held in the new window";
    }
    // Windowed it has a sizing border and a maximise box.
    EXPECT_NE(SDL_GetWindowFlags(window.handles.window) & SDL_WINDOW_RESIZABLE, 0u);
}

TEST_F(OpenedWindow, ResizeAndMaximiseProjectForTheNewClientSize)
{
    // A resize from outside: the X server answers it in its own time, with a size event.
    SDL_SetWindowSize(window.handles.window, 640, 400);
    ASSERT_TRUE(PumpUntilDrawableSize(640, 400));
    ExpectProjectedFor(640, 400);

    // A window manager maximises a minimised window: it grows, then says it is maximised.
    WindowEvent(SDL_WINDOWEVENT_MINIMIZED);
    EXPECT_EQ(window.visible, 0);
    SDL_SetWindowSize(window.handles.window, 1000, 700);
    ASSERT_TRUE(PumpUntilDrawableSize(1000, 700));
    EXPECT_EQ(window.visible, 0) << "a size event while minimised shows the window";
    glViewport(0, 0, 1, 1);
    WindowEvent(SDL_WINDOWEVENT_MAXIMIZED);
    EXPECT_EQ(window.visible, 1);
    ExpectProjectedFor(1000, 700);
}

TEST_F(OpenedWindow, FirstFrameAfterARestoreGetsThePause)
{
    currentWindow = &window;
    currentKeys = &keys;
    Pump();
    ComposeFrame(&window);
    const uint32_t lastFrame = window.lastTime;
    WindowEvent(SDL_WINDOWEVENT_MINIMIZED);
    SDL_Delay(300);
    WindowEvent(SDL_WINDOWEVENT_RESTORED);
    EXPECT_EQ(window.visible, 1);
    // The frame measures from Last time: nothing but a frame may move it.
    EXPECT_EQ(window.lastTime, lastFrame);
    ComposeFrame(&window);
    const float elapsed = ElapsedMilliseconds(window.lastTime, lastFrame, window.secondsPerTick);
    EXPECT_GE(elapsed, 300.0f);
    EXPECT_LT(elapsed, 60000.0f);
    currentWindow = nullptr;
    currentKeys = nullptr;
}

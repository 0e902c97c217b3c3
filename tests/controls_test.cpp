// controls_test.cpp -- the keys: steps, guards, wraps, latches and the display switches.
#include <cstring>
#include <initializer_list>

#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include "app/app_loop.h"
#include "app/app_window.h"
#include "tests/gl_fixture.h"
#include "ui/controls.h"
#include "ui/frame.h"
#include "ui/overlay.h"
#include "wind/wind.h"

namespace {

KeyState keys;
AppWindow window;

void ResetControls()
{
    windSettings = initialWindSettings;
    camera = initialCamera;
    keyLatches = KeyLatches{};
    displayToggles = DisplayToggles{};
    std::memset(&keys, 0, sizeof keys);
    currentKeys = &keys;
    currentWindow = &window;
}

// Holds the given keys for n frames, then releases them for a frame.
void Hold(std::initializer_list<int> held, int frames)
{
    for (int key : held) {
        keys.down[key] = 1;
    }
    for (int i = 0; i < frames; i++) {
        UpdateControls(16.0f);
    }
    for (int key : held) {
        keys.down[key] = 0;
    }
    UpdateControls(16.0f);
}

// Holds a key until its value stops changing; returns the frames it changed.
template <typename T>
int HoldUntilStill(int key, const T &value)
{
    keys.down[key] = 1;
    int frames = 0;
    for (;; frames++) {
        T before = value;
        UpdateControls(16.0f);
        if (value == before) {
            break;
        }
    }
    keys.down[key] = 0;
    return frames;
}

class Controls : public ::testing::Test {
protected:
    void SetUp() override { ResetControls(); }
};

}

TEST_F(Controls, StrengthKeysStopOneStepPastTheirBounds)
{
    Hold({'Y'}, 5);
    EXPECT_EQ(windSettings.bendExponent, 10.0f * Pi);
    EXPECT_EQ(windSettings.strengthPercent, 0.0f);

    EXPECT_EQ(HoldUntilStill('X', windSettings.bendExponent), 190);
    EXPECT_LE(windSettings.bendExponent, windSettings.bendExponentMin);
    EXPECT_GT(windSettings.bendExponent, windSettings.bendExponentMin - Pi / 20.0f);
    EXPECT_NEAR(windSettings.strengthPercent, 100.0f, 0.6f);

    ResetControls();
    Hold({'X'}, 1);
    Hold({'Y'}, 1);
    EXPECT_EQ(windSettings.bendExponent, 10.0f * Pi);
    EXPECT_NEAR(windSettings.strengthPercent, -0.0000016f, 1e-7);
}

TEST_F(Controls, FrequencyAndRingStopPastTheirBounds)
{
    HoldUntilStill('M', windSettings.frequency);
    EXPECT_NEAR(windSettings.frequency, 1.0042464f, 1e-6);
    HoldUntilStill('N', windSettings.frequency);
    EXPECT_NEAR(windSettings.frequency, -0.0010619f, 1e-6);

    HoldUntilStill('L', windSettings.dummyCentreX);
    EXPECT_NEAR(windSettings.dummyCentreX, 8.1f, 1e-4);
    HoldUntilStill('J', windSettings.dummyCentreX);
    EXPECT_NEAR(windSettings.dummyCentreX, -8.1f, 1e-4);
    HoldUntilStill('I', windSettings.dummyCentreY);
    EXPECT_NEAR(windSettings.dummyCentreY, 8.1f, 1e-4);
    HoldUntilStill('K', windSettings.dummyCentreY);
    EXPECT_NEAR(windSettings.dummyCentreY, -8.1f, 1e-4);

    // O does nothing below pi/2; after P it stops at the first value at or below pi/2.
    Hold({'O'}, 3);
    EXPECT_EQ(windSettings.dummyRadius, 1.0f);
    HoldUntilStill('P', windSettings.dummyRadius);
    EXPECT_NEAR(windSettings.dummyRadius, 8.1f, 1e-4);
    HoldUntilStill('O', windSettings.dummyRadius);
    EXPECT_LE(windSettings.dummyRadius, Pi / 2.0f);
    EXPECT_GT(windSettings.dummyRadius, Pi / 2.0f - 0.1f);
}

TEST_F(Controls, DirectionWrapsOneStepPastTheSeamExceptInVortex)
{
    Hold({'E'}, 1);
    EXPECT_EQ(windSettings.direction, 6.2517695f);
    Hold({'R'}, 1);
    EXPECT_FLOAT_EQ(windSettings.direction, 2.0f * Pi);
    Hold({'R'}, 1);
    EXPECT_EQ(windSettings.direction, Pi / 100.0f);

    windSettings.mode = Vortex;
    Hold({'E'}, 3);
    Hold({'R'}, 3);
    EXPECT_EQ(windSettings.direction, Pi / 100.0f);

    windSettings.mode = DummyBlast;
    Hold({'R'}, 2);
    EXPECT_FLOAT_EQ(windSettings.direction, 3.0f * Pi / 100.0f);

    // W, A three times (Dummy), E held 194 frames: the direction line shows the hundredths
    // truncated, 10.79, not rounded to 10.80.
    ResetControls();
    Hold({'W'}, 1);
    for (int press = 0; press < 3; press++) {
        Hold({'A'}, 1);
    }
    Hold({'E'}, 194);
    ASSERT_EQ(windSettings.mode, Dummy);
    OverlayLine lines[OverlayMaxLines];
    int count = ComposeOverlayLines(lines, 19.33f);
    ASSERT_EQ(count, 7);
    EXPECT_STREQ(lines[4].text, "Windrichtung (E/R): 10.79");
}

TEST_F(Controls, OppositeKeysTogetherLeaveTheValue)
{
    windSettings.bendExponent = 10.0f;
    windSettings.direction = 1.0f;
    Hold({'Y', 'X', 'M', 'N', 'E', 'R', 'J', 'L', 'I', 'K', KeyPageUp, KeyPageDown, KeyUp, KeyDown,
          KeyLeft, KeyRight},
         10);
    EXPECT_NEAR(windSettings.bendExponent, 10.0f, 1e-5);
    EXPECT_NEAR(windSettings.frequency, 0.2f, 1e-6);
    EXPECT_NEAR(windSettings.direction, 1.0f, 1e-5);
    EXPECT_NEAR(windSettings.dummyCentreX, 0.0f, 1e-6);
    EXPECT_NEAR(windSettings.dummyCentreY, 0.0f, 1e-6);
    EXPECT_NEAR(camera.distance, -25.0f, 1e-5);
    EXPECT_NEAR(camera.tilt, 0.0f, 1e-5);
    EXPECT_NEAR(camera.heading, 0.0f, 1e-5);

    // At a bound or a wrap the table's order decides. Y and X from the start: Y's guard fails,
    // X steps down once.
    ResetControls();
    Hold({'Y', 'X'}, 1);
    EXPECT_EQ(windSettings.bendExponent, initialWindSettings.bendExponent - Pi / 20.0f);
    // E and R from 0: E wraps to 2 pi - pi/100, then R steps on from there.
    ResetControls();
    Hold({'E', 'R'}, 1);
    EXPECT_EQ(windSettings.direction, 6.2517695f + Pi / 100.0f);
    // A turns Gusting into Vortex before E is tested, so E no longer turns the direction.
    ResetControls();
    windSettings.mode = Gusting;
    windSettings.direction = 1.0f;
    Hold({'A', 'E'}, 1);
    EXPECT_EQ(windSettings.mode, Vortex);
    EXPECT_EQ(windSettings.direction, 1.0f);
}

TEST_F(Controls, CameraKeysStepByTheirStepsAndHaveNoLimits)
{
    // One frame of each key: 0.1 for the distance, 0.8 degrees for tilt and heading.
    const struct {
        int key;
        float *value;
        float step;
    } steps[] = {{KeyPageUp, &camera.distance, -0.1f}, {KeyPageDown, &camera.distance, 0.1f},
                 {KeyUp, &camera.tilt, -0.8f},        {KeyDown, &camera.tilt, 0.8f},
                 {KeyRight, &camera.heading, 0.8f},   {KeyLeft, &camera.heading, -0.8f}};
    for (const auto &s : steps) {
        ResetControls();
        const float before = *s.value;
        Hold({s.key}, 1);
        EXPECT_EQ(*s.value, before + s.step) << "key " << s.key;
    }
    ResetControls();

    Hold({KeyPageDown}, 300);
    EXPECT_GT(camera.distance, 0.0f);
    Hold({KeyDown}, 500);
    EXPECT_GT(camera.tilt, 360.0f);
    Hold({KeyLeft}, 10);
    EXPECT_NEAR(camera.heading, -8.0f, 1e-4);
}

TEST_F(Controls, SelectorsCycleOncePerPress)
{
    Hold({'W'}, 20);
    EXPECT_EQ(windSettings.path, Cpu);
    Hold({'W'}, 1);
    Hold({'W'}, 1);
    EXPECT_EQ(windSettings.path, Off);
    for (int press = 1; press <= 5; press++) {
        Hold({'A'}, 3);
        EXPECT_EQ(windSettings.mode, WindMode(press % 5));
    }
    // Released for a frame, pressed again: acts again.
    keys.down['W'] = 1;
    UpdateControls(0.0f);
    UpdateControls(0.0f);
    keys.down['W'] = 0;
    UpdateControls(0.0f);
    keys.down['W'] = 1;
    UpdateControls(0.0f);
    EXPECT_EQ(windSettings.path, VertexShader);
}

TEST_F(Controls, EscapeEndsTheRunningFlag)
{
    static AppRun run;
    StartApplication(&run, nullptr);
    run.running = 1;
    Hold({KeyEscape}, 1);
    EXPECT_EQ(run.running, 0);
}

class DisplaySwitches : public GlTest {
protected:
    void SetUp() override
    {
        GlTest::SetUp();
        ResetControls();
    }
};

TEST_F(DisplaySwitches, F3AndF4SwitchTheContextAtOnce)
{
    Hold({KeyF4}, 4);
    EXPECT_TRUE(displayToggles.pointLight);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    Hold({KeyF3}, 4);
    EXPECT_TRUE(displayToggles.wireframe);
    GLint modes[2];
    glGetIntegerv(GL_POLYGON_MODE, modes);
    EXPECT_EQ(modes[0], GL_LINE);
    EXPECT_EQ(modes[1], GL_LINE);

    // A new context starts unlit and filled; the switches are applied to it again.
    glDisable(GL_LIGHTING);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    ApplyDisplayToggles();
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    glGetIntegerv(GL_POLYGON_MODE, modes);
    EXPECT_EQ(modes[0], GL_LINE);

    Hold({KeyF4}, 1);
    Hold({KeyF3}, 1);
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    glGetIntegerv(GL_POLYGON_MODE, modes);
    EXPECT_EQ(modes[0], GL_FILL);
}

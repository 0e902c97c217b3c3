// overlay_test.cpp -- which overlay lines show, and how their numbers are written.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ui/controls.h"
#include "ui/frame.h"
#include "ui/overlay.h"
#include "wind/wind.h"

namespace {

// tan(22.5 degrees) x 35 x 4 / 3: the view's reach at the overlay's depth in an 800 x 600 window.
const float FourByThreeHalfWidth = 19.329f;

std::vector<std::string> Shown()
{
    OverlayLine lines[OverlayMaxLines];
    int count = ComposeOverlayLines(lines, FourByThreeHalfWidth);
    std::vector<std::string> texts;
    for (int i = 0; i < count; i++) {
        texts.push_back(std::string(lines[i].text) + (lines[i].suffix ? lines[i].suffix : ""));
    }
    return texts;
}

class Overlay : public ::testing::Test {
protected:
    void SetUp() override
    {
        windSettings = initialWindSettings;
        displayToggles = DisplayToggles{};
        frameRateCounter = FrameRateCounter{};
    }
};

}

TEST_F(Overlay, PathOffShowsSwitchesPathAndRate)
{
    std::vector<std::string> expected = {
        "Drahtgitter-Modus (F3): aus",
        "Beleuchtung (F4): Standard",
        "Wind (W): aus",
        "FPS:   0",
    };
    EXPECT_EQ(Shown(), expected);
    displayToggles.wireframe = true;
    displayToggles.pointLight = true;
    EXPECT_EQ(Shown()[0], "Drahtgitter-Modus (F3): an");
    EXPECT_EQ(Shown()[1], "Beleuchtung (F4): Punktlicht");
}

TEST_F(Overlay, WindLinesFollowPathAndMode)
{
    windSettings.path = Cpu;
    std::vector<std::string> expected = {
        "Drahtgitter-Modus (F3): aus",
        "Beleuchtung (F4): Standard",
        "Wind (W): OpenGL",
        "Wind-Modus (A): aus",
        "Windrichtung (E/R): 0.00\xB0",
        "Windst\xE4rke (Y/X): 0.00 Prozent",
        "FPS:   0",
    };
    EXPECT_EQ(Shown(), expected);

    windSettings.path = VertexShader;
    windSettings.mode = Gusting;
    std::vector<std::string> gusting = Shown();
    ASSERT_EQ(gusting.size(), 8u);
    EXPECT_EQ(gusting[2], "Wind (W): Vertex Shader");
    EXPECT_EQ(gusting[3], "Wind-Modus (A): eine Richtung");
    EXPECT_EQ(gusting[6], "Windfrequenz (N/M): 20.00 Prozent");

    // Lines 4 to 7 by mode: which of direction (5) and frequency (7) appear.
    struct Case {
        WindMode mode;
        const char *label;
        bool direction, frequency;
    };
    const Case cases[] = {
        {Vortex, "Wind-Modus (A): Wirbel", false, true},
        {Dummy, "Wind-Modus (A): Dummy", true, false},
        {DummyBlast, "Wind-Modus (A): Dummy-Blast", false, false},
    };
    for (const Case &c : cases) {
        windSettings.mode = c.mode;
        OverlayLine lines[OverlayMaxLines];
        int count = ComposeOverlayLines(lines, FourByThreeHalfWidth);
        EXPECT_STREQ(lines[3].text, c.label);
        EXPECT_EQ(count, 6 + int(c.direction) + int(c.frequency)) << c.label;
        bool hasDirection = false, hasFrequency = false;
        for (int i = 0; i < count; i++) {
            hasDirection |= lines[i].y == -12.0f;
            hasFrequency |= lines[i].y == -14.0f;
        }
        EXPECT_EQ(hasDirection, c.direction) << c.label;
        EXPECT_EQ(hasFrequency, c.frequency) << c.label;
    }
}

TEST_F(Overlay, NumbersAreWrittenAsTheUserReadsThem)
{
    EXPECT_EQ(DirectionDegrees(2.0f * Pi), 0.0);
    EXPECT_DOUBLE_EQ(DirectionDegrees(Pi / 100.0f), 1.80);
    EXPECT_DOUBLE_EQ(DirectionDegrees(-Pi / 100.0f), -1.80);
    EXPECT_DOUBLE_EQ(DirectionDegrees(Pi / 2.0f), 90.0);

    windSettings.path = Cpu;
    windSettings.direction = -Pi / 100.0f;
    windSettings.strengthPercent = -0.0000016f;
    frameRateCounter.shownRate = 59;
    std::vector<std::string> texts = Shown();
    EXPECT_EQ(texts[4], "Windrichtung (E/R): -1.80\xB0");
    EXPECT_EQ(texts[5], "Windst\xE4rke (Y/X): -0.00 Prozent");
    EXPECT_EQ(texts.back(), "FPS:  59");

    // All eight positions: top left, bottom left, top right (all 35 units ahead).
    windSettings.mode = Gusting;
    OverlayLine lines[OverlayMaxLines];
    ASSERT_EQ(ComposeOverlayLines(lines, FourByThreeHalfWidth), 8);
    const float positions[8][2] = {{-19, 13.5f}, {-19, 12.5f}, {-19, -10}, {-19, -11},
                                   {-19, -12}, {-19, -13}, {-19, -14}, {16, 13.5f}};
    for (int i = 0; i < 8; i++) {
        EXPECT_EQ(lines[i].x, positions[i][0]) << "line " << i + 1;
        EXPECT_EQ(lines[i].y, positions[i][1]) << "line " << i + 1;
    }
}

TEST_F(Overlay, RateLineKeepsTheLeftColumnsMarginOnTheRight)
{
    // Every glyph 0.6 wide with its ink from 0.05 to 0.55: "FPS:  59" ends its ink at 4.75.
    const GlyphMetrics saved[256] = {};
    std::memcpy(const_cast<GlyphMetrics *>(saved), textOverlay.glyphMetrics, sizeof saved);
    for (GlyphMetrics &m : textOverlay.glyphMetrics) {
        m = GlyphMetrics{0.5f, 0.7f, 0.05f, 0.7f, 0.6f, 0.0f};
    }
    textOverlay.glyphMetrics[unsigned(' ')] = GlyphMetrics{0.0f, 0.0f, 0.0f, 0.0f, 0.6f, 0.0f};
    frameRateCounter.shownRate = 59;
    EXPECT_FLOAT_EQ(LineInkEnd("FPS:  59"), 4.75f);
    EXPECT_FLOAT_EQ(LineInkEnd("FPS:  59   "), 4.75f);
    OverlayLine lines[OverlayMaxLines];
    int count = ComposeOverlayLines(lines, FourByThreeHalfWidth);
    // The ink ends as far inside the right edge as the left column starts inside the left one.
    EXPECT_FLOAT_EQ(lines[count - 1].x + LineInkEnd("FPS:  59"), 19.0f);
    EXPECT_EQ(lines[0].x, -19.0f);
    // A wider window widens both margins alike.
    count = ComposeOverlayLines(lines, 30.0f);
    EXPECT_FLOAT_EQ(lines[count - 1].x, 19.0f - 4.75f);
    // A rate whose ink ends inside the margin stays at 16.
    frameRateCounter.shownRate = 1;
    for (GlyphMetrics &m : textOverlay.glyphMetrics) {
        m.cellIncX = 0.3f;
    }
    count = ComposeOverlayLines(lines, FourByThreeHalfWidth);
    EXPECT_EQ(lines[count - 1].x, 16.0f) << LineInkEnd(lines[count - 1].text);
    EXPECT_EQ(FitLineX(16.0f, 3.0f, 19.0f), 16.0f);
    EXPECT_EQ(FitLineX(16.0f, 3.5f, 19.0f), 15.5f);
    std::memcpy(textOverlay.glyphMetrics, saved, sizeof saved);
}

TEST(FrameRate, ShowsTheCountOfTheLastSecond)
{
    frameRateCounter = FrameRateCounter{};
    CountFrame(17.0f);
    EXPECT_EQ(frameRateCounter.shownRate, 0);
    // 60 frames in second 18: the one that opens it is not counted.
    for (int i = 0; i < 60; i++) {
        CountFrame(18.0f);
    }
    CountFrame(19.0f);
    EXPECT_EQ(frameRateCounter.shownRate, 59);

    // The hour's turn from 3599 to 0 still updates.
    for (int i = 0; i < 30; i++) {
        CountFrame(3599.0f);
    }
    CountFrame(0.0f);
    EXPECT_EQ(frameRateCounter.shownRate, 29);
    EXPECT_EQ(frameRateCounter.referenceSecond, 0.0f);
}

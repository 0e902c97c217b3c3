// render_test.cpp -- whole frames read back: the ground, the blades, and both wind paths alike.
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include "app/app_window.h"
#include "grass/grass_field.h"
#include "scene/height_map.h"
#include "scene/scene.h"
#include "shader/shader_program.h"
#include "tests/gl_fixture.h"
#include "tests/message_capture.h"
#include "ui/controls.h"
#include "ui/frame.h"
#include "ui/overlay.h"
#include "wind/wind.h"

namespace {

class Render : public GlTest {
protected:
    static void SetUpTestSuite()
    {
        GlTest::SetUpTestSuite();
        ASSERT_EQ(chdir(HALMWIND_DATA_DIR), 0);
        MessageCapture messages;
        ASSERT_TRUE(SetupShaderProgram()) << (messages.texts().empty() ? "" : messages.texts()[0]);
    }
    static void TearDownTestSuite() { ReleaseShaderContext(); }

    void SetUp() override
    {
        GlTest::SetUp();
        SetRenderState();
        SetProjection(800, 600);
        windSettings = initialWindSettings;
        windState = WindState{};
        camera = initialCamera;
        displayToggles = DisplayToggles{};
        // No font lists: the overlay draws nothing and the scene is all there is.
        textOverlay.fontListBase = 0;
        fieldRandomState = 1;
        std::memset(heightMap, 0, sizeof heightMap);
    }

    // Draws one frame from the given wind settings and state, and reads it back.
    static std::vector<uint8_t> Frame(const WindSettings &settings, const WindState &state)
    {
        windSettings = settings;
        windState = state;
        DrawFrame();
        return ReadPixels();
    }
};

int CountPixels(const std::vector<uint8_t> &rgb, uint8_t r, uint8_t g, uint8_t b)
{
    int count = 0;
    for (size_t i = 0; i < rgb.size(); i += 3) {
        count += rgb[i] == r && rgb[i + 1] == g && rgb[i + 2] == b;
    }
    return count;
}

}

TEST_F(Render, GroundAndBladesShowTheirColours)
{
    std::memset(heightMap, 255, sizeof heightMap);
    GenerateGrassField(heightMap);
    std::vector<uint8_t> rgb = Frame(initialWindSettings, WindState{});

    int ground = CountPixels(rgb, 254, 254, 0);
    int blades = 0, other = 0;
    for (size_t i = 0; i < rgb.size(); i += 3) {
        int r = rgb[i], g = rgb[i + 1], b = rgb[i + 2];
        if (r == 0 && b == 0 && g >= 35 && g <= 204) {
            blades++;
        } else if (!(r == 254 && g == 254 && b == 0) && !(r == 0 && g == 0 && b == 0)) {
            other++;
        }
    }
    // Seen from above, the meadow hides most of the ground.
    EXPECT_GT(ground, 4000);
    EXPECT_GT(blades, 80000);
    // Unlit, every pixel is ground, blade green or the black beyond the field.
    EXPECT_EQ(other, 0);
}

TEST_F(Render, CpuPathBendsTheMeadow)
{
    GenerateGrassField(heightMap);
    WindSettings strong = initialWindSettings;
    strong.bendExponent = strong.bendExponentMin;
    std::vector<uint8_t> off = Frame(strong, WindState{});
    strong.path = Cpu;
    std::vector<uint8_t> cpu = Frame(strong, WindState{});
    EXPECT_GT(CountDifferentPixels(off, cpu, 8), 800 * 600 / 50);
}

TEST_F(Render, BothWindPathsDrawAlikeInEveryMode)
{
    std::memcpy(heightMap, std::vector<uint8_t>(HeightMapSize, 60).data(), HeightMapSize);
    GenerateGrassField(heightMap);
    camera.tilt = -50.0f;
    for (int mode = Steady; mode <= DummyBlast; mode++) {
        WindSettings s = initialWindSettings;
        s.mode = WindMode(mode);
        s.bendExponent = s.bendExponentMin;
        s.dummyRadius = 3.0f;
        s.direction = 1.0f;
        WindState state = {};
        state.gustPhase = 2.0f;

        s.path = Cpu;
        std::vector<uint8_t> cpu = Frame(s, state);
        s.path = VertexShader;
        std::vector<uint8_t> shader = Frame(s, state);
        int differing = CountDifferentPixels(cpu, shader, 8);
        EXPECT_LE(differing, 800 * 600 / 200) << "mode " << mode;
        if (differing > 800 * 600 / 200) {
            WritePpm((std::string("/tmp/halmwind_cpu_") + char('0' + mode) + ".ppm").c_str(), cpu, 800, 600);
            WritePpm((std::string("/tmp/halmwind_shader_") + char('0' + mode) + ".ppm").c_str(), shader, 800, 600);
        }
        // The shader path leaves the fixed pipeline on for the terrain.
        GLint program = -1;
        glGetIntegerv(GL_CURRENT_PROGRAM, &program);
        EXPECT_EQ(program, 0);
    }
}

TEST_F(Render, OverlayWritesYellowInItsThreeCorners)
{
    BuildFont();
    DrawOverlay();
    std::vector<uint8_t> rgb = ReadPixels();
    // Yellow pixels counted in regions of the 800 x 600 window (rows counted from the bottom).
    auto yellowIn = [&rgb](int x0, int x1, int y0, int y1) {
        int count = 0;
        for (int y = y0; y < y1; y++) {
            for (int x = x0; x < x1; x++) {
                const uint8_t *p = &rgb[(size_t(y) * 800 + x) * 3];
                count += p[0] > 150 && p[1] > 150 && p[2] < 80;
            }
        }
        return count;
    };
    EXPECT_GT(yellowIn(0, 300, 540, 600), 200) << "top left";
    EXPECT_GT(yellowIn(0, 300, 60, 130), 50) << "bottom left";
    EXPECT_GT(yellowIn(600, 800, 540, 600), 30) << "top right";
    EXPECT_EQ(yellowIn(300, 600, 200, 400), 0) << "middle";
    glDeleteLists(textOverlay.fontListBase, 256);
}

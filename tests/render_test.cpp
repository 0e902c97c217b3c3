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
#include "tests/blade_table.h"
#include "tests/gl_fixture.h"
#include "tests/gl_recorder.h"
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

// The attribute a varying parameter is sent to, found by setting it once.
double AttribIndex(CGparameter param, bool three)
{
    GlRecorder recorder;
    if (three) {
        cgGLSetParameter3f(param, 0.0f, 0.0f, 0.0f);
    } else {
        cgGLSetParameter1f(param, 0.0f);
    }
    std::vector<GlCall> calls = recorder.calls();
    return calls.size() == 1 ? calls[0].args[0] : -1.0;
}

// The calls blade i must make, from its foot translation to the translation back.
std::vector<GlCall> TableBladeCalls(int i, WindPath path, WindMode mode)
{
    const GrassField &g = grassField;
    const double sl = AttribIndex(shaderProgram.sl, false);
    const double zfeldpos = AttribIndex(shaderProgram.zfeldpos, true);
    const double wind = AttribIndex(shaderProgram.wind, true);
    Vec3 v[BladeVertexCount];
    TableBladeVertices(g.leanX[i], g.leanY[i], g.heightExtra[i], v);
    Vec3 w = BladeWindVector(i);
    if (path == Cpu) {
        const BladeVertex upper[] = {T, S2, L2, R2, S1, L1, R1};
        const int rowOf[] = {3, 2, 2, 2, 1, 1, 1};
        for (int k = 0; k < 7; k++) {
            v[upper[k]] = DisplaceVertex(v[upper[k]], Vec3{w.x, w.y, 0.0f}, i,
                                         TableBendFactor(rowOf[k], g.heightExtra[i]));
        }
    }
    std::vector<GlCall> calls = {
        {"Translatef", {g.baseX[i], g.baseY[i], g.baseHeight[i]}},
        {"VertexAttrib3f", {zfeldpos, g.baseX[i], g.baseY[i], g.baseHeight[i]}},
        {"VertexAttrib3f", {wind, w.x, w.y, double(mode)}},
    };
    const GLenum primitives[TablePrimitiveCount] = {GL_TRIANGLE_FAN, GL_TRIANGLE_STRIP, GL_TRIANGLE_STRIP};
    int n = 0;
    for (int p = 0; p < TablePrimitiveCount; p++) {
        calls.push_back({"Begin", {double(primitives[p])}});
        for (int k = 0; k < TablePrimitiveSizes[p]; k++, n++) {
            const TableEmission &e = TableEmissions[n];
            if (e.issued) {
                calls.push_back({"Color4ub", {0, double(TableGreen(e.row, g.greenOffset[i])), 0, 255}});
                calls.push_back({"VertexAttrib1f", {sl, TableBendFactor(e.row, g.heightExtra[i])}});
            }
            calls.push_back({"Vertex3f", {v[e.vertex].x, v[e.vertex].y, v[e.vertex].z}});
        }
        calls.push_back({"End", {}});
    }
    calls.push_back({"Translatef", {-g.baseX[i], -g.baseY[i], -g.baseHeight[i]}});
    return calls;
}

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

TEST_F(Render, EveryBladeSendsItsFanStripsAndParametersOnEveryPath)
{
    GenerateGrassField(heightMap);
    const GLuint program = cgGLGetProgramID(shaderProgram.program);
    for (WindPath path : {Off, Cpu, VertexShader}) {
        for (WindMode mode : {Steady, Vortex, DummyBlast}) {
            SCOPED_TRACE(testing::Message() << "path " << path << " mode " << mode);
            windSettings = initialWindSettings;
            windSettings.path = path;
            windSettings.mode = mode;
            windSettings.bendExponent = 12.0f;
            windSettings.direction = 1.0f;
            windState = WindState{};
            AdvanceWind();
            std::vector<GlCall> calls;
            {
                GlRecorder recorder;
                DrawBlades();
                calls = recorder.calls();
            }

            // The program is in use exactly around the field shift and the blades.
            size_t first = 0;
            while (first < calls.size() && calls[first].name == "UseProgram") {
                EXPECT_EQ(Describe(calls[first]), Describe({"UseProgram", {double(program)}}));
                first++;
            }
            EXPECT_EQ(first > 0, path == VertexShader);
            if (path == VertexShader) {
                ASSERT_FALSE(calls.empty());
                EXPECT_EQ(Describe(calls.back()), Describe({"UseProgram", {0}}));
                calls.pop_back();
            }
            ASSERT_GT(calls.size(), first);
            EXPECT_EQ(Describe(calls[first]), Describe({"Translatef", {-5.12f, -5.12f, 0.0f}}));
            first++;

            // Every blade in index order, each exactly as the tables build and emit it.
            for (int i = 0; i < BladeCount; i++) {
                std::vector<GlCall> expected = TableBladeCalls(i, path, mode);
                ASSERT_LE(first + expected.size(), calls.size()) << "blade " << i;
                for (size_t k = 0; k < expected.size(); k++) {
                    const GlCall &got = calls[first + k];
                    ASSERT_TRUE(got.name == expected[k].name && got.args == expected[k].args)
                        << "blade " << i << " call " << k << ": " << Describe(got) << " instead of "
                        << Describe(expected[k]);
                }
                first += expected.size();
            }
            EXPECT_EQ(first, calls.size());
        }
    }
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

// render_test.cpp -- whole frames read back: the ground, the blades, and both wind paths alike.
#include <unistd.h>

#include <array>
#include <cmath>
#include <fstream>

#include <cstring>
#include <string>
#include <vector>

#include <epoxy/gl.h>
#include <GL/glu.h>
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

// The texture unit a varying parameter is sent to, found by setting it once.
double FeedTarget(CGparameter param, bool three)
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
    const double sl = FeedTarget(shaderProgram.sl, false);
    const double zfeldpos = FeedTarget(shaderProgram.zfeldpos, true);
    const double wind = FeedTarget(shaderProgram.wind, true);
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
        {"MultiTexCoord3f", {zfeldpos, g.baseX[i], g.baseY[i], g.baseHeight[i]}},
        {"MultiTexCoord3f", {wind, w.x, w.y, double(mode)}},
    };
    const GLenum primitives[TablePrimitiveCount] = {GL_TRIANGLE_FAN, GL_TRIANGLE_STRIP, GL_TRIANGLE_STRIP};
    int n = 0;
    for (int p = 0; p < TablePrimitiveCount; p++) {
        calls.push_back({"Begin", {double(primitives[p])}});
        for (int k = 0; k < TablePrimitiveSizes[p]; k++, n++) {
            const TableEmission &e = TableEmissions[n];
            if (e.issued) {
                calls.push_back({"Color4ub", {0, double(TableGreen(e.row, g.greenOffset[i])), 0, 255}});
                calls.push_back({"MultiTexCoord1f", {sl, TableBendFactor(e.row, g.heightExtra[i])}});
            }
            calls.push_back({"Vertex3f", {v[e.vertex].x, v[e.vertex].y, v[e.vertex].z}});
        }
        calls.push_back({"End", {}});
    }
    calls.push_back({"Translatef", {-g.baseX[i], -g.baseY[i], -g.baseHeight[i]}});
    return calls;
}

using Matrix = std::array<double, 16>;

// Column-major products, as GL keeps its matrices.
Matrix Multiply(const Matrix &a, const Matrix &b)
{
    Matrix m = {};
    for (int c = 0; c < 4; c++) {
        for (int r = 0; r < 4; r++) {
            for (int k = 0; k < 4; k++) {
                m[c * 4 + r] += a[k * 4 + r] * b[c * 4 + k];
            }
        }
    }
    return m;
}

Matrix Translation(double x, double y, double z)
{
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1};
}

Matrix Scaling(double s)
{
    return {s, 0, 0, 0, 0, s, 0, 0, 0, 0, s, 0, 0, 0, 0, 1};
}

// A rotation by `degrees` about x (axis 0) or z (axis 2).
Matrix Rotation(double degrees, int axis)
{
    const double a = degrees * 3.14159265358979323846 / 180.0, c = std::cos(a), s = std::sin(a);
    if (axis == 0) {
        return {1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1};
    }
    return {c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

// Whether the pixel that (x, y, z) of the current model-view frame lands on, or one next to it,
// is the marker's yellow.
bool YellowAt(const std::vector<uint8_t> &rgb, double x, double y, double z)
{
    GLdouble model[16], projection[16], wx, wy, wz;
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    gluProject(x, y, z, model, projection, viewport, &wx, &wy, &wz);
    for (int dy = -2; dy <= 2; dy++) {
        for (int dx = -2; dx <= 2; dx++) {
            const int px = int(wx) + dx, py = int(wy) + dy;
            if (px >= 0 && px < 800 && py >= 0 && py < 600) {
                const uint8_t *p = &rgb[(size_t(py) * 800 + px) * 3];
                if (p[0] == 255 && p[1] == 255 && p[2] == 0) {
                    return true;
                }
            }
        }
    }
    return false;
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

TEST_F(Render, CameraTurnsTiltThenHeadingAndTheGroundSpansToTheLastCorner)
{
    // Each sample is its own x plus y: the corners' heights tell where the mesh was sampled.
    for (int y = 0; y < HeightMapSide; y++) {
        for (int x = 0; x < HeightMapSide; x++) {
            heightMap[y * HeightMapSide + x] = (unsigned char)((x + y) % 256);
        }
    }
    GenerateGrassField(heightMap);
    camera = Camera{-20.0f, 30.0f, 40.0f};
    DrawFrame();
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    // Camera (translation, tilt about x, heading about z), field shift, terrain scale.
    Matrix expected = Multiply(Translation(0, 0, -20), Rotation(30, 0));
    expected = Multiply(expected, Rotation(40, 2));
    expected = Multiply(expected, Translation(-5.12, -5.12, 0));
    expected = Multiply(expected, Scaling(0.01));
    for (int k = 0; k < 16; k++) {
        EXPECT_NEAR(m[k], expected[size_t(k)], 1e-5) << "element " << k;
    }

    std::vector<GlCall> calls;
    {
        GlRecorder recorder;
        DrawTerrain(heightMap);
        calls = recorder.calls();
    }
    std::vector<GlCall> vertices, colours;
    for (const GlCall &c : calls) {
        (c.name == "Vertex3f" ? vertices : colours).push_back(c);
    }
    ASSERT_EQ(colours.size(), 2 + vertices.size());
    EXPECT_EQ(Describe(colours.front()), Describe({"Begin", {GL_QUADS}}));
    EXPECT_EQ(Describe(colours.back()), Describe({"End", {}}));
    ASSERT_EQ(vertices.size(), 63u * 63u * 4u);
    // The first quad's corners in their order, each coloured by its height / 256.
    const double corners[4][2] = {{0, 0}, {0, 16}, {16, 16}, {16, 0}};
    for (int k = 0; k < 4; k++) {
        const double h = corners[k][0] + corners[k][1];
        EXPECT_EQ(vertices[size_t(k)].args, (std::vector<double>{corners[k][0], corners[k][1], h})) << k;
        EXPECT_EQ(colours[size_t(k) + 1].args, (std::vector<double>{float(h / 256.0), float(h / 256.0), 0}))
            << k;
    }
    // The highest corner is 1008 on both axes: samples beyond it are never drawn.
    double highestX = 0, highestY = 0;
    for (const GlCall &v : vertices) {
        highestX = std::max(highestX, v.args[0]);
        highestY = std::max(highestY, v.args[1]);
    }
    EXPECT_EQ(highestX, 1008.0);
    EXPECT_EQ(highestY, 1008.0);
    EXPECT_EQ(vertices.back().args, (std::vector<double>{1008, 992, (1008 + 992) % 256}));
}

TEST_F(Render, MarkerOnlyInTheRingModesWithTheLineOnlyInDummy)
{
    windState.dirX = 0.6f;
    windState.dirY = 0.8f;
    const double radius = 2.0, centreX = 1.0, centreY = -2.0;
    windSettings.dummyRadius = float(radius);
    windSettings.dummyCentreX = float(centreX);
    windSettings.dummyCentreY = float(centreY);
    for (int mode = Steady; mode <= DummyBlast; mode++) {
        SCOPED_TRACE(mode);
        windSettings.mode = WindMode(mode);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glLoadIdentity();
        glTranslatef(0.0f, 0.0f, -25.0f);
        glRotatef(-30.0f, 1.0f, 0.0f, 0.0f);
        GLfloat before[16], after[16];
        glGetFloatv(GL_MODELVIEW_MATRIX, before);
        DrawWindMarker();
        glGetFloatv(GL_MODELVIEW_MATRIX, after);
        // It translates back to where it found the matrix.
        for (int k = 0; k < 16; k++) {
            EXPECT_NEAR(after[k], before[k], 1e-5) << "element " << k;
        }
        // The ring 8 above the centre, on its left; the line halfway out along the wind.
        std::vector<uint8_t> rgb = ReadPixels();
        const bool ring = mode == Dummy || mode == DummyBlast;
        EXPECT_EQ(YellowAt(rgb, centreX - radius - 0.025, centreY, 8.0), ring);
        // The ring is 0.05 wide, from the radius outwards: some 8 pixels further out or in
        // lies the ground.
        EXPECT_FALSE(YellowAt(rgb, centreX - radius - 0.3, centreY, 8.0));
        EXPECT_FALSE(YellowAt(rgb, centreX - radius + 0.25, centreY, 8.0));
        EXPECT_EQ(YellowAt(rgb, centreX + 0.6 * radius / 2, centreY + 0.8 * radius / 2, 8.0), mode == Dummy);
        EXPECT_EQ(CountPixels(rgb, 255, 255, 0) > 0, ring);
    }

    // With no wind path the frame leaves the wind as it was, even in the modes that move it,
    // and draws no marker.
    GenerateGrassField(heightMap);
    windSettings = initialWindSettings;
    const std::vector<uint8_t> steady = Frame(windSettings, WindState{});
    for (WindMode mode : {Gusting, Vortex, Dummy, DummyBlast}) {
        WindSettings s = initialWindSettings;
        s.mode = mode;
        s.bendExponent = 5.0f;
        s.direction = 1.25f;
        const WindState frozen = {0.1f, 0.2f, 3.0f, 2.5f};
        std::vector<uint8_t> rgb = Frame(s, frozen);
        EXPECT_EQ(windSettings.direction, 1.25f) << mode;
        EXPECT_EQ(std::memcmp(&windState, &frozen, sizeof frozen), 0) << mode;
        EXPECT_EQ(CountDifferentPixels(rgb, steady, 0), 0) << mode;
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

    // The rate's last digit stays on the screen, the line inside the right edge: it shows as
    // many pixels as the same text drawn well inside. A longer rate moves further in, and the
    // lines on the left stay where they were.
    auto columns = [&rgb](int x0, int x1) {
        int first = -1, last = -1;
        for (int x = x0; x < x1; x++) {
            for (int y = 540; y < 600; y++) {
                const uint8_t *p = &rgb[(size_t(y) * 800 + x) * 3];
                if (p[0] > 150 && p[1] > 150 && p[2] < 80) {
                    first = first < 0 ? x : first;
                    last = x;
                    break;
                }
            }
        }
        return std::make_pair(first, last);
    };
    const auto left = columns(0, 400);
    std::pair<int, int> rate[2];
    const int rates[2] = {57, 1234};
    for (int k = 0; k < 2; k++) {
        frameRateCounter.shownRate = rates[k];
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        DrawOverlay();
        rgb = ReadPixels();
        rate[k] = columns(600, 800);
        const int shown = yellowIn(500, 800, 540, 600);
        // The left column's margin, its first ink column, is kept on the right too.
        EXPECT_NEAR(799 - rate[k].second, left.first, 3) << rates[k];
        EXPECT_EQ(columns(0, 400), left) << rates[k];

        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glLoadIdentity();
        glTranslatef(6.0f, 13.5f, -35.0f);
        PrintText("FPS: %3.0f", double(rates[k]));
        rgb = ReadPixels();
        const int whole = yellowIn(500, 800, 540, 600);
        EXPECT_GT(shown, whole * 97 / 100) << rates[k];
    }
    EXPECT_LT(rate[1].first, rate[0].first);
    frameRateCounter = FrameRateCounter{};
    glDeleteLists(textOverlay.fontListBase, 256);
}

class SceneInit : public GlTest {};

TEST_F(SceneInit, SetsTheRenderStateAndLightAndStandsTheFeetOnTheLoadedMap)
{
    ASSERT_EQ(chdir(HALMWIND_DATA_DIR), 0);
    std::memset(heightMap, 0, sizeof heightMap);
    fieldRandomState = 1;
    displayToggles = DisplayToggles{};
    SetProjection(800, 600);
    KeyState keys = {};
    AppWindow window = {};
    MessageCapture messages;
    std::vector<GlCall> fontCalls;
    bool initialised;
    {
        GlRecorder recorder;
        initialised = InitScene(&window, &keys);
        fontCalls = recorder.Only("NewList");
        for (const GlCall &v : recorder.Only("Vertex3d")) {
            fontCalls.push_back(v);
        }
    }
    ASSERT_TRUE(initialised) << (messages.texts().empty() ? "" : messages.texts()[0]);
    EXPECT_EQ(currentWindow, &window);
    EXPECT_EQ(currentKeys, &keys);

    auto floats = [](GLenum name, int n) {
        std::vector<GLfloat> v(16);
        glGetFloatv(name, v.data());
        v.resize(size_t(n));
        return v;
    };
    auto integer = [](GLenum name) {
        GLint v = -1;
        glGetIntegerv(name, &v);
        return v;
    };
    auto light = [](GLenum name) {
        std::vector<GLfloat> v(4);
        glGetLightfv(GL_LIGHT1, name, v.data());
        return v;
    };
    using F = std::vector<GLfloat>;
    EXPECT_TRUE(glIsEnabled(GL_NORMALIZE));
    EXPECT_EQ(integer(GL_SHADE_MODEL), GL_SMOOTH);
    EXPECT_EQ(floats(GL_COLOR_CLEAR_VALUE, 4), (F{0.0f, 0.0f, 0.0f, 0.5f}));
    EXPECT_EQ(floats(GL_DEPTH_CLEAR_VALUE, 1), (F{1.0f}));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(integer(GL_DEPTH_FUNC), GL_LEQUAL);
    EXPECT_EQ(integer(GL_PERSPECTIVE_CORRECTION_HINT), GL_NICEST);
    EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));
    EXPECT_EQ(integer(GL_FRONT_FACE), GL_CCW);
    EXPECT_EQ(integer(GL_LIGHT_MODEL_TWO_SIDE), 0);
    EXPECT_EQ(integer(GL_LIGHT_MODEL_LOCAL_VIEWER), 1);
    EXPECT_EQ(floats(GL_LIGHT_MODEL_AMBIENT, 4), (F{0.1f, 0.1f, 0.1f, 1.0f}));
    EXPECT_EQ(light(GL_AMBIENT), (F{0.2f, 0.2f, 0.2f, 1.0f}));
    EXPECT_EQ(light(GL_DIFFUSE), (F{0.8f, 0.8f, 0.8f, 1.0f}));
    EXPECT_EQ(light(GL_SPECULAR), (F{1.0f, 1.0f, 1.0f, 1.0f}));
    // Given under the identity: fixed in eye space, a point light, no spot.
    EXPECT_EQ(light(GL_POSITION), (F{10.0f, 10.0f, 10.0f, 1.0f}));
    GLfloat cutoff = 0.0f;
    glGetLightfv(GL_LIGHT1, GL_SPOT_CUTOFF, &cutoff);
    EXPECT_EQ(cutoff, 180.0f);
    EXPECT_TRUE(glIsEnabled(GL_LIGHT1));
    EXPECT_FALSE(glIsEnabled(GL_LIGHT0));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    for (GLenum off : {GL_BLEND, GL_CULL_FACE, GL_TEXTURE_2D, GL_FOG, GL_ALPHA_TEST}) {
        EXPECT_FALSE(glIsEnabled(off)) << off;
    }

    // The font: 255 lists from the first of the 256, extruded 0.05 behind the glyph plane.
    std::vector<GlCall> lists, vertices;
    for (const GlCall &c : fontCalls) {
        (c.name == "NewList" ? lists : vertices).push_back(c);
    }
    ASSERT_EQ(lists.size(), 255u);
    EXPECT_EQ(lists.front().args[0], double(textOverlay.fontListBase));
    EXPECT_EQ(lists.back().args[0], double(textOverlay.fontListBase + 254));
    ASSERT_FALSE(vertices.empty());
    double nearest = 0.0, farthest = 0.0;
    for (const GlCall &v : vertices) {
        nearest = std::max(nearest, v.args[2]);
        farthest = std::min(farthest, v.args[2]);
    }
    EXPECT_EQ(nearest, 0.0);
    EXPECT_EQ(farthest, -double(0.05f));

    // The map was read before the meadow grew: blade 0's foot stands on its sample.
    std::ifstream terrain("terrain.raw", std::ios::binary);
    std::vector<char> bytes(HeightMapSize);
    ASSERT_TRUE(terrain.read(bytes.data(), HeightMapSize));
    const int sample = static_cast<unsigned char>(bytes[633 * 1024 + 822]);
    ASSERT_GT(sample, 0);
    EXPECT_EQ(grassField.baseHeight[0], float(double(sample) * double(0.01f)));
    EXPECT_EQ(std::memcmp(heightMap, bytes.data(), HeightMapSize), 0);

    ReleaseShaderContext();
    glDeleteLists(textOverlay.fontListBase, 256);
}

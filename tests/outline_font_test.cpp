// outline_font_test.cpp -- the extruded glyph lists: what they draw, how they advance, which way they face.
#include "platform/outline_font.h"

#include <algorithm>
#include <cmath>

#include <epoxy/gl.h>

#include "tests/gl_fixture.h"

namespace {

bool IsLit(const std::vector<uint8_t> &rgb, int x, int y)
{
    const uint8_t *p = &rgb[(size_t(y) * 800 + x) * 3];
    return std::max({p[0], p[1], p[2]}) > 16;
}

} // namespace

class OutlineFontTest : public GlTest {
protected:
    static void SetUpTestSuite()
    {
        GlTest::SetUpTestSuite();
        if (window) {
            base = glGenLists(256);
            built = BuildOutlineFont(base, 0, 255, "Comic Sans MS", 0.05f, metrics);
        }
    }

    static void TearDownTestSuite()
    {
        if (base) {
            glDeleteLists(base, 256);
        }
    }

    void SetUp() override
    {
        GlTest::SetUp();
        ASSERT_TRUE(built) << "no font face could be opened";
        // 400 pixels per em, deep enough for any rotation of a glyph.
        glMatrixMode(GL_PROJECTION);
        glOrtho(-1.0, 1.0, -0.75, 0.75, -10.0, 10.0);
        glMatrixMode(GL_MODELVIEW);
    }

    void TearDown() override
    {
        glDisable(GL_CULL_FACE);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_LIGHTING);
        glDisable(GL_LIGHT0);
        glDisable(GL_NORMALIZE);
    }

    // Draws one glyph with its origin left of and below the centre; returns its lit pixels and
    // whether the centre of their bounding box is lit.
    static int DrawGlyph(int code, bool *centreLit)
    {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glLoadIdentity();
        glTranslatef(-0.4f, -0.3f, 0.0f);
        glCallList(base + code);
        std::vector<uint8_t> frame = ReadPixels();
        int lit = 0, left = 800, right = -1, bottom = 600, top = -1;
        for (int y = 0; y < 600; y++) {
            for (int x = 0; x < 800; x++) {
                if (IsLit(frame, x, y)) {
                    lit++;
                    left = std::min(left, x), right = std::max(right, x);
                    bottom = std::min(bottom, y), top = std::max(top, y);
                }
            }
        }
        *centreLit = lit > 0 && IsLit(frame, (left + right) / 2, (bottom + top) / 2);
        return lit;
    }

    // The model-view translation one glyph's list leaves behind.
    static std::vector<float> GetAdvance(int code)
    {
        float m[16];
        glLoadIdentity();
        glCallList(base + code);
        glGetFloatv(GL_MODELVIEW_MATRIX, m);
        return {m[12], m[13], m[14]};
    }

    static unsigned base;
    static bool built;
    static GlyphMetrics metrics[255];
};

unsigned OutlineFontTest::base = 0;
bool OutlineFontTest::built = false;
GlyphMetrics OutlineFontTest::metrics[255];

TEST_F(OutlineFontTest, GlyphsDrawWithOpenCounters)
{
    bool centreLit = false;
    for (int code : {int('A'), 0xE4}) {
        EXPECT_GT(DrawGlyph(code, &centreLit), 1000) << "code " << code;
    }
    // The rings of o and the degree sign keep their holes.
    for (int code : {int('o'), 0xB0}) {
        EXPECT_GT(DrawGlyph(code, &centreLit), 1000) << "code " << code;
        EXPECT_FALSE(centreLit) << "code " << code;
    }
    EXPECT_EQ(DrawGlyph(' ', &centreLit), 0);
    // Only codes 0 .. 254 were asked for.
    EXPECT_EQ(DrawGlyph(255, &centreLit), 0);
}

TEST_F(OutlineFontTest, ListsAdvanceAlongX)
{
    std::vector<float> a = GetAdvance('A');
    EXPECT_GT(a[0], 0.0f);
    EXPECT_LT(a[0], 1.0f);
    EXPECT_EQ(a[1], 0.0f);
    EXPECT_EQ(a[2], 0.0f);
    EXPECT_LT(GetAdvance('i')[0], GetAdvance('W')[0]);
    // A code without a glyph moves on like a space; a list never built does not move.
    EXPECT_GT(GetAdvance(' ')[0], 0.0f);
    EXPECT_EQ(GetAdvance(0x81), GetAdvance(' '));
    EXPECT_EQ(GetAdvance(255), std::vector<float>(3, 0.0f));

    // The metrics agree with the lists: the pen moves by the cell increment, and the ink lies
    // within a glyph's cell, starting near the pen and rising above the baseline.
    for (int code : {int('A'), int('W'), int('7'), 0xE4}) {
        const GlyphMetrics &m = metrics[code];
        EXPECT_EQ(m.cellIncX, GetAdvance(code)[0]) << "code " << code;
        EXPECT_GT(m.blackBoxX, 0.2f) << "code " << code;
        EXPECT_GT(m.blackBoxY, 0.2f) << "code " << code;
        EXPECT_GT(m.originY, 0.2f) << "code " << code;
        EXPECT_LT(std::fabs(m.originX), 0.2f) << "code " << code;
        EXPECT_LT(m.originX + m.blackBoxX, m.cellIncX + 0.2f) << "code " << code;
    }
    EXPECT_EQ(metrics[' '].blackBoxX, 0.0f);
    EXPECT_EQ(metrics[0x81].cellIncX, metrics[' '].cellIncX);
}

TEST_F(OutlineFontTest, CurrentNormalIsUnitAfterGlyph)
{
    for (int code : {int('A'), 0xE4}) {
        glNormal3f(0.3f, 0.3f, 0.3f);
        glCallList(base + code);
        float n[3];
        glGetFloatv(GL_CURRENT_NORMAL, n);
        EXPECT_NEAR(std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]), 1.0f, 1e-5f) << "code " << code;
    }
}

TEST_F(OutlineFontTest, SurfacesFaceOutward)
{
    // Lit by a light at the viewer, every surface that shows must be turned towards it: with back
    // faces culled this checks the winding against the normals, without culling the normals alone.
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_NORMALIZE);
    glEnable(GL_DEPTH_TEST);
    const float views[][2] = {{0, 0}, {180, 0}, {70, 20}, {-70, -20}, {0, 80}, {0, -80}};
    for (bool cull : {false, true}) {
        cull ? glEnable(GL_CULL_FACE) : glDisable(GL_CULL_FACE);
        for (const auto &view : views) {
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            glLoadIdentity();
            glRotatef(view[1], 1, 0, 0);
            glRotatef(view[0], 0, 1, 0);
            glScalef(1.0f, 1.0f, 4.0f);
            glTranslatef(-0.3f, -0.3f, 0.0f);
            glCallList(base + 'B');
            std::vector<uint8_t> frame = ReadPixels();
            int drawn = 0, dark = 0;
            for (size_t p = 0; p < frame.size(); p += 3) {
                int level = std::max({frame[p], frame[p + 1], frame[p + 2]});
                drawn += level > 0;
                dark += level > 0 && level < 40;
            }
            ASSERT_GT(drawn, 500) << "view " << view[0] << ", " << view[1];
            EXPECT_LT(dark, drawn / 10) << "view " << view[0] << ", " << view[1] << (cull ? ", culled" : "");
        }
    }
}

TEST_F(OutlineFontTest, WireFrameShowsTheOutlineNotTheTriangles)
{
    // Seen from the front, every edge that is drawn lies on the glyph's outline: none crosses the
    // inside of its filled shape, where the caps' triangles and the walls' diagonals meet.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glTranslatef(-0.4f, -0.3f, 0.0f);
    glCallList(base + 'B');
    std::vector<uint8_t> filled = ReadPixels();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    glLoadIdentity();
    glTranslatef(-0.4f, -0.3f, 0.0f);
    glCallList(base + 'B');
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    std::vector<uint8_t> wire = ReadPixels();

    int lines = 0, inside = 0;
    for (int y = 3; y < 597; y++) {
        for (int x = 3; x < 797; x++) {
            if (!IsLit(wire, x, y)) {
                continue;
            }
            lines++;
            bool deepInside = true;
            for (int dy = -3; dy <= 3 && deepInside; dy++) {
                for (int dx = -3; dx <= 3 && deepInside; dx++) {
                    deepInside = IsLit(filled, x + dx, y + dy);
                }
            }
            inside += deepInside;
        }
    }
    ASSERT_GT(lines, 500);
    EXPECT_LT(inside, lines / 50) << inside << " of " << lines << " line pixels inside the glyph";
}

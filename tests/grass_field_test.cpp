// grass_field_test.cpp -- the field generator, the first meadow, and the blade's construction.
#include <cmath>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "grass/blades.h"
#include "grass/grass_field.h"
#include "scene/height_map.h"
#include "tests/blade_table.h"

namespace {

std::vector<unsigned char> FlatMap(unsigned char value)
{
    return std::vector<unsigned char>(HeightMapSize, value);
}

// The first meadow after process start, whatever the tests before did to the generator.
void GenerateFirstMeadow(const unsigned char *map)
{
    fieldRandomState = 1;
    GenerateGrassField(map);
}

}

TEST(FieldRandom, FollowsTheFixedSequence)
{
    fieldRandomState = 1;
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358};
    for (int value : expected) {
        EXPECT_EQ(FieldRandom(), value);
    }
}

TEST(GrassField, FirstMeadowMatchesKnownBlades)
{
    std::vector<unsigned char> map = FlatMap(0);
    GenerateFirstMeadow(map.data());
    const GrassField &g = grassField;

    struct Known {
        int i, green;
        float x, y, leanX, leanY, extra;
    };
    const Known known[] = {
        {0, 41, 8.227f, 6.334f, 0.200f, -0.269f, 0.04f},
        {1, 38, 8.878f, 6.482f, -0.164f, -0.005f, 0.05f},
        {2, 1, 6.587f, 9.961f, -0.191f, -0.295f, 0.02f},
        {1999, 29, 2.808f, 2.113f, 0.132f, 0.242f, 0.07f},
    };
    for (const Known &k : known) {
        SCOPED_TRACE(k.i);
        EXPECT_EQ(g.greenOffset[k.i], k.green);
        EXPECT_EQ(g.baseX[k.i], k.x);
        EXPECT_EQ(g.baseY[k.i], k.y);
        EXPECT_EQ(g.leanX[k.i], k.leanX);
        EXPECT_EQ(g.leanY[k.i], k.leanY);
        EXPECT_EQ(g.heightExtra[k.i], k.extra);
    }
    // Stored as the float nearest the quotient.
    EXPECT_EQ(double(g.baseX[0]), 8.22700023651123);
    EXPECT_EQ(g.segmentLeanScale[0], 0.5f);
    EXPECT_EQ(g.segmentLeanScale[1], 1.0f);
    EXPECT_EQ(g.segmentLeanScale[2], 1.4f);
}

TEST(GrassField, SampleIndexTruncatesTheStoredCoordinate)
{
    // A map whose sample value is its column, row ignored: the base height tells the column.
    std::vector<unsigned char> map(HeightMapSize);
    for (int y = 0; y < HeightMapSide; y++) {
        for (int x = 0; x < HeightMapSide; x++) {
            map[size_t(y) * HeightMapSide + x] = (unsigned char)(x % 256);
        }
    }
    GenerateFirstMeadow(map.data());
    EXPECT_EQ(grassField.baseX[20], 3.05f);
    EXPECT_EQ(grassField.baseHeight[20], float(double(304 % 256) * double(0.01f)));
    EXPECT_EQ(grassField.baseHeight[0], float(double(822 % 256) * double(0.01f)));

    // Rows alike: blade 40 stands at y = 7.95, stored as 7.9499998, and samples row 794.
    for (int y = 0; y < HeightMapSide; y++) {
        std::memset(&map[size_t(y) * HeightMapSide], y % 256, HeightMapSide);
    }
    GenerateFirstMeadow(map.data());
    EXPECT_EQ(grassField.baseY[40], 7.95f);
    EXPECT_EQ(grassField.baseHeight[40], float(double(794 % 256) * double(0.01f)));
    EXPECT_EQ(grassField.baseHeight[0], float(double(633 % 256) * double(0.01f)));

    // 196 blades of the first meadow sample one below the decimal coordinate.
    fieldRandomState = 1;
    int below = 0;
    for (int i = 0; i < BladeCount; i++) {
        FieldRandom();
        int x = FieldRandom() % 10240, y = FieldRandom() % 10240;
        for (int k = 0; k < 3; k++) {
            FieldRandom();
        }
        bool xBelow = int(100.0 * double(grassField.baseX[i])) == x / 10 - 1;
        bool yBelow = int(100.0 * double(grassField.baseY[i])) == y / 10 - 1;
        below += (xBelow || yBelow) ? 1 : 0;
    }
    EXPECT_EQ(below, 196);
}

TEST(GrassField, EachGenerationDrawsTwelveThousandAndDiffers)
{
    std::vector<unsigned char> map = FlatMap(255);
    GenerateFirstMeadow(map.data());
    uint32_t afterFirst = fieldRandomState;
    fieldRandomState = 1;
    for (int i = 0; i < 12000; i++) {
        FieldRandom();
    }
    EXPECT_EQ(fieldRandomState, afterFirst);

    GrassField first = grassField;
    GenerateGrassField(map.data());
    EXPECT_NE(std::memcmp(first.baseX, grassField.baseX, sizeof first.baseX), 0);
    EXPECT_NE(std::memcmp(first.greenOffset, grassField.greenOffset, sizeof first.greenOffset), 0);

    // Every foot of an all-255 map stands at 2.55; the attributes stay in their ranges.
    for (int i = 0; i < BladeCount; i++) {
        ASSERT_EQ(grassField.baseHeight[i], float(255.0 * double(0.01f)));
        ASSERT_LE(grassField.leanX[i], 0.300f);
        ASSERT_GE(grassField.leanY[i], -0.299f);
        ASSERT_LE(grassField.greenOffset[i] + 125, 204);
        ASSERT_LT(grassField.baseX[i], 10.24f);
    }
}

TEST(BladeConstruction, UnleanedBladeStandsStraight)
{
    const float scale[3] = {0.5f, 1.0f, 1.4f};
    Vec3 v[BladeVertexCount];
    BuildBladeVertices(0.0f, 0.0f, 0.0f, scale, v);
    const float expected[BladeVertexCount][3] = {
        {0, 0.2f, 0}, {-0.15f, 0, 0}, {0.15f, 0, 0},
        {0, 0.17f, 1.5f}, {-0.10f, 0.02f, 1.5f}, {0.10f, 0.02f, 1.5f},
        {0, 0.13f, 2.9f}, {-0.06f, 0.03f, 2.9f}, {0.06f, 0.03f, 2.9f},
        {0, 0.07f, 4.0f},
    };
    for (int k = 0; k < BladeVertexCount; k++) {
        SCOPED_TRACE(k);
        EXPECT_NEAR(v[k].x, expected[k][0], 1e-6);
        EXPECT_NEAR(v[k].y, expected[k][1], 1e-6);
        EXPECT_NEAR(v[k].z, expected[k][2], 1e-6);
    }
    BendFactors f = BladeBendFactors(0.0f);
    EXPECT_EQ(f.row1, 1.5f);
    EXPECT_EQ(f.row2, 2.9f);
    EXPECT_EQ(f.tip, 4.0f);
}

TEST(BladeConstruction, FirstBladeOfFirstMeadow)
{
    const float scale[3] = {0.5f, 1.0f, 1.4f};
    Vec3 v[BladeVertexCount];
    BuildBladeVertices(0.2f, -0.269f, 0.04f, scale, v);
    EXPECT_FLOAT_EQ(v[T].x, 0.58f);
    EXPECT_FLOAT_EQ(v[T].y, -0.7101f);
    EXPECT_FLOAT_EQ(v[T].z, 4.12f);
    EXPECT_FLOAT_EQ(v[S2].x, 0.30f);
    EXPECT_FLOAT_EQ(v[S2].y, -0.2735f);
    EXPECT_FLOAT_EQ(v[S2].z, 2.98f);
    EXPECT_NEAR(v[L1].x, 0.0f, 1e-7);
    EXPECT_FLOAT_EQ(v[L1].y, -0.1145f);
    EXPECT_FLOAT_EQ(v[L1].z, 1.54f);
    BendFactors f = BladeBendFactors(0.04f);
    EXPECT_FLOAT_EQ(f.row1, 1.54f);
    EXPECT_FLOAT_EQ(f.row2, 2.98f);
    EXPECT_FLOAT_EQ(f.tip, 4.12f);
}

TEST(BladeConstruction, EveryBladeOfTheFirstMeadowToTheBit)
{
    // Formed in double and stored once as float: a construction in float, or in another order,
    // lands one float off somewhere in the meadow.
    std::vector<unsigned char> map = FlatMap(0);
    GenerateFirstMeadow(map.data());
    const GrassField &g = grassField;
    for (int i = 0; i < BladeCount; i++) {
        Vec3 v[BladeVertexCount], table[BladeVertexCount];
        BuildBladeVertices(g.leanX[i], g.leanY[i], g.heightExtra[i], g.segmentLeanScale, v);
        TableBladeVertices(g.leanX[i], g.leanY[i], g.heightExtra[i], table);
        for (int k = 0; k < BladeVertexCount; k++) {
            ASSERT_EQ(v[k].x, table[k].x) << "blade " << i << " vertex " << k;
            ASSERT_EQ(v[k].y, table[k].y) << "blade " << i << " vertex " << k;
            ASSERT_EQ(v[k].z, table[k].z) << "blade " << i << " vertex " << k;
        }
        BendFactors f = BladeBendFactors(g.heightExtra[i]);
        ASSERT_EQ(f.row1, TableBendFactor(1, g.heightExtra[i])) << "blade " << i;
        ASSERT_EQ(f.row2, TableBendFactor(2, g.heightExtra[i])) << "blade " << i;
        ASSERT_EQ(f.tip, TableBendFactor(3, g.heightExtra[i])) << "blade " << i;
    }
}

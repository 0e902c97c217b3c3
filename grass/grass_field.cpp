// grass_field.cpp -- generation of the meadow from the never-seeded field generator.
#include "grass/grass_field.h"

#include "scene/height_map.h"

GrassField grassField;
uint32_t fieldRandomState = 1;

int FieldRandom()
{
    // The sequence is part of the meadow's look, so it is ours rather than the library's rand.
    fieldRandomState = fieldRandomState * 214013u + 2531011u;
    return int((fieldRandomState >> 16) & 0x7FFF);
}

// The float nearest to numerator / denominator.
static float Quotient(int numerator, double denominator)
{
    return float(double(numerator) / denominator);
}

// The sample index of a stored coordinate: 100 x value is exact in double, then truncated,
// so 3.05 (stored as 3.0499999523) samples 304.
static int SampleIndex(float coordinate)
{
    return int(100.0 * double(coordinate));
}

void GenerateGrassField(const unsigned char *map)
{
    GrassField &g = grassField;
    for (int i = 0; i < BladeCount; i++) {
        g.greenOffset[i] = FieldRandom() % 80;
        g.baseX[i] = Quotient(FieldRandom() % 10240, 1000.0);
        g.baseY[i] = Quotient(FieldRandom() % 10240, 1000.0);
        int sample = HeightAt(map, SampleIndex(g.baseX[i]), SampleIndex(g.baseY[i]));
        g.baseHeight[i] = float(double(sample) * double(terrainScale));
        g.leanX[i] = Quotient(300 - FieldRandom() % 600, 1000.0);
        g.leanY[i] = Quotient(300 - FieldRandom() % 600, 1000.0);
        g.heightExtra[i] = Quotient(FieldRandom() % 30, 100.0);
    }
    g.segmentLeanScale[0] = 0.5f;
    g.segmentLeanScale[1] = 1.0f;
    g.segmentLeanScale[2] = 1.4f;
}

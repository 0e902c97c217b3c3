// grass_field.h -- the 2000 blades of the meadow and the generator that chooses them.
#pragma once

#include <cstdint>

constexpr int BladeCount = 2000;

// Height-map units to field units.
constexpr float terrainScale = 0.01f;

// Parallel arrays indexed by blade number; written only by GenerateGrassField.
struct GrassField {
    int32_t greenOffset[BladeCount];
    float baseX[BladeCount];
    float baseY[BladeCount];
    float baseHeight[BladeCount];
    float leanX[BladeCount];
    float leanY[BladeCount];
    float heightExtra[BladeCount];
    float segmentLeanScale[3];
};

extern GrassField grassField;

// The state word of the field generator: 1 at process start, never reseeded.
extern uint32_t fieldRandomState;

// Next value of the field generator, 0 to 32767.
int FieldRandom();

// Fills every blade from the next 12 000 draws, sampling the map under each foot.
void GenerateGrassField(const unsigned char *map);

// wind.h -- wind settings, paths and modes, the per-frame wind step, the marker ring and the
// wind vector of every blade.
#pragma once

#include <cstdint>

#include "wind/displacement.h"

enum WindPath : int32_t { Off, Cpu, VertexShader };

enum WindMode : int32_t { Steady, Gusting, Vortex, Dummy, DummyBlast };

constexpr int WindPathCount = 3;
constexpr int WindModeCount = 5;

struct WindSettings {
    WindPath path;
    WindMode mode;
    float direction;
    float bendExponent;
    float bendExponentMax;
    float bendExponentMin;
    float strengthPercent;
    float frequency;
    float dummyCentreX;
    float dummyCentreY;
    float dummyRadius;
};

struct WindState {
    float dirX;
    float dirY;
    float bendRadius;
    float gustPhase;
};

extern const WindSettings initialWindSettings;
extern WindSettings windSettings;
extern WindState windState;

// One step of the wind's evolution; once per frame while a path is chosen.
void AdvanceWind();

// The ring (and in Dummy the direction line) in the centred frame; nothing in other modes.
void DrawWindMarker();

// Frees the marker's quadric at the end of the run.
void ReleaseWindMarker();

// The wind vector of blade i: its direction is the bend's, its length the bend radius.
Vec3 BladeWindVector(int i);


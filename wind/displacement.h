// displacement.h -- bending a blade vertex onto its arc on the processor.
#pragma once

#include <cmath>

struct Vec3 {
    float x, y, z;
};

// The single-precision functions: the double library function, rounded to float.
inline float Sinf(float x) { return float(std::sin(double(x))); }
inline float Cosf(float x) { return float(std::cos(double(x))); }
inline float Sqrtf(double x) { return float(std::sqrt(x)); }
inline float Powf(float a, float b) { return float(std::pow(double(a), double(b))); }

// Bends vertex p of blade i by wind w along an arc of length s from the foot. pz and wz are
// not read; the result never lies below the foot.
Vec3 DisplaceVertex(Vec3 p, Vec3 w, int i, float s);

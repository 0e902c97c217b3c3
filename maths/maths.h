// maths.h -- the small maths the grass and the wind share: a point or vector, pi, and the
// single-precision functions.
#pragma once

#include <cmath>

struct Vec3 {
    float x, y, z;
};

// Single-precision pi; every step and bound derived from it is computed from this value.
constexpr float Pi = 3.1415927f;

// The single-precision functions: the double library function, rounded to float.
inline float Sinf(float x) { return float(std::sin(double(x))); }
inline float Cosf(float x) { return float(std::cos(double(x))); }
inline float Sqrtf(double x) { return float(std::sqrt(x)); }
inline float Powf(float a, float b) { return float(std::pow(double(a), double(b))); }

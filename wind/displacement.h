// displacement.h -- bending a blade vertex onto its arc on the processor.
#pragma once

#include "maths/maths.h"

// Bends vertex p of blade i by wind w along an arc of length s from the foot. pz and wz are
// not read; the result never lies below the foot.
Vec3 DisplaceVertex(Vec3 p, Vec3 w, int i, float s);

// The same bend taken apart, for whole blades at a time: what a blade's vertices share is
// formed once per blade, what a row shares once per arc length. Every result is bit-identical
// to DisplaceVertex with the same arguments.

// A blade's wind, scaled (in the vortex, by its foot's distance), and the circle it bends onto.
struct BladeBend {
    float ux, uy;
    float radius;
    float circumference;
    bool bends;  // false: no circle, every vertex stays as built
};

// The part of the bend a row at one arc length shares: the step along the wind and the height.
struct RowBend {
    float r;
    float z;
};

// Rows per blade in a prepared bend: the tip, row 2 and row 1.
constexpr int BendRowCount = 3;

BladeBend PrepareBladeBend(Vec3 w, int i);

// The bends of blades first to first + count - 1, blade first + n under wind w[n] with arc
// lengths arcs[n]; rows are only meaningful where the blade bends. The work goes in stages
// over a run of blades (circles, angles, sines and cosines, rows) rather than blade after
// blade, so that the processor overlaps the blades' independent chains of divisions and
// library calls.
void PrepareBends(int first, int count, const Vec3 w[], const float arcs[][BendRowCount], BladeBend bends[],
                  RowBend rows[][BendRowCount]);

inline Vec3 BendVertex(const BladeBend &b, const RowBend &row, Vec3 p)
{
    if (!b.bends) {
        return p;
    }
    return Vec3{float(double(b.ux) * row.r + p.x), float(double(b.uy) * row.r + p.y), row.z};
}

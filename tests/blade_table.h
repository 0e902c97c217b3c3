// blade_table.h -- a blade as its construction and emission tables give it, for comparing exactly.
#pragma once

#include "grass/blades.h"

// Each vertex is built from one of the row below (or the spine of row 2 for the tip): the
// offsets are added in double to the stored floats, left to right, and stored as a float.
inline void TableBladeVertices(float leanX, float leanY, float heightExtra, Vec3 v[BladeVertexCount])
{
    struct Row {
        BladeVertex vertex, from;
        double dx, dy, rise, k;
    };
    static const Row rows[] = {
        {S1, S0, 0.0, -0.03, 1.5, 0.5}, {L1, L0, 0.05, 0.02, 1.5, 0.5}, {R1, R0, -0.05, 0.02, 1.5, 0.5},
        {S2, S1, 0.0, -0.04, 1.4, 1.0}, {L2, L1, 0.04, 0.01, 1.4, 1.0}, {R2, R1, -0.04, 0.01, 1.4, 1.0},
        {T, S2, 0.0, -0.06, 1.1, double(1.4f)},
    };
    const double a = leanX, b = leanY, e = heightExtra;
    v[S0] = Vec3{0.0f, 0.2f, 0.0f};
    v[L0] = Vec3{-0.15f, 0.0f, 0.0f};
    v[R0] = Vec3{0.15f, 0.0f, 0.0f};
    for (const Row &r : rows) {
        const Vec3 &p = v[r.from];
        v[r.vertex] = Vec3{float(double(p.x) + r.dx + r.k * a), float(double(p.y) + r.dy + r.k * b),
                           float(double(p.z) + r.rise + e)};
    }
}

// The bend factor sent with each row: its rest height above the foot.
inline float TableBendFactor(int row, float heightExtra)
{
    const double e = heightExtra;
    const double factors[4] = {0.0, 1.5 + e, 2.0 * e + 2.9, 3.0 * e + 4.0};
    return float(factors[row]);
}

// One emitted vertex: its row (0 to 2, 3 the tip) and whether its colour and bend factor are
// issued before it or carried over from the vertex before.
struct TableEmission {
    BladeVertex vertex;
    int row;
    bool issued;
};

// The fan of the tip, then the upper and the lower strip.
constexpr int TablePrimitiveCount = 3;
constexpr int TablePrimitiveSizes[TablePrimitiveCount] = {5, 8, 8};
constexpr TableEmission TableEmissions[21] = {
    {T, 3, true}, {L2, 2, true}, {R2, 2, false}, {S2, 2, false}, {L2, 2, false},
    {L2, 2, false}, {L1, 1, true}, {S2, 2, true}, {S1, 1, true}, {R2, 2, true}, {R1, 1, true},
    {L2, 2, true}, {L1, 1, true},
    {L1, 1, false}, {L0, 0, true}, {S1, 1, true}, {S0, 0, true}, {R1, 1, true}, {R0, 0, true},
    {L1, 1, true}, {L0, 0, true},
};

// The green of a row: 35, 65, 95 or 125 above the blade's offset.
inline int TableGreen(int row, int greenOffset)
{
    return greenOffset + 35 + 30 * row;
}

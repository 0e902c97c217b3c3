// blades.h -- building and drawing the blades of the meadow.
#pragma once

#include "maths/maths.h"
#include "wind/displacement.h"

// The ten vertices of a blade: rows 0 to 2 of spine, left and right, and the tip.
enum BladeVertex { S0, L0, R0, S1, L1, R1, S2, L2, R2, T, BladeVertexCount };

// Builds a blade's vertices in its local frame, foot at the origin.
void BuildBladeVertices(float leanX, float leanY, float heightExtra, const float segmentLeanScale[3],
                        Vec3 vertices[BladeVertexCount]);

// The bend factors of rows 1 and 2 and the tip: each row's rest height above the foot.
struct BendFactors {
    float row1, row2, tip;
};
BendFactors BladeBendFactors(float heightExtra);

// The arc lengths of a blade's bent rows, in the order PrepareBends takes them.
inline void RowArcs(const BendFactors &f, float arcs[BendRowCount])
{
    arcs[0] = f.tip;
    arcs[1] = f.row2;
    arcs[2] = f.row1;
}

// Places the seven upper vertices of a blade on its bend, prepared by PrepareBends for the
// blade's RowArcs; each lands where DisplaceVertex of that vertex at its row's bend factor
// would put it, to the bit.
void BendBladeVertices(Vec3 vertices[BladeVertexCount], const BladeBend &b, const RowBend rows[BendRowCount]);

// Draws all 2000 blades, bent by the chosen wind path.
void DrawBlades();

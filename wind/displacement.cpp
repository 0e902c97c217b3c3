// displacement.cpp -- the processor's wind path: each vertex placed on a circle of the wind's radius.
#include "wind/displacement.h"

#include "grass/grass_field.h"
#include "wind/wind.h"

// Below this distance a blade stands on the vortex point; the scale would become infinite.
static const float vortexMinDistance = 1e-6f;

// The vortex scales blade i's wind by the inverse of its foot's distance from the point w;
// every other mode leaves the wind as it is.
static float WindScale(Vec3 w, int i)
{
    if (windSettings.mode != Vortex) {
        return 1.0f;
    }
    float ex = float(double(grassField.baseX[i]) - w.x - 5.12);
    float ey = float(double(grassField.baseY[i]) - w.y - 5.12);
    float distance = Sqrtf(double(ex) * ex + double(ey) * ey);
    if (distance < vortexMinDistance) {
        distance = vortexMinDistance;
    }
    return float(15.0 / distance);
}

BladeBend PrepareBladeBend(Vec3 w, int i)
{
    const float k = WindScale(w, i);
    BladeBend b;
    b.ux = w.x * k;
    b.uy = w.y * k;
    b.radius = Sqrtf(double(b.ux) * b.ux + double(b.uy) * b.uy);
    // No circle to bend onto (a zero or NaN radius): the vertices stay as built.
    b.bends = b.radius > 0.0f;
    // Formed once here and divided into later, as DisplaceVertex does, so theta rounds alike.
    b.circumference = float(2.0 * double(Pi) * b.radius);
    return b;
}

// The angle of arc length s on the blade's circle.
static float ArcAngle(const BladeBend &b, float s)
{
    return float((double(s) + s) * double(Pi) / b.circumference);
}

static RowBend RowFromAngle(const BladeBend &b, float cosTheta, float sinTheta)
{
    const float cosRadius = float(double(cosTheta) * b.radius);
    RowBend row;
    row.r = float((double(b.radius) - cosRadius) / b.radius);
    row.z = float(double(sinTheta) * b.radius);
    if (row.z <= 0.0f) {
        row.z = 0.0f;
    }
    return row;
}

void PrepareBends(int first, int count, const Vec3 w[], const float arcs[][BendRowCount], BladeBend bends[],
                  RowBend rows[][BendRowCount])
{
    // Runs short enough for the angles to stay on the stack and in the first-level cache.
    const int run = 64;
    float theta[run][BendRowCount], cosTheta[run][BendRowCount], sinTheta[run][BendRowCount];
    for (int start = 0; start < count; start += run) {
        const int n = count - start < run ? count - start : run;
        BladeBend *b = bends + start;
        for (int j = 0; j < n; j++) {
            b[j] = PrepareBladeBend(w[start + j], first + start + j);
        }
        for (int j = 0; j < n; j++) {
            for (int k = 0; k < BendRowCount; k++) {
                // A blade without a circle has no angle; the library is not asked about one.
                theta[j][k] = b[j].bends ? ArcAngle(b[j], arcs[start + j][k]) : 0.0f;
            }
        }
        for (int j = 0; j < n; j++) {
            for (int k = 0; k < BendRowCount; k++) {
                // The pair of the same argument: the compiler makes it one sincos call.
                cosTheta[j][k] = Cosf(theta[j][k]);
                sinTheta[j][k] = Sinf(theta[j][k]);
            }
        }
        for (int j = 0; j < n; j++) {
            for (int k = 0; k < BendRowCount; k++) {
                rows[start + j][k] = RowFromAngle(b[j], cosTheta[j][k], sinTheta[j][k]);
            }
        }
    }
}

// The reference, one vertex at a time; the pieces above repeat its operations in its order.
Vec3 DisplaceVertex(Vec3 p, Vec3 w, int i, float s)
{
    const float k = WindScale(w, i);
    float ux = w.x * k;
    float uy = w.y * k;
    float radius = Sqrtf(double(ux) * ux + double(uy) * uy);
    // No circle to bend onto: the vertex stays as built.
    if (!(radius > 0.0f)) {
        return p;
    }
    // The angle is formed as the original does, circumference first, so the floats agree.
    float circumference = float(2.0 * double(Pi) * radius);
    float theta = float((double(s) + s) * double(Pi) / circumference);
    float cosRadius = float(double(Cosf(theta)) * radius);
    float r = float((double(radius) - cosRadius) / radius);
    Vec3 out;
    out.x = float(double(ux) * r + p.x);
    out.y = float(double(uy) * r + p.y);
    out.z = float(double(Sinf(theta)) * radius);
    if (out.z <= 0.0f) {
        out.z = 0.0f;
    }
    return out;
}

// displacement.cpp -- the processor's wind path: each vertex placed on a circle of the wind's radius.
#include "wind/displacement.h"

#include "grass/grass_field.h"
#include "wind/wind.h"

// Below this distance a blade stands on the vortex point; the scale would become infinite.
static const float vortexMinDistance = 1e-6f;

Vec3 DisplaceVertex(Vec3 p, Vec3 w, int i, float s)
{
    float k = 1.0f;
    if (windSettings.mode == Vortex) {
        float ex = float(double(grassField.baseX[i]) - w.x - 5.12);
        float ey = float(double(grassField.baseY[i]) - w.y - 5.12);
        float distance = Sqrtf(double(ex) * ex + double(ey) * ey);
        if (distance < vortexMinDistance) {
            distance = vortexMinDistance;
        }
        k = float(15.0 / distance);
    }
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

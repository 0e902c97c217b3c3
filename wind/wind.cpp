// wind.cpp -- the wind's settings and evolution, the dummy ring and the per-blade wind vector.
#include "wind/wind.h"

#include "platform/gl_access.h"

#include "grass/grass_field.h"

const WindSettings initialWindSettings = {
    Off, Steady,
    0.0f,                 // direction
    10.0f * Pi,           // bendExponent
    10.0f * Pi,           // bendExponentMax
    Pi / 2.0f,            // bendExponentMin
    0.0f,                 // strengthPercent
    0.2f,                 // frequency
    0.0f, 0.0f,           // dummyCentreX, dummyCentreY
    1.0f,                 // dummyRadius
};

WindSettings windSettings = initialWindSettings;
WindState windState;

static const float bendBase = 1.115f;
static const float twoPi = 2.0f * Pi;
static const float windStep = Pi / 10.0f;
// 7 pi / 40: where the gust phase starts again after a wrap.
static const float gustPhaseAfterWrap = 0.5497787f;
static const float largestBladeRadius = 50.0f;

// One quadric for the whole run: made at the first ring, reused in every window.
static GLUquadric *markerQuadric;

void AdvanceWind()
{
    WindSettings &s = windSettings;
    WindState &st = windState;
    st.dirX = Sinf(s.direction);
    st.dirY = Cosf(s.direction);
    switch (s.mode) {
    case Steady:
        st.bendRadius = Powf(bendBase, s.bendExponent);
        break;
    case Gusting: {
        float h = float((double(s.bendExponentMax) - s.bendExponent) * 0.5);
        float swing = Sinf(float(double(s.frequency) * st.gustPhase));
        float exponent = float(double(s.bendExponent) + h + double(h) * swing);
        if (double(s.frequency) * st.gustPhase >= double(twoPi)) {
            st.gustPhase = gustPhaseAfterWrap;
        } else {
            st.gustPhase = float(double(st.gustPhase) + windStep);
        }
        st.bendRadius = Powf(bendBase, exponent);
        break;
    }
    case Vortex: {
        // The wrap restarts one plain step from zero; the remainder is not kept.
        float step = float(double(windStep) * s.frequency);
        if (s.direction >= twoPi) {
            s.direction = step;
        } else {
            s.direction = float(double(s.direction) + step);
        }
        st.bendRadius = Powf(bendBase, s.bendExponent);
        break;
    }
    case Dummy:
    case DummyBlast:
        break;
    }
}

void DrawWindMarker()
{
    const WindSettings &s = windSettings;
    if (s.mode != Dummy && s.mode != DummyBlast) {
        return;
    }
    if (!markerQuadric) {
        markerQuadric = gluNewQuadric();
    }
    float radius = s.dummyRadius;
    glTranslatef(s.dummyCentreX, s.dummyCentreY, 8.0f);
    glColor4ub(255, 255, 0, 128);
    if (markerQuadric) {
        gluDisk(markerQuadric, radius, double(radius) + 0.05, 360, 1);
    }
    if (s.mode == Dummy) {
        glBegin(GL_LINES);
        glVertex3f(0.0f, 0.0f, 0.0f);
        glVertex3f(windState.dirX * radius, windState.dirY * radius, 0.0f);
        glEnd();
    }
    glTranslatef(-s.dummyCentreX, -s.dummyCentreY, -8.0f);
}

void ReleaseWindMarker()
{
    if (markerQuadric) {
        gluDeleteQuadric(markerQuadric);
        markerQuadric = nullptr;
    }
}

Vec3 BladeWindVector(int i)
{
    const WindSettings &s = windSettings;
    const WindState &st = windState;
    if (s.mode != Dummy && s.mode != DummyBlast) {
        return Vec3{st.dirX * st.bendRadius, st.dirY * st.bendRadius, 0.0f};
    }
    // The foot relative to the ring centre, in the centred frame.
    float ex = float(double(grassField.baseX[i]) - s.dummyCentreX - 5.12);
    float ey = float(double(grassField.baseY[i]) - s.dummyCentreY - 5.12);
    float d = Sqrtf(double(ex) * ex + double(ey) * ey);
    float radius = Powf(bendBase, float((double(d) * s.bendExponent + s.bendExponent) / s.dummyRadius));
    if (radius > largestBladeRadius) {
        radius = largestBladeRadius;
    }
    // A foot on the ring centre has no way out: it takes the set direction.
    if (s.mode == Dummy || d == 0.0f) {
        return Vec3{st.dirX * radius, st.dirY * radius, 0.0f};
    }
    return Vec3{float(1.0 / d * ex * radius), float(1.0 / d * ey * radius), 0.0f};
}

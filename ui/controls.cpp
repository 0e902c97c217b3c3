// controls.cpp -- what each key does, in the fixed order the keys are tested every frame.
#include "ui/controls.h"

#include "platform/gl_access.h"

#include "app/app_window.h"
#include "ui/frame.h"
#include "wind/wind.h"

DisplayToggles displayToggles;
KeyLatches keyLatches;

static const float exponentStep = Pi / 20.0f;
static const float frequencyStep = Pi / 500.0f;
static const float directionStep = Pi / 100.0f;
static const float twoPi = 2.0f * Pi;
static const float twoPiLessStep = 2.0f * Pi - Pi / 100.0f;
static const float halfPi = Pi / 2.0f;
static const float ringLimit = 8.0f;
static const float ringStep = 0.1f;
static const float distanceStep = 0.1f;
static const float angleStep = 0.8f;

float StrengthPercent(float bendExponent)
{
    return float(100.0 - (double(bendExponent) - halfPi) * 200.0 / (19.0 * double(Pi)));
}

static bool Held(int key)
{
    return currentKeys->down[key] != 0;
}

// True in the first frame a toggle key is seen down; again only after a frame it was up.
static bool Pressed(int key, bool &latch)
{
    if (!Held(key)) {
        latch = false;
        return false;
    }
    if (latch) {
        return false;
    }
    latch = true;
    return true;
}

static void ApplyLighting()
{
    if (displayToggles.pointLight) {
        glEnable(GL_LIGHTING);
    } else {
        glDisable(GL_LIGHTING);
    }
}

static void ApplyWireframe()
{
    GLenum mode = displayToggles.wireframe ? GL_LINE : GL_FILL;
    glPolygonMode(GL_FRONT, mode);
    glPolygonMode(GL_BACK, mode);
}

void ApplyDisplayToggles()
{
    ApplyLighting();
    ApplyWireframe();
}

void UpdateControls(float)
{
    WindSettings &s = windSettings;

    if (Held(KeyEscape)) {
        RequestQuit(currentWindow);
    }
    if (Held(KeyF1)) {
        RequestFullScreenToggle(currentWindow);
    }
    if (Pressed(KeyF4, keyLatches.lighting)) {
        displayToggles.pointLight = !displayToggles.pointLight;
        ApplyLighting();
    }
    if (Pressed('W', keyLatches.path)) {
        s.path = WindPath((s.path + 1) % WindPathCount);
    }
    if (Pressed('A', keyLatches.mode)) {
        s.mode = WindMode((s.mode + 1) % WindModeCount);
    }
    if (Pressed(KeyF3, keyLatches.wireframe)) {
        displayToggles.wireframe = !displayToggles.wireframe;
        ApplyWireframe();
    }

    // Guards are tested before the step, so a value can end one step past its bound.
    if (Held('Y') && s.bendExponent < s.bendExponentMax) {
        s.bendExponent += exponentStep;
        s.strengthPercent = StrengthPercent(s.bendExponent);
    }
    if (Held('X') && s.bendExponent > s.bendExponentMin) {
        s.bendExponent -= exponentStep;
        s.strengthPercent = StrengthPercent(s.bendExponent);
    }
    if (Held('M') && s.frequency < 1.0f) {
        s.frequency += frequencyStep;
    }
    if (Held('N') && s.frequency > 0.0f) {
        s.frequency -= frequencyStep;
    }
    // The vortex turns the direction itself.
    if (Held('E') && s.mode != Vortex) {
        s.direction = s.direction <= 0.0f ? twoPiLessStep : s.direction - directionStep;
    }
    if (Held('R') && s.mode != Vortex) {
        s.direction = s.direction >= twoPi ? directionStep : s.direction + directionStep;
    }
    if (Held('J') && s.dummyCentreX > -ringLimit) {
        s.dummyCentreX -= ringStep;
    }
    if (Held('L') && s.dummyCentreX < ringLimit) {
        s.dummyCentreX += ringStep;
    }
    if (Held('I') && s.dummyCentreY < ringLimit) {
        s.dummyCentreY += ringStep;
    }
    if (Held('K') && s.dummyCentreY > -ringLimit) {
        s.dummyCentreY -= ringStep;
    }
    if (Held('P') && s.dummyRadius < ringLimit) {
        s.dummyRadius += ringStep;
    }
    if (Held('O') && s.dummyRadius > halfPi) {
        s.dummyRadius -= ringStep;
    }

    if (Held(KeyPageUp)) {
        camera.distance -= distanceStep;
    }
    if (Held(KeyPageDown)) {
        camera.distance += distanceStep;
    }
    if (Held(KeyUp)) {
        camera.tilt -= angleStep;
    }
    if (Held(KeyDown)) {
        camera.tilt += angleStep;
    }
    if (Held(KeyRight)) {
        camera.heading += angleStep;
    }
    if (Held(KeyLeft)) {
        camera.heading -= angleStep;
    }
}

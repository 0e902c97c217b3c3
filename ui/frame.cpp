// frame.cpp -- the order in which a frame is drawn, under which transform, and the frame count.
#include "ui/frame.h"

#include "platform/gl_access.h"

#include "grass/blades.h"
#include "grass/grass_field.h"
#include "platform/system_time.h"
#include "scene/height_map.h"
#include "ui/overlay.h"
#include "wind/wind.h"

const Camera initialCamera = {-25.0f, 0.0f, 0.0f};
Camera camera = initialCamera;
FrameRateCounter frameRateCounter;

void CountFrame(float now)
{
    FrameRateCounter &c = frameRateCounter;
    // The frame that opens a new second is not counted: 60 frames a second show 59.
    if (now != c.referenceSecond) {
        c.referenceSecond = now;
        c.shownRate = c.framesCounted;
        c.framesCounted = 0;
    } else {
        c.framesCounted++;
    }
}

void DrawFrame()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    DrawOverlay();

    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, camera.distance);
    glRotatef(camera.tilt, 1.0f, 0.0f, 0.0f);
    glRotatef(camera.heading, 0.0f, 0.0f, 1.0f);

    // With no path the wind stands still and the ring is gone.
    if (windSettings.path != Off) {
        AdvanceWind();
        DrawWindMarker();
    }
    DrawBlades();

    glScalef(terrainScale, terrainScale, terrainScale);
    DrawTerrain(heightMap);

    CountFrame(float(UtcMinuteSecond()));
    glFlush();
}

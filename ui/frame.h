// frame.h -- frame composition, the camera and the frame-rate count.
#pragma once

#include <cstdint>

struct Camera {
    float distance;
    float tilt;
    float heading;
};

struct FrameRateCounter {
    int32_t framesCounted;
    int32_t shownRate;
    float referenceSecond;
};

extern const Camera initialCamera;
extern Camera camera;
extern FrameRateCounter frameRateCounter;

// Counts one frame at clock reading `now` (minute x 60 + second); a new second shows the count.
void CountFrame(float now);

// Draws one whole frame into the back buffer.
void DrawFrame();

// controls.h -- the keyboard: 24 keys read from the key table once per frame.
#pragma once

struct DisplayToggles {
    bool wireframe;
    bool pointLight;
};

// One latch per toggle key, so that a held key acts once.
struct KeyLatches {
    bool lighting;
    bool path;
    bool mode;
    bool wireframe;
};

extern DisplayToggles displayToggles;
extern KeyLatches keyLatches;

// Windows virtual-key codes of the keys the controls read.
enum VirtualKey {
    KeyEscape = 27, KeyPageUp = 33, KeyPageDown = 34, KeyLeft = 37, KeyUp = 38, KeyRight = 39,
    KeyDown = 40, KeyF1 = 112, KeyF3 = 114, KeyF4 = 115,
};

// The update step of every frame. The elapsed time is not used: values change per frame.
void UpdateControls(float elapsedMilliseconds);

// Brings a new GL context into line with the display toggles.
void ApplyDisplayToggles();

// 100 at the lowest exponent, 0 at the highest.
float StrengthPercent(float bendExponent);

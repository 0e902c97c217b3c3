// scene.h -- scene initialisation: render state, light, and the start-up work of every window.
#pragma once

struct AppWindow;
struct KeyState;

// The window and key table of the running pass, for the controls and the font.
extern AppWindow *currentWindow;
extern KeyState *currentKeys;

// Prepares a freshly created window's GL context; false when the shader program cannot be
// set up (the cause has been shown).
bool InitScene(AppWindow *window, KeyState *keys);

// The fixed render state and light, the first half of InitScene.
void SetRenderState();

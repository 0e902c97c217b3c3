// scene.h -- scene initialisation: render state, light, and the start-up work of every window.
#pragma once

struct AppWindow;
struct KeyState;

// Prepares a freshly created window's GL context, and stores the window and its key table as
// the current ones (app/app_window.h); false when the shader program cannot be set up (the
// cause has been shown).
bool InitScene(AppWindow *window, KeyState *keys);

// The fixed render state and light, the first half of InitScene.
void SetRenderState();

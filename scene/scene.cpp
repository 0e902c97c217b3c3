// scene.cpp -- scene initialisation with the fixed render state and the one point light.
#include "scene/scene.h"

#include "platform/gl_access.h"

#include "app/app_window.h"
#include "grass/grass_field.h"
#include "scene/height_map.h"
#include "shader/shader_program.h"
#include "ui/controls.h"
#include "ui/overlay.h"

static const GLfloat globalAmbient[] = {0.1f, 0.1f, 0.1f, 1.0f};
static const GLfloat lightAmbient[] = {0.2f, 0.2f, 0.2f, 1.0f};
static const GLfloat lightDiffuse[] = {0.8f, 0.8f, 0.8f, 1.0f};
static const GLfloat lightSpecular[] = {1.0f, 1.0f, 1.0f, 1.0f};
// Given while the model-view matrix is the identity: the light stays fixed relative to the eye.
static const GLfloat lightPosition[] = {10.0f, 10.0f, 10.0f, 1.0f};

void SetRenderState()
{
    glEnable(GL_NORMALIZE);
    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glEnable(GL_COLOR_MATERIAL);
    glFrontFace(GL_CCW);

    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 0);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 1);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, globalAmbient);
    glLightfv(GL_LIGHT1, GL_AMBIENT, lightAmbient);
    glLightfv(GL_LIGHT1, GL_DIFFUSE, lightDiffuse);
    glLightfv(GL_LIGHT1, GL_SPECULAR, lightSpecular);
    glLightfv(GL_LIGHT1, GL_POSITION, lightPosition);
    glEnable(GL_LIGHT1);
}

bool InitScene(AppWindow *window, KeyState *keys)
{
    currentWindow = window;
    currentKeys = keys;
    SetRenderState();
    // The switches outlive the window; the new context starts unlit and filled.
    ApplyDisplayToggles();
    BuildFont();
    // A missing or unreadable map is reported inside and the scene goes on with what it has.
    LoadHeightMap("terrain.raw", HeightMapSize, heightMap);
    GenerateGrassField(heightMap);
    return SetupShaderProgram();
}

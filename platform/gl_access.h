// gl_access.h -- OpenGL 1.1, GLU and the GL 2.0 shader calls, as the platform gives them.
#pragma once

// gl_platform.h of the platform folder the build picks: libepoxy on Linux; on Windows
// OPENGL32's 1.1 calls, and the 2.0 calls fetched once a context is current.
#include "gl_platform.h"

// True when the current context has the GL 2.0 shader calls.
bool GlShadersAvailable();

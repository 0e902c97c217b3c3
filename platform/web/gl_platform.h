// gl_platform.h -- GL 1.1 and the GL 2.0 shader calls through gl4es over WebGL, and GLU built for it.
#pragma once

// gl4es's GL/gl.h renames every entry point to gl4es's own (gl4es_glBegin), so the calls below
// reach gl4es rather than the browser's WebGL bindings.
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

// gl4es keeps a texture coordinate given between glBegin and glEnd only on a unit with a texture
// enabled, and the shader runtime feeds TEXCOORDn inputs per vertex that way. While a program is
// in use its own shaders draw, so an enabled texture changes nothing but that: the units of
// TEXCOORD0 to 7 are enabled while one is, and disabled again with glUseProgram(0).
void UseProgramKeepingTexCoords(GLuint program);
#undef glUseProgram
#define glUseProgram UseProgramKeepingTexCoords

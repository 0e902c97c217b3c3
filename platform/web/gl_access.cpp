// gl_access.cpp -- the GL version gl4es reports over the page's WebGL context.
#include "platform/gl_access.h"

#include <cstdlib>

bool GlShadersAvailable()
{
    // gl4es answers "2.1 gl4es wrapper" where WebGL has shaders; the major version decides.
    const char *version = reinterpret_cast<const char *>(glGetString(GL_VERSION));
    return version && std::atoi(version) >= 2;
}

// WebGL 1 has no non-square matrices, so no program there declares one and no location takes
// these uploads; gl4es answers them by name with a call that does nothing, and so do these.
void glUniformMatrix2x3fv(GLint, GLsizei, GLboolean, const GLfloat *) {}
void glUniformMatrix2x4fv(GLint, GLsizei, GLboolean, const GLfloat *) {}
void glUniformMatrix3x2fv(GLint, GLsizei, GLboolean, const GLfloat *) {}
void glUniformMatrix3x4fv(GLint, GLsizei, GLboolean, const GLfloat *) {}
void glUniformMatrix4x2fv(GLint, GLsizei, GLboolean, const GLfloat *) {}
void glUniformMatrix4x3fv(GLint, GLsizei, GLboolean, const GLfloat *) {}

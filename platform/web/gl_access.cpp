// gl_access.cpp -- the GL version gl4es reports over the page's WebGL context, and the texture
// units that let it keep per-vertex texture coordinates for a program.
#include "platform/gl_access.h"

#include <cstdlib>

#include "cg/cg_translate.h"

bool GlShadersAvailable()
{
    // gl4es answers "2.1 gl4es wrapper" where WebGL has shaders; the major version decides.
    const char *version = reinterpret_cast<const char *>(glGetString(GL_VERSION));
    return version && std::atoi(version) >= 2;
}

void UseProgramKeepingTexCoords(GLuint program)
{
    static bool unitsEnabled = false;
    gl4es_glUseProgram(program);
    if ((program != 0) == unitsEnabled) {
        return;
    }
    unitsEnabled = program != 0;
    GLint active = GL_TEXTURE0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    for (int unit = 0; unit < cgTexCoordUnits; unit++) {
        glActiveTexture(GLenum(GL_TEXTURE0 + unit));
        if (unitsEnabled) {
            glEnable(GL_TEXTURE_2D);
        } else {
            glDisable(GL_TEXTURE_2D);
        }
    }
    glActiveTexture(GLenum(active));
}

// WebGL 1 has no non-square matrices, so no program there declares one and no location takes
// these uploads; gl4es answers them by name with a call that does nothing, and so do these.
void glUniformMatrix2x3fv(GLint, GLsizei, GLboolean, const GLfloat *) {}
void glUniformMatrix2x4fv(GLint, GLsizei, GLboolean, const GLfloat *) {}
void glUniformMatrix3x2fv(GLint, GLsizei, GLboolean, const GLfloat *) {}
void glUniformMatrix3x4fv(GLint, GLsizei, GLboolean, const GLfloat *) {}
void glUniformMatrix4x2fv(GLint, GLsizei, GLboolean, const GLfloat *) {}
void glUniformMatrix4x3fv(GLint, GLsizei, GLboolean, const GLfloat *) {}

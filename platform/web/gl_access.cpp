// gl_access.cpp -- the GL version gl4es reports over the page's WebGL context, and the link that
// WebGL needs.
#include "platform/gl_access.h"

#include <cstdlib>

bool GlShadersAvailable()
{
    // gl4es answers "2.1 gl4es wrapper" where WebGL has shaders; the major version decides.
    const char *version = reinterpret_cast<const char *>(glGetString(GL_VERSION));
    return version && std::atoi(version) >= 2;
}

static bool HasFragmentShader(GLuint program)
{
    GLuint shaders[8];
    GLsizei count = 0;
    glGetAttachedShaders(program, 8, &count, shaders);
    for (GLsizei i = 0; i < count; i++) {
        GLint type = 0;
        glGetShaderiv(shaders[i], GL_SHADER_TYPE, &type);
        if (type == GL_FRAGMENT_SHADER) {
            return true;
        }
    }
    return false;
}

void LinkProgramWithColourPassThrough(GLuint program)
{
    if (!HasFragmentShader(program)) {
        const char *passThrough = "void main()\n{\n    gl_FragColor = gl_Color;\n}\n";
        GLuint fragment = glCreateShader(GL_FRAGMENT_SHADER);
        glShaderSource(fragment, 1, &passThrough, nullptr);
        glCompileShader(fragment);
        glAttachShader(program, fragment);
        // Flagged now, it goes with the program.
        glDeleteShader(fragment);
    }
    gl4es_glLinkProgram(program);
}

// WebGL 1 has no non-square matrices, so no program there declares one and no location takes
// these uploads; gl4es answers them by name with a call that does nothing, and so do these.
void glUniformMatrix2x3fv(GLint, GLsizei, GLboolean, const GLfloat *) {}
void glUniformMatrix2x4fv(GLint, GLsizei, GLboolean, const GLfloat *) {}
void glUniformMatrix3x2fv(GLint, GLsizei, GLboolean, const GLfloat *) {}
void glUniformMatrix3x4fv(GLint, GLsizei, GLboolean, const GLfloat *) {}
void glUniformMatrix4x2fv(GLint, GLsizei, GLboolean, const GLfloat *) {}
void glUniformMatrix4x3fv(GLint, GLsizei, GLboolean, const GLfloat *) {}

// gl_platform.h -- GL on Windows: OPENGL32 exports GL 1.1 and GLU32 the GLU; the later calls the
// shader runtime needs are fetched with wglGetProcAddress into one table once a context is
// current, and the gl* names below call through it.
#pragma once

// GL/gl.h would pull in all of windows.h for these two; the portable code needs neither.
#ifndef APIENTRY
#define APIENTRY __stdcall
#endif
#ifndef WINGDIAPI
#define WINGDIAPI __declspec(dllimport)
#endif
#ifndef CALLBACK
#define CALLBACK __stdcall
#endif

#include <GL/gl.h>
#include <GL/glu.h>
#include <GL/glext.h>

// Each GL 1.3 to 2.0 call the program makes, and GL 2.1's uniform uploads of non-square matrices: its
// pointer type from glext.h and its name.
#define HALMWIND_GL_SHADER_CALLS(X)                        \
    X(PFNGLATTACHSHADERPROC, glAttachShader)               \
    X(PFNGLBINDATTRIBLOCATIONPROC, glBindAttribLocation)   \
    X(PFNGLCOMPILESHADERPROC, glCompileShader)             \
    X(PFNGLCREATEPROGRAMPROC, glCreateProgram)             \
    X(PFNGLCREATESHADERPROC, glCreateShader)               \
    X(PFNGLDELETEPROGRAMPROC, glDeleteProgram)             \
    X(PFNGLDELETESHADERPROC, glDeleteShader)               \
    X(PFNGLGETPROGRAMINFOLOGPROC, glGetProgramInfoLog)     \
    X(PFNGLGETPROGRAMIVPROC, glGetProgramiv)               \
    X(PFNGLGETSHADERINFOLOGPROC, glGetShaderInfoLog)       \
    X(PFNGLGETSHADERIVPROC, glGetShaderiv)                 \
    X(PFNGLGETUNIFORMLOCATIONPROC, glGetUniformLocation)   \
    X(PFNGLLINKPROGRAMPROC, glLinkProgram)                 \
    X(PFNGLMULTITEXCOORD1FPROC, glMultiTexCoord1f)         \
    X(PFNGLMULTITEXCOORD3FPROC, glMultiTexCoord3f)         \
    X(PFNGLMULTITEXCOORD4FPROC, glMultiTexCoord4f)         \
    X(PFNGLSECONDARYCOLOR3FPROC, glSecondaryColor3f)       \
    X(PFNGLSHADERSOURCEPROC, glShaderSource)               \
    X(PFNGLUNIFORM1FVPROC, glUniform1fv)                   \
    X(PFNGLUNIFORM2FVPROC, glUniform2fv)                   \
    X(PFNGLUNIFORM3FVPROC, glUniform3fv)                   \
    X(PFNGLUNIFORM4FVPROC, glUniform4fv)                   \
    X(PFNGLUNIFORM1IPROC, glUniform1i)                     \
    X(PFNGLUNIFORM2IPROC, glUniform2i)                     \
    X(PFNGLUNIFORM3IPROC, glUniform3i)                     \
    X(PFNGLUNIFORM4IPROC, glUniform4i)                     \
    X(PFNGLUNIFORMMATRIX2FVPROC, glUniformMatrix2fv)       \
    X(PFNGLUNIFORMMATRIX3FVPROC, glUniformMatrix3fv)       \
    X(PFNGLUNIFORMMATRIX4FVPROC, glUniformMatrix4fv)       \
    X(PFNGLUNIFORMMATRIX2X3FVPROC, glUniformMatrix2x3fv)   \
    X(PFNGLUNIFORMMATRIX2X4FVPROC, glUniformMatrix2x4fv)   \
    X(PFNGLUNIFORMMATRIX3X2FVPROC, glUniformMatrix3x2fv)   \
    X(PFNGLUNIFORMMATRIX3X4FVPROC, glUniformMatrix3x4fv)   \
    X(PFNGLUNIFORMMATRIX4X2FVPROC, glUniformMatrix4x2fv)   \
    X(PFNGLUNIFORMMATRIX4X3FVPROC, glUniformMatrix4x3fv)   \
    X(PFNGLUSEPROGRAMPROC, glUseProgram)                   \
    X(PFNGLVERTEXATTRIB1FPROC, glVertexAttrib1f)           \
    X(PFNGLVERTEXATTRIB3FPROC, glVertexAttrib3f)           \
    X(PFNGLVERTEXATTRIB4FPROC, glVertexAttrib4f)

struct GlShaderCalls {
#define HALMWIND_GL_MEMBER(type, name) type name##_;
    HALMWIND_GL_SHADER_CALLS(HALMWIND_GL_MEMBER)
#undef HALMWIND_GL_MEMBER
};

extern GlShaderCalls glShaderCalls;

// Fetches the table for the current context: true only when GL 2.0 and every call are there.
// The Win32 shell calls it after every wglMakeCurrent.
bool LoadGlShaderCalls();

#define glAttachShader glShaderCalls.glAttachShader_
#define glBindAttribLocation glShaderCalls.glBindAttribLocation_
#define glCompileShader glShaderCalls.glCompileShader_
#define glCreateProgram glShaderCalls.glCreateProgram_
#define glCreateShader glShaderCalls.glCreateShader_
#define glDeleteProgram glShaderCalls.glDeleteProgram_
#define glDeleteShader glShaderCalls.glDeleteShader_
#define glGetProgramInfoLog glShaderCalls.glGetProgramInfoLog_
#define glGetProgramiv glShaderCalls.glGetProgramiv_
#define glGetShaderInfoLog glShaderCalls.glGetShaderInfoLog_
#define glGetShaderiv glShaderCalls.glGetShaderiv_
#define glGetUniformLocation glShaderCalls.glGetUniformLocation_
#define glLinkProgram glShaderCalls.glLinkProgram_
#define glMultiTexCoord1f glShaderCalls.glMultiTexCoord1f_
#define glMultiTexCoord3f glShaderCalls.glMultiTexCoord3f_
#define glMultiTexCoord4f glShaderCalls.glMultiTexCoord4f_
#define glSecondaryColor3f glShaderCalls.glSecondaryColor3f_
#define glShaderSource glShaderCalls.glShaderSource_
#define glUniform1fv glShaderCalls.glUniform1fv_
#define glUniform2fv glShaderCalls.glUniform2fv_
#define glUniform3fv glShaderCalls.glUniform3fv_
#define glUniform4fv glShaderCalls.glUniform4fv_
#define glUniform1i glShaderCalls.glUniform1i_
#define glUniform2i glShaderCalls.glUniform2i_
#define glUniform3i glShaderCalls.glUniform3i_
#define glUniform4i glShaderCalls.glUniform4i_
#define glUniformMatrix2fv glShaderCalls.glUniformMatrix2fv_
#define glUniformMatrix3fv glShaderCalls.glUniformMatrix3fv_
#define glUniformMatrix4fv glShaderCalls.glUniformMatrix4fv_
#define glUniformMatrix2x3fv glShaderCalls.glUniformMatrix2x3fv_
#define glUniformMatrix2x4fv glShaderCalls.glUniformMatrix2x4fv_
#define glUniformMatrix3x2fv glShaderCalls.glUniformMatrix3x2fv_
#define glUniformMatrix3x4fv glShaderCalls.glUniformMatrix3x4fv_
#define glUniformMatrix4x2fv glShaderCalls.glUniformMatrix4x2fv_
#define glUniformMatrix4x3fv glShaderCalls.glUniformMatrix4x3fv_
#define glUseProgram glShaderCalls.glUseProgram_
#define glVertexAttrib1f glShaderCalls.glVertexAttrib1f_
#define glVertexAttrib3f glShaderCalls.glVertexAttrib3f_
#define glVertexAttrib4f glShaderCalls.glVertexAttrib4f_

// gl_platform.h -- GL 1.1 and the GL 2.0 shader calls through gl4es over WebGL, and GLU built for it.
#pragma once

// gl4es's GL/gl.h renames every entry point to gl4es's own (gl4es_glBegin), so the calls below
// reach gl4es rather than the browser's WebGL bindings.
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

// WebGL links no program without a fragment shader, where desktop GL runs the vertex shader
// before the fixed fragment stage. Until the shader runtime attaches one itself, a link on the
// web adds one that passes the colour on, as the fixed stage does.
void LinkProgramWithColourPassThrough(GLuint program);
#undef glLinkProgram
#define glLinkProgram LinkProgramWithColourPassThrough

// gl4es keeps the fixed pipeline's inputs in the low generic attribute slots (the colour sits at
// 3), and a program that binds one of them does not link. On the web the program's generic
// attributes move up past them; binding and setting go through the same offset.
constexpr GLuint WebAttributeOffset = 6;
inline void WebBindAttribLocation(GLuint program, GLuint index, const GLchar *name)
{
    gl4es_glBindAttribLocation(program, index + WebAttributeOffset, name);
}
inline void WebVertexAttrib1f(GLuint index, GLfloat x)
{
    gl4es_glVertexAttrib1f(index + WebAttributeOffset, x);
}
inline void WebVertexAttrib3f(GLuint index, GLfloat x, GLfloat y, GLfloat z)
{
    gl4es_glVertexAttrib3f(index + WebAttributeOffset, x, y, z);
}
#undef glBindAttribLocation
#define glBindAttribLocation WebBindAttribLocation
#undef glVertexAttrib1f
#define glVertexAttrib1f WebVertexAttrib1f
#undef glVertexAttrib3f
#define glVertexAttrib3f WebVertexAttrib3f

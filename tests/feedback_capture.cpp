// feedback_capture.cpp -- build, run and read back a vertex program under transform feedback.
#include "tests/feedback_capture.h"

bool TransformFeedbackAvailable(std::string *why)
{
    if (epoxy_gl_version() < 30 && !epoxy_has_gl_extension("GL_EXT_transform_feedback")) {
        *why = "this GL has no transform feedback";
        return false;
    }
    return true;
}

GLuint BuildCaptureProgram(const CgTranslation &translation, const std::vector<const char *> &captured,
                           const char *fileName, std::string *why)
{
    GLuint shader = glCreateShader(GL_VERTEX_SHADER);
    const char *text = translation.glsl.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[4096] = {};
        glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        *why = RewriteGlslLog(log, fileName) + "\n" + translation.glsl;
        glDeleteShader(shader);
        return 0;
    }
    GLuint program = glCreateProgram();
    glAttachShader(program, shader);
    glDeleteShader(shader);
    for (const CgVaryingInput &input : translation.inputs) {
        if (input.source == CgInputSource::Attribute) {
            glBindAttribLocation(program, GLuint(input.attribIndex), input.glslName.c_str());
        }
    }
    // Must be named before the link.
    glTransformFeedbackVaryings(program, GLsizei(captured.size()), captured.data(), GL_INTERLEAVED_ATTRIBS);
    glLinkProgram(program);
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (!ok) {
        *why = "the program did not link";
        glDeleteProgram(program);
        return 0;
    }
    return program;
}

void BeginCapture(FeedbackCapture *capture, GLuint program, size_t floats)
{
    capture->floats = floats;
    glGenBuffers(1, &capture->buffer);
    glBindBuffer(GL_TRANSFORM_FEEDBACK_BUFFER, capture->buffer);
    glBufferData(GL_TRANSFORM_FEEDBACK_BUFFER, GLsizeiptr(floats * sizeof(float)), nullptr, GL_STREAM_READ);
    glBindBufferBase(GL_TRANSFORM_FEEDBACK_BUFFER, 0, capture->buffer);
    glGenQueries(1, &capture->query);
    glUseProgram(program);
    // Only the recorded outputs matter: nothing is drawn.
    glEnable(GL_RASTERIZER_DISCARD);
    glBeginQuery(GL_TRANSFORM_FEEDBACK_PRIMITIVES_WRITTEN, capture->query);
    glBeginTransformFeedback(GL_POINTS);
}

int EndCapture(FeedbackCapture *capture, float *out)
{
    glEndTransformFeedback();
    glEndQuery(GL_TRANSFORM_FEEDBACK_PRIMITIVES_WRITTEN);
    glDisable(GL_RASTERIZER_DISCARD);
    GLuint written = 0;
    glGetQueryObjectuiv(capture->query, GL_QUERY_RESULT, &written);
    glDeleteQueries(1, &capture->query);
    glGetBufferSubData(GL_TRANSFORM_FEEDBACK_BUFFER, 0, GLsizeiptr(capture->floats * sizeof(float)), out);
    glBindBufferBase(GL_TRANSFORM_FEEDBACK_BUFFER, 0, 0);
    glDeleteBuffers(1, &capture->buffer);
    glUseProgram(0);
    return glGetError() == GL_NO_ERROR ? int(written) : -1;
}

// cg_feedback.cpp -- transform feedback capture of a vertex shader's outputs for the Cg tests.
#include "tests/cg_feedback.h"

#include <epoxy/gl.h>

std::vector<std::pair<std::string, int>> TranslationAttributes(const CgTranslation &translation)
{
    std::vector<std::pair<std::string, int>> attributes;
    for (const CgVaryingInput &input : translation.inputs) {
        if (input.source == CgInputSource::Attribute) {
            attributes.emplace_back(input.glslName, input.attribIndex);
        }
    }
    return attributes;
}

unsigned LinkFeedbackProgram(const std::string &glsl, const std::vector<std::pair<std::string, int>> &attributes,
                             const std::vector<std::string> &captured, std::string *why)
{
    GLuint shader = glCreateShader(GL_VERTEX_SHADER);
    const char *text = glsl.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[4096] = {};
        glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        *why = log;
        glDeleteShader(shader);
        return 0;
    }
    GLuint program = glCreateProgram();
    glAttachShader(program, shader);
    glDeleteShader(shader);
    for (const auto &attribute : attributes) {
        glBindAttribLocation(program, GLuint(attribute.second), attribute.first.c_str());
    }
    std::vector<const char *> names;
    for (const std::string &name : captured) {
        names.push_back(name.c_str());
    }
    glTransformFeedbackVaryings(program, GLsizei(names.size()), names.data(), GL_INTERLEAVED_ATTRIBS);
    glLinkProgram(program);
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (!ok) {
        char log[4096] = {};
        glGetProgramInfoLog(program, sizeof log, nullptr, log);
        *why = std::string("the program did not link: ") + log;
        glDeleteProgram(program);
        return 0;
    }
    return program;
}

std::vector<int> CapturedComponents(unsigned program)
{
    GLint count = 0;
    glGetProgramiv(program, GL_TRANSFORM_FEEDBACK_VARYINGS, &count);
    std::vector<int> components;
    for (GLint i = 0; i < count; i++) {
        GLsizei length = 0, size = 0;
        GLenum type = 0;
        char name[256];
        glGetTransformFeedbackVarying(program, GLuint(i), sizeof name, &length, &size, &type, name);
        int n = 4;
        switch (type) {
        case GL_FLOAT: case GL_INT: case GL_UNSIGNED_INT: n = 1; break;
        case GL_FLOAT_VEC2: case GL_INT_VEC2: case GL_UNSIGNED_INT_VEC2: n = 2; break;
        case GL_FLOAT_VEC3: case GL_INT_VEC3: case GL_UNSIGNED_INT_VEC3: n = 3; break;
        default: break;
        }
        components.push_back(n * size);
    }
    return components;
}

std::vector<float> CaptureFeedback(unsigned program, int vertexCount, const std::function<void(int)> &feed)
{
    int perVertex = 0;
    for (int n : CapturedComponents(program)) {
        perVertex += n;
    }
    // A value the shader never writes shows as this rather than as a plausible zero.
    std::vector<float> out(size_t(vertexCount) * size_t(perVertex), -12345.0f);
    GLuint buffer = 0;
    glGenBuffers(1, &buffer);
    glBindBuffer(GL_TRANSFORM_FEEDBACK_BUFFER, buffer);
    glBufferData(GL_TRANSFORM_FEEDBACK_BUFFER, GLsizeiptr(out.size() * sizeof(float)), out.data(), GL_STREAM_READ);
    glBindBufferBase(GL_TRANSFORM_FEEDBACK_BUFFER, 0, buffer);
    glUseProgram(program);
    // The compatibility profile clamps vertex colours to [0, 1] by default; Cg's outputs are floats.
    glClampColor(GL_CLAMP_VERTEX_COLOR, GL_FALSE);
    glEnable(GL_RASTERIZER_DISCARD);
    glBeginTransformFeedback(GL_POINTS);
    glBegin(GL_POINTS);
    for (int v = 0; v < vertexCount; v++) {
        feed(v);
    }
    glEnd();
    glEndTransformFeedback();
    glDisable(GL_RASTERIZER_DISCARD);
    glClampColor(GL_CLAMP_VERTEX_COLOR, GL_TRUE);
    glGetBufferSubData(GL_TRANSFORM_FEEDBACK_BUFFER, 0, GLsizeiptr(out.size() * sizeof(float)), out.data());
    glBindBufferBase(GL_TRANSFORM_FEEDBACK_BUFFER, 0, 0);
    glDeleteBuffers(1, &buffer);
    glUseProgram(0);
    return out;
}

// runtime.cpp -- the Cg runtime calls, served by GLSL programs compiled from translated Cg source.
#include "cg/cg_runtime.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cg/cg_translate.h"
#include "platform/file_read.h"
#include "platform/gl_access.h"

enum class ParameterKind { Vertex, Color, Attribute, Normal, SecondaryColor, TexCoord, Uniform };

struct CgParameterRecord {
    ParameterKind kind;
    GLuint attribIndex;  // the generic attribute, or GL_TEXTURE0 + n for TEXCOORDn
    GLint location;
    CgType type;
    bool pending;  // set while the program was not in use; uploaded when it is bound
    float value[16];
    CgProgramRecord *program;
    std::string name;
};

struct CgProgramRecord {
    CgContextRecord *context;
    GLuint program;
    GLuint shader;
    std::vector<std::unique_ptr<CgParameterRecord>> parameters;  // stable addresses for the handles
};

struct CgContextRecord {
    std::vector<std::unique_ptr<CgProgramRecord>> programs;
};

namespace {

const char *const compileFailed = "The compile returned an error.\n";

// The compiler's words without the empty lines a log may end with.
std::string CompileMessage(const std::string &detail)
{
    std::string text = compileFailed + detail;
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

std::vector<CgContextRecord *> liveContexts;
CGerror pendingError = CG_NO_ERROR;
// The cause of the latest error, kept after cgGetError so that cgGetErrorString can show it.
CGerror detailedError = CG_NO_ERROR;
std::string errorDetail;
std::string errorText;
CgProgramRecord *boundProgram = nullptr;

void RecordError(CGerror error, const std::string &detail = std::string())
{
    pendingError = error;
    detailedError = error;
    errorDetail = detail;
}

// The vertex profile needs GL 2.0's shaders.
bool ShadersAvailable()
{
    return GlShadersAvailable();
}

// Shaders and programs are asked through separate GL calls; these pick the right one.
GLint ObjectParameter(bool isProgram, GLuint object, GLenum name)
{
    GLint value = 0;
    if (isProgram) {
        glGetProgramiv(object, name, &value);
    } else {
        glGetShaderiv(object, name, &value);
    }
    return value;
}

std::string InfoLog(bool isProgram, GLuint object)
{
    GLint length = ObjectParameter(isProgram, object, GL_INFO_LOG_LENGTH);
    if (length <= 0) {
        return std::string();
    }
    std::vector<char> text(size_t(length) + 1, '\0');
    GLsizei written = 0;
    if (isProgram) {
        glGetProgramInfoLog(object, length, &written, text.data());
    } else {
        glGetShaderInfoLog(object, length, &written, text.data());
    }
    return std::string(text.data(), size_t(std::max(written, 0)));
}

void DeleteObject(bool isProgram, GLuint object)
{
    if (isProgram) {
        glDeleteProgram(object);
    } else {
        glDeleteShader(object);
    }
}

// The program GL has in use, which may be the caller's own, not ours.
GLuint CurrentProgram()
{
    GLint current = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    return GLuint(current);
}

// Handles are checked against what is alive, so a stale one is an error and never a crash.
bool IsLiveContext(const CgContextRecord *context)
{
    return context && std::find(liveContexts.begin(), liveContexts.end(), context) != liveContexts.end();
}

// Looked up among the live contexts' programs, never read through: a destroyed program's
// handle is an error, not a read of freed memory.
bool IsLiveProgram(const CgProgramRecord *program)
{
    for (const CgContextRecord *context : liveContexts) {
        for (const auto &p : context->programs) {
            if (p.get() == program) {
                return true;
            }
        }
    }
    return false;
}

// Sends the stored value to GL in the form its type takes.
void UploadUniform(const CgParameterRecord *p)
{
    const GLint at = p->location;
    const float *v = p->value;
    if (at < 0) {
        return;
    }
    switch (p->type) {
    case CgType::Float:
        glUniform1fv(at, 1, v);
        break;
    case CgType::Float2:
        glUniform2fv(at, 1, v);
        break;
    case CgType::Float3:
        glUniform3fv(at, 1, v);
        break;
    case CgType::Float4:
        glUniform4fv(at, 1, v);
        break;
    case CgType::Float2x2:
        glUniformMatrix2fv(at, 1, GL_FALSE, v);
        break;
    case CgType::Float3x3:
        glUniformMatrix3fv(at, 1, GL_FALSE, v);
        break;
    case CgType::Float4x4:
        glUniformMatrix4fv(at, 1, GL_FALSE, v);
        break;
    case CgType::Int:
    case CgType::Bool:
        glUniform1i(at, GLint(v[0]));
        break;
    case CgType::Int2:
    case CgType::Bool2:
        glUniform2i(at, GLint(v[0]), GLint(v[1]));
        break;
    case CgType::Int3:
    case CgType::Bool3:
        glUniform3i(at, GLint(v[0]), GLint(v[1]), GLint(v[2]));
        break;
    case CgType::Int4:
    case CgType::Bool4:
        glUniform4i(at, GLint(v[0]), GLint(v[1]), GLint(v[2]), GLint(v[3]));
        break;
    // Cg's floatRxC is held as GLSL's matRxC (R columns of C), so Cg's row-major values are
    // GL's column-major ones.
    case CgType::Float2x3:
        glUniformMatrix2x3fv(at, 1, GL_FALSE, v);
        break;
    case CgType::Float2x4:
        glUniformMatrix2x4fv(at, 1, GL_FALSE, v);
        break;
    case CgType::Float3x2:
        glUniformMatrix3x2fv(at, 1, GL_FALSE, v);
        break;
    case CgType::Float3x4:
        glUniformMatrix3x4fv(at, 1, GL_FALSE, v);
        break;
    case CgType::Float4x2:
        glUniformMatrix4x2fv(at, 1, GL_FALSE, v);
        break;
    case CgType::Float4x3:
        glUniformMatrix4x3fv(at, 1, GL_FALSE, v);
        break;
    }
}

// Uploads now when the program is in use, else when it is next bound.
void CommitUniform(CgParameterRecord *p)
{
    if (CurrentProgram() == p->program->program) {
        UploadUniform(p);
        p->pending = false;
    } else {
        p->pending = true;
    }
}

// A vector or scalar uniform from cgGLSetParameter*: extra values are dropped, as Cg's
// runtime does, and a matrix must come through its own calls.
void StoreUniform(CgParameterRecord *p, const float *values, int count)
{
    const int components = CgTypeComponents(p->type);
    if (components > 4) {
        RecordError(CG_INVALID_PARAMETER_ERROR, "Parameter '" + p->name + "' is a matrix.");
        return;
    }
    std::copy(values, values + std::min(count, components), p->value);
    CommitUniform(p);
}

// Values set while another program was in use are sent once this one is.
void UseProgram(CgProgramRecord *program)
{
    glUseProgram(program->program);
    for (const auto &p : program->parameters) {
        if (p->pending) {
            UploadUniform(p.get());
            p->pending = false;
        }
    }
}

// a * b for column-major 4 x 4 matrices, as GL keeps them.
void Multiply(const float *a, const float *b, float *out)
{
    for (int c = 0; c < 4; c++) {
        for (int r = 0; r < 4; r++) {
            float sum = 0.0f;
            for (int k = 0; k < 4; k++) {
                sum += a[k * 4 + r] * b[c * 4 + k];
            }
            out[c * 4 + r] = sum;
        }
    }
}

void Transpose(float *m)
{
    for (int r = 0; r < 4; r++) {
        for (int c = r + 1; c < 4; c++) {
            std::swap(m[c * 4 + r], m[r * 4 + c]);
        }
    }
}

// The vendor's wording for each error, where no detail says more.
std::string GenericErrorText(CGerror error)
{
    switch (error) {
    case CG_NO_ERROR:
        return "No error has occurred.";
    case CG_COMPILER_ERROR:
        return "The compile returned an error.";
    case CG_INVALID_PARAMETER_ERROR:
        return "The parameter used is invalid.";
    case CG_INVALID_PROFILE_ERROR:
        return "The profile is not supported.";
    case CG_FILE_READ_ERROR:
        return "The file could not be read.";
    case CG_INVALID_CONTEXT_HANDLE_ERROR:
        return "Invalid context handle.";
    case CG_INVALID_PROGRAM_HANDLE_ERROR:
        return "Invalid program handle.";
    case CG_INVALID_PARAM_HANDLE_ERROR:
        return "Invalid parameter handle.";
    case CG_INVALID_ENUMERANT_ERROR:
        return "Invalid enumerant parameter.";
    case CG_MEMORY_ALLOC_ERROR:
        return "Memory allocation failed.";
    }
    return "Unknown error.";
}

// A vertex program alone runs before the fixed fragment stage on desktop GL, but WebGL links no
// program without a fragment shader. This one does what the fixed stage does with no texture and
// no fog, so the program draws alike everywhere. Flagged for deletion, it goes with the program.
void AttachColourPassThrough(GLuint program)
{
    const char *passThrough = "void main()\n{\n    gl_FragColor = gl_Color;\n}\n";
    GLuint fragment = glCreateShader(GL_FRAGMENT_SHADER);
    glShaderSource(fragment, 1, &passThrough, nullptr);
    glCompileShader(fragment);
    glAttachShader(program, fragment);
    glDeleteShader(fragment);
}

// Compiles and links the translated shader; on failure records the compiler's own words.
CgProgramRecord *BuildProgram(const CgTranslation &translation, const char *fileName, const char *entry)
{
    GLuint shader = glCreateShader(GL_VERTEX_SHADER);
    const char *text = translation.glsl.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    if (!ObjectParameter(false, shader, GL_COMPILE_STATUS)) {
        std::string log = InfoLog(false, shader);
        DeleteObject(false, shader);
        RecordError(CG_COMPILER_ERROR, CompileMessage(RewriteGlslLog(log, fileName, entry)));
        return nullptr;
    }
    GLuint program = glCreateProgram();
    glAttachShader(program, shader);
    AttachColourPassThrough(program);
    for (const CgVaryingInput &input : translation.inputs) {
        if (input.source == CgInputSource::Attribute) {
            glBindAttribLocation(program, GLuint(input.attribIndex), input.glslName.c_str());
        }
    }
    glLinkProgram(program);
    if (!ObjectParameter(true, program, GL_LINK_STATUS)) {
        std::string log = InfoLog(true, program);
        DeleteObject(true, program);
        DeleteObject(false, shader);
        RecordError(CG_COMPILER_ERROR, CompileMessage(RewriteGlslLog(log, fileName, entry)));
        return nullptr;
    }

    auto record = std::make_unique<CgProgramRecord>();
    record->program = program;
    record->shader = shader;
    for (const CgVaryingInput &input : translation.inputs) {
        auto p = std::make_unique<CgParameterRecord>();
        switch (input.source) {
        case CgInputSource::Vertex:
            p->kind = ParameterKind::Vertex;
            break;
        case CgInputSource::Color:
            p->kind = ParameterKind::Color;
            break;
        case CgInputSource::Normal:
            p->kind = ParameterKind::Normal;
            break;
        case CgInputSource::SecondaryColor:
            p->kind = ParameterKind::SecondaryColor;
            break;
        case CgInputSource::Attribute:
            p->kind = ParameterKind::Attribute;
            break;
        case CgInputSource::TexCoord:
            p->kind = ParameterKind::TexCoord;
            break;
        }
        p->attribIndex = input.source == CgInputSource::TexCoord ? GLuint(GL_TEXTURE0 + input.texUnit)
                                                                 : GLuint(input.attribIndex);
        p->location = -1;
        p->type = CgType::Float4;
        p->name = input.name;
        record->parameters.push_back(std::move(p));
    }
    for (const CgUniform &uniform : translation.uniforms) {
        auto p = std::make_unique<CgParameterRecord>();
        p->kind = ParameterKind::Uniform;
        p->attribIndex = 0;
        p->location = glGetUniformLocation(program, uniform.glslName.c_str());
        p->type = uniform.type;
        p->name = uniform.name;
        record->parameters.push_back(std::move(p));
    }
    for (const auto &p : record->parameters) {
        p->pending = false;
        std::fill(p->value, p->value + 16, 0.0f);
        p->program = record.get();
    }
    return record.release();
}

}  // namespace

CGcontext cgCreateContext()
{
    CgContextRecord *context = new CgContextRecord();
    liveContexts.push_back(context);
    return context;
}

// Deletes one program's GL objects; the context and its other programs stay.
static void DeleteProgramObjects(CgProgramRecord *program)
{
    if (boundProgram == program) {
        boundProgram = nullptr;
    }
    // A program in use would only be flagged for deletion, and live on.
    if (CurrentProgram() == program->program) {
        glUseProgram(0);
    }
    DeleteObject(true, program->program);
    DeleteObject(false, program->shader);
}

void cgDestroyProgram(CGprogram program)
{
    if (!IsLiveProgram(program)) {
        RecordError(CG_INVALID_PROGRAM_HANDLE_ERROR);
        return;
    }
    DeleteProgramObjects(program);
    auto &programs = program->context->programs;
    programs.erase(std::find_if(programs.begin(), programs.end(), [program](const auto &p) { return p.get() == program; }));
}

void cgDestroyContext(CGcontext context)
{
    if (!context) {
        return;
    }
    if (!IsLiveContext(context)) {
        RecordError(CG_INVALID_CONTEXT_HANDLE_ERROR);
        return;
    }
    for (const auto &program : context->programs) {
        DeleteProgramObjects(program.get());
    }
    liveContexts.erase(std::find(liveContexts.begin(), liveContexts.end(), context));
    delete context;
}

CGprofile cgGLGetLatestProfile(CGGLenum profileClass)
{
    if (profileClass == CG_GL_VERTEX) {
        return ShadersAvailable() ? CG_PROFILE_GLSLV : CG_PROFILE_UNKNOWN;
    }
    if (profileClass != CG_GL_FRAGMENT) {
        RecordError(CG_INVALID_ENUMERANT_ERROR);
    }
    return CG_PROFILE_UNKNOWN;
}

void cgGLSetOptimalOptions(CGprofile profile)
{
    // The GLSL compiler chooses its own optimisations; only the profile is checked.
    if (profile != CG_PROFILE_GLSLV) {
        RecordError(CG_INVALID_PROFILE_ERROR);
    }
}

CGprogram cgCreateProgramFromFile(CGcontext context, CGenum programType, const char *fileName, CGprofile profile,
                                  const char *entry, const char ** /*args*/)
{
    if (!IsLiveContext(context)) {
        RecordError(CG_INVALID_CONTEXT_HANDLE_ERROR);
        return nullptr;
    }
    if (programType != CG_SOURCE) {
        RecordError(CG_INVALID_ENUMERANT_ERROR, "Only Cg source programs (CG_SOURCE) can be compiled.");
        return nullptr;
    }
    if (profile != CG_PROFILE_GLSLV || !ShadersAvailable()) {
        RecordError(CG_INVALID_PROFILE_ERROR, "The profile is not supported: this GL has no vertex shaders.");
        return nullptr;
    }
    const std::string name = fileName ? fileName : "";
    std::string source;
    std::string reason;
    if (!ReadWholeFile(name.c_str(), &source, &reason)) {
        RecordError(CG_FILE_READ_ERROR, "Cannot read the file '" + name + "': " + reason);
        return nullptr;
    }
    CgTranslation translation;
    if (!TranslateCgProgram(source, name.c_str(), entry, &translation)) {
        RecordError(CG_COMPILER_ERROR, CompileMessage(translation.error));
        return nullptr;
    }
    CgProgramRecord *program = BuildProgram(translation, name.c_str(), entry);
    if (!program) {
        return nullptr;
    }
    program->context = context;
    context->programs.emplace_back(program);
    return program;
}

void cgGLLoadProgram(CGprogram program)
{
    // Compiled and linked at creation already.
    if (!IsLiveProgram(program)) {
        RecordError(CG_INVALID_PROGRAM_HANDLE_ERROR);
    }
}

// A parameter by the name the Cg program gives it: "IN.sl", "lights[1]", "lamp.colour".
CGparameter cgGetNamedParameter(CGprogram program, const char *name)
{
    if (!IsLiveProgram(program)) {
        RecordError(CG_INVALID_PROGRAM_HANDLE_ERROR);
        return nullptr;
    }
    if (!name) {
        RecordError(CG_INVALID_PARAMETER_ERROR);
        return nullptr;
    }
    for (const auto &p : program->parameters) {
        if (p->name == name) {
            return p.get();
        }
    }
    return nullptr;
}

void cgGLSetStateMatrixParameter(CGparameter param, CGGLenum matrix, CGGLenum transform)
{
    if (!param) {
        RecordError(CG_INVALID_PARAM_HANDLE_ERROR);
        return;
    }
    if (param->kind != ParameterKind::Uniform || param->type != CgType::Float4x4) {
        RecordError(CG_INVALID_PARAMETER_ERROR, "Parameter '" + param->name + "' is not a float4x4 uniform.");
        return;
    }
    if (transform != CG_GL_MATRIX_IDENTITY && transform != CG_GL_MATRIX_TRANSPOSE) {
        RecordError(CG_INVALID_ENUMERANT_ERROR, "Only the identity and transpose matrix transforms are supported.");
        return;
    }
    float m[16];  // column-major, as GL keeps it
    if (matrix == CG_GL_MODELVIEW_PROJECTION_MATRIX) {
        float projection[16];
        float modelview[16];
        glGetFloatv(GL_PROJECTION_MATRIX, projection);
        glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
        Multiply(projection, modelview, m);
    } else if (matrix == CG_GL_MODELVIEW_MATRIX) {
        glGetFloatv(GL_MODELVIEW_MATRIX, m);
    } else if (matrix == CG_GL_PROJECTION_MATRIX) {
        glGetFloatv(GL_PROJECTION_MATRIX, m);
    } else if (matrix == CG_GL_TEXTURE_MATRIX) {
        glGetFloatv(GL_TEXTURE_MATRIX, m);
    } else {
        RecordError(CG_INVALID_ENUMERANT_ERROR);
        return;
    }
    // The shader holds Cg matrices transposed, so the upload is the row-major order of the
    // matrix; that is the GL array transposed, unless the caller asked for the transpose.
    if (transform == CG_GL_MATRIX_IDENTITY) {
        Transpose(m);
    }
    std::copy(m, m + 16, param->value);
    CommitUniform(param);
}

void cgGLSetParameter1f(CGparameter param, float x)
{
    if (!param) {
        RecordError(CG_INVALID_PARAM_HANDLE_ERROR);
        return;
    }
    switch (param->kind) {
    case ParameterKind::Attribute:
        glVertexAttrib1f(param->attribIndex, x);
        return;
    case ParameterKind::TexCoord:
        glMultiTexCoord1f(param->attribIndex, x);
        return;
    case ParameterKind::Color:
        glColor4f(x, 0.0f, 0.0f, 1.0f);
        return;
    case ParameterKind::Normal:
        glNormal3f(x, 0.0f, 0.0f);
        return;
    case ParameterKind::SecondaryColor:
        glSecondaryColor3f(x, 0.0f, 0.0f);
        return;
    case ParameterKind::Vertex:
        // Setting the position would emit a vertex; the caller's glVertex does that.
        return;
    case ParameterKind::Uniform: {
        const float v[1] = {x};
        StoreUniform(param, v, 1);
        return;
    }
    }
}

void cgGLSetParameter3f(CGparameter param, float x, float y, float z)
{
    if (!param) {
        RecordError(CG_INVALID_PARAM_HANDLE_ERROR);
        return;
    }
    switch (param->kind) {
    case ParameterKind::Attribute:
        glVertexAttrib3f(param->attribIndex, x, y, z);
        return;
    case ParameterKind::TexCoord:
        glMultiTexCoord3f(param->attribIndex, x, y, z);
        return;
    case ParameterKind::Color:
        glColor3f(x, y, z);
        return;
    case ParameterKind::Normal:
        glNormal3f(x, y, z);
        return;
    case ParameterKind::SecondaryColor:
        glSecondaryColor3f(x, y, z);
        return;
    case ParameterKind::Vertex:
        return;
    case ParameterKind::Uniform: {
        const float v[3] = {x, y, z};
        StoreUniform(param, v, 3);
        return;
    }
    }
}

// Four values: a varying input goes to its GL attribute at once, a uniform as StoreUniform
// keeps it.
void cgGLSetParameter4f(CGparameter param, float x, float y, float z, float w)
{
    if (!param) {
        RecordError(CG_INVALID_PARAM_HANDLE_ERROR);
        return;
    }
    switch (param->kind) {
    case ParameterKind::Attribute:
        glVertexAttrib4f(param->attribIndex, x, y, z, w);
        return;
    case ParameterKind::TexCoord:
        glMultiTexCoord4f(param->attribIndex, x, y, z, w);
        return;
    case ParameterKind::Color:
        glColor4f(x, y, z, w);
        return;
    case ParameterKind::Normal:
        glNormal3f(x, y, z);
        return;
    case ParameterKind::SecondaryColor:
        glSecondaryColor3f(x, y, z);
        return;
    case ParameterKind::Vertex:
        return;
    case ParameterKind::Uniform: {
        const float v[4] = {x, y, z, w};
        StoreUniform(param, v, 4);
        return;
    }
    }
}

void cgGLSetMatrixParameterfr(CGparameter param, const float *matrix)
{
    if (!param) {
        RecordError(CG_INVALID_PARAM_HANDLE_ERROR);
        return;
    }
    const int components = CgTypeComponents(param->type);
    const bool square = components == 4 && param->type == CgType::Float2x2;
    if (param->kind != ParameterKind::Uniform || !matrix || (components <= 4 && !square)) {
        RecordError(CG_INVALID_PARAMETER_ERROR, "Parameter '" + param->name + "' is not a matrix uniform.");
        return;
    }
    // Row by row is the order the shader, holding Cg matrices transposed, takes as GL columns.
    std::copy(matrix, matrix + components, param->value);
    CommitUniform(param);
}

void cgGLEnableProfile(CGprofile profile)
{
    if (profile != CG_PROFILE_GLSLV) {
        RecordError(CG_INVALID_PROFILE_ERROR);
        return;
    }
    if (boundProgram) {
        UseProgram(boundProgram);
    }
}

void cgGLDisableProfile(CGprofile profile)
{
    if (profile != CG_PROFILE_GLSLV) {
        RecordError(CG_INVALID_PROFILE_ERROR);
        return;
    }
    // Without a bound program no shader was ever put in use by us (nor may glUseProgram exist).
    if (boundProgram) {
        glUseProgram(0);
    }
}

void cgGLBindProgram(CGprogram program)
{
    if (!IsLiveProgram(program)) {
        RecordError(CG_INVALID_PROGRAM_HANDLE_ERROR);
        return;
    }
    boundProgram = program;
    UseProgram(program);
}

unsigned int cgGLGetProgramID(CGprogram program)
{
    if (!IsLiveProgram(program)) {
        RecordError(CG_INVALID_PROGRAM_HANDLE_ERROR);
        return 0;
    }
    return program->program;
}

CGerror cgGetError()
{
    CGerror error = pendingError;
    pendingError = CG_NO_ERROR;
    return error;
}

const char *cgGetErrorString(CGerror error)
{
    errorText = error == detailedError && !errorDetail.empty() ? errorDetail : GenericErrorText(error);
    return errorText.c_str();
}

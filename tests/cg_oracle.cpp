// cg_oracle.cpp -- the reference-compiler comparison: batch translation, SPIR-V interface
// reading, uniform and input feeding for both routes, and the comparison with a tolerance.
#include "tests/cg_oracle.h"

#include <epoxy/gl.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <map>
#include <sstream>

#include "cg/cg_translate.h"
#include "tests/cg_feedback.h"

namespace {

// Where Cg's library and HLSL's (as glslang implements it) part, the reference route is given
// Cg's definition. `fixed` is a Cg type HLSL lacks; it is a float in Cg's GLSL profiles.
const char *const CgHlslPrelude = R"(#define fixed float
#define fixed2 float2
#define fixed3 float3
#define fixed4 float4
// glslang's fmod (and float %) takes the sign of the divisor; Cg's keeps the sign of x.
#define fmod(x, y) ((x) - (y) * trunc((x) / (y)))
// glslang's lit is not Cg's; this is the definition in Cg's library reference.
float4 cg_lit(float n, float h, float m)
{
    return float4(1.0, max(0.0, n), n > 0.0 ? pow(max(0.0, h), m) : 0.0, 1.0);
}
#define lit cg_lit
#line 1
)";

// Names of the reference route's interface after renaming, by SPIR-V location.
const int MaxLocations = 16;

struct Varying {
    std::string name;      // as the Cg program names it: "IN.pos", "p"
    std::string semantic;  // upper case: "TEXCOORD0"
    int location = -1;
    int builtIn = -1;      // SPIR-V BuiltIn: 0 position, 1 point size
};

struct Interface {
    std::vector<Varying> inputs, outputs;
};

std::string ReadFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const std::filesystem::path &path, const std::string &text)
{
    std::ofstream(path, std::ios::binary) << text;
}

std::string Upper(std::string s)
{
    for (char &c : s) {
        c = char(std::toupper(static_cast<unsigned char>(c)));
    }
    return s;
}

// The entry point's inputs and outputs from the SPIR-V module glslang wrote with
// -fhlsl_functionality1, which keeps each variable's HLSL semantic as a decoration.
bool ReadInterface(const std::filesystem::path &path, Interface *out)
{
    const std::string bytes = ReadFile(path);
    if (bytes.size() < 20 || bytes.size() % 4 != 0) {
        return false;
    }
    std::vector<uint32_t> words(bytes.size() / 4);
    std::memcpy(words.data(), bytes.data(), bytes.size());
    if (words[0] != 0x07230203u) {
        return false;
    }
    std::map<uint32_t, Varying> byId;
    std::map<uint32_t, uint32_t> storage;
    auto text = [&](size_t from, size_t end) {
        std::string s;
        for (size_t i = from * 4; i < end * 4 && bytes[i] != 0; i++) {
            s += bytes[i];
        }
        return s;
    };
    for (size_t i = 5; i < words.size();) {
        const uint32_t op = words[i] & 0xFFFF, count = words[i] >> 16;
        if (count == 0 || i + count > words.size()) {
            return false;
        }
        const size_t end = i + count;
        if (op == 5 && count >= 3) {  // OpName
            byId[words[i + 1]].name = text(i + 2, end);
        } else if (op == 71 && count >= 4 && words[i + 2] == 30) {  // OpDecorate Location
            byId[words[i + 1]].location = int(words[i + 3]);
        } else if (op == 71 && count >= 4 && words[i + 2] == 11) {  // OpDecorate BuiltIn
            byId[words[i + 1]].builtIn = int(words[i + 3]);
        } else if (op == 5632 && count >= 4 && words[i + 2] == 5635) {  // OpDecorateString UserSemantic
            byId[words[i + 1]].semantic = Upper(text(i + 3, end));
        } else if (op == 59 && count >= 4) {  // OpVariable
            storage[words[i + 2]] = words[i + 3];
        }
        i = end;
    }
    for (const auto &[id, cls] : storage) {
        if (cls != 1 && cls != 3) {
            continue;
        }
        const Varying &v = byId[id];
        // Built-in inputs (vertex and instance numbers) are not the program's own.
        if (v.location < 0 && (cls == 1 || (v.builtIn != 0 && v.builtIn != 1))) {
            continue;
        }
        (cls == 1 ? out->inputs : out->outputs).push_back(v);
    }
    return true;
}

// What our translation writes for a Cg output semantic, as Cg's OpenGL profiles define it.
std::string BuiltInOutput(const std::string &semantic)
{
    static const std::map<std::string, std::string> fixed = {
        {"POSITION", "gl_Position"}, {"POSITION0", "gl_Position"}, {"HPOS", "gl_Position"},
        {"COLOR", "gl_FrontColor"}, {"COLOR0", "gl_FrontColor"}, {"COL0", "gl_FrontColor"},
        {"COLOR1", "gl_FrontSecondaryColor"}, {"COL1", "gl_FrontSecondaryColor"},
        {"FOG", "gl_FogFragCoord"}, {"FOGC", "gl_FogFragCoord"},
        {"PSIZE", "gl_PointSize"}, {"PSIZ", "gl_PointSize"},
    };
    auto it = fixed.find(semantic);
    if (it != fixed.end()) {
        return it->second;
    }
    for (const char *prefix : {"TEXCOORD", "TEX"}) {
        const size_t n = std::strlen(prefix);
        if (semantic.compare(0, n, prefix) == 0) {
            const std::string unit = semantic.size() == n ? "0" : semantic.substr(n);
            if (unit.size() == 1 && unit[0] >= '0' && unit[0] <= '7') {
                return "gl_TexCoord[" + unit + "]";
            }
        }
    }
    return std::string();
}

// The pseudo-random values both routes are given, a function of a name and an index alone so
// that each route finds the same value under the name the program gave it. Odd multiples of
// 1/64 in (-2, 2): exact in float, never an integer or a half (Cg leaves round(0.5) to the
// profile).
uint32_t Hash(const std::string &key, uint32_t index, uint32_t seed)
{
    uint32_t h = 2166136261u ^ seed * 0x9E3779B9u;
    for (char c : key) {
        h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
    }
    h ^= index * 0x85EBCA6Bu;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 13;
    return h;
}

float FloatValue(const std::string &key, uint32_t index, uint32_t seed)
{
    return float(int(Hash(key, index, seed) % 128u) * 2 - 127) / 64.0f;
}

int IntValue(const std::string &key, uint32_t index, uint32_t seed)
{
    return int(Hash(key, index, seed) % 9u) - 3;
}

struct Directives {
    bool cgOnly = false;
    std::map<std::string, std::vector<float>> defaults;
};

Directives ReadDirectives(const std::string &source)
{
    Directives d;
    std::istringstream lines(source);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t at = line.find("// oracle:");
        if (at == std::string::npos) {
            continue;
        }
        std::istringstream words(line.substr(at + 10));
        std::string word, name, equals;
        words >> word;
        if (word == "cg-only") {
            d.cgOnly = true;
        } else if (word == "default" && words >> name >> equals) {
            float v;
            while (words >> v) {
                d.defaults[name].push_back(v);
            }
        }
    }
    return d;
}

// GLSL columns and rows of a uniform type, and its kind of value: 'f', 'i' or 'b' (HLSL's bool
// reaches GLSL as a uint).
bool UniformShape(GLenum type, int *columns, int *rows, char *kind)
{
    struct Shape { GLenum type; int columns, rows; char kind; };
    static const Shape shapes[] = {
        {GL_FLOAT, 1, 1, 'f'}, {GL_FLOAT_VEC2, 1, 2, 'f'}, {GL_FLOAT_VEC3, 1, 3, 'f'}, {GL_FLOAT_VEC4, 1, 4, 'f'},
        {GL_INT, 1, 1, 'i'}, {GL_INT_VEC2, 1, 2, 'i'}, {GL_INT_VEC3, 1, 3, 'i'}, {GL_INT_VEC4, 1, 4, 'i'},
        {GL_UNSIGNED_INT, 1, 1, 'b'}, {GL_UNSIGNED_INT_VEC2, 1, 2, 'b'}, {GL_UNSIGNED_INT_VEC3, 1, 3, 'b'},
        {GL_UNSIGNED_INT_VEC4, 1, 4, 'b'}, {GL_BOOL, 1, 1, 'b'},
        {GL_FLOAT_MAT2, 2, 2, 'f'}, {GL_FLOAT_MAT3, 3, 3, 'f'}, {GL_FLOAT_MAT4, 4, 4, 'f'},
        {GL_FLOAT_MAT2x3, 2, 3, 'f'}, {GL_FLOAT_MAT2x4, 2, 4, 'f'}, {GL_FLOAT_MAT3x2, 3, 2, 'f'},
        {GL_FLOAT_MAT3x4, 3, 4, 'f'}, {GL_FLOAT_MAT4x2, 4, 2, 'f'}, {GL_FLOAT_MAT4x3, 4, 3, 'f'},
    };
    for (const Shape &s : shapes) {
        if (s.type == type) {
            *columns = s.columns;
            *rows = s.rows;
            *kind = s.kind;
            return true;
        }
    }
    return false;
}

// The value of element [r][c] of a Cg uniform, given its GLSL shape, with `flat` counting in
// Cg's row-major order over all array elements.
void UniformElementValue(const std::string &name, int flat, char kind, const OracleOptions &options, float *f,
                         int *k)
{
    *f = FloatValue(name, uint32_t(flat), options.seed);
    *k = kind == 'i' ? IntValue(name, uint32_t(flat), options.seed) : IntValue(name, uint32_t(flat), options.seed) & 1;
}

// The Cg name of an active uniform, "Sun.dir" or "Weights" for "Weights[0]": what follows the
// first part of the GLSL name is kept, the first part is looked up (by `rename`).
std::string CgUniformName(std::string glsl, GLint elements, const std::function<std::string(const std::string &)> &rename)
{
    const size_t split = glsl.find_first_of(".[");
    std::string name = rename(glsl.substr(0, split));
    if (name.empty()) {
        return name;
    }
    name += split == std::string::npos ? "" : glsl.substr(split);
    if (elements > 1 || (name.size() > 3 && name.compare(name.size() - 3, 3, "[0]") == 0)) {
        name.erase(name.size() - 3);
    }
    return name;
}

// Whether a directive gives the uniform (or the struct or array it belongs to) its default.
bool HasDefault(const Directives &d, const std::string &name)
{
    return d.defaults.count(name.substr(0, name.find_first_of(".["))) > 0;
}

// Our route's uniforms, as GL lists them, named back to Cg by the translation's table. A Cg
// row is a GLSL column, so Cg's row-major values go up untransposed.
void SetOurUniforms(GLuint program, const CgTranslation &t, const Directives &d, const OracleOptions &options)
{
    GLint count = 0;
    glGetProgramiv(program, GL_ACTIVE_UNIFORMS, &count);
    for (GLint i = 0; i < count; i++) {
        char raw[256];
        GLsizei length = 0;
        GLint elements = 0;
        GLenum type = 0;
        glGetActiveUniform(program, GLuint(i), sizeof raw, &length, &elements, &type, raw);
        const std::string glsl(raw, size_t(length));
        // The table lists each value the application sets ("w[1]", "lamp.colour"); their first
        // parts name the GLSL variable and its Cg name.
        const std::string name = CgUniformName(glsl, elements, [&](const std::string &first) {
            for (const CgUniform &u : t.uniforms) {
                if (u.glslName.substr(0, u.glslName.find_first_of(".[")) == first) {
                    return u.name.substr(0, u.name.find_first_of(".["));
                }
            }
            return std::string();
        });
        int columns, rows;
        char kind;
        if (name.empty() || HasDefault(d, name) || !UniformShape(type, &columns, &rows, &kind)) {
            continue;
        }
        std::vector<float> f(size_t(elements * columns * rows));
        std::vector<GLint> k(f.size());
        for (size_t n = 0; n < f.size(); n++) {
            UniformElementValue(name, int(n), kind, options, &f[n], &k[n]);
        }
        const GLint at = glGetUniformLocation(program, glsl.c_str());
        const GLboolean transpose = options.transposeOurMatrices ? GL_TRUE : GL_FALSE;
        switch (type) {
        case GL_FLOAT_MAT2: glUniformMatrix2fv(at, elements, transpose, f.data()); break;
        case GL_FLOAT_MAT3: glUniformMatrix3fv(at, elements, transpose, f.data()); break;
        case GL_FLOAT_MAT4: glUniformMatrix4fv(at, elements, transpose, f.data()); break;
        case GL_FLOAT_MAT2x3: glUniformMatrix2x3fv(at, elements, transpose, f.data()); break;
        case GL_FLOAT_MAT2x4: glUniformMatrix2x4fv(at, elements, transpose, f.data()); break;
        case GL_FLOAT_MAT3x2: glUniformMatrix3x2fv(at, elements, transpose, f.data()); break;
        case GL_FLOAT_MAT3x4: glUniformMatrix3x4fv(at, elements, transpose, f.data()); break;
        case GL_FLOAT_MAT4x2: glUniformMatrix4x2fv(at, elements, transpose, f.data()); break;
        case GL_FLOAT_MAT4x3: glUniformMatrix4x3fv(at, elements, transpose, f.data()); break;
        default:
            if (kind == 'f') {
                void (*const set[])(GLint, GLsizei, const GLfloat *) = {glUniform1fv, glUniform2fv, glUniform3fv, glUniform4fv};
                set[rows - 1](at, elements, f.data());
            } else {
                void (*const set[])(GLint, GLsizei, const GLint *) = {glUniform1iv, glUniform2iv, glUniform3iv, glUniform4iv};
                set[rows - 1](at, elements, k.data());
            }
            break;
        }
    }
}

// The reference route keeps HLSL's globals in one std140 block, "_Global", with matrices marked
// row_major. Its layout is asked of GL and the block filled by Cg name: a member "_Global.M" is
// the Cg uniform "M", an array member "w[0]" the array "w", a struct member "L.colour" itself.
bool SetReferenceUniforms(GLuint program, const Directives &d, const OracleOptions &options, GLuint *buffer,
                          std::string *why)
{
    const GLuint block = glGetUniformBlockIndex(program, "_Global");
    if (block == GL_INVALID_INDEX) {
        return true;
    }
    GLint size = 0, count = 0;
    glGetActiveUniformBlockiv(program, block, GL_UNIFORM_BLOCK_DATA_SIZE, &size);
    glGetActiveUniformBlockiv(program, block, GL_UNIFORM_BLOCK_ACTIVE_UNIFORMS, &count);
    std::vector<GLint> indices(size_t(count > 0 ? count : 1));
    glGetActiveUniformBlockiv(program, block, GL_UNIFORM_BLOCK_ACTIVE_UNIFORM_INDICES, indices.data());
    std::vector<uint8_t> data(size_t(size), 0);
    for (GLint i = 0; i < count; i++) {
        const GLuint index = GLuint(indices[size_t(i)]);
        char raw[256];
        GLsizei length = 0;
        GLint elements = 0;
        GLenum type = 0;
        glGetActiveUniform(program, index, sizeof raw, &length, &elements, &type, raw);
        GLint offset = 0, arrayStride = 0, matrixStride = 0, rowMajor = 0;
        glGetActiveUniformsiv(program, 1, &index, GL_UNIFORM_OFFSET, &offset);
        glGetActiveUniformsiv(program, 1, &index, GL_UNIFORM_ARRAY_STRIDE, &arrayStride);
        glGetActiveUniformsiv(program, 1, &index, GL_UNIFORM_MATRIX_STRIDE, &matrixStride);
        glGetActiveUniformsiv(program, 1, &index, GL_UNIFORM_IS_ROW_MAJOR, &rowMajor);
        // "_Global.M": the block's name, then the Cg name.
        const std::string glsl(raw, size_t(length));
        const std::string name = CgUniformName(glsl.substr(glsl.find('.') + 1), elements,
                                               [](const std::string &first) { return first; });
        int columns, rows;
        char kind;
        if (!UniformShape(type, &columns, &rows, &kind)) {
            *why = "uniform " + name + " has a type this test does not feed";
            return false;
        }
        const auto fixed = d.defaults.find(name);
        // A GLSL column is an HLSL row: element [r][c] of the Cg matrix is GLSL column r, row c.
        const int cgRows = columns, cgColumns = rows;
        for (int e = 0; e < elements; e++) {
            for (int r = 0; r < cgRows; r++) {
                for (int c = 0; c < cgColumns; c++) {
                    const int flat = (e * cgRows + r) * cgColumns + c;
                    size_t at = size_t(offset) + size_t(e * arrayStride);
                    if (columns > 1) {
                        at += size_t(rowMajor ? c * matrixStride + r * 4 : r * matrixStride + c * 4);
                    } else {
                        at += size_t(c * 4);
                    }
                    if (at + 4 > data.size()) {
                        *why = "uniform " + name + " lies outside its block";
                        return false;
                    }
                    float f;
                    int k;
                    UniformElementValue(name, flat, kind, options, &f, &k);
                    if (fixed != d.defaults.end()) {
                        f = size_t(flat) < fixed->second.size() ? fixed->second[size_t(flat)] : 0.0f;
                        k = int(f);
                    }
                    std::memcpy(&data[at], kind == 'f' ? static_cast<const void *>(&f) : &k, 4);
                }
            }
        }
    }
    glGenBuffers(1, buffer);
    glBindBuffer(GL_UNIFORM_BUFFER, *buffer);
    glBufferData(GL_UNIFORM_BUFFER, GLsizeiptr(data.size()), data.data(), GL_STATIC_DRAW);
    glUniformBlockBinding(program, block, 0);
    glBindBufferBase(GL_UNIFORM_BUFFER, 0, *buffer);
    return true;
}

// The input a vertex gets under a Cg name. NORMAL and COLOR1 come from GL arrays of three, whose
// fourth component reads 1 in our route; the reference route is given the same.
void InputValue(const std::string &name, const std::string &semantic, int vertex, uint32_t seed, float v[4])
{
    for (uint32_t c = 0; c < 4; c++) {
        v[c] = FloatValue(name + "@" + std::to_string(vertex), c, seed);
    }
    if (semantic == "NORMAL" || semantic == "NORMAL0" || semantic == "COLOR1") {
        v[3] = 1.0f;
    }
}

bool Close(float a, float b)
{
    if (a == b) {
        return true;
    }
    if (std::isnan(a) || std::isnan(b)) {
        return std::isnan(a) && std::isnan(b);
    }
    // Both routes end in Mesa, so library functions match; what differs is how a Cg function
    // is spelled (lerp as mix or as a + t * (b - a)), worth a few rounding steps.
    return std::fabs(a - b) <= 1e-5f + 1e-4f * std::max(std::fabs(a), std::fabs(b));
}

std::string Shell(const std::string &s)
{
    std::string quoted = "'";
    for (char c : s) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// The reference route takes two processes a program, two programs at a time: glslang, then
// SPIRV-Cross. Our GLSL is checked by one glslang process for all programs meanwhile; its log
// names each file before that file's messages, and is split into N.vert.log (and N.vert.refused
// where there is an error).
void RunTools(const std::filesystem::path &dir)
{
    std::string renames;
    for (int i = 0; i < MaxLocations; i++) {
        renames += " --rename-interface-variable in " + std::to_string(i) + " cgin_" + std::to_string(i) +
                   " --rename-interface-variable out " + std::to_string(i) + " cgout_" + std::to_string(i);
    }
    // -Od: glslang's optimiser reassociates arithmetic (x / 3 becomes x * 0.33333334).
    WriteFile(dir / "one.sh",
              "b=${1%.*}\n"
              "glslangValidator -D -V -Od -fhlsl_functionality1 -DORACLE_HLSL -e main -S vert -o $b.spv $1"
              " >$b.hlsl.log 2>&1 && spirv-cross $b.spv --version 330 --no-es" +
                  renames + " --output $b.ref.glsl >>$b.hlsl.log 2>&1\nexit 0\n");
    const std::string command = "cd " + Shell(dir.string()) +
                                " && { ! ls *.vert >/dev/null 2>&1 || glslangValidator -S vert *.vert >ours.log 2>&1 & }"
                                " && { ls | grep -E '\\.hlsl$' | xargs -r -P 2 -n 1 sh one.sh; wait; }";
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "oracle: the reference tools did not run in %s\n", dir.c_str());
    }
    std::istringstream log(ReadFile(dir / "ours.log"));
    std::string line, file, text;
    auto finish = [&] {
        if (!file.empty()) {
            WriteFile(dir / (file + ".log"), text);
            if (text.find("ERROR") != std::string::npos) {
                WriteFile(dir / (file + ".refused"), "");
            }
        }
    };
    while (std::getline(log, line)) {
        const size_t dot = line.find(".vert");
        if (dot != std::string::npos && dot > 0 && dot + 5 == line.size() &&
            line.find_first_not_of("0123456789") == dot) {
            finish();
            file = line;
            text.clear();
        } else {
            text += line + "\n";
        }
    }
    finish();
}

struct Pending {
    CgTranslation ours;
    bool translated = false;
    Directives directives;
};

// Our route: inputs from GL's current values or generic attributes as the translation's table says,
// uniforms by the table's names.
std::vector<float> RunOurs(GLuint program, const Pending &p, const OracleOptions &options)
{
    glUseProgram(program);
    SetOurUniforms(program, p.ours, p.directives, options);
    return CaptureFeedback(program, options.vertices, [&](int v) {
        float value[4];
        for (const CgVaryingInput &input : p.ours.inputs) {
            InputValue(input.name, input.source == CgInputSource::Normal ? "NORMAL"
                                   : input.source == CgInputSource::SecondaryColor ? "COLOR1" : "",
                       v, options.seed, value);
            switch (input.source) {
            case CgInputSource::Color: glColor4fv(value); break;
            case CgInputSource::Normal: glNormal3fv(value); break;
            case CgInputSource::SecondaryColor: glSecondaryColor3fv(value); break;
            case CgInputSource::Attribute: glVertexAttrib4fv(GLuint(input.attribIndex), value); break;
            case CgInputSource::TexCoord: glMultiTexCoord4fv(GLenum(GL_TEXTURE0 + input.texUnit), value); break;
            case CgInputSource::Vertex: break;
            }
        }
        // The position goes last: it is what makes a vertex of the values set before it.
        for (const CgVaryingInput &input : p.ours.inputs) {
            if (input.source == CgInputSource::Vertex) {
                InputValue(input.name, "", v, options.seed, value);
                glVertex4fv(value);
                return;
            }
        }
        glVertex4f(0, 0, 0, 1);
    });
}

// The reference route: every input a generic attribute at the location glslang gave it,
// uniforms in the block SetReferenceUniforms fills.
bool RunReference(GLuint program, const Interface &reference, const Directives &d, const OracleOptions &options,
                  std::vector<float> *out, std::string *why)
{
    GLuint uniforms = 0;
    glUseProgram(program);
    if (!SetReferenceUniforms(program, d, options, &uniforms, why)) {
        return false;
    }
    // Integer inputs take the integer attribute calls; our route truncates a float attribute.
    std::map<int, bool> integer;
    GLint attributeCount = 0;
    glGetProgramiv(program, GL_ACTIVE_ATTRIBUTES, &attributeCount);
    for (GLint a = 0; a < attributeCount; a++) {
        char name[64];
        GLint size;
        GLenum type;
        glGetActiveAttrib(program, GLuint(a), sizeof name, nullptr, &size, &type, name);
        const bool isInt = type == GL_INT || type == GL_INT_VEC2 || type == GL_INT_VEC3 || type == GL_INT_VEC4;
        integer[glGetAttribLocation(program, name)] = isInt;
    }
    *out = CaptureFeedback(program, options.vertices, [&](int v) {
        auto set = [&](GLuint location, const Varying &input) {
            float value[4];
            InputValue(input.name, input.semantic, v, options.seed, value);
            if (integer[int(location)]) {
                glVertexAttribI4i(location, int(value[0]), int(value[1]), int(value[2]), int(value[3]));
            } else {
                glVertexAttrib4fv(location, value);
            }
        };
        // Attribute 0 makes the vertex, so it goes last; a program without one still needs it.
        const Varying *zero = nullptr;
        for (const Varying &input : reference.inputs) {
            if (input.location == 0) {
                zero = &input;
            } else {
                set(GLuint(input.location), input);
            }
        }
        if (zero) {
            set(0, *zero);
        } else {
            glVertexAttrib4f(0, 0, 0, 0, 1);
        }
    });
    glDeleteBuffers(1, &uniforms);
    return true;
}

// Program i of a batch whose tools have run: our verdict, or both routes run and compared.
OracleResult RunPair(const std::filesystem::path &dir, int i, const Pending &p, const OracleOptions &options)
{
    OracleResult result;
    const std::string base = (dir / std::to_string(i)).string();
    if (!p.translated) {
        result.verdict = OracleVerdict::Refused;
        result.detail = p.ours.error;
        return result;
    }
    if (std::filesystem::exists(base + ".vert.refused")) {
        result.verdict = OracleVerdict::RejectedGlsl;
        const std::string log = ReadFile(base + ".vert.log");
        const size_t error = log.find("ERROR");
        const size_t end = log.find('\n', error);
        result.detail = "glslang: " + log.substr(error, end == std::string::npos ? end : end - error);
        return result;
    }
    const std::vector<std::pair<std::string, int>> attributes = TranslationAttributes(p.ours);
    Interface reference;
    std::vector<std::string> ourCaptured, referenceCaptured;
    if (!p.directives.cgOnly) {
        if (!ReadInterface(base + ".spv", &reference) || !std::filesystem::exists(base + ".ref.glsl")) {
            result.detail = "reference route: " + ReadFile(base + ".hlsl.log");
            return result;
        }
        for (const Varying &out : reference.outputs) {
            const std::string ours = BuiltInOutput(out.semantic);
            if (ours.empty()) {
                result.detail = "output " + out.name + " has the semantic '" + out.semantic + "', which Cg's GL profiles lack";
                return result;
            }
            ourCaptured.push_back(ours);
            referenceCaptured.push_back(out.builtIn == 0   ? "gl_Position"
                                        : out.builtIn == 1 ? "gl_PointSize"
                                                           : "cgout_" + std::to_string(out.location));
        }
    }
    std::string why;
    const GLuint ourProgram = LinkFeedbackProgram(p.ours.glsl, attributes, ourCaptured, &why);
    if (!ourProgram) {
        result.verdict = OracleVerdict::RejectedGlsl;
        result.detail = "Mesa: " + why;
        return result;
    }
    if (p.directives.cgOnly) {
        glDeleteProgram(ourProgram);
        result.verdict = OracleVerdict::CgOnly;
        return result;
    }
    const GLuint referenceProgram = LinkFeedbackProgram(ReadFile(base + ".ref.glsl"), {}, referenceCaptured, &why);
    if (!referenceProgram) {
        glDeleteProgram(ourProgram);
        result.detail = "reference route, Mesa: " + why;
        return result;
    }
    std::vector<float> ours = RunOurs(ourProgram, p, options), theirs;
    if (!RunReference(referenceProgram, reference, p.directives, options, &theirs, &why)) {
        glDeleteProgram(ourProgram);
        glDeleteProgram(referenceProgram);
        result.detail = why;
        return result;
    }
    const std::vector<int> ourWidths = CapturedComponents(ourProgram);
    const std::vector<int> theirWidths = CapturedComponents(referenceProgram);
    glDeleteProgram(ourProgram);
    glDeleteProgram(referenceProgram);

    // Our built-in outputs are vec4 where Cg's may be narrower; the Cg type is the reference's.
    int ourStride = 0, theirStride = 0;
    for (size_t k = 0; k < ourWidths.size(); k++) {
        ourStride += ourWidths[k];
        theirStride += theirWidths[k];
    }
    result.verdict = OracleVerdict::Agree;
    result.outputs = int(reference.outputs.size());
    for (int v = 0; v < options.vertices && result.verdict == OracleVerdict::Agree; v++) {
        int ourAt = v * ourStride, theirAt = v * theirStride;
        for (size_t k = 0; k < reference.outputs.size(); k++) {
            for (int c = 0; c < theirWidths[k]; c++) {
                const float a = ours[size_t(ourAt + c)], b = theirs[size_t(theirAt + c)];
                if (!Close(a, b) && result.verdict == OracleVerdict::Agree) {
                    char text[256];
                    std::snprintf(text, sizeof text, "vertex %d, %s (%s) component %d: ours %.9g, reference %.9g", v,
                                  reference.outputs[k].name.c_str(), reference.outputs[k].semantic.c_str(), c, a, b);
                    result.verdict = OracleVerdict::Differ;
                    result.detail = text;
                }
            }
            ourAt += ourWidths[k];
            theirAt += theirWidths[k];
        }
    }
    return result;
}

}  // namespace

const char *OracleVerdictName(OracleVerdict verdict)
{
    switch (verdict) {
    case OracleVerdict::Agree: return "agrees";
    case OracleVerdict::Differ: return "differs";
    case OracleVerdict::Refused: return "refused by our translator";
    case OracleVerdict::RejectedGlsl: return "our GLSL rejected";
    case OracleVerdict::CgOnly: return "Cg only, GLSL accepted";
    case OracleVerdict::OracleFailed: return "reference route failed";
    }
    return "?";
}

bool ReferenceToolsPresent()
{
    return std::system("command -v glslangValidator >/dev/null && command -v spirv-cross >/dev/null") == 0;
}

std::vector<OracleResult> CompareWithReference(const std::vector<OracleProgram> &programs, const OracleOptions &options)
{
    std::string pattern = (std::filesystem::temp_directory_path() / "halmwind-oracle-XXXXXX").string();
    std::vector<OracleResult> results(programs.size());
    if (!mkdtemp(pattern.data())) {
        for (OracleResult &r : results) {
            r.detail = "no temporary folder";
        }
        return results;
    }
    const std::filesystem::path dir = pattern;
    std::vector<Pending> pending(programs.size());
    for (size_t i = 0; i < programs.size(); i++) {
        Pending &p = pending[i];
        p.directives = ReadDirectives(programs[i].source);
        p.translated = TranslateCgProgram(programs[i].source, programs[i].name.c_str(), "main", &p.ours);
        if (p.translated) {
            WriteFile(dir / (std::to_string(i) + ".vert"), p.ours.glsl);
        }
        if (!p.directives.cgOnly) {
            WriteFile(dir / (std::to_string(i) + ".hlsl"), CgHlslPrelude + programs[i].source);
        }
    }
    RunTools(dir);
    for (size_t i = 0; i < programs.size(); i++) {
        results[i] = RunPair(dir, int(i), pending[i], options);
    }
    // Kept for a look at the files behind a failure: HALMWIND_ORACLE_KEEP=1.
    if (!std::getenv("HALMWIND_ORACLE_KEEP")) {
        std::filesystem::remove_all(dir);
    } else {
        std::fprintf(stderr, "oracle: files kept in %s\n", dir.c_str());
    }
    return results;
}

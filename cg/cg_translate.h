// cg_translate.h -- turns a Cg vertex program into a GLSL 1.20 vertex shader; text only, no GL.
#pragma once

#include <string>
#include <vector>

// The value types a uniform or a varying input can have.
enum class CgType {
    Float, Float2, Float3, Float4, Float2x2, Float3x3, Float4x4, Int, Int2, Int3, Int4,
    Bool, Bool2, Bool3, Bool4, Float2x3, Float2x4, Float3x2, Float3x4, Float4x2, Float4x3
};

// Where the wrapper takes a varying input from.
enum class CgInputSource { Vertex, Color, Attribute, Normal, SecondaryColor, TexCoord };

struct CgVaryingInput {
    std::string name;      // as the Cg program names it: "IN.zfeldpos", or a plain parameter name
    std::string glslName;  // the attribute in the shader; empty for all but Attribute
    CgInputSource source;
    int attribIndex;       // generic attribute index, firstGenericAttribute and up; 0 for all but Attribute
    int components;        // 1 to 4
    int texUnit = 0;       // TEXCOORDn's n for TexCoord, fed by glMultiTexCoord; 0 for the others
};

// TEXCOORD0 to TEXCOORD7 come through the texture coordinates, as the OpenGL profiles bind them;
// other semantics take generic attributes from firstGenericAttribute up, past the slots where GL
// layers over WebGL keep the fixed-function inputs.
const int cgTexCoordUnits = 8;
const int firstGenericAttribute = 6;
const int lastGenericAttribute = 15;

struct CgUniform {
    std::string name;      // as the Cg program names it: "ModelViewProj"
    std::string glslName;  // the uniform in the shader
    CgType type;
};

struct CgTranslation {
    std::string glsl;
    std::vector<CgVaryingInput> inputs;
    std::vector<CgUniform> uniforms;
    std::string error;  // "wind.cg(12): error: ..." when the translation failed
    int errorLine = 0;
};

// Translates `source` (the text of `fileName`) with entry function `entry`. Returns false with
// out->error set when the program is outside the supported Cg subset. Never fails on length or
// content of the input in any other way than with a message.
bool TranslateCgProgram(const std::string &source, const char *fileName, const char *entry,
                        CgTranslation *out);

// Floats a value of the type occupies: 1 to 4 for scalars and vectors, 4, 9 or 16 for matrices.
int CgTypeComponents(CgType type);

// Rewrites the line prefixes of a GLSL compiler log ("0:12(5): error: ..." or
// "0(12) : error ...") to name `fileName` and its line: "wind.cg(12): error: ...", and its
// words to the program's: float3 for vec3, saturate for cgx_saturate, `entry` for the wrapper.
// Empty lines are dropped; the text does not end with a newline.
std::string RewriteGlslLog(const std::string &log, const char *fileName, const char *entry = "main");

// Matrices are held transposed in the shader: a Cg row is a GLSL column, so indexing,
// constructors and casts keep their Cg meaning and mul(a, b) becomes (b * a). A float4x4 uniform
// is therefore uploaded from the row-major order of the Cg matrix.

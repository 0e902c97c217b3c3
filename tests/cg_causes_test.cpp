// cg_causes_test.cpp -- Cg programs whose meaning the translator once changed, one group per cause:
// each runs under GL with its outputs captured by transform feedback and compared with Cg's numbers.
#include <epoxy/gl.h>

#include <string>
#include <vector>

#include "cg/cg_translate.h"
#include "tests/cg_feedback.h"
#include "tests/gl_fixture.h"

namespace {

struct Uniform {
    const char *name;
    std::vector<float> values;  // row by row for a matrix, as Cg writes it
};

class CgCauses : public GlTest {
protected:
    void SetUp() override
    {
        GlTest::SetUp();
        if (epoxy_gl_version() < 30) {
            GTEST_SKIP() << "this GL has no transform feedback";
        }
    }

    // Runs `body` as the entry function's statements for one vertex at p = (1, 2, 3, 1) with
    // TEXCOORD0 a = (0.5, 0.25, 4, 8), returning what it writes to o.tc; empty with *why set when
    // the translator or GL refuses it.
    static std::vector<float> Run(const std::string &prelude, const std::string &body, std::string *why,
                                  const std::vector<Uniform> &uniforms = {}, const std::string &params = "")
    {
        const std::string source = prelude + "\nstruct vout { float4 pos : POSITION; float4 tc : TEXCOORD0; };\n"
                                              "vout main(float4 p : POSITION, float4 a : TEXCOORD0" + params + ")\n"
                                              "{\n    vout o;\n    o.pos = p;\n    o.tc = 0;\n" + body + "\n    return o;\n}\n";
        return RunSource(source, why, uniforms);
    }

    // The whole program `source`, with the inputs and outputs that Run describes.
    static std::vector<float> RunSource(const std::string &source, std::string *why,
                                        const std::vector<Uniform> &uniforms = {})
    {
        CgTranslation translation;
        if (!TranslateCgProgram(source, "test.cg", "main", &translation)) {
            *why = translation.error;
            return {};
        }
        const GLuint program =
            LinkFeedbackProgram(translation.glsl, TranslationAttributes(translation), {"gl_TexCoord[0]"}, why);
        if (!program) {
            *why = "GL refused what the translator accepted:\n" + *why + "\n" + translation.glsl;
            return {};
        }
        glUseProgram(program);
        for (const Uniform &u : uniforms) {
            const CgUniform *found = nullptr;
            for (const CgUniform &entry : translation.uniforms) {
                found = entry.name == u.name ? &entry : found;
            }
            if (!found) {
                *why = std::string("no uniform '") + u.name + "' in the table";
                glUseProgram(0);
                glDeleteProgram(program);
                return {};
            }
            const GLint location = glGetUniformLocation(program, found->glslName.c_str());
            // Matrices are held transposed, so Cg's row-major values load as GL's columns.
            if (found->type == CgType::Float3x4) {
                glUniformMatrix3x4fv(location, 1, GL_FALSE, u.values.data());
            } else if (found->type == CgType::Bool || found->type == CgType::Int) {
                glUniform1i(location, GLint(u.values[0]));
            } else if (u.values.size() == 16) {
                glUniformMatrix4fv(location, 1, GL_FALSE, u.values.data());
            } else if (u.values.size() == 4) {
                glUniform4fv(location, 1, u.values.data());
            } else {
                glUniform1fv(location, GLsizei(u.values.size()), u.values.data());
            }
        }
        std::vector<float> out = CaptureFeedback(program, 1, [](int) {
            glMultiTexCoord4f(GL_TEXTURE0, 0.5f, 0.25f, 4, 8);
            glVertex4f(1, 2, 3, 1);
        });
        glUseProgram(0);
        glDeleteProgram(program);
        return out;
    }

    static void Expect(const std::string &prelude, const std::string &body, const std::vector<float> &expected,
                       const std::vector<Uniform> &uniforms = {}, const std::string &params = "")
    {
        std::string why;
        const std::vector<float> got = Run(prelude, body, &why, uniforms, params);
        ASSERT_EQ(got.size(), 4u) << body << "\n" << why;
        for (size_t k = 0; k < expected.size(); k++) {
            EXPECT_NEAR(got[k], expected[k], 1e-4f) << body << "\noutput " << k;
        }
    }

    // The translator refuses `body` with a message on `line` (counted in the whole program) that
    // contains `words`.
    static void ExpectRefused(const std::string &prelude, const std::string &body, int line, const std::string &words)
    {
        std::string why;
        EXPECT_TRUE(Run(prelude, body, &why).empty()) << body;
        EXPECT_NE(why.find("test.cg(" + std::to_string(line) + "): error: "), std::string::npos) << why;
        EXPECT_NE(why.find(words), std::string::npos) << why;
    }
};

}  // namespace

// Text that is glued and copied regroups; each expression must stay one unit.
TEST_F(CgCauses, ExpressionsKeepTheirGrouping)
{
    Expect("", "float t = 8; t /= 2.0 * 2.0; o.tc.x = t;", {2});
    Expect("", "float t = 8; t -= 2.0 - 1.0; o.tc.x = t; float u = 2; u *= 1 + 2; o.tc.y = u;", {7, 6});
    Expect("", "float v[3] = {1, 2, 3}; int i = 0; v[i++] += 10; o.tc = float4(v[0], v[1], v[2], i);", {11, 2, 3, 1});
    Expect("", "float v[3] = {1, 2, 3}; int i = 2; v[--i] *= 5; o.tc = float4(v[0], v[1], v[2], i);", {1, 10, 3, 1});
    // Through the helper, the operator keeps its Cg meaning: '%' with C's sign, '*' per element.
    Expect("", "int k[2] = {-7, 9}; int j = 0; k[j++] %= 4; float2x2 m[2]; m[0] = float2x2(1, 2, 3, 4);"
               " m[1] = m[0]; j = 0; m[j++] *= m[1]; o.tc = float4(k[0], m[0][1], j);", {-3, 9, 16, 1});
    Expect("", "float x = a.x; float y = - -x; o.tc.x = y; o.tc.y = -(-x); o.tc.z = - - -x;", {0.5f, 0.5f, -0.5f});
    Expect("#define NEG(v) -v\n#define TWICE(v) v + v", "float x = a.x; o.tc.x = NEG(-x); o.tc.y = 3 * TWICE(x);",
           {0.5f, 2});
    Expect("", "float4 q = p; float s = 100; q.z-=-0.01*s; o.tc = q;", {1, 2, 4, 1});
    Expect("", "float x = 3; float y = x---1; o.tc.x = y; o.tc.y = x;", {2, 2});
}

// Cg's own typing: library functions of ints are floats, casts fill, overloads rank their matches.
TEST_F(CgCauses, CgTypingRules)
{
    Expect("", "o.tc.x = sqrt(2) + radians(180); o.tc.y = exp2(-1); o.tc.z = pow(2, -1);",
           {1.4142136f + 3.1415927f, 0.5f, 0.5f});
    Expect("", "float4x4 m = (float4x4)1.0; o.tc = mul(m, float4(1, 2, 3, 4)); o.tc.w = m[0][1];", {10, 10, 10, 1});
    Expect("", "float3x3 m = (float3x3)a.x; o.tc = float4(m[2], m[1][0]);", {0.5f, 0.5f, 0.5f, 0.5f});
    // The best match wins whatever the order of declaration.
    const char *narrowFirst = "float f(float x) { return 1; }\nfloat f(float3 x) { return 3; }";
    const char *wideFirst = "float f(float3 x) { return 3; }\nfloat f(float x) { return 1; }";
    for (const char *prelude : {narrowFirst, wideFirst}) {
        Expect(prelude, "int i = 2; o.tc.x = f(i); o.tc.y = f(a.xyz); o.tc.z = f(a.x);", {1, 3, 1});
    }
    Expect("float g(float x, int y) { return 1; }\nfloat g(int x, float y) { return 2; }",
           "o.tc.x = g(a.x, 1); o.tc.y = g(1, a.x);", {1, 2});
    ExpectRefused("float g(float x, int y) { return 1; }\nfloat g(int x, float y) { return 2; }",
                  "o.tc.x = g(1, 1);", 9, "ambiguous");
    ExpectRefused("float k(float2 v) { return 2; }\nfloat k(float3 v) { return 3; }", "o.tc.x = k(a.x);", 9,
                  "ambiguous");
    // The library's bounds and signs are Cg's.
    Expect("", "o.tc = float4(saturate(a.w), saturate(-a.x), fmod(-a.w, 3), clamp(a.z, 0, 1));", {1, 0, -2, 1});
    // refract(I, N, eta) keeps N a vector.
    Expect("", "float3 r = refract(normalize(float3(1, -1, 0)), float3(0, 1, 0), 0.5); o.tc.xyz = r;",
           {0.3535534f, -0.9354143f, 0});
    // half and float are one type here: two such overloads are refused by name.
    ExpectRefused("float h(half x) { return 1; }\nfloat h(float x) { return 2; }", "o.tc.x = h(a.x);", 2, "'h'");
}

// A global without static is a uniform; a const local may hold a varying value.
TEST_F(CgCauses, CgMeaningOfDeclarations)
{
    const std::vector<float> scale = {2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 1, 0, 0, 1};  // rows
    Expect("float4x4 ModelViewProj;\nfloat Gain;\nstatic float Kept = 5;",
           "o.tc = mul(ModelViewProj, float4(1, 1, 1, 1)) * Gain + Kept;", {7, 8, 9, 7},
           {{"ModelViewProj", scale}, {"Gain", {1}}});
    Expect("", "const float k = a.x * 4; const float3 v = a.xyz; o.tc = float4(k, v);", {2, 0.5f, 0.25f, 4});
    ExpectRefused("", "const float k = a.x;\n    k = 2;", 9, "'k'");
}

// GLSL's built-in function names are renamed like its keywords when a program uses them as names.
TEST_F(CgCauses, GlslBuiltInNamesAsCgNames)
{
    Expect("", "float mix = 0.25; float fract = 2.5; bool4 equal = a == float4(0.5, 0, 4, 0);"
               "o.tc = float4(lerp(0, 8, mix), frac(fract), equal.x, equal.y);", {2, 0.5f, 1, 0});
    Expect("float max(float x, float y, float z) { return x + y + z; }",
           "o.tc = float4(max(1, 2, 3), max(a.x, a.y), max(a.xy, a.yx));", {6, 0.5f, 0.5f, 0.5f});
}

// A // comment ending in a backslash joins the next line, whatever the line ends.
TEST_F(CgCauses, LineEndsDoNotChangeMeaning)
{
    for (const char *end : {"\n", "\r\n"}) {
        const std::string body = std::string("float v = 1;") + end + "    // v is set below \\" + end +
                                 "    v = 2;" + end + "    o.tc.x = v;";
        Expect("", body, {1});
    }
}

// Ordinary Cg that was refused, or refused with a wrong rule.
TEST_F(CgCauses, OrdinaryCgIsTranslated)
{
    // A vector condition, and && || ! on bool vectors, work per component.
    Expect("", "o.tc = a > 0.3 ? float4(1, 2, 3, 4) : float4(5, 6, 7, 8);", {1, 6, 3, 4});
    Expect("", "bool4 inside = a > 0.3 && a < 5; bool4 outside = a < 0.3 || a > 5; o.tc = inside; o.tc.w = outside.w;", {1, 0, 1, 1});
    Expect("", "bool3 n = !(a.xyz > 0.3); o.tc.xyz = n ? 1 : -1;", {-1, 1, -1});
    // Arrays inside structs.
    Expect("struct Wave { float2 dir; float amp[2]; };", "Wave w[2]; w[1].amp[1] = a.y; w[0].amp[0] = 1; w[0].amp[1] = 2;\n"
           "    o.tc = float4(w[1].amp[1], w[0].amp[0], w[0].amp[1], 0);", {0.25f, 1, 2, 0});
    // The common style: outputs as out parameters with semantics.
    std::string why;
    const std::vector<float> got = RunSource(
        "void main(float4 p : POSITION, float4 a : TEXCOORD0, out float4 oPos : POSITION, out float3 oTc : TEXCOORD0)\n"
        "{\n    oPos = p;\n    oTc = a.xyz * 2;\n}\n", &why);
    ASSERT_EQ(got.size(), 4u) << why;
    EXPECT_EQ(got, std::vector<float>({1, 0.5f, 8, 1}));
}

// Uniforms of every kind a vertex program uses, found by the names the application asks for.
TEST_F(CgCauses, UniformsOfEveryKind)
{
    const std::vector<float> rows = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};  // a float3x4, row by row
    Expect("float3x4 M;\nbool Flip;\nuniform float Weights[3];\nstruct Light { float4 colour; float gain; };\n"
           "uniform Light Lamp;",
           "float3 r = mul(M, float4(1, 0, 0, 1));\n"
           "    o.tc = float4(Flip ? -r : r, Weights[2] + Lamp.colour.y * Lamp.gain);",
           {-5, -13, -21, 3 + 20 * 0.5f},
           {{"M", rows}, {"Flip", {1}}, {"Weights[2]", {3}}, {"Lamp.colour", {10, 20, 30, 40}}, {"Lamp.gain", {0.5f}}});
}

// The GL state matrices, matrix swizzles and uniform defaults.
TEST_F(CgCauses, StateMatricesSwizzlesAndDefaults)
{
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glTranslatef(1, 2, 3);
    glScalef(2, 2, 2);
    Expect("", "o.tc = mul(glstate.matrix.mvp, float4(1, 1, 1, 1));", {3, 4, 5, 1});
    Expect("", "o.tc = glstate.matrix.modelview[0][0];", {2, 0, 0, 1});
    Expect("", "o.tc = mul(glstate.matrix.inverse.modelview[0], float4(3, 4, 5, 1));", {1, 1, 1, 1});
    Expect("", "o.tc = glstate.matrix.transpose.mvp[3];", {1, 2, 3, 1});
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);

    Expect("", "float4x4 m = float4x4(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);\n"
               "    o.tc.xyz = m._m03_m13_m23; o.tc.w = m._14;", {4, 8, 12, 4});
    Expect("", "float2x2 m = float2x2(1, 2, 3, 4); m._m10 = 7; o.tc = float4(m[1], m._21_12);", {7, 4, 7, 2});
    Expect("", "o.tc = float4(k, v);", {2.5f, 1, 2, 3}, {}, ", uniform float k = 2.5, uniform float3 v = float3(1, 2, 3)");
    Expect("float Gain = 3;\nuniform float2 Shift = float2(1, -1);", "o.tc.xyz = float3(Gain, Shift);", {3, 1, -1});
    ExpectRefused("float Gain = 3;\nfloat Twice = Gain * 2;", "o.tc.x = Twice;", 2, "must be a constant");
}

// Plain Cg of newer programs that was given another meaning, or accepted and then refused by GL,
// or refused although Cg has it.
TEST_F(CgCauses, PlainCgOfNewerPrograms)
{
    // A literal keeps its value where a float is wanted: 010 is octal 8, as in C.
    Expect("", "float x = 010; o.tc = float4(x, -010, 0x10, 010 * a.x);", {8, -8, 16, 4});
    // A static local keeps its value from call to call.
    Expect("float Count() { static float n = 0; n += 1; return n; }\nint Steps() { static int k; return ++k; }",
           "Count(); Count(); Steps(); o.tc.x = Count(); o.tc.y = Steps();", {3, 2});
    // A const computed from a uniform: a plain value for GLSL, still read-only for Cg.
    Expect("float Gain;\nconst float K = Gain * 2;", "o.tc.x = K;", {6}, {{"Gain", {3}}});
    // A uniform the program writes is a copy of its own, read as written everywhere after.
    Expect("float Gain;\nfloat Scaled(float x) { return x * Gain; }", "Gain *= 2; o.tc.x = Scaled(1); o.tc.y = Gain;",
           {6, 6}, {{"Gain", {3}}});
    // Names that begin like texture types are names.
    Expect("", "float2 textureCoord = a.xy; float samplerScale = 2; o.tc.xy = textureCoord * samplerScale;", {1, 0.5f});
    // Array sizes are constant expressions, macros included; helpers take arrays; prototypes may
    // leave their parameters unnamed; typedef names a type.
    Expect("#define N (2*2)\ntypedef float3 vec;\nfloat Gust(float2);\nfloat Sum(float p[N]) { return p[0] + p[1] + p[3]; }\n"
           "vec Twice(vec v) { return v * 2; }\nfloat Gust(float2 v) { return v.x - v.y; }",
           "float w[N] = {1, 2, 3, 4}; const int M = N - 2; float u[M]; u[1] = Gust(a.xy);\n"
           "    o.tc = float4(Sum(w), u[1], Twice(a.xyz).xy);",
           {7, 0.25f, 1, 0.5f});
    // isnan, isinf and frexp, also of vectors and at a power of two.
    Expect("", "float e; float2 e2; float m = frexp(a.z * 3, e); float2 m2 = frexp(float2(8, 0.3), e2);\n"
               "    o.tc = float4(m + e, m2.x + e2.x, m2.y + e2.y, isnan(a.x) || isinf(a.y) || any(isinf(a.xy)));",
           {4.75f, 4.5f, -0.4f, 0});
    // An inout parameter of the entry function: its semantic names the input and the output.
    std::string why;
    const std::vector<float> got = RunSource("void main(float4 p : POSITION, inout float4 t : TEXCOORD0, out float4 q : POSITION)\n"
                                             "{\n    q = p;\n    t.x += 1;\n}\n", &why);
    ASSERT_EQ(got.size(), 4u) << why;
    EXPECT_EQ(got, std::vector<float>({1.5f, 0.25f, 4, 8}));
}

// The preprocessor as C's: '##' joins tokens into one by the parser's own rules, and #if
// expressions keep C's precedence.
TEST_F(CgCauses, PreprocessorAsInC)
{
    Expect("#if 1 || 0 && 0\n#define A 1\n#else\n#define A 0\n#endif\n"
           "#if 2 + 3 * 4 == 14 && (1 << 3) == 8 && -1 < 0 && 7 % 4 == 3\n#define B 1\n#else\n#define B 0\n#endif",
           "o.tc.xy = float2(A, B);", {1, 1});
    Expect("#define FIELD(n) a.n\n#define JOIN(x, y) x ## y\n#define SUB(v, d) v JOIN(-, =) d",
           "float JOIN(val, 1) = 2; float4 q = p; SUB(q.z, 1); o.tc = float4(val1, FIELD(w), q.z, JOIN(1, 5));",
           {2, 8, 2, 15});
}

// cg_translate_test.cpp -- the Cg to GLSL translation, without GL: what it produces and how it fails.
#include "cg/cg_translate.h"

#include <algorithm>
#include <cstdint>
#include <random>
#include <regex>
#include <string>

#include <gtest/gtest.h>

namespace {

const char *const windLikeProgram = R"(// a blade program
struct appin {
    float4 position : POSITION;
    float4 color : COLOR0;
    float3 zfeldpos : TEXCOORD0;
    float3 wind : TEXCOORD1;
    float sl : TEXCOORD2;
};
struct vfconn { float4 HPos : POSITION; float4 Col0 : COLOR0; };
vfconn main(appin IN, uniform float4x4 ModelViewProj)
{
    vfconn OUT;
    float3 p = IN.position.xyz + IN.zfeldpos * IN.sl + IN.wind;
    OUT.HPos = mul(ModelViewProj, float4(p, 1));
    OUT.Col0 = IN.color;
    return OUT;
}
)";

// The line a GLSL 1.20 compiler reports for the first output line containing `needle`.
int ReportedLine(const std::string &glsl, const std::string &needle)
{
    int next = 1;
    size_t start = 0;
    while (start < glsl.size()) {
        size_t end = glsl.find('\n', start);
        std::string line = glsl.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (line.compare(0, 6, "#line ") == 0) {
            next = std::stoi(line.substr(6)) + 1;
        } else if (line.find(needle) != std::string::npos) {
            return next;
        } else {
            next++;
        }
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return -1;
}

std::string WithoutSpaces(std::string text)
{
    text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
    return text;
}

// Every failure must say where, in the form the compiler messages use.
void ExpectCleanFailure(const std::string &source, const CgTranslation &t)
{
    static const std::regex form(R"(^wind\.cg\((\d+)\): error: .+)");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(t.error, m, form)) << t.error;
    EXPECT_EQ(std::stoi(m[1]), t.errorLine);
    int lines = 1 + int(std::count(source.begin(), source.end(), '\n'));
    EXPECT_GE(t.errorLine, 1);
    EXPECT_LE(t.errorLine, lines);
    EXPECT_TRUE(t.glsl.empty());
}

// Succeeds or fails with a located message; either way it returns.
void ExpectSurvives(const std::string &source)
{
    CgTranslation t;
    if (TranslateCgProgram(source, "wind.cg", "main", &t)) {
        EXPECT_NE(t.glsl.find("void main()"), std::string::npos);
    } else {
        ExpectCleanFailure(source, t);
    }
}

}  // namespace

TEST(CgTranslate, WindProgramGivesItsInputsAndUniform)
{
    CgTranslation t;
    ASSERT_TRUE(TranslateCgProgram(windLikeProgram, "wind.cg", "main", &t)) << t.error;

    ASSERT_EQ(t.inputs.size(), 5u);
    // TEXCOORDn comes through texture unit n, so a value set between the vertices of one glBegin
    // stays with its vertex on every GL layer.
    const struct {
        const char *name;
        CgInputSource source;
        int unit;
        int components;
        const char *read;
    } expected[] = {{"IN.position", CgInputSource::Vertex, 0, 4, "gl_Vertex"},
                    {"IN.color", CgInputSource::Color, 0, 4, "gl_Color"},
                    {"IN.zfeldpos", CgInputSource::TexCoord, 0, 3, "gl_MultiTexCoord0.xyz"},
                    {"IN.wind", CgInputSource::TexCoord, 1, 3, "gl_MultiTexCoord1.xyz"},
                    {"IN.sl", CgInputSource::TexCoord, 2, 1, "gl_MultiTexCoord2.x"}};
    for (size_t i = 0; i < 5; i++) {
        EXPECT_EQ(t.inputs[i].name, expected[i].name);
        EXPECT_EQ(t.inputs[i].source, expected[i].source) << expected[i].name;
        EXPECT_EQ(t.inputs[i].texUnit, expected[i].unit) << expected[i].name;
        EXPECT_EQ(t.inputs[i].attribIndex, 0) << expected[i].name;
        EXPECT_EQ(t.inputs[i].components, expected[i].components) << expected[i].name;
        EXPECT_NE(WithoutSpaces(t.glsl).find(std::string("=") + expected[i].read + ";"), std::string::npos)
            << t.glsl;
    }
    EXPECT_EQ(t.glsl.find("attribute"), std::string::npos) << t.glsl;
    ASSERT_EQ(t.uniforms.size(), 1u);
    EXPECT_EQ(t.uniforms[0].name, "ModelViewProj");
    EXPECT_EQ(t.uniforms[0].type, CgType::Float4x4);
    EXPECT_NE(t.glsl.find("uniform mat4 " + t.uniforms[0].glslName + ";"), std::string::npos);

    EXPECT_EQ(t.glsl.compare(0, 13, "#version 120\n"), 0);
    const std::string flat = WithoutSpaces(t.glsl);
    EXPECT_NE(flat.find("gl_Position=cgx_out.HPos;"), std::string::npos);
    EXPECT_NE(flat.find("gl_FrontColor=cgx_out.Col0;"), std::string::npos);
    EXPECT_NE(flat.find("cgx_in0.position=gl_Vertex;"), std::string::npos);
}

TEST(CgTranslate, OtherSemanticsTakeGenericAttributesPastTheFixedOnes)
{
    const std::string head = "struct vout { float4 pos : POSITION; };\nvout main(float4 p : POSITION";
    const std::string tail = ")\n{ vout o; o.pos = p; return o; }\n";
    CgTranslation t;
    ASSERT_TRUE(TranslateCgProgram(head + ", float3 t : FOGCOORD, float w : BLENDWEIGHT, float4 c : TEXCOORD8" + tail,
                                   "wind.cg", "main", &t))
        << t.error;
    ASSERT_EQ(t.inputs.size(), 4u);
    for (int i = 1; i < 4; i++) {
        EXPECT_EQ(t.inputs[size_t(i)].source, CgInputSource::Attribute);
        EXPECT_EQ(t.inputs[size_t(i)].attribIndex, firstGenericAttribute + i - 1);
        EXPECT_NE(t.glsl.find("attribute " + std::string(i == 1 ? "vec3 " : i == 2 ? "float " : "vec4 ") +
                              t.inputs[size_t(i)].glslName + ";"),
                  std::string::npos)
            << t.glsl;
    }

    const char *const others[] = {"ATTR1", "ATTR5", "ATTR6", "ATTR7", "BLENDWEIGHT", "BLENDINDICES", "FOGCOORD",
                                  "PSIZE", "SKIN0", "SKIN1"};
    std::string generic;
    for (const char *semantic : others) {
        generic += std::string(", float a") + semantic + " : " + semantic;
    }
    EXPECT_TRUE(TranslateCgProgram(head + generic + tail, "wind.cg", "main", &t)) << t.error;
    EXPECT_FALSE(TranslateCgProgram(head + generic + ", float extra : SKIN2" + tail, "wind.cg", "main", &t));
    EXPECT_NE(t.error.find("more than 10 varying inputs"), std::string::npos) << t.error;
    EXPECT_FALSE(TranslateCgProgram(head + ", float a : TEXCOORD1, float b : texcoord1" + tail, "wind.cg", "main", &t));
    EXPECT_NE(t.error.find("two varying inputs have the semantic TEXCOORD1"), std::string::npos) << t.error;
}

// The aliases the vendor's OpenGL profiles give the fixed inputs: DIFFUSE and ATTR3 are COLOR0,
// SPECULAR and ATTR4 COLOR1, ATTR2 NORMAL, ATTR8 to 15 TEXCOORD0 to 7, TANGENT and BINORMAL
// TEXCOORD6 and 7.
TEST(CgTranslate, SemanticAliasesBindAsTheOpenGlProfilesDo)
{
    const std::string head = "struct vout { float4 pos : POSITION; };\nvout main(float4 p : ATTR0";
    const std::string tail = ")\n{ vout o; o.pos = p; return o; }\n";
    CgTranslation t;
    ASSERT_TRUE(TranslateCgProgram(head + ", float4 d : DIFFUSE, float4 s : specular, float3 n : ATTR2, float2 u : "
                                          "ATTR9, float3 tg : TANGENT, float3 bn : BINORMAL" + tail,
                                   "wind.cg", "main", &t))
        << t.error;
    const std::pair<CgInputSource, int> expected[] = {
        {CgInputSource::Vertex, 0},   {CgInputSource::Color, 0},    {CgInputSource::SecondaryColor, 0},
        {CgInputSource::Normal, 0},   {CgInputSource::TexCoord, 1}, {CgInputSource::TexCoord, 6},
        {CgInputSource::TexCoord, 7}};
    ASSERT_EQ(t.inputs.size(), 7u);
    for (size_t i = 0; i < 7; i++) {
        EXPECT_EQ(t.inputs[i].source, expected[i].first) << t.inputs[i].name;
        EXPECT_EQ(t.inputs[i].texUnit, expected[i].second) << t.inputs[i].name;
    }
    EXPECT_NE(WithoutSpaces(t.glsl).find("=gl_MultiTexCoord6.xyz;"), std::string::npos) << t.glsl;
    EXPECT_FALSE(TranslateCgProgram(head + ", float4 c : COLOR0, float4 d : DIFFUSE" + tail, "wind.cg", "main", &t));
    EXPECT_NE(t.error.find("two varying inputs have the semantic DIFFUSE"), std::string::npos) << t.error;
}

TEST(CgTranslate, GlslLinesNameTheCgLines)
{
    std::string source = windLikeProgram;
    // Push the body far down so the line mapping has to use #line, not just newlines.
    source.insert(source.find("vfconn main"), "/* a\n\n\n\n\n\n\n\n\n long comment */\n");
    CgTranslation t;
    ASSERT_TRUE(TranslateCgProgram(source, "wind.cg", "main", &t)) << t.error;
    EXPECT_EQ(ReportedLine(t.glsl, "vec4 position"), 3);
    EXPECT_EQ(ReportedLine(t.glsl, "OUT.Col0 = IN.color"), 25);
    EXPECT_EQ(ReportedLine(t.glsl, "return OUT"), 26);
    // The generated wrapper reports as the line of the entry function.
    EXPECT_EQ(ReportedLine(t.glsl, "void main()"), 20);
}

TEST(CgTranslate, CgSpellingsBecomeGlsl)
{
    const char *source = R"(
struct vin { half3 p : POSITION; float2 uv : TEXCOORD0; int id : TEXCOORD1; };
struct vout { float4 pos : POSITION; float3 col : COLOR; float fog : FOG; };
float3 Shade(float3 input) { return saturate(lerp(input, frac(input), 0.5f)); }
vout main(vin v, uniform float3x3 Basis, uniform float Time, uniform float4x4 M)
{
    vout o;
    float3 q = mul(Basis, v.p) + mul(v.p, (float3x3)M);
    o.pos = mul(M, float4(q, 1)) * fmod(Time, 2h) + rsqrt(2.0) * v.id;
    o.col = Shade(q);
    o.fog = v.uv.x;
    return o;
}
)";
    CgTranslation t;
    ASSERT_TRUE(TranslateCgProgram(source, "wind.cg", "main", &t)) << t.error;
    const std::string flat = WithoutSpaces(t.glsl);
    // mul(a, b) swaps its operands: matrices are held transposed; a product is grouped as GLSL's
    // left-to-right '*' reads it.
    EXPECT_NE(flat.find("vec3q=v.p*Basis+mat3(M)*v.p;"), std::string::npos) << t.glsl;
    EXPECT_NE(flat.find("=vec4(q,1.0)*M*cgx_fmod(Time,2.0)+"), std::string::npos) << t.glsl;
    EXPECT_NE(flat.find("vec3Shade(vec3cgu_input)"), std::string::npos) << t.glsl;
    EXPECT_NE(flat.find("cgx_saturate(mix(cgu_input,fract(cgu_input),vec3(0.5)))"), std::string::npos) << t.glsl;
    EXPECT_NE(flat.find("cgx_fmod(Time,2.0)"), std::string::npos) << t.glsl;
    EXPECT_NE(flat.find("inversesqrt(2.0)"), std::string::npos) << t.glsl;
    EXPECT_NE(flat.find("vec4cgx_fmod(vec4a,floatb)"), std::string::npos) << "preamble for fmod";
    EXPECT_NE(flat.find("vec3cgx_saturate(vec3x)"), std::string::npos) << "preamble for saturate";
    EXPECT_NE(flat.find("cgx_in0.id=int(gl_MultiTexCoord1.x);"), std::string::npos) << t.glsl;
    EXPECT_NE(flat.find("gl_FrontColor=vec4(cgx_out.col,1.0);"), std::string::npos) << t.glsl;
    EXPECT_NE(flat.find("gl_FogFragCoord=cgx_out.fog;"), std::string::npos) << t.glsl;
    EXPECT_EQ(flat.find("half"), std::string::npos);

    ASSERT_EQ(t.uniforms.size(), 3u);
    EXPECT_EQ(t.uniforms[0].type, CgType::Float3x3);
    EXPECT_EQ(t.uniforms[1].type, CgType::Float);
    EXPECT_EQ(t.uniforms[2].type, CgType::Float4x4);
    ASSERT_EQ(t.inputs.size(), 3u);
    EXPECT_EQ(t.inputs[0].source, CgInputSource::Vertex);
    EXPECT_EQ(t.inputs[1].texUnit, 0);
    EXPECT_EQ(t.inputs[2].texUnit, 1);
}

TEST(CgTranslate, FailuresNameTheLine)
{
    const std::string head = "struct appin { float4 position : POSITION; };\n"
                             "struct vfconn { float4 HPos : POSITION; };\n";
    const std::string body = head + "vfconn main(appin IN)\n{ vfconn o;\n";
    const struct {
        std::string source;
        int line;
        const char *words;
    } cases[] = {
        {"", 1, "no entry function 'main'"},
        {head + "vfconn other(appin IN) { vfconn o; o.HPos = IN.position; return o; }\n\n", 5,
         "no entry function 'main'"},
        {head + "/* open\n comment\nvfconn main(appin IN) {}\n", 3, "comment is never closed"},
        {"struct appin {\n float4 position : POSITION;\n", 1, "'{' is never closed"},
        {"struct appin {\n float4 position : POSITION\n};\n", 3, "expected ';' after member 'position'"},
        {"struct empty { };\n", 1, "struct 'empty' has no members"},
        {head + "vfconn main(appin IN)\n{\n  vfconn o;\n  o.HPos = mul(IN.position);\n return o; }\n", 6,
         "mul takes two arguments"},
        {head + "struct bad { float4 c : COLOR0; };\nbad main(appin IN) { bad o; return o; }\n", 4,
         "has no POSITION"},
        {head + "vfconn main(float4 p)\n{ vfconn o; return o; }\n", 3, "needs a semantic or 'uniform'"},
        {head + "#include \"common.cg\"\n", 3, "#include is not supported"},
        {head + "vfconn main(appin IN) {\n return IN \x01; }\n", 4, "unexpected character byte 0x01"},
        {head + "vfconn main(appin IN) {\n return ); }\n", 4, "')' does not close the '{' of line 3"},
        {head + "\nfloat5 x;\n", 4, "unknown type 'float5'"},
        {head + "uniform float4 colours[300];\n", 3, "needs a size from 1 to 256"},
        // Refused by name, on the line that uses it.
        {head + "#define F(a) #a\nfloat x = F(y);\n", 4, "strings are not supported"},
        {head + "#define G(a, b) a ## b\nfloat G(x, +);\n", 4, "joins 'x' and '+', which is not one token"},
        {head + "#if 1\n#error the mode is gone\n#endif\n", 4, "#error the mode is gone"},
        {head + "#ifdef X\n", 3, "#if is never closed"},
        {head + "#define F(a, b) a\nfloat x = F(1);\n", 4, "macro 'F' takes 2 arguments, not 1"},
        {body + "o.HPos = tex2D(s, IN.position.xy);\n}\n", 5, "'tex2D' reads a texture"},
        {body + "o.HPos = ddx(IN.position);\n}\n", 5, "'ddx' belongs to fragment programs"},
        {body + "o.HPos = isfinite(IN.position) ? 1 : 0;\n}\n", 5, "'isfinite' is not supported"},
        {body + "o.HPos = noise(IN.position);\n}\n", 5, "'noise' is not supported"},
        {body + "o.HPos = cosine(IN.position);\n}\n", 5, "'cosine' is not a function"},
        {body + "int i = 3 & 1;\n}\n", 5, "operator '&' is not supported"},
        {body + "int i = ~3;\n}\n", 5, "'~' is not supported"},
        {body + "switch (1) { }\n}\n", 5, "'switch' is not supported"},
        {body + "discard;\n}\n", 5, "'discard' belongs to fragment programs"},
        {body + "float4x4 M = 0;\no.HPos = M * IN.position;\n}\n", 6, "element by element in Cg"},
        {body + "float4x4 M = 0;\no.HPos.x = M._m40;\n}\n", 6, "'._m40' reads past the end of a float4x4"},
        {body + "o.HPos = glstate.light[0].ambient;\n}\n", 5, "'glstate.light' is not available in this profile"},
        {body + "o.HPos = float4(IN.position.xy, IN.position);\n}\n", 5, "float4() takes 4 values, not 6"},
        {body + "if (IN.position) o.HPos = 1;\n}\n", 5, "the condition is a float4"},
        {body + "o.HPos = IN.position.xyq;\n}\n", 5, "'xyq' is not a member of float4"},
        {body + "float3 v = IN.position.xy;\n}\n", 5, "cannot convert float2 to float3"},
        {body + "const float w[2] = {1, 2, 3};\n}\n", 5, "too many values for a float[2]"},
        {body + "o.HPos = undeclaredThing;\n}\n", 5, "'undeclaredThing' is not declared"},
        {head + "uniform sampler2D tex;\n", 3, "'sampler2D': textures are not supported"},
        // Cg has no recursion, direct or through other functions.
        {head + "float f(float x)\n{ return x > 0 ? f(x - 1) : 0; }\n", 4, "'f' calls itself"},
        {head + "float g(float x);\nfloat f(float x)\n{ return g(x); }\nfloat g(float x) { return f(x); }\n" +
             "vfconn main(appin IN) { vfconn o; o.HPos = g(1); return o; }\n", 5, "'g' calls itself through 'f'"},
        {body + "static float n = IN.position.x;\n}\n", 5, "static local 'n' must be a constant"},
    };
    for (const auto &c : cases) {
        CgTranslation t;
        EXPECT_FALSE(TranslateCgProgram(c.source, "wind.cg", "main", &t)) << c.source;
        ExpectCleanFailure(c.source, t);
        EXPECT_EQ(t.errorLine, c.line) << t.error;
        EXPECT_NE(t.error.find(c.words), std::string::npos) << t.error;
    }
}

TEST(CgTranslate, SurvivesHostileInput)
{
    const std::string good = windLikeProgram;
    // Every truncation of a good program: unterminated structs, comments, bodies.
    for (size_t n = 0; n < good.size(); n++) {
        ExpectSurvives(good.substr(0, n));
    }
    ExpectSurvives(std::string(300000, '(') + std::string(300000, ')'));
    std::string casts;
    for (int i = 0; i < 100000; i++) {
        casts += "(float)";
    }
    ExpectSurvives("float4 main() : POSITION { return " + casts + "1; }");
    std::string calls = "float4 main() : POSITION { return ";
    for (int i = 0; i < 250; i++) {
        calls += "mul(";
    }
    ExpectSurvives(calls + "1");

    // 1 MiB of text: a long body of statements, then the same with garbage at the end.
    std::string big = "float4 main(float4 p : POSITION) : POSITION {\n";
    while (big.size() < (size_t(1) << 20)) {
        big += "  p = p * 1.0f + float4(0.5, frac(p.x), 0, 1); // x\n";
    }
    big += "  return p;\n}\n";
    CgTranslation t;
    EXPECT_TRUE(TranslateCgProgram(big, "wind.cg", "main", &t)) << t.error;
    ExpectSurvives(big + "\x7f\x80\xff");

    std::mt19937 random(1234);
    for (int round = 0; round < 300; round++) {
        std::string bytes(random() % 2000, '\0');
        for (char &c : bytes) {
            c = char(random() % 256);
        }
        ExpectSurvives(bytes);
    }
    // Token soup reaches deeper into the parser than raw bytes do.
    const char *words[] = {"struct", "appin", "{", "}", "(", ")", ";", ":", ",", "float4", "main", "uniform",
                           "POSITION", "mul", "x", "1.0", "=", "return", "vfconn", "(float3)", "-", ".", "[", "]"};
    for (int round = 0; round < 2000; round++) {
        std::string soup = "struct appin { float4 p : POSITION; }; ";
        for (int n = random() % 40; n > 0; n--) {
            soup += std::string(words[random() % (sizeof words / sizeof *words)]) + (random() % 4 ? " " : "\n");
        }
        ExpectSurvives(soup);
    }
}

TEST(GlslLog, LinePrefixesNameTheCgFile)
{
    EXPECT_EQ(RewriteGlslLog("0:12(5): error: `foo' undeclared\n", "wind.cg"), "wind.cg(12): error: `foo' undeclared");
    EXPECT_EQ(RewriteGlslLog("0(7) : error C1008: undefined variable \"x\"", "wind.cg"),
              "wind.cg(7) : error C1008: undefined variable \"x\"");
    EXPECT_EQ(RewriteGlslLog("ERROR: 0:3: 'x' : undeclared identifier\n", "a.cg"),
              "a.cg(3): error: 'x' : undeclared identifier");
    EXPECT_EQ(RewriteGlslLog("error: linking failed\n\n", "wind.cg"), "error: linking failed");
    // The program's words, not the shader's: types, renamed names, library functions, the entry.
    EXPECT_EQ(RewriteGlslLog("0:4(9): error: cannot convert vec3 to mat3x2 in cgx_entry\n"
                             "0:5(1): error: no matching function cgx_saturate(ivec2), mix, cgu_input, mat4\n\n",
                             "wind.cg", "vmain"),
              "wind.cg(4): error: cannot convert float3 to float3x2 in vmain\n"
              "wind.cg(5): error: no matching function saturate(int2), lerp, input, float4x4");
}

// cg_runtime_test.cpp -- the Cg runtime calls under GL: compiling wind.cg, errors, drawing, clean-up.
#include "cg/cg_runtime.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <epoxy/gl.h>
#include <sys/stat.h>

#include "tests/gl_fixture.h"

namespace {

const char *const windFile = HALMWIND_DATA_DIR "/wind.cg";

struct V3 {
    float x, y, z;
};

struct WindParameters {
    CGparameter zfeldpos, wind, sl, modelViewProj;
};

WindParameters FindWindParameters(CGprogram program)
{
    return WindParameters{cgGetNamedParameter(program, "IN.zfeldpos"), cgGetNamedParameter(program, "IN.wind"),
                          cgGetNamedParameter(program, "IN.sl"), cgGetNamedParameter(program, "ModelViewProj")};
}

class CgRuntime : public GlTest {
protected:
    void SetUp() override
    {
        GlTest::SetUp();
        if (cgGLGetLatestProfile(CG_GL_VERTEX) != CG_PROFILE_GLSLV) {
            GTEST_SKIP() << "this GL has no vertex shaders";
        }
        cgGetError();
        context = cgCreateContext();
    }

    void TearDown() override
    {
        cgGLDisableProfile(CG_PROFILE_GLSLV);
        cgDestroyContext(context);
    }

    static std::string WriteFile(const char *name, const std::string &text)
    {
        std::string path = testing::TempDir() + name;
        FILE *f = std::fopen(path.c_str(), "wb");
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
        return path;
    }

    // Creation must fail; returns the error text the user would see.
    std::string FailingCreate(const std::string &path, CGerror expected)
    {
        EXPECT_EQ(cgCreateProgramFromFile(context, CG_SOURCE, path.c_str(), CG_PROFILE_GLSLV, "main", nullptr),
                  nullptr);
        CGerror error = cgGetError();
        EXPECT_EQ(error, expected);
        EXPECT_EQ(cgGetError(), CG_NO_ERROR) << "cgGetError clears the error";
        return cgGetErrorString(error);
    }

    // A tilted perspective view of the field, so that a wrong matrix order shows.
    static void SetView()
    {
        glMatrixMode(GL_PROJECTION);
        glFrustum(-1.0, 1.0, -0.75, 0.75, 1.0, 40.0);
        glMatrixMode(GL_MODELVIEW);
        glTranslatef(0.0f, -0.5f, -4.5f);
        glRotatef(-60.0f, 1.0f, 0.0f, 0.0f);
        glRotatef(25.0f, 0.0f, 0.0f, 1.0f);
    }

    static std::vector<uint8_t> DrawFixed(const V3 world[3])
    {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glBegin(GL_TRIANGLES);
        glColor3f(0.9f, 0.6f, 0.2f);
        for (int i = 0; i < 3; i++) {
            glVertex3f(world[i].x, world[i].y, world[i].z);
        }
        glEnd();
        return ReadPixels();
    }

    // One triangle through wind.cg, its attributes set between glBegin and glEnd as the blades do.
    static std::vector<uint8_t> DrawWithProgram(const WindParameters &w, const V3 local[3], const float s[3],
                                                V3 foot, V3 wind)
    {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glBegin(GL_TRIANGLES);
        glColor3f(0.9f, 0.6f, 0.2f);
        cgGLSetParameter3f(w.zfeldpos, foot.x, foot.y, foot.z);
        cgGLSetParameter3f(w.wind, wind.x, wind.y, wind.z);
        for (int i = 0; i < 3; i++) {
            cgGLSetParameter1f(w.sl, s[i]);
            glVertex3f(local[i].x, local[i].y, local[i].z);
        }
        glEnd();
        return ReadPixels();
    }

    void DrawBentVertices(const std::string &path);

    CGcontext context = nullptr;
};

std::string ReadText(const char *path)
{
    std::string text;
    if (FILE *f = std::fopen(path, "rb")) {
        char buffer[4096];
        for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, f)) > 0;) {
            text.append(buffer, got);
        }
        std::fclose(f);
    }
    return text;
}

// The bend as the processor's path computes it, in float.
V3 Bend(V3 p, V3 wind, V3 foot, float s)
{
    const float pi = 3.1415927f;
    float k = 1.0f;
    if (wind.z == 2.0f) {
        float ex = foot.x - wind.x - 5.12f;
        float ey = foot.y - wind.y - 5.12f;
        k = 15.0f / std::fmax(std::sqrt(ex * ex + ey * ey), 1e-6f);
    }
    float ux = wind.x * k;
    float uy = wind.y * k;
    float L = std::sqrt(ux * ux + uy * uy);
    float theta = (s + s) * pi / (2.0f * pi * L);
    float r = (L - std::cos(theta) * L) / L;
    return V3{ux * r + p.x, uy * r + p.y, std::fmax(std::sin(theta) * L, 0.0f)};
}

int CountLitPixels(const std::vector<uint8_t> &rgb)
{
    int lit = 0;
    for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
        lit += rgb[i] || rgb[i + 1] || rgb[i + 2];
    }
    return lit;
}

V3 ToWorld(V3 bent, V3 foot)
{
    return V3{bent.x + foot.x - 5.12f, bent.y + foot.y - 5.12f, bent.z + foot.z};
}

}  // namespace

TEST_F(CgRuntime, CompilesWindProgramAndFindsItsParameters)
{
    CGprogram program = cgCreateProgramFromFile(context, CG_SOURCE, windFile, CG_PROFILE_GLSLV, "main", nullptr);
    ASSERT_NE(program, nullptr) << cgGetErrorString(cgGetError());
    cgGLLoadProgram(program);
    EXPECT_EQ(cgGetError(), CG_NO_ERROR);

    const char *names[] = {"IN.position", "IN.color", "IN.zfeldpos", "IN.wind", "IN.sl", "ModelViewProj"};
    std::vector<CGparameter> found;
    for (const char *name : names) {
        CGparameter p = cgGetNamedParameter(program, name);
        EXPECT_NE(p, nullptr) << name;
        EXPECT_EQ(std::count(found.begin(), found.end(), p), 0) << name << " shares a handle";
        found.push_back(p);
    }
    EXPECT_EQ(cgGetNamedParameter(program, "IN.nothing"), nullptr);
    EXPECT_EQ(cgGetNamedParameter(program, "zfeldpos"), nullptr);
    EXPECT_EQ(cgGetError(), CG_NO_ERROR);
}

TEST_F(CgRuntime, NullHandlesAreHarmless)
{
    cgGLSetParameter1f(nullptr, 1.0f);
    EXPECT_EQ(cgGetError(), CG_INVALID_PARAM_HANDLE_ERROR);
    cgGLSetParameter3f(nullptr, 1.0f, 2.0f, 3.0f);
    cgGLSetStateMatrixParameter(nullptr, CG_GL_MODELVIEW_PROJECTION_MATRIX, CG_GL_MATRIX_IDENTITY);
    EXPECT_EQ(cgGetError(), CG_INVALID_PARAM_HANDLE_ERROR);
    EXPECT_EQ(cgGetError(), CG_NO_ERROR);
    cgDestroyContext(nullptr);
    EXPECT_EQ(cgGetNamedParameter(nullptr, "IN.sl"), nullptr);
    EXPECT_EQ(cgGetError(), CG_INVALID_PROGRAM_HANDLE_ERROR);
}

TEST_F(CgRuntime, FileErrorsNameTheFileAndTheReason)
{
    const std::string missing = testing::TempDir() + "no_such.cg";
    EXPECT_EQ(FailingCreate(missing, CG_FILE_READ_ERROR),
              "Cannot read the file '" + missing + "': No such file or directory");

    const std::string directory = testing::TempDir() + "a_directory.cg";
    mkdir(directory.c_str(), 0700);
    EXPECT_EQ(FailingCreate(directory, CG_FILE_READ_ERROR),
              "Cannot read the file '" + directory + "': Is a directory");

    const std::string empty = WriteFile("empty.cg", "");
    EXPECT_NE(FailingCreate(empty, CG_FILE_READ_ERROR).find("empty"), std::string::npos);
}

TEST_F(CgRuntime, CompileErrorsNameTheCgLine)
{
    const std::string head = "struct appin { float4 position : POSITION; };\n"
                             "struct vfconn { float4 HPos : POSITION; };\n"
                             "vfconn main(appin IN)\n";
    // Caught by the translation.
    std::string path = WriteFile("broken1.cg", head + "{ vfconn OUT; OUT.HPos = IN.position @ 2; return OUT; }\n");
    std::string text = FailingCreate(path, CG_COMPILER_ERROR);
    EXPECT_EQ(text.compare(0, 31, "The compile returned an error.\n"), 0) << text;
    EXPECT_NE(text.find(path + "(4): error:"), std::string::npos) << text;

    // Caught by the GLSL compiler, reported on the Cg line; the comment makes the shader use #line.
    path = WriteFile("broken2.cg", head + "{\n    vfconn OUT;\n    /* a\n\n\n\n\n\n comment */\n"
                                          "    OUT.HPos = IN.position;\n    OUT.HPos.x += undeclaredThing;\n"
                                          "    return OUT;\n}\n");
    text = FailingCreate(path, CG_COMPILER_ERROR);
    EXPECT_EQ(text.compare(0, 31, "The compile returned an error.\n"), 0) << text;
    EXPECT_NE(text.find(path + "(14)"), std::string::npos) << text;
    EXPECT_NE(text.find("undeclaredThing"), std::string::npos) << text;

    // Caught by the GLSL compiler: told in Cg's types, on the Cg line, without a trailing empty line.
    path = WriteFile("broken3.cg", head + "{\n    vfconn OUT;\n    OUT.HPos = float4(IN.position, 1.0, 2.0);\n"
                                          "    return OUT;\n}\n");
    text = FailingCreate(path, CG_COMPILER_ERROR);
    EXPECT_NE(text.find(path + "(6)"), std::string::npos) << text;
    EXPECT_NE(text.find("float4"), std::string::npos) << text;
    EXPECT_EQ(text.find("vec4"), std::string::npos) << text;
    EXPECT_NE(text.back(), '\n') << text;
}

TEST_F(CgRuntime, NormalAndSecondaryColourInputsSetTheirGlAttributes)
{
    const std::string path = WriteFile("lit.cg", "struct vin { float4 p : POSITION; float3 n : NORMAL; "
                                                 "float3 c1 : COLOR1; };\n"
                                                 "float4 main(vin IN) : POSITION { return IN.p + float4(IN.n + IN.c1, 0); }\n");
    CGprogram program = cgCreateProgramFromFile(context, CG_SOURCE, path.c_str(), CG_PROFILE_GLSLV, "main", nullptr);
    ASSERT_NE(program, nullptr) << cgGetErrorString(cgGetError());
    cgGLSetParameter3f(cgGetNamedParameter(program, "IN.n"), 0.25f, 0.5f, 0.75f);
    cgGLSetParameter3f(cgGetNamedParameter(program, "IN.c1"), 0.125f, 0.375f, 0.625f);
    float normal[4] = {};
    float secondary[4] = {};
    glGetFloatv(GL_CURRENT_NORMAL, normal);
    glGetFloatv(GL_CURRENT_SECONDARY_COLOR, secondary);
    EXPECT_EQ(normal[0], 0.25f);
    EXPECT_EQ(normal[2], 0.75f);
    EXPECT_EQ(secondary[1], 0.375f);
    EXPECT_EQ(secondary[2], 0.625f);
    cgGLSetParameter1f(cgGetNamedParameter(program, "IN.n"), 0.5f);
    glGetFloatv(GL_CURRENT_NORMAL, normal);
    EXPECT_EQ(normal[0], 0.5f);
    EXPECT_EQ(cgGetError(), CG_NO_ERROR);
}

TEST_F(CgRuntime, FootVerticesLandWhereTheFixedPipelinePutsThem)
{
    SetView();
    const V3 local[3] = {{-0.8f, 0.0f, 0.0f}, {0.8f, 0.0f, 0.0f}, {0.1f, 1.5f, 0.0f}};
    const float s[3] = {0.0f, 0.0f, 0.0f};
    const V3 foot{6.0f, 4.5f, 0.25f};
    V3 world[3];
    for (int i = 0; i < 3; i++) {
        world[i] = ToWorld(local[i], foot);
    }
    std::vector<uint8_t> expected = DrawFixed(world);
    ASSERT_GT(CountLitPixels(expected), 3000);

    CGprogram program = cgCreateProgramFromFile(context, CG_SOURCE, windFile, CG_PROFILE_GLSLV, "main", nullptr);
    ASSERT_NE(program, nullptr) << cgGetErrorString(cgGetError());
    WindParameters w = FindWindParameters(program);
    // The matrix is set before the program is bound: it must be uploaded at the bind.
    cgGLSetStateMatrixParameter(w.modelViewProj, CG_GL_MODELVIEW_PROJECTION_MATRIX, CG_GL_MATRIX_IDENTITY);
    cgGLEnableProfile(CG_PROFILE_GLSLV);
    cgGLBindProgram(program);
    std::vector<uint8_t> drawn = DrawWithProgram(w, local, s, foot, V3{1.5f, 0.5f, 0.0f});
    EXPECT_EQ(cgGetError(), CG_NO_ERROR);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    EXPECT_LE(CountDifferentPixels(expected, drawn, 2), 40);
    if (HasFailure()) {
        WritePpm("cg_foot_expected.ppm", expected, 800, 600);
        WritePpm("cg_foot_drawn.ppm", drawn, 800, 600);
    }
}

// The shipped program rewritten with what the translator accepts beyond it: macros and
// conditionals, a global brace-initialised array, implicit truncation and an int spread.
std::string Rewritten(int variant)
{
    std::string text = ReadText(windFile);
    auto replace = [&text](const std::string &from, const std::string &to) {
        size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        if (at != std::string::npos) {
            text.replace(at, from.size(), to);
        }
    };
    if (variant == 1) {
        text = "#define PI 3.1415927\n#define SQ(a) ((a) * (a))\n#ifndef PI\n#error no PI\n#endif\n" + text;
        replace("const float pi = 3.1415927;", "const float pi = PI;");
        replace("float3 p = IN.position.xyz;", "float3 p = IN.position;");
        replace("sqrt(ex * ex + ey * ey)", "sqrt(SQ(ex) + SQ(ey))");
    } else {
        text = "static const float fieldShift[] = {-5.12, -5.12, 0};\n" + text;
        replace("float k = 1.0;", "float k = 1;");
        replace("bent = float3(p.x, p.y, 0.0);", "bent.z = 0;");
        replace("float3(-5.12, -5.12, 0.0)", "float3(fieldShift[0], fieldShift[1], fieldShift[2])");
    }
    return text;
}

TEST_F(CgRuntime, BentVerticesFollowTheProcessorFormula)
{
    for (int variant = 0; variant < 3; variant++) {
        SCOPED_TRACE(variant == 0 ? "the shipped wind.cg" : "a rewrite of wind.cg, variant " + std::to_string(variant));
        DrawBentVertices(variant == 0 ? std::string(windFile) : WriteFile("wind_rewritten.cg", Rewritten(variant)));
    }
}

void CgRuntime::DrawBentVertices(const std::string &path)
{
    SetView();
    CGprogram program = cgCreateProgramFromFile(context, CG_SOURCE, path.c_str(), CG_PROFILE_GLSLV, "main", nullptr);
    ASSERT_NE(program, nullptr) << cgGetErrorString(cgGetError());
    WindParameters w = FindWindParameters(program);
    cgGLEnableProfile(CG_PROFILE_GLSLV);
    cgGLBindProgram(program);
    // Set while the program is in use: uploaded at once.
    cgGLSetStateMatrixParameter(w.modelViewProj, CG_GL_MODELVIEW_PROJECTION_MATRIX, CG_GL_MATRIX_IDENTITY);

    const V3 local[3] = {{-0.3f, 0.0f, 0.0f}, {0.3f, 0.0f, 0.0f}, {0.0f, 0.1f, 1.8f}};
    const float s[3] = {0.0f, 0.0f, 1.6f};
    const struct {
        V3 foot;
        V3 wind;
    } cases[] = {{{6.0f, 4.5f, 0.0f}, {1.5f, 0.5f, 0.0f}}, {{3.0f, 4.0f, 0.1f}, {0.5f, 0.2f, 2.0f}}};
    for (const auto &c : cases) {
        cgGLBindProgram(program);
        std::vector<uint8_t> drawn = DrawWithProgram(w, local, s, c.foot, c.wind);
        glUseProgram(0);
        V3 world[3];
        for (int i = 0; i < 3; i++) {
            world[i] = ToWorld(s[i] == 0.0f ? V3{local[i].x, local[i].y, 0.0f} : Bend(local[i], c.wind, c.foot, s[i]),
                               c.foot);
        }
        std::vector<uint8_t> expected = DrawFixed(world);
        ASSERT_GT(CountLitPixels(expected), 1000);
        EXPECT_LE(CountDifferentPixels(expected, drawn, 2), 40) << "wind mode " << c.wind.z;
    }
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

TEST_F(CgRuntime, DestroyingContextsReleasesGlObjects)
{
    if (epoxy_gl_version() < 20) {
        GTEST_SKIP() << "glIsProgram and glIsShader need GL 2.0";
    }
    for (int round = 0; round < 20; round++) {
        CGcontext own = cgCreateContext();
        CGprogram program = cgCreateProgramFromFile(own, CG_SOURCE, windFile, CG_PROFILE_GLSLV, "main", nullptr);
        ASSERT_NE(program, nullptr) << cgGetErrorString(cgGetError());
        GLuint id = cgGLGetProgramID(program);
        GLuint shaders[4] = {};
        GLsizei count = 0;
        glGetAttachedShaders(id, 4, &count, shaders);
        // The vertex shader, and the fragment shader that passes the colour on.
        ASSERT_EQ(count, 2);
        GLint types[2] = {};
        glGetShaderiv(shaders[0], GL_SHADER_TYPE, &types[0]);
        glGetShaderiv(shaders[1], GL_SHADER_TYPE, &types[1]);
        EXPECT_EQ(types[0] + types[1], GL_VERTEX_SHADER + GL_FRAGMENT_SHADER);
        // Destroyed while in use: it must still go, and stop being used.
        cgGLBindProgram(program);
        cgDestroyContext(own);
        EXPECT_FALSE(glIsProgram(id));
        EXPECT_FALSE(glIsShader(shaders[0]));
        EXPECT_FALSE(glIsShader(shaders[1]));
        GLint current = -1;
        glGetIntegerv(GL_CURRENT_PROGRAM, &current);
        EXPECT_EQ(current, 0);
    }
    // The runtime forgot the destroyed program: enabling the profile uses nothing.
    cgGLEnableProfile(CG_PROFILE_GLSLV);
    GLint current = -1;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ(current, 0);
    EXPECT_EQ(cgGetError(), CG_NO_ERROR);
}

TEST_F(CgRuntime, UniformArraysStructsBoolsAndMatricesAreSetByTheirNames)
{
    const std::string path = WriteFile("uniforms.cg",
                                       "struct Light { float3 colour; float gain; };\n"
                                       "uniform float3 Offsets[2];\nuniform Light Lamp;\nbool Flip;\nfloat3x4 M;\n"
                                       "float4 main(float4 p : POSITION) : POSITION\n"
                                       "{\n    float3 v = Offsets[1] + Lamp.colour * Lamp.gain + mul(M, p);\n"
                                       "    return float4(Flip ? -v : v, 1);\n}\n");
    CGprogram program = cgCreateProgramFromFile(context, CG_SOURCE, path.c_str(), CG_PROFILE_GLSLV, "main", nullptr);
    ASSERT_NE(program, nullptr) << cgGetErrorString(cgGetError());
    cgGLLoadProgram(program);
    cgGLEnableProfile(CG_PROFILE_GLSLV);
    cgGLBindProgram(program);
    const float rows[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    cgGLSetParameter3f(cgGetNamedParameter(program, "Offsets[1]"), 1, 2, 3);
    cgGLSetParameter4f(cgGetNamedParameter(program, "Lamp.colour"), 4, 5, 6, 7);
    cgGLSetParameter1f(cgGetNamedParameter(program, "Lamp.gain"), 0.5f);
    cgGLSetParameter1f(cgGetNamedParameter(program, "Flip"), 1);
    cgGLSetMatrixParameterfr(cgGetNamedParameter(program, "M"), rows);
    EXPECT_EQ(cgGetError(), CG_NO_ERROR);

    const GLuint id = cgGLGetProgramID(program);
    float v[12] = {};
    glGetUniformfv(id, glGetUniformLocation(id, "Offsets[1]"), v);
    EXPECT_EQ(std::vector<float>(v, v + 3), std::vector<float>({1, 2, 3}));
    glGetUniformfv(id, glGetUniformLocation(id, "Lamp.colour"), v);
    EXPECT_EQ(std::vector<float>(v, v + 3), std::vector<float>({4, 5, 6}));
    glGetUniformfv(id, glGetUniformLocation(id, "Lamp.gain"), v);
    EXPECT_EQ(v[0], 0.5f);
    GLint flip = 0;
    glGetUniformiv(id, glGetUniformLocation(id, "Flip"), &flip);
    EXPECT_EQ(flip, 1);
    // Held transposed: Cg's rows are the shader's columns, so GL gives them back in row order.
    glGetUniformfv(id, glGetUniformLocation(id, "M"), v);
    EXPECT_EQ(std::vector<float>(v, v + 12), std::vector<float>(rows, rows + 12));

    cgGLSetParameter3f(cgGetNamedParameter(program, "M"), 1, 2, 3);
    EXPECT_EQ(cgGetError(), CG_INVALID_PARAMETER_ERROR);
    cgGLSetMatrixParameterfr(cgGetNamedParameter(program, "Flip"), rows);
    EXPECT_EQ(cgGetError(), CG_INVALID_PARAMETER_ERROR);
    EXPECT_EQ(cgGetNamedParameter(program, "Offsets[2]"), nullptr);
}

// Every kind of value the runtime uploads, set through the runtime's own calls and read back
// from GL: ints and bools of every width, every matrix shape, each element of an array, and
// the members of structs in an array.
TEST_F(CgRuntime, EveryUniformKindIsUploadedByTheRuntime)
{
    const std::string path = WriteFile(
        "every_uniform.cg",
        "struct Light { float3 colour; int2 mask; bool on; };\n"
        "int I1; int2 I2; int3 I3; int4 I4; bool B1; bool2 B2; bool3 B3; bool4 B4; float F1; float2 F2;\n"
        "float2x2 M22; float2x3 M23; float2x4 M24; float3x2 M32; float3x3 M33; float3x4 M34;\n"
        "float4x2 M42; float4x3 M43; float4x4 M44; float W[3]; uniform Light Lamps[2];\n"
        "float4 main(float4 p : POSITION) : POSITION\n{\n"
        "    float s = I1 + I2.y + I3.z + I4.w + B1 + B2.y + B3.z + B4.w + F1 + F2.y + W[0] + W[1] + W[2];\n"
        "    s += Lamps[0].colour.x + Lamps[1].colour.z + Lamps[0].mask.y + Lamps[1].mask.x + Lamps[0].on + Lamps[1].on;\n"
        "    float4 v = mul(M24, p).xyxy + mul(M34, p).xyzx + mul(M44, p) + float4(mul(M22, p.xy), mul(M32, p.xy).xy);\n"
        "    v.xyz += mul(M23, p.xyz).xyx + mul(M33, p.xyz) + mul(M43, p.xyz).xyz + mul(M42, p.xy).xyz;\n"
        "    return v * s;\n}\n");
    CGprogram program = cgCreateProgramFromFile(context, CG_SOURCE, path.c_str(), CG_PROFILE_GLSLV, "main", nullptr);
    ASSERT_NE(program, nullptr) << cgGetErrorString(cgGetError());
    cgGLLoadProgram(program);
    cgGLEnableProfile(CG_PROFILE_GLSLV);
    cgGLBindProgram(program);
    const struct {
        const char *name;
        int set;  // the values given: 1, 3 or 4 through cgGLSetParameter*, 0 a matrix row by row
        std::vector<float> expected;
        bool integral;  // read back as ints
    } values[] = {
        {"I1", 1, {-7}, true},           {"I2", 3, {3, -4}, true},      {"I3", 3, {5, 6, -7}, true},
        {"I4", 4, {1, -2, 3, -4}, true}, {"B1", 1, {1}, true},          {"B2", 3, {0, 1}, true},
        {"B3", 3, {1, 0, 1}, true},      {"B4", 4, {0, 1, 1, 0}, true}, {"F1", 1, {0.5f}, false},
        {"F2", 3, {1.5f, -2.5f}, false}, {"W[0]", 1, {10}, false},      {"W[1]", 1, {11}, false},
        {"W[2]", 1, {12}, false},        {"Lamps[0].colour", 3, {1, 2, 3}, false},
        {"Lamps[1].colour", 4, {4, 5, 6}, false},  {"Lamps[0].mask", 3, {7, 8}, true},
        {"Lamps[1].mask", 3, {-9, 10}, true},      {"Lamps[0].on", 1, {0}, true},
        {"Lamps[1].on", 1, {1}, true},
    };
    const char *const matrices[] = {"M22", "M23", "M24", "M32", "M33", "M34", "M42", "M43", "M44"};
    float rows[16];
    for (int k = 0; k < 16; k++) {
        rows[k] = float(k + 1) * (k % 2 ? -1.0f : 1.0f);
    }
    for (const auto &v : values) {
        CGparameter param = cgGetNamedParameter(program, v.name);
        ASSERT_NE(param, nullptr) << v.name;
        const std::vector<float> &e = v.expected;
        if (v.set == 1) {
            cgGLSetParameter1f(param, e[0]);
        } else if (v.set == 3) {
            cgGLSetParameter3f(param, e[0], e.size() > 1 ? e[1] : 99, e.size() > 2 ? e[2] : 99);
        } else {
            cgGLSetParameter4f(param, e[0], e[1], e[2], e.size() > 3 ? e[3] : 99);
        }
    }
    for (const char *name : matrices) {
        cgGLSetMatrixParameterfr(cgGetNamedParameter(program, name), rows);
    }
    EXPECT_EQ(cgGetError(), CG_NO_ERROR);

    const GLuint id = cgGLGetProgramID(program);
    for (const auto &v : values) {
        const GLint at = glGetUniformLocation(id, v.name);
        ASSERT_NE(at, -1) << v.name;
        float got[4] = {};
        GLint gotInt[4] = {};
        if (v.integral) {
            glGetUniformiv(id, at, gotInt);
            std::copy(gotInt, gotInt + 4, got);
        } else {
            glGetUniformfv(id, at, got);
        }
        EXPECT_EQ(std::vector<float>(got, got + v.expected.size()), v.expected) << v.name;
    }
    // Held transposed: Cg's rows are the shader's columns, so GL gives them back in row order.
    for (const char *name : matrices) {
        const int size = (name[1] - '0') * (name[2] - '0');
        float got[16] = {};
        glGetUniformfv(id, glGetUniformLocation(id, name), got);
        EXPECT_EQ(std::vector<float>(got, got + size), std::vector<float>(rows, rows + size)) << name;
    }
}

// cg_programs_test.cpp -- ordinary Cg vertex programs run under GL, their outputs captured with
// transform feedback and compared with the numbers Cg's rules give.
#include <epoxy/gl.h>

#include <string>
#include <vector>

#include "cg/cg_translate.h"
#include "tests/cg_feedback.h"
#include "tests/gl_fixture.h"

namespace {

struct Input {
    float position[4];
    float normal[3];
    float secondary[3];
    float texcoord[4];  // the first generic attribute, TEXCOORD0
};

class CgPrograms : public GlTest {
protected:
    void SetUp() override
    {
        GlTest::SetUp();
        if (epoxy_gl_version() < 30) {
            GTEST_SKIP() << "this GL has no transform feedback";
        }
    }

    // POSITION and TEXCOORD0 of each vertex, 8 floats a vertex; empty with *why set on failure.
    static std::vector<float> Run(const std::string &source, const std::vector<Input> &vertices, std::string *why)
    {
        CgTranslation translation;
        if (!TranslateCgProgram(source, "test.cg", "main", &translation)) {
            *why = translation.error;
            return {};
        }
        GLuint program = LinkFeedbackProgram(translation.glsl, TranslationAttributes(translation),
                                             {"gl_Position", "gl_TexCoord[0]"}, why);
        if (!program) {
            *why = RewriteGlslLog(*why, "test.cg") + "\n" + translation.glsl;
            return {};
        }
        std::vector<float> out = CaptureFeedback(program, int(vertices.size()), [&](int i) {
            const Input &v = vertices[size_t(i)];
            glNormal3fv(v.normal);
            glSecondaryColor3fv(v.secondary);
            glMultiTexCoord4fv(GL_TEXTURE0, v.texcoord);
            glVertex4fv(v.position);
        });
        glDeleteProgram(program);
        return out;
    }

    static void ExpectOutputs(const char *source, const std::vector<Input> &vertices,
                              const std::vector<std::vector<float>> &expected)
    {
        std::string why;
        std::vector<float> got = Run(source, vertices, &why);
        ASSERT_EQ(got.size(), expected.size() * 8) << why;
        for (size_t v = 0; v < expected.size(); v++) {
            for (size_t k = 0; k < 8; k++) {
                EXPECT_NEAR(got[v * 8 + k], expected[v][k], 1e-4f) << "vertex " << v << ", output " << k;
            }
        }
    }
};

const char *const outputs = "struct vout { float4 pos : POSITION; float4 tc : TEXCOORD0; };\n";

}  // namespace

TEST_F(CgPrograms, MatricesMultiplyAsCgDoes)
{
    const std::string source = std::string(outputs) + R"(
vout main(float4 p : POSITION, float4 a : TEXCOORD0)
{
    vout o;
    float2x2 A = float2x2(1, 2, 3, 4);
    float2x2 B = float2x2(a.x, a.y, a.z, a.w);
    float2x2 C = A * B;        // element by element
    float2x2 D = mul(A, B);    // the matrix product
    A *= 2;
    o.pos = float4(C[0], C[1]);
    o.tc = float4(D[0], mul(A, float2(1, 1)) + p.xy);
    return o;
}
)";
    // Cg: A * B = (5, 12, 21, 32); mul(A, B) row 0 = (19, 22); mul(2A, (1, 1)) = (6, 14).
    ExpectOutputs(source.c_str(), {{{0, 0, 0, 1}, {0, 0, 1}, {0, 0, 0}, {5, 6, 7, 8}}},
                  {{5, 12, 21, 32, 19, 22, 6, 14}});
}

TEST_F(CgPrograms, PreprocessorArraysAndCgConversions)
{
    const std::string source = "\xEF\xBB\xBF// saved by an editor that writes a byte-order mark\n"
                               "#define N 3\n#define SCALE(x) ((x) * 2.0)\n"
                               "#if N == 3 && defined(SCALE)\n"
                               "static const float w[N] = {0.5, 1.0, 1.5};\n"
                               "#else\n#error N must be 3\n#endif\n" +
                               std::string(outputs) + R"(
float Weigh(float4 a, out int used)
{
    float sum = 0;
    used = 0;
    for (int i = 0; i < N; i++) {
        sum += w[i] * a[i];
        used++;
    }
    return sum;
}
vout main(float4 p : POSITION, float4 a : TEXCOORD0)
{
    vout o;
    float3 q = p;                      // truncated to p.xyz
    float3 v = 0;                      // spread over the vector
    float2 pairs[] = {{1, 2}, {3, 4}};
    int used;
    float sum = Weigh(a, used);
    v += q * SCALE(1);
    int r = 7 % 3;
    o.pos = float4(v, sum + used);
    o.tc = float4(pairs[1].y, a.w % 2.0, -a.w % 2.0, r);
    return o;
}
)";
    // v = 2 q; sum = 0.5 * 2 + 1 * 4 + 1.5 * 6 = 14 plus 3 used; '%' keeps the sign of its left side.
    ExpectOutputs(source.c_str(), {{{1, 2, 3, 9}, {0, 0, 1}, {0, 0, 0}, {2, 4, 6, 7.5f}}},
                  {{2, 4, 6, 17, 4, 1.5f, -1.5f, 1}});
}

TEST_F(CgPrograms, LibraryNormalAndSecondaryColour)
{
    const std::string source = std::string(outputs) + R"(
struct vin { float4 p : POSITION; float3 n : NORMAL; float4 c1 : COLOR1; };
vout main(vin IN)
{
    vout o;
    float4 l = lit(dot(IN.n, float3(0, 0, 1)), 0.5, 2);
    float3 z = float3(0, IN.n.y, 0);
    bool3 far = IN.p.xyz > 1.5;
    o.pos = float4(l.yz, any(z) ? 1 : 0, all(z) ? 1 : 0) + (all(far) ? 10 : 0);
    o.tc = float4(IN.c1.xyz + IN.n, determinant(float2x2(IN.p.xy, 1, 1)));
    return o;
}
)";
    // lit(0.6, 0.5, 2) = (1, 0.6, 0.25, 1); the second vertex has all of p above 1.5.
    ExpectOutputs(source.c_str(),
                  {{{1, 2, 3, 1}, {0.25f, 0.5f, 0.6f}, {0.2f, 0.4f, 0.6f}, {0, 0, 0, 0}},
                   {{2, 2, 2, 1}, {0, 0, -1}, {0, 0, 0}, {0, 0, 0, 0}}},
                  {{0.6f, 0.25f, 1, 0, 0.45f, 0.9f, 1.2f, -1}, {10, 10, 10, 10, 0, 0, -1, 0}});
}

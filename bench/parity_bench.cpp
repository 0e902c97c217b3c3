// parity_bench.cpp -- the largest distance between the processor's bend (DisplaceVertex) and the
// vertex program's, every bent vertex of the first meadow run through data/wind.cg.
#include <cmath>
#include <fstream>
#include <sstream>
#include <vector>

#include <epoxy/gl.h>

#include "bench/bench.h"
#include "cg/cg_translate.h"
#include "grass/blades.h"
#include "grass/grass_field.h"
#include "tests/cg_feedback.h"

namespace {

constexpr int BentPerBlade = 7;
constexpr int BentPerFrame = BladeCount * BentPerBlade;

// The vertex program as the runtime builds it from data/wind.cg, with gl_Position captured.
struct CaptureProgram {
    GLuint program;
    GLint modelViewProj;
    GLenum zfeldpos, wind, sl;  // the texture units of the three inputs
};

bool BuildParityProgram(CaptureProgram *c, std::string *why)
{
    std::ifstream file("wind.cg");
    std::stringstream text;
    text << file.rdbuf();
    CgTranslation translation;
    if (!file || !TranslateCgProgram(text.str(), "wind.cg", "main", &translation)) {
        *why = "wind.cg could not be read or translated: " + translation.error;
        return false;
    }
    if (epoxy_gl_version() < 30 && !epoxy_has_gl_extension("GL_EXT_transform_feedback")) {
        *why = "this GL has no transform feedback";
        return false;
    }
    for (const CgVaryingInput &input : translation.inputs) {
        GLuint *index = input.name == "IN.zfeldpos" ? &c->zfeldpos
                        : input.name == "IN.wind"   ? &c->wind
                        : input.name == "IN.sl"     ? &c->sl
                                                    : nullptr;
        if (index && input.source == CgInputSource::TexCoord) {
            *index = GLuint(GL_TEXTURE0 + input.texUnit);
        }
    }
    c->program = LinkFeedbackProgram(translation.glsl, TranslationAttributes(translation), {"gl_Position"}, why);
    if (!c->program) {
        *why = RewriteGlslLog(*why, "wind.cg");
        return false;
    }
    c->modelViewProj = glGetUniformLocation(c->program, "ModelViewProj");
    return true;
}

// One record per bent vertex.
struct ParityVertex {
    Vec3 position;
    Vec3 foot;
    Vec3 wind;
    float sl;
};
ParityVertex parityVertices[BentPerFrame];
Vec3 parityReference[BentPerFrame];
std::vector<float> parityCaptured;

// Fills the vertices of the meadow under the current wind, with DisplaceVertex's bend of each.
void PrepareParityVertices()
{
    const GrassField &g = grassField;
    const BladeVertex bent[BentPerBlade] = {T, S2, L2, R2, S1, L1, R1};
    const float modeNumber = float(windSettings.mode);
    int n = 0;
    for (int i = 0; i < BladeCount; i++) {
        Vec3 v[BladeVertexCount];
        BuildBladeVertices(g.leanX[i], g.leanY[i], g.heightExtra[i], g.segmentLeanScale, v);
        const BendFactors f = BladeBendFactors(g.heightExtra[i]);
        const Vec3 w = BladeWindVector(i);
        for (BladeVertex k : bent) {
            const float s = k == T ? f.tip : k == S1 || k == L1 || k == R1 ? f.row1 : f.row2;
            parityVertices[n] = ParityVertex{v[k], Vec3{g.baseX[i], g.baseY[i], g.baseHeight[i]},
                                             Vec3{w.x, w.y, modeNumber}, s};
            parityReference[n] = DisplaceVertex(v[k], w, i, s);
            n++;
        }
    }
}

// Runs every vertex through the program; the count of points captured whole.
int CaptureProgramOutput(const CaptureProgram &c)
{
    glUseProgram(c.program);
    // With an identity matrix gl_Position is the bent vertex plus the foot and the field shift.
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    glUniformMatrix4fv(c.modelViewProj, 1, GL_FALSE, identity);
    parityCaptured = CaptureFeedback(c.program, BentPerFrame, [&](int n) {
        const ParityVertex &v = parityVertices[n];
        glMultiTexCoord3f(c.zfeldpos, v.foot.x, v.foot.y, v.foot.z);
        glMultiTexCoord3f(c.wind, v.wind.x, v.wind.y, v.wind.z);
        glMultiTexCoord1f(c.sl, v.sl);
        glVertex3f(v.position.x, v.position.y, v.position.z);
    });
    // The capture leaves a vertex it never wrote at its marker value.
    int written = 0;
    while (written < BentPerFrame && parityCaptured[size_t(written) * 4 + 3] != -12345.0f) {
        written++;
    }
    return written;
}

// The largest distance between the two bends; NaN anywhere makes it NaN.
double LargestParityDistance()
{
    double largest = 0.0;
    for (int n = 0; n < BentPerFrame; n++) {
        const float *out = &parityCaptured[n * 4];
        const Vec3 &foot = parityVertices[n].foot;
        const Vec3 &cpu = parityReference[n];
        // The shift and the foot are taken off in double; the capture's own rounding stays.
        const double dx = double(out[0]) - foot.x + 5.12 - cpu.x;
        const double dy = double(out[1]) - foot.y + 5.12 - cpu.y;
        const double dz = double(out[2]) - foot.z - cpu.z;
        const double d = std::sqrt(dx * dx + dy * dy + dz * dz);
        if (!(d <= largest)) {
            largest = d;
        }
    }
    return largest;
}

void Parity(benchmark::State &state, WindMode mode, bool strongest)
{
    if (const char *failure = OpenScene()) {
        state.SkipWithError(failure);
        return;
    }
    static CaptureProgram capture;
    static std::string why;
    if (!capture.program && (!why.empty() || !BuildParityProgram(&capture, &why))) {
        state.SkipWithError(why.c_str());
        return;
    }
    MakeFirstMeadow();
    SetWind(VertexShader, mode, WindExponent(strongest));
    PrepareParityVertices();
    double largest = 0.0;
    int written = 0;
    for (auto _ : state) {
        written = CaptureProgramOutput(capture);
        largest = LargestParityDistance();
    }
    if (written != BentPerFrame) {
        state.SkipWithError("the transform feedback capture failed or came back short");
        return;
    }
    state.counters["maxDistance"] = largest;
}

}  // namespace

void RegisterParityBenchmarks()
{
    const char *windNames[2] = {"initialWind", "strongestWind"};
    for (int strongest = 0; strongest <= 1; strongest++) {
        for (int m = Steady; m <= DummyBlast; m++) {
            benchmark::RegisterBenchmark(Name("Parity", modeNames[m], windNames[strongest]).c_str(), Parity,
                                         WindMode(m), strongest == 1)
                ->Unit(benchmark::kMillisecond)
                ->Iterations(1);
        }
    }
}

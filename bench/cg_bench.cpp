// cg_bench.cpp -- translating Cg: the shipped wind.cg at every start, and long programs, whose
// time must grow linearly with their length.
#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>

#include "bench/bench.h"
#include "cg/cg_translate.h"

namespace {

// A vertex program of about `lines` lines as users write them: helper functions of ten lines,
// each calling the one before, with macros, vectors, library calls and a branch.
std::string GenerateCgProgram(int lines)
{
    std::string text = "#define SCALE(x) ((x) * 0.5)\n"
                       "struct vout { float4 pos : POSITION; float4 tc : TEXCOORD0; };\n";
    const int functions = std::max(1, (lines - 8) / 10);
    for (int k = 0; k < functions; k++) {
        const std::string n = std::to_string(k);
        text += "float4 Step" + n + "(float4 v, float s)\n{\n"
                "    float4 r = v * s + float4(0.5, 1, 2, " + n + ");\n"
                "    r.xy -= r.zw * SCALE(s);\n"
                "    r = lerp(r, v, saturate(s));\n"
                "    if (r.x > s) {\n        r.y += sin(r.z) * 2;\n    }\n" +
                (k ? "    return Step" + std::to_string(k - 1) + "(r, s);\n" : std::string("    return r;\n")) + "}\n";
    }
    text += "vout main(float4 p : POSITION, uniform float4x4 M)\n{\n    vout o;\n"
            "    o.pos = mul(M, p);\n    o.tc = Step" + std::to_string(functions - 1) + "(p, 0.25);\n"
            "    return o;\n}\n";
    return text;
}

void Translate(benchmark::State &state, const std::string &source, const char *fileName)
{
    CgTranslation translation;
    for (auto _ : state) {
        if (!TranslateCgProgram(source, fileName, "main", &translation)) {
            state.SkipWithError(translation.error.c_str());
            return;
        }
        benchmark::DoNotOptimize(translation.glsl.data());
    }
}

// Translation time against program length: linear, so that a long program costs no surprise.
void TranslateLongProgram(benchmark::State &state)
{
    Translate(state, GenerateCgProgram(int(state.range(0))), "long.cg");
    state.SetComplexityN(state.range(0));
}

// The shipped program, translated at every start: it must stay far below a millisecond.
void TranslateWindProgram(benchmark::State &state)
{
    std::ifstream file("wind.cg", std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    Translate(state, text.str(), "wind.cg");
}

}  // namespace

void RegisterCgBenchmarks()
{
    benchmark::RegisterBenchmark("CgTranslate/wind.cg", TranslateWindProgram)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("CgTranslate/lines", TranslateLongProgram)
        ->DenseRange(1000, 10000, 3000)
        ->Complexity(benchmark::oN)
        ->Unit(benchmark::kMillisecond);
}

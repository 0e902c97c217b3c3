// bend_bench.cpp -- the bend of a frame's blades, the wind vectors and the meadow, on the processor.
#include <cstring>

#include "bench/bench.h"
#include "grass/blades.h"
#include "grass/grass_field.h"
#include "scene/height_map.h"

namespace {

constexpr int BentPerFrame = BladeCount * 7;

// Every blade as DrawBlades has it just before the bend.
struct PreparedMeadow {
    Vec3 v[BladeCount][BladeVertexCount];
    Vec3 w[BladeCount];
    BendFactors f[BladeCount];
    float arcs[BladeCount][BendRowCount];
    BladeBend bends[BladeCount];
    RowBend rows[BladeCount][BendRowCount];
};
PreparedMeadow meadow;

void PrepareMeadow(WindMode mode, bool strongest)
{
    MakeFirstMeadow();
    SetWind(Cpu, mode, WindExponent(strongest));
    const GrassField &g = grassField;
    for (int i = 0; i < BladeCount; i++) {
        BuildBladeVertices(g.leanX[i], g.leanY[i], g.heightExtra[i], g.segmentLeanScale, meadow.v[i]);
        meadow.f[i] = BladeBendFactors(g.heightExtra[i]);
        RowArcs(meadow.f[i], meadow.arcs[i]);
        meadow.w[i] = BladeWindVector(i);
    }
}

// The bend as DrawBlades did it before: seven whole DisplaceVertex calls per blade.
void BendFramePerVertex(benchmark::State &state, WindMode mode, bool strongest)
{
    PrepareMeadow(mode, strongest);
    for (auto _ : state) {
        for (int i = 0; i < BladeCount; i++) {
            const Vec3 w = meadow.w[i];
            const BendFactors &f = meadow.f[i];
            Vec3 v[BladeVertexCount];
            std::memcpy(v, meadow.v[i], sizeof v);
            v[T] = DisplaceVertex(v[T], w, i, f.tip);
            v[S2] = DisplaceVertex(v[S2], w, i, f.row2);
            v[L2] = DisplaceVertex(v[L2], w, i, f.row2);
            v[R2] = DisplaceVertex(v[R2], w, i, f.row2);
            v[S1] = DisplaceVertex(v[S1], w, i, f.row1);
            v[L1] = DisplaceVertex(v[L1], w, i, f.row1);
            v[R1] = DisplaceVertex(v[R1], w, i, f.row1);
            benchmark::DoNotOptimize(v);
        }
    }
    state.SetItemsProcessed(state.iterations() * BentPerFrame);
}

// The bend as DrawBlades does it now: circles and rows prepared for the meadow, then the vertices.
void BendFramePrepared(benchmark::State &state, WindMode mode, bool strongest)
{
    PrepareMeadow(mode, strongest);
    for (auto _ : state) {
        PrepareBends(0, BladeCount, meadow.w, meadow.arcs, meadow.bends, meadow.rows);
        for (int i = 0; i < BladeCount; i++) {
            Vec3 v[BladeVertexCount];
            std::memcpy(v, meadow.v[i], sizeof v);
            BendBladeVertices(v, meadow.bends[i], meadow.rows[i]);
            benchmark::DoNotOptimize(v);
        }
    }
    state.SetItemsProcessed(state.iterations() * BentPerFrame);
}

void WindVectors(benchmark::State &state, WindMode mode)
{
    MakeFirstMeadow();
    SetWind(Cpu, mode, WindExponent(false));
    for (auto _ : state) {
        for (int i = 0; i < BladeCount; i++) {
            benchmark::DoNotOptimize(BladeWindVector(i));
        }
    }
    state.SetItemsProcessed(state.iterations() * BladeCount);
}

void GenerateMeadow(benchmark::State &state)
{
    MakeFirstMeadow();
    for (auto _ : state) {
        fieldRandomState = 1;
        GenerateGrassField(heightMap);
        benchmark::ClobberMemory();
    }
}

}  // namespace

void RegisterBendBenchmarks()
{
    const char *windNames[2] = {"initialWind", "strongestWind"};
    for (int strongest = 0; strongest <= 1; strongest++) {
        for (int m = Steady; m <= DummyBlast; m++) {
            const WindMode mode = WindMode(m);
            benchmark::RegisterBenchmark(Name("BendFrame", "DisplaceVertex", modeNames[m], windNames[strongest]).c_str(),
                                         BendFramePerVertex, mode, strongest == 1)
                ->Unit(benchmark::kMicrosecond);
            benchmark::RegisterBenchmark(Name("BendFrame", "Prepared", modeNames[m], windNames[strongest]).c_str(),
                                         BendFramePrepared, mode, strongest == 1)
                ->Unit(benchmark::kMicrosecond);
        }
    }
    for (int m = Steady; m <= DummyBlast; m++) {
        benchmark::RegisterBenchmark(Name("BladeWindVector", modeNames[m]).c_str(), WindVectors, WindMode(m))
            ->Unit(benchmark::kMicrosecond);
    }
    benchmark::RegisterBenchmark("GenerateGrassField", GenerateMeadow)->Unit(benchmark::kMicrosecond);
}

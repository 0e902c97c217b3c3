// frame_bench.cpp -- whole frames drawn and swapped in the program's window, per wind path.
#include <SDL.h>

#include "bench/bench.h"
#include "ui/frame.h"
#include "ui/overlay.h"

namespace {

void SetFrame(WindPath path, WindMode mode, float tilt)
{
    MakeFirstMeadow();
    windSettings = initialWindSettings;
    windSettings.path = path;
    windSettings.mode = mode;
    windState = WindState{};
    camera = initialCamera;
    camera.tilt = tilt;
}

void DrawAndSwap()
{
    DrawFrame();
    SDL_GL_SwapWindow(appWindow.handles.window);
}

void Frames(benchmark::State &state, WindPath path, WindMode mode, float tilt)
{
    if (const char *failure = OpenScene()) {
        state.SkipWithError(failure);
        return;
    }
    SetFrame(path, mode, tilt);
    DrawAndSwap();
    for (auto _ : state) {
        DrawAndSwap();
    }
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

// Off, Cpu and VertexShader frames taken in turn, so that the load of the machine falls on all
// three alike; the counters give each path's frame time and the two ratios to Off. With a
// chosen path the overlay writes two or three lines more of its outline letters; hiding the
// overlay (its lists based where none exist) leaves what the paths themselves cost.
void FrameCostOverOff(benchmark::State &state, WindMode mode, float tilt, bool hideOverlay)
{
    if (const char *failure = OpenScene()) {
        state.SkipWithError(failure);
        return;
    }
    const uint32_t fontListBase = textOverlay.fontListBase;
    if (hideOverlay) {
        textOverlay.fontListBase = uint32_t(1) << 30;
    }
    double seconds[WindPathCount] = {};
    WindState states[WindPathCount] = {};
    for (int path = Off; path <= VertexShader; path++) {
        SetFrame(WindPath(path), mode, tilt);
        DrawAndSwap();
        states[path] = windState;
    }
    for (auto _ : state) {
        for (int path = Off; path <= VertexShader; path++) {
            windSettings.path = WindPath(path);
            windState = states[path];
            const double start = MonotonicSeconds();
            DrawAndSwap();
            seconds[path] += MonotonicSeconds() - start;
            states[path] = windState;
        }
    }
    textOverlay.fontListBase = fontListBase;
    const double n = double(state.iterations());
    state.counters["offMs"] = seconds[Off] / n * 1e3;
    state.counters["cpuMs"] = seconds[Cpu] / n * 1e3;
    state.counters["shaderMs"] = seconds[VertexShader] / n * 1e3;
    state.counters["cpuOverOff"] = seconds[Cpu] / seconds[Off];
    state.counters["shaderOverOff"] = seconds[VertexShader] / seconds[Off];
}

}  // namespace

void RegisterFrameBenchmarks()
{
    const float tilts[2] = {initialCamera.tilt, initialCamera.tilt - 60.0f};
    const char *cameraNames[2] = {"initialCamera", "tilt-60"};
    for (WindMode mode : {Steady, DummyBlast}) {
        for (int c = 0; c < 2; c++) {
            for (int path = Off; path <= VertexShader; path++) {
                benchmark::RegisterBenchmark(Name("Frame", pathNames[path], modeNames[mode], cameraNames[c]).c_str(),
                                             Frames, WindPath(path), mode, tilts[c])
                    ->Unit(benchmark::kMillisecond)
                    ->UseRealTime();
            }
            for (bool hideOverlay : {false, true}) {
                benchmark::RegisterBenchmark(Name("FrameCostOverOff", modeNames[mode], cameraNames[c],
                                                  hideOverlay ? "overlayHidden" : "withOverlay")
                                                 .c_str(),
                                             FrameCostOverOff, mode, tilts[c], hideOverlay)
                    ->Unit(benchmark::kMillisecond)
                    ->UseRealTime();
            }
        }
    }
}

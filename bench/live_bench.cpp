// live_bench.cpp -- wind.cg taken up while the demo runs: what the look costs a frame when nothing
// changed, and the time from a save to the first frame drawn with the new program.
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include <SDL.h>

#include "bench/bench.h"
#include "shader/shader_program.h"
#include "ui/frame.h"

namespace {

// Frames of 16 ms, as at 60 frames a second: a look at the stamp every seventh frame.
void LookWhenNothingChanged(benchmark::State &state)
{
    if (const char *failure = OpenScene()) {
        state.SkipWithError(failure);
        return;
    }
    for (auto _ : state) {
        WatchWindProgram(16.0f);
    }
    if (windProgramWatch.message[0] != '\0') {
        state.SkipWithError(windProgramWatch.message);
    }
}

std::string ReadText(const char *path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool SaveAs(const std::string &directory, const std::string &text)
{
    const std::string next = directory + "/wind.cg.new";
    std::ofstream(next, std::ios::binary) << text;
    return std::rename(next.c_str(), (directory + "/wind.cg").c_str()) == 0;
}

// Saves the shipped program and a recoloured one in turn, in a directory of its own, and draws
// frames as the pump does until one is drawn with the new program.
void SaveToFirstFrame(benchmark::State &state)
{
    if (const char *failure = OpenScene()) {
        state.SkipWithError(failure);
        return;
    }
    char directory[] = "/tmp/halmwind-live-XXXXXX";
    char here[4096];
    if (!mkdtemp(directory) || !getcwd(here, sizeof here)) {
        state.SkipWithError("no directory for the saves");
        return;
    }
    const std::string shipped = ReadText("wind.cg");
    std::string red = shipped;
    red.replace(red.find("OUT.Col0 = IN.color;"), 20, "OUT.Col0 = float4(1.0, 0.0, 0.0, 1.0);");
    SaveAs(directory, shipped);
    if (chdir(directory) != 0) {
        state.SkipWithError("cannot enter the save directory");
        return;
    }
    RequestWindProgramLook();
    WatchWindProgram(0.0f);
    int saves = 0;
    for (auto _ : state) {
        const CGprogram before = shaderProgram.program;
        SaveAs(directory, ++saves % 2 ? red : shipped);
        const double saved = MonotonicSeconds();
        double last = saved;
        while (shaderProgram.program == before && MonotonicSeconds() - saved < 5.0) {
            const double now = MonotonicSeconds();
            WatchWindProgram(float((now - last) * 1000.0));
            last = now;
            DrawFrame();
            SDL_GL_SwapWindow(appWindow.handles.window);
        }
        state.SetIterationTime(MonotonicSeconds() - saved);
    }
    const bool taken = windProgramWatch.message[0] == '\0';
    SaveAs(directory, shipped);
    (void)!chdir(here);
    std::remove((std::string(directory) + "/wind.cg").c_str());
    rmdir(directory);
    if (!taken) {
        state.SkipWithError(windProgramWatch.message);
    }
}

} // namespace

void RegisterLiveBenchmarks()
{
    benchmark::RegisterBenchmark("LiveWind/LookWhenNothingChanged", LookWhenNothingChanged);
    benchmark::RegisterBenchmark("LiveWind/SaveToFirstFrame", SaveToFirstFrame)
        ->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
}

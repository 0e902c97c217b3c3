// bench.cpp -- the benchmark program: what its files share, and main.
//   bend_bench.cpp     the bend, the wind vectors and the meadow on the processor
//   frame_bench.cpp    whole frames of each wind path
//   parity_bench.cpp   the distance between the processor's and the vertex program's bend
//   startup_bench.cpp  from the start of the process to its first frame
#include "bench/bench.h"

#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "grass/grass_field.h"
#include "app/messages.h"
#include "platform/shell.h"
#include "scene/height_map.h"
#include "scene/scene.h"
#include "shader/shader_program.h"

const char *const modeNames[WindModeCount] = {"Steady", "Gusting", "Vortex", "Dummy", "DummyBlast"};
const char *const pathNames[WindPathCount] = {"Off", "Cpu", "VertexShader"};

double MonotonicSeconds()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

void PrintMessage(const char *caption, const char *text)
{
    std::fprintf(stderr, "%s: %s\n", caption, text);
}

void MakeFirstMeadow()
{
    static bool loaded = false;
    if (!loaded) {
        LoadHeightMap("terrain.raw", HeightMapSize, heightMap);
        loaded = true;
    }
    fieldRandomState = 1;
    GenerateGrassField(heightMap);
}

void SetWind(WindPath path, WindMode mode, float bendExponent)
{
    windSettings = initialWindSettings;
    windSettings.path = path;
    windSettings.mode = mode;
    windSettings.bendExponent = bendExponent;
    windSettings.direction = 1.0f;
    windState = WindState{};
    windState.gustPhase = 2.0f;
    AdvanceWind();
}

float WindExponent(bool strongest)
{
    return strongest ? initialWindSettings.bendExponentMin : initialWindSettings.bendExponent;
}

AppClass appClass = {nullptr, AppClassName};
AppWindow appWindow;
KeyState appKeys;

const char *OpenScene()
{
    static bool tried = false;
    static const char *failure = nullptr;
    if (tried) {
        return failure;
    }
    tried = true;
    InitAppWindow(&appWindow, &appKeys, &appClass);
    appWindow.fullScreen = 0;
    if (!RegisterAppClass(&appClass)) {
        failure = "no display: SDL video could not start (run under xvfb-run or set DISPLAY)";
    } else if (!OpenAppWindow(&appWindow)) {
        failure = "the 800 x 600 GL window could not be opened";
    } else {
        fieldRandomState = 1;
        if (!InitScene(&appWindow, &appKeys)) {
            failure = "the scene could not be set up (see stderr)";
        }
    }
    return failure;
}

std::string Name(const std::string &a, const char *b, const char *c, const char *d)
{
    std::string name = a + "/" + b;
    for (const char *part : {c, d}) {
        if (part) {
            name += std::string("/") + part;
        }
    }
    return name;
}

int main(int argc, char **argv)
{
    if (chdir(HALMWIND_DATA_DIR) != 0) {
        std::fprintf(stderr, "halmwind_bench: cannot enter %s\n", HALMWIND_DATA_DIR);
        return 1;
    }
    if (argc == 3 && std::strcmp(argv[1], startupChildFlag) == 0) {
        return RunStartupChild(std::atoi(argv[2]));
    }
    SetMessageSink(PrintMessage);
    RegisterCgBenchmarks();
    RegisterBendBenchmarks();
    RegisterFrameBenchmarks();
    RegisterParityBenchmarks();
    RegisterStartupBenchmarks();
    RegisterLiveBenchmarks();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (appWindow.handles.window) {
        ReleaseShaderContext();
        CloseAppWindow(&appWindow);
        ReleaseWindMarker();
        UnregisterAppClass(&appClass);
    }
    return 0;
}

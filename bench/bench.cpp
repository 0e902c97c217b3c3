// bench.cpp -- timings of the bend, the wind and the meadow, whole frames, start-up, and the
// distance between the processor's and the vertex program's bend.
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include <SDL.h>
#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

#include "platform/linux/app_shell.h"
#include "grass/blades.h"
#include "grass/grass_field.h"
#include "cg/cg_translate.h"
#include "platform/message_box.h"
#include "scene/height_map.h"
#include "scene/scene.h"
#include "shader/shader_program.h"
#include "ui/frame.h"
#include "ui/overlay.h"
#include "wind/wind.h"

extern char **environ;

namespace {

const char *const modeNames[WindModeCount] = {"Steady", "Gusting", "Vortex", "Dummy", "DummyBlast"};
const char *const pathNames[WindPathCount] = {"Off", "Cpu", "VertexShader"};
const char *const startupChildFlag = "--startup-child";
constexpr int BentPerBlade = 7;
constexpr int BentPerFrame = BladeCount * BentPerBlade;

double MonotonicSeconds()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Messages go to stderr, so that stdout holds only the benchmark report.
void PrintMessage(const char *caption, const char *text)
{
    std::fprintf(stderr, "%s: %s\n", caption, text);
}

// The program's first meadow: the map from data/, the generator as at process start.
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

// The wind of a path and mode after one step, blowing along direction 1 so both axes move.
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

// The program's window, opened as RunApplication opens it (windowed), once for the whole run.
AppClass appClass = {"OpenGL"};
AppWindow appWindow;
KeyState appKeys;

void PrepareAppWindow(AppWindow *window, KeyState *keys)
{
    std::memset(window, 0, sizeof *window);
    std::memset(keys, 0, sizeof *keys);
    window->keys = keys;
    window->appClass = &appClass;
    window->title = "Halmwind";
    window->width = 800;
    window->height = 600;
    window->colourDepth = 32;
    window->fullScreen = 0;
}

// Null when the scene is up, else why it is not.
const char *OpenScene()
{
    static bool tried = false;
    static const char *failure = nullptr;
    if (tried) {
        return failure;
    }
    tried = true;
    PrepareAppWindow(&appWindow, &appKeys);
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
    SDL_GL_SwapWindow(appWindow.window);
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

// The vertex program as the runtime builds it from data/wind.cg, linked with gl_Position
// captured by transform feedback.
struct CaptureProgram {
    GLuint program;
    GLint modelViewProj;
    GLuint zfeldpos, wind, sl;
    bool built;
};

bool BuildCaptureProgram(CaptureProgram *c, std::string *why)
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
    GLuint shader = glCreateShader(GL_VERTEX_SHADER);
    const char *source = translation.glsl.c_str();
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    c->program = glCreateProgram();
    glAttachShader(c->program, shader);
    glDeleteShader(shader);
    for (const CgVaryingInput &input : translation.inputs) {
        if (input.source != CgInputSource::Attribute) {
            continue;
        }
        glBindAttribLocation(c->program, GLuint(input.attribIndex), input.glslName.c_str());
        GLuint *index = input.name == "IN.zfeldpos" ? &c->zfeldpos
                        : input.name == "IN.wind"   ? &c->wind
                        : input.name == "IN.sl"     ? &c->sl
                                                    : nullptr;
        if (index) {
            *index = GLuint(input.attribIndex);
        }
    }
    // Must be named before the link.
    const char *captured[] = {"gl_Position"};
    glTransformFeedbackVaryings(c->program, 1, captured, GL_INTERLEAVED_ATTRIBS);
    glLinkProgram(c->program);
    GLint linked = 0;
    glGetProgramiv(c->program, GL_LINK_STATUS, &linked);
    if (!linked) {
        *why = "the captured program did not link";
        return false;
    }
    c->modelViewProj = glGetUniformLocation(c->program, "ModelViewProj");
    c->built = true;
    return true;
}

// One record per bent vertex, laid out for client-side vertex arrays.
struct ParityVertex {
    Vec3 position;
    Vec3 foot;
    Vec3 wind;
    float sl;
};
ParityVertex parityVertices[BentPerFrame];
Vec3 parityReference[BentPerFrame];
float parityCaptured[BentPerFrame * 4];

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

// Runs every vertex through the program; the count of points captured, or -1.
int CaptureProgramOutput(const CaptureProgram &c, GLuint buffer)
{
    const GLsizei stride = sizeof(ParityVertex);
    glUseProgram(c.program);
    // With an identity matrix gl_Position is the bent vertex plus the foot and the field shift.
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    glUniformMatrix4fv(c.modelViewProj, 1, GL_FALSE, identity);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, stride, &parityVertices[0].position);
    glEnableVertexAttribArray(c.zfeldpos);
    glVertexAttribPointer(c.zfeldpos, 3, GL_FLOAT, GL_FALSE, stride, &parityVertices[0].foot);
    glEnableVertexAttribArray(c.wind);
    glVertexAttribPointer(c.wind, 3, GL_FLOAT, GL_FALSE, stride, &parityVertices[0].wind);
    glEnableVertexAttribArray(c.sl);
    glVertexAttribPointer(c.sl, 1, GL_FLOAT, GL_FALSE, stride, &parityVertices[0].sl);

    GLuint query = 0;
    glGenQueries(1, &query);
    glBindBufferBase(GL_TRANSFORM_FEEDBACK_BUFFER, 0, buffer);
    glEnable(GL_RASTERIZER_DISCARD);
    glBeginQuery(GL_TRANSFORM_FEEDBACK_PRIMITIVES_WRITTEN, query);
    glBeginTransformFeedback(GL_POINTS);
    glDrawArrays(GL_POINTS, 0, BentPerFrame);
    glEndTransformFeedback();
    glEndQuery(GL_TRANSFORM_FEEDBACK_PRIMITIVES_WRITTEN);
    glDisable(GL_RASTERIZER_DISCARD);
    GLuint written = 0;
    glGetQueryObjectuiv(query, GL_QUERY_RESULT, &written);
    glDeleteQueries(1, &query);
    glGetBufferSubData(GL_TRANSFORM_FEEDBACK_BUFFER, 0, sizeof parityCaptured, parityCaptured);
    glBindBufferBase(GL_TRANSFORM_FEEDBACK_BUFFER, 0, 0);

    glDisableVertexAttribArray(c.zfeldpos);
    glDisableVertexAttribArray(c.wind);
    glDisableVertexAttribArray(c.sl);
    glDisableClientState(GL_VERTEX_ARRAY);
    glUseProgram(0);
    return glGetError() == GL_NO_ERROR ? int(written) : -1;
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
    if (!capture.built && (!why.empty() || !BuildCaptureProgram(&capture, &why))) {
        state.SkipWithError(why.c_str());
        return;
    }
    MakeFirstMeadow();
    SetWind(VertexShader, mode, WindExponent(strongest));
    PrepareParityVertices();
    GLuint buffer = 0;
    glGenBuffers(1, &buffer);
    glBindBuffer(GL_TRANSFORM_FEEDBACK_BUFFER, buffer);
    glBufferData(GL_TRANSFORM_FEEDBACK_BUFFER, sizeof parityCaptured, nullptr, GL_STREAM_READ);
    glBindBuffer(GL_TRANSFORM_FEEDBACK_BUFFER, 0);
    double largest = 0.0;
    int written = 0;
    for (auto _ : state) {
        std::memset(parityCaptured, 0, sizeof parityCaptured);
        written = CaptureProgramOutput(capture, buffer);
        largest = LargestParityDistance();
    }
    glDeleteBuffers(1, &buffer);
    if (written != BentPerFrame) {
        state.SkipWithError("the transform feedback capture failed or came back short");
        return;
    }
    state.counters["maxDistance"] = largest;
}

// The child's part of the start-up timing: what RunApplication does after its question, up to
// the first frame on screen; then the monotonic time of that moment goes to the parent.
int RunStartupChild(int resultFd)
{
    SetMessageSink(PrintMessage);
    AppWindow window;
    KeyState keys;
    PrepareAppWindow(&window, &keys);
    double firstFrame = -1.0;
    if (RegisterAppClass(&appClass)) {
        running = 1;
        fullScreenRequest = window.fullScreen;
        if (OpenAppWindow(&window)) {
            if (InitScene(&window, &keys)) {
                // The message loop handles what is queued before its first paint.
                SDL_FlushEvents(quitEventType, toggleEventType);
                SDL_Event event;
                while (SDL_PollEvent(&event)) {
                    AppWindowProc(&window, event);
                }
                PaintFrame(&window);
                firstFrame = MonotonicSeconds();
            }
            ReleaseShaderContext();
            CloseAppWindow(&window);
        }
        ReleaseWindMarker();
        SDL_Quit();
    }
    const bool sent = write(resultFd, &firstFrame, sizeof firstFrame) == ssize_t(sizeof firstFrame);
    close(resultFd);
    return sent && firstFrame >= 0.0 ? 0 : 1;
}

// Seconds from just before the spawn to the child's first frame; negative on failure.
double TimeStartup()
{
    int fds[2];
    if (pipe(fds) != 0) {
        return -1.0;
    }
    char fdText[16];
    std::snprintf(fdText, sizeof fdText, "%d", fds[1]);
    char self[] = "/proc/self/exe";
    char flag[32];
    std::snprintf(flag, sizeof flag, "%s", startupChildFlag);
    char *argv[] = {self, flag, fdText, nullptr};
    // The child's stdout is our stderr: the report on stdout stays clean.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
    const double start = MonotonicSeconds();
    pid_t child = -1;
    const int spawned = posix_spawn(&child, self, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    double firstFrame = -1.0;
    if (spawned == 0) {
        if (read(fds[0], &firstFrame, sizeof firstFrame) != ssize_t(sizeof firstFrame)) {
            firstFrame = -1.0;
        }
        int status = 0;
        waitpid(child, &status, 0);
    }
    close(fds[0]);
    return firstFrame < 0.0 ? -1.0 : firstFrame - start;
}

void StartToFirstFrame(benchmark::State &state)
{
    if (const char *failure = OpenScene()) {
        state.SkipWithError(failure);
        return;
    }
    for (auto _ : state) {
        const double seconds = TimeStartup();
        if (seconds < 0.0) {
            state.SkipWithError("the start-up child drew no frame (see stderr)");
            return;
        }
        state.SetIterationTime(seconds);
    }
}

std::string Name(const std::string &a, const char *b, const char *c = nullptr, const char *d = nullptr)
{
    std::string name = a + "/" + b;
    for (const char *part : {c, d}) {
        if (part) {
            name += std::string("/") + part;
        }
    }
    return name;
}

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

// Translation time against program length: linear, so that a long program costs no surprise.
void TranslateLongProgram(benchmark::State &state)
{
    const std::string source = GenerateCgProgram(int(state.range(0)));
    CgTranslation translation;
    for (auto _ : state) {
        if (!TranslateCgProgram(source, "long.cg", "main", &translation)) {
            state.SkipWithError(translation.error.c_str());
            return;
        }
        benchmark::DoNotOptimize(translation.glsl.data());
    }
    state.SetComplexityN(state.range(0));
}

// The shipped program, translated at every start: it must stay far below a millisecond.
void TranslateWindProgram(benchmark::State &state)
{
    std::ifstream file("wind.cg", std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    CgTranslation translation;
    for (auto _ : state) {
        if (!TranslateCgProgram(text.str(), "wind.cg", "main", &translation)) {
            state.SkipWithError(translation.error.c_str());
            return;
        }
        benchmark::DoNotOptimize(translation.glsl.data());
    }
}

void RegisterAll()
{
    benchmark::RegisterBenchmark("CgTranslate/wind.cg", TranslateWindProgram)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("CgTranslate/lines", TranslateLongProgram)
        ->DenseRange(1000, 10000, 3000)
        ->Complexity(benchmark::oN)
        ->Unit(benchmark::kMillisecond);
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
    for (int strongest = 0; strongest <= 1; strongest++) {
        for (int m = Steady; m <= DummyBlast; m++) {
            benchmark::RegisterBenchmark(Name("Parity", modeNames[m], windNames[strongest]).c_str(), Parity,
                                         WindMode(m), strongest == 1)
                ->Unit(benchmark::kMillisecond)
                ->Iterations(1);
        }
    }
    benchmark::RegisterBenchmark("StartToFirstFrame", StartToFirstFrame)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(3);
}

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
    RegisterAll();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (appWindow.window) {
        ReleaseShaderContext();
        CloseAppWindow(&appWindow);
        ReleaseWindMarker();
        SDL_Quit();
    }
    return 0;
}

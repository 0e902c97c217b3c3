// bench.h -- what the benchmark files share: the first meadow, a wind set up, the program's
// window with its scene, and the names the benchmarks are registered under.
#pragma once

#include <string>

#include <benchmark/benchmark.h>

#include "app/app_window.h"
#include "wind/wind.h"

extern const char *const modeNames[WindModeCount];
extern const char *const pathNames[WindPathCount];

double MonotonicSeconds();

// Messages go to stderr, so that stdout holds only the benchmark report.
void PrintMessage(const char *caption, const char *text);

// The program's first meadow: the map from data/, the generator as at process start.
void MakeFirstMeadow();

// The wind of a path and mode after one step, blowing along direction 1 so both axes move.
void SetWind(WindPath path, WindMode mode, float bendExponent);
float WindExponent(bool strongest);

// The program's window, opened windowed as the program opens it, once for the whole run.
extern AppClass appClass;
extern AppWindow appWindow;
extern KeyState appKeys;
// Null when the scene is up, else why it is not.
const char *OpenScene();

// "a/b/c/d", leaving out the parts not given.
std::string Name(const std::string &a, const char *b, const char *c = nullptr, const char *d = nullptr);

// Each file's benchmarks, registered in this order by main.
void RegisterCgBenchmarks();
void RegisterBendBenchmarks();
void RegisterFrameBenchmarks();
void RegisterParityBenchmarks();
void RegisterStartupBenchmarks();
void RegisterLiveBenchmarks();

// The start-up benchmark's child: bench --startup-child FD.
extern const char *const startupChildFlag;
int RunStartupChild(int resultFd);

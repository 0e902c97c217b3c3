// height_map_fuzz.cpp -- libFuzzer target: any file and length through the height-map loader.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "tests/fuzz/fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // One file per process: parallel fuzzing jobs must not share it.
    static const std::string path = "/tmp/halmwind_fuzz_height_map_" + std::to_string(getpid()) + ".raw";
    std::string problem = fuzzchecks::CheckHeightMapLoad(data, size, path);
    if (!problem.empty()) {
        std::fprintf(stderr, "height map: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}

// cg_preprocess_fuzz.cpp -- libFuzzer target: any text through the Cg preprocessor.
#include <cstdio>
#include <cstdlib>

#include "tests/fuzz/fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string problem = fuzzchecks::CheckCgPreprocess(std::string(reinterpret_cast<const char *>(data), size));
    if (!problem.empty()) {
        std::fprintf(stderr, "cg preprocessing: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}

// cg_preprocess.h -- the C-style preprocessor Cg programs use, text in and text out, no I/O.
#pragma once

#include <string>

struct CgPreprocessResult {
    std::string text;   // one output line for every input line, so later messages keep their lines
    std::string error;  // "wind.cg(12): error: ..." when it failed
    int errorLine = 0;
};

// Runs #define (object-like and function-like), #undef, #if / #ifdef / #ifndef / #elif / #else /
// #endif with defined(), #error and #pragma (ignored) over `source`, drops its comments and a
// leading UTF-8 byte-order mark. #include, #line, stringizing (#) and pasting (##) are refused by
// name. Returns false with out->error set; never fails on any input in another way.
bool PreprocessCg(const std::string &source, const char *fileName, CgPreprocessResult *out);

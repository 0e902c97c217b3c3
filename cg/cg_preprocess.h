// cg_preprocess.h -- the C-style preprocessor Cg programs use, text in and tokens out, no I/O.
#pragma once

#include <string>
#include <vector>

// The one token record of the Cg compiler: the lexer cuts the source into these once (comments,
// line splices and line ends dealt with there), the preprocessor maps them to others of the same
// kind and the parser reads them.
enum class CgTokenKind { Identifier, Number, Punct, Other, End };

struct CgToken {
    CgTokenKind kind;
    std::string text;
    int line;          // the source line the token stands on, or where its macro was used
    bool spaceBefore;  // blank, line end or comment before it
    bool beginsLine;   // the first token of its source line
};

struct CgPreprocessResult {
    std::vector<CgToken> tokens;
    int lineCount = 0;
    std::string text;   // the tokens as text, one output line for every input line
    std::string error;  // "wind.cg(12): error: ..." when it failed
    int errorLine = 0;
};

// Runs #define (object-like and function-like), #undef, #if / #ifdef / #ifndef / #elif / #else /
// #endif with defined(), #error and #pragma (ignored) over `source`, with stringizing (#) and
// pasting (##), drops its comments and a leading UTF-8 byte-order mark. #include and #line are
// refused by name. Returns false with out->error set; never fails on any input in another way.
bool PreprocessCg(const std::string &source, const char *fileName, CgPreprocessResult *out);

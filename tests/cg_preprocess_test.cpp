// cg_preprocess_test.cpp -- the preprocessor on its own: each directive, the rescanning of macros
// as C does it, the lines its tokens keep, and each way of getting a directive wrong.
#include "cg/cg_preprocess.h"

#include <algorithm>
#include <string>

#include <gtest/gtest.h>

namespace {

// The tokens as text, one blank between each two.
std::string Tokens(const CgPreprocessResult &r)
{
    std::string text;
    for (const CgToken &tok : r.tokens) {
        text += (text.empty() ? "" : " ") + tok.text;
    }
    return text;
}

std::string Preprocessed(const std::string &source)
{
    CgPreprocessResult r;
    EXPECT_TRUE(PreprocessCg(source, "p.cg", &r)) << source << "\n" << r.error;
    return Tokens(r);
}

}  // namespace

TEST(CgPreprocess, DirectivesAsInC)
{
    EXPECT_EQ(Preprocessed("#define N 4\n#define SQ(x) ((x) * (x))\nfloat a[N] = SQ(N + 1);"),
              "float a [ 4 ] = ( ( 4 + 1 ) * ( 4 + 1 ) ) ;");
    EXPECT_EQ(Preprocessed("#define A 1\n#undef A\n#ifdef A\nyes\n#else\nno\n#endif"), "no");
    EXPECT_EQ(Preprocessed("#ifndef B\n#define B 2\n#endif\n#if B == 1\none\n#elif B == 2 && defined(B)\ntwo\n"
                           "#else\nmore\n#endif"),
              "two");
    EXPECT_EQ(Preprocessed("#if 0\n#if garbage (\n#error not read\n#endif\n#elif 1\nyes\n#endif"), "yes");
    EXPECT_EQ(Preprocessed("#define S(x) #x\n#define J(a, b) a ## b\nS( p  +  q ) J(tex, 2D) J(1, .5)"),
              "\"p + q\" tex2D 1.5");
    EXPECT_EQ(Preprocessed("#pragma anything at all\n#\nx // c\n/* d */ y"), "x y");
    EXPECT_EQ(Preprocessed("#if (1 ? 2 : 3) == 2 && -1 < 0 && 010 == 8 && 0x10 == 16 && !0 && ~0 == -1 && 7 % 4 == 3\n"
                           "ok\n#endif"),
              "ok");
}

// Replacements are read again with the tokens that follow them; a macro never expands itself.
TEST(CgPreprocess, RescanningAsInC)
{
    EXPECT_EQ(Preprocessed("#define F G\n#define G(x) (x + 1)\nF(2)"), "( 2 + 1 )");
    EXPECT_EQ(Preprocessed("#define X X + 1\n#define Y(a) a Y\nX Y(3)(4)"), "X + 1 3 Y ( 4 )");
    EXPECT_EQ(Preprocessed("#define EMPTY()\n#define LATER(m) m EMPTY()\nLATER(x)"), "x");
    EXPECT_EQ(Preprocessed("#define H(x) x\nH\nint"), "H int");
    EXPECT_EQ(Preprocessed("#define D defined(X)\n#define X\n#if D\nyes\n#endif"), "yes");
    EXPECT_EQ(Preprocessed("#define NOT_D !defined X\n#if NOT_D\nyes\n#else\nno\n#endif"), "yes");
}

// Every token keeps its own line; a call may span lines; line splices and CRLF mean nothing.
TEST(CgPreprocess, TokensKeepTheirLines)
{
    CgPreprocessResult r;
    ASSERT_TRUE(PreprocessCg("#define ADD(a, b) a + b\r\nfloat x = ADD(1,\r\n  2);\nfl\\\noat y;\n", "p.cg", &r)) << r.error;
    const std::pair<std::string, int> expected[] = {{"float", 2}, {"x", 2}, {"=", 2}, {"1", 2}, {"+", 2},
                                                    {"2", 3},     {";", 3}, {"float", 4}, {"y", 5}, {";", 5}};
    ASSERT_EQ(r.tokens.size(), sizeof expected / sizeof *expected) << Tokens(r);
    for (size_t k = 0; k < r.tokens.size(); k++) {
        EXPECT_EQ(r.tokens[k].text, expected[k].first);
        EXPECT_EQ(r.tokens[k].line, expected[k].second) << r.tokens[k].text;
    }
    EXPECT_EQ(r.lineCount, 6);
    EXPECT_EQ(std::count(r.text.begin(), r.text.end(), '\n'), 5) << r.text;
}

TEST(CgPreprocess, EachMistakeNamedOnItsLine)
{
    const struct {
        const char *source;
        int line;
        const char *words;
    } cases[] = {
        {"x\n#define\n", 2, "#define needs a macro name"},
        {"#define defined 1\n", 1, "'defined' cannot be a macro"},
        {"#define A+1\n", 1, "expected a space after the macro name 'A'"},
        {"#define F(a, a) a\n", 1, "parameter 'a' appears twice"},
        {"#define F(a, ...) a\n", 1, "variable arguments are not supported"},
        {"#define F(a b) a\n", 1, "expected ',' or ')'"},
        {"#define F(a) ## a\n", 1, "'##' cannot stand at either end"},
        {"#define F(a) #b\n", 1, "must be followed by a parameter"},
        {"#define F(a) a\n\nF(1,\n2)\n", 3, "macro 'F' takes 1 argument, not 2"},
        {"#define F(a) a\nF(1,\n#define X\n)\n", 2, "the arguments of macro 'F' are never closed"},
        {"#define J(a, b) a ## b\nJ(+, /)\n", 2, "which is not one token"},
        {"\n#undef\n", 2, "#undef needs a macro name"},
        {"#ifdef A B\n#endif\n", 1, "unexpected text after #ifdef A"},
        {"#if\n#endif\n", 1, "#if without a condition"},
        {"#if 1 +\n#endif\n", 1, "the #if expression ends too early"},
        {"#if (1\n#endif\n", 1, "expected ')' in the #if expression"},
        {"#if 1 ? 2\n#endif\n", 1, "expected ':' in the #if expression"},
        {"#if 1 / 0\n#endif\n", 1, "division by zero"},
        {"#if 1.5\n#endif\n", 1, "'1.5' is not an integer"},
        {"#if 1 2\n#endif\n", 1, "unexpected '2' in the #if expression"},
        {"#if defined\n#endif\n", 1, "defined needs a macro name"},
        {"#if defined(A\n#endif\n", 1, "expected ')' after defined(A"},
        {"\n#else\n", 2, "#else without #if"},
        {"#if 1\n#else\n#elif 1\n#endif\n", 3, "#elif after the #else of line 1"},
        {"x\n#if 1\n", 2, "#if is never closed"},
        {"#include \"a.cg\"\n", 1, "#include is not supported"},
        {"#line 4\n", 1, "#line is not supported"},
        {"\n#error stop  here\n", 2, "#error stop here"},
        {"#warning x\n", 1, "unknown preprocessor directive '#warning'"},
        {"a /* b\n\n", 1, "comment is never closed"},
        {"#define A B\n#define B A\n#define F(x) F(x) A\nF(F(F(1)))\n", 0, nullptr},
    };
    for (const auto &c : cases) {
        CgPreprocessResult r;
        const bool ok = PreprocessCg(c.source, "p.cg", &r);
        if (!c.words) {
            EXPECT_TRUE(ok) << c.source << "\n" << r.error;
            continue;
        }
        EXPECT_FALSE(ok) << c.source;
        EXPECT_EQ(r.error.rfind("p.cg(" + std::to_string(c.line) + "): error: ", 0), 0u) << c.source << "\n" << r.error;
        EXPECT_NE(r.error.find(c.words), std::string::npos) << c.source << "\n" << r.error;
        EXPECT_EQ(r.errorLine, c.line);
        EXPECT_TRUE(r.tokens.empty() && r.text.empty()) << c.source;
    }
}

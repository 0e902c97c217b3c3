// lexer.cpp -- Cg source text cut once into tokens, and the tokens' numbers and brackets read.
#include "cg/cg_internal.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

namespace cg {

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool IsIdentifierStart(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool IsIdentifierChar(unsigned char c) { return IsIdentifierStart(c) || IsDigit(c); }

namespace {

bool IsHexDigit(unsigned char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool IsBlank(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

// The longest operator or bracket at `i`, 0 when none starts there.
size_t PunctLength(const std::string &src, size_t i)
{
    static const char *const longPuncts[] = {"<<=", ">>=", "++", "--", "+=", "-=", "*=", "/=", "%=", "==", "!=", "<=",
                                             ">=",  "&&",  "||", "^^", "<<", ">>", "&=", "|=", "^=", "##"};
    for (const char *p : longPuncts) {
        if (src[i] == p[0] && src.compare(i, std::strlen(p), p) == 0) {
            return std::strlen(p);
        }
    }
    const unsigned char c = src[i];
    return c != 0 && std::strchr("()[]{};,.:?+-*/%<>=!&|^~#", c) ? 1 : 0;
}

// The source with its line splices taken out; `lineOf` gives each byte's source line, so that a
// token after a splice still names the line it stands on.
struct Spliced {
    std::string text;
    std::vector<int> lineOf;
};

Spliced Splice(const std::string &src)
{
    Spliced s;
    s.text.reserve(src.size());
    s.lineOf.reserve(src.size() + 1);
    size_t i = 0;
    if (src.size() >= 3 && (unsigned char)src[0] == 0xEF && (unsigned char)src[1] == 0xBB &&
        (unsigned char)src[2] == 0xBF) {
        i = 3;
    }
    int line = 1;
    while (i < src.size()) {
        if (src[i] == '\\' && i + 1 < src.size() && src[i + 1] == '\n') {
            i += 2;
            line++;
        } else if (src[i] == '\\' && i + 2 < src.size() && src[i + 1] == '\r' && src[i + 2] == '\n') {
            i += 3;
            line++;
        } else if (src[i] == '\r' && i + 1 < src.size() && src[i + 1] == '\n') {
            i++;  // CRLF means what LF means
        } else {
            s.text += src[i];
            s.lineOf.push_back(line);
            line += src[i] == '\n';
            i++;
        }
    }
    s.lineOf.push_back(line);
    return s;
}

// The length of the preprocessing number at `i`: digits, letters, dots and signed exponents, as
// C cuts them; ReadNumber then reads it as a Cg number or refuses it.
size_t PpNumberLength(const std::string &src, size_t i)
{
    const size_t b = i++;
    while (i < src.size()) {
        const unsigned char d = src[i];
        if ((d == '+' || d == '-') && (src[i - 1] == 'e' || src[i - 1] == 'E')) {
            i++;
        } else if (IsIdentifierChar(d) || d == '.') {
            i++;
        } else {
            break;
        }
    }
    return i - b;
}

}  // namespace

// Cuts `text` (whole lines of a program, or what '##' joined) into tokens: comments are blanks,
// line splices and CRLF are gone, and each token knows its line and what stood before it.
std::vector<CgToken> Lex(const std::string &source, int firstLine)
{
    const Spliced s = Splice(source);
    const std::string &src = s.text;
    const size_t n = src.size();
    std::vector<CgToken> tokens;
    bool space = true;
    bool lineStart = true;
    size_t i = 0;
    while (i < n) {
        const unsigned char c = src[i];
        const int line = s.lineOf[i] + firstLine - 1;
        if (c == '\n') {
            lineStart = true;
            space = true;
            i++;
            continue;
        }
        if (IsBlank(c)) {
            space = true;
            i++;
            continue;
        }
        if (c == '/' && i + 1 < n && src[i + 1] == '/') {
            while (i < n && src[i] != '\n') {
                i++;
            }
            space = true;
            continue;
        }
        if (c == '/' && i + 1 < n && src[i + 1] == '*') {
            const size_t close = src.find("*/", i + 2);
            if (close == std::string::npos) {
                Fail(line, "comment is never closed");
            }
            i = close + 2;
            space = true;
            continue;
        }
        const size_t b = i;
        CgTokenKind kind = CgTokenKind::Punct;
        if (IsIdentifierStart(c)) {
            while (i < n && IsIdentifierChar(src[i])) {
                i++;
            }
            kind = CgTokenKind::Identifier;
        } else if (IsDigit(c) || (c == '.' && i + 1 < n && IsDigit(src[i + 1]))) {
            i += PpNumberLength(src, i);
            kind = CgTokenKind::Number;
        } else if (c == '"') {
            // Kept whole, so that "//" inside starts no comment; the parser refuses strings.
            i++;
            while (i < n && src[i] != '"' && src[i] != '\n') {
                i++;
            }
            i += i < n && src[i] == '"';
            kind = CgTokenKind::Other;
        } else {
            const size_t len = PunctLength(src, i);
            i += len ? len : 1;
            kind = len ? CgTokenKind::Punct : CgTokenKind::Other;
        }
        tokens.push_back(CgToken{kind, src.substr(b, i - b), line, space, lineStart});
        space = false;
        lineStart = false;
    }
    return tokens;
}

int CountLines(const std::string &source)
{
    return 1 + int(std::count(source.begin(), source.end(), '\n'));
}

// Reads the Cg number `text` (1.5f, 0x1F, 010, 2u, 1e-3h): its value, whether it is a float,
// and where its digits end. Returns how many characters it took; the rest is the caller's.
size_t ReadNumber(const std::string &src, int line, double *value, bool *isFloat, size_t *digits)
{
    const char *s = src.c_str();
    char *end = nullptr;
    const bool hex = src.size() > 1 && src[0] == '0' && (src[1] == 'x' || src[1] == 'X');
    size_t j = hex ? 2 : 0;
    while (j < src.size() && (hex ? IsHexDigit(src[j]) : IsDigit(src[j]))) {
        j++;
    }
    *isFloat = !hex && j < src.size() && (src[j] == '.' || src[j] == 'e' || src[j] == 'E');
    if (*isFloat) {
        // Read by hand, not by strtod, which follows the locale's decimal point.
        for (j += src[j] == '.'; j < src.size() && IsDigit(src[j]); j++) {
        }
        if (j < src.size() && (src[j] == 'e' || src[j] == 'E')) {
            j += j + 1 < src.size() && (src[j + 1] == '+' || src[j + 1] == '-') ? 2 : 1;
            if (j >= src.size() || !IsDigit(src[j])) {
                Fail(line, "malformed exponent in a number");
            }
            for (; j < src.size() && IsDigit(src[j]); j++) {
            }
        }
        *value = 0;  // only whole numbers are written by their value
    } else {
        // A leading 0 makes an octal number, as in C.
        *value = double(std::strtoull(s + (hex ? 2 : 0), &end, hex ? 16 : src[0] == '0' ? 8 : 10));
        if (size_t(end - s) != j || j == (hex ? 2u : 0u)) {
            Fail(line, "malformed number");
        }
    }
    *digits = j;
    if (j < src.size() && std::strchr("fFhHxX", src[j])) {
        j++;
        *isFloat = true;
    } else if (j < src.size() && (src[j] == 'u' || src[j] == 'U') && !*isFloat) {
        j++;
    }
    if (j < src.size() && IsIdentifierChar(src[j])) {
        Fail(line, "malformed number");
    }
    return j;
}

// Pairs every bracket once, so that later passes skip groups in constant time and never
// recurse deeper than the bracket limit.
void MatchBrackets(Translator &t)
{
    std::vector<int> open;
    t.match.assign(t.tokens.size(), -1);
    t.commas.assign(t.tokens.size(), 0);
    for (int i = 0; i < int(t.tokens.size()); i++) {
        const CgToken &tok = t.tokens[i];
        if (IsOpen(tok)) {
            if (int(open.size()) >= maxBracketDepth) {
                Fail(tok.line, "brackets nested deeper than 256 levels");
            }
            open.push_back(i);
        } else if (IsClose(tok)) {
            if (open.empty()) {
                Fail(tok.line, "'" + tok.text + "' without an opening bracket");
            }
            const CgToken &opener = t.tokens[open.back()];
            const char expected = opener.text[0] == '(' ? ')' : opener.text[0] == '[' ? ']' : '}';
            if (tok.text[0] != expected) {
                Fail(tok.line, "'" + tok.text + "' does not close the '" + opener.text + "' of line " +
                                   std::to_string(opener.line));
            }
            t.match[open.back()] = i;
            t.match[i] = open.back();
            open.pop_back();
        } else if (Is(tok, ",") && !open.empty()) {
            t.commas[open.back()]++;
        }
    }
    if (!open.empty()) {
        const CgToken &opener = t.tokens[open.front()];
        Fail(opener.line, "'" + opener.text + "' is never closed");
    }
}

// How tightly a binary operator of C binds: 1 for || (and Cg's ^^) up to 10 for * / %; 0 for
// what is none. The parser, the #if evaluator and the emitter share it.
int BinaryLevel(const std::string &op)
{
    static const std::unordered_map<std::string, int> levels = {
        {"||", 1}, {"^^", 1}, {"&&", 2}, {"|", 3}, {"^", 4}, {"&", 5}, {"==", 6}, {"!=", 6}, {"<", 7}, {">", 7},
        {"<=", 7}, {">=", 7}, {"<<", 8}, {">>", 8}, {"+", 9}, {"-", 9}, {"*", 10}, {"/", 10}, {"%", 10}};
    auto found = levels.find(op);
    return found == levels.end() ? 0 : found->second;
}

bool IsOpen(const CgToken &tok)
{
    return tok.kind == CgTokenKind::Punct && tok.text.size() == 1 && std::strchr("([{", tok.text[0]);
}

bool IsClose(const CgToken &tok)
{
    return tok.kind == CgTokenKind::Punct && tok.text.size() == 1 && std::strchr(")]}", tok.text[0]);
}

bool Is(const CgToken &tok, const char *text)
{
    return tok.kind != CgTokenKind::End && tok.text == text;
}

}  // namespace cg

// cg_translate.cpp -- the Cg subset of vertex programs, rewritten token by token into GLSL 1.20.
#include "platform/cg_translate.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <unordered_map>
#include <unordered_set>

namespace {

const size_t maxSourceSize = size_t(16) << 20;
const size_t maxIdentifierLength = 1024;
const int maxBracketDepth = 256;
const int maxExpressionDepth = 320;  // brackets plus chained casts
const int maxGenericAttributes = 15;

enum class TokenKind { Identifier, Number, Punct, End };

struct Token {
    TokenKind kind;
    std::string text;
    int line;
    bool spaceBefore;
    int match;   // the other bracket of a pair, -1 for everything else
    int commas;  // commas directly inside a bracket pair
};

// A Cg type: base 'f' (float, half, fixed, double), 'i', 'b', 'v' (void) or 's' (a struct).
struct TypeInfo {
    char base;
    int rows;  // 1 for scalars and vectors
    int cols;  // vector size; 1 for scalars
    std::string glsl;
};

// A type as written in a declaration: built-in, or one of the program's structs.
struct TypeRef {
    bool isStruct;
    int structIndex;
    TypeInfo info;
    std::string cgName;
    std::string glsl;
};

struct Member {
    std::string name;
    std::string glslName;
    TypeRef type;
    std::string semantic;
    int line;
};

struct StructDef {
    std::string name;
    std::string glslName;
    std::vector<Member> members;
};

struct Param {
    bool isUniform;
    bool isOut;
    bool isConst;
    std::string qualifier;  // in, out, inout or empty
    TypeRef type;
    std::string name;
    std::string semantic;
    int line;
};

enum PreambleFunction {
    PreambleSaturate = 1,
    PreambleTrunc = 2,
    PreambleFmod = 4,
    PreambleRound = 8,
    PreambleLog10 = 16,
    PreambleSincos = 32,
};

struct Translator {
    std::string fileName;
    std::string entry;
    std::vector<Token> tokens;
    std::vector<StructDef> structs;
    std::unordered_map<std::string, int> structIndex;  // hashed: a program may hold many structs
    std::unordered_set<std::string> uniformNames;
    std::string body;
    int bodyLine = 1;  // the source line the current output line reports as
    int preamble = 0;
    bool entryFound = false;
    bool failed = false;
    std::string error;
    int errorLine = 0;
    CgTranslation *result = nullptr;
};

bool Fail(Translator &t, int line, const std::string &message)
{
    if (!t.failed) {
        t.failed = true;
        t.errorLine = line;
        t.error = t.fileName + "(" + std::to_string(line) + "): error: " + message;
    }
    return false;
}

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(unsigned char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool IsIdentifierStart(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool IsIdentifierChar(unsigned char c) { return IsIdentifierStart(c) || IsDigit(c); }

// A byte as the user can read it in a message.
std::string ShowChar(unsigned char c)
{
    if (c >= 0x20 && c < 0x7f) {
        return std::string("'") + char(c) + "'";
    }
    const char *hex = "0123456789abcdef";
    return std::string("byte 0x") + hex[c >> 4] + hex[c & 15];
}

// Cg writes 1.0f, 0.5h and 2u; GLSL 1.20 knows none of these suffixes.
bool LexNumber(Translator &t, const std::string &src, size_t *pos, int line, std::string *text)
{
    size_t n = src.size();
    size_t b = *pos;
    size_t j = b;
    if (src[b] == '0' && b + 1 < n && (src[b + 1] == 'x' || src[b + 1] == 'X')) {
        j = b + 2;
        while (j < n && IsHexDigit(src[j])) {
            j++;
        }
        if (j == b + 2) {
            return Fail(t, line, "malformed number");
        }
        *text = src.substr(b, j - b);
    } else {
        bool isFloat = false;
        while (j < n && IsDigit(src[j])) {
            j++;
        }
        if (j < n && src[j] == '.') {
            isFloat = true;
            j++;
            while (j < n && IsDigit(src[j])) {
                j++;
            }
        }
        if (j < n && (src[j] == 'e' || src[j] == 'E')) {
            size_t k = j + 1;
            if (k < n && (src[k] == '+' || src[k] == '-')) {
                k++;
            }
            if (k >= n || !IsDigit(src[k])) {
                return Fail(t, line, "malformed exponent in a number");
            }
            isFloat = true;
            j = k;
            while (j < n && IsDigit(src[j])) {
                j++;
            }
        }
        *text = src.substr(b, j - b);
        if (j < n && std::strchr("fFhHxX", src[j]) && src[j] != '\0') {
            j++;
            if (!isFloat) {
                *text += ".0";
            }
        } else if (j < n && (src[j] == 'u' || src[j] == 'U')) {
            j++;
        }
    }
    if (j < n && IsIdentifierChar(src[j])) {
        return Fail(t, line, "malformed number");
    }
    *pos = j;
    return true;
}

bool Lex(Translator &t, const std::string &src)
{
    static const char *const longPuncts[] = {"<<=", ">>=", "++", "--", "+=", "-=", "*=", "/=", "%=", "==", "!=",
                                             "<=",  ">=",  "&&", "||", "^^", "<<", ">>", "&=", "|=", "^="};
    size_t n = src.size();
    size_t i = 0;
    int line = 1;
    bool space = true;
    while (i < n) {
        unsigned char c = src[i];
        if (c == '\n') {
            line++;
            i++;
            space = true;
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
            i++;
            space = true;
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
            int start = line;
            i += 2;
            bool closed = false;
            while (i < n) {
                if (src[i] == '\n') {
                    line++;
                } else if (src[i] == '*' && i + 1 < n && src[i + 1] == '/') {
                    i += 2;
                    closed = true;
                    break;
                }
                i++;
            }
            if (!closed) {
                return Fail(t, start, "comment is never closed");
            }
            space = true;
            continue;
        }
        Token tok{TokenKind::Punct, std::string(), line, space, -1, 0};
        space = false;
        if (IsIdentifierStart(c)) {
            size_t b = i;
            while (i < n && IsIdentifierChar(src[i])) {
                i++;
            }
            if (i - b > maxIdentifierLength) {
                return Fail(t, line, "identifier longer than 1024 characters");
            }
            tok.kind = TokenKind::Identifier;
            tok.text = src.substr(b, i - b);
        } else if (IsDigit(c) || (c == '.' && i + 1 < n && IsDigit(src[i + 1]))) {
            if (!LexNumber(t, src, &i, line, &tok.text)) {
                return false;
            }
            tok.kind = TokenKind::Number;
        } else if (c == '#') {
            return Fail(t, line, "preprocessor directives are not supported");
        } else if (c == '"') {
            return Fail(t, line, "strings are not supported");
        } else {
            for (const char *p : longPuncts) {
                size_t len = std::strlen(p);
                if (src.compare(i, len, p) == 0) {
                    tok.text = p;
                    break;
                }
            }
            if (tok.text.empty()) {
                if (c == 0 || !std::strchr("()[]{};,.:?+-*/%<>=!&|^~", c)) {
                    return Fail(t, line, "unexpected character " + ShowChar(c));
                }
                tok.text = std::string(1, char(c));
            }
            i += tok.text.size();
        }
        t.tokens.push_back(std::move(tok));
    }
    t.tokens.push_back(Token{TokenKind::End, std::string(), line, true, -1, 0});
    return true;
}

bool IsOpen(const Token &tok)
{
    return tok.kind == TokenKind::Punct && tok.text.size() == 1 && std::strchr("([{", tok.text[0]);
}

bool IsClose(const Token &tok)
{
    return tok.kind == TokenKind::Punct && tok.text.size() == 1 && std::strchr(")]}", tok.text[0]);
}

bool Is(const Token &tok, const char *text)
{
    return tok.kind != TokenKind::End && tok.text == text;
}

// Pairs every bracket once, so later passes skip groups in constant time and never recurse
// deeper than the bracket limit.
bool MatchBrackets(Translator &t)
{
    std::vector<int> open;
    for (int i = 0; i < int(t.tokens.size()); i++) {
        Token &tok = t.tokens[i];
        if (IsOpen(tok)) {
            if (int(open.size()) >= maxBracketDepth) {
                return Fail(t, tok.line, "brackets nested deeper than 256 levels");
            }
            open.push_back(i);
        } else if (IsClose(tok)) {
            if (open.empty()) {
                return Fail(t, tok.line, "'" + tok.text + "' without an opening bracket");
            }
            Token &opener = t.tokens[open.back()];
            const char expected = opener.text[0] == '(' ? ')' : opener.text[0] == '[' ? ']' : '}';
            if (tok.text[0] != expected) {
                return Fail(t, tok.line, "'" + tok.text + "' does not close the '" + opener.text + "' of line " +
                                             std::to_string(opener.line));
            }
            opener.match = i;
            tok.match = open.back();
            open.pop_back();
        } else if (Is(tok, ",") && !open.empty()) {
            t.tokens[open.back()].commas++;
        }
    }
    if (!open.empty()) {
        const Token &opener = t.tokens[open.front()];
        return Fail(t, opener.line, "'" + opener.text + "' is never closed");
    }
    return true;
}

bool LookupCgType(const std::string &name, TypeInfo *info)
{
    if (name == "void") {
        *info = TypeInfo{'v', 0, 0, "void"};
        return true;
    }
    static const struct {
        const char *prefix;
        char base;
    } families[] = {{"float", 'f'}, {"half", 'f'}, {"fixed", 'f'}, {"double", 'f'}, {"int", 'i'}, {"bool", 'b'}};
    for (const auto &family : families) {
        size_t len = std::strlen(family.prefix);
        if (name.compare(0, len, family.prefix) != 0) {
            continue;
        }
        std::string rest = name.substr(len);
        int rows = 1;
        int cols = 1;
        if (rest.size() == 1 && rest[0] >= '1' && rest[0] <= '4') {
            cols = rest[0] - '0';
        } else if (rest.size() == 3 && family.base == 'f' && rest[0] >= '2' && rest[0] <= '4' && rest[1] == 'x' &&
                   rest[2] >= '2' && rest[2] <= '4') {
            rows = rest[0] - '0';
            cols = rest[2] - '0';
        } else if (!rest.empty()) {
            return false;
        }
        std::string glsl;
        if (rows > 1) {
            // Held transposed: Cg rows become GLSL columns, so floatRxC is GLSL matRxC.
            glsl = "mat" + std::to_string(rows);
            if (rows != cols) {
                glsl += "x" + std::to_string(cols);
            }
        } else if (cols == 1) {
            glsl = family.base == 'f' ? "float" : family.base == 'i' ? "int" : "bool";
        } else {
            glsl = std::string(family.base == 'f' ? "vec" : family.base == 'i' ? "ivec" : "bvec") +
                   std::to_string(cols);
        }
        *info = TypeInfo{family.base, rows, cols, glsl};
        return true;
    }
    return false;
}

bool IsCgType(const std::string &name)
{
    TypeInfo info;
    return LookupCgType(name, &info);
}

// GLSL words a Cg program may use as names; they are renamed with a prefix of our own.
bool IsGlslReserved(const std::string &name)
{
    static const std::set<std::string> reserved = {
        "active", "asm", "attribute", "buffer", "bvec2", "bvec3", "bvec4", "case", "cast", "centroid", "class",
        "coherent", "common", "default", "dvec2", "dvec3", "dvec4", "enum", "external", "filter", "flat", "fvec2",
        "fvec3", "fvec4", "goto", "highp", "hvec2", "hvec3", "hvec4", "input", "interface", "invariant",
        "isampler1D", "isampler2D", "isampler3D", "ivec2", "ivec3", "ivec4", "layout", "long", "lowp", "main",
        "mat2", "mat2x2", "mat2x3", "mat2x4", "mat3", "mat3x2", "mat3x3", "mat3x4", "mat4", "mat4x2", "mat4x3",
        "mat4x4", "mediump", "namespace", "noinline", "noperspective", "output", "packed", "partition", "patch",
        "precise", "precision", "public", "readonly", "resource", "restrict", "row_major", "sample", "shared",
        "short", "sizeof", "smooth", "subroutine", "superp", "switch", "template", "this", "typedef", "uint",
        "union", "unsigned", "using", "uvec2", "uvec3", "uvec4", "varying", "vec2", "vec3", "vec4", "volatile",
        "writeonly"};
    return reserved.count(name) != 0;
}

// The shader's name for a program name: unchanged unless GLSL reserves it or it could meet one
// of the generated names (which all start with "cgx_").
std::string GlslName(const std::string &name)
{
    if (IsGlslReserved(name) || name.compare(0, 3, "gl_") == 0 || name.compare(0, 4, "cgx_") == 0 ||
        name.compare(0, 4, "cgu_") == 0) {
        return "cgu_" + name;
    }
    return name;
}

std::string Upper(const std::string &text)
{
    std::string up = text;
    for (char &c : up) {
        if (c >= 'a' && c <= 'z') {
            c = char(c - 'a' + 'A');
        }
    }
    return up;
}

// Appends text that stands on source line `line`, starting a new output line or a #line
// directive when the line changes, so that compiler messages name lines of the Cg file.
void EmitAt(Translator &t, int line, const std::string &text, bool space)
{
    bool lineStart = t.body.empty() || t.body.back() == '\n';
    if (line != t.bodyLine) {
        if (line > t.bodyLine && line - t.bodyLine <= 4) {
            t.body.append(size_t(line - t.bodyLine), '\n');
        } else {
            if (!lineStart) {
                t.body += '\n';
            }
            // GLSL 1.20: the line after "#line n" is line n + 1.
            t.body += "#line " + std::to_string(line - 1) + "\n";
        }
        t.bodyLine = line;
        lineStart = true;
    }
    if (space && !lineStart) {
        t.body += ' ';
    }
    t.body += text;
}

void EmitToken(Translator &t, const Token &tok, const std::string &text)
{
    EmitAt(t, tok.line, text, tok.spaceBefore);
}

bool ParseType(Translator &t, int pos, TypeRef *type)
{
    const Token &tok = t.tokens[pos];
    if (tok.kind != TokenKind::Identifier) {
        return false;
    }
    type->cgName = tok.text;
    if (LookupCgType(tok.text, &type->info)) {
        type->isStruct = false;
        type->structIndex = -1;
        type->glsl = type->info.glsl;
        return true;
    }
    auto found = t.structIndex.find(tok.text);
    if (found == t.structIndex.end()) {
        return false;
    }
    type->isStruct = true;
    type->structIndex = found->second;
    type->info = TypeInfo{'s', 0, 0, t.structs[found->second].glslName};
    type->glsl = t.structs[found->second].glslName;
    return true;
}

bool IsName(const Token &tok)
{
    return tok.kind == TokenKind::Identifier && !IsCgType(tok.text);
}

struct LibraryName {
    const char *cg;
    const char *glsl;
    int preamble;
};

const LibraryName libraryNames[] = {
    {"frac", "fract", 0},
    {"lerp", "mix", 0},
    {"rsqrt", "inversesqrt", 0},
    {"atan2", "atan", 0},
    {"saturate", "cgx_saturate", PreambleSaturate},
    {"fmod", "cgx_fmod", PreambleFmod | PreambleTrunc},
    {"trunc", "cgx_trunc", PreambleTrunc},
    {"round", "cgx_round", PreambleRound},
    {"log10", "cgx_log10", PreambleLog10},
    {"sincos", "cgx_sincos", PreambleSincos},
};

bool IsUnaryOperator(const Token &tok)
{
    return Is(tok, "-") || Is(tok, "+") || Is(tok, "!") || Is(tok, "~") || Is(tok, "++") || Is(tok, "--");
}

// "(float3)" where a cast can stand.
bool IsCastAt(const Translator &t, int i, int end)
{
    if (i + 3 >= end || !Is(t.tokens[i], "(") || !Is(t.tokens[i + 2], ")")) {
        return false;
    }
    TypeInfo info;
    const Token &type = t.tokens[i + 1];
    if (type.kind != TokenKind::Identifier || !LookupCgType(type.text, &info) || info.base == 'v') {
        return false;
    }
    const Token &next = t.tokens[i + 3];
    return next.kind == TokenKind::Identifier || next.kind == TokenKind::Number || Is(next, "(") ||
           IsUnaryOperator(next);
}

bool TranslateRange(Translator &t, int begin, int end, int depth);

// (T)x binds like a unary operator: its operand is a unary expression with its postfixes.
bool TranslateCast(Translator &t, int i, int end, int depth, int *next)
{
    const Token &open = t.tokens[i];
    int j = i + 3;
    int chained = 0;
    for (;;) {
        if (j >= end) {
            return Fail(t, open.line, "the cast to '" + t.tokens[i + 1].text + "' has no operand");
        }
        const Token &tok = t.tokens[j];
        if (IsUnaryOperator(tok)) {
            j++;
        } else if (IsCastAt(t, j, end)) {
            // Each chained cast recurses once below; refuse long chains before scanning them.
            if (depth + ++chained > maxExpressionDepth) {
                return Fail(t, tok.line, "expression nested too deeply");
            }
            j += 3;
        } else if (Is(tok, "(")) {
            j = tok.match + 1;
            break;
        } else if (tok.kind == TokenKind::Identifier || tok.kind == TokenKind::Number) {
            j++;
            if (tok.kind == TokenKind::Identifier && j < end && Is(t.tokens[j], "(")) {
                j = t.tokens[j].match + 1;
            }
            break;
        } else {
            return Fail(t, tok.line, "cannot read the operand of the cast to '" + t.tokens[i + 1].text + "'");
        }
    }
    while (j < end) {
        const Token &tok = t.tokens[j];
        if (Is(tok, ".") && j + 1 < end && t.tokens[j + 1].kind == TokenKind::Identifier) {
            j += 2;
        } else if (Is(tok, "[")) {
            j = tok.match + 1;
        } else if (Is(tok, "++") || Is(tok, "--")) {
            j++;
        } else {
            break;
        }
    }
    if (j > end) {
        return Fail(t, open.line, "cannot read the operand of the cast to '" + t.tokens[i + 1].text + "'");
    }
    TypeInfo info;
    LookupCgType(t.tokens[i + 1].text, &info);
    EmitAt(t, open.line, info.glsl + "(", open.spaceBefore);
    if (!TranslateRange(t, i + 3, j, depth + 1)) {
        return false;
    }
    EmitAt(t, t.tokens[j - 1].line, ")", false);
    *next = j;
    return true;
}

// mul(a, b) is a * b in Cg's row-vector reading; with matrices held transposed it is (b) * (a).
bool TranslateMul(Translator &t, int i, int depth, int *next)
{
    const Token &name = t.tokens[i];
    const Token &open = t.tokens[i + 1];
    int close = open.match;
    int comma = -1;
    for (int j = i + 2; j < close; j++) {
        if (IsOpen(t.tokens[j])) {
            j = t.tokens[j].match;
        } else if (Is(t.tokens[j], ",")) {
            comma = j;
            break;
        }
    }
    if (open.commas != 1 || comma == i + 2 || comma + 1 == close) {
        return Fail(t, name.line, "mul takes two arguments");
    }
    EmitAt(t, name.line, "((", name.spaceBefore);
    if (!TranslateRange(t, comma + 1, close, depth + 1)) {
        return false;
    }
    EmitAt(t, t.tokens[close].line, ") * (", false);
    if (!TranslateRange(t, i + 2, comma, depth + 1)) {
        return false;
    }
    EmitAt(t, t.tokens[close].line, "))", false);
    *next = close + 1;
    return true;
}

// Copies tokens [begin, end) into the shader with Cg types, library calls and casts rewritten.
bool TranslateRange(Translator &t, int begin, int end, int depth)
{
    if (depth > maxExpressionDepth) {
        return Fail(t, t.tokens[begin].line, "expression nested too deeply");
    }
    int i = begin;
    while (i < end) {
        const Token &tok = t.tokens[i];
        const bool afterDot = i > 0 && Is(t.tokens[i - 1], ".");
        const bool called = i + 1 < end && Is(t.tokens[i + 1], "(");
        if (tok.kind == TokenKind::Punct) {
            if (IsCastAt(t, i, end)) {
                if (!TranslateCast(t, i, end, depth, &i)) {
                    return false;
                }
                continue;
            }
            EmitToken(t, tok, tok.text);
        } else if (tok.kind == TokenKind::Number) {
            EmitToken(t, tok, tok.text);
        } else if (afterDot) {
            EmitToken(t, tok, GlslName(tok.text));
        } else if (tok.text == "mul" && called) {
            if (!TranslateMul(t, i, depth, &i)) {
                return false;
            }
            continue;
        } else if (tok.text == "static" || tok.text == "inline" || tok.text == "extern") {
            // GLSL has no such storage classes; locals behave the same without them.
        } else {
            TypeInfo info;
            std::string text;
            if (LookupCgType(tok.text, &info)) {
                text = info.glsl;
            } else if (tok.text == t.entry) {
                text = "cgx_entry";
            } else {
                text = GlslName(tok.text);
                if (called) {
                    for (const LibraryName &lib : libraryNames) {
                        if (tok.text == lib.cg) {
                            text = lib.glsl;
                            t.preamble |= lib.preamble;
                            break;
                        }
                    }
                }
            }
            EmitToken(t, tok, text);
        }
        i++;
    }
    return true;
}

bool ParseStruct(Translator &t, int *pos)
{
    const Token &keyword = t.tokens[*pos];
    const Token &nameTok = t.tokens[*pos + 1];
    if (!IsName(nameTok)) {
        return Fail(t, keyword.line, "expected a name after 'struct'");
    }
    if (t.structIndex.count(nameTok.text)) {
        return Fail(t, nameTok.line, "struct '" + nameTok.text + "' is defined twice");
    }
    const int open = *pos + 2;
    if (!Is(t.tokens[open], "{")) {
        return Fail(t, nameTok.line, "expected '{' after 'struct " + nameTok.text + "'");
    }
    const int close = t.tokens[open].match;
    StructDef def;
    def.name = nameTok.text;
    def.glslName = GlslName(def.name);
    std::unordered_set<std::string> memberNames;
    int i = open + 1;
    while (i < close) {
        TypeRef type;
        if (!ParseType(t, i, &type)) {
            return Fail(t, t.tokens[i].line,
                        "unknown type '" + t.tokens[i].text + "' in struct '" + def.name + "'");
        }
        if (type.info.base == 'v') {
            return Fail(t, t.tokens[i].line, "a member of struct '" + def.name + "' cannot be void");
        }
        i++;
        for (;;) {
            const Token &memberTok = t.tokens[i];
            if (!IsName(memberTok)) {
                return Fail(t, memberTok.line, "expected a member name in struct '" + def.name + "'");
            }
            Member member{memberTok.text, GlslName(memberTok.text), type, std::string(), memberTok.line};
            if (!memberNames.insert(member.name).second) {
                return Fail(t, member.line, "member '" + member.name + "' appears twice in struct '" + def.name + "'");
            }
            i++;
            if (Is(t.tokens[i], "[")) {
                return Fail(t, t.tokens[i].line, "arrays in structs are not supported");
            }
            if (Is(t.tokens[i], ":")) {
                if (t.tokens[i + 1].kind != TokenKind::Identifier) {
                    return Fail(t, t.tokens[i].line, "expected a semantic after ':'");
                }
                member.semantic = t.tokens[i + 1].text;
                i += 2;
            }
            def.members.push_back(member);
            if (Is(t.tokens[i], ",")) {
                i++;
                continue;
            }
            if (!Is(t.tokens[i], ";")) {
                return Fail(t, t.tokens[i].line, "expected ';' after member '" + member.name + "'");
            }
            i++;
            break;
        }
    }
    if (def.members.empty()) {
        return Fail(t, nameTok.line, "struct '" + def.name + "' has no members");
    }
    if (!Is(t.tokens[close + 1], ";")) {
        return Fail(t, t.tokens[close].line, "expected ';' after the '}' of struct '" + def.name + "'");
    }
    EmitAt(t, keyword.line, "struct", keyword.spaceBefore);
    EmitAt(t, nameTok.line, def.glslName, true);
    EmitAt(t, t.tokens[open].line, "{", true);
    for (const Member &m : def.members) {
        EmitAt(t, m.line, m.type.glsl, true);
        EmitAt(t, m.line, m.glslName + ";", true);
    }
    EmitAt(t, t.tokens[close].line, "};", true);
    t.structIndex[def.name] = int(t.structs.size());
    t.structs.push_back(std::move(def));
    *pos = close + 2;
    return true;
}

bool UniformTypeOf(const TypeRef &type, CgType *out)
{
    if (type.isStruct) {
        return false;
    }
    const TypeInfo &info = type.info;
    static const CgType floats[] = {CgType::Float, CgType::Float2, CgType::Float3, CgType::Float4};
    static const CgType ints[] = {CgType::Int, CgType::Int2, CgType::Int3, CgType::Int4};
    static const CgType matrices[] = {CgType::Float2x2, CgType::Float3x3, CgType::Float4x4};
    if (info.base == 'f' && info.rows == 1) {
        *out = floats[info.cols - 1];
        return true;
    }
    if (info.base == 'f' && info.rows == info.cols) {
        *out = matrices[info.rows - 2];
        return true;
    }
    if (info.base == 'i' && info.rows == 1) {
        *out = ints[info.cols - 1];
        return true;
    }
    return false;
}

bool AddUniform(Translator &t, const std::string &name, const TypeRef &type, int line)
{
    CgUniform uniform{name, GlslName(name), CgType::Float};
    if (!UniformTypeOf(type, &uniform.type)) {
        return Fail(t, line, "uniform '" + name + "' has the unsupported type '" + type.cgName + "'");
    }
    if (!t.uniformNames.insert(name).second) {
        return Fail(t, line, "uniform '" + name + "' is declared twice");
    }
    t.result->uniforms.push_back(uniform);
    return true;
}

bool ParseParam(Translator &t, int begin, int end, const std::string &function, Param *param)
{
    *param = Param{false, false, false, std::string(), TypeRef(), std::string(), std::string(), t.tokens[begin].line};
    int i = begin;
    for (; i < end && t.tokens[i].kind == TokenKind::Identifier; i++) {
        const std::string &word = t.tokens[i].text;
        if (word == "uniform") {
            param->isUniform = true;
        } else if (word == "const") {
            param->isConst = true;
        } else if (word == "in" || word == "out" || word == "inout") {
            param->qualifier = word;
            param->isOut = word != "in";
        } else {
            break;
        }
    }
    if (i >= end || !ParseType(t, i, &param->type)) {
        const Token &tok = t.tokens[std::min(i, end)];
        return Fail(t, tok.line, "unknown type '" + tok.text + "' in the parameters of '" + function + "'");
    }
    i++;
    if (i >= end || !IsName(t.tokens[i])) {
        return Fail(t, t.tokens[std::min(i, end)].line,
                    "expected a parameter name after '" + param->type.cgName + "' in '" + function + "'");
    }
    param->name = t.tokens[i].text;
    param->line = t.tokens[i].line;
    i++;
    if (i < end && Is(t.tokens[i], ":")) {
        if (i + 1 >= end || t.tokens[i + 1].kind != TokenKind::Identifier) {
            return Fail(t, t.tokens[i].line, "expected a semantic after ':'");
        }
        param->semantic = t.tokens[i + 1].text;
        i += 2;
    }
    if (i < end) {
        const Token &tok = t.tokens[i];
        if (Is(tok, "=")) {
            return Fail(t, tok.line, "default values of parameters are not supported");
        }
        if (Is(tok, "[")) {
            return Fail(t, tok.line, "array parameters are not supported");
        }
        return Fail(t, tok.line, "unexpected '" + tok.text + "' in the parameters of '" + function + "'");
    }
    return true;
}

bool ParseParams(Translator &t, int open, const std::string &function, std::vector<Param> *params)
{
    const int close = t.tokens[open].match;
    if (close == open + 1 || (close == open + 2 && Is(t.tokens[open + 1], "void"))) {
        return true;
    }
    int begin = open + 1;
    for (int i = open + 1; i <= close; i++) {
        if (IsOpen(t.tokens[i])) {
            i = t.tokens[i].match;
            continue;
        }
        if (i == close || Is(t.tokens[i], ",")) {
            if (i == begin) {
                return Fail(t, t.tokens[i].line, "empty parameter in '" + function + "'");
            }
            Param param;
            if (!ParseParam(t, begin, i, function, &param)) {
                return false;
            }
            params->push_back(param);
            begin = i + 1;
        }
    }
    return true;
}

// Where a varying input of this semantic comes from. POSITION and COLOR0 are the fixed
// pipeline's own arrays; everything else takes the next generic attribute, never index 0.
bool AddInput(Translator &t, const std::string &name, const std::string &semantic, const TypeRef &type, int line,
              std::string *expression, std::string *declarations)
{
    const TypeInfo &info = type.info;
    if (type.isStruct || info.rows != 1 || (info.base != 'f' && info.base != 'i')) {
        return Fail(t, line, "varying input '" + name + "' has the unsupported type '" + type.cgName + "'");
    }
    CgVaryingInput input{name, std::string(), CgInputSource::Attribute, 0, info.cols};
    const std::string sem = Upper(semantic);
    if (sem == "POSITION" || sem == "POSITION0") {
        input.source = CgInputSource::Vertex;
    } else if (sem == "COLOR" || sem == "COLOR0") {
        input.source = CgInputSource::Color;
    }
    int attributes = 0;
    for (const CgVaryingInput &other : t.result->inputs) {
        if (other.source == input.source && input.source != CgInputSource::Attribute) {
            return Fail(t, line, "two varying inputs have the semantic " + sem);
        }
        attributes += other.source == CgInputSource::Attribute;
    }
    static const char *const swizzles[] = {"", ".x", ".xy", ".xyz", ""};
    std::string value;
    if (input.source == CgInputSource::Attribute) {
        if (attributes >= maxGenericAttributes) {
            return Fail(t, line, "more than 15 varying inputs");
        }
        input.attribIndex = attributes + 1;
        input.glslName = "cgx_attr" + std::to_string(input.attribIndex);
        *declarations += "attribute " + std::string(info.cols == 1 ? "float" : "vec" + std::to_string(info.cols)) +
                         " " + input.glslName + "; ";
        value = input.glslName;
    } else {
        value = std::string(input.source == CgInputSource::Vertex ? "gl_Vertex" : "gl_Color") + swizzles[info.cols];
    }
    *expression = info.base == 'i' ? info.glsl + "(" + value + ")" : value;
    t.result->inputs.push_back(input);
    return true;
}

// The built-in output a semantic writes, and whether it is a vec4 (else a float).
bool OutputTarget(const std::string &semantic, std::string *target, bool *isVector)
{
    const std::string sem = Upper(semantic);
    *isVector = true;
    if (sem == "POSITION" || sem == "POSITION0" || sem == "HPOS") {
        *target = "gl_Position";
    } else if (sem == "COLOR" || sem == "COLOR0" || sem == "COL" || sem == "COL0") {
        *target = "gl_FrontColor";
    } else if (sem == "COLOR1" || sem == "COL1") {
        *target = "gl_FrontSecondaryColor";
    } else if (sem == "BCOL0") {
        *target = "gl_BackColor";
    } else if (sem == "BCOL1") {
        *target = "gl_BackSecondaryColor";
    } else if (sem == "PSIZE" || sem == "PSIZ") {
        *target = "gl_PointSize";
        *isVector = false;
    } else if (sem == "FOG" || sem == "FOGC") {
        *target = "gl_FogFragCoord";
        *isVector = false;
    } else {
        std::string digits;
        if (sem.compare(0, 8, "TEXCOORD") == 0) {
            digits = sem.substr(8);
        } else if (sem.compare(0, 3, "TEX") == 0) {
            digits = sem.substr(3);
        } else {
            return false;
        }
        if (digits.empty()) {
            digits = "0";
        }
        if (digits.size() != 1 || digits[0] < '0' || digits[0] > '7') {
            return false;
        }
        *target = "gl_TexCoord[" + digits + "]";
    }
    return true;
}

bool AddOutput(Translator &t, const std::string &name, const std::string &value, const std::string &semantic,
               const TypeRef &type, int line, std::vector<std::string> *targets, std::string *code)
{
    const TypeInfo &info = type.info;
    if (semantic.empty()) {
        return Fail(t, line, "output '" + name + "' has no semantic");
    }
    if (type.isStruct || info.base != 'f' || info.rows != 1) {
        return Fail(t, line, "output '" + name + "' has the unsupported type '" + type.cgName + "'");
    }
    std::string target;
    bool isVector = true;
    if (!OutputTarget(semantic, &target, &isVector)) {
        return Fail(t, line, "unsupported output semantic '" + semantic + "'");
    }
    if (std::find(targets->begin(), targets->end(), target) != targets->end()) {
        return Fail(t, line, "two outputs have the semantic " + Upper(semantic));
    }
    targets->push_back(target);
    // Missing components read as (0, 0, 0, 1), as the fixed pipeline fills them.
    static const char *const paddings[] = {"", ", 0.0, 0.0, 1.0)", ", 0.0, 1.0)", ", 1.0)", ""};
    std::string converted = value;
    if (!isVector) {
        converted = info.cols == 1 ? value : value + ".x";
    } else if (info.cols < 4) {
        converted = "vec4(" + value + paddings[info.cols];
    }
    *code += target + " = " + converted + "; ";
    return true;
}

// Emits the entry function as cgx_entry, its uniform parameters as uniforms, and a main()
// that fills the varying inputs, calls it and writes the outputs to the built-in variables.
bool EmitEntry(Translator &t, const TypeRef &ret, int nameIndex, int open, const std::string &returnSemantic,
               int bodyOpen)
{
    const Token &nameTok = t.tokens[nameIndex];
    const int bodyClose = t.tokens[bodyOpen].match;
    if (t.entryFound) {
        return Fail(t, nameTok.line, "entry function '" + t.entry + "' is defined twice");
    }
    t.entryFound = true;
    std::vector<Param> params;
    if (!ParseParams(t, open, t.entry, &params)) {
        return false;
    }
    std::string declarations;
    std::string setup;
    std::string arguments;
    std::string signature;
    int varyingCount = 0;
    for (const Param &param : params) {
        if (param.isUniform) {
            if (!AddUniform(t, param.name, param.type, param.line)) {
                return false;
            }
            EmitAt(t, param.line, "uniform " + param.type.glsl + " " + GlslName(param.name) + ";", true);
            continue;
        }
        if (param.isOut) {
            return Fail(t, param.line, "output parameters of '" + t.entry + "' are not supported; return a struct");
        }
        const std::string local = "cgx_in" + std::to_string(varyingCount++);
        if (param.type.isStruct) {
            const StructDef &def = t.structs[param.type.structIndex];
            setup += def.glslName + " " + local + "; ";
            for (const Member &m : def.members) {
                std::string expression;
                if (!AddInput(t, param.name + "." + m.name, m.semantic, m.type, m.line, &expression, &declarations)) {
                    return false;
                }
                setup += local + "." + m.glslName + " = " + expression + "; ";
            }
        } else {
            if (param.semantic.empty()) {
                return Fail(t, param.line,
                            "parameter '" + param.name + "' of '" + t.entry + "' needs a semantic or 'uniform'");
            }
            std::string expression;
            if (!AddInput(t, param.name, param.semantic, param.type, param.line, &expression, &declarations)) {
                return false;
            }
            setup += param.type.glsl + " " + local + " = " + expression + "; ";
        }
        arguments += (arguments.empty() ? "" : ", ") + local;
        signature += (signature.empty() ? "" : ", ") + std::string(param.isConst ? "const " : "") +
                     param.type.glsl + " " + GlslName(param.name);
    }

    std::vector<std::string> targets;
    std::string outputs;
    if (ret.info.base == 'v') {
        return Fail(t, nameTok.line, "entry function '" + t.entry + "' returns nothing; it must return its output");
    }
    if (ret.isStruct) {
        if (!returnSemantic.empty()) {
            return Fail(t, nameTok.line, "a semantic on a struct result is not supported");
        }
        for (const Member &m : t.structs[ret.structIndex].members) {
            if (!AddOutput(t, m.name, "cgx_out." + m.glslName, m.semantic, m.type, m.line, &targets, &outputs)) {
                return false;
            }
        }
    } else if (!AddOutput(t, "result of " + t.entry, "cgx_out", returnSemantic, ret, nameTok.line, &targets,
                          &outputs)) {
        return false;
    }
    if (std::find(targets.begin(), targets.end(), "gl_Position") == targets.end()) {
        return Fail(t, nameTok.line, "the output of '" + t.entry + "' has no POSITION");
    }

    EmitAt(t, t.tokens[nameIndex - 1].line, ret.glsl, t.tokens[nameIndex - 1].spaceBefore);
    EmitAt(t, nameTok.line, "cgx_entry(" + signature + ")", true);
    if (!TranslateRange(t, bodyOpen, bodyClose + 1, 0)) {
        return false;
    }
    // The wrapper reports as the entry function's line: its faults come from that declaration.
    EmitAt(t, nameTok.line, declarations + "void main() { " + setup + ret.glsl + " cgx_out = cgx_entry(" +
                                arguments + "); " + outputs + "}",
           false);
    return true;
}

void EmitFunctionHeader(Translator &t, const TypeRef &ret, int nameIndex, const std::vector<Param> &params)
{
    const Token &nameTok = t.tokens[nameIndex];
    EmitAt(t, t.tokens[nameIndex - 1].line, ret.glsl, t.tokens[nameIndex - 1].spaceBefore);
    EmitAt(t, nameTok.line, GlslName(nameTok.text) + "(", true);
    for (size_t p = 0; p < params.size(); p++) {
        // Semantics and "uniform" mean nothing on the parameters of an ordinary function.
        const Param &param = params[p];
        std::string text = (param.isConst ? "const " : "") + param.qualifier;
        text += (text.empty() || text.back() == ' ' ? "" : " ") + param.type.glsl + " " + GlslName(param.name);
        EmitAt(t, param.line, text + (p + 1 < params.size() ? "," : ""), p > 0);
    }
    EmitAt(t, t.tokens[t.tokens[nameIndex + 1].match].line, ")", false);
}

bool ParseFunction(Translator &t, const TypeRef &ret, int nameIndex, int *next)
{
    const Token &nameTok = t.tokens[nameIndex];
    const int open = nameIndex + 1;
    const int close = t.tokens[open].match;
    int k = close + 1;
    std::string semantic;
    if (Is(t.tokens[k], ":")) {
        if (t.tokens[k + 1].kind != TokenKind::Identifier) {
            return Fail(t, t.tokens[k].line, "expected a semantic after ':'");
        }
        semantic = t.tokens[k + 1].text;
        k += 2;
    }
    const bool isEntry = nameTok.text == t.entry;
    const bool isPrototype = Is(t.tokens[k], ";");
    if (!isPrototype && !Is(t.tokens[k], "{")) {
        return Fail(t, t.tokens[k].line, "expected '{' after the parameters of '" + nameTok.text + "'");
    }
    *next = isPrototype ? k + 1 : t.tokens[k].match + 1;
    if (isEntry) {
        // The entry's prototype is dropped: its uniform parameters become globals.
        return isPrototype || EmitEntry(t, ret, nameIndex, open, semantic, k);
    }
    std::vector<Param> params;
    if (!ParseParams(t, open, nameTok.text, &params)) {
        return false;
    }
    EmitFunctionHeader(t, ret, nameIndex, params);
    if (isPrototype) {
        EmitToken(t, t.tokens[k], ";");
        return true;
    }
    return TranslateRange(t, k, t.tokens[k].match + 1, 0);
}

// A function, a global variable or a global uniform.
bool ParseDeclaration(Translator &t, int *pos)
{
    const int start = *pos;
    int i = start;
    bool isUniform = false;
    for (; t.tokens[i].kind == TokenKind::Identifier; i++) {
        const std::string &word = t.tokens[i].text;
        if (word == "uniform") {
            isUniform = true;
        } else if (word != "static" && word != "const" && word != "extern" && word != "inline") {
            break;
        }
    }
    const Token &typeTok = t.tokens[i];
    TypeRef type;
    if (!ParseType(t, i, &type)) {
        if (typeTok.kind == TokenKind::Identifier) {
            return Fail(t, typeTok.line, "unknown type '" + typeTok.text + "'");
        }
        return Fail(t, typeTok.line, "unexpected '" + typeTok.text + "'");
    }
    const int nameIndex = i + 1;
    const Token &nameTok = t.tokens[nameIndex];
    if (!IsName(nameTok)) {
        return Fail(t, nameTok.line, "expected a name after '" + typeTok.text + "'");
    }
    if (Is(t.tokens[nameIndex + 1], "(")) {
        if (isUniform) {
            return Fail(t, nameTok.line, "a function cannot be uniform");
        }
        return ParseFunction(t, type, nameIndex, pos);
    }
    // A global variable: runs to the ';' outside brackets; uniforms are recorded by name.
    bool declarator = true;
    bool initializer = false;
    int j = nameIndex;
    for (; !Is(t.tokens[j], ";"); j++) {
        const Token &tok = t.tokens[j];
        if (tok.kind == TokenKind::End) {
            return Fail(t, nameTok.line, "expected ';' after '" + nameTok.text + "'");
        }
        if (Is(tok, ":") && !initializer) {
            return Fail(t, tok.line, "semantics on global variables are not supported");
        }
        initializer = initializer || Is(tok, "=");
        if (declarator && isUniform) {
            if (!IsName(tok)) {
                return Fail(t, tok.line, "expected a name in the declaration of a uniform");
            }
            if (Is(t.tokens[j + 1], "[")) {
                return Fail(t, tok.line, "uniform arrays are not supported");
            }
            if (!AddUniform(t, tok.text, type, tok.line)) {
                return false;
            }
        }
        declarator = Is(tok, ",");
        initializer = initializer && !declarator;
        if (IsOpen(tok)) {
            j = tok.match;
        }
    }
    for (int q = start; q < i; q++) {
        const std::string &word = t.tokens[q].text;
        if (word == "uniform" || word == "const") {
            EmitToken(t, t.tokens[q], word);
        }
    }
    EmitAt(t, typeTok.line, type.glsl, typeTok.spaceBefore);
    if (!TranslateRange(t, nameIndex, j + 1, 0)) {
        return false;
    }
    *pos = j + 1;
    return true;
}

std::string Preamble(int used)
{
    static const char *const types[] = {"float", "vec2", "vec3", "vec4"};
    std::string text;
    for (const char *type : types) {
        const std::string T = type;
        if (used & PreambleSaturate) {
            text += T + " cgx_saturate(" + T + " x) { return clamp(x, 0.0, 1.0); }\n";
        }
        if (used & PreambleTrunc) {
            text += T + " cgx_trunc(" + T + " x) { return sign(x) * floor(abs(x)); }\n";
        }
        if (used & PreambleFmod) {
            // Cg's fmod keeps the sign of a; GLSL's mod follows b.
            text += T + " cgx_fmod(" + T + " a, " + T + " b) { return a - b * cgx_trunc(a / b); }\n";
            if (T != "float") {
                text += T + " cgx_fmod(" + T + " a, float b) { return a - b * cgx_trunc(a / b); }\n";
            }
        }
        if (used & PreambleRound) {
            text += T + " cgx_round(" + T + " x) { return floor(x + 0.5); }\n";
        }
        if (used & PreambleLog10) {
            text += T + " cgx_log10(" + T + " x) { return log(x) * 0.4342944819; }\n";
        }
        if (used & PreambleSincos) {
            text += "void cgx_sincos(" + T + " x, out " + T + " s, out " + T + " c) { s = sin(x); c = cos(x); }\n";
        }
    }
    return text;
}

bool Translate(Translator &t, const std::string &source)
{
    if (source.size() > maxSourceSize) {
        return Fail(t, 1, "the program is larger than 16 MiB");
    }
    if (!Lex(t, source) || !MatchBrackets(t)) {
        return false;
    }
    int pos = 0;
    while (t.tokens[pos].kind != TokenKind::End) {
        const Token &tok = t.tokens[pos];
        if (Is(tok, ";")) {
            pos++;
        } else if (Is(tok, "struct")) {
            if (!ParseStruct(t, &pos)) {
                return false;
            }
        } else if (Is(tok, "typedef")) {
            return Fail(t, tok.line, "typedef is not supported");
        } else if (!ParseDeclaration(t, &pos)) {
            return false;
        }
    }
    if (!t.entryFound) {
        return Fail(t, t.tokens.back().line, "no entry function '" + t.entry + "'");
    }
    return true;
}

int ReadLineNumber(const std::string &text, size_t begin)
{
    int line = 0;
    for (size_t k = begin; k < text.size() && IsDigit(text[k]) && line < 100000000; k++) {
        line = line * 10 + (text[k] - '0');
    }
    return line;
}

// Reads "0:12:" after glslang's "ERROR: "; *rest is what follows it.
bool ReadGlslangPrefix(const std::string &text, int *line, size_t *rest)
{
    size_t i = 0;
    while (i < text.size() && IsDigit(text[i])) {
        i++;
    }
    if (i == 0 || i >= text.size() || text[i] != ':') {
        return false;
    }
    size_t numberStart = ++i;
    while (i < text.size() && IsDigit(text[i])) {
        i++;
    }
    if (i == numberStart || i >= text.size() || text[i] != ':') {
        return false;
    }
    *line = ReadLineNumber(text, numberStart);
    *rest = i + 1;
    return true;
}

// Reads "0:12(5)" (Mesa) or "0(12)" (NVIDIA, AMD); on success *rest is what follows it.
bool ReadLogPrefix(const std::string &text, int *line, size_t *rest)
{
    size_t i = 0;
    while (i < text.size() && IsDigit(text[i])) {
        i++;
    }
    if (i == 0 || i >= text.size()) {
        return false;
    }
    size_t numberStart;
    if (text[i] == ':') {
        numberStart = ++i;
        while (i < text.size() && IsDigit(text[i])) {
            i++;
        }
        if (i == numberStart || i >= text.size() || text[i] != '(') {
            return false;
        }
        size_t closing = text.find(')', i);
        if (closing == std::string::npos) {
            return false;
        }
        *rest = closing + 1;
    } else if (text[i] == '(') {
        numberStart = ++i;
        while (i < text.size() && IsDigit(text[i])) {
            i++;
        }
        if (i == numberStart || i >= text.size() || text[i] != ')') {
            return false;
        }
        *rest = i + 1;
    } else {
        return false;
    }
    *line = ReadLineNumber(text, numberStart);
    return true;
}

}  // namespace

bool TranslateCgProgram(const std::string &source, const char *fileName, const char *entry, CgTranslation *out)
{
    if (!out) {
        return false;
    }
    *out = CgTranslation();
    Translator t;
    t.fileName = fileName ? fileName : "program";
    t.entry = entry && *entry ? entry : "main";
    t.result = out;
    if (!Translate(t, source)) {
        *out = CgTranslation();
        out->error = t.error;
        out->errorLine = t.errorLine;
        return false;
    }
    out->glsl = "#version 120\n" + Preamble(t.preamble) + "#line 0\n" + t.body + "\n";
    return true;
}

int CgTypeComponents(CgType type)
{
    switch (type) {
    case CgType::Float:
    case CgType::Int:
        return 1;
    case CgType::Float2:
    case CgType::Int2:
        return 2;
    case CgType::Float3:
    case CgType::Int3:
        return 3;
    case CgType::Float4:
    case CgType::Int4:
    case CgType::Float2x2:
        return 4;
    case CgType::Float3x3:
        return 9;
    case CgType::Float4x4:
        return 16;
    }
    return 0;
}

std::string RewriteGlslLog(const std::string &log, const char *fileName)
{
    const std::string name = fileName ? fileName : "program";
    std::string out;
    size_t start = 0;
    while (start < log.size()) {
        size_t end = log.find('\n', start);
        if (end == std::string::npos) {
            end = log.size();
        }
        std::string text = log.substr(start, end - start);
        start = end + 1;
        int line = 0;
        size_t rest = 0;
        bool rewritten = false;
        // glslang and some drivers write "ERROR: 0:12: message".
        for (const char *kind : {"ERROR: ", "WARNING: "}) {
            size_t len = std::strlen(kind);
            if (text.compare(0, len, kind) == 0 && ReadGlslangPrefix(text.substr(len), &line, &rest)) {
                text = name + "(" + std::to_string(line) + "): " + (kind[0] == 'E' ? "error" : "warning") + ":" +
                       text.substr(len + rest);
                rewritten = true;
            }
        }
        if (!rewritten && ReadLogPrefix(text, &line, &rest)) {
            text = name + "(" + std::to_string(line) + ")" + text.substr(rest);
        }
        if (!text.empty()) {
            out += text + "\n";
        }
    }
    return out;
}

// cg_translate.cpp -- the Cg subset of vertex programs, rewritten token by token into GLSL 1.20.
#include "platform/cg_translate.h"
#include "platform/cg_preprocess.h"

#include <algorithm>
#include <cstring>
#include <deque>
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
    PreambleHyperbolic = 64,
    PreambleIntMod = 128,
    PreambleLit = 256,
    PreambleDeterminant = 512,
    PreambleModf = 1024,
    PreambleLdexp = 2048,
};

struct Ty {
    char base = '?';  // 'f', 'i', 'b', 'v' (void), 's' (struct), '?' (not known)
    int rows = 1;     // >1 for matrices
    int cols = 1;     // vector size, 1 for scalars
    int structIndex = -1;
    int array = 0;    // element count of an array, 0 for everything else
};

bool SameType(const Ty &a, const Ty &b)
{
    return a.base == b.base && a.rows == b.rows && a.cols == b.cols && a.structIndex == b.structIndex &&
           a.array == b.array;
}

Ty MakeTy(char base, int rows = 1, int cols = 1)
{
    Ty ty;
    ty.base = base;
    ty.rows = rows;
    ty.cols = cols;
    return ty;
}

struct FuncSig {
    Ty ret;
    std::vector<Ty> params;
    std::vector<bool> isOut;
    std::string glslName;
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
    std::unordered_map<std::string, Ty> globals;
    std::unordered_map<std::string, std::vector<FuncSig>> functions;
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
            return Fail(t, line, "unexpected '#' outside a preprocessor directive");
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

// ---- Typed translation of statements and expressions --------------------------------------
// Cg and GLSL read the same text differently where types decide: '*' between matrices, implicit
// truncation, a scalar spread over a vector, '%', vector comparisons. Every expression is read
// with its Cg type, and the GLSL is written from that.


Ty TyOf(const TypeRef &ref)
{
    if (ref.isStruct) {
        Ty ty = MakeTy('s');
        ty.structIndex = ref.structIndex;
        return ty;
    }
    return MakeTy(ref.info.base, ref.info.rows, ref.info.cols);
}

bool IsNumeric(const Ty &ty) { return ty.array == 0 && (ty.base == 'f' || ty.base == 'i' || ty.base == 'b'); }
bool IsMatrix(const Ty &ty) { return IsNumeric(ty) && ty.rows > 1; }
bool IsScalar(const Ty &ty) { return IsNumeric(ty) && ty.rows == 1 && ty.cols == 1; }
bool IsVector(const Ty &ty) { return IsNumeric(ty) && ty.rows == 1 && ty.cols > 1; }
bool Known(const Ty &ty) { return ty.base != '?'; }

std::string ElementGlsl(const Translator &t, const Ty &ty)
{
    if (ty.base == 's') {
        return t.structs[ty.structIndex].glslName;
    }
    if (ty.base == 'v') {
        return "void";
    }
    if (ty.rows > 1) {
        return "mat" + std::to_string(ty.rows) + (ty.rows != ty.cols ? "x" + std::to_string(ty.cols) : "");
    }
    const char *scalar = ty.base == 'i' ? "int" : ty.base == 'b' ? "bool" : "float";
    const char *vector = ty.base == 'i' ? "ivec" : ty.base == 'b' ? "bvec" : "vec";
    return ty.cols == 1 ? scalar : vector + std::to_string(ty.cols);
}

std::string GlslType(const Translator &t, const Ty &ty)
{
    return ElementGlsl(t, ty) + (ty.array ? "[" + std::to_string(ty.array) + "]" : "");
}

// The type as the user wrote it, for messages.
std::string CgTypeName(const Translator &t, const Ty &ty)
{
    std::string name;
    if (ty.base == 's') {
        name = t.structs[ty.structIndex].name;
    } else if (ty.base == 'v') {
        name = "void";
    } else {
        name = ty.base == 'i' ? "int" : ty.base == 'b' ? "bool" : "float";
        if (ty.rows > 1) {
            name += std::to_string(ty.rows) + "x" + std::to_string(ty.cols);
        } else if (ty.cols > 1) {
            name += std::to_string(ty.cols);
        }
    }
    return ty.array ? name + "[" + std::to_string(ty.array) + "]" : name;
}

struct Piece {
    int line;
    bool space;
    std::string text;
};

struct Expr {
    std::deque<Piece> code;  // a deque: conversions wrap long expressions from the front
    Ty type;
    bool lvalue = false;
    bool intLiteral = false;
};


struct Scope {
    std::vector<std::unordered_map<std::string, Ty>> levels;
};

Piece TokPiece(const Token &tok, const std::string &text) { return Piece{tok.line, tok.spaceBefore, text}; }

void Append(Expr *to, const Expr &from)
{
    to->code.insert(to->code.end(), from.code.begin(), from.code.end());
}

void Wrap(Expr *e, int line, const std::string &before, const std::string &after)
{
    const bool space = !e->code.empty() && e->code.front().space;
    if (!e->code.empty()) {
        e->code.front().space = false;
    }
    e->code.push_front(Piece{line, space, before});
    e->code.push_back(Piece{line, false, after});
    e->intLiteral = false;
    e->lvalue = false;
}

void EmitExpr(Translator &t, const Expr &e)
{
    for (const Piece &piece : e.code) {
        EmitAt(t, piece.line, piece.text, piece.space);
    }
}

// Converts `e` to type `to` as Cg does on assignment, initialisation, return and arguments:
// base types convert, a scalar spreads over a vector, a longer vector or matrix is truncated.
bool Convert(Translator &t, Expr *e, const Ty &to, int line)
{
    const Ty from = e->type;
    if (!Known(to) || !Known(from) || SameType(from, to)) {
        e->type = Known(to) ? to : from;
        return true;
    }
    const std::string refusal = "cannot convert " + CgTypeName(t, from) + " to " + CgTypeName(t, to);
    if (!IsNumeric(from) || !IsNumeric(to)) {
        return Fail(t, line, refusal);
    }
    const std::string target = ElementGlsl(t, to);
    if (IsMatrix(to) || IsMatrix(from)) {
        if (IsMatrix(to) && IsMatrix(from) && from.rows >= to.rows && from.cols >= to.cols) {
            Wrap(e, line, target + "(", ")");
        } else if (IsMatrix(to) && IsScalar(from) && e->code.size() == 1) {
            // mat4(x) would put x on the diagonal only; Cg fills every element.
            std::string value = e->code.front().text + (e->intLiteral ? ".0" : "");
            std::string all;
            for (int k = 0; k < to.rows * to.cols; k++) {
                all += (k ? ", " : "") + value;
            }
            e->code.front().text = target + "(" + all + ")";
        } else {
            return Fail(t, line, refusal);
        }
        e->type = to;
        return true;
    }
    if (from.cols > 1 && from.cols < to.cols) {
        return Fail(t, line, refusal);
    }
    if (from.cols > to.cols) {
        static const char *const swizzles[] = {"", ".x", ".xy", ".xyz"};
        Wrap(e, line, "(", std::string(")") + swizzles[to.cols]);
    }
    const bool decimal = e->intLiteral && e->code.size() == 1 && e->code.front().text.find_first_of("xX") == std::string::npos;
    if (decimal && to.base == 'f' && to.cols == 1) {
        e->code.front().text += ".0";
    } else if (decimal && to.base == 'f') {
        e->code.front().text = target + "(" + e->code.front().text + ".0)";
    } else if (from.base != to.base || from.cols != to.cols) {
        Wrap(e, line, target + "(", ")");
    }
    e->type = to;
    e->intLiteral = false;
    e->lvalue = false;
    return true;
}

// The type two operands meet in: the wider base, the scalar spread, the longer vector truncated.
Ty Meet(const Ty &a, const Ty &b)
{
    Ty ty = MakeTy(a.base == 'f' || b.base == 'f' ? 'f' : a.base == 'i' || b.base == 'i' ? 'i' : 'b');
    if (IsMatrix(a) || IsMatrix(b)) {
        const Ty &m = IsMatrix(a) ? a : b;
        ty.rows = m.rows;
        ty.cols = m.cols;
    } else {
        ty.cols = a.cols == 1 ? b.cols : b.cols == 1 ? a.cols : std::min(a.cols, b.cols);
    }
    return ty;
}

struct Parser {
    Translator &t;
    Scope scope;
    std::unordered_map<std::string, std::vector<FuncSig>> *functions;
    int depth = 0;
};

const int maxStatementDepth = 512;

struct DepthGuard {
    int &depth;
    explicit DepthGuard(int &d) : depth(d) { depth++; }
    ~DepthGuard() { depth--; }
};

bool Lookup(Parser &p, const std::string &name, Ty *ty)
{
    for (auto level = p.scope.levels.rbegin(); level != p.scope.levels.rend(); ++level) {
        auto found = level->find(name);
        if (found != level->end()) {
            *ty = found->second;
            return true;
        }
    }
    return false;
}

void Declare(Parser &p, const std::string &name, const Ty &ty)
{
    p.scope.levels.back()[name] = ty;
}

// The end of the expression that starts at `i`: the first ',' (if `stopAtComma`) or ';' outside
// brackets, or `end`.
int ExpressionEnd(const Translator &t, int i, int end, bool stopAtComma)
{
    for (; i < end; i++) {
        const Token &tok = t.tokens[i];
        if (Is(tok, ";") || (stopAtComma && Is(tok, ","))) {
            return i;
        }
        if (IsOpen(tok)) {
            i = tok.match;
        }
    }
    return end;
}

bool ParseAssignment(Parser &p, int *pos, int end, Expr *out);
bool ParseUnary(Parser &p, int *pos, int end, Expr *out);

// The whole of [begin, end) as one expression.
bool ParseWhole(Parser &p, int begin, int end, Expr *out, const char *what)
{
    Translator &t = p.t;
    if (begin >= end) {
        return Fail(t, t.tokens[std::min(begin, int(t.tokens.size()) - 1)].line, std::string("expected ") + what);
    }
    int pos = begin;
    if (!ParseAssignment(p, &pos, end, out)) {
        return false;
    }
    if (pos < end) {
        return Fail(t, t.tokens[pos].line, "unexpected '" + t.tokens[pos].text + "' in " + what);
    }
    return true;
}

// Arguments between the brackets at `open`, each read as one expression.
bool ParseArguments(Parser &p, int open, std::vector<Expr> *args)
{
    Translator &t = p.t;
    const int close = t.tokens[open].match;
    int i = open + 1;
    while (i < close) {
        const int stop = ExpressionEnd(t, i, close, true);
        if (stop < close && Is(t.tokens[stop], ";")) {
            return Fail(t, t.tokens[stop].line, "unexpected ';' in the arguments");
        }
        args->emplace_back();
        if (!ParseWhole(p, i, stop, &args->back(), "an argument")) {
            return false;
        }
        i = stop + 1;
        if (stop < close && i == close) {
            return Fail(t, t.tokens[stop].line, "expected an argument after ','");
        }
    }
    return true;
}

// name(args...) written as GLSL: `glsl(a, b, ...)`.
Expr Call(const Token &name, const std::string &glsl, const std::vector<Expr> &args, const Ty &ret)
{
    Expr e;
    e.code.push_back(TokPiece(name, glsl + "("));
    for (size_t k = 0; k < args.size(); k++) {
        if (k) {
            e.code.push_back(Piece{name.line, false, ","});
        }
        Append(&e, args[k]);
    }
    e.code.push_back(Piece{name.line, false, ")"});
    e.type = ret;
    return e;
}

bool MulCall(Parser &p, const Token &name, std::vector<Expr> &args, Expr *out)
{
    Translator &t = p.t;
    if (args.size() != 2) {
        return Fail(t, name.line, "mul takes two arguments");
    }
    const Ty a = args[0].type;
    const Ty b = args[1].type;
    Ty ret = MakeTy('f');
    if (!Known(a) || !Known(b)) {
        ret = MakeTy('?');
    } else if (IsMatrix(a) && IsVector(b) && a.cols == b.cols) {
        ret.cols = a.rows;
    } else if (IsVector(a) && IsMatrix(b) && a.cols == b.rows) {
        ret.cols = b.cols;
    } else if (IsMatrix(a) && IsMatrix(b) && a.cols == b.rows) {
        ret.rows = a.rows;
        ret.cols = b.cols;
        if (ret.cols == 1) {
            ret.rows = 1;
        }
    } else {
        return Fail(t, name.line,
                    "mul cannot multiply " + CgTypeName(t, a) + " by " + CgTypeName(t, b) + ": it needs a matrix and a "
                    "vector or two matrices of matching sizes");
    }
    // Matrices are held transposed: mul(a, b) is (b) * (a).
    Expr e;
    e.code.push_back(TokPiece(name, "(("));
    Append(&e, args[1]);
    e.code.push_back(Piece{name.line, false, ") * ("});
    Append(&e, args[0]);
    e.code.push_back(Piece{name.line, false, "))"});
    e.type = ret;
    *out = e;
    return true;
}

enum LibraryRule { Same, Meets, ToScalar, Cross, Any, All, Lit, Sincos, Determinant, Transpose, Modf, Ldexp };

struct LibraryFunction {
    const char *cg;
    const char *glsl;
    int minArgs, maxArgs;
    LibraryRule rule;
    int preamble;
};

const LibraryFunction libraryFunctions[] = {
    {"abs", "abs", 1, 1, Same, 0},           {"acos", "acos", 1, 1, Same, 0},
    {"asin", "asin", 1, 1, Same, 0},         {"atan", "atan", 1, 1, Same, 0},
    {"ceil", "ceil", 1, 1, Same, 0},         {"cos", "cos", 1, 1, Same, 0},
    {"sin", "sin", 1, 1, Same, 0},           {"tan", "tan", 1, 1, Same, 0},
    {"exp", "exp", 1, 1, Same, 0},           {"exp2", "exp2", 1, 1, Same, 0},
    {"log", "log", 1, 1, Same, 0},           {"log2", "log2", 1, 1, Same, 0},
    {"floor", "floor", 1, 1, Same, 0},       {"sqrt", "sqrt", 1, 1, Same, 0},
    {"sign", "sign", 1, 1, Same, 0},         {"degrees", "degrees", 1, 1, Same, 0},
    {"radians", "radians", 1, 1, Same, 0},   {"normalize", "normalize", 1, 1, Same, 0},
    {"frac", "fract", 1, 1, Same, 0},        {"rsqrt", "inversesqrt", 1, 1, Same, 0},
    {"saturate", "cgx_saturate", 1, 1, Same, PreambleSaturate},
    {"trunc", "cgx_trunc", 1, 1, Same, PreambleTrunc},
    {"round", "cgx_round", 1, 1, Same, PreambleRound},
    {"log10", "cgx_log10", 1, 1, Same, PreambleLog10},
    {"cosh", "cgx_cosh", 1, 1, Same, PreambleHyperbolic},
    {"sinh", "cgx_sinh", 1, 1, Same, PreambleHyperbolic},
    {"tanh", "cgx_tanh", 1, 1, Same, PreambleHyperbolic},
    {"min", "min", 2, 2, Meets, 0},          {"max", "max", 2, 2, Meets, 0},
    {"pow", "pow", 2, 2, Meets, 0},          {"step", "step", 2, 2, Meets, 0},
    {"atan2", "atan", 2, 2, Meets, 0},
    {"fmod", "cgx_fmod", 2, 2, Meets, PreambleFmod | PreambleTrunc},
    {"lerp", "mix", 3, 3, Meets, 0},         {"clamp", "clamp", 3, 3, Meets, 0},
    {"smoothstep", "smoothstep", 3, 3, Meets, 0},
    {"reflect", "reflect", 2, 2, Meets, 0},  {"faceforward", "faceforward", 3, 3, Meets, 0},
    {"refract", "refract", 3, 3, Same, 0},
    {"dot", "dot", 2, 2, ToScalar, 0},       {"length", "length", 1, 1, ToScalar, 0},
    {"distance", "distance", 2, 2, ToScalar, 0},
    {"cross", "cross", 2, 2, Cross, 0},      {"any", "any", 1, 1, Any, 0},
    {"all", "all", 1, 1, All, 0},            {"lit", "cgx_lit", 3, 3, Lit, PreambleLit},
    {"sincos", "cgx_sincos", 3, 3, Sincos, PreambleSincos},
    {"determinant", "cgx_determinant", 1, 1, Determinant, PreambleDeterminant},
    {"transpose", "transpose", 1, 1, Transpose, 0},
    {"modf", "cgx_modf", 2, 2, Modf, PreambleModf | PreambleTrunc},
    {"ldexp", "cgx_ldexp", 2, 2, Ldexp, PreambleLdexp},
};

// Library functions this profile cannot give, refused by name rather than left to GLSL.
const char *RefusedLibraryFunction(const std::string &name)
{
    static const char *const fragmentOnly[] = {"ddx", "ddy", "fwidth", "clip"};
    for (const char *f : fragmentOnly) {
        if (name == f) {
            return "belongs to fragment programs";
        }
    }
    if (name.size() > 3 && name.compare(0, 3, "tex") == 0 && (IsDigit(name[3]) || (name[3] >= 'A' && name[3] <= 'Z') ||
                                                              name == "texfetch" || name == "texsize")) {
        return "reads a texture, and vertex programs here have none";
    }
    static const char *const unsupported[] = {"noise", "isnan", "isinf", "isfinite", "frexp", "debug",
                                              "floatToIntBits", "floatToRawIntBits", "intBitsToFloat", "bitCount",
                                              "f16tof32", "f32tof16"};
    for (const char *f : unsupported) {
        if (name == f) {
            return "is not supported in this profile";
        }
    }
    if (name.compare(0, 5, "pack_") == 0 || name.compare(0, 7, "unpack_") == 0) {
        return "is not supported in this profile";
    }
    return nullptr;
}

bool NeedsNumeric(Parser &p, const Token &name, const std::vector<Expr> &args)
{
    for (const Expr &arg : args) {
        if (Known(arg.type) && !IsNumeric(arg.type)) {
            return Fail(p.t, name.line, name.text + " cannot take a " + CgTypeName(p.t, arg.type));
        }
    }
    return true;
}

bool LibraryCall(Parser &p, const Token &name, const LibraryFunction &f, std::vector<Expr> &args, Expr *out)
{
    Translator &t = p.t;
    if (int(args.size()) < f.minArgs || int(args.size()) > f.maxArgs) {
        return Fail(t, name.line, std::string(f.cg) + " takes " + std::to_string(f.minArgs) +
                                      (f.minArgs == 1 ? " argument" : " arguments"));
    }
    if (!NeedsNumeric(p, name, args)) {
        return false;
    }
    bool known = true;
    for (const Expr &arg : args) {
        known = known && Known(arg.type);
    }
    t.preamble |= f.preamble;
    Ty ret = args[0].type;
    if (!known) {
        *out = Call(name, f.glsl, args, MakeTy('?'));
        return true;
    }
    // GLSL 1.20 computes these in float only; ints go through float and back.
    Ty meet = args[0].type;
    for (const Expr &arg : args) {
        meet = Meet(meet, arg.type);
    }
    Ty real = meet;
    real.base = 'f';
    switch (f.rule) {
    case Same:
    case Meets:
        if (IsMatrix(meet)) {
            return Fail(t, name.line, std::string(f.cg) + " cannot take a matrix");
        }
        for (size_t k = 0; k < args.size(); k++) {
            Ty to = f.rule == Meets ? real : args[k].type;
            to.base = 'f';
            if (f.rule == Same && k > 0) {
                to = MakeTy('f');  // refract's ratio
            }
            if (!Convert(t, &args[k], to, name.line)) {
                return false;
            }
        }
        ret = f.rule == Meets ? real : args[0].type;
        *out = Call(name, f.glsl, args, ret);
        if (meet.base == 'i' && (f.rule == Meets || args.size() == 1)) {
            Ty back = ret;
            back.base = 'i';
            return Convert(t, out, back, name.line);
        }
        return true;
    case ToScalar:
    case Cross:
        for (Expr &arg : args) {
            if (!Convert(t, &arg, real, name.line)) {
                return false;
            }
        }
        if (f.rule == Cross && (real.cols != 3 || real.rows != 1)) {
            return Fail(t, name.line, "cross takes two float3");
        }
        *out = Call(name, f.glsl, args, f.rule == Cross ? MakeTy('f', 1, 3) : MakeTy('f'));
        return true;
    case Any:
    case All: {
        const Ty a = args[0].type;
        Expr e = args[0];
        if (IsMatrix(a)) {
            return Fail(t, name.line, std::string(f.cg) + " cannot take a matrix");
        }
        if (a.cols == 1) {
            if (a.base != 'b') {
                Wrap(&e, name.line, "(", a.base == 'f' ? " != 0.0)" : " != 0)");
            }
        } else {
            if (a.base != 'b') {
                Ty zero = a;
                Wrap(&e, name.line, "notEqual(", ", " + ElementGlsl(t, zero) + (a.base == 'f' ? "(0.0))" : "(0))"));
            }
            Wrap(&e, name.line, std::string(f.glsl) + "(", ")");
        }
        e.type = MakeTy('b');
        *out = e;
        return true;
    }
    case Lit:
    case Ldexp:
        for (Expr &arg : args) {
            if (!Convert(t, &arg, f.rule == Lit ? MakeTy('f') : real, name.line)) {
                return false;
            }
        }
        *out = Call(name, f.glsl, args, f.rule == Lit ? MakeTy('f', 1, 4) : real);
        return true;
    case Sincos:
    case Modf: {
        Ty x = args[0].type;
        x.base = 'f';
        if (IsMatrix(x) || !Convert(t, &args[0], x, name.line)) {
            return Fail(t, name.line, std::string(f.cg) + " takes a float or a float vector");
        }
        for (size_t k = 1; k < args.size(); k++) {
            if (!args[k].lvalue || !SameType(args[k].type, x)) {
                return Fail(t, name.line, "argument " + std::to_string(k + 1) + " of " + f.cg + " must be a " +
                                              CgTypeName(t, x) + " variable");
            }
        }
        *out = Call(name, f.glsl, args, f.rule == Sincos ? MakeTy('v') : x);
        return true;
    }
    case Determinant:
    case Transpose: {
        const Ty m = args[0].type;
        if (!IsMatrix(m) || (f.rule == Determinant && m.rows != m.cols)) {
            return Fail(t, name.line, std::string(f.cg) + " takes a " + (f.rule == Determinant ? "square " : "") +
                                          "matrix");
        }
        *out = Call(name, f.glsl, args, f.rule == Determinant ? MakeTy('f') : MakeTy('f', m.cols, m.rows));
        return true;
    }
    }
    return true;
}

bool UserCall(Parser &p, const Token &name, const std::vector<FuncSig> &overloads, std::vector<Expr> &args, Expr *out)
{
    Translator &t = p.t;
    const FuncSig *chosen = nullptr;
    for (const FuncSig &sig : overloads) {
        if (sig.params.size() != args.size()) {
            continue;
        }
        bool exact = true;
        for (size_t k = 0; k < args.size(); k++) {
            exact = exact && SameType(sig.params[k], args[k].type);
        }
        if (exact || !chosen) {
            chosen = &sig;
        }
        if (exact) {
            break;
        }
    }
    if (!chosen) {
        return Fail(t, name.line, "no function '" + name.text + "' takes " + std::to_string(args.size()) +
                                      (args.size() == 1 ? " argument" : " arguments"));
    }
    for (size_t k = 0; k < args.size(); k++) {
        if (chosen->isOut[k]) {
            if (!args[k].lvalue || (Known(args[k].type) && !SameType(args[k].type, chosen->params[k]))) {
                return Fail(t, name.line, "argument " + std::to_string(k + 1) + " of '" + name.text + "' must be a " +
                                              CgTypeName(t, chosen->params[k]) + " variable");
            }
        } else if (!Convert(t, &args[k], chosen->params[k], name.line)) {
            return false;
        }
    }
    *out = Call(name, chosen->glslName, args, chosen->ret);
    return true;
}

bool Swizzle(Parser &p, const Token &member, Expr *e)
{
    Translator &t = p.t;
    const Ty ty = e->type;
    const std::string &s = member.text;
    if (s.size() >= 2 && s[0] == '_' && IsMatrix(ty)) {
        return Fail(t, member.line, "matrix swizzles ('." + s + "') are not supported; index the rows: m[0][1]");
    }
    const char *sets[] = {"xyzw", "rgba"};
    int set = -1;
    for (int k = 0; k < 2 && set < 0; k++) {
        if (s.find_first_not_of(sets[k]) == std::string::npos) {
            set = k;
        }
    }
    if (set < 0 || s.size() > 4 || !IsNumeric(ty) || IsMatrix(ty)) {
        return Fail(t, member.line, "'" + s + "' is not a member of " + CgTypeName(t, ty));
    }
    for (char c : s) {
        if (int(std::strchr(sets[set], c) - sets[set]) >= ty.cols) {
            return Fail(t, member.line, "'." + s + "' reads past the end of a " + CgTypeName(t, ty));
        }
    }
    Ty result = MakeTy(ty.base, 1, int(s.size()));
    if (ty.cols == 1) {
        // GLSL 1.20 cannot swizzle a scalar: x.xxx is a constructor.
        if (s.size() > 1) {
            Wrap(e, member.line, ElementGlsl(t, result) + "(", ")");
        }
    } else {
        e->code.push_back(Piece{member.line, false, "." + s});
    }
    bool repeats = false;
    for (size_t a = 0; a < s.size(); a++) {
        repeats = repeats || s.find(s[a], a + 1) != std::string::npos;
    }
    e->lvalue = e->lvalue && ty.cols > 1 && !repeats;
    e->type = result;
    e->intLiteral = false;
    return true;
}

bool ParsePostfix(Parser &p, int *pos, int end, Expr *e)
{
    Translator &t = p.t;
    while (*pos < end) {
        const Token &tok = t.tokens[*pos];
        if (Is(tok, ".")) {
            if (*pos + 1 >= end || t.tokens[*pos + 1].kind != TokenKind::Identifier) {
                return Fail(t, tok.line, "expected a member name after '.'");
            }
            const Token &member = t.tokens[*pos + 1];
            *pos += 2;
            if (e->type.base == 's' && e->type.array == 0) {
                const StructDef &def = t.structs[e->type.structIndex];
                const Member *found = nullptr;
                for (const Member &m : def.members) {
                    if (m.name == member.text) {
                        found = &m;
                    }
                }
                if (!found) {
                    return Fail(t, member.line, "'" + member.text + "' is not a member of struct " + def.name);
                }
                e->code.push_back(Piece{member.line, false, "." + found->glslName});
                e->type = TyOf(found->type);
            } else if (Known(e->type)) {
                if (!Swizzle(p, member, e)) {
                    return false;
                }
            } else {
                e->code.push_back(Piece{member.line, false, "." + GlslName(member.text)});
            }
        } else if (Is(tok, "[")) {
            Expr index;
            if (!ParseWhole(p, *pos + 1, tok.match, &index, "an index") ||
                !Convert(t, &index, MakeTy(index.type.base == '?' ? '?' : 'i'), tok.line)) {
                return false;
            }
            Ty ty = e->type;
            if (ty.array) {
                ty.array = 0;
            } else if (IsMatrix(ty)) {
                ty.rows = 1;  // a Cg row is a GLSL column
            } else if (IsVector(ty)) {
                ty.cols = 1;
            } else if (Known(ty)) {
                return Fail(t, tok.line, "a " + CgTypeName(t, ty) + " cannot be indexed");
            }
            e->code.push_back(Piece{tok.line, false, "["});
            Append(e, index);
            e->code.push_back(Piece{t.tokens[tok.match].line, false, "]"});
            e->type = ty;
            e->intLiteral = false;
            *pos = tok.match + 1;
        } else if (Is(tok, "++") || Is(tok, "--")) {
            if (!e->lvalue) {
                return Fail(t, tok.line, "'" + tok.text + "' needs a variable");
            }
            e->code.push_back(Piece{tok.line, false, tok.text});
            e->lvalue = false;
            (*pos)++;
        } else {
            break;
        }
    }
    return true;
}

bool ParsePrimary(Parser &p, int *pos, int end, Expr *out)
{
    Translator &t = p.t;
    const Token &tok = t.tokens[*pos];
    *out = Expr();
    if (tok.kind == TokenKind::Number) {
        const bool isFloat = tok.text.find_first_of(".eE") != std::string::npos &&
                             tok.text.find_first_of("xX") == std::string::npos;
        out->code.push_back(TokPiece(tok, tok.text));
        out->type = MakeTy(isFloat ? 'f' : 'i');
        out->intLiteral = !isFloat;
        (*pos)++;
        return true;
    }
    if (Is(tok, "(")) {
        TypeInfo info;
        const Token &inner = t.tokens[*pos + 1];
        if (tok.match == *pos + 2 && inner.kind == TokenKind::Identifier && LookupCgType(inner.text, &info) &&
            info.base != 'v') {
            // (T)x binds like a unary operator.
            *pos = tok.match + 1;
            if (*pos >= end) {
                return Fail(t, tok.line, "the cast to '" + inner.text + "' has no operand");
            }
            if (!ParseUnary(p, pos, end, out)) {
                return false;
            }
            const Ty to = MakeTy(info.base, info.rows, info.cols);
            if (Known(out->type) && !IsNumeric(out->type)) {
                return Fail(t, tok.line, "cannot cast a " + CgTypeName(t, out->type) + " to " + inner.text);
            }
            Wrap(out, tok.line, info.glsl + "(", ")");
            out->code.front().space = tok.spaceBefore;
            out->type = to;
            return true;
        }
        if (!ParseWhole(p, *pos + 1, tok.match, out, "an expression in brackets")) {
            return false;
        }
        const bool lvalue = out->lvalue;
        Wrap(out, tok.line, "(", ")");
        out->code.front().space = tok.spaceBefore;
        out->code.back().line = t.tokens[tok.match].line;
        out->lvalue = lvalue;
        *pos = tok.match + 1;
        return true;
    }
    if (tok.kind != TokenKind::Identifier) {
        return Fail(t, tok.line, tok.kind == TokenKind::End ? "the expression ends too early"
                                                            : "unexpected '" + tok.text + "'");
    }
    const bool called = *pos + 1 < end && Is(t.tokens[*pos + 1], "(");
    TypeInfo info;
    if (LookupCgType(tok.text, &info)) {
        if (!called || info.base == 'v') {
            return Fail(t, tok.line, "unexpected type '" + tok.text + "'");
        }
        std::vector<Expr> args;
        if (!ParseArguments(p, *pos + 1, &args) || !NeedsNumeric(p, tok, args)) {
            return false;
        }
        if (args.empty()) {
            return Fail(t, tok.line, "the constructor " + tok.text + "() needs values");
        }
        for (Expr &arg : args) {
            if (arg.intLiteral && info.base == 'f' && !Convert(t, &arg, MakeTy('f'), tok.line)) {
                return false;
            }
        }
        *out = Call(tok, info.glsl, args, MakeTy(info.base, info.rows, info.cols));
        *pos = t.tokens[*pos + 1].match + 1;
        return true;
    }
    if (tok.text == "true" || tok.text == "false") {
        out->code.push_back(TokPiece(tok, tok.text));
        out->type = MakeTy('b');
        (*pos)++;
        return true;
    }
    if (called) {
        std::vector<Expr> args;
        const int open = *pos + 1;
        if (tok.text == "mul") {
            // Checked before its arguments are read, so a long chain of unclosed calls stops early.
            if (t.tokens[open].commas != 1) {
                return Fail(t, tok.line, "mul takes two arguments");
            }
        }
        auto user = p.functions->find(tok.text);
        const char *refused = RefusedLibraryFunction(tok.text);
        if (user == p.functions->end() && refused) {
            return Fail(t, tok.line, "the Cg library function '" + tok.text + "' " + refused);
        }
        if (!ParseArguments(p, open, &args)) {
            return false;
        }
        *pos = t.tokens[open].match + 1;
        if (user != p.functions->end()) {
            return UserCall(p, tok, user->second, args, out);
        }
        if (tok.text == "mul") {
            return MulCall(p, tok, args, out);
        }
        for (const LibraryFunction &f : libraryFunctions) {
            if (tok.text == f.cg) {
                return LibraryCall(p, tok, f, args, out);
            }
        }
        if (tok.text == t.entry) {
            return Fail(t, tok.line, "the entry function '" + t.entry + "' cannot be called");
        }
        return Fail(t, tok.line, "'" + tok.text + "' is not a function of this program or of the Cg library");
    }
    Ty ty;
    if (!Lookup(p, tok.text, &ty)) {
        if (t.structIndex.count(tok.text)) {
            return Fail(t, tok.line, "unexpected struct name '" + tok.text + "'");
        }
        return Fail(t, tok.line, "'" + tok.text + "' is not declared");
    }
    out->code.push_back(TokPiece(tok, GlslName(tok.text)));
    out->type = ty;
    out->lvalue = true;
    (*pos)++;
    return true;
}

bool ParseUnary(Parser &p, int *pos, int end, Expr *out)
{
    Translator &t = p.t;
    DepthGuard guard(p.depth);
    if (p.depth > maxExpressionDepth) {
        return Fail(t, t.tokens[*pos].line, "expression nested too deeply");
    }
    if (*pos >= end) {
        return Fail(t, t.tokens[std::max(*pos - 1, 0)].line, "the expression ends too early");
    }
    const Token &tok = t.tokens[*pos];
    if (Is(tok, "-") || Is(tok, "+") || Is(tok, "!") || Is(tok, "~") || Is(tok, "++") || Is(tok, "--")) {
        (*pos)++;
        if (!ParseUnary(p, pos, end, out)) {
            return false;
        }
        const Ty ty = out->type;
        if (Is(tok, "~")) {
            return Fail(t, tok.line, "the bitwise operator '~' is not supported in this profile");
        }
        if (Known(ty) && !IsNumeric(ty)) {
            return Fail(t, tok.line, "'" + tok.text + "' cannot take a " + CgTypeName(t, ty));
        }
        if ((Is(tok, "++") || Is(tok, "--")) && !out->lvalue) {
            return Fail(t, tok.line, "'" + tok.text + "' needs a variable");
        }
        if (Is(tok, "!") && Known(ty)) {
            if (IsMatrix(ty)) {
                return Fail(t, tok.line, "'!' cannot take a matrix");
            }
            Ty b = ty;
            b.base = 'b';
            if (!Convert(t, out, b, tok.line)) {
                return false;
            }
            if (ty.cols > 1) {
                Wrap(out, tok.line, "not(", ")");
                out->code.front().space = tok.spaceBefore;
                return true;
            }
        }
        const bool literal = out->intLiteral && Is(tok, "-");
        out->code.front().space = false;
        out->code.push_front(TokPiece(tok, tok.text));
        out->lvalue = false;
        out->intLiteral = literal;
        if (literal) {
            // "-1" stays one literal, so that it converts to "-1.0".
            out->code.front().text += out->code[1].text;
            out->code.erase(out->code.begin() + 1);
        }
        return true;
    }
    return ParsePrimary(p, pos, end, out) && ParsePostfix(p, pos, end, out);
}

int BinaryLevel(const Token &tok)
{
    if (tok.kind != TokenKind::Punct) {
        return 0;
    }
    static const std::unordered_map<std::string, int> levels = {
        {"||", 1}, {"&&", 2}, {"|", 3}, {"^", 4}, {"&", 5}, {"==", 6}, {"!=", 6}, {"<", 7}, {">", 7}, {"<=", 7},
        {">=", 7}, {"<<", 8}, {">>", 8}, {"+", 9}, {"-", 9}, {"*", 10}, {"/", 10}, {"%", 10}, {"^^", 1}};
    auto found = levels.find(tok.text);
    return found == levels.end() ? 0 : found->second;
}

// One binary operation in Cg's meaning.
bool Combine(Parser &p, const Token &op, Expr *a, Expr &b)
{
    Translator &t = p.t;
    const std::string &o = op.text;
    const Ty ta = a->type;
    const Ty tb = b.type;
    if (o == "|" || o == "^" || o == "&" || o == "<<" || o == ">>" || o == "^^") {
        return Fail(t, op.line, "the operator '" + o + "' is not supported in this profile");
    }
    auto join = [&](const Ty &result) {
        a->code.push_back(TokPiece(op, o));
        Append(a, b);
        a->type = result;
        a->lvalue = false;
        a->intLiteral = false;
    };
    if (!Known(ta) || !Known(tb)) {
        join(MakeTy('?'));
        return true;
    }
    if (o == "==" || o == "!=") {
        if (ta.base == 's' && SameType(ta, tb)) {
            join(MakeTy('b'));
            return true;
        }
    }
    if (!IsNumeric(ta) || !IsNumeric(tb)) {
        return Fail(t, op.line, "'" + o + "' cannot take " + CgTypeName(t, ta) + " and " + CgTypeName(t, tb));
    }
    if (o == "&&" || o == "||") {
        if (!IsScalar(ta) || !IsScalar(tb)) {
            return Fail(t, op.line, "'" + o + "' on vectors is not supported; use all() or any()");
        }
        if (!Convert(t, a, MakeTy('b'), op.line) || !Convert(t, &b, MakeTy('b'), op.line)) {
            return false;
        }
        join(MakeTy('b'));
        return true;
    }
    if (IsMatrix(ta) != IsMatrix(tb) && !IsScalar(ta) && !IsScalar(tb)) {
        return Fail(t, op.line, "'" + o + "' between " + CgTypeName(t, ta) + " and " + CgTypeName(t, tb) +
                                    " is element by element in Cg and their sizes differ; for a matrix product "
                                    "write mul()");
    }
    if (IsMatrix(ta) && IsMatrix(tb) && (ta.rows != tb.rows || ta.cols != tb.cols)) {
        return Fail(t, op.line, "'" + o + "' between " + CgTypeName(t, ta) + " and " + CgTypeName(t, tb) +
                                    ": the sizes differ");
    }
    Ty meet = Meet(ta, tb);
    const bool compare = o == "<" || o == ">" || o == "<=" || o == ">=" || o == "==" || o == "!=";
    if (!compare && meet.base == 'b') {
        meet.base = 'i';
    }
    if (IsMatrix(meet) && (compare || o == "%")) {
        return Fail(t, op.line, "'" + o + "' on matrices is not supported");
    }
    // Operands keep a scalar side where GLSL accepts one (v * 2.0); they meet otherwise.
    Ty toA = meet;
    Ty toB = meet;
    if (!compare && o != "%") {
        if (IsScalar(ta)) {
            toA = MakeTy(meet.base);
        }
        if (IsScalar(tb)) {
            toB = MakeTy(meet.base);
        }
    }
    if (!Convert(t, a, toA, op.line) || !Convert(t, &b, toB, op.line)) {
        return false;
    }
    if (compare) {
        if (meet.cols == 1) {
            join(MakeTy('b'));
            return true;
        }
        const char *name = o == "<" ? "lessThan" : o == ">" ? "greaterThan" : o == "<=" ? "lessThanEqual"
                         : o == ">=" ? "greaterThanEqual" : o == "==" ? "equal" : "notEqual";
        *a = Call(op, name, {*a, b}, MakeTy('b', 1, meet.cols));
        a->code.front().space = true;
        return true;
    }
    if (o == "%") {
        t.preamble |= meet.base == 'i' ? PreambleIntMod : PreambleFmod | PreambleTrunc;
        *a = Call(op, meet.base == 'i' ? "cgx_imod" : "cgx_fmod", {*a, b}, meet);
        a->code.front().space = true;
        return true;
    }
    if (o == "*" && IsMatrix(ta) && IsMatrix(tb)) {
        // Element by element in Cg; GLSL's '*' would be a matrix product.
        *a = Call(op, "matrixCompMult", {*a, b}, meet);
        a->code.front().space = true;
        return true;
    }
    join(meet);
    return true;
}

// Precedence climbing over the binary operators at `minLevel` and above.
bool ParseBinary(Parser &p, int *pos, int end, int minLevel, Expr *out)
{
    Translator &t = p.t;
    if (!ParseUnary(p, pos, end, out)) {
        return false;
    }
    while (*pos < end) {
        const Token &op = t.tokens[*pos];
        const int level = BinaryLevel(op);
        if (level == 0 || level < minLevel) {
            break;
        }
        (*pos)++;
        Expr rhs;
        DepthGuard guard(p.depth);
        if (p.depth > maxExpressionDepth) {
            return Fail(t, op.line, "expression nested too deeply");
        }
        if (!ParseBinary(p, pos, end, level + 1, &rhs) || !Combine(p, op, out, rhs)) {
            return false;
        }
    }
    return true;
}

// A condition of if, while, for and '?:': one bool, converted from a number as Cg does.
bool ToCondition(Parser &p, Expr *e, int line)
{
    if (Known(e->type) && !IsScalar(e->type)) {
        return Fail(p.t, line, "the condition is a " + CgTypeName(p.t, e->type) + "; it must be one value (use "
                                                                                   "all() or any())");
    }
    return Convert(p.t, e, MakeTy(Known(e->type) ? 'b' : '?'), line);
}

bool ParseConditional(Parser &p, int *pos, int end, Expr *out)
{
    Translator &t = p.t;
    if (!ParseBinary(p, pos, end, 1, out)) {
        return false;
    }
    if (*pos >= end || !Is(t.tokens[*pos], "?")) {
        return true;
    }
    const Token &question = t.tokens[*pos];
    (*pos)++;
    Expr a;
    Expr b;
    DepthGuard guard(p.depth);
    if (p.depth > maxExpressionDepth) {
        return Fail(t, question.line, "expression nested too deeply");
    }
    if (!ToCondition(p, out, question.line) || !ParseAssignment(p, pos, end, &a)) {
        return false;
    }
    if (*pos >= end || !Is(t.tokens[*pos], ":")) {
        return Fail(t, question.line, "expected ':' after '?'");
    }
    const Token &colon = t.tokens[*pos];
    (*pos)++;
    if (!ParseConditional(p, pos, end, &b)) {
        return false;
    }
    Ty ty = a.type;
    if (Known(a.type) && Known(b.type) && !SameType(a.type, b.type)) {
        if (!IsNumeric(a.type) || !IsNumeric(b.type)) {
            return Fail(t, colon.line, "the two sides of '?:' have the types " + CgTypeName(t, a.type) + " and " +
                                           CgTypeName(t, b.type));
        }
        ty = Meet(a.type, b.type);
    }
    if (!Convert(t, &a, ty, colon.line) || !Convert(t, &b, ty, colon.line)) {
        return false;
    }
    out->code.push_back(TokPiece(question, "?"));
    Append(out, a);
    out->code.push_back(TokPiece(colon, ":"));
    Append(out, b);
    out->type = ty;
    out->lvalue = false;
    out->intLiteral = false;
    return true;
}

bool ParseAssignment(Parser &p, int *pos, int end, Expr *out)
{
    Translator &t = p.t;
    if (!ParseConditional(p, pos, end, out)) {
        return false;
    }
    if (*pos >= end) {
        return true;
    }
    const Token &op = t.tokens[*pos];
    static const char *const assignments[] = {"=", "+=", "-=", "*=", "/=", "%=", "<<=", ">>=", "&=", "|=", "^="};
    const char *found = nullptr;
    for (const char *a : assignments) {
        if (Is(op, a)) {
            found = a;
        }
    }
    if (!found) {
        return true;
    }
    if (std::strlen(found) == 3 || Is(op, "&=") || Is(op, "|=") || Is(op, "^=")) {
        return Fail(t, op.line, "the operator '" + op.text + "' is not supported in this profile");
    }
    if (!out->lvalue) {
        return Fail(t, op.line, "the left side of '" + op.text + "' is not a variable");
    }
    (*pos)++;
    Expr rhs;
    DepthGuard guard(p.depth);
    if (p.depth > maxExpressionDepth) {
        return Fail(t, op.line, "expression nested too deeply");
    }
    if (!ParseAssignment(p, pos, end, &rhs)) {
        return false;
    }
    const Ty target = out->type;
    if (Is(op, "=")) {
        if (!Convert(t, &rhs, target, op.line)) {
            return false;
        }
        out->code.push_back(TokPiece(op, "="));
        Append(out, rhs);
    } else {
        // a op= b is a = a op b, with op in Cg's meaning.
        Expr value = *out;
        Token binary = op;
        binary.text = op.text.substr(0, 1);
        if (!Combine(p, binary, &value, rhs) || !Convert(t, &value, target, op.line)) {
            return false;
        }
        out->code.push_back(TokPiece(op, "="));
        Append(out, value);
    }
    out->type = target;
    out->lvalue = false;
    out->intLiteral = false;
    return true;
}

// A comma-separated list of expressions, as a for loop's clauses allow.
bool ParseExpressionList(Parser &p, int begin, int end, std::vector<Expr> *list)
{
    Translator &t = p.t;
    int i = begin;
    for (;;) {
        const int stop = ExpressionEnd(t, i, end, true);
        list->emplace_back();
        if (!ParseWhole(p, i, stop, &list->back(), "an expression")) {
            return false;
        }
        if (stop >= end) {
            return true;
        }
        i = stop + 1;
    }
}

bool IsTypeName(const Translator &t, const Token &tok)
{
    TypeInfo info;
    return tok.kind == TokenKind::Identifier && (LookupCgType(tok.text, &info) || t.structIndex.count(tok.text));
}

bool RefusedTypeName(Translator &t, const Token &tok)
{
    if (tok.kind == TokenKind::Identifier &&
        (tok.text.compare(0, 7, "sampler") == 0 || tok.text.compare(0, 7, "texture") == 0)) {
        return Fail(t, tok.line, "'" + tok.text + "': textures are not supported in the vertex program");
    }
    return true;
}

// {a, b, ...} for an array, a struct, a vector or a matrix: GLSL writes it as a constructor.
bool BraceInit(Parser &p, int open, const Ty &ty, Expr *out)
{
    Translator &t = p.t;
    const Token &brace = t.tokens[open];
    const int close = brace.match;
    std::vector<Ty> elements;
    if (ty.array) {
        Ty element = ty;
        element.array = 0;
        elements.assign(size_t(ty.array), element);
    } else if (ty.base == 's') {
        for (const Member &m : t.structs[ty.structIndex].members) {
            elements.push_back(TyOf(m.type));
        }
    } else if (IsNumeric(ty)) {
        elements.assign(size_t(ty.rows * ty.cols), MakeTy(ty.base));
    } else {
        return Fail(t, brace.line, "a " + CgTypeName(t, ty) + " cannot be initialised with '{'");
    }
    std::vector<Expr> values;
    int i = open + 1;
    while (i < close) {
        if (values.size() >= elements.size()) {
            return Fail(t, t.tokens[i].line, "too many values for a " + CgTypeName(t, ty));
        }
        const Ty &element = elements[values.size()];
        values.emplace_back();
        int stop;
        if (Is(t.tokens[i], "{")) {
            if (!BraceInit(p, i, element, &values.back())) {
                return false;
            }
            stop = t.tokens[i].match + 1;
            if (stop < close && !Is(t.tokens[stop], ",")) {
                return Fail(t, t.tokens[stop].line, "expected ',' between the values in '{'");
            }
        } else {
            stop = ExpressionEnd(t, i, close, true);
            if (!ParseWhole(p, i, stop, &values.back(), "a value") ||
                !Convert(t, &values.back(), element, t.tokens[i].line)) {
                return false;
            }
        }
        i = stop + 1;
    }
    if (values.size() != elements.size()) {
        return Fail(t, brace.line, "a " + CgTypeName(t, ty) + " needs " + std::to_string(elements.size()) +
                                       " values in '{', not " + std::to_string(values.size()));
    }
    *out = Call(brace, GlslType(t, ty), values, ty);
    out->code.front().space = true;
    out->code.back().line = t.tokens[close].line;
    return true;
}

// A declaration from its type token to the ';' at *pos. Uniforms are recorded by the caller.
bool ParseVariables(Parser &p, int typeIndex, int end, bool global, int *next)
{
    Translator &t = p.t;
    const Token &typeTok = t.tokens[typeIndex];
    TypeRef ref;
    if (!RefusedTypeName(t, typeTok)) {
        return false;
    }
    if (!ParseType(t, typeIndex, &ref)) {
        return Fail(t, typeTok.line, "unknown type '" + typeTok.text + "'");
    }
    if (ref.info.base == 'v') {
        return Fail(t, typeTok.line, "a variable cannot be void");
    }
    EmitAt(t, typeTok.line, ref.glsl, typeTok.spaceBefore);
    int i = typeIndex + 1;
    for (;;) {
        const Token &nameTok = t.tokens[i];
        if (i >= end || !IsName(nameTok)) {
            return Fail(t, nameTok.line, "expected a name after '" + typeTok.text + "'");
        }
        Ty ty = TyOf(ref);
        i++;
        bool unsized = false;
        if (i < end && Is(t.tokens[i], "[")) {
            const Token &bracket = t.tokens[i];
            if (bracket.match == i + 1) {
                unsized = true;
            } else if (bracket.match != i + 2 || t.tokens[i + 1].kind != TokenKind::Number ||
                       t.tokens[i + 1].text.find_first_not_of("0123456789") != std::string::npos ||
                       t.tokens[i + 1].text.size() > 5 || std::stoi(t.tokens[i + 1].text) < 1) {
                return Fail(t, bracket.line, "the size of array '" + nameTok.text + "' must be a number from 1 up");
            } else {
                ty.array = std::stoi(t.tokens[i + 1].text);
            }
            i = bracket.match + 1;
            if (i < end && Is(t.tokens[i], "[")) {
                return Fail(t, t.tokens[i].line, "arrays of arrays are not supported");
            }
        }
        if (i < end && Is(t.tokens[i], ":")) {
            return Fail(t, t.tokens[i].line, std::string("semantics on ") + (global ? "global" : "local") +
                                                 " variables are not supported");
        }
        Expr init;
        bool hasInit = false;
        if (i < end && Is(t.tokens[i], "=")) {
            const Token &equals = t.tokens[i];
            i++;
            if (i < end && Is(t.tokens[i], "{")) {
                if (unsized) {
                    ty.array = t.tokens[i].commas + 1 - (t.tokens[t.tokens[i].match - 1].text == "," ? 1 : 0);
                }
                if (!BraceInit(p, i, ty, &init)) {
                    return false;
                }
                i = t.tokens[i].match + 1;
            } else {
                const int stop = ExpressionEnd(t, i, end, true);
                if (!ParseWhole(p, i, stop, &init, "a value after '='") || !Convert(t, &init, ty, equals.line)) {
                    return false;
                }
                i = stop;
            }
            hasInit = true;
            init.code.push_front(TokPiece(equals, "="));
        }
        if (unsized && !hasInit) {
            return Fail(t, nameTok.line, "array '" + nameTok.text + "' needs a size or values in '{'");
        }
        EmitAt(t, nameTok.line, GlslName(nameTok.text) + (ty.array ? "[" + std::to_string(ty.array) + "]" : ""),
               nameTok.spaceBefore);
        if (hasInit) {
            EmitExpr(t, init);
        }
        Declare(p, nameTok.text, ty);
        if (i >= end || Is(t.tokens[i], ";")) {
            if (i >= end) {
                return Fail(t, t.tokens[std::min(i, end)].line, "expected ';' after '" + nameTok.text + "'");
            }
            EmitToken(t, t.tokens[i], ";");
            *next = i + 1;
            return true;
        }
        if (!Is(t.tokens[i], ",")) {
            return Fail(t, t.tokens[i].line, "unexpected '" + t.tokens[i].text + "' after '" + nameTok.text + "'");
        }
        EmitToken(t, t.tokens[i], ",");
        i++;
    }
}

bool ParseStatement(Parser &p, int *pos, int end, const Ty &ret);

bool ParseCondition(Parser &p, int keyword, int *pos)
{
    Translator &t = p.t;
    const Token &open = t.tokens[keyword + 1];
    if (!Is(open, "(")) {
        return Fail(t, t.tokens[keyword].line, "expected '(' after '" + t.tokens[keyword].text + "'");
    }
    Expr cond;
    if (!ParseWhole(p, keyword + 2, open.match, &cond, "a condition") || !ToCondition(p, &cond, open.line)) {
        return false;
    }
    EmitToken(t, t.tokens[keyword], t.tokens[keyword].text);
    EmitToken(t, open, "(");
    EmitExpr(t, cond);
    EmitToken(t, t.tokens[open.match], ")");
    *pos = open.match + 1;
    return true;
}

bool ParseExpressionStatement(Parser &p, int *pos, int end)
{
    Translator &t = p.t;
    const int stop = ExpressionEnd(t, *pos, end, false);
    if (stop >= end) {
        return Fail(t, t.tokens[*pos].line, "expected ';' at the end of the statement");
    }
    std::vector<Expr> list;
    if (!ParseExpressionList(p, *pos, stop, &list)) {
        return false;
    }
    for (size_t k = 0; k < list.size(); k++) {
        EmitExpr(t, list[k]);
        EmitToken(t, t.tokens[stop], k + 1 < list.size() ? "," : ";");
    }
    *pos = stop + 1;
    return true;
}

bool ParseStatementBody(Parser &p, int *pos, int end, const Ty &ret)
{
    Translator &t = p.t;
    const Token &tok = t.tokens[*pos];
    if (*pos >= end) {
        return Fail(t, tok.line, "expected a statement");
    }
    if (Is(tok, "{")) {
        EmitToken(t, tok, "{");
        p.scope.levels.emplace_back();
        int i = *pos + 1;
        while (i < tok.match) {
            if (!ParseStatement(p, &i, tok.match, ret)) {
                return false;
            }
        }
        p.scope.levels.pop_back();
        EmitToken(t, t.tokens[tok.match], "}");
        *pos = tok.match + 1;
        return true;
    }
    if (Is(tok, ";")) {
        EmitToken(t, tok, ";");
        (*pos)++;
        return true;
    }
    const std::string &word = tok.kind == TokenKind::Identifier ? tok.text : std::string();
    if (word == "if") {
        if (!ParseCondition(p, *pos, pos) || !ParseStatement(p, pos, end, ret)) {
            return false;
        }
        if (*pos < end && Is(t.tokens[*pos], "else")) {
            EmitToken(t, t.tokens[*pos], "else");
            (*pos)++;
            return ParseStatement(p, pos, end, ret);
        }
        return true;
    }
    if (word == "while") {
        return ParseCondition(p, *pos, pos) && ParseStatement(p, pos, end, ret);
    }
    if (word == "do") {
        EmitToken(t, tok, "do");
        (*pos)++;
        if (!ParseStatement(p, pos, end, ret)) {
            return false;
        }
        if (*pos >= end || !Is(t.tokens[*pos], "while")) {
            return Fail(t, t.tokens[std::min(*pos, end)].line, "expected 'while' after the body of 'do'");
        }
        if (!ParseCondition(p, *pos, pos)) {
            return false;
        }
        if (*pos >= end || !Is(t.tokens[*pos], ";")) {
            return Fail(t, t.tokens[std::min(*pos, end)].line, "expected ';' after 'do ... while (...)'");
        }
        EmitToken(t, t.tokens[*pos], ";");
        (*pos)++;
        return true;
    }
    if (word == "for") {
        const Token &open = t.tokens[*pos + 1];
        if (!Is(open, "(")) {
            return Fail(t, tok.line, "expected '(' after 'for'");
        }
        const int close = open.match;
        const int first = ExpressionEnd(t, *pos + 2, close, false);
        const int second = first < close ? ExpressionEnd(t, first + 1, close, false) : close;
        if (second >= close) {
            return Fail(t, open.line, "a for loop needs two ';' in its brackets");
        }
        EmitToken(t, tok, "for");
        EmitToken(t, open, "(");
        p.scope.levels.emplace_back();
        int i = *pos + 2;
        int k = i;
        while (k < first && (Is(t.tokens[k], "const") || Is(t.tokens[k], "static"))) {
            k++;
        }
        if (k < first && IsTypeName(t, t.tokens[k]) && t.tokens[k + 1].kind == TokenKind::Identifier) {
            if (!ParseVariables(p, k, first + 1, false, &i)) {
                return false;
            }
        } else if (!(i == first ? (EmitToken(t, t.tokens[first], ";"), true) : ParseExpressionStatement(p, &i, first + 1))) {
            return false;
        }
        if (first + 1 < second) {
            Expr cond;
            if (!ParseWhole(p, first + 1, second, &cond, "a condition") || !ToCondition(p, &cond, open.line)) {
                return false;
            }
            EmitExpr(t, cond);
        }
        EmitToken(t, t.tokens[second], ";");
        if (second + 1 < close) {
            std::vector<Expr> steps;
            if (!ParseExpressionList(p, second + 1, close, &steps)) {
                return false;
            }
            for (size_t s = 0; s < steps.size(); s++) {
                if (s) {
                    EmitAt(t, steps[s].code.front().line, ",", false);
                }
                EmitExpr(t, steps[s]);
            }
        }
        EmitToken(t, t.tokens[close], ")");
        *pos = close + 1;
        const bool ok = ParseStatement(p, pos, end, ret);
        p.scope.levels.pop_back();
        return ok;
    }
    if (word == "return") {
        const int stop = ExpressionEnd(t, *pos + 1, end, false);
        if (stop >= end) {
            return Fail(t, tok.line, "expected ';' after 'return'");
        }
        EmitToken(t, tok, "return");
        if (stop > *pos + 1) {
            if (ret.base == 'v') {
                return Fail(t, tok.line, "a void function returns no value");
            }
            Expr value;
            if (!ParseWhole(p, *pos + 1, stop, &value, "a value") || !Convert(t, &value, ret, tok.line)) {
                return false;
            }
            EmitExpr(t, value);
        } else if (ret.base != 'v') {
            return Fail(t, tok.line, "'return' needs a value of type " + CgTypeName(t, ret));
        }
        EmitToken(t, t.tokens[stop], ";");
        *pos = stop + 1;
        return true;
    }
    if (word == "break" || word == "continue") {
        if (*pos + 1 >= end || !Is(t.tokens[*pos + 1], ";")) {
            return Fail(t, tok.line, "expected ';' after '" + word + "'");
        }
        EmitToken(t, tok, word);
        EmitToken(t, t.tokens[*pos + 1], ";");
        *pos += 2;
        return true;
    }
    if (word == "discard" || word == "switch" || word == "case" || word == "default" || word == "goto" ||
        word == "struct" || word == "typedef" || word == "uniform" || word == "else") {
        return Fail(t, tok.line, word == "discard" ? "'discard' belongs to fragment programs"
                                 : word == "struct" ? "structs must be defined outside functions"
                                 : word == "uniform" ? "uniforms must be global or parameters of the entry function"
                                 : word == "else" ? "'else' without 'if'"
                                                  : "'" + word + "' is not supported");
    }
    int k = *pos;
    while (k < end && (Is(t.tokens[k], "const") || Is(t.tokens[k], "static"))) {
        k++;
    }
    if (k < end && (IsTypeName(t, t.tokens[k]) || k > *pos) &&
        (k > *pos || t.tokens[k + 1].kind == TokenKind::Identifier)) {
        for (int q = *pos; q < k; q++) {
            if (Is(t.tokens[q], "const")) {
                EmitToken(t, t.tokens[q], "const");
            }
        }
        return ParseVariables(p, k, end, false, pos);
    }
    if (!RefusedTypeName(t, tok)) {
        return false;
    }
    return ParseExpressionStatement(p, pos, end);
}

bool ParseStatement(Parser &p, int *pos, int end, const Ty &ret)
{
    DepthGuard guard(p.depth);
    if (p.depth > maxStatementDepth) {
        return Fail(p.t, p.t.tokens[*pos].line, "statements nested too deeply");
    }
    return ParseStatementBody(p, pos, end, ret);
}

Parser MakeParser(Translator &t)
{
    Parser p{t, Scope(), &t.functions, 0};
    p.scope.levels.push_back(t.globals);
    return p;
}

// A function body, the block at `open`, with its parameters in scope.
bool TranslateBody(Translator &t, int open, const Ty &ret, const std::vector<Param> &params)
{
    Parser p = MakeParser(t);
    p.scope.levels.emplace_back();
    for (const Param &param : params) {
        Declare(p, param.name, TyOf(param.type));
    }
    int pos = open;
    return ParseStatement(p, &pos, t.tokens[open].match + 1, ret);
}

// Global variables from the type at `typeIndex`; declares them for the functions that follow.
bool TranslateGlobals(Translator &t, int typeIndex, int *next)
{
    Parser p = MakeParser(t);
    p.scope.levels.emplace_back();
    if (!ParseVariables(p, typeIndex, int(t.tokens.size()) - 1, true, next)) {
        return false;
    }
    for (const auto &entry : p.scope.levels.back()) {
        t.globals[entry.first] = entry.second;
    }
    return true;
}

void RegisterFunction(Translator &t, const std::string &name, const TypeRef &ret, const std::vector<Param> &params)
{
    FuncSig sig{TyOf(ret), {}, {}, GlslName(name)};
    for (const Param &param : params) {
        sig.params.push_back(TyOf(param.type));
        sig.isOut.push_back(param.isOut);
    }
    std::vector<FuncSig> &overloads = t.functions[name];
    for (const FuncSig &other : overloads) {
        bool same = other.params.size() == sig.params.size();
        for (size_t k = 0; same && k < sig.params.size(); k++) {
            same = SameType(other.params[k], sig.params[k]);
        }
        if (same) {
            return;  // a prototype and its definition
        }
    }
    overloads.push_back(sig);
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
        if (!RefusedTypeName(t, tok)) {
            return false;
        }
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
    } else if (sem == "COLOR1") {
        input.source = CgInputSource::SecondaryColor;
    } else if (sem == "NORMAL" || sem == "NORMAL0") {
        input.source = CgInputSource::Normal;
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
    } else if (input.source == CgInputSource::Normal) {
        // The current normal has three components; a fourth reads 1, as for a generic attribute.
        value = info.cols == 4 ? "vec4(gl_Normal, 1.0)" : std::string("gl_Normal") + swizzles[info.cols == 3 ? 0 : info.cols];
    } else {
        value = std::string(input.source == CgInputSource::Vertex  ? "gl_Vertex"
                            : input.source == CgInputSource::Color ? "gl_Color"
                                                                   : "gl_SecondaryColor") +
                swizzles[info.cols];
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
    if (!TranslateBody(t, bodyOpen, TyOf(ret), params)) {
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
    RegisterFunction(t, nameTok.text, ret, params);
    EmitFunctionHeader(t, ret, nameIndex, params);
    if (isPrototype) {
        EmitToken(t, t.tokens[k], ";");
        return true;
    }
    return TranslateBody(t, k, TyOf(ret), params);
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
        if (!RefusedTypeName(t, typeTok)) {
            return false;
        }
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
    return TranslateGlobals(t, i, pos);
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
        if (used & PreambleHyperbolic) {
            // GLSL 1.20 has no hyperbolic functions.
            text += T + " cgx_cosh(" + T + " x) { return (exp(x) + exp(-x)) * 0.5; }\n";
            text += T + " cgx_sinh(" + T + " x) { return (exp(x) - exp(-x)) * 0.5; }\n";
            text += T + " cgx_tanh(" + T + " x) { " + T + " e = exp(2.0 * x); return (e - 1.0) / (e + 1.0); }\n";
        }
        if (used & PreambleModf) {
            text += T + " cgx_modf(" + T + " x, out " + T + " i) { i = cgx_trunc(x); return x - i; }\n";
        }
        if (used & PreambleLdexp) {
            text += T + " cgx_ldexp(" + T + " x, " + T + " e) { return x * exp2(e); }\n";
        }
    }
    if (used & PreambleIntMod) {
        // Cg's '%' on integers truncates like C; GLSL 1.20 has no '%'.
        for (const char *type : {"int", "ivec2", "ivec3", "ivec4"}) {
            const std::string T = type;
            text += T + " cgx_imod(" + T + " a, " + T + " b) { return a - b * (a / b); }\n";
        }
    }
    if (used & PreambleLit) {
        text += "vec4 cgx_lit(float d, float h, float m) "
                "{ return vec4(1.0, max(d, 0.0), (d < 0.0 || h < 0.0) ? 0.0 : pow(h, m), 1.0); }\n";
    }
    if (used & PreambleDeterminant) {
        text += "float cgx_determinant(mat2 m) { return m[0][0] * m[1][1] - m[1][0] * m[0][1]; }\n"
                "float cgx_determinant(mat3 m) { return dot(m[0], cross(m[1], m[2])); }\n"
                "float cgx_determinant(mat4 m) {\n"
                "    float b00 = m[0][0] * m[1][1] - m[0][1] * m[1][0], b01 = m[0][0] * m[1][2] - m[0][2] * m[1][0];\n"
                "    float b02 = m[0][0] * m[1][3] - m[0][3] * m[1][0], b03 = m[0][1] * m[1][2] - m[0][2] * m[1][1];\n"
                "    float b04 = m[0][1] * m[1][3] - m[0][3] * m[1][1], b05 = m[0][2] * m[1][3] - m[0][3] * m[1][2];\n"
                "    float b06 = m[2][0] * m[3][1] - m[2][1] * m[3][0], b07 = m[2][0] * m[3][2] - m[2][2] * m[3][0];\n"
                "    float b08 = m[2][0] * m[3][3] - m[2][3] * m[3][0], b09 = m[2][1] * m[3][2] - m[2][2] * m[3][1];\n"
                "    float b10 = m[2][1] * m[3][3] - m[2][3] * m[3][1], b11 = m[2][2] * m[3][3] - m[2][3] * m[3][2];\n"
                "    return b00 * b11 - b01 * b10 + b02 * b09 + b03 * b08 - b04 * b07 + b05 * b06;\n}\n";
    }
    return text;
}

bool Translate(Translator &t, const std::string &source)
{
    if (source.size() > maxSourceSize) {
        return Fail(t, 1, "the program is larger than 16 MiB");
    }
    CgPreprocessResult preprocessed;
    if (!PreprocessCg(source, t.fileName.c_str(), &preprocessed)) {
        t.failed = true;
        t.error = preprocessed.error;
        t.errorLine = preprocessed.errorLine;
        return false;
    }
    if (!Lex(t, preprocessed.text) || !MatchBrackets(t)) {
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

// A GLSL compiler message in the words of the Cg program: its types, names and functions.
std::string CgWords(const std::string &text, const char *entry)
{
    static const std::unordered_map<std::string, std::string> words = {
        {"vec2", "float2"}, {"vec3", "float3"}, {"vec4", "float4"}, {"ivec2", "int2"}, {"ivec3", "int3"},
        {"ivec4", "int4"}, {"bvec2", "bool2"}, {"bvec3", "bool3"}, {"bvec4", "bool4"}, {"mat2", "float2x2"},
        {"mat3", "float3x3"}, {"mat4", "float4x4"}, {"mix", "lerp"}, {"fract", "frac"}, {"inversesqrt", "rsqrt"},
        {"matrixCompMult", "'*'"}, {"cgx_imod", "'%'"}, {"cgx_in0", "the input"}, {"cgx_out", "the output"}};
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        if (!IsIdentifierStart(text[i])) {
            out += text[i++];
            continue;
        }
        size_t b = i;
        while (i < text.size() && IsIdentifierChar(text[i])) {
            i++;
        }
        std::string word = text.substr(b, i - b);
        auto found = words.find(word);
        if (found != words.end()) {
            word = found->second;
        } else if (word == "cgx_entry") {
            word = entry && *entry ? entry : "main";
        } else if (word.size() == 6 && word.compare(0, 3, "mat") == 0 && word[4] == 'x') {
            word = "float" + word.substr(3);  // held transposed: GLSL matRxC is Cg floatRxC
        } else if (word.compare(0, 4, "cgu_") == 0 || word.compare(0, 4, "cgx_") == 0) {
            word = word.substr(4);
        }
        out += word;
    }
    return out;
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

std::string RewriteGlslLog(const std::string &log, const char *fileName, const char *entry)
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
            out += (out.empty() ? "" : "\n") + CgWords(text, entry);
        }
    }
    return out;
}

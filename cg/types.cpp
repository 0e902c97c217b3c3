// types.cpp -- Cg's types: names, GLSL spellings, conversions and the type two operands meet in.
#include "cg/cg_internal.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace cg {

// Exactly the same type; how a name may be written to (readOnly) is not part of it.
bool SameType(const Ty &a, const Ty &b)
{
    return a.base == b.base && a.rows == b.rows && a.cols == b.cols && a.structIndex == b.structIndex &&
           a.array == b.array;
}

Ty MakeTy(Base base, int rows, int cols)
{
    Ty ty;
    ty.base = base;
    ty.rows = rows;
    ty.cols = cols;
    return ty;
}

// The built-in type a name spells: float, half, fixed or double (all computed in float), int or
// bool, with a vector size 1 to 4 or, for the float family, RxC matrix sizes 2 to 4.
bool LookupCgType(const std::string &name, Ty *ty)
{
    if (name == "void") {
        *ty = MakeTy(Base::Void, 0, 0);
        return true;
    }
    static const struct {
        const char *prefix;
        Base base;
    } families[] = {{"float", Base::Float}, {"half", Base::Float}, {"fixed", Base::Float},
                    {"double", Base::Float}, {"int", Base::Int},     {"bool", Base::Bool}};
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
        } else if (rest.size() == 3 && family.base == Base::Float && rest[0] >= '2' && rest[0] <= '4' &&
                   rest[1] == 'x' && rest[2] >= '2' && rest[2] <= '4') {
            rows = rest[0] - '0';
            cols = rest[2] - '0';
        } else if (!rest.empty()) {
            return false;
        }
        *ty = MakeTy(family.base, rows, cols);
        return true;
    }
    return false;
}

// The type a token names: built in, one of the program's structs, or a typedef's name.
bool LookupType(const Translator &t, const CgToken &tok, Ty *ty)
{
    if (tok.kind != CgTokenKind::Identifier) {
        return false;
    }
    if (LookupCgType(tok.text, ty)) {
        return true;
    }
    auto found = t.structIndex.find(tok.text);
    if (found != t.structIndex.end()) {
        *ty = MakeTy(Base::Struct);
        ty->structIndex = found->second;
        return true;
    }
    auto alias = t.typedefs.find(tok.text);
    if (alias != t.typedefs.end()) {
        *ty = alias->second;
        return true;
    }
    return false;
}

// Cg's keywords cannot name anything ("in" and "out" among them, which GLSL also reserves).
bool IsCgKeyword(const std::string &word)
{
    static const char *const keywords[] = {
        "break", "const", "continue", "discard", "do", "else", "extern", "false", "for", "if", "in", "inline",
        "inout", "out", "return", "static", "struct", "true", "typedef", "uniform", "while", "sampler", "packed",
        "interface", "template", "switch", "case", "default", "goto", "asm"};
    for (const char *k : keywords) {
        if (word == k) {
            return true;
        }
    }
    return false;
}

bool IsName(const Translator &t, const CgToken &tok)
{
    Ty ty;
    return tok.kind == CgTokenKind::Identifier && !LookupCgType(tok.text, &ty) && !IsCgKeyword(tok.text) &&
           !t.typedefs.count(tok.text);
}

// The shapes of a type. An array is none of them: it is only indexed, passed or assigned whole.
bool IsNumeric(const Ty &ty) { return ty.array == 0 && (ty.base == Base::Float || ty.base == Base::Int || ty.base == Base::Bool); }
bool IsMatrix(const Ty &ty) { return IsNumeric(ty) && ty.rows > 1; }
bool IsScalar(const Ty &ty) { return IsNumeric(ty) && ty.rows == 1 && ty.cols == 1; }
bool IsVector(const Ty &ty) { return IsNumeric(ty) && ty.rows == 1 && ty.cols > 1; }
bool Known(const Ty &ty) { return ty.base != Base::Unknown; }

// The GLSL spelling of a type, an array's element type for an array. floatRxC is GLSL matRxC:
// held transposed, a Cg row is a GLSL column, so indexing keeps its Cg meaning.
std::string ElementGlsl(const Translator &t, const Ty &ty)
{
    if (ty.base == Base::Struct) {
        return t.structs[ty.structIndex].glslName;
    }
    if (ty.base == Base::Void) {
        return "void";
    }
    if (ty.rows > 1) {
        return "mat" + std::to_string(ty.rows) + (ty.rows != ty.cols ? "x" + std::to_string(ty.cols) : "");
    }
    const char *scalar = ty.base == Base::Int ? "int" : ty.base == Base::Bool ? "bool" : "float";
    const char *vector = ty.base == Base::Int ? "ivec" : ty.base == Base::Bool ? "bvec" : "vec";
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
    if (ty.base == Base::Struct) {
        name = t.structs[ty.structIndex].name;
    } else if (ty.base == Base::Void) {
        name = "void";
    } else {
        name = ty.base == Base::Int ? "int" : ty.base == Base::Bool ? "bool" : "float";
        if (ty.rows > 1) {
            name += std::to_string(ty.rows) + "x" + std::to_string(ty.cols);
        } else if (ty.cols > 1) {
            name += std::to_string(ty.cols);
        }
    }
    return ty.array ? name + "[" + std::to_string(ty.array) + "]" : name;
}

namespace {

// A float literal's text for a value: 8.0 for the octal 010, 255.0 for 0xFF.
std::string FloatText(double v)
{
    char text[40];
    if (v < 1e15 && v > -1e15 && v == double((long long)v)) {
        std::snprintf(text, sizeof text, "%lld.0", (long long)v);
    } else {
        std::snprintf(text, sizeof text, "%.9g", v);
        if (!std::strpbrk(text, ".e")) {
            std::strcat(text, ".0");
        }
    }
    return text;
}

}  // namespace

// `n` as the GLSL constructor of type `to`: a cast.
Node Cast(const Translator &t, Node n, const Ty &to, int line)
{
    const bool space = n.space;
    return MakeNode(NodeKind::Call, ElementGlsl(t, to), to, line, Kids(std::move(n)), space);
}

namespace {

// An integer literal, or its negation, that a float is wanted for: the literal with its value.
bool FoldLiteral(Node &n)
{
    Node *literal = &n;
    while (literal->kind == NodeKind::Group || (literal->kind == NodeKind::Unary && literal->text == "-")) {
        literal = &literal->kids[0];
    }
    if (literal->kind != NodeKind::Literal || !literal->isInt) {
        return false;
    }
    literal->text = FloatText(literal->value);
    literal->isInt = false;
    for (Node *k = &n; k != literal; k = &k->kids[0]) {
        k->type = MakeTy(Base::Float);
    }
    literal->type = MakeTy(Base::Float);
    return true;
}

}  // namespace

// mat4(x) would put x on the diagonal only; Cg fills every element. Adding x to a zero matrix
// fills them all and reads x once.
Node FillMatrix(const Translator &t, Node n, const Ty &to, int line)
{
    Node zero = MakeNode(NodeKind::Literal, "0.0", MakeTy(Base::Float), line);
    Node sum = MakeNode(NodeKind::Binary, "+", to, line,
                        Kids(Cast(t, zero, to, line), Cast(t, std::move(n), MakeTy(Base::Float), line)));
    return MakeNode(NodeKind::Group, "", to, line, Kids(std::move(sum)));
}

// Converts `n` to type `to` as Cg does on assignment, initialisation, return and arguments:
// base types convert, a scalar spreads over a vector, a longer vector or matrix is truncated.
void Convert(Translator &t, Node &n, const Ty &to, int line)
{
    const Ty from = n.type;
    if (!Known(to) || !Known(from) || SameType(from, to)) {
        n.type = Known(to) ? to : from;
        return;
    }
    if (ConversionRank(from, to) < 0) {
        Fail(line, "cannot convert " + CgTypeName(t, from) + " to " + CgTypeName(t, to));
    }
    if (IsMatrix(to)) {
        n = IsScalar(from) ? FillMatrix(t, std::move(n), to, line) : Cast(t, std::move(n), to, line);
        return;
    }
    if (from.cols > to.cols) {
        static const char *const swizzles[] = {"", ".x", ".xy", ".xyz"};
        Ty cut = from;
        cut.cols = to.cols;
        n = MakeNode(NodeKind::Member, swizzles[to.cols], cut, line, Kids(std::move(n)));
    }
    if (to.base == Base::Float && FoldLiteral(n)) {
        if (to.cols > 1) {
            n = Cast(t, std::move(n), to, line);
        }
    } else if (n.type.base != to.base || n.type.cols != to.cols) {
        n = Cast(t, std::move(n), to, line);
    }
    n.type = to;
}

// How well an argument of type `from` fits a parameter of type `to`, as Cg ranks overloads:
// the conversions Convert makes, promotions (bool to int to float, same shape) ranked above them.
int ConversionRank(const Ty &from, const Ty &to)
{
    if (!Known(from) || !Known(to) || SameType(from, to)) {
        return 0;
    }
    if (!IsNumeric(from) || !IsNumeric(to)) {
        return -1;
    }
    if (from.rows == to.rows && from.cols == to.cols) {
        const bool widens = (from.base == Base::Bool && to.base != Base::Bool) ||
                            (from.base == Base::Int && to.base == Base::Float);
        return widens ? 1 : 2;
    }
    if (IsMatrix(from) || IsMatrix(to)) {
        const bool fits = (IsMatrix(to) && IsMatrix(from) && from.rows >= to.rows && from.cols >= to.cols) ||
                          (IsMatrix(to) && IsScalar(from));
        return fits ? 2 : -1;
    }
    return from.cols == 1 || from.cols > to.cols ? 2 : -1;
}

// The type two operands meet in: the wider base, the scalar spread, the longer vector truncated.
Ty Meet(const Ty &a, const Ty &b)
{
    Ty ty = MakeTy(a.base == Base::Float || b.base == Base::Float ? Base::Float : a.base == Base::Int || b.base == Base::Int ? Base::Int : Base::Bool);
    if (IsMatrix(a) || IsMatrix(b)) {
        const Ty &m = IsMatrix(a) ? a : b;
        ty.rows = m.rows;
        ty.cols = m.cols;
    } else {
        ty.cols = a.cols == 1 ? b.cols : b.cols == 1 ? a.cols : std::min(a.cols, b.cols);
    }
    return ty;
}

// The table's type for a uniform value: a scalar, vector or matrix of float, int or bool.
bool UniformTypeOf(const Ty &ty, CgType *out)
{
    if (!IsNumeric(ty) || (IsMatrix(ty) && ty.base != Base::Float)) {
        return false;
    }
    static const CgType floats[] = {CgType::Float, CgType::Float2, CgType::Float3, CgType::Float4};
    static const CgType ints[] = {CgType::Int, CgType::Int2, CgType::Int3, CgType::Int4};
    static const CgType bools[] = {CgType::Bool, CgType::Bool2, CgType::Bool3, CgType::Bool4};
    // By rows, then columns: float2x2, float2x3, float2x4, float3x2, ...
    static const CgType matrices[] = {CgType::Float2x2, CgType::Float2x3, CgType::Float2x4,
                                      CgType::Float3x2, CgType::Float3x3, CgType::Float3x4,
                                      CgType::Float4x2, CgType::Float4x3, CgType::Float4x4};
    if (IsMatrix(ty)) {
        *out = matrices[(ty.rows - 2) * 3 + ty.cols - 2];
    } else {
        *out = (ty.base == Base::Float ? floats : ty.base == Base::Int ? ints : bools)[ty.cols - 1];
    }
    return true;
}

}  // namespace cg

using namespace cg;

int CgTypeComponents(CgType type)
{
    // In the order of CgType: Float to Float4x4, Int to Int4, Bool to Bool4, Float2x3 to Float4x3.
    static const int components[] = {1, 2, 3, 4, 4, 9, 16, 1, 2, 3, 4, 1, 2, 3, 4, 6, 8, 6, 12, 8, 12};
    return components[int(type)];
}

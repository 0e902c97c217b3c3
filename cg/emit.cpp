// emit.cpp -- writing GLSL: names, line-keeping output, expression pieces and the helper preamble.
#include "cg/cg_internal.h"

#include <cstring>
#include <set>

namespace cg {

namespace {

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
        "writeonly",
        // GLSL's built-in functions: a Cg local named "mix" would hide the mix() that lerp
        // becomes, so they are renamed like keywords.
        "abs", "acos", "all", "any", "asin", "atan", "ceil", "clamp", "cos", "cross", "dFdx", "dFdy", "degrees",
        "distance", "dot", "equal", "exp", "exp2", "faceforward", "floor", "fract", "ftransform", "fwidth",
        "greaterThan", "greaterThanEqual", "inversesqrt", "length", "lessThan", "lessThanEqual", "log", "log2",
        "matrixCompMult", "max", "min", "mix", "mod", "noise1", "noise2", "noise3", "noise4", "normalize", "not",
        "notEqual", "outerProduct", "pow", "radians", "reflect", "refract", "shadow1D", "shadow1DLod",
        "shadow1DProj", "shadow1DProjLod", "shadow2D", "shadow2DLod", "shadow2DProj", "shadow2DProjLod", "sign",
        "sin", "smoothstep", "sqrt", "step", "tan", "texture1D", "texture1DLod", "texture1DProj",
        "texture1DProjLod", "texture2D", "texture2DLod", "texture2DProj", "texture2DProjLod", "texture3D",
        "texture3DLod", "texture3DProj", "texture3DProjLod", "textureCube", "textureCubeLod", "transpose"};
    return reserved.count(name) != 0;
}

}  // namespace

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

// Semantics are matched without regard to case, as Cg does.
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

namespace {

// Characters that make up operators: two of them side by side could lex as one token.
bool IsOperatorChar(char c) { return c != 0 && std::strchr("+-*/%<>=!&|^", c) != nullptr; }

}  // namespace

bool Glues(char last, char first)
{
    return (IsIdentifierChar(last) && IsIdentifierChar(first)) || (IsOperatorChar(last) && IsOperatorChar(first));
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
    // Two pieces that would lex as one token ("-" and "-x", "a" and "b") keep a space between
    // them, whatever spacing the source had.
    if (!lineStart && !text.empty() && (space || Glues(t.body.back(), text[0]))) {
        t.body += ' ';
    }
    t.body += text;
}

void EmitToken(Translator &t, const CgToken &tok, const std::string &text)
{
    EmitAt(t, tok.line, text, tok.spaceBefore);
}

// A function's return type, where the function's text starts: the globals its static locals
// become go before it.
void EmitFunctionStart(Translator &t, int nameIndex, const Ty &ret)
{
    const CgToken &typeTok = t.tokens[nameIndex - 1];
    EmitAt(t, typeTok.line, "", typeTok.spaceBefore);
    t.functionStart = t.body.size();
    EmitAt(t, typeTok.line, GlslType(t, ret), typeTok.spaceBefore);
}

namespace {

struct Piece {
    int line;
    bool space;
    std::string text;
};

// How tightly a node binds in GLSL: 12 for what binds like a name, 11 for unary operators, the
// binary operators' C levels from 10 (* / %) down to 1 (||), 0 for ?: and -1 for assignment.
int Precedence(const Node &n)
{
    switch (n.kind) {
    case NodeKind::Unary:
        return 11;
    case NodeKind::Binary:
        return BinaryLevel(n.text);
    case NodeKind::Conditional:
        return 0;
    case NodeKind::Assign:
        return -1;
    default:
        return 12;
    }
}

void Write(const Node &n, std::vector<Piece> &out);

// A node as the operand of an operator that binds at `level`: bracketed when it binds more
// loosely, so that the tree's grouping is the GLSL's.
void Operand(const Node &n, int level, std::vector<Piece> &out)
{
    if (Precedence(n) >= level) {
        Write(n, out);
        return;
    }
    const size_t first = out.size();
    out.push_back(Piece{n.line, false, "("});
    Write(n, out);
    out[first].space = out[first + 1].space;
    out[first + 1].space = false;
    out.push_back(Piece{out.back().line, false, ")"});
}

// What follows an opening bracket stands next to it; what follows an operator is spaced as the
// operator is.
void After(std::vector<Piece> &out, size_t at, bool space)
{
    if (at + 1 < out.size()) {
        out[at + 1].space = space;
    }
}

void Write(const Node &n, std::vector<Piece> &out)
{
    const size_t at = out.size();
    switch (n.kind) {
    case NodeKind::Literal:
    case NodeKind::Name:
        out.push_back(Piece{n.line, n.space, n.text});
        return;
    case NodeKind::Group:
        out.push_back(Piece{n.line, n.space, "("});
        Write(n.kids[0], out);
        After(out, at, false);
        out.push_back(Piece{n.closeLine, false, ")"});
        return;
    case NodeKind::Member:
        Operand(n.kids[0], 12, out);
        out.push_back(Piece{n.line, false, n.text});
        return;
    case NodeKind::Index: {
        Operand(n.kids[0], 12, out);
        const size_t open = out.size();
        out.push_back(Piece{n.line, false, "["});
        Write(n.kids[1], out);
        After(out, open, false);
        out.push_back(Piece{n.closeLine, false, "]"});
        return;
    }
    case NodeKind::Call:
        out.push_back(Piece{n.line, n.space, n.text + "("});
        for (size_t k = 0; k < n.kids.size(); k++) {
            if (k) {
                out.push_back(Piece{n.kids[k - 1].line, false, ","});
            }
            const size_t arg = out.size();
            Write(n.kids[k], out);
            out[arg].space = k > 0;
        }
        out.push_back(Piece{n.closeLine, false, ")"});
        return;
    case NodeKind::Unary:
        out.push_back(Piece{n.line, n.space, n.text});
        Operand(n.kids[0], 11, out);
        After(out, at, false);
        return;
    case NodeKind::Postfix:
        Operand(n.kids[0], 12, out);
        out.push_back(Piece{n.line, false, n.text});
        return;
    case NodeKind::Binary:
    case NodeKind::Assign: {
        // Left to right: the right operand is bracketed at the operator's own level too.
        const int level = Precedence(n);
        Operand(n.kids[0], n.kind == NodeKind::Assign ? 12 : level, out);
        const size_t op = out.size();
        out.push_back(Piece{n.line, n.space, n.text});
        Operand(n.kids[1], n.kind == NodeKind::Assign ? -1 : level + 1, out);
        After(out, op, n.space);
        return;
    }
    case NodeKind::Conditional: {
        Operand(n.kids[0], 1, out);
        const size_t question = out.size();
        out.push_back(Piece{n.line, n.space, "?"});
        Operand(n.kids[1], -1, out);
        After(out, question, true);
        const size_t colon = out.size();
        out.push_back(Piece{n.closeLine, true, ":"});
        Operand(n.kids[2], 0, out);
        After(out, colon, true);
        return;
    }
    }
}

}  // namespace

void EmitNode(Translator &t, const Node &n)
{
    std::vector<Piece> pieces;
    Write(n, pieces);
    for (const Piece &piece : pieces) {
        EmitAt(t, piece.line, piece.text, piece.space);
    }
}

// The expression as one line of GLSL, for the generated helpers.
std::string NodeText(const Node &n)
{
    std::vector<Piece> pieces;
    Write(n, pieces);
    std::string text;
    for (const Piece &piece : pieces) {
        if (!text.empty() && !piece.text.empty() && (piece.space || Glues(text.back(), piece.text[0]))) {
            text += ' ';
        }
        text += piece.text;
    }
    return text;
}

std::string MakeHelper(Translator &t, const std::string &stem, const std::string &signature, const std::string &body)
{
    const std::string key = signature + body;
    auto found = t.helperNames.find(key);
    if (found != t.helperNames.end()) {
        return found->second;
    }
    const std::string name = stem + std::to_string(t.helperNames.size());
    t.helperNames[key] = name;
    std::string text = signature + body;
    text.replace(text.find('%'), 1, name);
    t.helpers += text;
    return name;
}

// The helpers GLSL 1.20 lacks, written only when the program uses them, each in Cg's meaning.
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
        if (used & PreambleFrexp) {
            // The exponent from log2, then put right where log2 rounded across a power of two.
            text += T + " cgx_frexp(" + T + " x, out " + T + " e) { " + T + " nz = sign(abs(x)); "
                    "e = (floor(log2(max(abs(x), 1e-37))) + 1.0) * nz; " + T + " m = x * exp2(-e); " + T +
                    " up = step(1.0, abs(m)); " + T + " down = (1.0 - step(0.5, abs(m))) * nz; e += up - down; "
                    "return m * exp2(down - up); }\n";
        }
        if (used & PreambleClassify) {
            const std::string B = T == "float" ? "bool" : "b" + T;
            const bool scalar = T == "float";
            text += B + " cgx_isnan(" + T + " x) { return " + (scalar ? "x != x" : "notEqual(x, x)") + "; }\n";
            text += B + " cgx_isinf(" + T + " x) { return " +
                    (scalar ? "abs(x) > 3.4028235e38" : "greaterThan(abs(x), " + T + "(3.4028235e38))") + "; }\n";
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

}  // namespace cg

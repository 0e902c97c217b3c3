// emit.cpp -- writing GLSL: names, line-keeping output, expression pieces and the helper preamble.
#include "cg/cg_internal.h"

#include <cstring>
#include <set>

namespace cg {

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

// Characters that make up operators: two of them side by side could lex as one token.
bool IsOperatorChar(char c) { return c != 0 && std::strchr("+-*/%<>=!&|^", c) != nullptr; }

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

void EmitToken(Translator &t, const Token &tok, const std::string &text)
{
    EmitAt(t, tok.line, text, tok.spaceBefore);
}

// A piece of an expression's text, standing where its token stood.
Piece TokPiece(const Token &tok, const std::string &text) { return Piece{tok.line, tok.spaceBefore, text}; }

// `from` joins `to` as it is; what it writes travels with it, so a copy can be refused later.
void Append(Expr *to, const Expr &from)
{
    to->code.insert(to->code.end(), from.code.begin(), from.code.end());
    to->effects = to->effects || from.effects;
    to->variable = to->variable || from.variable;
}

// Wraps the expression in a call or brackets: the result is one unit that binds like a name.
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
    e->prec = PrecPostfix;
}

void Group(Expr *e, int line, int prec)
{
    if (e->prec < prec) {
        Wrap(e, line, "(", ")");
    }
}

std::string ExprText(const Expr &e)
{
    std::string text;
    for (const Piece &piece : e.code) {
        if (!text.empty() && !piece.text.empty() && (piece.space || Glues(text.back(), piece.text[0]))) {
            text += ' ';
        }
        text += piece.text;
    }
    return text;
}

std::string Helper(Translator &t, const std::string &stem, const std::string &signature, const std::string &body)
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

void EmitExpr(Translator &t, const Expr &e)
{
    for (const Piece &piece : e.code) {
        EmitAt(t, piece.line, piece.text, piece.space);
    }
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
    // GLSL folds its built-ins of constants, but not a function the shader defines.
    e.variable = e.variable || glsl.compare(0, 4, "cgx_") == 0;
    return e;
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

// library.cpp -- the Cg library functions and calls of the program's own functions.
#include "cg/cg_internal.h"

#include <cstring>

namespace cg {

// mul(matrix, vector), mul(vector, matrix) or mul(matrix, matrix), Cg's sizes checked here so
// that a mismatch is told in Cg's words.
bool MulCall(Parser &p, const Token &name, std::vector<Expr> &args, Expr *out)
{
    Translator &t = p.t;
    if (args.size() != 2) {
        return Fail(t, name.line, "mul takes two arguments");
    }
    const Ty a = args[0].type;
    const Ty b = args[1].type;
    Ty ret = MakeTy(Base::Float);
    if (!Known(a) || !Known(b)) {
        ret = MakeTy(Base::Unknown);
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

// Each library function: its Cg and GLSL names, how many arguments, and how its arguments and
// result are typed; the preamble bit names the helper GLSL lacks.
extern const LibraryFunction libraryFunctions[] = {
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
    {"refract", "refract", 3, 3, Refract, 0},
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
extern const size_t libraryFunctionCount = sizeof libraryFunctions / sizeof libraryFunctions[0];

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

// Library functions compute on numbers; a struct or an array argument is told by name.
bool NeedsNumeric(Parser &p, const Token &name, const std::vector<Expr> &args)
{
    for (const Expr &arg : args) {
        if (Known(arg.type) && !IsNumeric(arg.type)) {
            return Fail(p.t, name.line, name.text + " cannot take a " + CgTypeName(p.t, arg.type));
        }
    }
    return true;
}

// A call of the Cg library: arguments converted as Cg's own overloads would take them, the
// result typed as Cg types it.
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
        *out = Call(name, f.glsl, args, MakeTy(Base::Unknown));
        return true;
    }
    // GLSL 1.20 computes these in float only; ints go through float and back.
    Ty meet = args[0].type;
    for (const Expr &arg : args) {
        meet = Meet(meet, arg.type);
    }
    Ty real = meet;
    real.base = Base::Float;
    switch (f.rule) {
    case Same:
    case Meets:
    case Refract: {
        if (IsMatrix(meet)) {
            return Fail(t, name.line, std::string(f.cg) + " cannot take a matrix");
        }
        for (size_t k = 0; k < args.size(); k++) {
            Ty to = f.rule == Meets ? real : args[k].type;
            to.base = Base::Float;
            if (f.rule == Refract) {
                to = k < 2 ? args[0].type : MakeTy(Base::Float);  // refract(I, N, eta): N is a vector like I
                to.base = Base::Float;
            }
            if (!Convert(t, &args[k], to, name.line)) {
                return false;
            }
        }
        ret = f.rule == Meets ? real : args[0].type;
        *out = Call(name, f.glsl, args, ret);
        // Only these keep whole numbers whole in Cg; every other function takes and gives floats.
        const bool integral = !std::strcmp(f.cg, "abs") || !std::strcmp(f.cg, "min") || !std::strcmp(f.cg, "max") ||
                              !std::strcmp(f.cg, "clamp");
        if (meet.base == Base::Int && integral) {
            Ty back = ret;
            back.base = Base::Int;
            return Convert(t, out, back, name.line);
        }
        return true;
    }
    // dot, length, distance and cross: float vectors in, a scalar or a float3 out.
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
        *out = Call(name, f.glsl, args, f.rule == Cross ? MakeTy(Base::Float, 1, 3) : MakeTy(Base::Float));
        return true;
    // any and all of numbers ask whether they are non-zero, as Cg converts them to bool.
    case Any:
    case All: {
        const Ty a = args[0].type;
        Expr e = args[0];
        if (IsMatrix(a)) {
            return Fail(t, name.line, std::string(f.cg) + " cannot take a matrix");
        }
        if (a.cols == 1) {
            if (a.base != Base::Bool) {
                Group(&e, name.line, PrecPostfix);
                Wrap(&e, name.line, "(", a.base == Base::Float ? " != 0.0)" : " != 0)");
            }
        } else {
            if (a.base != Base::Bool) {
                Ty zero = a;
                Wrap(&e, name.line, "notEqual(", ", " + ElementGlsl(t, zero) + (a.base == Base::Float ? "(0.0))" : "(0))"));
            }
            Wrap(&e, name.line, std::string(f.glsl) + "(", ")");
        }
        e.type = MakeTy(Base::Bool);
        *out = e;
        return true;
    }
    case Lit:
    case Ldexp:
        for (Expr &arg : args) {
            if (!Convert(t, &arg, f.rule == Lit ? MakeTy(Base::Float) : real, name.line)) {
                return false;
            }
        }
        *out = Call(name, f.glsl, args, f.rule == Lit ? MakeTy(Base::Float, 1, 4) : real);
        return true;
    // sincos(x, out s, out c) and modf(x, out i) write to variables of x's type.
    case Sincos:
    case Modf: {
        Ty x = args[0].type;
        x.base = Base::Float;
        if (IsMatrix(x) || !Convert(t, &args[0], x, name.line)) {
            return Fail(t, name.line, std::string(f.cg) + " takes a float or a float vector");
        }
        for (size_t k = 1; k < args.size(); k++) {
            if (!args[k].lvalue || !SameType(args[k].type, x)) {
                return Fail(t, name.line, "argument " + std::to_string(k + 1) + " of " + f.cg + " must be a " +
                                              CgTypeName(t, x) + " variable");
            }
        }
        *out = Call(name, f.glsl, args, f.rule == Sincos ? MakeTy(Base::Void) : x);
        return true;
    }
    case Determinant:
    case Transpose: {
        const Ty m = args[0].type;
        if (!IsMatrix(m) || (f.rule == Determinant && m.rows != m.cols)) {
            return Fail(t, name.line, std::string(f.cg) + " takes a " + (f.rule == Determinant ? "square " : "") +
                                          "matrix");
        }
        *out = Call(name, f.glsl, args, f.rule == Determinant ? MakeTy(Base::Float) : MakeTy(Base::Float, m.cols, m.rows));
        return true;
    }
    }
    return true;
}

// How well an argument of type `from` fits a parameter of type `to`, as Cg ranks overloads:
// 0 exact, 1 a promotion (bool to int to float, same shape), 2 any other conversion Convert
// makes, -1 none.
int MatchRank(const Ty &from, const Ty &to)
{
    if (!Known(from) || !Known(to) || SameType(from, to)) {
        return 0;
    }
    if (!IsNumeric(from) || !IsNumeric(to)) {
        return -1;
    }
    if (from.rows == to.rows && from.cols == to.cols) {
        const bool widens = (from.base == Base::Bool && to.base != Base::Bool) || (from.base == Base::Int && to.base == Base::Float);
        return widens ? 1 : 2;
    }
    if (IsMatrix(from) || IsMatrix(to)) {
        const bool fits = (IsMatrix(to) && IsMatrix(from) && from.rows >= to.rows && from.cols >= to.cols) ||
                          (IsMatrix(to) && IsScalar(from));
        return fits ? 2 : -1;
    }
    return from.cols == 1 || from.cols > to.cols ? 2 : -1;
}

// The overload a call means: the one whose every argument fits at least as well as in any other
// and one fits better. Two that fit equally well make the call ambiguous, as in Cg. When none
// fits and `noMatch` is given, *noMatch is set and nothing is reported, so that the library's
// function of that name may take the call.
bool UserCall(Parser &p, const Token &name, const std::vector<FuncSig> &overloads, std::vector<Expr> &args, Expr *out,
              bool *noMatch)
{
    Translator &t = p.t;
    std::vector<std::vector<int>> ranks;
    std::vector<const FuncSig *> viable;
    for (const FuncSig &sig : overloads) {
        if (sig.params.size() != args.size()) {
            continue;
        }
        std::vector<int> rank;
        for (size_t k = 0; k < args.size() && rank.size() == k; k++) {
            int r = MatchRank(args[k].type, sig.params[k]);
            if (sig.isOut[k] && (!args[k].lvalue || r != 0)) {
                r = -1;  // an out argument is written back: it must be a variable of that very type
            }
            if (r >= 0) {
                rank.push_back(r);
            }
        }
        if (rank.size() == args.size()) {
            viable.push_back(&sig);
            ranks.push_back(rank);
        }
    }
    const FuncSig *chosen = nullptr;
    for (size_t a = 0; a < viable.size() && !chosen; a++) {
        bool best = true;
        for (size_t b = 0; b < viable.size() && best; b++) {
            bool better = false;
            bool worse = false;
            for (size_t k = 0; k < args.size(); k++) {
                better = better || ranks[a][k] < ranks[b][k];
                worse = worse || ranks[a][k] > ranks[b][k];
            }
            best = b == a || (better && !worse);
        }
        chosen = best ? viable[a] : nullptr;
    }
    if (viable.empty() && noMatch) {
        *noMatch = true;
        return false;
    }
    if (viable.empty()) {
        return Fail(t, name.line, "no function '" + name.text + "' takes these " + std::to_string(args.size()) +
                                      (args.size() == 1 ? " argument" : " arguments"));
    }
    if (!chosen) {
        return Fail(t, name.line, "the call of '" + name.text + "' is ambiguous: " + std::to_string(viable.size()) +
                                      " of its overloads fit the arguments equally well");
    }
    for (size_t k = 0; k < args.size(); k++) {
        if (!chosen->isOut[k] && !Convert(t, &args[k], chosen->params[k], name.line)) {
            return false;
        }
    }
    *out = Call(name, chosen->glslName, args, chosen->ret);
    out->effects = true;
    out->variable = true;
    return true;
}

}  // namespace cg

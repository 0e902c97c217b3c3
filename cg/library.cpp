// library.cpp -- the Cg library functions and calls of the program's own functions.
#include "cg/cg_internal.h"

#include <cstring>
#include <unordered_map>

namespace cg {
namespace {

enum LibraryRule { Same, Meets, Refract, ToScalar, Cross, Any, All, Lit, Sincos, Determinant, Transpose, Modf, Ldexp,
                   Classify, Frexp };

struct LibraryFunction {
    const char *cg;
    const char *glsl;
    int minArgs, maxArgs;
    LibraryRule rule;
    int preamble;
};

// mul(matrix, vector), mul(vector, matrix) or mul(matrix, matrix), Cg's sizes checked here so
// that a mismatch is told in Cg's words. Matrices are held transposed: mul(a, b) is b * a.
Node MulCall(Translator &t, const CgToken &name, std::vector<Node> &args)
{
    if (args.size() != 2) {
        Fail(name.line, "mul takes two arguments");
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
        Fail(name.line, "mul cannot multiply " + CgTypeName(t, a) + " by " + CgTypeName(t, b) + ": it needs a matrix and a "
                        "vector or two matrices of matching sizes");
    }
    args[1].space = name.spaceBefore;
    args[0].space = true;
    return MakeNode(NodeKind::Binary, "*", ret, name.line, Kids(std::move(args[1]), std::move(args[0])), true);
}

// Each library function: its Cg and GLSL names, how many arguments, and how its arguments and
// result are typed; the preamble bit names the helper GLSL lacks.
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
    {"isnan", "cgx_isnan", 1, 1, Classify, PreambleClassify},
    {"isinf", "cgx_isinf", 1, 1, Classify, PreambleClassify},
    {"frexp", "cgx_frexp", 2, 2, Frexp, PreambleFrexp},
};

// Library functions this profile cannot give, refused by name rather than left to GLSL.
const char *RefusedLibraryFunction(const std::string &name)
{
    const char *fragments = "belongs to fragment programs", *unsupported = "is not supported in this profile";
    static const std::unordered_map<std::string, const char *> refused = {
        {"ddx", fragments}, {"ddy", fragments}, {"fwidth", fragments}, {"clip", fragments}, {"noise", unsupported},
        {"isfinite", unsupported}, {"debug", unsupported}, {"floatToIntBits", unsupported},
        {"floatToRawIntBits", unsupported}, {"intBitsToFloat", unsupported}, {"bitCount", unsupported},
        {"f16tof32", unsupported}, {"f32tof16", unsupported}, {"texfetch", nullptr}, {"texsize", nullptr}};
    auto found = refused.find(name);
    if (name.size() > 3 && name.compare(0, 3, "tex") == 0 &&
        (IsDigit(name[3]) || (name[3] >= 'A' && name[3] <= 'Z') || found != refused.end())) {
        return "reads a texture, and vertex programs here have none";
    }
    if (name.compare(0, 5, "pack_") == 0 || name.compare(0, 7, "unpack_") == 0) {
        return unsupported;
    }
    return found == refused.end() ? nullptr : found->second;
}

// Library functions compute on numbers; a struct or an array argument is told by name.
void NeedsNumeric(const Translator &t, const CgToken &name, const std::vector<Node> &args)
{
    for (const Node &arg : args) {
        if (Known(arg.type) && !IsNumeric(arg.type)) {
            Fail(name.line, name.text + " cannot take a " + CgTypeName(t, arg.type));
        }
    }
}

Node Call(const CgToken &name, const LibraryFunction &f, std::vector<Node> &args, const Ty &ret)
{
    return MakeCall(name, f.glsl, std::move(args), ret, f.preamble ? Helper : BuiltIn);
}

// abs, min and max, and the functions of one or more values of one shape: floats in, the
// shape out. Only abs, min, max and clamp keep whole numbers whole in Cg.
Node ElementwiseCall(Translator &t, const CgToken &name, const LibraryFunction &f, std::vector<Node> &args,
                     const Ty &meet)
{
    Ty real = meet;
    real.base = Base::Float;
    if (IsMatrix(meet)) {
        Fail(name.line, std::string(f.cg) + " cannot take a matrix");
    }
    for (size_t k = 0; k < args.size(); k++) {
        Ty to = f.rule == Meets ? real : args[k].type;
        if (f.rule == Refract) {
            to = k < 2 ? args[0].type : MakeTy(Base::Float);  // refract(I, N, eta): N is a vector like I
        }
        to.base = Base::Float;
        Convert(t, args[k], to, name.line);
    }
    const Ty ret = f.rule == Meets ? real : args[0].type;
    Node out = Call(name, f, args, ret);
    const bool integral = !std::strcmp(f.cg, "abs") || !std::strcmp(f.cg, "min") || !std::strcmp(f.cg, "max") ||
                          !std::strcmp(f.cg, "clamp");
    if (meet.base == Base::Int && integral) {
        Ty back = ret;
        back.base = Base::Int;
        Convert(t, out, back, name.line);
    }
    return out;
}

// any and all of numbers ask whether they are non-zero, as Cg converts them to bool.
Node AnyAllCall(const Translator &t, const CgToken &name, const LibraryFunction &f, std::vector<Node> &args)
{
    const Ty a = args[0].type;
    if (IsMatrix(a)) {
        Fail(name.line, std::string(f.cg) + " cannot take a matrix");
    }
    Node e = std::move(args[0]);
    if (a.base != Base::Bool) {
        Node zero = MakeNode(NodeKind::Literal, a.base == Base::Float ? "0.0" : "0", MakeTy(a.base), name.line, {}, true);
        if (a.cols == 1) {
            Node test = MakeNode(NodeKind::Binary, "!=", MakeTy(Base::Bool), name.line, Kids(std::move(e), zero), true);
            e = MakeNode(NodeKind::Group, "", test.type, name.line, Kids(std::move(test)), name.spaceBefore);
        } else {
            e = MakeCall(name, "notEqual", Kids(std::move(e), Cast(t, zero, a, name.line)), MakeTy(Base::Bool, 1, a.cols),
                         BuiltIn);
        }
    }
    return a.cols == 1 ? e : MakeCall(name, f.glsl, Kids(std::move(e)), MakeTy(Base::Bool), BuiltIn);
}

// sincos(x, out s, out c), modf(x, out i) and frexp(x, out e) write to variables of x's type.
Node OutArgumentsCall(Translator &t, const CgToken &name, const LibraryFunction &f, std::vector<Node> &args)
{
    Ty x = args[0].type;
    x.base = Base::Float;
    if (IsMatrix(x) || ConversionRank(args[0].type, x) < 0) {
        Fail(name.line, std::string(f.cg) + " takes a float or a float vector");
    }
    Convert(t, args[0], x, name.line);
    for (size_t k = 1; k < args.size(); k++) {
        if (!IsLvalue(args[k]) || !SameType(args[k].type, x)) {
            Fail(name.line, "argument " + std::to_string(k + 1) + " of " + f.cg + " must be a " + CgTypeName(t, x) +
                                " variable");
        }
    }
    Node out = Call(name, f, args, f.rule == Sincos ? MakeTy(Base::Void) : x);
    out.call = UserFunction;  // it writes its out arguments
    return out;
}

// A call of the Cg library: arguments converted as Cg's own overloads would take them, the
// result typed as Cg types it.
Node LibraryCall(Translator &t, const CgToken &name, const LibraryFunction &f, std::vector<Node> &args)
{
    if (int(args.size()) < f.minArgs || int(args.size()) > f.maxArgs) {
        Fail(name.line, std::string(f.cg) + " takes " + std::to_string(f.minArgs) +
                            (f.minArgs == 1 ? " argument" : " arguments"));
    }
    NeedsNumeric(t, name, args);
    bool known = true;
    for (const Node &arg : args) {
        known = known && Known(arg.type);
    }
    t.preamble |= f.preamble;
    if (!known) {
        return Call(name, f, args, MakeTy(Base::Unknown));
    }
    // GLSL 1.20 computes these in float only; ints go through float and back.
    Ty meet = args[0].type;
    for (const Node &arg : args) {
        meet = Meet(meet, arg.type);
    }
    Ty real = meet;
    real.base = Base::Float;
    switch (f.rule) {
    case Same:
    case Meets:
    case Refract:
        return ElementwiseCall(t, name, f, args, meet);
    // dot, length, distance and cross: float vectors in, a scalar or a float3 out.
    case ToScalar:
    case Cross:
        for (Node &arg : args) {
            Convert(t, arg, real, name.line);
        }
        if (f.rule == Cross && (real.cols != 3 || real.rows != 1)) {
            Fail(name.line, "cross takes two float3");
        }
        return Call(name, f, args, f.rule == Cross ? MakeTy(Base::Float, 1, 3) : MakeTy(Base::Float));
    case Any:
    case All:
        return AnyAllCall(t, name, f, args);
    case Lit:
    case Ldexp:
        for (Node &arg : args) {
            Convert(t, arg, f.rule == Lit ? MakeTy(Base::Float) : real, name.line);
        }
        return Call(name, f, args, f.rule == Lit ? MakeTy(Base::Float, 1, 4) : real);
    case Classify:
        if (IsMatrix(real)) {
            Fail(name.line, std::string(f.cg) + " cannot take a matrix");
        }
        Convert(t, args[0], real, name.line);
        return Call(name, f, args, MakeTy(Base::Bool, 1, real.cols));
    case Sincos:
    case Modf:
    case Frexp:
        return OutArgumentsCall(t, name, f, args);
    case Determinant:
    case Transpose: {
        const Ty m = args[0].type;
        if (!IsMatrix(m) || (f.rule == Determinant && m.rows != m.cols)) {
            Fail(name.line, std::string(f.cg) + " takes a " + (f.rule == Determinant ? "square " : "") + "matrix");
        }
        return Call(name, f, args, f.rule == Determinant ? MakeTy(Base::Float) : MakeTy(Base::Float, m.cols, m.rows));
    }
    }
    Fail(name.line, "unknown library rule");
}

// The overload a call means: the one whose every argument fits at least as well as in any other
// and one fits better. Two that fit equally well make the call ambiguous, as in Cg. When none
// fits and `fallBack` is set, null is returned, so that the library's function of that name
// may take the call.
const FuncSig *ChooseOverload(const CgToken &name, const std::vector<FuncSig> &overloads, const std::vector<Node> &args,
                              bool fallBack)
{
    std::vector<std::vector<int>> ranks;
    std::vector<const FuncSig *> viable;
    for (const FuncSig &sig : overloads) {
        if (sig.params.size() != args.size()) {
            continue;
        }
        std::vector<int> rank;
        for (size_t k = 0; k < args.size() && rank.size() == k; k++) {
            int r = ConversionRank(args[k].type, sig.params[k]);
            if (sig.isOut[k] && (!IsLvalue(args[k]) || r != 0)) {
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
    if (viable.empty() && fallBack) {
        return nullptr;
    }
    if (viable.empty()) {
        Fail(name.line, "no function '" + name.text + "' takes these " + std::to_string(args.size()) +
                            (args.size() == 1 ? " argument" : " arguments"));
    }
    for (size_t a = 0; a < viable.size(); a++) {
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
        if (best) {
            return viable[a];
        }
    }
    Fail(name.line, "the call of '" + name.text + "' is ambiguous: " + std::to_string(viable.size()) +
                        " of its overloads fit the arguments equally well");
}

// A call of one of the program's functions, recorded so that recursion is found: Cg has none.
Node UserCall(Translator &t, const CgToken &name, const FuncSig &chosen, std::vector<Node> &args)
{
    if (chosen.id == t.currentFunction) {
        Fail(name.line, "function '" + name.text + "' calls itself; Cg has no recursion");
    }
    if (t.currentFunction >= 0) {
        t.calls[size_t(t.currentFunction)].emplace_back(chosen.id, name.line);
    }
    for (size_t k = 0; k < args.size(); k++) {
        if (!chosen.isOut[k]) {
            Convert(t, args[k], chosen.params[k], name.line);
        }
    }
    return MakeCall(name, chosen.glslName, std::move(args), chosen.ret, UserFunction);
}

}  // namespace

// name "(" arguments ")" with the '(' at `open`: the program's functions come first; a library
// name it does not define, or whose signature it does not define, is the library's.
Node CallFunction(Translator &t, const CgToken &name, int open)
{
    // Checked before its arguments are read, so a long chain of unclosed calls stops early.
    if (name.text == "mul" && t.commas[open] != 1) {
        Fail(name.line, "mul takes two arguments");
    }
    auto user = t.functions.find(name.text);
    const char *refused = RefusedLibraryFunction(name.text);
    if (user == t.functions.end() && refused) {
        Fail(name.line, "the Cg library function '" + name.text + "' " + refused);
    }
    std::vector<Node> args = ParseArguments(t, open);
    const LibraryFunction *library = nullptr;
    for (const LibraryFunction &f : libraryFunctions) {
        library = name.text == f.cg ? &f : library;
    }
    Node out;
    const FuncSig *chosen = user == t.functions.end() ? nullptr
                          : ChooseOverload(name, user->second, args, library || name.text == "mul");
    if (chosen) {
        out = UserCall(t, name, *chosen, args);
    } else if (name.text == "mul") {
        out = MulCall(t, name, args);
    } else if (library) {
        out = LibraryCall(t, name, *library, args);
    } else if (name.text == t.entry) {
        Fail(name.line, "the entry function '" + t.entry + "' cannot be called");
    } else {
        Fail(name.line, "'" + name.text + "' is not a function of this program or of the Cg library");
    }
    if (out.kind == NodeKind::Call) {
        out.closeLine = t.tokens[t.match[open]].line;
    }
    return out;
}

}  // namespace cg

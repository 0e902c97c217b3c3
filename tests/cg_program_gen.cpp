// cg_program_gen.cpp -- random well-typed Cg programs: expressions written with the fewest
// parentheses their grouping needs, statements that assign, branch and loop a bounded number
// of times, library calls kept to their safe domains.
#include "tests/cg_program_gen.h"

#include <vector>

namespace {

enum Ty { F1, F2, F3, F4, I1, B1, M2, M3, M4, B2, B3, B4 };

const char *const tyNames[] = {"float", "float2", "float3", "float4", "int", "bool",
                               "float2x2", "float3x3", "float4x4", "bool2", "bool3", "bool4"};

int Width(Ty t)
{
    switch (t) {
    case F2: case M2: case B2: return 2;
    case F3: case M3: case B3: return 3;
    case F4: case M4: case B4: return 4;
    default: return 1;
    }
}

Ty FloatOf(int n) { return Ty(F1 + n - 1); }
Ty MatrixOf(int n) { return Ty(M2 + n - 2); }
Ty BoolOf(int n) { return n == 1 ? B1 : Ty(B2 + n - 2); }
bool IsFloat(Ty t) { return t <= F4; }

// Binding strength, C's order: a part weaker than its place needs parentheses.
enum Prec { Conditional, LogicalOr, LogicalAnd, Equality, Relational, Additive, Multiplicative, Unary, Postfix };

struct Expr {
    std::string text;
    int prec;
};

struct Var {
    std::string name;
    Ty type;
    bool writable;
};

class Generator {
public:
    Generator(uint32_t seed, const CgGenOptions &options) : state(seed * 2654435761u + 0x6D2B79F5u), o(options) {}

    std::string Program();

private:
    uint64_t state;
    const CgGenOptions &o;
    std::vector<Var> scope;
    std::string out;
    int names = 0;
    int depthOfBlocks = 0;

    uint32_t Next()
    {
        // splitmix64: small and good enough to make a program from a seed.
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return uint32_t((z ^ (z >> 31)) >> 16);
    }
    int Pick(int n) { return int(Next() % uint32_t(n)); }
    bool Chance(int percent) { return Pick(100) < percent; }

    static std::string Wrap(const Expr &e, int need) { return e.prec < need ? "(" + e.text + ")" : e.text; }
    static Expr Binary(const Expr &a, const char *op, const Expr &b, int prec)
    {
        return {Wrap(a, prec) + " " + op + " " + Wrap(b, prec + 1), prec};
    }
    static Expr Call(const std::string &name, const std::vector<Expr> &args)
    {
        std::string text = name + "(";
        for (size_t i = 0; i < args.size(); i++) {
            text += (i ? ", " : "") + Wrap(args[i], Conditional);
        }
        return {text + ")", Postfix};
    }

    std::string Literal()
    {
        static const char *const values[] = {"0.5", "1.5", "2.0", "0.25", "3.0", "0.75", "1.0", "0.125"};
        return values[Pick(8)];
    }
    Expr Number()
    {
        return Chance(25) ? Expr{"-" + Literal(), Unary} : Expr{Literal(), Postfix};
    }
    std::string Swizzle(int from, int count)
    {
        std::string s = ".";
        for (int i = 0; i < count; i++) {
            s += "xyzw"[Pick(from)];
        }
        return s;
    }

    // A variable of type t in scope, chosen at random.
    const Var *Find(Ty t)
    {
        std::vector<const Var *> found;
        for (const Var &v : scope) {
            if (v.type == t) {
                found.push_back(&v);
            }
        }
        return found.empty() ? nullptr : found[size_t(Pick(int(found.size())))];
    }

    // A vector that is never a constant: glslang 12 folds a comparison of two constant vectors
    // wrongly (all(float2(0.25, 0.125) > float2(-0.25, 3.0)) comes out true).
    Expr NotConstant(const Expr &e, int n) { return Binary(e, "+", {"tc" + Swizzle(4, n), Postfix}, Additive); }
    // frac and fmod of a large value keep only its last bits, where one rounding step of a
    // difference in how a value was reached shows as a large absolute error.
    static Expr Bounded(const Expr &e) { return Call("clamp", {e, {"-16.0", Unary}, {"16.0", Postfix}}); }
    Expr Leaf(Ty t);
    Expr Make(Ty t, int depth);
    Expr MakeFloat(Ty t, int depth);
    Expr MakeInt(int depth);
    Expr MakeBool(Ty t, int depth);
    Expr MakeMatrix(Ty t, int depth);
    Expr Negate(const Expr &e)
    {
        if (e.prec == Unary && e.text[0] == '-') {
            return o.nestedNegation ? Expr{"- " + e.text, Unary} : Expr{"-(" + e.text + ")", Unary};
        }
        return {"-" + Wrap(e, Unary), Unary};
    }

    std::string NewName(const char *prefix) { return prefix + std::to_string(names++); }
    // The right side of op=, bare when the switch is on: x /= 1.25 + y must not become
    // x = x / 1.25 + y.
    std::string Right(const Expr &e) { return o.bareCompoundRightSides ? e.text : Wrap(e, Postfix); }
    void Line(const std::string &text) { out += std::string(size_t(4 * (depthOfBlocks + 1)), ' ') + text + "\n"; }
    void Statement();
    void Block(int count);
    Ty AnyValueType();
};

Expr Generator::Leaf(Ty t)
{
    if (const Var *v = Find(t); v && Chance(80)) {
        return {v->name, Postfix};
    }
    if (IsFloat(t) && Chance(50)) {
        // A swizzle of a wider vector in scope.
        for (int from = 4; from >= 2; from--) {
            if (const Var *v = Find(FloatOf(from)); v && Chance(60)) {
                return {v->name + Swizzle(from, Width(t)), Postfix};
            }
        }
    }
    switch (t) {
    case F1:
        if (o.octalAndHexLiterals && Chance(10)) {
            // 010 is eight, 0x18 twenty-four: where a float is wanted they keep their values.
            static const char *const integers[] = {"010", "0x18", "04", "0x0C"};
            return {std::string(integers[Pick(4)]) + " * 0.0625", Multiplicative};
        }
        if (o.unnamedParameters && Chance(5)) {
            return Call("Twice", {Number()});
        }
        return Number();
    case I1: return Chance(20) ? Expr{"-" + std::to_string(1 + Pick(3)), Unary} : Expr{std::to_string(Pick(5)), Postfix};
    case B1: return Binary(Leaf(F1), Chance(50) ? "<" : ">=", Leaf(F1), Relational);
    case B2: case B3: case B4: return Binary(NotConstant(Leaf(FloatOf(Width(t))), Width(t)), "<", Leaf(FloatOf(Width(t))), Relational);
    case M2: case M3: case M4: {
        std::vector<Expr> rows;
        for (int i = 0; i < Width(t); i++) {
            rows.push_back(Leaf(FloatOf(Width(t))));
        }
        return Call(tyNames[t], rows);
    }
    default: {
        std::vector<Expr> parts;
        for (int i = 0; i < Width(t); i++) {
            parts.push_back(Number());
        }
        return Call(tyNames[t], parts);
    }
    }
}

Expr Generator::Make(Ty t, int depth)
{
    if (depth <= 0 || Chance(20)) {
        return Leaf(t);
    }
    if (IsFloat(t)) {
        return MakeFloat(t, depth);
    }
    if (t == I1) {
        return MakeInt(depth);
    }
    if (t == B1 || t >= B2) {
        return MakeBool(t, depth);
    }
    return MakeMatrix(t, depth);
}

Expr Generator::MakeFloat(Ty t, int depth)
{
    const int n = Width(t);
    const int d = depth - 1;
    switch (Pick(17)) {
    case 0: return Binary(Make(t, d), "+", Make(t, d), Additive);
    case 1: return Binary(Make(t, d), "-", Make(t, d), Additive);
    case 2: return Binary(Make(t, d), "*", Make(t, d), Multiplicative);
    case 3: return Binary(Make(F1, d), "*", Make(t, d), Multiplicative);
    case 4: {
        // Kept away from zero: the divisor is at least 1.25.
        const Expr divisor = Binary({"1.25", Postfix}, "+", Call("abs", {Make(t, d)}), Additive);
        return Binary(Make(t, d), "/", divisor, Multiplicative);
    }
    case 5: return Negate(Make(t, d));
    case 6: {
        static const char *const unary[] = {"sin", "cos", "abs", "saturate", "frac", "floor", "trunc", "exp2"};
        const int f = Pick(8);
        // exp2 of a sine stays within [0.5, 2].
        if (f == 4) {
            return Call("frac", {Bounded(Make(t, d))});
        }
        return f == 7 ? Call("exp2", {Call("sin", {Make(t, d)})}) : Call(unary[f], {Make(t, d)});
    }
    case 7: {
        static const char *const binary[] = {"max", "min", "step"};
        // The reference route gives min(saturate(v), c) of a constant vector c as if c were
        // saturated too: a saturate of a vector is kept one step away.
        auto operand = [&]() {
            const Expr e = Make(t, d);
            return n > 1 && e.text.compare(0, 9, "saturate(") == 0
                       ? Binary(e, "+", {"tc" + Swizzle(4, n) + " * 0.0", Multiplicative}, Additive)
                       : e;
        };
        const Expr a = operand();
        return Call(binary[Pick(3)], {a, operand()});
    }
    case 8:
        switch (Pick(4)) {
        case 0: return Call("lerp", {Make(t, d), Make(t, d), Make(Chance(50) ? t : F1, d)});
        case 1: return Call("clamp", {Make(t, d), {"-1.0", Unary}, {"1.0", Postfix}});
        case 2: return Call("smoothstep", {{"-1.0", Unary}, {"1.5", Postfix}, Make(t, d)});
        default: return Call("sqrt", {Call("abs", {Make(t, d)})});
        }
    case 9: return Call("fmod", {Bounded(Make(t, d)), Binary({"0.75", Postfix}, "+", Call("abs", {Make(t, d)}), Additive)});
    case 10:
        if (n == 1) {
            const int m = 2 + Pick(3);
            static const char *const reduce[] = {"dot", "distance", "length"};
            const int f = Pick(3);
            return f == 2 ? Call("length", {Make(FloatOf(m), d)}) : Call(reduce[f], {Make(FloatOf(m), d), Make(FloatOf(m), d)});
        }
        if (n == 3 && Chance(50)) {
            return Call("cross", {Make(F3, d), Make(F3, d)});
        }
        return Call("normalize", {Binary(Call("abs", {Make(t, d)}), "+", {"0.5", Postfix}, Additive)});
    case 11: {
        // A constructor from a scalar and a narrower vector, or a swizzle of a wider one.
        if (n > 1 && Chance(60)) {
            return Call(tyNames[t], {Make(F1, d), Make(FloatOf(n - 1), d)});
        }
        const int from = n + Pick(5 - n);
        return {Wrap(Make(FloatOf(from), d), Postfix) + Swizzle(from, n), Postfix};
    }
    case 12: return {Wrap(Make(B1, d), LogicalOr) + " ? " + Wrap(Make(t, d), LogicalOr) + " : " + Wrap(Make(t, d), Conditional), Conditional};
    case 13:
        if (o.matrices && n > 1) {
            const Ty m = MatrixOf(n);
            return Chance(50) ? Call("mul", {Make(m, d), Make(t, d)}) : Call("mul", {Make(t, d), Make(m, d)});
        }
        return Make(t, d);
    case 14:
        if (n == 1) {
            if (o.intLibraryArguments && Chance(50)) {
                static const char *const library[] = {"sqrt", "exp2", "radians", "sin"};
                const int f = Pick(4);
                Expr arg = Make(I1, d);
                // glslang 12 gives 0 for sin(min(i, j)): an int min or max right inside is
                // kept one step away.
                if (arg.text.compare(0, 4, "min(") == 0 || arg.text.compare(0, 4, "max(") == 0) {
                    arg = Binary(arg, "+", {"0", Postfix}, Additive);
                }
                return Call(library[f], {f == 0 ? Call("abs", {arg}) : arg});
            }
            return {"(float)" + Wrap(Make(I1, d), Unary), Unary};
        }
        if (o.vectorConditions) {
            const Ty b = BoolOf(n);
            return {Wrap(Make(b, d), LogicalOr) + " ? " + Wrap(Make(t, d), LogicalOr) + " : " + Wrap(Make(t, d), Conditional), Conditional};
        }
        return Make(t, d);
    case 15:
        if (o.matrices && n > 1) {
            return {Wrap(Make(MatrixOf(n), d), Postfix) + "[" + std::to_string(Pick(n)) + "]", Postfix};
        }
        if (o.matrices && n == 1) {
            const int m = 2 + Pick(3);
            return {Wrap(Make(MatrixOf(m), d), Postfix) + "[" + std::to_string(Pick(m)) + "][" + std::to_string(Pick(m)) + "]", Postfix};
        }
        return Make(t, d);
    default:
        if (n == 1) {
            return Call("sign", {Make(t, d)});
        }
        if (n == 3 && o.refract) {
            const Expr normal = Call("normalize", {Binary(Call("abs", {Make(F3, d)}), "+", {"0.5", Postfix}, Additive)});
            const Expr incident = Call("normalize", {Binary(Make(F3, d), "-", {"float3(0.0, 0.0, 4.0)", Postfix}, Additive)});
            return Call("refract", {incident, normal, {"0.75", Postfix}});
        }
        return Call("reflect", {Make(t, d), Make(t, d)});
    }
}

Expr Generator::MakeInt(int depth)
{
    const int d = depth - 1;
    switch (Pick(7)) {
    case 0: return Binary(Make(I1, d), "+", Make(I1, d), Additive);
    case 1: return Binary(Make(I1, d), "-", Make(I1, d), Additive);
    case 2: return Binary(Make(I1, d), "*", Make(I1, d), Multiplicative);
    // Division and remainder of a non-negative value by a positive one: C and HLSL agree there.
    case 3: return Binary(Call("abs", {Make(I1, d)}), Chance(50) ? "/" : "%", {std::to_string(1 + Pick(3)), Postfix}, Multiplicative);
    case 4: return {"(int)" + Wrap(Make(F1, d), Unary), Unary};
    case 5: return Call(Chance(50) ? "max" : "min", {Make(I1, d), Make(I1, d)});
    default: return Negate(Make(I1, d));
    }
}

Expr Generator::MakeBool(Ty t, int depth)
{
    const int d = depth - 1;
    if (t != B1) {
        const Ty f = FloatOf(Width(t));
        if (o.boolVectorLogic) {
            switch (Pick(4)) {
            case 0: return Binary(Make(t, d), "&&", Make(t, d), LogicalAnd);
            case 1: return Binary(Make(t, d), "||", Make(t, d), LogicalOr);
            case 2: return {"!" + Wrap(Make(t, d), Unary), Unary};
            default: break;
            }
        }
        return Binary(NotConstant(Make(f, d), Width(t)), Chance(50) ? "<" : ">=", Make(f, d), Relational);
    }
    switch (Pick(6)) {
    case 0: return Binary(Make(B1, d), "&&", Make(B1, d), LogicalAnd);
    case 1: return Binary(Make(B1, d), "||", Make(B1, d), LogicalOr);
    case 2: return {"!" + Wrap(Make(B1, d), Unary), Unary};
    case 3:
        if (o.nanAndInfinityTests && Chance(30)) {
            const Ty f = FloatOf(1 + Pick(4));
            const Expr test = Call(Chance(50) ? "isnan" : "isinf", {Make(f, d)});
            return f == F1 ? Expr{"!" + test.text, Unary} : Expr{"!" + Call("any", {test}).text, Unary};
        }
        return Binary(Make(I1, d), Chance(50) ? "==" : "!=", Make(I1, d), Equality);
    case 4: {
        const Ty f = FloatOf(2 + Pick(3));
        return Call(Chance(50) ? "any" : "all", {Binary(NotConstant(Make(f, d), Width(f)), ">", Make(f, d), Relational)});
    }
    default: return Binary(Make(F1, d), Chance(50) ? "<=" : ">", Make(F1, d), Relational);
    }
}

Expr Generator::MakeMatrix(Ty t, int depth)
{
    const int d = depth - 1;
    switch (Pick(6)) {
    case 0: return Binary(Make(t, d), "+", Make(t, d), Additive);
    // Not matrix * matrix: glslang 12 reads it as the matrix product, HLSL and Cg per element.
    case 1: return Binary(Make(t, d), "*", Make(F1, d), Multiplicative);
    case 2: return Call("mul", {Make(t, d), Make(t, d)});
    case 3: return Call("transpose", {Make(t, d)});
    case 4:
        if (o.scalarMatrixCasts) {
            return {"(" + std::string(tyNames[t]) + ")" + Wrap(Make(F1, d), Unary), Unary};
        }
        return Leaf(t);
    default: return Leaf(t);
    }
}

Ty Generator::AnyValueType()
{
    static const Ty plain[] = {F1, F2, F3, F4, F4, F3, I1, B1};
    if (o.matrices && Chance(15)) {
        return MatrixOf(2 + Pick(3));
    }
    return plain[Pick(8)];
}

void Generator::Statement()
{
    const int kind = Pick(10);
    std::vector<const Var *> writable;
    for (const Var &v : scope) {
        if (v.writable) {
            writable.push_back(&v);
        }
    }
    // Inside a block most statements change what lives outside it, or they would be dead.
    if ((kind <= 2 && depthOfBlocks == 0) || writable.size() < 4) {
        const Ty t = AnyValueType();
        const std::string name = NewName("v");
        if (t == F1 && o.staticLocals && Chance(20)) {
            Line("float " + name + " = Counter();");
            scope.push_back({name, t, true});
            return;
        }
        const std::string type = t == F3 && o.typedefs && Chance(40) ? "direction" : tyNames[t];
        Line(type + " " + name + " = " + Make(t, 3).text + ";");
        scope.push_back({name, t, true});
        return;
    }
    const Var *target = writable[size_t(Pick(int(writable.size())))];
    const Ty t = target->type;
    if (kind == 3 && o.branches && depthOfBlocks < 2) {
        Line("if (" + Make(B1, 2).text + ") {");
        Block(1 + Pick(3));
        if (Chance(50)) {
            Line("} else {");
            Block(1 + Pick(2));
        }
        Line("}");
        return;
    }
    if (kind == 4 && o.loops && depthOfBlocks < 2) {
        const std::string i = NewName("i");
        Line("for (int " + i + " = 0; " + i + " < " + std::to_string(1 + Pick(3)) + "; " + i + "++) {");
        scope.push_back({i, I1, false});
        Block(1 + Pick(3));
        scope.pop_back();
        Line("}");
        return;
    }
    if (kind == 5 && o.arrays) {
        const std::string a = NewName("a");
        Line("float3 " + a + (o.macroArraySizes ? "[SIZE]" : "[3]") + " = {" + Make(F3, 1).text + ", " +
             Make(F3, 1).text + ", " + Make(F3, 1).text + "};");
        if (o.incrementInIndex) {
            const std::string j = NewName("j");
            Line("int " + j + " = 0;");
            Line(a + "[" + j + "++] += " + Right(Make(F3, 2)) + ";");
            Line(a + "[" + j + "++] *= " + Right(Make(F3, 2)) + ";");
            scope.push_back({j, I1, false});
        } else {
            Line("for (int k = 0; k < 3; k++) {");
            Line("    " + a + "[k] += " + Right(Make(F3, 2)) + ";");
            Line("}");
        }
        const std::string v = NewName("v");
        Line("float3 " + v + " = " + a + "[0] + " + a + "[1] * " + a + "[2];");
        scope.push_back({v, F3, true});
        if (o.arrayParameters) {
            const std::string s = NewName("v");
            Line("float " + s + " = SumOf(" + a + ");");
            scope.push_back({s, F1, true});
        }
        return;
    }
    if (kind <= 7 && o.compoundAssignments && t != B1) {
        if (t == I1) {
            static const char *const ops[] = {"+=", "-=", "*="};
            Line(target->name + " " + ops[Pick(3)] + " " + Right(Make(I1, 2)) + ";");
        } else if (t >= M2) {
            Line(target->name + (Chance(50) ? " += " + Right(Make(t, 2)) : " *= " + Right(Make(F1, 2))) + ";");
        } else {
            const Expr divisor = Binary({"1.25", Postfix}, "+", Call("abs", {Make(t, 2)}), Additive);
            switch (Pick(4)) {
            case 0: Line(target->name + " += " + Right(Make(t, 2)) + ";"); break;
            case 1: Line(target->name + " -= " + Right(Make(t, 2)) + ";"); break;
            case 2: Line(target->name + " *= " + Right(Make(Chance(50) ? t : F1, 2)) + ";"); break;
            default: Line(target->name + " /= " + Right(divisor) + ";"); break;
            }
        }
        return;
    }
    if (Width(t) > 1 && IsFloat(t) && Chance(50)) {
        // A write mask of distinct components.
        const int n = Width(t);
        std::string mask = ".";
        std::string all = std::string("xyzw").substr(0, size_t(n));
        const int count = 1 + Pick(n);
        for (int i = 0; i < count; i++) {
            const size_t at = size_t(Pick(int(all.size())));
            mask += all[at];
            all.erase(at, 1);
        }
        Line(target->name + mask + " = " + Make(FloatOf(count), 3).text + ";");
        return;
    }
    Line(target->name + " = " + Make(t, 3).text + ";");
}

void Generator::Block(int count)
{
    const size_t outer = scope.size();
    depthOfBlocks++;
    for (int i = 0; i < count; i++) {
        Statement();
    }
    depthOfBlocks--;
    scope.resize(outer);
}

std::string Generator::Program()
{
    std::string head = "// random program\n";
    // Helpers that use the declarations Cg shares with C.
    head += o.macroArraySizes ? "#define SIZE (1 + 2)\n" : "#define SIZE 3\n";
    head += o.typedefs ? "typedef float3 direction;\n" : "";
    head += o.unnamedParameters ? "float Twice(float);\nfloat Twice(float x) { return x * 2.0; }\n" : "";
    head += o.staticLocals ? "float Counter() { static float c = 0.25; c += 0.5; return c; }\n" : "";
    head += o.arrayParameters ? "float SumOf(float3 a[SIZE]) { return a[0].x + a[1].y - a[2].z; }\n" : "";
    // Uniforms: globals without static, as Cg users write them, and one parameter of main.
    static const Ty uniformTypes[] = {F1, F3, F4, I1, M4, M3, M2, F2};
    for (int i = 0; i < 8; i++) {
        const Ty t = uniformTypes[i];
        if ((t >= M2 && !o.matrices) || Chance(30)) {
            continue;
        }
        const std::string name = "u" + std::to_string(i);
        if (i == 7 && !o.bareGlobalUniforms) {
            continue;
        }
        head += std::string(i == 7 ? "" : "uniform ") + tyNames[t] + " " + name + ";\n";
        scope.push_back({name, t, false});
    }
    scope.push_back({"p", F4, false});
    scope.push_back({"tc", F4, false});
    scope.push_back({"n", F3, false});
    head += "struct vout { float4 pos : POSITION; float4 t0 : TEXCOORD0; float3 t1 : TEXCOORD1; float col : COLOR0; };\n"
            "vout main(float4 p : POSITION, float4 tc : TEXCOORD0, float3 n : NORMAL)\n{\n";
    const size_t first = scope.size();
    for (int i = 0; i < o.statements; i++) {
        Statement();
    }
    // Every local reaches an output, so a fault anywhere shows.
    out += "    vout o;\n    o.pos = p;\n    o.t0 = tc;\n    o.t1 = n;\n    o.col = 0.0;\n";
    static const char *const targets[] = {"o.pos", "o.t0", "o.t1", "o.col"};
    int next = 0;
    for (size_t i = first; i < scope.size(); i++) {
        const Var &v = scope[i];
        const char *target = targets[next++ % 4];
        const int width = target[2] == 'c' ? 1 : target[3] == '1' ? 3 : 4;
        std::string value;
        switch (v.type) {
        case F1: value = v.name; break;
        case I1: value = "(float)" + v.name; break;
        case B1: value = "(" + v.name + " ? 1.0 : -1.0)"; break;
        case M2: value = "float4(" + v.name + "[0], " + v.name + "[1])"; break;
        case M3: value = "float4(" + v.name + "[0], " + v.name + "[2].y)"; break;
        case M4: value = v.name + "[1]"; break;
        case F2: value = "float4(" + v.name + ", " + v.name + ".yx)"; break;
        case F3: value = "float4(" + v.name + ", 1.0)"; break;
        default: value = v.name; break;
        }
        if (v.type != F1 && v.type != I1 && v.type != B1) {
            value = "(" + value + ")" + (width == 1 ? ".x" : width == 3 ? ".xyz" : "");
        }
        out += "    " + std::string(target) + " += " + value + ";\n";
    }
    return head + out + "    return o;\n}\n";
}

}  // namespace

std::string GenerateCgProgram(uint32_t seed, const CgGenOptions &options)
{
    return Generator(seed, options).Program();
}

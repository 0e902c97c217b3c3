// expressions.cpp -- expressions read into nodes that carry their Cg types, and the questions
// asked of those nodes.
#include "cg/cg_internal.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace cg {

// The innermost declaration of `name`, as C scopes hide outer ones.
const Variable *Lookup(const Translator &t, const std::string &name)
{
    for (auto level = t.scopes.rbegin(); level != t.scopes.rend(); ++level) {
        auto found = level->find(name);
        if (found != level->end()) {
            return &found->second;
        }
    }
    return nullptr;
}

// A name declared in the innermost scope; a second declaration there replaces the first, as
// GLSL will then say, with its line.
Variable *Declare(Translator &t, const std::string &name, const Variable &v)
{
    Variable &slot = t.scopes.back()[name];
    slot = v;
    return &slot;
}

// The end of the expression that starts at `i`: the first ',' (if `stopAtComma`) or ';' outside
// brackets, or `end`.
int ExpressionEnd(const Translator &t, int i, int end, bool stopAtComma)
{
    for (; i < end; i++) {
        const CgToken &tok = t.tokens[i];
        if (Is(tok, ";") || (stopAtComma && Is(tok, ","))) {
            return i;
        }
        if (IsOpen(tok)) {
            i = t.match[i];
        }
    }
    return end;
}

// ---- Questions asked of the tree ------------------------------------------------------------

namespace {

// The variable an lvalue path (a.b[i].xy) starts from.
const Node &Root(const Node &n)
{
    const Node *r = &n;
    while (r->kind == NodeKind::Member || r->kind == NodeKind::Index || r->kind == NodeKind::Group) {
        r = &r->kids[0];
    }
    return *r;
}

}  // namespace

// A variable, a member or element of one, or a swizzle of one that names no component twice.
bool IsLvalue(const Node &n)
{
    switch (n.kind) {
    case NodeKind::Name:
        return n.variable && n.variable->readOnly == 0;
    case NodeKind::Group:
    case NodeKind::Index:
        return IsLvalue(n.kids[0]);
    case NodeKind::Member: {
        const Ty &of = n.kids[0].type;
        const bool field = of.base == Base::Struct || !Known(of) || n.text[0] == '[';
        const std::string &s = n.text;  // ".xy": a component named twice cannot be written
        return IsLvalue(n.kids[0]) &&
               (field || (of.cols > 1 && std::set<char>(s.begin() + 1, s.end()).size() + 1 == s.size()));
    }
    default:
        return false;
    }
}

namespace {

// Whether `n` or a node under it is one that `test` picks.
bool AnyNode(const Node &n, bool (*test)(const Node &))
{
    if (test(n)) {
        return true;
    }
    for (const Node &k : n.kids) {
        if (AnyNode(k, test)) {
            return true;
        }
    }
    return false;
}

// ++, --, =, and calls of the program's functions (or of those that write an out argument).
bool Writes(const Node &n)
{
    return n.kind == NodeKind::Assign || n.kind == NodeKind::Postfix || (n.kind == NodeKind::Call && n.call == UserFunction) ||
           (n.kind == NodeKind::Unary && (n.text == "++" || n.text == "--"));
}

}  // namespace

// Whether evaluating it writes something, so that it may not be evaluated twice.
bool HasEffects(const Node &n)
{
    return AnyNode(n, Writes);
}

// A GLSL 1.20 constant expression: literals, constants, and operators and built-in functions
// of them. The helpers this translator writes and the program's functions are not.
bool IsConstant(const Node &n)
{
    return !AnyNode(n, [](const Node &k) {
        return Writes(k) || (k.kind == NodeKind::Name && !(k.variable && k.variable->constant)) ||
               (k.kind == NodeKind::Call && k.call != BuiltIn);
    });
}

// The value of an integer constant expression (an array size: 4, N, (2 * 2), SIZE + 1), when
// the tree is one; constants of the program count with the values they were given.
bool ConstantInt(const Node &n, long long *value)
{
    long long a = 0, b = 0;
    switch (n.kind) {
    case NodeKind::Literal:
        *value = (long long)n.value;
        return n.isInt && n.value < 1e9;
    case NodeKind::Name:
        *value = n.variable ? n.variable->intValue : 0;
        return n.variable && n.variable->hasValue;
    case NodeKind::Group:
        return ConstantInt(n.kids[0], value);
    case NodeKind::Call:
        return n.type.base == Base::Int && IsScalar(n.type) && n.kids.size() == 1 && n.kids[0].type.base == Base::Int &&
               ConstantInt(n.kids[0], value);
    case NodeKind::Unary:
        if (!ConstantInt(n.kids[0], &a) || (n.text != "-" && n.text != "+")) {
            return false;
        }
        *value = n.text == "-" ? -a : a;
        return true;
    case NodeKind::Binary:
        if (!ConstantInt(n.kids[0], &a) || !ConstantInt(n.kids[1], &b) || a > 1e9 || b > 1e9 || a < -1e9 || b < -1e9) {
            return false;
        }
        if (n.text == "+") *value = a + b;
        else if (n.text == "-") *value = a - b;
        else if (n.text == "*") *value = a * b;
        else if ((n.text == "/" || n.text == "%") && b != 0) *value = n.text == "/" ? a / b : a % b;
        else return false;
        return true;
    default:
        return false;
    }
}

// ---- Building nodes -------------------------------------------------------------------------

Node MakeNode(NodeKind kind, const std::string &text, const Ty &type, int line, std::vector<Node> kids, bool space)
{
    Node n;
    n.kind = kind;
    n.text = text;
    n.type = type;
    n.line = line;
    n.closeLine = line;
    n.space = space;
    n.kids = std::move(kids);
    return n;
}

std::vector<Node> Kids(Node a) { std::vector<Node> k; k.push_back(std::move(a)); return k; }
std::vector<Node> Kids(Node a, Node b) { std::vector<Node> k = Kids(std::move(a)); k.push_back(std::move(b)); return k; }

Node MakeCall(const CgToken &at, const std::string &glsl, std::vector<Node> args, const Ty &type, CallKind call)
{
    Node n = MakeNode(NodeKind::Call, glsl, type, at.line, std::move(args), at.spaceBefore);
    n.call = call;
    return n;
}

namespace {

Node ParseAssignment(Translator &t, int *pos, int end);
Node ParseUnary(Translator &t, int *pos, int end);

void NeedLvalue(const Node &n, const CgToken &op, bool assignment)
{
    if (IsLvalue(n)) {
        return;
    }
    const std::string why = Root(n).readOnly;  // why the variable under the path cannot be written
    if (!why.empty()) {
        Fail(op.line, why + "; '" + op.text + "' cannot change it");
    }
    Fail(op.line, assignment ? "the left side of '" + op.text + "' is not a variable"
                             : "'" + op.text + "' needs a variable");
}

// M._m03_m13_m23 (from 0) or M._14_24_34 (from 1): elements of a matrix. Cg's element (r, c) is
// [r][c] of the matrix as the shader holds it, transposed.
Node MatrixSwizzle(Translator &t, const CgToken &member, Node e)
{
    const std::string &s = member.text;
    const Ty ty = e.type;
    std::vector<std::string> picks;
    size_t k = 0;
    while (k < s.size()) {
        const bool fromZero = k + 1 < s.size() && s[k + 1] == 'm';
        const size_t at = k + (fromZero ? 2 : 1);
        if (s[k] != '_' || at + 1 >= s.size() + 0 || !IsDigit(s[at]) || !IsDigit(s[at + 1]) || picks.size() == 4) {
            Fail(member.line, "'." + s + "' is not a swizzle of a matrix: write up to four of _m<row><column> "
                              "(from 0) or _<row><column> (from 1)");
        }
        const int row = s[at] - (fromZero ? '0' : '1');
        const int col = s[at + 1] - (fromZero ? '0' : '1');
        if (row < 0 || col < 0 || row >= ty.rows || col >= ty.cols) {
            Fail(member.line, "'." + s + "' reads past the end of a " + CgTypeName(t, ty));
        }
        picks.push_back("[" + std::to_string(row) + "][" + std::to_string(col) + "]");
        k = at + 2;
    }
    if (picks.size() == 1) {
        return MakeNode(NodeKind::Member, picks[0], MakeTy(ty.base), member.line, Kids(std::move(e)));
    }
    if (HasEffects(e)) {
        Fail(member.line, "'." + s + "' would read a matrix that changes as it is read several times; "
                          "keep the matrix in a variable first");
    }
    const Ty result = MakeTy(ty.base, 1, int(picks.size()));
    std::vector<Node> elements;
    for (const std::string &pick : picks) {
        elements.push_back(MakeNode(NodeKind::Member, pick, MakeTy(ty.base), member.line, Kids(e)));
        elements.back().kids[0].space = false;
    }
    Node whole = MakeNode(NodeKind::Call, ElementGlsl(t, result), result, member.line, std::move(elements));
    whole.space = e.space;
    return whole;
}

// vector.xyzw or .rgba, up to four: a scalar swizzles too in Cg (x.xxx), which GLSL 1.20 cannot.
Node Swizzle(Translator &t, const CgToken &member, Node e)
{
    const Ty ty = e.type;
    const std::string &s = member.text;
    if (s.size() >= 2 && s[0] == '_' && IsMatrix(ty)) {
        return MatrixSwizzle(t, member, std::move(e));
    }
    const char *sets[] = {"xyzw", "rgba"};
    int set = -1;
    for (int k = 0; k < 2 && set < 0; k++) {
        if (s.find_first_not_of(sets[k]) == std::string::npos) {
            set = k;
        }
    }
    if (set < 0 || s.size() > 4 || !IsNumeric(ty) || IsMatrix(ty)) {
        Fail(member.line, "'" + s + "' is not a member of " + CgTypeName(t, ty));
    }
    for (char c : s) {
        if (int(std::strchr(sets[set], c) - sets[set]) >= ty.cols) {
            Fail(member.line, "'." + s + "' reads past the end of a " + CgTypeName(t, ty));
        }
    }
    const Ty result = MakeTy(ty.base, 1, int(s.size()));
    if (ty.cols == 1) {
        // GLSL 1.20 cannot swizzle a scalar: x.xxx is a constructor.
        if (s.size() == 1) {
            e.type = result;
            return e;
        }
        return Cast(t, std::move(e), result, member.line);
    }
    return MakeNode(NodeKind::Member, "." + s, result, member.line, Kids(std::move(e)));
}

// glstate.matrix.<which>: the GL state matrices the vendor's OpenGL profiles offer; GLSL 1.20
// has each as a built-in uniform, also transposed and inverted.
Node ParseGlState(Translator &t, int *pos, int end)
{
    const CgToken &tok = t.tokens[*pos];
    auto word = [&](int k) {
        return k + 1 < end && Is(t.tokens[k], ".") && t.tokens[k + 1].kind == CgTokenKind::Identifier
                   ? t.tokens[k + 1].text
                   : std::string();
    };
    const char *known = "; glstate.matrix offers mvp, modelview[0], projection and texture[0 to 7], each also "
                        "under inverse, transpose and invtrans";
    int i = *pos + 1;
    if (word(i) != "matrix") {
        Fail(tok.line, "'glstate." + word(i) + "' is not available in this profile" + known);
    }
    i += 2;
    std::string form = word(i);
    std::string which = form;
    if (form == "inverse" || form == "transpose" || form == "invtrans") {
        i += 2;
        which = word(i);
    } else {
        form.clear();
    }
    static const char *const names[][2] = {
        {"mvp", "ModelViewProjection"}, {"modelview", "ModelView"}, {"projection", "Projection"}, {"texture", "Texture"}};
    std::string glName;
    for (const auto &n : names) {
        glName = which == n[0] ? n[1] : glName;
    }
    if (glName.empty()) {
        Fail(tok.line, "'" + which + "' is not a state matrix" + known);
    }
    i += 2;
    int index = 0;
    if ((which == "modelview" || which == "texture") && i < end && Is(t.tokens[i], "[")) {
        const CgToken &n = t.tokens[i + 1];
        const int last = which == "texture" ? 7 : 0;
        if (t.match[i] != i + 2 || n.kind != CgTokenKind::Number || n.text.size() != 1 || n.text[0] < '0' ||
            n.text[0] > '0' + last) {
            Fail(tok.line, "glstate.matrix." + which + " has the entries 0 to " + std::to_string(last));
        }
        index = n.text[0] - '0';
        i += 3;
    }
    // The shader holds Cg's matrices transposed, so Cg's M is GLSL's transpose of M.
    const std::string suffix = form.empty() ? "Transpose" : form == "inverse" ? "InverseTranspose"
                             : form == "transpose" ? "" : "Inverse";
    Node n = MakeNode(NodeKind::Name, "gl_" + glName + "Matrix" + suffix +
                                          (which == "texture" ? "[" + std::to_string(index) + "]" : ""),
                      MakeTy(Base::Float, 4, 4), tok.line, {});
    n.space = tok.spaceBefore;
    n.readOnly = "'glstate' is GL's state";
    *pos = i;
    return n;
}

// postfix = primary ("." name | "[" expression "]" | "++" | "--")*
Node ParsePostfix(Translator &t, int *pos, int end, Node e)
{
    while (*pos < end) {
        const CgToken &tok = t.tokens[*pos];
        if (Is(tok, ".")) {
            if (*pos + 1 >= end || t.tokens[*pos + 1].kind != CgTokenKind::Identifier) {
                Fail(tok.line, "expected a member name after '.'");
            }
            const CgToken &member = t.tokens[*pos + 1];
            *pos += 2;
            // A struct's member by its GLSL name; anything else with a known type is a swizzle.
            if (e.type.base == Base::Struct && e.type.array == 0) {
                const StructDef &def = t.structs[e.type.structIndex];
                const Member *found = nullptr;
                for (const Member &m : def.members) {
                    found = m.name == member.text ? &m : found;
                }
                if (!found) {
                    Fail(member.line, "'" + member.text + "' is not a member of struct " + def.name);
                }
                e = MakeNode(NodeKind::Member, "." + found->glslName, found->type, member.line, Kids(std::move(e)));
            } else if (Known(e.type)) {
                e = Swizzle(t, member, std::move(e));
            } else {
                e = MakeNode(NodeKind::Member, "." + GlslName(member.text), e.type, member.line, Kids(std::move(e)));
            }
        } else if (Is(tok, "[")) {
            const int close = t.match[*pos];
            Node index = ParseExpression(t, *pos + 1, close, "an index");
            Convert(t, index, MakeTy(Known(index.type) ? Base::Int : Base::Unknown), tok.line);
            Ty ty = e.type;
            if (ty.array) {
                ty.array = 0;
            } else if (IsMatrix(ty)) {
                ty.rows = 1;  // a Cg row is a GLSL column
            } else if (IsVector(ty)) {
                ty.cols = 1;
            } else if (Known(ty)) {
                Fail(tok.line, "a " + CgTypeName(t, ty) + " cannot be indexed");
            }
            e = MakeNode(NodeKind::Index, "", ty, tok.line, Kids(std::move(e), std::move(index)));
            e.closeLine = t.tokens[close].line;
            *pos = close + 1;
        } else if (Is(tok, "++") || Is(tok, "--")) {
            NeedLvalue(e, tok, false);
            e = MakeNode(NodeKind::Postfix, tok.text, e.type, tok.line, Kids(std::move(e)));
            (*pos)++;
        } else {
            break;
        }
    }
    return e;
}

// type "(" arguments ")": Cg counts the values: all of them, or one scalar spread over a vector,
// or one matrix cut down. GLSL would read some other counts in its own way, or refuse them late.
Node ParseConstructor(Translator &t, int *pos, const Ty &info)
{
    const CgToken &tok = t.tokens[*pos];
    const int open = *pos + 1;
    std::vector<Node> args = ParseArguments(t, open);
    for (const Node &arg : args) {
        if (Known(arg.type) && !IsNumeric(arg.type)) {
            Fail(tok.line, tok.text + " cannot take a " + CgTypeName(t, arg.type));
        }
    }
    if (args.empty()) {
        Fail(tok.line, "the constructor " + tok.text + "() needs values");
    }
    int total = 0;
    bool known = true;
    for (const Node &arg : args) {
        known = known && Known(arg.type);
        total += arg.type.rows * arg.type.cols;
    }
    const int wanted = info.rows * info.cols;
    const bool spread = args.size() == 1 && IsScalar(args[0].type) && !IsMatrix(info);
    const bool cut = args.size() == 1 && IsMatrix(args[0].type) && IsMatrix(info);
    if (known && !spread && !cut && total != wanted) {
        Fail(tok.line, "the constructor " + tok.text + "() takes " + std::to_string(wanted) + " values, not " +
                           std::to_string(total));
    }
    for (Node &arg : args) {
        const Node &literal = arg.kind == NodeKind::Unary && arg.text == "-" ? arg.kids[0] : arg;
        if (literal.kind == NodeKind::Literal && literal.isInt && info.base == Base::Float) {
            Convert(t, arg, MakeTy(Base::Float), tok.line);
        }
    }
    Node n = MakeCall(tok, GlslType(t, info), std::move(args), MakeTy(info.base, info.rows, info.cols), BuiltIn);
    n.closeLine = t.tokens[t.match[open]].line;
    *pos = t.match[open] + 1;
    return n;
}

// "(" type ")" unary: a cast, which binds like a unary operator.
Node ParseCast(Translator &t, int *pos, int end, const Ty &info)
{
    const CgToken &tok = t.tokens[*pos];
    const CgToken &inner = t.tokens[*pos + 1];
    *pos = t.match[*pos] + 1;
    if (*pos >= end) {
        Fail(tok.line, "the cast to '" + inner.text + "' has no operand");
    }
    Node operand = ParseUnary(t, pos, end);
    const Ty to = MakeTy(info.base, info.rows, info.cols);
    if (Known(operand.type) && !IsNumeric(operand.type)) {
        Fail(tok.line, "cannot cast a " + CgTypeName(t, operand.type) + " to " + inner.text);
    }
    Node n = IsMatrix(to) && IsScalar(operand.type) ? FillMatrix(t, std::move(operand), to, tok.line)
                                                    : Cast(t, std::move(operand), to, tok.line);
    n.space = tok.spaceBefore;
    n.type = to;
    return n;
}

// A name: a variable of the program, or glstate.
Node ParseName(Translator &t, int *pos, int end)
{
    const CgToken &tok = t.tokens[*pos];
    const Variable *v = Lookup(t, tok.text);
    if (!v && tok.text == "glstate") {
        return ParseGlState(t, pos, end);
    }
    if (!v) {
        if (t.structIndex.count(tok.text)) {
            Fail(tok.line, "unexpected struct name '" + tok.text + "'");
        }
        Fail(tok.line, "'" + tok.text + "' is not declared");
    }
    Node n = MakeNode(NodeKind::Name, v->glslName, v->type, tok.line, {});
    n.space = tok.spaceBefore;
    n.variable = v;
    if (v->readOnly) {
        n.readOnly = "'" + tok.text + (v->readOnly == 'c' ? "' is const"
                                                          : "' is a uniform (in Cg, a global without static is one)");
    }
    (*pos)++;
    return n;
}

// primary = number | "true" | "false" | name | "(" type ")" unary | "(" expression ")"
//         | type "(" arguments ")" | name "(" arguments ")" | "glstate" "." ...
Node ParsePrimary(Translator &t, int *pos, int end)
{
    const CgToken &tok = t.tokens[*pos];
    if (tok.kind == CgTokenKind::Number) {
        bool isFloat = false;
        double value = 0;
        size_t digits = 0;
        ReadNumber(tok.text, tok.line, &value, &isFloat, &digits);
        // GLSL 1.20 knows none of Cg's suffixes (1.0f, 0.5h, 2u).
        std::string text = tok.text.substr(0, digits);
        if (isFloat && text.find_first_of(".eExX") == std::string::npos) {
            text += ".0";
        } else if (isFloat && text.find_first_of("xX") != std::string::npos) {
            text = std::to_string((long long)value) + ".0";
        }
        Node n = MakeNode(NodeKind::Literal, text, MakeTy(isFloat ? Base::Float : Base::Int), tok.line, {});
        n.space = tok.spaceBefore;
        n.isInt = !isFloat;
        n.value = value;
        (*pos)++;
        return n;
    }
    if (Is(tok, "(")) {
        Ty info;
        const CgToken &inner = t.tokens[*pos + 1];
        // "(float3)x" is a cast, "(x)" brackets: the one word inside tells them apart.
        if (t.match[*pos] == *pos + 2 && LookupType(t, inner, &info) && IsNumeric(info)) {
            return ParseCast(t, pos, end, info);
        }
        const int close = t.match[*pos];
        Node n = MakeNode(NodeKind::Group, "", Ty(), tok.line, Kids(ParseExpression(t, *pos + 1, close, "an expression in brackets")));
        n.type = n.kids[0].type;
        n.space = tok.spaceBefore;
        n.closeLine = t.tokens[close].line;
        *pos = close + 1;
        return n;
    }
    if (tok.kind != CgTokenKind::Identifier) {
        Fail(tok.line, tok.kind == CgTokenKind::End ? "the expression ends too early" : "unexpected '" + tok.text + "'");
    }
    const bool called = *pos + 1 < end && Is(t.tokens[*pos + 1], "(");
    Ty info;
    if (LookupType(t, tok, &info)) {
        if (!called || !IsNumeric(info)) {
            Fail(tok.line, "unexpected type '" + tok.text + "'");
        }
        return ParseConstructor(t, pos, info);
    }
    if (tok.text == "true" || tok.text == "false") {
        Node n = MakeNode(NodeKind::Literal, tok.text, MakeTy(Base::Bool), tok.line, {});
        n.space = tok.spaceBefore;
        (*pos)++;
        return n;
    }
    if (called) {
        Node n = CallFunction(t, tok, *pos + 1);
        *pos = t.match[*pos + 1] + 1;
        return n;
    }
    return ParseName(t, pos, end);
}

// unary = ("-" | "+" | "!" | "~" | "++" | "--") unary | postfix
Node ParseUnary(Translator &t, int *pos, int end)
{
    DepthGuard guard(t.depth, maxExpressionDepth, t.tokens[std::min(*pos, int(t.tokens.size()) - 1)].line,
                     "expression nested too deeply");
    if (*pos >= end) {
        Fail(t.tokens[std::max(*pos - 1, 0)].line, "the expression ends too early");
    }
    const CgToken &tok = t.tokens[*pos];
    if (!(Is(tok, "-") || Is(tok, "+") || Is(tok, "!") || Is(tok, "~") || Is(tok, "++") || Is(tok, "--"))) {
        Node n = ParsePrimary(t, pos, end);
        return ParsePostfix(t, pos, end, std::move(n));
    }
    (*pos)++;
    Node operand = ParseUnary(t, pos, end);
    const Ty ty = operand.type;
    if (Is(tok, "~")) {
        Fail(tok.line, "the bitwise operator '~' is not supported in this profile");
    }
    if (Known(ty) && !IsNumeric(ty)) {
        Fail(tok.line, "'" + tok.text + "' cannot take a " + CgTypeName(t, ty));
    }
    if (Is(tok, "++") || Is(tok, "--")) {
        NeedLvalue(operand, tok, false);
    }
    if (Is(tok, "!") && Known(ty)) {
        if (IsMatrix(ty)) {
            Fail(tok.line, "'!' cannot take a matrix");
        }
        Ty b = ty;
        b.base = Base::Bool;
        Convert(t, operand, b, tok.line);
        if (ty.cols > 1) {
            return MakeCall(tok, "not", Kids(std::move(operand)), b, BuiltIn);
        }
    }
    Node n = MakeNode(NodeKind::Unary, tok.text, operand.type, tok.line, Kids(std::move(operand)));
    n.space = tok.spaceBefore;
    return n;
}

// && and || on bool vectors: per component in Cg, both sides evaluated; GLSL 1.20 has no such
// operator, so a helper does it.
Node VectorLogic(Translator &t, const CgToken &op, Node a, Node b)
{
    const Ty ta = a.type, tb = b.type;
    const int n = IsVector(ta) ? ta.cols : tb.cols;
    if (IsMatrix(ta) || IsMatrix(tb) || (IsVector(ta) && IsVector(tb) && ta.cols != tb.cols)) {
        Fail(op.line, "'" + op.text + "' between " + CgTypeName(t, ta) + " and " + CgTypeName(t, tb) +
                          ": per component it needs one size");
    }
    const Ty bv = MakeTy(Base::Bool, 1, n);
    Convert(t, a, bv, op.line);
    Convert(t, b, bv, op.line);
    const std::string B = ElementGlsl(t, bv);
    std::string body = " { return " + B + "(";
    for (int k = 0; k < n; k++) {
        const std::string c = std::string(".") + "xyzw"[k];
        body += (k ? ", a" : "a") + c + " " + op.text + " b" + c;
    }
    const std::string name = MakeHelper(t, op.text == "&&" ? "cgx_and" : "cgx_or", B + " %(" + B + " a, " + B + " b)",
                                        body + "); }\n");
    Node call = MakeCall(op, name, Kids(std::move(a), std::move(b)), bv, Helper);
    call.space = true;
    return call;
}

// One binary operation in Cg's meaning: operands converted to the type they meet in, and the
// operators GLSL spells otherwise (vector comparisons, '%', '*' of matrices) as calls.
Node Combine(Translator &t, const CgToken &op, Node a, Node b)
{
    const std::string &o = op.text;
    const Ty ta = a.type;
    const Ty tb = b.type;
    // The vertex profiles of this kind have no integer bit operations.
    if (o == "|" || o == "^" || o == "&" || o == "<<" || o == ">>" || o == "^^") {
        Fail(op.line, "the operator '" + o + "' is not supported in this profile");
    }
    auto join = [&](const Ty &result) {
        Node n = MakeNode(NodeKind::Binary, o, result, op.line, Kids(std::move(a), std::move(b)));
        n.space = op.spaceBefore;
        return n;
    };
    if (!Known(ta) || !Known(tb)) {
        return join(MakeTy(Base::Unknown));
    }
    if ((o == "==" || o == "!=") && ta.base == Base::Struct && SameType(ta, tb)) {
        return join(MakeTy(Base::Bool));
    }
    if (!IsNumeric(ta) || !IsNumeric(tb)) {
        Fail(op.line, "'" + o + "' cannot take " + CgTypeName(t, ta) + " and " + CgTypeName(t, tb));
    }
    if ((o == "&&" || o == "||") && (IsVector(ta) || IsVector(tb))) {
        return VectorLogic(t, op, std::move(a), std::move(b));
    }
    if (o == "&&" || o == "||") {
        if (!IsScalar(ta) || !IsScalar(tb)) {
            Fail(op.line, "'" + o + "' cannot take " + CgTypeName(t, ta) + " and " + CgTypeName(t, tb));
        }
        Convert(t, a, MakeTy(Base::Bool), op.line);
        Convert(t, b, MakeTy(Base::Bool), op.line);
        return join(MakeTy(Base::Bool));
    }
    if (IsMatrix(ta) != IsMatrix(tb) && !IsScalar(ta) && !IsScalar(tb)) {
        Fail(op.line, "'" + o + "' between " + CgTypeName(t, ta) + " and " + CgTypeName(t, tb) +
                          " is element by element in Cg and their sizes differ; for a matrix product write mul()");
    }
    if (IsMatrix(ta) && IsMatrix(tb) && (ta.rows != tb.rows || ta.cols != tb.cols)) {
        Fail(op.line, "'" + o + "' between " + CgTypeName(t, ta) + " and " + CgTypeName(t, tb) + ": the sizes differ");
    }
    Ty meet = Meet(ta, tb);
    const bool compare = o == "<" || o == ">" || o == "<=" || o == ">=" || o == "==" || o == "!=";
    // Arithmetic on bools counts them as 0 and 1, as C does.
    if (!compare && meet.base == Base::Bool) {
        meet.base = Base::Int;
    }
    if (IsMatrix(meet) && (compare || o == "%")) {
        Fail(op.line, "'" + o + "' on matrices is not supported");
    }
    // Operands keep a scalar side where GLSL accepts one (v * 2.0); they meet otherwise.
    const bool keepScalars = !compare && o != "%";
    Convert(t, a, keepScalars && IsScalar(ta) ? MakeTy(meet.base) : meet, op.line);
    Convert(t, b, keepScalars && IsScalar(tb) ? MakeTy(meet.base) : meet, op.line);
    // Vectors compare per component in Cg, giving a bool vector; GLSL names those functions.
    if (compare && meet.cols > 1) {
        const char *name = o == "<" ? "lessThan" : o == ">" ? "greaterThan" : o == "<=" ? "lessThanEqual"
                         : o == ">=" ? "greaterThanEqual" : o == "==" ? "equal" : "notEqual";
        Node call = MakeCall(op, name, Kids(std::move(a), std::move(b)), MakeTy(Base::Bool, 1, meet.cols), BuiltIn);
        call.space = true;
        return call;
    }
    if (compare) {
        return join(MakeTy(Base::Bool));
    }
    if (o == "%") {
        t.preamble |= meet.base == Base::Int ? PreambleIntMod : PreambleFmod | PreambleTrunc;
        Node call = MakeCall(op, meet.base == Base::Int ? "cgx_imod" : "cgx_fmod", Kids(std::move(a), std::move(b)),
                             meet, Helper);
        call.space = true;
        return call;
    }
    // '*' between two matrices multiplies element by element in Cg; GLSL's would be a product.
    if (o == "*" && IsMatrix(ta) && IsMatrix(tb)) {
        Node call = MakeCall(op, "matrixCompMult", Kids(std::move(a), std::move(b)), meet, BuiltIn);
        call.space = true;
        return call;
    }
    return join(meet);
}

// Precedence climbing over the binary operators at `minLevel` and above.
Node ParseBinary(Translator &t, int *pos, int end, int minLevel)
{
    Node left = ParseUnary(t, pos, end);
    while (*pos < end) {
        const CgToken &op = t.tokens[*pos];
        const int level = op.kind == CgTokenKind::Punct ? BinaryLevel(op.text) : 0;
        if (level == 0 || level < minLevel) {
            break;
        }
        (*pos)++;
        DepthGuard guard(t.depth, maxExpressionDepth, op.line, "expression nested too deeply");
        Node right = ParseBinary(t, pos, end, level + 1);
        left = Combine(t, op, std::move(left), std::move(right));
    }
    return left;
}

// cond ? a : b with a vector condition: per component in Cg, both sides evaluated. GLSL 1.20
// has no per-component select; a helper picks each component exactly.
Node VectorSelect(Translator &t, const CgToken &question, const CgToken &colon, Node cond, Node a, Node b, Ty ty)
{
    const int n = cond.type.cols;
    if (!IsNumeric(ty) || IsMatrix(ty) || (ty.cols > 1 && ty.cols < n)) {
        Fail(colon.line, "a " + CgTypeName(t, cond.type) + " condition picks per component; its sides must be scalars "
                         "or vectors of at least " + std::to_string(n) + " components");
    }
    ty.cols = n;
    Convert(t, cond, MakeTy(Base::Bool, 1, n), question.line);
    Convert(t, a, ty, colon.line);
    Convert(t, b, ty, colon.line);
    const std::string T = ElementGlsl(t, ty);
    const std::string B = "bvec" + std::to_string(n);
    std::string body = " { " + T + " r;";
    for (int k = 0; k < n; k++) {
        const std::string c = std::string(".") + "xyzw"[k];
        body += " r" + c + " = c" + c + " ? a" + c + " : b" + c + ";";
    }
    const std::string name = MakeHelper(t, "cgx_select", T + " %(" + B + " c, " + T + " a, " + T + " b)",
                                        body + " return r; }\n");
    std::vector<Node> args = Kids(std::move(cond), std::move(a));
    args.push_back(std::move(b));
    return MakeCall(question, name, std::move(args), ty, Helper);
}

// conditional = binary ("?" assignment ":" conditional)?
Node ParseConditional(Translator &t, int *pos, int end)
{
    Node cond = ParseBinary(t, pos, end, 1);
    if (*pos >= end || !Is(t.tokens[*pos], "?")) {
        return cond;
    }
    const CgToken &question = t.tokens[*pos];
    (*pos)++;
    DepthGuard guard(t.depth, maxExpressionDepth, question.line, "expression nested too deeply");
    // A vector condition picks per component in Cg, and both sides are evaluated.
    const bool perComponent = Known(cond.type) && IsVector(cond.type);
    if (!perComponent) {
        cond = ToCondition(t, std::move(cond), question.line);
    }
    Node a = ParseAssignment(t, pos, end);
    if (*pos >= end || !Is(t.tokens[*pos], ":")) {
        Fail(question.line, "expected ':' after '?'");
    }
    const CgToken &colon = t.tokens[*pos];
    (*pos)++;
    Node b = ParseConditional(t, pos, end);
    Ty ty = a.type;
    if (Known(a.type) && Known(b.type) && !SameType(a.type, b.type)) {
        if (!IsNumeric(a.type) || !IsNumeric(b.type)) {
            Fail(colon.line, "the two sides of '?:' have the types " + CgTypeName(t, a.type) + " and " +
                                 CgTypeName(t, b.type));
        }
        ty = Meet(a.type, b.type);
    }
    if (perComponent) {
        return VectorSelect(t, question, colon, std::move(cond), std::move(a), std::move(b), ty);
    }
    Convert(t, a, ty, colon.line);
    Convert(t, b, ty, colon.line);
    std::vector<Node> kids = Kids(std::move(cond), std::move(a));
    kids.push_back(std::move(b));
    Node n = MakeNode(NodeKind::Conditional, "?", ty, question.line, std::move(kids));
    n.space = question.spaceBefore;
    n.closeLine = colon.line;
    return n;
}

// a op= b, with op in Cg's meaning: a = a op b when `a` may be read twice; else the target goes
// once, as an inout argument, to a helper that does the operation (a[i++] += x steps i once).
Node CompoundAssignment(Translator &t, const CgToken &op, Node target, Node value)
{
    CgToken binary = op;
    binary.text = op.text.substr(0, 1);
    const Ty ty = target.type;
    if (!HasEffects(target)) {
        Node copy = target;
        copy.space = op.spaceBefore;
        Node result = Combine(t, binary, std::move(copy), std::move(value));
        Convert(t, result, ty, op.line);
        Node n = MakeNode(NodeKind::Assign, "=", ty, op.line, Kids(std::move(target), std::move(result)));
        n.space = op.spaceBefore;
        return n;
    }
    if (!Known(ty) || !Known(value.type)) {
        Fail(op.line, "'" + op.text + "' on a target that changes as it is read needs known types");
    }
    Node a = MakeNode(NodeKind::Name, "a", ty, op.line, {});
    Node b = MakeNode(NodeKind::Name, "b", value.type, op.line, {});
    Node result = Combine(t, binary, std::move(a), std::move(b));
    Convert(t, result, ty, op.line);
    const std::string signature = GlslType(t, ty) + " %(inout " + GlslType(t, ty) + " a, " +
                                  GlslType(t, value.type) + " b)";
    const std::string name = MakeHelper(t, "cgx_assign", signature, " { a = " + NodeText(result) + "; return a; }\n");
    const bool space = target.space;
    Node call = MakeCall(op, name, Kids(std::move(target), std::move(value)), ty, UserFunction);
    call.space = space;
    return call;
}

// assignment = conditional (("=" | "+=" | "-=" | "*=" | "/=" | "%=") assignment)?
Node ParseAssignment(Translator &t, int *pos, int end)
{
    Node target = ParseConditional(t, pos, end);
    if (*pos >= end) {
        return target;
    }
    const CgToken &op = t.tokens[*pos];
    static const char *const assignments[] = {"=", "+=", "-=", "*=", "/=", "%=", "<<=", ">>=", "&=", "|=", "^="};
    const char *found = nullptr;
    for (const char *a : assignments) {
        found = Is(op, a) ? a : found;
    }
    if (!found) {
        return target;
    }
    // The bit operators' assignments, refused like the operators themselves.
    if (std::strlen(found) == 3 || Is(op, "&=") || Is(op, "|=") || Is(op, "^=")) {
        Fail(op.line, "the operator '" + op.text + "' is not supported in this profile");
    }
    NeedLvalue(target, op, true);
    (*pos)++;
    DepthGuard guard(t.depth, maxExpressionDepth, op.line, "expression nested too deeply");
    Node value = ParseAssignment(t, pos, end);
    if (!Is(op, "=")) {
        return CompoundAssignment(t, op, std::move(target), std::move(value));
    }
    Convert(t, value, target.type, op.line);
    const Ty ty = target.type;
    Node n = MakeNode(NodeKind::Assign, "=", ty, op.line, Kids(std::move(target), std::move(value)));
    n.space = op.spaceBefore;
    return n;
}

}  // namespace

// The whole of [begin, end) as one expression.
Node ParseExpression(Translator &t, int begin, int end, const char *what)
{
    if (begin >= end) {
        Fail(t.tokens[std::min(begin, int(t.tokens.size()) - 1)].line, std::string("expected ") + what);
    }
    int pos = begin;
    Node n = ParseAssignment(t, &pos, end);
    if (pos < end) {
        Fail(t.tokens[pos].line, "unexpected '" + t.tokens[pos].text + "' in " + what);
    }
    return n;
}

// Arguments between the brackets at `open`, each read as one expression.
std::vector<Node> ParseArguments(Translator &t, int open)
{
    const int close = t.match[open];
    std::vector<Node> args;
    int i = open + 1;
    while (i < close) {
        const int stop = ExpressionEnd(t, i, close, true);
        if (stop < close && Is(t.tokens[stop], ";")) {
            Fail(t.tokens[stop].line, "unexpected ';' in the arguments");
        }
        args.push_back(ParseExpression(t, i, stop, "an argument"));
        i = stop + 1;
        if (stop < close && i == close) {
            Fail(t.tokens[stop].line, "expected an argument after ','");
        }
    }
    return args;
}

// A condition of if, while, for and '?:': one bool, converted from a number as Cg does.
Node ToCondition(Translator &t, Node n, int line)
{
    if (Known(n.type) && !IsScalar(n.type)) {
        Fail(line, "the condition is a " + CgTypeName(t, n.type) + "; it must be one value (use all() or any())");
    }
    Convert(t, n, MakeTy(Known(n.type) ? Base::Bool : Base::Unknown), line);
    return n;
}

}  // namespace cg

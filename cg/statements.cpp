// statements.cpp -- statements, function bodies, and the one declarator rule that struct
// members, parameters, locals and globals share.
#include "cg/cg_internal.h"

#include <algorithm>

namespace cg {
namespace {

// Texture types name what a vertex program here has no way to read; said by name, before a
// vaguer "unknown type" could be. Only the type names: textureCoord is a name like any other.
bool IsTextureType(const std::string &word)
{
    for (const char *kind : {"", "1D", "2D", "3D", "CUBE", "RECT", "BUF", "1DARRAY", "2DARRAY"}) {
        if (word == std::string("sampler") + kind || word == std::string("texture") + kind) {
            return true;
        }
    }
    return false;
}

}  // namespace

// The type at `pos`, or a message that names what stands there instead.
Ty ReadType(const Translator &t, int pos, const std::string &where)
{
    const CgToken &tok = t.tokens[pos];
    Ty ty;
    if (LookupType(t, tok, &ty)) {
        return ty;
    }
    if (tok.kind == CgTokenKind::Identifier && IsTextureType(tok.text)) {
        Fail(tok.line, "'" + tok.text + "': textures are not supported in the vertex program");
    }
    if (tok.kind == CgTokenKind::Identifier) {
        Fail(tok.line, "unknown type '" + tok.text + "'" + where);
    }
    Fail(tok.line, "unexpected '" + tok.text + "'");
}

// The qualifiers before a type, in any order.
Qualifiers ReadQualifiers(const Translator &t, int *pos)
{
    Qualifiers q;
    for (;; (*pos)++) {
        const CgToken &tok = t.tokens[*pos];
        if (tok.kind != CgTokenKind::Identifier) {
            return q;
        }
        if (tok.text == "const") {
            q.isConst = true;
        } else if (tok.text == "static") {
            q.isStatic = true;
        } else if (tok.text == "uniform") {
            q.isUniform = true;
        } else if (tok.text == "in" || tok.text == "out" || tok.text == "inout") {
            q.in = tok.text != "out";
            q.out = tok.text != "in";
        } else if (tok.text != "extern" && tok.text != "inline") {
            return q;
        }
    }
}

// declarator = name ("[" constant-expression? "]")? (":" semantic)? ("=" initialiser)?
// The name may be left out where `nameless` allows it (a prototype's parameters). Returns the
// position after it; the initialiser is left to the caller, which knows where it goes.
int ReadDeclarator(Translator &t, int pos, int end, const Ty &base, Declarator *d, bool nameless)
{
    const CgToken &nameTok = t.tokens[pos];
    d->type = base;
    d->line = nameTok.line;
    if (pos < end && IsName(t, nameTok)) {
        d->name = nameTok.text;
        pos++;
    } else if (!nameless) {
        Fail(nameTok.line, "expected a name after '" + t.tokens[pos - 1].text + "'");
    }
    if (pos < end && Is(t.tokens[pos], "[")) {
        const int close = t.match[pos];
        const std::string what = d->name.empty() ? "an array" : "array '" + d->name + "'";
        if (close == pos + 1) {
            d->type.array = -1;  // sized by its values
        } else {
            long long size = 0;
            if (!ConstantInt(ParseExpression(t, pos + 1, close, "an array size"), &size) || size < 1 || size > 99999) {
                Fail(t.tokens[pos].line, "the size of " + what + " must be a constant number from 1 up");
            }
            d->type.array = int(size);
        }
        pos = close + 1;
        if (pos < end && Is(t.tokens[pos], "[")) {
            Fail(t.tokens[pos].line, "arrays of arrays are not supported");
        }
    }
    if (pos < end && Is(t.tokens[pos], ":")) {
        if (pos + 1 >= end || t.tokens[pos + 1].kind != CgTokenKind::Identifier) {
            Fail(t.tokens[pos].line, "expected a semantic after ':'");
        }
        d->semantic = t.tokens[pos + 1].text;
        d->semanticLine = t.tokens[pos].line;
        pos += 2;
    }
    if (pos < end && Is(t.tokens[pos], "=")) {
        d->initBegin = pos + 1;
        d->initEnd = pos + 1 < end && Is(t.tokens[pos + 1], "{") ? t.match[pos + 1] + 1
                                                                 : ExpressionEnd(t, pos + 1, end, true);
        pos = d->initEnd;
    }
    return pos;
}

namespace {

// {a, b, ...} for an array, a struct, a vector or a matrix: GLSL writes it as a constructor.
Node BraceInit(Translator &t, int open, const Ty &ty)
{
    const CgToken &brace = t.tokens[open];
    const int close = t.match[open];
    std::vector<Ty> elements;
    if (ty.array) {
        Ty element = ty;
        element.array = 0;
        elements.assign(size_t(ty.array), element);
    } else if (ty.base == Base::Struct) {
        for (const Member &m : t.structs[ty.structIndex].members) {
            elements.push_back(m.type);
        }
    } else if (IsNumeric(ty)) {
        elements.assign(size_t(ty.rows * ty.cols), MakeTy(ty.base));
    } else {
        Fail(brace.line, "a " + CgTypeName(t, ty) + " cannot be initialised with '{'");
    }
    std::vector<Node> values;
    int i = open + 1;
    while (i < close) {
        if (values.size() >= elements.size()) {
            Fail(t.tokens[i].line, "too many values for a " + CgTypeName(t, ty));
        }
        const Ty &element = elements[values.size()];
        int stop;
        if (Is(t.tokens[i], "{")) {
            values.push_back(BraceInit(t, i, element));
            stop = t.match[i] + 1;
            if (stop < close && !Is(t.tokens[stop], ",")) {
                Fail(t.tokens[stop].line, "expected ',' between the values in '{'");
            }
        } else {
            stop = ExpressionEnd(t, i, close, true);
            values.push_back(ParseExpression(t, i, stop, "a value"));
            Convert(t, values.back(), element, t.tokens[i].line);
        }
        i = stop + 1;
    }
    if (values.size() != elements.size()) {
        Fail(brace.line, "a " + CgTypeName(t, ty) + " needs " + std::to_string(elements.size()) + " values in '{', not " +
                             std::to_string(values.size()));
    }
    Node n = MakeCall(brace, GlslType(t, ty), std::move(values), ty, BuiltIn);
    n.space = true;
    n.closeLine = t.tokens[close].line;
    return n;
}

// The value a declarator is given, converted to its type; an unsized array takes its size
// from the values in '{' (a trailing comma adds none).
Node Initialiser(Translator &t, Declarator &d)
{
    const CgToken &first = t.tokens[d.initBegin];
    if (Is(first, "{")) {
        if (d.type.array < 0) {
            const int close = t.match[d.initBegin];
            d.type.array = t.commas[d.initBegin] + 1 - (Is(t.tokens[close - 1], ",") ? 1 : 0);
        }
        return BraceInit(t, d.initBegin, d.type);
    }
    Node value = ParseExpression(t, d.initBegin, d.initEnd, "a value after '='");
    Convert(t, value, d.type, t.tokens[d.initBegin - 1].line);
    return value;
}

// A static local keeps its value from call to call, as in C: it is a global of its own,
// declared before the function, with a constant value.
void StaticLocal(Translator &t, const Declarator &d, const Node *init, Variable *v)
{
    v->glslName = "cgx_static" + std::to_string(t.staticCount++) + "_" + d.name;
    std::string text = ElementGlsl(t, d.type) + " " + v->glslName +
                       (d.type.array ? "[" + std::to_string(d.type.array) + "]" : "");
    if (init) {
        if (!IsConstant(*init)) {
            Fail(d.line, "the value of static local '" + d.name + "' must be a constant: it is set once, before "
                         "the first call");
        }
        text += " = " + NodeText(*init);
    } else if (IsNumeric(d.type)) {
        text += " = " + ElementGlsl(t, d.type) + "(0.0)";  // zero, as C starts a static
    }
    t.body.insert(t.functionStart, text + "; ");
}

}  // namespace

// A declaration from its type token to the ';': locals, or globals (uniforms are registered
// by the caller). Each name is declared as soon as its value is read, as in C; the text is
// written once all are read, since a global const is a GLSL const only when every value is one.
std::vector<Declarator> TranslateVariables(Translator &t, int typeIndex, int end, const Qualifiers &q, bool global,
                                           int *next)
{
    const CgToken &typeTok = t.tokens[typeIndex];
    const Ty base = ReadType(t, typeIndex, "");
    if (base.base == Base::Void) {
        Fail(typeTok.line, "a variable cannot be void");
    }
    // Who may write the names: nobody a const, and nobody a uniform, which in Cg every global
    // without static is.
    const char readOnly = q.isConst ? 'c' : global && !q.isStatic ? 'u' : 0;
    struct Entry {
        Declarator d;
        Node init;
        Variable *v;
        int separator;  // the ',' or ';' after it
    };
    std::vector<Entry> entries;
    bool constant = q.isConst && global;
    int i = typeIndex + 1;
    for (;;) {
        Entry e;
        i = ReadDeclarator(t, i, end, base, &e.d);
        const Declarator &d = e.d;
        // Semantics bind the entry function's inputs and outputs; on a variable they would bind
        // nothing here, so they are refused rather than dropped.
        if (!d.semantic.empty()) {
            Fail(d.semanticLine, std::string("semantics on ") + (global ? "global" : "local") +
                                     " variables are not supported");
        }
        if (d.type.array < 0 && d.initBegin < 0) {
            Fail(d.line, "array '" + d.name + "' needs a size or values in '{'");
        }
        if (d.initBegin >= 0) {
            e.init = Initialiser(t, e.d);
            // A uniform's value is there before anything runs: its default must be a constant.
            if (readOnly == 'u' && !IsConstant(e.init)) {
                Fail(t.tokens[d.initBegin - 1].line, "the default value of uniform '" + d.name +
                                                         "' must be a constant; make it static to compute it "
                                                         "from other values");
            }
        }
        // A const is a GLSL const only where GLSL can compute it: from constants, at the top level.
        constant = constant && d.initBegin >= 0 && IsConstant(e.init);
        Variable v{d.type, GlslName(d.name), readOnly, constant};
        long long value = 0;
        // An int const of a known value may size arrays, also where it is a local.
        if (q.isConst && d.initBegin >= 0 && d.type.base == Base::Int && IsScalar(d.type) &&
            ConstantInt(e.init, &value)) {
            v.hasValue = true;
            v.intValue = value;
        }
        e.v = Declare(t, d.name, v);
        e.separator = i;
        if (i >= end) {
            Fail(t.tokens[std::min(i, end)].line, "expected ';' after '" + d.name + "'");
        }
        if (!Is(t.tokens[i], ";") && !Is(t.tokens[i], ",")) {
            Fail(t.tokens[i].line, "unexpected '" + t.tokens[i].text + "' after '" + d.name + "'");
        }
        entries.push_back(std::move(e));
        if (Is(t.tokens[i++], ";")) {
            break;
        }
    }
    *next = i;
    std::vector<Declarator> declarators;
    for (Entry &e : entries) {
        e.v->constant = e.v->constant && constant;
        declarators.push_back(e.d);
    }
    if (q.isStatic && !global) {
        for (const Entry &e : entries) {
            StaticLocal(t, e.d, e.d.initBegin >= 0 ? &e.init : nullptr, e.v);
        }
        return declarators;
    }
    if (constant) {
        EmitAt(t, typeTok.line, "const", typeTok.spaceBefore);
    }
    EmitAt(t, typeTok.line, ElementGlsl(t, base), typeTok.spaceBefore || constant);
    for (const Entry &e : entries) {
        EmitAt(t, e.d.line, e.v->glslName + (e.d.type.array ? "[" + std::to_string(e.d.type.array) + "]" : ""), true);
        if (e.d.initBegin >= 0) {
            EmitToken(t, t.tokens[e.d.initBegin - 1], "=");
            EmitNode(t, e.init);
        }
        EmitToken(t, t.tokens[e.separator], t.tokens[e.separator].text);
    }
    return declarators;
}

namespace {

void ParseStatement(Translator &t, int *pos, int end, const Ty &ret);

// condition = "(" expression ")", after if and while: one bool, as Cg converts it.
void ParseCondition(Translator &t, int keyword, int *pos)
{
    const CgToken &open = t.tokens[keyword + 1];
    if (!Is(open, "(")) {
        Fail(t.tokens[keyword].line, "expected '(' after '" + t.tokens[keyword].text + "'");
    }
    const int close = t.match[keyword + 1];
    const Node cond = ToCondition(t, ParseExpression(t, keyword + 2, close, "a condition"), open.line);
    EmitToken(t, t.tokens[keyword], t.tokens[keyword].text);
    EmitToken(t, open, "(");
    EmitNode(t, cond);
    EmitToken(t, t.tokens[close], ")");
    *pos = close + 1;
}

// expression-list = expression ("," expression)*, written with `last` after it.
void ExpressionList(Translator &t, int begin, int end, const CgToken &separator, const char *last)
{
    int i = begin;
    for (;;) {
        const int stop = ExpressionEnd(t, i, end, true);
        EmitNode(t, ParseExpression(t, i, stop, "an expression"));
        if (stop >= end) {
            if (*last) {
                EmitToken(t, separator, last);
            }
            return;
        }
        EmitToken(t, t.tokens[stop], ",");
        i = stop + 1;
    }
}

// expression-statement = expression-list ";"
void ParseExpressionStatement(Translator &t, int *pos, int end)
{
    const int stop = ExpressionEnd(t, *pos, end, false);
    if (stop >= end) {
        Fail(t.tokens[*pos].line, "expected ';' at the end of the statement");
    }
    ExpressionList(t, *pos, stop, t.tokens[stop], ";");
    *pos = stop + 1;
}

// "for" "(" (declaration | expression-list? ";") expression? ";" expression-list? ")" statement
void ParseFor(Translator &t, int *pos, int end, const Ty &ret)
{
    const CgToken &tok = t.tokens[*pos];
    const CgToken &open = t.tokens[*pos + 1];
    if (!Is(open, "(")) {
        Fail(tok.line, "expected '(' after 'for'");
    }
    const int close = t.match[*pos + 1];
    const int first = ExpressionEnd(t, *pos + 2, close, false);
    const int second = first < close ? ExpressionEnd(t, first + 1, close, false) : close;
    if (second >= close) {
        Fail(open.line, "a for loop needs two ';' in its brackets");
    }
    EmitToken(t, tok, "for");
    EmitToken(t, open, "(");
    // A variable declared in the brackets lives for the loop only, as in C.
    t.scopes.emplace_back();
    int k = *pos + 2;
    const Qualifiers q = ReadQualifiers(t, &k);
    Ty ty;
    int i = *pos + 2;
    if (k < first && LookupType(t, t.tokens[k], &ty) && t.tokens[k + 1].kind == CgTokenKind::Identifier) {
        TranslateVariables(t, k, first + 1, q, false, &i);
    } else if (i == first) {
        EmitToken(t, t.tokens[first], ";");
    } else {
        ParseExpressionStatement(t, &i, first + 1);
    }
    if (first + 1 < second) {
        EmitNode(t, ToCondition(t, ParseExpression(t, first + 1, second, "a condition"), open.line));
    }
    EmitToken(t, t.tokens[second], ";");
    if (second + 1 < close) {
        ExpressionList(t, second + 1, close, t.tokens[close], "");
    }
    EmitToken(t, t.tokens[close], ")");
    *pos = close + 1;
    ParseStatement(t, pos, end, ret);
    t.scopes.pop_back();
}

void ParseReturn(Translator &t, int *pos, int end, const Ty &ret)
{
    const CgToken &tok = t.tokens[*pos];
    const int stop = ExpressionEnd(t, *pos + 1, end, false);
    if (stop >= end) {
        Fail(tok.line, "expected ';' after 'return'");
    }
    EmitToken(t, tok, "return");
    if (stop > *pos + 1) {
        if (ret.base == Base::Void) {
            Fail(tok.line, "a void function returns no value");
        }
        Node value = ParseExpression(t, *pos + 1, stop, "a value");
        Convert(t, value, ret, tok.line);
        EmitNode(t, value);
    } else if (ret.base != Base::Void) {
        Fail(tok.line, "'return' needs a value of type " + CgTypeName(t, ret));
    }
    EmitToken(t, t.tokens[stop], ";");
    *pos = stop + 1;
}

// statement = "{" statement* "}" | ";" | "if" condition statement ("else" statement)?
//           | "while" condition statement | "do" statement "while" condition ";" | for
//           | "return" expression? ";" | "break" ";" | "continue" ";"
//           | declaration | expression-statement
void ParseStatement(Translator &t, int *pos, int end, const Ty &ret)
{
    const CgToken &tok = t.tokens[*pos];
    DepthGuard guard(t.depth, maxStatementDepth, tok.line, "statements nested too deeply");
    if (*pos >= end) {
        Fail(tok.line, "expected a statement");
    }
    const std::string &word = tok.kind == CgTokenKind::Identifier ? tok.text : std::string();
    if (Is(tok, "{")) {
        const int close = t.match[*pos];
        EmitToken(t, tok, "{");
        t.scopes.emplace_back();
        int i = *pos + 1;
        while (i < close) {
            ParseStatement(t, &i, close, ret);
        }
        t.scopes.pop_back();
        EmitToken(t, t.tokens[close], "}");
        *pos = close + 1;
    } else if (Is(tok, ";")) {
        EmitToken(t, tok, ";");
        (*pos)++;
    } else if (word == "if") {
        ParseCondition(t, *pos, pos);
        ParseStatement(t, pos, end, ret);
        if (*pos < end && Is(t.tokens[*pos], "else")) {
            EmitToken(t, t.tokens[*pos], "else");
            (*pos)++;
            ParseStatement(t, pos, end, ret);
        }
    } else if (word == "while") {
        ParseCondition(t, *pos, pos);
        ParseStatement(t, pos, end, ret);
    } else if (word == "do") {
        EmitToken(t, tok, "do");
        (*pos)++;
        ParseStatement(t, pos, end, ret);
        if (*pos >= end || !Is(t.tokens[*pos], "while")) {
            Fail(t.tokens[std::min(*pos, end)].line, "expected 'while' after the body of 'do'");
        }
        ParseCondition(t, *pos, pos);
        if (*pos >= end || !Is(t.tokens[*pos], ";")) {
            Fail(t.tokens[std::min(*pos, end)].line, "expected ';' after 'do ... while (...)'");
        }
        EmitToken(t, t.tokens[*pos], ";");
        (*pos)++;
    } else if (word == "for") {
        ParseFor(t, pos, end, ret);
    } else if (word == "return") {
        ParseReturn(t, pos, end, ret);
    } else if (word == "break" || word == "continue") {
        if (*pos + 1 >= end || !Is(t.tokens[*pos + 1], ";")) {
            Fail(tok.line, "expected ';' after '" + word + "'");
        }
        EmitToken(t, tok, word);
        EmitToken(t, t.tokens[*pos + 1], ";");
        *pos += 2;
    } else if (word == "discard" || word == "switch" || word == "case" || word == "default" || word == "goto" ||
               word == "struct" || word == "typedef" || word == "uniform" || word == "else") {
        // Words that begin statements this profile cannot give, each told by name.
        Fail(tok.line, word == "discard" ? "'discard' belongs to fragment programs"
                       : word == "struct" ? "structs must be defined outside functions"
                       : word == "typedef" ? "a typedef must stand outside functions"
                       : word == "uniform" ? "uniforms must be global or parameters of the entry function"
                       : word == "else" ? "'else' without 'if'"
                                        : "'" + word + "' is not supported");
    } else {
        int k = *pos;
        const Qualifiers q = ReadQualifiers(t, &k);
        Ty ty;
        if (k > *pos || (LookupType(t, t.tokens[k], &ty) && t.tokens[k + 1].kind == CgTokenKind::Identifier) ||
            (IsTextureType(word) && t.tokens[k + 1].kind == CgTokenKind::Identifier)) {
            // A const local may hold a varying value in Cg, which a GLSL const may not: it becomes a
            // plain local that the translator keeps from being written.
            TranslateVariables(t, k, end, q, false, pos);
        } else {
            ParseExpressionStatement(t, pos, end);
        }
    }
}

}  // namespace

// A function body, the block at `open`, with its parameters already in scope.
void TranslateBody(Translator &t, int open, const Ty &ret)
{
    int pos = open;
    ParseStatement(t, &pos, t.match[open] + 1, ret);
}

}  // namespace cg

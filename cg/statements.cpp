// statements.cpp -- statements, local declarations and function bodies.
#include "cg/cg_internal.h"

#include <algorithm>

namespace cg {

// A declaration starts with a type: a built-in one or a struct the program defined above.
bool IsTypeName(const Translator &t, const Token &tok)
{
    Ty info;
    return tok.kind == TokenKind::Identifier && (LookupCgType(tok.text, &info) || t.structIndex.count(tok.text));
}

// Texture types name what a vertex program here has no way to read; said by name, before a
// vaguer "unknown type" could be.
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
    } else if (ty.base == Base::Struct) {
        for (const Member &m : t.structs[ty.structIndex].members) {
            elements.push_back(m.type.ty);
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
    // Who may write the names: nobody a const, and nobody a uniform, which in Cg every global
    // without static is. The qualifiers stand right before the type.
    bool isConst = false;
    bool isStatic = false;
    for (int q = typeIndex - 1; q >= 0 && t.tokens[q].kind == TokenKind::Identifier; q--) {
        const std::string &word = t.tokens[q].text;
        if (word != "const" && word != "static" && word != "uniform" && word != "extern" && word != "inline") {
            break;
        }
        isConst = isConst || word == "const";
        isStatic = isStatic || word == "static";
    }
    const char readOnly = isConst ? 'c' : global && !isStatic ? 'u' : 0;
    if (ref.ty.base == Base::Void) {
        return Fail(t, typeTok.line, "a variable cannot be void");
    }
    EmitAt(t, typeTok.line, GlslType(t, ref.ty), typeTok.spaceBefore);
    int i = typeIndex + 1;
    for (;;) {
        const Token &nameTok = t.tokens[i];
        if (i >= end || !IsName(nameTok)) {
            return Fail(t, nameTok.line, "expected a name after '" + typeTok.text + "'");
        }
        Ty ty = ref.ty;
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
        // Semantics bind the entry function's inputs and outputs; on a variable they would bind
        // nothing here, so they are refused rather than dropped.
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
                // float w[] = {1, 2, 3,}: the values give the size; a trailing comma adds none.
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
            // A uniform's value is there before anything runs: its default must be a constant.
            if (readOnly == 'u' && init.variable) {
                return Fail(t, equals.line, "the default value of uniform '" + nameTok.text + "' must be a constant; "
                                            "make it static to compute it from other values");
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
        // Declared after its value is read: "float x = x * 2;" reads an outer x, as GLSL will.
        ty.readOnly = readOnly;
        Declare(p, nameTok.text, ty);
        ty.readOnly = 0;
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

// condition = "(" expression ")", after if and while: one bool, as Cg converts it.
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

// expression-statement = expression ("," expression)* ";"
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

// statement = "{" statement* "}" | ";" | "if" condition statement ("else" statement)?
//           | "while" condition statement | "do" statement "while" condition ";"
//           | "for" "(" (declaration | expression? ";") expression? ";" expression-list? ")" statement
//           | "return" expression? ";" | "break" ";" | "continue" ";"
//           | declaration | expression-statement
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
        // A variable declared in the brackets lives for the loop only, as in C.
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
            if (ret.base == Base::Void) {
                return Fail(t, tok.line, "a void function returns no value");
            }
            Expr value;
            if (!ParseWhole(p, *pos + 1, stop, &value, "a value") || !Convert(t, &value, ret, tok.line)) {
                return false;
            }
            EmitExpr(t, value);
        } else if (ret.base != Base::Void) {
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
    // Words that begin statements this profile cannot give, each told by name.
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
        // A const local may hold a varying value in Cg, which a GLSL const may not: it becomes a
        // plain local that the translator keeps from being written.
        return ParseVariables(p, k, end, false, pos);
    }
    if (!RefusedTypeName(t, tok)) {
        return false;
    }
    return ParseExpressionStatement(p, pos, end);
}

// The depth guard keeps hostile nesting ({{{{...) from running the stack out.
bool ParseStatement(Parser &p, int *pos, int end, const Ty &ret)
{
    DepthGuard guard(p.depth);
    if (p.depth > maxStatementDepth) {
        return Fail(p.t, p.t.tokens[*pos].line, "statements nested too deeply");
    }
    return ParseStatementBody(p, pos, end, ret);
}

// A parser over the whole program with the globals in its outermost scope.
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
        Ty ty = param.type.ty;
        ty.readOnly = param.isUniform ? 'u' : 0;
        Declare(p, param.name, ty);
    }
    int pos = open;
    return ParseStatement(p, &pos, t.tokens[open].match + 1, ret);
}

}  // namespace cg

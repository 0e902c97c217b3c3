// preprocessor.cpp -- a small C preprocessor for Cg vertex programs: macros and conditionals.
// No packaged preprocessor builds both for Linux and for the mingw Windows build as a library
// without files and global state, so the project keeps this one.
#include "cg/cg_preprocess.h"
#include "cg/cg_internal.h"

#include <cstdint>
#include <map>
#include <set>
#include <vector>

namespace {

const size_t maxOutputSize = size_t(16) << 20;
const int maxMacroDepth = 256;
const int maxConditionalDepth = 256;
const int maxExpressionDepth = 256;
const size_t maxMacroParameters = 64;

enum class Kind { Identifier, Number, Space, Other };

struct PpToken {
    Kind kind;
    std::string text;
};

struct Macro {
    bool functionLike;
    std::vector<std::string> params;
    std::vector<PpToken> body;
};

struct Conditional {
    int line;
    bool parentActive;
    bool taken;     // some branch of this group was taken
    bool active;    // the current branch is
    bool elseSeen;
};

struct Preprocessor {
    std::string fileName;
    std::map<std::string, Macro> macros;
    bool failed = false;
    std::string error;
    int errorLine = 0;
    int line = 1;            // the line being processed, for messages
    size_t produced = 0;     // bytes made by macro expansion, against runaway macros
};

// The first failure is reported, with its line; the rest of the file is not read.
bool Fail(Preprocessor &p, int line, const std::string &message)
{
    if (!p.failed) {
        p.failed = true;
        p.errorLine = line;
        p.error = p.fileName + "(" + std::to_string(line) + "): error: " + message;
    }
    return false;
}

using cg::IsDigit;
bool IsIdentStart(unsigned char c) { return cg::IsIdentifierStart(c); }
bool IsIdentChar(unsigned char c) { return cg::IsIdentifierChar(c); }
bool IsBlank(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

// Splits the text into physical lines with comments turned into a space and backslash-newline
// splices joined; a joined line leaves an empty line behind so that the count stays.
bool SplitLines(Preprocessor &p, const std::string &src, std::vector<std::string> *lines)
{
    size_t i = 0;
    const size_t n = src.size();
    if (n >= 3 && (unsigned char)src[0] == 0xEF && (unsigned char)src[1] == 0xBB && (unsigned char)src[2] == 0xBF) {
        i = 3;
    }
    std::string current;
    int line = 1;
    int pendingEmpty = 0;  // lines swallowed by splices, given back after the logical line
    auto endLine = [&]() {
        lines->push_back(current);
        current.clear();
        for (; pendingEmpty > 0; pendingEmpty--) {
            lines->push_back(std::string());
        }
        line++;
    };
    while (i < n) {
        const char c = src[i];
        if (c == '\\' && i + 1 < n && (src[i + 1] == '\n' || (src[i + 1] == '\r' && i + 2 < n && src[i + 2] == '\n'))) {
            i += src[i + 1] == '\n' ? 2 : 3;
            pendingEmpty++;
            continue;
        }
        if (c == '\n') {
            endLine();
            i++;
            continue;
        }
        if (c == '/' && i + 1 < n && src[i + 1] == '/') {
            while (i < n && src[i] != '\n') {
                // A spliced line comment goes on to the next line, as in C, and a file saved with
                // CRLF line ends must mean what the same file with LF means.
                if (src[i] == '\\' && i + 1 < n && src[i + 1] == '\n') {
                    pendingEmpty++;
                    i++;
                } else if (src[i] == '\\' && i + 2 < n && src[i + 1] == '\r' && src[i + 2] == '\n') {
                    pendingEmpty++;
                    i += 2;
                }
                i++;
            }
            current += ' ';
            continue;
        }
        if (c == '/' && i + 1 < n && src[i + 1] == '*') {
            const int start = line + pendingEmpty;
            i += 2;
            bool closed = false;
            current += ' ';
            while (i < n) {
                if (src[i] == '*' && i + 1 < n && src[i + 1] == '/') {
                    i += 2;
                    closed = true;
                    break;
                }
                if (src[i] == '\n') {
                    endLine();
                }
                i++;
            }
            if (!closed) {
                return Fail(p, start, "comment is never closed");
            }
            continue;
        }
        if (c == '"') {
            // Kept whole, so that "//" inside does not start a comment; the translator refuses it.
            current += c;
            i++;
            while (i < n && src[i] != '"' && src[i] != '\n') {
                current += src[i];
                i++;
            }
            if (i < n && src[i] == '"') {
                current += '"';
                i++;
            }
            continue;
        }
        current += c;
        i++;
    }
    lines->push_back(current);
    for (; pendingEmpty > 0; pendingEmpty--) {
        lines->push_back(std::string());
    }
    return true;
}

// A line cut into tokens by the lexer's rules, blanks kept as one Space each: a macro body and
// the #if evaluator see exactly the tokens the parser will.
std::vector<PpToken> Tokenize(const std::string &text)
{
    std::vector<PpToken> tokens;
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        const unsigned char c = text[i];
        const size_t b = i;
        Kind kind = Kind::Other;
        if (IsBlank(c)) {
            while (i < n && IsBlank(text[i])) {
                i++;
            }
            tokens.push_back(PpToken{Kind::Space, " "});
            continue;
        }
        if (IsIdentStart(c)) {
            while (i < n && IsIdentChar(text[i])) {
                i++;
            }
            kind = Kind::Identifier;
        } else if (IsDigit(c) || (c == '.' && i + 1 < n && IsDigit(text[i + 1]))) {
            i += cg::PpNumberLength(text, i);
            kind = Kind::Number;
        } else if (c == '#' && i + 1 < n && text[i + 1] == '#') {
            i += 2;
        } else {
            // Operators are cut here once, by the parser's own rule: "-=" is one token, "- -" two.
            const size_t len = cg::PunctLength(text, i);
            i += len ? len : 1;
        }
        tokens.push_back(PpToken{kind, text.substr(b, i - b)});
    }
    return tokens;
}

size_t SkipSpaces(const std::vector<PpToken> &tokens, size_t i)
{
    while (i < tokens.size() && tokens[i].kind == Kind::Space) {
        i++;
    }
    return i;
}

bool Expand(Preprocessor &p, const std::vector<PpToken> &in, std::set<std::string> &disabled, int depth,
            std::vector<PpToken> *out);

// Counts what expansion makes, so that macros that double at every level stop at a bound
// instead of filling memory.
bool Produce(Preprocessor &p, size_t bytes)
{
    p.produced += bytes;
    if (p.produced > maxOutputSize) {
        return Fail(p, p.line, "macro expansion is larger than 16 MiB");
    }
    return true;
}

// Reads the arguments of a call whose '(' is at `open`; *next is past its ')'. False when the
// ')' is missing.
bool ReadArguments(const std::vector<PpToken> &in, size_t open, std::vector<std::vector<PpToken>> *args, size_t *next)
{
    int level = 0;
    args->assign(1, std::vector<PpToken>());
    for (size_t i = open + 1; i < in.size(); i++) {
        const PpToken &tok = in[i];
        if (tok.kind == Kind::Other && tok.text == "(") {
            level++;
        } else if (tok.kind == Kind::Other && tok.text == ")") {
            if (level == 0) {
                *next = i + 1;
                return true;
            }
            level--;
        } else if (tok.kind == Kind::Other && tok.text == "," && level == 0) {
            args->emplace_back();
            continue;
        }
        args->back().push_back(tok);
    }
    return false;
}

// #x: the argument as written, as a string literal, its blanks each one space.
PpToken Stringize(const std::vector<PpToken> &arg)
{
    std::string text = "\"";
    for (size_t k = SkipSpaces(arg, 0); k < arg.size(); k++) {
        if (arg[k].kind == Kind::Space && (k + 1 == arg.size() || SkipSpaces(arg, k) == arg.size())) {
            break;
        }
        for (char c : arg[k].text) {
            text += c == '"' || c == '\\' ? std::string("\\") + c : std::string(1, c);
        }
    }
    return PpToken{Kind::Other, text + "\""};
}

bool ExpandMacro(Preprocessor &p, const std::string &name, const Macro &macro,
                 const std::vector<std::vector<PpToken>> &args, std::set<std::string> &disabled, int depth,
                 std::vector<PpToken> *out)
{
    std::vector<PpToken> substituted;
    std::vector<std::vector<PpToken>> expanded(args.size());
    for (size_t a = 0; a < args.size(); a++) {
        if (!Expand(p, args[a], disabled, depth + 1, &expanded[a])) {
            return false;
        }
    }
    const std::vector<PpToken> &body = macro.body;
    auto parameter = [&](const PpToken &tok) {
        size_t k = 0;
        while (macro.functionLike && k < macro.params.size() &&
               !(tok.kind == Kind::Identifier && tok.text == macro.params[k])) {
            k++;
        }
        return macro.functionLike && k < macro.params.size() ? int(k) : -1;
    };
    bool paste = false;  // a '##' came last: the next piece joins the token before it
    for (size_t b = 0; b < body.size(); b++) {
        const PpToken &tok = body[b];
        if (tok.kind == Kind::Other && tok.text == "##") {
            while (!substituted.empty() && substituted.back().kind == Kind::Space) {
                substituted.pop_back();
            }
            paste = true;
            b = SkipSpaces(body, b + 1) - 1;
            continue;
        }
        std::vector<PpToken> piece;
        const int k = parameter(tok);
        if (macro.functionLike && tok.kind == Kind::Other && tok.text == "#") {
            b = SkipSpaces(body, b + 1);  // Define made sure a parameter follows
            piece.push_back(Stringize(args[size_t(parameter(body[b]))]));
        } else if (k >= 0) {
            // An operand of '##' is its argument as written; anywhere else, the argument expanded.
            const size_t next = SkipSpaces(body, b + 1);
            const bool pasted = paste || (next < body.size() && body[next].text == "##");
            piece = pasted ? args[size_t(k)] : expanded[size_t(k)];
        } else {
            piece.push_back(tok);
        }
        if (paste) {
            paste = false;
            const size_t first = SkipSpaces(piece, 0);
            if (first < piece.size() && !substituted.empty()) {
                // The joined text must be one token, cut by the same rules as any other.
                const std::string joined = substituted.back().text + piece[first].text;
                const std::vector<PpToken> lexed = Tokenize(joined);
                if (lexed.size() != 1 || lexed[0].kind == Kind::Space) {
                    return Fail(p, p.line, "'##' in macro '" + name + "' joins '" + substituted.back().text +
                                               "' and '" + piece[first].text + "', which is not one token");
                }
                substituted.back() = lexed[0];
                piece.erase(piece.begin(), piece.begin() + long(first) + 1);
            }
        }
        substituted.insert(substituted.end(), piece.begin(), piece.end());
        if (!Produce(p, piece.size())) {
            return false;
        }
    }
    disabled.insert(name);
    // Spaces around the result keep it from fusing with its neighbours ("-M" with M as -).
    out->push_back(PpToken{Kind::Space, " "});
    const bool ok = Expand(p, substituted, disabled, depth + 1, out);
    out->push_back(PpToken{Kind::Space, " "});
    disabled.erase(name);
    return ok;
}

// Replaces every macro in `in`, rescanning each replacement with its own name disabled.
bool Expand(Preprocessor &p, const std::vector<PpToken> &in, std::set<std::string> &disabled, int depth,
            std::vector<PpToken> *out)
{
    if (depth > maxMacroDepth) {
        return Fail(p, p.line, "macros nested deeper than 256 levels");
    }
    for (size_t i = 0; i < in.size(); i++) {
        const PpToken &tok = in[i];
        auto found = tok.kind == Kind::Identifier && !disabled.count(tok.text) ? p.macros.find(tok.text)
                                                                                 : p.macros.end();
        if (found == p.macros.end()) {
            out->push_back(tok);
            if (!Produce(p, tok.text.size())) {
                return false;
            }
            continue;
        }
        const Macro &macro = found->second;
        std::vector<std::vector<PpToken>> args;
        if (macro.functionLike) {
            const size_t open = SkipSpaces(in, i + 1);
            if (open >= in.size() || in[open].text != "(") {
                out->push_back(tok);  // a function-like macro's name alone is a plain name
                continue;
            }
            size_t next = 0;
            if (!ReadArguments(in, open, &args, &next)) {
                return Fail(p, p.line, "the arguments of macro '" + tok.text + "' are never closed");
            }
            if (macro.params.empty() && args.size() == 1 && SkipSpaces(args[0], 0) == args[0].size()) {
                args.clear();
            }
            if (args.size() != macro.params.size()) {
                return Fail(p, p.line,
                            "macro '" + tok.text + "' takes " + std::to_string(macro.params.size()) +
                                (macro.params.size() == 1 ? " argument, not " : " arguments, not ") +
                                std::to_string(args.size()));
            }
            i = next - 1;
        }
        const std::string name = tok.text;  // `tok` may point into a macro body that is redefined
        if (!ExpandMacro(p, name, macro, args, disabled, depth, out)) {
            return false;
        }
    }
    return true;
}

// The tokens as text again, for #error and the text the result keeps beside its tokens.
std::string Join(const std::vector<PpToken> &tokens)
{
    std::string text;
    for (const PpToken &tok : tokens) {
        if (tok.kind == Kind::Space && (text.empty() || text.back() == ' ')) {
            continue;
        }
        text += tok.text;
    }
    return text;
}

// #if expressions: integers in 64 bits, wrapping as unsigned arithmetic does, never undefined.
struct Evaluator {
    Preprocessor &p;
    const std::vector<PpToken> &tokens;
    size_t pos = 0;
    int depth = 0;

    // The next token that is not a blank, or none at the end of the line.
    const PpToken *Peek()
    {
        pos = SkipSpaces(tokens, pos);
        return pos < tokens.size() ? &tokens[pos] : nullptr;
    }

    bool Accept(const char *text)
    {
        const PpToken *tok = Peek();
        if (tok && tok->text == text) {
            pos++;
            return true;
        }
        return false;
    }

    // A decimal, octal or hex integer with C's suffixes; a float has no place in #if.
    bool Number(const std::string &text, int64_t *value)
    {
        uint64_t v = 0;
        size_t i = 0;
        int base = 10;
        if (text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
            base = 16;
            i = 2;
        } else if (text[0] == '0') {
            base = 8;
        }
        size_t digits = 0;
        for (; i < text.size(); i++, digits++) {
            const char c = text[i];
            int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : 99;
            if (d >= base) {
                break;
            }
            v = v * uint64_t(base) + uint64_t(d);
        }
        while (i < text.size() && (text[i] == 'u' || text[i] == 'U' || text[i] == 'l' || text[i] == 'L')) {
            i++;
        }
        if (i != text.size() || (base == 16 && digits == 0)) {
            return Fail(p, p.line, "'" + text + "' is not an integer; #if works on integers");
        }
        *value = int64_t(v);
        return true;
    }

    // primary = number | "true" | "false" | name (0, as C says of names left after expansion)
    //         | "(" conditional ")"
    bool Primary(int64_t *v)
    {
        const PpToken *tok = Peek();
        if (!tok) {
            return Fail(p, p.line, "the #if expression ends too early");
        }
        if (tok->text == "(") {
            pos++;
            if (!Conditional(v)) {
                return false;
            }
            if (!Accept(")")) {
                return Fail(p, p.line, "expected ')' in the #if expression");
            }
            return true;
        }
        pos++;
        if (tok->kind == Kind::Number) {
            return Number(tok->text, v);
        }
        if (tok->kind == Kind::Identifier) {
            // What is left after expansion is not a macro: 0, as in C; true is 1.
            *v = tok->text == "true" ? 1 : 0;
            return true;
        }
        return Fail(p, p.line, "unexpected '" + tok->text + "' in the #if expression");
    }

    // unary = ("-" | "+" | "!" | "~") unary | primary
    bool Unary(int64_t *v)
    {
        if (++depth > maxExpressionDepth) {
            return Fail(p, p.line, "the #if expression is nested too deeply");
        }
        bool ok;
        if (Accept("-")) {
            ok = Unary(v);
            *v = int64_t(0 - uint64_t(*v));
        } else if (Accept("+")) {
            ok = Unary(v);
        } else if (Accept("!")) {
            ok = Unary(v);
            *v = !*v;
        } else if (Accept("~")) {
            ok = Unary(v);
            *v = ~*v;
        } else {
            ok = Primary(v);
        }
        depth--;
        return ok;
    }

    // C's binding of the binary operators, loosest first.
    static int Precedence(const std::string &op)
    {
        static const std::map<std::string, int> levels = {
            {"||", 1}, {"&&", 2}, {"|", 3},  {"^", 4},  {"&", 5},  {"==", 6}, {"!=", 6}, {"<", 7}, {">", 7},
            {"<=", 7}, {">=", 7}, {"<<", 8}, {">>", 8}, {"+", 9},  {"-", 9},  {"*", 10}, {"/", 10}, {"%", 10}};
        auto found = levels.find(op);
        return found == levels.end() ? 0 : found->second;
    }

    std::string PeekOperator()
    {
        const PpToken *tok = Peek();
        return tok && tok->kind == Kind::Other ? tok->text : std::string();
    }

    // Wrapping arithmetic and guarded division: no input makes the evaluator undefined.
    bool Apply(const std::string &op, int64_t a, int64_t b, int64_t *r)
    {
        const uint64_t ua = uint64_t(a);
        const uint64_t ub = uint64_t(b);
        if (op == "*") *r = int64_t(ua * ub);
        else if (op == "+") *r = int64_t(ua + ub);
        else if (op == "-") *r = int64_t(ua - ub);
        else if (op == "/" || op == "%") {
            if (b == 0) {
                return Fail(p, p.line, "division by zero in the #if expression");
            }
            if (a == INT64_MIN && b == -1) {
                *r = op == "/" ? a : 0;
            } else {
                *r = op == "/" ? a / b : a % b;
            }
        } else if (op == "<<") *r = b < 0 || b > 63 ? 0 : int64_t(ua << b);
        else if (op == ">>") *r = b < 0 || b > 63 ? (a < 0 ? -1 : 0) : a >> b;
        else if (op == "<") *r = a < b;
        else if (op == ">") *r = a > b;
        else if (op == "<=") *r = a <= b;
        else if (op == ">=") *r = a >= b;
        else if (op == "==") *r = a == b;
        else if (op == "!=") *r = a != b;
        else if (op == "&") *r = a & b;
        else if (op == "^") *r = a ^ b;
        else if (op == "|") *r = a | b;
        else if (op == "&&") *r = a && b;
        else *r = a || b;
        return true;
    }

    // binary = unary (operator binary)*, by precedence climbing
    bool Binary(int minLevel, int64_t *v)
    {
        if (!Unary(v)) {
            return false;
        }
        for (;;) {
            const std::string op = PeekOperator();
            const int level = Precedence(op);
            if (level == 0 || level < minLevel) {
                return true;
            }
            pos++;
            int64_t rhs = 0;
            if (++depth > maxExpressionDepth) {
                return Fail(p, p.line, "the #if expression is nested too deeply");
            }
            const bool ok = Binary(level + 1, &rhs);
            depth--;
            if (!ok || !Apply(op, *v, rhs, v)) {
                return false;
            }
        }
    }

    // conditional = binary ("?" conditional ":" conditional)?
    bool Conditional(int64_t *v)
    {
        if (++depth > maxExpressionDepth) {
            return Fail(p, p.line, "the #if expression is nested too deeply");
        }
        bool ok = Binary(1, v);
        if (ok && Accept("?")) {
            int64_t a = 0;
            int64_t b = 0;
            ok = Conditional(&a) && (Accept(":") || Fail(p, p.line, "expected ':' in the #if expression")) &&
                 Conditional(&b);
            *v = *v ? a : b;
        }
        depth--;
        return ok;
    }
};

// defined(X) and defined X become 1 or 0 before the macros of the line are expanded.
bool ReplaceDefined(Preprocessor &p, const std::vector<PpToken> &in, std::vector<PpToken> *out)
{
    for (size_t i = 0; i < in.size(); i++) {
        if (!(in[i].kind == Kind::Identifier && in[i].text == "defined")) {
            out->push_back(in[i]);
            continue;
        }
        size_t k = SkipSpaces(in, i + 1);
        const bool paren = k < in.size() && in[k].text == "(";
        if (paren) {
            k = SkipSpaces(in, k + 1);
        }
        if (k >= in.size() || in[k].kind != Kind::Identifier) {
            return Fail(p, p.line, "defined needs a macro name");
        }
        const std::string name = in[k].text;
        if (paren) {
            k = SkipSpaces(in, k + 1);
            if (k >= in.size() || in[k].text != ")") {
                return Fail(p, p.line, "expected ')' after defined(" + name);
            }
        }
        out->push_back(PpToken{Kind::Number, p.macros.count(name) ? "1" : "0"});
        i = k;
    }
    return true;
}

// An #if or #elif line: defined() first, then the macros, then C's arithmetic.
bool EvaluateCondition(Preprocessor &p, const std::vector<PpToken> &tokens, size_t begin, bool *value)
{
    std::vector<PpToken> rest(tokens.begin() + long(begin), tokens.end());
    std::vector<PpToken> replaced;
    std::vector<PpToken> expanded;
    std::set<std::string> disabled;
    if (!ReplaceDefined(p, rest, &replaced) || !Expand(p, replaced, disabled, 0, &expanded)) {
        return false;
    }
    Evaluator e{p, expanded};
    if (!e.Peek()) {
        return Fail(p, p.line, "#if without a condition");
    }
    int64_t v = 0;
    if (!e.Conditional(&v)) {
        return false;
    }
    if (e.Peek()) {
        return Fail(p, p.line, "unexpected '" + e.Peek()->text + "' in the #if expression");
    }
    *value = v != 0;
    return true;
}

// #define name body | #define name(parameters) body, checked here so that a bad macro is
// told where it is defined, not where it is used.
bool Define(Preprocessor &p, const std::vector<PpToken> &tokens, size_t i)
{
    i = SkipSpaces(tokens, i);
    if (i >= tokens.size() || tokens[i].kind != Kind::Identifier) {
        return Fail(p, p.line, "#define needs a macro name");
    }
    const std::string name = tokens[i].text;
    if (name == "defined") {
        return Fail(p, p.line, "'defined' cannot be a macro");
    }
    Macro macro{false, {}, {}};
    i++;
    if (i < tokens.size() && tokens[i].text == "(") {
        // Only a '(' right after the name makes a function-like macro.
        macro.functionLike = true;
        i = SkipSpaces(tokens, i + 1);
        if (i < tokens.size() && tokens[i].text == ")") {
            i++;
        } else {
            for (;;) {
                if (i < tokens.size() && tokens[i].text == ".") {
                    return Fail(p, p.line, "macros with variable arguments are not supported");
                }
                if (i >= tokens.size() || tokens[i].kind != Kind::Identifier) {
                    return Fail(p, p.line, "expected a parameter name in macro '" + name + "'");
                }
                for (const std::string &other : macro.params) {
                    if (other == tokens[i].text) {
                        return Fail(p, p.line, "parameter '" + other + "' appears twice in macro '" + name + "'");
                    }
                }
                if (macro.params.size() >= maxMacroParameters) {
                    return Fail(p, p.line, "macro '" + name + "' has more than 64 parameters");
                }
                macro.params.push_back(tokens[i].text);
                i = SkipSpaces(tokens, i + 1);
                if (i < tokens.size() && tokens[i].text == ")") {
                    i++;
                    break;
                }
                if (i >= tokens.size() || tokens[i].text != ",") {
                    return Fail(p, p.line, "expected ',' or ')' in the parameters of macro '" + name + "'");
                }
                i = SkipSpaces(tokens, i + 1);
            }
        }
    } else if (i < tokens.size() && tokens[i].kind != Kind::Space) {
        return Fail(p, p.line, "expected a space after the macro name '" + name + "'");
    }
    i = SkipSpaces(tokens, i);
    size_t end = tokens.size();
    while (end > i && tokens[end - 1].kind == Kind::Space) {
        end--;
    }
    for (size_t k = i; k < end; k++) {
        if (tokens[k].text == "##" && (k == i || k + 1 == end)) {
            return Fail(p, p.line, "'##' cannot stand at either end of macro '" + name + "'");
        }
        if (tokens[k].text == "#" && macro.functionLike) {
            const size_t next = SkipSpaces(tokens, k + 1);
            bool isParameter = false;
            for (const std::string &param : macro.params) {
                isParameter = isParameter || (next < end && tokens[next].text == param);
            }
            if (!isParameter) {
                return Fail(p, p.line, "'#' in macro '" + name + "' must be followed by a parameter");
            }
        }
        macro.body.push_back(tokens[k]);
    }
    p.macros[name] = macro;
    return true;
}

bool MacroName(Preprocessor &p, const std::vector<PpToken> &tokens, size_t i, const std::string &directive,
               std::string *name)
{
    i = SkipSpaces(tokens, i);
    if (i >= tokens.size() || tokens[i].kind != Kind::Identifier) {
        return Fail(p, p.line, "#" + directive + " needs a macro name");
    }
    *name = tokens[i].text;
    if (SkipSpaces(tokens, i + 1) != tokens.size()) {
        return Fail(p, p.line, "unexpected text after #" + directive + " " + *name);
    }
    return true;
}

// One directive line; inside a skipped group only the conditionals are read.
bool Directive(Preprocessor &p, const std::string &text, std::vector<Conditional> *stack)
{
    std::vector<PpToken> tokens = Tokenize(text);
    size_t i = SkipSpaces(tokens, 0) + 1;  // past the '#'
    i = SkipSpaces(tokens, i);
    if (i >= tokens.size()) {
        return true;  // the null directive
    }
    const std::string word = tokens[i].kind == Kind::Identifier ? tokens[i].text : std::string();
    i++;
    const bool active = stack->empty() || stack->back().active;
    if (word == "if" || word == "ifdef" || word == "ifndef") {
        if (int(stack->size()) >= maxConditionalDepth) {
            return Fail(p, p.line, "#if nested deeper than 256 levels");
        }
        bool value = false;
        if (active) {
            std::string name;
            if (word == "if") {
                if (!EvaluateCondition(p, tokens, i, &value)) {
                    return false;
                }
            } else if (!MacroName(p, tokens, i, word, &name)) {
                return false;
            } else {
                value = (p.macros.count(name) != 0) == (word == "ifdef");
            }
        }
        stack->push_back(Conditional{p.line, active, active && value, active && value, false});
        return true;
    }
    if (word == "elif" || word == "else" || word == "endif") {
        if (stack->empty()) {
            return Fail(p, p.line, "#" + word + " without #if");
        }
        Conditional &group = stack->back();
        if (word == "endif") {
            stack->pop_back();
            return true;
        }
        if (group.elseSeen) {
            return Fail(p, p.line, "#" + word + " after the #else of line " + std::to_string(group.line));
        }
        bool value = true;
        if (word == "elif" && group.parentActive && !group.taken && !EvaluateCondition(p, tokens, i, &value)) {
            return false;
        }
        group.elseSeen = word == "else";
        group.active = group.parentActive && !group.taken && value;
        group.taken = group.taken || group.active;
        return true;
    }
    if (!active) {
        return true;  // in a skipped group only the conditionals count
    }
    if (word == "define") {
        return Define(p, tokens, i);
    }
    if (word == "undef") {
        std::string name;
        if (!MacroName(p, tokens, i, word, &name)) {
            return false;
        }
        p.macros.erase(name);
        return true;
    }
    if (word == "error") {
        std::vector<PpToken> rest(tokens.begin() + long(SkipSpaces(tokens, i)), tokens.end());
        return Fail(p, p.line, "#error " + Join(rest));
    }
    if (word == "pragma") {
        return true;
    }
    if (word == "include") {
        return Fail(p, p.line, "#include is not supported: the program must be one file");
    }
    if (word == "line") {
        return Fail(p, p.line, "#line is not supported");
    }
    return Fail(p, p.line, "unknown preprocessor directive '#" + (word.empty() ? tokens[i - 1].text : word) + "'");
}

bool IsDirective(const std::string &line)
{
    size_t k = 0;
    while (k < line.size() && IsBlank(line[k])) {
        k++;
    }
    return k < line.size() && line[k] == '#';
}

// Whether a call of a function-like macro is still open at the end of `text`: its arguments go
// on in the next line. `state` carries the scan from one joined line to the next.
struct CallScan {
    size_t scanned = 0;
    int depth = 0;        // brackets open inside a macro call
    bool afterName = false;
};

bool CallOpen(const Preprocessor &p, const std::string &text, CallScan *s)
{
    size_t i = s->scanned;
    while (i < text.size()) {
        const unsigned char c = text[i];
        if (IsIdentStart(c)) {
            const size_t b = i;
            while (i < text.size() && IsIdentChar(text[i])) {
                i++;
            }
            if (s->depth == 0) {
                auto found = p.macros.find(text.substr(b, i - b));
                s->afterName = found != p.macros.end() && found->second.functionLike;
            }
            continue;
        }
        if (IsDigit(c)) {
            while (i < text.size() && (IsIdentChar(text[i]) || text[i] == '.')) {
                i++;
            }
            s->afterName = false;
            continue;
        }
        if (!IsBlank(c)) {
            if (c == '(' && (s->afterName || s->depth > 0)) {
                s->depth++;
            } else if (c == ')' && s->depth > 0) {
                s->depth--;
            }
            s->afterName = false;
        }
        i++;
    }
    s->scanned = text.size();
    return s->depth > 0 || s->afterName;
}

// A function-like macro's name at the end of a line may take its '(' from the next one.
bool NextStartsCall(const std::string &line)
{
    size_t k = 0;
    while (k < line.size() && IsBlank(line[k])) {
        k++;
    }
    return k < line.size() && line[k] == '(';
}

}  // namespace

// Every input line gives one output line and its tokens keep their lines, so that later
// messages name the lines of the file.
bool PreprocessCg(const std::string &source, const char *fileName, CgPreprocessResult *out)
{
    if (!out) {
        return false;
    }
    *out = CgPreprocessResult();
    Preprocessor p;
    p.fileName = fileName ? fileName : "program";
    std::vector<std::string> lines;
    std::vector<Conditional> stack;
    bool ok = SplitLines(p, source, &lines);
    std::string text;
    for (size_t n = 0; ok && n < lines.size(); n++) {
        p.line = int(n) + 1;
        if (IsDirective(lines[n])) {
            ok = Directive(p, lines[n], &stack);
            text += '\n';
            continue;
        }
        if (!stack.empty() && !stack.back().active) {
            text += '\n';
            continue;
        }
        // The arguments of a macro call may run over several lines: they are read as one, and the
        // lines they took are given back as empty ones after it.
        std::string logical = lines[n];
        size_t joined = 0;
        CallScan scan;
        while (CallOpen(p, logical, &scan) && n + joined + 1 < lines.size() &&
               !IsDirective(lines[n + joined + 1]) && (scan.depth > 0 || NextStartsCall(lines[n + joined + 1]))) {
            joined++;
            logical += ' ';
            logical += lines[n + joined];
        }
        std::vector<PpToken> expanded;
        std::set<std::string> disabled;
        ok = Expand(p, Tokenize(logical), disabled, 0, &expanded);
        text += Join(expanded);
        bool space = true;  // a line end is a blank
        for (const PpToken &tok : expanded) {
            if (tok.kind == Kind::Space) {
                space = true;
                continue;
            }
            const CgTokenKind kind = tok.kind == Kind::Identifier ? CgTokenKind::Identifier
                                     : tok.kind == Kind::Number   ? CgTokenKind::Number
                                                                  : CgTokenKind::Other;
            out->tokens.push_back(CgToken{kind, tok.text, p.line, space});
            space = false;
        }
        text.append(joined + 1, '\n');
        n += joined;
    }
    if (ok && !stack.empty()) {
        ok = Fail(p, stack.back().line, "#if is never closed: #endif is missing");
    }
    if (!ok) {
        out->tokens.clear();
        out->error = p.error;
        out->errorLine = p.errorLine;
        return false;
    }
    out->lineCount = int(lines.size());
    text.pop_back();  // the newline after the last line, which had none
    out->text = std::move(text);
    return true;
}

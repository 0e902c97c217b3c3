// preprocessor.cpp -- a small C preprocessor for Cg vertex programs: macros and conditionals.
// No packaged preprocessor builds both for Linux and for the mingw Windows build as a library
// without files and global state, so the project keeps this one. It maps the lexer's tokens to
// tokens: a macro's replacement is pushed back in front of the tokens that follow it and read
// again with them, as C rescans, its own name disabled until the reader has passed it.
#include "cg/cg_internal.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

namespace cg {
namespace {

const size_t maxOutputSize = size_t(16) << 20;
const int maxMacroDepth = 256;
const int maxConditionalDepth = 256;
const int maxIfDepth = 256;
const size_t maxMacroParameters = 64;

struct Macro {
    bool functionLike = false;
    std::vector<std::string> params;
    std::vector<CgToken> body;
};

struct Conditional {
    int line;
    bool parentActive;
    bool taken;     // some branch of this group was taken
    bool active;    // the current branch is
    bool elseSeen;
};

// Tokens read in order: pushed back replacements first (the last pushed is next), then `in`
// from `pos`. A token of kind End in `pushed` marks the end of a replacement and enables its
// macro again. `directives` is set for the file itself: a '#' that begins a line ends what a
// macro call may read.
struct Stream {
    const std::vector<CgToken> *in;
    size_t pos = 0;
    std::vector<CgToken> pushed;
    bool directives = false;
    bool inIf = false;  // an #if line: 'defined' is read before expansion, wherever it comes from
};

struct Preprocessor {
    std::unordered_map<std::string, Macro> macros;
    std::unordered_map<std::string, int> disabled;  // macros whose replacement is being read
    size_t produced = 0;  // tokens made by expansion, against runaway macros
    int depth = 0;        // arguments expanded inside arguments
};

bool AtDirective(const Stream &s)
{
    return s.directives && s.pos < s.in->size() && (*s.in)[s.pos].beginsLine && (*s.in)[s.pos].text == "#";
}

// The next token, markers included; false at the end of the stream.
bool Take(Stream &s, CgToken *tok)
{
    if (!s.pushed.empty()) {
        *tok = std::move(s.pushed.back());
        s.pushed.pop_back();
        return true;
    }
    if (s.pos >= s.in->size() || AtDirective(s)) {
        return false;
    }
    *tok = (*s.in)[s.pos++];
    return true;
}

// The next token that is not a marker, without taking it; null at the end of the stream.
const CgToken *PeekReal(const Stream &s)
{
    for (auto k = s.pushed.rbegin(); k != s.pushed.rend(); ++k) {
        if (k->kind != CgTokenKind::End) {
            return &*k;
        }
    }
    return s.pos < s.in->size() && !AtDirective(s) ? &(*s.in)[s.pos] : nullptr;
}

// The next token that is not a marker; markers passed on the way enable their macros again.
bool Next(Preprocessor &p, Stream &s, CgToken *tok)
{
    while (Take(s, tok)) {
        if (tok->kind != CgTokenKind::End) {
            return true;
        }
        p.disabled[tok->text]--;
    }
    return false;
}

std::vector<CgToken> ExpandAll(Preprocessor &p, const std::vector<CgToken> &tokens, int line);

// Reads the arguments of a call whose '(' is next; the ')' is taken too.
std::vector<std::vector<CgToken>> ReadArguments(Preprocessor &p, Stream &s, const CgToken &name)
{
    CgToken tok;
    Next(p, s, &tok);  // the '('
    std::vector<std::vector<CgToken>> args(1);
    int level = 0;
    for (;;) {
        if (!Next(p, s, &tok)) {
            Fail(name.line, "the arguments of macro '" + name.text + "' are never closed");
        }
        if (tok.kind == CgTokenKind::Punct && tok.text == "(") {
            level++;
        } else if (tok.kind == CgTokenKind::Punct && tok.text == ")") {
            if (level == 0) {
                return args;
            }
            level--;
        } else if (tok.kind == CgTokenKind::Punct && tok.text == "," && level == 0) {
            args.emplace_back();
            continue;
        }
        args.back().push_back(std::move(tok));
    }
}

// #x: the argument as written, as a string literal, its blanks each one space.
CgToken Stringize(const std::vector<CgToken> &arg, const CgToken &at)
{
    std::string text = "\"";
    for (size_t k = 0; k < arg.size(); k++) {
        text += k && arg[k].spaceBefore ? " " : "";
        for (char c : arg[k].text) {
            text += c == '"' || c == '\\' ? std::string("\\") + c : std::string(1, c);
        }
    }
    return CgToken{CgTokenKind::Other, text + "\"", at.line, at.spaceBefore, false};
}

// a ## b: the two texts lexed again, which must give one token.
CgToken Paste(const std::string &macro, const CgToken &a, const CgToken &b)
{
    const std::vector<CgToken> lexed = Lex(a.text + b.text, a.line);
    if (lexed.size() != 1) {
        Fail(a.line, "'##' in macro '" + macro + "' joins '" + a.text + "' and '" + b.text +
                         "', which is not one token");
    }
    CgToken joined = lexed[0];
    joined.spaceBefore = a.spaceBefore;
    joined.beginsLine = false;
    return joined;
}

// The body of `macro` with its parameters replaced: by the argument as written next to '#' and
// '##', elsewhere by the argument expanded. Body tokens stand on the line of the macro's use.
std::vector<CgToken> Substitute(Preprocessor &p, const std::string &name, const Macro &macro,
                                const std::vector<std::vector<CgToken>> &args, const CgToken &use)
{
    std::vector<std::vector<CgToken>> expanded(args.size());
    std::vector<bool> done(args.size(), false);
    auto parameter = [&](const CgToken &tok) {
        for (size_t k = 0; macro.functionLike && tok.kind == CgTokenKind::Identifier && k < macro.params.size(); k++) {
            if (tok.text == macro.params[k]) {
                return int(k);
            }
        }
        return -1;
    };
    std::vector<CgToken> out;
    const std::vector<CgToken> &body = macro.body;
    bool paste = false;  // a '##' came last: the next piece joins the token before it
    for (size_t b = 0; b < body.size(); b++) {
        if (body[b].text == "##") {
            paste = true;
            continue;
        }
        std::vector<CgToken> piece;
        const int k = parameter(body[b]);
        if (macro.functionLike && body[b].text == "#") {
            piece.push_back(Stringize(args[size_t(parameter(body[++b]))], use));  // Define made sure of it
        } else if (k >= 0) {
            const bool pasted = paste || (b + 1 < body.size() && body[b + 1].text == "##");
            if (!pasted && !done[size_t(k)]) {
                expanded[size_t(k)] = ExpandAll(p, args[size_t(k)], use.line);
                done[size_t(k)] = true;
            }
            piece = pasted ? args[size_t(k)] : expanded[size_t(k)];
            if (!piece.empty()) {
                piece[0].spaceBefore = body[b].spaceBefore;
            }
        } else {
            piece.push_back(body[b]);
            piece.back().line = use.line;
            piece.back().beginsLine = false;
        }
        if (paste && !piece.empty() && !out.empty()) {
            out.back() = Paste(name, out.back(), piece[0]);
            piece.erase(piece.begin());
        }
        paste = false;
        p.produced += piece.size();
        if (p.produced > maxOutputSize) {
            Fail(use.line, "macro expansion is larger than 16 MiB");
        }
        out.insert(out.end(), piece.begin(), piece.end());
    }
    if (!out.empty()) {
        out[0].spaceBefore = use.spaceBefore;
    }
    return out;
}

// defined X or defined(X) in an #if line: 1 or 0, before any expansion of X.
CgToken Defined(Preprocessor &p, Stream &s, const CgToken &word)
{
    CgToken tok;
    const bool paren = PeekReal(s) && PeekReal(s)->text == "(";
    if (paren) {
        Next(p, s, &tok);
    }
    if (!Next(p, s, &tok) || tok.kind != CgTokenKind::Identifier) {
        Fail(word.line, "defined needs a macro name");
    }
    const std::string name = tok.text;
    if (paren && (!Next(p, s, &tok) || tok.text != ")")) {
        Fail(word.line, "expected ')' after defined(" + name);
    }
    return CgToken{CgTokenKind::Number, p.macros.count(name) ? "1" : "0", word.line, word.spaceBefore, false};
}

// The next token of the stream with every macro replaced; false at its end.
bool NextExpanded(Preprocessor &p, Stream &s, CgToken *tok)
{
    while (Next(p, s, tok)) {
        if (tok->kind != CgTokenKind::Identifier) {
            return true;
        }
        if (s.inIf && tok->text == "defined") {
            *tok = Defined(p, s, *tok);
            return true;
        }
        auto found = p.macros.find(tok->text);
        if (found == p.macros.end() || p.disabled[tok->text] > 0) {
            return true;
        }
        const Macro &macro = found->second;
        std::vector<std::vector<CgToken>> args;
        if (macro.functionLike) {
            const CgToken *after = PeekReal(s);
            if (!after || after->text != "(") {
                return true;  // a function-like macro's name alone is a plain name
            }
            args = ReadArguments(p, s, *tok);
            if (macro.params.empty() && args.size() == 1 && args[0].empty()) {
                args.clear();
            }
            if (args.size() != macro.params.size()) {
                Fail(tok->line, "macro '" + tok->text + "' takes " + std::to_string(macro.params.size()) +
                                    (macro.params.size() == 1 ? " argument, not " : " arguments, not ") +
                                    std::to_string(args.size()));
            }
        }
        const std::string name = tok->text;  // the macro may be read again while it is disabled
        std::vector<CgToken> replacement = Substitute(p, name, macro, args, *tok);
        s.pushed.push_back(CgToken{CgTokenKind::End, name, tok->line, false, false});
        s.pushed.insert(s.pushed.end(), std::make_move_iterator(replacement.rbegin()),
                        std::make_move_iterator(replacement.rend()));
        p.disabled[name]++;
    }
    return false;
}

// A macro argument expanded on its own, as C expands it before it is put in the body.
std::vector<CgToken> ExpandAll(Preprocessor &p, const std::vector<CgToken> &tokens, int line)
{
    if (++p.depth > maxMacroDepth) {
        Fail(line, "macros nested deeper than 256 levels");
    }
    Stream s;
    s.in = &tokens;
    std::vector<CgToken> out;
    CgToken tok;
    while (NextExpanded(p, s, &tok)) {
        out.push_back(std::move(tok));
    }
    p.depth--;
    return out;
}

// #if expressions: integers in 64 bits, wrapping as unsigned arithmetic does, never undefined.
struct Evaluator {
    const std::vector<CgToken> &tokens;
    int line;
    size_t pos = 0;
    int depth = 0;

    const CgToken *Peek() const { return pos < tokens.size() ? &tokens[pos] : nullptr; }

    bool Accept(const char *text)
    {
        if (Peek() && Peek()->kind == CgTokenKind::Punct && Peek()->text == text) {
            pos++;
            return true;
        }
        return false;
    }

    void Deeper()
    {
        if (++depth > maxIfDepth) {
            Fail(line, "the #if expression is nested too deeply");
        }
    }

    // A decimal, octal or hex integer with C's suffixes; a float has no place in #if.
    int64_t Number(const std::string &text) const
    {
        char *end = nullptr;
        const uint64_t v = std::strtoull(text.c_str(), &end, 0);
        while (*end && std::strchr("uUlL", *end)) {
            end++;
        }
        if (*end || !IsDigit(text[0])) {
            Fail(line, "'" + text + "' is not an integer; #if works on integers");
        }
        return int64_t(v);
    }

    // primary = number | name (0, as C says of names left after expansion; true is 1)
    //         | "(" conditional ")"
    int64_t Primary()
    {
        const CgToken *tok = Peek();
        if (!tok) {
            Fail(line, "the #if expression ends too early");
        }
        pos++;
        if (tok->kind == CgTokenKind::Punct && tok->text == "(") {
            const int64_t v = Conditional();
            if (!Accept(")")) {
                Fail(line, "expected ')' in the #if expression");
            }
            return v;
        }
        if (tok->kind == CgTokenKind::Number) {
            return Number(tok->text);
        }
        if (tok->kind == CgTokenKind::Identifier) {
            return tok->text == "true" ? 1 : 0;
        }
        Fail(line, "unexpected '" + tok->text + "' in the #if expression");
    }

    // unary = ("-" | "+" | "!" | "~") unary | primary
    int64_t Unary()
    {
        Deeper();
        int64_t v;
        if (Accept("-")) {
            v = int64_t(0 - uint64_t(Unary()));
        } else if (Accept("+")) {
            v = Unary();
        } else if (Accept("!")) {
            v = !Unary();
        } else if (Accept("~")) {
            v = ~Unary();
        } else {
            v = Primary();
        }
        depth--;
        return v;
    }

    // C's binding of the binary operators; Cg's ^^ is not C's.
    static int Precedence(const CgToken *tok)
    {
        return tok && tok->kind == CgTokenKind::Punct && tok->text != "^^" ? BinaryLevel(tok->text) : 0;
    }

    // Wrapping arithmetic and guarded division: no input makes the evaluator undefined.
    int64_t Apply(const std::string &op, int64_t a, int64_t b) const
    {
        const uint64_t ua = uint64_t(a);
        const uint64_t ub = uint64_t(b);
        if (op == "*") return int64_t(ua * ub);
        if (op == "+") return int64_t(ua + ub);
        if (op == "-") return int64_t(ua - ub);
        if (op == "/" || op == "%") {
            if (b == 0) {
                Fail(line, "division by zero in the #if expression");
            }
            if (a == INT64_MIN && b == -1) {
                return op == "/" ? a : 0;
            }
            return op == "/" ? a / b : a % b;
        }
        if (op == "<<") return b < 0 || b > 63 ? 0 : int64_t(ua << b);
        if (op == ">>") return b < 0 || b > 63 ? (a < 0 ? -1 : 0) : a >> b;
        if (op == "<") return a < b;
        if (op == ">") return a > b;
        if (op == "<=") return a <= b;
        if (op == ">=") return a >= b;
        if (op == "==") return a == b;
        if (op == "!=") return a != b;
        if (op == "&") return a & b;
        if (op == "^") return a ^ b;
        if (op == "|") return a | b;
        if (op == "&&") return a && b;
        return a || b;
    }

    // binary = unary (operator binary)*, by precedence climbing
    int64_t Binary(int minLevel)
    {
        int64_t v = Unary();
        for (;;) {
            const int level = Precedence(Peek());
            if (level == 0 || level < minLevel) {
                return v;
            }
            const std::string op = tokens[pos++].text;
            Deeper();
            const int64_t rhs = Binary(level + 1);
            depth--;
            v = Apply(op, v, rhs);
        }
    }

    // conditional = binary ("?" conditional ":" conditional)?
    int64_t Conditional()
    {
        Deeper();
        int64_t v = Binary(1);
        if (Accept("?")) {
            const int64_t a = Conditional();
            if (!Accept(":")) {
                Fail(line, "expected ':' in the #if expression");
            }
            const int64_t b = Conditional();
            v = v ? a : b;
        }
        depth--;
        return v;
    }
};

// An #if or #elif line: its macros expanded, 'defined' read wherever it stands, then C's
// arithmetic.
bool EvaluateCondition(Preprocessor &p, const std::vector<CgToken> &line, size_t begin, int lineNumber)
{
    const std::vector<CgToken> rest(line.begin() + long(begin), line.end());
    Stream s;
    s.in = &rest;
    s.inIf = true;
    std::vector<CgToken> expanded;
    CgToken tok;
    while (NextExpanded(p, s, &tok)) {
        expanded.push_back(std::move(tok));
    }
    Evaluator e{expanded, lineNumber};
    if (!e.Peek()) {
        Fail(lineNumber, "#if without a condition");
    }
    const int64_t v = e.Conditional();
    if (e.Peek()) {
        Fail(lineNumber, "unexpected '" + e.Peek()->text + "' in the #if expression");
    }
    return v != 0;
}

// #define name body | #define name(parameters) body, checked here so that a bad macro is
// told where it is defined, not where it is used.
void Define(Preprocessor &p, const std::vector<CgToken> &tokens, size_t i, int line)
{
    if (i >= tokens.size() || tokens[i].kind != CgTokenKind::Identifier) {
        Fail(line, "#define needs a macro name");
    }
    const std::string name = tokens[i].text;
    if (name == "defined") {
        Fail(line, "'defined' cannot be a macro");
    }
    Macro macro;
    i++;
    if (i < tokens.size() && tokens[i].text == "(" && !tokens[i].spaceBefore) {
        // Only a '(' right after the name makes a function-like macro.
        macro.functionLike = true;
        i++;
        if (i < tokens.size() && tokens[i].text == ")") {
            i++;
        } else {
            for (;;) {
                if (i < tokens.size() && tokens[i].text == ".") {
                    Fail(line, "macros with variable arguments are not supported");
                }
                if (i >= tokens.size() || tokens[i].kind != CgTokenKind::Identifier) {
                    Fail(line, "expected a parameter name in macro '" + name + "'");
                }
                for (const std::string &other : macro.params) {
                    if (other == tokens[i].text) {
                        Fail(line, "parameter '" + other + "' appears twice in macro '" + name + "'");
                    }
                }
                if (macro.params.size() >= maxMacroParameters) {
                    Fail(line, "macro '" + name + "' has more than 64 parameters");
                }
                macro.params.push_back(tokens[i++].text);
                if (i < tokens.size() && tokens[i].text == ")") {
                    i++;
                    break;
                }
                if (i >= tokens.size() || tokens[i].text != ",") {
                    Fail(line, "expected ',' or ')' in the parameters of macro '" + name + "'");
                }
                i++;
            }
        }
    } else if (i < tokens.size() && !tokens[i].spaceBefore) {
        Fail(line, "expected a space after the macro name '" + name + "'");
    }
    for (size_t k = i; k < tokens.size(); k++) {
        if (tokens[k].text == "##" && (k == i || k + 1 == tokens.size())) {
            Fail(line, "'##' cannot stand at either end of macro '" + name + "'");
        }
        if (tokens[k].text == "#" && macro.functionLike) {
            bool isParameter = false;
            for (const std::string &param : macro.params) {
                isParameter = isParameter || (k + 1 < tokens.size() && tokens[k + 1].text == param);
            }
            if (!isParameter) {
                Fail(line, "'#' in macro '" + name + "' must be followed by a parameter");
            }
        }
        macro.body.push_back(tokens[k]);
    }
    p.macros[name] = std::move(macro);
}

std::string MacroName(const std::vector<CgToken> &tokens, size_t i, const std::string &directive, int line)
{
    if (i >= tokens.size() || tokens[i].kind != CgTokenKind::Identifier) {
        Fail(line, "#" + directive + " needs a macro name");
    }
    if (i + 1 != tokens.size()) {
        Fail(line, "unexpected text after #" + directive + " " + tokens[i].text);
    }
    return tokens[i].text;
}

// The tokens as text, a blank where the source had one.
std::string Join(const std::vector<CgToken> &tokens, size_t begin)
{
    std::string text;
    for (size_t k = begin; k < tokens.size(); k++) {
        text += k > begin && tokens[k].spaceBefore ? " " : "";
        text += tokens[k].text;
    }
    return text;
}

// #if, #ifdef, #ifndef, #elif, #else and #endif; true when `word` was one of them.
bool ConditionalDirective(Preprocessor &p, const std::string &word, const std::vector<CgToken> &tokens, size_t i,
                          int line, std::vector<Conditional> *stack)
{
    const bool active = stack->empty() || stack->back().active;
    if (word == "if" || word == "ifdef" || word == "ifndef") {
        if (int(stack->size()) >= maxConditionalDepth) {
            Fail(line, "#if nested deeper than 256 levels");
        }
        bool value = false;
        if (active && word == "if") {
            value = EvaluateCondition(p, tokens, i, line);
        } else if (active) {
            value = (p.macros.count(MacroName(tokens, i, word, line)) != 0) == (word == "ifdef");
        }
        stack->push_back(Conditional{line, active, active && value, active && value, false});
        return true;
    }
    if (word != "elif" && word != "else" && word != "endif") {
        return false;
    }
    if (stack->empty()) {
        Fail(line, "#" + word + " without #if");
    }
    Conditional &group = stack->back();
    if (word == "endif") {
        stack->pop_back();
        return true;
    }
    if (group.elseSeen) {
        Fail(line, "#" + word + " after the #else of line " + std::to_string(group.line));
    }
    const bool value = word == "else" || (group.parentActive && !group.taken && EvaluateCondition(p, tokens, i, line));
    group.elseSeen = word == "else";
    group.active = group.parentActive && !group.taken && value;
    group.taken = group.taken || group.active;
    return true;
}

// One directive line, its tokens after the '#'; inside a skipped group only the conditionals
// are read.
void Directive(Preprocessor &p, const std::vector<CgToken> &tokens, int line, std::vector<Conditional> *stack)
{
    if (tokens.empty()) {
        return;  // the null directive
    }
    const std::string word = tokens[0].kind == CgTokenKind::Identifier ? tokens[0].text : std::string();
    if (ConditionalDirective(p, word, tokens, 1, line, stack) || !(stack->empty() || stack->back().active)) {
        return;
    }
    if (word == "define") {
        Define(p, tokens, 1, line);
    } else if (word == "undef") {
        p.macros.erase(MacroName(tokens, 1, word, line));
    } else if (word == "error") {
        Fail(line, "#error " + Join(tokens, 1));
    } else if (word == "include") {
        Fail(line, "#include is not supported: the program must be one file");
    } else if (word == "line") {
        Fail(line, "#line is not supported");
    } else if (word != "pragma") {
        Fail(line, "unknown preprocessor directive '#" + tokens[0].text + "'");
    }
}

// The output as text, each token on its line (never before the one already reached), so that
// there is one output line for every input line.
std::string TextOf(const std::vector<CgToken> &tokens, int lineCount)
{
    std::string text;
    const CgToken *last = nullptr;  // the token before, on this line
    for (int line = 1, k = 0; k <= int(tokens.size()); k++) {
        for (; line < (k < int(tokens.size()) ? tokens[k].line : lineCount) && line < lineCount; line++, last = nullptr) {
            text += text.empty() || text.back() != '\\' ? "\n" : " \n";  // a stray '\' splices no line
        }
        if (k == int(tokens.size())) {
            break;
        }
        // A blank where the source had one, and where two tokens would lex as one: "-" "-", a
        // number and a letter or dot after it, a dot and a digit.
        const char first = tokens[k].text[0];
        if (last && (tokens[k].spaceBefore || Glues(text.back(), first) || (text.back() == '.' && IsDigit(first)) ||
                     (last->kind == CgTokenKind::Number && (IsIdentifierChar(first) || first == '.')))) {
            text += ' ';
        }
        text += tokens[k].text;
        last = &tokens[k];
    }
    return text;
}

}  // namespace

// The file's tokens with its directives done and its macros replaced.
std::vector<CgToken> Preprocess(const std::string &source)
{
    if (source.size() > maxSourceSize) {
        Fail(1, "the program is larger than 16 MiB");
    }
    const std::vector<CgToken> tokens = Lex(source, 1);
    Preprocessor p;
    std::vector<Conditional> stack;
    std::vector<CgToken> out;
    Stream s;
    s.in = &tokens;
    s.directives = true;
    for (;;) {
        if (s.pos >= tokens.size()) {
            break;
        }
        if (AtDirective(s)) {
            const int line = tokens[s.pos].line;
            size_t end = s.pos + 1;
            while (end < tokens.size() && !tokens[end].beginsLine) {
                end++;
            }
            Directive(p, std::vector<CgToken>(tokens.begin() + long(s.pos) + 1, tokens.begin() + long(end)), line,
                      &stack);
            s.pos = end;
            continue;
        }
        if (!stack.empty() && !stack.back().active) {
            s.pos++;
            continue;
        }
        // Up to the next directive, with macro calls that may span lines.
        CgToken tok;
        while (NextExpanded(p, s, &tok)) {
            out.push_back(std::move(tok));
        }
    }
    if (!stack.empty()) {
        Fail(stack.back().line, "#if is never closed: #endif is missing");
    }
    return out;
}

}  // namespace cg

using namespace cg;

// Every token keeps its line, so that later messages name the lines of the file.
bool PreprocessCg(const std::string &source, const char *fileName, CgPreprocessResult *out)
{
    if (!out) {
        return false;
    }
    *out = CgPreprocessResult();
    const std::string name = fileName ? fileName : "program";
    try {
        out->tokens = Preprocess(source);
        out->lineCount = CountLines(source);
        out->text = TextOf(out->tokens, out->lineCount);
        return true;
    } catch (const CgError &e) {
        *out = CgPreprocessResult();
        out->error = name + "(" + std::to_string(e.line) + "): error: " + e.message;
        out->errorLine = e.line;
        return false;
    }
}

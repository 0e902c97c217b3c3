// declarations.cpp -- the program's top level: structs, typedefs, globals, uniforms and
// functions, and the entry point that runs the stages.
#include "cg/cg_internal.h"

#include <algorithm>
#include <unordered_set>

namespace cg {
namespace {

// Whether text[pos...] is a dot and a name, as a swizzle that follows a number is.
bool IsSwizzleTail(const std::string &text, size_t pos)
{
    return text[pos] == '.' && pos + 1 < text.size() && IsIdentifierStart(text[pos + 1]) &&
           std::all_of(text.begin() + long(pos) + 2, text.end(), [](char c) { return IsIdentifierChar(c); });
}

// Takes the preprocessor's tokens as the parser's: what no rule of the language reads is refused
// here, with its line, and C's 1.5.xx (one preprocessing number) is Cg's swizzle of 1.5.
void TakeTokens(Translator &t, std::vector<CgToken> in, int lineCount)
{
    t.tokens.reserve(in.size() + 1);
    for (CgToken &tok : in) {
        if (tok.kind == CgTokenKind::Identifier && tok.text.size() > maxIdentifierLength) {
            Fail(tok.line, "identifier longer than 1024 characters");
        } else if (tok.kind == CgTokenKind::Number) {
            double value = 0;
            bool isFloat = false;
            size_t digits = 0;
            const size_t used = ReadNumber(tok.text, tok.line, &value, &isFloat, &digits);
            if (used != tok.text.size() && IsSwizzleTail(tok.text, used)) {
                const std::string member = tok.text.substr(used + 1);
                tok.text.erase(used);
                t.tokens.push_back(tok);
                t.tokens.push_back(CgToken{CgTokenKind::Punct, ".", tok.line, false, false});
                t.tokens.push_back(CgToken{CgTokenKind::Identifier, member, tok.line, false, false});
                continue;
            }
            if (used != tok.text.size()) {
                Fail(tok.line, "malformed number");
            }
        } else if (tok.text[0] == '#') {
            Fail(tok.line, "unexpected '#' outside a preprocessor directive");
        } else if (tok.text[0] == '"') {
            Fail(tok.line, "strings are not supported");
        } else if (tok.kind == CgTokenKind::Other) {
            Fail(tok.line, "unexpected character " + ShowChar(tok.text[0]));
        }
        t.tokens.push_back(std::move(tok));
    }
    t.tokens.push_back(CgToken{CgTokenKind::End, std::string(), std::max(lineCount, 1), true, true});
}

// Records a function's signature; returns its id. A prototype and its definition are one
// function; two functions whose parameters differ only in half and float would be one GLSL
// function, since this profile computes half in float, and are refused by name.
int RegisterFunction(Translator &t, const CgToken &nameTok, const Ty &ret, const std::vector<Param> &params,
                     bool definition)
{
    const std::string &name = nameTok.text;
    FuncSig sig{ret, {}, {}, GlslName(name), {}, definition, nameTok.line, int(t.calls.size())};
    for (const Param &param : params) {
        sig.params.push_back(param.d.type);
        sig.isOut.push_back(param.q.out);
        sig.spelled.push_back(param.spelled);
    }
    std::vector<FuncSig> &overloads = t.functions[name];
    for (FuncSig &other : overloads) {
        bool same = other.params.size() == sig.params.size();
        for (size_t k = 0; same && k < sig.params.size(); k++) {
            same = SameType(other.params[k], sig.params[k]);
        }
        if (!same) {
            continue;
        }
        if (other.spelled != sig.spelled) {
            Fail(nameTok.line, "'" + name + "' of line " + std::to_string(other.line) +
                                   " and this one differ only in half, fixed and float, which this profile computes "
                                   "alike: they would be one function");
        }
        if (other.defined && definition) {
            Fail(nameTok.line, "function '" + name + "' is defined twice with the same parameters");
        }
        other.defined = other.defined || definition;
        return other.id;
    }
    overloads.push_back(sig);
    t.calls.emplace_back();
    t.functionNames.push_back(name);
    return sig.id;
}

// struct = "struct" name "{" (type declarator ("," declarator)* ";")+ "}" ";"
void ParseStruct(Translator &t, int *pos)
{
    const CgToken &keyword = t.tokens[*pos];
    const CgToken &nameTok = t.tokens[*pos + 1];
    if (!IsName(t, nameTok)) {
        Fail(keyword.line, "expected a name after 'struct'");
    }
    if (t.structIndex.count(nameTok.text)) {
        Fail(nameTok.line, "struct '" + nameTok.text + "' is defined twice");
    }
    const int open = *pos + 2;
    if (!Is(t.tokens[open], "{")) {
        Fail(nameTok.line, "expected '{' after 'struct " + nameTok.text + "'");
    }
    const int close = t.match[open];
    StructDef def;
    def.name = nameTok.text;
    def.glslName = GlslName(def.name);
    std::unordered_set<std::string> memberNames;
    int i = open + 1;
    while (i < close) {
        const Ty type = ReadType(t, i, " in struct '" + def.name + "'");
        if (type.base == Base::Void) {
            Fail(t.tokens[i].line, "a member of struct '" + def.name + "' cannot be void");
        }
        i++;
        for (;;) {
            if (!IsName(t, t.tokens[i])) {
                Fail(t.tokens[i].line, "expected a member name in struct '" + def.name + "'");
            }
            Declarator d;
            i = ReadDeclarator(t, i, close, type, &d);
            if (d.type.array < 0 || d.initBegin >= 0) {
                Fail(d.line, "member '" + d.name + "' needs a size and no value");
            }
            if (!memberNames.insert(d.name).second) {
                Fail(d.line, "member '" + d.name + "' appears twice in struct '" + def.name + "'");
            }
            def.members.push_back(Member{d.name, GlslName(d.name), d.type, d.semantic, d.line});
            if (Is(t.tokens[i], ",")) {
                i++;
                continue;
            }
            if (!Is(t.tokens[i], ";")) {
                Fail(t.tokens[i].line, "expected ';' after member '" + d.name + "'");
            }
            i++;
            break;
        }
    }
    // GLSL has no empty structs.
    if (def.members.empty()) {
        Fail(nameTok.line, "struct '" + def.name + "' has no members");
    }
    if (!Is(t.tokens[close + 1], ";")) {
        Fail(t.tokens[close].line, "expected ';' after the '}' of struct '" + def.name + "'");
    }
    EmitAt(t, keyword.line, "struct", keyword.spaceBefore);
    EmitAt(t, nameTok.line, def.glslName, true);
    EmitAt(t, t.tokens[open].line, "{", true);
    for (const Member &m : def.members) {
        EmitAt(t, m.line, ElementGlsl(t, m.type), true);
        EmitAt(t, m.line, m.glslName + (m.type.array ? "[" + std::to_string(m.type.array) + "]" : "") + ";", true);
    }
    EmitAt(t, t.tokens[close].line, "};", true);
    t.structIndex[def.name] = int(t.structs.size());
    t.structs.push_back(std::move(def));
    *pos = close + 2;
}

// typedef = "typedef" type declarator ";": a second name for a type, as in C.
void ParseTypedef(Translator &t, int *pos)
{
    const Ty type = ReadType(t, *pos + 1, "");
    Declarator d;
    const int end = ReadDeclarator(t, *pos + 2, int(t.tokens.size()) - 1, type, &d);
    if (d.type.array < 0 || d.initBegin >= 0 || !d.semantic.empty() || !Is(t.tokens[end], ";")) {
        Fail(t.tokens[end].line, "expected ';' after typedef '" + d.name + "'");
    }
    if (Lookup(t, d.name) || t.structIndex.count(d.name)) {
        Fail(d.line, "'" + d.name + "' is declared before the typedef");
    }
    t.typedefs[d.name] = d.type;
    *pos = end + 1;
}

// One table entry for each value the application sets, named as it asks for it:
// "lights[1]" for an array element, "light.colour" for a struct member. GL finds the same
// paths among the shader's uniforms.
void AddUniformEntries(Translator &t, const std::string &name, const std::string &glslName, const Ty &ty, int line)
{
    if (t.result->uniforms.size() >= maxUniformEntries) {
        Fail(line, "more than 1024 uniform values");
    }
    if (ty.array) {
        Ty element = ty;
        element.array = 0;
        for (int k = 0; k < ty.array; k++) {
            const std::string index = "[" + std::to_string(k) + "]";
            AddUniformEntries(t, name + index, glslName + index, element, line);
        }
        return;
    }
    if (ty.base == Base::Struct) {
        for (const Member &m : t.structs[ty.structIndex].members) {
            AddUniformEntries(t, name + "." + m.name, glslName + "." + m.glslName, m.type, line);
        }
        return;
    }
    CgUniform uniform{name, glslName, CgType::Float};
    if (!UniformTypeOf(ty, &uniform.type)) {
        Fail(line, "uniform '" + name + "' has the unsupported type '" + CgTypeName(t, ty) + "'");
    }
    t.result->uniforms.push_back(uniform);
}

// parameter = qualifier* type declarator; the name may be left out in a prototype, and only the
// entry function's uniforms take default values.
Param ReadParam(Translator &t, int begin, int end, const std::string &function, bool prototype)
{
    Param param;
    int i = begin;
    param.q = ReadQualifiers(t, &i);
    param.q.in = param.q.in || !param.q.out;
    if (i >= end) {
        ReadType(t, std::min(i, end), " in the parameters of '" + function + "'");
    }
    const Ty type = ReadType(t, i, " in the parameters of '" + function + "'");
    param.spelled = t.tokens[i].text;
    if (i + 1 < end ? !IsName(t, t.tokens[i + 1]) && !(prototype && !Is(t.tokens[i + 1], "[")) : !prototype) {
        Fail(t.tokens[std::min(i + 1, end)].line, "expected a parameter name after '" + param.spelled + "' in '" +
                                                      function + "'");
    }
    i = ReadDeclarator(t, i + 1, end, type, &param.d, prototype);
    if (param.d.type.array < 0) {
        Fail(param.d.line, "array parameter '" + param.d.name + "' needs a size");
    }
    if (param.d.initBegin >= 0 && !(param.q.isUniform && function == t.entry && param.d.initBegin < end)) {
        Fail(t.tokens[param.d.initBegin - 1].line, "default values are supported for the uniform parameters of '" +
                                                       t.entry + "' only");
    }
    if (i < end) {
        Fail(t.tokens[i].line, "unexpected '" + t.tokens[i].text + "' in the parameters of '" + function + "'");
    }
    return param;
}

// parameters = "(" ("void" | parameter ("," parameter)*)? ")"
std::vector<Param> ReadParams(Translator &t, int open, const std::string &function, bool prototype)
{
    std::vector<Param> params;
    const int close = t.match[open];
    if (close == open + 1 || (close == open + 2 && Is(t.tokens[open + 1], "void"))) {
        return params;
    }
    int begin = open + 1;
    for (int i = open + 1; i <= close; i++) {
        if (IsOpen(t.tokens[i])) {
            i = t.match[i];
            continue;
        }
        if (i == close || Is(t.tokens[i], ",")) {
            if (i == begin) {
                Fail(t.tokens[i].line, "empty parameter in '" + function + "'");
            }
            params.push_back(ReadParam(t, begin, i, function, prototype));
            begin = i + 1;
        }
    }
    return params;
}

// A function's GLSL head, each parameter on its own source line so that GLSL's messages
// point where the Cg program has it.
void EmitFunctionHeader(Translator &t, const Ty &ret, int nameIndex, const std::vector<Param> &params)
{
    const CgToken &nameTok = t.tokens[nameIndex];
    EmitFunctionStart(t, nameIndex, ret);
    EmitAt(t, nameTok.line, GlslName(nameTok.text) + "(", true);
    for (size_t p = 0; p < params.size(); p++) {
        // Semantics and "uniform" mean nothing on the parameters of an ordinary function.
        const Param &param = params[p];
        const Ty &ty = param.d.type;
        std::string text = param.q.isConst ? "const " : "";
        text += param.q.in && param.q.out ? "inout " : param.q.out ? "out " : "";
        text += ElementGlsl(t, ty) + (param.d.name.empty() ? "" : " " + GlslName(param.d.name));
        text += ty.array ? "[" + std::to_string(ty.array) + "]" : "";
        EmitAt(t, param.d.line, text + (p + 1 < params.size() ? "," : ""), p > 0);
    }
    EmitAt(t, t.tokens[t.match[nameIndex + 1]].line, ")", false);
}

// The parameters of the function being translated, in its outermost scope.
void DeclareParams(Translator &t, const std::vector<Param> &params)
{
    for (const Param &param : params) {
        if (!param.d.name.empty()) {
            Declare(t, param.d.name, Variable{param.d.type, GlslName(param.d.name), param.q.isUniform ? 'u' : char(0), false});
        }
    }
}

// function = type name parameters (":" semantic)? ("{" statement* "}" | ";")
void ParseFunction(Translator &t, const Ty &ret, int nameIndex, int *next)
{
    const CgToken &nameTok = t.tokens[nameIndex];
    const int open = nameIndex + 1;
    const int close = t.match[open];
    int k = close + 1;
    std::string semantic;
    if (Is(t.tokens[k], ":")) {
        if (t.tokens[k + 1].kind != CgTokenKind::Identifier) {
            Fail(t.tokens[k].line, "expected a semantic after ':'");
        }
        semantic = t.tokens[k + 1].text;
        k += 2;
    }
    const bool isEntry = nameTok.text == t.entry;
    const bool isPrototype = Is(t.tokens[k], ";");
    if (!isPrototype && !Is(t.tokens[k], "{")) {
        Fail(t.tokens[k].line, "expected '{' after the parameters of '" + nameTok.text + "'");
    }
    *next = isPrototype ? k + 1 : t.match[k] + 1;
    const std::vector<Param> params = ReadParams(t, open, nameTok.text, isPrototype);
    if (isEntry) {
        // The entry's prototype is dropped: its uniform parameters become globals.
        if (!isPrototype) {
            t.scopes.emplace_back();
            DeclareParams(t, params);
            EmitEntry(t, ret, nameIndex, params, semantic, k);
            t.scopes.pop_back();
        }
        return;
    }
    const int id = RegisterFunction(t, nameTok, ret, params, !isPrototype);
    EmitFunctionHeader(t, ret, nameIndex, params);
    if (isPrototype) {
        EmitToken(t, t.tokens[k], ";");
        return;
    }
    t.currentFunction = id;
    t.scopes.emplace_back();
    DeclareParams(t, params);
    TranslateBody(t, k, ret);
    t.scopes.pop_back();
    t.currentFunction = -1;
}

// A function, a global variable or a global uniform.
void ParseDeclaration(Translator &t, int *pos)
{
    int i = *pos;
    Qualifiers q = ReadQualifiers(t, &i);
    const CgToken &typeTok = t.tokens[i];
    const Ty type = ReadType(t, i, "");
    const int nameIndex = i + 1;
    const CgToken &nameTok = t.tokens[nameIndex];
    if (!IsName(t, nameTok)) {
        Fail(nameTok.line, "expected a name after '" + typeTok.text + "'");
    }
    // A name followed by '(' at the top level is a function; anything else declares variables.
    if (Is(t.tokens[nameIndex + 1], "(")) {
        if (q.isUniform) {
            Fail(nameTok.line, "a function cannot be uniform");
        }
        ParseFunction(t, type, nameIndex, pos);
        return;
    }
    // In Cg a global variable that is neither static nor const is a uniform: the application
    // sets it, and it belongs in the parameter table.
    q.isUniform = q.isUniform || (!q.isStatic && !q.isConst);
    if (q.isUniform) {
        EmitAt(t, typeTok.line, "uniform", typeTok.spaceBefore);
    }
    const std::vector<Declarator> declared = TranslateVariables(t, i, int(t.tokens.size()) - 1, q, true, pos);
    for (const Declarator &d : q.isUniform ? declared : std::vector<Declarator>()) {
        if (d.type.array > maxUniformArray) {
            Fail(d.line, "uniform array '" + d.name + "' needs a size from 1 to 256");
        }
        AddUniform(t, d.name, d.type, d.line);
        CopyIfWritten(t, d.name, d.line);
    }
}

// The names the program's functions write: before '=' or an operator's assignment, or next to
// '++' or '--', after any members and indices of theirs. A uniform among them becomes a copy.
void FindWrittenNames(Translator &t)
{
    int depth = 0;  // only function bodies write: a declaration's '=' at the top level is its value
    for (int i = 0; i + 1 < int(t.tokens.size()); i++) {
        depth += Is(t.tokens[i], "{") - Is(t.tokens[i], "}");
        if (depth == 0 || t.tokens[i].kind != CgTokenKind::Identifier || (i > 0 && Is(t.tokens[i - 1], "."))) {
            continue;
        }
        int k = i + 1;
        while (Is(t.tokens[k], "[") || (Is(t.tokens[k], ".") && t.tokens[k + 1].kind == CgTokenKind::Identifier)) {
            k = Is(t.tokens[k], "[") ? t.match[k] + 1 : k + 2;
        }
        const CgToken &after = t.tokens[k];
        const bool assigned = after.kind == CgTokenKind::Punct && after.text.back() == '=' && after.text != "==" &&
                              after.text != "<=" && after.text != ">=" && after.text != "!=";
        if (assigned || Is(after, "++") || Is(after, "--") ||
            (i > 0 && (Is(t.tokens[i - 1], "++") || Is(t.tokens[i - 1], "--")))) {
            t.written[t.tokens[i].text] = true;
        }
    }
}

// No function may reach itself through others: Cg has no recursion, and GLSL refuses it late.
void RefuseRecursion(const Translator &t)
{
    std::vector<int> state(t.calls.size(), 0);  // 0 unseen, 1 on the path, 2 done
    std::vector<std::pair<int, size_t>> stack;
    for (size_t root = 0; root < t.calls.size(); root++) {
        if (state[root]) {
            continue;
        }
        stack.emplace_back(int(root), 0);
        state[root] = 1;
        while (!stack.empty()) {
            auto &top = stack.back();
            const auto &calls = t.calls[size_t(top.first)];
            if (top.second == calls.size()) {
                state[size_t(top.first)] = 2;
                stack.pop_back();
                continue;
            }
            const std::pair<int, int> call = calls[top.second++];
            if (state[size_t(call.first)] == 1) {
                Fail(call.second, "function '" + t.functionNames[size_t(call.first)] + "' calls itself through '" +
                                      t.functionNames[size_t(top.first)] + "'; Cg has no recursion");
            }
            if (state[size_t(call.first)] == 0) {
                state[size_t(call.first)] = 1;
                stack.emplace_back(call.first, 0);
            }
        }
    }
}

}  // namespace

// A uniform of the program, global or a parameter of the entry function; one name, once.
void AddUniform(Translator &t, const std::string &name, const Ty &ty, int line)
{
    for (const CgUniform &u : t.result->uniforms) {
        if (u.name == name || u.name.compare(0, name.size() + 1, name + "[") == 0 ||
            u.name.compare(0, name.size() + 1, name + ".") == 0) {
            Fail(line, "uniform '" + name + "' is declared twice");
        }
    }
    AddUniformEntries(t, name, GlslName(name), ty, line);
}

// A uniform the program writes: Cg lets it, as a copy of its own that main() fills before
// the entry function runs. Reads and writes go to the copy.
void CopyIfWritten(Translator &t, const std::string &name, int line)
{
    Variable &v = t.scopes.back()[name];
    if (!t.written.count(name) || v.readOnly != 'u') {
        return;
    }
    const std::string copy = "cgx_copy_" + name;
    EmitAt(t, line, ElementGlsl(t, v.type) + " " + copy + (v.type.array ? "[" + std::to_string(v.type.array) + "]" : "") +
                        ";", true);
    t.copies += copy + " = " + v.glslName + "; ";
    v.glslName = copy;
    v.readOnly = 0;
}

// program = (struct | typedef | function | global-declaration | ";")*
void Translate(Translator &t, const std::string &source)
{
    TakeTokens(t, Preprocess(source), CountLines(source));
    MatchBrackets(t);
    FindWrittenNames(t);
    t.scopes.emplace_back();
    int pos = 0;
    while (t.tokens[pos].kind != CgTokenKind::End) {
        const CgToken &tok = t.tokens[pos];
        if (Is(tok, ";")) {
            pos++;
        } else if (Is(tok, "struct")) {
            ParseStruct(t, &pos);
        } else if (Is(tok, "typedef")) {
            ParseTypedef(t, &pos);
        } else {
            ParseDeclaration(t, &pos);
        }
    }
    if (!t.entryFound) {
        Fail(t.tokens.back().line, "no entry function '" + t.entry + "'");
    }
    RefuseRecursion(t);
}

}  // namespace cg

using namespace cg;

// The helpers come before the program's first line, so "#line 0" keeps its line numbers true.
bool TranslateCgProgram(const std::string &source, const char *fileName, const char *entry, CgTranslation *out)
{
    if (!out) {
        return false;
    }
    *out = CgTranslation();
    Translator t;
    t.entry = entry && *entry ? entry : "main";
    t.result = out;
    try {
        Translate(t, source);
    } catch (const CgError &e) {
        *out = CgTranslation();
        out->error = std::string(fileName ? fileName : "program") + "(" + std::to_string(e.line) + "): error: " +
                     e.message;
        out->errorLine = e.line;
        return false;
    }
    out->glsl = "#version 120\n" + Preamble(t.preamble) + t.helpers + "#line 0\n" + t.body + "\n";
    return true;
}

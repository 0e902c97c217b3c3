// declarations.cpp -- the program's top level: structs, globals, uniforms and functions.
#include "cg/cg_internal.h"
#include "cg/cg_preprocess.h"

#include <unordered_set>

namespace cg {

// Global variables from the type at `typeIndex`; declares them for the functions that follow.
bool TranslateGlobals(Translator &t, int typeIndex, int *next)
{
    Parser p = MakeParser(t);
    p.scope.levels.emplace_back();
    if (!ParseVariables(p, typeIndex, int(t.tokens.size()) - 1, true, next)) {
        return false;
    }
    for (const auto &entry : p.scope.levels.back()) {
        t.globals[entry.first] = entry.second;
    }
    return true;
}

// Records a function's signature. A prototype and its definition are one function; two
// functions whose parameters differ only in half and float would be one GLSL function, since
// this profile computes half in float, and are refused by name.
bool RegisterFunction(Translator &t, const Token &nameTok, const TypeRef &ret, const std::vector<Param> &params,
                      bool definition)
{
    const std::string &name = nameTok.text;
    FuncSig sig{ret.ty, {}, {}, GlslName(name), {}, definition, nameTok.line};
    for (const Param &param : params) {
        sig.params.push_back(param.type.ty);
        sig.isOut.push_back(param.isOut);
        sig.spelled.push_back(param.type.cgName);
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
            return Fail(t, nameTok.line, "'" + name + "' of line " + std::to_string(other.line) +
                                             " and this one differ only in half, fixed and float, which this "
                                             "profile computes alike: they would be one function");
        }
        if (other.defined && definition) {
            return Fail(t, nameTok.line, "function '" + name + "' is defined twice with the same parameters");
        }
        other.defined = other.defined || definition;
        return true;
    }
    overloads.push_back(sig);
    return true;
}

// struct = "struct" name "{" (type member ("," member)* ";")+ "}" ";"
// member = name (":" semantic)?
bool ParseStruct(Translator &t, int *pos)
{
    const Token &keyword = t.tokens[*pos];
    const Token &nameTok = t.tokens[*pos + 1];
    if (!IsName(nameTok)) {
        return Fail(t, keyword.line, "expected a name after 'struct'");
    }
    if (t.structIndex.count(nameTok.text)) {
        return Fail(t, nameTok.line, "struct '" + nameTok.text + "' is defined twice");
    }
    const int open = *pos + 2;
    if (!Is(t.tokens[open], "{")) {
        return Fail(t, nameTok.line, "expected '{' after 'struct " + nameTok.text + "'");
    }
    const int close = t.tokens[open].match;
    StructDef def;
    def.name = nameTok.text;
    def.glslName = GlslName(def.name);
    std::unordered_set<std::string> memberNames;
    int i = open + 1;
    while (i < close) {
        TypeRef type;
        if (!ParseType(t, i, &type)) {
            return Fail(t, t.tokens[i].line,
                        "unknown type '" + t.tokens[i].text + "' in struct '" + def.name + "'");
        }
        if (type.ty.base == Base::Void) {
            return Fail(t, t.tokens[i].line, "a member of struct '" + def.name + "' cannot be void");
        }
        i++;
        for (;;) {
            const Token &memberTok = t.tokens[i];
            if (!IsName(memberTok)) {
                return Fail(t, memberTok.line, "expected a member name in struct '" + def.name + "'");
            }
            Member member{memberTok.text, GlslName(memberTok.text), type, std::string(), memberTok.line};
            if (!memberNames.insert(member.name).second) {
                return Fail(t, member.line, "member '" + member.name + "' appears twice in struct '" + def.name + "'");
            }
            i++;
            // An array member: its size a number, as GLSL needs it.
            if (Is(t.tokens[i], "[")) {
                const Token &size = t.tokens[i + 1];
                const bool number = t.tokens[i].match == i + 2 && size.kind == TokenKind::Number &&
                                    size.text.size() <= 5 &&
                                    size.text.find_first_not_of("0123456789") == std::string::npos;
                member.type.ty.array = number ? std::stoi(size.text) : 0;
                if (member.type.ty.array < 1) {
                    return Fail(t, t.tokens[i].line, "the size of member '" + member.name + "' must be a number from 1 up");
                }
                i += 3;
                if (Is(t.tokens[i], "[")) {
                    return Fail(t, t.tokens[i].line, "arrays of arrays are not supported");
                }
            }
            if (Is(t.tokens[i], ":")) {
                if (t.tokens[i + 1].kind != TokenKind::Identifier) {
                    return Fail(t, t.tokens[i].line, "expected a semantic after ':'");
                }
                member.semantic = t.tokens[i + 1].text;
                i += 2;
            }
            def.members.push_back(member);
            if (Is(t.tokens[i], ",")) {
                i++;
                continue;
            }
            if (!Is(t.tokens[i], ";")) {
                return Fail(t, t.tokens[i].line, "expected ';' after member '" + member.name + "'");
            }
            i++;
            break;
        }
    }
    // GLSL has no empty structs.
    if (def.members.empty()) {
        return Fail(t, nameTok.line, "struct '" + def.name + "' has no members");
    }
    if (!Is(t.tokens[close + 1], ";")) {
        return Fail(t, t.tokens[close].line, "expected ';' after the '}' of struct '" + def.name + "'");
    }
    EmitAt(t, keyword.line, "struct", keyword.spaceBefore);
    EmitAt(t, nameTok.line, def.glslName, true);
    EmitAt(t, t.tokens[open].line, "{", true);
    for (const Member &m : def.members) {
        EmitAt(t, m.line, ElementGlsl(t, m.type.ty), true);
        EmitAt(t, m.line, m.glslName + (m.type.ty.array ? "[" + std::to_string(m.type.ty.array) + "]" : "") + ";", true);
    }
    EmitAt(t, t.tokens[close].line, "};", true);
    t.structIndex[def.name] = int(t.structs.size());
    t.structs.push_back(std::move(def));
    *pos = close + 2;
    return true;
}

// One table entry for each value the application sets, named as it asks for it:
// "lights[1]" for an array element, "light.colour" for a struct member. GL finds the same
// paths among the shader's uniforms.
bool AddUniformEntries(Translator &t, const std::string &name, const std::string &glslName, const Ty &ty, int line)
{
    if (t.result->uniforms.size() >= maxUniformEntries) {
        return Fail(t, line, "more than 1024 uniform values");
    }
    if (ty.array) {
        Ty element = ty;
        element.array = 0;
        for (int k = 0; k < ty.array; k++) {
            const std::string index = "[" + std::to_string(k) + "]";
            if (!AddUniformEntries(t, name + index, glslName + index, element, line)) {
                return false;
            }
        }
        return true;
    }
    if (ty.base == Base::Struct) {
        for (const Member &m : t.structs[ty.structIndex].members) {
            if (!AddUniformEntries(t, name + "." + m.name, glslName + "." + m.glslName, m.type.ty, line)) {
                return false;
            }
        }
        return true;
    }
    CgUniform uniform{name, glslName, CgType::Float};
    if (!UniformTypeOf(ty, &uniform.type)) {
        return Fail(t, line, "uniform '" + name + "' has the unsupported type '" + CgTypeName(t, ty) + "'");
    }
    t.result->uniforms.push_back(uniform);
    return true;
}

// A uniform of the program, global or a parameter of the entry function; one name, once.
bool AddUniform(Translator &t, const std::string &name, const Ty &ty, int line)
{
    if (!t.uniformNames.insert(name).second) {
        return Fail(t, line, "uniform '" + name + "' is declared twice");
    }
    return AddUniformEntries(t, name, GlslName(name), ty, line);
}

// parameter = ("uniform" | "const" | "in" | "out" | "inout")* type name (":" semantic)?
//             ("=" expression)?
bool ParseParam(Translator &t, int begin, int end, const std::string &function, Param *param)
{
    *param = Param{false, false, false, std::string(), TypeRef(), std::string(), std::string(), t.tokens[begin].line};
    int i = begin;
    for (; i < end && t.tokens[i].kind == TokenKind::Identifier; i++) {
        const std::string &word = t.tokens[i].text;
        if (word == "uniform") {
            param->isUniform = true;
        } else if (word == "const") {
            param->isConst = true;
        } else if (word == "in" || word == "out" || word == "inout") {
            param->qualifier = word;
            param->isOut = word != "in";
        } else {
            break;
        }
    }
    if (i >= end || !ParseType(t, i, &param->type)) {
        const Token &tok = t.tokens[std::min(i, end)];
        if (!RefusedTypeName(t, tok)) {
            return false;
        }
        return Fail(t, tok.line, "unknown type '" + tok.text + "' in the parameters of '" + function + "'");
    }
    i++;
    if (i >= end || !IsName(t.tokens[i])) {
        return Fail(t, t.tokens[std::min(i, end)].line,
                    "expected a parameter name after '" + param->type.cgName + "' in '" + function + "'");
    }
    param->name = t.tokens[i].text;
    param->line = t.tokens[i].line;
    i++;
    if (i < end && Is(t.tokens[i], ":")) {
        if (i + 1 >= end || t.tokens[i + 1].kind != TokenKind::Identifier) {
            return Fail(t, t.tokens[i].line, "expected a semantic after ':'");
        }
        param->semantic = t.tokens[i + 1].text;
        i += 2;
    }
    if (i < end) {
        const Token &tok = t.tokens[i];
        if (Is(tok, "=") && param->isUniform && function == t.entry && i + 1 < end) {
            // The value a uniform holds until the application sets it.
            param->defaultBegin = i + 1;
            param->defaultEnd = end;
            return true;
        }
        if (Is(tok, "=")) {
            return Fail(t, tok.line, "default values are supported for the uniform parameters of '" + t.entry +
                                         "' only");
        }
        if (Is(tok, "[")) {
            return Fail(t, tok.line, "array parameters are not supported");
        }
        return Fail(t, tok.line, "unexpected '" + tok.text + "' in the parameters of '" + function + "'");
    }
    return true;
}

// parameters = "(" ("void" | parameter ("," parameter)*)? ")"
bool ParseParams(Translator &t, int open, const std::string &function, std::vector<Param> *params)
{
    const int close = t.tokens[open].match;
    if (close == open + 1 || (close == open + 2 && Is(t.tokens[open + 1], "void"))) {
        return true;
    }
    int begin = open + 1;
    for (int i = open + 1; i <= close; i++) {
        if (IsOpen(t.tokens[i])) {
            i = t.tokens[i].match;
            continue;
        }
        if (i == close || Is(t.tokens[i], ",")) {
            if (i == begin) {
                return Fail(t, t.tokens[i].line, "empty parameter in '" + function + "'");
            }
            Param param;
            if (!ParseParam(t, begin, i, function, &param)) {
                return false;
            }
            params->push_back(param);
            begin = i + 1;
        }
    }
    return true;
}

// A function's GLSL head, each parameter on its own source line so that GLSL's messages
// point where the Cg program has it.
void EmitFunctionHeader(Translator &t, const TypeRef &ret, int nameIndex, const std::vector<Param> &params)
{
    const Token &nameTok = t.tokens[nameIndex];
    EmitAt(t, t.tokens[nameIndex - 1].line, GlslType(t, ret.ty), t.tokens[nameIndex - 1].spaceBefore);
    EmitAt(t, nameTok.line, GlslName(nameTok.text) + "(", true);
    for (size_t p = 0; p < params.size(); p++) {
        // Semantics and "uniform" mean nothing on the parameters of an ordinary function.
        const Param &param = params[p];
        std::string text = (param.isConst ? "const " : "") + param.qualifier;
        text += (text.empty() || text.back() == ' ' ? "" : " ") + GlslType(t, param.type.ty) + " " + GlslName(param.name);
        EmitAt(t, param.line, text + (p + 1 < params.size() ? "," : ""), p > 0);
    }
    EmitAt(t, t.tokens[t.tokens[nameIndex + 1].match].line, ")", false);
}

// function = type name parameters (":" semantic)? ("{" statement* "}" | ";")
bool ParseFunction(Translator &t, const TypeRef &ret, int nameIndex, int *next)
{
    const Token &nameTok = t.tokens[nameIndex];
    const int open = nameIndex + 1;
    const int close = t.tokens[open].match;
    int k = close + 1;
    std::string semantic;
    if (Is(t.tokens[k], ":")) {
        if (t.tokens[k + 1].kind != TokenKind::Identifier) {
            return Fail(t, t.tokens[k].line, "expected a semantic after ':'");
        }
        semantic = t.tokens[k + 1].text;
        k += 2;
    }
    const bool isEntry = nameTok.text == t.entry;
    const bool isPrototype = Is(t.tokens[k], ";");
    if (!isPrototype && !Is(t.tokens[k], "{")) {
        return Fail(t, t.tokens[k].line, "expected '{' after the parameters of '" + nameTok.text + "'");
    }
    *next = isPrototype ? k + 1 : t.tokens[k].match + 1;
    if (isEntry) {
        // The entry's prototype is dropped: its uniform parameters become globals.
        return isPrototype || EmitEntry(t, ret, nameIndex, open, semantic, k);
    }
    std::vector<Param> params;
    if (!ParseParams(t, open, nameTok.text, &params)) {
        return false;
    }
    if (!RegisterFunction(t, nameTok, ret, params, !isPrototype)) {
        return false;
    }
    EmitFunctionHeader(t, ret, nameIndex, params);
    if (isPrototype) {
        EmitToken(t, t.tokens[k], ";");
        return true;
    }
    return TranslateBody(t, k, ret.ty, params);
}

// A function, a global variable or a global uniform.
bool ParseDeclaration(Translator &t, int *pos)
{
    const int start = *pos;
    int i = start;
    bool isUniform = false;
    bool isStatic = false;
    bool isConst = false;
    for (; t.tokens[i].kind == TokenKind::Identifier; i++) {
        const std::string &word = t.tokens[i].text;
        if (word == "uniform") {
            isUniform = true;
        } else if (word == "static" || word == "const") {
            isStatic = isStatic || word == "static";
            isConst = isConst || word == "const";
        } else if (word != "extern" && word != "inline") {
            break;
        }
    }
    const Token &typeTok = t.tokens[i];
    TypeRef type;
    if (!ParseType(t, i, &type)) {
        if (!RefusedTypeName(t, typeTok)) {
            return false;
        }
        if (typeTok.kind == TokenKind::Identifier) {
            return Fail(t, typeTok.line, "unknown type '" + typeTok.text + "'");
        }
        return Fail(t, typeTok.line, "unexpected '" + typeTok.text + "'");
    }
    const int nameIndex = i + 1;
    const Token &nameTok = t.tokens[nameIndex];
    if (!IsName(nameTok)) {
        return Fail(t, nameTok.line, "expected a name after '" + typeTok.text + "'");
    }
    // A name followed by '(' at the top level is a function; anything else declares variables.
    if (Is(t.tokens[nameIndex + 1], "(")) {
        if (isUniform) {
            return Fail(t, nameTok.line, "a function cannot be uniform");
        }
        return ParseFunction(t, type, nameIndex, pos);
    }
    // In Cg a global variable that is neither static nor const is a uniform: the application
    // sets it, and it belongs in the parameter table.
    const bool implicitUniform = !isUniform && !isStatic && !isConst;
    isUniform = isUniform || implicitUniform;
    // A global variable: runs to the ';' outside brackets; uniforms are recorded by name.
    bool declarator = true;
    bool initializer = false;
    int j = nameIndex;
    for (; !Is(t.tokens[j], ";"); j++) {
        const Token &tok = t.tokens[j];
        if (tok.kind == TokenKind::End) {
            return Fail(t, nameTok.line, "expected ';' after '" + nameTok.text + "'");
        }
        if (Is(tok, ":") && !initializer) {
            return Fail(t, tok.line, "semantics on global variables are not supported");
        }
        initializer = initializer || Is(tok, "=");
        if (declarator && isUniform) {
            if (!IsName(tok)) {
                return Fail(t, tok.line, "expected a name in the declaration of a uniform");
            }
            Ty ty = type.ty;
            if (Is(t.tokens[j + 1], "[")) {
                const Token &size = t.tokens[j + 2];
                const bool number = size.kind == TokenKind::Number && Is(t.tokens[j + 3], "]") &&
                                    size.text.size() <= 3 &&
                                    size.text.find_first_not_of("0123456789") == std::string::npos;
                ty.array = number ? std::stoi(size.text) : 0;
                if (ty.array < 1 || ty.array > maxUniformArray) {
                    return Fail(t, tok.line, "uniform array '" + tok.text + "' needs a size from 1 to 256");
                }
            }
            if (!AddUniform(t, tok.text, ty, tok.line)) {
                return false;
            }
        }
        declarator = Is(tok, ",");
        initializer = initializer && !declarator;
        if (IsOpen(tok)) {
            j = tok.match;
        }
    }
    if (implicitUniform) {
        EmitAt(t, typeTok.line, "uniform", typeTok.spaceBefore);
    }
    for (int q = start; q < i; q++) {
        const std::string &word = t.tokens[q].text;
        if (word == "uniform" || (word == "const" && !isUniform)) {
            EmitToken(t, t.tokens[q], word);
        }
    }
    return TranslateGlobals(t, i, pos);
}

// program = (struct | function | global-declaration | ";")*
bool Translate(Translator &t, const std::string &source)
{
    if (source.size() > maxSourceSize) {
        return Fail(t, 1, "the program is larger than 16 MiB");
    }
    CgPreprocessResult preprocessed;
    if (!PreprocessCg(source, t.fileName.c_str(), &preprocessed)) {
        t.failed = true;
        t.error = preprocessed.error;
        t.errorLine = preprocessed.errorLine;
        return false;
    }
    if (!TakeTokens(t, preprocessed) || !MatchBrackets(t)) {
        return false;
    }
    int pos = 0;
    while (t.tokens[pos].kind != TokenKind::End) {
        const Token &tok = t.tokens[pos];
        if (Is(tok, ";")) {
            pos++;
        } else if (Is(tok, "struct")) {
            if (!ParseStruct(t, &pos)) {
                return false;
            }
        } else if (Is(tok, "typedef")) {
            return Fail(t, tok.line, "typedef is not supported");
        } else if (!ParseDeclaration(t, &pos)) {
            return false;
        }
    }
    if (!t.entryFound) {
        return Fail(t, t.tokens.back().line, "no entry function '" + t.entry + "'");
    }
    return true;
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
    t.fileName = fileName ? fileName : "program";
    t.entry = entry && *entry ? entry : "main";
    t.result = out;
    if (!Translate(t, source)) {
        *out = CgTranslation();
        out->error = t.error;
        out->errorLine = t.errorLine;
        return false;
    }
    out->glsl = "#version 120\n" + Preamble(t.preamble) + t.helpers + "#line 0\n" + t.body + "\n";
    return true;
}

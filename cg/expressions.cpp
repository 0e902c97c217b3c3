// expressions.cpp -- expressions read with their Cg types and written as GLSL.
#include "cg/cg_internal.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace cg {

// The innermost declaration of `name`, as C scopes hide outer ones.
bool Lookup(Parser &p, const std::string &name, Ty *ty)
{
    for (auto level = p.scope.levels.rbegin(); level != p.scope.levels.rend(); ++level) {
        auto found = level->find(name);
        if (found != level->end()) {
            *ty = found->second;
            return true;
        }
    }
    return false;
}

// A name declared in the innermost scope; a second declaration there replaces the first, as
// GLSL will then say, with its line.
void Declare(Parser &p, const std::string &name, const Ty &ty)
{
    p.scope.levels.back()[name] = ty;
}

// The end of the expression that starts at `i`: the first ',' (if `stopAtComma`) or ';' outside
// brackets, or `end`.
int ExpressionEnd(const Translator &t, int i, int end, bool stopAtComma)
{
    for (; i < end; i++) {
        const Token &tok = t.tokens[i];
        if (Is(tok, ";") || (stopAtComma && Is(tok, ","))) {
            return i;
        }
        if (IsOpen(tok)) {
            i = tok.match;
        }
    }
    return end;
}

// The whole of [begin, end) as one expression.
bool ParseWhole(Parser &p, int begin, int end, Expr *out, const char *what)
{
    Translator &t = p.t;
    if (begin >= end) {
        return Fail(t, t.tokens[std::min(begin, int(t.tokens.size()) - 1)].line, std::string("expected ") + what);
    }
    int pos = begin;
    if (!ParseAssignment(p, &pos, end, out)) {
        return false;
    }
    if (pos < end) {
        return Fail(t, t.tokens[pos].line, "unexpected '" + t.tokens[pos].text + "' in " + what);
    }
    return true;
}

// Arguments between the brackets at `open`, each read as one expression.
bool ParseArguments(Parser &p, int open, std::vector<Expr> *args)
{
    Translator &t = p.t;
    const int close = t.tokens[open].match;
    int i = open + 1;
    while (i < close) {
        const int stop = ExpressionEnd(t, i, close, true);
        if (stop < close && Is(t.tokens[stop], ";")) {
            return Fail(t, t.tokens[stop].line, "unexpected ';' in the arguments");
        }
        args->emplace_back();
        if (!ParseWhole(p, i, stop, &args->back(), "an argument")) {
            return false;
        }
        i = stop + 1;
        if (stop < close && i == close) {
            return Fail(t, t.tokens[stop].line, "expected an argument after ','");
        }
    }
    return true;
}

// M._m03_m13_m23 (from 0) or M._14_24_34 (from 1): elements of a matrix. Cg's element (r, c) is
// [r][c] of the matrix as the shader holds it, transposed.
bool MatrixSwizzle(Parser &p, const Token &member, Expr *e)
{
    Translator &t = p.t;
    const std::string &s = member.text;
    const Ty ty = e->type;
    std::vector<std::string> picks;
    size_t k = 0;
    while (k < s.size()) {
        const bool fromZero = k + 1 < s.size() && s[k + 1] == 'm';
        const size_t at = k + (fromZero ? 2 : 1);
        if (s[k] != '_' || at + 1 >= s.size() + 0 || !IsDigit(s[at]) || !IsDigit(s[at + 1]) || picks.size() == 4) {
            return Fail(t, member.line, "'." + s + "' is not a swizzle of a matrix: write up to four of _m<row><column> "
                                        "(from 0) or _<row><column> (from 1)");
        }
        const int row = s[at] - (fromZero ? '0' : '1');
        const int col = s[at + 1] - (fromZero ? '0' : '1');
        if (row < 0 || col < 0 || row >= ty.rows || col >= ty.cols) {
            return Fail(t, member.line, "'." + s + "' reads past the end of a " + CgTypeName(t, ty));
        }
        picks.push_back("[" + std::to_string(row) + "][" + std::to_string(col) + "]");
        k = at + 2;
    }
    if (picks.size() == 1) {
        e->code.push_back(Piece{member.line, false, picks[0]});
        e->type = MakeTy(ty.base);
        return true;
    }
    if (e->effects) {
        return Fail(t, member.line, "'." + s + "' would read a matrix that changes as it is read several times; "
                                    "keep the matrix in a variable first");
    }
    Expr whole;
    const Ty result = MakeTy(ty.base, 1, int(picks.size()));
    whole.code.push_back(Piece{member.line, e->code.front().space, ElementGlsl(t, result) + "("});
    for (size_t n = 0; n < picks.size(); n++) {
        if (n) {
            whole.code.push_back(Piece{member.line, false, ","});
        }
        Append(&whole, *e);
        whole.code.push_back(Piece{member.line, false, picks[n]});
    }
    whole.code.push_back(Piece{member.line, false, ")"});
    whole.type = result;
    *e = whole;
    return true;
}

// glstate.matrix.<which>: the GL state matrices the vendor's OpenGL profiles offer; GLSL 1.20
// has each as a built-in uniform, also transposed and inverted.
bool ParseGlState(Parser &p, int *pos, int end, Expr *out)
{
    Translator &t = p.t;
    const Token &tok = t.tokens[*pos];
    auto word = [&](int k) {
        return k + 1 < end && Is(t.tokens[k], ".") && t.tokens[k + 1].kind == TokenKind::Identifier
                   ? t.tokens[k + 1].text
                   : std::string();
    };
    const char *known = "; glstate.matrix offers mvp, modelview[0], projection and texture[0 to 7], each also "
                        "under inverse, transpose and invtrans";
    int i = *pos + 1;
    if (word(i) != "matrix") {
        return Fail(t, tok.line, "'glstate." + word(i) + "' is not available in this profile" + known);
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
        return Fail(t, tok.line, "'" + which + "' is not a state matrix" + known);
    }
    i += 2;
    int index = 0;
    if ((which == "modelview" || which == "texture") && i < end && Is(t.tokens[i], "[")) {
        const Token &n = t.tokens[i + 1];
        const int last = which == "texture" ? 7 : 0;
        if (t.tokens[i].match != i + 2 || n.kind != TokenKind::Number || n.text.size() != 1 || n.text[0] < '0' ||
            n.text[0] > '0' + last) {
            return Fail(t, tok.line, "glstate.matrix." + which + " has the entries 0 to " + std::to_string(last));
        }
        index = n.text[0] - '0';
        i += 3;
    }
    // The shader holds Cg's matrices transposed, so Cg's M is GLSL's transpose of M.
    const std::string suffix = form.empty() ? "Transpose" : form == "inverse" ? "InverseTranspose"
                             : form == "transpose" ? "" : "Inverse";
    out->code.push_back(TokPiece(tok, "gl_" + glName + "Matrix" + suffix +
                                          (which == "texture" ? "[" + std::to_string(index) + "]" : "")));
    out->type = MakeTy(Base::Float, 4, 4);
    out->variable = true;
    out->readOnly = "'glstate' is GL's state";
    out->lvalue = false;
    *pos = i;
    return true;
}

// vector.xyzw or .rgba, up to four: a scalar swizzles too in Cg (x.xxx), which GLSL 1.20 cannot.
bool Swizzle(Parser &p, const Token &member, Expr *e)
{
    Translator &t = p.t;
    const Ty ty = e->type;
    const std::string &s = member.text;
    if (s.size() >= 2 && s[0] == '_' && IsMatrix(ty)) {
        return MatrixSwizzle(p, member, e);
    }
    const char *sets[] = {"xyzw", "rgba"};
    int set = -1;
    for (int k = 0; k < 2 && set < 0; k++) {
        if (s.find_first_not_of(sets[k]) == std::string::npos) {
            set = k;
        }
    }
    if (set < 0 || s.size() > 4 || !IsNumeric(ty) || IsMatrix(ty)) {
        return Fail(t, member.line, "'" + s + "' is not a member of " + CgTypeName(t, ty));
    }
    for (char c : s) {
        if (int(std::strchr(sets[set], c) - sets[set]) >= ty.cols) {
            return Fail(t, member.line, "'." + s + "' reads past the end of a " + CgTypeName(t, ty));
        }
    }
    Ty result = MakeTy(ty.base, 1, int(s.size()));
    if (ty.cols == 1) {
        // GLSL 1.20 cannot swizzle a scalar: x.xxx is a constructor.
        if (s.size() > 1) {
            Wrap(e, member.line, ElementGlsl(t, result) + "(", ")");
        }
    } else {
        e->code.push_back(Piece{member.line, false, "." + s});
    }
    bool repeats = false;
    for (size_t a = 0; a < s.size(); a++) {
        repeats = repeats || s.find(s[a], a + 1) != std::string::npos;
    }
    e->lvalue = e->lvalue && ty.cols > 1 && !repeats;
    e->type = result;
    e->intLiteral = false;
    return true;
}

// postfix = primary ("." name | "[" expression "]" | "++" | "--")*
bool ParsePostfix(Parser &p, int *pos, int end, Expr *e)
{
    Translator &t = p.t;
    while (*pos < end) {
        const Token &tok = t.tokens[*pos];
        if (Is(tok, ".")) {
            if (*pos + 1 >= end || t.tokens[*pos + 1].kind != TokenKind::Identifier) {
                return Fail(t, tok.line, "expected a member name after '.'");
            }
            const Token &member = t.tokens[*pos + 1];
            *pos += 2;
            // A struct's member by its GLSL name; anything else with a known type is a swizzle.
            if (e->type.base == Base::Struct && e->type.array == 0) {
                const StructDef &def = t.structs[e->type.structIndex];
                const Member *found = nullptr;
                for (const Member &m : def.members) {
                    if (m.name == member.text) {
                        found = &m;
                    }
                }
                if (!found) {
                    return Fail(t, member.line, "'" + member.text + "' is not a member of struct " + def.name);
                }
                e->code.push_back(Piece{member.line, false, "." + found->glslName});
                e->type = found->type.ty;
            } else if (Known(e->type)) {
                if (!Swizzle(p, member, e)) {
                    return false;
                }
            } else {
                e->code.push_back(Piece{member.line, false, "." + GlslName(member.text)});
            }
        } else if (Is(tok, "[")) {
            Expr index;
            if (!ParseWhole(p, *pos + 1, tok.match, &index, "an index") ||
                !Convert(t, &index, MakeTy(index.type.base == Base::Unknown ? Base::Unknown : Base::Int), tok.line)) {
                return false;
            }
            Ty ty = e->type;
            if (ty.array) {
                ty.array = 0;
            } else if (IsMatrix(ty)) {
                ty.rows = 1;  // a Cg row is a GLSL column
            } else if (IsVector(ty)) {
                ty.cols = 1;
            } else if (Known(ty)) {
                return Fail(t, tok.line, "a " + CgTypeName(t, ty) + " cannot be indexed");
            }
            e->code.push_back(Piece{tok.line, false, "["});
            Append(e, index);
            e->code.push_back(Piece{t.tokens[tok.match].line, false, "]"});
            e->type = ty;
            e->intLiteral = false;
            *pos = tok.match + 1;
        } else if (Is(tok, "++") || Is(tok, "--")) {
            if (!e->lvalue) {
                return Fail(t, tok.line, e->readOnly.empty() ? "'" + tok.text + "' needs a variable"
                                                         : e->readOnly + "; '" + tok.text + "' cannot change it");
            }
            e->code.push_back(Piece{tok.line, false, tok.text});
            e->lvalue = false;
            e->effects = true;
            (*pos)++;
        } else {
            break;
        }
    }
    return true;
}

// primary = number | "true" | "false" | name | "(" type ")" unary | "(" expression ")"
//         | type "(" arguments ")" | name "(" arguments ")" | "glstate" "." ...
bool ParsePrimary(Parser &p, int *pos, int end, Expr *out)
{
    Translator &t = p.t;
    const Token &tok = t.tokens[*pos];
    *out = Expr();
    if (tok.kind == TokenKind::Number) {
        const bool isFloat = tok.text.find_first_of(".eE") != std::string::npos &&
                             tok.text.find_first_of("xX") == std::string::npos;
        out->code.push_back(TokPiece(tok, tok.text));
        out->type = MakeTy(isFloat ? Base::Float : Base::Int);
        out->intLiteral = !isFloat;
        (*pos)++;
        return true;
    }
    if (Is(tok, "(")) {
        Ty info;
        const Token &inner = t.tokens[*pos + 1];
        // "(float3)x" is a cast, "(x)" brackets: the one word inside tells them apart.
        if (tok.match == *pos + 2 && inner.kind == TokenKind::Identifier && LookupCgType(inner.text, &info) &&
            info.base != Base::Void) {
            // (T)x binds like a unary operator.
            *pos = tok.match + 1;
            if (*pos >= end) {
                return Fail(t, tok.line, "the cast to '" + inner.text + "' has no operand");
            }
            if (!ParseUnary(p, pos, end, out)) {
                return false;
            }
            const Ty to = MakeTy(info.base, info.rows, info.cols);
            if (Known(out->type) && !IsNumeric(out->type)) {
                return Fail(t, tok.line, "cannot cast a " + CgTypeName(t, out->type) + " to " + inner.text);
            }
            if (IsMatrix(to) && IsScalar(out->type)) {
                FillMatrix(t, out, to, tok.line);
            } else {
                Wrap(out, tok.line, GlslType(t, info) + "(", ")");
            }
            out->code.front().space = tok.spaceBefore;
            out->type = to;
            return true;
        }
        if (!ParseWhole(p, *pos + 1, tok.match, out, "an expression in brackets")) {
            return false;
        }
        // The brackets stay, and "(a) = 1" still writes a.
        const bool lvalue = out->lvalue;
        Wrap(out, tok.line, "(", ")");
        out->code.front().space = tok.spaceBefore;
        out->code.back().line = t.tokens[tok.match].line;
        out->lvalue = lvalue;
        *pos = tok.match + 1;
        return true;
    }
    if (tok.kind != TokenKind::Identifier) {
        return Fail(t, tok.line, tok.kind == TokenKind::End ? "the expression ends too early"
                                                            : "unexpected '" + tok.text + "'");
    }
    const bool called = *pos + 1 < end && Is(t.tokens[*pos + 1], "(");
    Ty info;
    if (LookupCgType(tok.text, &info)) {
        if (!called || info.base == Base::Void) {
            return Fail(t, tok.line, "unexpected type '" + tok.text + "'");
        }
        std::vector<Expr> args;
        if (!ParseArguments(p, *pos + 1, &args) || !NeedsNumeric(p, tok, args)) {
            return false;
        }
        if (args.empty()) {
            return Fail(t, tok.line, "the constructor " + tok.text + "() needs values");
        }
        // Cg counts the values: all of them, or one scalar spread over a vector, or one matrix
        // cut down. GLSL would read some other counts in its own way, or refuse them late.
        int total = 0;
        bool known = true;
        for (const Expr &arg : args) {
            known = known && Known(arg.type);
            total += arg.type.rows * arg.type.cols;
        }
        const int wanted = info.rows * info.cols;
        const bool spread = args.size() == 1 && IsScalar(args[0].type) && !IsMatrix(info);
        const bool cut = args.size() == 1 && IsMatrix(args[0].type) && IsMatrix(info);
        if (known && !spread && !cut && total != wanted) {
            return Fail(t, tok.line, "the constructor " + tok.text + "() takes " + std::to_string(wanted) +
                                         " values, not " + std::to_string(total));
        }
        for (Expr &arg : args) {
            if (arg.intLiteral && info.base == Base::Float && !Convert(t, &arg, MakeTy(Base::Float), tok.line)) {
                return false;
            }
        }
        *out = Call(tok, GlslType(t, info), args, MakeTy(info.base, info.rows, info.cols));
        *pos = t.tokens[*pos + 1].match + 1;
        return true;
    }
    if (tok.text == "true" || tok.text == "false") {
        out->code.push_back(TokPiece(tok, tok.text));
        out->type = MakeTy(Base::Bool);
        (*pos)++;
        return true;
    }
    if (called) {
        std::vector<Expr> args;
        const int open = *pos + 1;
        if (tok.text == "mul") {
            // Checked before its arguments are read, so a long chain of unclosed calls stops early.
            if (t.tokens[open].commas != 1) {
                return Fail(t, tok.line, "mul takes two arguments");
            }
        }
        // The program's functions come first; a library name it does not define, or whose
        // signature it does not define, is the library's.
        auto user = p.functions->find(tok.text);
        const char *refused = RefusedLibraryFunction(tok.text);
        if (user == p.functions->end() && refused) {
            return Fail(t, tok.line, "the Cg library function '" + tok.text + "' " + refused);
        }
        if (!ParseArguments(p, open, &args)) {
            return false;
        }
        *pos = t.tokens[open].match + 1;
        const LibraryFunction *library = nullptr;
        for (size_t k = 0; k < libraryFunctionCount; k++) {
            library = tok.text == libraryFunctions[k].cg ? &libraryFunctions[k] : library;
        }
        const bool inLibrary = library || tok.text == "mul";
        if (user != p.functions->end()) {
            // The program's max(a, b, c) hides only that signature: max(a, b) is still the library's.
            bool noMatch = false;
            if (UserCall(p, tok, user->second, args, out, inLibrary ? &noMatch : nullptr) || !noMatch) {
                return !t.failed;
            }
        }
        if (tok.text == "mul") {
            return MulCall(p, tok, args, out);
        }
        if (library) {
            return LibraryCall(p, tok, *library, args, out);
        }
        if (tok.text == t.entry) {
            return Fail(t, tok.line, "the entry function '" + t.entry + "' cannot be called");
        }
        return Fail(t, tok.line, "'" + tok.text + "' is not a function of this program or of the Cg library");
    }
    Ty ty;
    if (tok.text == "glstate" && !Lookup(p, tok.text, &ty)) {
        return ParseGlState(p, pos, end, out);
    }
    if (!Lookup(p, tok.text, &ty)) {
        if (t.structIndex.count(tok.text)) {
            return Fail(t, tok.line, "unexpected struct name '" + tok.text + "'");
        }
        return Fail(t, tok.line, "'" + tok.text + "' is not declared");
    }
    out->code.push_back(TokPiece(tok, GlslName(tok.text)));
    if (ty.readOnly) {
        out->readOnly = "'" + tok.text + (ty.readOnly == 'c' ? "' is const"
                                                             : "' is a uniform (in Cg, a global without static is one)");
    }
    out->lvalue = ty.readOnly == 0;
    out->variable = true;
    ty.readOnly = 0;
    out->type = ty;
    (*pos)++;
    return true;
}

// unary = ("-" | "+" | "!" | "~" | "++" | "--") unary | postfix
bool ParseUnary(Parser &p, int *pos, int end, Expr *out)
{
    Translator &t = p.t;
    DepthGuard guard(p.depth);
    if (p.depth > maxExpressionDepth) {
        return Fail(t, t.tokens[*pos].line, "expression nested too deeply");
    }
    if (*pos >= end) {
        return Fail(t, t.tokens[std::max(*pos - 1, 0)].line, "the expression ends too early");
    }
    const Token &tok = t.tokens[*pos];
    if (Is(tok, "-") || Is(tok, "+") || Is(tok, "!") || Is(tok, "~") || Is(tok, "++") || Is(tok, "--")) {
        (*pos)++;
        if (!ParseUnary(p, pos, end, out)) {
            return false;
        }
        const Ty ty = out->type;
        if (Is(tok, "~")) {
            return Fail(t, tok.line, "the bitwise operator '~' is not supported in this profile");
        }
        if (Known(ty) && !IsNumeric(ty)) {
            return Fail(t, tok.line, "'" + tok.text + "' cannot take a " + CgTypeName(t, ty));
        }
        if ((Is(tok, "++") || Is(tok, "--")) && !out->lvalue) {
            return Fail(t, tok.line, out->readOnly.empty() ? "'" + tok.text + "' needs a variable"
                                                           : out->readOnly + "; '" + tok.text + "' cannot change it");
        }
        if (Is(tok, "!") && Known(ty)) {
            if (IsMatrix(ty)) {
                return Fail(t, tok.line, "'!' cannot take a matrix");
            }
            Ty b = ty;
            b.base = Base::Bool;
            if (!Convert(t, out, b, tok.line)) {
                return false;
            }
            if (ty.cols > 1) {
                Wrap(out, tok.line, "not(", ")");
                out->code.front().space = tok.spaceBefore;
                return true;
            }
        }
        Group(out, tok.line, PrecUnary);
        const bool literal = out->intLiteral && Is(tok, "-") && out->code.size() == 1 &&
                             out->code.front().text[0] != '-';
        out->code.front().space = false;
        out->code.push_front(TokPiece(tok, tok.text));
        out->lvalue = false;
        out->intLiteral = literal;
        out->prec = PrecUnary;
        out->effects = out->effects || Is(tok, "++") || Is(tok, "--");
        if (literal) {
            // "-1" stays one literal, so that it converts to "-1.0".
            out->code.front().text += out->code[1].text;
            out->code.erase(out->code.begin() + 1);
        }
        return true;
    }
    return ParsePrimary(p, pos, end, out) && ParsePostfix(p, pos, end, out);
}

// How tightly a binary operator binds, C's order: 1 for || up to 10 for * / %; 0 for none.
int BinaryLevel(const Token &tok)
{
    if (tok.kind != TokenKind::Punct) {
        return 0;
    }
    static const std::unordered_map<std::string, int> levels = {
        {"||", 1}, {"&&", 2}, {"|", 3}, {"^", 4}, {"&", 5}, {"==", 6}, {"!=", 6}, {"<", 7}, {">", 7}, {"<=", 7},
        {">=", 7}, {"<<", 8}, {">>", 8}, {"+", 9}, {"-", 9}, {"*", 10}, {"/", 10}, {"%", 10}, {"^^", 1}};
    auto found = levels.find(tok.text);
    return found == levels.end() ? 0 : found->second;
}

// One binary operation in Cg's meaning.
bool Combine(Parser &p, const Token &op, Expr *a, Expr &b)
{
    Translator &t = p.t;
    const std::string &o = op.text;
    const Ty ta = a->type;
    const Ty tb = b.type;
    // The vertex profiles of this kind have no integer bit operations.
    if (o == "|" || o == "^" || o == "&" || o == "<<" || o == ">>" || o == "^^") {
        return Fail(t, op.line, "the operator '" + o + "' is not supported in this profile");
    }
    const int level = BinaryLevel(op);
    auto join = [&](const Ty &result) {
        // Left to right: the right operand is bracketed at the operator's own level too.
        Group(a, op.line, level);
        Group(&b, op.line, level + 1);
        a->code.push_back(TokPiece(op, o));
        Append(a, b);
        a->type = result;
        a->lvalue = false;
        a->intLiteral = false;
        a->prec = level;
    };
    if (!Known(ta) || !Known(tb)) {
        join(MakeTy(Base::Unknown));
        return true;
    }
    if (o == "==" || o == "!=") {
        if (ta.base == Base::Struct && SameType(ta, tb)) {
            join(MakeTy(Base::Bool));
            return true;
        }
    }
    if (!IsNumeric(ta) || !IsNumeric(tb)) {
        return Fail(t, op.line, "'" + o + "' cannot take " + CgTypeName(t, ta) + " and " + CgTypeName(t, tb));
    }
    if ((o == "&&" || o == "||") && (IsVector(ta) || IsVector(tb))) {
        // Per component on vectors in Cg, both sides evaluated; GLSL 1.20 has no such operator.
        const int n = IsVector(ta) ? ta.cols : tb.cols;
        if (IsMatrix(ta) || IsMatrix(tb) || (IsVector(ta) && IsVector(tb) && ta.cols != tb.cols)) {
            return Fail(t, op.line, "'" + o + "' between " + CgTypeName(t, ta) + " and " + CgTypeName(t, tb) +
                                        ": per component it needs one size");
        }
        const Ty bv = MakeTy(Base::Bool, 1, n);
        if (!Convert(t, a, bv, op.line) || !Convert(t, &b, bv, op.line)) {
            return false;
        }
        const std::string B = ElementGlsl(t, bv);
        std::string body = " { return " + B + "(";
        for (int k = 0; k < n; k++) {
            const std::string c = std::string(".") + "xyzw"[k];
            body += (k ? ", a" : "a") + c + " " + o + " b" + c;
        }
        const std::string name = Helper(t, o == "&&" ? "cgx_and" : "cgx_or", B + " %(" + B + " a, " + B + " b)",
                                        body + "); }\n");
        *a = Call(op, name, {*a, b}, bv);
        a->code.front().space = true;
        return true;
    }
    if (o == "&&" || o == "||") {
        if (!IsScalar(ta) || !IsScalar(tb)) {
            return Fail(t, op.line, "'" + o + "' cannot take " + CgTypeName(t, ta) + " and " + CgTypeName(t, tb));
        }
        if (!Convert(t, a, MakeTy(Base::Bool), op.line) || !Convert(t, &b, MakeTy(Base::Bool), op.line)) {
            return false;
        }
        join(MakeTy(Base::Bool));
        return true;
    }
    if (IsMatrix(ta) != IsMatrix(tb) && !IsScalar(ta) && !IsScalar(tb)) {
        return Fail(t, op.line, "'" + o + "' between " + CgTypeName(t, ta) + " and " + CgTypeName(t, tb) +
                                    " is element by element in Cg and their sizes differ; for a matrix product "
                                    "write mul()");
    }
    if (IsMatrix(ta) && IsMatrix(tb) && (ta.rows != tb.rows || ta.cols != tb.cols)) {
        return Fail(t, op.line, "'" + o + "' between " + CgTypeName(t, ta) + " and " + CgTypeName(t, tb) +
                                    ": the sizes differ");
    }
    Ty meet = Meet(ta, tb);
    const bool compare = o == "<" || o == ">" || o == "<=" || o == ">=" || o == "==" || o == "!=";
    // Arithmetic on bools counts them as 0 and 1, as C does.
    if (!compare && meet.base == Base::Bool) {
        meet.base = Base::Int;
    }
    if (IsMatrix(meet) && (compare || o == "%")) {
        return Fail(t, op.line, "'" + o + "' on matrices is not supported");
    }
    // Operands keep a scalar side where GLSL accepts one (v * 2.0); they meet otherwise.
    Ty toA = meet;
    Ty toB = meet;
    if (!compare && o != "%") {
        if (IsScalar(ta)) {
            toA = MakeTy(meet.base);
        }
        if (IsScalar(tb)) {
            toB = MakeTy(meet.base);
        }
    }
    if (!Convert(t, a, toA, op.line) || !Convert(t, &b, toB, op.line)) {
        return false;
    }
    // Vectors compare per component in Cg, giving a bool vector; GLSL names those functions.
    if (compare) {
        if (meet.cols == 1) {
            join(MakeTy(Base::Bool));
            return true;
        }
        const char *name = o == "<" ? "lessThan" : o == ">" ? "greaterThan" : o == "<=" ? "lessThanEqual"
                         : o == ">=" ? "greaterThanEqual" : o == "==" ? "equal" : "notEqual";
        *a = Call(op, name, {*a, b}, MakeTy(Base::Bool, 1, meet.cols));
        a->code.front().space = true;
        return true;
    }
    if (o == "%") {
        t.preamble |= meet.base == Base::Int ? PreambleIntMod : PreambleFmod | PreambleTrunc;
        *a = Call(op, meet.base == Base::Int ? "cgx_imod" : "cgx_fmod", {*a, b}, meet);
        a->code.front().space = true;
        return true;
    }
    // '*' between two matrices multiplies element by element in Cg.
    if (o == "*" && IsMatrix(ta) && IsMatrix(tb)) {
        // Element by element in Cg; GLSL's '*' would be a matrix product.
        *a = Call(op, "matrixCompMult", {*a, b}, meet);
        a->code.front().space = true;
        return true;
    }
    join(meet);
    return true;
}

// Precedence climbing over the binary operators at `minLevel` and above.
bool ParseBinary(Parser &p, int *pos, int end, int minLevel, Expr *out)
{
    Translator &t = p.t;
    if (!ParseUnary(p, pos, end, out)) {
        return false;
    }
    while (*pos < end) {
        const Token &op = t.tokens[*pos];
        const int level = BinaryLevel(op);
        if (level == 0 || level < minLevel) {
            break;
        }
        (*pos)++;
        Expr rhs;
        DepthGuard guard(p.depth);
        if (p.depth > maxExpressionDepth) {
            return Fail(t, op.line, "expression nested too deeply");
        }
        if (!ParseBinary(p, pos, end, level + 1, &rhs) || !Combine(p, op, out, rhs)) {
            return false;
        }
    }
    return true;
}

// A condition of if, while, for and '?:': one bool, converted from a number as Cg does.
bool ToCondition(Parser &p, Expr *e, int line)
{
    if (Known(e->type) && !IsScalar(e->type)) {
        return Fail(p.t, line, "the condition is a " + CgTypeName(p.t, e->type) + "; it must be one value (use "
                                                                                   "all() or any())");
    }
    return Convert(p.t, e, MakeTy(Known(e->type) ? Base::Bool : Base::Unknown), line);
}

// conditional = binary ("?" assignment ":" conditional)?
bool ParseConditional(Parser &p, int *pos, int end, Expr *out)
{
    Translator &t = p.t;
    if (!ParseBinary(p, pos, end, 1, out)) {
        return false;
    }
    if (*pos >= end || !Is(t.tokens[*pos], "?")) {
        return true;
    }
    const Token &question = t.tokens[*pos];
    (*pos)++;
    Expr a;
    Expr b;
    DepthGuard guard(p.depth);
    if (p.depth > maxExpressionDepth) {
        return Fail(t, question.line, "expression nested too deeply");
    }
    // A vector condition picks per component in Cg, and both sides are evaluated.
    const bool perComponent = Known(out->type) && IsVector(out->type);
    if ((!perComponent && !ToCondition(p, out, question.line)) || !ParseAssignment(p, pos, end, &a)) {
        return false;
    }
    if (*pos >= end || !Is(t.tokens[*pos], ":")) {
        return Fail(t, question.line, "expected ':' after '?'");
    }
    const Token &colon = t.tokens[*pos];
    (*pos)++;
    if (!ParseConditional(p, pos, end, &b)) {
        return false;
    }
    Ty ty = a.type;
    if (Known(a.type) && Known(b.type) && !SameType(a.type, b.type)) {
        if (!IsNumeric(a.type) || !IsNumeric(b.type)) {
            return Fail(t, colon.line, "the two sides of '?:' have the types " + CgTypeName(t, a.type) + " and " +
                                           CgTypeName(t, b.type));
        }
        ty = Meet(a.type, b.type);
    }
    if (perComponent) {
        const int n = out->type.cols;
        if (!IsNumeric(ty) || IsMatrix(ty) || (ty.cols > 1 && ty.cols < n)) {
            return Fail(t, colon.line, "a " + CgTypeName(t, out->type) + " condition picks per component; its sides "
                                       "must be scalars or vectors of at least " + std::to_string(n) + " components");
        }
        ty.cols = n;
        if (!Convert(t, out, MakeTy(Base::Bool, 1, n), question.line) || !Convert(t, &a, ty, colon.line) ||
            !Convert(t, &b, ty, colon.line)) {
            return false;
        }
        // GLSL 1.20 has no per-component select; a helper picks each component exactly.
        const std::string T = ElementGlsl(t, ty);
        const std::string B = "bvec" + std::to_string(n);
        std::string body = " { " + T + " r;";
        for (int k = 0; k < n; k++) {
            const std::string c = std::string(".") + "xyzw"[k];
            body += " r" + c + " = c" + c + " ? a" + c + " : b" + c + ";";
        }
        const std::string name = Helper(t, "cgx_select", T + " %(" + B + " c, " + T + " a, " + T + " b)", body + " return r; }\n");
        *out = Call(question, name, {*out, a, b}, ty);
        return true;
    }
    if (!Convert(t, &a, ty, colon.line) || !Convert(t, &b, ty, colon.line)) {
        return false;
    }
    Group(out, question.line, PrecConditional + 1);
    Group(&b, colon.line, PrecConditional);
    out->code.push_back(TokPiece(question, "?"));
    Append(out, a);
    out->code.push_back(TokPiece(colon, ":"));
    Append(out, b);
    out->prec = PrecConditional;
    out->type = ty;
    out->lvalue = false;
    out->intLiteral = false;
    return true;
}

// assignment = conditional (("=" | "+=" | "-=" | "*=" | "/=" | "%=") assignment)?
bool ParseAssignment(Parser &p, int *pos, int end, Expr *out)
{
    Translator &t = p.t;
    if (!ParseConditional(p, pos, end, out)) {
        return false;
    }
    if (*pos >= end) {
        return true;
    }
    const Token &op = t.tokens[*pos];
    static const char *const assignments[] = {"=", "+=", "-=", "*=", "/=", "%=", "<<=", ">>=", "&=", "|=", "^="};
    const char *found = nullptr;
    for (const char *a : assignments) {
        if (Is(op, a)) {
            found = a;
        }
    }
    if (!found) {
        return true;
    }
    // The bit operators' assignments, refused like the operators themselves.
    if (std::strlen(found) == 3 || Is(op, "&=") || Is(op, "|=") || Is(op, "^=")) {
        return Fail(t, op.line, "the operator '" + op.text + "' is not supported in this profile");
    }
    if (!out->lvalue) {
        return Fail(t, op.line, out->readOnly.empty() ? "the left side of '" + op.text + "' is not a variable"
                                                      : out->readOnly + "; '" + op.text + "' cannot change it");
    }
    (*pos)++;
    Expr rhs;
    DepthGuard guard(p.depth);
    if (p.depth > maxExpressionDepth) {
        return Fail(t, op.line, "expression nested too deeply");
    }
    if (!ParseAssignment(p, pos, end, &rhs)) {
        return false;
    }
    const Ty target = out->type;
    if (Is(op, "=")) {
        if (!Convert(t, &rhs, target, op.line)) {
            return false;
        }
        out->code.push_back(TokPiece(op, "="));
        Append(out, rhs);
    } else if (!out->effects) {
        // a op= b is a = a op b, with op in Cg's meaning; Combine brackets b as a unit.
        Expr value = *out;
        Token binary = op;
        binary.text = op.text.substr(0, 1);
        if (!Combine(p, binary, &value, rhs) || !Convert(t, &value, target, op.line)) {
            return false;
        }
        out->code.push_back(TokPiece(op, "="));
        Append(out, value);
    } else {
        // a[i++] += x: a copy of the target would step i twice, so the target goes once, as an
        // inout argument, to a helper that does the operation.
        std::string helper;
        if (!CompoundHelper(p, op, target, rhs.type, &helper)) {
            return false;
        }
        const bool space = out->code.front().space;
        *out = Call(op, helper, {*out, rhs}, target);
        out->code.front().space = space;
    }
    out->type = target;
    out->lvalue = false;
    out->intLiteral = false;
    out->prec = PrecAssign;
    out->effects = true;
    return true;
}

// The helper `T name(inout T a, R b) { a = a op b; return a; }` for a compound assignment, with
// op in Cg's meaning; one per operator and pair of types.
bool CompoundHelper(Parser &p, const Token &op, const Ty &target, const Ty &value, std::string *name)
{
    Translator &t = p.t;
    if (!Known(target) || !Known(value)) {
        return Fail(t, op.line, "'" + op.text + "' on a target that changes as it is read needs known types");
    }
    Expr a;
    a.code.push_back(Piece{op.line, false, "a"});
    a.type = target;
    Expr b;
    b.code.push_back(Piece{op.line, false, "b"});
    b.type = value;
    Token binary = op;
    binary.text = op.text.substr(0, 1);
    if (!Combine(p, binary, &a, b) || !Convert(t, &a, target, op.line)) {
        return false;
    }
    const std::string signature = GlslType(t, target) + " %(inout " + GlslType(t, target) + " a, " +
                                  GlslType(t, value) + " b)";
    *name = Helper(t, "cgx_assign", signature, " { a = " + ExprText(a) + "; return a; }\n");
    return true;
}

// A comma-separated list of expressions, as a for loop's clauses allow.
bool ParseExpressionList(Parser &p, int begin, int end, std::vector<Expr> *list)
{
    Translator &t = p.t;
    int i = begin;
    for (;;) {
        const int stop = ExpressionEnd(t, i, end, true);
        list->emplace_back();
        if (!ParseWhole(p, i, stop, &list->back(), "an expression")) {
            return false;
        }
        if (stop >= end) {
            return true;
        }
        i = stop + 1;
    }
}

}  // namespace cg

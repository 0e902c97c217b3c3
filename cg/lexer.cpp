// lexer.cpp -- Cg source text into tokens, and the pairing of brackets.
#include "cg/cg_internal.h"
#include "cg/cg_preprocess.h"

#include <algorithm>

#include <cstring>

namespace cg {

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(unsigned char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool IsIdentifierStart(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool IsIdentifierChar(unsigned char c) { return IsIdentifierStart(c) || IsDigit(c); }

// Cg writes 1.0f, 0.5h and 2u; GLSL 1.20 knows none of these suffixes.
bool LexNumber(Translator &t, const std::string &src, size_t *pos, int line, std::string *text)
{
    size_t n = src.size();
    size_t b = *pos;
    size_t j = b;
    if (src[b] == '0' && b + 1 < n && (src[b + 1] == 'x' || src[b + 1] == 'X')) {
        j = b + 2;
        while (j < n && IsHexDigit(src[j])) {
            j++;
        }
        if (j == b + 2) {
            return Fail(t, line, "malformed number");
        }
        *text = src.substr(b, j - b);
    } else {
        bool isFloat = false;
        while (j < n && IsDigit(src[j])) {
            j++;
        }
        if (j < n && src[j] == '.') {
            isFloat = true;
            j++;
            while (j < n && IsDigit(src[j])) {
                j++;
            }
        }
        if (j < n && (src[j] == 'e' || src[j] == 'E')) {
            size_t k = j + 1;
            if (k < n && (src[k] == '+' || src[k] == '-')) {
                k++;
            }
            if (k >= n || !IsDigit(src[k])) {
                return Fail(t, line, "malformed exponent in a number");
            }
            isFloat = true;
            j = k;
            while (j < n && IsDigit(src[j])) {
                j++;
            }
        }
        *text = src.substr(b, j - b);
        if (j < n && std::strchr("fFhHxX", src[j]) && src[j] != '\0') {
            j++;
            if (!isFloat) {
                *text += ".0";
            }
        } else if (j < n && (src[j] == 'u' || src[j] == 'U')) {
            j++;
        }
    }
    if (j < n && IsIdentifierChar(src[j])) {
        return Fail(t, line, "malformed number");
    }
    *pos = j;
    return true;
}

// The longest operator or bracket at `i`, 0 when none starts there.
size_t PunctLength(const std::string &src, size_t i)
{
    static const char *const longPuncts[] = {"<<=", ">>=", "++", "--", "+=", "-=", "*=", "/=", "%=", "==", "!=",
                                             "<=",  ">=",  "&&", "||", "^^", "<<", ">>", "&=", "|=", "^="};
    for (const char *p : longPuncts) {
        if (src[i] == p[0] && src.compare(i, std::strlen(p), p) == 0) {
            return std::strlen(p);
        }
    }
    const unsigned char c = src[i];
    return c != 0 && std::strchr("()[]{};,.:?+-*/%<>=!&|^~", c) ? 1 : 0;
}

// The length of the preprocessing number at `i`: digits, letters, dots and signed exponents, as
// C cuts them; LexNumber then reads it as a Cg number or refuses it.
size_t PpNumberLength(const std::string &src, size_t i)
{
    const size_t b = i++;
    while (i < src.size()) {
        const unsigned char d = src[i];
        if ((d == '+' || d == '-') && (src[i - 1] == 'e' || src[i - 1] == 'E')) {
            i++;
        } else if (IsIdentifierChar(d) || d == '.') {
            i++;
        } else {
            break;
        }
    }
    return i - b;
}

// Whether text[pos...] is a dot and a name, as a swizzle that follows a number is.
static bool IsSwizzleTail(const std::string &text, size_t pos)
{
    if (text[pos] != '.' || pos + 1 >= text.size() || !IsIdentifierStart(text[pos + 1])) {
        return false;
    }
    for (size_t i = pos + 2; i < text.size(); i++) {
        if (!IsIdentifierChar(text[i])) {
            return false;
        }
    }
    return true;
}

// Takes the preprocessor's tokens as the parser's: numbers lose Cg's suffixes, and what no
// rule of the language reads is refused here, with its line.
bool TakeTokens(Translator &t, const CgPreprocessResult &in)
{
    t.tokens.reserve(in.tokens.size() + 1);
    for (const CgToken &pp : in.tokens) {
        Token tok{TokenKind::Punct, pp.text, pp.line, pp.spaceBefore, -1, 0};
        if (pp.kind == CgTokenKind::Identifier) {
            if (pp.text.size() > maxIdentifierLength) {
                return Fail(t, pp.line, "identifier longer than 1024 characters");
            }
            tok.kind = TokenKind::Identifier;
        } else if (pp.kind == CgTokenKind::Number) {
            size_t pos = 0;
            if (!LexNumber(t, pp.text, &pos, pp.line, &tok.text)) {
                return false;
            }
            tok.kind = TokenKind::Number;
            // C's rule makes 1.5.xx one preprocessing number; in Cg it is a swizzle of 1.5.
            if (pos != pp.text.size() && IsSwizzleTail(pp.text, pos)) {
                t.tokens.push_back(tok);
                t.tokens.push_back(Token{TokenKind::Punct, ".", pp.line, false, -1, 0});
                tok = Token{TokenKind::Identifier, pp.text.substr(pos + 1), pp.line, false, -1, 0};
            } else if (pos != pp.text.size()) {
                return Fail(t, pp.line, "malformed number");
            }
        } else if (pp.text[0] == '#') {
            return Fail(t, pp.line, "unexpected '#' outside a preprocessor directive");
        } else if (pp.text[0] == '"') {
            return Fail(t, pp.line, "strings are not supported");
        } else if (PunctLength(pp.text, 0) != pp.text.size()) {
            return Fail(t, pp.line, "unexpected character " + ShowChar(pp.text[0]));
        }
        t.tokens.push_back(std::move(tok));
    }
    t.tokens.push_back(Token{TokenKind::End, std::string(), std::max(in.lineCount, 1), true, -1, 0});
    return true;
}

// Brackets are paired once, so that every later pass can skip a group in one step.
bool IsOpen(const Token &tok)
{
    return tok.kind == TokenKind::Punct && tok.text.size() == 1 && std::strchr("([{", tok.text[0]);
}

bool IsClose(const Token &tok)
{
    return tok.kind == TokenKind::Punct && tok.text.size() == 1 && std::strchr(")]}", tok.text[0]);
}

bool Is(const Token &tok, const char *text)
{
    return tok.kind != TokenKind::End && tok.text == text;
}

// Pairs every bracket once, so later passes skip groups in constant time and never recurse
// deeper than the bracket limit.
bool MatchBrackets(Translator &t)
{
    std::vector<int> open;
    for (int i = 0; i < int(t.tokens.size()); i++) {
        Token &tok = t.tokens[i];
        if (IsOpen(tok)) {
            if (int(open.size()) >= maxBracketDepth) {
                return Fail(t, tok.line, "brackets nested deeper than 256 levels");
            }
            open.push_back(i);
        } else if (IsClose(tok)) {
            if (open.empty()) {
                return Fail(t, tok.line, "'" + tok.text + "' without an opening bracket");
            }
            Token &opener = t.tokens[open.back()];
            const char expected = opener.text[0] == '(' ? ')' : opener.text[0] == '[' ? ']' : '}';
            if (tok.text[0] != expected) {
                return Fail(t, tok.line, "'" + tok.text + "' does not close the '" + opener.text + "' of line " +
                                             std::to_string(opener.line));
            }
            opener.match = i;
            tok.match = open.back();
            open.pop_back();
        } else if (Is(tok, ",") && !open.empty()) {
            t.tokens[open.back()].commas++;
        }
    }
    if (!open.empty()) {
        const Token &opener = t.tokens[open.front()];
        return Fail(t, opener.line, "'" + opener.text + "' is never closed");
    }
    return true;
}

}  // namespace cg

// lexer.cpp -- Cg source text into tokens, and the pairing of brackets.
#include "cg/cg_internal.h"

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

bool Lex(Translator &t, const std::string &src)
{
    static const char *const longPuncts[] = {"<<=", ">>=", "++", "--", "+=", "-=", "*=", "/=", "%=", "==", "!=",
                                             "<=",  ">=",  "&&", "||", "^^", "<<", ">>", "&=", "|=", "^="};
    size_t n = src.size();
    size_t i = 0;
    int line = 1;
    bool space = true;
    while (i < n) {
        unsigned char c = src[i];
        if (c == '\n') {
            line++;
            i++;
            space = true;
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
            i++;
            space = true;
            continue;
        }
        if (c == '/' && i + 1 < n && src[i + 1] == '/') {
            while (i < n && src[i] != '\n') {
                i++;
            }
            space = true;
            continue;
        }
        if (c == '/' && i + 1 < n && src[i + 1] == '*') {
            int start = line;
            i += 2;
            bool closed = false;
            while (i < n) {
                if (src[i] == '\n') {
                    line++;
                } else if (src[i] == '*' && i + 1 < n && src[i + 1] == '/') {
                    i += 2;
                    closed = true;
                    break;
                }
                i++;
            }
            if (!closed) {
                return Fail(t, start, "comment is never closed");
            }
            space = true;
            continue;
        }
        Token tok{TokenKind::Punct, std::string(), line, space, -1, 0};
        space = false;
        if (IsIdentifierStart(c)) {
            size_t b = i;
            while (i < n && IsIdentifierChar(src[i])) {
                i++;
            }
            if (i - b > maxIdentifierLength) {
                return Fail(t, line, "identifier longer than 1024 characters");
            }
            tok.kind = TokenKind::Identifier;
            tok.text = src.substr(b, i - b);
        } else if (IsDigit(c) || (c == '.' && i + 1 < n && IsDigit(src[i + 1]))) {
            if (!LexNumber(t, src, &i, line, &tok.text)) {
                return false;
            }
            tok.kind = TokenKind::Number;
        } else if (c == '#') {
            return Fail(t, line, "unexpected '#' outside a preprocessor directive");
        } else if (c == '"') {
            return Fail(t, line, "strings are not supported");
        } else {
            for (const char *p : longPuncts) {
                size_t len = std::strlen(p);
                if (src.compare(i, len, p) == 0) {
                    tok.text = p;
                    break;
                }
            }
            if (tok.text.empty()) {
                if (c == 0 || !std::strchr("()[]{};,.:?+-*/%<>=!&|^~", c)) {
                    return Fail(t, line, "unexpected character " + ShowChar(c));
                }
                tok.text = std::string(1, char(c));
            }
            i += tok.text.size();
        }
        t.tokens.push_back(std::move(tok));
    }
    t.tokens.push_back(Token{TokenKind::End, std::string(), line, true, -1, 0});
    return true;
}

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

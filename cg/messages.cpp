// messages.cpp -- the translator's error messages and GLSL compiler logs retold in Cg words.
#include "cg/cg_internal.h"

#include <cstring>
#include <unordered_map>

namespace cg {

// The one way an error leaves a stage: the first one ends the translation, and the entry points
// say it with the file's name.
void Fail(int line, const std::string &message)
{
    throw CgError{line, message};
}

// A byte as the user can read it in a message.
std::string ShowChar(unsigned char c)
{
    if (c >= 0x20 && c < 0x7f) {
        return std::string("'") + char(c) + "'";
    }
    const char *hex = "0123456789abcdef";
    return std::string("byte 0x") + hex[c >> 4] + hex[c & 15];
}

namespace {

// Bounded, so that a log line of digits cannot overflow the count.
int ReadLineNumber(const std::string &text, size_t begin)
{
    int line = 0;
    for (size_t k = begin; k < text.size() && IsDigit(text[k]) && line < 100000000; k++) {
        line = line * 10 + (text[k] - '0');
    }
    return line;
}

// Reads "0:12:" after glslang's "ERROR: "; *rest is what follows it.
bool ReadGlslangPrefix(const std::string &text, int *line, size_t *rest)
{
    size_t i = 0;
    while (i < text.size() && IsDigit(text[i])) {
        i++;
    }
    if (i == 0 || i >= text.size() || text[i] != ':') {
        return false;
    }
    size_t numberStart = ++i;
    while (i < text.size() && IsDigit(text[i])) {
        i++;
    }
    if (i == numberStart || i >= text.size() || text[i] != ':') {
        return false;
    }
    *line = ReadLineNumber(text, numberStart);
    *rest = i + 1;
    return true;
}

// Reads "0:12(5)" (Mesa) or "0(12)" (NVIDIA, AMD); on success *rest is what follows it.
bool ReadLogPrefix(const std::string &text, int *line, size_t *rest)
{
    size_t i = 0;
    while (i < text.size() && IsDigit(text[i])) {
        i++;
    }
    if (i == 0 || i >= text.size()) {
        return false;
    }
    size_t numberStart;
    if (text[i] == ':') {
        numberStart = ++i;
        while (i < text.size() && IsDigit(text[i])) {
            i++;
        }
        if (i == numberStart || i >= text.size() || text[i] != '(') {
            return false;
        }
        size_t closing = text.find(')', i);
        if (closing == std::string::npos) {
            return false;
        }
        *rest = closing + 1;
    } else if (text[i] == '(') {
        numberStart = ++i;
        while (i < text.size() && IsDigit(text[i])) {
            i++;
        }
        if (i == numberStart || i >= text.size() || text[i] != ')') {
            return false;
        }
        *rest = i + 1;
    } else {
        return false;
    }
    *line = ReadLineNumber(text, numberStart);
    return true;
}

// A GLSL compiler message in the words of the Cg program: its types, names and functions.
std::string CgWords(const std::string &text, const char *entry)
{
    static const std::unordered_map<std::string, std::string> words = {
        {"vec2", "float2"}, {"vec3", "float3"}, {"vec4", "float4"}, {"ivec2", "int2"}, {"ivec3", "int3"},
        {"ivec4", "int4"}, {"bvec2", "bool2"}, {"bvec3", "bool3"}, {"bvec4", "bool4"}, {"mat2", "float2x2"},
        {"mat3", "float3x3"}, {"mat4", "float4x4"}, {"mix", "lerp"}, {"fract", "frac"}, {"inversesqrt", "rsqrt"},
        {"matrixCompMult", "'*'"}, {"cgx_imod", "'%'"}, {"cgx_in0", "the input"}, {"cgx_out", "the output"}};
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        if (!IsIdentifierStart(text[i])) {
            out += text[i++];
            continue;
        }
        size_t b = i;
        while (i < text.size() && IsIdentifierChar(text[i])) {
            i++;
        }
        std::string word = text.substr(b, i - b);
        auto found = words.find(word);
        if (found != words.end()) {
            word = found->second;
        } else if (word == "cgx_entry") {
            word = entry && *entry ? entry : "main";
        } else if (word.size() == 6 && word.compare(0, 3, "mat") == 0 && word[4] == 'x') {
            word = "float" + word.substr(3);  // held transposed: GLSL matRxC is Cg floatRxC
        } else if (word.compare(0, 4, "cgu_") == 0 || word.compare(0, 4, "cgx_") == 0) {
            word = word.substr(4);
        }
        out += word;
    }
    return out;
}

}  // namespace
}  // namespace cg

using namespace cg;

// Mesa, NVIDIA, AMD and glslang each write their own prefix; all become the Cg file's.
std::string RewriteGlslLog(const std::string &log, const char *fileName, const char *entry)
{
    const std::string name = fileName ? fileName : "program";
    std::string out;
    size_t start = 0;
    while (start < log.size()) {
        size_t end = log.find('\n', start);
        if (end == std::string::npos) {
            end = log.size();
        }
        std::string text = log.substr(start, end - start);
        start = end + 1;
        int line = 0;
        size_t rest = 0;
        bool rewritten = false;
        // glslang and some drivers write "ERROR: 0:12: message".
        for (const char *kind : {"ERROR: ", "WARNING: "}) {
            size_t len = std::strlen(kind);
            if (text.compare(0, len, kind) == 0 && ReadGlslangPrefix(text.substr(len), &line, &rest)) {
                text = name + "(" + std::to_string(line) + "): " + (kind[0] == 'E' ? "error" : "warning") + ":" +
                       text.substr(len + rest);
                rewritten = true;
            }
        }
        if (!rewritten && ReadLogPrefix(text, &line, &rest)) {
            text = name + "(" + std::to_string(line) + ")" + text.substr(rest);
        }
        if (!text.empty()) {
            out += (out.empty() ? "" : "\n") + CgWords(text, entry);
        }
    }
    return out;
}

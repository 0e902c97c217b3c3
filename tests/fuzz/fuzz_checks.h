// fuzz_checks.h -- what must hold for any input to the Cg translator and the height-map loader;
// shared by the libFuzzer targets and the test that replays their corpus and regressions.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cg/cg_preprocess.h"
#include "cg/cg_translate.h"
#include "app/messages.h"
#include "scene/height_map.h"

namespace fuzzchecks {

// Translates `source` as the program does; "" when every promise of the translator holds, else
// what was broken.
inline std::string CheckCgTranslation(const std::string &source)
{
    CgTranslation out;
    bool ok = TranslateCgProgram(source, "wind.cg", "main", &out);
    if (!ok) {
        if (out.error.rfind("wind.cg(", 0) != 0) {
            return "failure without a located message: '" + out.error + "'";
        }
        if (out.errorLine < 0 || !out.glsl.empty() || !out.inputs.empty() || !out.uniforms.empty()) {
            return "failure left a partial result: " + out.error;
        }
        return "";
    }
    if (!out.error.empty()) {
        return "success with an error message: " + out.error;
    }
    if (out.glsl.rfind("#version 120\n", 0) != 0) {
        return "shader without its version line";
    }
    for (const CgVaryingInput &in : out.inputs) {
        if (in.components < 1 || in.components > 4) {
            return "input " + in.name + " with " + std::to_string(in.components) + " components";
        }
        bool generic = in.source == CgInputSource::Attribute;
        if (generic != (in.attribIndex >= firstGenericAttribute && in.attribIndex <= lastGenericAttribute) ||
            generic == in.glslName.empty()) {
            return "input " + in.name + " with attribute index " + std::to_string(in.attribIndex);
        }
        if (in.texUnit < 0 || in.texUnit >= cgTexCoordUnits || (in.texUnit && in.source != CgInputSource::TexCoord)) {
            return "input " + in.name + " with texture unit " + std::to_string(in.texUnit);
        }
    }
    for (const CgUniform &u : out.uniforms) {
        // "w[2]" and "lamp.colour" are found in GL by their path; the shader declares w and lamp.
        const std::string declared = u.glslName.substr(0, u.glslName.find_first_of("[."));
        if (declared.empty() || out.glsl.find("uniform") == std::string::npos ||
            out.glsl.find(declared) == std::string::npos) {
            return "uniform " + u.name + " missing from the shader";
        }
    }
    // The compiler log of a failed compile is rewritten too; any text must survive that.
    RewriteGlslLog(source, "wind.cg");
    return "";
}

// Preprocesses `source`; "" when its promises hold: a located message on failure, else one
// output line for every input line.
inline std::string CheckCgPreprocess(const std::string &source)
{
    CgPreprocessResult out;
    if (!PreprocessCg(source, "wind.cg", &out)) {
        size_t lines = 1;
        for (char c : source) {
            lines += c == '\n';
        }
        if (out.error.rfind("wind.cg(" + std::to_string(out.errorLine) + "): error: ", 0) != 0 ||
            out.errorLine < 1 || size_t(out.errorLine) > lines) {
            return "failure without a located message: '" + out.error + "'";
        }
        return out.text.empty() ? "" : "failure left text behind";
    }
    size_t in = 0;
    size_t made = 0;
    for (char c : source) {
        in += c == '\n';
    }
    for (char c : out.text) {
        made += c == '\n';
    }
    if (in != made) {
        return std::to_string(in + 1) + " lines became " + std::to_string(made + 1);
    }
    if (!out.error.empty()) {
        return "success with an error message";
    }
    // Each token stands on a line of the file, and the text cuts into the same tokens again: no
    // expansion glued two tokens or split one. Left out: '#', which could start a directive
    // there, and what no Cg program holds (strings, stray bytes), which may run to a line's end.
    bool hashes = false;
    for (const CgToken &tok : out.tokens) {
        if (tok.line < 1 || tok.line > out.lineCount) {
            return "token '" + tok.text + "' on line " + std::to_string(tok.line) + " of " + std::to_string(out.lineCount);
        }
        hashes = hashes || tok.text[0] == '#' || tok.kind == CgTokenKind::Other;
    }
    CgPreprocessResult again;
    if (!hashes && !PreprocessCg(out.text, "wind.cg", &again)) {
        return "the text does not preprocess again: " + again.error;
    }
    if (!hashes) {
        for (size_t k = 0; k < out.tokens.size() || k < again.tokens.size(); k++) {
            if (k >= out.tokens.size() || k >= again.tokens.size() || out.tokens[k].text != again.tokens[k].text) {
                return "the text does not cut into its tokens again at token " + std::to_string(k);
            }
        }
    }
    return "";
}

inline std::vector<std::string> &LoaderMessages()
{
    static std::vector<std::string> shown;
    return shown;
}

inline void RecordLoaderMessage(const char *caption, const char *text)
{
    LoaderMessages().push_back(std::string(caption) + ": " + text);
}

// The first byte asks for 16 times its value in bytes, the rest is the file at `path`. The
// loader must copy exactly the file's head, leave the rest of the buffer alone, and say so only
// when the file is shorter or longer than asked.
inline std::string CheckHeightMapLoad(const uint8_t *data, size_t size, const std::string &path)
{
    const int byteCount = size ? data[0] * 16 : 0;
    const uint8_t *file = size ? data + 1 : data;
    const size_t fileSize = size ? size - 1 : 0;

    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) {
        return "cannot write " + path;
    }
    if (fileSize) {
        std::fwrite(file, 1, fileSize, f);
    }
    std::fclose(f);

    // Guard bytes after the requested length catch a write past it.
    const unsigned char fill = 0xA5;
    std::vector<unsigned char> buffer(size_t(byteCount) + 64, fill);
    LoaderMessages().clear();
    SetMessageSink(RecordLoaderMessage);
    LoadHeightMap(path.c_str(), byteCount, buffer.data());
    SetMessageSink(nullptr);
    std::remove(path.c_str());

    const char *expected = fileSize < size_t(byteCount)   ? shortHeightMapMessage
                           : fileSize > size_t(byteCount) ? longHeightMapMessage
                                                          : nullptr;
    const std::vector<std::string> wanted = expected ? std::vector<std::string>{std::string("Error: ") + expected}
                                                     : std::vector<std::string>{};
    if (LoaderMessages() != wanted) {
        return "messages " + std::to_string(LoaderMessages().size()) + " for a file of " + std::to_string(fileSize) +
               " bytes with " + std::to_string(byteCount) + " asked" +
               (LoaderMessages().empty() ? "" : ": " + LoaderMessages()[0]);
    }
    size_t copied = fileSize < size_t(byteCount) ? fileSize : size_t(byteCount);
    if (copied && std::memcmp(buffer.data(), file, copied) != 0) {
        return "the buffer does not hold the file's first " + std::to_string(copied) + " bytes";
    }
    for (size_t i = copied; i < buffer.size(); i++) {
        if (buffer[i] != fill) {
            return "byte " + std::to_string(i) + " written past the file's " + std::to_string(copied) + " bytes";
        }
    }
    return "";
}

}  // namespace fuzzchecks

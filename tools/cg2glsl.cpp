// cg2glsl.cpp -- translates a Cg vertex program as the demo does and prints the GLSL vertex shader
// and its attribute table, so that an edited wind.cg can be checked without starting the demo.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "cg/cg_translate.h"

namespace {

const char *SourceName(CgInputSource source)
{
    switch (source) {
    case CgInputSource::Vertex:
        return "gl_Vertex (glVertex)";
    case CgInputSource::Color:
        return "gl_Color (glColor)";
    case CgInputSource::Normal:
        return "gl_Normal (glNormal)";
    case CgInputSource::SecondaryColor:
        return "gl_SecondaryColor (glSecondaryColor)";
    case CgInputSource::TexCoord:
        return "texture coordinates (glMultiTexCoord)";
    case CgInputSource::Attribute:
        break;
    }
    return "generic attribute";
}

int Usage()
{
    std::fprintf(stderr, "usage: cg2glsl [-entry NAME] FILE.cg\n");
    return 2;
}

}  // namespace

int main(int argc, char **argv)
{
    const char *entry = "main";
    const char *file = nullptr;
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "-entry") == 0 && i + 1 < argc) {
            entry = argv[++i];
        } else if (argv[i][0] == '-' || file) {
            return Usage();
        } else {
            file = argv[i];
        }
    }
    if (!file) {
        return Usage();
    }
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    if (!in) {
        std::fprintf(stderr, "%s: error: cannot read the file\n", file);
        return 1;
    }
    CgTranslation translation;
    if (!TranslateCgProgram(text.str(), file, entry, &translation)) {
        std::fprintf(stderr, "%s\n", translation.error.c_str());
        return 1;
    }
    std::fputs(translation.glsl.c_str(), stdout);
    std::printf("\n// attributes\n");
    for (const CgVaryingInput &input : translation.inputs) {
        if (input.source == CgInputSource::Attribute) {
            std::printf("//   %-16s %d x float  attribute %d  %s\n", input.name.c_str(), input.components,
                        input.attribIndex, input.glslName.c_str());
        } else if (input.source == CgInputSource::TexCoord) {
            std::printf("//   %-16s %d x float  gl_MultiTexCoord%d, %s\n", input.name.c_str(), input.components,
                        input.texUnit, SourceName(input.source));
        } else {
            std::printf("//   %-16s %d x float  %s\n", input.name.c_str(), input.components, SourceName(input.source));
        }
    }
    std::printf("// uniforms\n");
    for (const CgUniform &uniform : translation.uniforms) {
        std::printf("//   %-16s %d floats   %s\n", uniform.name.c_str(), CgTypeComponents(uniform.type),
                    uniform.glslName.c_str());
    }
    return 0;
}

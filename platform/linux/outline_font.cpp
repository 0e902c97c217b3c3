// outline_font.cpp -- the overlay font's face found through fontconfig, its glyphs built by FreeType.
#include "platform/outline_font.h"

#include <string>

#include <fontconfig/fontconfig.h>

#include "platform/freetype/glyph_outlines.h"

namespace {

bool FindFontFile(const char *family, std::string *path, int *index)
{
    FcPattern *pattern = FcPatternCreate();
    if (!pattern) {
        return false;
    }
    if (family) {
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8 *>(family));
    }
    FcPatternAddInteger(pattern, FC_WEIGHT, FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    // Bitmap faces have no outlines to extrude.
    FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern *match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) {
        return false;
    }
    bool found = false;
    FcChar8 *file = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) {
        *path = reinterpret_cast<const char *>(file);
        if (FcPatternGetInteger(match, FC_INDEX, 0, index) != FcResultMatch) {
            *index = 0;
        }
        found = true;
    }
    FcPatternDestroy(match);
    return found;
}

} // namespace

bool BuildOutlineFont(unsigned listBase, int first, int count, const char *family, float extrusion,
                      GlyphMetrics *metrics)
{
    std::string path;
    int faceIndex = 0;
    if (!FindFontFile(family, &path, &faceIndex)) {
        return false;
    }
    return BuildOutlineFontFromFile(listBase, first, count, path.c_str(), faceIndex, extrusion, metrics);
}

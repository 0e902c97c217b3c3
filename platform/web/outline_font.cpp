// outline_font.cpp -- the overlay font's face, shipped with the page, its glyphs built by FreeType.
#include "platform/outline_font.h"

#include "platform/freetype/glyph_outlines.h"

// The page brings Comic Neue, the face fontconfig puts in place of "Comic Sans MS" on Linux;
// a browser gives a program no access to the system's fonts.
static const char *const fontFile = "/fonts/ComicNeue-Regular.otf";

bool BuildOutlineFont(unsigned listBase, int first, int count, const char *, float extrusion,
                      GlyphMetrics *metrics)
{
    return BuildOutlineFontFromFile(listBase, first, count, fontFile, 0, extrusion, metrics);
}

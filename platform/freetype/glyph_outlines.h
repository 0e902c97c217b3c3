// glyph_outlines.h -- the outline font's display lists from one font file, shared by the platforms
// that read faces with FreeType (Linux finds the file with fontconfig, the web ships it).
#pragma once

#include "platform/outline_font.h"

// BuildOutlineFont for the face `faceIndex` of the font file at `path`: the same lists and
// metrics. False, with nothing built, when the file holds no scalable face.
bool BuildOutlineFontFromFile(unsigned listBase, int first, int count, const char *path, int faceIndex,
                              float extrusion, GlyphMetrics *metrics);

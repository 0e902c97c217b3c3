// outline_font.h -- extruded outline glyphs as GL display lists, built from a system font face.
#pragma once

// The metrics of one glyph in em units, as GLYPHMETRICSFLOAT holds them: the ink's box, where
// the box starts (x from the pen, y up from the baseline) and how far the pen moves.
struct GlyphMetrics {
    float blackBoxX, blackBoxY;
    float originX, originY;
    float cellIncX, cellIncY;
};

// Fills the display lists listBase + code for the Windows-1252 codes first .. first + count - 1
// with the glyphs of the face fontconfig matches for `family`: the em square is 1.0, the front
// face lies in z = 0 facing +z, the back face at z = -extrusion facing -z, side walls between,
// and each list ends by translating x by the glyph's advance. A code without a glyph still
// gets a list that advances (or an empty one when nothing is known). metrics[0 .. count - 1]
// receive the glyphs' metrics (zero for a code without a glyph). Returns false when no face
// could be opened; the lists and metrics are then left empty.
bool BuildOutlineFont(unsigned listBase, int first, int count, const char *family, float extrusion,
                      GlyphMetrics *metrics);

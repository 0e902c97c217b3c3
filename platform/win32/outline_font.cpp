// outline_font.cpp -- the overlay's glyph lists from CreateFontA and wglUseFontOutlinesA.
#include <windows.h>

#include "platform/outline_font.h"

#include "platform/gl_access.h"

bool BuildOutlineFont(unsigned listBase, int first, int count, const char *family, float extrusion,
                      GlyphMetrics *metrics)
{
    // The lists belong to the current context; its device context is the window's.
    HDC dc = wglGetCurrentDC();
    if (!dc || count <= 0 || count > 256) {
        return false;
    }
    // 12 units of character height (negative: not cell height), regular, ANSI, outline precision.
    HFONT font = CreateFontA(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_TT_PRECIS,
                             CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, FF_DONTCARE | DEFAULT_PITCH, family);
    if (!font) {
        return false;
    }
    HGDIOBJ previous = SelectObject(dc, font);
    GLYPHMETRICSFLOAT glyphs[256] = {};
    BOOL built = wglUseFontOutlinesA(dc, DWORD(first), DWORD(count), listBase, 0.0f, extrusion,
                                     WGL_FONT_POLYGONS, glyphs);
    // The lists hold the outlines themselves: the font is no longer needed once they are built.
    SelectObject(dc, previous);
    DeleteObject(font);
    if (metrics) {
        for (int i = 0; i < count; i++) {
            metrics[i] = {glyphs[i].gmfBlackBoxX, glyphs[i].gmfBlackBoxY,   glyphs[i].gmfptGlyphOrigin.x,
                          glyphs[i].gmfptGlyphOrigin.y, glyphs[i].gmfCellIncX, glyphs[i].gmfCellIncY};
        }
    }
    return built != FALSE;
}

// overlay.h -- the German text overlay in extruded outline letters.
#pragma once

#include <cstdint>

#include "platform/outline_font.h"

constexpr int OverlayLineCapacity = 256;
// Eight lines of settings and rate, and one for a wind program that did not compile.
constexpr int OverlayMaxLines = 9;

struct TextOverlay {
    uint32_t fontListBase;
    GlyphMetrics glyphMetrics[256];
};

extern TextOverlay textOverlay;

// One line as the overlay places it: position at depth -35, text and optional suffix.
struct OverlayLine {
    float x, y;
    char text[OverlayLineCapacity];
    const char *suffix;
    bool alert;  // a message: smaller, in a colour of its own
};

// Builds the 256 glyph lists of the overlay font for the current GL context.
void BuildFont();

// Deletes the glyph lists again while their context is current. A desktop context takes them
// with it; a browser's canvas keeps its one context for the next window.
void ReleaseFont();

// Formats one line printf-style (cut at 255 characters) and draws it from the current origin.
void PrintText(const char *format, ...);

// The lines the current state shows, in drawing order; returns how many. visibleHalfWidth is
// how far the view reaches to either side at the overlay's depth; the rate line keeps as far
// from the right edge as the left column from the left.
int ComposeOverlayLines(OverlayLine lines[OverlayMaxLines], float visibleHalfWidth);

// Where the ink of a line drawn from x = 0 ends, from the glyph metrics of the built font.
float LineInkEnd(const char *text);

// The x of a line that starts at `x` unless its ink would run past the visible half width; then
// just far enough left for the ink to end inside it.
float FitLineX(float x, float inkEnd, float visibleHalfWidth);

// The visible half width at the overlay's depth under the current projection matrix.
float VisibleHalfWidth();

// The direction in degrees as the overlay prints it: hundredths truncated, wrapped at 360.
double DirectionDegrees(float direction);

// Writes the overlay lines from the identity matrix, in yellow.
void DrawOverlay();

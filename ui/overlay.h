// overlay.h -- the German text overlay in extruded outline letters.
#pragma once

#include <cstdint>

#include "platform/outline_font.h"

constexpr int OverlayLineCapacity = 256;
constexpr int OverlayMaxLines = 8;

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
};

// Builds the 256 glyph lists of the overlay font for the current GL context.
void BuildFont();

// Formats one line printf-style (cut at 255 characters) and draws it from the current origin.
void PrintText(const char *format, ...);

// The lines the current state shows, in drawing order; returns how many.
int ComposeOverlayLines(OverlayLine lines[OverlayMaxLines]);

// The direction in degrees as the overlay prints it: hundredths truncated, wrapped at 360.
double DirectionDegrees(float direction);

// Writes the overlay lines from the identity matrix, in yellow.
void DrawOverlay();

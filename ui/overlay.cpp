// overlay.cpp -- the overlay's font, its line formatting and its lines.
#include "ui/overlay.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/gl_access.h"

#include "platform/outline_font.h"
#include "shader/shader_program.h"
#include "ui/controls.h"
#include "ui/frame.h"
#include "wind/wind.h"

TextOverlay textOverlay;

static const float overlayDepth = -35.0f;
static const float leftColumn = -19.0f;
// The message line sits under the two switches, small enough for a compiler's line to fit.
static const float alertScale = 0.75f;
static const GLfloat lineColour[3] = {1.0f, 1.0f, 0.0f};
static const GLfloat alertColour[3] = {1.0f, 0.35f, 0.25f};

static const char *const pathTexts[WindPathCount] = {
    "Wind (W): aus",
    "Wind (W): OpenGL",
    "Wind (W): Vertex Shader",
};

static const char *const modeTexts[WindModeCount] = {
    "Wind-Modus (A): aus",
    "Wind-Modus (A): eine Richtung",
    "Wind-Modus (A): Wirbel",
    "Wind-Modus (A): Dummy",
    "Wind-Modus (A): Dummy-Blast",
};

void BuildFont()
{
    textOverlay.fontListBase = glGenLists(256);
    // Codes 0 to 254 get a glyph; list 255 stays empty. A missing face leaves the lists empty.
    BuildOutlineFont(textOverlay.fontListBase, 0, 255, "Comic Sans MS", 0.05f, textOverlay.glyphMetrics);
}

void ReleaseFont()
{
    if (textOverlay.fontListBase != 0) {
        glDeleteLists(textOverlay.fontListBase, 256);
        textOverlay.fontListBase = 0;
    }
}

// Formats into the line buffer; text longer than the buffer is cut, never written past it.
static int FormatLine(char text[OverlayLineCapacity], const char *format, va_list args)
{
    int length = std::vsnprintf(text, OverlayLineCapacity, format, args);
    if (length < 0) {
        text[0] = '\0';
        return 0;
    }
    return length < OverlayLineCapacity ? length : OverlayLineCapacity - 1;
}

void PrintText(const char *format, ...)
{
    if (!format) {
        return;
    }
    char text[OverlayLineCapacity];
    va_list args;
    va_start(args, format);
    int length = FormatLine(text, format, args);
    va_end(args);

    glPushAttrib(GL_LIST_BIT);
    glListBase(textOverlay.fontListBase);
    glCallLists(length, GL_UNSIGNED_BYTE, text);
    glPopAttrib();
}

double DirectionDegrees(float direction)
{
    int32_t hundredths = int32_t(100.0 * double(direction) * 180.0 / double(Pi));
    return (hundredths % 36000) / 100.0;
}

static void AddLine(OverlayLine lines[], int &count, float x, float y, const char *suffix,
                            const char *format, ...)
{
    OverlayLine &line = lines[count++];
    line.x = x;
    line.y = y;
    line.suffix = suffix;
    line.alert = false;
    va_list args;
    va_start(args, format);
    FormatLine(line.text, format, args);
    va_end(args);
}

float LineInkEnd(const char *text)
{
    float pen = 0.0f, end = 0.0f;
    for (const char *p = text; *p; p++) {
        const GlyphMetrics &m = textOverlay.glyphMetrics[static_cast<unsigned char>(*p)];
        if (m.blackBoxX > 0.0f && pen + m.originX + m.blackBoxX > end) {
            end = pen + m.originX + m.blackBoxX;
        }
        pen += m.cellIncX;
    }
    return end;
}

float FitLineX(float x, float inkEnd, float visibleHalfWidth)
{
    return x + inkEnd <= visibleHalfWidth ? x : visibleHalfWidth - inkEnd;
}

float VisibleHalfWidth()
{
    // The projection maps x at depth d to x * m[0] / d: the edge of the view is d / m[0].
    GLfloat projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    return -overlayDepth / projection[0];
}

int ComposeOverlayLines(OverlayLine lines[OverlayMaxLines], float visibleHalfWidth)
{
    const WindSettings &s = windSettings;
    int count = 0;
    AddLine(lines, count, leftColumn, 13.5f, nullptr, "%s",
            displayToggles.wireframe ? "Drahtgitter-Modus (F3): an" : "Drahtgitter-Modus (F3): aus");
    AddLine(lines, count, leftColumn, 12.5f, nullptr, "%s",
            displayToggles.pointLight ? "Beleuchtung (F4): Punktlicht" : "Beleuchtung (F4): Standard");
    if (windProgramWatch.message[0] != '\0') {
        AddLine(lines, count, leftColumn, 11.2f, nullptr, "%s", windProgramWatch.message);
        lines[count - 1].alert = true;
    }
    AddLine(lines, count, leftColumn, -10.0f, nullptr, "%s", pathTexts[s.path]);
    if (s.path != Off) {
        AddLine(lines, count, leftColumn, -11.0f, nullptr, "%s", modeTexts[s.mode]);
        if (s.mode != Vortex && s.mode != DummyBlast) {
            AddLine(lines, count, leftColumn, -12.0f, "\xB0", "Windrichtung (E/R): %3.2f",
                    DirectionDegrees(s.direction));
        }
        AddLine(lines, count, leftColumn, -13.0f, " Prozent", "Windst\xE4rke (Y/X): %3.2f",
                double(s.strengthPercent));
        if (s.mode == Gusting || s.mode == Vortex) {
            AddLine(lines, count, leftColumn, -14.0f, " Prozent", "Windfrequenz (N/M): %3.2f",
                    double(s.frequency) * 100.0);
        }
    }
    // The rate's last digits were cut off at the right edge: the line moves in just enough to
    // keep the margin on the right that the left column keeps on the left.
    AddLine(lines, count, 16.0f, 13.5f, nullptr, "FPS: %3.0f", double(frameRateCounter.shownRate));
    OverlayLine &rate = lines[count - 1];
    const float margin = visibleHalfWidth + leftColumn;
    rate.x = FitLineX(rate.x, LineInkEnd(rate.text), visibleHalfWidth - margin);
    return count;
}

void DrawOverlay()
{
    OverlayLine lines[OverlayMaxLines];
    int count = ComposeOverlayLines(lines, VisibleHalfWidth());
    glLoadIdentity();
    glColor3fv(lineColour);
    for (int i = 0; i < count; i++) {
        glLoadIdentity();
        glTranslatef(lines[i].x, lines[i].y, overlayDepth);
        if (lines[i].alert) {
            glColor3fv(alertColour);
            glScalef(alertScale, alertScale, alertScale);
        }
        PrintText("%s", lines[i].text);
        if (lines[i].suffix) {
            PrintText("%s", lines[i].suffix);
        }
        if (lines[i].alert) {
            glColor3fv(lineColour);
        }
    }
}

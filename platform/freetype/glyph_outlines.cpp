// glyph_outlines.cpp -- extruded glyph display lists from a font file, via FreeType and the GLU tessellator.
#include "platform/freetype/glyph_outlines.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <deque>
#include <utility>
#include <vector>

#include "platform/gl_access.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include "platform/text_encoding.h"

namespace {

// Curves are cut into as few line segments as keep them within this distance (in em) of the true
// curve: under half a pixel at the overlay's size. Every segment adds four triangles that the
// software renderer draws in every frame.
constexpr double CurveDeviation = 0.02;
constexpr int MaxCurveSteps = 16;

// Equal steps for a curve whose chord error with one step is `error` font units: n steps leave
// error / n^2.
int CurveSteps(double error, double scale)
{
    double steps = std::ceil(std::sqrt(error * scale / CurveDeviation));
    return steps < 1.0 ? 1 : steps > MaxCurveSteps ? MaxCurveSteps : int(steps);
}

// |a - 2b + c|: how far three control points are from lying evenly on a line.
double SecondDifference(const FT_Vector &a, const FT_Vector &b, const FT_Vector &c)
{
    return std::hypot(double(a.x) - 2.0 * b.x + c.x, double(a.y) - 2.0 * b.y + c.y);
}

using Vertex = std::array<GLdouble, 3>;

// The flattened contours of one glyph in em units (z = 0). The vectors are kept across glyphs so
// their memory is reused; only the first contourCount are valid.
struct GlyphShape {
    std::vector<std::vector<Vertex>> contours;
    size_t contourCount;
    double scale;
    FT_Vector pen;
};

// What the tessellator callbacks share while one cap is tessellated.
struct TessContext {
    GLdouble z;
    GLdouble facing;
    // Vertices made by the combine callback; a deque keeps their addresses stable while it grows.
    std::deque<Vertex> combined;
    bool failed;
};

void AddPoint(GlyphShape *shape, double x, double y)
{
    std::vector<Vertex> &contour = shape->contours[shape->contourCount - 1];
    Vertex v = {x * shape->scale, y * shape->scale, 0.0};
    if (!contour.empty() && contour.back()[0] == v[0] && contour.back()[1] == v[1]) {
        return;
    }
    contour.push_back(v);
}

int MoveTo(const FT_Vector *to, void *user)
{
    GlyphShape *shape = static_cast<GlyphShape *>(user);
    if (shape->contourCount == shape->contours.size()) {
        shape->contours.emplace_back();
    }
    shape->contours[shape->contourCount++].clear();
    AddPoint(shape, to->x, to->y);
    shape->pen = *to;
    return 0;
}

int LineTo(const FT_Vector *to, void *user)
{
    GlyphShape *shape = static_cast<GlyphShape *>(user);
    AddPoint(shape, to->x, to->y);
    shape->pen = *to;
    return 0;
}

int ConicTo(const FT_Vector *control, const FT_Vector *to, void *user)
{
    GlyphShape *shape = static_cast<GlyphShape *>(user);
    const FT_Vector from = shape->pen;
    // A quadratic strays at most a quarter of its second difference from its chord.
    const int steps = CurveSteps(SecondDifference(from, *control, *to) / 4.0, shape->scale);
    for (int i = 1; i <= steps; i++) {
        double t = double(i) / steps;
        double u = 1.0 - t;
        double a = u * u, b = 2.0 * u * t, c = t * t;
        AddPoint(shape, a * from.x + b * control->x + c * to->x, a * from.y + b * control->y + c * to->y);
    }
    shape->pen = *to;
    return 0;
}

int CubicTo(const FT_Vector *control1, const FT_Vector *control2, const FT_Vector *to, void *user)
{
    GlyphShape *shape = static_cast<GlyphShape *>(user);
    const FT_Vector from = shape->pen;
    // A cubic strays at most three quarters of its larger second difference from its chord.
    const double bend = std::max(SecondDifference(from, *control1, *control2),
                                 SecondDifference(*control1, *control2, *to));
    const int steps = CurveSteps(bend * 0.75, shape->scale);
    for (int i = 1; i <= steps; i++) {
        double t = double(i) / steps;
        double u = 1.0 - t;
        double a = u * u * u, b = 3.0 * u * u * t, c = 3.0 * u * t * t, d = t * t * t;
        AddPoint(shape, a * from.x + b * control1->x + c * control2->x + d * to->x,
                 a * from.y + b * control1->y + c * control2->y + d * to->y);
    }
    shape->pen = *to;
    return 0;
}

// Drops the closing point that repeats the first, and contours too small to enclose anything.
void TidyContours(GlyphShape *shape)
{
    size_t kept = 0;
    for (size_t i = 0; i < shape->contourCount; i++) {
        std::vector<Vertex> &contour = shape->contours[i];
        if (contour.size() > 1 && contour.front()[0] == contour.back()[0] &&
            contour.front()[1] == contour.back()[1]) {
            contour.pop_back();
        }
        if (contour.size() >= 3) {
            std::swap(shape->contours[kept++], contour);
        }
    }
    shape->contourCount = kept;
}

// The cap's normal is set inside its primitive: a normal set between primitives splits the list's
// draw there, and the software renderer pays for every split in every frame.
void GLAPIENTRY TessBegin(GLenum type, void *polygon)
{
    glBegin(type);
    glNormal3d(0.0, 0.0, static_cast<TessContext *>(polygon)->facing);
}

void GLAPIENTRY TessVertex(void *vertex, void *polygon)
{
    const GLdouble *v = static_cast<const GLdouble *>(vertex);
    glVertex3d(v[0], v[1], static_cast<TessContext *>(polygon)->z);
}

// With an edge-flag callback the tessellator hands over plain triangles, never fans or strips,
// and the outline's own edges are marked, so a wire-frame glyph shows its outline alone.
void GLAPIENTRY TessEdgeFlag(GLboolean flag)
{
    glEdgeFlag(flag);
}

void GLAPIENTRY TessEnd()
{
    glEnd();
}

void GLAPIENTRY TessCombine(GLdouble coords[3], void *[4], GLfloat[4], void **out, void *polygon)
{
    TessContext *context = static_cast<TessContext *>(polygon);
    context->combined.push_back({coords[0], coords[1], coords[2]});
    *out = context->combined.back().data();
}

void GLAPIENTRY TessError(GLenum, void *polygon)
{
    static_cast<TessContext *>(polygon)->failed = true;
}

// One flat cap at depth z; the tessellator winds its triangles counter-clockwise about `facing`.
// Returns false when the tessellator reported an error.
bool DrawCap(GLUtesselator *tess, TessContext *context, GlyphShape *shape, GLdouble z, GLdouble facing)
{
    context->z = z;
    context->facing = facing;
    context->failed = false;
    gluTessNormal(tess, 0.0, 0.0, facing);
    gluTessBeginPolygon(tess, context);
    for (size_t i = 0; i < shape->contourCount; i++) {
        gluTessBeginContour(tess);
        for (Vertex &v : shape->contours[i]) {
            gluTessVertex(tess, v.data(), v.data());
        }
        gluTessEndContour(tess);
    }
    gluTessEndPolygon(tess);
    // Whatever is drawn after the glyph keeps all its edges.
    glEdgeFlag(GL_TRUE);
    context->combined.clear();
    return !context->failed;
}

// Quads joining the front and back contours, wound and lit to face away from the filled side.
void DrawWalls(const GlyphShape &shape, GLdouble depth, bool fillOnLeft)
{
    glBegin(GL_QUADS);
    for (size_t i = 0; i < shape.contourCount; i++) {
        const std::vector<Vertex> &contour = shape.contours[i];
        for (size_t j = 0; j < contour.size(); j++) {
            const Vertex &a = contour[j];
            const Vertex &b = contour[(j + 1) % contour.size()];
            double dx = b[0] - a[0], dy = b[1] - a[1];
            double length = std::sqrt(dx * dx + dy * dy);
            if (length == 0.0) {
                continue;
            }
            if (fillOnLeft) {
                glNormal3d(dy / length, -dx / length, 0.0);
                glVertex3d(a[0], a[1], 0.0);
                glVertex3d(a[0], a[1], -depth);
                glVertex3d(b[0], b[1], -depth);
                glVertex3d(b[0], b[1], 0.0);
            } else {
                glNormal3d(-dy / length, dx / length, 0.0);
                glVertex3d(a[0], a[1], 0.0);
                glVertex3d(b[0], b[1], 0.0);
                glVertex3d(b[0], b[1], -depth);
                glVertex3d(a[0], a[1], -depth);
            }
        }
    }
    glEnd();
}

// The advance of a space, for codes the face has no glyph for; -1 when the face has none.
FT_Pos FindFallbackAdvance(FT_Face face)
{
    FT_UInt space = FT_Get_Char_Index(face, ' ');
    if (space == 0 || FT_Load_Glyph(face, space, FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP) != 0) {
        return -1;
    }
    return face->glyph->metrics.horiAdvance;
}

// Compiles the body of one glyph's list; the caller opens and closes the list.
void DrawGlyph(FT_Face face, FT_UInt glyphIndex, FT_Pos fallbackAdvance, float extrusion,
               GLUtesselator *tess, TessContext *context, GlyphShape *shape, GlyphMetrics *metrics)
{
    const double scale = 1.0 / face->units_per_EM;
    *metrics = GlyphMetrics{};
    if (glyphIndex == 0 || FT_Load_Glyph(face, glyphIndex, FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP) != 0) {
        if (fallbackAdvance >= 0) {
            metrics->cellIncX = float(fallbackAdvance * scale);
            glTranslatef(metrics->cellIncX, 0.0f, 0.0f);
        }
        return;
    }
    FT_GlyphSlot slot = face->glyph;
    FT_Pos advance = slot->metrics.horiAdvance;
    metrics->blackBoxX = float(slot->metrics.width * scale);
    metrics->blackBoxY = float(slot->metrics.height * scale);
    metrics->originX = float(slot->metrics.horiBearingX * scale);
    metrics->originY = float(slot->metrics.horiBearingY * scale);
    metrics->cellIncX = float(advance * scale);
    if (slot->format == FT_GLYPH_FORMAT_OUTLINE && slot->outline.n_contours > 0) {
        FT_Outline_Funcs funcs = {};
        funcs.move_to = MoveTo;
        funcs.line_to = LineTo;
        funcs.conic_to = ConicTo;
        funcs.cubic_to = CubicTo;
        shape->contourCount = 0;
        shape->scale = scale;
        if (FT_Outline_Decompose(&slot->outline, &funcs, shape) == 0) {
            TidyContours(shape);
        } else {
            shape->contourCount = 0;
        }
        if (shape->contourCount > 0) {
            GLdouble winding = (slot->outline.flags & FT_OUTLINE_EVEN_ODD_FILL) ? GLU_TESS_WINDING_ODD
                                                                                 : GLU_TESS_WINDING_NONZERO;
            gluTessProperty(tess, GLU_TESS_WINDING_RULE, winding);
            bool fillOnLeft = FT_Outline_Get_Orientation(&slot->outline) == FT_ORIENTATION_POSTSCRIPT;
            // A shape the tessellator rejects is left as far as it got rather than half-built three times.
            if (DrawCap(tess, context, shape, 0.0, 1.0) && DrawCap(tess, context, shape, -extrusion, -1.0)) {
                DrawWalls(*shape, extrusion, fillOnLeft);
            }
        }
    }
    glTranslatef(metrics->cellIncX, 0.0f, 0.0f);
}

} // namespace

bool BuildOutlineFontFromFile(unsigned listBase, int first, int count, const char *path, int faceIndex,
                              float extrusion, GlyphMetrics *metrics)
{
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) {
        return false;
    }
    FT_Face face = nullptr;
    if (FT_New_Face(library, path, faceIndex, &face) != 0) {
        FT_Done_FreeType(library);
        return false;
    }
    GLUtesselator *tess = nullptr;
    if (FT_IS_SCALABLE(face) && face->units_per_EM > 0) {
        tess = gluNewTess();
    }
    if (!tess) {
        FT_Done_Face(face);
        FT_Done_FreeType(library);
        return false;
    }
    gluTessCallback(tess, GLU_TESS_BEGIN_DATA, reinterpret_cast<_GLUfuncptr>(TessBegin));
    gluTessCallback(tess, GLU_TESS_VERTEX_DATA, reinterpret_cast<_GLUfuncptr>(TessVertex));
    gluTessCallback(tess, GLU_TESS_EDGE_FLAG, reinterpret_cast<_GLUfuncptr>(TessEdgeFlag));
    gluTessCallback(tess, GLU_TESS_END, reinterpret_cast<_GLUfuncptr>(TessEnd));
    gluTessCallback(tess, GLU_TESS_COMBINE_DATA, reinterpret_cast<_GLUfuncptr>(TessCombine));
    gluTessCallback(tess, GLU_TESS_ERROR_DATA, reinterpret_cast<_GLUfuncptr>(TessError));

    const FT_Pos fallbackAdvance = FindFallbackAdvance(face);
    TessContext context = {};
    GlyphShape shape = {};
    for (int code = first; code < first + count; code++) {
        uint32_t unicode = (code >= 0 && code <= 0xFF) ? Cp1252ToUnicode(static_cast<unsigned char>(code)) : 0;
        FT_UInt glyphIndex = unicode ? FT_Get_Char_Index(face, unicode) : 0;
        glNewList(listBase + unsigned(code), GL_COMPILE);
        DrawGlyph(face, glyphIndex, fallbackAdvance, extrusion, tess, &context, &shape, &metrics[code - first]);
        glEndList();
    }

    gluDeleteTess(tess);
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    return true;
}

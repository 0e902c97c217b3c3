// blades.cpp -- the blades of the meadow, rebuilt and sent in immediate mode every frame.
#include "grass/blades.h"

#include "platform/gl_access.h"

#include "grass/grass_field.h"
#include "shader/shader_program.h"
#include "wind/wind.h"

// Each coordinate is formed in double from the stored floats of the row below.
static Vec3 RowVertex(Vec3 below, double dx, double dy, double rise, double e, double lean, double a,
                      double b)
{
    return Vec3{float(below.x + dx + lean * a), float(below.y + dy + lean * b), float(below.z + rise + e)};
}

void BuildBladeVertices(float leanX, float leanY, float heightExtra, const float segmentLeanScale[3],
                        Vec3 v[BladeVertexCount])
{
    const double a = leanX, b = leanY, e = heightExtra;
    const double k1 = segmentLeanScale[0], k2 = segmentLeanScale[1], k3 = segmentLeanScale[2];
    v[S0] = Vec3{0.0f, 0.2f, 0.0f};
    v[L0] = Vec3{-0.15f, 0.0f, 0.0f};
    v[R0] = Vec3{0.15f, 0.0f, 0.0f};
    v[S1] = RowVertex(v[S0], 0.0, -0.03, 1.5, e, k1, a, b);
    v[L1] = RowVertex(v[L0], 0.05, 0.02, 1.5, e, k1, a, b);
    v[R1] = RowVertex(v[R0], -0.05, 0.02, 1.5, e, k1, a, b);
    v[S2] = RowVertex(v[S1], 0.0, -0.04, 1.4, e, k2, a, b);
    v[L2] = RowVertex(v[L1], 0.04, 0.01, 1.4, e, k2, a, b);
    v[R2] = RowVertex(v[R1], -0.04, 0.01, 1.4, e, k2, a, b);
    v[T] = RowVertex(v[S2], 0.0, -0.06, 1.1, e, k3, a, b);
}

BendFactors BladeBendFactors(float heightExtra)
{
    const double e = heightExtra;
    return BendFactors{float(1.5 + e), float(2.0 * e + 2.9), float(3.0 * e + 4.0)};
}

void BendBladeVertices(Vec3 v[BladeVertexCount], const BladeBend &b, const RowBend rows[BendRowCount])
{
    if (!b.bends) {
        return;
    }
    const RowBend &tip = rows[0], &row2 = rows[1], &row1 = rows[2];
    v[T] = BendVertex(b, tip, v[T]);
    v[S2] = BendVertex(b, row2, v[S2]);
    v[L2] = BendVertex(b, row2, v[L2]);
    v[R2] = BendVertex(b, row2, v[R2]);
    v[S1] = BendVertex(b, row1, v[S1]);
    v[L1] = BendVertex(b, row1, v[L1]);
    v[R1] = BendVertex(b, row1, v[R1]);
}

static void Emit(const Vec3 &v)
{
    glVertex3f(v.x, v.y, v.z);
}

static void EmitWith(GLubyte green, float bend, const Vec3 &v)
{
    glColor4ub(0, green, 0, 255);
    cgGLSetParameter1f(shaderProgram.sl, bend);
    glVertex3f(v.x, v.y, v.z);
}

// One fan for the tip and two strips for the segments, upper first; the foot triangle is open.
static void EmitBlade(const Vec3 v[BladeVertexCount], const GLubyte green[4], const BendFactors &f)
{
    const float s0 = 0.0f;
    glBegin(GL_TRIANGLE_FAN);
    EmitWith(green[3], f.tip, v[T]);
    EmitWith(green[2], f.row2, v[L2]);
    Emit(v[R2]);
    Emit(v[S2]);
    Emit(v[L2]);
    glEnd();

    glBegin(GL_TRIANGLE_STRIP);
    Emit(v[L2]);
    EmitWith(green[1], f.row1, v[L1]);
    EmitWith(green[2], f.row2, v[S2]);
    EmitWith(green[1], f.row1, v[S1]);
    EmitWith(green[2], f.row2, v[R2]);
    EmitWith(green[1], f.row1, v[R1]);
    EmitWith(green[2], f.row2, v[L2]);
    EmitWith(green[1], f.row1, v[L1]);
    glEnd();

    glBegin(GL_TRIANGLE_STRIP);
    Emit(v[L1]);
    EmitWith(green[0], s0, v[L0]);
    EmitWith(green[1], f.row1, v[S1]);
    EmitWith(green[0], s0, v[S0]);
    EmitWith(green[1], f.row1, v[R1]);
    EmitWith(green[0], s0, v[R0]);
    EmitWith(green[1], f.row1, v[L1]);
    EmitWith(green[0], s0, v[L0]);
    glEnd();
}

void DrawBlades()
{
    const GrassField &g = grassField;
    const WindPath path = windSettings.path;
    const float modeNumber = float(windSettings.mode);

    // The program gets camera and projection only: the field shift and the feet are its own.
    cgGLSetStateMatrixParameter(shaderProgram.modelViewProj, CG_GL_MODELVIEW_PROJECTION_MATRIX,
                                CG_GL_MATRIX_IDENTITY);
    if (path == VertexShader) {
        cgGLEnableProfile(shaderProgram.profile);
        cgGLBindProgram(shaderProgram.program);
    }
    glTranslatef(-5.12f, -5.12f, 0.0f);

    // The blades go in runs: a run's wind vectors and processor bends are formed together
    // before any of it is drawn, so that the bends' work overlaps.
    const int run = 64;
    for (int first = 0; first < BladeCount; first += run) {
        const int count = BladeCount - first < run ? BladeCount - first : run;
        Vec3 w[run];
        BendFactors f[run];
        float arcs[run][BendRowCount];
        BladeBend bends[run];
        RowBend rows[run][BendRowCount];
        for (int n = 0; n < count; n++) {
            w[n] = BladeWindVector(first + n);
            f[n] = BladeBendFactors(g.heightExtra[first + n]);
            RowArcs(f[n], arcs[n]);
        }
        if (path == Cpu) {
            PrepareBends(first, count, w, arcs, bends, rows);
        }

        for (int n = 0; n < count; n++) {
            const int i = first + n;
            glTranslatef(g.baseX[i], g.baseY[i], g.baseHeight[i]);

            Vec3 v[BladeVertexCount];
            BuildBladeVertices(g.leanX[i], g.leanY[i], g.heightExtra[i], g.segmentLeanScale, v);
            const int32_t offset = g.greenOffset[i];
            const GLubyte green[4] = {GLubyte(offset + 35), GLubyte(offset + 65), GLubyte(offset + 95),
                                      GLubyte(offset + 125)};
            if (path == Cpu) {
                BendBladeVertices(v, bends[n], rows[n]);
            }
            cgGLSetParameter3f(shaderProgram.zfeldpos, g.baseX[i], g.baseY[i], g.baseHeight[i]);
            cgGLSetParameter3f(shaderProgram.wind, w[n].x, w[n].y, modeNumber);

            EmitBlade(v, green, f[n]);

            // Undone by the opposite translation, not the matrix stack.
            glTranslatef(-g.baseX[i], -g.baseY[i], -g.baseHeight[i]);
        }
    }

    if (path == VertexShader) {
        cgGLDisableProfile(shaderProgram.profile);
    }
}

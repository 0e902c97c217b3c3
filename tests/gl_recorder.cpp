// gl_recorder.cpp -- swaps libepoxy's dispatch pointers for recording forwarders.
#include "tests/gl_recorder.h"

#include <sstream>

#include <SDL.h>
#include <epoxy/gl.h>

namespace {

std::vector<GlCall> recorded;
// Recorders may nest; only the outermost one installs and removes the forwarders.
int depth;

void Record(const char *name, std::initializer_list<double> args)
{
    recorded.push_back(GlCall{name, std::vector<double>(args)});
}

#define LIST(...) {__VA_ARGS__}
#define NONE {}

// One real pointer per hooked function; the forwarder records, then calls it. The real one comes
// from the context, not from libepoxy's pointer: an unresolved pointer is a stub that calls
// through the dispatch pointer again, which is then the forwarder.
#define HOOK(fn, params, args, values)                                                        \
    decltype(epoxy_gl##fn) real##fn, saved##fn;                                               \
    void EPOXY_CALLSPEC Record##fn params                                                     \
    {                                                                                         \
        Record(#fn, values);                                                                      \
        real##fn args;                                                                        \
    }

HOOK(Begin, (GLenum mode), (mode), LIST(double(mode)))
HOOK(End, (), (), NONE)
HOOK(Vertex3f, (GLfloat x, GLfloat y, GLfloat z), (x, y, z), LIST(x, y, z))
HOOK(Vertex3d, (GLdouble x, GLdouble y, GLdouble z), (x, y, z), LIST(x, y, z))
HOOK(Color3f, (GLfloat r, GLfloat g, GLfloat b), (r, g, b), LIST(r, g, b))
HOOK(Color4ub, (GLubyte r, GLubyte g, GLubyte b, GLubyte a), (r, g, b, a),
     LIST(double(r), double(g), double(b), double(a)))
HOOK(Normal3d, (GLdouble x, GLdouble y, GLdouble z), (x, y, z), LIST(x, y, z))
HOOK(Translatef, (GLfloat x, GLfloat y, GLfloat z), (x, y, z), LIST(x, y, z))
HOOK(LoadIdentity, (), (), NONE)
HOOK(MultiTexCoord1f, (GLenum t, GLfloat x), (t, x), LIST(double(t), x))
HOOK(MultiTexCoord3f, (GLenum t, GLfloat x, GLfloat y, GLfloat z), (t, x, y, z), LIST(double(t), x, y, z))
HOOK(UseProgram, (GLuint p), (p), LIST(double(p)))
HOOK(NewList, (GLuint list, GLenum mode), (list, mode), LIST(double(list), double(mode)))
HOOK(EndList, (), (), NONE)
HOOK(ListBase, (GLuint base), (base), LIST(double(base)))
HOOK(CallLists, (GLsizei n, GLenum type, const void *lists), (n, type, lists), LIST(double(n)))

#undef HOOK
#undef LIST
#undef NONE

#define EACH_HOOK(X)                                                                          \
    X(Begin) X(End) X(Vertex3f) X(Vertex3d) X(Color3f) X(Color4ub) X(Normal3d) X(Translatef)  \
    X(LoadIdentity) X(MultiTexCoord1f) X(MultiTexCoord3f) X(UseProgram) X(NewList) X(EndList)   \
    X(ListBase) X(CallLists)

}  // namespace

GlRecorder::GlRecorder()
{
    if (depth++ > 0) {
        return;
    }
    recorded.clear();
#define INSTALL(fn)                                                                   \
    saved##fn = epoxy_gl##fn;                                                         \
    real##fn = reinterpret_cast<decltype(real##fn)>(SDL_GL_GetProcAddress("gl" #fn)); \
    epoxy_gl##fn = Record##fn;
    EACH_HOOK(INSTALL)
#undef INSTALL
}

GlRecorder::~GlRecorder()
{
    if (--depth > 0) {
        return;
    }
#define RESTORE(fn) epoxy_gl##fn = saved##fn;
    EACH_HOOK(RESTORE)
#undef RESTORE
}

const std::vector<GlCall> &GlRecorder::calls() const
{
    return recorded;
}

std::vector<GlCall> GlRecorder::Only(const std::string &name) const
{
    std::vector<GlCall> out;
    for (const GlCall &c : recorded) {
        if (c.name == name) {
            out.push_back(c);
        }
    }
    return out;
}

std::string Describe(const GlCall &call)
{
    std::ostringstream out;
    out.precision(9);
    out << call.name << "(";
    for (size_t i = 0; i < call.args.size(); i++) {
        out << (i ? ", " : "") << call.args[i];
    }
    out << ")";
    return out.str();
}

// gl_recorder.h -- records the GL calls a piece of drawing makes, through libepoxy's dispatch pointers.
#pragma once

#include <string>
#include <vector>

// One call as it was made: its name without the "gl" prefix and its arguments widened to double.
struct GlCall {
    std::string name;
    std::vector<double> args;
};

// While alive, the calls below are recorded and still passed on to GL: Begin, End, Vertex3f,
// Vertex3d, Color3f, Color4ub, Normal3d, Translatef, LoadIdentity, MultiTexCoord1f,
// MultiTexCoord3f, UseProgram, NewList, EndList, ListBase, CallLists (its count only). A recorder
// made while another lives adds to the outer one's record.
class GlRecorder {
public:
    GlRecorder();
    ~GlRecorder();
    GlRecorder(const GlRecorder &) = delete;
    GlRecorder &operator=(const GlRecorder &) = delete;

    const std::vector<GlCall> &calls() const;
    // The recorded calls of one name, in order.
    std::vector<GlCall> Only(const std::string &name) const;
};

std::string Describe(const GlCall &call);

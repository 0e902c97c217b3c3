// cg_feedback.h -- runs a GLSL vertex shader on points under transform feedback and reads back
// what it wrote; shared by the Cg program tests and the reference-compiler comparison.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "cg/cg_translate.h"

// The generic attributes a translation reads, each GLSL name with the index it is bound at.
std::vector<std::pair<std::string, int>> TranslationAttributes(const CgTranslation &translation);

// Compiles `glsl` as a vertex shader, binds the generic attributes, names the outputs to capture
// (interleaved, in this order) and links. Returns the program, or 0 with the compile or link
// log in *why.
unsigned LinkFeedbackProgram(const std::string &glsl, const std::vector<std::pair<std::string, int>> &attributes,
                             const std::vector<std::string> &captured, std::string *why);

// Floats each captured output occupies in the feedback buffer, in capture order.
std::vector<int> CapturedComponents(unsigned program);

// Draws `vertexCount` points with `program`; feed(v) sets the current attributes of vertex v
// and ends with its glVertex call. Returns what the program wrote, the captured outputs of each
// vertex one after the other. Vertex colours are not clamped, so what is written is what is read.
std::vector<float> CaptureFeedback(unsigned program, int vertexCount, const std::function<void(int)> &feed);

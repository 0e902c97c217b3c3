// feedback_capture.h -- a translated Cg vertex program run under GL with its outputs captured by
// transform feedback: the Cg programs test and the parity benchmark share it.
#pragma once

#include <string>
#include <vector>

#include <epoxy/gl.h>

#include "platform/cg_translate.h"

// True when this GL records vertex outputs (GL 3.0, or the extension); *why says why not.
bool TransformFeedbackAvailable(std::string *why);

// Compiles and links the translation's program with `captured` (GLSL output names) recorded,
// every attribute input bound at its index. The program, or 0 with *why set.
GLuint BuildCaptureProgram(const CgTranslation &translation, const std::vector<const char *> &captured,
                           const char *fileName, std::string *why);

// One capture of `floats` floats: begin, draw points with the program bound, end.
struct FeedbackCapture {
    GLuint buffer;
    GLuint query;
    size_t floats;
};
void BeginCapture(FeedbackCapture *capture, GLuint program, size_t floats);
// Reads the captured floats into `out`; the count of points recorded, or -1 after a GL error.
int EndCapture(FeedbackCapture *capture, float *out);

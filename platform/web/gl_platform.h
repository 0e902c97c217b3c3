// gl_platform.h -- GL 1.1 and the GL 2.0 shader calls through gl4es over WebGL, and GLU built for it.
#pragma once

// gl4es's GL/gl.h renames every entry point to gl4es's own (gl4es_glBegin), so the calls below
// reach gl4es rather than the browser's WebGL bindings.
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

// gl_platform.h -- GL through libepoxy, which resolves every entry point beyond 1.1 itself.
#pragma once

#include <epoxy/gl.h>
#include <GL/glu.h>

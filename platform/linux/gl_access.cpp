// gl_access.cpp -- GL version query through libepoxy.
#include "platform/gl_access.h"

bool GlShadersAvailable()
{
    return epoxy_gl_version() >= 20;
}

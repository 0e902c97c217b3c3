// gl_access.cpp -- the GL 2.0 calls fetched with wglGetProcAddress for the current context.
#include <windows.h>

#include "platform/gl_access.h"

#include <cstdlib>

GlShaderCalls glShaderCalls;
static bool shaderCallsLoaded;

// A call of no particular type, as function pointers are converted between types.
typedef void (*AnyCall)();

// Some drivers answer 1, 2, 3 or -1 instead of null for a call they lack.
static AnyCall FetchCall(const char *name)
{
    PROC call = wglGetProcAddress(name);
    intptr_t value = reinterpret_cast<intptr_t>(call);
    return value >= -1 && value <= 3 ? nullptr : reinterpret_cast<AnyCall>(call);
}

// The major version at the start of GL_VERSION ("4.5 (Compatibility Profile) Mesa ...").
static int GlMajorVersion()
{
    const char *version = reinterpret_cast<const char *>(glGetString(GL_VERSION));
    return version ? std::atoi(version) : 0;
}

bool LoadGlShaderCalls()
{
    glShaderCalls = GlShaderCalls{};
    shaderCallsLoaded = false;
    if (GlMajorVersion() < 2) {
        return false;
    }
    bool all = true;
#define HALMWIND_GL_FETCH(type, name)                                  \
    glShaderCalls.name##_ = reinterpret_cast<type>(FetchCall(#name));  \
    all = all && glShaderCalls.name##_ != nullptr;
    HALMWIND_GL_SHADER_CALLS(HALMWIND_GL_FETCH)
#undef HALMWIND_GL_FETCH
    shaderCallsLoaded = all;
    return all;
}

bool GlShadersAvailable()
{
    return shaderCallsLoaded;
}

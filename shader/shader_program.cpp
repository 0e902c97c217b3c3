// shader_program.cpp -- set-up and release of the wind vertex program.
#include "shader/shader_program.h"

#include <cstdio>
#include <cstring>

#include "app/messages.h"

ShaderProgram shaderProgram;
WindProgramWatch windProgramWatch;

static const char *const windProgramFile = "wind.cg";

static bool Fail(const char *text)
{
    ShowMessage("Error", text, BoxIcon::None);
    return false;
}

// The six parameters of the current program. Missing ones stay null; setting through a null
// handle does nothing.
static void LookUpParameters()
{
    shaderProgram.position = cgGetNamedParameter(shaderProgram.program, "IN.position");
    shaderProgram.color = cgGetNamedParameter(shaderProgram.program, "IN.color");
    shaderProgram.zfeldpos = cgGetNamedParameter(shaderProgram.program, "IN.zfeldpos");
    shaderProgram.wind = cgGetNamedParameter(shaderProgram.program, "IN.wind");
    shaderProgram.sl = cgGetNamedParameter(shaderProgram.program, "IN.sl");
    shaderProgram.modelViewProj = cgGetNamedParameter(shaderProgram.program, "ModelViewProj");
}

bool SetupShaderProgram()
{
    shaderProgram.context = cgCreateContext();
    if (!shaderProgram.context) {
        return Fail("Failed To Create Cg Context");
    }
    shaderProgram.profile = cgGLGetLatestProfile(CG_GL_VERTEX);
    if (shaderProgram.profile == CG_PROFILE_UNKNOWN) {
        return Fail("Invalid profile type");
    }
    cgGLSetOptimalOptions(shaderProgram.profile);

    // The stamp before the text: a save while it is read shows as a change at the next look.
    const FileStamp stamp = ReadFileStamp(windProgramFile);
    shaderProgram.program = cgCreateProgramFromFile(shaderProgram.context, CG_SOURCE, windProgramFile,
                                                    shaderProgram.profile, "main", nullptr);
    if (!shaderProgram.program) {
        return Fail(cgGetErrorString(cgGetError()));
    }
    cgGLLoadProgram(shaderProgram.program);
    LookUpParameters();
    if (windProgramWatch.message[0] != '\0') {
        ShowStatus("");
    }
    windProgramWatch = WindProgramWatch{};
    windProgramWatch.taken = stamp;
    windProgramWatch.seen = stamp;
    return true;
}

void ReleaseShaderContext()
{
    cgDestroyContext(shaderProgram.context);
    shaderProgram = ShaderProgram{};
}

// The compiler's own words, "wind.cg(2): error: ...", without the runtime's first line.
static void KeepMessage(const char *text)
{
    const char *newline = std::strchr(text, '\n');
    const char *detail = newline && newline[1] ? newline + 1 : text;
    std::snprintf(windProgramWatch.message, sizeof windProgramWatch.message, "%s", detail);
    // One line on the overlay: a message of several lines shows its first.
    windProgramWatch.message[std::strcspn(windProgramWatch.message, "\r\n")] = '\0';
}

bool ReloadShaderProgram()
{
    CGprogram program = cgCreateProgramFromFile(shaderProgram.context, CG_SOURCE, windProgramFile,
                                                shaderProgram.profile, "main", nullptr);
    if (!program) {
        KeepMessage(cgGetErrorString(cgGetError()));
        ShowStatus(windProgramWatch.message);
        return false;
    }
    cgGLLoadProgram(program);
    cgDestroyProgram(shaderProgram.program);
    shaderProgram.program = program;
    LookUpParameters();
    if (windProgramWatch.message[0] != '\0') {
        windProgramWatch.message[0] = '\0';
        ShowStatus("");
    }
    return true;
}

void RequestWindProgramLook()
{
    windProgramWatch.lookNow = true;
}

void WatchWindProgram(float elapsedMilliseconds)
{
    WindProgramWatch &w = windProgramWatch;
    if (!shaderProgram.program) {
        return;
    }
    w.sinceLook += elapsedMilliseconds;
    if (w.sinceLook < WindProgramLookInterval && !w.lookNow) {
        return;
    }
    w.sinceLook = 0.0f;
    const FileStamp now = ReadFileStamp(windProgramFile);
    // An editor may save in two writes, or move the old file away before the new one comes: a
    // change is taken up once it has held still from one look to the next.
    const bool settled = SameFileStamp(now, w.seen) || w.lookNow;
    w.seen = now;
    w.lookNow = false;
    if (SameFileStamp(now, w.taken) || !settled) {
        return;
    }
    w.taken = now;
    ReloadShaderProgram();
}

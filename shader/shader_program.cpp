// shader_program.cpp -- set-up and release of the wind vertex program.
#include "shader/shader_program.h"

#include "app/messages.h"

ShaderProgram shaderProgram;

static bool Fail(const char *text)
{
    ShowMessage("Error", text, BoxIcon::None);
    return false;
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

    shaderProgram.program = cgCreateProgramFromFile(shaderProgram.context, CG_SOURCE, "wind.cg",
                                                    shaderProgram.profile, "main", nullptr);
    if (!shaderProgram.program) {
        return Fail(cgGetErrorString(cgGetError()));
    }
    cgGLLoadProgram(shaderProgram.program);

    // Missing parameters stay null; setting through a null handle does nothing.
    shaderProgram.position = cgGetNamedParameter(shaderProgram.program, "IN.position");
    shaderProgram.color = cgGetNamedParameter(shaderProgram.program, "IN.color");
    shaderProgram.zfeldpos = cgGetNamedParameter(shaderProgram.program, "IN.zfeldpos");
    shaderProgram.wind = cgGetNamedParameter(shaderProgram.program, "IN.wind");
    shaderProgram.sl = cgGetNamedParameter(shaderProgram.program, "IN.sl");
    shaderProgram.modelViewProj = cgGetNamedParameter(shaderProgram.program, "ModelViewProj");
    return true;
}

void ReleaseShaderContext()
{
    cgDestroyContext(shaderProgram.context);
    shaderProgram = ShaderProgram{};
}

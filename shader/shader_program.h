// shader_program.h -- the wind vertex program: its runtime handles, set-up and release.
#pragma once

#include "cg/cg_runtime.h"

struct ShaderProgram {
    CGcontext context;
    CGprofile profile;
    CGprogram program;
    CGparameter position;
    CGparameter color;
    CGparameter zfeldpos;
    CGparameter wind;
    CGparameter sl;
    CGparameter modelViewProj;
};

extern ShaderProgram shaderProgram;

// Creates the context, compiles "wind.cg" from the working directory and looks up the six
// parameters. On failure the cause has been shown to the user and false is returned.
bool SetupShaderProgram();

// Destroys the context and everything made in it; harmless when none exists.
void ReleaseShaderContext();

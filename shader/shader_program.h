// shader_program.h -- the wind vertex program: its runtime handles, set-up and release.
#pragma once

#include "cg/cg_runtime.h"
#include "platform/file_read.h"

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

// wind.cg taken up while the demo runs: the file's stamp is looked at a few times a second; a
// change that has held still from one look to the next is translated, and a program that
// compiles replaces the current one before the next frame. One that does not leaves the
// current program drawing and its message stays until a good version is saved.
constexpr float WindProgramLookInterval = 100.0f;  // milliseconds
constexpr int WindProgramMessageCapacity = 256;

struct WindProgramWatch {
    FileStamp taken;        // the stamp of the text the last try read
    FileStamp seen;         // the stamp at the last look
    float sinceLook;        // milliseconds since the last look
    bool lookNow;           // the next frame looks and takes a change up at once
    char message[WindProgramMessageCapacity];  // the last try's cause of failure, "" when it compiled
};

extern WindProgramWatch windProgramWatch;

// Once per frame, with the frame's elapsed milliseconds; nothing but a look at the stamp, a few
// times a second, unless the file has changed. Does nothing while no program is set up.
void WatchWindProgram(float elapsedMilliseconds);

// The next frame looks at wind.cg and takes a change up without waiting for it to hold still:
// the page's editor and the capture tool write the file whole.
void RequestWindProgramLook();

// Translates wind.cg again: true when the new program replaced the current one.
bool ReloadShaderProgram();

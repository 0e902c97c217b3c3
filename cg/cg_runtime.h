// cg_runtime.h -- the Cg runtime calls the program makes, served by GLSL through OpenGL 2.0.
#pragma once

typedef struct CgContextRecord *CGcontext;
typedef struct CgProgramRecord *CGprogram;
typedef struct CgParameterRecord *CGparameter;

enum CGprofile { CG_PROFILE_UNKNOWN = 6145, CG_PROFILE_GLSLV = 7007 };

enum CGenum { CG_SOURCE = 4112, CG_OBJECT = 4113 };

enum CGGLenum {
    CG_GL_MATRIX_IDENTITY = 0,
    CG_GL_MATRIX_TRANSPOSE = 1,
    CG_GL_MATRIX_INVERSE = 2,
    CG_GL_MATRIX_INVERSE_TRANSPOSE = 3,
    CG_GL_MODELVIEW_MATRIX = 4,
    CG_GL_PROJECTION_MATRIX = 5,
    CG_GL_TEXTURE_MATRIX = 6,
    CG_GL_MODELVIEW_PROJECTION_MATRIX = 7,
    CG_GL_VERTEX = 8,
    CG_GL_FRAGMENT = 9,
};

enum CGerror {
    CG_NO_ERROR = 0,
    CG_COMPILER_ERROR = 1,
    CG_INVALID_PARAMETER_ERROR = 2,
    CG_INVALID_PROFILE_ERROR = 3,
    CG_FILE_READ_ERROR = 4,
    CG_INVALID_CONTEXT_HANDLE_ERROR = 16,
    CG_INVALID_PROGRAM_HANDLE_ERROR = 17,
    CG_INVALID_PARAM_HANDLE_ERROR = 18,
    CG_INVALID_ENUMERANT_ERROR = 10,
    CG_MEMORY_ALLOC_ERROR = 13,
};

CGcontext cgCreateContext();
void cgDestroyContext(CGcontext context);

CGprofile cgGLGetLatestProfile(CGGLenum profileClass);
void cgGLSetOptimalOptions(CGprofile profile);

CGprogram cgCreateProgramFromFile(CGcontext context, CGenum programType, const char *fileName,
                                  CGprofile profile, const char *entry, const char **args);
void cgGLLoadProgram(CGprogram program);
// Deletes a program and its parameters; its context and the context's other programs stay.
void cgDestroyProgram(CGprogram program);

CGparameter cgGetNamedParameter(CGprogram program, const char *name);
void cgGLSetStateMatrixParameter(CGparameter param, CGGLenum matrix, CGGLenum transform);
void cgGLSetParameter1f(CGparameter param, float x);
void cgGLSetParameter3f(CGparameter param, float x, float y, float z);
void cgGLSetParameter4f(CGparameter param, float x, float y, float z, float w);
// A matrix uniform from its values row by row, as Cg writes a matrix.
void cgGLSetMatrixParameterfr(CGparameter param, const float *matrix);

void cgGLEnableProfile(CGprofile profile);
void cgGLDisableProfile(CGprofile profile);
void cgGLBindProgram(CGprogram program);

// The GL program object behind a program, 0 for an invalid handle.
unsigned int cgGLGetProgramID(CGprogram program);

CGerror cgGetError();
const char *cgGetErrorString(CGerror error);

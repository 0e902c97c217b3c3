// cg_program_gen.h -- random well-typed Cg vertex programs, csmith-style, for comparing our
// translation with the reference compiler's.
#pragma once

#include <cstdint>
#include <string>

// Which constructs a program may use. The ones off by default are those today's translator
// gets wrong (see cg_oracle_test.cpp); turn each on once its fault is fixed.
struct CgGenOptions {
    int statements = 10;                 // at the top level of main
    bool matrices = true;                // float2x2..float4x4 values, mul(), transpose()
    bool loops = true;                   // for with a bounded trip count
    bool branches = true;                // if / else
    bool compoundAssignments = true;     // x op= expression
    bool bareCompoundRightSides = false; // x /= 1.25 + y with no parentheses around the right side
    bool arrays = true;                  // a local array indexed by a loop counter
    bool incrementInIndex = false;       // a[i++] += x: the target evaluated once
    bool nestedNegation = false;         // - -x written with a space
    bool intLibraryArguments = false;    // sqrt(2), exp2(-1): Cg's library takes floats
    bool scalarMatrixCasts = false;      // (float3x3)s fills every element
    bool vectorConditions = false;       // ?: with a bool vector picks per component
    bool boolVectorLogic = false;        // &&, ||, ! per component on bool vectors
    bool refract = false;                // refract(I, N, eta) with a vector N
    bool bareGlobalUniforms = false;     // a global without static is a uniform
};

// A program with entry function main; the same seed and options give the same text.
std::string GenerateCgProgram(uint32_t seed, const CgGenOptions &options);

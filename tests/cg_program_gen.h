// cg_program_gen.h -- random well-typed Cg vertex programs, csmith-style, for comparing our
// translation with the reference compiler's.
#pragma once

#include <cstdint>
#include <string>

// Which constructs a program may use. The ones off by default are those today's translator
// gets wrong; each names the fault it shows. Turn each on once its fault is fixed (and try it
// first with HALMWIND_ORACLE_ENABLE=name,name... in the environment of the random test).
struct CgGenOptions {
    int statements = 10;                 // at the top level of main
    bool matrices = true;                // float2x2..float4x4 values, mul(), transpose()
    bool loops = true;                   // for with a bounded trip count
    bool branches = true;                // if / else
    bool compoundAssignments = true;     // x op= expression
    bool bareCompoundRightSides = false; // x /= 1.25 + y unparenthesised: op= regroups its right side
    bool arrays = true;                  // a local array indexed by a loop counter
    bool incrementInIndex = false;       // a[i++] += x: the target is evaluated twice
    bool nestedNegation = false;         // - -x written with a space becomes --x
    bool intLibraryArguments = false;    // sqrt(2), exp2(-1) are truncated back to int
    bool scalarMatrixCasts = false;      // (float3x3)s becomes s times the identity
    bool vectorConditions = false;       // ?: with a bool-vector condition is refused
    bool boolVectorLogic = false;        // &&, ||, ! on bool vectors are refused (needs vectorConditions)
    bool refract = false;                // refract(I, N, eta) turns N into a scalar
    bool bareGlobalUniforms = false;     // a global without static is not made a uniform
};

// A program with entry function main; the same seed and options give the same text.
std::string GenerateCgProgram(uint32_t seed, const CgGenOptions &options);

// cg_program_gen.h -- random well-typed Cg vertex programs, csmith-style, for comparing our
// translation with the reference compiler's.
#pragma once

#include <cstdint>
#include <string>

// Which constructs a program may use. All are on by default; the comment beside each of the later
// ones names the translator fault it once showed, and HALMWIND_ORACLE_DISABLE=name,name... in
// the environment of the random test leaves such constructs out while one looks for another.
struct CgGenOptions {
    int statements = 10;                 // at the top level of main
    bool matrices = true;                // float2x2..float4x4 values, mul(), transpose()
    bool loops = true;                   // for with a bounded trip count
    bool branches = true;                // if / else
    bool compoundAssignments = true;     // x op= expression
    bool bareCompoundRightSides = true;  // x /= 1.25 + y unparenthesised: op= regrouped its right side
    bool arrays = true;                  // a local array indexed by a loop counter
    bool incrementInIndex = true;        // a[i++] += x: the target was evaluated twice
    bool nestedNegation = true;          // - -x written with a space became --x
    bool intLibraryArguments = true;     // sqrt(2), exp2(-1) were truncated back to int
    bool scalarMatrixCasts = true;       // (float3x3)s became s times the identity
    bool vectorConditions = true;        // ?: with a bool-vector condition was refused
    bool boolVectorLogic = true;         // &&, ||, ! on bool vectors were refused (needs vectorConditions)
    bool refract = true;                 // refract(I, N, eta) turned N into a scalar
    bool bareGlobalUniforms = true;      // a global without static was not made a uniform
    bool octalAndHexLiterals = true;     // 010 where a float is wanted became ten, not eight
    bool staticLocals = true;            // a static local lost its value between calls
    bool typedefs = true;                // typedef was refused
    bool arrayParameters = true;         // float f(float3 a[3]) was refused
    bool macroArraySizes = true;         // float3 a[SIZE] with SIZE a macro of an expression was refused
    bool unnamedParameters = true;       // a prototype float Twice(float); was refused
    bool nanAndInfinityTests = true;     // isnan and isinf were refused
};

// A program with entry function main; the same seed and options give the same text.
std::string GenerateCgProgram(uint32_t seed, const CgGenOptions &options);

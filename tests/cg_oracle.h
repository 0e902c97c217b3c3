// cg_oracle.h -- a Cg program translated two ways and run on the same inputs: by our translator,
// and by the reference compiler (glslang's HLSL front end to SPIR-V, SPIRV-Cross back to GLSL).
// Both run under transform feedback in the test's GL context and what they write is compared.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct OracleProgram {
    std::string name;    // for messages: the corpus file, or "random 17"
    std::string source;  // Cg text with entry function main
};

enum class OracleVerdict {
    Agree,         // both ran, every output of every vertex within tolerance
    Differ,        // both ran, some output differs
    Refused,       // our translator refused the program
    RejectedGlsl,  // our translator accepted it, glslang or Mesa then refused its GLSL
    CgOnly,        // no HLSL twin: only our GLSL was checked (accepted by glslang and Mesa)
    OracleFailed,  // the reference route failed: the program is not HLSL, or the test is wrong
};

struct OracleResult {
    OracleVerdict verdict = OracleVerdict::OracleFailed;
    std::string detail;  // the first difference, or the message that refused the program
    int outputs = 0;     // outputs compared
};

struct OracleOptions {
    int vertices = 6;
    uint32_t seed = 1;  // of the inputs and uniforms
    // A self-check of the harness: upload our matrices in GLSL's column order, as a careless
    // runtime would, which any non-symmetric mul() must notice.
    bool transposeOurMatrices = false;
};

// Translates and compiles all programs in one batch of processes, then runs each pair. Needs a
// current GL context of version 3.3 or later in the compatibility profile.
// A program's comments may carry directives for this comparison:
//   // oracle: cg-only              no HLSL twin (glstate); only our GLSL is checked
//   // oracle: default NAME = v...  a uniform with a default: ours keeps the default, the
//                                   reference (which drops uniform initialisers) is given v...
// The reference route sees ORACLE_HLSL defined and a prelude that gives Cg's meaning to the
// few library functions glslang defines otherwise (see CgHlslPrelude in cg_oracle.cpp).
std::vector<OracleResult> CompareWithReference(const std::vector<OracleProgram> &programs, const OracleOptions &options);

const char *OracleVerdictName(OracleVerdict verdict);

// Whether the reference tools are installed (tools/setup.sh installs them).
bool ReferenceToolsPresent();

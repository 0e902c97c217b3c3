// cg_oracle_test.cpp -- our Cg translation against the reference compiler: the corpus in
// tests/cg_corpus/, the programs of known faults, the matrix upload, and random programs.
//
// Where Cg and HLSL (as glslang 12 reads it) differ, and how the comparison adapts:
// - fmod and float %: glslang gives the result the sign of the divisor, Cg the sign of x. The
//   reference route is given Cg's fmod (x - y * trunc(x / y)); float % is only used where both
//   operands are positive.
// - lit: glslang's is not Cg's; the reference route is given Cg's library definition.
// - round of an exact half is left to the profile: inputs and uniforms are odd multiples of
//   1/64, never halves, and the programs round nothing that could be one.
// - fixed, fixed2..4: Cg types HLSL lacks; the reference route reads them as float.
// - glstate.*: the GL state matrices of Cg's OpenGL profiles have no HLSL twin. Such programs
//   are marked cg-only: our GLSL is checked by glslang and Mesa, and nothing is compared.
// - Uniform defaults: glslang drops the initialiser of a global in its uniform block. Our
//   route keeps the default (the uniform is not set); the reference route is given the value.
// - glslang's optimiser reassociates arithmetic (x / 3 becomes x * 0.33333334): it runs with -Od.
// - half: glslang reads it as float without 16-bit types, as Cg's GL profiles do.
// - bool uniforms reach GLSL as uint in the reference route; they are set to 0 or 1 there.
// - glslang 12 reads HLSL's * of two matrices as the matrix product; in HLSL and Cg it is per
//   element. Neither the corpus nor the generator multiplies two matrices with * (the hand-made
//   CgPrograms test covers it).
// - glslang 12 folds a comparison of two constant vectors wrongly: all(float2(0.25, 0.125) >
//   float2(-0.25, 3.0)) comes out true. The generator always compares a varying vector.
// - glslang 12 with SPIRV-Cross gives a matrix swizzle of several elements (M._m03_m13_m23) as
//   GLSL that Mesa refuses; that corpus program is cg-only, and CgCauses checks its values.
// - glslang 12 gives 0 for a float library function (exp2, sin, radians) whose argument is an int
//   min() or max() call itself; the generator adds 0 to such an argument.
// - The reference route gives min(saturate(v), c) and max(saturate(v), c), with v and c vectors
//   and c a constant, as if c were saturated too (max(saturate(p.xz), float2(0.5, 1.75)) has
//   1.0 for 1.75). The generator keeps such a saturate one step from min and max.
// - int / and %: the generator divides only non-negative values by positive ones, where Cg and
//   HLSL both truncate as C does; negative operands are not compared.
// - Outputs: Cg's GL profiles write gl_Position, gl_FrontColor, gl_TexCoord[n] and so on; the
//   reference route writes plain outputs. They are paired by semantic, and a Cg output narrower
//   than our vec4 is compared on its own components.
#include <gtest/gtest.h>

#include <epoxy/gl.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "tests/cg_oracle.h"
#include "tests/cg_program_gen.h"
#include "tests/gl_fixture.h"

namespace {

// Corpus programs that today's translator gets wrong, each with the cause. The test checks that
// each still fails, so the list cannot outlive the fault: once a fix makes a program agree,
// delete its line.
const std::map<std::string, std::string> knownFaults = {
    {"half_float_overloads.cg", "refused by name: overloads that differ only in half and float would be one GLSL function"},
};

class CgOracle : public GlTest {
protected:
    void SetUp() override
    {
        GlTest::SetUp();
        ASSERT_TRUE(ReferenceToolsPresent()) << "glslangValidator or spirv-cross is missing: run tools/setup.sh";
        if (epoxy_gl_version() < 33) {
            GTEST_SKIP() << "this GL is older than 3.3, which the reference route's GLSL needs";
        }
    }
};

// HALMWIND_CG_CORPUS names another folder of programs to compare, for a look at programs of
// one's own; the corpus test then leaves its size unchecked.
const char *CorpusFolder()
{
    const char *other = std::getenv("HALMWIND_CG_CORPUS");
    return other && *other ? other : HALMWIND_CG_CORPUS;
}

std::vector<OracleProgram> ReadCorpus()
{
    std::vector<OracleProgram> programs;
    for (const auto &entry : std::filesystem::directory_iterator(CorpusFolder())) {
        if (entry.path().extension() == ".cg") {
            std::ifstream in(entry.path(), std::ios::binary);
            std::ostringstream text;
            text << in.rdbuf();
            programs.push_back({entry.path().filename().string(), text.str()});
        }
    }
    std::sort(programs.begin(), programs.end(),
              [](const OracleProgram &a, const OracleProgram &b) { return a.name < b.name; });
    return programs;
}

std::string Describe(const OracleResult &r)
{
    return std::string(OracleVerdictName(r.verdict)) + (r.detail.empty() ? "" : ": " + r.detail);
}

unsigned EnvironmentNumber(const char *name, unsigned fallback)
{
    const char *text = std::getenv(name);
    return text && *text ? unsigned(std::strtoul(text, nullptr, 10)) : fallback;
}

}  // namespace

TEST_F(CgOracle, CorpusAgreesWithTheReferenceCompiler)
{
    std::vector<OracleProgram> corpus = ReadCorpus();
    if (std::string(CorpusFolder()) == HALMWIND_CG_CORPUS) {
        ASSERT_GE(corpus.size(), 60u);
    }
    std::vector<OracleProgram> programs;
    for (const OracleProgram &p : corpus) {
        if (!knownFaults.count(p.name)) {
            programs.push_back(p);
        }
    }
    const std::vector<OracleResult> results = CompareWithReference(programs, OracleOptions());
    int compared = 0, cgOnly = 0;
    for (size_t i = 0; i < programs.size(); i++) {
        const OracleResult &r = results[i];
        compared += r.verdict == OracleVerdict::Agree;
        cgOnly += r.verdict == OracleVerdict::CgOnly;
        EXPECT_TRUE(r.verdict == OracleVerdict::Agree || r.verdict == OracleVerdict::CgOnly)
            << programs[i].name << ": " << Describe(r);
    }
    std::printf("oracle: %zu corpus programs: %d agree, %d Cg-only (GLSL checked), %zu known faults apart\n",
                corpus.size(), compared, cgOnly, corpus.size() - programs.size());
}

TEST_F(CgOracle, KnownFaultsStillFail)
{
    std::vector<OracleProgram> programs;
    for (const OracleProgram &p : ReadCorpus()) {
        if (knownFaults.count(p.name)) {
            programs.push_back(p);
        }
    }
    EXPECT_EQ(programs.size(), knownFaults.size()) << "a listed program is missing from tests/cg_corpus/";
    const std::vector<OracleResult> results = CompareWithReference(programs, OracleOptions());
    for (size_t i = 0; i < programs.size(); i++) {
        const OracleResult &r = results[i];
        std::printf("known fault: %s (%s): %s\n", programs[i].name.c_str(), knownFaults.at(programs[i].name).c_str(),
                    Describe(r).c_str());
        EXPECT_NE(r.verdict, OracleVerdict::Agree) << programs[i].name << " now agrees: delete its line in knownFaults";
        EXPECT_NE(r.verdict, OracleVerdict::OracleFailed) << programs[i].name << ": " << Describe(r);
        EXPECT_NE(r.verdict, OracleVerdict::CgOnly) << programs[i].name << " is GLSL-checked only now";
        // A refusal is one message that names the file and the line.
        if (r.verdict == OracleVerdict::Refused) {
            EXPECT_EQ(r.detail.rfind(programs[i].name + "(", 0), 0u) << r.detail;
            EXPECT_NE(r.detail.find("): error: "), std::string::npos) << r.detail;
            EXPECT_EQ(r.detail.find('\n'), std::string::npos) << r.detail;
        }
    }
}

// The harness itself: an upload in GLSL's column order, as a careless runtime would make it,
// must show in mul() with a non-symmetric matrix, while the right order agrees.
TEST_F(CgOracle, MatrixUploadOrderShows)
{
    std::vector<OracleProgram> programs;
    for (const OracleProgram &p : ReadCorpus()) {
        if (p.name == "matrix_upload.cg") {
            programs.push_back(p);
        }
    }
    ASSERT_EQ(programs.size(), 1u);
    OracleOptions options;
    OracleResult r = CompareWithReference(programs, options)[0];
    EXPECT_EQ(r.verdict, OracleVerdict::Agree) << Describe(r);
    options.transposeOurMatrices = true;
    r = CompareWithReference(programs, options)[0];
    EXPECT_EQ(r.verdict, OracleVerdict::Differ) << Describe(r);
}

// Random well-typed programs. HALMWIND_ORACLE_COUNT and HALMWIND_ORACLE_SEED run more or
// others (make fuzz does); a failure prints the seed and the program.
TEST_F(CgOracle, RandomProgramsAgree)
{
    const unsigned count = EnvironmentNumber("HALMWIND_ORACLE_COUNT", 200);
    const unsigned seed = EnvironmentNumber("HALMWIND_ORACLE_SEED", 1);
    CgGenOptions generate;
    // HALMWIND_ORACLE_DISABLE=nestedNegation,refract leaves those constructs out.
    const std::string disable = std::getenv("HALMWIND_ORACLE_DISABLE") ? std::getenv("HALMWIND_ORACLE_DISABLE") : "";
    const std::pair<const char *, bool *> switches[] = {
        {"bareCompoundRightSides", &generate.bareCompoundRightSides},
        {"incrementInIndex", &generate.incrementInIndex},
        {"nestedNegation", &generate.nestedNegation},
        {"intLibraryArguments", &generate.intLibraryArguments},
        {"scalarMatrixCasts", &generate.scalarMatrixCasts},
        {"vectorConditions", &generate.vectorConditions},
        {"boolVectorLogic", &generate.boolVectorLogic},
        {"refract", &generate.refract},
        {"bareGlobalUniforms", &generate.bareGlobalUniforms},
        {"octalAndHexLiterals", &generate.octalAndHexLiterals},
        {"staticLocals", &generate.staticLocals},
        {"typedefs", &generate.typedefs},
        {"arrayParameters", &generate.arrayParameters},
        {"macroArraySizes", &generate.macroArraySizes},
        {"unnamedParameters", &generate.unnamedParameters},
        {"nanAndInfinityTests", &generate.nanAndInfinityTests},
    };
    for (const auto &s : switches) {
        if (("," + disable + ",").find(std::string(",") + s.first + ",") != std::string::npos) {
            *s.second = false;
        }
    }
    int compared = 0, failed = 0;
    // In batches, so that a long run's temporary files stay few.
    for (unsigned first = 0; first < count; first += 250) {
        std::vector<OracleProgram> programs;
        for (unsigned i = first; i < count && i < first + 250; i++) {
            programs.push_back({"random " + std::to_string(seed + i), GenerateCgProgram(seed + i, generate)});
        }
        OracleOptions options;
        options.seed = seed;
        const std::vector<OracleResult> results = CompareWithReference(programs, options);
        for (size_t i = 0; i < programs.size(); i++) {
            compared += results[i].verdict == OracleVerdict::Agree;
            if (results[i].verdict != OracleVerdict::Agree && failed++ < 5) {
                ADD_FAILURE() << programs[i].name << ": " << Describe(results[i]) << "\n" << programs[i].source;
            }
        }
    }
    std::printf("oracle: %d of %u random programs (seeds %u to %u) compared and agree\n", compared, count, seed,
                seed + count - 1);
    EXPECT_EQ(failed, 0);
}

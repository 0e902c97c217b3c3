// shader_program_test.cpp -- the wind program's set-up tells the user what went wrong.
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "shader/shader_program.h"
#include "tests/gl_fixture.h"
#include "tests/message_capture.h"
#include "tests/program_runner.h"

class ShaderSetup : public GlTest {
protected:
    void TearDown() override
    {
        ReleaseShaderContext();
        ASSERT_EQ(chdir(HALMWIND_DATA_DIR), 0);
    }
    static std::string SetupIn(const std::string &dir)
    {
        MessageCapture messages;
        EXPECT_EQ(chdir(dir.c_str()), 0);
        bool ok = SetupShaderProgram();
        std::string shown = messages.texts().empty() ? "" : messages.texts()[0];
        return (ok ? "ok " : "failed ") + shown;
    }
};

TEST_F(ShaderSetup, FindsTheSixParametersOfTheShippedProgram)
{
    EXPECT_EQ(SetupIn(HALMWIND_DATA_DIR), "ok ");
    EXPECT_NE(shaderProgram.program, nullptr);
    EXPECT_NE(shaderProgram.position, nullptr);
    EXPECT_NE(shaderProgram.color, nullptr);
    EXPECT_NE(shaderProgram.zfeldpos, nullptr);
    EXPECT_NE(shaderProgram.wind, nullptr);
    EXPECT_NE(shaderProgram.sl, nullptr);
    EXPECT_NE(shaderProgram.modelViewProj, nullptr);
}

TEST_F(ShaderSetup, MissingEmptyAndBrokenFilesNameTheirCause)
{
    std::string dir = MakeRunDirectory("shader_setup", {});
    EXPECT_EQ(SetupIn(dir), "failed Error: Cannot read the file 'wind.cg': No such file or directory");
    ReleaseShaderContext();

    WriteTextFile(dir + "/wind.cg", "");
    EXPECT_EQ(SetupIn(dir), "failed Error: Cannot read the file 'wind.cg': the file is empty");
    ReleaseShaderContext();

    WriteTextFile(dir + "/wind.cg", "struct appin {\n  float4 position : POSITION;\n};\n\n"
                                    "float4 main(appin IN) : POSITION\n{\n  return IN.position +;\n}\n");
    std::string broken = SetupIn(dir);
    EXPECT_EQ(broken.rfind("failed Error: The compile returned an error.\n", 0), 0u) << broken;
    EXPECT_NE(broken.find("wind.cg(7)"), std::string::npos) << broken;
}

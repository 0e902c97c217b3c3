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

// wind.cg saved again while the program runs, looked at as the frames do.
class LiveWindProgram : public ShaderSetup {
protected:
    void SetUp() override
    {
        ShaderSetup::SetUp();
        dir = MakeRunDirectory("live_wind", {"wind.cg"});
        ASSERT_EQ(SetupIn(dir), "ok ");
        shipped = shaderProgram.program;
    }
    // Saves as an editor that writes a new file and renames it over the old one.
    void Save(const std::string &text)
    {
        WriteTextFile(dir + "/wind.cg.new", text);
        ASSERT_EQ(rename((dir + "/wind.cg.new").c_str(), (dir + "/wind.cg").c_str()), 0);
    }
    // The frames' looks, one per interval.
    void Look(int times)
    {
        for (int i = 0; i < times; i++) {
            WatchWindProgram(WindProgramLookInterval);
        }
    }
    std::string dir;
    CGprogram shipped = nullptr;
};

TEST_F(LiveWindProgram, ASaveThatCompilesReplacesTheProgramOnceItHoldsStill)
{
    // Without IN.sl: the parameters are looked up anew.
    std::string text = ReadTextFile(HALMWIND_DATA_DIR "/wind.cg");
    for (const std::string use : {"float s = IN.sl;", "float  sl       : TEXCOORD2;"}) {
        ASSERT_NE(text.find(use), std::string::npos) << use;
        text.replace(text.find(use), use.size(), use[0] == 'f' && use[6] == 's' ? "float s = 0.5;" : "");
    }
    Save(text);
    WatchWindProgram(WindProgramLookInterval / 2);
    Look(1);
    EXPECT_EQ(shaderProgram.program, shipped) << "taken up at its first look: a second write would follow";
    Look(1);
    ASSERT_NE(shaderProgram.program, shipped);
    EXPECT_EQ(cgGLGetProgramID(shipped), 0u) << "the old program lives on";
    EXPECT_NE(cgGLGetProgramID(shaderProgram.program), 0u);
    EXPECT_EQ(shaderProgram.sl, nullptr);
    EXPECT_NE(shaderProgram.wind, nullptr);
    EXPECT_STREQ(windProgramWatch.message, "");
    CGprogram taken = shaderProgram.program;
    Look(3);
    EXPECT_EQ(shaderProgram.program, taken) << "the same save taken up twice";
}

TEST_F(LiveWindProgram, BadSavesKeepTheLastGoodProgramAndSayWhy)
{
    const struct {
        const char *name;
        std::string text;  // "-" removes the file
        const char *message;
    } saves[] = {
        {"broken", "struct appin { float4 position : POSITION; };\nvfconn main(appin IN) { return 1 +; }\n",
         "wind.cg(2): error: unknown type 'vfconn'"},
        {"empty", "", "Cannot read the file 'wind.cg': the file is empty"},
        {"binary", std::string("\x7f" "ELF\x01\x01\0\0\xff\xfe", 10), "wind.cg(1)"},
        {"10 MB", "// " + std::string(10 << 20, 'x') + "\nfloat4 main( : POSITION\n", "wind.cg(2)"},
        {"removed", "-", "Cannot read the file 'wind.cg': No such file or directory"},
    };
    for (const auto &save : saves) {
        if (save.text == "-") {
            ASSERT_EQ(unlink((dir + "/wind.cg").c_str()), 0);
        } else {
            Save(save.text);
        }
        RequestWindProgramLook();
        WatchWindProgram(0.0f);
        EXPECT_EQ(shaderProgram.program, shipped) << save.name;
        EXPECT_NE(cgGLGetProgramID(shipped), 0u) << save.name;
        EXPECT_NE(shaderProgram.sl, nullptr) << save.name;
        EXPECT_EQ(std::string(windProgramWatch.message).rfind(save.message, 0), 0u)
            << save.name << ": " << windProgramWatch.message;
    }
    Save(ReadTextFile(HALMWIND_DATA_DIR "/wind.cg"));
    RequestWindProgramLook();
    WatchWindProgram(0.0f);
    EXPECT_NE(shaderProgram.program, shipped);
    EXPECT_STREQ(windProgramWatch.message, "") << "the message outlived the good save";
}

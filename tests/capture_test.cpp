// capture_test.cpp -- the capture tool: key script, command line, and the pictures it writes.
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <png.h>

#include "tests/program_runner.h"
#include "tools/capture_options.h"
#include "ui/controls.h"

namespace {

struct ToolRun {
    int status;
    std::string output;
};

// The tool with stderr and stdout together. A hang (a message box waiting) is killed: SDL turns
// SIGTERM into a quit event that a message box never reads.
ToolRun RunCapture(const std::string &arguments)
{
    ToolRun run = {-1, ""};
    std::string command = "timeout -k 5 120 '" HALMWIND_CAPTURE "' " + arguments + " 2>&1";
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe) {
        return run;
    }
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) {
        run.output += buffer;
    }
    int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

Picture ReadPng(const std::string &path)
{
    Picture picture;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        return picture;
    }
    image.format = PNG_FORMAT_RGB;
    std::vector<unsigned char> rgb(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
        picture.width = int(image.width);
        picture.height = int(image.height);
        picture.rgb = rgb;
    }
    return picture;
}

// Pixels of rows [top, bottom) and columns [left, right) that match `test`.
template <typename Test>
int CountPixels(const Picture &p, int left, int top, int right, int bottom, Test test)
{
    int count = 0;
    for (int y = top; y < bottom; y++) {
        for (int x = left; x < right; x++) {
            const unsigned char *c = &p.rgb[(size_t(y) * p.width + x) * 3];
            count += test(c[0], c[1], c[2]) ? 1 : 0;
        }
    }
    return count;
}

bool IsGrass(int r, int g, int b)
{
    return g > 80 && g > r + 30 && g > b + 30;
}

bool IsOverlayText(int r, int g, int b)
{
    return r > 150 && g > 150 && b < 100;
}

std::string DataArgument()
{
    return "--data '" HALMWIND_DATA_DIR "'";
}

}

TEST(CaptureScript, ReadsKeyNamesFramesAndRanges)
{
    std::vector<KeySpan> spans;
    std::string error;
    ASSERT_TRUE(ParseKeyScript("W@1  a@3\tX@5-120 F12@2 pagedown@7-7 Up@4-6", spans, error)) << error;
    const int expected[][3] = {
        {'W', 1, 1}, {'A', 3, 3}, {'X', 5, 120}, {KeyF1 + 11, 2, 2}, {KeyPageDown, 7, 7}, {KeyUp, 4, 6},
    };
    ASSERT_EQ(spans.size(), std::size(expected));
    for (size_t i = 0; i < spans.size(); i++) {
        EXPECT_EQ(spans[i].virtualKey, expected[i][0]) << i;
        EXPECT_EQ(spans[i].first, expected[i][1]) << i;
        EXPECT_EQ(spans[i].last, expected[i][2]) << i;
    }
}

TEST(CaptureScript, RejectsBadItemsAndNamesThem)
{
    const char *bad[] = {"W", "@3", "Q1@1", "F13@1", "F0@1", "F01@1", "Space@1", "W@0", "W@",
                         "W@x", "W@5-3", "W@3-", "W@-3", "W@1-2-3", "W@+4", "W@99999999999"};
    for (const char *item : bad) {
        std::vector<KeySpan> spans;
        std::string error;
        std::string script = std::string("A@1 ") + item;
        EXPECT_FALSE(ParseKeyScript(script, spans, error)) << item;
        EXPECT_NE(error.find(item), std::string::npos) << item << ": " << error;
    }
}

TEST(CaptureScript, KeyTableHoldsExactlyTheKeysOfTheFrame)
{
    std::vector<KeySpan> spans;
    std::string error;
    ASSERT_TRUE(ParseKeyScript("W@1 A@3 X@2-4 Up@4", spans, error));
    KeyState keys;
    std::memset(keys.down, 1, sizeof keys.down);
    const std::vector<int> downByFrame[] = {{}, {'W'}, {'X'}, {'A', 'X'}, {'X', KeyUp}, {}};
    for (int frame = 1; frame <= 5; frame++) {
        FillKeyTable(spans, frame, keys);
        const std::vector<int> &expected = downByFrame[frame];
        for (int key = 0; key < KeyCount; key++) {
            bool wanted = std::find(expected.begin(), expected.end(), key) != expected.end();
            EXPECT_EQ(keys.down[key] != 0, wanted) << "frame " << frame << " key " << key;
        }
    }
}

TEST(CaptureOptions, FrameCountComesFromTheLastShotOrKeyUnlessGiven)
{
    const char *implicit[] = {"capture", "--shot", "120:a.png", "--keys", "X@5-150", "--data", "dir"};
    CaptureOptions options;
    std::string error;
    ASSERT_TRUE(ParseCaptureOptions(7, implicit, options, error)) << error;
    EXPECT_EQ(options.frames, 150);
    EXPECT_EQ(options.dataDirectory, "dir");
    ASSERT_EQ(options.shots.size(), 1u);
    EXPECT_EQ(options.shots[0].frame, 120);
    EXPECT_EQ(options.shots[0].path, "a.png");

    const char *given[] = {"capture", "--frames", "200", "--shot", "120:x.png"};
    CaptureOptions explicitFrames;
    ASSERT_TRUE(ParseCaptureOptions(5, given, explicitFrames, error)) << error;
    EXPECT_EQ(explicitFrames.frames, 200);
}

TEST(CaptureTool, BadOptionsExitWithTwoAndSayWhy)
{
    const struct {
        const char *arguments;
        const char *message;
    } cases[] = {
        {"--bogus", "unknown option '--bogus'"},
        {"--keys 'W@1 Foo@3'", "unknown key name 'Foo'"},
        {"--keys 'X@9-2'", "bad frame range '9-2'"},
        {"--shot", "--shot needs a value"},
        {"--shot out.png", "bad shot 'out.png'"},
        {"--shot 0:out.png", "bad shot '0:out.png'"},
        {"--frames ten", "bad frame count 'ten'"},
        {"--frames 5 --shot 6:x.png", "beyond --frames 5"},
    };
    for (const auto &c : cases) {
        ToolRun run = RunCapture(c.arguments);
        EXPECT_EQ(run.status, 2) << c.arguments << "\n" << run.output;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << c.arguments << "\n" << run.output;
    }
    ToolRun help = RunCapture("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("--shot FRAME:PATH"), std::string::npos) << help.output;
}

TEST(CaptureTool, WritesTheFrameAsAnUpright800x600Png)
{
    std::string dir = MakeRunDirectory("capture_png", {});
    ToolRun run = RunCapture(DataArgument() + " --frames 4 --shot 3:" + dir + "/meadow.png");
    ASSERT_EQ(run.status, 0) << run.output;
    Picture picture = ReadPng(dir + "/meadow.png");
    ASSERT_EQ(picture.width, 800);
    ASSERT_EQ(picture.height, 600);
    // The meadow fills the middle; the overlay's yellow lines are at the top, not the bottom,
    // so the rows are not upside down.
    EXPECT_GT(CountPixels(picture, 200, 150, 600, 450, IsGrass), 40000);
    EXPECT_GT(CountPixels(picture, 0, 0, 300, 50, IsOverlayText), 200);
    EXPECT_EQ(CountPixels(picture, 0, 550, 300, 600, IsOverlayText), 0);
}

TEST(CaptureTool, WindBendsTheBladesInTheShot)
{
    std::string dir = MakeRunDirectory("capture_wind", {});
    ToolRun calm = RunCapture(DataArgument() + " --shot 60:" + dir + "/calm.png");
    ToolRun windy = RunCapture(DataArgument() + " --keys 'W@1 X@2-60' --shot 60:" + dir + "/windy.png");
    ASSERT_EQ(calm.status, 0) << calm.output;
    ASSERT_EQ(windy.status, 0) << windy.output;
    Picture a = ReadPng(dir + "/calm.png");
    Picture b = ReadPng(dir + "/windy.png");
    ASSERT_EQ(a.rgb.size(), size_t(800 * 600 * 3));
    ASSERT_EQ(b.rgb.size(), a.rgb.size());
    // The middle holds only the meadow, away from the overlay's text.
    int changed = 0;
    for (int y = 60; y < 480; y++) {
        for (int x = 150; x < 650; x++) {
            size_t i = (size_t(y) * 800 + x) * 3;
            changed += std::memcmp(&a.rgb[i], &b.rgb[i], 3) != 0;
        }
    }
    EXPECT_GT(changed, 20000);
}

TEST(CaptureTool, MessagesGoToStderrInsteadOfBoxes)
{
    // No height map: the message is printed and the flat meadow is still captured.
    std::string dir = MakeRunDirectory("capture_flat", {"wind.cg"});
    ToolRun flat = RunCapture("--data '" + dir + "' --shot 2:" + dir + "/flat.png");
    EXPECT_EQ(flat.status, 0) << flat.output;
    EXPECT_NE(flat.output.find("Konnte die Height Map nicht finden!"), std::string::npos) << flat.output;
    EXPECT_EQ(ReadPng(dir + "/flat.png").width, 800);

    // No vertex program: the scene cannot start, which is a failure, not a hang.
    std::string bare = MakeRunDirectory("capture_bare", {"terrain.raw"});
    ToolRun failed = RunCapture("--data '" + bare + "' --shot 2:" + bare + "/none.png");
    EXPECT_EQ(failed.status, 1) << failed.output;
    EXPECT_NE(failed.output.find("wind.cg"), std::string::npos) << failed.output;
    EXPECT_EQ(ReadPng(bare + "/none.png").width, 0);
}

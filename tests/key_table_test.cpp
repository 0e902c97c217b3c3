// key_table_test.cpp -- every press is seen by a frame: the key table between the window
// procedure's key messages and the frames that read it.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "app/app_window.h"

namespace {

class KeyTableFrames : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::memset(&keys, 0, sizeof keys);
        window.keys = &keys;
    }
    void Press(int key) { ASSERT_TRUE(SetKey(&window, uintptr_t(key), true)); }
    void Release(int key) { ASSERT_TRUE(SetKey(&window, uintptr_t(key), false)); }
    // The flag each of `frames` frames reads, as '1' or '0'.
    std::string Frames(int key, int frames)
    {
        std::string seen;
        for (int i = 0; i < frames; i++) {
            seen += keys.down[key] ? '1' : '0';
            AdvanceKeyTable(&keys);
        }
        return seen;
    }
    KeyState keys;
    AppWindow window = {};
};

} // namespace

TEST_F(KeyTableFrames, APressAndReleaseBetweenTwoFramesGiveOneFrameDown)
{
    Press(114);
    Release(114);
    EXPECT_EQ(Frames(114, 3), "100");
    // Pressed and released again right after the frame that saw the first tap: the frame that
    // reads the release comes first, so a latch sees the second press as new.
    Press(114);
    AdvanceKeyTable(&keys);
    Release(114);
    Press(114);
    Release(114);
    EXPECT_EQ(Frames(114, 4), "0100");
    // The same when the frame between the taps took the first one's release off the queue.
    Press(114);
    Release(114);
    AdvanceKeyTable(&keys);
    Press(114);
    Release(114);
    EXPECT_EQ(Frames(114, 4), "0100");
}

TEST_F(KeyTableFrames, TapsFasterThanTheFramesEachGetAFrameDownAndUp)
{
    for (int tap = 0; tap < 6; tap++) {
        Press(114);
        Release(114);
    }
    EXPECT_EQ(Frames(114, 13), "1010101010100");
}

TEST_F(KeyTableFrames, AHeldKeyActsAsItAlwaysDid)
{
    Press('W');
    EXPECT_EQ(keys.down['W'], 1) << "a press reaches the table at once";
    Frames('W', 2);
    // Auto-repeat leaves the flag as it is; a release after a frame saw the press is at once.
    Press('W');
    Press('W');
    EXPECT_EQ(Frames('W', 2), "11");
    Release('W');
    EXPECT_EQ(keys.down['W'], 0);
    EXPECT_EQ(Frames('W', 2), "00");
    EXPECT_FALSE(SetKey(&window, KeyCount, true)) << "codes above 255 go to default processing";
}

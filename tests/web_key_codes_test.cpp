// web_key_codes_test.cpp -- the web shell's DOM key codes against the Windows key table.
#include "platform/web/key_codes.h"

#include <gtest/gtest.h>

#include "ui/controls.h"

TEST(WebKeyCodes, DemoKeysKeepTheirWindowsCodes)
{
    // Chromium's keyCode of letters, F keys, arrows and the page keys is the virtual-key code.
    for (uint32_t code : {uint32_t('A'), uint32_t('W'), uint32_t('Z'), uint32_t('0'), uint32_t('9')}) {
        EXPECT_EQ(KeyTableIndex(code, false), int(code));
    }
    EXPECT_EQ(KeyTableIndex(112, false), KeyF1);
    EXPECT_EQ(KeyTableIndex(114, false), KeyF3);
    EXPECT_EQ(KeyTableIndex(115, false), KeyF4);
    EXPECT_EQ(KeyTableIndex(123, false), 123);  // F12, the last key the demo names
    EXPECT_EQ(KeyTableIndex(27, false), KeyEscape);
    EXPECT_EQ(KeyTableIndex(33, false), KeyPageUp);
    EXPECT_EQ(KeyTableIndex(34, false), KeyPageDown);
    EXPECT_EQ(KeyTableIndex(37, false), KeyLeft);
    EXPECT_EQ(KeyTableIndex(40, false), KeyDown);
}

TEST(WebKeyCodes, FirefoxPunctuationMapsToWindowsCodes)
{
    EXPECT_EQ(VirtualKeyFromDomKeyCode(59), 186);   // ;
    EXPECT_EQ(VirtualKeyFromDomKeyCode(61), 187);   // =
    EXPECT_EQ(VirtualKeyFromDomKeyCode(173), 189);  // -
    EXPECT_EQ(VirtualKeyFromDomKeyCode(186), 186);  // Chromium's code passes unchanged
}

TEST(WebKeyCodes, SystemKeysNeverReachTheTable)
{
    // Anything pressed with Alt, Alt itself and F10 are WM_SYSKEYDOWN on Windows.
    EXPECT_EQ(KeyTableIndex('W', true), -1);
    EXPECT_EQ(KeyTableIndex(27, true), -1);
    EXPECT_EQ(KeyTableIndex(112, true), -1);
    EXPECT_EQ(KeyTableIndex(18, false), -1);
    EXPECT_EQ(KeyTableIndex(121, false), -1);
    // F9 and F11 beside F10 are plain keys.
    EXPECT_EQ(KeyTableIndex(120, false), 120);
    EXPECT_EQ(KeyTableIndex(122, false), 122);
}

TEST(WebKeyCodes, CodesOutsideTheTableAreDropped)
{
    EXPECT_EQ(KeyTableIndex(0, false), -1);
    EXPECT_EQ(KeyTableIndex(255, false), 255);
    EXPECT_EQ(KeyTableIndex(256, false), -1);
    EXPECT_EQ(KeyTableIndex(0xFFFFFFFFu, false), -1);
}

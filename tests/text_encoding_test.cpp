// text_encoding_test.cpp -- Windows-1252 decoding and its UTF-8 form.
#include "platform/text_encoding.h"

#include <gtest/gtest.h>

TEST(Cp1252ToUnicode, MapsTheWindowsRangeByTableAndTheRestToItself)
{
    EXPECT_EQ(Cp1252ToUnicode(0x80), 0x20ACu);
    EXPECT_EQ(Cp1252ToUnicode(0x84), 0x201Eu);
    EXPECT_EQ(Cp1252ToUnicode(0x99), 0x2122u);
    EXPECT_EQ(Cp1252ToUnicode(0x9F), 0x0178u);
    for (int code : {0x41, 0x7F, 0xA0, 0xE4, 0xFF}) {
        EXPECT_EQ(Cp1252ToUnicode(code), uint32_t(code));
    }
    for (int code : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
        EXPECT_EQ(Cp1252ToUnicode(code), 0u) << code;
    }
}

TEST(Cp1252ToUtf8, EncodesEachCodeAndReplacesUndefinedOnes)
{
    EXPECT_EQ(Cp1252ToUtf8("\xE4"), "\xC3\xA4");
    EXPECT_EQ(Cp1252ToUtf8("12.60\xB0"), "12.60\xC2\xB0");
    EXPECT_EQ(Cp1252ToUtf8("\x80"), "\xE2\x82\xAC");
    EXPECT_EQ(Cp1252ToUtf8("a\x81z"), "a\xEF\xBF\xBDz");
    EXPECT_EQ(Cp1252ToUtf8(nullptr), "");
}

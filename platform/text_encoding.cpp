// text_encoding.cpp -- Windows-1252 decoding and UTF-8 encoding of the program's texts.
#include "platform/text_encoding.h"

namespace {

// 0x80 .. 0x9F, where Windows-1252 departs from Latin-1; 0 marks the undefined codes.
constexpr uint16_t HighControlTable[32] = {
    0x20AC, 0x0000, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x0000, 0x017D, 0x0000,
    0x0000, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x0000, 0x017E, 0x0178,
};

constexpr uint32_t ReplacementCharacter = 0xFFFD;

void AppendUtf8(std::string &out, uint32_t codePoint)
{
    if (codePoint < 0x80) {
        out += char(codePoint);
    } else if (codePoint < 0x800) {
        out += char(0xC0 | (codePoint >> 6));
        out += char(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += char(0xE0 | (codePoint >> 12));
        out += char(0x80 | ((codePoint >> 6) & 0x3F));
        out += char(0x80 | (codePoint & 0x3F));
    } else {
        out += char(0xF0 | (codePoint >> 18));
        out += char(0x80 | ((codePoint >> 12) & 0x3F));
        out += char(0x80 | ((codePoint >> 6) & 0x3F));
        out += char(0x80 | (codePoint & 0x3F));
    }
}

} // namespace

uint32_t Cp1252ToUnicode(unsigned char code)
{
    if (code >= 0x80 && code <= 0x9F) {
        return HighControlTable[code - 0x80];
    }
    return code;
}

std::string Cp1252ToUtf8(const char *text)
{
    std::string out;
    if (!text) {
        return out;
    }
    for (const char *p = text; *p; p++) {
        uint32_t codePoint = Cp1252ToUnicode(static_cast<unsigned char>(*p));
        AppendUtf8(out, codePoint ? codePoint : ReplacementCharacter);
    }
    return out;
}

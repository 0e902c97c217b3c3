// text_encoding.h -- Windows-1252 to Unicode, for message boxes and glyph lookup.
#pragma once

#include <cstdint>
#include <string>

// The Unicode code point of a Windows-1252 byte; 0 for the five undefined codes.
uint32_t Cp1252ToUnicode(unsigned char code);

std::string Cp1252ToUtf8(const char *text);

// key_codes.h -- DOM key codes to Windows virtual-key codes.
#pragma once

#include <cstdint>

// The virtual-key code (1 to 255) of a DOM keyCode, or 0 when the key has none. Letters, digits,
// F keys, arrows and the page keys carry the Windows code already; the punctuation keys that
// browsers number differently are mapped.
int VirtualKeyFromDomKeyCode(uint32_t keyCode);

// Keys pressed or released while Alt is held, Alt itself and F10 are system keys on Windows and
// never reach the key table.
bool IsSystemKey(uint32_t keyCode, bool altHeld);

// The key-table entry written for a key event, or -1 when the event does not reach it.
int KeyTableIndex(uint32_t keyCode, bool altHeld);

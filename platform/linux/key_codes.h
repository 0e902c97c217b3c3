// key_codes.h -- layout-aware SDL key codes to Windows virtual-key codes.
#pragma once

#include <cstdint>

// The virtual-key code (1 to 255) of an SDL key code, or 0 when the key has none.
int VirtualKeyFromKeycode(int32_t keycode);

// Keys pressed or released while Alt is held, and F10, arrive as system keys and never
// reach the key table.
bool IsSystemKey(int32_t keycode, uint16_t modifiers);

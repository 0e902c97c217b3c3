// key_codes.cpp -- the mapping from DOM key codes to Windows virtual-key codes.
#include "platform/web/key_codes.h"

#include "app/app_window.h"

namespace {

constexpr uint32_t DomAlt = 18;
constexpr uint32_t DomF10 = 121;

struct KeyMapping {
    uint32_t domCode;
    int virtualKey;
};

// Firefox numbers these keys apart from Windows (and from Chromium, which uses Windows' codes).
const KeyMapping domMappings[] = {
    {59, 186}, {61, 187}, {173, 189}, {224, 91},
};

} // namespace

int VirtualKeyFromDomKeyCode(uint32_t keyCode)
{
    for (const KeyMapping &m : domMappings) {
        if (m.domCode == keyCode) {
            return m.virtualKey;
        }
    }
    return keyCode > 0 && keyCode < 256 ? int(keyCode) : 0;
}

bool IsSystemKey(uint32_t keyCode, bool altHeld)
{
    return altHeld || keyCode == DomAlt || keyCode == DomF10;
}

int KeyTableIndex(uint32_t keyCode, bool altHeld)
{
    if (IsSystemKey(keyCode, altHeld)) {
        return -1;
    }
    int virtualKey = VirtualKeyFromDomKeyCode(keyCode);
    return virtualKey > 0 && virtualKey < KeyCount ? virtualKey : -1;
}

// app_window.cpp -- the shell's arithmetic that both platforms share.
#include "app/app_window.h"

float ElapsedMilliseconds(uint32_t now, uint32_t last, float secondsPerTick)
{
    // Unsigned subtraction stays right across one wrap of the 32-bit counter.
    uint32_t ticks = now - last;
    return float(double(ticks) * double(secondsPerTick) * 1000.0);
}

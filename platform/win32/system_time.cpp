// system_time.cpp -- the UTC wall clock from GetSystemTime.
#include <windows.h>

#include "platform/system_time.h"

int UtcMinuteSecond()
{
    SYSTEMTIME utc;
    GetSystemTime(&utc);
    return utc.wMinute * 60 + utc.wSecond;
}

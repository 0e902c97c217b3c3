// system_time.cpp -- the UTC wall clock.
#include "platform/system_time.h"

#include <ctime>

int UtcMinuteSecond()
{
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    tm utc;
    gmtime_r(&now.tv_sec, &utc);
    return utc.tm_min * 60 + utc.tm_sec;
}

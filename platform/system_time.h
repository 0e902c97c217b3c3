// system_time.h -- the UTC wall clock, as minute and second.
#pragma once

// Minute x 60 + second of the current UTC time: 0 to 3599.
int UtcMinuteSecond();

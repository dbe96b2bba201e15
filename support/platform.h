// The operating-system services the support layer needs, behind one small
// boundary: platform_posix.cpp implements it here, a platform_windows.cpp
// can stand beside it.
#pragma once

#include <cstdint>
#include <ctime>

// Current calendar time in whole seconds of the wall clock.
int64_t WallClockSeconds();

// Converts seconds of the wall clock to local time (the process's time zone
// and daylight-saving rule; TZ is respected). Returns true and fills *out on
// success, false (and *out untouched) when the conversion fails.
bool ToLocalTime(int64_t seconds, std::tm* out);

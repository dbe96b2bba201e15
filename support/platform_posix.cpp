#include <ctime>

#include "support/platform.h"

int64_t WallClockSeconds() { return static_cast<int64_t>(std::time(nullptr)); }

bool ToLocalTime(int64_t seconds, std::tm* out) {
  std::time_t t = static_cast<std::time_t>(seconds);
  tzset();
  std::tm result{};
  if (localtime_r(&t, &result) == nullptr) return false;
  *out = result;
  return true;
}

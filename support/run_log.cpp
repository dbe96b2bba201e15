#include "support/run_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "support/platform.h"
#include "support/string_list.h"

std::string LogPath;
std::string LogBackupPath;
std::string MessageBuffer;
char StampBuffer[15] = "";

const char* FormatMessage(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  int needed = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  if (needed < 0) {
    va_end(again);
    MessageBuffer.clear();
    return MessageBuffer.c_str();
  }
  MessageBuffer.assign(static_cast<size_t>(needed) + 1, '\0');
  std::vsnprintf(MessageBuffer.data(), MessageBuffer.size(), format, again);
  va_end(again);
  MessageBuffer.resize(static_cast<size_t>(needed));
  return MessageBuffer.c_str();
}

int WriteLog(const std::string& path, const char* text) {
  std::FILE* file = std::fopen(path.c_str(), "a");
  if (file == nullptr) return 0;
  std::fprintf(file, "%s\n", text);
  long position = std::ftell(file);
  if (position > kLogRotateLimit) {
    int closed = std::fclose(file);
    std::remove(LogBackupPath.c_str());
    std::rename(LogPath.c_str(), LogBackupPath.c_str());
    return closed;
  }
  return std::fclose(file);
}

const char* GetTimeStamp(const char* format) {
  std::tm now{};
  bool haveTime = ToLocalTime(WallClockSeconds(), &now);
  char name[16] = "";
  if (std::strlen(format) <= 15) {
    std::strcpy(name, format);
    StrUpper(name);
  }
  if (!haveTime) return StampBuffer;
  unsigned year = static_cast<unsigned>(now.tm_year + 1900) % 10000u;
  unsigned month = static_cast<unsigned>(now.tm_mon + 1) % 100u;
  unsigned day = static_cast<unsigned>(now.tm_mday) % 100u;
  unsigned hour = static_cast<unsigned>(now.tm_hour) % 100u;
  unsigned minute = static_cast<unsigned>(now.tm_min) % 100u;
  unsigned second = static_cast<unsigned>(now.tm_sec) % 100u;
  char made[32];
  if (std::strcmp(name, "YYYYMMDDHHMINSS") == 0) {
    std::snprintf(made, sizeof made, "%04u%02u%02u%02u%02u%02u", year, month, day, hour, minute,
                  second);
  } else if (std::strcmp(name, "DDMMYYYYHHMINSS") == 0) {
    std::snprintf(made, sizeof made, "%02u%02u%04u%02u%02u%02u", day, month, year, hour, minute,
                  second);
  } else {
    return StampBuffer;
  }
  std::memcpy(StampBuffer, made, sizeof StampBuffer - 1);
  StampBuffer[sizeof StampBuffer - 1] = '\0';
  return StampBuffer;
}

// Run log and time stamps.
#pragma once

#include <string>

// Paths of the run log and its single backup; filled once at the start of a
// run, before the first record, and not changed afterwards.
extern std::string LogPath;
extern std::string LogBackupPath;

// Fixed locations, relative to the working directory.
inline constexpr const char* kLogPathText = "../../Orvantis_php/log/VelqLog.txt";
inline constexpr const char* kLogBackupPathText = "../../Orvantis_php/log/VelqLog.bak";

// Size above which the log is moved to the backup (strictly greater).
inline constexpr long kLogRotateLimit = 10485760L;

// Shared scratch text: a message with values is formatted into it, then
// logged or printed. Each use overwrites it. It holds a message of any
// length, so no record is cut.
extern std::string MessageBuffer;

// Formats into MessageBuffer and returns its text (valid until the next use).
const char* FormatMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Appends text and one line feed to the file at path, then moves the file to
// LogBackupPath when it has grown above kLogRotateLimit bytes (the rotation
// always acts on LogPath and LogBackupPath). A file that cannot be opened
// drops the record silently. Returns 0 when the open failed, else the
// result of closing the file (0 on success).
int WriteLog(const std::string& path, const char* text);

// The latest stamp made by GetTimeStamp; empty until the first success.
extern char StampBuffer[15];

// Formats the current local time into StampBuffer and returns it. format is
// matched without regard to case: "yyyymmddhhminss" or "ddmmyyyyhhminss".
// Any other format leaves StampBuffer as it was. Every call returns the same
// buffer, so a stamp must be used or copied before the next call.
const char* GetTimeStamp(const char* format);

#include "support/run_log.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "tests/kit/temp_dir.h"

namespace {

class RunLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeDirs(dir_.File("log"));
    LogPath = dir_.File("log/VelqLog.txt");
    LogBackupPath = dir_.File("log/VelqLog.bak");
  }
  TempDir dir_;
};

TEST_F(RunLogTest, RecordsAreTextAndOneLineFeed) {
  EXPECT_EQ(WriteLog(LogPath, "\n\n========================================>"), 0);
  EXPECT_EQ(WriteLog(LogPath, "Start : 05032010090703"), 0);
  EXPECT_EQ(WriteLog(LogPath, ""), 0);
  EXPECT_EQ(WriteLog(LogPath, "Umlaut \xE4\xD6 bleibt"), 0);
  EXPECT_EQ(ReadFileBytes(LogPath),
            "\n\n========================================>\nStart : 05032010090703\n\n"
            "Umlaut \xE4\xD6 bleibt\n");
}

TEST_F(RunLogTest, LongRecordIsWrittenWhole) {
  std::string text(5000, 'x');
  FormatMessage("an Terminal %s: %s", std::string(255, 't').c_str(), text.c_str());
  EXPECT_EQ(MessageBuffer.size(), 255u + 5000u + 14u);
  WriteLog(LogPath, MessageBuffer.c_str());
  EXPECT_EQ(ReadFileBytes(LogPath), MessageBuffer + "\n");
}

// Rotation is decided on the size after the write: exactly the limit stays,
// one byte more moves the log (with that record) to the single backup.
TEST_F(RunLogTest, RotationAtTheLimit) {
  for (bool backupExists : {false, true}) {
    SCOPED_TRACE(backupExists ? "with backup" : "without backup");
    std::remove(LogBackupPath.c_str());
    if (backupExists) WriteFileBytes(LogBackupPath, "old backup\n");
    const std::string record(59, 'r');  // 60 bytes with its line feed
    WriteFileBytes(LogPath, std::string(10485700, 'a'));
    WriteLog(LogPath, record.c_str());
    ASSERT_TRUE(FileExists(LogPath));
    EXPECT_EQ(ReadFileBytes(LogPath).size(), 10485760u);
    EXPECT_EQ(ReadFileBytes(LogBackupPath), backupExists ? "old backup\n" : "");

    WriteLog(LogPath, "x");
    EXPECT_FALSE(FileExists(LogPath));
    std::string backup = ReadFileBytes(LogBackupPath);
    EXPECT_EQ(backup.size(), 10485762u);
    EXPECT_EQ(backup.substr(backup.size() - 2), "x\n");

    WriteLog(LogPath, "next");
    EXPECT_EQ(ReadFileBytes(LogPath), "next\n");
    std::remove(LogPath.c_str());
  }
}

TEST_F(RunLogTest, MissingFolderDropsTheRecord) {
  LogPath = dir_.File("missing/VelqLog.txt");
  EXPECT_EQ(WriteLog(LogPath, "lost"), 0);
  EXPECT_FALSE(FileExists(LogPath));
}

std::string Expected(const char* layout, const std::tm& t) {
  char out[32];
  if (std::strcmp(layout, "ymd") == 0) {
    std::snprintf(out, sizeof out, "%04d%02d%02d%02d%02d%02d", t.tm_year + 1900, t.tm_mon + 1,
                  t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
  } else {
    std::snprintf(out, sizeof out, "%02d%02d%04d%02d%02d%02d", t.tm_mday, t.tm_mon + 1,
                  t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec);
  }
  return out;
}

// Reads the stamp between two clock readings; retried when a second boundary
// falls between them.
std::string StampAndExpect(const char* format, const char* layout, std::string* expected) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    std::time_t before = std::time(nullptr);
    std::string stamp = GetTimeStamp(format);
    std::time_t after = std::time(nullptr);
    if (before != after) continue;
    std::tm local{};
    localtime_r(&before, &local);
    *expected = Expected(layout, local);
    return stamp;
  }
  ADD_FAILURE() << "clock kept moving";
  return {};
}

TEST(TimeStampTest, LayoutsInLocalTimeAnyCase) {
  setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
  tzset();
  const struct {
    const char* format;
    const char* layout;
  } cases[] = {{"yyyymmddhhminss", "ymd"}, {"YYYYMMDDHHMINSS", "ymd"}, {"yYyYmMdDhHmInSs", "ymd"},
               {"ddmmyyyyhhminss", "dmy"}, {"DDMMYYYYHHMINSS", "dmy"}};
  for (const auto& c : cases) {
    std::string expected;
    EXPECT_EQ(StampAndExpect(c.format, c.layout, &expected), expected) << c.format;
  }
  unsetenv("TZ");
  tzset();
}

TEST(TimeStampTest, TimeZoneIsRespected) {
  setenv("TZ", "UTC0", 1);
  tzset();
  std::string utc = GetTimeStamp("yyyymmddhhminss");
  setenv("TZ", "XST-14", 1);  // fourteen hours east of UTC
  tzset();
  std::string east = GetTimeStamp("yyyymmddhhminss");
  unsetenv("TZ");
  tzset();
  EXPECT_NE(utc.substr(8, 2), east.substr(8, 2));
}

TEST(TimeStampTest, UnknownFormatKeepsThePreviousStamp) {
  // In a fresh process the first unknown format gives the empty text; the
  // threadsafe style re-runs the binary, so the child starts fresh.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        const char* first = GetTimeStamp("hhmmss");
        std::exit(first[0] == '\0' ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  const char* made = GetTimeStamp("yyyymmddhhminss");
  std::string copy = made;
  EXPECT_EQ(copy.size(), 14u);
  const char* again = GetTimeStamp("yyyymmddhhminssx");  // 16 characters: unknown
  EXPECT_EQ(again, made);
  EXPECT_EQ(std::string(again), copy);
  EXPECT_EQ(GetTimeStamp("nonsense"), made);
  EXPECT_EQ(std::string(StampBuffer), copy);
}

}  // namespace

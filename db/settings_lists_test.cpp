// Assembly of the *GEN lists from a settings file in the working folder and
// the statement it describes, run on the private server.
#include "db/settings_lists.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/run_state.h"
#include "db/db_connection.h"
#include "db/db_test_support.h"
#include "support/string_list.h"
#include "tests/kit/temp_dir.h"
#include "tests/kit/test_db.h"

namespace {

std::vector<std::string> Entries(const StringList* list) {
  std::vector<std::string> entries;
  for (int32_t i = 0; i < ListCount(list); ++i) entries.emplace_back(list->items[i]);
  return entries;
}

class SettingsListsTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(ConnectTestProcess(), 0);
    DbCommit();
    DebugMode = false;
    savedDbSystem_ = DbSystemName;
    ASSERT_TRUE(WriteFileBytes(TestLogPath(), ""));
  }
  void TearDown() override {
    DebugMode = false;
    DbSystemName = savedDbSystem_;
    ListFree(&ValueList);
    ListFree(&TypeList);
    ListFree(&NameList);
    std::remove(SettingsPath().c_str());
    DbCommit();
  }

  static std::string SettingsPath() { return TestWorkDir() + "/VELQUARD." + DbSystemName + ".INI"; }
  static void WriteSettings(const std::string& content) {
    ASSERT_TRUE(WriteFileBytes(SettingsPath(), content));
  }
  static std::string Log() { return ReadFileBytes(TestLogPath()); }

  std::string savedDbSystem_;
};

TEST_F(SettingsListsTest, SettingsFileIsInTheWorkingFolder) {
  EXPECT_EQ(SettingsFileName(), std::string("./VELQUARD.") + kTestDbSystem + ".INI");
}

TEST_F(SettingsListsTest, StatementFromPiecesWithTerminalNameAndGap) {
  TerminalName = NewTerminalRow("gen");
  WriteSettings(
      "[REGVAL]\n"
      "SQL001=SELECT TrmDbe, TrmDnm, TrmDst, TrmDpg FROM QXSYSTEM.QXS1140TRM\n"
      "SQL002=WHERE TrmNam = '$parm01' AND '$parm01' = TrmNam\n"
      "SQL004=this piece after the gap would break the statement\n"
      "[TYPE]\n"
      "TYP001=\"T1\",\"T2\"\n"
      "TYP002=\"T3\"\n"
      "TYP003=\"T4\"\n"
      "[NAME]\n"
      "NAM001=\"N1\"\n"
      "NAM002=\"N2\",\"N3\",\"N4\"\n");
  ASSERT_EQ(BuildValueList(), 0);
  // TrmDst is NULL: an empty value.
  EXPECT_EQ(Entries(ValueList), (std::vector<std::string>{"nobody", "Init", "", "50"}));
  ASSERT_EQ(BuildTypeList(), 0);
  EXPECT_EQ(Entries(TypeList), (std::vector<std::string>{"T1", "T2", "T3", "T4"}));
  ASSERT_EQ(BuildNameList(), 0);
  EXPECT_EQ(Entries(NameList), (std::vector<std::string>{"N1", "N2", "N3", "N4"}));
  EXPECT_EQ(Log(), "");  // nothing logged outside debug mode
}

TEST_F(SettingsListsTest, PlaceholderReplacement) {
  struct Case {
    const char* label;
    std::string terminal;
    const char* statement;
    std::vector<std::string> values;
  } cases[] = {
      {"short name, close together", "ab", "SELECT '$parm01$parm01', '[$parm01]', 'x$parm0'",
       {"abab", "[ab]", "x$parm0"}},
      {"inserted text not searched again", "n$parm01", "SELECT '$parm01'", {"n$parm01"}},
      {"quote in the name", "it's", "SELECT '$parm01', LENGTH('$parm01')", {"it's", "4"}},
      {"backslash at the end", "x\\", "SELECT '$parm01', LENGTH('$parm01')", {"x\\", "2"}},
      {"Latin-1 name", "K\xFC" "che", "SELECT '$parm01', HEX('$parm01')", {"K\xFC" "che", "4BFC636865"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    TerminalName = c.terminal;
    WriteSettings(std::string("[REGVAL]\nSQL001=") + c.statement + "\n");
    ASSERT_EQ(BuildValueList(), 0);
    EXPECT_EQ(Entries(ValueList), c.values);
  }
}

TEST_F(SettingsListsTest, NameCannotWidenTheStatement) {
  std::string base = UniqueTerminalName("parm-inj");
  std::vector<std::string> names = {base + "' OR '1'='1", base + "\\' OR TrmNam <> '"};
  InsertTerminalRow(base);
  for (const std::string& n : names) InsertTerminalRow(n);
  WriteSettings(
      "[REGVAL]\n"
      "SQL001=SELECT COUNT(*), MIN(TrmNam) FROM QXSYSTEM.QXS1140TRM WHERE TrmNam = '$parm01'\n");
  for (const std::string& n : names) {
    SCOPED_TRACE(n);
    TerminalName = n;
    ASSERT_EQ(BuildValueList(), 0);
    EXPECT_EQ(Entries(ValueList), (std::vector<std::string>{"1", n}));
  }
}

TEST_F(SettingsListsTest, OnlyTheFirstRowIsUsed) {
  WriteSettings(
      "[REGVAL]\n"
      "SQL001=SELECT v, w FROM (SELECT 1 AS k, 'first' AS v, ' one ' AS w UNION ALL\n"
      "SQL002=SELECT 2, 'second', 'two') AS t ORDER BY k\n");
  ASSERT_EQ(BuildValueList(), 0);
  EXPECT_EQ(Entries(ValueList), (std::vector<std::string>{"first", "one"}));
  // The result has been released: nothing is left to fetch from.
  EXPECT_EQ(SelFetch(FetchedRowData), -1);
}

TEST_F(SettingsListsTest, FailuresOfTheValueList) {
  struct Case {
    const char* label;
    const char* settings;  // nullptr: no settings file
    int status;
    bool message;
  } cases[] = {
      {"no settings file", nullptr, 3, false},
      {"no [REGVAL] section", "[TYPE]\nTYP001=\"T\"\n", 3, false},
      {"first key empty", "[REGVAL]\nSQL001=\nSQL002=SELECT 1\n", 3, false},
      {"first key missing", "[REGVAL]\nSQL002=SELECT 1\n", 3, false},
      {"unknown table", "[REGVAL]\nSQL001=SELECT * FROM QXSYSTEM.NO_SUCH_TABLE\n", 1146, true},
      {"syntax error", "[REGVAL]\nSQL001=SELECT FROM\n", 1064, true},
      {"no row", "[REGVAL]\nSQL001=SELECT 1 FROM DUAL WHERE 1 = 0\n", 1032, false},
      {"no result set", "[REGVAL]\nSQL001=DO 1\n", -1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ASSERT_TRUE(WriteFileBytes(TestLogPath(), ""));
    std::remove(SettingsPath().c_str());
    if (c.settings != nullptr) WriteSettings(c.settings);
    ListFree(&ValueList);
    ListAdd(&ValueList, "earlier");
    testing::internal::CaptureStdout();
    int status = BuildValueList();
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(status, c.status);
    std::string message =
        c.message ? "DbTabelle kann nicht geoeffnet werden, Fehler : " + std::to_string(c.status) + "\n"
                  : "";
    EXPECT_EQ(out, message);
    EXPECT_EQ(Log(), c.message ? message + "\n" : "");
    EXPECT_EQ(Entries(ValueList), std::vector<std::string>{"earlier"});
  }
}

TEST_F(SettingsListsTest, MissingTypeAndNameSections) {
  WriteSettings("[REGVAL]\nSQL001=SELECT 1\n[TYPE]\nTYP002=\"after a gap\"\n");
  EXPECT_EQ(BuildTypeList(), 3);
  EXPECT_EQ(BuildNameList(), 3);
  EXPECT_EQ(TypeList, nullptr);
  EXPECT_EQ(NameList, nullptr);
  std::remove(SettingsPath().c_str());
  EXPECT_EQ(BuildTypeList(), 3);
  EXPECT_EQ(BuildNameList(), 3);
}

TEST_F(SettingsListsTest, DebugModeMessagesAndLog) {
  DebugMode = true;
  TerminalName = "T1";
  WriteSettings(
      "[REGVAL]\n"
      "SQL001=SELECT 'v1',\n"
      "SQL002='$parm01'\n"
      "[TYPE]\n"
      "TYP001=\"A\",\"B\"\n"
      "TYP002=\"C\"\n"
      "[NAME]\n"
      "NAM001=\"a\",\"b\",\"c\"\n");
  testing::internal::CaptureStdout();
  ASSERT_EQ(BuildValueList(), 0);
  ASSERT_EQ(BuildTypeList(), 0);
  ASSERT_EQ(BuildNameList(), 0);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out,
            "Liste mit Werten der Eintr\xE4ge erstellen:\n"
            "SQL-Statement :\n"
            "' SELECT 'v1', '$parm01' '\n"
            "Werteliste erstellt\n"
            "Liste mit Typen der Eintr\xE4ge erstellen:\n"
            "Typen-String: \n"
            "'\"A\",\"B\",\"C\"'\n"
            "Typen-Liste erstellt\n"
            "Liste mit Namen der Eintr\xE4ge erstellen:\n"
            "Typen-String: \n"
            "'\"a\",\"b\",\"c\"'\n"
            "Namen-Liste erstellt\n");
  EXPECT_EQ(Log(),
            "SELECT 'v1',\n'$parm01'\n\n"
            "\"A\",\"B\"\n\"C\"\n\n"
            "\"a\",\"b\",\"c\"\n\n");
  EXPECT_EQ(Entries(ValueList), (std::vector<std::string>{"v1", "T1"}));
}

TEST_F(SettingsListsTest, DebugModeFailureMessages) {
  DebugMode = true;
  WriteSettings("[REGVAL]\nSQL001=SELECT * FROM QXSYSTEM.NO_SUCH_TABLE\n");
  testing::internal::CaptureStdout();
  EXPECT_EQ(BuildValueList(), 1146);
  EXPECT_EQ(BuildTypeList(), 3);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out,
            "Liste mit Werten der Eintr\xE4ge erstellen:\n"
            "SQL-Statement :\n"
            "' SELECT * FROM QXSYSTEM.NO_SUCH_TABLE '\n"
            "DbTabelle kann nicht geoeffnet werden, Fehler : 1146\n"
            "Liste mit Typen der Eintr\xE4ge erstellen:\n");
  EXPECT_EQ(Log(),
            "SELECT * FROM QXSYSTEM.NO_SUCH_TABLE\n\n"
            "DbTabelle kann nicht geoeffnet werden, Fehler : 1146\n\n"
            "\n");
}

// Joined texts have no length limit, and a section is read up to key 999.
TEST_F(SettingsListsTest, LongTextsAndKeyLimit) {
  std::string settings = "[REGVAL]\nSQL001=SELECT 'v01'\n";
  std::vector<std::string> values = {"v01"};
  for (int i = 2; i <= 28; ++i) {
    std::string value = std::to_string(i) + std::string(90, 'x');
    char key[8];
    std::snprintf(key, sizeof key, "SQL%03d", i);
    settings += std::string(key) + "=, '" + value + "'\n";
    values.push_back(value);
  }
  settings += "[TYPE]\n";
  std::vector<std::string> types;
  for (int i = 1; i <= 1000; ++i) {
    char line[32];
    std::snprintf(line, sizeof line, "TYP%03d=\"t%d\"\n", i, i);
    settings += line;
    if (i <= 999) types.push_back("t" + std::to_string(i));
  }
  settings += "[NAME]\nNAM001=\"" + std::string(100, 'n') + "\"\n";
  for (int i = 2; i <= 30; ++i) {
    char key[8];
    std::snprintf(key, sizeof key, "NAM%03d", i);
    settings += std::string(key) + "=\"" + std::string(100, 'n') + "\"\n";
  }
  WriteSettings(settings);
  ASSERT_EQ(BuildValueList(), 0);  // a statement of about 2,600 characters
  EXPECT_EQ(Entries(ValueList), values);
  ASSERT_EQ(BuildTypeList(), 0);
  EXPECT_EQ(Entries(TypeList), types);
  ASSERT_EQ(BuildNameList(), 0);  // a name text of about 3,100 characters
  EXPECT_EQ(Entries(NameList), std::vector<std::string>(30, std::string(100, 'n')));
}

}  // namespace

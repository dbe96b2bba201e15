// The terminal's status row: the three updates on existing and missing rows,
// their commit behaviour, and names that would change an unescaped statement.
#include "db/terminal_status.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "db/db_test_support.h"
#include "tests/kit/temp_dir.h"
#include "tests/kit/test_db.h"

namespace {

class TerminalStatusTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(ConnectTestProcess(), 0);
    DbCommit();
  }
};

TEST_F(TerminalStatusTest, StartStateEndOnExistingRow) {
  std::string name = NewTerminalRow("status");
  std::string neighbour = NewTerminalRow("status-neighbour");

  ASSERT_EQ(TrmDownloadStart(name.c_str(), "20240131235958", "Operator", "Registry", 40), 0);
  EXPECT_EQ(StatementBuffer,
            "UPDATE QXSYSTEM.QXS1140TRM  SET TrmDtd = '20240131235958',   TrmDbe = 'Operator',   "
            "TrmDnm = 'Registry',   TrmDtp = 40,     TrmDst = NULL,   TrmDpg = 0,   TrmDac = 1  "
            "WHERE TrmNam = '" + name + "'");
  EXPECT_EQ(TerminalRow(name), kInitialTerminalRow);  // not committed yet
  ASSERT_EQ(DbCommit(), 1);
  EXPECT_EQ(TerminalRow(name), "20240131235958\tOperator\tRegistry\t40\tNULL\t0\t1\n");

  ASSERT_EQ(TrmDownloadState(name.c_str(), "20240131235959", 530, 25), 0);
  EXPECT_EQ(StatementBuffer,
            "UPDATE QXSYSTEM.QXS1140TRM  SET TrmDtd = '20240131235959',   TrmDst = 530,   "
            "TrmDpg = 25  WHERE TrmNam = '" + name + "'");
  // Committed by the call itself.
  EXPECT_EQ(TerminalRow(name), "20240131235959\tOperator\tRegistry\t40\t530\t25\t1\n");

  ASSERT_EQ(TrmDownloadEnd(name.c_str(), "20240201000001"), 0);
  EXPECT_EQ(StatementBuffer,
            "UPDATE QXSYSTEM.QXS1140TRM  SET TrmDtd = '20240201000001',   TrmDac = 0  WHERE TrmNam = '" +
                name + "'");
  ASSERT_EQ(DbCommit(), 1);
  EXPECT_EQ(TerminalRow(name), "20240201000001\tOperator\tRegistry\t40\t530\t25\t0\n");
  EXPECT_EQ(TerminalRow(neighbour), kInitialTerminalRow);
}

TEST_F(TerminalStatusTest, StateWritesTheStatusAsSigned32Bit) {
  struct Case {
    int32_t status;
    const char* stored;
  } cases[] = {{-1, "-1"}, {0, "0"}, {10061, "10061"}, {INT32_MIN, "-2147483648"},
               {INT32_MAX, "2147483647"}};
  std::string name = NewTerminalRow("state");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    ASSERT_EQ(TrmDownloadState(name.c_str(), "20240305060708", c.status, 0), 0);
    EXPECT_EQ(TerminalRow(name),
              std::string("20240305060708\tnobody\tInit\t7\t") + c.stored + "\t0\t0\n");
  }
}

TEST_F(TerminalStatusTest, MissingRowChangesNothing) {
  std::string neighbour = NewTerminalRow("missing-neighbour");
  std::string missing = UniqueTerminalName("missing");
  EXPECT_EQ(TrmDownloadStart(missing.c_str(), "20240101010101", "Operator", "Registry", 40), 0);
  EXPECT_EQ(TrmDownloadState(missing.c_str(), "20240101010102", -1, 0), 0);
  EXPECT_EQ(TrmDownloadEnd(missing.c_str(), "20240101010103"), 0);
  ASSERT_EQ(DbCommit(), 1);
  EXPECT_EQ(TerminalRow(missing), "");
  EXPECT_EQ(TerminalRow(neighbour), kInitialTerminalRow);
}

TEST_F(TerminalStatusTest, FailingStateUpdateStillCommitsEarlierStart) {
  std::string name = NewTerminalRow("failing-state");
  ASSERT_EQ(TrmDownloadStart(name.c_str(), "20240202020202", "Operator", "Registry", 40), 0);
  // A stamp too long for TrmDtd makes the update itself fail.
  EXPECT_EQ(TrmDownloadState(name.c_str(), "202402020202030", 17, 0), 1406);
  EXPECT_EQ(TerminalRow(name), "20240202020202\tOperator\tRegistry\t40\tNULL\t0\t1\n");
}

// Whether a start becomes durable depends on a later commit: a process that
// ends after the start alone leaves the row as it was; one that records a
// state afterwards has committed both.
TEST(TerminalStatusProcessTest, StateCommitMakesStartDurable) {
  ASSERT_TRUE(RequireTestDb());
  TempDir root;
  std::string work = MakeRunRoot(root.path());
  ASSERT_TRUE(WriteTestLoginFile(root.path(), "VQTEST"));

  std::string startOnly = NewTerminalRow("start-only");
  ProcessResult result = RunProbe({"start", startOnly, "Operator"}, work);
  ASSERT_EQ(ProbeValue(result, "connect"), "0") << result.err;
  ASSERT_EQ(ProbeValue(result, "step"), "0");
  EXPECT_EQ(TerminalRow(startOnly), kInitialTerminalRow);

  std::string startState = NewTerminalRow("start-state");
  result = RunProbe({"start-state", startState, "Operator", "10061"}, work);
  ASSERT_EQ(ProbeValue(result, "connect"), "0") << result.err;
  ASSERT_EQ(ProbeValue(result, "step"), "0");
  EXPECT_EQ(TerminalRow(startState), "20240102030406\tOperator\tRegistry\t40\t10061\t0\t1\n");
}

TEST_F(TerminalStatusTest, QuotesAndBackslashesSelectTheirOwnRowOnly) {
  std::string base = UniqueTerminalName("inj");
  std::vector<std::string> names = {base + "a' OR '1'='1", base + "x\\", base + "q\"d",
                                    base + "\\' OR TrmNam LIKE '%"};
  std::vector<std::string> bystanders = {base, base + "a", base + "x", base + "x\\\\"};
  for (const std::string& n : names) InsertTerminalRow(n);
  for (const std::string& n : bystanders) InsertTerminalRow(n);

  for (const std::string& n : names) {
    SCOPED_TRACE(n);
    ASSERT_EQ(TrmDownloadStart(n.c_str(), "20240404040404", "Operator", "Registry", 40), 0);
    ASSERT_EQ(TrmDownloadState(n.c_str(), "20240404040405", 91, 0), 0);
    ASSERT_EQ(TrmDownloadEnd(n.c_str(), "20240404040406"), 0);
    ASSERT_EQ(DbCommit(), 1);
    EXPECT_EQ(TerminalRow(n), "20240404040406\tOperator\tRegistry\t40\t91\t0\t0\n");
  }
  for (const std::string& n : bystanders) {
    SCOPED_TRACE(n);
    EXPECT_EQ(TerminalRow(n), kInitialTerminalRow);
  }
}

TEST_F(TerminalStatusTest, TextValuesAreStoredAsGiven) {
  struct Case {
    std::string user;
    std::string transfer;
  } cases[] = {
      {"u', TrmDac = 9, TrmDbe = 'v", "Registry"},
      {"back\\slash", "it's"},
      {"M\xFCller \xC4rger", "Stra\xDF" "e"},  // Latin-1 bytes
  };
  std::string name = NewTerminalRow("texts");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.user);
    ASSERT_EQ(TrmDownloadStart(name.c_str(), "20240505050505", c.user.c_str(), c.transfer.c_str(), -2),
              0);
    ASSERT_EQ(DbCommit(), 1);
    EXPECT_EQ(TerminalRow(name),
              "20240505050505\t" + c.user + "\t" + c.transfer + "\t-2\tNULL\t0\t1\n");
  }
}

}  // namespace

// The location query on QXSYSTEM.QXS113STO. These tests replace the table's
// content, so they hold the CTest lock sto_table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/db_test_support.h"
#include "db/terminal_status.h"
#include "tests/kit/test_db.h"

namespace {

class LocationQueryTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(ConnectTestProcess(), 0);
    DbCommit();
  }
  void TearDown() override {
    if (StoQuery.result != nullptr) StoClose();
    DbCommit();
  }
};

// Fetches until a non-zero status; a NULL number shows as "<untouched>".
std::vector<std::string> FetchAll(int& endStatus) {
  std::vector<std::string> numbers;
  for (int i = 0; i < 100; ++i) {
    std::string dest = "<untouched>";
    endStatus = StoFetch(dest);
    if (endStatus != 0) break;
    numbers.push_back(dest);
  }
  return numbers;
}

TEST_F(LocationQueryTest, ActiveNumbersOnceInOrder) {
  const std::string longNumber = "12345678901234567890123456789";
  TestDbExec(
      "DELETE FROM QXSYSTEM.QXS113STO; INSERT INTO QXSYSTEM.QXS113STO (StoNum, StoSta) VALUES "
      "('17', 1), ('000000', NULL), ('123456', 0), ('17', 2), ('4444', 4), ('8888', 8), "
      "('17', 4), (NULL, 1), ('99', NULL), ('0', 3), ('" + longNumber + "', 1), ('4444', 8)");
  ASSERT_EQ(StoOpen(), 0);
  EXPECT_EQ(StatementBuffer,
            "SELECT DISTINCT StoNum   FROM QXSYSTEM.QXS113STO  WHERE ((StoSta <> 4 AND StoSta <> "
            "8) OR StoSta IS NULL)  ORDER BY StoNum");
  int end = 0;
  std::vector<std::string> numbers = FetchAll(end);
  EXPECT_EQ(numbers, (std::vector<std::string>{"<untouched>", "0", "000000", "123456", longNumber,
                                               "17", "99"}));
  EXPECT_EQ(end, kDbEndOfRows);
  std::string dest = "kept";
  EXPECT_EQ(StoFetch(dest), kDbEndOfRows);
  EXPECT_EQ(StoFetch(dest), kDbEndOfRows);
  EXPECT_EQ(dest, "kept");
  EXPECT_EQ(StoClose(), 0);
  EXPECT_EQ(StoClose(), -1);
  EXPECT_EQ(StoFetch(dest), -1);
}

TEST_F(LocationQueryTest, OnlyLeftOutStatusesGiveNoRow) {
  TestDbExec(
      "DELETE FROM QXSYSTEM.QXS113STO; INSERT INTO QXSYSTEM.QXS113STO (StoNum, StoSta) VALUES "
      "('1', 4), ('2', 8), ('3', 4)");
  ASSERT_EQ(StoOpen(), 0);
  std::string dest;
  EXPECT_EQ(StoFetch(dest), kDbEndOfRows);
  EXPECT_EQ(StoClose(), 0);
}

TEST_F(LocationQueryTest, MissingTableReportsTheServerError) {
  TestDbExec(
      "SET SESSION lock_wait_timeout = 20; DROP TABLE IF EXISTS QXSYSTEM.QXS113STO_AWAY; "
      "RENAME TABLE QXSYSTEM.QXS113STO TO QXSYSTEM.QXS113STO_AWAY");
  int status = StoOpen();
  std::string dest = "kept";
  int fetch = StoFetch(dest);
  DbCommit();
  TestDbExec(
      "SET SESSION lock_wait_timeout = 20; RENAME TABLE QXSYSTEM.QXS113STO_AWAY TO "
      "QXSYSTEM.QXS113STO");
  EXPECT_EQ(status, 1146);
  EXPECT_EQ(fetch, -1);
  EXPECT_EQ(dest, "kept");
}

}  // namespace

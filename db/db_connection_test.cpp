// The connection layer against the private MariaDB server: connecting from
// the login file, failed connections (in a process of their own), autocommit,
// and running, fetching and releasing results.
#include "db/db_connection.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "app/run_state.h"
#include "db/db_test_support.h"
#include "tests/kit/temp_dir.h"
#include "tests/kit/test_db.h"

namespace {

class DbConnectionTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(ConnectTestProcess(), 0);
    DbCommit();  // a fresh transaction: sees what other connections committed
  }
};

// Runs statement on a handle and returns DbExecute's status.
int Execute(QueryHandle& q, const char* statement) {
  q.statement = statement;
  return DbExecute(q);
}

// A TCP port on 127.0.0.1 that nothing listens on.
int ClosedPort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  close(fd);
  return port;
}

TEST_F(DbConnectionTest, ConnectsToUpperCasedSchemaWithLatin1AndAutocommitOff) {
  EXPECT_EQ(DbSystemName, kTestDbSystem);
  EXPECT_EQ(SchemaName, "QXSYSTEM");
  ASSERT_EQ(SelOpen("SELECT @@autocommit, @@character_set_client, @@character_set_connection, "
                    "@@character_set_results, DATABASE(), CURRENT_USER()"),
            0);
  FetchedRow row;
  ASSERT_EQ(SelFetch(row), 0);
  EXPECT_EQ(row.columnCount, 6);
  EXPECT_EQ(row.columns[0], "0");
  EXPECT_EQ(row.columns[1], "latin1");
  EXPECT_EQ(row.columns[2], "latin1");
  EXPECT_EQ(row.columns[3], "latin1");
  EXPECT_EQ(row.columns[4], "QXSYSTEM");
  EXPECT_EQ(row.columns[5].substr(0, TestDbUser().size() + 1), TestDbUser() + "@");
  EXPECT_EQ(SelClose(), 0);
}

struct ConnectCase {
  const char* label;
  const char* password;       // nullptr: no login file at all
  std::string dbSystem;
  std::string net8;
  bool debug;
  bool closedPort;            // MYSQL_TCP_PORT names a port nobody listens on
  int expectedStatus;
  std::string expectedDbSystem;
};

const std::string kHost41 = "0x" + std::string(31, '0') + "7f000001";  // 127.0.0.1 in 41 characters
const std::string kHost42 = "0x" + std::string(32, '0') + "7f000001";

std::vector<ConnectCase> ConnectCases() {
  return {
      {"right login", "", "VQTEST", "127.0.0.1", false, false, 0, "VQTEST"},
      {"wrong password", "wrong-Pass", "VQTEST", "127.0.0.1", false, false, 1045, "VQTEST"},
      {"wrong password with dump", "wrong-Pass", "VQTEST", "127.0.0.1", true, false, 1045, "VQTEST"},
      {"server not running", "", "VQTEST", "127.0.0.1", false, true, 2002, "VQTEST"},
      {"no login file", nullptr, "", "", true, false, 2002, ""},
      {"DB_SYSTEM cut to 40", "", std::string(38, 'S') + "ABCDE", "127.0.0.1", false, false, 0,
       std::string(38, 'S') + "AB"},
      {"NET8 of 41 characters used", "", "VQTEST", kHost41, false, false, 0, "VQTEST"},
      // Without a host name the library goes to its local socket, which the
      // test points at a file that does not exist.
      {"NET8 of 42 characters not used", "", "VQTEST", kHost42, true, false, 2002, "VQTEST"},
  };
}

TEST(DbConnectProcessTest, ConnectOutcomesAndMessages) {
  ASSERT_TRUE(RequireTestDb());
  for (const ConnectCase& c : ConnectCases()) {
    SCOPED_TRACE(c.label);
    TempDir root;
    std::string work = MakeRunRoot(root.path());
    std::string password = c.password == nullptr ? "" : (*c.password ? c.password : TestDbPassword());
    std::string loginFile = root.path() + "/Files/Orvantis.Ini";
    if (c.dbSystem.size() > 40 || c.net8.size() > 41) {  // beyond what velqlogin writes
      ASSERT_TRUE(WriteRawLoginFile(loginFile, TestDbUser(), password, c.dbSystem, c.net8));
    } else if (c.password != nullptr) {
      ASSERT_TRUE(WriteLoginFile(loginFile, TestDbUser(), password, c.dbSystem, c.net8));
    }
    std::vector<std::pair<std::string, std::string>> env = {
        {"MYSQL_UNIX_PORT", root.path() + "/no-server.sock"}};
    if (c.closedPort) env.emplace_back("MYSQL_TCP_PORT", std::to_string(ClosedPort()));
    std::vector<std::string> args = {"connect"};
    if (c.debug) args.push_back("/D");

    ProcessResult result = RunProbe(args, work, env);
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    int status = std::stoi(ProbeValue(result, "connect"));
    EXPECT_EQ(status, c.expectedStatus);
    EXPECT_EQ(ProbeValue(result, "dbsystem"), c.expectedDbSystem);
    EXPECT_EQ(ProbeValue(result, "schema"), "QXSYSTEM");

    std::string expectedOut;
    if (status != 0) {
      expectedOut = "Datenbankverbindung fehlgeschlagen, Fehler: " + std::to_string(status) + "\n";
      if (c.debug) {
        std::string user = c.password == nullptr ? "" : TestDbUser();
        std::string host = c.net8.size() <= 41 ? c.net8 : "";
        expectedOut += "DBSys   : " + c.expectedDbSystem + "\nUser    : " + user +
                       "\nPasswort: " + password + "\nNet8    : " + host +
                       "\nSchema  : Qxsystem\n";
      }
    }
    EXPECT_EQ(result.out, expectedOut);
  }
}

TEST_F(DbConnectionTest, UncommittedUpdateInvisibleElsewhereUntilCommit) {
  std::string name = NewTerminalRow("autocommit");
  std::string update =
      "UPDATE QXSYSTEM.QXS1140TRM SET TrmDbe = 'changed' WHERE TrmNam = " + SqlQuote(name);
  LocalQuery q(update.c_str());
  ASSERT_EQ(DbExecute(q.q), 0);
  EXPECT_EQ(TerminalRow(name), kInitialTerminalRow);  // a second connection sees the old row
  EXPECT_EQ(DbCommit(), 1);
  EXPECT_EQ(TerminalRow(name), "19990101000000\tchanged\tInit\t7\tNULL\t50\t0\n");
}

TEST(DbConnectProcessTest, UncommittedUpdateGoneWhenProcessEnds) {
  ASSERT_TRUE(RequireTestDb());
  TempDir root;
  std::string work = MakeRunRoot(root.path());
  ASSERT_TRUE(WriteTestLoginFile(root.path(), "VQTEST"));
  std::string name = NewTerminalRow("rollback");
  ProcessResult result = RunProbe(
      {"exec", "UPDATE QXSYSTEM.QXS1140TRM SET TrmDbe = 'lost' WHERE TrmNam = " + SqlQuote(name)},
      work);
  ASSERT_EQ(ProbeValue(result, "connect"), "0") << result.err;
  ASSERT_EQ(ProbeValue(result, "step"), "0");
  EXPECT_EQ(TerminalRow(name), kInitialTerminalRow);
}

TEST_F(DbConnectionTest, HandlesWithoutResult) {
  std::string name = NewTerminalRow("noresult");
  std::string update = "UPDATE QXSYSTEM.QXS1140TRM SET TrmDpg = 1 WHERE TrmNam = " + SqlQuote(name);
  MYSQL_ROW row = nullptr;

  QueryHandle fresh;
  EXPECT_EQ(DbFetch(fresh, &row), -1);
  EXPECT_EQ(DbFreeResult(fresh), -1);

  QueryHandle q;
  ASSERT_EQ(Execute(q, update.c_str()), 0);
  EXPECT_EQ(q.result, nullptr);
  EXPECT_EQ(DbFetch(q, &row), -1);
  EXPECT_EQ(DbFreeResult(q), -1);

  // No result set: SelColumns stays 0 and there is nothing to fetch.
  ASSERT_EQ(SelOpen("SET @velq_probe = 1"), 0);
  EXPECT_EQ(SelColumns, 0);
  FetchedRow kept;
  kept.columnCount = 9;
  kept.columns[0] = "kept";
  EXPECT_EQ(SelFetch(kept), -1);
  EXPECT_EQ(kept.columnCount, 9);
  EXPECT_EQ(kept.columns[0], "kept");
  EXPECT_EQ(SelClose(), -1);
  DbCommit();
}

TEST_F(DbConnectionTest, FetchesRowsThenEndOfRowsEveryTime) {
  QueryHandle q;
  ASSERT_EQ(Execute(q, "SELECT 'one' UNION ALL SELECT 'two'"), 0);
  ASSERT_NE(q.result, nullptr);
  MYSQL_ROW row = nullptr;
  ASSERT_EQ(DbFetch(q, &row), 0);
  EXPECT_STREQ(row[0], "one");
  ASSERT_EQ(DbFetch(q, &row), 0);
  EXPECT_STREQ(row[0], "two");
  EXPECT_EQ(q.rowsFetched, 2);
  row = nullptr;
  EXPECT_EQ(DbFetch(q, &row), kDbEndOfRows);
  EXPECT_EQ(DbFetch(q, &row), kDbEndOfRows);
  EXPECT_EQ(row, nullptr);
  EXPECT_EQ(DbFreeResult(q), 0);
  EXPECT_EQ(q.result, nullptr);
  EXPECT_EQ(q.rowsFetched, 0);
  EXPECT_EQ(DbFetch(q, &row), -1);
  EXPECT_EQ(DbFreeResult(q), -1);

  QueryHandle empty;
  ASSERT_EQ(Execute(empty, "SELECT 1 FROM DUAL WHERE 1 = 0"), 0);
  EXPECT_EQ(DbFetch(empty, &row), kDbEndOfRows);
  EXPECT_EQ(DbFreeResult(empty), 0);
}

TEST_F(DbConnectionTest, FailingStatementsReturnTheServerError) {
  struct Case {
    const char* statement;
    int status;
  } cases[] = {
      {"SELECT * FROM QXSYSTEM.NO_SUCH_TABLE", 1146},
      {"SELEKT 1", 1064},
      {"SELECT NoSuchColumn FROM QXSYSTEM.QXS1140TRM", 1054},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.statement);
    QueryHandle q;
    EXPECT_EQ(Execute(q, c.statement), c.status);
    EXPECT_EQ(q.result, nullptr);
    EXPECT_EQ(SelOpen(c.statement), c.status);
    EXPECT_EQ(SelColumns, 0);
  }
}

TEST_F(DbConnectionTest, SelFetchSlots) {
  const std::string longText(150, 'L');
  std::string statement = "SELECT 'a', NULL, '', '  b  ', '" + longText + "', 'Gr\xFC\xDF" "e'";
  ASSERT_EQ(SelOpen(statement.c_str()), 0);
  EXPECT_EQ(SelColumns, 6);
  FetchedRow row;
  for (std::string& slot : row.columns) slot = "old";
  ASSERT_EQ(SelFetch(row), 0);
  EXPECT_EQ(row.columnCount, 6);
  std::vector<std::string> expected = {"a", "", "", "  b  ", longText, "Gr\xFC\xDF" "e"};
  for (int i = 0; i < kFetchedColumns; ++i) {
    EXPECT_EQ(row.columns[i], i < 6 ? expected[static_cast<size_t>(i)] : "") << "slot " << i;
  }
  // After the only row the outputs stay as they are.
  row.columns[0] = "kept";
  EXPECT_EQ(SelFetch(row), kDbEndOfRows);
  EXPECT_EQ(row.columns[0], "kept");
  EXPECT_EQ(SelClose(), 0);
}

TEST_F(DbConnectionTest, SelFetchColumnLimit) {
  for (int columns : {30, 31}) {
    SCOPED_TRACE(columns);
    std::string statement = "SELECT ";
    for (int i = 1; i <= columns; ++i) {
      if (i > 1) statement += ", ";
      statement += "'c" + std::to_string(i) + "'";
    }
    ASSERT_EQ(SelOpen(statement.c_str()), 0);
    EXPECT_EQ(SelColumns, columns);
    FetchedRow row;
    row.columns[0] = "untouched";
    if (columns <= kFetchedColumns) {
      ASSERT_EQ(SelFetch(row), 0);
      EXPECT_EQ(row.columnCount, columns);
      EXPECT_EQ(row.columns[0], "c1");
      EXPECT_EQ(row.columns[29], "c30");
    } else {
      EXPECT_EQ(SelFetch(row), -1);  // its 31st value would be lost
      EXPECT_EQ(row.columns[0], "untouched");
      EXPECT_EQ(row.columnCount, 0);
    }
    EXPECT_EQ(SelClose(), 0);
  }
}

}  // namespace

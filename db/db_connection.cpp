#include "db/db_connection.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "app/run_state.h"
#include "config/login_file.h"
#include "support/string_list.h"

MYSQL* DbHandle = nullptr;
QueryHandle SelQuery;
int16_t SelColumns = 0;
std::string DbSystemName;

namespace {

// The connection record DbHandle points to once DbLogon has run; a record of
// our own, so an error number can be read even when initialising fails.
MYSQL DbRecord;

// Longest DB_SYSTEM value kept, and the NET8 values used as host name.
constexpr size_t kDbSystemMax = 40;
constexpr size_t kHostMax = 41;

}  // namespace

LocalQuery::~LocalQuery() {
  if (q.result != nullptr) DbFreeResult(q);
}

int DbConnect() {
  std::string user;
  std::string password;
  std::string host;
  DbSystemName.clear();

  ReadLoginValue("", "LOGIN", 0, kLoginFilePath);
  user = LoginValue;
  ReadLoginValue("", "PASS", 0, kLoginFilePath);
  password = LoginValue;
  ReadLoginValue("", "DB_SYSTEM", 0, kLoginFilePath);
  DbSystemName = LoginValue.substr(0, kDbSystemMax);
  ReadLoginValue("", "NET8", 0, kLoginFilePath);
  if (!LoginValue.empty() && LoginValue.size() <= kHostMax) host = LoginValue;

  StrUpper(SchemaName.data());

  int status = DbLogon(user.c_str(), password.c_str(), host.c_str(), SchemaName.c_str());
  if (status == 0) return 0;

  std::printf("Datenbankverbindung fehlgeschlagen, Fehler: %d\n", status);
  if (DebugMode) {
    std::printf("DBSys   : %s\nUser    : %s\nPasswort: %s\nNet8    : %s\nSchema  : %s\n",
                DbSystemName.c_str(), user.c_str(), password.c_str(), host.c_str(), "Qxsystem");
  }
  return status;
}

int DbLogon(const char* user, const char* password, const char* host, const char* database) {
  if (DbHandle != nullptr) {
    // A second logon replaces the first connection instead of leaking it.
    mysql_close(DbHandle);
    DbHandle = nullptr;
  }
  std::memset(&DbRecord, 0, sizeof DbRecord);
  if (mysql_init(&DbRecord) == nullptr) {
    int error = static_cast<int>(mysql_errno(&DbRecord));
    return error != 0 ? error : -1;
  }
  DbHandle = &DbRecord;
  // Texts travel as the single bytes of the Latin-1 code page.
  mysql_options(DbHandle, MYSQL_SET_CHARSET_NAME, "latin1");
  if (mysql_real_connect(DbHandle, host, user, password, database, 0, nullptr, 0) == nullptr) {
    int error = static_cast<int>(mysql_errno(DbHandle));
    return error != 0 ? error : -1;
  }
  LocalQuery off("SET AUTOCOMMIT = 0");
  DbExecute(off.q);
  return 0;
}

int DbExecute(QueryHandle& q) {
  q.result = nullptr;
  q.rowsFetched = 0;
  if (DbHandle == nullptr || q.statement == nullptr) return -1;
  if (mysql_real_query(DbHandle, q.statement, std::strlen(q.statement)) != 0) {
    int error = static_cast<int>(mysql_errno(DbHandle));
    return error != 0 ? error : -1;
  }
  q.result = mysql_store_result(DbHandle);
  if (mysql_errno(DbHandle) != 0) {
    if (q.result != nullptr) {
      mysql_free_result(q.result);
      q.result = nullptr;
    }
    return -1;
  }
  return 0;
}

int DbFetch(QueryHandle& q, MYSQL_ROW* row) {
  if (q.result == nullptr) return -1;
  if (static_cast<uint64_t>(q.rowsFetched) >= static_cast<uint64_t>(mysql_num_rows(q.result))) {
    return kDbEndOfRows;
  }
  MYSQL_ROW fetched = mysql_fetch_row(q.result);
  if (fetched == nullptr || mysql_errno(DbHandle) != 0) return -1;
  *row = fetched;
  ++q.rowsFetched;
  return 0;
}

int DbFreeResult(QueryHandle& q) {
  if (q.result == nullptr) return -1;
  mysql_free_result(q.result);
  q.result = nullptr;
  q.rowsFetched = 0;
  return 0;
}

int DbCommit() {
  LocalQuery commit("COMMIT");
  return DbExecute(commit.q) == 0 ? 1 : 0;
}

int SelOpen(const char* statement) {
  SelColumns = 0;
  if (SelQuery.result != nullptr) DbFreeResult(SelQuery);  // an earlier result not closed
  SelQuery.statement = statement;
  int status = DbExecute(SelQuery);
  if (status == 0 && SelQuery.result != nullptr) {
    unsigned int fields = mysql_num_fields(SelQuery.result);
    SelColumns = static_cast<int16_t>(fields > INT16_MAX ? INT16_MAX : fields);
  }
  SelQuery.statement = nullptr;  // the text is needed only while it runs
  return status;
}

int SelFetch(FetchedRow& row) {
  MYSQL_ROW fetched = nullptr;
  int status = DbFetch(SelQuery, &fetched);
  if (status != 0) return status;
  if (SelColumns > kFetchedColumns) return -1;  // its values would not fit the row
  unsigned long* lengths = mysql_fetch_lengths(SelQuery.result);
  FetchedRow filled;
  for (int i = 0; i < SelColumns; ++i) {
    if (fetched[i] != nullptr) filled.columns[i].assign(fetched[i], lengths[i]);
  }
  filled.columnCount = SelColumns;
  row = std::move(filled);
  return 0;
}

int SelClose() { return DbFreeResult(SelQuery); }

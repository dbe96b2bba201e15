// The run's one database connection and a thin layer over the MySQL C API.
// Autocommit is off from the moment of connecting; changes become durable
// only through DbCommit.
#pragma once

#include <mysql.h>

#include <cstdint>
#include <string>

#include "support/csv_list.h"

// Status for "every row of the result has been fetched".
inline constexpr int kDbEndOfRows = 1032;

// The process-wide connection record; connected by DbLogon, never closed
// explicitly (it ends with the process).
extern MYSQL* DbHandle;

// One SQL statement with its stored result.
struct QueryHandle {
  const char* statement = nullptr;  // not owned; needed only while DbExecute runs
  MYSQL_RES* result = nullptr;      // stored result set, or null
  int32_t rowsFetched = 0;          // rows fetched from result so far
};

// A short-lived statement whose result, if any, is released when it goes out
// of scope.
struct LocalQuery {
  explicit LocalQuery(const char* statement) { q.statement = statement; }
  ~LocalQuery();
  LocalQuery(const LocalQuery&) = delete;
  LocalQuery& operator=(const LocalQuery&) = delete;
  QueryHandle q;
};

// The settings-value query and the column count of its result.
extern QueryHandle SelQuery;
extern int16_t SelColumns;

// The login file's DB_SYSTEM value (at most 40 characters); names the
// settings file.
extern std::string DbSystemName;

// Reads the login values, upper-cases SchemaName and connects. Returns 0 or
// the error number of the failed connection (the message is printed here).
int DbConnect();

// Initialises DbHandle, connects (port 0, no socket path, latin1) and turns
// autocommit off. Returns 0 or the client library's error number.
int DbLogon(const char* user, const char* password, const char* host, const char* database);

// Runs q.statement and stores its whole result. Returns 0; the error number
// when the statement fails; -1 when its result cannot be stored.
int DbExecute(QueryHandle& q);

// Fetches the next row of q into *row. Returns 0 and the row; 1032 when all
// rows have been fetched (again on every later call); -1 when q holds no
// result or the fetch fails (*row untouched on non-zero).
int DbFetch(QueryHandle& q, MYSQL_ROW* row);

// Releases q's result. Returns 0; -1 when q holds no result.
int DbFreeResult(QueryHandle& q);

// Runs "COMMIT". Returns 1 when it succeeded, 0 when it failed.
int DbCommit();

// Runs statement on SelQuery; on success SelColumns is its column count.
int SelOpen(const char* statement);

// Fetches the next row of SelQuery into row (only on 0). A NULL column gives
// an empty text; a column text is kept whole, whatever its length; a row of
// more than 30 columns is refused with -1.
int SelFetch(FetchedRow& row);

// Releases SelQuery's result (as DbFreeResult).
int SelClose();

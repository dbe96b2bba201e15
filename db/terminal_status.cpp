#include "db/terminal_status.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

std::string StatementBuffer;
QueryHandle StoQuery;

namespace {

// Formats a statement into StatementBuffer; it holds a statement of any
// length.
void FormatStatement(const char* format, ...) __attribute__((format(printf, 1, 2)));

void FormatStatement(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  if (length < 0) length = 0;
  std::vector<char> text(static_cast<size_t>(length) + 1);
  std::vsnprintf(text.data(), text.size(), format, again);
  va_end(again);
  StatementBuffer.assign(text.data(), static_cast<size_t>(length));
}

// Runs StatementBuffer as a single statement and releases any result.
int RunStatement() {
  LocalQuery update(StatementBuffer.c_str());
  return DbExecute(update.q);
}

}  // namespace

std::string EscapeSqlText(const char* text) {
  size_t length = std::strlen(text);
  std::vector<char> escaped(2 * length + 1);
  unsigned long written =
      DbHandle != nullptr
          ? mysql_real_escape_string(DbHandle, escaped.data(), text, length)
          : mysql_escape_string(escaped.data(), text, length);
  if (written == static_cast<unsigned long>(-1)) written = 0;
  return std::string(escaped.data(), written);
}

int TrmDownloadStart(const char* terminal, const char* stamp, const char* user,
                     const char* transfer, int16_t type) {
  FormatStatement(
      "UPDATE QXSYSTEM.QXS1140TRM  SET TrmDtd = '%s',   TrmDbe = '%s',   TrmDnm = '%s',   "
      "TrmDtp = %d,     TrmDst = NULL,   TrmDpg = 0,   TrmDac = 1  WHERE TrmNam = '%s'",
      EscapeSqlText(stamp).c_str(), EscapeSqlText(user).c_str(), EscapeSqlText(transfer).c_str(),
      static_cast<int>(type), EscapeSqlText(terminal).c_str());
  return RunStatement();
}

int TrmDownloadState(const char* terminal, const char* stamp, int32_t status, int16_t progress) {
  FormatStatement(
      "UPDATE QXSYSTEM.QXS1140TRM  SET TrmDtd = '%s',   TrmDst = %d,   TrmDpg = %d  WHERE "
      "TrmNam = '%s'",
      EscapeSqlText(stamp).c_str(), static_cast<int>(status), static_cast<int>(progress),
      EscapeSqlText(terminal).c_str());
  int result = RunStatement();
  // Committed whatever the update returned, so an earlier start record
  // becomes durable too.
  DbCommit();
  return result;
}

int TrmDownloadEnd(const char* terminal, const char* stamp) {
  FormatStatement(
      "UPDATE QXSYSTEM.QXS1140TRM  SET TrmDtd = '%s',   TrmDac = 0  WHERE TrmNam = '%s'",
      EscapeSqlText(stamp).c_str(), EscapeSqlText(terminal).c_str());
  return RunStatement();
}

int StoOpen() {
  if (StoQuery.result != nullptr) DbFreeResult(StoQuery);  // an earlier query not closed
  FormatStatement("%s",
                  "SELECT DISTINCT StoNum   FROM QXSYSTEM.QXS113STO  WHERE ((StoSta <> 4 AND "
                  "StoSta <> 8) OR StoSta IS NULL)  ORDER BY StoNum");
  StoQuery.statement = StatementBuffer.c_str();
  int status = DbExecute(StoQuery);
  StoQuery.statement = nullptr;  // the result is stored whole; the text is no longer needed
  return status;
}

int StoFetch(std::string& dest) {
  MYSQL_ROW row = nullptr;
  int status = DbFetch(StoQuery, &row);
  if (status != 0) return status;
  if (mysql_num_fields(StoQuery.result) < 1 || row[0] == nullptr) return 0;
  unsigned long* lengths = mysql_fetch_lengths(StoQuery.result);
  dest.assign(row[0], lengths[0]);
  return 0;
}

int StoClose() { return DbFreeResult(StoQuery); }

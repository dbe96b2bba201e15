// Quoted comma-separated lists: a fetched row written as one quoted line,
// and such a line (or a type or name text) split into a StringList.
#pragma once

#include <cstdint>
#include <string>

#include "support/string_list.h"

inline constexpr int kFetchedColumns = 30;

// One fetched row: the number of valid columns and 30 column texts. A NULL
// column, and every slot past columnCount, is empty.
struct FetchedRow {
  int32_t columnCount = 0;
  std::string columns[kFetchedColumns];
};

// The process-wide row that the settings-value query fills and RowToCsv reads.
extern FetchedRow FetchedRowData;

// The quoted line that RowToCsv builds; it holds a complete line of any length.
extern std::string CsvText;

// Rebuilds CsvText from FetchedRowData: each column trimmed of blanks and
// tabs, enclosed in double quotes, with commas between the columns.
void RowToCsv();

// Appends '"', the field trimmed of blanks and tabs (in place), and "\","
// to CsvText.
void AppendCsvField(char* field);

// Splits text (up to its first NUL, LF or CR) into a new list with one
// entry per field. Returns null when the text yields no field. The caller
// owns the list and releases it with ListFree.
StringList* SplitCsv(const char* text);

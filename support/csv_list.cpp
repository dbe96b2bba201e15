#include "support/csv_list.h"

#include <vector>

FetchedRow FetchedRowData;
std::string CsvText;

void RowToCsv() {
  CsvText.clear();
  for (int32_t i = 0; i < FetchedRowData.columnCount && i < kFetchedColumns; ++i) {
    const std::string& slot = FetchedRowData.columns[i];
    std::vector<char> scratch(slot.begin(), slot.end());
    scratch.push_back('\0');
    AppendCsvField(scratch.data());
  }
  if (!CsvText.empty()) CsvText.pop_back();  // the ',' after the last column
}

void AppendCsvField(char* field) {
  CsvText.push_back('"');
  if (field[0] != '\0') CsvText.append(Trim(field));
  CsvText.append("\",");
}

namespace {
bool EndsText(char c) { return c == '\0' || c == '\n' || c == '\r'; }
}  // namespace

StringList* SplitCsv(const char* text) {
  StringList* list = nullptr;
  const char* p = text;
  char last = '\0';  // last character read inside a field; not ','
  std::string field;
  for (;;) {
    field.clear();
    while (*p == ' ') ++p;
    char c = *p++;
    if (EndsText(c)) {
      if (last == ',') ListAdd(&list, "");
      return list;
    }
    if (c == ',') {
      last = '\0';
      ListAdd(&list, "");
      continue;
    }
    char closing = ',';
    if (c == '"') {
      closing = '"';
    } else {
      field.push_back(c);
    }
    for (;;) {
      c = *p++;
      last = c;
      if (EndsText(c)) {
        ListAdd(&list, field.c_str());
        --p;
        break;
      }
      if (c == closing && closing == ',') {
        ListAdd(&list, field.c_str());
        break;
      }
      if (c == closing) {  // closing double quote of a quoted field
        char d = *p;
        if (d == '"') {
          field.push_back('"');
          ++p;
          continue;
        }
        if (d == ',') ++p;
        ListAdd(&list, field.c_str());
        break;
      }
      field.push_back(c);
    }
  }
}

#include "db/settings_lists.h"

#include <cstdio>
#include <cstring>

#include "app/run_state.h"
#include "config/ini_reader.h"
#include "db/db_connection.h"
#include "db/terminal_status.h"
#include "support/csv_list.h"
#include "support/run_log.h"
#include "support/string_list.h"

namespace {

// Size of the area each value is read into.
constexpr int kValueSize = 2050;
// Highest key number of a section.
constexpr int kMaxKey = 999;
// Placeholder of the statement for the terminal's name.
constexpr const char* kTerminalPlaceholder = "$parm01";

std::string KeyName(const char* prefix, int number) {
  char key[16];
  std::snprintf(key, sizeof key, "%s%03d", prefix, number);
  return key;
}

// Reads the numbered keys prefix001, prefix002 ... of section until the first
// empty value (or key 999) and hands each value to join. In debug mode every
// value read is logged, the final empty one as an empty record.
template <typename Join>
void ReadSection(const char* section, const char* prefix, const std::string& file, Join join) {
  for (int number = 1;; ++number) {
    char value[kValueSize];
    std::memset(value, 0, sizeof value);
    if (number <= kMaxKey) {
      std::string key = KeyName(prefix, number);
      ReadIniValue(section, key.c_str(), value, kValueSize, file.c_str());
    }
    // Past key 999 the section ends as if the next key were empty.
    join(value);
    if (DebugMode) WriteLog(LogPath, value);
    if (value[0] == '\0') break;
  }
}

// Replaces every placeholder with replacement; the search goes on after
// the inserted text, so it is never searched again.
std::string ReplacePlaceholder(const std::string& text, const std::string& replacement) {
  std::string result;
  size_t from = 0;
  const size_t placeholderLength = std::strlen(kTerminalPlaceholder);
  for (;;) {
    size_t at = text.find(kTerminalPlaceholder, from);
    if (at == std::string::npos) break;
    result.append(text, from, at - from);
    result.append(replacement);
    from = at + placeholderLength;
  }
  result.append(text, from, std::string::npos);
  return result;
}

int BuildTextList(const char* startMessage, const char* section, const char* prefix,
                  const char* endMessage, StringList** list) {
  if (DebugMode) std::fputs(startMessage, stdout);
  std::string assembly;
  std::string file = SettingsFileName();
  ReadSection(section, prefix, file, [&assembly](const char* value) {
    if (value[0] == '\0') return;
    if (!assembly.empty()) assembly.push_back(',');
    assembly.append(value);
  });
  if (assembly.empty()) return 3;
  if (DebugMode) {
    std::printf("Typen-String: \n");
    std::printf("'%s'\n", assembly.c_str());
  }
  StringList* built = SplitCsv(assembly.c_str());
  ListFree(list);
  *list = built;
  if (DebugMode) std::fputs(endMessage, stdout);
  return 0;
}

}  // namespace

std::string SettingsFileName() { return "./VELQUARD." + DbSystemName + ".INI"; }

int BuildValueList() {
  if (DebugMode) std::printf("Liste mit Werten der Eintr\xE4ge erstellen:\n");
  std::string assembly;
  std::string file = SettingsFileName();
  ReadSection("REGVAL", "SQL", file, [&assembly](const char* value) {
    assembly.push_back(' ');
    assembly.append(value);
  });
  if (assembly == " ") return 3;
  if (DebugMode) {
    std::printf("SQL-Statement :\n");
    std::printf("'%s'\n", assembly.c_str());
  }
  // The statement quotes the placeholder, so the name goes in as the text
  // of a quoted literal.
  std::string statement = ReplacePlaceholder(assembly, EscapeSqlText(TerminalName.c_str()));

  int status = SelOpen(statement.c_str());
  if (status != 0) {
    FormatMessage("DbTabelle kann nicht geoeffnet werden, Fehler : %d\n", status);
    WriteLog(LogPath, MessageBuffer.c_str());
    std::fputs(MessageBuffer.c_str(), stdout);
    return status;
  }

  FetchedRowData = FetchedRow();
  status = SelFetch(FetchedRowData);
  if (status != 0) {
    SelClose();
    return status;
  }
  RowToCsv();
  StringList* built = SplitCsv(CsvText.c_str());
  ListFree(&ValueList);
  ValueList = built;
  SelClose();
  if (DebugMode) std::printf("Werteliste erstellt\n");
  return 0;
}

int BuildTypeList() {
  return BuildTextList("Liste mit Typen der Eintr\xE4ge erstellen:\n", "TYPE", "TYP",
                       "Typen-Liste erstellt\n", &TypeList);
}

int BuildNameList() {
  return BuildTextList("Liste mit Namen der Eintr\xE4ge erstellen:\n", "NAME", "NAM",
                       "Namen-Liste erstellt\n", &NameList);
}

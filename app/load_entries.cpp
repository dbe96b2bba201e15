#include "app/load_entries.h"

#include <cstdio>
#include <string>

#include "app/run_state.h"
#include "db/settings_lists.h"
#include "db/terminal_status.h"
#include "support/run_log.h"
#include "support/string_list.h"

namespace {

int32_t LoadGeneralSettings() {
  WriteLog(LogPath, "allgemeine Eintr\xE4ge (*GEN) :\n");
  int32_t status = BuildValueList();
  if (status != 0) return status;
  status = BuildTypeList();
  if (status != 0) return status;
  status = BuildNameList();
  if (status != 0) return status;
  int32_t values = ListCount(ValueList);
  if (ListCount(TypeList) == values && ListCount(NameList) == values) return 0;
  const char* text = "\n FEHLENDER PARAMETER IN INI-DATEI !!\n";
  WriteLog(LogPath, text);
  if (DebugMode) std::fputs(text, stdout);
  return kStatusBadInput;
}

int32_t LoadLocations() {
  WriteLog(LogPath, "Standortnummern (*STO) :\n");
  int32_t status = StoOpen();
  if (status != 0) {
    FormatMessage("Fehler beim \xD6" "ffnen Tab. Qxs113Sto: %d", status);
    WriteLog(LogPath, MessageBuffer.c_str());
    std::fputs(MessageBuffer.c_str(), stdout);
    return status;
  }
  int entry = 1;
  std::string location;
  for (;;) {
    location.clear();
    status = StoFetch(location);
    if (status == 1032) {
      StoClose();
      return 0;
    }
    if (status != 0) {
      FormatMessage("Fehler Lesen aus Tab. Qxs113Sto: %d", status);
      WriteLog(LogPath, MessageBuffer.c_str());
      std::fputs(MessageBuffer.c_str(), stdout);
      return status;
    }
    // Only the last five characters of a location number are sent; a longer
    // number is read whole first so that these are its real last five.
    std::string value = location.size() > 5 ? location.substr(location.size() - 5) : location;
    if (value == "0") continue;
    char name[32];
    std::snprintf(name, sizeof name, "StoNr%d", entry);
    ListAdd(&TypeList, "STRING");
    ListAdd(&NameList, name);
    ListAdd(&ValueList, value.c_str());
    ++entry;
  }
}

}  // namespace

int32_t LoadEntries() {
  if (RunMode == "*GEN") return LoadGeneralSettings();
  if (RunMode == "*STO") return LoadLocations();
  std::fputs("falscher Modus !!!\n", stdout);
  WriteLog(LogPath, "falscher Modus --> Abbruch");
  return kStatusBadInput;
}

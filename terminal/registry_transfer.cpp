#include "terminal/registry_transfer.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "app/run_state.h"
#include "db/terminal_status.h"
#include "support/run_log.h"
#include "support/string_list.h"
#include "terminal/command_script.h"

namespace {

// The payload and the whole command entry each travel in a field of 100
// bytes on the terminal's side; longer ones are not sent.
constexpr size_t kFieldLimit = 99;
// Status recorded for an entry that was not sent because it is too long.
constexpr int32_t kEntryRefused = 91;

const char* ItemOrEmpty(const StringList* list, int32_t index) {
  return index < ListCount(list) ? list->items[index] : "";
}

void RefuseEntry(const char* name) {
  WriteLog(LogPath, FormatMessage("   Eintrag zu lang, nicht gesendet: %s", name));
  RunStatus = TrmDownloadState(TerminalName.c_str(), GetTimeStamp("yyyymmddhhminss"),
                               kEntryRefused, 0);
  if (RunStatus != 0 && DebugMode) {
    std::printf("Schreiben in Tab Qxs1140Trm fehlgeschlagen, Error: %d\n", RunStatus);
  }
}

}  // namespace

uint16_t Crc16Update(uint8_t byte, uint16_t crc) {
  for (int bit = 0; bit < 8; ++bit) {
    if ((byte ^ crc) & 1) {
      crc = static_cast<uint16_t>((crc >> 1) ^ 0xA001);
    } else {
      crc = static_cast<uint16_t>(crc >> 1);
    }
    byte = static_cast<uint8_t>(byte >> 1);
  }
  return crc;
}

uint16_t Crc16(const void* data, size_t length, uint16_t start) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  uint16_t crc = start;
  for (size_t i = 0; i < length; ++i) crc = Crc16Update(bytes[i], crc);
  return crc;
}

void SendRegistry() {
  WriteLog(LogPath, FormatMessage("-->Registry schreiben: %s", ""));
  if (DebugMode) std::printf("Befehlsfolge festlegen.\n");

  ListAdd(&CommandScript, "200");
  ListAdd(&CommandScript, (std::string("331USER ") + kTerminalUser).c_str());
  ListAdd(&CommandScript, (std::string("230PASS ") + kTerminalPassword).c_str());
  ScriptIndex = 0;

  int32_t status = RunScript(0);
  if (status != 0) {
    FormatMessage("Anmeldung an Term. fehlgeschlagen, Fehler %d", status);
    WriteLog(LogPath, MessageBuffer.c_str());
    std::printf("%s", MessageBuffer.c_str());
    return;
  }

  for (int32_t i = 0; i < ListCount(ValueList); ++i) {
    // Each stored string has spare room, so "0" fits in place of "".
    if (ValueList->items[i][0] == '\0') std::strcpy(ValueList->items[i], "0");
    const char* name = ItemOrEmpty(NameList, i);
    std::string payload = ItemOrEmpty(TypeList, i);
    payload += ' ';
    payload += name;
    payload += ' ';
    payload += ValueList->items[i];

    uint16_t crc = Crc16(payload.data(), payload.size(), 0);
    char head[32];
    std::snprintf(head, sizeof head, "200UPDSYSDB %x %d ", static_cast<unsigned>(crc),
                  static_cast<int>(payload.size()));
    std::string entry = head + payload;

    // A skipped entry adds nothing to the script, so the cursor stays in
    // step with the pairs of the entries that are sent.
    if (payload.size() > kFieldLimit || entry.size() > kFieldLimit) {
      RefuseEntry(name);
      continue;
    }

    ListAdd(&CommandScript, "200");
    ListAdd(&CommandScript, entry.c_str());
    WriteLog(LogPath, FormatMessage("an Terminal %s: %s", TerminalName.c_str(), entry.c_str()));
    RunScript(1);
  }
}

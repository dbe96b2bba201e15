// SplitCsv over any bytes: every entry fits the text it came from and has
// its 9 spare bytes; the list's bookkeeping stays consistent.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/csv_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  size_t visible = std::strlen(text.c_str());
  StringList* list = SplitCsv(text.c_str());
  if (list != nullptr) {
    if (list->count < 1 || list->capacity < list->count || list->capacity % 10 != 0) std::abort();
    for (int32_t i = 0; i < list->count; ++i) {
      char* entry = list->items[i];
      size_t length = std::strlen(entry);
      if (length > visible) std::abort();
      // The 9 spare bytes after the terminator belong to the entry.
      std::memset(entry + length, 'x', 9);
      entry[length + 9] = '\0';
    }
  }
  ListFree(&list);
  if (list != nullptr) std::abort();
  return 0;
}

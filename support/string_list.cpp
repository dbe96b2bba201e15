#include "support/string_list.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

namespace {
constexpr int32_t kGrowth = 10;
constexpr size_t kSpareBytes = 10;  // terminator and 9 spare characters

bool IsBlankOrTab(char c) { return c == ' ' || c == '\t'; }
}  // namespace

int ListAdd(StringList** list, const char* text) {
  if (*list == nullptr) {
    auto* fresh = static_cast<StringList*>(std::malloc(sizeof(StringList)));
    if (fresh == nullptr) return 0;
    fresh->items = static_cast<char**>(std::malloc(sizeof(char*) * kGrowth));
    if (fresh->items == nullptr) {
      std::free(fresh);
      return 0;
    }
    fresh->count = 0;
    fresh->capacity = kGrowth;
    *list = fresh;
  }
  StringList* l = *list;
  if (l->count == l->capacity) {
    auto* grown = static_cast<char**>(
        std::realloc(l->items, sizeof(char*) * static_cast<size_t>(l->capacity + kGrowth)));
    if (grown == nullptr) return 0;
    l->items = grown;
    l->capacity += kGrowth;
  }
  size_t length = std::strlen(text);
  auto* block = static_cast<char*>(std::malloc(length + kSpareBytes));
  if (block == nullptr) return 0;
  std::memcpy(block, text, length + 1);
  l->items[l->count] = block;
  l->count += 1;
  return 1;
}

int ListFree(StringList** list) {
  if (*list == nullptr) return 0;
  StringList* l = *list;
  for (int32_t i = 0; i < l->count; ++i) std::free(l->items[i]);
  std::free(l->items);
  std::free(l);
  *list = nullptr;
  return 0;
}

char* TrimRight(char* text) {
  size_t length = std::strlen(text);
  size_t end = length;
  while (end > 0 && IsBlankOrTab(text[end - 1])) --end;
  if (end > 0) text[end] = '\0';
  return text;
}

char* Trim(char* text) {
  size_t end = std::strlen(text);
  while (end > 0 && IsBlankOrTab(text[end - 1])) --end;
  text[end] = '\0';
  if (end == 0) return text;
  size_t lead = 0;
  while (IsBlankOrTab(text[lead])) ++lead;
  if (lead > 0) std::memmove(text, text + lead, end - lead + 1);
  return text;
}

char* StrUpper(char* text) {
  for (char* p = text; *p != '\0'; ++p) {
    if (*p >= 'a' && *p <= 'z') *p = static_cast<char>(*p - 'a' + 'A');
  }
  return text;
}

void SubString(const char* source, int start, int length, char* dest) {
  int sourceLength = static_cast<int>(std::strlen(source));
  if (length == 0) length = sourceLength - start;
  if (length < 1) {
    dest[0] = '\0';
    return;
  }
  int copied = 0;
  while (copied < length && start + copied < sourceLength) {
    dest[copied] = source[start + copied];
    ++copied;
  }
  dest[copied] = '\0';
}

int FindNthChar(const char* text, int ch, int n) {
  if (text[0] == '\0' || n < 1) return -1;
  const char wanted = static_cast<char>(ch & 0xFF);
  int seen = 0;
  int latest = -1;
  for (int i = 0; text[i] != '\0'; ++i) {
    if (text[i] == wanted) {
      ++seen;
      latest = i;
      if (seen == n) return i;
    }
  }
  return latest;
}

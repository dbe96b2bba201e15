#include "config/ini_reader.h"

#include <cstring>
#include <string>

#include "config/text_file.h"
#include "support/string_list.h"

namespace {

// Lines are read with a buffer of 120 characters: pieces of at most 119.
constexpr size_t kLinePiece = 119;
// The reader's 40-character text holds "[" + section + "]" and later a key
// text, so a section name is at most 37 characters and a key at most 39.
constexpr size_t kMaxSection = 37;
constexpr size_t kMaxKey = 39;

// Copies the piece as a C string (up to its first NUL) into line.
void ToLine(const std::string& piece, char (&line)[kLinePiece + 1]) {
  size_t length = std::strlen(piece.c_str());
  std::memcpy(line, piece.c_str(), length);
  line[length] = '\0';
}

// Looks for the key in the lines after the section's header and copies its
// value into out. Returns false when the section ends without it.
bool FindKey(TextFile& file, const char* key, char* out, int max) {
  std::string piece;
  char line[kLinePiece + 1];
  while (file.ReadPiece(kLinePiece, piece)) {
    ToLine(piece, line);
    Trim(line);
    if (line[0] == '[') return false;
    char* equals = std::strchr(line, '=');
    if (equals == nullptr || equals == line) continue;
    *equals = '\0';
    TrimRight(line);
    if (std::strcmp(line, key) != 0) continue;

    const char* value = equals + 1;
    size_t length = std::strlen(value);
    size_t room = static_cast<size_t>(max - 1);
    if (length > room) length = room;
    std::memcpy(out, value, length);
    out[length] = '\0';
    if (length > 0) out[length - 1] = '\0';
    Trim(out);
    return true;
  }
  return false;
}

}  // namespace

int ReadIniValue(const char* section, const char* key, char* out, int max, const char* path) {
  if (max < 1) return 0;
  TextFile file(path);
  if (file.IsOpen() && std::strlen(section) <= kMaxSection && std::strlen(key) <= kMaxKey) {
    std::string header = std::string("[") + section + "]";
    std::string piece;
    char line[kLinePiece + 1];
    while (file.ReadPiece(kLinePiece, piece)) {
      ToLine(piece, line);
      size_t length = std::strlen(line);
      if (length > 0) line[length - 1] = '\0';
      TrimRight(line);
      if (header == line) {
        FindKey(file, key, out, max);
        break;
      }
    }
  }
  return static_cast<int>(std::strlen(out));
}

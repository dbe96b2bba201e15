#include "config/login_file.h"

#include <climits>
#include <cstring>
#include <vector>

#include "config/blowfish.h"
#include "config/text_file.h"
#include "support/string_list.h"

std::string LoginValue;

namespace {

// Piece limits of the two lines of an entry (a line read with a buffer of
// 200 and of 400 characters).
constexpr size_t kHeaderPiece = 199;
constexpr size_t kValuePiece = 399;
// The entry number is read from at most this many characters.
constexpr int kNumberChars = 11;

// The entry last examined.
struct WorkingFields {
  std::string section;
  std::string key;
  int32_t number = 0;
  std::string value;

  void Clear() {
    section.clear();
    key.clear();
    number = 0;
    value.clear();
  }
};

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Decimal integer at the start of text: leading white space, an optional
// sign, digits up to the first other character; 0 without digits. A number
// outside the 32-bit range is held at its nearest end.
int32_t ParseNumber(const char* text) {
  const char* p = text;
  while (IsSpace(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = (*p++ == '-');
  int64_t value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + (*p - '0');
    if (value > static_cast<int64_t>(INT32_MAX) + 1) value = static_cast<int64_t>(INT32_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) value = INT32_MAX;
  return static_cast<int32_t>(value);
}

// SubString into a scratch area large enough for any line piece, kept to
// the width of a working field.
std::string Field(const char* line, int start, int length) {
  char scratch[kValuePiece + 1];
  SubString(line, start, length, scratch);
  std::string field(scratch);
  if (field.size() > kLoginFieldWidth) field.resize(kLoginFieldWidth);
  return field;
}

void TakeFields(const char* header, const char* valueLine, WorkingFields& f) {
  int p1 = FindNthChar(header, ';', 1);
  int p2 = FindNthChar(header, ';', 2);
  f.section = Field(header, p1 + 1, p2 - p1 - 1);

  int q1 = FindNthChar(valueLine, ';', 1);
  int q2 = FindNthChar(valueLine, ';', 2);
  const char* lf = std::strchr(valueLine, '\n');
  int e = lf != nullptr ? static_cast<int>(lf - valueLine) : -1;

  f.number = 0;
  if (q1 > 0) {
    char digits[kNumberChars + 1];
    int length = q1 < kNumberChars ? q1 : kNumberChars;
    std::memcpy(digits, valueLine, static_cast<size_t>(length));
    digits[length] = '\0';
    f.number = ParseNumber(digits);
  }
  f.key = Field(valueLine, q1 + 1, q2 - q1 - 1);
  if (q1 < 0) {
    f.value = Field(valueLine, 0, 0);
  } else {
    f.value = Field(valueLine, q2 + 1, e - q2 - 1);
  }
}

}  // namespace

void ReadLoginValue(const char* section, const char* key, int32_t number, const char* path) {
  WorkingFields f;
  LoginValue.clear();
  TextFile file(path);
  if (!file.IsOpen()) return;
  std::string header;
  std::string valueLine;
  for (;;) {
    file.ReadPiece(kHeaderPiece, header);
    if (!file.ReadPiece(kValuePiece, valueLine)) return;
    // Both lines are read as C strings: text after a NUL byte is not seen.
    TakeFields(header.c_str(), valueLine.c_str(), f);
    bool matches = f.section == section || f.key == key || f.number == number;
    if (!matches) {
      f.Clear();
      continue;
    }
    std::vector<unsigned char> plain(f.value.size() + 1);
    DecryptHexString(f.value.c_str(), plain.data(), kLoginCipherKey);
    LoginValue.assign(reinterpret_cast<const char*>(plain.data()));
    BfWipeBytes(plain.data(), plain.size());
    return;
  }
}

#include "config/login_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/blowfish.h"
#include "tests/kit/temp_dir.h"

namespace {

// The value as the login file stores it: zero-padded to whole blocks,
// encrypted with the login key, upper-case hex.
std::string Enc(const std::string& plain) {
  std::string padded = plain;
  while (padded.size() % 8 != 0) padded += '\0';
  BfState state;
  BfInit(state, reinterpret_cast<const unsigned char*>(kLoginCipherKey), 7);
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (size_t i = 0; i < padded.size(); i += 8) {
    const auto* b = reinterpret_cast<const unsigned char*>(padded.data() + i);
    uint32_t halves[2];
    for (int h = 0; h < 2; ++h) {
      halves[h] = uint32_t{b[4 * h]} | uint32_t{b[4 * h + 1]} << 8 | uint32_t{b[4 * h + 2]} << 16 |
                  uint32_t{b[4 * h + 3]} << 24;
    }
    BfEncrypt(state, halves[0], halves[1]);
    for (uint32_t half : halves) {
      for (int k = 0; k < 4; ++k) {
        unsigned v = (half >> (8 * k)) & 0xFF;
        hex += kDigits[v >> 4];
        hex += kDigits[v & 15];
      }
    }
  }
  return hex;
}

std::string Repeat(char c, size_t n) { return std::string(n, c); }

std::string WithCrLf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

struct Shape {
  const char* name;
  std::string file;
  std::string section;
  std::string key;
  int32_t number;
  std::string expected;
};

// Every shape of header and value line, looked up so that the lookup tells
// which fields the entry yielded. Each file is also read with CR LF line ends.
std::vector<Shape> Shapes() {
  const std::string A = Enc("alpha");
  const std::string B = Enc("bravo");
  // A value line piece of exactly 399 characters starting "1;K1;".
  const std::string longValue = "1;K1;" + Repeat('0', 394);
  return {
      // Header lines.
      {"section between the first two ';'", "h;SEC;x\n1;K;" + A + "\n", "SEC", "-", 99, "alpha"},
      {"section compared in full", "h;SEC;x\n1;K;" + A + "\n", "SE", "-", 99, ""},
      {"';;' takes the rest of the line with its LF", "h;;rest\n1;K;" + A + "\n", ";rest\n", "-", 99,
       "alpha"},
      {"';;' section is not empty", "h;;rest\n1;K;" + A + "\n", "", "-", 99, ""},
      {"one ';': empty section", "h;only\n1;K;" + A + "\n", "", "-", 99, "alpha"},
      {"no ';': empty section", "header\n1;K;" + A + "\n", "", "-", 99, "alpha"},
      {"blank header line: empty section", "\n1;K;" + A + "\n", "", "-", 99, "alpha"},
      {"NUL ends the header text", std::string("h;S\0;x\n", 7) + "1;K;" + A + "\n", "", "-", 99,
       "alpha"},
      // Entry numbers.
      {"number before the first ';'", "h;S;\n42;K;" + A + "\n", "-", "-", 42, "alpha"},
      {"number compared exactly", "h;S;\n42;K;" + A + "\n", "-", "-", 0, ""},
      {"white space and sign", "h;S;\n \t-7;K;" + A + "\n", "-", "-", -7, "alpha"},
      {"digits end at another character", "h;S;\n12ab;K;" + A + "\n", "-", "-", 12, "alpha"},
      {"number from the first 11 characters", "h;S;\n000000000012;K;" + A + "\n", "-", "-", 1,
       "alpha"},
      {"number beyond 32 bits held at the top", "h;S;\n99999999999;K;" + A + "\n", "-", "-",
       2147483647, "alpha"},
      {"line begins with ';': number 0", "h;S;\n;K;" + A + "\n", "-", "-", 0, "alpha"},
      {"no digits: number 0", "h;S;\nabc;K;" + A + "\n", "-", "-", 0, "alpha"},
      {"no ';' at all: number 0, whole line is the value", "h;S;\n" + A + "\n", "-", "-", 0,
       "alpha"},
      {"blank value line: number 0, empty value", "h;S;\n\nh;S;\n1;K;" + A + "\n", "-", "K", 0, ""},
      // Key texts.
      {"key between the first two ';'", "h;S;\n1;LOGIN;" + A + "\n", "-", "LOGIN", 99, "alpha"},
      {"keys are case-sensitive", "h;S;\n1;login;" + A + "\n", "-", "LOGIN", 99, ""},
      {"';;' key takes the rest with its LF", "h;S;\n1;;" + A + "\n", "-", ";" + A + "\n", 99,
       "alpha"},
      {"one ';': empty key, value after it", "h;S;\n1;" + A + "\n", "-", "", 99, "alpha"},
      {"key text cut to 200 characters", "h;S;\n1;" + Repeat('K', 250) + ";" + A + "\n", "-",
       Repeat('K', 200), 99, "alpha"},
      {"longer requested key never equals the cut text",
       "h;S;\n1;" + Repeat('K', 250) + ";" + A + "\n", "-", Repeat('K', 250), 99, ""},
      // Value texts.
      {"empty value field", "h;S;\n1;K;\nh;S;\n2;K;" + B + "\n", "-", "K", 99, ""},
      {"value without final LF is empty", "h;S;\n1;K;" + A, "-", "K", 99, ""},
      {"NUL hides the LF: empty value", "h;S;\n1;K;" + A + std::string("\0\n", 2), "-", "K", 99, ""},
      {"trailing part of a block is dropped", "h;S;\n1;K;" + A + "ABC\n", "-", "K", 99, "alpha"},
      {"whole-block value needs no padding", "h;S;\n1;K;" + Enc("abcdefgh") + "\n", "-", "K", 99,
       "abcdefgh"},
      {"value text cut to 200 characters", "h;S;\n1;K;" + Enc(Repeat('v', 96)) + B + "\n", "-", "K",
       99, Repeat('v', 96)},
      // Pairing and order.
      {"first match wins", "h;S;\n1;K;" + A + "\nh;S;\n2;K;" + B + "\n", "-", "K", 99, "alpha"},
      {"number 0 entry first answers every key",
       "h;S;\n0;PASS;" + B + "\nh;S;\n1;LOGIN;" + A + "\n", "", "LOGIN", 0, "bravo"},
      {"later entry found", "h;S;\n1;PASS;" + B + "\nh;S;\n2;LOGIN;" + A + "\n", "", "LOGIN", 0,
       "alpha"},
      {"single line file", "1;K;" + A + "\n", "-", "K", 99, ""},
      {"odd line count: last line is a header", "h;S;\n1;X;" + B + "\n1;K;" + A + "\n", "-", "K",
       99, ""},
      {"empty file", "", "", "K", 0, ""},
      {"binary junk", std::string("\xFF\x00\x01;\x80\n\x7F", 7), "-", "K", 99, ""},
      // Pieces of 199 and 399 characters.
      {"header of 198 characters and LF is one line",
       "h;S;" + Repeat('x', 194) + "\n1;K;" + A + "\n", "-", "K", 99, "alpha"},
      {"header of 199 characters: its LF is the value line",
       "h;S;" + Repeat('x', 195) + "\n1;K;" + A + "\n", "-", "K", 99, ""},
      {"header over 198: the rest becomes the value line",
       "h;S;" + Repeat('x', 195) + "7;K3;" + A + "\n", "-", "-", 7, "alpha"},
      {"value line of 398 characters and LF is one line",
       "h;S;\n1;K1;" + A + Repeat('F', 377) + "\n", "-", "K1", 99, "alpha"},
      {"value line over 398: cut piece has no value", "h;S;\n" + longValue + "\n7;K2;" + B + "\n", "-",
       "K1", 99, ""},
      {"value line over 398: the rest shifts the pairing", "h;S;\n" + longValue + "\n7;K2;" + B + "\n",
       "-", "K2", 99, "bravo"},
  };
}

TEST(LoginFile, LineShapes) {
  TempDir dir;
  const std::string path = dir.File("Orvantis.Ini");
  for (const Shape& s : Shapes()) {
    for (bool crlf : {false, true}) {
      SCOPED_TRACE(std::string(s.name) + (crlf ? " (CR LF)" : " (LF)"));
      ASSERT_TRUE(WriteFileBytes(path, crlf ? WithCrLf(s.file) : s.file));
      LoginValue = "left over";
      ReadLoginValue(s.section.c_str(), s.key.c_str(), s.number, path.c_str());
      EXPECT_EQ(LoginValue, s.expected);
    }
  }
}

TEST(LoginFile, CrWithoutLfIsAnOrdinaryCharacter) {
  TempDir dir;
  const std::string path = dir.File("Orvantis.Ini");
  // "h;S\r;" keeps its CR in the section; "1;K\r;" keeps it in the key.
  ASSERT_TRUE(WriteFileBytes(path, "h;S\r;\r\n1;K\r;" + Enc("x") + "\r\n"));
  ReadLoginValue("S\r", "-", 99, path.c_str());
  EXPECT_EQ(LoginValue, "x");
  ReadLoginValue("-", "K\r", 99, path.c_str());
  EXPECT_EQ(LoginValue, "x");
  ReadLoginValue("-", "K", 99, path.c_str());
  EXPECT_EQ(LoginValue, "");
}

TEST(LoginFile, MissingFileAndNoMatchLeaveNothingBehind) {
  TempDir dir;
  const std::string path = dir.File("Orvantis.Ini");
  ASSERT_TRUE(WriteFileBytes(path, "h;LOGIN;\n1;LOGIN;" + Enc("user") + "\n"));
  ReadLoginValue("", "LOGIN", 0, path.c_str());
  ASSERT_EQ(LoginValue, "user");
  ReadLoginValue("", "PASS", 0, path.c_str());
  EXPECT_EQ(LoginValue, "");
  ReadLoginValue("", "LOGIN", 0, path.c_str());
  ASSERT_EQ(LoginValue, "user");
  ReadLoginValue("", "LOGIN", 0, dir.File("missing.Ini").c_str());
  EXPECT_EQ(LoginValue, "");
  ReadLoginValue("", "LOGIN", 0, dir.path().c_str());  // a folder reads as nothing
  EXPECT_EQ(LoginValue, "");
  EXPECT_EQ(kLoginFilePath, std::string("../../Files/Orvantis.Ini"));
}

TEST(LoginFile, DecryptsAllBytesAndStopsAtFirstZero) {
  TempDir dir;
  const std::string path = dir.File("Orvantis.Ini");
  const std::string latin1 = "K\xE4se \xD6l \xFF\x80;=\t";
  const std::string withZero("ab\0cd", 5);
  ASSERT_TRUE(WriteFileBytes(path, "h;A;\n1;A;" + Enc(latin1) + "\nh;B;\n2;B;" + Enc(withZero) + "\n"));
  ReadLoginValue("", "A", 0, path.c_str());
  EXPECT_EQ(LoginValue, latin1);
  ReadLoginValue("", "B", 0, path.c_str());
  EXPECT_EQ(LoginValue, "ab");
}

}  // namespace

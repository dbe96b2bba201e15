#include "config/ini_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/kit/temp_dir.h"

namespace {

std::string Repeat(char c, size_t n) { return std::string(n, c); }

std::string WithCrLf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

constexpr const char* kUntouched = "untouched";

struct IniCase {
  const char* name;
  std::string file;
  std::string section;
  std::string key;
  std::string expected;  // kUntouched when the key is not found
  int max = 2050;
  bool alsoCrLf = true;  // the same result with CR LF line ends
};

std::vector<IniCase> Cases() {
  // A key line of more than 119 characters: the first piece is
  // "TYP001=" + 112 characters, the rest a line of its own.
  const std::string longLine = "TYP001=" + Repeat('a', 111) + "b" + "TYP002 = rest\n";
  return {
      // Header lines.
      {"header with blanks and tabs before the LF", "[TYPE] \t \nTYP001=a\n", "TYPE", "TYP001", "a"},
      {"header with a leading blank", " [TYPE]\nTYP001=a\n", "TYPE", "TYP001", kUntouched},
      {"header compared case-sensitively", "[type]\nTYP001=a\n", "TYPE", "TYP001", kUntouched},
      {"text after the ']'", "[TYPE]x\nTYP001=a\n", "TYPE", "TYP001", kUntouched},
      {"header on the last line without LF loses its ']'", "TYP001=a\n[TYPE]", "TYPE", "TYP001",
       kUntouched},
      {"empty section name", "[]\nK=v\n", "", "K", "v"},
      {"header padded past 119 characters", "[TYPE]" + Repeat(' ', 120) + "\nTYP001=a\n", "TYPE",
       "TYP001", "a"},
      {"NUL right after the header hides its LF", std::string("[TYPE]\0\nTYP001=a\n", 17), "TYPE",
       "TYP001", kUntouched},
      {"section name of 37 characters", "[" + Repeat('S', 37) + "]\nK=v\n", Repeat('S', 37), "K", "v"},
      {"section name of 38 characters is never found", "[" + Repeat('S', 38) + "]\nK=v\n",
       Repeat('S', 38), "K", kUntouched},
      // Key lines.
      {"blanks around key and value", "[TYPE]\n  TYP001 = a, b  \n", "TYPE", "TYP001", "a, b"},
      {"tabs around key and value", "[TYPE]\n\tTYP001\t=\tv\t\n", "TYPE", "TYP001", "v"},
      {"further '=' belong to the value", "[TYPE]\nTYP001=x=y\n", "TYPE", "TYP001", "x=y"},
      {"empty value", "[TYPE]\nTYP001=\n", "TYPE", "TYP001", ""},
      {"last line without LF loses a real character", "[TYPE]\nTYP001=abc", "TYPE", "TYP001", "ab"},
      {"lines '=abc' and without '=' are skipped", "[TYPE]\n=abc\nTYP001\nTYP001=v\n", "TYPE",
       "TYP001", "v"},
      {"a '[' line with leading blanks ends the section", "[TYPE]\n   [NAME]\nTYP001=v\n", "TYPE",
       "TYP001", kUntouched},
      {"only the first matching header counts",
       "[TYPE]\nTYP002=1\n[NAME]\nTYP001=n\n[TYPE]\nTYP001=v\n", "TYPE", "TYP001", kUntouched},
      {"key found in a later section", "[REGVAL]\nTYP001=r\n[TYPE]\nTYP001=v\n", "TYPE", "TYP001",
       "v"},
      {"key before any header", "TYP001=v\n[TYPE]\n", "TYPE", "TYP001", kUntouched},
      {"keys are case-sensitive", "[TYPE]\ntyp001=v\n", "TYPE", "TYP001", kUntouched},
      {"key compared in full", "[TYPE]\nTYP0011=v\n", "TYPE", "TYP001", kUntouched},
      {"first key line wins", "[TYPE]\nTYP001=1\nTYP001=2\n", "TYPE", "TYP001", "1"},
      {"no comment syntax", "[TYPE]\n;x=1\n", "TYPE", ";x", "1"},
      {"key of 39 characters", "[T]\n" + Repeat('k', 39) + "=v\n", "T", Repeat('k', 39), "v"},
      {"key of 40 characters is never found", "[T]\n" + Repeat('k', 40) + "=v\n", "T",
       Repeat('k', 40), kUntouched},
      {"blanks before the LF stay until the value is trimmed", "[T]\nK=v  \n", "T", "K", "v"},
      {"section ends at the end of the file", "[TYPE]\nA=1\n", "TYPE", "TYP001", kUntouched},
      {"empty file", "", "TYPE", "TYP001", kUntouched},
      {"NUL inside a value ends the line", std::string("[T]\nK=ab\0cd\n", 12), "T", "K", "a"},
      {"binary junk", std::string("\xFF\x00[T\x80]\n=\n\x01=\x02", 12), "T", "K", kUntouched},
      // Pieces of 119 characters.
      {"long key line: its first piece loses a real character", "[TYPE]\n" + longLine, "TYPE",
       "TYP001", Repeat('a', 111)},
      {"long key line: the rest is a line of its own", "[TYPE]\n" + longLine, "TYPE", "TYP002",
       "rest"},
      {"key line of 118 characters and LF is one piece",
       "[TYPE]\nTYP001=" + Repeat('a', 110) + "b\nrest=x\n", "TYPE", "TYP001",
       Repeat('a', 110) + "b"},
      // The size of out.
      {"value cut to max-1, then its last character removed", "[T]\nK=abcdefgh\n", "T", "K", "abc",
       5},
      {"max 2 leaves nothing of a value", "[T]\nK=abcdefgh\n", "T", "K", "", 2},
      {"max 1 leaves nothing of a value", "[T]\nK=abcdefgh\n", "T", "K", "", 1},
      // A CR that is not part of a CR LF pair is an ordinary character.
      {"lone CR stays in the value", "[T]\nK=v\r\r\n", "T", "K", "v\r", 2050, false},
      {"lone CR after the header spoils it", "[T]\r\r\nK=v\n", "T", "K", kUntouched, 2050, false},
  };
}

TEST(IniReader, Grammar) {
  TempDir dir;
  const std::string path = dir.File("VELQUARD.TEST.INI");
  for (const IniCase& c : Cases()) {
    for (bool crlf : {false, true}) {
      if (crlf && !c.alsoCrLf) continue;
      SCOPED_TRACE(std::string(c.name) + (crlf ? " (CR LF)" : " (LF)"));
      ASSERT_TRUE(WriteFileBytes(path, crlf ? WithCrLf(c.file) : c.file));
      // out is exactly max bytes, so writing past it is caught by the
      // sanitizer build; it starts with a marker that a miss must leave.
      std::vector<char> out(static_cast<size_t>(std::max(c.max, 10)), '#');
      std::strcpy(out.data(), c.max >= 10 ? kUntouched : "");
      out.resize(static_cast<size_t>(c.max));
      int result = ReadIniValue(c.section.c_str(), c.key.c_str(), out.data(), c.max, path.c_str());
      std::string expected = c.expected;
      if (c.max < 10 && expected == kUntouched) expected = "";
      EXPECT_EQ(std::string(out.data()), expected);
      EXPECT_EQ(result, static_cast<int>(expected.size()));
    }
  }
}

TEST(IniReader, MissingFileLeavesOutAlone) {
  TempDir dir;
  char out[2050] = {};
  EXPECT_EQ(ReadIniValue("TYPE", "TYP001", out, sizeof out, dir.File("missing.INI").c_str()), 0);
  EXPECT_EQ(out[0], '\0');
  std::strcpy(out, "prior");
  EXPECT_EQ(ReadIniValue("TYPE", "TYP001", out, sizeof out, dir.File("missing.INI").c_str()), 5);
  EXPECT_STREQ(out, "prior");
  EXPECT_EQ(ReadIniValue("TYPE", "TYP001", out, sizeof out, dir.path().c_str()), 5);
  EXPECT_STREQ(out, "prior");
  // No room for even a terminator: nothing is written.
  TempDir files;
  ASSERT_TRUE(WriteFileBytes(files.File("a.INI"), "[T]\nK=v\n"));
  EXPECT_EQ(ReadIniValue("T", "K", out, 0, files.File("a.INI").c_str()), 0);
  EXPECT_STREQ(out, "prior");
}

}  // namespace

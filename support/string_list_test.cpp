#include "support/string_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(StringListTest, GrowsByTenAndKeepsOrder) {
  StringList* list = nullptr;
  for (int i = 0; i < 21; ++i) {
    ASSERT_EQ(ListAdd(&list, std::to_string(i).c_str()), 1);
    EXPECT_EQ(list->capacity, (i / 10 + 1) * 10) << "after string " << i + 1;
  }
  ASSERT_EQ(list->count, 21);
  for (int i = 0; i < 21; ++i) EXPECT_STREQ(list->items[i], std::to_string(i).c_str());
  EXPECT_EQ(ListFree(&list), 0);
  EXPECT_EQ(list, nullptr);
  EXPECT_EQ(ListFree(&list), 0);  // a null holder is left alone
  ASSERT_EQ(ListAdd(&list, "fresh"), 1);
  EXPECT_EQ(list->count, 1);
  EXPECT_EQ(ListCount(list), 1);
  ListFree(&list);
  EXPECT_EQ(ListCount(list), 0);
}

TEST(StringListTest, StoredStringsTakeNineMoreCharactersInPlace) {
  StringList* list = nullptr;
  const char* texts[] = {"", "200", "200UPDSYSDB 360c 18 STRING StoNr1 4711"};
  for (const char* text : texts) ASSERT_EQ(ListAdd(&list, text), 1);
  for (int i = 0; i < list->count; ++i) {
    // Under AddressSanitizer an overrun of the 9 spare bytes is reported.
    std::strcat(list->items[i], "\r\n1234567");
    EXPECT_EQ(std::strlen(list->items[i]), std::strlen(texts[i]) + 9);
  }
  ListFree(&list);
}

struct TrimCase {
  const char* input;
  const char* trimRight;
  const char* trim;
};

TEST(StringListTest, TrimTable) {
  const TrimCase cases[] = {
      {"ab \t ", "ab", "ab"},     {"   ", "   ", ""},       {"", "", ""},
      {"  ab  ", "  ab", "ab"},   {"\tab", "\tab", "ab"},   {" \t ", " \t ", ""},
      {"a b", "a b", "a b"},      {"x\r\n ", "x\r\n", "x\r\n"}, {"\n a", "\n a", "\n a"},
  };
  for (const TrimCase& c : cases) {
    std::string right = c.input;
    std::string both = c.input;
    EXPECT_STREQ(TrimRight(right.data()), c.trimRight) << '"' << c.input << '"';
    EXPECT_STREQ(Trim(both.data()), c.trim) << '"' << c.input << '"';
  }
}

TEST(StringListTest, StrUpperChangesOnlyAsciiLetters) {
  std::string a = "yyyymmddhhminss";
  std::string b = "x*gen";
  std::string c = "\xE4\xF6z{`@";
  EXPECT_STREQ(StrUpper(a.data()), "YYYYMMDDHHMINSS");
  EXPECT_STREQ(StrUpper(b.data()), "X*GEN");
  EXPECT_STREQ(StrUpper(c.data()), "\xE4\xF6Z{`@");
}

TEST(StringListTest, SubStringTable) {
  struct Case {
    const char* source;
    int start;
    int length;
    const char* expected;
  };
  const Case cases[] = {
      {"abcdef", 2, 3, "cde"}, {"abcdef", 2, 0, "cdef"}, {"abcdef", 2, -1, ""},
      {"abcdef", 6, 0, ""},    {"abcdef", 4, 10, "ef"},  {"abcdef", 0, 1, "a"},
      {"", 0, 0, ""},
  };
  for (const Case& c : cases) {
    char dest[16];
    std::memset(dest, 'Z', sizeof dest);
    SubString(c.source, c.start, c.length, dest);
    EXPECT_STREQ(dest, c.expected) << c.source << " " << c.start << " " << c.length;
  }
}

TEST(StringListTest, FindNthCharTable) {
  struct Case {
    const char* text;
    int ch;
    int n;
    int expected;
  };
  const Case cases[] = {
      {"a;b;c", ';', 1, 1}, {"a;b;c", ';', 2, 3}, {"a;b", ';', 2, 1}, {"abc", ';', 1, -1},
      {"", ';', 1, -1},     {"ab;", ';', 1, 2},   {"a;b", ';', 0, -1}, {"a;b", ';', -3, -1},
      {"a;b", 0, 1, -1},    {"a;b", 0x100 + ';', 1, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FindNthChar(c.text, c.ch, c.n), c.expected) << c.text << " n=" << c.n;
  }
}

}  // namespace

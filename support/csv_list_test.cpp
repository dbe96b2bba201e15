#include "support/csv_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Entries(const char* text, bool* hadList) {
  StringList* list = SplitCsv(text);
  *hadList = list != nullptr;
  std::vector<std::string> out;
  for (int i = 0; i < ListCount(list); ++i) out.emplace_back(list->items[i]);
  ListFree(&list);
  return out;
}

TEST(CsvListTest, SplitTable) {
  struct Case {
    std::string text;
    std::vector<std::string> entries;
  };
  const std::vector<Case> cases = {
      {"", {}},
      {"   ", {}},
      {"a", {"a"}},
      {"a,b", {"a", "b"}},
      {" a , b ", {"a ", "b "}},
      {"a,", {"a", ""}},
      {"a, ", {"a", ""}},
      {"a,b,", {"a", "b", ""}},
      {"a,,b", {"a", "", "b"}},
      {"a,,", {"a", ""}},
      {",", {""}},
      {",,", {"", ""}},
      {",a", {"", "a"}},
      {"\"x\",\"y\"", {"x", "y"}},
      {"\"x\",", {"x"}},
      {"\"x, y\",z", {"x, y", "z"}},
      {"\"say \"\"hi\"\"\",b", {"say \"hi\"", "b"}},
      {"\"x\" ,\"y\"", {"x", "", "y"}},
      {"\"x\"y,z", {"x", "y", "z"}},
      {"a\"b,c", {"a\"b", "c"}},
      {"\"x", {"x"}},
      {"\"\"", {""}},
      {"\"a\",\"\",\"b\"", {"a", "", "b"}},
      {"\ta", {"\ta"}},
      {"a,b\nc,d", {"a", "b"}},
      {"a,b\rc", {"a", "b"}},
      {"\"a\nb\",c", {"a"}},
      {"\"T1\",\"T2\",\"T3\"", {"T1", "T2", "T3"}},
  };
  for (const Case& c : cases) {
    bool hadList = false;
    EXPECT_EQ(Entries(c.text.c_str(), &hadList), c.entries) << "text: [" << c.text << "]";
    EXPECT_EQ(hadList, !c.entries.empty()) << "text: [" << c.text << "]";
  }
}

TEST(CsvListTest, LongFieldIsKeptWhole) {
  std::string longField(5000, 'q');
  bool hadList = false;
  std::vector<std::string> got = Entries(("\"" + longField + "\",x").c_str(), &hadList);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0], longField);
}

struct RowCase {
  std::vector<std::string> columns;
  std::string csv;
  std::vector<std::string> entries;
};

TEST(CsvListTest, RowToCsvAndBack) {
  const std::vector<RowCase> cases = {
      {{"a", "", " b "}, "\"a\",\"\",\"b\"", {"a", "", "b"}},
      {{""}, "\"\"", {""}},
      {{"x\"y"}, "\"x\"y\"", {"x", "y\""}},
      {{"x\"\"y"}, "\"x\"\"y\"", {"x\"y"}},
      {{" \t \t"}, "\"\"", {""}},
      {{"a,b"}, "\"a,b\"", {"a,b"}},
      {{}, "", {}},
  };
  for (const RowCase& c : cases) {
    FetchedRowData = FetchedRow{};
    FetchedRowData.columnCount = static_cast<int32_t>(c.columns.size());
    for (size_t i = 0; i < c.columns.size(); ++i) FetchedRowData.columns[i] = c.columns[i];
    CsvText = "stale text";
    RowToCsv();
    EXPECT_EQ(CsvText, c.csv);
    // The row itself is never changed by the trimming.
    for (size_t i = 0; i < c.columns.size(); ++i) EXPECT_EQ(FetchedRowData.columns[i], c.columns[i]);
    bool hadList = false;
    EXPECT_EQ(Entries(CsvText.c_str(), &hadList), c.entries) << c.csv;
  }
}

TEST(CsvListTest, ThirtyLongColumnsGiveACompleteLine) {
  FetchedRowData = FetchedRow{};
  FetchedRowData.columnCount = kFetchedColumns;
  for (int i = 0; i < kFetchedColumns; ++i) FetchedRowData.columns[i] = std::string(150, 'a' + i % 26);
  RowToCsv();
  EXPECT_EQ(CsvText.size(), static_cast<size_t>(kFetchedColumns * 153 - 1));
  bool hadList = false;
  std::vector<std::string> got = Entries(CsvText.c_str(), &hadList);
  ASSERT_EQ(got.size(), static_cast<size_t>(kFetchedColumns));
  EXPECT_EQ(got[29], std::string(150, 'a' + 29 % 26));
}

}  // namespace

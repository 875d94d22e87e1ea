// Files without a byte order mark: UTF-16LE that lost its mark and UTF-8 (as Notepad saves it)
// are recognised before the 8-bit fallback, and content no table file can hold is told apart.
#include <gtest/gtest.h>

#include "grid/table_file.h"

namespace table_file_encoding_test {

namespace {

using Rows = std::vector<std::vector<std::u16string>>;

std::string Le(const std::u16string& text) {
  std::string bytes;
  for (char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

struct Read {
  Rows rows;
  bool wellFormed;
};

Read ReadBytes(const std::string& bytes) {
  grid::Table table({{"N", u"#", grid::ColumnKind::Increment, true, 20, true},
                     {"A", u"A", grid::ColumnKind::Text, true, 20, false},
                     {"B", u"B", grid::ColumnKind::Text, true, 20, false}});
  Read result{{}, grid::ReadRowsFromBytes(table, bytes, u',', u'|')};
  for (int r = 0; r < table.RowCount(); ++r) result.rows.push_back({table.Cell(1, r), table.Cell(2, r)});
  return result;
}

const std::u16string Greeting = u"Gr\u00FC\u00DFe \u2014 \u20AC";

TEST(TableFileEncoding, TheSameRowsFromEverySpellingOfTheText) {
  const Rows expected = {{Greeting, u"\u0416\U0001F600"}, {u"plain", u""}};
  const std::u16string text = u"1," + Greeting + u",\u0416\U0001F600\r\n2,plain\r\n";
  const std::string utf8 =
      "1,Gr\xC3\xBC\xC3\x9F"
      "e \xE2\x80\x94 \xE2\x82\xAC,\xD0\x96\xF0\x9F\x98\x80\r\n2,plain\r\n";
  for (const std::string& bytes : {"\xFF\xFE" + Le(text), Le(text), utf8, "\xEF\xBB\xBF" + utf8}) {
    const Read read = ReadBytes(bytes);
    EXPECT_EQ(expected, read.rows) << bytes;
    EXPECT_TRUE(read.wellFormed);
  }
}

TEST(TableFileEncoding, Utf16WithoutMark_AlsoWithoutLineBreakOrLatinLetters) {
  EXPECT_EQ((Rows{{u"ab", u"cd"}}), ReadBytes(Le(u"1,ab,cd")).rows);
  // Cyrillic has no zero bytes; its line end still says UTF-16.
  EXPECT_EQ((Rows{{u"\u0416\u0436", u""}}), ReadBytes(Le(u"\u0416,\u0416\u0436\r\n")).rows);
}

TEST(TableFileEncoding, AnsiThatIsNotUtf8_StaysByteForByte) {
  // "Grüße" in Windows-1252: FC and DF are no valid UTF-8.
  EXPECT_EQ((Rows{{u"Gr\u00FC\u00DFe", u"\u0080"}}), ReadBytes("1,Gr\xFC\xDF"
                                                               "e,\x80\r\n")
                                                         .rows);
  // A shortest-form violation and a cut sequence are not UTF-8 either.
  EXPECT_EQ((Rows{{u"\u00C0\u0080", u""}}), ReadBytes("1,\xC0\x80\r\n").rows);
  EXPECT_EQ((Rows{{u"x\u00E2\u0082", u""}}), ReadBytes("1,x\xE2\x82").rows);
  EXPECT_EQ((Rows{{u"plain", u""}}), ReadBytes("1,plain\r\n").rows);
}

TEST(TableFileEncoding, ContentNoTableFileHolds_IsReadButToldMalformed) {
  EXPECT_FALSE(ReadBytes("\xFF\xFE" + Le(u"1,a\r\n") + "x").wellFormed);  // stray last byte
  EXPECT_FALSE(ReadBytes("\xFF\xFE" + Le(std::u16string(u"1,a\0b\r\n", 7))).wellFormed);
  const Read nul8 = ReadBytes(std::string("1,a\0b\r\n", 7));
  EXPECT_FALSE(nul8.wellFormed);
  EXPECT_EQ(1u, nul8.rows.size());
  EXPECT_TRUE(ReadBytes("").wellFormed);
  EXPECT_TRUE(ReadBytes("\xFF\xFE").wellFormed);
}

}  // namespace
}  // namespace table_file_encoding_test

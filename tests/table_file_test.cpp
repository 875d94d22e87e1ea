#include "grid/table_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <random>

#include "earlier_reader.h"
#include "grid/exact_text.h"
#include "platform/errors.h"
#include "platform/sim/sim_codepage.h"
#include "platform/sim/sim_files.h"
#include "temp_folder.h"

namespace table_file_test {

namespace {

using grid::ColumnKind;
using grid::Table;
using Rows = std::vector<std::vector<std::u16string>>;  // the text cells of each row

const std::string File = "C:\\Data\\list.hstr";

std::string Le(std::u16string_view units) {
  std::string bytes;
  for (char16_t u : units) {
    bytes.push_back(static_cast<char>(u & 0xFF));
    bytes.push_back(static_cast<char>(u >> 8));
  }
  return bytes;
}

std::string Be(std::u16string_view units) {
  std::string bytes;
  for (char16_t u : units) {
    bytes.push_back(static_cast<char>(u >> 8));
    bytes.push_back(static_cast<char>(u & 0xFF));
  }
  return bytes;
}

Table ThreeColumns() {
  return Table({{"#", u"#", ColumnKind::Increment},
                {"Name", u"Name", ColumnKind::Text},
                {"Text", u"Text", ColumnKind::Text, /*visible=*/false}});
}

void Fill(Table& table, const Rows& rows) {
  for (const auto& cells : rows) {
    const int r = table.AppendRow();
    for (std::size_t c = 0; c < cells.size(); ++c) table.SetCell(static_cast<int>(c) + 1, r, cells[c]);
  }
}

Rows TextCells(const Table& table) {
  Rows rows;
  for (int r = 0; r < table.RowCount(); ++r) rows.push_back({table.Cell(1, r), table.Cell(2, r)});
  return rows;
}

class TableFileTest : public ::testing::Test {
 protected:
  TableFileTest() : root_(testing_support::MakeTempFolder()), files_(root_) { files_.MakeFolder("C:\\Data"); }
  ~TableFileTest() override { std::filesystem::remove_all(root_); }

  void Write(const Table& table, std::uint8_t encoding = grid::Utf16LeEncoding,
             const std::string& name = File) {
    grid::WriteRowsToFile(table, files_, codePage_, name, u',', u'|', encoding);
  }
  Rows Read(const std::string& bytes) {
    files_.PutFile(File, bytes);
    Table table = ThreeColumns();
    grid::ReadRowsFromFile(table, files_, File, u',', u'|');
    return TextCells(table);
  }
  // Runs `action`, expecting the I/O error with this code and message.
  template <class F>
  void ExpectIoError(F action, int code, const std::string& message) {
    try {
      action();
      ADD_FAILURE() << "no error, expected " << message;
    } catch (const platform::IoError& e) {
      EXPECT_EQ(e.code(), code);
      EXPECT_EQ(std::string(e.what()), message);
    }
  }

  std::string root_;
  sim::SimFiles files_;
  sim::SimCodePage codePage_;
};

TEST_F(TableFileTest, WorkedExample_IsWrittenByteForByte_AndReadsBack) {
  Table table = ThreeColumns();
  const Rows rows = {{u"Note", u"Hello, world\r\nBye"}, {u"Quote", u"He said \"yes\""}};
  Fill(table, rows);
  Write(table);
  EXPECT_EQ(files_.FileBytes(File),
            "\xFF\xFE" + Le(u"1,Note,\"Hello, world|Bye\"\r\n2,Quote,\"He said \"\"yes\"\"\"\r\n"));

  Table back = ThreeColumns();
  back.AppendRow();  // reading replaces, never adds
  grid::ReadRowsFromFile(back, files_, File, u',', u'|');
  EXPECT_EQ(TextCells(back), rows);
  EXPECT_EQ(back.Cell(0, 1), u"2");
}

TEST_F(TableFileTest, EmptyTable_IsTheMarkAlone_AndEmptyFilesGiveNoRows) {
  Write(ThreeColumns());
  EXPECT_EQ(files_.FileBytes(File), "\xFF\xFE");
  EXPECT_TRUE(Read("\xFF\xFE").empty());
  EXPECT_TRUE(Read("").empty());
}

TEST_F(TableFileTest, RowsInsertedAtTop_AreWrittenWithZero_AndReadBackNumbered) {
  Table table = ThreeColumns();
  Fill(table, {{u"c", u""}, {u"d", u""}});
  table.InsertRowAtTop();
  table.SetCell(1, 0, u"b");
  table.InsertRowAtTop();
  table.SetCell(1, 0, u"a");
  Write(table);
  EXPECT_EQ(files_.FileBytes(File), "\xFF\xFE" + Le(u"0,a,\r\n0,b,\r\n3,c,\r\n4,d,\r\n"));

  Table back = ThreeColumns();
  grid::ReadRowsFromFile(back, files_, File, u',', u'|');
  ASSERT_EQ(back.RowCount(), 4);
  for (int r = 0; r < 4; ++r) EXPECT_EQ(back.Cell(0, r), std::u16string(1, static_cast<char16_t>(u'1' + r)));
  EXPECT_EQ(back.Cell(1, 3), u"d");
}

TEST_F(TableFileTest, RandomTexts_ReadBackExactly_AndEarlierReadersSeeTheirNearestReading) {
  const std::u16string alphabet[] = {
      u"a",    u"Z", u" ",      u",",       u"\"",     u"\r",         u"\n",
      u"\r\n", u"|", u"\u00E9", u"\u0416",  u"\uFFFD", u"\U0001F600", u"\u00FF\u00FE",
      u"%",    u";", u":",      u"exact1:", u"%7C",    u"\t"};
  std::mt19937 random(1234);
  for (int round = 0; round < 300; ++round) {
    Rows rows(random() % 5);
    for (auto& cells : rows) {
      for (int c = 0; c < 2; ++c) {
        std::u16string text;
        for (int n = static_cast<int>(random() % 25); n > 0; --n)
          text += alphabet[random() % std::size(alphabet)];
        cells.push_back(text);
      }
    }
    Table table = ThreeColumns();
    Fill(table, rows);
    const std::uint8_t encoding = round % 2 == 0 ? grid::Utf16LeEncoding : grid::Utf16BeEncoding;
    Write(table, encoding);

    Table back = ThreeColumns();
    grid::ReadRowsFromFile(back, files_, File, u',', u'|');
    ASSERT_EQ(TextCells(back), rows) << "round " << round;
    if (encoding != grid::Utf16LeEncoding) continue;

    const auto earlier = testing_support::EarlierReading(files_.FileBytes(File), 3);
    ASSERT_EQ(earlier.size(), rows.size()) << "round " << round;
    for (std::size_t r = 0; r < rows.size(); ++r) {
      EXPECT_EQ(earlier[r][0], std::u16string(1, static_cast<char16_t>(u'1' + r)));
      for (std::size_t c = 0; c < 2; ++c)
        EXPECT_EQ(earlier[r][c + 1], testing_support::EarlierText(rows[r][c])) << "round " << round;
    }
  }
}

TEST_F(TableFileTest, TextsTheFormatCannotHold_AreWrittenAsBefore_WithTheirExactTextsAfterTheLastColumn) {
  struct Case {
    std::u16string name, text;
    std::u16string line;  // as written, without its CR LF
  };
  const Case cases[] = {
      // Texts the format holds: byte for byte as earlier versions wrote them.
      {u"n", u"one\r\ntwo", u"1,n,one|two"},
      {u"n", u"a,b \"c\"", u"1,n,\"a,b \"\"c\"\"\""},
      {u"n", u"", u"1,n,"},
      // The others: the nearest reading, then one field for all cells that need it.
      {u"n", u"cat log | grep error | sort",
       u"1,n,cat log | grep error | sort,exact1:2:cat log %7C grep error %7C sort"},
      {u"n", u"one\ntwo", u"1,n,onetwo,exact1:2:one%0Atwo"},
      {u"n", u"a\rb", u"1,n,a|b,exact1:2:a%0Db"},
      {u"n", u"|", u"1,n,|,exact1:2:%7C"},
      {u"a|b", u"\n\r\n", u"1,a|b,|,exact1:1:a%7Cb;2:%0A%0D%0A"},
      {u"n", u"50% off; \"x\"\t|,", u"1,n,\"50% off; \"\"x\"\"\t|,\",exact1:2:50%25 off%3B %22x%22%09%7C%2C"},
  };
  for (const Case& c : cases) {
    Table table = ThreeColumns();
    Fill(table, {{c.name, c.text}});
    Write(table);
    EXPECT_EQ(files_.FileBytes(File), "\xFF\xFE" + Le(c.line + u"\r\n"));
    EXPECT_EQ(Read(files_.FileBytes(File)), (Rows{{c.name, c.text}}));
  }
}

TEST_F(TableFileTest, FieldsAfterTheLastColumnThatAreNoExactTexts_KeepTheRowAsRead_AndAreToldDropped) {
  struct Case {
    std::u16string line;
    Rows rows;
    bool dropped;
  };
  const Case cases[] = {
      {u"1,n,a|b,exact1:2:a%7Cb", {{u"n", u"a|b"}}, false},
      {u"7,n,a|b,exact1:2:a%7Cb", {{u"n", u"a|b"}}, false},  // row numbers carry no meaning
      {u"1,n,a|b,exact1:2:a%7Cb,more", {{u"n", u"a|b"}}, true},
      {u"1,n,t,another column", {{u"n", u"t"}}, true},
      {u"1,n,a|b,exact1:2:x%7Cb", {{u"n", u"a\r\nb"}}, true},         // not the cell's exact text
      {u"1,n,a|b,exact1:2:a%7cb", {{u"n", u"a\r\nb"}}, true},         // lower-case hex
      {u"1,n,ab,exact1:2:%61b", {{u"n", u"ab"}}, true},               // an escape where none belongs
      {u"1,n,ab,exact1:2:ab", {{u"n", u"ab"}}, true},                 // a text the format holds
      {u"1,n,a|b,exact1:02:a%7Cb", {{u"n", u"a\r\nb"}}, true},        // a leading zero
      {u"1,n,a|b,exact1:0:a%7Cb", {{u"n", u"a\r\nb"}}, true},         // the row number column
      {u"1,n,a|b,exact1:2:a%7Cb;1:n%0A", {{u"n", u"a\r\nb"}}, true},  // columns not ascending
      {u"1,n,a|b,exact2:2:a%7Cb", {{u"n", u"a\r\nb"}}, true},         // a later layout
      {u"1,n,a|b,exact1:2:a%7", {{u"n", u"a\r\nb"}}, true},           // an escape cut short
      {u"1,n,a|b,exact1:2:a%u007C", {{u"n", u"a\r\nb"}}, true},       // a long escape for a short unit
      {u"a line without separators", {{u"", u""}}, true},
      {u"one, two", {{u" two", u""}}, true},
      {u",n,t", {{u"n", u"t"}}, false},  // no row number is no text
      {u"0,n,t", {{u"n", u"t"}}, false},
  };
  for (const Case& c : cases) {
    Table table = ThreeColumns();
    bool dropped = !c.dropped;
    EXPECT_TRUE(grid::ReadRowsFromBytes(table, "\xFF\xFE" + Le(c.line + u"\r\n"), u',', u'|', &dropped));
    EXPECT_EQ(TextCells(table), c.rows) << testing::PrintToString(c.line);
    EXPECT_EQ(dropped, c.dropped) << testing::PrintToString(c.line);
  }
}

TEST_F(TableFileTest, Reading_FollowsTheQuoteAndLineRules) {
  struct Case {
    std::u16string content;
    Rows rows;
  };
  const Case cases[] = {
      {u"1,\"\"\"abc\",x\r\n", {{u"\"abc", u"x"}}},                 // text beginning with a quote
      {u"1,\"\"\"\"\r\n", {{u"\"", u""}}},                          // a lone quote, written as four
      {u"1,\"a,b\r\n2,c,d\r\n", {{u"a,b", u""}, {u"c", u"d"}}},     // unbalanced: the line still ends
      {u"1,a\"b,c\r\n", {{u"a\"b,c", u""}}},                        // a stray quote opens a field
      {u"1,a,b", {{u"a", u"b"}}},                                   // no final line break
      {u"1,a", {{u"a", u""}}},                                      // fewer fields than columns
      {u"1,a,b,c,d\r\n", {{u"a", u"b"}}},                           // surplus fields dropped
      {u"\r\n\r\n1,x\r\n", {{u"", u""}, {u"", u""}, {u"x", u""}}},  // empty lines are empty rows
      {u"1,x|y,a\rb\r\n", {{u"x\r\ny", u"ab"}}},                    // mark is CR LF, lone CR dropped
      {u"1,a\n2,b", {{u"a", u""}, {u"b", u""}}},                    // LF alone ends a line
  };
  for (const Case& c : cases) EXPECT_EQ(Read("\xFF\xFE" + Le(c.content)), c.rows) << Le(c.content);

  // Long runs of plain text are skipped a block at a time; each kind of special character
  // must still stop them.
  const std::u16string l = u"abcdefghijklmnopqrst";
  const std::u16string content =
      u"1," + l + u"\"" + l + u"\"" + l + u"," + l + u"|" + l + u"\r" + l + u"\n" + l + u",x";
  EXPECT_EQ(Read("\xFF\xFE" + Le(content)), (Rows{{l + u"\"" + l + l, l + u"\r\n" + l + l}, {u"x", u""}}));
}

TEST_F(TableFileTest, Reading_FindsTheEncodingFromTheFirstBytes) {
  EXPECT_EQ(Read("\xFE\xFF" + Be(u"1,\u0416x,y\r\n")), (Rows{{u"\u0416x", u"y"}}));
  EXPECT_EQ(Read("\xFF\xFE" + Le(u"1,ab") + "c"), (Rows{{u"ab", u""}}));  // odd last byte ignored
  // 8-bit files are taken byte for byte, without the code page: 80 stays U+0080, not the euro.
  EXPECT_EQ(Read("1,caf\xE9,\x80\r\n"), (Rows{{u"caf\u00E9", u"\u0080"}}));
}

TEST_F(TableFileTest, Writing_InOtherEncodings) {
  Table table = ThreeColumns();
  Fill(table, {{u"caf\u00E9 \u20AC", u"\u0416\U0001F600,"}});
  Write(table, grid::AnsiEncoding);
  EXPECT_EQ(files_.FileBytes(File), "1,caf\xE9 \x80,\"??,\"\r\n");

  Write(table, grid::Utf16BeEncoding);
  EXPECT_EQ(files_.FileBytes(File), "\xFE\xFF" + Be(u"1,caf\u00E9 \u20AC,\"\u0416\U0001F600,\"\r\n"));
}

TEST_F(TableFileTest, UnknownEncoding_WritesNothing) {
  Table table = ThreeColumns();
  Fill(table, {{u"a", u"b"}});
  Write(table, 3);
  EXPECT_FALSE(files_.Exists(File));
  files_.PutFile(File, "old");
  Write(table, 255);
  EXPECT_EQ(files_.FileBytes(File), "old");
}

TEST_F(TableFileTest, FailedWrites_RaiseTheirMessage_AndKeepTheOldFile) {
  Table table = ThreeColumns();
  Fill(table, {{u"new", u"content"}});
  ExpectIoError([&] { Write(table, 1, "C:\\Missing\\list.hstr"); }, 3, "Invalid filename");

  files_.PutFile(File, "old");
  files_.SetReadOnly(File, true);
  ExpectIoError([&] { Write(table); }, 5, "File access denied");
  files_.SetReadOnly(File, false);

  files_.FailWritesAfter(10);
  ExpectIoError([&] { Write(table); }, 101, "Disk full");
  files_.FailWritesAfter(0, platform::ErrorHandleDiskFull);
  ExpectIoError([&] { Write(table); }, 101, "Disk full");
  files_.ClearFaults();

  Table large = ThreeColumns();                   // written in more than one piece: the failure comes late
  const std::u16string long_text(1 << 20, u'x');  // one piece each
  Fill(large, {{long_text, u""}, {long_text, u""}, {long_text, u""}});
  files_.FailWritesAfter(5000000);
  ExpectIoError([&] { Write(large); }, 101, "Disk full");
  files_.ClearFaults();

  files_.FailReplace(1117);
  ExpectIoError([&] { Write(table); }, 1117, "I/O error 1117");
  files_.ClearFaults();

  EXPECT_TRUE(files_.FileBytes(File) == "old");
  EXPECT_FALSE(files_.Exists(File + ".tmp"));
  EXPECT_EQ(files_.OpenFileCount(), 0);
  Write(table);
  EXPECT_EQ(files_.FileBytes(File), "\xFF\xFE" + Le(u"1,new,content\r\n"));
}

TEST_F(TableFileTest, FailedReads_LeaveTheTableEmpty) {
  Table table = ThreeColumns();
  Fill(table, {{u"a", u"b"}});
  ExpectIoError([&] { grid::ReadRowsFromFile(table, files_, "C:\\Data\\none.hstr", u',', u'|'); }, 2,
                "File not found");
  EXPECT_EQ(table.RowCount(), 0);
  EXPECT_EQ(table.UpdateCount(), 0);
  ExpectIoError([&] { grid::ReadRowsFromFile(table, files_, "C:\\None\\x.hstr", u',', u'|'); }, 3,
                "Invalid filename");
  files_.PutFile(File, "1,a");
  files_.DenyAccess("C:\\Data");
  ExpectIoError([&] { grid::ReadRowsFromFile(table, files_, File, u',', u'|'); }, 5, "File access denied");
}

TEST(RaiseIoError, MapsWindowsErrorsToTheProgramsMessages) {
  const struct {
    platform::Dword windowsError;
    int code;
    const char* message;
  } cases[] = {{2, 2, "File not found"},     {3, 3, "Invalid filename"}, {4, 4, "Too many open files"},
               {5, 5, "File access denied"}, {112, 101, "Disk full"},    {39, 101, "Disk full"},
               {123, 123, "I/O error 123"},  {32, 32, "I/O error 32"}};
  for (const auto& c : cases) {
    try {
      grid::RaiseIoError(c.windowsError);
      ADD_FAILURE() << "no error for " << c.windowsError;
    } catch (const platform::IoError& e) {
      EXPECT_EQ(e.code(), c.code);
      EXPECT_STREQ(e.what(), c.message);
    }
  }
}

}  // namespace

namespace {

// A table whose last column the file carries tagged, after the other fields.
Table WithTaggedColumn() {
  Table table = ThreeColumns();
  std::vector<grid::Column> columns = table.Columns();
  grid::Column tagged{"Items", u"", ColumnKind::Text, false};
  tagged.fileTag = u"items1:";
  columns.push_back(tagged);
  return Table(columns);
}

TEST_F(TableFileTest, TaggedColumn_IsWrittenOnlyWhereItHoldsText_AfterTheExactField_AndReadsBack) {
  Table table = WithTaggedColumn();
  Fill(table, {{u"plain", u"text", u""}, {u"a|b", u"x", u"ab.png;cd.html"}, {u"n", u"t", u"r"}});
  Write(table);
  const std::string bytes = files_.FileBytes(File);
  // A row without it is written as a table without the column writes it.
  Table plain = ThreeColumns();
  Fill(plain, {{u"plain", u"text"}});
  Write(plain, grid::Utf16LeEncoding, "C:\\Data\\plain.hstr");
  const std::string plainBytes = files_.FileBytes("C:\\Data\\plain.hstr");
  EXPECT_EQ(plainBytes, bytes.substr(0, plainBytes.size()));
  EXPECT_NE(std::string::npos, bytes.find(Le(u",exact1:1:a%7Cb,items1:ab.png;cd.html\r\n")));

  Table back = WithTaggedColumn();
  bool asWritten = false, dropped = true, wellFormed = false;
  ASSERT_EQ(0u, grid::AppendRowsFromFile(back, files_, File, u',', u'|', wellFormed, &asWritten, &dropped));
  EXPECT_TRUE(wellFormed);
  EXPECT_TRUE(asWritten);
  EXPECT_FALSE(dropped);
  ASSERT_EQ(3, back.RowCount());
  EXPECT_EQ(u"a|b", back.Cell(1, 1));
  EXPECT_EQ(u"", back.Cell(3, 0));
  EXPECT_EQ(u"ab.png;cd.html", back.Cell(3, 1));
  EXPECT_EQ(u"r", back.Cell(3, 2));
  // Readers that keep only the columns see the rows they always saw.
  const auto earlier = testing_support::EarlierReading(bytes, 3);
  EXPECT_EQ(u"a\r\nb", earlier[1][1]);
  EXPECT_EQ(u"t", earlier[2][2]);
}

TEST_F(TableFileTest, TaggedFieldsOutOfPlace_KeepTheRowAsRead_AndAreToldDropped) {
  const struct {
    std::u16string line;
    std::u16string tagged;  // what the tagged cell gets
  } cases[] = {
      {u"1,n,t,items1:x,exact1:1:a%7Cb", u"x"},  // the exact field after a tagged one
      {u"1,n,t,items1:x,items1:y", u"x"},        // twice
      {u"1,n,t,other:z,items1:x", u"x"},         // a field this reader does not know
      {u"1,n,t,items1:", u""},                   // a tag with nothing after it
  };
  for (const auto& c : cases) {
    Table table = WithTaggedColumn();
    bool dropped = false;
    EXPECT_TRUE(grid::ReadRowsFromBytes(table, "\xFF\xFE" + Le(c.line + u"\r\n"), u',', u'|', &dropped));
    EXPECT_TRUE(dropped) << std::string(c.line.begin(), c.line.end());
    ASSERT_EQ(1, table.RowCount());
    EXPECT_EQ(u"n", table.Cell(1, 0));
    EXPECT_EQ(c.tagged, table.Cell(3, 0));
  }
}

}  // namespace
}  // namespace table_file_test

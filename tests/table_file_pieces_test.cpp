// Reading a table file that arrives in pieces, as the real desktop reads a large file: every
// way of cutting the bytes gives the rows that the whole file gives.
#include <gtest/gtest.h>

#include <filesystem>
#include <limits>

#include "grid/table_file.h"
#include "platform/errors.h"
#include "platform/sim/sim_codepage.h"
#include "platform/sim/sim_files.h"
#include "temp_folder.h"

namespace table_file_pieces_test {

namespace {

using grid::ColumnKind;
using grid::Table;

const std::string File = "C:\\Data\\list.hstr";

// Hands a file over in pieces of a fixed size; after `failAfter` pieces the read fails.
class PieceFiles : public sim::SimFiles {
 public:
  using SimFiles::SimFiles;
  std::size_t pieceSize = 1;
  int failAfter = -1;
  platform::Dword ReadInPieces(const std::string& path, const PieceTaker& take) override {
    std::string bytes;
    if (platform::Dword error = ReadAll(path, bytes)) return error;
    int pieces = 0;
    for (std::size_t at = 0; at < bytes.size(); at += pieceSize) {
      if (pieces++ == failAfter) return platform::ErrorAccessDenied;
      if (platform::Dword error = take(std::string_view(bytes).substr(at, pieceSize))) return error;
    }
    return 0;
  }
};

std::string Utf16(std::u16string_view units, bool bigEndian) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t u : units) {
    const char low = static_cast<char>(u & 0xFF), high = static_cast<char>(u >> 8);
    bytes.push_back(bigEndian ? high : low);
    bytes.push_back(bigEndian ? low : high);
  }
  return bytes;
}

class TableFilePiecesTest : public ::testing::Test {
 protected:
  TableFilePiecesTest() : root_(testing_support::MakeTempFolder()), files_(root_) {
    files_.MakeFolder("C:\\Data");
  }
  ~TableFilePiecesTest() override { std::filesystem::remove_all(root_); }

  static Table FiveColumns() {
    return Table({{"#", u"#", ColumnKind::Increment},
                  {"A", u"A", ColumnKind::Text},
                  {"B", u"B", ColumnKind::Text},
                  {"C", u"C", ColumnKind::Text},
                  {"D", u"D", ColumnKind::Text}});
  }
  // Every cell, row by row.
  static std::vector<std::u16string> Cells(const Table& table) {
    std::vector<std::u16string> cells;
    for (int r = 0; r < table.RowCount(); ++r)
      for (int c = 0; c < table.ColumnCount(); ++c) cells.push_back(table.Cell(c, r));
    return cells;
  }
  std::vector<std::u16string> Read(const std::string& bytes, std::size_t pieceSize) {
    files_.PutFile(File, bytes);
    files_.pieceSize = pieceSize;
    Table table = FiveColumns();
    grid::ReadRowsFromFile(table, files_, File, u',', u'|');
    return Cells(table);
  }

  // What a read gives whose rows are taken out of the table every `batch` rows as they come,
  // as a load in the background hands them over: the rows (put together again in the order
  // taken) and the verdicts on the file.
  struct Batched {
    std::vector<std::u16string> cells;
    bool wellFormed = false;
    bool asWritten = false;
    bool dropped = false;
  };
  Batched ReadInBatches(const std::string& bytes, std::size_t pieceSize, int batch) {
    files_.PutFile(File, bytes);
    files_.pieceSize = pieceSize;
    Table staging = FiveColumns();
    Table all = FiveColumns();
    Batched read;
    const auto takeBatch = [&] {
      if (staging.RowCount() >= batch) all.AppendRowsOf(staging);
    };
    EXPECT_EQ(grid::AppendRowsFromFile(staging, files_, File, u',', u'|', read.wellFormed, &read.asWritten,
                                       &read.dropped, nullptr, nullptr, takeBatch),
              0u);
    all.AppendRowsOf(staging);
    read.cells = Cells(all);
    return read;
  }

  std::string root_;
  PieceFiles files_;
};

// Whatever the cut, and whether or not the rows are taken out of the table in batches as they are
// read (as a load in the background hands them over), the rows and the verdicts are those of one
// reading of the whole file.
TEST_F(TableFilePiecesTest, AnyCut_GivesTheRowsOfTheWholeFile_InEveryEncoding) {
  const std::u16string text =
      u"1,plain,\"with, separator\",\"\"\"quoted\"\"\",a|b\r\n"
      u"0,\u00E9\u20AC\U0001F600,,\r\n"
      u"\r\n"
      u"x,y,z,w,beyond,the,last\r\n"
      u"last line without a break";
  const std::string files[] = {
      Utf16(text, false),
      Utf16(text, true),
      Utf16(text, false) + "\x41",                               // an odd last byte
      Utf16(u"1,a,b,c,d\r\n2,e,f,g,h\r\n3,i,j,k,l\r\n", false),  // as the writer writes it
      Utf16(text + u"\r\n", false) +
          Utf16(std::u16string_view(u"1,a\0b,c,d,e\r\n", 13), false).substr(2),  // a NUL in a late line
      "1,caf\xE9,8-bit,\"a,b\"\r\n2,no mark\n",
      "\xFF",  // too short for a mark
      "",
  };
  for (const std::string& bytes : files) {
    const Batched whole = ReadInBatches(bytes, bytes.size() + 1, std::numeric_limits<int>::max());
    for (std::size_t pieceSize : {1, 2, 3, 5, 16, 17}) {
      const std::string what =
          "pieces of " + std::to_string(pieceSize) + " of " + std::to_string(bytes.size()) + " bytes";
      EXPECT_EQ(whole.cells, Read(bytes, pieceSize)) << what;
      for (int batch : {1, 2}) {
        const Batched read = ReadInBatches(bytes, pieceSize, batch);
        EXPECT_EQ(whole.cells, read.cells) << what << ", batches of " << batch;
        EXPECT_EQ(whole.wellFormed, read.wellFormed) << what << ", batches of " << batch;
        EXPECT_EQ(whole.asWritten, read.asWritten) << what << ", batches of " << batch;
        EXPECT_EQ(whole.dropped, read.dropped) << what << ", batches of " << batch;
      }
    }
  }
  EXPECT_EQ(25u, Read(Utf16(text, false), 3).size());  // five rows of five cells
}

TEST_F(TableFilePiecesTest, ReadFailingHalfway_RaisesItsError_AndKeepsTheLinesReadBefore) {
  files_.PutFile(File, Utf16(u"1,a\r\n2,b\r\n3,c\r\n", false));
  files_.pieceSize = 12;  // the mark and the first line, then the next line, ...
  files_.failAfter = 2;
  Table table = FiveColumns();
  EXPECT_THROW(grid::ReadRowsFromFile(table, files_, File, u',', u'|'), platform::IoError);
  ASSERT_EQ(2, table.RowCount());
  EXPECT_EQ(u"b", table.Cell(1, 1));
  EXPECT_EQ(0, table.UpdateCount());
}

// A close skips writing a file that holds exactly what writing its rows gives; a file that
// only reads the same must be written, or it would never take the writer's form. The verdict
// holds whatever the cut, and matches a write of the rows read.
TEST_F(TableFilePiecesTest, AsWritten_OnlyForExactlyTheWritersBytes) {
  struct Case {
    std::u16string text;
    bool asWritten;
  };
  const std::vector<Case> cases = {
      {u"", true},
      {u"1,a,b,c,d\r\n2,\"x, y\",\"say \"\"hi\"\"\",,line|break\r\n", true},
      {u"1,\"\"\"quoted\"\"\",b,c,d\r\n", true},
      {u"0,a,b,c,d\r\n", false},               // a row put on top in its run
      {u"1,a,b,c,d\r\n3,a,b,c,d\r\n", false},  // numbers out of step
      {u"01,a,b,c,d\r\n", false},
      {u"1,\"a\",b,c,d\r\n", false},                // quotes the writer would not put
      {u"1,\"say \"hi\"\"!\"\",b,c,d\r\n", false},  // a lone quote inside, read the same
      {u"1,\"x,\"y,b,c,d\r\n", false},
      {u"1,a,b,c,d\n", false},  // LF alone
      {u"1,a,b,c,d", false},    // no line break at the end
      {u"\"\"", false},         // an empty quoted field that ends no line, read as nothing
      {u"1,a,b,c,d\r\n\"", false},
      {u"1,a,b,c\r\n", false},       // a column short
      {u"1,a,b,c,d,e\r\n", false},   // one too many
      {u"1,a\rb,b,c,d\r\n", false},  // a CR inside a line
  };
  for (const Case& c : cases) {
    for (std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{1} << 20}) {
      files_.PutFile(File, Utf16(c.text, false));
      files_.pieceSize = piece;
      Table table = FiveColumns();
      bool wellFormed = false, asWritten = !c.asWritten;
      ASSERT_EQ(grid::AppendRowsFromFile(table, files_, File, u',', u'|', wellFormed, &asWritten), 0u);
      EXPECT_EQ(asWritten, c.asWritten)
          << std::string(c.text.begin(), c.text.end()) << " in pieces of " << piece;
      if (asWritten) {
        sim::SimCodePage codePage;
        grid::WriteRowsToFile(table, files_, codePage, "C:\\Data\\again.hstr", u',', u'|',
                              grid::Utf16LeEncoding);
        std::string again;
        ASSERT_EQ(files_.ReadAll("C:\\Data\\again.hstr", again), 0u);
        EXPECT_EQ(again, Utf16(c.text, false));
      }
    }
  }
  // Big-endian or 8-bit files are written anew as UTF-16LE.
  for (const std::string& bytes : {Utf16(u"1,a,b,c,d\r\n", true), std::string("1,a,b,c,d\r\n")}) {
    files_.PutFile(File, bytes);
    Table table = FiveColumns();
    bool wellFormed = false, asWritten = true;
    ASSERT_EQ(grid::AppendRowsFromFile(table, files_, File, u',', u'|', wellFormed, &asWritten), 0u);
    EXPECT_FALSE(asWritten);
  }
}

}  // namespace
}  // namespace table_file_pieces_test

// Arbitrary bytes as a table text file: reading must never fail on content, and what was read
// must come back through a write and a second read: unchanged from UTF-16, and as its code
// page has it from an 8-bit file. The same bytes as cell texts: every text comes back exactly,
// and a reader of the columns alone (an earlier version) sees the format's nearest reading.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <map>
#include <string>
#include <string_view>

#include "actions/action_table.h"
#include "grid/exact_text.h"
#include "grid/table_file.h"
#include "history/history_table.h"
#include "platform/sim/sim_codepage.h"
#include "tests/earlier_reader.h"

namespace {

// Files in memory: the fuzzer runs thousands of inputs a second, far more than a disk takes.
class MemoryFiles : public platform::IFiles {
 public:
  std::map<std::string, std::string> files;
  std::size_t pieceSize = 1;

  std::string GetModuleFileNameW() override { return "C:\\fuzz.exe"; }
  platform::Dword CreateForWriting(const std::string& path, platform::FileHandle& file) override {
    files[path].clear();
    paths_[++last_] = path;
    file = last_;
    return 0;
  }
  platform::Dword OpenForAppend(const std::string& path, platform::FileHandle& file) override {
    files[path];
    paths_[++last_] = path;
    file = last_;
    return 0;
  }
  platform::Dword Write(platform::FileHandle file, const void* data, std::size_t size) override {
    files[paths_.at(file)].append(static_cast<const char*>(data), size);
    return 0;
  }
  platform::Dword Flush(platform::FileHandle) override { return 0; }
  platform::Dword Close(platform::FileHandle file) override { return paths_.erase(file) == 1 ? 0 : 6; }
  platform::Dword ReadAll(const std::string& path, std::string& bytes) override {
    const auto it = files.find(path);
    if (it == files.end()) return platform::ErrorFileNotFound;
    bytes = it->second;
    return 0;
  }
  // The file in pieces of `pieceSize` bytes, as the real desktop reads a large file.
  platform::Dword ReadInPieces(const std::string& path, const PieceTaker& take) override {
    const auto it = files.find(path);
    if (it == files.end()) return platform::ErrorFileNotFound;
    const std::string_view bytes = it->second;
    for (std::size_t at = 0; at < bytes.size(); at += pieceSize) {
      if (platform::Dword error = take(bytes.substr(at, pieceSize))) return error;
    }
    return 0;
  }
  platform::Dword Replace(const std::string& source, const std::string& target) override {
    files[target] = std::move(files.at(source));
    files.erase(source);
    return 0;
  }
  platform::Dword Delete(const std::string& path) override { return files.erase(path) == 1 ? 0 : 2; }
  platform::Dword CreateFolder(const std::string&) override { return 0; }
  platform::Dword ListFolder(const std::string&, std::vector<std::string>& names) override {
    names.clear();
    return 0;
  }
  bool IsReadOnly(const std::string&) override { return false; }
  std::string ErrorText(platform::Dword) override { return ""; }

 private:
  std::map<platform::FileHandle, std::string> paths_;
  platform::FileHandle last_ = 0;
};

// The first byte picks the table: the history's columns, the actions' columns, or one to five
// columns of which those whose bit is set are increment columns.
grid::Table TableFor(std::uint8_t layout) {
  std::vector<grid::Column> columns;
  switch (layout % 4) {
    case 0:
      return grid::Table(history::HistoryColumns());
    case 1:
      return grid::Table(actions::ActionColumns());
    default: {
      const int count = 1 + (layout >> 2) % 5;
      for (int i = 0; i < count; ++i) {
        const bool increment = (layout >> (3 + i)) & 1;
        columns.push_back(
            {"c" + std::to_string(i), u"", increment ? grid::ColumnKind::Increment : grid::ColumnKind::Text});
      }
      return grid::Table(std::move(columns));
    }
  }
}

std::vector<std::u16string> Cells(const grid::Table& table) {
  std::vector<std::u16string> cells;
  for (int r = 0; r < table.RowCount(); ++r) {
    for (int c = 0; c < table.ColumnCount(); ++c) cells.push_back(table.Cell(c, r));
  }
  return cells;
}

// What an 8-bit file gives back for a text: each character's byte in the code page, read as
// the character of the same number.
std::u16string ThroughAnsi(platform::ICodePage& codePage, const std::u16string& text) {
  const std::string bytes = codePage.WideToAnsi(text);
  std::u16string back;
  for (char byte : bytes) back.push_back(static_cast<unsigned char>(byte));
  return back;
}

// The input's code units (low byte first) as the texts of a table's text columns: U+FFFF ends
// a cell and U+FFFE a row; they are no characters and never reach a text. Tagged columns are
// left empty: they hold the program's own names of items, never a text a user copied.
void FillFromUnits(grid::Table& table, std::string_view bytes) {
  std::vector<int> textColumns;
  for (int c = 0; c < table.ColumnCount(); ++c) {
    const grid::Column& column = table.Columns()[static_cast<std::size_t>(c)];
    if (column.kind == grid::ColumnKind::Text && column.fileTag.empty()) textColumns.push_back(c);
  }
  if (textColumns.empty()) return;
  int row = table.AppendRow();
  std::size_t column = 0;
  std::u16string text;
  auto store = [&] {
    if (column < textColumns.size()) table.SetCell(textColumns[column], row, text);
    text.clear();
  };
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto unit = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                            static_cast<unsigned char>(bytes[i + 1]) << 8);
    if (unit == 0xFFFF) {
      store();
      ++column;
    } else if (unit == 0xFFFE) {
      store();
      row = table.AppendRow();
      column = 0;
    } else {
      text.push_back(unit);
    }
  }
  store();
}

// Every text of the table comes back exactly from a file in `encoding`; from UTF-16LE the file
// is found to be in the writer's form, holds nothing a reader drops, and shows a reader of
// the columns alone each text's nearest reading.
void CheckExactRoundTrip(MemoryFiles& files, platform::ICodePage& codePage, std::uint8_t layout,
                         const grid::Table& table, std::uint8_t encoding) {
  grid::WriteRowsToFile(table, files, codePage, "C:\\exact", u',', u'|', encoding);
  grid::Table back = TableFor(layout);
  bool wellFormed = false, asWritten = false, dropped = true;
  grid::AppendRowsFromFile(back, files, "C:\\exact", u',', u'|', wellFormed, &asWritten, &dropped);
  if (back.RowCount() != table.RowCount()) std::abort();
  if (dropped) std::abort();
  std::vector<std::u16string> expected = Cells(table);
  // Increment cells show the row's position, as they did before.
  if (Cells(back) != expected) std::abort();
  if (encoding != grid::Utf16LeEncoding) return;
  const std::string& bytes = files.files.at("C:\\exact");
  bool nul = false;
  for (const std::u16string& cell : expected) nul = nul || cell.find(u'\0') != std::u16string::npos;
  if (wellFormed == nul) std::abort();
  if (!nul && !asWritten) std::abort();
  // An earlier reader knows the columns written in place; a tagged column (the history's
  // items, the last) is written after them and is dropped by it like the exact texts.
  std::size_t columns = 0;
  for (const grid::Column& column : table.Columns()) columns += column.fileTag.empty() ? 1 : 0;
  const auto earlier = testing_support::EarlierReading(bytes, columns);
  if (earlier.size() != static_cast<std::size_t>(table.RowCount())) std::abort();
  for (std::size_t r = 0; r < earlier.size(); ++r) {
    for (std::size_t c = 0; c < columns; ++c) {
      if (table.Columns()[c].kind != grid::ColumnKind::Text) continue;
      const std::u16string text = table.Cell(static_cast<int>(c), static_cast<int>(r));
      if (earlier[r][c] != testing_support::EarlierText(text)) std::abort();
      if (grid::NearestReading(text, u'|') != earlier[r][c]) std::abort();
    }
  }
}

}  // namespace

// The second byte picks how the table is written (8-bit, UTF-16LE or UTF-16BE) and in what
// pieces files are read.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  MemoryFiles files;
  constexpr std::size_t PieceSizes[] = {1, 2, 3, 7, 64, 4096, 1 << 20};
  files.pieceSize = PieceSizes[(data[1] / 3) % std::size(PieceSizes)];
  sim::SimCodePage codePage;
  files.files["C:\\in"] = std::string(reinterpret_cast<const char*>(data + 2), size - 2);

  grid::Table first = TableFor(data[0]);
  bool wellFormed = false, asWritten = false;
  grid::AppendRowsFromFile(first, files, "C:\\in", u',', u'|', wellFormed, &asWritten);
  if (asWritten) {
    // A file found to be in the writer's exact form is what writing its rows gives: a close
    // leaves such a file alone.
    grid::WriteRowsToFile(first, files, codePage, "C:\\again", u',', u'|', grid::Utf16LeEncoding);
    if (files.files.at("C:\\again") != files.files.at("C:\\in")) std::abort();
    files.files.erase("C:\\again");
  }
  const std::uint8_t encoding = data[1] % 3;
  grid::WriteRowsToFile(first, files, codePage, "C:\\out", u',', u'|', encoding);
  const std::string written = files.files.at("C:\\out");

  if (encoding == grid::AnsiEncoding) {
    // The same table gives the same bytes.
    grid::WriteRowsToFile(first, files, codePage, "C:\\out", u',', u'|', encoding);
    if (files.files.at("C:\\out") != written) std::abort();
    // An 8-bit file carries no mark, so what its bytes read back as depends on them: bytes
    // that look like a mark, or like text in another encoding, are taken as such. Only a file
    // of plain ASCII without NULs is sure to read back as 8-bit text.
    const bool plain = std::all_of(written.begin(), written.end(), [](char byte) {
      return byte > 0 && static_cast<unsigned char>(byte) < 0x80;
    });
    if (!plain) return 0;
  }

  grid::Table second = TableFor(data[0]);
  grid::ReadRowsFromFile(second, files, "C:\\out", u',', u'|');
  if (second.RowCount() != first.RowCount()) std::abort();
  std::vector<std::u16string> expected = Cells(first);
  if (encoding == grid::AnsiEncoding) {
    // Increment cells are numbers and the same either way.
    for (std::u16string& cell : expected) cell = ThroughAnsi(codePage, cell);
  }
  if (Cells(second) != expected) std::abort();
  if (encoding != grid::AnsiEncoding) {
    // From UTF-16 a second write gives the same bytes again.
    grid::WriteRowsToFile(second, files, codePage, "C:\\out", u',', u'|', encoding);
    if (files.files.at("C:\\out") != written) std::abort();
  }
  if (encoding == grid::Utf16LeEncoding) {
    // And what the writer wrote is found to be in its form, so that it is not written again
    // (unless a text held a NUL, which no copy can hold: then it is no table file at all).
    grid::Table third = TableFor(data[0]);
    grid::AppendRowsFromFile(third, files, "C:\\out", u',', u'|', wellFormed, &asWritten);
    if (wellFormed && !asWritten) std::abort();
  }
  if (files.files.size() != 2) std::abort();  // the temporary is gone

  grid::Table texts = TableFor(data[0]);
  FillFromUnits(texts, std::string_view(reinterpret_cast<const char*>(data + 2), size - 2));
  if (encoding != grid::AnsiEncoding) {
    CheckExactRoundTrip(files, codePage, data[0], texts, encoding);
  } else {
    // Through a code page only ASCII texts are sure to come back as they were.
    bool ascii = true;
    for (const std::u16string& cell : Cells(texts))
      for (char16_t unit : cell) ascii = ascii && unit > 0 && unit < 0x80;
    if (ascii) CheckExactRoundTrip(files, codePage, data[0], texts, encoding);
  }
  return 0;
}

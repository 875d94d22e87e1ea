// Table file write and read against the cost of moving the same bytes, and insertion at the
// top of a large history.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <memory>
#include <random>

#include "grid/table_file.h"
#include "platform/sim/sim_codepage.h"
#include "platform/sim/sim_files.h"

namespace {

const std::string FileName = "C:\\Data\\bench.hstr";

// One folder for the whole run, removed at exit.
sim::SimFiles& Files() {
  struct Folder {
    std::string root = "/tmp/table_file_bench." + std::to_string(::getpid());
    sim::SimFiles files{root};
    Folder() { files.MakeFolder("C:\\Data"); }
    ~Folder() { std::filesystem::remove_all(root); }
  };
  static Folder folder;
  return folder.files;
}

grid::Table EmptyTable() {
  return grid::Table({{"#", u"#", grid::ColumnKind::Increment},
                      {"Name", u"Name", grid::ColumnKind::Text},
                      {"Text", u"Text", grid::ColumnKind::Text}});
}

// Texts of about 100 characters, now and then with a separator, a quote or a line break.
std::u16string RandomText(std::mt19937& random) {
  static const char16_t letters[] =
      u"abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789\u00E9\u0416";
  std::u16string text;
  const int length = 90 + static_cast<int>(random() % 21);
  for (int i = 0; i < length; ++i) text.push_back(letters[random() % (std::size(letters) - 1)]);
  switch (random() % 10) {
    case 0:
      text[length / 2] = u',';
      break;
    case 1:
      text[length / 3] = u'"';
      break;
    case 2:
      text.insert(static_cast<std::size_t>(length / 2), u"\r\n");
      break;
  }
  return text;
}

const grid::Table& TableOf(int rows) {
  static std::map<int, std::unique_ptr<grid::Table>> tables;
  auto& table = tables[rows];
  if (!table) {
    table = std::make_unique<grid::Table>(EmptyTable());
    std::mt19937 random(rows);
    for (int r = 0; r < rows; ++r) {
      table->AppendRow();
      table->SetCell(1, r, RandomText(random));
      table->SetCell(2, r, RandomText(random));
    }
  }
  return *table;
}

void WriteTableFile(int rows) {
  sim::SimCodePage codePage;
  grid::WriteRowsToFile(TableOf(rows), Files(), codePage, FileName, u',', u'|', grid::Utf16LeEncoding);
}

void BM_WriteRowsToFile(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  TableOf(rows);
  for (auto _ : state) WriteTableFile(rows);
}

// The floor for writing: the finished bytes, one write call, the same flush.
void BM_WritePreparedBuffer(benchmark::State& state) {
  WriteTableFile(static_cast<int>(state.range(0)));
  std::string bytes;
  Files().ReadAll(FileName, bytes);
  for (auto _ : state) {
    platform::FileHandle file = 0;
    Files().CreateForWriting(FileName + ".plain", file);
    Files().Write(file, bytes.data(), bytes.size());
    Files().Flush(file);
    Files().Close(file);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

void BM_ReadRowsFromFile(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  WriteTableFile(rows);
  grid::Table table = EmptyTable();
  for (auto _ : state) {
    grid::ReadRowsFromFile(table, Files(), FileName, u',', u'|');
    benchmark::DoNotOptimize(table.RowCount());
  }
  if (table.RowCount() != rows) state.SkipWithError("wrong row count");
}

// The floor for reading: the bytes and their conversion to UTF-16.
void BM_ReadAndConvertToUtf16(benchmark::State& state) {
  WriteTableFile(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    std::string bytes;
    Files().ReadAll(FileName, bytes);
    std::u16string text((bytes.size() - 2) / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
      text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 + 2 * i]) |
                                      static_cast<unsigned char>(bytes[3 + 2 * i]) << 8);
    }
    benchmark::DoNotOptimize(text.data());
  }
}

void BM_InsertRowAtTopOfMillionRows(benchmark::State& state) {
  grid::Table table = EmptyTable();
  for (int r = 0; r < 1000000; ++r) table.AppendRow();
  for (auto _ : state) {
    table.InsertRowAtTop();
    table.SetCell(2, 0, u"captured text");
  }
}

BENCHMARK(BM_WriteRowsToFile)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WritePreparedBuffer)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadRowsFromFile)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadAndConvertToUtf16)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_InsertRowAtTopOfMillionRows);

}  // namespace

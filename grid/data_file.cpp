#include "grid/data_file.h"

#include <algorithm>
#include <functional>

#include "grid/table_file.h"
#include "platform/types.h"

namespace grid {

using platform::Dword;

bool IsMissingFileError(Dword error) {
  return error == platform::ErrorFileNotFound || error == platform::ErrorPathNotFound;
}

std::string ErrorDescription(platform::IFiles& files, Dword error) {
  std::string text = files.ErrorText(error);
  while (!text.empty() &&
         (text.back() == '.' || text.back() == ' ' || text.back() == '\n' || text.back() == '\r'))
    text.pop_back();
  return text.empty() ? "error " + std::to_string(error) : text;
}

std::string FileNameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string SideFileName(const std::string& path, const std::string& tag) {
  const std::size_t nameStart = path.size() - FileNameOf(path).size();
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || dot < nameStart) return path + "." + tag;
  return path.substr(0, dot) + "." + tag + path.substr(dot);
}

std::string KeepAside(platform::IFiles& files, const std::string& path, const std::string& bytes) {
  for (int n = 1; n <= 100; ++n) {
    const std::string name = SideFileName(path, n == 1 ? "malformed" : "malformed" + std::to_string(n));
    std::string existing;
    const Dword error = files.ReadAll(name, existing);
    // A file read at every start (and left alone) is kept once, not once a start.
    if (error == 0 && existing == bytes) return name;
    if (error == 0 || !IsMissingFileError(error)) continue;
    if (ReplaceFileContents(files, name, bytes.data(), bytes.size()) == 0) return name;
    return std::string();
  }
  return std::string();
}

Dword ReadFileWithRetry(platform::IFiles& files, platform::IClock& clock, const std::string& path,
                        std::string& bytes, Dword retryMs) {
  const Dword start = clock.GetTickCount();
  Dword error = files.ReadAll(path, bytes);
  // Sharing violations pass; short waits at first catch the end of a brief hold early.
  Dword pause = 50;
  while (error != 0 && error != SealingFailed && !IsMissingFileError(error) &&
         clock.GetTickCount() - start < retryMs) {
    clock.Sleep(pause);
    pause = std::min<Dword>(pause * 2, 500);
    error = files.ReadAll(path, bytes);
  }
  return error;
}

DataFileLoad LoadDataFile(Table& table, platform::IFiles& files, platform::IClock& clock,
                          const std::string& path, char16_t separator, char16_t lineBreakMark, bool keepRows,
                          Dword retryMs, platform::ICrypto* crypto) {
  return LoadDataFile(table, files, clock, path, separator, lineBreakMark, keepRows, retryMs, crypto,
                      nullptr);
}

DataFileLoad LoadDataFile(Table& table, platform::IFiles& files, platform::IClock& clock,
                          const std::string& path, char16_t separator, char16_t lineBreakMark, bool keepRows,
                          Dword retryMs, platform::ICrypto* crypto, RowBatches* batches) {
  DataFileLoad result;
  UpdateScope update(table);
  if (!keepRows || batches) table.RemoveAllRows();
  const int kept = table.RowCount();
  // Rows handed over cannot be taken back: a read that fails after that is not tried again.
  std::function<void()> afterRow;
  std::size_t batchRows = batches ? std::max<std::size_t>(batches->first, 1) : 0;
  if (batches) {
    afterRow = [&] {
      if (static_cast<std::size_t>(table.RowCount()) < batchRows) return;
      batches->take(table);
      result.handedOver = true;
      batchRows = std::min(batchRows * 4, std::max(batches->most, batchRows));
    };
  }
  // The rows are read as the file streams in, so a large history is never in memory twice; a
  // try that fails gives back what it appended before the next one.
  auto dropPartial = [&] {
    while (table.RowCount() > kept) table.DeleteRow(table.RowCount() - 1);
  };
  bool wellFormed = true;
  bool asWritten = false;
  bool dropped = false;
  SealedRead sealed;
  const Dword start = clock.GetTickCount();
  Dword error = AppendRowsFromFile(table, files, path, separator, lineBreakMark, wellFormed, &asWritten,
                                   &dropped, crypto, &sealed, afterRow);
  // Sharing violations pass; short waits at first catch the end of a brief hold early.
  Dword pause = 50;
  while (error != 0 && error != SealingFailed && !IsMissingFileError(error) &&
         clock.GetTickCount() - start < retryMs && !result.handedOver) {
    dropPartial();
    clock.Sleep(pause);
    pause = std::min<Dword>(pause * 2, 500);
    error = AppendRowsFromFile(table, files, path, separator, lineBreakMark, wellFormed, &asWritten, &dropped,
                               crypto, &sealed, afterRow);
  }
  if (error != 0) {
    dropPartial();
    result.state = IsMissingFileError(error) && !result.handedOver ? DataFileLoad::State::Missing
                                                                   : DataFileLoad::State::Unreadable;
    result.error = error;
    result.sealed = sealed.sealed;
    result.unsealed = sealed.result;
    return result;
  }
  if (batches && table.RowCount() > 0) {
    batches->take(table);
    result.handedOver = true;
  }
  result.state = DataFileLoad::State::Read;
  result.sealed = sealed.sealed;
  result.asWritten = asWritten && kept == 0;
  result.dropped = dropped;
  if (!wellFormed || dropped) {
    result.malformed = !wellFormed;
    // Rare, so the file is read once more for its bytes rather than kept in memory every time.
    std::string bytes;
    if (files.ReadAll(path, bytes) == 0) result.keptAs = KeepAside(files, path, bytes);
  }
  return result;
}

std::string LoadNotice(platform::IFiles& files, const DataFileLoad& load, const std::string& subject,
                       const std::string& file, const std::string& unreadableOutcome) {
  if (load.state == DataFileLoad::State::Unreadable)
    return subject + " could not be read (" +
           (load.error == SealingFailed ? UnsealedReason(load.unsealed)
                                        : ErrorDescription(files, load.error)) +
           ")" + unreadableOutcome;
  if (!load.malformed && !load.dropped) return {};
  const std::string what = load.malformed ? "The " + file + " is damaged"
                                          : "Some lines of the " + file + " do not fit its columns";
  return load.keptAs.empty() ? what + ", and no copy of it could be made."
                             : what + "; it was kept as " + FileNameOf(load.keptAs) + ".";
}

}  // namespace grid

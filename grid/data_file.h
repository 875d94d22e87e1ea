// Reading the program's own data files at start-up so that nothing they hold is lost: a file
// another program holds for a moment is read once it is free, and one that cannot be read or
// does not look like a table text file is never silently replaced.
#pragma once

#include <functional>
#include <string>

#include "grid/sealed_file.h"
#include "grid/table.h"
#include "platform/clock.h"
#include "platform/files.h"

namespace grid {

// How long a file that exists but cannot be opened is tried again: backup and sync tools hold
// a file for a moment.
constexpr platform::Dword DataFileRetryMs = 3000;

struct DataFileLoad {
  enum class State {
    Read,        // the rows are the file's (also when it was malformed)
    Missing,     // no such file yet: it may be created
    Unreadable,  // the file exists but could not be read: it must not be replaced
  };
  State state = State::Missing;
  platform::Dword error = 0;  // the Windows error of the last try, for Unreadable
  // For a file that was read but cannot be a table text file: where its bytes were kept, or
  // empty when that copy failed too.
  bool malformed = false;
  // The file was read, but the reading left something out (see ReadRowsFromBytes): its bytes
  // were kept aside as well, in keptAs.
  bool dropped = false;
  std::string keptAs;
  // The file holds exactly what writing the rows read as UTF-16LE gives (and no rows were kept
  // above them): while they stay unchanged, there is nothing to write.
  bool asWritten = false;
  // The file was sealed (read with the crypto given, or Unreadable for want of it), and for an
  // Unreadable one that could not be opened, why.
  bool sealed = false;
  Unsealed unsealed = Unsealed::Opened;
  // Rows were handed over in batches (see RowBatches); for an Unreadable file, rows that must
  // be taken back out, as the file's rows are not all there.
  bool handedOver = false;
};

// For a load away from the window's thread: the rows read are handed over as they come, so
// that the newest show while the rest is read. take(table) is called once the table holds
// `first` rows, then each time it holds four times as many as the batch before, up to `most`,
// and once more for those left at the end; it must take every row (see Table::AppendRowsOf).
// A first batch that fills the window comes quickly; the larger ones after it cost fewer
// hand-overs.
struct RowBatches {
  std::size_t first = 1;
  std::size_t most = 1;
  std::function<void(Table&)> take;
};

// Reads the whole file, trying again for up to `retryMs` while it exists but cannot be read.
// Returns 0 or the Windows error of the last try.
platform::Dword ReadFileWithRetry(platform::IFiles& files, platform::IClock& clock, const std::string& path,
                                  std::string& bytes, platform::Dword retryMs = DataFileRetryMs);

// Replaces the rows of `table` by the file's, trying again for up to `retryMs` while the file
// exists but cannot be read. Missing and unreadable files leave the table empty. The bytes of
// a malformed file, and of one whose reading dropped anything, are first copied beside it
// (KeepAside), since the next write replaces it.
// With `keepRows` the rows the table holds stay, and the file's go below them.
// A sealed file is opened with `crypto`; one that does not open is Unreadable at once (waiting
// would not change it).
DataFileLoad LoadDataFile(Table& table, platform::IFiles& files, platform::IClock& clock,
                          const std::string& path, char16_t separator, char16_t lineBreakMark,
                          bool keepRows = false, platform::Dword retryMs = DataFileRetryMs,
                          platform::ICrypto* crypto = nullptr);
// The same, handing the rows over in batches; the table starts empty whatever `keepRows` says.
DataFileLoad LoadDataFile(Table& table, platform::IFiles& files, platform::IClock& clock,
                          const std::string& path, char16_t separator, char16_t lineBreakMark, bool keepRows,
                          platform::Dword retryMs, platform::ICrypto* crypto, RowBatches* batches);

// Copies `bytes` to the first free name SideFileName(path, "malformed"), "malformed2", ...:
// an earlier copy is never overwritten, and one that holds the same bytes already is the copy.
// Returns the name, or empty when the copy failed.
std::string KeepAside(platform::IFiles& files, const std::string& path, const std::string& bytes);

// A name beside `path` that says what the file holds, keeping the extension so that the
// program's import still offers it: "C:\x\actions.cnfg" with "malformed" gives
// "C:\x\actions.malformed.cnfg".
std::string SideFileName(const std::string& path, const std::string& tag);

// The file's name without its folder.
std::string FileNameOf(const std::string& path);

// The system's text for an error without its full stop, to be set in a sentence; its number
// when the system has no text.
std::string ErrorDescription(platform::IFiles& files, platform::Dword error);

// What the user is told after a load, or empty when all went well. `subject` names what the
// file holds as a sentence starts ("The actions"), `file` the file itself ("actions file"),
// and `unreadableOutcome` ends the sentence about a file that could not be read.
std::string LoadNotice(platform::IFiles& files, const DataFileLoad& load, const std::string& subject,
                       const std::string& file, const std::string& unreadableOutcome);

// Whether an error of opening a file means it is not there (rather than not readable).
bool IsMissingFileError(platform::Dword error);

}  // namespace grid

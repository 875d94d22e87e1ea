// The capture journal's file, in either of its forms: its records as they are (journal.h), or
// each sealed for the Windows account (grid/sealed_file.h). One reader and one writer serve
// both; what differs is a small piece chosen by the file's form, which says how a journal
// begins, how a record is sealed into it and how its records are opened.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "history/journal.h"
#include "platform/desktop.h"

namespace history {

// What reading the journal found.
struct JournalReading {
  enum class State {
    Missing,     // there is none
    Read,        // its records are listed in `content`
    Foreign,     // not a journal of this program
    Unreadable,  // held by another program (`error`) or sealed for another account: `why`
  };
  State state = State::Missing;
  platform::Dword error = 0;
  std::string why;         // to finish a sentence, for an unreadable journal
  bool sealed = false;     // the form of the file
  bool hasHeader = false;  // the file starts with a whole header
  bool damaged = false;    // the file holds bytes that are neither its header nor a whole record
  std::string bytes;       // the file's bytes
  std::string opened;      // a sealed file's records opened, as a plain journal holds them
  JournalContent content;  // the records of Plain()
  std::string_view Plain() const { return sealed ? std::string_view(opened) : std::string_view(bytes); }
};

// How one form of the journal keeps its records.
class JournalForm {
 public:
  virtual ~JournalForm() = default;
  // The bytes a new journal begins with; false when the system refused. A sealed journal that
  // may keep the key it was sealed under (`sameKey`) costs the system no new key.
  virtual bool Begin(std::string& header, bool sameKey) = 0;
  // Appends to `out` the bytes that keep one record (an attach record: `date` is the
  // placeholder, `text` empty); false when the system refused.
  virtual bool Put(std::string& out, std::u16string_view date, std::u16string_view text,
                   std::u16string_view reference, bool attach = false) = 0;
  // The same for a record already encoded as a plain journal holds it.
  virtual bool PutEncoded(std::string& out, std::string_view record) = 0;
  // Reads the records of a journal in this form, `reading.bytes`, into `reading`; appends then
  // go on in that journal.
  virtual void Open(JournalReading& reading) = 0;
};

class JournalFile {
 public:
  // The journal is the file that `path` names, asked anew at every use.
  JournalFile(platform::Desktop& desktop, std::function<std::string()> path);
  ~JournalFile();
  JournalFile(const JournalFile&) = delete;
  JournalFile& operator=(const JournalFile&) = delete;

  std::string Path() const { return path_(); }

  // Reads the journal, trying again for a while when another program holds it. Appends go on
  // in the form found.
  JournalReading Read();

  // The form a new journal is begun in; a journal in the other form is written anew by its
  // owner (Rewrite), never appended to.
  void SetSealing(bool seal) { seal_ = seal; }
  // The form of the journal on the disk, when it has its header.
  bool Sealed() const { return sealed_; }
  bool HasHeader() const { return hasHeader_; }

  // Appends one record, opening the journal (and beginning it in the chosen form) when needed;
  // 0 or the Windows error, after which a record may be cut short in the file. A text whose
  // storage is `shared` (its row's) is written from there, and a long one in pieces
  // (WritePending), as are the records after it until it is written.
  platform::Dword Append(std::u16string_view date, std::u16string_view text, std::u16string_view reference,
                         std::shared_ptr<const std::u16string> shared = nullptr);
  // A piece's size in bytes: a record's text of at least half of it is written in pieces.
  static constexpr std::size_t PieceBytes = std::size_t{8} << 20;
  // Appends an attach record: the row recorded with `placeholder` refers to `reference` now.
  // Records still being written in pieces are written first. 0 or the Windows error.
  platform::Dword Attach(std::u16string_view placeholder, std::u16string_view reference);
  bool WritesPending() const { return !pending_.empty(); }
  // Appends a change of an entry already in the list, after every record before it; 0 or the
  // Windows error, as Append.
  platform::Dword AppendChange(const JournalChange& change);
  // Writes about `budget` bytes of the records waiting; 0 or the error, which drops them all
  // (the journal must then be written anew).
  platform::Dword WritePending(std::size_t budget);

  // Replaces the journal by a new one in the chosen form (sealed: under a key of its own) with
  // `count` records: `record(i, put)` gives the i-th, oldest first, to `put`. 0 or the error.
  using PutRecord =
      std::function<bool(std::u16string_view date, std::u16string_view text, std::u16string_view reference)>;
  platform::Dword Rewrite(int count, const std::function<bool(int i, const PutRecord& put)>& record);
  // The same with the changes of each record's row after it (`change`).
  using PutChange = std::function<bool(const JournalChange& change)>;
  platform::Dword Rewrite(
      int count, const std::function<bool(int i, const PutRecord& put, const PutChange& change)>& record);
  // Removes the file; 0 or the error (a missing file is not one).
  platform::Dword Delete();

  // Asks the system to put what was written on the disk, once every record is written whole.
  void Flush();
  // Closes the file; records still waiting are dropped (a rewrite or the history file has them).
  void Close();

 private:
  JournalForm& Chosen();  // the form new journals are begun in
  JournalForm& OnDisk();  // the form of the journal on the disk
  // Opens the file for appends, putting the bytes a new journal begins with into `header`.
  platform::Dword OpenForAppend(std::string& header);
  platform::Desktop& desktop_;
  std::function<std::string()> path_;
  std::unique_ptr<JournalForm> plain_;
  std::unique_ptr<JournalForm> sealedForm_;
  platform::FileHandle file_ = 0;
  bool seal_ = false;
  bool sealed_ = false;
  bool hasHeader_ = false;
  bool needsFlush_ = false;
  // Records still being written, oldest first; the file holds the first one's start, and
  // nothing of the others.
  std::deque<JournalRecordWriter> pending_;
};

}  // namespace history

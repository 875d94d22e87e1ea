#include "history/journal_file.h"

#include <algorithm>
#include <cstdint>

#include "grid/data_file.h"
#include "grid/sealed_file.h"
#include "grid/table_file.h"

namespace history {

using namespace platform;

namespace {

// The records as they are.
class PlainForm final : public JournalForm {
 public:
  bool Begin(std::string& header, bool) override {
    header = JournalHeader;
    return true;
  }
  bool Put(std::string& out, std::u16string_view date, std::u16string_view text,
           std::u16string_view reference, bool attach) override {
    if (attach)
      EncodeAttachRecord(out, date, reference);
    else
      EncodeJournalRecord(out, date, text, reference);
    return true;
  }
  bool PutEncoded(std::string& out, std::string_view record) override {
    out += record;
    return true;
  }
  void Open(JournalReading& reading) override {
    reading.content = DecodeJournal(reading.bytes);
    if (!reading.content.recognised) {
      reading.state = JournalReading::State::Foreign;
      return;
    }
    reading.hasHeader = reading.content.validBytes >= JournalHeader.size();
    reading.damaged = reading.content.damaged;
  }
};

// Each record sealed on its own, under the key the journal's header carries.
class SealedForm final : public JournalForm {
 public:
  explicit SealedForm(ICrypto& crypto) : crypto_(crypto) {}
  bool Begin(std::string& header, bool sameKey) override {
    // The same key with a fresh random session: no DPAPI call, so that the first capture after
    // the journal was folded into the history file stays cheap.
    if (sameKey && sealer_ && sealer_->Renew(header)) {
      header_ = header;
      return true;
    }
    sealer_ = std::make_unique<grid::JournalSealer>(crypto_);
    if (!sealer_->Begin(header)) return false;
    header_ = header;
    return true;
  }
  bool Put(std::string& out, std::u16string_view date, std::u16string_view text,
           std::u16string_view reference, bool attach) override {
    if (!sealer_ || !sealer_->Ready()) {
      sealer_ = std::make_unique<grid::JournalSealer>(crypto_);
      if (sealer_->Resume(header_) != grid::Unsealed::Opened) return false;
    }
    record_.clear();
    if (attach)
      EncodeAttachRecord(record_, date, reference);
    else
      EncodeJournalRecord(record_, date, text, reference);
    const bool sealed = Seal(out, record_);
    crypto_.Wipe(record_.data(), record_.size());
    return sealed;
  }
  bool PutEncoded(std::string& out, std::string_view record) override {
    if (!sealer_ || !sealer_->Ready()) {
      sealer_ = std::make_unique<grid::JournalSealer>(crypto_);
      if (sealer_->Resume(header_) != grid::Unsealed::Opened) return false;
    }
    return Seal(out, record);
  }
  void Open(JournalReading& reading) override {
    // The records opened make a plain journal, which is read as one is.
    reading.opened = JournalHeader;
    const grid::SealedJournalRead read = grid::ReadSealedJournal(
        crypto_, reading.bytes, [&reading](std::string_view record) { reading.opened += record; });
    if (read.header != grid::Unsealed::Opened) {
      // Another account's, or damaged where its key is: left as it is, as a held file is.
      reading.state = JournalReading::State::Unreadable;
      reading.error = grid::SealingFailed;
      reading.why = grid::UnsealedReason(read.header);
      return;
    }
    reading.content = DecodeJournal(reading.opened);
    reading.hasHeader = true;
    reading.damaged = read.damaged > 0 || reading.content.damaged;
    // Appends go on under its key, opened at the first of them. Enough for any header: its key
    // blob is a few hundred bytes, at most 64 KiB.
    sealer_.reset();
    header_ = reading.bytes.substr(0, std::min(reading.bytes.size(), std::size_t{70000}));
  }

 private:
  bool Seal(std::string& out, std::string_view record) {
    const bool sealed = sealer_->Seal(record, out_);
    if (sealed) out += out_;
    return sealed;
  }

  ICrypto& crypto_;
  std::unique_ptr<grid::JournalSealer> sealer_;
  std::string header_;        // what the journal on the disk starts with
  std::string record_, out_;  // room reused from record to record
};

}  // namespace

JournalFile::JournalFile(Desktop& desktop, std::function<std::string()> path)
    : desktop_(desktop),
      path_(std::move(path)),
      plain_(std::make_unique<PlainForm>()),
      sealedForm_(std::make_unique<SealedForm>(desktop.Crypto())) {}

JournalFile::~JournalFile() { Close(); }

JournalForm& JournalFile::Chosen() { return seal_ ? *sealedForm_ : *plain_; }

JournalForm& JournalFile::OnDisk() { return sealed_ ? *sealedForm_ : *plain_; }

JournalReading JournalFile::Read() {
  JournalReading reading;
  IFiles& files = desktop_.Files();
  const Dword error = grid::ReadFileWithRetry(files, desktop_.Clock(), Path(), reading.bytes);
  if (error != 0) {
    if (!grid::IsMissingFileError(error)) {
      reading.state = JournalReading::State::Unreadable;
      reading.error = error;
      reading.why = grid::ErrorDescription(files, error);
    }
    return reading;
  }
  reading.state = JournalReading::State::Read;
  reading.sealed = grid::IsSealed(reading.bytes);
  (reading.sealed ? *sealedForm_ : *plain_).Open(reading);
  if (reading.state == JournalReading::State::Read) {
    sealed_ = reading.sealed;
    hasHeader_ = reading.hasHeader;
  }
  return reading;
}

Dword JournalFile::Append(std::u16string_view date, std::u16string_view text, std::u16string_view reference,
                          std::shared_ptr<const std::u16string> shared) {
  IFiles& files = desktop_.Files();
  std::string bytes;
  if (const Dword error = OpenForAppend(bytes)) return error;
  // A sealed record goes whole, as its tag covers all of it. A plain one that is long is
  // written from the row's own storage, a piece at a time, so that a copy of a hundred
  // megabytes neither costs another copy nor holds the window for the whole write.
  if (!sealed_ && (2 * text.size() >= PieceBytes || !pending_.empty())) {
    if (!shared || shared->data() != text.data() || shared->size() != text.size())
      shared = std::make_shared<const std::u16string>(text);
    pending_.emplace_back(date, std::move(shared), reference);
  } else if (!OnDisk().Put(bytes, date, text, reference)) {
    return grid::SealingFailed;
  }
  if (!bytes.empty())
    if (const Dword error = files.Write(file_, bytes.data(), bytes.size())) return error;
  hasHeader_ = true;
  needsFlush_ = true;
  return 0;
}

Dword JournalFile::OpenForAppend(std::string& header) {
  if (file_ != 0) return 0;
  if (const Dword error = desktop_.Files().OpenForAppend(Path(), file_)) {
    file_ = 0;
    return error;
  }
  if (!hasHeader_) {
    sealed_ = seal_;
    if (!OnDisk().Begin(header, /*sameKey=*/true)) return grid::SealingFailed;
  }
  return 0;
}

Dword JournalFile::Attach(std::u16string_view placeholder, std::u16string_view reference) {
  // The row's own record may still be going out a piece at a time behind a long one.
  if (const Dword error = WritePending(SIZE_MAX)) return error;
  IFiles& files = desktop_.Files();
  std::string bytes;
  if (const Dword error = OpenForAppend(bytes)) return error;
  if (!OnDisk().Put(bytes, placeholder, {}, reference, /*attach=*/true)) return grid::SealingFailed;
  if (const Dword error = files.Write(file_, bytes.data(), bytes.size())) return error;
  hasHeader_ = true;
  needsFlush_ = true;
  return 0;
}

Dword JournalFile::AppendChange(const JournalChange& change) {
  // After the long record being written in pieces, whole: a change is rare and short, and it
  // must not come before the capture it may refer to.
  if (const Dword error = WritePending(SIZE_MAX)) return error;
  IFiles& files = desktop_.Files();
  std::string bytes;
  if (const Dword error = OpenForAppend(bytes)) return error;
  std::string record;
  EncodeJournalChange(record, change);
  const bool put = OnDisk().PutEncoded(bytes, record);
  desktop_.Crypto().Wipe(record.data(), record.size());
  if (!put) return grid::SealingFailed;
  if (const Dword error = files.Write(file_, bytes.data(), bytes.size())) return error;
  hasHeader_ = true;
  needsFlush_ = true;
  return 0;
}

Dword JournalFile::WritePending(std::size_t budget) {
  IFiles& files = desktop_.Files();
  const JournalRecordWriter::Write write = [&](const char* bytes, std::size_t size) {
    return files.Write(file_, bytes, size);
  };
  while (!pending_.empty() && budget > 0) {
    if (const Dword error = pending_.front().Step(budget, write)) {
      Close();
      return error;
    }
    if (pending_.front().Done()) pending_.pop_front();
  }
  return 0;
}

Dword JournalFile::Rewrite(int count, const std::function<bool(int i, const PutRecord& put)>& record) {
  return Rewrite(count, [&record](int i, const PutRecord& put, const PutChange&) { return record(i, put); });
}

Dword JournalFile::Rewrite(
    int count, const std::function<bool(int i, const PutRecord& put, const PutChange& change)>& record) {
  Close();
  std::string bytes;
  JournalForm& form = Chosen();
  // A new journal under a key of its own.
  if (!form.Begin(bytes, /*sameKey=*/false)) return grid::SealingFailed;
  const PutRecord put = [&](std::u16string_view date, std::u16string_view text,
                            std::u16string_view reference) { return form.Put(bytes, date, text, reference); };
  std::string encoded;
  const PutChange change = [&](const JournalChange& what) {
    encoded.clear();
    EncodeJournalChange(encoded, what);
    return form.PutEncoded(bytes, encoded);
  };
  for (int i = 0; i < count; ++i)
    if (!record(i, put, change)) return grid::SealingFailed;
  const Dword error = grid::ReplaceFileContents(desktop_.Files(), Path(), bytes.data(), bytes.size());
  if (error == 0) {
    hasHeader_ = true;
    sealed_ = seal_;
  }
  return error;
}

Dword JournalFile::Delete() {
  Close();
  const Dword error = desktop_.Files().Delete(Path());
  if (error != 0 && !grid::IsMissingFileError(error)) return error;
  hasHeader_ = false;
  return 0;
}

void JournalFile::Flush() {
  if (!needsFlush_) return;
  needsFlush_ = false;
  if (file_ != 0) desktop_.Files().Flush(file_);
}

void JournalFile::Close() {
  pending_.clear();
  if (file_ == 0) return;
  desktop_.Files().Close(file_);
  file_ = 0;
}

}  // namespace history

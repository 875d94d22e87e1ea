#include "sync/sync_log.h"

#include <algorithm>
#include <cstring>

#include "platform/bytes.h"

namespace syncing {

namespace {

void PutU8(std::string& out, std::uint8_t v) { out.push_back(static_cast<char>(v)); }
void PutU32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
}
void PutU64(std::string& out, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
}

// Begins a record; the size is filled in by EndRecord.
std::size_t BeginRecord(std::string& out, char kind) {
  out.push_back(kind);
  PutU32(out, 0);
  return out.size();
}
void EndRecord(std::string& out, std::size_t start) {
  const std::uint32_t size = static_cast<std::uint32_t>(out.size() - start);
  for (int i = 0; i < 4; ++i)
    out[start - 4 + static_cast<std::size_t>(i)] = static_cast<char>(size >> (8 * i));
}

class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}
  bool U8(std::uint8_t& v) {
    if (!Has(1)) return false;
    v = static_cast<std::uint8_t>(bytes_[at_++]);
    return true;
  }
  bool U32(std::uint32_t& v) {
    if (!Has(4)) return false;
    v = 0;
    for (int i = 3; i >= 0; --i)
      v = v << 8 | static_cast<unsigned char>(bytes_[at_ + static_cast<std::size_t>(i)]);
    at_ += 4;
    return true;
  }
  bool U64(std::uint64_t& v) {
    if (!Has(8)) return false;
    v = 0;
    for (int i = 7; i >= 0; --i)
      v = v << 8 | static_cast<unsigned char>(bytes_[at_ + static_cast<std::size_t>(i)]);
    at_ += 8;
    return true;
  }
  bool Bytes(std::size_t n, std::string_view& out) {
    if (!Has(n)) return false;
    out = bytes_.substr(at_, n);
    at_ += n;
    return true;
  }
  bool Done() const { return at_ == bytes_.size(); }

 private:
  bool Has(std::size_t n) const { return bytes_.size() - at_ >= n; }
  std::string_view bytes_;
  std::size_t at_ = 0;
};

bool ReadIds(Reader& r, std::vector<EntryId>& ids) {
  std::uint32_t count;
  if (!r.U32(count)) return false;
  for (std::uint32_t i = 0; i < count; ++i) {
    EntryId id;
    if (!r.U64(id.computer) || !r.U64(id.counter)) return false;
    ids.push_back(id);
  }
  return r.Done();
}

bool ReadText(Reader& r, std::u16string& out) {
  std::uint8_t form;
  std::uint32_t units;
  std::string_view text;
  if (!r.U8(form) || form > 1 || !r.U32(units) || !r.Bytes(std::size_t{units} << form, text)) return false;
  out.resize(units);
  for (std::size_t i = 0; i < units; ++i)
    out[i] = form == 0 ? static_cast<char16_t>(static_cast<unsigned char>(text[i]))
                       : static_cast<char16_t>(static_cast<unsigned char>(text[2 * i]) |
                                               static_cast<unsigned char>(text[2 * i + 1]) << 8);
  return true;
}

bool ReadAdd(Reader& r, AddRecord& add) {
  std::uint64_t time;
  std::uint8_t items;
  if (!r.U64(add.id.computer) || !r.U64(add.id.counter) || !r.U64(time) || !ReadText(r, add.text))
    return false;
  add.utcMs = static_cast<std::int64_t>(time);
  if (!r.U8(items)) return false;
  for (std::uint8_t k = 0; k < items; ++k) {
    std::uint8_t size;
    std::string_view name;
    if (!r.U8(size) || !r.Bytes(size, name)) return false;
    add.items.emplace_back(name);
  }
  return r.Done();
}

bool ReadChange(Reader& r, ChangeRecord& change) {
  std::uint64_t time;
  std::uint8_t what, pinned;
  if (!r.U64(change.id.computer) || !r.U64(change.id.counter) || !r.U64(time) || !r.U8(what) || !r.U8(pinned))
    return false;
  change.utcMs = static_cast<std::int64_t>(time);
  change.hasPin = (what & 1) != 0;
  change.pinned = pinned != 0;
  change.hasText = (what & 2) != 0;
  if (change.hasText && !ReadText(r, change.text)) return false;
  // Later versions may add fields after these; an empty text is no edit.
  return !change.hasText || !change.text.empty();
}

std::string AssociatedData(FileKind kind, std::uint32_t size) {
  std::string ad = "CMSYNC1";
  PutU8(ad, static_cast<std::uint8_t>(kind));
  PutU32(ad, size);
  return ad;
}

}  // namespace

void PutHeader(std::string& out, std::uint64_t computer, std::uint32_t generation) {
  const std::size_t start = BeginRecord(out, 'H');
  PutU64(out, computer);
  PutU32(out, generation);
  EndRecord(out, start);
}

namespace {

void PutText(std::string& out, std::u16string_view text) {
  bool narrow = true;
  for (char16_t c : text) narrow = narrow && c < 0x100;
  PutU8(out, narrow ? 0 : 1);
  PutU32(out, static_cast<std::uint32_t>(text.size()));
  for (char16_t c : text) {
    PutU8(out, static_cast<std::uint8_t>(c & 0xFF));
    if (!narrow) PutU8(out, static_cast<std::uint8_t>(c >> 8));
  }
}

}  // namespace

void PutAdd(std::string& out, const AddRecord& add) {
  const std::size_t start = BeginRecord(out, 'A');
  PutU64(out, add.id.computer);
  PutU64(out, add.id.counter);
  PutU64(out, static_cast<std::uint64_t>(add.utcMs));
  PutText(out, add.text);
  std::size_t items = 0;
  for (const std::string& name : add.items) items += name.size() < 256 ? 1 : 0;
  PutU8(out, static_cast<std::uint8_t>(std::min<std::size_t>(items, 255)));
  std::size_t put = 0;
  for (const std::string& name : add.items) {
    if (name.size() >= 256 || put == 255) continue;
    PutU8(out, static_cast<std::uint8_t>(name.size()));
    out += name;
    ++put;
  }
  EndRecord(out, start);
}

void PutChange(std::string& out, const ChangeRecord& change) {
  const std::size_t start = BeginRecord(out, 'E');
  PutU64(out, change.id.computer);
  PutU64(out, change.id.counter);
  PutU64(out, static_cast<std::uint64_t>(change.utcMs));
  const bool text = change.hasText && !change.text.empty();
  PutU8(out, static_cast<std::uint8_t>((change.hasPin ? 1 : 0) | (text ? 2 : 0)));
  PutU8(out, change.pinned ? 1 : 0);
  if (text) PutText(out, change.text);
  EndRecord(out, start);
}

void PutIds(std::string& out, char kind, std::span<const EntryId> ids) {
  const std::size_t start = BeginRecord(out, kind);
  PutU32(out, static_cast<std::uint32_t>(ids.size()));
  for (const EntryId& id : ids) {
    PutU64(out, id.computer);
    PutU64(out, id.counter);
  }
  EndRecord(out, start);
}

bool ReadRecords(std::string_view plain, LogRecords& records) {
  Reader all(plain);
  while (!all.Done()) {
    std::uint8_t kind;
    std::uint32_t size;
    std::string_view payload;
    if (!all.U8(kind) || !all.U32(size) || !all.Bytes(size, payload)) return false;
    Reader r(payload);
    switch (kind) {
      case 'H':
        if (!r.U64(records.computer) || !r.U32(records.generation) || !r.Done()) return false;
        records.hasHeader = true;
        break;
      case 'A': {
        AddRecord add;
        if (!ReadAdd(r, add)) return false;
        records.adds.push_back(std::move(add));
        break;
      }
      case 'D':
        if (!ReadIds(r, records.deletes)) return false;
        break;
      case 'C':
        records.clears.emplace_back();
        if (!ReadIds(r, records.clears.back())) return false;
        break;
      case 'E': {
        ChangeRecord change;
        if (!ReadChange(r, change)) return false;
        records.changes.push_back(std::move(change));
        break;
      }
      default:
        // A kind of a later version: passed over, the rest read.
        break;
    }
  }
  return true;
}

bool SealBlock(platform::ICrypto& crypto, std::span<const std::uint8_t> key,
               std::span<const std::uint8_t> nonce, FileKind kind, std::string_view plain, std::string& out) {
  const std::uint32_t size = static_cast<std::uint32_t>(plain.size() + platform::GcmTagBytes);
  const std::size_t start = out.size();
  PutU32(out, size);
  out.append(reinterpret_cast<const char*>(nonce.data()), nonce.size());
  const std::size_t at = out.size();
  out.resize(at + size);
  const std::string ad = AssociatedData(kind, size);
  if (!crypto.SealGcm(key, nonce, platform::AsBytes(ad), platform::AsBytes(plain),
                      {reinterpret_cast<std::uint8_t*>(out.data()) + at, size})) {
    out.resize(start);
    return false;
  }
  return true;
}

bool OpenOneBlock(platform::ICrypto& crypto, std::span<const std::uint8_t> key, FileKind kind,
                  std::string_view block, std::string& plain) {
  const std::uint32_t size = static_cast<std::uint32_t>(block.size() - BlockHead);
  const std::string ad = AssociatedData(kind, size);
  plain.resize(size - platform::GcmTagBytes);
  return crypto.OpenGcm(key, platform::AsBytes(block.substr(4, platform::GcmNonceBytes)),
                        platform::AsBytes(ad), platform::AsBytes(block.substr(BlockHead)),
                        {reinterpret_cast<std::uint8_t*>(plain.data()), plain.size()});
}

}  // namespace syncing

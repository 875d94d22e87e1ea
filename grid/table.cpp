#include "grid/table.h"

#include <algorithm>
#include <utility>

#include "platform/errors.h"

namespace grid {

namespace {

char AsciiLower(char ch) { return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch; }

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

// The decimal text of a non-negative number, formed without going through std::string.
void FormatNumber(int value, std::u16string& out) {
  char16_t digits[12];
  int n = 0;
  unsigned v = static_cast<unsigned>(value);
  do {
    digits[n++] = static_cast<char16_t>(u'0' + v % 10);
    v /= 10;
  } while (v != 0);
  out.clear();
  while (n > 0) out.push_back(digits[--n]);
}

// Room for the texts of one row on the stack; wider tables take the heap.
class TextViews {
 public:
  explicit TextViews(int count) : views_(count <= Inline ? inline_ : (heap_.resize(count), heap_.data())) {}
  TextViews(const TextViews&) = delete;
  TextViews& operator=(const TextViews&) = delete;
  CellText& operator[](int i) { return views_[i]; }
  const CellText* data() const { return views_; }

 private:
  static constexpr int Inline = 8;
  CellText inline_[Inline];
  std::vector<CellText> heap_;
  CellText* views_;
};

// The texts of a row given in column order, as a file line fills it: those of increment columns
// and beyond the last column are dropped.
template <class Cell>
void PlaceCells(TextViews& texts, std::span<const Cell> cells, const std::vector<int>& textSlot) {
  const std::size_t count = std::min(cells.size(), textSlot.size());
  for (std::size_t c = 0; c < count; ++c) {
    if (textSlot[c] >= 0) texts[textSlot[c]] = CellText(std::u16string_view(cells[c]));
  }
}

}  // namespace

Table::Table(std::vector<Column> columns) : columns_(std::move(columns)) {
  textSlot_.reserve(columns_.size());
  for (const Column& column : columns_) {
    textSlot_.push_back(column.kind == ColumnKind::Text ? textColumns_++ : -1);
  }
  signatures_.resize(static_cast<std::size_t>(textColumns_));
}

std::uint32_t WidePairStore::Add(const std::uint64_t* words, int count) {
  const auto n = static_cast<std::uint32_t>(count);
  std::uint32_t first;
  if (!free_[n].empty()) {
    first = free_[n].back() >> 3;
    free_[n].pop_back();
  } else {
    if (chunks_.empty() || used_ + n > ChunkMask + 1) {
      chunks_.push_back(std::make_unique<std::uint64_t[]>(std::size_t{ChunkMask} + 1));
      used_ = 0;
    }
    first = static_cast<std::uint32_t>(chunks_.size() - 1) << ChunkBits | used_;
    used_ += n;
  }
  std::copy(words, words + count, chunks_[first >> ChunkBits].get() + (first & ChunkMask));
  return first << 3 | n;
}

void WidePairStore::Remove(std::uint32_t place) {
  if (place != 0) free_[place & 7].push_back(place);
}

void WidePairStore::Clear() {
  std::vector<std::unique_ptr<std::uint64_t[]>>().swap(chunks_);
  used_ = 0;
  for (auto& places : free_) std::vector<std::uint32_t>().swap(places);
}

std::size_t WidePairStore::Bytes() const {
  std::size_t bytes = chunks_.size() * (std::size_t{ChunkMask} + 1) * sizeof(std::uint64_t);
  for (const auto& places : free_) bytes += places.capacity() * sizeof(std::uint32_t);
  return bytes;
}

Table::SignedText Table::Sign(const Row& row, int slot, WidePairStore& wide) const {
  const CellText text = TextOf(row, slot);
  SignedText made{grid::SignatureOf(text), 0};
  // The row's share of memory is reckoned from all its texts, as its file line holds them all.
  std::size_t units = 0;
  for (int k = 0; k < textColumns_; ++k) units += k == slot ? text.size() : TextOf(row, k).size();
  if (const int count = WideWordsFor(units); count > 0) {
    std::uint64_t words[MostWideWords];
    WidePairsOf(text, words, count);
    made.wide = wide.Add(words, count);
  }
  return made;
}

bool Table::SignAhead(int column, std::size_t budget) const {
  const int slot = textSlot_[static_cast<std::size_t>(CheckColumn(column))];
  if (slot < 0) throw platform::Error("An increment column has no texts to sign");
  auto& kept = signatures_[static_cast<std::size_t>(slot)];
  if (!kept) kept = std::make_unique<Signatures>();
  // Each row's texts are asked for from memory a few rows ahead, as VisitTexts does. A row
  // costs a little besides its units, so that a slice of empty rows ends too, and its units
  // count twice when they are signed twice, for the wide pairs as well.
  constexpr std::size_t Ahead = 4;
  constexpr std::size_t RowCost = 16;
  std::size_t spent = 0;
  for (std::size_t row = kept->rows.size(); row < rows_.size() && spent < budget; ++row) {
    if (row + Ahead < rows_.size()) PrefetchTexts(static_cast<int>(row + Ahead));
    kept->rows.push_back(Sign(rows_[row], slot, kept->wide));
    spent += TextOf(rows_[row], slot).size() * (kept->rows.back().wide != 0 ? 2 : 1) + RowCost;
  }
  return kept->rows.size() == rows_.size();
}

void Table::KeepSignatures(int column) const { SignAhead(column, static_cast<std::size_t>(-1)); }

bool Table::KeepsSignatures(int column) const {
  const int slot = textSlot_[static_cast<std::size_t>(CheckColumn(column))];
  return slot >= 0 && signatures_[static_cast<std::size_t>(slot)] != nullptr &&
         signatures_[static_cast<std::size_t>(slot)]->rows.size() == rows_.size();
}

std::size_t Table::SignatureBytes() const {
  std::size_t bytes = 0;
  for (const auto& kept : signatures_) {
    if (kept) bytes += kept->rows.size() * sizeof(SignedText) + kept->wide.Bytes();
  }
  return bytes;
}

void Table::Resign(std::size_t row) {
  for (std::size_t slot = 0; slot < signatures_.size(); ++slot) {
    auto& kept = signatures_[slot];
    if (!kept || row >= kept->rows.size()) continue;
    kept->wide.Remove(kept->rows[row].wide);
    kept->rows[row] = Sign(rows_[row], static_cast<int>(slot), kept->wide);
  }
}

void Table::SignNewTop() {
  for (std::size_t slot = 0; slot < signatures_.size(); ++slot) {
    if (auto& kept = signatures_[slot])
      kept->rows.push_front(Sign(rows_.front(), static_cast<int>(slot), kept->wide));
  }
}

void Table::SignNewBottom() {
  for (std::size_t slot = 0; slot < signatures_.size(); ++slot) {
    auto& kept = signatures_[slot];
    if (kept && kept->rows.size() + 1 == rows_.size())
      kept->rows.push_back(Sign(rows_.back(), static_cast<int>(slot), kept->wide));
  }
}

void Table::UnsignRow(std::size_t row) {
  for (auto& kept : signatures_) {
    if (!kept || row >= kept->rows.size()) continue;
    kept->wide.Remove(kept->rows[row].wide);
    kept->rows.erase(kept->rows.begin() + static_cast<std::ptrdiff_t>(row));
  }
}

int Table::ColumnIndex(std::string_view name) const {
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    if (SameNameIgnoringCase(columns_[i].name, name)) return static_cast<int>(i);
  }
  throw platform::Error("The table has no column named \"" + std::string(name) + "\"");
}

int Table::ResolveRow(int row) const {
  const int count = RowCount();
  if (row == LastRow) row = count - 1;
  if (row < 0 || row >= count) {
    throw platform::Error("Row index out of range (" + std::to_string(row) + ") in a table of " +
                          std::to_string(count) + " rows");
  }
  return row;
}

int Table::CheckColumn(int column) const {
  if (column < 0 || column >= ColumnCount()) {
    throw platform::Error("Column index out of range (" + std::to_string(column) + ")");
  }
  return column;
}

void Table::StopEachReader() {
  // A reader stopped takes itself off the list, which is no longer this one.
  for (TableReader* reader : std::exchange(readers_, {})) reader->StopReading();
}

void Table::Changed() {
  ++revision_;
  if (updates_ == 0 && observer_ != nullptr) observer_->TableChanged();
}

Table::TextBlock& Table::TextBlock::operator=(TextBlock&& other) noexcept {
  if (this != &other) {
    Release();
    bits_ = other.bits_;
    other.bits_ = 0;
  }
  return *this;
}

void Table::TextBlock::Release() {
  if (const Owned* own = owned())
    delete own;
  else if ((bits_ & 1) == 0)
    delete[] get();  // a slab's block goes with its slab
  bits_ = 0;
}

Table::Slabs::Slabs(Slabs&& other) noexcept
    : blocks(std::move(other.blocks)), at(other.at), left(other.left), nextSize(other.nextSize) {
  other.blocks.clear();
  other.at = nullptr;
  other.left = 0;
  other.nextSize = 0;
}

Table::Slabs& Table::Slabs::operator=(Slabs&& other) noexcept {
  if (this != &other) {
    blocks = std::move(other.blocks);
    at = other.at;
    left = other.left;
    nextSize = other.nextSize;
    other.blocks.clear();
    other.at = nullptr;
    other.left = 0;
    other.nextSize = 0;
  }
  return *this;
}

// Slabs grow from 8 KiB to 2 MiB, so that a short list takes little and a long one few
// allocations. A block larger than a quarter of the largest slab gets its own allocation, which
// wastes no more than that quarter at a slab's end.
constexpr std::size_t FirstSlabBytes = 8192;
constexpr std::size_t LargestSlabBytes = std::size_t{2} << 20;

std::uint8_t* Table::SlabRoom(std::size_t bytes) {
  if (bytes > LargestSlabBytes / 4) return nullptr;
  if (bytes > slabs_.left) {
    // A row longer than the next slab's size gets a slab that holds it; the sizes grow from
    // small, and a row may be up to a quarter of the largest.
    const std::size_t size = std::max({slabs_.nextSize, FirstSlabBytes, bytes});
    slabs_.nextSize = std::min(2 * size, LargestSlabBytes);
    slabs_.blocks.push_back(std::make_unique_for_overwrite<std::uint8_t[]>(size));
    slabs_.at = slabs_.blocks.back().get();
    slabs_.left = size;
  }
  std::uint8_t* room = slabs_.at;
  slabs_.at += bytes;
  slabs_.left -= bytes;
  return room;
}

std::uint8_t* Table::MakeBlock(const CellText* texts, bool pooled, int skip, bool& pooledBlock) {
  // Each text is kept in 8 bits when all its units fit, UTF-16 ones at even offsets; an empty
  // text among the first MaskedColumns has no word (see TextOfBlock).
  bool narrow[MaskedColumns];
  std::vector<bool> moreNarrow;
  auto isNarrow = [&](int k) {
    return k < MaskedColumns ? narrow[k]
                             : static_cast<bool>(moreNarrow[static_cast<std::size_t>(k - MaskedColumns)]);
  };
  if (textColumns_ > MaskedColumns) moreNarrow.resize(static_cast<std::size_t>(textColumns_ - MaskedColumns));
  auto lengthOf = [&](int k) { return k == skip ? std::size_t{0} : texts[k].size(); };
  std::uint16_t mask = 0;
  for (int k = 0; k < textColumns_ && k < MaskedColumns; ++k) {
    if (lengthOf(k) != 0) mask = static_cast<std::uint16_t>(mask | (1u << k));
  }
  const int beyond = textColumns_ > MaskedColumns ? textColumns_ - MaskedColumns : 0;
  std::size_t bytes = MaskBytes + 4 * static_cast<std::size_t>(std::popcount(mask) + beyond);
  bool empty = true;
  for (int k = 0; k < textColumns_; ++k) {
    const CellText& text = texts[k];
    if (text.size() >= NarrowFlag) throw platform::Error("A cell text is too long");
    const bool fits = k == skip || text.IsNarrow() || FitsNarrow({text.WideUnits(), text.size()});
    if (k < MaskedColumns) {
      narrow[k] = fits;
    } else {
      moreNarrow[static_cast<std::size_t>(k - MaskedColumns)] = fits;
    }
    if (k == skip) continue;
    empty = empty && text.empty();
    bytes = fits ? bytes + text.size() : ((bytes + 1) & ~std::size_t{1}) + 2 * text.size();
  }
  pooledBlock = false;
  if (empty && skip < 0) return nullptr;
  bytes = (bytes + 1) & ~std::size_t{1};  // the next block starts at an even address too
  std::uint8_t* room = pooled ? SlabRoom(bytes) : nullptr;
  pooledBlock = room != nullptr;
  std::uint8_t* block = room != nullptr ? room : new std::uint8_t[bytes];
  std::memcpy(block, &mask, sizeof mask);
  std::size_t word = MaskBytes;
  std::size_t at = MaskBytes + 4 * static_cast<std::size_t>(std::popcount(mask) + beyond);
  for (int k = 0; k < textColumns_; ++k) {
    const std::size_t length = lengthOf(k);
    if (k < MaskedColumns && length == 0) continue;
    const CellText& text = texts[k];
    const bool fits = isNarrow(k);
    const std::uint32_t w = static_cast<std::uint32_t>(length) | (fits ? NarrowFlag : 0);
    std::memcpy(block + word, &w, sizeof w);
    word += sizeof w;
    if (length == 0) continue;
    if (fits && text.IsNarrow()) {
      std::memcpy(block + at, text.NarrowUnits(), length);
    } else if (fits) {
      const char16_t* units = text.WideUnits();
      for (std::size_t i = 0; i < length; ++i) block[at + i] = static_cast<std::uint8_t>(units[i]);
    } else {
      at = (at + 1) & ~std::size_t{1};
      std::memcpy(block + at, text.WideUnits(), 2 * length);
    }
    at += fits ? length : 2 * length;
  }
  return block;
}

void Table::StoreTexts(Row& row, const CellText* texts, bool pooled, std::u16string* own, int ownSlot) {
  // The new block is complete before the old one goes, since `texts` may point into it.
  if (own != nullptr && own->size() >= OwnStorageUnits) {
    auto owned = std::make_unique<Owned>();
    owned->slot = ownSlot;
    bool pooledBlock = false;
    owned->rest.reset(MakeBlock(texts, false, ownSlot, pooledBlock));
    owned->text = std::make_shared<const std::u16string>(std::move(*own));
    row.texts = TextBlock(owned.release());
    return;
  }
  bool pooledBlock = false;
  std::uint8_t* block = MakeBlock(texts, pooled, -1, pooledBlock);
  row.texts = block != nullptr ? TextBlock(block, pooledBlock) : TextBlock();
}

std::shared_ptr<const std::u16string> Table::SharedText(int column, int row) const {
  column = CheckColumn(column);
  const Owned* owned = rows_[static_cast<std::size_t>(ResolveRow(row))].texts.owned();
  if (owned == nullptr || owned->slot != textSlot_[static_cast<std::size_t>(column)]) return nullptr;
  return owned->text;
}

int Table::AppendRow() {
  StopReaders();
  rows_.emplace_back();
  rows_.back().key = nextBottomKey_++;
  SignNewBottom();
  Changed();
  return RowCount() - 1;
}

int Table::AppendRow(std::span<const std::u16string> cells) {
  StopReaders();
  TextViews texts(textColumns_);
  PlaceCells(texts, cells, textSlot_);
  Row row;
  StoreTexts(row, texts.data(), true);
  row.key = nextBottomKey_++;
  rows_.push_back(std::move(row));
  SignNewBottom();
  Changed();
  return RowCount() - 1;
}

void Table::AddRow(std::span<const std::u16string_view> cells, bool append) {
  StopReaders();
  TextViews texts(textColumns_);
  PlaceCells(texts, cells, textSlot_);
  Row row;
  StoreTexts(row, texts.data(), false);
  PlaceRow(std::move(row), append);
}

void Table::AddRow(std::span<std::u16string> cells, bool append) {
  StopReaders();
  TextViews texts(textColumns_);
  PlaceCells(texts, std::span<const std::u16string>(cells), textSlot_);
  // The longest text is the one whose storage the row may take.
  std::u16string* own = nullptr;
  int ownSlot = -1;
  const std::size_t count = std::min(cells.size(), textSlot_.size());
  for (std::size_t c = 0; c < count; ++c) {
    if (textSlot_[c] >= 0 && (own == nullptr || cells[c].size() > own->size())) {
      own = &cells[c];
      ownSlot = textSlot_[c];
    }
  }
  Row row;
  StoreTexts(row, texts.data(), false, own, ownSlot);
  PlaceRow(std::move(row), append);
}

void Table::PlaceRow(Row row, bool append) {
  if (append) {
    row.key = nextBottomKey_++;
    rows_.push_back(std::move(row));
    SignNewBottom();
  } else {
    row.key = nextTopKey_--;
    rows_.push_front(std::move(row));
    SignNewTop();
    if (current_ >= 0) ++current_;
    if (anchor_ >= 0) ++anchor_;
  }
  Edited(append ? rows_.back().key : rows_.front().key);
  Changed();
}

void Table::AppendRowsOf(Table& batch) {
  if (batch.textSlot_ != textSlot_) throw platform::Error("Rows of another kind of table cannot be moved in");
  if (batch.rows_.empty()) return;
  StopReaders();
  batch.StopReaders();
  // The slabs move whole, the newest of this table stays the one it fills next.
  for (auto& slab : batch.slabs_.blocks) slabs_.blocks.push_back(std::move(slab));
  batch.slabs_ = Slabs();
  const std::size_t before = rows_.size();
  for (Row& row : batch.rows_) {
    row.key = nextBottomKey_++;
    row.selected = false;
    rows_.push_back(std::move(row));
  }
  // Below the signed rows, rows the batch has signed (where it was read) come with their
  // signatures; any others wait for the signing (SignAhead), as a search signs them at once. A
  // column not signed yet whose few rows are signed here starts with the batch's signatures.
  for (std::size_t slot = 0; slot < signatures_.size(); ++slot) {
    auto& kept = signatures_[slot];
    const auto& made = batch.signatures_[slot];
    const bool madeAll = made && made->rows.size() == rows_.size() - before;
    if (!kept && madeAll && before <= 4096) {
      kept = std::make_unique<Signatures>();
      for (std::size_t row = 0; row < before; ++row)
        kept->rows.push_back(Sign(rows_[row], static_cast<int>(slot), kept->wide));
    }
    if (!kept || kept->rows.size() != before || !madeAll) continue;
    for (std::size_t k = 0; k < rows_.size() - before; ++k) {
      SignedText signedText = made->rows[k];
      if (signedText.wide != 0)
        signedText.wide =
            kept->wide.Add(made->wide.At(signedText.wide), WidePairStore::CountAt(signedText.wide));
      kept->rows.push_back(signedText);
    }
  }
  std::deque<Row>().swap(batch.rows_);
  for (auto& kept : batch.signatures_) kept.reset();
  batch.current_ = -1;
  batch.anchor_ = -1;
  ++batch.deletions_;
  Changed();
}

void Table::InsertRowAtTop() {
  StopReaders();
  Row row;
  row.key = nextTopKey_--;
  rows_.push_front(std::move(row));
  SignNewTop();
  if (current_ >= 0) ++current_;
  if (anchor_ >= 0) ++anchor_;
  Changed();
}

void Table::DeleteRow(int row) {
  StopReaders();
  row = ResolveRow(row);
  rows_.erase(rows_.begin() + row);
  UnsignRow(static_cast<std::size_t>(row));
  if (current_ > row) {
    --current_;
  } else if (current_ == row && current_ >= RowCount()) {
    current_ = RowCount() - 1;  // -1 once the table is empty
  }
  if (anchor_ > row) {
    --anchor_;
  } else if (anchor_ == row) {
    anchor_ = -1;
  }
  ++deletions_;
  Changed();
}

int Table::DeleteSelectedRows() {
  return DeleteRowsWhere([](const Row& row, int) { return row.selected; });
}

int Table::DeleteRows(const std::vector<bool>& doomed) {
  if (doomed.size() != rows_.size()) throw platform::Error("List index out of bounds");
  return DeleteRowsWhere(
      [&doomed](const Row&, int index) { return doomed[static_cast<std::size_t>(index)]; });
}

template <class Doomed>
int Table::DeleteRowsWhere(Doomed doomed) {
  StopReaders();
  // The kept rows move up over the gaps, each once, and the tail goes in one erase; erasing
  // one row at a time would move every row below it, for each deleted row.
  const int count = RowCount();
  int kept = 0;
  int current = current_;
  int anchor = anchor_;
  // Per text slot, how many of the kept rows are signed.
  std::vector<std::size_t> signedKept(signatures_.size(), 0);
  auto to = rows_.begin();
  for (auto from = rows_.begin(); from != rows_.end(); ++from) {
    const int index = static_cast<int>(from - rows_.begin());
    // A deleted current row hands over to the next kept row, which will have this index.
    if (index == current_) current = kept;
    const bool goes = doomed(*from, index);
    if (index == anchor_) anchor = goes ? -1 : kept;
    for (std::size_t slot = 0; slot < signatures_.size(); ++slot) {
      auto& signatures = signatures_[slot];
      if (!signatures || static_cast<std::size_t>(index) >= signatures->rows.size()) continue;
      auto& rows = signatures->rows;
      if (goes) {
        signatures->wide.Remove(rows[static_cast<std::size_t>(index)].wide);
      } else {
        rows[static_cast<std::size_t>(kept)] = rows[static_cast<std::size_t>(index)];
        signedKept[slot] = static_cast<std::size_t>(kept) + 1;
      }
    }
    if (goes) continue;
    if (to != from) *to = std::move(*from);
    ++to;
    ++kept;
  }
  if (kept == count) return 0;
  rows_.erase(to, rows_.end());
  // Of the signed rows, those kept stay signed, from the top.
  for (std::size_t slot = 0; slot < signatures_.size(); ++slot) {
    if (signatures_[slot]) signatures_[slot]->rows.resize(signedKept[slot]);
  }
  current_ = current >= kept ? kept - 1 : current;
  anchor_ = anchor;
  ++deletions_;
  Changed();
  return count - kept;
}

void Table::RemoveAllRows() {
  StopReaders();
  // Swapping with a fresh deque gives the memory back; clear() may keep a large block map.
  std::deque<Row>().swap(rows_);
  slabs_ = Slabs();  // no row is left in them
  for (auto& kept : signatures_) {
    if (kept) {
      std::deque<SignedText>().swap(kept->rows);
      kept->wide.Clear();
    }
  }
  current_ = -1;
  anchor_ = -1;
  ++deletions_;
  Changed();
}

std::u16string_view Table::CellView(int column, int row, std::u16string& scratch) const {
  const CellText text = TextAt(column, row, scratch);
  return text.IsNarrow() ? text.Wide(scratch) : std::u16string_view(text.WideUnits(), text.size());
}

CellText Table::TextAt(int column, int row, std::u16string& scratch) const {
  column = CheckColumn(column);
  row = ResolveRow(row);
  const Row& r = rows_[static_cast<std::size_t>(row)];
  const int slot = textSlot_[static_cast<std::size_t>(column)];
  if (slot >= 0) return TextOf(r, slot);
  // An increment cell follows the row's position, except in a row inserted at the top, whose
  // cell holds the integer 0 and keeps it however far the row moves down.
  if (r.key < 0) {
    scratch.assign(1, u'0');
  } else {
    FormatNumber(row + 1, scratch);
  }
  return std::u16string_view(scratch);
}

std::u16string Table::Cell(int column, int row) const {
  std::u16string scratch;
  return std::u16string(CellView(column, row, scratch));
}

std::u16string Table::Cell(std::string_view column, int row) const { return Cell(ColumnIndex(column), row); }

void Table::SetCell(int column, int row, std::u16string text) {
  StopReaders();
  column = CheckColumn(column);
  Row& r = rows_[static_cast<std::size_t>(ResolveRow(row))];
  const int slot = textSlot_[static_cast<std::size_t>(column)];
  if (slot < 0) return;  // increment cells show the position; a written text has no effect
  TextViews texts(textColumns_);
  for (int k = 0; k < textColumns_; ++k) texts[k] = k == slot ? CellText(text) : TextOf(r, k);
  const Owned* owned = r.texts.owned();
  if (owned != nullptr && owned->slot != slot) {
    // Another cell of a row with a long text: that text keeps its storage.
    auto kept = std::make_unique<Owned>();
    kept->slot = owned->slot;
    kept->text = owned->text;
    bool pooledBlock = false;
    kept->rest.reset(MakeBlock(texts.data(), false, kept->slot, pooledBlock));
    r.texts = TextBlock(kept.release());
  } else {
    StoreTexts(r, texts.data(), false, &text, slot);
  }
  Resign(static_cast<std::size_t>(ResolveRow(row)));
  Edited(r.key);
  Changed();
}

void Table::SetCell(std::string_view column, int row, std::u16string text) {
  SetCell(ColumnIndex(column), row, std::move(text));
}

bool Table::RowSelected(int row) const { return rows_[static_cast<std::size_t>(ResolveRow(row))].selected; }

void Table::SetRowSelected(int row, bool selected) {
  Row& r = rows_[static_cast<std::size_t>(ResolveRow(row))];
  if (r.selected == selected) return;
  r.selected = selected;
  Changed();
}

void Table::ClearSelection() {
  bool any = false;
  for (Row& r : rows_) {
    any = any || r.selected;
    r.selected = false;
  }
  if (any) Changed();
}

void Table::SetCurrentRow(int row) {
  if (row != -1) row = ResolveRow(row);
  if (row == current_) return;
  current_ = row;
  Changed();
}

void Table::SetAnchorRow(int row) { anchor_ = row == -1 ? -1 : ResolveRow(row); }

int Table::LowerBoundOfKey(RowKey key) const {
  const auto at =
      std::partition_point(rows_.begin(), rows_.end(), [key](const Row& r) { return r.key < key; });
  return static_cast<int>(at - rows_.begin());
}

int Table::LowerBoundOfKey(RowKey key, int from) const {
  // Steps that double from `from` find a near row in a few looks, a far one in twice the looks
  // of a search over the whole table.
  const int count = RowCount();
  int low = std::clamp(from, 0, count);
  int step = 1;
  while (low < count && rows_[static_cast<std::size_t>(low)].key < key) {
    const int next = low + step;
    if (next >= count || rows_[static_cast<std::size_t>(next)].key >= key) {
      const auto at = std::partition_point(rows_.begin() + low + 1, rows_.begin() + std::min(next, count),
                                           [key](const Row& r) { return r.key < key; });
      return static_cast<int>(at - rows_.begin());
    }
    low = next;
    step *= 2;
  }
  return low;
}

int Table::RowOfKey(RowKey key) const {
  const int row = LowerBoundOfKey(key);
  return row < RowCount() && rows_[static_cast<std::size_t>(row)].key == key ? row : -1;
}

void Table::Edited(RowKey key) { editLog_[edits_++ % EditLogSize] = key; }

bool Table::EditedKey(std::uint64_t n, RowKey& key) const {
  if (n >= edits_ || edits_ - n > EditLogSize) return false;
  key = editLog_[n % EditLogSize];
  return true;
}

void Table::EndUpdate() {
  // An unmatched end is ignored rather than letting the count go negative, which would
  // silence the observer for good.
  if (updates_ == 0) return;
  if (--updates_ == 0 && observer_ != nullptr) observer_->TableChanged();
}

}  // namespace grid

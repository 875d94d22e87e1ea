// The row store behind a table grid: fixed columns, ordered rows of cell texts, a selection.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#if defined(__SSE2__) || defined(_M_X64)
#include <xmmintrin.h>
#endif

#include "grid/text_query.h"

namespace grid {

enum class ColumnKind {
  Increment,  // shows the row position plus one; ignores written texts
  Text,       // holds a text, empty in a new row
};

struct Column {
  std::string name;  // component name, looked up without regard to case
  std::u16string header;
  ColumnKind kind = ColumnKind::Text;
  bool visible = true;
  int width = 64;
  bool rightAligned = false;
  // Not empty for a text that the table file carries after the row's other fields (and its
  // exact-text field) rather than in a column of its own: the tag, then the text, and only when
  // the text is not empty, so that a file whose rows leave it empty is written as without the
  // column, and readers that keep only the columns drop it. Tagged columns come after all others.
  std::u16string_view fileTag = {};
};

// Designates the last row where a row index is expected.
constexpr int LastRow = -2;

// A row's identity for as long as the table lives: no two rows ever get the same key. Rows
// inserted at the top get keys below every other, appended rows keys above every other, so the
// keys grow from the top row down, whatever was deleted in between.
using RowKey = std::int32_t;

// The wide pairs of a text column's signed rows (see WidePairsOf), each row's words together,
// found by a place that tells where they start and how many they are.
class WidePairStore {
 public:
  // Keeps `count` (1 to MostWideWords) words; returns their place, never 0.
  std::uint32_t Add(const std::uint64_t* words, int count);
  void Remove(std::uint32_t place);
  void Clear();
  const std::uint64_t* At(std::uint32_t place) const {
    const std::uint32_t first = place >> 3;
    return chunks_[first >> ChunkBits].get() + (first & ChunkMask);
  }
  static int CountAt(std::uint32_t place) { return static_cast<int>(place & 7); }
  std::size_t Bytes() const;

 private:
  // Words are kept in chunks that never move, so that the store grows without a copy of all it
  // holds and without room reserved for twice as much; a row's words lie in one chunk.
  static constexpr unsigned ChunkBits = 16;
  static constexpr std::uint32_t ChunkMask = (std::uint32_t{1} << ChunkBits) - 1;
  std::vector<std::unique_ptr<std::uint64_t[]>> chunks_;
  std::uint32_t used_ = 0;  // words taken in the newest chunk
  // Places given back, by their count of words, to be taken again.
  std::vector<std::uint32_t> free_[MostWideWords + 1];
};

// Reads the rows and their texts on a thread of its own: the table has it stop before any
// change of either. Readers are added, removed and stopped on the table's own thread only.
class TableReader {
 public:
  virtual void StopReading() = 0;

 protected:
  ~TableReader() = default;
};

// Told about changes so that a view can repaint; only while no update is in progress.
class TableObserver {
 public:
  virtual void TableChanged() = 0;

 protected:
  ~TableObserver() = default;
};

class Table {
 public:
  explicit Table(std::vector<Column> columns);

  const std::vector<Column>& Columns() const { return columns_; }
  int ColumnCount() const { return static_cast<int>(columns_.size()); }
  // Throws platform::Error when no column has that name.
  int ColumnIndex(std::string_view name) const;

  int RowCount() const { return static_cast<int>(rows_.size()); }
  int AppendRow();  // returns the new row's index
  // Appends a row whose cells take `cells` in column order, as a file line fills a row:
  // texts for increment columns and beyond the last column are dropped, cells without a text
  // stay empty. Returns the new row's index.
  int AppendRow(std::span<const std::u16string> cells);
  void InsertRowAtTop();
  // A row at the top (or, with `append`, at the bottom) whose cells take `cells` in column
  // order, as AppendRow(cells) fills a row: each text is copied once, however long, which
  // filling the cells one by one would not do.
  void AddRow(std::span<const std::u16string_view> cells, bool append);
  // The same with the texts moved in: a long text's storage becomes the row's as it is, so that
  // a copy of a hundred megabytes is held once, not twice.
  void AddRow(std::span<std::u16string> cells, bool append);
  // Moves every row of `batch` (a table of the same columns) below this table's rows, without a
  // copy of their texts: the storage they lie in becomes this table's. `batch` is left empty.
  // Below signed rows they keep the signatures the batch made when it made them all (so that
  // they can be made where the batch was read); otherwise they wait for the signing. For rows
  // read away from this table's thread.
  void AppendRowsOf(Table& batch);
  void DeleteRow(int row);
  void RemoveAllRows();

  // Cell access; the row may be LastRow. Throws platform::Error for a row that does not exist.
  std::u16string Cell(int column, int row) const;
  std::u16string Cell(std::string_view column, int row) const;
  // A long text's storage becomes the cell's as it is, as AddRow takes it.
  void SetCell(int column, int row, std::u16string text);
  void SetCell(std::string_view column, int row, std::u16string text);
  // The cell's text, for readers that walk every cell. A text kept in 8 bits is widened into
  // `scratch`, and an increment cell's text is formed there. Valid until the table or
  // `scratch` changes.
  std::u16string_view CellView(int column, int row, std::u16string& scratch) const;
  // The same without widening: the text as the table keeps it, in 8-bit or UTF-16 units, as a
  // search reads it.
  CellText TextAt(int column, int row, std::u16string& scratch) const;
  // Texts of at least this many code units are kept in storage of their own, taken over from
  // the string they came in (AddRow with moved texts, SetCell).
  static constexpr std::size_t OwnStorageUnits = std::size_t{1} << 16;
  // The storage of such a text, for a reader that must go on reading it after the row has gone
  // or changed (a write spread over time); null for a text kept in the row's block.
  std::shared_ptr<const std::u16string> SharedText(int column, int row) const;

  // Selection, current row and anchor move with their rows: inserting at the top shifts them
  // down by one. Deleting the current row makes the row that takes its place current (the new
  // last row when it was the last, -1 when none is left); deleting the anchor's row leaves no
  // anchor. Row arguments accept LastRow and throw platform::Error for a row that does not
  // exist; SetCurrentRow(-1) and SetAnchorRow(-1) clear.
  bool RowSelected(int row) const;
  void SetRowSelected(int row, bool selected);
  void ClearSelection();
  int CurrentRow() const { return current_; }
  void SetCurrentRow(int row);
  // The row a range selection extends from, -1 for none.
  int AnchorRow() const { return anchor_; }
  void SetAnchorRow(int row);
  // Deletes every selected row in one pass, with the same outcome as deleting them one by one
  // from the top; returns how many went.
  int DeleteSelectedRows();
  // The same for the rows whose `doomed` entry is true (one entry a row, from the top).
  int DeleteRows(const std::vector<bool>& doomed);

  // Row keys, for views that must follow rows as others are inserted and deleted.
  RowKey KeyOf(int row) const { return rows_[static_cast<std::size_t>(ResolveRow(row))].key; }
  // The index of the first row whose key is `key` or above; RowCount() when there is none. With
  // `from`, that row is known to be `from` or below, and is looked for near it first.
  int LowerBoundOfKey(RowKey key) const;
  int LowerBoundOfKey(RowKey key, int from) const;
  // Calls visit(key, text) for the rows from `row` down, with their texts of `column`, until
  // it returns false; returns the index of the row it returned false for, or RowCount().
  // Quicker than a CellView per row for a walk over many rows.
  template <class Visit>
  int VisitTexts(int column, int row, Visit&& visit) const;
  // The row that has the key, or -1 when it is gone.
  int RowOfKey(RowKey key) const;
  // Asks for a row's texts from memory ahead of their use, so that a reader that jumps between
  // rows far apart waits for several of them at once rather than one after another.
  static constexpr int PrefetchLines = 4;
  // The first lines of the block are asked for: a text of a hundred or two hundred characters
  // and the lengths before it span four.
  void PrefetchTexts(int row) const {
#if defined(__SSE2__) || defined(_M_X64)
    const char* block = static_cast<const char*>(rows_[static_cast<std::size_t>(row)].texts.Address());
    if (block == nullptr) return;  // a row whose texts are all empty
    for (int line = 0; line < PrefetchLines; ++line) _mm_prefetch(block + 64 * line, _MM_HINT_T0);
#else
    (void)row;
#endif
  }
  // Signatures of the texts of one text column (see TextSignature), for a search that passes
  // over most rows without reading their texts. None are kept until asked for; from then on
  // every change of the rows or their texts keeps them right, until the table goes.
  // SignAhead signs the rows not yet signed, top first, until about `budget` text units are
  // read, so that the signatures can be made in slices while the program is idle; it returns
  // true once every row is signed. KeepSignatures signs all that are left.
  bool SignAhead(int column, std::size_t budget) const;
  void KeepSignatures(int column) const;
  // Whether every row of the column is signed.
  bool KeepsSignatures(int column) const;
  // A row's signature, and the place of its wide pairs (0 for a text too short for them).
  struct SignedText {
    TextSignature signature;
    std::uint32_t wide = 0;
  };
  // Calls visit(key, signed, row) for the rows from `row` down, as VisitTexts does, with
  // the signatures of a column whose rows are all signed.
  template <class Visit>
  int VisitSignatures(int column, int row, Visit&& visit) const;
  const SignedText& Signed(int column, int row) const {
    return SignaturesOf(column).rows[static_cast<std::size_t>(row)];
  }
  const TextSignature& Signature(int column, int row) const { return Signed(column, row).signature; }
  // Whether a signed row of a column may hold what a query asks for; made once for a walk
  // over many rows. Valid while the table and the query are.
  class SignatureTest {
   public:
    bool operator()(const SignedText& row) const { return Base(row) && Wide(WideToTest(row)); }
    // The same in two steps, for a walk that asks for the wide pairs from memory before it
    // tests them: the signature, then the wide pairs at the place WideToTest gives (0 when
    // there are none to test, which Wide passes).
    bool Base(const SignedText& row) const {
      return pairs_ ? row.signature.MayHold(query_.Needs()) : row.signature.MayHoldUnits(query_.Needs());
    }
    std::uint32_t WideToTest(const SignedText& row) const { return pairs_ ? row.wide : 0; }
    bool Wide(std::uint32_t place) const {
      return place == 0 || query_.WideMayHold(wide_.At(place), WidePairStore::CountAt(place));
    }
    void PrefetchWide(std::uint32_t place) const {
#if defined(__SSE2__) || defined(_M_X64)
      // Up to six words may span two cache lines.
      const std::uint64_t* words = wide_.At(place);
      _mm_prefetch(reinterpret_cast<const char*>(words), _MM_HINT_T0);
      _mm_prefetch(reinterpret_cast<const char*>(words + WidePairStore::CountAt(place) - 1), _MM_HINT_T0);
#else
      (void)place;
#endif
    }

   private:
    friend class Table;
    SignatureTest(const WidePairStore& wide, const TextQuery& query)
        : wide_(wide), query_(query), pairs_(query.NeedsPairs()) {}
    const WidePairStore& wide_;
    const TextQuery& query_;
    bool pairs_;
  };
  SignatureTest TestOf(int column, const TextQuery& query) const {
    // The test refers to the column's wide pairs, which exist once signing has begun: it is
    // begun here, with no row signed yet, if it has not been.
    SignAhead(column, 0);
    return SignatureTest(SignaturesOf(column).wide, query);
  }
  // The heap the kept signatures take.
  std::size_t SignatureBytes() const;
  // The keys that the next row inserted at the top and the next appended row will get.
  RowKey NextTopKey() const { return nextTopKey_; }
  RowKey NextBottomKey() const { return nextBottomKey_; }
  // Counts of changes, for a view to see what happened since it last looked: every change of
  // rows or texts, the changes that deleted rows, and the cell writes. The keys of the latest
  // EditLogSize written rows are kept, edit n (counted from 0) at EditedKey(n).
  std::uint64_t Revision() const { return revision_; }
  std::uint64_t Deletions() const { return deletions_; }
  std::uint64_t Edits() const { return edits_; }
  static constexpr std::uint64_t EditLogSize = 64;
  // False when edit n is no longer (or not yet) in the log.
  bool EditedKey(std::uint64_t n, RowKey& key) const;

  // Grows with every change of the rows or their texts, not of the selection: while it stays
  // the same, so does what a file written from the table would hold.
  // Every such change takes a key, deletes or writes a cell, and keys are never given again.
  std::uint64_t ContentVersion() const {
    return static_cast<std::uint64_t>(static_cast<std::int64_t>(nextBottomKey_) - nextTopKey_) + deletions_ +
           edits_;
  }

  // Nesting; the end that brings the count back to 0 tells the observer.
  void BeginUpdate() { ++updates_; }
  void EndUpdate();
  int UpdateCount() const { return updates_; }
  void SetObserver(TableObserver* observer) { observer_ = observer; }
  // A reader on another thread may call the const members that read rows, keys and texts
  // (RowCount, LowerBoundOfKey, CellView, PrefetchTexts), and nothing else; every change of
  // the rows or their texts stops each reader first. The selection is not theirs to read.
  void AddReader(TableReader& reader) const { readers_.push_back(&reader); }
  void RemoveReader(TableReader& reader) const { std::erase(readers_, &reader); }

 private:
  // A row's texts live in one block, so that a row costs at most one allocation however many
  // columns it has, and none while all its texts are empty. Rows appended whole (as a file is
  // read) take their blocks from large slabs the table keeps, which saves an allocation and its
  // overhead per row; such a block is given back with the slabs, when all rows are removed.
  // A row with a text of OwnStorageUnits or more keeps that text in the string it came in,
  // and its other texts in a block of their own (see Owned).
  struct Owned {
    std::unique_ptr<std::uint8_t[]> rest;  // the row's block, with a length of 0 for the owned text
    std::shared_ptr<const std::u16string> text;
    int slot = -1;
  };
  class TextBlock {
   public:
    TextBlock() = default;
    TextBlock(std::uint8_t* block, bool pooled)
        : bits_(reinterpret_cast<std::uintptr_t>(block) | (pooled ? 1u : 0u)) {}
    explicit TextBlock(Owned* owned) : bits_(reinterpret_cast<std::uintptr_t>(owned) | 2u) {}
    TextBlock(TextBlock&& other) noexcept : bits_(other.bits_) { other.bits_ = 0; }
    TextBlock& operator=(TextBlock&& other) noexcept;
    TextBlock(const TextBlock&) = delete;
    TextBlock& operator=(const TextBlock&) = delete;
    ~TextBlock() { Release(); }
    // The block of texts; not for a row whose text has storage of its own.
    std::uint8_t* get() const { return reinterpret_cast<std::uint8_t*>(bits_ & ~std::uintptr_t{1}); }
    const Owned* owned() const {
      return (bits_ & 3) == 2 ? reinterpret_cast<const Owned*>(bits_ & ~std::uintptr_t{3}) : nullptr;
    }
    // Where the row's texts begin in memory, near enough to ask for them ahead of their use.
    const void* Address() const { return reinterpret_cast<const void*>(bits_ & ~std::uintptr_t{3}); }

   private:
    void Release();
    // The block's address, with bit 0 set for a block in a slab (blocks are 2-byte aligned), or
    // an Owned's with bit 1 set (blocks of their own and Owned are allocated whole, so their
    // addresses are multiples of 4 at least).
    std::uintptr_t bits_ = 0;
  };
  struct Row {
    TextBlock texts;  // see table.cpp for the layout
    RowKey key = 0;   // below 0 for a row inserted at the top, whose increment cells hold "0"
    bool selected = false;
  };
  // The slabs, and the room left in the newest; a moved-from pool is empty.
  struct Slabs {
    Slabs() = default;
    Slabs(Slabs&& other) noexcept;
    Slabs& operator=(Slabs&& other) noexcept;
    std::vector<std::unique_ptr<std::uint8_t[]>> blocks;
    std::uint8_t* at = nullptr;
    std::size_t left = 0;
    std::size_t nextSize = 0;
  };

  CellText TextOf(const Row& row, int slot) const {
    if (const Owned* owned = row.texts.owned()) {
      if (slot == owned->slot) return std::u16string_view(*owned->text);
      return TextOfBlock(owned->rest.get(), slot);
    }
    return TextOfBlock(row.texts.get(), slot);
  }
  // A row's block starts with a 16-bit mask of the first 16 text columns whose text is not
  // empty; then, for each of those and for every text column past the 16th, in order, a 32-bit
  // word: the length of its text in units, with the top bit set for a text kept in 8 bits. The
  // texts follow one after another, each UTF-16 text at an even offset (a byte between when
  // needed). Most rows leave most of their columns empty (items, pin), so a word for each
  // column would cost a million-row history megabytes for nothing.
  static constexpr std::uint32_t NarrowFlag = std::uint32_t{1} << 31;
  static constexpr int MaskedColumns = 16;
  static constexpr std::size_t MaskBytes = 2;
  CellText TextOfBlock(const std::uint8_t* block, int slot) const {
    if (block == nullptr) return {};
    std::uint16_t mask;
    std::memcpy(&mask, block, sizeof mask);
    if (slot < MaskedColumns && (mask & (1u << slot)) == 0) return CellText::Narrow(block, 0);
    const int stored = std::popcount(mask);
    const int beyond = textColumns_ > MaskedColumns ? textColumns_ - MaskedColumns : 0;
    const std::uint8_t* words = block + MaskBytes;
    const int word = slot < MaskedColumns
                         ? std::popcount(static_cast<std::uint16_t>(mask & ((1u << slot) - 1)))
                         : stored + (slot - MaskedColumns);
    auto wordAt = [words](int k) {
      std::uint32_t w;
      std::memcpy(&w, words + 4 * k, sizeof w);
      return w;
    };
    std::size_t offset = MaskBytes + 4 * static_cast<std::size_t>(stored + beyond);
    for (int k = 0; k < word; ++k) {
      const std::uint32_t w = wordAt(k);
      offset = (w & NarrowFlag) ? offset + (w & ~NarrowFlag)
                                : ((offset + 1) & ~std::size_t{1}) + 2 * std::size_t{w};
    }
    const std::uint32_t w = wordAt(word);
    if (w & NarrowFlag) return CellText::Narrow(block + offset, w & ~NarrowFlag);
    offset = (offset + 1) & ~std::size_t{1};
    return std::u16string_view(reinterpret_cast<const char16_t*>(block + offset), w);
  }
  // One text per text column; `pooled` takes the block from the slabs. With `own`, the text of
  // slot `ownSlot` (which `texts` shows) is moved from it when it is long enough.
  void StoreTexts(Row& row, const CellText* texts, bool pooled, std::u16string* own = nullptr,
                  int ownSlot = -1);
  // The block of the texts, without a copy of the one of `skip` (whose length is written as 0).
  std::uint8_t* MakeBlock(const CellText* texts, bool pooled, int skip, bool& pooledBlock);
  std::uint8_t* SlabRoom(std::size_t bytes);
  // Puts a row whose texts are stored at the top or the bottom.
  void PlaceRow(Row row, bool append);
  int ResolveRow(int row) const;
  template <class Doomed>
  int DeleteRowsWhere(Doomed doomed);
  int CheckColumn(int column) const;
  void Changed();
  // Before any change of the rows or their texts.
  void StopReaders() {
    if (!readers_.empty()) StopEachReader();
  }
  void StopEachReader();
  void Edited(RowKey key);
  // Keep the signatures right as rows change. While a column is still being signed its
  // signatures are those of the rows from the top down to where signing has got: a row added
  // at the top is signed at once, one appended below that point waits for the signing.
  void Resign(std::size_t row);
  void SignNewTop();
  void SignNewBottom();
  void UnsignRow(std::size_t row);
  std::vector<Column> columns_;
  std::vector<int> textSlot_;  // column index -> index among the text columns, -1 for increment columns
  int textColumns_ = 0;
  Slabs slabs_;  // before rows_, so that the rows go first
  std::deque<Row> rows_;
  int current_ = -1;
  int anchor_ = -1;
  int updates_ = 0;
  TableObserver* observer_ = nullptr;
  mutable std::vector<TableReader*> readers_;
  RowKey nextTopKey_ = -1;
  RowKey nextBottomKey_ = 0;
  std::uint64_t revision_ = 0;
  std::uint64_t deletions_ = 0;
  std::uint64_t edits_ = 0;
  RowKey editLog_[EditLogSize] = {};
  // By text slot: the signatures of the rows from the top, one a row (of every row once
  // signing is complete), or null while none is asked for.
  struct Signatures {
    std::deque<SignedText> rows;
    WidePairStore wide;
  };
  const Signatures& SignaturesOf(int column) const {
    return *signatures_[static_cast<std::size_t>(textSlot_[static_cast<std::size_t>(column)])];
  }
  SignedText Sign(const Row& row, int slot, WidePairStore& wide) const;
  mutable std::vector<std::unique_ptr<Signatures>> signatures_;
};

template <class Visit>
int Table::VisitSignatures(int column, int row, Visit&& visit) const {
  const int slot = textSlot_[static_cast<std::size_t>(CheckColumn(column))];
  const std::deque<SignedText>& kept = signatures_[static_cast<std::size_t>(slot)]->rows;
  if (row < 0) row = 0;
  const int count = RowCount();
  auto key = rows_.begin() + std::min(row, count);
  for (auto at = kept.begin() + std::min(row, count); at != kept.end(); ++at, ++key, ++row) {
    if (!visit(key->key, *at, row)) break;
  }
  return row;
}

template <class Visit>
int Table::VisitTexts(int column, int row, Visit&& visit) const {
  const int slot = textSlot_[static_cast<std::size_t>(CheckColumn(column))];
  if (row < 0) row = 0;
  std::u16string scratch;
  // The texts of long rows lie pages apart: each is asked for from memory a few rows ahead,
  // so that the wait for one overlaps the reading of the rows before it.
  constexpr int Ahead = 4;
  auto ahead = rows_.begin() + std::min(row, RowCount());
  for (int k = 0; k < Ahead && ahead != rows_.end(); ++k) ++ahead;
  for (auto at = rows_.begin() + std::min(row, RowCount()); at != rows_.end(); ++at, ++row) {
#if defined(__SSE2__) || defined(_M_X64)
    if (ahead != rows_.end()) {
      _mm_prefetch(static_cast<const char*>(ahead->texts.Address()), _MM_HINT_T0);
      ++ahead;
    }
#endif
    if (!visit(at->key, slot >= 0 ? TextOf(*at, slot).Wide(scratch) : std::u16string_view())) break;
  }
  return row;
}

// Defers the observer's notice until a batch of changes is done, on every way out.
class UpdateScope {
 public:
  explicit UpdateScope(Table& table) : table_(table) { table_.BeginUpdate(); }
  ~UpdateScope() { table_.EndUpdate(); }
  UpdateScope(const UpdateScope&) = delete;
  UpdateScope& operator=(const UpdateScope&) = delete;

 private:
  Table& table_;
};

}  // namespace grid

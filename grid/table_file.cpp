#include "grid/table_file.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#include "grid/exact_text.h"
#include "platform/errors.h"
#include "platform/utf.h"

namespace grid {

using platform::Dword;

void RaiseIoError(Dword windowsError) {
  switch (windowsError) {
    case platform::ErrorFileNotFound:
      throw platform::IoError(2, "File not found");
    case platform::ErrorPathNotFound:
      throw platform::IoError(3, "Invalid filename");
    case platform::ErrorTooManyOpenFiles:
      throw platform::IoError(4, "Too many open files");
    case platform::ErrorAccessDenied:
      throw platform::IoError(5, "File access denied");
    case platform::ErrorDiskFull:
    case platform::ErrorHandleDiskFull:
      throw platform::IoError(101, "Disk full");
    default:
      throw platform::IoError(static_cast<int>(windowsError), "I/O error " + std::to_string(windowsError));
  }
}

namespace {

constexpr char16_t Quote = u'"';
constexpr char16_t Cr = u'\r';
constexpr char16_t Lf = u'\n';

// ---- Writing ----

// What a text holds, as bits.
constexpr unsigned HasSeparator = 1;
constexpr unsigned HasQuote = 2;
constexpr unsigned HasLineBreak = 4;  // CR or LF
constexpr unsigned HasMark = 8;
constexpr unsigned Translated = HasQuote | HasLineBreak;
// A text with neither may still read back other than it was written.
constexpr unsigned MayBeInexact = HasLineBreak | HasMark;

// Plain text is looked at this many code units at a time.
constexpr std::size_t Block = 16;

// Finds which of the characters that need care a text holds; most texts hold none and are
// then copied in one piece. Where SSE2 is there (every x86-64 processor) the test takes
// eight code units at a time; elsewhere one bit per kind of character lets the compiler
// vectorize the loop (a shared bit makes it fold the tests into a bit mask lookup instead).
unsigned Classify(std::u16string_view text, char16_t separator, char16_t mark) {
  const char16_t* p = text.data();
  const std::size_t n = text.size();
#if defined(__SSE2__) || defined(_M_X64)
  if (n >= 8) {
    const __m128i sep = _mm_set1_epi16(static_cast<short>(separator));
    const __m128i quote = _mm_set1_epi16(static_cast<short>(Quote));
    const __m128i cr = _mm_set1_epi16(static_cast<short>(Cr));
    const __m128i lf = _mm_set1_epi16(static_cast<short>(Lf));
    const __m128i bar = _mm_set1_epi16(static_cast<short>(mark));
    __m128i seps = _mm_setzero_si128();
    __m128i marks = _mm_setzero_si128();
    __m128i quotes = _mm_setzero_si128();
    __m128i breaks = _mm_setzero_si128();
    auto test = [&](const char16_t* at) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
      seps = _mm_or_si128(seps, _mm_cmpeq_epi16(v, sep));
      quotes = _mm_or_si128(quotes, _mm_cmpeq_epi16(v, quote));
      breaks = _mm_or_si128(breaks, _mm_or_si128(_mm_cmpeq_epi16(v, cr), _mm_cmpeq_epi16(v, lf)));
      marks = _mm_or_si128(marks, _mm_cmpeq_epi16(v, bar));
    };
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) test(p + i);
    if (i < n) test(p + n - 8);  // the last eight, overlapping units already tested
    return (_mm_movemask_epi8(seps) != 0 ? HasSeparator : 0) |
           (_mm_movemask_epi8(quotes) != 0 ? HasQuote : 0) |
           (_mm_movemask_epi8(breaks) != 0 ? HasLineBreak : 0) |
           (_mm_movemask_epi8(marks) != 0 ? HasMark : 0);
  }
#endif
  std::uint16_t found = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t ch = p[i];
    found |= static_cast<std::uint16_t>((ch == separator) | (ch == Quote) << 1 | (ch == Cr) << 2 |
                                        (ch == Lf) << 2 | (ch == mark) << 3);
  }
  return found;
}

// Appends the field that stands for `text`: quotes doubled, CR written as the mark, LF
// dropped, and the whole enclosed in quotes when the text holds a separator or a quote. Line
// breaks never cause enclosing, because the reader finds the end of a line by its LF alone.
// Returns what the text holds (the bits above).
unsigned AppendField(std::u16string& out, std::u16string_view text, char16_t separator, char16_t mark) {
  const unsigned found = Classify(text, separator, mark);
  const bool enclose = (found & (HasSeparator | HasQuote)) != 0;
  if (enclose) out.push_back(Quote);
  if (found & Translated) {
    // A block without anything to translate is passed over whole, one with something is
    // gone through character by character.
    const std::size_t n = text.size();
    std::size_t copied = 0;
    std::size_t i = 0;
    while (i < n) {
      if (i + Block <= n &&
          (Classify(std::u16string_view(text.data() + i, Block), separator, mark) & Translated) == 0) {
        i += Block;
        continue;
      }
      for (const std::size_t end = std::min(n, i + Block); i < end; ++i) {
        const char16_t ch = text[i];
        if (ch != Quote && ch != Cr && ch != Lf) continue;
        out.append(text.substr(copied, i - copied));
        copied = i + 1;
        if (ch == Quote) {
          out.append(2, Quote);
        } else if (ch == Cr) {
          out.push_back(mark);
        }
      }
    }
    out.append(text.substr(copied));
  } else {
    out.append(text);
  }
  if (enclose) out.push_back(Quote);
  return found;
}

// The cells of a row whose texts the format cannot hold, and the field after the last column
// that carries them exactly (see exact_text.cpp). Most texts hold neither a line break nor the
// mark, which AppendField has already found out: only the others are looked at again.
class ExactTexts {
 public:
  ExactTexts(char16_t separator, char16_t mark) : separator_(separator), mark_(mark) {}
  void BeginRow() { inexact_.clear(); }
  void Check(int column, std::u16string_view text, unsigned found) {
    if ((found & MayBeInexact) != 0 && !HoldsExactly(text, mark_)) inexact_.push_back(column);
  }
  bool Needed() const { return !inexact_.empty(); }
  const std::u16string& Field(const Table& table, int row, std::u16string& scratch) {
    field_.clear();
    for (int column : inexact_)
      AppendExactEntry(field_, column, table.CellView(column, row, scratch), separator_, mark_);
    return field_;
  }

 private:
  const char16_t separator_;
  const char16_t mark_;
  std::vector<int> inexact_;
  std::u16string field_;
};

// The columns written as fields of their own; the tagged ones follow (see Column::fileTag).
int UntaggedColumns(const Table& table) {
  int columns = 0;
  while (columns < table.ColumnCount() && table.Columns()[static_cast<std::size_t>(columns)].fileTag.empty())
    ++columns;
  return columns;
}

// Appends the tagged fields of a row, each with the separator before it, through `append(text)`,
// which writes a text as a field.
template <class AppendField>
void AppendTaggedFields(const Table& table, int row, int untagged, std::u16string& scratch,
                        std::u16string& field, AppendField append) {
  for (int c = untagged; c < table.ColumnCount(); ++c) {
    const std::u16string_view text = table.CellView(c, row, scratch);
    if (text.empty()) continue;
    field.assign(table.Columns()[static_cast<std::size_t>(c)].fileTag);
    field.append(text);
    append(field);
  }
}

// The content goes to the file in pieces of 2 MB. One buffer for the whole content would
// cost a page fault every few kilobytes and, for a large history, as much memory again as
// the table; pieces of a few hundred kilobytes made the write calls themselves cost as much
// as the encoding (measured on ext4).
constexpr std::size_t ChunkUnits = 1024 * 1024;

// The buffer starts small and doubles while half full, up to a chunk and the row that ends
// it: a table of a few rows takes a few kilobytes, a large one reaches the chunk's size in a
// few steps and stays there.
constexpr std::size_t FirstUnits = 2048;
constexpr std::size_t MostUnits = ChunkUnits + 1024;

template <class Buffer>
void ReserveAhead(Buffer& out) {
  const std::size_t capacity = out.capacity();
  if (capacity < MostUnits && out.size() >= capacity / 2) out.reserve(std::min(2 * capacity, MostUnits));
}

// Writes the encoded rows through `put(data, size)`, which returns 0 or the error that ends
// the writing; returns that error.
template <class Put>
Dword EncodeUtf16(const Table& table, char16_t separator, char16_t mark, bool bigEndian, Put put) {
  const bool swap = bigEndian != (std::endian::native == std::endian::big);
  const int rows = table.RowCount();
  const int columns = UntaggedColumns(table);
  const bool tagged = columns < table.ColumnCount();
  std::u16string scratch;
  std::u16string tagField;
  std::u16string out;
  out.reserve(FirstUnits);
  auto emit = [&] {
    if (swap) {
      for (char16_t& unit : out) unit = static_cast<char16_t>((unit >> 8) | (unit << 8));
    }
    const Dword error = put(out.data(), out.size() * sizeof(char16_t));
    out.clear();
    return error;
  };

  ExactTexts exact(separator, mark);
  out.push_back(u'\uFEFF');
  for (int r = 0; r < rows; ++r) {
    exact.BeginRow();
    for (int c = 0; c < columns; ++c) {
      if (c > 0) out.push_back(separator);
      const std::u16string_view text = table.CellView(c, r, scratch);
      exact.Check(c, text, AppendField(out, text, separator, mark));
    }
    if (exact.Needed()) {
      out.push_back(separator);
      out.append(exact.Field(table, r, scratch));
    }
    if (tagged) {
      AppendTaggedFields(table, r, columns, scratch, tagField, [&](std::u16string_view field) {
        out.push_back(separator);
        AppendField(out, field, separator, mark);
      });
    }
    out.push_back(Cr);
    out.push_back(Lf);
    if (out.size() >= ChunkUnits) {
      if (Dword error = emit()) return error;
    }
    ReserveAhead(out);
  }
  return emit();
}

template <class Put>
Dword EncodeAnsi(const Table& table, platform::ICodePage& codePage, char16_t separator, char16_t mark,
                 Put put) {
  const int rows = table.RowCount();
  const int columns = UntaggedColumns(table);
  const bool tagged = columns < table.ColumnCount();
  // Each field and separator is converted on its own, as the format defines it.
  const std::string ansiSeparator = codePage.WideToAnsi(std::u16string(1, separator));
  std::u16string scratch;
  std::u16string tagField;
  std::u16string field;
  std::string out;
  out.reserve(FirstUnits);
  ExactTexts exact(separator, mark);
  for (int r = 0; r < rows; ++r) {
    exact.BeginRow();
    for (int c = 0; c < columns; ++c) {
      if (c > 0) out += ansiSeparator;
      field.clear();
      const std::u16string_view text = table.CellView(c, r, scratch);
      exact.Check(c, text, AppendField(field, text, separator, mark));
      out += codePage.WideToAnsi(field);
    }
    if (exact.Needed()) out += ansiSeparator + codePage.WideToAnsi(exact.Field(table, r, scratch));
    if (tagged) {
      AppendTaggedFields(table, r, columns, scratch, tagField, [&](std::u16string_view text) {
        field.clear();
        AppendField(field, text, separator, mark);
        out += ansiSeparator + codePage.WideToAnsi(field);
      });
    }
    out += "\r\n";
    if (out.size() >= ChunkUnits) {
      if (Dword error = put(out.data(), out.size())) return error;
      out.clear();
    }
    ReserveAhead(out);
  }
  return put(out.data(), out.size());
}

// Writes the content to a temporary file beside the target and puts it in the target's place
// only once it is complete and flushed, so that a failure at any step keeps the old file.
// `produce(put)` writes the content through put and returns the first write error.
template <class Produce>
Dword TryReplaceFileContent(platform::IFiles& files, const std::string& fileName, Produce produce) {
  // Renaming over a read-only file succeeds on some systems; the file must stay untouched.
  if (files.IsReadOnly(fileName)) return platform::ErrorAccessDenied;

  const std::string temporary = fileName + ".tmp";
  platform::FileHandle file = 0;
  if (Dword error = files.CreateForWriting(temporary, file)) return error;
  auto put = [&](const void* data, std::size_t size) -> Dword {
    return size > 0 ? files.Write(file, data, size) : 0;
  };
  Dword error = 0;
  try {
    error = produce(put);
  } catch (...) {
    files.Close(file);
    files.Delete(temporary);
    throw;
  }
  if (error == 0) error = files.Flush(file);
  const Dword closeError = files.Close(file);
  if (error == 0) error = closeError;
  if (error == 0) error = files.Replace(temporary, fileName);
  if (error != 0) files.Delete(temporary);
  return error;
}

template <class Produce>
void ReplaceFileContent(platform::IFiles& files, const std::string& fileName, Produce produce) {
  if (Dword error = TryReplaceFileContent(files, fileName, produce)) RaiseIoError(error);
}

// ---- Reading ----

// The code units of a file's content after its mark, in one of the three encodings.
class Bytes8 {
 public:
  explicit Bytes8(std::string_view bytes)
      : p_(reinterpret_cast<const unsigned char*>(bytes.data())), n_(bytes.size()) {}
  std::size_t size() const { return n_; }
  char16_t operator[](std::size_t i) const { return p_[i]; }
  void Load(std::size_t at, char16_t (&out)[Block]) const {
    for (std::size_t k = 0; k < Block; ++k) out[k] = p_[at + k];
  }
  void Append(std::u16string& out, std::size_t begin, std::size_t end) const {
    for (std::size_t i = begin; i < end; ++i) out.push_back(p_[i]);
  }

 private:
  const unsigned char* p_;
  std::size_t n_;
};

template <bool BigEndian>
class Units16 {
  static constexpr bool Native = BigEndian == (std::endian::native == std::endian::big);

 public:
  // An odd last byte is no code unit and is left out.
  explicit Units16(std::string_view bytes)
      : p_(reinterpret_cast<const unsigned char*>(bytes.data())), n_(bytes.size() / 2) {}
  std::size_t size() const { return n_; }
  char16_t operator[](std::size_t i) const {
    const unsigned first = p_[2 * i], second = p_[2 * i + 1];
    return static_cast<char16_t>(BigEndian ? (first << 8 | second) : (second << 8 | first));
  }
  void Load(std::size_t at, char16_t (&out)[Block]) const {
    if (Native) {
      std::memcpy(out, p_ + 2 * at, sizeof out);
    } else {
      for (std::size_t k = 0; k < Block; ++k) out[k] = (*this)[at + k];
    }
  }
  void Append(std::u16string& out, std::size_t begin, std::size_t end) const {
    const std::size_t old = out.size();
    out.resize(old + (end - begin));
    if (Native) {
      std::memcpy(out.data() + old, p_ + 2 * begin, 2 * (end - begin));
    } else {
      for (std::size_t i = begin; i < end; ++i) out[old + (i - begin)] = (*this)[i];
    }
  }

 private:
  const unsigned char* p_;
  std::size_t n_;
};

// Turns characters into rows. The state lives between calls of Scan, so that a file can be
// scanned piece by piece as it is read.
class LineScanner {
 public:
  LineScanner(Table& table, char16_t separator, char16_t mark)
      : table_(table),
        columns_(static_cast<std::size_t>(UntaggedColumns(table))),
        separator_(separator),
        mark_(mark) {}
  // Called after each row is appended; it may take the table's rows away (see LoadDataFile).
  void AfterEachRow(std::function<void()> afterRow) { afterRow_ = std::move(afterRow); }

  template <class Units>
  void Scan(const Units& units) {
    // Whether a block holds a character that is not copied as it is. One bit per test keeps
    // the loop in vector code; most blocks hold none.
    auto specialInBlock = [&](std::size_t at) {
      char16_t block[Block];
      units.Load(at, block);
      std::uint16_t found = 0;
      for (char16_t ch : block) {
        found |= static_cast<std::uint16_t>((ch == separator_) | (ch == mark_) << 1 | (ch == Quote) << 2 |
                                            (ch == Cr) << 3 | (ch == Lf) << 4);
      }
      return found != 0;
    };

    const std::size_t n = units.size();
    std::size_t i = 0;
    while (i < n) {
      const char16_t ch = units[i];
      if (!Special(ch)) {
        OrdinaryRaw();
        // Runs of ordinary characters are copied in one piece.
        std::size_t end = i + 1;
        while (end + Block <= n && !specialInBlock(end)) end += Block;
        while (end < n && !Special(units[end])) ++end;
        units.Append(buffer_, i, end);
        i = end;
        continue;
      }
      ++i;
      if (crPending_ && ch != Lf) asWritten_ = false;
      if (ch == separator_) {
        if (quotes_ % 2 != 0) {
          OrdinaryRaw();
          buffer_.push_back(ch);
        } else {
          CheckFieldAsWritten();
          EndField(false);
        }
      } else if (ch == mark_) {
        OrdinaryRaw();
        buffer_.append(u"\r\n");
      } else if (ch == Quote) {
        // Inside the writer's enclosing quotes a quote only comes doubled; the one left over
        // is the closing quote, which only the field's end may follow.
        if (fieldStart_) {
          fieldQuoted_ = true;
        } else if (fieldQuoted_) {
          closingQuote_ = !closingQuote_;
        } else {
          asWritten_ = false;
        }
        fieldStart_ = false;
        // The opening quote and the second of each doubled quote are dropped; a third quote on
        // an empty buffer is the doubled quote a text begins with.
        ++quotes_;
        if (quotes_ % 2 != 0 && (!buffer_.empty() || quotes_ == 3)) buffer_.push_back(Quote);
      } else if (ch == Lf) {
        if (!crPending_) asWritten_ = false;
        crPending_ = false;
        CheckFieldAsWritten();
        EndField(true);
      } else if (ch == Cr) {
        // A CR is dropped: the line ends at its LF.
        if (crPending_) asWritten_ = false;
        crPending_ = true;
      }
    }
  }

  // Whether every line so far is exactly what writing its row gives: fields quoted only where
  // the writer quotes them, CR LF line ends, and row numbers from 1 in an increment column.
  // A table that has not changed since it was read from such a file need not be written again.
  bool AsWritten() const { return asWritten_; }

  // Whether the reading left anything out that the file held: text in an increment column,
  // which takes no text, or fields past the last column other than the exact-text field and
  // the tagged fields.
  bool Dropped() const { return dropped_; }

  // The end of the file ends a last line that has no line break.
  void Finish() {
    // The writer ends every line; here a line was begun, if only by the quotes of an empty
    // field, which leave nothing to read.
    if (!buffer_.empty() || rowPending_ || crPending_ || !fieldStart_) asWritten_ = false;
    if (!buffer_.empty()) EndField(false);
    if (rowPending_) EndRow();
  }

 private:
  bool Special(char16_t ch) const {
    return ch == separator_ || ch == mark_ || ch == Quote || ch == Cr || ch == Lf;
  }
  // Whether `text` is `number` in decimal, as the writer writes it; no string is made, as
  // this runs for every row of a file read at start-up.
  static bool IsNumber(const std::u16string& text, std::size_t number) {
    std::size_t k = text.size();
    do {
      if (k == 0 || text[--k] != static_cast<char16_t>(u'0' + number % 10)) return false;
      number /= 10;
    } while (number != 0);
    return k == 0;
  }
  void OrdinaryRaw() {
    if (crPending_) asWritten_ = false;
    if (closingQuote_) asWritten_ = false;
    fieldStart_ = false;
  }
  // The writer encloses a text in quotes exactly when it holds a separator or a quote, and
  // doubles each quote inside.
  void CheckFieldAsWritten() {
    if (fieldQuoted_) {
      const bool needed =
          buffer_.find(Quote) != std::u16string::npos || buffer_.find(separator_) != std::u16string::npos;
      if (!closingQuote_ || !needed) asWritten_ = false;
    }
    fieldStart_ = true;
    fieldQuoted_ = false;
    closingQuote_ = false;
  }
  // Whether `text` can be a row number as a writer writes it (an empty field holds nothing).
  static bool IsDigits(const std::u16string& text) {
    for (char16_t ch : text)
      if (ch < u'0' || ch > u'9') return false;
    return true;
  }
  // Puts the exact texts of the field after the last column into their cells. A field that is
  // not one this program writes, or that does not fit the cells read, leaves them as read.
  bool TakeExactTexts() {
    bool taken = DecodeExactField(extra_[0], separator_, mark_, exact_);
    for (std::size_t k = 0; k < exact_.size() && taken; ++k) {
      const std::size_t c = static_cast<std::size_t>(exact_[k].column);
      taken = c < columns_ && table_.Columns()[c].kind == ColumnKind::Text &&
              ReadsAs(exact_[k].text, fields_[c], mark_);
    }
    if (taken) {
      for (ExactEntry& entry : exact_) fields_[static_cast<std::size_t>(entry.column)].swap(entry.text);
    }
    return taken;
  }
  // The index of the tagged column whose tag begins `field`, or 0 for none.
  std::size_t TaggedColumnOf(std::u16string_view field) const {
    for (std::size_t c = columns_; c < table_.Columns().size(); ++c) {
      const std::u16string_view tag = table_.Columns()[c].fileTag;
      if (field.size() > tag.size() && field.substr(0, tag.size()) == tag) return c;
    }
    return 0;
  }
  // Sorts the fields after the last column into the tagged cells and the exact-text field;
  // returns false when one of them is neither, or comes where the writer puts none: the exact
  // field first, the tagged fields in column order after it, none twice.
  bool TakeExtraFields() {
    for (std::size_t c = columns_; c < table_.Columns().size(); ++c) {
      if (c == fields_.size()) fields_.emplace_back();
      fields_[c].clear();
    }
    if (extraCount_ > MostExtraFields) return false;  // the fields past those were not kept
    bool expected = true;
    std::size_t k = 0;
    if (TaggedColumnOf(extra_[0]) == 0) {
      expected = TakeExactTexts();
      k = 1;
    }
    for (std::size_t next = columns_; k < extraCount_; ++k) {
      const std::size_t c = TaggedColumnOf(extra_[k]);
      if (c == 0 || c < next) {
        expected = false;
        continue;
      }
      next = c + 1;
      fields_[c].assign(extra_[k], table_.Columns()[c].fileTag.size());
    }
    return expected;
  }
  void EndRow() {
    const std::size_t read = std::min(fieldCount_, columns_);
    for (std::size_t c = 0; c < read; ++c)
      if (table_.Columns()[c].kind == ColumnKind::Increment && !IsDigits(fields_[c])) dropped_ = true;
    bool exact = fieldCount_ == columns_;
    std::size_t cells = read;
    if (fieldCount_ > columns_) {
      extraCount_ = fieldCount_ - columns_;
      exact = TakeExtraFields();
      if (!exact) dropped_ = true;
      cells = table_.Columns().size();
    }
    if (!exact) {
      asWritten_ = false;
    } else if (asWritten_) {
      // An increment cell is written as the row's number, whatever the file said.
      const std::size_t number = rowsRead_ + 1;
      for (std::size_t c = 0; c < columns_ && asWritten_; ++c)
        if (table_.Columns()[c].kind == ColumnKind::Increment && !IsNumber(fields_[c], number))
          asWritten_ = false;
    }
    table_.AppendRow(std::span<const std::u16string>(fields_.data(), cells));
    ++rowsRead_;
    fieldCount_ = 0;
    extraCount_ = 0;
    rowPending_ = false;
    if (afterRow_) afterRow_();
  }
  void EndField(bool lineEnds) {
    quotes_ = 0;
    rowPending_ = true;
    if (fieldCount_ < columns_) {
      if (fieldCount_ == fields_.size()) fields_.emplace_back();
      fields_[fieldCount_].swap(buffer_);
    } else if (fieldCount_ - columns_ < MostExtraFields) {
      // The exact-text field and the tagged ones, if that is what they are; a line with more
      // fields than a writer puts there holds nothing this reader keeps.
      const std::size_t k = fieldCount_ - columns_;
      if (k == extra_.size()) extra_.emplace_back();
      extra_[k].swap(buffer_);
    }
    ++fieldCount_;
    buffer_.clear();
    if (lineEnds) EndRow();
  }

  Table& table_;
  const std::size_t columns_;
  const char16_t separator_;
  const char16_t mark_;
  // The rows read so far, whether or not they are still in the table.
  std::size_t rowsRead_ = 0;
  std::function<void()> afterRow_;
  std::u16string buffer_;
  // The fields of the line being read. A row is appended whole when its line ends, which
  // costs one allocation for all its texts; the strings keep their room from line to line.
  std::vector<std::u16string> fields_;
  std::size_t fieldCount_ = 0;
  // The fields after the last column, extraCount_ of them in the row read; at most
  // MostExtraFields are kept.
  static constexpr std::size_t MostExtraFields = 8;
  std::vector<std::u16string> extra_;
  std::size_t extraCount_ = 0;
  std::vector<ExactEntry> exact_;
  bool dropped_ = false;
  bool rowPending_ = false;
  int quotes_ = 0;
  // What the writer would make of the rows read, against what the file holds.
  bool asWritten_ = true;
  bool crPending_ = false;     // a CR was read and its LF is due
  bool fieldStart_ = true;     // the next character read begins a field
  bool fieldQuoted_ = false;   // the field began with a quote
  bool closingQuote_ = false;  // the last character read was a quote not doubled (yet)
};

// Returns whether the reading dropped anything (LineScanner::Dropped).
template <class Units>
bool ScanLines(Table& table, const Units& units, char16_t separator, char16_t mark) {
  LineScanner scanner(table, separator, mark);
  scanner.Scan(units);
  scanner.Finish();
  return scanner.Dropped();
}

// Text already in code units, as decoded from UTF-8.
class WideUnits {
 public:
  explicit WideUnits(std::u16string_view text) : text_(text) {}
  std::size_t size() const { return text_.size(); }
  char16_t operator[](std::size_t i) const { return text_[i]; }
  void Load(std::size_t at, char16_t (&out)[Block]) const { std::memcpy(out, text_.data() + at, sizeof out); }
  void Append(std::u16string& out, std::size_t begin, std::size_t end) const {
    out.append(text_.substr(begin, end - begin));
  }

 private:
  std::u16string_view text_;
};

// Whether the code units hold a NUL, which no text this program stores can contain: the
// clipboard's text ends at its first zero. Such content is not a table text file.
template <class Units>
bool HoldsNul(const Units& units) {
  const std::size_t n = units.size();
  std::size_t i = 0;
  for (; i + Block <= n; i += Block) {
    char16_t block[Block];
    units.Load(i, block);
    std::uint16_t found = 0;
    for (char16_t ch : block) found |= static_cast<std::uint16_t>(ch == 0);
    if (found) return true;
  }
  for (; i < n; ++i)
    if (units[i] == 0) return true;
  return false;
}

// Reads the rows; returns whether the content is what a table text file can hold (`whole`:
// no stray byte was left over).
template <class Units>
bool ScanChecked(Table& table, const Units& units, bool whole, char16_t separator, char16_t mark,
                 bool* dropped) {
  const bool left = ScanLines(table, units, separator, mark);
  if (dropped) *dropped = left;
  return whole && !HoldsNul(units);
}

enum class TextEncoding { Utf16LeMarked, Utf16BeMarked, Utf16Le, Utf8, Ansi };

bool StartsWithUtf8Mark(std::string_view bytes) {
  return bytes.size() >= 3 && bytes[0] == '\xEF' && bytes[1] == '\xBB' && bytes[2] == '\xBF';
}

// Valid UTF-8 (shortest forms, no surrogates, nothing above U+10FFFF) that holds at least one
// byte above 0x7F; plain ASCII reads the same in every encoding and stays 8-bit.
bool IsUtf8WithNonAscii(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  bool nonAscii = false;
  std::size_t i = 0;
  while (i < n) {
    const unsigned lead = p[i];
    if (lead < 0x80) {
      ++i;
      continue;
    }
    nonAscii = true;
    std::size_t length;
    unsigned low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;   // overlong
      if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;   // overlong
      if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
    } else {
      return false;
    }
    if (i + length > n) return false;
    if (p[i + 1] < low || p[i + 1] > high) return false;
    for (std::size_t k = 2; k < length; ++k)
      if (p[i + k] < 0x80 || p[i + k] > 0xBF) return false;
    i += length;
  }
  return nonAscii;
}

// UTF-16LE that lost its mark. Text of this program's files always has line ends, and in
// UTF-16LE a line end is the bytes 0D 00 0A 00 at an even offset; text in a Latin script has
// a zero high byte in most of its units besides. 8-bit text holds neither: its zero bytes
// would be NULs.
bool LooksLikeUtf16Le(std::string_view bytes) {
  const std::size_t n = bytes.size();
  if (n < 2 || n % 2 != 0) return false;
  std::size_t zeroHigh = 0;
  bool lineEnd = false;
  for (std::size_t i = 0; i + 1 < n; i += 2) {
    if (bytes[i] == 0 && bytes[i + 1] == 0) return false;  // a NUL unit: not text
    if (bytes[i + 1] == 0) {
      ++zeroHigh;
      if (bytes[i] == '\n' && i >= 2 && bytes[i - 2] == '\r' && bytes[i - 1] == 0) lineEnd = true;
    }
  }
  return lineEnd || zeroHigh * 4 >= n / 2;
}

TextEncoding FindEncoding(std::string_view bytes) {
  if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') return TextEncoding::Utf16LeMarked;
  if (bytes.size() >= 2 && bytes[0] == '\xFE' && bytes[1] == '\xFF') return TextEncoding::Utf16BeMarked;
  if (StartsWithUtf8Mark(bytes)) return TextEncoding::Utf8;
  if (LooksLikeUtf16Le(bytes)) return TextEncoding::Utf16Le;
  if (IsUtf8WithNonAscii(bytes)) return TextEncoding::Utf8;
  return TextEncoding::Ansi;
}

// Takes a file piece by piece as it is read. A file with a UTF-16 mark is scanned as its
// pieces come, so that a large history never is in memory twice, as bytes and as rows; any
// other file is kept until its end and then read whole, as its encoding depends on all of it.
class PieceScanner {
 public:
  PieceScanner(Table& table, char16_t separator, char16_t mark)
      : table_(table), separator_(separator), mark_(mark), lines_(table, separator, mark) {}
  void AfterEachRow(std::function<void()> afterRow) { lines_.AfterEachRow(std::move(afterRow)); }

  void Take(std::string_view piece) {
    if (kind_ == Kind::Unknown) {
      kept_.append(piece);
      if (kept_.size() < 2) return;
      if (kept_[0] == '\xFF' && kept_[1] == '\xFE') {
        kind_ = Kind::Utf16Le;
      } else if (kept_[0] == '\xFE' && kept_[1] == '\xFF') {
        kind_ = Kind::Utf16Be;
      } else {
        kind_ = Kind::Whole;
        return;
      }
      std::string first;
      first.swap(kept_);
      ScanUnits(std::string_view(first).substr(2));
    } else if (kind_ == Kind::Whole) {
      kept_.append(piece);
    } else {
      ScanUnits(piece);
    }
  }

  // Whether the content is what a table text file can hold, as AppendRowsFromBytes tells.
  bool Finish() {
    if (kind_ == Kind::Unknown || kind_ == Kind::Whole) {
      return AppendRowsFromBytes(table_, kept_, separator_, mark_, &dropped_);
    }
    lines_.Finish();  // an odd last byte is no code unit and is left out
    dropped_ = lines_.Dropped();
    return !nul_ && !hasOdd_;
  }
  // Whether the reading dropped anything the file held. Call after Finish.
  bool Dropped() const { return dropped_; }
  // Whether the file holds exactly what writing its rows as UTF-16LE gives. Call after Finish.
  bool AsWrittenUtf16Le() const { return kind_ == Kind::Utf16Le && lines_.AsWritten() && !nul_ && !hasOdd_; }

 private:
  enum class Kind { Unknown, Utf16Le, Utf16Be, Whole };

  // A code unit may be split between two pieces; its first byte waits for the second.
  void ScanUnits(std::string_view bytes) {
    if (bytes.empty()) return;
    if (hasOdd_) {
      const char unit[2] = {odd_, bytes[0]};
      ScanEven(std::string_view(unit, 2));
      bytes.remove_prefix(1);
      hasOdd_ = false;
    }
    if (bytes.size() % 2 != 0) {
      odd_ = bytes.back();
      hasOdd_ = true;
      bytes.remove_suffix(1);
    }
    ScanEven(bytes);
  }
  void ScanEven(std::string_view bytes) {
    if (kind_ == Kind::Utf16Be) {
      Units16<true> units(bytes);
      nul_ = nul_ || HoldsNul(units);
      lines_.Scan(units);
    } else {
      Units16<false> units(bytes);
      nul_ = nul_ || HoldsNul(units);
      lines_.Scan(units);
    }
  }

  Table& table_;
  const char16_t separator_;
  const char16_t mark_;
  LineScanner lines_;
  Kind kind_ = Kind::Unknown;
  std::string kept_;
  char odd_ = 0;
  bool hasOdd_ = false;
  bool nul_ = false;
  bool dropped_ = false;
};

}  // namespace

Dword ReplaceFileContents(platform::IFiles& files, const std::string& fileName, const void* data,
                          std::size_t size) {
  return TryReplaceFileContent(files, fileName, [&](auto put) { return put(data, size); });
}

void WriteRowsToFile(const Table& table, platform::IFiles& files, platform::ICodePage& codePage,
                     const std::string& fileName, char16_t separator, char16_t lineBreakMark,
                     std::uint8_t encoding, platform::ICrypto* sealWith) {
  if (sealWith && (encoding == Utf16LeEncoding || encoding == Utf16BeEncoding)) {
    ReplaceFileContent(files, fileName, [&](auto put) {
      FileSealer sealer(*sealWith, [&put](const void* data, std::size_t size) { return put(data, size); });
      if (Dword error = sealer.Begin()) return error;
      const Dword error =
          EncodeUtf16(table, separator, lineBreakMark, encoding == Utf16BeEncoding,
                      [&sealer](const void* data, std::size_t size) { return sealer.Write(data, size); });
      return error != 0 ? error : sealer.Finish();
    });
    return;
  }
  if (encoding == AnsiEncoding) {
    ReplaceFileContent(files, fileName,
                       [&](auto put) { return EncodeAnsi(table, codePage, separator, lineBreakMark, put); });
  } else if (encoding == Utf16LeEncoding || encoding == Utf16BeEncoding) {
    ReplaceFileContent(files, fileName, [&](auto put) {
      return EncodeUtf16(table, separator, lineBreakMark, encoding == Utf16BeEncoding, put);
    });
  }
}

bool ReadRowsFromBytes(Table& table, std::string_view bytes, char16_t separator, char16_t lineBreakMark,
                       bool* dropped) {
  UpdateScope update(table);
  table.RemoveAllRows();
  return AppendRowsFromBytes(table, bytes, separator, lineBreakMark, dropped);
}

bool AppendRowsFromBytes(Table& table, std::string_view bytes, char16_t separator, char16_t lineBreakMark,
                         bool* dropped) {
  UpdateScope update(table);
  switch (FindEncoding(bytes)) {
    case TextEncoding::Utf16LeMarked:
      return ScanChecked(table, Units16<false>(bytes.substr(2)), bytes.size() % 2 == 0, separator,
                         lineBreakMark, dropped);
    case TextEncoding::Utf16BeMarked:
      return ScanChecked(table, Units16<true>(bytes.substr(2)), bytes.size() % 2 == 0, separator,
                         lineBreakMark, dropped);
    case TextEncoding::Utf16Le:
      return ScanChecked(table, Units16<false>(bytes), true, separator, lineBreakMark, dropped);
    case TextEncoding::Utf8: {
      // A file with the mark is read as UTF-8 whatever follows it, its bad bytes as the reader has
      // always taken them, so that it gives the rows it gave before; one without it is valid here.
      const std::u16string text =
          platform::Utf8ToUtf16(bytes.substr(StartsWithUtf8Mark(bytes) ? 3 : 0), platform::BadUtf8::TakeBits);
      return ScanChecked(table, WideUnits(text), true, separator, lineBreakMark, dropped);
    }
    case TextEncoding::Ansi:
      break;
  }
  return ScanChecked(table, Bytes8(bytes), true, separator, lineBreakMark, dropped);
}

Dword AppendRowsFromFile(Table& table, platform::IFiles& files, const std::string& fileName,
                         char16_t separator, char16_t lineBreakMark, bool& wellFormed, bool* asWritten,
                         bool* dropped, platform::ICrypto* crypto, SealedRead* sealed,
                         const std::function<void()>& afterRow) {
  UpdateScope update(table);
  wellFormed = true;
  if (asWritten) *asWritten = false;
  if (dropped) *dropped = false;
  if (sealed) *sealed = SealedRead();
  PieceScanner scanner(table, separator, lineBreakMark);
  if (afterRow) scanner.AfterEachRow(afterRow);
  // The first bytes tell a sealed file; its plain text reaches the scanner a chunk at a time.
  enum class Form { Unknown, Plain, Sealed } form = Form::Unknown;
  std::string start;
  std::unique_ptr<FileUnsealer> unsealer;
  auto feed = [&](std::string_view piece) {
    if (form == Form::Sealed)
      unsealer->Feed(piece);
    else
      scanner.Take(piece);
  };
  auto decide = [&](bool atEnd) {
    if (form != Form::Unknown || (!atEnd && start.size() < SealedMagicBytes)) return;
    form = IsSealed(start) ? Form::Sealed : Form::Plain;
    if (form == Form::Sealed && crypto)
      unsealer = std::make_unique<FileUnsealer>(*crypto,
                                                [&scanner](std::string_view plain) { scanner.Take(plain); });
    std::string first;
    first.swap(start);
    if (form == Form::Plain || unsealer) feed(first);
  };
  Dword error = files.ReadInPieces(fileName, [&](std::string_view piece) {
    if (form == Form::Unknown) {
      start.append(piece);
      decide(false);
    } else if (form == Form::Plain || unsealer) {
      feed(piece);
    }
    return Dword{0};
  });
  if (error == 0) decide(true);
  if (error == 0 && form == Form::Sealed) {
    const Unsealed result = unsealer ? unsealer->Finish() : Unsealed::Refused;
    if (sealed) *sealed = {true, result};
    if (result != Unsealed::Opened) error = SealingFailed;
  }
  if (error == 0) {
    wellFormed = scanner.Finish();
    if (asWritten) *asWritten = wellFormed && scanner.AsWrittenUtf16Le();
    if (dropped) *dropped = scanner.Dropped();
  }
  return error;
}

void ReadRowsFromFile(Table& table, platform::IFiles& files, const std::string& fileName, char16_t separator,
                      char16_t lineBreakMark, platform::ICrypto* crypto) {
  UpdateScope update(table);
  table.RemoveAllRows();
  bool wellFormed = true;
  SealedRead sealed;
  if (const Dword error = AppendRowsFromFile(table, files, fileName, separator, lineBreakMark, wellFormed,
                                             nullptr, nullptr, crypto, &sealed)) {
    if (error == SealingFailed)
      throw platform::IoError(static_cast<int>(error),
                              "The file cannot be read: " + UnsealedReason(sealed.result));
    RaiseIoError(error);
  }
}

}  // namespace grid

// What the user typed into a search box, and whether a text matches it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace grid {

// A text as a table keeps it: in 8-bit units when every unit is below U+0100 (each byte the unit
// of that value), which halves what most histories take; in UTF-16 units otherwise.
class CellText {
 public:
  CellText() = default;
  CellText(std::u16string_view wide) : data_(wide.data()), size_(wide.size()) {}
  static CellText Narrow(const std::uint8_t* units, std::size_t size) {
    CellText text;
    text.data_ = units;
    text.size_ = size;
    text.narrow_ = true;
    return text;
  }
  bool IsNarrow() const { return narrow_; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  const std::uint8_t* NarrowUnits() const { return static_cast<const std::uint8_t*>(data_); }
  const char16_t* WideUnits() const { return static_cast<const char16_t*>(data_); }
  char16_t operator[](std::size_t i) const { return narrow_ ? NarrowUnits()[i] : WideUnits()[i]; }
  // The text in UTF-16: as it is, or widened into `scratch` (valid until it changes).
  std::u16string_view Wide(std::u16string& scratch) const {
    if (!narrow_) return {WideUnits(), size_};
    scratch.resize(size_);
    for (std::size_t i = 0; i < size_; ++i) scratch[i] = NarrowUnits()[i];
    return scratch;
  }
  bool operator==(const CellText& other) const {
    if (size_ != other.size_) return false;
    for (std::size_t i = 0; i < size_; ++i)
      if ((*this)[i] != other[i]) return false;
    return true;
  }
  // Calls use(units, size) with the text's own units, either width.
  template <class Use>
  decltype(auto) Visit(Use&& use) const {
    return narrow_ ? use(NarrowUnits(), size_) : use(WideUnits(), size_);
  }

 private:
  const void* data_ = nullptr;
  std::size_t size_ = 0;
  bool narrow_ = false;
};

// Whether every unit of the text is below U+0100, so that 8 bits hold each.
bool FitsNarrow(std::u16string_view text);

// A UTF-16 unit in upper case, as Windows compares texts ordinally without regard to case: each
// unit on its own (so σ and ς both become Σ, and surrogates stay as they are).
char16_t UpperUnit(char16_t unit);

// What a text holds, in few bits, so that a search rules most texts out without reading them.
// Every unit but a space sets the bit of its class in `units`: A to Z and 0 to 9 (in either
// case) each have a class of their own, every other upper case shares one of 27 classes. Each
// two units side by side, neither a space, set one of the 128 bits of `pairs`, chosen from
// their classes. Kept in 32-bit words, so that a table can add a word of its own to each
// without padding.
struct TextSignature {
  // One after the other, without padding: MayHold reads them as one.
  std::uint32_t units[2] = {0, 0};
  std::uint32_t pairs[4] = {0, 0, 0, 0};
  // Whether a text of this signature may hold everything that `needs` asks for.
  // Read as three 64-bit words, as a walk over a million signatures wants it.
  bool MayHold(const TextSignature& needs) const {
    std::uint64_t have[3], need[3];
    std::memcpy(have, this, sizeof have);
    std::memcpy(need, &needs, sizeof need);
    return (((have[0] & need[0]) ^ need[0]) | ((have[1] & need[1]) ^ need[1]) |
            ((have[2] & need[2]) ^ need[2])) == 0;
  }
  // The same for needs that hold no pair.
  bool MayHoldUnits(const TextSignature& needs) const {
    std::uint64_t have, need;
    std::memcpy(&have, this, sizeof have);
    std::memcpy(&need, &needs, sizeof need);
    return (have & need) == need;
  }
  bool operator==(const TextSignature&) const = default;
};
static_assert(sizeof(TextSignature) == 24);
TextSignature SignatureOf(CellText text);
inline TextSignature SignatureOf(std::u16string_view text) { return SignatureOf(CellText(text)); }

// A long text's 128 pair bits are mostly set (a text of 100 units sets about 70 of them), so
// that a word of several letters rules out too few texts. Such a text may have wide pairs as
// well: its pairs once more, chosen by another hash, in 64 bits for each of up to
// MostWideWords words. A row gets as many words as keep its signature within a share of
// the units it holds.
constexpr int MostWideWords = 6;
int WideWordsFor(std::size_t rowUnits);
void WidePairsOf(CellText text, std::uint64_t* words, int count);
inline void WidePairsOf(std::u16string_view text, std::uint64_t* words, int count) {
  WidePairsOf(CellText(text), words, count);
}

// The typed text as words: a text matches when it contains every word, in any order, without
// regard to case.
class TextQuery {
 public:
  TextQuery() = default;
  explicit TextQuery(std::u16string_view typed);

  // No words: every text matches.
  bool Empty() const { return words_.empty(); }
  bool Matches(CellText text) const;
  bool Matches(std::u16string_view text) const { return Matches(CellText(text)); }
  // The same, also telling about how many units of the text the test read (it stops at the
  // first place of each word), so that a caller can measure out its work.
  bool Matches(CellText text, std::size_t& read) const;
  bool Matches(std::u16string_view text, std::size_t& read) const { return Matches(CellText(text), read); }
  // True when every text this query matches is matched by `previous` as well, so that a filter
  // may look only at what `previous` matched.
  bool Narrows(const TextQuery& previous) const;
  bool operator==(const TextQuery& other) const;

  // The signature bits that every text this query matches has.
  const TextSignature& Needs() const { return needs_; }
  // Whether the query asks for any pair of units: a query of single units has no use for wide pairs.
  bool NeedsPairs() const { return needsPairs_; }
  // Whether a text whose wide pairs are `count` words at `words` may hold what the query asks for.
  bool WideMayHold(const std::uint64_t* words, int count) const {
    const std::uint64_t* needs = wideNeeds_[count - 1];
    std::uint64_t missing = 0;
    for (int k = 0; k < count; ++k) missing |= (words[k] & needs[k]) ^ needs[k];
    return missing == 0;
  }
  // True when a known signature holding Needs() is enough for a match: every word is one unit
  // of a class of its own (a letter or a digit).
  bool DecidedBySignature() const { return decided_; }
  // The one word of a query of one word, upper-cased; empty for any other query.
  std::u16string_view OnlyWord() const;
  // For a query of one word: the `units` bits of the units that follow the word's places in
  // the text (none for a place at the text's end). The text matches the word followed by a
  // letter or digit exactly when that unit's bit is set.
  std::uint64_t UnitsAfter(CellText text) const;
  std::uint64_t UnitsAfter(std::u16string_view text) const { return UnitsAfter(CellText(text)); }
  // The `units` bit of the units whose upper case is `upper` (not a space), and whether that
  // bit belongs to them alone.
  static std::uint64_t UpperBit(char16_t upper);
  static bool BitOfItsOwn(char16_t upper);

 private:
  struct Word {
    std::u16string upper;
    // Two units the scan looks for (the word's rarest, by a guess; the same one in a word of
    // one letter), each with every unit whose upper case it is. Only where both stand at their
    // places is the word compared whole.
    std::size_t probe[2] = {0, 0};
    std::u16string probeForms[2];
    // The first four forms of each, each repeated eight times, as the scan compares them.
    char16_t formBlocks[2][4][8] = {};
    // Where a unit's forms are one unit, or two that differ in one bit (A and a): that bit and
    // the form with it set, repeated eight times, so that one compare finds both forms.
    bool byBit[2] = {false, false};
    char16_t bitBlocks[2][2][8] = {};
    // The same for texts of 8-bit units, with the forms below U+0100, sixteen at a time. A word
    // with a unit that has no such form is in no such text.
    bool narrowPossible = true;
    std::size_t narrowForms[2] = {0, 0};
    std::uint8_t narrowFormBlocks[2][4][16] = {};
    bool narrowByBit[2] = {false, false};
    std::uint8_t narrowBitBlocks[2][2][16] = {};
  };
  // Where the word's first place in the text ends, or npos.
  template <class Unit>
  static std::size_t Find(const Unit* data, std::size_t size, const Word& word);
  template <class Unit>
  std::uint64_t UnitsAfterIn(const Unit* data, std::size_t size) const;

  std::vector<Word> words_;  // longest first: the likeliest to rule a text out
  TextSignature needs_;
  // For wide pairs of 1 to MostWideWords words, the bits needed in each.
  std::uint64_t wideNeeds_[MostWideWords][MostWideWords] = {};
  bool needsPairs_ = false;
  bool decided_ = false;
};

}  // namespace grid

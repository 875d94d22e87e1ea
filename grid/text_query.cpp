#include "grid/text_query.h"

#include <algorithm>
#include <array>
#include <bit>
#include <string>
#include <utility>
#include <vector>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define CM_TEXT_QUERY_SSE2 1
#endif

namespace grid {

namespace {

struct UpperRun {
  char16_t first, last;
  int offset, step;
};

constexpr UpperRun UpperRuns[] = {
#include "grid/upper_case_table.inc"
};

// The upper case of every unit, read while verifying candidates.
std::array<char16_t, 0x10000> MakeUpperTable() {
  std::array<char16_t, 0x10000> table{};
  for (std::size_t u = 0; u < table.size(); ++u) table[u] = static_cast<char16_t>(u);
  for (const UpperRun& run : UpperRuns) {
    for (int u = run.first; u <= run.last; u += run.step) table[u] = static_cast<char16_t>(u + run.offset);
  }
  return table;
}

// Made at start-up, in microseconds: as a constant it cost clang some 17 s of evaluation in each
// build of this file. (The tables below that read it are made after it: this file defines them
// later.)
const std::array<char16_t, 0x10000> UpperTable = MakeUpperTable();

// Every unit whose upper case is another unit, as (that upper case, the unit), in order: the
// forms a query's unit may take in a text are found here rather than by a walk over the whole
// table for each word typed.
const std::vector<std::pair<char16_t, char16_t>>& LowerForms() {
  static const std::vector<std::pair<char16_t, char16_t>> forms = [] {
    std::vector<std::pair<char16_t, char16_t>> found;
    for (std::size_t u = 0; u < UpperTable.size(); ++u) {
      if (UpperTable[u] != u) found.emplace_back(UpperTable[u], static_cast<char16_t>(u));
    }
    std::sort(found.begin(), found.end());
    return found;
  }();
  return forms;
}

// The units whose upper case is `upper`, in increasing order.
std::u16string FormsOf(char16_t upper) {
  const auto& lower = LowerForms();
  const auto first = std::lower_bound(lower.begin(), lower.end(), std::pair<char16_t, char16_t>(upper, 0));
  std::u16string forms;
  for (auto at = first; at != lower.end() && at->first == upper; ++at) forms.push_back(at->second);
  if (UpperTable[upper] == upper) forms.insert(std::lower_bound(forms.begin(), forms.end(), upper), upper);
  return forms;
}

// Word breaks: the ASCII controls and space, and the Unicode spaces.
constexpr bool IsSpace(char16_t unit) {
  return unit <= u' ' || unit == 0x00A0 || unit == 0x1680 || (unit >= 0x2000 && unit <= 0x200A) ||
         unit == 0x2028 || unit == 0x2029 || unit == 0x202F || unit == 0x205F || unit == 0x3000;
}

// How rare a unit (in upper case) is likely to be in the texts people copy, higher for rarer:
// English letter frequencies for A to Z, and everything outside ASCII taken as rare.
int Rarity(char16_t upper) {
  constexpr std::u16string_view ByFrequency = u"ETAOINSHRDLCUMWFGYPBVKJXQZ";
  if (upper >= 0x80) return 40;
  if (const std::size_t at = ByFrequency.find(upper); at != std::u16string_view::npos)
    return static_cast<int>(at);
  if (upper >= u'0' && upper <= u'9') return 20;
  return 25;
}

// Signature classes: A to Z, 0 to 9, then 27 classes that the other upper cases share. Spaces,
// which no word holds, have none.
constexpr unsigned OwnClasses = 36;
constexpr unsigned SharedClasses = 27;
constexpr std::uint8_t NoClass = 0xFF;

constexpr std::uint8_t ClassOfUpper(char16_t upper) {
  if (upper >= u'A' && upper <= u'Z') return static_cast<std::uint8_t>(upper - u'A');
  if (upper >= u'0' && upper <= u'9') return static_cast<std::uint8_t>(26 + upper - u'0');
  return static_cast<std::uint8_t>(OwnClasses + (upper * 40503u >> 4) % SharedClasses);
}

constexpr std::array<std::uint8_t, 0x10000> MakeClassTable() {
  std::array<std::uint8_t, 0x10000> table{};
  for (std::size_t u = 0; u < table.size(); ++u) {
    const char16_t unit = static_cast<char16_t>(u);
    table[u] = IsSpace(unit) ? NoClass : ClassOfUpper(UpperTable[u]);
  }
  return table;
}

// The class of every unit, through its upper case, as a text's signature is built. Made at
// start-up: as a constant it would take clang more evaluation steps than it allows.
const std::array<std::uint8_t, 0x10000> ClassTable = MakeClassTable();

// The `units` bit of each class, none for NoClass: a bit added without a branch.
constexpr std::array<std::uint64_t, 256> MakeClassBits() {
  std::array<std::uint64_t, 256> bits{};
  for (unsigned c = 0; c < OwnClasses + SharedClasses; ++c) bits[c] = std::uint64_t{1} << c;
  return bits;
}

constexpr std::array<std::uint64_t, 256> ClassBits = MakeClassBits();

// The `pairs` bit of two classes side by side, scattered so that common pairs seldom share one.
constexpr std::array<std::uint8_t, 64 * 64> MakePairTable() {
  std::array<std::uint8_t, 64 * 64> table{};
  for (std::uint64_t k = 0; k < table.size(); ++k)
    table[k] = static_cast<std::uint8_t>(k * 0x9E3779B97F4A7C15u >> 57);
  return table;
}

constexpr std::array<std::uint8_t, 64 * 64> PairTable = MakePairTable();

// The hash that places a pair among the wide pairs, another than PairTable's, so that a pair
// that shares its bit in `pairs` with the text's others seldom shares it in the wide ones too.
constexpr std::array<std::uint32_t, 64 * 64> MakeWidePairTable() {
  std::array<std::uint32_t, 64 * 64> table{};
  for (std::uint64_t k = 0; k < table.size(); ++k)
    table[k] = static_cast<std::uint32_t>((k + 1) * 0xD6E8FEB86659FD93u >> 32);
  return table;
}

constexpr std::array<std::uint32_t, 64 * 64> WidePairTable = MakeWidePairTable();

void SetPair(TextSignature& signature, unsigned before, unsigned now) {
  const unsigned bit = PairTable[before * 64 + now];
  signature.pairs[bit >> 5] |= std::uint32_t{1} << (bit & 31);
}

void SetUnit(TextSignature& signature, unsigned now) {
  signature.units[now >> 5] |= std::uint32_t{1} << (now & 31);
}

// The pair's bit among `bits` wide bits: its hash scaled to them, which needs no division.
void SetWidePair(std::uint64_t* words, std::uint64_t bits, unsigned before, unsigned now) {
  const std::uint64_t bit = WidePairTable[before * 64 + now] * bits >> 32;
  words[bit >> 6] |= std::uint64_t{1} << (bit & 63);
}

}  // namespace

char16_t UpperUnit(char16_t unit) { return UpperTable[unit]; }

bool FitsNarrow(std::u16string_view text) {
  // Every unit's high byte or'ed together, without a branch a unit, as a load reads every text.
  unsigned high = 0;
  for (const char16_t unit : text) high |= unit;
  return high < 0x100;
}

TextSignature SignatureOf(CellText text) {
  return text.Visit([](const auto* units, std::size_t size) {
    TextSignature signature;
    unsigned before = NoClass;
    for (std::size_t i = 0; i < size; ++i) {
      const unsigned now = ClassTable[units[i]];
      if (now != NoClass) {
        SetUnit(signature, now);
        if (before != NoClass) SetPair(signature, before, now);
      }
      before = now;
    }
    return signature;
  });
}

int WideWordsFor(std::size_t rowUnits) {
  // A row's signature (24 bytes), the table's word that finds its wide pairs, and the wide
  // pairs stay within 0.3 of the bytes its texts take in UTF-16 (its file line takes more).
  constexpr std::size_t Base = sizeof(TextSignature) + 4;
  const std::size_t share = rowUnits * 6 / 10;
  if (share < Base + 8) return 0;
  return static_cast<int>(std::min<std::size_t>(MostWideWords, (share - Base) / 8));
}

void WidePairsOf(CellText text, std::uint64_t* words, int count) {
  std::fill(words, words + count, std::uint64_t{0});
  const std::uint64_t bits = 64 * static_cast<std::uint64_t>(count);
  text.Visit([&](const auto* units, std::size_t size) {
    unsigned before = NoClass;
    for (std::size_t i = 0; i < size; ++i) {
      const unsigned now = ClassTable[units[i]];
      if (now != NoClass && before != NoClass) SetWidePair(words, bits, before, now);
      before = now;
    }
  });
}

std::uint64_t TextQuery::UpperBit(char16_t upper) { return std::uint64_t{1} << ClassOfUpper(upper); }

bool TextQuery::BitOfItsOwn(char16_t upper) { return ClassOfUpper(upper) < OwnClasses; }

TextQuery::TextQuery(std::u16string_view typed) {
  std::vector<std::u16string> words;
  std::size_t i = 0;
  while (i < typed.size()) {
    while (i < typed.size() && IsSpace(typed[i])) ++i;
    std::u16string word;
    while (i < typed.size() && !IsSpace(typed[i])) word.push_back(UpperUnit(typed[i++]));
    if (!word.empty()) words.push_back(std::move(word));
  }
  // A word inside another adds nothing; the longer words go first, as they rule out the most.
  std::stable_sort(words.begin(), words.end(),
                   [](const auto& a, const auto& b) { return a.size() > b.size(); });
  for (std::u16string& word : words) {
    const bool implied = std::any_of(words_.begin(), words_.end(), [&](const Word& kept) {
      return kept.upper.find(word) != std::u16string::npos;
    });
    if (implied) continue;
    Word w;
    w.upper = std::move(word);
    std::size_t rarest = 0;
    for (std::size_t k = 1; k < w.upper.size(); ++k) {
      if (Rarity(w.upper[k]) > Rarity(w.upper[rarest])) rarest = k;
    }
    std::size_t second = rarest;
    for (std::size_t k = 0; k < w.upper.size(); ++k) {
      if (k != rarest && w.upper[k] != w.upper[rarest] &&
          (second == rarest || Rarity(w.upper[k]) > Rarity(w.upper[second])))
        second = k;
    }
    w.probe[0] = std::min(rarest, second);
    w.probe[1] = std::max(rarest, second);
    for (int p = 0; p < 2; ++p) {
      const char16_t unit = w.upper[w.probe[p]];
      w.probeForms[p] = FormsOf(unit);
      const std::u16string& forms = w.probeForms[p];
      for (std::size_t f = 0; f < 4; ++f) {
        for (char16_t& unit : w.formBlocks[p][f]) unit = forms[std::min(f, forms.size() - 1)];
      }
      const char16_t bit = forms.size() == 2 ? static_cast<char16_t>(forms[0] ^ forms[1]) : 0;
      w.byBit[p] =
          forms.size() == 1 || (forms.size() == 2 && std::has_single_bit(static_cast<unsigned>(bit)));
      for (int k = 0; k < 8; ++k) {
        w.bitBlocks[p][0][k] = bit;
        w.bitBlocks[p][1][k] = static_cast<char16_t>(forms[0] | bit);
      }
      // Of those forms, the ones an 8-bit text may hold.
      std::u16string narrow;
      for (const char16_t form : forms)
        if (form < 0x100) narrow.push_back(form);
      w.narrowForms[p] = narrow.size();
      if (narrow.empty()) continue;
      for (std::size_t f = 0; f < 4; ++f) {
        for (std::uint8_t& unit : w.narrowFormBlocks[p][f])
          unit = static_cast<std::uint8_t>(narrow[std::min(f, narrow.size() - 1)]);
      }
      const unsigned narrowBit = narrow.size() == 2 ? static_cast<unsigned>(narrow[0] ^ narrow[1]) : 0;
      w.narrowByBit[p] = narrow.size() == 1 || (narrow.size() == 2 && std::has_single_bit(narrowBit));
      for (int k = 0; k < 16; ++k) {
        w.narrowBitBlocks[p][0][k] = static_cast<std::uint8_t>(narrowBit);
        w.narrowBitBlocks[p][1][k] = static_cast<std::uint8_t>(narrow[0] | narrowBit);
      }
    }
    // A unit whose every form is U+0100 or above rules out every 8-bit text.
    for (const char16_t unit : w.upper) {
      bool fits = false;
      for (std::size_t u = 0; u < 0x100 && !fits; ++u) fits = UpperTable[u] == unit;
      if (!fits) w.narrowPossible = false;
    }
    words_.push_back(std::move(w));
  }
  decided_ = !words_.empty();
  for (const Word& word : words_) {
    decided_ = decided_ && word.upper.size() == 1 && BitOfItsOwn(word.upper[0]);
    for (std::size_t k = 0; k < word.upper.size(); ++k) {
      // The word is upper-cased already; its classes are those of the units that have its upper case.
      const unsigned now = ClassOfUpper(word.upper[k]);
      SetUnit(needs_, now);
      if (k == 0) continue;
      needsPairs_ = true;
      const unsigned before = ClassOfUpper(word.upper[k - 1]);
      SetPair(needs_, before, now);
      for (int count = 1; count <= MostWideWords; ++count)
        SetWidePair(wideNeeds_[count - 1], 64 * static_cast<std::uint64_t>(count), before, now);
    }
  }
}

std::u16string_view TextQuery::OnlyWord() const {
  return words_.size() == 1 ? std::u16string_view(words_[0].upper) : std::u16string_view();
}

bool TextQuery::Matches(CellText text) const {
  std::size_t read = 0;
  return Matches(text, read);
}

bool TextQuery::Matches(CellText text, std::size_t& read) const {
  read = 0;
  return text.Visit([&](const auto* units, std::size_t size) {
    for (const Word& word : words_) {
      const std::size_t end = Find(units, size, word);
      read += end == std::u16string_view::npos ? size : end;
      if (end == std::u16string_view::npos) return false;
    }
    return true;
  });
}

bool TextQuery::Narrows(const TextQuery& previous) const {
  // Each earlier word inside one of ours: whatever holds our words holds the earlier ones.
  return std::all_of(previous.words_.begin(), previous.words_.end(), [&](const Word& earlier) {
    return std::any_of(words_.begin(), words_.end(), [&](const Word& word) {
      return word.upper.find(earlier.upper) != std::u16string::npos;
    });
  });
}

bool TextQuery::operator==(const TextQuery& other) const {
  return words_.size() == other.words_.size() &&
         std::equal(words_.begin(), words_.end(), other.words_.begin(),
                    [](const Word& a, const Word& b) { return a.upper == b.upper; });
}

namespace {

#ifdef CM_TEXT_QUERY_SSE2
__m128i Load(const void* units) { return _mm_loadu_si128(static_cast<const __m128i*>(units)); }

// Where in one load of units one of a probe unit's forms stands: eight UTF-16 units, two bits
// per unit, or sixteen 8-bit units, one bit per unit. Up to four forms, each compared.
template <class Unit>
struct EachForm {
  static constexpr std::size_t Units = 16 / sizeof(Unit);
  static constexpr unsigned Bits = sizeof(Unit);
  explicit EachForm(const Unit (*blocks)[Units]) {
    for (int f = 0; f < 4; ++f) forms[f] = Load(blocks[f]);
  }
  static __m128i Same(__m128i a, __m128i b) {
    if constexpr (sizeof(Unit) == 1) {
      return _mm_cmpeq_epi8(a, b);
    } else {
      return _mm_cmpeq_epi16(a, b);
    }
  }
  unsigned At(const Unit* data) const {
    const __m128i units = Load(data);
    __m128i hits = _mm_or_si128(Same(units, forms[0]), Same(units, forms[1]));
    hits = _mm_or_si128(hits, _mm_or_si128(Same(units, forms[2]), Same(units, forms[3])));
    return static_cast<unsigned>(_mm_movemask_epi8(hits));
  }
  __m128i forms[4];
};

// The same for forms that one bit tells apart: the bit set, one compare.
template <class Unit>
struct FormsByBit {
  static constexpr std::size_t Units = 16 / sizeof(Unit);
  static constexpr unsigned Bits = sizeof(Unit);
  explicit FormsByBit(const Unit (*blocks)[Units]) : bit(Load(blocks[0])), form(Load(blocks[1])) {}
  unsigned At(const Unit* data) const {
    return static_cast<unsigned>(
        _mm_movemask_epi8(EachForm<Unit>::Same(_mm_or_si128(Load(data), bit), form)));
  }
  __m128i bit, form;
};

// Calls whole(start) for the candidate starts in `mask` (Bits bits per start from `at`),
// until one holds the word.
template <unsigned Bits, class Whole>
bool AnyWhole(unsigned mask, std::size_t at, Whole& whole) {
  while (mask != 0) {
    const int bit = std::countr_zero(mask);
    if (whole(at + static_cast<std::size_t>(bit) / Bits)) return true;
    mask &= ~(((1u << Bits) - 1) << bit);
  }
  return false;
}

// The candidate starts before `end` (at least one load's worth): where both probe units stand
// in one of their forms. Two loads at a time, then a last load that may overlap the one before
// it, its starts already seen masked off.
template <class Probe, class Unit, class Whole>
bool ScanBlocks(const Unit* data, std::size_t end, std::size_t probeA, std::size_t probeB, const Probe& a,
                const Probe& b, Whole&& whole) {
  constexpr std::size_t N = Probe::Units;
  constexpr unsigned Bits = Probe::Bits;
  auto hits = [&](std::size_t at) { return a.At(data + at + probeA) & b.At(data + at + probeB); };
  std::size_t at = 0;
  for (; at + 2 * N <= end; at += 2 * N) {
    const unsigned mask = hits(at) | hits(at + N) << 16;
    if (mask != 0 && AnyWhole<Bits>(mask, at, whole)) return true;
  }
  if (at + N <= end) {
    if (AnyWhole<Bits>(hits(at), at, whole)) return true;
    at += N;
  }
  if (at < end) {
    const std::size_t last = end - N;
    const unsigned seen = (1u << (Bits * (at - last))) - 1;
    if (AnyWhole<Bits>(hits(last) & ~seen, last, whole)) return true;
  }
  return false;
}

// Calls add(place) for each place in `size` units (at least one load's worth) where one of
// the forms stands: two loads at a time, then a last that may overlap the one before it.
template <class Probe, class Unit, class Add>
void EachPlace(const Unit* data, std::size_t size, const Probe& forms, Add&& add) {
  constexpr std::size_t N = Probe::Units;
  constexpr unsigned Bits = Probe::Bits;
  auto addEach = [&](unsigned mask, std::size_t at) {
    while (mask != 0) {
      const int bit = std::countr_zero(mask);
      add(at + static_cast<std::size_t>(bit) / Bits);
      mask &= ~(((1u << Bits) - 1) << bit);
    }
  };
  std::size_t at = 0;
  for (; at + 2 * N <= size; at += 2 * N) addEach(forms.At(data + at) | forms.At(data + at + N) << 16, at);
  if (at + N <= size) {
    addEach(forms.At(data + at), at);
    at += N;
  }
  if (at < size) {
    const std::size_t last = size - N;
    addEach(forms.At(data + last) & ~((1u << (Bits * (at - last))) - 1), last);
  }
}
#endif

}  // namespace

// Looks for two units of the word in all their forms, a load of units at a time, and compares
// the word whole only where both stand. Comparing every unit through the upper-case table would
// be several times slower, and a word found nowhere makes the scan read every text.
template <class Unit>
std::size_t TextQuery::Find(const Unit* data, std::size_t size, const Word& word) {
  constexpr std::size_t None = std::u16string_view::npos;
  constexpr bool Narrow = sizeof(Unit) == 1;
  const std::size_t length = word.upper.size();
  if (length > size || (Narrow && !word.narrowPossible)) return None;
  const char16_t* const upper = word.upper.data();
  std::size_t found = None;
  auto whole = [&](std::size_t start) {
    for (std::size_t k = 0; k < length; ++k) {
      if (UpperTable[data[start + k]] != upper[k]) return false;
    }
    found = start + length;
    return true;
  };
  // The places where the word may start.
  const std::size_t end = size - length + 1;
#ifdef CM_TEXT_QUERY_SSE2
  constexpr std::size_t N = 16 / sizeof(Unit);
  const std::size_t pa = word.probe[0], pb = word.probe[1];
  if constexpr (Narrow) {
    if (end >= N && word.narrowForms[0] <= 4 && word.narrowForms[1] <= 4) {
      if (word.narrowByBit[0] && word.narrowByBit[1]) {
        ScanBlocks(data, end, pa, pb, FormsByBit<Unit>(word.narrowBitBlocks[0]),
                   FormsByBit<Unit>(word.narrowBitBlocks[1]), whole);
      } else {
        ScanBlocks(data, end, pa, pb, EachForm<Unit>(word.narrowFormBlocks[0]),
                   EachForm<Unit>(word.narrowFormBlocks[1]), whole);
      }
      return found;
    }
  } else {
    if (end >= N && word.probeForms[0].size() <= 4 && word.probeForms[1].size() <= 4) {
      // Most letters have two forms that one bit tells apart; the rest take the general compare.
      if (word.byBit[0] && word.byBit[1]) {
        ScanBlocks(data, end, pa, pb, FormsByBit<Unit>(word.bitBlocks[0]),
                   FormsByBit<Unit>(word.bitBlocks[1]), whole);
      } else {
        ScanBlocks(data, end, pa, pb, EachForm<Unit>(word.formBlocks[0]), EachForm<Unit>(word.formBlocks[1]),
                   whole);
      }
      return found;
    }
  }
#endif
  for (std::size_t at = 0; at < end; ++at) {
    if (whole(at)) return found;
  }
  return None;
}

std::uint64_t TextQuery::UnitsAfter(CellText text) const {
  if (words_.size() != 1) return 0;
  return text.Visit([&](const auto* units, std::size_t size) { return UnitsAfterIn(units, size); });
}

template <class Unit>
std::uint64_t TextQuery::UnitsAfterIn(const Unit* data, std::size_t size) const {
  constexpr bool Narrow = sizeof(Unit) == 1;
  const Word& word = words_[0];
  const std::size_t length = word.upper.size();
  std::uint64_t after = 0;
  if (Narrow && !word.narrowPossible) return after;
  // The bit of the unit at `at`, none past the text's end, added without a branch: the work
  // ahead runs over most of the history's texts.
  auto add = [&](std::size_t at) { after |= ClassBits[at < size ? ClassTable[data[at]] : NoClass]; };
#ifdef CM_TEXT_QUERY_SSE2
  // One letter, the usual word before the second is typed: each place of it, a load of units
  // at a time.
  constexpr std::size_t N = 16 / sizeof(Unit);
  if (length == 1 && size >= N) {
    if constexpr (Narrow) {
      if (word.narrowByBit[0]) {
        EachPlace(data, size, FormsByBit<Unit>(word.narrowBitBlocks[0]),
                  [&](std::size_t at) { add(at + 1); });
        return after;
      }
    } else {
      if (word.byBit[0]) {
        EachPlace(data, size, FormsByBit<Unit>(word.bitBlocks[0]), [&](std::size_t at) { add(at + 1); });
        return after;
      }
    }
  }
#endif
  // Every place of the word, overlapping ones too: each is looked for from the unit after the
  // start of the one before.
  for (std::size_t from = 0; from + length <= size;) {
    const std::size_t end = Find(data + from, size - from, word);
    if (end == std::u16string_view::npos) break;
    const std::size_t at = from + end;
    add(at);
    from = at - length + 1;
  }
  return after;
}

}  // namespace grid

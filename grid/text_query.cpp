#include "grid/text_query.h"

#include <algorithm>
#include <array>
#include <bit>

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

// Built by the compiler: the upper case of every unit, read while verifying candidates.
constexpr std::array<char16_t, 0x10000> MakeUpperTable() {
  std::array<char16_t, 0x10000> table{};
  for (std::size_t u = 0; u < table.size(); ++u) table[u] = static_cast<char16_t>(u);
  for (const UpperRun& run : UpperRuns) {
    for (int u = run.first; u <= run.last; u += run.step) table[u] = static_cast<char16_t>(u + run.offset);
  }
  return table;
}

constexpr std::array<char16_t, 0x10000> UpperTable = MakeUpperTable();

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

TextSignature SignatureOf(std::u16string_view text) {
  TextSignature signature;
  unsigned before = NoClass;
  for (const char16_t unit : text) {
    const unsigned now = ClassTable[unit];
    if (now != NoClass) {
      SetUnit(signature, now);
      if (before != NoClass) SetPair(signature, before, now);
    }
    before = now;
  }
  return signature;
}

int WideWordsFor(std::size_t rowUnits) {
  // A row's signature (24 bytes), the table's word that finds its wide pairs, and the wide
  // pairs stay within 0.3 of the bytes its texts take in UTF-16 (its file line takes more).
  constexpr std::size_t Base = sizeof(TextSignature) + 4;
  const std::size_t share = rowUnits * 6 / 10;
  if (share < Base + 8) return 0;
  return static_cast<int>(std::min<std::size_t>(MostWideWords, (share - Base) / 8));
}

void WidePairsOf(std::u16string_view text, std::uint64_t* words, int count) {
  std::fill(words, words + count, std::uint64_t{0});
  const std::uint64_t bits = 64 * static_cast<std::uint64_t>(count);
  unsigned before = NoClass;
  for (const char16_t unit : text) {
    const unsigned now = ClassTable[unit];
    if (now != NoClass && before != NoClass) SetWidePair(words, bits, before, now);
    before = now;
  }
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
      for (std::size_t u = 0; u < UpperTable.size(); ++u) {
        if (UpperTable[u] == unit) w.probeForms[p].push_back(static_cast<char16_t>(u));
      }
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

bool TextQuery::Matches(std::u16string_view text) const {
  std::size_t read = 0;
  return Matches(text, read);
}

bool TextQuery::Matches(std::u16string_view text, std::size_t& read) const {
  read = 0;
  for (const Word& word : words_) {
    const std::size_t end = Find(text, word);
    read += end == std::u16string_view::npos ? text.size() : end;
    if (end == std::u16string_view::npos) return false;
  }
  return true;
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
__m128i Load(const char16_t* units) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(units)); }

// Where in eight units one of a probe unit's forms stands: two bits per unit. Up to four
// forms, each compared.
struct EachForm {
  explicit EachForm(const char16_t (*blocks)[8]) {
    for (int f = 0; f < 4; ++f) forms[f] = Load(blocks[f]);
  }
  unsigned At(const char16_t* data) const {
    const __m128i units = Load(data);
    __m128i hits = _mm_or_si128(_mm_cmpeq_epi16(units, forms[0]), _mm_cmpeq_epi16(units, forms[1]));
    hits =
        _mm_or_si128(hits, _mm_or_si128(_mm_cmpeq_epi16(units, forms[2]), _mm_cmpeq_epi16(units, forms[3])));
    return static_cast<unsigned>(_mm_movemask_epi8(hits));
  }
  __m128i forms[4];
};

// The same for forms that one bit tells apart: the bit set, one compare.
struct FormsByBit {
  explicit FormsByBit(const char16_t (*blocks)[8]) : bit(Load(blocks[0])), form(Load(blocks[1])) {}
  unsigned At(const char16_t* data) const {
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_or_si128(Load(data), bit), form)));
  }
  __m128i bit, form;
};

// Calls whole(start) for the candidate starts in `mask` (two bits per start from `at`), until
// one holds the word.
template <class Whole>
bool AnyWhole(unsigned mask, std::size_t at, Whole& whole) {
  while (mask != 0) {
    const int bit = std::countr_zero(mask);
    if (whole(at + static_cast<std::size_t>(bit) / 2)) return true;
    mask &= ~(3u << bit);
  }
  return false;
}

// The candidate starts before `end` (at least eight of them): where both probe units stand in
// one of their forms. Sixteen starts at a time, then a last block of eight that may overlap
// the one before it, its starts already seen masked off.
template <class Probe, class Whole>
bool ScanBlocks(const char16_t* data, std::size_t end, std::size_t probeA, std::size_t probeB, const Probe& a,
                const Probe& b, Whole&& whole) {
  auto hits = [&](std::size_t at) { return a.At(data + at + probeA) & b.At(data + at + probeB); };
  std::size_t at = 0;
  for (; at + 16 <= end; at += 16) {
    const unsigned mask = hits(at) | hits(at + 8) << 16;
    if (mask != 0 && AnyWhole(mask, at, whole)) return true;
  }
  if (at + 8 <= end) {
    if (AnyWhole(hits(at), at, whole)) return true;
    at += 8;
  }
  if (at < end) {
    const std::size_t last = end - 8;
    const unsigned seen = (1u << (2 * (at - last))) - 1;
    if (AnyWhole(hits(last) & ~seen, last, whole)) return true;
  }
  return false;
}
#endif

}  // namespace

// Looks for two units of the word in all their forms, eight places at a time, and compares the
// word whole only where both stand. Comparing every unit through the upper-case table would be
// several times slower, and a word found nowhere makes the scan read every text.
std::size_t TextQuery::Find(std::u16string_view text, const Word& word) {
  constexpr std::size_t None = std::u16string_view::npos;
  const std::size_t length = word.upper.size();
  if (length > text.size()) return None;
  const char16_t* const data = text.data();
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
  const std::size_t end = text.size() - length + 1;
#ifdef CM_TEXT_QUERY_SSE2
  const std::size_t formsA = word.probeForms[0].size();
  const std::size_t formsB = word.probeForms[1].size();
  if (end >= 8 && formsA <= 4 && formsB <= 4) {
    // Most letters have two forms that one bit tells apart; the rest take the general compare.
    const std::size_t pa = word.probe[0], pb = word.probe[1];
    if (word.byBit[0] && word.byBit[1]) {
      ScanBlocks(data, end, pa, pb, FormsByBit(word.bitBlocks[0]), FormsByBit(word.bitBlocks[1]), whole);
    } else {
      ScanBlocks(data, end, pa, pb, EachForm(word.formBlocks[0]), EachForm(word.formBlocks[1]), whole);
    }
    return found;
  }
#endif
  for (std::size_t at = 0; at < end; ++at) {
    if (whole(at)) return found;
  }
  return None;
}

std::uint64_t TextQuery::UnitsAfter(std::u16string_view text) const {
  if (words_.size() != 1) return 0;
  const Word& word = words_[0];
  const std::size_t length = word.upper.size();
  std::uint64_t after = 0;
  // The bit of the unit at `at`, none past the text's end, added without a branch: the work
  // ahead runs over most of the history's texts.
  auto add = [&](std::size_t at) { after |= ClassBits[at < text.size() ? ClassTable[text[at]] : NoClass]; };
#ifdef CM_TEXT_QUERY_SSE2
  // One letter, the usual word before the second is typed: each place of it, sixteen at a
  // time, then a last block of eight that may overlap the one before it.
  if (length == 1 && word.byBit[0] && text.size() >= 8) {
    const FormsByBit forms(word.bitBlocks[0]);
    const char16_t* const data = text.data();
    const std::size_t size = text.size();
    // The places in `mask` (two bits per unit) from `at`.
    auto addEach = [&](unsigned mask, std::size_t at) {
      for (; mask != 0; mask &= mask - 1) {
        add(at + static_cast<std::size_t>(std::countr_zero(mask)) / 2 + 1);
        mask &= mask - 1;  // the second bit of the same unit
      }
    };
    std::size_t at = 0;
    for (; at + 16 <= size; at += 16) addEach(forms.At(data + at) | forms.At(data + at + 8) << 16, at);
    if (at + 8 <= size) {
      addEach(forms.At(data + at), at);
      at += 8;
    }
    if (at < size) {
      const std::size_t last = size - 8;
      addEach(forms.At(data + last) & ~((1u << (2 * (at - last))) - 1), last);
    }
    return after;
  }
#endif
  // Every place of the word, overlapping ones too: each is looked for from the unit after the
  // start of the one before.
  for (std::size_t from = 0; from + length <= text.size();) {
    const std::size_t end = Find(text.substr(from), word);
    if (end == std::u16string_view::npos) break;
    const std::size_t at = from + end;
    add(at);
    from = at - length + 1;
  }
  return after;
}

}  // namespace grid

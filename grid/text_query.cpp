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
bool IsSpace(char16_t unit) {
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

}  // namespace

char16_t UpperUnit(char16_t unit) { return UpperTable[unit]; }

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
    for (std::size_t k = 1; k < w.upper.size(); ++k) {
      if (Rarity(w.upper[k]) > Rarity(w.upper[w.probe])) w.probe = k;
    }
    const char16_t probe = w.upper[w.probe];
    for (std::size_t u = 0; u < UpperTable.size(); ++u) {
      if (UpperTable[u] == probe) w.probeForms.push_back(static_cast<char16_t>(u));
    }
    words_.push_back(std::move(w));
  }
}

bool TextQuery::Matches(std::u16string_view text) const {
  for (const Word& word : words_) {
    if (!Contains(text, word)) return false;
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

// Looks for the word's probe unit in all its forms, eight units at a time, and compares the
// word whole only where one is found. Comparing every unit through the upper-case table would
// be several times slower, and a word found nowhere makes the scan read every text.
bool TextQuery::Contains(std::u16string_view text, const Word& word) {
  const std::size_t length = word.upper.size();
  if (length > text.size()) return false;
  const char16_t* const data = text.data();
  const char16_t* const upper = word.upper.data();
  const std::size_t probe = word.probe;
  auto whole = [&](std::size_t at) {
    const char16_t* start = data + at - probe;
    for (std::size_t k = 0; k < length; ++k) {
      if (UpperTable[start[k]] != upper[k]) return false;
    }
    return true;
  };
  // Where the probe unit may stand: the word must fit around it.
  std::size_t at = probe;
  const std::size_t end = probe + (text.size() - length) + 1;
  const std::u16string_view forms = word.probeForms;
#ifdef CM_TEXT_QUERY_SSE2
  if (forms.size() <= 4) {
    const __m128i f0 = _mm_set1_epi16(static_cast<short>(forms[0]));
    const __m128i f1 = _mm_set1_epi16(static_cast<short>(forms[forms.size() > 1 ? 1 : 0]));
    const __m128i f2 = _mm_set1_epi16(static_cast<short>(forms[forms.size() > 2 ? 2 : 0]));
    const __m128i f3 = _mm_set1_epi16(static_cast<short>(forms[forms.size() > 3 ? 3 : 0]));
    for (; at + 8 <= end; at += 8) {
      const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
      __m128i hits = _mm_or_si128(_mm_cmpeq_epi16(units, f0), _mm_cmpeq_epi16(units, f1));
      hits = _mm_or_si128(hits, _mm_or_si128(_mm_cmpeq_epi16(units, f2), _mm_cmpeq_epi16(units, f3)));
      unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hits));
      while (mask != 0) {
        const int bit = std::countr_zero(mask);
        if (whole(at + static_cast<std::size_t>(bit) / 2)) return true;
        mask &= ~(3u << bit);
      }
    }
  }
#endif
  for (; at < end; ++at) {
    if (UpperTable[data[at]] == upper[probe] && whole(at)) return true;
  }
  return false;
}

}  // namespace grid

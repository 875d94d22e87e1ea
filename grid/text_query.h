// What the user typed into a search box, and whether a text matches it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace grid {

// A UTF-16 unit in upper case, as Windows compares texts ordinally without regard to case: each
// unit on its own (so σ and ς both become Σ, and surrogates stay as they are).
char16_t UpperUnit(char16_t unit);

// The typed text as words: a text matches when it contains every word, in any order, without
// regard to case.
class TextQuery {
 public:
  TextQuery() = default;
  explicit TextQuery(std::u16string_view typed);

  // No words: every text matches.
  bool Empty() const { return words_.empty(); }
  bool Matches(std::u16string_view text) const;
  // The same, also telling about how many units of the text the test read (it stops at the
  // first place of each word), so that a caller can measure out its work.
  bool Matches(std::u16string_view text, std::size_t& read) const;
  // True when every text this query matches is matched by `previous` as well, so that a filter
  // may look only at what `previous` matched.
  bool Narrows(const TextQuery& previous) const;
  bool operator==(const TextQuery& other) const;

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
  };
  // Where the word's first place in the text ends, or npos.
  static std::size_t Find(std::u16string_view text, const Word& word);

  std::vector<Word> words_;  // longest first: the likeliest to rule a text out
};

}  // namespace grid

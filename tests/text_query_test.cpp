#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "grid/text_query.h"

namespace text_query_test {

namespace {

using grid::CellText;
using grid::TextQuery;

// A text as a table keeps it: in 8 bits when every unit fits and the test asks for that width.
class Held {
 public:
  Held(std::u16string_view text, bool narrow) : wide_(text) {
    narrow_ = narrow && grid::FitsNarrow(text);
    for (char16_t unit : text) bytes_.push_back(static_cast<std::uint8_t>(unit));
  }
  operator CellText() const {
    return narrow_ ? CellText::Narrow(bytes_.data(), bytes_.size()) : CellText(std::u16string_view(wide_));
  }

 private:
  std::u16string wide_;
  std::vector<std::uint8_t> bytes_;
  bool narrow_ = false;
};

// Each search case runs on texts held in UTF-16 and on texts held in 8 bits.
class TextQueryWidth : public testing::TestWithParam<bool> {
 protected:
  Held Text(std::u16string_view text) const { return Held(text, GetParam()); }
  bool Match(std::u16string_view typed, std::u16string_view text) const {
    return TextQuery(typed).Matches(Text(text));
  }
};
INSTANTIATE_TEST_SUITE_P(Widths, TextQueryWidth, testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Narrow" : "Wide"; });

TEST_P(TextQueryWidth, EveryWord_InAnyOrder_AnywhereInTheText) {
  EXPECT_TRUE(Match(u"fox quick", u"the quick brown fox"));
  EXPECT_TRUE(Match(u"  brown\tthe\n", u"the quick brown fox"));
  EXPECT_TRUE(Match(u"ick own", u"the quick brown fox"));
  EXPECT_FALSE(Match(u"quick cat", u"the quick brown fox"));
  EXPECT_FALSE(Match(u"foxes", u"the quick brown fox"));
  // A word may stand at the very start or end, and be the whole text.
  EXPECT_TRUE(Match(u"the fox", u"the quick brown fox"));
  EXPECT_TRUE(Match(u"fox", u"fox"));
  EXPECT_FALSE(Match(u"fox", u"fo"));
  EXPECT_FALSE(Match(u"a", u""));
}

TEST_P(TextQueryWidth, EmptyOrBlank_MatchesEverything) {
  for (std::u16string_view typed : {u"", u"   ", u"\t\r\n", u"\u00A0\u3000"}) {
    TextQuery query(typed);
    EXPECT_TRUE(query.Empty());
    EXPECT_TRUE(query.Matches(Text(u"")));
    EXPECT_TRUE(query.Matches(Text(u"anything")));
  }
}

TEST_P(TextQueryWidth, CaseIsIgnored_AsWindowsUpperCasesEachUnit) {
  EXPECT_TRUE(Match(u"HELLO", u"say hello there"));
  EXPECT_TRUE(Match(u"hello", u"SAY HELLO THERE"));
  EXPECT_TRUE(Match(u"\u00E4rger", u"\u00C4RGER"));  // ä / Ä
  EXPECT_TRUE(Match(u"\u00C4rger", u"viel \u00E4rger"));
  EXPECT_TRUE(Match(u"\u043F\u0440\u0438\u0432\u0435\u0442", u"\u041F\u0420\u0418\u0412\u0415\u0422 world"));
  // Σ, σ and final ς all upper-case to Σ, so each finds the others.
  const std::u16string sigmas[] = {u"\u03A3", u"\u03C3", u"\u03C2"};
  for (const auto& typed : sigmas) {
    for (const auto& text : sigmas) EXPECT_TRUE(Match(u"\u03BF" + typed, u"\u039F" + text)) << int(typed[0]);
  }
  // Unlike a full case mapping, ß stays ß and does not match "SS"; the long s upper-cases to S.
  EXPECT_FALSE(Match(u"stra\u00DFe", u"STRASSE"));
  EXPECT_TRUE(Match(u"stra\u00DFe", u"Stra\u00DFe"));
  EXPECT_TRUE(Match(u"s", u"\u017F"));
  // Units below U+0100 whose upper case is above it: µ is found by Μ and μ, ÿ by Ÿ; a word with
  // a unit that no 8-bit unit upper-cases to is in no such text, and is still found in others.
  EXPECT_TRUE(Match(u"\u039C", u"10 \u00B5m"));
  EXPECT_TRUE(Match(u"\u03BCm", u"10 \u00B5M"));
  EXPECT_TRUE(Match(u"\u0178es", u"\u00FFes and more text after it"));
  EXPECT_FALSE(Match(u"\u0100", u"\u00C0\u00E0 A a and more text after it"));
  EXPECT_TRUE(Match(u"x\u00E0", u"\u0100 or X\u00C0"));
  // Surrogate pairs are compared unit by unit, as they are.
  EXPECT_TRUE(Match(u"\U0001F600", u"smile \U0001F600!"));
  EXPECT_FALSE(Match(u"\U00010428", u"\U00010400"));  // Deseret: outside the one-unit upper case
}

TEST_P(TextQueryWidth, LongTexts_FindWordsAcrossEveryOffset) {
  // The scan reads eight UTF-16 or sixteen 8-bit units at a time; the word must be found
  // wherever it starts and ends relative to those blocks, and near the end of the text.
  for (std::size_t size : {40u, 71u}) {
    for (std::size_t at = 0; at < size; ++at) {
      std::u16string text(size, u'x');
      text.replace(at, std::min<std::size_t>(5, size - at), std::u16string(u"Zebra").substr(0, size - at));
      const bool fits = at + 5 <= size;
      EXPECT_EQ(Match(u"zEbRa", text), fits) << at;
      // A candidate whose first units match but the rest do not is no match.
      std::u16string near(size, u'x');
      near.replace(at, std::min<std::size_t>(4, size - at), std::u16string(u"Zebx").substr(0, size - at));
      EXPECT_FALSE(Match(u"zebra", near)) << at;
      // A word whose letters have more than two forms (S, s and the long s; the 8-bit form of
      // the text has two of them) is found as well.
      std::u16string sister(size, u'x');
      sister.replace(at, std::min<std::size_t>(6, size - at), std::u16string(u"Sister").substr(0, size - at));
      EXPECT_EQ(Match(u"\u017FI\u017FTER", sister), at + 6 <= size) << at;
      std::u16string accented(size, u'x');
      accented.replace(at, std::min<std::size_t>(3, size - at),
                       std::u16string(u"\u00C9t\u00C9").substr(0, size - at));
      EXPECT_EQ(Match(u"\u00E9t\u00E9", accented), at + 3 <= size) << at;
    }
  }
}

TEST_P(TextQueryWidth, ReadUnits_StopAtEachWordsFirstPlace_OrTheWholeText) {
  std::size_t read = 0;
  const Held text = Text(u"the fox jumps over the fox" + std::u16string(100, u'.'));
  EXPECT_TRUE(TextQuery(u"FOX").Matches(text, read));
  EXPECT_EQ(read, 7u);
  EXPECT_TRUE(TextQuery(u"fox the").Matches(text, read));
  EXPECT_EQ(read, 7u + 3u);
  EXPECT_FALSE(TextQuery(u"fox cat").Matches(text, read));
  EXPECT_EQ(read, 7u + 126u);
}

TEST(TextQuery, Narrows_WhenEveryEarlierWordIsInsideANewOne) {
  const TextQuery empty(u"");
  const TextQuery fo(u"fo");
  const TextQuery fox(u"fox");
  EXPECT_TRUE(fox.Narrows(fo));
  EXPECT_TRUE(fox.Narrows(empty));
  EXPECT_TRUE(fox.Narrows(fox));
  EXPECT_FALSE(fo.Narrows(fox));
  EXPECT_FALSE(empty.Narrows(fox));
  EXPECT_TRUE(TextQuery(u"FOX brown").Narrows(fo));
  EXPECT_TRUE(TextQuery(u"brown fox").Narrows(TextQuery(u"ow x")));
  EXPECT_FALSE(TextQuery(u"brown fox").Narrows(TextQuery(u"ow cat")));
  EXPECT_TRUE(TextQuery(u"\u03C3\u03C3").Narrows(TextQuery(u"\u03C2")));
}

TEST(TextQuery, EqualQueries_IgnoreOrderSpacingAndCase) {
  EXPECT_TRUE(TextQuery(u"fox brown") == TextQuery(u"  BROWN   Fox "));
  EXPECT_TRUE(TextQuery(u"fox fo") == TextQuery(u"fox"));  // a word inside another adds nothing
  EXPECT_FALSE(TextQuery(u"fox") == TextQuery(u"fo"));
}

TEST(UpperUnit, FollowsTheOneUnitUpperCaseMapping) {
  EXPECT_EQ(grid::UpperUnit(u'a'), u'A');
  EXPECT_EQ(grid::UpperUnit(u'A'), u'A');
  EXPECT_EQ(grid::UpperUnit(u'1'), u'1');
  EXPECT_EQ(grid::UpperUnit(u'\u00FF'), u'\u0178');  // ÿ
  EXPECT_EQ(grid::UpperUnit(u'\u0101'), u'\u0100');  // runs of alternating pairs
  EXPECT_EQ(grid::UpperUnit(u'\u0100'), u'\u0100');
  EXPECT_EQ(grid::UpperUnit(u'\u0131'), u'I');                     // dotless i
  EXPECT_EQ(grid::UpperUnit(u'\u0130'), u'\u0130');                // capital I with dot stays
  EXPECT_EQ(grid::UpperUnit(u'\u212A'), u'\u212A');                // the Kelvin sign is its own upper case
  EXPECT_EQ(grid::UpperUnit(u'\uFF41'), u'\uFF21');                // fullwidth a
  EXPECT_EQ(grid::UpperUnit(char16_t{0xD801}), char16_t{0xD801});  // surrogate
}

// A text's signature and its wide pairs of any size never rule out a text that matches; where the query says
// the signature decides, it says exactly whether the text matches; and the units found after a word tell
// exactly whether the word with a letter or digit added matches.
TEST_P(TextQueryWidth, Signatures_NeverRuleOutAMatch_AndDecideExactlyWhereTheyClaimTo) {
  std::mt19937 random(3);
  // Letters in both cases, digits, units of shared classes, units whose upper case is a letter
  // (ſ, ı), σ and ς, a surrogate, and spaces.
  // In 8 bits, those that fit, and ÿ and µ whose upper cases do not.
  const std::u16string units =
      GetParam() ? u"aAbBsSzZ09.;\u00E9\u00C9\u00FF\u00B5iIkK \u00A0"
                 : u"aAbBsSzZ09.;\u00E9\u00C9\u017F\u0131iI\u03C3\u03C2\u03A3\U0001F600 \u00A0";
  auto draw = [&](int most) {
    std::u16string t;
    for (int k = static_cast<int>(random() % static_cast<unsigned>(most)); k > 0; --k)
      t.push_back(units[random() % units.size()]);
    return t;
  };
  for (int round = 0; round < 20000; ++round) {
    // Short texts, and some long enough for the scans' blocks of sixteen and their last block.
    const std::u16string wideText = draw(round % 4 == 0 ? 45 : 14);
    const Held text = Text(wideText);
    // Words typed may hold any unit, the 8-bit texts' upper cases among them.
    std::u16string typed = draw(4);
    if (GetParam() && round % 3 == 0) typed += u"\u0178\u039C\u017F\u212A"[random() % 4];
    const TextQuery query(typed);
    if (query.Empty()) continue;
    const bool matches = query.Matches(text);
    // Whichever width holds the text, the search tells the same.
    ASSERT_EQ(matches, query.Matches(std::u16string_view(wideText)));
    ASSERT_EQ(grid::SignatureOf(text), grid::SignatureOf(wideText));
    ASSERT_EQ(query.UnitsAfter(text), query.UnitsAfter(wideText));
    const bool mayHold = grid::SignatureOf(text).MayHold(query.Needs());
    ASSERT_TRUE(!matches || mayHold);
    for (int count = 1; count <= grid::MostWideWords; ++count) {
      std::uint64_t wide[grid::MostWideWords];
      grid::WidePairsOf(text, wide, count);
      ASSERT_TRUE(!matches || query.WideMayHold(wide, count)) << count;
    }
    ASSERT_TRUE(!query.DecidedBySignature() || mayHold == matches);
    const std::u16string_view word = query.OnlyWord();
    if (word.empty()) continue;
    for (char16_t next : std::u16string_view(u"aSz9\u00E9.I")) {
      const char16_t upper = grid::UpperUnit(next);
      const bool follows = (query.UnitsAfter(text) & TextQuery::UpperBit(upper)) != 0;
      const bool longer = TextQuery(std::u16string(word) + next).Matches(text);
      ASSERT_TRUE(!longer || follows);
      ASSERT_TRUE(!TextQuery::BitOfItsOwn(upper) || follows == longer);
    }
  }
}

}  // namespace
}  // namespace text_query_test

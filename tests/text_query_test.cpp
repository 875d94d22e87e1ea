#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "grid/text_query.h"

namespace {

using grid::TextQuery;

bool Match(std::u16string_view typed, std::u16string_view text) { return TextQuery(typed).Matches(text); }

TEST(TextQuery, EveryWord_InAnyOrder_AnywhereInTheText) {
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

TEST(TextQuery, EmptyOrBlank_MatchesEverything) {
  for (std::u16string_view typed : {u"", u"   ", u"\t\r\n", u"\u00A0\u3000"}) {
    TextQuery query(typed);
    EXPECT_TRUE(query.Empty());
    EXPECT_TRUE(query.Matches(u""));
    EXPECT_TRUE(query.Matches(u"anything"));
  }
}

TEST(TextQuery, CaseIsIgnored_AsWindowsUpperCasesEachUnit) {
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
  // Surrogate pairs are compared unit by unit, as they are.
  EXPECT_TRUE(Match(u"\U0001F600", u"smile \U0001F600!"));
  EXPECT_FALSE(Match(u"\U00010428", u"\U00010400"));  // Deseret: outside the one-unit upper case
}

TEST(TextQuery, LongTexts_FindWordsAcrossEveryOffset) {
  // The scan reads eight units at a time; the word must be found wherever it starts and ends
  // relative to those blocks, and near the end of the text.
  for (std::size_t at = 0; at < 40; ++at) {
    std::u16string text(40, u'x');
    text.replace(at, std::min<std::size_t>(5, 40 - at), std::u16string(u"Zebra").substr(0, 40 - at));
    const bool fits = at + 5 <= 40;
    EXPECT_EQ(Match(u"zEbRa", text), fits) << at;
    // A candidate whose first units match but the rest do not is no match.
    std::u16string near(40, u'x');
    near.replace(at, std::min<std::size_t>(4, 40 - at), std::u16string(u"Zebx").substr(0, 40 - at));
    EXPECT_FALSE(Match(u"zebra", near)) << at;
    // A word whose letters have more than two forms (S, s and the long s) is found as well.
    std::u16string sister(40, u'x');
    sister.replace(at, std::min<std::size_t>(6, 40 - at),
                   std::u16string(u"\u017Fi\u017Fter").substr(0, 40 - at));
    EXPECT_EQ(Match(u"SISTER", sister), at + 6 <= 40) << at;
  }
}

TEST(TextQuery, ReadUnits_StopAtEachWordsFirstPlace_OrTheWholeText) {
  std::size_t read = 0;
  const std::u16string text = u"the fox jumps over the fox" + std::u16string(100, u'.');
  EXPECT_TRUE(TextQuery(u"FOX").Matches(text, read));
  EXPECT_EQ(read, 7u);
  EXPECT_TRUE(TextQuery(u"fox the").Matches(text, read));
  EXPECT_EQ(read, 7u + 3u);
  EXPECT_FALSE(TextQuery(u"fox cat").Matches(text, read));
  EXPECT_EQ(read, 7u + text.size());
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
TEST(TextQuery, Signatures_NeverRuleOutAMatch_AndDecideExactlyWhereTheyClaimTo) {
  std::mt19937 random(3);
  // Letters in both cases, digits, units of shared classes, units whose upper case is a letter
  // (ſ, ı), σ and ς, a surrogate, and spaces.
  const std::u16string units = u"aAbBsSzZ09.;\u00E9\u00C9\u017F\u0131iI\u03C3\u03C2\u03A3\U0001F600 \u00A0";
  auto draw = [&](int most) {
    std::u16string t;
    for (int k = static_cast<int>(random() % static_cast<unsigned>(most)); k > 0; --k)
      t.push_back(units[random() % units.size()]);
    return t;
  };
  for (int round = 0; round < 20000; ++round) {
    // Short texts, and some long enough for the scans' blocks of sixteen and their last block.
    const std::u16string text = draw(round % 4 == 0 ? 45 : 14);
    const std::u16string typed = draw(4);
    const TextQuery query(typed);
    if (query.Empty()) continue;
    const bool matches = query.Matches(text);
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

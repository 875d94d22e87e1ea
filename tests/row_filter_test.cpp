#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "grid/row_filter.h"

namespace row_filter_test {

namespace {

using grid::LastRow;
using grid::RowFilter;
using grid::Table;
using grid::TextQuery;

Table TextTable() {
  return Table({{"N", u"#", grid::ColumnKind::Increment}, {"Text", u"Text", grid::ColumnKind::Text}});
}

// Every case runs on texts the table keeps in 8 bits and on texts it keeps in UTF-16: for the
// second, each text written gets a unit above U+00FF at its end, which no query asks for, and
// loses it again when read.
bool wideTexts = false;
constexpr char16_t WideMark = u'\u2116';

void Put(Table& table, int row, std::u16string text) {
  if (wideTexts) text.push_back(WideMark);
  table.SetCell(1, row, std::move(text));
}

std::u16string Read(const Table& table, int row) {
  std::u16string text = table.Cell(1, row);
  if (wideTexts && !text.empty() && text.back() == WideMark) text.pop_back();
  return text;
}

void Append(Table& table, std::u16string text) { Put(table, table.AppendRow(), std::move(text)); }

void Capture(Table& table, std::u16string text) {
  table.InsertRowAtTop();
  Put(table, 0, std::move(text));
}

class RowFilterTest : public testing::TestWithParam<bool> {
 protected:
  void SetUp() override { wideTexts = GetParam(); }
  void TearDown() override { wideTexts = false; }
};
INSTANTIATE_TEST_SUITE_P(Widths, RowFilterTest, testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Wide" : "Narrow"; });

// The shown rows' texts, top first, after the scan has run to its end.
std::vector<std::u16string> Shown(RowFilter& filter, const Table& table) {
  while (!filter.Step(1000)) {
  }
  std::vector<std::u16string> texts;
  for (int p = 0; p < filter.Count(); ++p) texts.push_back(Read(table, filter.RowAt(p)));
  return texts;
}

// What the filter must show: every row whose text matches, in table order.
std::vector<std::u16string> Expected(const Table& table, std::u16string_view typed) {
  TextQuery query(typed);
  std::vector<std::u16string> texts;
  for (int r = 0; r < table.RowCount(); ++r) {
    if (query.Matches(table.Cell(1, r))) texts.push_back(Read(table, r));
  }
  return texts;
}

using Texts = std::vector<std::u16string>;

TEST_P(RowFilterTest, ShowsMatchingRowsTopFirst_AndEveryRowWithoutAQuery) {
  Table table = TextTable();
  for (auto text : {u"red apple", u"green pear", u"Red cherry", u"blue plum"}) Append(table, text);
  RowFilter filter(table, 1);
  EXPECT_FALSE(filter.Active());
  EXPECT_EQ(filter.Count(), 4);
  EXPECT_EQ(filter.RowAt(2), 2);

  filter.SetQuery(TextQuery(u"red"));
  EXPECT_EQ(Shown(filter, table), (Texts{u"red apple", u"Red cherry"}));
  EXPECT_EQ(filter.RowAt(1), 2);
  EXPECT_EQ(filter.RowAt(2), -1);
  EXPECT_EQ(filter.RowAt(-1), -1);
  EXPECT_EQ(filter.PositionOf(2), 1);
  EXPECT_EQ(filter.PositionOf(1), -1);
  EXPECT_EQ(filter.PositionOf(7), -1);

  filter.SetQuery(TextQuery(u"  "));
  EXPECT_EQ(filter.Count(), 4);
  EXPECT_EQ(filter.PositionOf(1), 1);
}

TEST_P(RowFilterTest, SlicesOfAnySize_NarrowingAndWidening_GiveTheFullScansResult) {
  Table table = TextTable();
  std::mt19937 random(7);
  const std::u16string letters = u"abcde \u00E4\u00C4\u03C3\u03C2";
  for (int i = 0; i < 300; ++i) {
    std::u16string text;
    for (int k = random() % 30; k > 0; --k) text.push_back(letters[random() % letters.size()]);
    Append(table, text);
  }
  for (std::size_t budget : {std::size_t{1}, std::size_t{40}, std::size_t{100000}}) {
    RowFilter filter(table, 1);
    // Growing, then shrinking: each step narrows from earlier matches, scans anew, or shows a
    // result it has met before at once.
    std::vector<std::u16string> seen;
    for (std::u16string typed :
         {u"a", u"ab", u"abc", u"ab", u"\u00C4", u"\u00E4 \u03A3", u"\u00E4 \u03A3b", u"\u00C4", u""}) {
      filter.SetQuery(TextQuery(typed));
      const bool again = std::find(seen.begin(), seen.end(), typed) != seen.end();
      seen.push_back(typed);
      EXPECT_EQ(filter.Done(), again || typed.empty()) << budget;
      int steps = 0;
      while (!filter.Step(budget)) ++steps;
      Texts shown;
      for (int p = 0; p < filter.Count(); ++p) shown.push_back(Read(table, filter.RowAt(p)));
      EXPECT_EQ(shown, Expected(table, typed)) << budget;
      if (budget == 1 && !typed.empty() && !again) {
        EXPECT_GT(steps, 10);
      }
    }
  }
}

TEST_P(RowFilterTest, FollowsCapturesAppendsAndEditsOfTheTable) {
  Table table = TextTable();
  for (auto text : {u"one apple", u"two pears", u"three apples"}) Append(table, text);
  RowFilter filter(table, 1);
  filter.SetQuery(TextQuery(u"apple"));
  EXPECT_EQ(Shown(filter, table), (Texts{u"one apple", u"three apples"}));

  // A capture inserts an empty row, then writes its text: it shows once it matches.
  table.InsertRowAtTop();
  EXPECT_EQ(filter.Count(), 2);
  Put(table, 0, u"apple pie");
  EXPECT_EQ(Shown(filter, table), (Texts{u"apple pie", u"one apple", u"three apples"}));
  Capture(table, u"no fruit");
  EXPECT_EQ(filter.Count(), 3);

  // A few appended rows are tested at once; many join the scan.
  Append(table, u"crab apple");
  Append(table, u"plum");
  EXPECT_TRUE(filter.Done());
  EXPECT_EQ(filter.Count(), 4);
  for (int i = 0; i < 100; ++i) Append(table, i == 50 ? u"apple 50" : u"fig");
  EXPECT_FALSE(filter.Done());
  EXPECT_EQ(Shown(filter, table),
            (Texts{u"apple pie", u"one apple", u"three apples", u"crab apple", u"apple 50"}));
  for (int i = 0; i < 100; ++i) table.DeleteRow(LastRow);

  // Rewriting an older row moves it in or out of the view.
  Put(table, 3, u"two apples");  // was "two pears"
  Put(table, 2, u"one grape");   // was "one apple"
  EXPECT_EQ(Shown(filter, table), (Texts{u"apple pie", u"two apples", u"three apples", u"crab apple"}));

  // More writes than the table remembers still end in the right view.
  for (int i = 0; i < 100; ++i) Put(table, 0, i % 2 ? u"apple" : u"pear");
  Put(table, 4, u"grape");
  EXPECT_EQ(Shown(filter, table), Expected(table, u"apple"));
}

TEST_P(RowFilterTest, FollowsDeletes_ByKeyNotPosition) {
  Table table = TextTable();
  for (int i = 0; i < 10; ++i) Append(table, (i % 2 ? u"odd " : u"even ") + std::u16string(1, u'0' + i));
  RowFilter filter(table, 1);
  filter.SetQuery(TextQuery(u"odd"));
  EXPECT_EQ(Shown(filter, table), (Texts{u"odd 1", u"odd 3", u"odd 5", u"odd 7", u"odd 9"}));

  table.DeleteRow(3);  // "odd 3"
  table.DeleteRow(0);  // "even 0": the rows below move up, the view keeps its rows
  EXPECT_EQ(Shown(filter, table), (Texts{u"odd 1", u"odd 5", u"odd 7", u"odd 9"}));
  EXPECT_EQ(filter.RowAt(1), 3);

  table.SetRowSelected(filter.RowAt(0), true);
  table.SetRowSelected(filter.RowAt(3), true);
  table.SetRowSelected(1, true);  // "even 2"
  table.DeleteSelectedRows();
  EXPECT_EQ(Shown(filter, table), (Texts{u"odd 5", u"odd 7"}));

  table.RemoveAllRows();
  EXPECT_EQ(filter.Count(), 0);
  Capture(table, u"odd again");
  Append(table, u"even again");
  EXPECT_EQ(Shown(filter, table), (Texts{u"odd again"}));
}

TEST_P(RowFilterTest, ARowRewrittenAheadOfANarrowingScan_IsTestedByIt) {
  Table table = TextTable();
  for (int i = 0; i < 10; ++i) Append(table, u"apple " + std::u16string(1, u'0' + i));
  Append(table, u"pear");
  RowFilter filter(table, 1);
  filter.SetQuery(TextQuery(u"apple"));
  EXPECT_EQ(Shown(filter, table).size(), 10u);
  filter.SetQuery(TextQuery(u"apple 9"));  // scans the ten apples only
  EXPECT_FALSE(filter.Step(1));
  Put(table, 10, u"apple 99");  // the pear was no candidate
  Put(table, 0, u"apple 9");    // already passed by the scan
  EXPECT_EQ(Shown(filter, table), (Texts{u"apple 9", u"apple 9", u"apple 99"}));
}

// Changes of every kind between slices of a scan, in both kinds of scan, and with the edit
// log outrun: the view always ends as a fresh filter of the table would show it.
TEST_P(RowFilterTest, ChangesDuringAScan_EndInTheFreshResult) {
  std::mt19937 random(11);
  const std::u16string words[] = {u"cat", u"dog", u"Cattle", u"hotdog", u"bird", u""};
  auto text = [&] { return words[random() % 6] + u" " + words[random() % 6]; };
  for (int round = 0; round < 40; ++round) {
    Table table = TextTable();
    for (int i = 0; i < 60; ++i) Append(table, text());
    RowFilter filter(table, 1);
    const std::u16string queries[] = {u"ca", u"cat", u"cat do", u"o", u"dog"};
    for (const auto& typed : queries) {
      filter.SetQuery(TextQuery(typed));
      for (int op = 0; op < 30; ++op) {
        filter.Step(random() % 50);
        switch (random() % 8) {
          case 0:
            Capture(table, text());
            break;
          case 1:
            Append(table, text());
            break;
          case 2:
            if (table.RowCount() > 0) table.DeleteRow(static_cast<int>(random() % table.RowCount()));
            break;
          case 3:
            for (int r = 0; r < table.RowCount(); ++r) table.SetRowSelected(r, random() % 4 == 0);
            table.DeleteSelectedRows();
            break;
          case 4:
          case 5:
            if (table.RowCount() > 0) Put(table, static_cast<int>(random() % table.RowCount()), text());
            break;
          case 6:
            if (random() % 10 == 0) table.RemoveAllRows();
            break;
          case 7:
            if (random() % 8 != 0) break;
            for (int i = 0; i < 70 && table.RowCount() > 0; ++i)
              Put(table, static_cast<int>(random() % table.RowCount()), text());
            break;
        }
      }
      ASSERT_EQ(Shown(filter, table), Expected(table, typed)) << round << " " << int(typed.size());
      for (int p = 0; p < filter.Count(); ++p) ASSERT_EQ(filter.PositionOf(filter.RowAt(p)), p);
    }
  }
}

}  // namespace

namespace {

// The box as a user edits it: letters typed, Backspaces, a word pasted, Esc, each after any
// part of the scan before it, with captures and deletes in between; after every edit the
// finished view equals a plain scan.
TEST_P(RowFilterTest, EditsAtAnySpeed_EndInThePlainScansResult) {
  std::mt19937 random(23);
  // With units that share their upper case (ſ and s) and a signature class (. and é).
  const std::u16string letters = u"qQuoxX as\u017F.\u00E9";
  auto text = [&] {
    std::u16string t;
    for (int k = random() % 12; k > 0; --k) t.push_back(letters[random() % letters.size()]);
    return t;
  };
  for (int round = 0; round < 60; ++round) {
    Table table = TextTable();
    for (int i = 0; i < 200; ++i) Append(table, text());
    RowFilter filter(table, 1);
    std::u16string typed;
    for (int edit = 0; edit < 40; ++edit) {
      switch (random() % 6) {
        case 0:
        case 1:
          typed.push_back(letters[random() % letters.size()]);
          break;
        case 2:
          if (!typed.empty()) typed.pop_back();
          break;
        case 3:
          typed += text();
          break;
        case 4:
          if (random() % 3 == 0) typed.clear();
          break;
        case 5:
          if (random() % 2)
            Capture(table, text());
          else if (table.RowCount() > 0 && random() % 3 == 0)
            Put(table, static_cast<int>(random() % table.RowCount()), text());
          else if (table.RowCount() > 0)
            table.DeleteRow(static_cast<int>(random() % table.RowCount()));
          break;
      }
      filter.SetQuery(TextQuery(typed));
      // Slices that end with their budget, or earlier when a key is waiting. Asking for the
      // key may run a capture, a delete or an edit sent from elsewhere, or even a new query.
      auto stop = [&] {
        switch (random() % 12) {
          case 0:
            Capture(table, text());
            break;
          case 1:
            if (table.RowCount() > 0) table.DeleteRow(static_cast<int>(random() % table.RowCount()));
            break;
          case 2:
            if (table.RowCount() > 0) Put(table, static_cast<int>(random() % table.RowCount()), text());
            break;
          case 3:
            typed.push_back(letters[random() % letters.size()]);
            filter.SetQuery(TextQuery(typed));
            break;
        }
        return random() % 3 == 0;
      };
      for (int steps = random() % 4; steps > 0; --steps) filter.Step(random() % 400, stop);
      // A pause: the scan ends and some or all of the work ahead is done, before the next edit
      // or a change of the table.
      if (random() % 2 == 0 && filter.Step(1 << 20)) {
        for (int steps = random() % 4; steps > 0 && !filter.Prepare(random() % 400, stop); --steps) {
        }
      }
      if (random() % 4 == 0) {
        ASSERT_EQ(Shown(filter, table), Expected(table, typed)) << round << " " << edit;
      }
    }
    ASSERT_EQ(Shown(filter, table), Expected(table, typed)) << round;
  }
}

// After the work ahead, a letter typed on is answered from the matches alone; whatever the
// table did in between, the view is what a plain scan finds.
TEST_P(RowFilterTest, ALetterTypedAfterAPause_AfterAnyChangeOfTheTable_ShowsThePlainScansRows) {
  const std::vector<std::function<void(Table&)>> changes = {
      [](Table&) {},
      [](Table& t) { Capture(t, u"quid"); },
      [](Table& t) { Append(t, u"aqua"); },
      [](Table& t) { t.DeleteRow(1); },
      [](Table& t) { Put(t, 0, u"no match"); },
      [](Table& t) { Put(t, 2, u"Quiet"); },
      [](Table& t) {
        t.SetRowSelected(0, true);
        t.SetRowSelected(3, true);
        t.DeleteSelectedRows();
      },
      [](Table& t) {
        t.RemoveAllRows();
        Append(t, u"quo");
      },
  };
  for (std::size_t c = 0; c < changes.size(); ++c) {
    for (std::u16string_view next : {u"qu", u"qui", u"q\u00E9", u"qu q"}) {
      Table table = TextTable();
      for (std::u16string text : {u"Quote", u"quiz", u"q\u00C9", u"aq", u"equip", u"qQ"}) Append(table, text);
      RowFilter filter(table, 1);
      filter.SetQuery(TextQuery(u"q"));
      while (!filter.Step(1000) || !filter.Prepare(3)) {
      }
      changes[c](table);
      filter.SetQuery(TextQuery(next));
      EXPECT_EQ(Shown(filter, table), Expected(table, next))
          << c << " " << std::string(next.begin(), next.end());
    }
  }
}

// The work ahead goes with a word's kept result: typed again after other queries (a Backspace
// back to it), the word is typed on from it; after a change of the table, from a fresh scan.
TEST_P(RowFilterTest, AWordMetAgainAfterOtherQueries_IsTypedOnAsAPlainScanFinds) {
  for (const bool change : {false, true}) {
    for (std::u16string_view detour : {u"qu", u"x", u"qu q", u"", u"qi"}) {
      for (std::u16string_view next : {u"qu", u"qi", u"q\u00E9", u"qQ", u"qu q"}) {
        Table table = TextTable();
        for (std::u16string text : {u"Quote", u"quiz", u"q\u00C9", u"aq", u"equip", u"qQ", u"xq", u"QUIQ"})
          Append(table, text);
        RowFilter filter(table, 1);
        filter.SetQuery(TextQuery(u"q"));
        while (!filter.Step(1000) || !filter.Prepare(1000)) {
        }
        filter.SetQuery(TextQuery(detour));
        while (!filter.Step(1000) || !filter.Prepare(1000)) {
        }
        if (change) Capture(table, u"quip");
        filter.SetQuery(TextQuery(u"q"));
        ASSERT_EQ(Shown(filter, table), Expected(table, u"q"));
        filter.SetQuery(TextQuery(next));
        EXPECT_EQ(Shown(filter, table), Expected(table, next))
            << change << " " << std::string(detour.begin(), detour.end()) << " "
            << std::string(next.begin(), next.end());
      }
    }
  }
}

// The work ahead on its own thread, too long to be done at once: whatever the table does while
// it runs (or after it ended), the letter typed next shows what a plain scan finds.
TEST_P(RowFilterTest, TheWorkAheadAway_StoppedByAnyChangeOfTheTable_LeavesTheNextLetterThePlainScansRows) {
  std::mt19937 random(41);
  const std::u16string letters = u"qQuoxX as\u017F.\u00E9";
  auto text = [&] {
    std::u16string t;
    for (int k = 10 + random() % 40; k > 0; --k) t.push_back(letters[random() % letters.size()]);
    return t;
  };
  Table table = TextTable();
  for (int i = 0; i < 20000; ++i) Append(table, text());
  const std::vector<std::function<void()>> changes = {
      [] {},
      [&] { Capture(table, text()); },
      [&] { Append(table, text()); },
      [&] { table.DeleteRow(static_cast<int>(random() % table.RowCount())); },
      [&] { Put(table, static_cast<int>(random() % table.RowCount()), text()); },
      [&] {
        for (int k = 0; k < 50; ++k)
          table.SetRowSelected(static_cast<int>(random() % table.RowCount()), true);
        table.DeleteSelectedRows();
      },
      // A selection is not the rows' content: the work goes on.
      [&] { table.SetRowSelected(static_cast<int>(random() % table.RowCount()), true); },
  };
  for (int round = 0; round < 40; ++round) {
    RowFilter filter(table, 1);
    const std::u16string first(1, round % 2 ? u'q' : u'x');
    filter.SetQuery(TextQuery(first));
    while (!filter.Step(1 << 20)) {
    }
    ASSERT_FALSE(filter.PrepareAway()) << "small enough to be done at once";
    const bool waitForTheEnd = round % 5 == 0;
    if (waitForTheEnd) {
      while (!filter.PrepareAway()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    } else {
      std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
    }
    changes[random() % changes.size()]();
    // The work goes on after a change, from what the change left, or not.
    if (random() % 2) filter.PrepareAway();
    if (random() % 2) std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
    changes[random() % changes.size()]();
    const std::u16string next = first + letters[random() % letters.size()];
    filter.SetQuery(TextQuery(next));
    ASSERT_EQ(Shown(filter, table), Expected(table, next)) << round;
  }
}

}  // namespace
}  // namespace row_filter_test

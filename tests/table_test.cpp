#include "grid/table.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <functional>
#include <random>

#include "platform/errors.h"

namespace table_test {

namespace {

using grid::Column;
using grid::ColumnKind;
using grid::LastRow;
using grid::Table;

Table HistoryLikeTable() {
  return Table({{"IncrementColumn1", u"#", ColumnKind::Increment},
                {"Date", u"Date", ColumnKind::Text},
                {"Clipboadrs_history", u"Text", ColumnKind::Text}});
}

struct CountingObserver : grid::TableObserver {
  int calls = 0;
  void TableChanged() override { ++calls; }
};

TEST(Table, ColumnLookup_IgnoresAsciiCase_AndRejectsUnknownNames) {
  Table table = HistoryLikeTable();
  EXPECT_EQ(table.ColumnIndex("date"), 1);
  EXPECT_EQ(table.ColumnIndex("DATE"), 1);
  EXPECT_EQ(table.ColumnIndex("clipboadrs_HISTORY"), 2);
  EXPECT_THROW(table.ColumnIndex("Dates"), platform::Error);
  EXPECT_THROW(table.ColumnIndex(""), platform::Error);

  table.AppendRow();
  table.SetCell("CLIPBOADRS_history", 0, u"x");
  EXPECT_EQ(table.Cell("Clipboadrs_History", 0), u"x");
}

TEST(Table, IncrementCell_ShowsPositionInAppendedRows_AndZeroInRowsInsertedAtTop) {
  Table table = HistoryLikeTable();
  EXPECT_EQ(table.AppendRow(), 0);
  EXPECT_EQ(table.AppendRow(), 1);
  table.InsertRowAtTop();
  table.InsertRowAtTop();
  std::vector<std::u16string> numbers;
  for (int r = 0; r < table.RowCount(); ++r) numbers.push_back(table.Cell(0, r));
  EXPECT_EQ(numbers, (std::vector<std::u16string>{u"0", u"0", u"3", u"4"}));

  table.DeleteRow(0);  // appended rows follow their new position
  EXPECT_EQ(table.Cell(0, 1), u"2");
  EXPECT_EQ(table.Cell(0, LastRow), u"3");

  table.SetCell(0, 1, u"99");  // a written increment text has no effect
  EXPECT_EQ(table.Cell(0, 1), u"2");
  EXPECT_EQ(table.Cell(1, 1), u"");
}

TEST(Table, WritingACell_LeavesTheOtherCellsOfItsRowAlone) {
  Table table({{"A", u"", ColumnKind::Text},
               {"#", u"", ColumnKind::Increment},
               {"B", u"", ColumnKind::Text},
               {"C", u"", ColumnKind::Text}});
  table.AppendRow();
  table.SetCell("B", 0, u"bb");
  table.SetCell("A", 0, u"a");
  table.SetCell("C", 0, u"cccc");
  table.SetCell("B", 0, u"");
  table.SetCell("A", 0, u"longer text");
  EXPECT_EQ(
      table.Cell("A", 0) + u"|" + table.Cell("#", 0) + u"|" + table.Cell("B", 0) + u"|" + table.Cell("C", 0),
      u"longer text|1||cccc");

  const std::u16string cells[] = {u"x", u"99", u"y", u"z", u"surplus"};
  table.AppendRow(cells);
  EXPECT_EQ(table.Cell(0, 1) + table.Cell(1, 1) + table.Cell(2, 1) + table.Cell(3, 1), u"x2yz");
  table.AppendRow(std::span(cells, 1));
  EXPECT_EQ(table.Cell(0, 2) + table.Cell(3, 2), u"x");
}

TEST(Table, CellOfMissingRow_Throws) {
  Table table = HistoryLikeTable();
  EXPECT_THROW(table.Cell(1, LastRow), platform::Error);
  EXPECT_THROW(table.Cell("Date", 0), platform::Error);
  table.AppendRow();
  table.AppendRow();
  table.SetCell(1, LastRow, u"last");
  EXPECT_EQ(table.Cell(1, 1), u"last");
  EXPECT_THROW(table.Cell(1, 2), platform::Error);
  EXPECT_THROW(table.Cell(1, -1), platform::Error);
  EXPECT_THROW(table.SetCell(1, 2, u"x"), platform::Error);
  EXPECT_THROW(table.Cell(3, 0), platform::Error);
  EXPECT_THROW(table.DeleteRow(2), platform::Error);
  EXPECT_THROW(table.RowSelected(2), platform::Error);
}

TEST(Table, SelectionAndCurrentRow_MoveWithTheirRows) {
  Table table = HistoryLikeTable();
  for (int i = 0; i < 3; ++i) table.AppendRow();
  table.SetCell(2, 1, u"picked");
  table.SetRowSelected(1, true);
  table.SetCurrentRow(1);

  table.InsertRowAtTop();
  EXPECT_FALSE(table.RowSelected(1));
  EXPECT_TRUE(table.RowSelected(2));
  EXPECT_EQ(table.CurrentRow(), 2);
  EXPECT_EQ(table.Cell(2, table.CurrentRow()), u"picked");

  table.DeleteRow(0);
  EXPECT_TRUE(table.RowSelected(1));
  EXPECT_EQ(table.CurrentRow(), 1);

  table.AppendRow();  // appending leaves both alone
  EXPECT_EQ(table.CurrentRow(), 1);
  table.ClearSelection();
  EXPECT_FALSE(table.RowSelected(1));
}

TEST(Table, DeletingTheCurrentRow_MakesItsSuccessorOrTheNewLastRowCurrent) {
  Table table = HistoryLikeTable();
  for (int i = 0; i < 3; ++i) table.AppendRow();
  table.SetCurrentRow(1);
  table.DeleteRow(1);
  EXPECT_EQ(table.CurrentRow(), 1);
  table.DeleteRow(1);
  EXPECT_EQ(table.CurrentRow(), 0);
  table.DeleteRow(0);
  EXPECT_EQ(table.CurrentRow(), -1);

  table.AppendRow();
  table.SetCurrentRow(LastRow);
  EXPECT_EQ(table.CurrentRow(), 0);
  table.RemoveAllRows();
  EXPECT_EQ(table.RowCount(), 0);
  EXPECT_EQ(table.CurrentRow(), -1);
}

TEST(Table, Anchor_MovesWithItsRowThroughInsertsAndDeletes_AndGoesWithIt) {
  Table table = HistoryLikeTable();
  for (int i = 0; i < 4; ++i) table.AppendRow();
  table.SetCell(2, 2, u"anchored");
  table.SetAnchorRow(2);
  table.InsertRowAtTop();
  table.InsertRowAtTop();
  EXPECT_EQ(table.AnchorRow(), 4);
  EXPECT_EQ(table.Cell(2, table.AnchorRow()), u"anchored");
  table.DeleteRow(5);  // below it: stays
  table.DeleteRow(0);  // above it: moves up
  EXPECT_EQ(table.AnchorRow(), 3);
  EXPECT_EQ(table.Cell(2, table.AnchorRow()), u"anchored");
  table.DeleteRow(3);
  EXPECT_EQ(table.AnchorRow(), -1);

  table.SetAnchorRow(LastRow);
  EXPECT_EQ(table.AnchorRow(), 2);
  EXPECT_THROW(table.SetAnchorRow(3), platform::Error);
  table.RemoveAllRows();
  EXPECT_EQ(table.AnchorRow(), -1);
}

// Deletes the selected rows one at a time from the top, the way the one-pass delete must match.
void DeleteSelectedOneByOne(Table& table) {
  int i = 0;
  while (i < table.RowCount()) {
    if (table.RowSelected(i)) {
      table.DeleteRow(i);
    } else {
      ++i;
    }
  }
}

TEST(Table, DeleteSelectedRows_MatchesDeletingOneByOne_ForScatteredSelections) {
  // Every selection of 7 rows, with the current row and the anchor on each row in turn.
  constexpr int Rows = 7;
  for (unsigned mask = 0; mask < (1u << Rows); ++mask) {
    for (int mark = -1; mark < Rows; ++mark) {
      Table fast = HistoryLikeTable();
      Table slow = HistoryLikeTable();
      for (Table* t : {&fast, &slow}) {
        for (int r = 0; r < Rows; ++r) {
          t->SetCell(2, t->AppendRow(), std::u16string(1, static_cast<char16_t>(u'a' + r)));
          t->SetRowSelected(r, (mask >> r) & 1);
        }
        t->SetCurrentRow(mark);
        t->SetAnchorRow(mark);
      }
      const int deleted = fast.DeleteSelectedRows();
      DeleteSelectedOneByOne(slow);
      SCOPED_TRACE(testing::Message() << "mask " << mask << " mark " << mark);
      ASSERT_EQ(deleted, std::popcount(mask));
      ASSERT_EQ(fast.RowCount(), slow.RowCount());
      for (int r = 0; r < fast.RowCount(); ++r) {
        ASSERT_EQ(fast.Cell(2, r), slow.Cell(2, r));
        ASSERT_EQ(fast.Cell(0, r), slow.Cell(0, r));
        ASSERT_FALSE(fast.RowSelected(r));
      }
      ASSERT_EQ(fast.CurrentRow(), slow.CurrentRow());
      ASSERT_EQ(fast.AnchorRow(), slow.AnchorRow());
    }
  }
}

TEST(Table, DeleteSelectedRows_TellsTheObserverOnlyWhenARowWent) {
  Table table = HistoryLikeTable();
  CountingObserver observer;
  for (int i = 0; i < 3; ++i) table.AppendRow();
  table.SetObserver(&observer);
  EXPECT_EQ(table.DeleteSelectedRows(), 0);
  EXPECT_EQ(observer.calls, 0);
  table.SetRowSelected(1, true);
  EXPECT_EQ(table.DeleteSelectedRows(), 1);
  EXPECT_EQ(observer.calls, 2);
  EXPECT_EQ(table.RowCount(), 2);
}

// A close skips writing the file while the version stands still: a change that left it alone
// would be lost at the close.
TEST(Table, ContentVersion_MovesWithEveryChangeOfRowsOrTexts_NotWithTheSelection) {
  Table table = HistoryLikeTable();
  const std::u16string cells[] = {u"", u"date", u"text"};
  const std::vector<std::pair<const char*, std::function<void()>>> changes = {
      {"append", [&] { table.AppendRow(); }},
      {"append whole", [&] { table.AppendRow(cells); }},
      {"insert at top", [&] { table.InsertRowAtTop(); }},
      {"set cell", [&] { table.SetCell("Clipboadrs_history", 0, u"other"); }},
      {"delete row", [&] { table.DeleteRow(2); }},
      {"delete selected",
       [&] {
         table.SetRowSelected(0, true);
         table.DeleteSelectedRows();
       }},
      {"remove all", [&] { table.RemoveAllRows(); }},
  };
  for (const auto& [name, change] : changes) {
    const std::uint64_t before = table.ContentVersion();
    change();
    EXPECT_NE(table.ContentVersion(), before) << name;
  }
  table.AppendRow();
  table.AppendRow();
  const std::uint64_t before = table.ContentVersion();
  table.SetRowSelected(1, true);
  table.SetCurrentRow(0);
  table.SetAnchorRow(1);
  table.ClearSelection();
  EXPECT_EQ(table.ContentVersion(), before);
}

TEST(Table, RowsAppendedWhole_KeepTheirTextsThroughEveryChange) {
  Table table = HistoryLikeTable();
  const std::u16string longText(300'000, u'x');  // beyond what a shared block takes
  std::vector<std::u16string> expected;
  for (int i = 0; i < 5000; ++i) {
    const std::u16string text =
        i == 2500 ? longText : u"text " + std::u16string(static_cast<std::size_t>(i % 50), u'a');
    const std::u16string cells[] = {u"ignored", u"date", text};
    table.AppendRow(cells);
    expected.push_back(text);
  }
  table.SetCell(2, 10, u"changed");
  expected[10] = u"changed";
  table.SetCell(2, 11, u"");
  table.SetCell(1, 11, u"");
  expected[11] = u"";
  for (int r = 0; r < 5000; r += 3) table.SetRowSelected(r, true);
  table.DeleteSelectedRows();
  std::vector<std::u16string> kept;
  for (int r = 0; r < 5000; ++r)
    if (r % 3 != 0) kept.push_back(expected[static_cast<std::size_t>(r)]);
  table.InsertRowAtTop();
  table.SetCell(2, 0, u"captured");
  ASSERT_EQ(table.RowCount(), static_cast<int>(kept.size()) + 1);
  EXPECT_EQ(table.Cell(2, 0), u"captured");
  for (std::size_t i = 0; i < kept.size(); ++i)
    ASSERT_EQ(table.Cell(2, static_cast<int>(i) + 1), kept[i]) << i;
  EXPECT_EQ(table.Cell(1, 1), u"date");
  EXPECT_EQ(table.Cell(1, 8), u"");  // the row whose texts were all emptied

  Table moved = std::move(table);
  EXPECT_EQ(moved.Cell(2, 1), kept[0]);
  moved.RemoveAllRows();
  const std::u16string again[] = {u"", u"d", u"after"};
  moved.AppendRow(again);
  EXPECT_EQ(moved.Cell(2, 0), u"after");
}

TEST(Table, RowsAppendedWhole_LongerThanTheSharedBlockInUse_KeepTheirTexts) {
  // Each row is longer than the room the table has set aside so far; the sanitizer build
  // catches a row written past its block.
  Table table = HistoryLikeTable();
  std::vector<std::u16string> expected;
  for (std::size_t length : {10, 5'000, 20'000, 100'000, 200'000, 7}) {
    const std::u16string text(length, static_cast<char16_t>(u'a' + expected.size()));
    const std::u16string cells[] = {u"", u"date", text};
    table.AppendRow(cells);
    expected.push_back(text);
  }
  for (std::size_t i = 0; i < expected.size(); ++i)
    EXPECT_EQ(table.Cell(2, static_cast<int>(i)), expected[i]);
}

TEST(Table, Observer_IsToldOfEachChange_AndOnceWhenNestedUpdatesEnd) {
  Table table = HistoryLikeTable();
  CountingObserver observer;
  table.SetObserver(&observer);

  table.AppendRow();
  table.SetCell(1, 0, u"a");
  table.SetRowSelected(0, true);
  EXPECT_EQ(observer.calls, 3);

  table.BeginUpdate();
  table.BeginUpdate();
  table.InsertRowAtTop();
  table.DeleteRow(0);
  table.RemoveAllRows();
  table.EndUpdate();
  EXPECT_EQ(observer.calls, 3);
  EXPECT_EQ(table.UpdateCount(), 1);
  table.EndUpdate();
  EXPECT_EQ(observer.calls, 4);

  table.EndUpdate();  // unmatched: ignored, and later changes still reach the observer
  EXPECT_EQ(table.UpdateCount(), 0);
  table.AppendRow();
  EXPECT_EQ(observer.calls, 5);
}

// Once a search has asked for them, each row's signature is that of its text through every way
// rows come and go: a signature left behind by a delete or an insert would rule out a row
// that matches.
TEST(Table, Signatures_FollowEveryChangeOfTheRows) {
  Table table = HistoryLikeTable();
  const int text = table.ColumnIndex("Clipboadrs_history");
  auto check = [&](const char* after) {
    for (int row = 0; row < table.RowCount(); ++row)
      ASSERT_EQ(table.Signature(text, row), grid::SignatureOf(table.Cell(text, row)))
          << after << " row " << row;
  };
  for (std::u16string t : {u"alpha", u"Beta 7", u"", u"gamma\u00E9"}) {
    const std::u16string cells[] = {u"", u"1/1/2026", t};
    table.AppendRow(cells);
  }
  EXPECT_FALSE(table.KeepsSignatures(text));
  table.KeepSignatures(text);
  EXPECT_TRUE(table.KeepsSignatures(text));
  check("keeping them");
  table.InsertRowAtTop();
  check("an insert at the top");
  table.SetCell(text, 0, u"captured");
  check("a capture's text");
  table.SetCell(text, LastRow, u"rewritten");
  check("a rewrite");
  const std::u16string cells[] = {u"", u"", u"imported"};
  table.AppendRow(cells);
  table.AppendRow();
  check("appends");
  const std::u16string_view views[] = {u"", u"1/2/2026", u"added whole"};
  table.AddRow(views, false);
  table.AddRow(views, true);
  check("rows added whole, at the top and at the bottom");
  table.DeleteRow(2);
  check("a delete");
  std::vector<bool> doomed(static_cast<std::size_t>(table.RowCount()), false);
  doomed[1] = doomed.back() = true;
  table.DeleteRows(doomed);
  check("the rows a limit removes");
  for (int row : {0, 3, 4}) table.SetRowSelected(row, true);
  table.DeleteSelectedRows();
  check("deleting the selected rows");
  table.RemoveAllRows();
  table.AppendRow(cells);
  table.InsertRowAtTop();
  table.SetCell(text, 0, u"after clearing");
  check("clearing all");
  EXPECT_EQ(table.RowCount(), 2);
}

// Signed in slices while rows come and go in between: once the slices end, every row has its own
// text's signature, and its wide pairs (which long texts have) never rule out a word of its own
// text, though rows were added, rewritten and deleted above, inside and below the signed part.
TEST(Table, SignaturesMadeInSlices_StayRightThroughChangesBetweenTheSlices) {
  for (unsigned seed = 1; seed <= 20; ++seed) {
    Table table = HistoryLikeTable();
    const int text = table.ColumnIndex("Clipboadrs_history");
    std::mt19937 random(seed);
    auto someText = [&] {
      std::u16string t;
      for (int k = static_cast<int>(random() % 160); k > 0; --k)
        t.push_back(static_cast<char16_t>(u'a' + random() % 26));
      return t;
    };
    for (int i = 0; i < 200; ++i) {
      const std::u16string cells[] = {u"", u"1/1/2026", someText()};
      table.AppendRow(cells);
    }
    EXPECT_FALSE(table.SignAhead(text, 100));
    EXPECT_FALSE(table.KeepsSignatures(text));
    for (int step = 0; !table.SignAhead(text, 60); ++step) {
      ASSERT_LT(step, 10000);
      switch (random() % 7) {
        case 0: {
          const std::u16string added = someText();
          const std::u16string_view cells[] = {u"", u"", added};
          table.AddRow(cells, false);
          break;
        }
        case 1: {
          const std::u16string cells[] = {u"", u"", someText()};
          table.AppendRow(cells);
          break;
        }
        case 2:
          if (table.RowCount() > 0) table.DeleteRow(static_cast<int>(random() % table.RowCount()));
          break;
        case 3:
          if (table.RowCount() > 0)
            table.SetCell(text, static_cast<int>(random() % table.RowCount()), someText());
          break;
        case 4: {
          std::vector<bool> doomed(static_cast<std::size_t>(table.RowCount()));
          for (std::size_t k = 0; k < doomed.size(); ++k) doomed[k] = random() % 16 == 0;
          table.DeleteRows(doomed);
          break;
        }
        case 5:
          table.InsertRowAtTop();
          break;
        case 6:
          if (random() % 20 == 0) table.RemoveAllRows();
          break;
      }
    }
    EXPECT_TRUE(table.KeepsSignatures(text));
    for (int row = 0; row < table.RowCount(); ++row) {
      const std::u16string cell = table.Cell(text, row);
      ASSERT_EQ(table.Signature(text, row), grid::SignatureOf(cell)) << "seed " << seed << " row " << row;
      for (std::size_t at = 0; at + 5 <= cell.size(); at += 5) {
        const grid::TextQuery word(cell.substr(at, 5));
        ASSERT_TRUE(table.TestOf(text, word)(table.Signed(text, row))) << "seed " << seed << " row " << row;
      }
    }
  }
}

// A long text moved into a row keeps its storage: it is held once, and a reader that keeps that
// storage may read it after the row has gone or changed.
TEST(Table, LongTextMovedIn_KeepsItsStorageAndReadsLikeAnyOther) {
  Table table = HistoryLikeTable();
  const int date = table.ColumnIndex("Date");
  const int text = table.ColumnIndex("Clipboadrs_history");
  table.KeepSignatures(text);
  std::u16string longText(Table::OwnStorageUnits, u'x');
  longText.back() = u'y';
  const std::u16string expected = longText;
  const char16_t* storage = longText.data();
  std::u16string cells[] = {u"ignored", u"1/1/2026 9:30:01", std::move(longText)};
  table.AddRow(cells, false);
  const std::u16string_view shortCells[] = {u"", u"1/1/2026", u"short"};
  table.AddRow(shortCells, false);

  std::u16string scratch;
  EXPECT_EQ(table.CellView(text, 1, scratch).data(), storage);
  EXPECT_EQ(table.Cell(text, 1), expected);
  EXPECT_EQ(table.Cell(date, 1), u"1/1/2026 9:30:01");
  EXPECT_EQ(table.Cell("IncrementColumn1", 1), u"0");
  EXPECT_EQ(table.Signature(text, 1), grid::SignatureOf(expected));
  std::vector<std::u16string> visited;
  table.VisitTexts(text, 0, [&](grid::RowKey, std::u16string_view t) {
    visited.emplace_back(t);
    return true;
  });
  EXPECT_EQ(visited, (std::vector<std::u16string>{u"short", expected}));

  const std::shared_ptr<const std::u16string> kept = table.SharedText(text, 1);
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(kept->data(), storage);
  EXPECT_EQ(table.SharedText(text, 0), nullptr) << "a short text lives in the row's block";
  EXPECT_EQ(table.SharedText(date, 1), nullptr);

  // The row's other cell changes: the long text stays where it was.
  table.SetCell(date, 1, u"2/2/2026");
  EXPECT_EQ(table.CellView(text, 1, scratch).data(), storage);
  EXPECT_EQ(table.Cell(date, 1), u"2/2/2026");
  table.DeleteRow(1);
  EXPECT_EQ(*kept, expected) << "read on after its row went";
  EXPECT_EQ(table.RowCount(), 1);
}

TEST(Table, LongTextSetOrAppended_IsStoredExactlyWhateverItsCells) {
  Table table = HistoryLikeTable();
  const int text = table.ColumnIndex("Clipboadrs_history");
  std::u16string longText(Table::OwnStorageUnits + 3, u'\n');
  longText[0] = u'\xD83D';  // half a pair, as a copy may hold
  const std::u16string expected = longText;
  table.AppendRow();
  table.SetCell(text, 0, std::move(longText));
  EXPECT_EQ(table.Cell(text, 0), expected);
  EXPECT_NE(table.SharedText(text, 0), nullptr);
  table.SetCell(text, 0, u"short again");
  EXPECT_EQ(table.Cell(text, 0), u"short again");
  EXPECT_EQ(table.SharedText(text, 0), nullptr);
  // A long date beside an empty text: the longest cell is the one kept apart.
  std::u16string cells[] = {u"", std::u16string(Table::OwnStorageUnits, u'1'), u""};
  table.AddRow(cells, true);
  EXPECT_EQ(table.Cell("Date", 1), std::u16string(Table::OwnStorageUnits, u'1'));
  EXPECT_EQ(table.Cell(text, 1), u"");
  EXPECT_NE(table.SharedText(table.ColumnIndex("Date"), 1), nullptr);
  // One text below the threshold is copied into the row as any other.
  std::u16string below(Table::OwnStorageUnits - 1, u'b');
  std::u16string more[] = {u"", u"d", below};
  table.AddRow(more, true);
  EXPECT_EQ(table.Cell(text, 2), std::u16string(Table::OwnStorageUnits - 1, u'b'));
  EXPECT_EQ(table.SharedText(text, 2), nullptr);
  table.RemoveAllRows();
  EXPECT_EQ(table.RowCount(), 0);
}

}  // namespace

namespace {

Table ThreeTextColumns() {
  return Table({{"IncrementColumn1", u"#", ColumnKind::Increment},
                {"Date", u"Date", ColumnKind::Text},
                {"Clipboadrs_history", u"Text", ColumnKind::Text},
                {"Items", u"Items", ColumnKind::Text}});
}

// Texts whose units all fit in 8 bits are kept so; every text comes back exactly, whatever the
// widths of the texts beside it (a UTF-16 text after an 8-bit one of odd length among them).
TEST(Table, TextsOfEitherWidth_ComeBackExactly_ThroughEveryWayIn) {
  const std::u16string texts[] = {u"",
                                  u"a",
                                  u"odd",
                                  u"caf\u00E9 \u00FF\u00B5\u00A0",
                                  std::u16string(u"nul\0inside", 10),
                                  u"\u0416\u0436 wide",
                                  u"x\u0100",
                                  u"\U0001F600",
                                  std::u16string(300, u'\u00E9') + u"\u20AC"};
  std::mt19937 random(5);
  auto pick = [&] { return texts[random() % std::size(texts)]; };
  Table table = ThreeTextColumns();
  std::vector<std::array<std::u16string, 3>> expected;  // from the top
  for (int round = 0; round < 300; ++round) {
    std::array<std::u16string, 3> row = {pick(), pick(), pick()};
    std::u16string cells[4] = {u"", row[0], row[1], row[2]};
    switch (round % 4) {
      case 0:
        table.AppendRow(std::span<const std::u16string>(cells));
        expected.push_back(row);
        break;
      case 1: {
        const std::u16string_view views[4] = {cells[0], cells[1], cells[2], cells[3]};
        table.AddRow(std::span<const std::u16string_view>(views), false);
        expected.insert(expected.begin(), row);
        break;
      }
      case 2:
        table.AddRow(std::span<std::u16string>(cells), true);
        expected.push_back(row);
        break;
      case 3: {
        // One cell rewritten, of the same width or another.
        const int at = static_cast<int>(random() % expected.size());
        const int column = 1 + static_cast<int>(random() % 3);
        std::u16string text = pick();
        expected[static_cast<std::size_t>(at)][static_cast<std::size_t>(column - 1)] = text;
        table.SetCell(column, at, text);
        break;
      }
    }
  }
  ASSERT_EQ(table.RowCount(), static_cast<int>(expected.size()));
  std::u16string scratch;
  for (int row = 0; row < table.RowCount(); ++row) {
    for (int column = 1; column <= 3; ++column) {
      const std::u16string& want =
          expected[static_cast<std::size_t>(row)][static_cast<std::size_t>(column - 1)];
      ASSERT_EQ(table.Cell(column, row), want) << row << " " << column;
      const grid::CellText held = table.TextAt(column, row, scratch);
      EXPECT_EQ(held.IsNarrow(), grid::FitsNarrow(want));
      EXPECT_TRUE(held == grid::CellText(want));
    }
  }
  // The signatures are those of the texts, whatever their width.
  const int text = table.ColumnIndex("Clipboadrs_history");
  table.KeepSignatures(text);
  for (int row = 0; row < table.RowCount(); ++row)
    ASSERT_EQ(table.Signature(text, row), grid::SignatureOf(table.Cell(text, row))) << row;
}

// A row keeps a length only for its texts that are not empty among the first sixteen columns,
// and for every column past them: a table of many columns, with empty texts anywhere, a long
// text kept in its own string among them and cells rewritten empty and back, reads every cell
// back exactly.
TEST(Table, ManyColumns_WithEmptyTextsAnywhere_ComeBackExactly) {
  constexpr int TextColumns = 19;
  std::vector<Column> columns = {{"IncrementColumn1", u"#", ColumnKind::Increment}};
  for (int k = 0; k < TextColumns; ++k) columns.push_back({"C" + std::to_string(k), u"", ColumnKind::Text});
  Table table(columns);
  const std::u16string texts[] = {u"", u"", u"a", u"odd", u"\u0416 wide", u"x\u0100y", u"caf\u00E9"};
  std::mt19937 random(11);
  auto pick = [&] { return texts[random() % std::size(texts)]; };
  std::vector<std::vector<std::u16string>> expected;  // from the top
  for (int round = 0; round < 200; ++round) {
    std::vector<std::u16string> cells(TextColumns + 1);
    for (int k = 1; k <= TextColumns; ++k) cells[static_cast<std::size_t>(k)] = pick();
    if (round % 25 == 3) {
      // A text long enough to keep its own string, the skipped slot among the others.
      cells[static_cast<std::size_t>(1 + random() % TextColumns)] =
          std::u16string(Table::OwnStorageUnits, u'L');
    }
    expected.insert(expected.begin(), cells);
    table.AddRow(std::span<std::u16string>(cells), false);
    if (round % 3 == 2) {
      const int at = static_cast<int>(random() % expected.size());
      const int column = 1 + static_cast<int>(random() % TextColumns);
      const std::u16string text = pick();
      expected[static_cast<std::size_t>(at)][static_cast<std::size_t>(column)] = text;
      table.SetCell(column, at, text);
    }
  }
  for (int row = 0; row < table.RowCount(); ++row) {
    for (int column = 1; column <= TextColumns; ++column) {
      ASSERT_EQ(table.Cell(column, row),
                expected[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)])
          << row << " " << column;
    }
  }
}

TEST(Table, RowsMovedInFromAnotherTable_GoBelow_KeepTheirTexts_AndAreSignedAfterTheOthers) {
  Table list = ThreeTextColumns();
  const std::u16string first[4] = {u"", u"d1", u"on top", u""};
  list.AppendRow(std::span<const std::u16string>(first));
  const int text = list.ColumnIndex("Clipboadrs_history");
  list.KeepSignatures(text);
  Table batch = ThreeTextColumns();
  for (int n = 0; n < 3000; ++n) {
    const std::u16string cells[4] = {u"", u"d", (n % 2 ? u"\u0416" : u"row ") + std::u16string(n % 50, u'x'),
                                     u""};
    batch.AppendRow(std::span<const std::u16string>(cells));
  }
  // Rows not signed wait for the signing.
  const std::u16string unsigned_[4] = {u"", u"d", u"waits", u""};
  Table waiting = ThreeTextColumns();
  waiting.AppendRow(std::span<const std::u16string>(unsigned_));
  Table signedList = ThreeTextColumns();
  signedList.AppendRow(std::span<const std::u16string>(first));
  signedList.KeepSignatures(text);
  signedList.AppendRowsOf(waiting);
  EXPECT_FALSE(signedList.KeepsSignatures(text));
  signedList.KeepSignatures(text);
  EXPECT_EQ(signedList.Signature(text, 1), grid::SignatureOf(u"waits"));

  batch.KeepSignatures(text);
  list.AppendRowsOf(batch);
  EXPECT_EQ(batch.RowCount(), 0);
  ASSERT_EQ(list.RowCount(), 3001);
  EXPECT_EQ(list.Cell(text, 0), u"on top");
  for (int n = 0; n < 3000; ++n) {
    ASSERT_EQ(list.Cell(text, n + 1), (n % 2 ? u"\u0416" : u"row ") + std::u16string(n % 50, u'x'));
    ASSERT_LT(list.KeyOf(n), list.KeyOf(n + 1));
  }
  EXPECT_EQ(list.Cell(0, 3000), u"3001");
  // Below signed rows, the moved rows come with the signatures the batch made, wide pairs and all.
  ASSERT_TRUE(list.KeepsSignatures(text));
  for (int row = 0; row < list.RowCount(); ++row) {
    ASSERT_EQ(list.Signature(text, row), grid::SignatureOf(list.Cell(text, row)));
    const std::uint32_t wide = list.Signed(text, row).wide;
    const int count = grid::WideWordsFor(list.Cell(text, row).size() + 1);
    ASSERT_EQ(grid::WidePairStore::CountAt(wide), count) << row;
    // A word of the row's text passes its signature and its wide pairs.
    const grid::TextQuery word(list.Cell(text, row).substr(0, 6));
    ASSERT_TRUE(list.TestOf(text, word)(list.Signed(text, row))) << row;
  }
  // The batch table takes rows again, and the list more rows of its own, in the moved storage's
  // company.
  const std::u16string again[4] = {u"", u"d", u"again", u""};
  batch.AppendRow(std::span<const std::u16string>(again));
  list.AppendRowsOf(batch);
  list.AppendRow(std::span<const std::u16string>(again));
  EXPECT_EQ(list.Cell(text, 3001), u"again");
  EXPECT_EQ(list.Cell(text, 3002), u"again");
  EXPECT_EQ(list.Cell(text, 1), u"row ");
}

}  // namespace
}  // namespace table_test

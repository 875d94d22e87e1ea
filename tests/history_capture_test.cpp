// Each clipboard change becomes a dated entry at the top of the history, unless it repeats the
// top entry, holds no text, or was marked private by its owner.
#include "history/capture.h"

#include <gtest/gtest.h>

#include "clipboard/clipboard_text.h"
#include "clipboard_history_support.h"
#include "history/history_table.h"

namespace {

using namespace platform;
using clipboard_history_test::TestMainWindow;
using Texts = std::vector<std::u16string>;

class HistoryCaptureTest : public clipboard_history_test::DesktopTest {
 protected:
  HistoryCaptureTest() : other(sim.clipboard, "editor"), main(desk) { main.Join(); }

  std::u16string DateOf(int row) { return main.TableGrid2.Cell(history::Date, row); }

  sim::ForeignProgram other;
  TestMainWindow main;
};

TEST_F(HistoryCaptureTest, Columns_InFileOrder_WithTheirHeadersAndWidths) {
  const std::vector<grid::Column> columns = history::HistoryColumns();
  ASSERT_EQ(3u, columns.size());
  EXPECT_EQ(grid::ColumnKind::Increment, columns[0].kind);
  EXPECT_EQ(u"#", columns[0].header);
  EXPECT_TRUE(columns[0].rightAligned);
  EXPECT_EQ(27, columns[0].width);
  EXPECT_EQ("Date", columns[1].name);
  EXPECT_EQ(u"Date", columns[1].header);
  EXPECT_EQ(109, columns[1].width);
  EXPECT_EQ("Clipboadrs_history", columns[2].name);
  EXPECT_EQ(u"Clipboard history", columns[2].header);
  EXPECT_EQ(471, columns[2].width);
}

TEST_F(HistoryCaptureTest, Copies_AThenBThenA_GiveThreeEntriesNewestOnTop) {
  other.CopyText("A");
  other.CopyText("B");
  other.CopyText("A");
  EXPECT_EQ((Texts{u"A", u"B", u"A"}), main.Texts());
  EXPECT_EQ("A", main.LastClipboardText);
  EXPECT_EQ("Clipboard contains: A", main.Label1.Caption());
}

TEST_F(HistoryCaptureTest, RepeatOfTheTopEntry_RecordsNothing_ButIsStillShownAndKept) {
  other.CopyText("A");
  other.CopyText("B");
  other.CopyText("B");
  EXPECT_EQ((Texts{u"B", u"A"}), main.Texts());
  // Only the top row counts, and exactly: letter case and a trailing space make a new text.
  other.CopyText("A");
  other.CopyText("a");
  other.CopyText("a ");
  EXPECT_EQ((Texts{u"a ", u"a", u"A", u"B", u"A"}), main.Texts());
  EXPECT_EQ("a ", main.LastClipboardText);
}

TEST_F(HistoryCaptureTest, LoadedTopEntryStillOnTheClipboard_RecordsNothingAtJoining) {
  TestMainWindow second(desk);
  sim.files.PutFile(HistoryPath, clipboard_history_test::Utf16File(u"1,12/7/2026 8:00:00 PM,A\r\n2,,B\r\n"));
  history::ReadHistoryFile(second.TableGrid2, desk, HistoryPath);
  other.CopyText("A");
  second.Join();
  EXPECT_EQ(1, second.notifications);
  EXPECT_EQ((Texts{u"A", u"B"}), second.Texts());
  EXPECT_EQ("A", second.LastClipboardText);
  EXPECT_EQ("Clipboard contains: A", second.Label1.Caption());
}

TEST_F(HistoryCaptureTest, Image_RecordsNothing_EmptiesLastTextAndShowsThePrefixAlone) {
  other.CopyText("A");
  other.CopyImage();
  EXPECT_EQ(Texts{u"A"}, main.Texts());
  EXPECT_EQ("", main.LastClipboardText);
  EXPECT_EQ("Clipboard contains: ", main.Label1.Caption());
}

TEST_F(HistoryCaptureTest, EmptyTextOrHeldClipboard_RecordsNothing) {
  other.CopyText("");
  EXPECT_TRUE(main.Texts().empty());
  EXPECT_EQ("Clipboard contains: ", main.Label1.Caption());

  other.CopyText("A");
  sim::ForeignProgram holder(sim.clipboard, "holder");
  holder.HoldOpen();
  main.LastClipboardText = "stale";
  sim.windows.SendMessageA(main.handle, WmDrawClipboard, 0, 0);
  EXPECT_EQ("", main.LastClipboardText);
  EXPECT_EQ(Texts{u"A"}, main.Texts());
}

TEST_F(HistoryCaptureTest, BytesAfterTheZero_AreNotRecorded) {
  other.CopyBytes(std::string("visible\0hidden", 14));
  EXPECT_EQ(Texts{u"visible"}, main.Texts());
  EXPECT_EQ("visible", main.LastClipboardText);
}

TEST_F(HistoryCaptureTest, AnsiText_IsRecordedAsItsUnicodeCharacters) {
  other.CopyText("\x80 caf\xE9 \x93q\x94");
  EXPECT_EQ(Texts{u"\u20AC caf\u00E9 \u201Cq\u201D"}, main.Texts());
  // The repeat check compares the converted text.
  other.CopyText("\x80 caf\xE9 \x93q\x94");
  EXPECT_EQ(1u, main.Texts().size());
}

TEST_F(HistoryCaptureTest, Date_ShortDateAndLongTime_TimeLeftOutOnlyAtExactlyMidnight) {
  other.CopyText("morning");
  EXPECT_EQ(u"12/8/2026 9:30:00 AM", DateOf(0));

  sim.windows.Advance(5 * 3600 * 1000 + 15 * 1000);
  other.CopyText("afternoon");
  EXPECT_EQ(u"12/8/2026 2:30:15 PM", DateOf(0));
  EXPECT_EQ(u"12/8/2026 9:30:00 AM", DateOf(1));
}

TEST_F(HistoryCaptureTest, Date_AtMidnight_IsTheDateAlone_HalfASecondLaterHasItsTime) {
  sim.time.SetLocalTimeAtStart({2027, 1, 5, 1, 0, 0, 0, 0});
  other.CopyText("at midnight");
  EXPECT_EQ(u"1/1/2027", DateOf(0));
  sim.windows.Advance(500);
  other.CopyText("just after");
  EXPECT_EQ(u"1/1/2027 12:00:00 AM", DateOf(0));
}

TEST_F(HistoryCaptureTest, IntoAnEmptyList_TheEntryIsAppended_LaterOnesInsertedAbove) {
  other.CopyText("first");
  other.CopyText("second");
  EXPECT_EQ(u"2", main.TableGrid2.Cell(history::IncrementColumn1, 1));  // appended: its position
  EXPECT_EQ(u"0", main.TableGrid2.Cell(history::IncrementColumn1, 0));  // inserted: the integer 0
}

TEST_F(HistoryCaptureTest, InsertingAtTheTop_MovesTheSelectionDownWithItsRow) {
  other.CopyText("A");
  other.CopyText("B");
  main.TableGrid2.ClickRow(1);
  other.CopyText("C");
  EXPECT_TRUE(main.TableGrid2.RowSelected(2));
  EXPECT_FALSE(main.TableGrid2.RowSelected(0));
  EXPECT_EQ(2, main.TableGrid2.CurrentRow());
}

TEST_F(HistoryCaptureTest, PrivateContent_NeitherRecordedNorShown_YetKeptAsLastText) {
  other.CopyText("A");
  other.CopyExcludedText("hunter2");
  EXPECT_EQ(Texts{u"A"}, main.Texts());
  EXPECT_EQ("Clipboard contains: ", main.Label1.Caption());
  EXPECT_EQ("hunter2", main.LastClipboardText);

  other.CopyTextWithHistoryFlag("s3cret", 0);
  EXPECT_EQ(Texts{u"A"}, main.Texts());
  EXPECT_EQ("Clipboard contains: ", main.Label1.Caption());
  EXPECT_EQ("s3cret", main.LastClipboardText);

  // A history flag that allows it is an ordinary text.
  other.CopyTextWithHistoryFlag("public", 1);
  EXPECT_EQ((Texts{u"public", u"A"}), main.Texts());
  EXPECT_EQ("Clipboard contains: public", main.Label1.Caption());
}

TEST_F(HistoryCaptureTest, PrivateContent_PutBackByTheProgram_IsRecordedAsItsOwnWrite) {
  other.CopyExcludedText("hunter2");
  // What the hotkey paste does afterwards: the program's own write carries no mark.
  clipboard::SetClipboardText(desk, main.handle, main.LastClipboardText);
  EXPECT_EQ(Texts{u"hunter2"}, main.Texts());
}

TEST_F(HistoryCaptureTest, ErrorWhileRecording_IsDropped_TheTextStillShownAndKept) {
  other.CopyText("A");
  // A table without the history's text column: every attempt to record raises.
  ui::TableGrid wrong(nullptr, "wrong", {{"Other", u"Other", grid::ColumnKind::Text}});
  ui::Label label(nullptr, "label", "");
  std::string last;
  EXPECT_NO_THROW(history::CaptureClipboard(desk, main.handle, wrong, label, last));
  EXPECT_EQ("A", last);
  EXPECT_EQ("Clipboard contains: A", label.Caption());
  EXPECT_EQ(0, wrong.RowCount());
}

TEST_F(HistoryCaptureTest, DoubleClick_OlderEntryReturnsOnTop_TopEntryChangesNothing) {
  other.CopyText("A");
  other.CopyText("B");
  history::CopyEntryToClipboard(desk, main.handle, main.TableGrid2, 1);
  EXPECT_EQ("A", sim.clipboard.Text());
  EXPECT_EQ(main.handle, sim.clipboard.Owner());
  EXPECT_EQ((Texts{u"A", u"B", u"A"}), main.Texts());

  history::CopyEntryToClipboard(desk, main.handle, main.TableGrid2, 0);
  EXPECT_EQ(3u, main.Texts().size());

  history::CopyEntryToClipboard(desk, main.handle, main.TableGrid2, 3);  // no such row
  history::CopyEntryToClipboard(desk, main.handle, main.TableGrid2, -1);
  EXPECT_EQ(3u, main.Texts().size());
}

TEST_F(HistoryCaptureTest, DoubleClick_CharactersOutsideTheCodePage_BecomeQuestionMarks) {
  grid::Table& table = main.TableGrid2;
  table.AppendRow();
  table.SetCell(history::Clipboadrs_history, 0, u"\u0416\u20AC\u00E9\U0001F600!");
  history::CopyEntryToClipboard(desk, main.handle, table, 0);
  EXPECT_EQ("?\x80\xE9?!", sim.clipboard.Text());
}

}  // namespace

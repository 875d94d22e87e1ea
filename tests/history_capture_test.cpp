// Each clipboard change becomes a dated entry at the top of the history, unless it repeats the
// top entry, holds no text, or was marked private by its owner.
#include "history/capture.h"

#include <gtest/gtest.h>

#include "clipboard/clipboard_text.h"
#include "clipboard_history_support.h"

namespace {

using namespace platform;
using clipboard_history_test::TestMainWindow;
using Texts = std::vector<std::u16string>;

class HistoryCaptureTest : public clipboard_history_test::DesktopTest {
 protected:
  HistoryCaptureTest() : other(desk.clipboard, "editor"), main(desk) { main.Join(); }
  std::u16string DateOf(int row) { return main.TableGrid2.Cell(history::Date, row); }
  sim::ForeignProgram other;
  TestMainWindow main;
};

TEST_F(HistoryCaptureTest, Copies_OnlyARepeatOfTheTopEntryIsRefused_ExactlyAndAfterConversion) {
  for (const char* text : {"A", "B", "B", "A", "a", "a ", "caf\xE9 \x80", "caf\xE9 \x80"})
    other.CopyText(text);
  EXPECT_EQ((Texts{u"caf\u00E9 \u20AC", u"a ", u"a", u"A", u"B", u"A"}), main.Texts());
  EXPECT_EQ(u"caf\u00E9 \u20AC", main.LastClipboardText);
  EXPECT_EQ("Clipboard contains: café €", main.Label1.Caption());
  EXPECT_EQ(u"6", main.TableGrid2.Cell(history::IncrementColumn1, 5));  // the first, appended
  EXPECT_EQ(u"0", main.TableGrid2.Cell(history::IncrementColumn1, 0));  // later ones inserted
}

TEST_F(HistoryCaptureTest, NoText_RecordsNothing_EmptiesLastTextAndShowsThePrefixAlone) {
  other.CopyText("A");
  for (const std::function<void()>& copy :
       std::vector<std::function<void()>>{[&] { other.CopyImage(); }, [&] { other.CopyText(""); }}) {
    main.LastClipboardText = u"stale";
    copy();
    EXPECT_EQ(Texts{u"A"}, main.Texts());
    EXPECT_EQ(u"", main.LastClipboardText);
    EXPECT_EQ("Clipboard contains: ", main.Label1.Caption());
  }
  other.CopyBytes(std::string("visible\0hidden", 14));
  EXPECT_EQ((Texts{u"visible", u"A"}), main.Texts());
}

TEST_F(HistoryCaptureTest, Date_ShortDateSpaceLongTime_TimeLeftOutOnlyAtExactlyMidnight) {
  desk.time.SetLocalTimeAtStart({2027, 1, 5, 1, 0, 0, 0, 0});  // the virtual clock stands at 0
  other.CopyText("at midnight");
  EXPECT_EQ(u"1/1/2027", DateOf(0));
  desk.windows.Advance(500);
  other.CopyText("half a second later");
  EXPECT_EQ(u"1/1/2027 12:00:00 AM", DateOf(0));
  desk.windows.Advance((14 * 3600 + 30 * 60 + 15) * 1000 - 500);
  other.CopyText("afternoon");
  EXPECT_EQ(u"1/1/2027 2:30:15 PM", DateOf(0));
}

TEST_F(HistoryCaptureTest, PrivateContent_NeitherRecordedNorShown_YetKeptAsLastText) {
  other.CopyText("A");
  other.CopyExcludedText("hunter2");
  EXPECT_EQ(u"hunter2", main.LastClipboardText);
  other.CopyViewerIgnoredText(u"\u043F\u0430\u0440\u043E\u043B\u044C");
  EXPECT_EQ(u"\u043F\u0430\u0440\u043E\u043B\u044C", main.LastClipboardText);
  other.CopyTextWithHistoryFlag("s3cret", 0);
  EXPECT_EQ(u"s3cret", main.LastClipboardText);
  EXPECT_EQ(Texts{u"A"}, main.Texts());
  EXPECT_EQ("Clipboard contains: ", main.Label1.Caption());
  // Put back by the program itself, it carries no mark and is recorded.
  clipboard::SetClipboardText(desk, main.handle, main.LastClipboardText);
  EXPECT_EQ((Texts{u"s3cret", u"A"}), main.Texts());
}

TEST_F(HistoryCaptureTest, ErrorWhileRecording_IsDropped_TheTextStillShownAndKept) {
  other.CopyText("A");
  // A table without the history's text column: every attempt to record raises.
  ui::TableGrid wrong(nullptr, "wrong", {{"Other", u"Other", grid::ColumnKind::Text}});
  ui::Label label(nullptr, "label", "");
  std::u16string last;
  EXPECT_NO_THROW(history::CaptureClipboard(desk, main.handle, wrong, label, last));
  EXPECT_EQ(u"A", last);
  EXPECT_EQ("Clipboard contains: A", label.Caption());
}

TEST_F(HistoryCaptureTest, DoubleClick_PutsTheRowBackExactly_RecordedOnTopUnlessItIsTheTopRow) {
  other.CopyText("A");
  other.CopyText("B");
  history::CopyEntryToClipboard(desk, main.handle, main.TableGrid2, 1);
  EXPECT_EQ((Texts{u"A", u"B", u"A"}), main.Texts());
  history::CopyEntryToClipboard(desk, main.handle, main.TableGrid2, 0);
  history::CopyEntryToClipboard(desk, main.handle, main.TableGrid2, 3);  // no such row
  EXPECT_EQ(3u, main.Texts().size());

  main.TableGrid2.SetCell(history::Clipboadrs_history, 2, u"\u0416\u20AC\u00E9\U0001F600!");
  history::CopyEntryToClipboard(desk, main.handle, main.TableGrid2, 2);
  EXPECT_EQ(u"\u0416\u20AC\u00E9\U0001F600!", desk.clipboard.UnicodeText());
  EXPECT_EQ("?\x80\xE9?!", desk.clipboard.Text());  // what a program reading only CF_TEXT gets
  EXPECT_EQ(main.handle, desk.clipboard.Owner());
}

}  // namespace

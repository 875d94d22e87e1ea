// The recorder: each clipboard change becomes a dated entry at the top of the history, unless
// it repeats the top entry, holds no text, or was marked private by its owner.
#include "history/recorder.h"

#include <gtest/gtest.h>

#include "clipboard/clipboard_text.h"
#include "clipboard_history_support.h"

namespace recorder_test {

namespace {

using namespace platform;
using clipboard_history_test::HistoryWindow;
using Texts = std::vector<std::u16string>;

class HistoryCaptureTest : public clipboard_history_test::DesktopTest {
 protected:
  HistoryCaptureTest() : other(desk.clipboard, "editor"), main(desk) { main.Join(); }
  std::u16string DateOf(int row) { return main.list.Cell(history::Date, row); }
  sim::ForeignProgram other;
  HistoryWindow main;
};

TEST_F(HistoryCaptureTest, Copies_OnlyARepeatOfTheTopEntryIsRefused_ExactlyAndAfterConversion) {
  for (const char* text : {"A", "B", "B", "A", "a", "a ", "caf\xE9 \x80", "caf\xE9 \x80"})
    other.CopyText(text);
  EXPECT_EQ((Texts{u"caf\u00E9 \u20AC", u"a ", u"a", u"A", u"B", u"A"}), main.Texts());
  EXPECT_EQ(u"caf\u00E9 \u20AC", main.told);
  EXPECT_EQ(u"6", main.list.Cell(history::IncrementColumn1, 5));  // the first, appended
  EXPECT_EQ(u"0", main.list.Cell(history::IncrementColumn1, 0));  // later ones inserted
}

TEST_F(HistoryCaptureTest, NoText_RecordsNothing_AndTellsTheWindowTheClipboardIsEmpty) {
  other.CopyText("A");
  main.told = u"stale";
  other.CopyText("");
  EXPECT_EQ(Texts{u"A"}, main.Texts());
  EXPECT_EQ(u"", main.told);
  // A DIB that holds no picture (a header with nothing after it) makes no entry either.
  other.CopyFormats({{platform::CfDib, std::string(40, '\0')}});
  desk.windows.Advance(10);
  EXPECT_EQ(Texts{u"A"}, main.Texts());
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

TEST_F(HistoryCaptureTest, PrivateContent_NeitherRecordedNorShown) {
  other.CopyText("A");
  for (const std::function<void()>& copy : std::vector<std::function<void()>>{
           [&] { other.CopyExcludedText("hunter2"); },
           [&] { other.CopyViewerIgnoredText(u"\u043F\u0430\u0440\u043E\u043B\u044C"); },
           [&] { other.CopyTextWithHistoryFlag("s3cret", 0); }}) {
    main.told = u"stale";
    copy();
    EXPECT_EQ(u"", main.told);
  }
  EXPECT_EQ(Texts{u"A"}, main.Texts());
  // Put back by the program itself, it carries no mark and is recorded.
  clipboard::SetClipboardText(desk, main.handle, u"s3cret");
  EXPECT_EQ((Texts{u"s3cret", u"A"}), main.Texts());
}

TEST_F(HistoryCaptureTest, ErrorWhileRecording_IsDropped_TheTextStillShown) {
  // A table without the history's text column: every attempt to record raises.
  HistoryWindow wrong(desk, {{"Other", u"Other", grid::ColumnKind::Text}});
  wrong.Join();
  other.CopyText("A");
  EXPECT_EQ(u"A", wrong.told);
  EXPECT_EQ(0, wrong.list.RowCount());
  EXPECT_TRUE(wrong.errors.empty());
  EXPECT_EQ(Texts{u"A"}, main.Texts());
}

TEST_F(HistoryCaptureTest, DoubleClick_PutsTheRowBackExactly_RecordedOnTopUnlessItIsTheTopRow) {
  other.CopyText("A");
  other.CopyText("B");
  history::CopyEntryToClipboard(desk, main.handle, main.list, 1);
  EXPECT_EQ((Texts{u"A", u"B", u"A"}), main.Texts());
  history::CopyEntryToClipboard(desk, main.handle, main.list, 0);
  history::CopyEntryToClipboard(desk, main.handle, main.list, 3);  // no such row
  EXPECT_EQ(3u, main.Texts().size());

  main.list.SetCell(history::Clipboadrs_history, 2, u"\u0416\u20AC\u00E9\U0001F600!");
  history::CopyEntryToClipboard(desk, main.handle, main.list, 2);
  EXPECT_EQ(u"\u0416\u20AC\u00E9\U0001F600!", desk.clipboard.UnicodeText());
  EXPECT_EQ("?\x80\xE9?!", desk.clipboard.Text());  // what a program reading only CF_TEXT gets
  EXPECT_EQ(main.handle, desk.clipboard.Owner());
}

}  // namespace
}  // namespace recorder_test

// A bitmap copied as screenshot tools copy it (CF_DIB or CF_DIBV5 alone): its row is shown and
// journaled the moment it is read, its PNG coded afterwards, and the copies after it never wait
// for that coding. The whole program on the simulated desktop, its coding slowed.
#include <gtest/gtest.h>

#include <span>

#include "clipboard/image_formats.h"
#include "history/history_table.h"
#include "history/item_store.h"
#include "history/journal.h"
#include "history/thumbnails.h"
#include "image_support.h"
#include "program_fixture.h"

namespace bitmap_capture_program_test {

namespace {

using namespace platform;
using namespace testing_support;
using WideTexts = std::vector<std::u16string>;

constexpr const char* JournalName = "clipboard_history.hstr.journal";
constexpr const char* HistoryName = "clipboard_history.hstr";
// How long the simulated coder takes for a bitmap's PNG.
constexpr Dword Coding = 5000;

class BitmapCaptureTest : public ClipboardProgramTest {
 public:
  BitmapCaptureTest() {
    desk.coding.SetDelay(Coding);
    desk.background.SetDelay(Coding);
  }

  void CopyBitmap(const Picture& picture) {
    ASSERT_TRUE(other.CopyFormats({{CfDibV5, AsString(clipboard::PictureToDibV5(picture))}}));
  }
  // The journal's records as they lie in the file, oldest first.
  std::vector<history::JournalRecord> JournalRecords() {
    const std::string bytes = DataFileBytes(JournalName);
    const history::JournalContent content = history::DecodeJournal(bytes);
    EXPECT_FALSE(content.damaged);
    std::vector<history::JournalRecord> records;
    for (const auto& payload : content.records) records.push_back(history::ReadJournalRecord(bytes, payload));
    return records;
  }
  // What a program that reads CF_DIBV5 gets (its owner may put it on only then).
  Picture ClipboardDibV5() {
    Picture picture;
    if (const auto block = other.ReadFormat(CfDibV5))
      clipboard::DibToPicture({reinterpret_cast<const std::uint8_t*>(block->data()), block->size()}, picture);
    return picture;
  }

  const Picture shot = TestPicture(6, 4, true);
  const std::u16string shotText = u"[Image 6\u00D74]";
};

TEST_F(BitmapCaptureTest, TextsAfterABitmap_AreShownAndJournaledAtOnce_TheOrderKeptThroughRestarts) {
  StartJoined();
  CopyBitmap(shot);
  // The row is there as soon as the bitmap was read, and so are the texts copied after it.
  EXPECT_EQ(WideTexts{shotText}, Entries());
  ASSERT_TRUE(other.CopyText("one"));
  ASSERT_TRUE(other.CopyText("two"));
  EXPECT_EQ((WideTexts{u"two", u"one", shotText}), Entries());
  EXPECT_TRUE(ItemFiles().empty());
  // On the disk within a second, long before the PNG exists: the image's row first, with a
  // placeholder for its items.
  desk.windows.Advance(1100);
  std::vector<history::JournalRecord> records = JournalRecords();
  ASSERT_EQ(3u, records.size());
  EXPECT_EQ(shotText, records[0].text);
  EXPECT_TRUE(history::IsPendingReference(records[0].reference));
  EXPECT_EQ(u"one", records[1].text);
  EXPECT_EQ(u"two", records[2].text);

  // The PNG is made; the row refers to it, and the journal says so in a record of its own.
  desk.windows.Advance(Coding);
  ASSERT_EQ(1u, ItemFiles().size());
  EXPECT_EQ(std::vector<std::string>{ItemFiles()[0]}, history::ItemNames(Reference(2)));
  records = JournalRecords();
  ASSERT_EQ(4u, records.size());
  EXPECT_TRUE(records[3].attach);
  EXPECT_EQ(records[0].reference, records[3].date);
  EXPECT_EQ(Reference(2), records[3].reference);

  // A kill now: the journal gives the whole history back, the image with its PNG.
  Kill();
  StartJoined();
  EXPECT_EQ((WideTexts{u"two", u"one", shotText}), Entries());
  EXPECT_EQ(history::ItemNames(Reference(2)), ItemFiles());
  // And the history file after the close.
  Exit();
  Kill();
  EXPECT_FALSE(DataFileExists(JournalName));
  StartJoined();
  EXPECT_EQ((WideTexts{u"two", u"one", shotText}), Entries());
  EXPECT_EQ(history::ItemNames(Reference(2)), ItemFiles());
  EXPECT_EQ(shot, [&] {
    Form1().TableGrid2.DblClickCell(2, 2);
    desk.windows.Advance(Coding);  // decoded in the background
    return ClipboardDibV5();
  }());
}

TEST_F(BitmapCaptureTest, KillDuringTheCoding_LosesThatImageOnly) {
  StartJoined();
  ASSERT_TRUE(other.CopyText("before"));
  CopyBitmap(shot);
  ASSERT_TRUE(other.CopyText("after"));
  CopyBitmap(TestPicture(3, 3, false, 9));  // coded after the first: both are lost
  ASSERT_TRUE(other.CopyText("last"));
  desk.windows.Advance(1100);  // the journal is on the disk; no PNG is made yet
  Kill();
  StartJoined();
  EXPECT_EQ((WideTexts{u"last", u"after", u"before"}), Entries());
  EXPECT_TRUE(ItemFiles().empty());
  // The next captures go on in the same journal, and its placeholders left over resolve nothing.
  CopyBitmap(shot);
  desk.windows.Advance(Coding + 1100);
  Kill();
  // The bitmap still on the clipboard is heard at the start, shown, and once its PNG shows it
  // to be the entry on top, it goes.
  StartJoined();
  EXPECT_EQ((WideTexts{shotText, shotText, u"last", u"after", u"before"}), Entries());
  desk.windows.Advance(Coding);
  EXPECT_EQ((WideTexts{shotText, u"last", u"after", u"before"}), Entries());
  EXPECT_EQ(1u, history::ItemNames(Reference(0)).size());
  EXPECT_EQ(1u, ItemFiles().size());
}

TEST_F(BitmapCaptureTest, WhileItIsCoded_ARecopyGivesTheBitmapBack_AndTheThumbnailIsDrawnFromIt) {
  desk.background.SetDelay(10);  // the bitmap is made of the picture in a moment
  StartJoined();
  CopyBitmap(shot);
  ASSERT_TRUE(other.CopyText("text"));
  const platform::Picture* thumbnail = Form1().TableGrid2.RowPicture(1, 3, 3);
  ASSERT_NE(nullptr, thumbnail);  // at once, not after a decode
  EXPECT_EQ(history::FitPicture(shot, 3, 3), *thumbnail);
  EXPECT_EQ(3, thumbnail->width);
  EXPECT_EQ(2, thumbnail->height);

  Form1().TableGrid2.DblClickCell(2, 1);
  desk.windows.Advance(20);
  EXPECT_EQ(shot, ClipboardDibV5());
  // The re-copy is recorded as a copy is, above the text.
  EXPECT_EQ((WideTexts{shotText, u"text", shotText}), Entries());
  // Both get their PNG, the same one, stored once.
  desk.windows.Advance(2 * Coding + 10);
  EXPECT_EQ(1u, ItemFiles().size());
  EXPECT_EQ(Reference(0), Reference(2));
  EXPECT_FALSE(Reference(0).empty());
  // The picture made from the bitmap serves on: no decode of the PNG.
  const int decodes = desk.images.Decodes();
  ASSERT_NE(nullptr, Form1().TableGrid2.RowPicture(2, 3, 3));
  EXPECT_EQ(decodes, desk.images.Decodes());
}

TEST_F(BitmapCaptureTest, TheSameBitmapAnnouncedTwice_IsOneEntry) {
  StartJoined();
  CopyBitmap(shot);
  CopyBitmap(shot);
  EXPECT_EQ(WideTexts{shotText}, Entries());
  CopyBitmap(TestPicture(6, 4, true, 1));  // another picture of the same size
  EXPECT_EQ(2u, Entries().size());
}

TEST_F(BitmapCaptureTest, HistoryWrittenWhileItIsCoded_NeverNamesTheMissingItem_AndIsWrittenAgainWithIt) {
  StartJoined();
  ASSERT_TRUE(other.CopyText("doomed"));
  CopyBitmap(shot);
  // Delete selected writes the history file while the PNG is being coded.
  Form1().TableGrid2.ClickRow(1);
  Form1().BitBtn1.Click();
  ASSERT_EQ(WideTexts{shotText}, Entries());
  EXPECT_EQ(std::string::npos, DataFileBytes(HistoryName).find("p\0e\0n\0d\0i\0n\0g", 0, 14));
  // Once coded, the file names the PNG within a second.
  desk.windows.Advance(Coding + 1100);
  ASSERT_EQ(1u, ItemFiles().size());
  Kill();
  StartJoined();
  desk.windows.Advance(Coding);  // the repeat of the bitmap still on the clipboard goes
  EXPECT_EQ(WideTexts{shotText}, Entries());
  EXPECT_EQ(ItemFiles(), history::ItemNames(Reference(0)));
  // That repeat's journal record does not come back.
  desk.windows.Advance(1100);
  Kill();
  ASSERT_TRUE(other.CopyText("later"));
  StartJoined();
  EXPECT_EQ((WideTexts{u"later", shotText}), Entries());
}

TEST_F(BitmapCaptureTest, ExitDuringTheCoding_WaitsForIt_SoTheImageIsKept) {
  StartJoined();
  CopyBitmap(shot);
  ASSERT_TRUE(other.CopyText("after"));
  Exit();
  Kill();
  StartJoined();
  EXPECT_EQ((WideTexts{u"after", shotText}), Entries());
  EXPECT_EQ(ItemFiles(), history::ItemNames(Reference(1)));
}

TEST_F(BitmapCaptureTest, RecopyOfAStoredImage_IsDecodedAwayFromTheWindow_ThenPutOnTheClipboardWhole) {
  StartJoined();
  CopyBitmap(shot);
  ASSERT_TRUE(other.CopyText("text"));
  desk.windows.Advance(Coding);
  ASSERT_EQ(1u, ItemFiles().size());
  const int decodes = desk.images.Decodes();
  Form1().TableGrid2.DblClickCell(2, 1);
  // Nothing decoded on the window's thread, and the clipboard is untouched until it is done.
  EXPECT_EQ(decodes, desk.images.Decodes());
  EXPECT_EQ(u"text", desk.clipboard.UnicodeText());
  desk.windows.Advance(Coding);
  EXPECT_EQ(decodes + 1, desk.images.Decodes());
  EXPECT_EQ(shot, ClipboardDibV5());
  EXPECT_TRUE(desk.clipboard.BlockBytes(desk.clipboard.RegisterClipboardFormatA("PNG")).has_value());
  // A re-copy whose decoding ends after the program has gone puts nothing on the clipboard.
  Form1().TableGrid2.DblClickCell(2, 1);
  ASSERT_TRUE(other.CopyText("last"));
  program.reset();
  desk.background.Finish();
  EXPECT_EQ(u"last", desk.clipboard.UnicodeText());
}

}  // namespace

namespace {

TEST_F(BitmapCaptureTest, APngCopiedDuringABitmapsCoding_IsJudgedAtOnce_TheOrderOfRowsAndJournalKept) {
  // A PNG is judged in a moment; a bitmap's coding takes seconds on a thread of its own.
  desk.background.SetDelay(100);
  StartJoined();
  CopyBitmap(shot);
  const Picture picture = TestPicture(5, 3, true, 1);
  Bytes png;
  ASSERT_TRUE(desk.images.EncodePng(picture, png));
  ASSERT_TRUE(other.CopyFormats(
      {{desk.clipboard.RegisterClipboardFormatA("PNG"), std::string(png.begin(), png.end())}}));
  ASSERT_TRUE(other.CopyText("after"));
  desk.windows.Advance(300);
  EXPECT_EQ((WideTexts{u"after", u"[Image 5\u00D73]", shotText}), Entries())
      << "the PNG and the text after it do not wait for the bitmap's coding";
  EXPECT_FALSE(history::IsPendingReference(Reference(1)));
  EXPECT_TRUE(history::IsPendingReference(Reference(2)));
  desk.windows.Advance(1000);
  std::vector<history::JournalRecord> records = JournalRecords();
  ASSERT_EQ(3u, records.size());
  EXPECT_EQ(shotText, records[0].text);
  EXPECT_EQ(u"[Image 5\u00D73]", records[1].text);
  EXPECT_EQ(u"after", records[2].text);

  desk.windows.Advance(Coding);
  EXPECT_FALSE(history::IsPendingReference(Reference(2)));
  Kill();
  StartJoined();
  EXPECT_EQ((WideTexts{u"after", u"[Image 5\u00D73]", shotText}), Entries());
  EXPECT_EQ(2u, ItemFiles().size());
}

}  // namespace
}  // namespace bitmap_capture_program_test

// Images, formatted text and file lists in the history: what a copy of each records, where its
// formats are kept, and how a re-copy, a restart, a delete, an export and an import treat them.
// The whole program on the simulated desktop, whose PNG coder is its own.
#include <gtest/gtest.h>

#include <filesystem>
#include <span>

#include "clipboard/image_checks.h"
#include "clipboard/image_formats.h"
#include "earlier_reader.h"
#include "history/history_table.h"
#include "history/item_store.h"
#include "history/thumbnails.h"
#include "image_support.h"
#include "platform/sim/sim_clipboard.h"
#include "program_fixture.h"

namespace images_program_test {

namespace {

using namespace platform;
using namespace testing_support;
using WideTexts = std::vector<std::u16string>;

constexpr const char* HistoryName = "clipboard_history.hstr";

std::span<const std::uint8_t> Span(const std::string& bytes) {
  return {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
}

class ImagesTest : public ClipboardProgramTest {
 public:
  Uint Format(const char* name) { return desk.clipboard.RegisterClipboardFormatA(name); }
  std::string Png(const Picture& picture) {
    Bytes png;
    EXPECT_TRUE(desk.images.EncodePng(picture, png));
    return AsString(png);
  }
  // A copy, and the time its items take to be prepared.
  void Copy(const std::vector<std::pair<Uint, std::string>>& formats) {
    ASSERT_TRUE(other.CopyFormats(formats));
    desk.windows.Advance(10);
  }
  int RowOf(const std::u16string& text) {
    const WideTexts texts = Entries();
    for (std::size_t k = 0; k < texts.size(); ++k)
      if (texts[k] == text) return static_cast<int>(k);
    return -1;
  }
  std::string ItemBytes(const std::string& name) {
    return desk.files.FileBytes(std::string(ItemsFolder) + "\\" + name);
  }
  // Exit, and the process ends.
  void Exit() {
    ClipboardProgramTest::Exit();
    Kill();
  }
  // The picture a program that reads CF_DIBV5 gets from the clipboard (its owner may put it on
  // only then).
  Picture ClipboardDibV5() {
    Picture picture;
    const auto block = other.ReadFormat(CfDibV5);
    if (block) clipboard::DibToPicture(Span(*block), picture);
    return picture;
  }
  std::string ClipboardBlock(Uint format) { return desk.clipboard.BlockBytes(format).value_or(""); }

  const Picture picture = TestPicture(5, 3, true);
};

TEST_F(ImagesTest, EachKind_IsCaptured_WithItsText_AndItsFormatsStoredByContent) {
  StartJoined();
  // A PNG (with the DIB Windows makes of it beside it) is kept byte for byte.
  const std::string png = Png(picture);
  Copy({{Format("PNG"), png}, {CfDib, Dib24(picture)}});
  // A DIBV5 with alpha, and a plain DIB, are coded as PNG.
  const Picture other = TestPicture(4, 6, true, 50);
  Copy({{CfDibV5, AsString(clipboard::PictureToDibV5(other))}});
  const Picture third = TestPicture(2, 2, false, 99);
  Copy({{CfDib, Dib24(third)}});
  // Formatted text beside its text; a file list, whose text is its paths.
  const std::string html = HtmlFormat("<b>bold</b>");
  Copy({{CfUnicodeText, std::string("b\0o\0l\0d\0\0\0", 10)},
        {Format("HTML Format"), html + '\0'},
        {Format("Rich Text Format"), std::string("{\\rtf1 {\\b bold}}") + '\0'}});
  Copy({{CfHdrop, DropFiles({u"C:\\a.txt", u"D:\\b c.png"})}});

  EXPECT_EQ((WideTexts{u"C:\\a.txt\r\nD:\\b c.png", u"bold", u"[Image 2\u00D72]", u"[Image 4\u00D76]",
                       u"[Image 5\u00D73]"}),
            Entries());
  // Each row names its items; the files hold them.
  const std::vector<std::string> first = history::ItemNames(Reference(4));
  ASSERT_EQ(1u, first.size());
  EXPECT_EQ("png", history::ItemKind(first[0]));
  EXPECT_EQ(png, ItemBytes(first[0]));
  for (const auto& [row, expected] : {std::pair{3, other}, std::pair{2, third}}) {
    const std::vector<std::string> names = history::ItemNames(Reference(row));
    ASSERT_EQ(1u, names.size());
    Picture stored;
    ASSERT_TRUE(desk.images.DecodePng(Span(ItemBytes(names[0])), stored));
    EXPECT_EQ(expected, stored);  // alpha included
  }
  const std::vector<std::string> formatted = history::ItemNames(Reference(1));
  ASSERT_EQ(2u, formatted.size());
  EXPECT_EQ(html, ItemBytes(formatted[0]));  // up to its zero
  EXPECT_EQ("rtf", history::ItemKind(formatted[1]));
  EXPECT_EQ(6u, ItemFiles().size());
  // Entries of text alone keep no items.
  ASSERT_TRUE(this->other.CopyText("plain"));
  EXPECT_EQ(u"", Reference(0));
  EXPECT_EQ(6u, ItemFiles().size());
}

// Of a CF_DIB and a CF_DIBV5, the one the source put first is read: the system lists the
// forms it converts to after the source's own, and a CF_DIB made from a CF_DIBV5 has no alpha.
TEST_F(ImagesTest, DibAndDibV5_TheFormTheSourcePutFirstIsRead) {
  StartJoined();
  const Picture small = TestPicture(2, 2, false, 7), large = TestPicture(4, 6, true, 50);
  const std::string dib = Dib24(small), dibV5 = AsString(clipboard::PictureToDibV5(large));
  Copy({{CfDib, dib}, {CfDibV5, dibV5}});
  Copy({{CfDibV5, dibV5}, {CfDib, dib}});
  EXPECT_EQ((WideTexts{u"[Image 4\u00D76]", u"[Image 2\u00D72]"}), Entries());
}

TEST_F(ImagesTest, SameImageTwice_IsStoredOnce_AndARepeatOfTheTopEntryIsRefused) {
  StartJoined();
  const std::string png = Png(picture);
  Copy({{Format("PNG"), png}});
  Copy({{Format("PNG"), png}});  // a screenshot tool that announces its copy twice
  EXPECT_EQ((WideTexts{u"[Image 5\u00D73]"}), Entries());
  ASSERT_TRUE(other.CopyText("between"));
  Copy({{Format("PNG"), png}});
  EXPECT_EQ((WideTexts{u"[Image 5\u00D73]", u"between", u"[Image 5\u00D73]"}), Entries());
  EXPECT_EQ(1u, ItemFiles().size());
  // Another picture of the same size is another entry.
  Copy({{Format("PNG"), Png(TestPicture(5, 3, true, 1))}});
  EXPECT_EQ(4u, Entries().size());
  EXPECT_EQ(2u, ItemFiles().size());
}

TEST_F(ImagesTest, Recopy_PutsBackEveryKeptFormat_ByteForByte) {
  StartJoined();
  const std::string png = Png(picture);
  const std::string html = HtmlFormat("<i>x</i>");
  const std::string rtf = "{\\rtf1 x}";
  const std::string files = DropFiles({u"C:\\x", u"C:\\y"});
  Copy({{Format("PNG"), png}});
  Copy({{CfUnicodeText, std::string("x\0\0\0", 4)},
        {Format("HTML Format"), html},
        {Format("Rich Text Format"), rtf}});
  Copy({{CfHdrop, files}});
  ASSERT_EQ(3u, Entries().size());
  // The restart reads them from the journal.
  Kill();
  StartJoined();
  ASSERT_EQ(3u, Entries().size());

  Form1().TableGrid2.DblClickCell(2, RowOf(u"[Image 5\u00D73]"));
  desk.windows.Advance(10);
  EXPECT_EQ(png, ClipboardBlock(Format("PNG")));
  EXPECT_EQ(picture, ClipboardDibV5());  // the same pixels, the transparent ones included
  EXPECT_FALSE(desk.clipboard.UnicodeText().has_value());
  // The re-copy is an entry again, on top, that shares the stored image.
  EXPECT_EQ(u"[Image 5\u00D73]", Entries()[0]);
  EXPECT_EQ(4u, ItemFiles().size());  // the image, the HTML, the RTF and the file list

  Form1().TableGrid2.DblClickCell(2, RowOf(u"x"));
  desk.windows.Advance(10);
  EXPECT_EQ(u"x", desk.clipboard.UnicodeText());
  EXPECT_EQ(html + '\0', ClipboardBlock(Format("HTML Format")));
  EXPECT_EQ(rtf + '\0', ClipboardBlock(Format("Rich Text Format")));

  Exit();  // and from the history file
  StartJoined();
  Form1().TableGrid2.DblClickCell(2, RowOf(u"C:\\x\r\nC:\\y"));
  desk.windows.Advance(10);
  EXPECT_EQ(files, ClipboardBlock(CfHdrop));
  EXPECT_EQ(u"C:\\x\r\nC:\\y", desk.clipboard.UnicodeText());
  EXPECT_EQ(u"C:\\x\r\nC:\\y", Entries()[0]);
  EXPECT_EQ(4u, ItemFiles().size());
}

TEST_F(ImagesTest, ItemMissingOrDamaged_TheRowKeepsItsText_AndTheUserIsToldOnce) {
  StartJoined();
  Copy({{Format("PNG"), Png(picture)}});
  Copy({{Format("PNG"), Png(TestPicture(3, 3, false))}});
  ASSERT_EQ(2u, ItemFiles().size());
  const std::string first = history::ItemNames(Reference(1))[0];
  const std::string second = history::ItemNames(Reference(0))[0];
  desk.files.Delete(std::string(ItemsFolder) + "\\" + first);
  std::string damaged = ItemBytes(second);
  damaged[damaged.size() / 2] ^= 1;
  desk.files.PutFile(std::string(ItemsFolder) + "\\" + second, damaged);
  Exit();
  StartJoined();
  EXPECT_EQ((WideTexts{u"[Image 3\u00D73]", u"[Image 5\u00D73]"}), Entries());

  // The missing image: its text is what there is to give.
  Form1().TableGrid2.DblClickCell(2, RowOf(u"[Image 5\u00D73]"));
  desk.windows.Advance(1);  // an image is decoded in the background
  EXPECT_EQ(u"[Image 5\u00D73]", desk.clipboard.UnicodeText());
  EXPECT_FALSE(desk.clipboard.BlockBytes(Format("PNG")).has_value());
  desk.windows.Advance(10);
  // The damaged one likewise, and the user has heard of it once.
  Form1().TableGrid2.DblClickCell(2, RowOf(u"[Image 3\u00D73]"));
  desk.windows.Advance(1);  // an image is decoded in the background
  EXPECT_EQ(u"[Image 3\u00D73]", desk.clipboard.UnicodeText());
  ASSERT_EQ(1u, Balloons().size());
  EXPECT_NE(std::string::npos, Balloons()[0].find("clipboard_history.items"));
  // The rows stay, with their references, should the files come back.
  int withItems = 0;
  for (int row = 0; row < static_cast<int>(Entries().size()); ++row)
    withItems += Reference(row).empty() ? 0 : 1;
  EXPECT_EQ(2, withItems);
}

TEST_F(ImagesTest, CrashBetweenTheItemsWriteAndTheJournals_LosesThatCopyOnly_AndItsFileGoesLater) {
  StartJoined();
  ASSERT_TRUE(other.CopyText("before"));
  // The disk fills just after the item's file: its record does not reach the journal.
  const std::string png = Png(picture);
  desk.files.FailWritesAfter(png.size());
  Copy({{Format("PNG"), png}});
  EXPECT_EQ(1u, ItemFiles().size());  // the item is written, its record is not
  Kill();
  desk.files.ClearFaults();
  ASSERT_TRUE(other.CopyText("before"));  // what the restarted program hears first
  StartJoined();
  EXPECT_EQ((WideTexts{u"before"}), Entries());
  EXPECT_EQ(1u, ItemFiles().size());
  Exit();  // the full write removes what no row refers to
  EXPECT_EQ(0u, ItemFiles().size());
  StartJoined();
  EXPECT_EQ((WideTexts{u"before"}), Entries());
}

TEST_F(ImagesTest, CopiesAfterAnImage_WaitForIt_SoThatTheOrderOfTheCopiesStays) {
  desk.background.SetDelay(200);
  StartJoined();
  ASSERT_TRUE(other.CopyFormats({{Format("PNG"), Png(picture)}}));
  ASSERT_TRUE(other.CopyText("after"));
  EXPECT_EQ(WideTexts{}, Entries());
  desk.windows.Advance(200);
  EXPECT_EQ((WideTexts{u"after", u"[Image 5\u00D73]"}), Entries());
  // And so does the journal.
  Kill();
  StartJoined();
  EXPECT_EQ((WideTexts{u"after", u"[Image 5\u00D73]"}), Entries());
  // An image still being coded at the close joins the history first.
  ASSERT_TRUE(other.CopyFormats({{Format("PNG"), Png(TestPicture(1, 1, false))}}));
  Exit();
  Start();
  EXPECT_EQ((WideTexts{u"[Image 1\u00D71]", u"after", u"[Image 5\u00D73]"}), Entries());
}

// A storm of a thousand text copies, some of them arriving while images are being coded:
// every copy is recorded, in the order made, and the journal holds them all after a kill.
TEST_F(ImagesTest, ThousandCopiesAmongImagesBeingCoded_AreAllRecordedInOrder) {
  desk.background.SetDelay(50);
  StartJoined();
  WideTexts expected;
  for (int i = 0; i < 1000; ++i) {
    if (i % 250 == 0) {
      const Picture image = TestPicture(1 + i / 250, 1, false, i);
      ASSERT_TRUE(other.CopyFormats({{Format("PNG"), Png(image)}}));
      expected.insert(expected.begin(),
                      u"[Image " + std::u16string(1, static_cast<char16_t>(u'1' + i / 250)) + u"\u00D71]");
    }
    const std::string text = "copy " + std::to_string(i);
    ASSERT_TRUE(other.CopyText(text));
    expected.insert(expected.begin(), std::u16string(text.begin(), text.end()));
    desk.windows.Advance(1);
  }
  desk.windows.Advance(1000);
  EXPECT_EQ(expected, Entries());
  Kill();
  StartJoined();
  EXPECT_EQ(expected, Entries());
}

TEST_F(ImagesTest, DeleteSelectedAndClearAll_RemoveTheItemsFromTheDisk) {
  StartJoined();
  Copy({{Format("PNG"), Png(picture)}});
  Copy({{Format("PNG"), Png(TestPicture(2, 2, true))}});
  ASSERT_EQ(2u, ItemFiles().size());
  const std::string kept = history::ItemNames(Reference(1))[0];
  Form1().TableGrid2.ClickRow(0);
  Form1().BitBtn1.Click();  // Delete selected
  desk.windows.Advance(2000);
  EXPECT_EQ(std::vector<std::string>{kept}, ItemFiles());
  Form1().BitBtn2.Click();  // Clear All
  desk.windows.Advance(2000);
  EXPECT_EQ(std::vector<std::string>{}, ItemFiles());
}

TEST_F(ImagesTest, ExportAndImport_CarryTheItems_AndWithoutThemTheEntriesComeWithTheirText) {
  StartJoined();
  const std::string png = Png(picture);
  Copy({{Format("PNG"), png}});
  ASSERT_TRUE(other.CopyText("text"));
  desk.files.MakeFolder("C:\\Exports");
  desk.dialogs.AnswerNextFileDialog("C:\\Exports\\mine");
  Form1().BitBtn5.Click();
  const std::string name = history::ItemNames(Reference(1))[0];
  EXPECT_EQ(png, desk.files.FileBytes("C:\\Exports\\mine.items\\" + name));

  Form1().BitBtn2.Click();  // Clear All: the store is empty
  desk.windows.Advance(2000);
  ASSERT_EQ(0u, ItemFiles().size());
  desk.dialogs.AnswerNextFileDialog("C:\\Exports\\mine.hstr");
  Form1().BitBtn6.Click();
  EXPECT_EQ((WideTexts{u"text", u"[Image 5\u00D73]"}), Entries());
  EXPECT_EQ(png, ItemBytes(name));
  Form1().TableGrid2.DblClickCell(2, 1);
  desk.windows.Advance(1);  // an image is decoded in the background
  EXPECT_EQ(png, ClipboardBlock(Format("PNG")));
  desk.windows.Advance(10);  // the re-copy's own capture

  // Without the folder: the text alone.
  Form1().BitBtn2.Click();
  desk.windows.Advance(2000);
  std::filesystem::remove_all(desk.files.RealPath("C:\\Exports\\mine.items"));
  desk.dialogs.AnswerNextFileDialog("C:\\Exports\\mine.hstr");
  Form1().BitBtn6.Click();
  EXPECT_EQ((WideTexts{u"text", u"[Image 5\u00D73]"}), Entries());
  EXPECT_EQ(u"", Reference(1));
  EXPECT_EQ(0u, ItemFiles().size());
}

TEST_F(ImagesTest, AnEarlierVersion_ReadsAnImageRow_AsItsText) {
  StartJoined();
  Copy({{Format("PNG"), Png(picture)}});
  ASSERT_TRUE(other.CopyText("a|b"));  // an exact-text field as well
  Exit();
  const std::string file = DataFileBytes(HistoryName);
  const auto rows = EarlierReading(file, 3);
  ASSERT_EQ(2u, rows.size());
  EXPECT_EQ(u"[Image 5\u00D73]", rows[1][2]);
  EXPECT_EQ(u"a\r\nb", rows[0][2]);
  // This version reads both back whole.
  StartJoined();
  EXPECT_EQ((WideTexts{u"a|b", u"[Image 5\u00D73]"}), Entries());
  EXPECT_NE(u"", Reference(1));
}

TEST_F(ImagesTest, PrivateContent_AndFormatsPastTheLimit_KeepNothingOnTheDisk) {
  StartJoined();
  // Marked private by its owner: not even read.
  Copy({{Format("PNG"), Png(picture)},
        {Format("ExcludeClipboardContentFromMonitorProcessing"), std::string(4, '\0')}});
  EXPECT_EQ(WideTexts{}, Entries());
  // Paused.
  program->Recorder().SetPaused(true);
  Copy({{Format("PNG"), Png(picture)}});
  program->Recorder().SetPaused(false);
  EXPECT_EQ(WideTexts{}, Entries());
  EXPECT_EQ(0u, ItemFiles().size());
  // Beyond 64 MB: the text alone.
  std::string huge = Png(TestPicture(1, 1, false));
  const std::size_t iend = huge.size() - 12;
  std::string chunk(12 + 65u * 1024 * 1024, '\0');
  chunk[0] = 0x04, chunk[1] = 0x10;   // 65 MiB, big-endian
  std::memcpy(&chunk[4], "zzzz", 4);  // a chunk readers skip
  const std::uint32_t crc = clipboard::PngCrc(Span(chunk.substr(4, chunk.size() - 8)));
  for (int k = 0; k < 4; ++k) chunk[chunk.size() - 4 + k] = static_cast<char>(crc >> (24 - 8 * k));
  huge.insert(iend, chunk);
  Copy({{Format("PNG"), huge}});
  EXPECT_EQ((WideTexts{u"[Image 1\u00D71]"}), Entries());
  EXPECT_EQ(u"", Reference(0));
  EXPECT_EQ(0u, ItemFiles().size());
}

TEST_F(ImagesTest, SealedHistory_SealsItsItemsToo_AndClearingTheOptionMakesThemPlain) {
  StartJoined();
  const std::string png = Png(picture);
  Copy({{Format("PNG"), png}});
  Form1().SealBox.Toggle();
  Form1().PrivacyApply.Click();
  const std::string name = history::ItemNames(Reference(0))[0];
  EXPECT_EQ(
      "\x89"
      "CMSEAL\x1A",
      ItemBytes(name).substr(0, 8));
  EXPECT_EQ(std::string::npos, ItemBytes(name).find(png.substr(16, 32)));
  // One copied while sealed is sealed as it is written.
  Copy({{Format("PNG"), Png(TestPicture(2, 2, true))}});
  EXPECT_EQ(
      "\x89"
      "CMSEAL\x1A",
      ItemBytes(history::ItemNames(Reference(0))[0]).substr(0, 8));
  Exit();
  StartJoined();
  Form1().TableGrid2.DblClickCell(2, RowOf(u"[Image 5\u00D73]"));
  desk.windows.Advance(1);  // an image is decoded in the background
  EXPECT_EQ(png, ClipboardBlock(Format("PNG")));
  desk.windows.Advance(10);
  Form1().SealBox.Toggle();
  Form1().PrivacyApply.Click();
  EXPECT_EQ(png, ItemBytes(name));
}

TEST_F(ImagesTest, Thumbnails_AreMadeForTheRowsAskedFor_InTheBackground_FittingTheirBox) {
  StartJoined();
  Copy({{Format("PNG"), Png(TestPicture(40, 10, true))}});
  ASSERT_TRUE(other.CopyText("text"));
  Copy({{Format("PNG"), Png(TestPicture(8, 8, false))}});
  int ready = 0;
  program->Pictures().OnReady = [&] { ++ready; };
  const int decodes = desk.images.Decodes();
  ui::TableGrid& grid = Form1().TableGrid2;
  ASSERT_TRUE(grid.RowPicture);
  EXPECT_EQ(nullptr, grid.RowPicture(1, 32, 16));  // text: none
  EXPECT_EQ(nullptr, grid.RowPicture(2, 32, 16));  // not ready yet
  EXPECT_EQ(decodes, desk.images.Decodes());
  desk.windows.Advance(10);
  EXPECT_EQ(1, ready);
  EXPECT_EQ(decodes + 1, desk.images.Decodes());  // only the row asked for
  const platform::Picture* thumbnail = grid.RowPicture(2, 32, 16);
  ASSERT_NE(nullptr, thumbnail);
  EXPECT_EQ(32, thumbnail->width);
  EXPECT_EQ(8, thumbnail->height);
  EXPECT_EQ(thumbnail, grid.RowPicture(2, 32, 16));  // kept
  EXPECT_EQ(decodes + 1, desk.images.Decodes());
  // An image whose file is gone has the grey mark at once, and the row stays as it is.
  desk.files.Delete(std::string(ItemsFolder) + "\\" + history::ItemNames(Reference(0))[0]);
  ASSERT_NE(nullptr, grid.RowPicture(0, 32, 16));
  EXPECT_EQ(history::NeutralMark(32, 16), *grid.RowPicture(0, 32, 16));
  desk.windows.Advance(10);
  EXPECT_EQ(history::NeutralMark(32, 16), *grid.RowPicture(0, 32, 16));
  EXPECT_EQ(decodes + 1, desk.images.Decodes());
}

}  // namespace
}  // namespace images_program_test

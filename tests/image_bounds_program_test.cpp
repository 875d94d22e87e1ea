// No copied image can crash the program, lock it into a crash at every start, or take more
// memory than its file allows: what a copy of a huge, impossible, damaged or undecodable PNG
// records, what its row shows, what a re-copy gives, what a start after a crash in a decoder
// does, and what an import takes from the folder beside its file. The whole program on the
// simulated desktop, whose coder refuses (and counts) what Windows' must never be given.
#include <gtest/gtest.h>

#include <filesystem>
#include <span>

#include "clipboard/image_formats.h"
#include "history/history_table.h"
#include "history/item_store.h"
#include "history/thumbnails.h"
#include "image_support.h"
#include "image_support_png.h"
#include "program_fixture.h"

namespace image_bounds_program_test {

namespace {

using namespace platform;
using namespace testing_support;
using WideTexts = std::vector<std::u16string>;

constexpr const char* Marker = "clipboard_history.hstr.starting";

class ImageBoundsTest : public ClipboardProgramTest {
 public:
  Uint Format(const char* name) { return desk.clipboard.RegisterClipboardFormatA(name); }
  std::string Png(const Picture& picture) {
    Bytes png;
    EXPECT_TRUE(desk.images.EncodePng(picture, png));
    return AsString(png);
  }
  void Copy(const std::vector<std::pair<Uint, std::string>>& formats) {
    ASSERT_TRUE(other.CopyFormats(formats));
    desk.windows.Advance(10);
  }
  std::string ItemName(int row) {
    const std::vector<std::string> names = history::ItemNames(Reference(row));
    return names.empty() ? std::string() : names[0];
  }
  const Picture* Thumbnail(int row) { return Form1().TableGrid2.RowPicture(row, 32, 16); }
  bool HasFormat(Uint format) { return desk.clipboard.BlockBytes(format).has_value(); }

  // 33000 x 33000 RGBA (4.4 GB of pixels) in 4.2 MB, as a file of long runs packs them.
  const std::string huge = ClaimedPng(33000, 33000, LeastData(33000, 33000));
};

TEST_F(ImageBoundsTest, AHugePng_IsKeptAsItsFile_NeverDecoded_AndShowsTheMarkAfterARestartToo) {
  StartJoined();
  Copy({{Format("PNG"), huge}});
  ASSERT_EQ((WideTexts{u"[Image 33000\u00D733000]"}), Entries());
  const std::string name = ItemName(0);
  EXPECT_EQ(huge, desk.files.FileBytes(std::string(ItemsFolder) + "\\" + name));
  // The window paints the row: the mark at once, nothing handed to the coder.
  const int decodes = desk.images.Decodes(), posted = desk.background.Posted();
  const Picture* mark = Thumbnail(0);
  ASSERT_NE(nullptr, mark);
  EXPECT_EQ(history::NeutralMark(32, 16), *mark);
  EXPECT_EQ(mark, Thumbnail(0));
  EXPECT_EQ(decodes, desk.images.Decodes());
  EXPECT_EQ(posted, desk.background.Posted());
  // A re-copy gives the PNG back alone: its pixels are never made.
  Form1().TableGrid2.DblClickCell(2, 0);
  EXPECT_EQ(huge, desk.clipboard.BlockBytes(Format("PNG")).value_or(""));
  EXPECT_FALSE(HasFormat(CfDibV5));
  desk.windows.Advance(10);
  Restart();
  desk.windows.Advance(1000);
  EXPECT_EQ((WideTexts{u"[Image 33000\u00D733000]"}), Entries());
  EXPECT_EQ(history::NeutralMark(32, 16), *Thumbnail(0));
  desk.windows.Advance(100);
  EXPECT_EQ(0, desk.images.OversizeDecodes());
  EXPECT_TRUE(Balloons().empty());
}

TEST_F(ImageBoundsTest, ImpossibleDamagedOrUndecodablePngs_RecordNothing_ButATextBesideThemIs) {
  StartJoined();
  const std::string good = Png(TestPicture(6, 4, true));
  std::string badCrc = good;
  badCrc[29] ^= 0x01;  // inside the header's CRC
  // Well formed, within the bounds, but its data is not what the coder can inflate.
  const std::string undecodable = ClaimedPng(64, 64, 300);
  for (const std::string& png : {ClaimedPng(0x7FFFFFFF, 0x7FFFFFFF, 8), badCrc, undecodable}) {
    Copy({{Format("PNG"), png}});
    EXPECT_EQ(WideTexts{}, Entries());
  }
  EXPECT_TRUE(ItemFiles().empty());
  // The same with a text beside it: the text is the entry.
  Copy({{CfUnicodeText, std::string("h\0i\0\0\0", 6)}, {Format("PNG"), badCrc}});
  EXPECT_EQ((WideTexts{u"hi"}), Entries());
  EXPECT_EQ(u"", Reference(0));
  // A damaged PNG with the DIB its program put beside it: the DIB is the image.
  const Picture picture = TestPicture(6, 4, false);
  Copy({{Format("PNG"), badCrc}, {CfDib, Dib24(picture)}});
  EXPECT_EQ((WideTexts{u"[Image 6\u00D74]", u"hi"}), Entries());
  EXPECT_EQ(0, desk.images.OversizeDecodes());
}

TEST_F(ImageBoundsTest, AThumbnailThatCannotBeMade_LeavesTheMark_IsNotTriedAgain_AndTellsNothing) {
  StartJoined();
  Copy({{Format("PNG"), Png(TestPicture(6, 4, true))}});
  const std::string path = std::string(ItemsFolder) + "\\" + ItemName(0);
  // The file changed under the program into a PNG the coder cannot read.
  desk.files.PutFile(path, ClaimedPng(6, 4, 50));
  const int decodes = desk.images.Decodes();
  EXPECT_EQ(nullptr, Thumbnail(0));  // being made
  desk.windows.Advance(10);
  EXPECT_EQ(decodes + 1, desk.images.Decodes());
  ASSERT_NE(nullptr, Thumbnail(0));
  EXPECT_EQ(history::NeutralMark(32, 16), *Thumbnail(0));
  for (int paint = 0; paint < 5; ++paint) Thumbnail(0);
  desk.windows.Advance(10);
  EXPECT_EQ(decodes + 1, desk.images.Decodes());
  EXPECT_TRUE(Balloons().empty());
}

TEST_F(ImageBoundsTest,
       AStartThatCrashedInADecoder_IsFollowedByOneWithoutPictures_ThatSaysWhichImageItSetAside) {
  StartJoined();
  Copy({{Format("PNG"), Png(TestPicture(6, 4, true))}});
  Copy({{Format("PNG"), Png(TestPicture(8, 2, true))}});
  const std::string suspect = ItemName(1);
  Exit();
  Kill();
  // A start whose window paints the rows; the coder crashes the process on the first one.
  Start();
  desk.background.Hold(true);
  EXPECT_EQ(nullptr, Thumbnail(1));
  ASSERT_TRUE(DataFileExists(Marker));
  const std::string marker = DataFileBytes(Marker);
  EXPECT_NE(std::string::npos, marker.find(suspect));
  Kill();
  desk.background.Hold(false);
  PutDataFile(Marker, marker);  // what the crash left on the disk

  Start();
  desk.windows.Advance(1000);
  EXPECT_EQ((WideTexts{u"[Image 8\u00D72]", u"[Image 6\u00D74]"}), Entries());
  ASSERT_EQ(1u, Balloons().size());
  EXPECT_NE(std::string::npos, Balloons()[0].find(suspect)) << Balloons()[0];
  const int decodes = desk.images.Decodes();
  EXPECT_EQ(history::NeutralMark(32, 16), *Thumbnail(0));
  EXPECT_EQ(history::NeutralMark(32, 16), *Thumbnail(1));
  EXPECT_EQ(decodes, desk.images.Decodes());
  EXPECT_FALSE(DataFileExists(Marker));
  Exit();
  Kill();

  // The next start draws the pictures again, but not the one set aside, and says nothing.
  const std::size_t told = Balloons().size();
  Start();
  EXPECT_EQ(nullptr, Thumbnail(0));
  EXPECT_EQ(history::NeutralMark(32, 16), *Thumbnail(1));
  desk.windows.Advance(10);
  ASSERT_NE(nullptr, Thumbnail(0));
  EXPECT_EQ(8, Thumbnail(0)->width);
  EXPECT_FALSE(DataFileExists(Marker));  // its decoding ended: the start is over
  EXPECT_EQ(told, Balloons().size());
}

TEST_F(ImageBoundsTest, AnImport_TakesOnlyHashNamedFilesOfItsOwnFolder_NeverALink_AndTellsOnceWhatItLeftOut) {
  StartJoined();
  const std::string png = Png(TestPicture(5, 3, true));
  Copy({{Format("PNG"), png}});
  Copy({{Format("PNG"), Png(TestPicture(3, 5, true))}});
  const std::string first = ItemName(1), second = ItemName(0);
  desk.files.MakeFolder("C:\\Exports");
  desk.dialogs.AnswerNextFileDialog("C:\\Exports\\mine");
  Form1().BitBtn5.Click();
  Form1().BitBtn2.Click();  // Clear All: the store is empty
  desk.windows.Advance(2000);
  ASSERT_TRUE(ItemFiles().empty());

  // One item's file is a link to a file elsewhere that holds just what its name says; the
  // file names a third entry by "..\" and another by a name that is no hash.
  const std::string folder = desk.files.RealPath("C:\\Exports\\mine.items");
  desk.files.MakeFolder("C:\\Elsewhere");
  desk.files.PutFile("C:\\Elsewhere\\secret.png", png);
  std::filesystem::remove(folder + "/" + first);
  std::filesystem::create_symlink(desk.files.RealPath("C:\\Elsewhere\\secret.png"), folder + "/" + first);
  std::string file = desk.files.FileBytes("C:\\Exports\\mine.hstr");
  auto wide = [](const std::string& ascii) {
    std::string bytes;
    for (char c : ascii) bytes.append(1, c).append(1, '\0');
    return bytes;
  };
  file += wide("0,,odd,items1:..\\" + second + "\r\n0,,odder,items1:secret.png\r\n");
  desk.files.PutFile("C:\\Exports\\mine.hstr", file);
  desk.dialogs.AnswerNextFileDialog("C:\\Exports\\mine.hstr");
  Form1().BitBtn6.Click();
  EXPECT_EQ((WideTexts{u"[Image 3\u00D75]", u"[Image 5\u00D73]", u"odd", u"odder"}), Entries());
  EXPECT_EQ(second, ItemName(0));
  EXPECT_EQ(u"", Reference(1));  // its file is a link: not taken
  const std::vector<std::string> files = ItemFiles();
  EXPECT_EQ((std::vector<std::string>{second}), files);
  ASSERT_EQ(1u, Balloons().size());
  EXPECT_NE(std::string::npos, Balloons()[0].find("3 items")) << Balloons()[0];

  // The folder itself a link (a junction, on Windows): nothing is taken from it.
  Form1().BitBtn2.Click();
  desk.windows.Advance(2000);
  std::filesystem::rename(folder, folder + ".real");
  std::filesystem::create_directory_symlink(folder + ".real", folder);
  std::filesystem::remove(folder + ".real/" + first);
  desk.dialogs.AnswerNextFileDialog("C:\\Exports\\mine.hstr");
  Form1().BitBtn6.Click();
  EXPECT_EQ(u"", Reference(0));
  EXPECT_TRUE(ItemFiles().empty());
  EXPECT_EQ(2u, Balloons().size());
}

}  // namespace
}  // namespace image_bounds_program_test

// The re-copy of an image (a double-click on its row): its PNG goes on the clipboard at once and
// its bitmap only when a program asks for it. What can go wrong with that: a program that asks
// gets other pixels, the program's own capture has the bitmap made on the window's thread or
// takes the re-copy for a new image, the bitmap dies with the program, a paste that gives the
// clipboard back loses it, or a late re-copy replaces a newer copy. The whole program on the
// simulated desktop.
#include <gtest/gtest.h>

#include <span>

#include "clipboard/image_formats.h"
#include "history/history_table.h"
#include "history/item_store.h"
#include "history/journal.h"
#include "image_support.h"
#include "paste_recorder.h"
#include "program_fixture.h"

namespace recopy_program_test {

namespace {

using namespace platform;
using namespace testing_support;
using WideTexts = std::vector<std::u16string>;

// How long the simulated coder takes for a bitmap's PNG, and the decoding of a stored one.
constexpr Dword Coding = 5000;
constexpr Dword Decoding = 100;

class RecopyTest : public ClipboardProgramTest {
 public:
  RecopyTest() {
    desk.coding.SetDelay(Coding);
    desk.background.SetDelay(Decoding);
  }

  Uint Png() { return desk.clipboard.RegisterClipboardFormatA("PNG"); }
  void CopyBitmap(const Picture& picture) {
    ASSERT_TRUE(other.CopyFormats({{CfDibV5, AsString(clipboard::PictureToDibV5(picture))}}));
  }
  // A bitmap copied and its PNG stored, then a text above it: the image is row 1.
  void StoredImageBelowText() {
    StartJoined();
    CopyBitmap(shot);
    ASSERT_TRUE(other.CopyText("text"));
    desk.windows.Advance(Coding + 10);
    ASSERT_EQ(1u, ItemFiles().size());
  }
  // The double-click, and the decoding away from the window.
  void Recopy(int row) {
    Form1().TableGrid2.DblClickCell(2, row);
    desk.windows.Advance(Decoding + 10);
  }
  std::string StoredPng() {
    const std::vector<std::string> names = ItemFiles();
    return names.size() == 1 ? desk.files.FileBytes(std::string(ItemsFolder) + "\\" + names[0]) : "";
  }
  // The picture another program gets when it reads CF_DIBV5, as a paste does.
  Picture ReadDibV5(sim::ForeignProgram& reader) {
    Picture picture;
    if (const auto block = reader.ReadFormat(CfDibV5))
      clipboard::DibToPicture({reinterpret_cast<const std::uint8_t*>(block->data()), block->size()}, picture);
    return picture;
  }

  const Picture shot = TestPicture(6, 4, true);
  const std::u16string shotText = u"[Image 6\u00D74]";
};

TEST_F(RecopyTest, StoredImage_ThePngGoesOnAtOnce_TheBitmapWhenAProgramAsks_WithTheSamePixels) {
  StoredImageBelowText();
  const int renders = desk.clipboard.RenderRequests();
  const int decodes = desk.images.Decodes();
  Recopy(1);
  EXPECT_EQ(StoredPng(), desk.clipboard.BlockBytes(Png()).value_or("")) << "the PNG byte for byte";
  EXPECT_TRUE(desk.clipboard.IsDelayed(CfDibV5));
  EXPECT_FALSE(desk.clipboard.UnicodeText().has_value()) << "an image's size is no text of it";
  // The program's own capture took the entry as stored: the bitmap was not made for it, nor was
  // the PNG read back and decoded again.
  EXPECT_EQ((WideTexts{shotText, u"text", shotText}), Entries());
  EXPECT_EQ(Reference(2), Reference(0)) << "the re-copy shares the stored image";
  desk.windows.Advance(Decoding + 10);
  EXPECT_EQ(renders, desk.clipboard.RenderRequests());
  EXPECT_EQ(decodes + 1, desk.images.Decodes()) << "the re-copy's own decoding only";
  EXPECT_EQ(1u, ItemFiles().size());

  // A program that pastes it gets the very pixels, transparent ones included; asked once.
  sim::ForeignProgram paster(desk.clipboard, "Paint");
  EXPECT_EQ(shot, ReadDibV5(paster));
  EXPECT_EQ(renders + 1, desk.clipboard.RenderRequests());
  EXPECT_FALSE(program->Recopy().ImageDelayed());
  EXPECT_EQ(shot, ReadDibV5(paster));
  EXPECT_EQ(renders + 1, desk.clipboard.RenderRequests());

  // The top entry copied again is no new entry, nor is its bitmap made for the capture.
  Recopy(0);
  desk.windows.Advance(Decoding + 10);
  EXPECT_EQ((WideTexts{shotText, u"text", shotText}), Entries());
  EXPECT_EQ(renders + 1, desk.clipboard.RenderRequests());
  EXPECT_EQ(shot, ReadDibV5(paster));
}

TEST_F(RecopyTest, ExitBeforeAnyProgramAsked_LeavesTheBitmapOnTheClipboard_ButNeverOverANewerCopy) {
  StoredImageBelowText();
  Recopy(1);
  ASSERT_TRUE(desk.clipboard.IsDelayed(CfDibV5));
  Exit();
  Kill();
  EXPECT_FALSE(desk.clipboard.IsDelayed(CfDibV5));
  EXPECT_EQ(shot, ReadDibV5(other));
  EXPECT_TRUE(desk.clipboard.BlockBytes(Png()).has_value());

  // Copied over by another program: the bitmap kept for the re-copy is let go, and the exit
  // leaves the other copy alone.
  StartJoined();
  ASSERT_EQ(shotText, Entries()[2]);
  Recopy(2);
  ASSERT_TRUE(program->Recopy().ImageDelayed());
  ASSERT_TRUE(other.CopyText("later"));
  EXPECT_FALSE(program->Recopy().ImageDelayed());
  Exit();
  Kill();
  EXPECT_EQ("later", other.ReadText());
  EXPECT_FALSE(desk.clipboard.IsClipboardFormatAvailable(CfDibV5));
}

// An image shown before its PNG exists goes back as the bitmap read. Its capture takes the
// picture the re-copy came from instead of reading the bitmap: nothing is made on the window's
// thread for it, and both rows get the one PNG.
TEST_F(RecopyTest, ImageStillBeingCoded_IsRecordedFromItsPicture_AndItsBitmapMadeOnlyForAProgram) {
  StartJoined();
  CopyBitmap(shot);
  ASSERT_TRUE(other.CopyText("text"));
  const int renders = desk.clipboard.RenderRequests();
  Recopy(1);
  EXPECT_TRUE(desk.clipboard.IsDelayed(CfDibV5));
  EXPECT_FALSE(desk.clipboard.BlockBytes(Png()).has_value());
  EXPECT_EQ((WideTexts{shotText, u"text", shotText}), Entries());
  EXPECT_TRUE(history::IsPendingReference(Reference(0)));
  EXPECT_EQ(renders, desk.clipboard.RenderRequests());
  // Its own top row copied again is no new entry.
  Recopy(0);
  EXPECT_EQ(3u, Entries().size());

  EXPECT_EQ(shot, ReadDibV5(other));
  desk.windows.Advance(2 * Coding + 10);
  EXPECT_EQ(1u, ItemFiles().size());
  EXPECT_EQ(Reference(2), Reference(0));
  EXPECT_FALSE(history::IsPendingReference(Reference(0)));
  Kill();
  StartJoined();
  desk.windows.Advance(Coding + 10);
  EXPECT_EQ((WideTexts{shotText, u"text", shotText}), Entries());
}

// An action's paste snapshots the clipboard and gives it back: a bitmap no program had asked
// for yet is part of what comes back.
TEST_F(RecopyTest, APasteAfterTheRecopy_GivesThePngAndTheBitmapBack) {
  PutDataFile("actions.cnfg", Utf16File("1,A,Ctrl+F5,action,V\r\n"));
  StoredImageBelowText();
  PasteRecorder editor(desk, other);
  editor.Start();
  Recopy(1);
  const std::string png = desk.clipboard.BlockBytes(Png()).value_or("");
  ASSERT_FALSE(png.empty());
  ASSERT_TRUE(desk.hotkeys.Press(ModControl, 0x74));
  desk.windows.Advance(2000);
  EXPECT_EQ((std::vector<std::string>{"action"}), editor.pasted);
  EXPECT_EQ(png, desk.clipboard.BlockBytes(Png()).value_or(""));
  sim::ForeignProgram paster(desk.clipboard, "Paint");
  EXPECT_EQ(shot, ReadDibV5(paster));
  EXPECT_TRUE(desk.dialogs.Boxes().empty());
}

// The decoding takes a moment: a copy made meanwhile, or another re-copy asked for, is what the
// user wants on the clipboard, and the re-copy that ends later does not replace it.
TEST_F(RecopyTest, ACopyOrAnotherRecopyMadeDuringTheDecoding_StaysOnTheClipboard) {
  StoredImageBelowText();
  Form1().TableGrid2.DblClickCell(2, 1);
  ASSERT_TRUE(other.CopyText("newer"));
  desk.windows.Advance(Decoding + 10);
  EXPECT_EQ(u"newer", desk.clipboard.UnicodeText());
  EXPECT_FALSE(desk.clipboard.IsClipboardFormatAvailable(Png()));

  // The image's row is 2 now; the text's re-copy is at once.
  ASSERT_EQ(shotText, Entries()[2]);
  Form1().TableGrid2.DblClickCell(2, 2);
  Form1().TableGrid2.DblClickCell(2, 1);
  desk.windows.Advance(Decoding + 10);
  EXPECT_EQ(u"text", desk.clipboard.UnicodeText());
  EXPECT_FALSE(desk.clipboard.IsClipboardFormatAvailable(Png()));
  EXPECT_FALSE(program->Recopy().ImageDelayed());

  // Asked for once more, it goes on.
  ASSERT_EQ((WideTexts{u"text", u"newer", u"text", shotText}), Entries());
  Recopy(3);
  EXPECT_EQ(shot, ReadDibV5(other));
}

}  // namespace
}  // namespace recopy_program_test

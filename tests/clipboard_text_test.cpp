// Reading and writing the clipboard's plain text, and the private mark of its owner.
#include "clipboard/clipboard_text.h"

#include <gtest/gtest.h>

#include "clipboard_history_support.h"
#include "platform/errors.h"

namespace {

using namespace platform;
using clipboard::GetClipboardText;
using clipboard::SetClipboardText;

class ClipboardTextTest : public clipboard_history_test::DesktopTest {
 protected:
  ClipboardTextTest() : other(sim.clipboard) {}

  std::string Read(bool* result = nullptr) {
    std::string text;
    bool ok = GetClipboardText(desk, Main, text);
    if (result) *result = ok;
    return text;
  }
  void ExpectClosed() {
    EXPECT_FALSE(sim.clipboard.IsOpen());
    EXPECT_EQ(sim.clipboard.Opens(), sim.clipboard.Closes());
  }

  static constexpr Hwnd Main = 0x4242;
  sim::ForeignProgram other;
};

TEST_F(ClipboardTextTest, Read_CopiesTheWholeTextOfAnotherProgram) {
  other.CopyText("Hello, world\r\nsecond line");
  bool ok = false;
  EXPECT_EQ("Hello, world\r\nsecond line", Read(&ok));
  EXPECT_TRUE(ok);
  ExpectClosed();
}

TEST_F(ClipboardTextTest, Read_StopsAtTheFirstZeroWhateverTheBlockHoldsAfterIt) {
  other.CopyBytes(std::string("abc\0def\0", 8));
  EXPECT_EQ("abc", Read());
  other.CopyTextInBlock("abc", 100);
  EXPECT_EQ("abc", Read());
  // A block without any zero: exactly its bytes, nothing read beyond it.
  other.CopyBytes("xyz");
  EXPECT_EQ("xyz", Read());
  ExpectClosed();
}

TEST_F(ClipboardTextTest, Read_ImageOnly_IsFalseAndEmpty) {
  other.CopyImage();
  bool ok = true;
  EXPECT_EQ("", Read(&ok));
  EXPECT_FALSE(ok);
  ExpectClosed();
}

TEST_F(ClipboardTextTest, HeldClipboard_MakesBothOperationsFailAndChangesNothing) {
  other.CopyText("kept");
  sim::ForeignProgram holder(sim.clipboard, "holder");
  ASSERT_TRUE(holder.HoldOpen());
  const int blocks = sim.memory.LiveBlocks();

  bool ok = true;
  EXPECT_EQ("", Read(&ok));
  EXPECT_FALSE(ok);
  EXPECT_FALSE(SetClipboardText(desk, Main, "new"));
  EXPECT_EQ(blocks, sim.memory.LiveBlocks());  // nothing allocated
  EXPECT_EQ(holder.Window(), sim.clipboard.OpenedBy());

  holder.Release();
  EXPECT_EQ("kept", sim.clipboard.Text());
  EXPECT_TRUE(SetClipboardText(desk, Main, "new"));
  EXPECT_EQ("new", sim.clipboard.Text());
}

TEST_F(ClipboardTextTest, Write_IsTheOnlyContent_InAMoveableShareableBlockWithItsZero) {
  other.CopyExcludedText("previous");  // two formats
  ASSERT_TRUE(SetClipboardText(desk, Main, "caf\xE9"));
  EXPECT_EQ(std::vector<Uint>{CfText}, sim.clipboard.Formats());
  EXPECT_EQ(std::string("caf\xE9\0", 5), sim.clipboard.BlockBytes(CfText));
  EXPECT_EQ(Main, sim.clipboard.Owner());
  EXPECT_EQ(1, sim.memory.LiveBlocks());  // the previous blocks went with the old content

  ASSERT_TRUE(sim.clipboard.OpenClipboard(other.Window()));
  Hglobal block = sim.clipboard.GetClipboardData(CfText);
  sim.clipboard.CloseClipboard();
  EXPECT_EQ(GmemMoveable | GmemDdeShare, sim.memory.Flags(block));
  EXPECT_FALSE(sim.memory.IsLocked(block));
  EXPECT_EQ(0, sim.memory.SystemBlocksFreed());
  ExpectClosed();
}

TEST_F(ClipboardTextTest, Write_EmptyText_LeavesOnlyAnEmptyText) {
  other.CopyImage();
  ASSERT_TRUE(SetClipboardText(desk, Main, ""));
  EXPECT_EQ(std::vector<Uint>{CfText}, sim.clipboard.Formats());
  EXPECT_EQ(std::string(1, '\0'), sim.clipboard.BlockBytes(CfText));
  bool ok = false;
  EXPECT_EQ("", Read(&ok));
  EXPECT_TRUE(ok);
}

TEST_F(ClipboardTextTest, Write_NotifiesTheViewersOnceTheClipboardIsClosed) {
  sim::NeighbourViewer viewer(sim.clipboard);
  viewer.Join();
  viewer.ClearReceived();
  SetClipboardText(desk, Main, "own text");
  EXPECT_EQ(1, viewer.DrawClipboards());
}

// Each failure after the open: the new block is freed, the failure reaches the caller, and the
// clipboard is closed.
TEST_F(ClipboardTextTest, Write_FailureAfterTheOpen_FreesTheBlockClosesAndRaises) {
  other.CopyText("old");

  sim.memory.FailLocks(1);
  EXPECT_THROW(SetClipboardText(desk, Main, "new"), Error);
  EXPECT_EQ("old", sim.clipboard.Text());  // not emptied: the new text never got ready
  EXPECT_EQ(1, sim.memory.LiveBlocks());
  ExpectClosed();

  sim.memory.FailAllocs(1);
  EXPECT_THROW(SetClipboardText(desk, Main, "new"), Error);
  EXPECT_EQ("old", sim.clipboard.Text());
  ExpectClosed();

  sim.clipboard.FailSetData(1);
  EXPECT_THROW(SetClipboardText(desk, Main, "new"), Error);
  EXPECT_EQ(0, sim.memory.LiveBlocks());  // the old content was emptied, the new block freed
  EXPECT_EQ(0, sim.memory.BadFrees());
  EXPECT_TRUE(sim.clipboard.Formats().empty());
  ExpectClosed();

  EXPECT_TRUE(SetClipboardText(desk, Main, "new"));
  EXPECT_EQ("new", sim.clipboard.Text());
}

TEST_F(ClipboardTextTest, Read_BlockThatCannotBeLocked_RaisesAndStillCloses) {
  other.CopyText("text");
  sim.memory.FailLocks(1);
  std::string text;
  EXPECT_THROW(GetClipboardText(desk, Main, text), Error);
  ExpectClosed();
  EXPECT_EQ("text", Read());
}

TEST_F(ClipboardTextTest, PrivateMark_EitherFormatOfTheOwner) {
  struct Case {
    const char* what;
    std::function<void()> copy;
    bool markedPrivate;
  };
  const std::vector<Case> cases = {
      {"plain text", [&] { other.CopyText("pw"); }, false},
      {"excluded from monitors", [&] { other.CopyExcludedText("pw"); }, true},
      {"history flag 0", [&] { other.CopyTextWithHistoryFlag("pw", 0); }, true},
      {"history flag 1", [&] { other.CopyTextWithHistoryFlag("pw", 1); }, false},
  };
  for (const Case& c : cases) {
    c.copy();
    std::string text;
    bool markedPrivate = !c.markedPrivate;
    EXPECT_TRUE(GetClipboardText(desk, Main, text, markedPrivate)) << c.what;
    EXPECT_EQ("pw", text) << c.what;
    EXPECT_EQ(c.markedPrivate, markedPrivate) << c.what;
  }
  ExpectClosed();

  // Unknown while the clipboard cannot be read at all.
  other.CopyExcludedText("pw");
  sim::ForeignProgram holder(sim.clipboard, "holder");
  holder.HoldOpen();
  std::string text;
  bool markedPrivate = true;
  EXPECT_FALSE(GetClipboardText(desk, Main, text, markedPrivate));
  EXPECT_FALSE(markedPrivate);
}

TEST_F(ClipboardTextTest, PrivateMark_HistoryFlagWithoutAReadableValue_CountsAsPrivate) {
  ASSERT_TRUE(sim.clipboard.OpenClipboard(other.Window()));
  sim.clipboard.EmptyClipboard();
  sim.clipboard.SetClipboardData(CfText, sim.memory.MakeBlock(std::string("pw", 3), 3));
  sim.clipboard.SetClipboardData(sim.clipboard.RegisterClipboardFormatA("CanIncludeInClipboardHistory"),
                                 sim.memory.MakeBlock("\x01", 1));
  sim.clipboard.CloseClipboard();
  std::string text;
  bool markedPrivate = false;
  GetClipboardText(desk, Main, text, markedPrivate);
  EXPECT_TRUE(markedPrivate);
}

}  // namespace

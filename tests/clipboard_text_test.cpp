// Reading and writing the clipboard's plain text, and the owner's private mark.
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
  ClipboardTextTest() : other(desk.clipboard) {}
  void TearDown() override {
    EXPECT_FALSE(desk.clipboard.IsOpen() && desk.clipboard.OpenedBy() == Main);
    EXPECT_EQ(0, desk.memory.SystemBlocksFreed());
    EXPECT_EQ(0, desk.memory.BadFrees());
  }
  static constexpr Hwnd Main = 0x4242;
  sim::ForeignProgram other;
};

TEST_F(ClipboardTextTest, Read_TakesTheBlockUpToItsFirstZero_AnImageIsNoText) {
  struct Case {
    std::function<bool()> copy;
    bool ok;
    std::string text;
  };
  const std::vector<Case> cases = {
      {[&] { return other.CopyText("two\r\nlines"); }, true, "two\r\nlines"},
      {[&] { return other.CopyBytes(std::string("abc\0def\0", 8)); }, true, "abc"},
      {[&] { return other.CopyTextInBlock("abc", 64); }, true, "abc"},
      {[&] { return other.CopyBytes("no zero"); }, true, "no zero"},  // nothing read past the block
      {[&] { return other.CopyImage(); }, false, ""},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    ASSERT_TRUE(cases[i].copy());
    std::string text;
    EXPECT_EQ(cases[i].ok, GetClipboardText(desk, Main, text)) << i;
    EXPECT_EQ(cases[i].text, text) << i;
    EXPECT_FALSE(desk.clipboard.IsOpen()) << i;
  }
}

TEST_F(ClipboardTextTest, HeldByAnotherProgram_BothFailAndNothingChanges) {
  other.CopyText("kept");
  sim::ForeignProgram holder(desk.clipboard, "holder");
  ASSERT_TRUE(holder.HoldOpen());
  std::string text;
  EXPECT_FALSE(GetClipboardText(desk, Main, text));
  EXPECT_EQ("", text);
  EXPECT_FALSE(SetClipboardText(desk, Main, "new"));
  EXPECT_EQ(1, desk.memory.LiveBlocks());  // nothing allocated
  holder.Release();
  EXPECT_EQ("kept", desk.clipboard.Text());
}

TEST_F(ClipboardTextTest, Write_IsTheOnlyContent_AnUnlockedMoveableShareableBlockWithItsZero) {
  for (const std::string text : {"caf\xE9", ""}) {
    other.CopyExcludedText("previous");  // two formats
    ASSERT_TRUE(SetClipboardText(desk, Main, text));
    EXPECT_EQ(std::vector<Uint>{CfText}, desk.clipboard.Formats());
    EXPECT_EQ(text + '\0', desk.clipboard.BlockBytes(CfText));
    EXPECT_EQ(Main, desk.clipboard.Owner());
    ASSERT_EQ(1, desk.memory.LiveBlocks());  // the old blocks went with the old content
    ASSERT_TRUE(desk.clipboard.OpenClipboard(other.Window()));
    Hglobal block = desk.clipboard.GetClipboardData(CfText);
    desk.clipboard.CloseClipboard();
    EXPECT_EQ(GmemMoveable | GmemDdeShare, desk.memory.Flags(block));
    EXPECT_FALSE(desk.memory.IsLocked(block));
  }
}

// After the open, each failure frees the new block, raises, and closes the clipboard.
TEST_F(ClipboardTextTest, Write_FailureAfterTheOpen_FreesTheBlockAndRaises) {
  other.CopyText("old");
  desk.memory.FailLocks(1);
  EXPECT_THROW(SetClipboardText(desk, Main, "new"), Error);
  EXPECT_EQ("old", desk.clipboard.Text());  // not emptied before the new text was ready
  EXPECT_EQ(1, desk.memory.LiveBlocks());

  desk.memory.FailAllocs(1);
  EXPECT_THROW(SetClipboardText(desk, Main, "new"), Error);
  EXPECT_EQ("old", desk.clipboard.Text());

  desk.clipboard.FailSetData(1);
  EXPECT_THROW(SetClipboardText(desk, Main, "new"), Error);
  EXPECT_EQ(0, desk.memory.LiveBlocks());
  EXPECT_FALSE(desk.clipboard.IsOpen());
  EXPECT_TRUE(SetClipboardText(desk, Main, "new"));
}

TEST_F(ClipboardTextTest, Read_BlockThatCannotBeLocked_RaisesAndCloses) {
  other.CopyText("text");
  desk.memory.FailLocks(1);
  std::string text;
  EXPECT_THROW(GetClipboardText(desk, Main, text), Error);
  EXPECT_FALSE(desk.clipboard.IsOpen());
  EXPECT_EQ(desk.clipboard.Opens(), desk.clipboard.Closes());
}

TEST_F(ClipboardTextTest, PrivateMark_EitherFormat_AHistoryFlagOf1IsNone) {
  const std::vector<std::pair<std::function<void()>, bool>> cases = {
      {[&] { other.CopyText("pw"); }, false},
      {[&] { other.CopyExcludedText("pw"); }, true},
      {[&] { other.CopyTextWithHistoryFlag("pw", 0); }, true},
      {[&] { other.CopyTextWithHistoryFlag("pw", 1); }, false},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    cases[i].first();
    std::string text;
    bool markedPrivate = !cases[i].second;
    EXPECT_TRUE(GetClipboardText(desk, Main, text, markedPrivate)) << i;
    EXPECT_EQ("pw", text) << i;
    EXPECT_EQ(cases[i].second, markedPrivate) << i;
  }
}

}  // namespace

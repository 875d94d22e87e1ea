// The simulated clipboard behaves as the Windows clipboard does where the program relies on it.
#include "platform/sim/sim_clipboard.h"

#include <gtest/gtest.h>

namespace {

using namespace platform;

class SimClipboardTest : public ::testing::Test {
 protected:
  SimClipboardTest() : clipboard(windows, memory) {}

  sim::VirtualClock clock;
  sim::SimWindows windows{clock};
  sim::SimMemory memory;
  sim::SimClipboard clipboard;
};

TEST_F(SimClipboardTest, RegisteredFormats_SameIdForSameNameInAnyCase_AboveTheStandardRange) {
  Uint id = clipboard.RegisterClipboardFormatA("CanIncludeInClipboardHistory");
  EXPECT_GE(id, 0xC000u);
  EXPECT_EQ(id, clipboard.RegisterClipboardFormatA("canincludeinclipboardhistory"));
  EXPECT_EQ(id, clipboard.RegisterClipboardFormatA("CANINCLUDEINCLIPBOARDHISTORY"));
  EXPECT_NE(id, clipboard.RegisterClipboardFormatA("ExcludeClipboardContentFromMonitorProcessing"));
  EXPECT_EQ(0u, clipboard.RegisterClipboardFormatA(""));
}

TEST_F(SimClipboardTest, Open_RefusedToAnotherWindowWhileHeld_AllowedToTheHolderAgain) {
  EXPECT_TRUE(clipboard.OpenClipboard(0x111));
  EXPECT_FALSE(clipboard.OpenClipboard(0x222));
  EXPECT_TRUE(clipboard.OpenClipboard(0x111));
  EXPECT_TRUE(clipboard.CloseClipboard());
  EXPECT_FALSE(clipboard.CloseClipboard());
  EXPECT_TRUE(clipboard.OpenClipboard(0x222));
}

TEST_F(SimClipboardTest, ChangesNeedTheClipboardOpen) {
  Hglobal block = memory.MakeBlock(std::string("x", 2), 2);
  EXPECT_FALSE(clipboard.EmptyClipboard());
  EXPECT_EQ(0u, clipboard.SetClipboardData(CfText, block));
  EXPECT_EQ(0u, clipboard.GetClipboardData(CfText));
  EXPECT_FALSE(memory.IsFreed(block));
}

TEST_F(SimClipboardTest, Empty_MakesTheOpenerOwner_AndFreesTheOldBlocks) {
  sim::ForeignProgram other(clipboard);
  ASSERT_TRUE(other.CopyExcludedText("old"));
  EXPECT_EQ(other.Window(), clipboard.Owner());
  EXPECT_EQ(2, memory.LiveBlocks());

  ASSERT_TRUE(clipboard.OpenClipboard(0x111));
  ASSERT_TRUE(clipboard.EmptyClipboard());
  EXPECT_EQ(0x111u, clipboard.Owner());
  EXPECT_EQ(0, memory.LiveBlocks());
  EXPECT_TRUE(clipboard.Formats().empty());
  EXPECT_EQ(0, memory.SystemBlocksFreed());  // freed by the system, not by a program
  clipboard.CloseClipboard();
}

TEST_F(SimClipboardTest, SetData_ReplacesTheFormatsBlock_AndTheSystemFreesTheOldOne) {
  ASSERT_TRUE(clipboard.OpenClipboard(0x111));
  clipboard.EmptyClipboard();
  Hglobal first = memory.MakeBlock(std::string("a", 2), 2);
  Hglobal second = memory.MakeBlock(std::string("b", 2), 2);
  EXPECT_EQ(first, clipboard.SetClipboardData(CfText, first));
  EXPECT_EQ(second, clipboard.SetClipboardData(CfText, second));
  EXPECT_TRUE(memory.IsFreed(first));
  EXPECT_EQ(second, clipboard.GetClipboardData(CfText));
  EXPECT_EQ(std::vector<Uint>{CfText}, clipboard.Formats());
  clipboard.CloseClipboard();
  EXPECT_EQ("b", clipboard.Text());
}

TEST_F(SimClipboardTest, Memory_LocksNest_FreedBlocksCannotBeUsed) {
  Hglobal block = memory.GlobalAlloc(GmemMoveable | GmemDdeShare, 5);
  EXPECT_EQ(5u, memory.GlobalSize(block));
  EXPECT_EQ(std::string(5, static_cast<char>(sim::SimMemory::Uninitialized)), memory.Bytes(block));
  void* p = memory.GlobalLock(block);
  ASSERT_NE(nullptr, p);
  EXPECT_EQ(p, memory.GlobalLock(block));
  EXPECT_TRUE(memory.GlobalUnlock(block));   // still locked once
  EXPECT_FALSE(memory.GlobalUnlock(block));  // the last lock is gone
  EXPECT_FALSE(memory.IsLocked(block));

  EXPECT_EQ(0u, memory.GlobalFree(block));
  EXPECT_TRUE(memory.IsFreed(block));
  EXPECT_EQ(nullptr, memory.GlobalLock(block));
  EXPECT_EQ(0u, memory.GlobalSize(block));
  EXPECT_EQ(block, memory.GlobalFree(block));
  EXPECT_EQ(1, memory.BadFrees());
  EXPECT_EQ(0, memory.LiveBlocks());
}

TEST_F(SimClipboardTest, Memory_ProgramFreeingAClipboardBlock_IsCounted) {
  sim::ForeignProgram other(clipboard);
  other.CopyText("text");
  ASSERT_TRUE(clipboard.OpenClipboard(0x111));
  memory.GlobalFree(clipboard.GetClipboardData(CfText));
  clipboard.CloseClipboard();
  EXPECT_EQ(1, memory.SystemBlocksFreed());
}

// A viewer that records and forwards, with the system's part of the chain around it.
TEST_F(SimClipboardTest, Chain_NewViewerIsToldAtOnce_ThenOfEachClosedChange) {
  sim::NeighbourViewer first(clipboard, "first");
  sim::NeighbourViewer second(clipboard, "second");
  first.Join();
  EXPECT_EQ(1, first.DrawClipboards());
  second.Join();
  EXPECT_EQ(first.Window(), second.Next());
  EXPECT_EQ(second.Window(), clipboard.Viewer());
  EXPECT_EQ(1, first.DrawClipboards());  // the newcomer's own notice goes no further

  sim::ForeignProgram other(clipboard);
  other.CopyText("a");
  EXPECT_EQ(2, second.DrawClipboards());
  EXPECT_EQ(2, first.DrawClipboards());

  // Opening and closing without a change tells nobody.
  ASSERT_TRUE(clipboard.OpenClipboard(other.Window()));
  clipboard.CloseClipboard();
  EXPECT_EQ(2, first.DrawClipboards());
}

TEST_F(SimClipboardTest, Chain_LeavingHeadMovesTheHead_OthersAreUnlinkedThroughTheChain) {
  sim::NeighbourViewer a(clipboard, "a"), b(clipboard, "b"), c(clipboard, "c");
  a.Join();
  b.Join();
  c.Join();  // c -> b -> a
  b.Leave();
  ASSERT_EQ(2u, c.Received().size());
  EXPECT_EQ(WmChangeCbChain, c.Received()[1].msg);
  EXPECT_EQ(b.Window(), c.Received()[1].wParam);
  EXPECT_EQ(static_cast<LParam>(a.Window()), c.Received()[1].lParam);
  EXPECT_EQ(a.Window(), c.Next());
  EXPECT_EQ(1u, a.Received().size());  // repaired before it reached a

  c.Leave();  // the head: the system moves the head on by itself
  EXPECT_EQ(a.Window(), clipboard.Viewer());
  EXPECT_EQ(1u, a.Received().size());

  sim::ForeignProgram other(clipboard);
  other.CopyText("x");
  EXPECT_EQ(2, a.DrawClipboards());
  EXPECT_EQ(1, b.DrawClipboards());
  EXPECT_EQ(1, c.DrawClipboards());
}

TEST_F(SimClipboardTest, ForeignProgram_HoldingTheClipboard_KeepsOthersOut) {
  sim::ForeignProgram holder(clipboard, "holder");
  ASSERT_TRUE(holder.HoldOpen());
  EXPECT_FALSE(clipboard.OpenClipboard(0x111));
  sim::ForeignProgram other(clipboard, "other");
  EXPECT_FALSE(other.CopyText("x"));
  EXPECT_EQ(0, memory.LiveBlocks());  // the refused copy freed its block
  holder.Release();
  EXPECT_TRUE(other.CopyText("x"));
}

}  // namespace

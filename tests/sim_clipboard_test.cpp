// The simulated clipboard behaves as Windows does where the program's tests rely on it.
#include "platform/sim/sim_clipboard.h"

#include <gtest/gtest.h>

namespace sim_clipboard_test {

namespace {

using namespace platform;

TEST(SimClipboard, RegisteredFormats_OneIdPerNameInAnyCase_AboveTheStandardRange) {
  sim::VirtualClock clock;
  sim::SimWindows windows(clock);
  sim::SimMemory memory;
  sim::SimClipboard clipboard(windows, memory);
  Uint id = clipboard.RegisterClipboardFormatA("CanIncludeInClipboardHistory");
  EXPECT_GE(id, 0xC000u);
  EXPECT_EQ(id, clipboard.RegisterClipboardFormatA("CANINCLUDEINCLIPBOARDHISTORY"));
  EXPECT_NE(id, clipboard.RegisterClipboardFormatA("ExcludeClipboardContentFromMonitorProcessing"));
  EXPECT_EQ(0u, clipboard.RegisterClipboardFormatA(""));
}

TEST(SimClipboard, Memory_UninitializedBytesAreNotZero_LocksNest_FreedBlocksAreGone) {
  sim::SimMemory memory;
  Hglobal block = memory.GlobalAlloc(GmemMoveable | GmemDdeShare, 3);
  EXPECT_EQ(std::string(3, static_cast<char>(sim::SimMemory::Uninitialized)), memory.Bytes(block));
  void* p = memory.GlobalLock(block);
  EXPECT_EQ(p, memory.GlobalLock(block));
  EXPECT_TRUE(memory.GlobalUnlock(block));   // still locked once
  EXPECT_FALSE(memory.GlobalUnlock(block));  // the last lock is gone
  EXPECT_EQ(0u, memory.GlobalFree(block));
  EXPECT_TRUE(memory.IsFreed(block));
  EXPECT_EQ(nullptr, memory.GlobalLock(block));
  EXPECT_EQ(block, memory.GlobalFree(block));
  EXPECT_EQ(1, memory.BadFrees());
}

// The system stands one text format in for the others, converts on the first request only, and
// lets the converted blocks go with the content.
TEST(SimClipboard, TextFormats_ConvertedOnRequestWithTheLocaleAddedAtClose_AndGoneWithTheContent) {
  sim::VirtualClock clock;
  sim::SimWindows windows(clock);
  sim::SimMemory memory;
  sim::SimClipboard clipboard(windows, memory);
  sim::ForeignProgram other(clipboard);
  ASSERT_TRUE(other.CopyUnicodeText(u"\u00E9\u0416"));
  EXPECT_EQ(std::vector<Uint>{CfUnicodeText}, clipboard.Formats());
  EXPECT_EQ(2, memory.LiveBlocks());  // the text and the CF_LOCALE the close added
  ASSERT_TRUE(clipboard.OpenClipboard(other.Window()));
  for (Uint format : {CfText, CfOemText, CfLocale}) EXPECT_TRUE(clipboard.IsClipboardFormatAvailable(format));
  EXPECT_EQ(std::string("\x09\x04\0\0", 4), memory.Bytes(clipboard.GetClipboardData(CfLocale)));
  const Hglobal ansi = clipboard.GetClipboardData(CfText);
  EXPECT_EQ(ansi, clipboard.GetClipboardData(CfText));
  EXPECT_EQ(std::string("\xE9?\0", 3), memory.Bytes(ansi));
  EXPECT_EQ(std::string("\x82?\0", 3), memory.Bytes(clipboard.GetClipboardData(CfOemText)));
  clipboard.CloseClipboard();
  EXPECT_EQ(4, memory.LiveBlocks());

  ASSERT_TRUE(other.CopyImage());
  EXPECT_EQ(1, memory.LiveBlocks());
  ASSERT_TRUE(clipboard.OpenClipboard(other.Window()));
  EXPECT_FALSE(clipboard.IsClipboardFormatAvailable(CfText));
  EXPECT_EQ(0u, clipboard.GetClipboardData(CfUnicodeText));
  clipboard.CloseClipboard();
  EXPECT_EQ(0, memory.SystemBlocksFreed());
  EXPECT_EQ(0, memory.BadFrees());
}

}  // namespace
}  // namespace sim_clipboard_test

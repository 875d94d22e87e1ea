// The simulated clipboard behaves as Windows does where the program's tests rely on it.
#include "platform/sim/sim_clipboard.h"

#include <gtest/gtest.h>

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

}  // namespace

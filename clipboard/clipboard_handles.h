// Scoped holders of the clipboard's open state and of global memory blocks, so that every way
// out of a clipboard operation closes, unlocks and frees what it should.
#pragma once

#include "platform/clipboard.h"

namespace clipboard {

// The clipboard open on behalf of a window; closed on every way out once the open succeeded.
class OpenedClipboard {
 public:
  OpenedClipboard(platform::IClipboard& clipboard, platform::Hwnd owner)
      : clipboard_(clipboard), open_(clipboard.OpenClipboard(owner)) {}
  ~OpenedClipboard() {
    if (open_) clipboard_.CloseClipboard();
  }
  OpenedClipboard(const OpenedClipboard&) = delete;
  OpenedClipboard& operator=(const OpenedClipboard&) = delete;
  bool IsOpen() const { return open_; }

 private:
  platform::IClipboard& clipboard_;
  bool open_;
};

// A lock on a global block, released on every way out. Data() is null when the lock failed.
class LockedBlock {
 public:
  LockedBlock(platform::IGlobalMemory& memory, platform::Hglobal block)
      : memory_(memory), block_(block), data_(static_cast<unsigned char*>(memory.GlobalLock(block))) {}
  ~LockedBlock() {
    if (data_) memory_.GlobalUnlock(block_);
  }
  LockedBlock(const LockedBlock&) = delete;
  LockedBlock& operator=(const LockedBlock&) = delete;
  unsigned char* Data() const { return data_; }

 private:
  platform::IGlobalMemory& memory_;
  platform::Hglobal block_;
  unsigned char* data_;
};

// A block the program owns and frees, until Release() hands it to the system.
class OwnedBlock {
 public:
  OwnedBlock(platform::IGlobalMemory& memory, platform::Hglobal block) : memory_(memory), block_(block) {}
  ~OwnedBlock() {
    if (block_) memory_.GlobalFree(block_);
  }
  OwnedBlock(const OwnedBlock&) = delete;
  OwnedBlock& operator=(const OwnedBlock&) = delete;
  platform::Hglobal Get() const { return block_; }
  platform::Hglobal Release() {
    platform::Hglobal block = block_;
    block_ = 0;
    return block;
  }

 private:
  platform::IGlobalMemory& memory_;
  platform::Hglobal block_;
};

}  // namespace clipboard

// The simulated clipboard: global memory blocks, formats, the owner, the open state and the
// viewer chain, and the other programs that use them.
//
// Sends are synchronous, as on Windows: the CloseClipboard that ends a change returns only
// after the chain's head (and whoever it passes the notification to) has handled it.
//
// The three text formats stand in for one another as on Windows: a program that puts one of
// CF_UNICODETEXT, CF_TEXT and CF_OEMTEXT there offers all three, the others converted on
// request with the code pages of the content's CF_LOCALE, which the system adds at the close
// (the current input locale) when the program put none there.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/clipboard.h"
#include "platform/sim/sim_windows.h"

namespace sim {

class SimMemory : public platform::IGlobalMemory {
 public:
  SimMemory() = default;
  SimMemory(const SimMemory&) = delete;
  SimMemory& operator=(const SimMemory&) = delete;

  platform::Hglobal GlobalAlloc(platform::Uint flags, std::size_t bytes) override;
  void* GlobalLock(platform::Hglobal block) override;
  bool GlobalUnlock(platform::Hglobal block) override;
  std::size_t GlobalSize(platform::Hglobal block) override;
  platform::Hglobal GlobalFree(platform::Hglobal block) override;

  // Bytes that GlobalAlloc leaves in a block without GMEM_ZEROINIT.
  static constexpr unsigned char Uninitialized = 0xCD;
  static constexpr platform::Uint GmemZeroInit = 0x0040;

  // --- For tests ---
  // A block of `size` bytes (at least the bytes given) that starts with `bytes`; the rest is zero.
  platform::Hglobal MakeBlock(const std::string& bytes, std::size_t size);
  int LiveBlocks() const;
  bool Exists(platform::Hglobal block) const { return blocks_.count(block) != 0; }
  bool IsLocked(platform::Hglobal block) const { return LockCount(block) > 0; }
  int LockCount(platform::Hglobal block) const;
  bool IsFreed(platform::Hglobal block) const;
  platform::Uint Flags(platform::Hglobal block) const;
  // The whole block, every byte of it; empty for a freed or unknown handle.
  std::string Bytes(platform::Hglobal block) const;
  // The program freed a block that the clipboard owned (a fault: the clipboard loses it).
  int SystemBlocksFreed() const { return systemBlocksFreed_; }
  // GlobalFree of a handle that was already freed or never allocated.
  int BadFrees() const { return badFrees_; }
  // The next `count` GlobalAlloc calls fail.
  void FailAllocs(int count) { failAllocs_ = count; }
  // The next `count` GlobalLock calls fail.
  void FailLocks(int count) { failLocks_ = count; }

  // --- For the clipboard, which owns the blocks handed to it ---
  void GiveToSystem(platform::Hglobal block);
  void FreeBySystem(platform::Hglobal block);

 private:
  struct Block {
    platform::Uint flags = 0;
    std::vector<unsigned char> bytes;
    int locks = 0;
    bool system = false;
  };
  Block* Live(platform::Hglobal block);
  const Block* Live(platform::Hglobal block) const;

  static constexpr platform::Hglobal FirstHandle = 0x30000;
  static constexpr platform::Hglobal HandleStep = 8;
  std::map<platform::Hglobal, Block> blocks_;  // the live blocks
  platform::Hglobal nextHandle_ = FirstHandle;
  int systemBlocksFreed_ = 0;
  int badFrees_ = 0;
  int failAllocs_ = 0;
  int failLocks_ = 0;
};

class SimClipboard : public platform::IClipboard {
 public:
  SimClipboard(SimWindows& windows, SimMemory& memory);
  SimClipboard(const SimClipboard&) = delete;
  SimClipboard& operator=(const SimClipboard&) = delete;

  bool OpenClipboard(platform::Hwnd owner) override;
  bool CloseClipboard() override;
  bool EmptyClipboard() override;
  platform::Hglobal GetClipboardData(platform::Uint format) override;
  platform::Hglobal SetClipboardData(platform::Uint format, platform::Hglobal block) override;
  bool IsClipboardFormatAvailable(platform::Uint format) override;
  platform::Uint RegisterClipboardFormatA(const std::string& name) override;
  platform::Hwnd SetClipboardViewer(platform::Hwnd viewer) override;
  bool ChangeClipboardChain(platform::Hwnd remove, platform::Hwnd next) override;
  platform::Dword GetClipboardSequenceNumber() override { return sequence_; }
  platform::Uint EnumClipboardFormats(platform::Uint format) override;
  platform::Hwnd GetOpenClipboardWindow() override;
  platform::Hwnd GetClipboardOwner() override { return owner_; }
  // No program here puts GDI objects on the clipboard, so there is nothing to copy.
  platform::Handle CopyImage(platform::Handle, platform::Uint) override { return 0; }
  platform::Handle CopyEnhMetaFileA(platform::Handle) override { return 0; }
  platform::Handle CopyPalette(platform::Handle) override { return 0; }
  bool DeleteObject(platform::Handle) override { return false; }
  bool DeleteEnhMetaFile(platform::Handle) override { return false; }

  // --- For tests ---
  SimWindows& Windows() { return windows_; }
  SimMemory& Memory() { return memory_; }
  bool IsOpen() const { return open_; }
  platform::Hwnd OpenedBy() const { return opener_; }
  platform::Hwnd Owner() const { return owner_; }
  platform::Hwnd Viewer() const { return viewer_; }  // the chain's head
  // The formats programs put on the clipboard, in that order; not those the system added.
  std::vector<platform::Uint> Formats() const;
  // The CF_TEXT bytes up to the first zero, as a program reading CF_TEXT gets them; nothing
  // when the clipboard holds no text.
  std::optional<std::string> Text() const;
  // Whether the format is offered without its data yet (delayed rendering).
  bool IsDelayed(platform::Uint format) const;
  // How many WM_RENDERFORMAT the owner was sent.
  int RenderRequests() const { return renderRequests_; }
  // The CF_UNICODETEXT up to the first zero, as a program reading it gets it.
  std::optional<std::u16string> UnicodeText() const;
  // The input locale the system gives content that states none (CF_LOCALE).
  void SetInputLocale(platform::Dword lcid) { inputLocale_ = lcid; }
  // Off: only the formats put there are offered, none converted from another.
  void SetDerivesTextFormats(bool derive) { deriveText_ = derive; }
  // The whole block of a format, spare bytes included; nothing when the format is absent.
  std::optional<std::string> BlockBytes(platform::Uint format) const;
  // A registered format's name as first registered; a standard format as "#" and its number.
  std::string FormatName(platform::Uint format) const;
  // Every format programs put there, by name, with its whole block ("<delayed>" for data not
  // rendered yet), in the clipboard's order: what a test compares before and after a paste.
  std::vector<std::pair<std::string, std::string>> NamedContent() const;
  // How often OpenClipboard succeeded, and how often CloseClipboard ended an open.
  int Opens() const { return opens_; }
  int Closes() const { return closes_; }
  // How many WM_DRAWCLIPBOARD the system sent to the chain's head.
  int Notifications() const { return notifications_; }
  // The next `count` SetClipboardData calls fail (and leave the block with the caller).
  void FailSetData(int count) { failSetData_ = count; }

 private:
  struct Entry {
    platform::Uint format;
    platform::Hglobal block;
    bool bySystem = false;  // converted on request, or the CF_LOCALE the close added
  };
  const Entry* Find(platform::Uint format) const;
  void FreeEntries();
  void DropConversions();
  // The text format placed by a program that a conversion to `format` starts from.
  const Entry* TextSource(platform::Uint format) const;
  // The source's text, cut at its first zero, in `format`'s encoding with its terminating zero.
  std::string ConvertedText(const Entry& source, platform::Uint format) const;
  void CodePages(platform::Uint& ansi, platform::Uint& oem) const;

  SimWindows& windows_;
  SimMemory& memory_;
  std::vector<Entry> entries_;
  bool open_ = false;
  platform::Hwnd opener_ = 0;
  platform::Hwnd owner_ = 0;
  bool changed_ = false;
  platform::Hwnd viewer_ = 0;
  std::map<std::string, platform::Uint> registered_;  // by the name in lower case
  std::map<platform::Uint, std::string> names_;       // as first registered
  platform::Uint nextFormat_ = 0xC000;
  int opens_ = 0;
  int closes_ = 0;
  int notifications_ = 0;
  int failSetData_ = 0;
  platform::Dword sequence_ = 1;
  platform::Uint rendering_ = 0;  // the format whose WM_RENDERFORMAT the owner is handling
  int renderRequests_ = 0;
  platform::Dword inputLocale_ = 0x0409;
  bool deriveText_ = true;
};

// Another program on the simulated desktop that copies to the clipboard from a window of its own.
// Each operation opens and closes the clipboard as such a program would, so the viewers are
// notified; each returns false when the clipboard could not be opened.
class ForeignProgram {
 public:
  explicit ForeignProgram(SimClipboard& clipboard, const std::string& title = "Other program");
  ~ForeignProgram();
  ForeignProgram(const ForeignProgram&) = delete;
  ForeignProgram& operator=(const ForeignProgram&) = delete;

  platform::Hwnd Window() const { return window_; }
  // The text and its terminating zero, in a block of exactly that size.
  bool CopyText(const std::string& text);
  // The text and its zero at the start of a block of `blockSize` bytes.
  bool CopyTextInBlock(const std::string& text, std::size_t blockSize);
  // A CF_TEXT block that holds exactly these bytes, zeros and what follows them included.
  bool CopyBytes(const std::string& bytes);
  // A bitmap, as CF_DIB and nothing else.
  bool CopyImage();
  // Several formats at once, each as a block of exactly these bytes.
  bool CopyFormats(const std::vector<std::pair<platform::Uint, std::string>>& formats);
  // Reads the text as a program pasting it would, on behalf of its own window (so that a
  // delayed-rendered text is rendered for it); nothing when there is none or the clipboard
  // cannot be opened.
  std::optional<std::string> ReadText();
  // The whole block of a format as a program reading it gets it, having a delayed one rendered.
  std::optional<std::string> ReadFormat(platform::Uint format);
  // The same read of CF_UNICODETEXT.
  std::optional<std::u16string> ReadUnicodeText();
  // A text marked as not meant for clipboard monitors and histories.
  bool CopyExcludedText(const std::string& text);  // ExcludeClipboardContentFromMonitorProcessing
  bool CopyTextWithHistoryFlag(const std::string& text,
                               platform::Dword value);     // CanIncludeInClipboardHistory
  bool CopyViewerIgnoredText(const std::u16string& text);  // Clipboard Viewer Ignore
  // CF_UNICODETEXT alone, as current programs copy; the system adds CF_LOCALE.
  bool CopyUnicodeText(const std::u16string& text);
  // CF_TEXT bytes with the CF_LOCALE of the program's locale, as an older program copies.
  bool CopyLegacyText(const std::string& bytes, platform::Dword lcid);
  // Opens the clipboard and keeps it open until Release.
  bool HoldOpen();
  void Release();

 private:
  bool Copy(const std::vector<std::pair<platform::Uint, platform::Hglobal>>& formats);
  std::optional<std::string> ReadBlock(platform::Uint format);

  SimClipboard& clipboard_;
  platform::Hwnd window_;
  bool holding_ = false;
};

// A clipboard viewer of another program. It keeps its successor and passes every chain
// message on as the protocol asks, and records what it received.
class NeighbourViewer : private platform::IWindowProc {
 public:
  explicit NeighbourViewer(SimClipboard& clipboard, const std::string& title = "Viewer");
  // Leaves the chain first when it is still a member.
  ~NeighbourViewer();
  NeighbourViewer(const NeighbourViewer&) = delete;
  NeighbourViewer& operator=(const NeighbourViewer&) = delete;

  platform::Hwnd Window() const { return window_; }
  platform::Hwnd Next() const { return next_; }
  bool Joined() const { return joined_; }
  void Join();
  void Leave();
  // WM_DRAWCLIPBOARD and WM_CHANGECBCHAIN as they arrived.
  const std::vector<SentMessage>& Received() const { return received_; }
  int DrawClipboards() const;
  void ClearReceived() { received_.clear(); }
  // From now on, each change makes this viewer open the clipboard (to read it) and keep it
  // open for `ms` before it passes the notification on; 0 stops that.
  void HoldOnChange(platform::Dword ms) { holdMs_ = ms; }

 private:
  platform::LResult WindowProc(platform::Hwnd hwnd, platform::Uint msg, platform::WParam wParam,
                               platform::LParam lParam) override;

  SimClipboard& clipboard_;
  platform::Hwnd window_;
  platform::Hwnd next_ = 0;
  bool joined_ = false;
  platform::Dword holdMs_ = 0;
  std::vector<SentMessage> received_;
};

}  // namespace sim

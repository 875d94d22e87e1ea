#include "platform/sim/sim_clipboard.h"

#include <algorithm>
#include <cstring>

#include "platform/sim/sim_codepage.h"

namespace sim {

using namespace platform;

namespace {

// A UTF-16 text as the bytes of a CF_UNICODETEXT block, with its terminating zero.
std::string Utf16Bytes(const std::u16string& text) {
  std::string bytes;
  for (char16_t unit : text) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes + std::string(2, '\0');
}

// The text of a CF_UNICODETEXT block, up to its first zero.
std::u16string Utf16FromBytes(const std::string& bytes) {
  std::u16string text;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto unit = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                            (static_cast<unsigned char>(bytes[i + 1]) << 8));
    if (unit == 0) break;
    text.push_back(unit);
  }
  return text;
}

bool IsTextFormat(Uint format) { return format == CfUnicodeText || format == CfText || format == CfOemText; }

}  // namespace

// ---- SimMemory ----

SimMemory::Block* SimMemory::Live(Hglobal block) {
  auto it = blocks_.find(block);
  return it == blocks_.end() ? nullptr : &it->second;
}

const SimMemory::Block* SimMemory::Live(Hglobal block) const {
  auto it = blocks_.find(block);
  return it == blocks_.end() ? nullptr : &it->second;
}

Hglobal SimMemory::GlobalAlloc(Uint flags, std::size_t bytes) {
  if (failAllocs_ > 0) {
    --failAllocs_;
    return 0;
  }
  Block block;
  block.flags = flags;
  // Without GMEM_ZEROINIT the content is whatever the heap held; a fixed non-zero pattern
  // makes a missing terminator show up as garbage instead of passing by luck.
  block.bytes.assign(bytes, (flags & GmemZeroInit) ? 0 : Uninitialized);
  Hglobal handle = nextHandle_;
  nextHandle_ += HandleStep;
  blocks_.emplace(handle, std::move(block));
  return handle;
}

void* SimMemory::GlobalLock(Hglobal block) {
  Block* b = Live(block);
  if (!b) return nullptr;
  if (failLocks_ > 0) {
    --failLocks_;
    return nullptr;
  }
  ++b->locks;
  // A zero-byte block still has an address while locked.
  static unsigned char empty = 0;
  return b->bytes.empty() ? &empty : b->bytes.data();
}

// As on Windows: true while the block stays locked, false once the last lock is gone (and for
// a block that was not locked at all).
bool SimMemory::GlobalUnlock(Hglobal block) {
  Block* b = Live(block);
  if (!b || b->locks == 0) return false;
  return --b->locks > 0;
}

std::size_t SimMemory::GlobalSize(Hglobal block) {
  const Block* b = Live(block);
  return b ? b->bytes.size() : 0;
}

Hglobal SimMemory::GlobalFree(Hglobal block) {
  if (block == 0) return 0;
  Block* b = Live(block);
  if (!b) {
    ++badFrees_;
    return block;
  }
  if (b->system) ++systemBlocksFreed_;
  // Handles are never reused, so a freed block needs no record: IsFreed knows it by its number.
  blocks_.erase(block);
  return 0;
}

Hglobal SimMemory::MakeBlock(const std::string& bytes, std::size_t size) {
  Hglobal handle = GlobalAlloc(GmemMoveable | GmemZeroInit, std::max(size, bytes.size()));
  if (handle) std::memcpy(Live(handle)->bytes.data(), bytes.data(), bytes.size());
  return handle;
}

int SimMemory::LiveBlocks() const { return static_cast<int>(blocks_.size()); }

int SimMemory::LockCount(Hglobal block) const {
  const Block* b = Live(block);
  return b ? b->locks : 0;
}

bool SimMemory::IsFreed(Hglobal block) const {
  const bool allocated =
      block >= FirstHandle && block < nextHandle_ && (block - FirstHandle) % HandleStep == 0;
  return allocated && !Exists(block);
}

Uint SimMemory::Flags(Hglobal block) const {
  const Block* b = Live(block);
  return b ? b->flags : 0;
}

std::string SimMemory::Bytes(Hglobal block) const {
  const Block* b = Live(block);
  return b ? std::string(b->bytes.begin(), b->bytes.end()) : std::string();
}

void SimMemory::GiveToSystem(Hglobal block) {
  if (Block* b = Live(block)) b->system = true;
}

void SimMemory::FreeBySystem(Hglobal block) {
  if (Block* b = Live(block)) {
    b->system = false;
    GlobalFree(block);
  }
}

// ---- SimClipboard ----

SimClipboard::SimClipboard(SimWindows& windows, SimMemory& memory) : windows_(windows), memory_(memory) {}

bool SimClipboard::OpenClipboard(Hwnd owner) {
  // The window that holds it open may open it again; any other is refused.
  if (open_ && opener_ != owner) return false;
  if (!open_) {
    open_ = true;
    opener_ = owner;
    changed_ = false;
  }
  ++opens_;
  return true;
}

bool SimClipboard::CloseClipboard() {
  if (!open_) return false;
  open_ = false;
  opener_ = 0;
  ++closes_;
  if (changed_) {
    changed_ = false;
    const bool text = Find(CfUnicodeText) || Find(CfText) || Find(CfOemText);
    if (text && !Find(CfLocale)) {
      std::string lcid(sizeof inputLocale_, '\0');
      std::memcpy(lcid.data(), &inputLocale_, sizeof inputLocale_);
      const Hglobal block = memory_.MakeBlock(lcid, lcid.size());
      memory_.GiveToSystem(block);
      entries_.push_back({CfLocale, block, true});
    }
    ++notifications_;
    // Synchronous: the viewers handle the change before CloseClipboard returns.
    if (viewer_ != 0) windows_.SendMessageA(viewer_, WmDrawClipboard, 0, 0);
  }
  return true;
}

void SimClipboard::FreeEntries() {
  for (const Entry& e : entries_)
    if (e.block != 0) memory_.FreeBySystem(e.block);
  entries_.clear();
}

bool SimClipboard::EmptyClipboard() {
  if (!open_) return false;
  // The owner may free what it kept to render: nobody will ask it any more.
  if (owner_ != 0 && windows_.Exists(owner_)) windows_.SendMessageA(owner_, WmDestroyClipboard, 0, 0);
  FreeEntries();
  owner_ = opener_;
  changed_ = true;
  ++sequence_;
  return true;
}

const SimClipboard::Entry* SimClipboard::Find(Uint format) const {
  for (const Entry& e : entries_)
    if (e.format == format) return &e;
  return nullptr;
}

void SimClipboard::DropConversions() {
  std::erase_if(entries_, [this](const Entry& e) {
    if (!e.bySystem || !IsTextFormat(e.format)) return false;
    memory_.FreeBySystem(e.block);
    return true;
  });
}

const SimClipboard::Entry* SimClipboard::TextSource(Uint format) const {
  if (!deriveText_ || !IsTextFormat(format)) return nullptr;
  for (Uint source : {CfUnicodeText, CfText, CfOemText}) {
    const Entry* e = Find(source);
    if (e && !e->bySystem) return e;
  }
  return nullptr;
}

void SimClipboard::CodePages(Uint& ansi, Uint& oem) const {
  Dword lcid = inputLocale_;
  if (const Entry* locale = Find(CfLocale)) {
    const std::string bytes = memory_.Bytes(locale->block);
    if (bytes.size() >= sizeof lcid) std::memcpy(&lcid, bytes.data(), sizeof lcid);
  }
  if (!LocaleCodePages(lcid, ansi, oem)) {
    ansi = AnsiCodePage;
    oem = OemCodePage;
  }
}

std::string SimClipboard::ConvertedText(const Entry& source, Uint format) const {
  Uint ansi = AnsiCodePage, oem = OemCodePage;
  CodePages(ansi, oem);
  const std::string bytes = memory_.Bytes(source.block);
  const std::u16string text =
      source.format == CfUnicodeText
          ? Utf16FromBytes(bytes)
          : MultiByteToWide(source.format == CfText ? ansi : oem, bytes.substr(0, bytes.find('\0')));
  if (format == CfUnicodeText) return Utf16Bytes(text);
  return WideToMultiByte(format == CfText ? ansi : oem, text) + '\0';
}

// A converted format is made on the first request and then kept with the content, as the
// system keeps it.
Hglobal SimClipboard::GetClipboardData(Uint format) {
  if (!open_) return 0;
  const Entry* e = Find(format);
  if (e && e->block == 0 && owner_ != 0 && rendering_ == 0) {
    // Delayed rendering: the owner is asked, synchronously, to put the data now.
    ++renderRequests_;
    rendering_ = format;
    windows_.SendMessageA(owner_, WmRenderFormat, format, 0);
    rendering_ = 0;
    e = Find(format);
  }
  if (e) return e->block;
  const Entry* source = TextSource(format);
  if (!source) return 0;
  // A conversion from a delayed-rendered text has that text rendered first.
  if (source->block == 0 && GetClipboardData(source->format) == 0) return 0;
  source = TextSource(format);
  if (!source || source->block == 0) return 0;
  const std::string bytes = ConvertedText(*source, format);
  const Hglobal block = memory_.MakeBlock(bytes, bytes.size());
  memory_.GiveToSystem(block);
  entries_.push_back({format, block, true});
  return block;
}

Hglobal SimClipboard::SetClipboardData(Uint format, Hglobal block) {
  if (format == 0) return 0;
  if (failSetData_ > 0) {
    --failSetData_;
    return 0;
  }
  // The owner answers WM_RENDERFORMAT without opening the clipboard: the reader holds it open.
  const bool rendering = rendering_ == format;
  if (!open_ && !rendering) return 0;
  if (block != 0 && (!memory_.Exists(block) || memory_.IsFreed(block))) return 0;
  // A null block offers the format now and delays its data until someone asks for it.
  if (block == 0 && opener_ != owner_) return 0;
  auto it =
      std::find_if(entries_.begin(), entries_.end(), [format](const Entry& e) { return e.format == format; });
  if (it != entries_.end()) {
    if (it->block != 0) memory_.FreeBySystem(it->block);
    it->block = block;
    it->bySystem = false;
  } else {
    entries_.push_back({format, block});
  }
  if (block != 0) memory_.GiveToSystem(block);
  if (IsTextFormat(format)) DropConversions();
  if (!rendering) changed_ = true;
  // As on Windows, offering a format without data answers null although it succeeded.
  return block;
}

bool SimClipboard::IsClipboardFormatAvailable(Uint format) {
  return Find(format) != nullptr || TextSource(format) != nullptr;
}

// As Windows lists them: the formats programs put there, in that order, then the ones the
// system adds or converts to.
Uint SimClipboard::EnumClipboardFormats(Uint format) {
  if (!open_) return 0;
  std::vector<Uint> formats;
  for (const Entry& e : entries_)
    if (!e.bySystem) formats.push_back(e.format);
  for (const Entry& e : entries_)
    if (e.bySystem) formats.push_back(e.format);
  for (Uint text : {CfUnicodeText, CfText, CfOemText})
    if (std::find(formats.begin(), formats.end(), text) == formats.end() && TextSource(text))
      formats.push_back(text);
  auto it = formats.begin();
  if (format != 0) {
    it = std::find(formats.begin(), formats.end(), format);
    if (it == formats.end()) return 0;
    ++it;
  }
  return it == formats.end() ? 0 : *it;
}

Hwnd SimClipboard::GetOpenClipboardWindow() { return open_ ? opener_ : 0; }

bool SimClipboard::IsDelayed(Uint format) const {
  const Entry* e = Find(format);
  return e && e->block == 0;
}

Uint SimClipboard::RegisterClipboardFormatA(const std::string& name) {
  if (name.empty()) return 0;
  std::string key = name;
  std::transform(key.begin(), key.end(), key.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  auto [it, added] = registered_.emplace(key, nextFormat_);
  if (added) names_[nextFormat_++] = name;
  return it->second;
}

// A new viewer is told of the current content at once, before the call returns, as Windows
// does; its successor is not yet known to it then, so that first notice goes no further.
Hwnd SimClipboard::SetClipboardViewer(Hwnd viewer) {
  Hwnd previous = viewer_;
  viewer_ = viewer;
  if (viewer != 0) windows_.SendMessageA(viewer, WmDrawClipboard, 0, 0);
  return previous;
}

// When the head leaves, the system itself moves the head to its successor and nobody needs to
// hear of it; otherwise the head is told, and the message travels down the chain to the
// window just before the one leaving.
bool SimClipboard::ChangeClipboardChain(Hwnd remove, Hwnd next) {
  if (remove == 0) return false;
  if (remove == viewer_) {
    viewer_ = next;
    return true;
  }
  if (viewer_ != 0) windows_.SendMessageA(viewer_, WmChangeCbChain, remove, static_cast<LParam>(next));
  return true;
}

std::vector<Uint> SimClipboard::Formats() const {
  std::vector<Uint> formats;
  for (const Entry& e : entries_)
    if (!e.bySystem) formats.push_back(e.format);
  return formats;
}

std::optional<std::string> SimClipboard::BlockBytes(Uint format) const {
  const Entry* e = Find(format);
  if (!e) return std::nullopt;
  return memory_.Bytes(e->block);
}

std::string SimClipboard::FormatName(Uint format) const {
  auto it = names_.find(format);
  if (it != names_.end()) return it->second;
  std::string name = "#";
  name += std::to_string(format);
  return name;
}

std::vector<std::pair<std::string, std::string>> SimClipboard::NamedContent() const {
  std::vector<std::pair<std::string, std::string>> content;
  for (const Entry& e : entries_)
    if (!e.bySystem)
      content.push_back({FormatName(e.format), e.block == 0 ? "<delayed>" : memory_.Bytes(e.block)});
  return content;
}

std::optional<std::string> SimClipboard::Text() const {
  std::optional<std::string> bytes = BlockBytes(CfText);
  if (!bytes) {
    const Entry* source = TextSource(CfText);
    if (!source) return std::nullopt;
    bytes = ConvertedText(*source, CfText);
  }
  bytes->erase(std::find(bytes->begin(), bytes->end(), '\0'), bytes->end());
  return bytes;
}

std::optional<std::u16string> SimClipboard::UnicodeText() const {
  std::optional<std::string> bytes = BlockBytes(CfUnicodeText);
  if (!bytes) {
    const Entry* source = TextSource(CfUnicodeText);
    if (!source) return std::nullopt;
    bytes = ConvertedText(*source, CfUnicodeText);
  }
  return Utf16FromBytes(*bytes);
}

// ---- ForeignProgram ----

ForeignProgram::ForeignProgram(SimClipboard& clipboard, const std::string& title) : clipboard_(clipboard) {
  WindowDesc desc;
  desc.kind = WindowKind::Hidden;
  desc.title = title;
  window_ = clipboard_.Windows().CreateWindowA(desc, nullptr);
}

ForeignProgram::~ForeignProgram() {
  Release();
  clipboard_.Windows().DestroyWindow(window_);
}

bool ForeignProgram::Copy(const std::vector<std::pair<Uint, Hglobal>>& formats) {
  if (!clipboard_.OpenClipboard(window_)) {
    for (const auto& f : formats) clipboard_.Memory().GlobalFree(f.second);
    return false;
  }
  clipboard_.EmptyClipboard();
  for (const auto& f : formats) clipboard_.SetClipboardData(f.first, f.second);
  // A program that holds the clipboard open keeps holding it.
  if (!holding_) clipboard_.CloseClipboard();
  return true;
}

bool ForeignProgram::CopyText(const std::string& text) { return CopyTextInBlock(text, text.size() + 1); }

bool ForeignProgram::CopyTextInBlock(const std::string& text, std::size_t blockSize) {
  return Copy({{CfText, clipboard_.Memory().MakeBlock(text + '\0', blockSize)}});
}

bool ForeignProgram::CopyBytes(const std::string& bytes) {
  return Copy({{CfText, clipboard_.Memory().MakeBlock(bytes, bytes.size())}});
}

bool ForeignProgram::CopyImage() {
  // A 1x1 bitmap: BITMAPINFOHEADER (40 bytes) and one pixel.
  std::string dib(44, '\0');
  dib[0] = 40;
  dib[4] = 1;
  dib[8] = 1;
  dib[12] = 1;
  dib[14] = 24;
  return Copy({{CfDib, clipboard_.Memory().MakeBlock(dib, dib.size())}});
}

bool ForeignProgram::CopyFormats(const std::vector<std::pair<Uint, std::string>>& formats) {
  std::vector<std::pair<Uint, Hglobal>> blocks;
  for (const auto& [format, bytes] : formats)
    blocks.push_back({format, clipboard_.Memory().MakeBlock(bytes, bytes.size())});
  return Copy(blocks);
}

std::optional<std::string> ForeignProgram::ReadBlock(Uint format) {
  if (!clipboard_.OpenClipboard(window_)) return std::nullopt;
  std::optional<std::string> bytes;
  if (Hglobal block = clipboard_.GetClipboardData(format)) bytes = clipboard_.Memory().Bytes(block);
  if (!holding_) clipboard_.CloseClipboard();
  return bytes;
}

std::optional<std::string> ForeignProgram::ReadFormat(Uint format) { return ReadBlock(format); }

std::optional<std::string> ForeignProgram::ReadText() {
  std::optional<std::string> text = ReadBlock(CfText);
  if (text) text->resize(std::min(text->size(), text->find('\0')));
  return text;
}

std::optional<std::u16string> ForeignProgram::ReadUnicodeText() {
  std::optional<std::string> bytes = ReadBlock(CfUnicodeText);
  if (!bytes) return std::nullopt;
  return Utf16FromBytes(*bytes);
}

bool ForeignProgram::CopyExcludedText(const std::string& text) {
  SimMemory& memory = clipboard_.Memory();
  Uint exclude = clipboard_.RegisterClipboardFormatA("ExcludeClipboardContentFromMonitorProcessing");
  return Copy({{CfText, memory.MakeBlock(text + '\0', text.size() + 1)}, {exclude, memory.MakeBlock("", 1)}});
}

bool ForeignProgram::CopyTextWithHistoryFlag(const std::string& text, Dword value) {
  SimMemory& memory = clipboard_.Memory();
  Uint canInclude = clipboard_.RegisterClipboardFormatA("CanIncludeInClipboardHistory");
  std::string dword(sizeof value, '\0');
  std::memcpy(dword.data(), &value, sizeof value);  // little-endian, as on Windows
  return Copy(
      {{CfText, memory.MakeBlock(text + '\0', text.size() + 1)}, {canInclude, memory.MakeBlock(dword, 4)}});
}

bool ForeignProgram::CopyViewerIgnoredText(const std::u16string& text) {
  SimMemory& memory = clipboard_.Memory();
  Uint ignore = clipboard_.RegisterClipboardFormatA("Clipboard Viewer Ignore");
  const std::string bytes = Utf16Bytes(text);
  return Copy({{CfUnicodeText, memory.MakeBlock(bytes, bytes.size())}, {ignore, memory.MakeBlock("", 1)}});
}

bool ForeignProgram::CopyUnicodeText(const std::u16string& text) {
  const std::string bytes = Utf16Bytes(text);
  return Copy({{CfUnicodeText, clipboard_.Memory().MakeBlock(bytes, bytes.size())}});
}

bool ForeignProgram::CopyLegacyText(const std::string& bytes, Dword lcid) {
  SimMemory& memory = clipboard_.Memory();
  std::string locale(sizeof lcid, '\0');
  std::memcpy(locale.data(), &lcid, sizeof lcid);
  return Copy(
      {{CfText, memory.MakeBlock(bytes + '\0', bytes.size() + 1)}, {CfLocale, memory.MakeBlock(locale, 4)}});
}

bool ForeignProgram::HoldOpen() {
  if (!clipboard_.OpenClipboard(window_)) return false;
  holding_ = true;
  return true;
}

void ForeignProgram::Release() {
  if (!holding_) return;
  holding_ = false;
  clipboard_.CloseClipboard();
}

// ---- NeighbourViewer ----

NeighbourViewer::NeighbourViewer(SimClipboard& clipboard, const std::string& title) : clipboard_(clipboard) {
  WindowDesc desc;
  desc.kind = WindowKind::Hidden;
  desc.title = title;
  window_ = clipboard_.Windows().CreateWindowA(desc, this);
}

NeighbourViewer::~NeighbourViewer() {
  Leave();
  clipboard_.Windows().DestroyWindow(window_);
}

void NeighbourViewer::Join() {
  if (joined_) return;
  joined_ = true;
  next_ = clipboard_.SetClipboardViewer(window_);
}

void NeighbourViewer::Leave() {
  if (!joined_) return;
  joined_ = false;
  clipboard_.ChangeClipboardChain(window_, next_);
  next_ = 0;
}

int NeighbourViewer::DrawClipboards() const {
  return static_cast<int>(std::count_if(received_.begin(), received_.end(),
                                        [](const SentMessage& m) { return m.msg == WmDrawClipboard; }));
}

LResult NeighbourViewer::WindowProc(Hwnd hwnd, Uint msg, WParam wParam, LParam lParam) {
  SimWindows& windows = clipboard_.Windows();
  switch (msg) {
    case WmDrawClipboard:
      received_.push_back({hwnd, msg, wParam, lParam});
      if (holdMs_ > 0 && clipboard_.OpenClipboard(window_)) {
        windows.Schedule(holdMs_, [&clipboard = clipboard_, window = window_] {
          if (clipboard.IsOpen() && clipboard.OpenedBy() == window) clipboard.CloseClipboard();
        });
      }
      windows.SendMessageA(next_, msg, wParam, lParam);
      return 0;
    case WmChangeCbChain:
      received_.push_back({hwnd, msg, wParam, lParam});
      if (static_cast<Hwnd>(wParam) == next_) {
        next_ = static_cast<Hwnd>(lParam);
      } else {
        windows.SendMessageA(next_, msg, wParam, lParam);
      }
      return 0;
    default:
      return windows.DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

}  // namespace sim

#include "clipboard/clipboard_text.h"

#include <cstdint>
#include <cstring>

#include "clipboard/clipboard_handles.h"
#include "clipboard/paste_writes.h"
#include "platform/errors.h"

namespace clipboard {

using namespace platform;

namespace {

// The owner of the content says whether monitors may record it. A "CanIncludeInClipboardHistory"
// mark whose value cannot be read counts as a refusal: whoever set it did not want the content
// kept, and keeping a password by mistake is worse than missing one entry.
bool MarkedPrivate(IClipboard& clipboard, IGlobalMemory& memory) {
  for (const char* mark : {ExcludeFromMonitorFormat, ViewerIgnoreFormat})
    if (clipboard.IsClipboardFormatAvailable(clipboard.RegisterClipboardFormatA(mark))) return true;
  const Uint canInclude = clipboard.RegisterClipboardFormatA(CanIncludeInHistoryFormat);
  if (canInclude == 0 || !clipboard.IsClipboardFormatAvailable(canInclude)) return false;
  const Hglobal block = clipboard.GetClipboardData(canInclude);
  if (block == 0 || memory.GlobalSize(block) < sizeof(Dword)) return true;
  LockedBlock lock(memory, block);
  if (!lock.Data()) return true;
  Dword value;
  std::memcpy(&value, lock.Data(), sizeof value);
  return value == 0;
}

// The whole block, every byte of it.
std::string BlockBytes(IGlobalMemory& memory, Hglobal block) {
  const std::size_t size = memory.GlobalSize(block);
  LockedBlock lock(memory, block);
  if (!lock.Data()) throw Error("The clipboard's text cannot be read");
  return std::string(reinterpret_cast<const char*>(lock.Data()), size);
}

// The code page the content's owner wrote its CF_TEXT in: that of its CF_LOCALE, if it has one
// that can be read.
Uint TextCodePage(Desktop& desktop, IClipboard& clipboard, IGlobalMemory& memory) {
  const Hglobal block = clipboard.GetClipboardData(CfLocale);
  if (block == 0 || memory.GlobalSize(block) < sizeof(Dword)) return CpAcp;
  LockedBlock lock(memory, block);
  if (!lock.Data()) return CpAcp;
  Dword lcid;
  std::memcpy(&lcid, lock.Data(), sizeof lcid);
  return desktop.CodePage().LocaleAnsiCodePage(lcid);
}

}  // namespace

bool ReadOpenClipboardText(Desktop& desktop, std::u16string& text) {
  IClipboard& clipboard = desktop.Clipboard();
  IGlobalMemory& memory = desktop.Memory();
  // Either block is usually longer than its text: its zero, and whatever the owner left after it.
  if (const Hglobal block = clipboard.GetClipboardData(CfUnicodeText)) {
    // Taken straight from the block, up to its zero, in one copy: a copy of 100 MB must not
    // cost three.
    const std::size_t units = memory.GlobalSize(block) / 2;  // an odd last byte is no character
    LockedBlock lock(memory, block);
    if (!lock.Data()) throw Error("The clipboard's text cannot be read");
    const auto* bytes = reinterpret_cast<const unsigned char*>(lock.Data());
    std::size_t length = 0;
    while (length < units && (bytes[2 * length] | bytes[2 * length + 1]) != 0) ++length;
    if (reinterpret_cast<std::uintptr_t>(bytes) % alignof(char16_t) == 0) {
      // Straight into the string's new room: filling it first would touch every page twice,
      // and a page's first touch is what a copy of this size spends most of its time on.
      text.assign(reinterpret_cast<const char16_t*>(bytes), length);
    } else {
      text.resize(length);
      std::memcpy(text.data(), bytes, length * 2);
    }
    return true;
  }
  const Hglobal block = clipboard.GetClipboardData(CfText);
  if (block == 0) return false;
  std::string bytes = BlockBytes(memory, block);
  const std::size_t zero = bytes.find('\0');
  if (zero != std::string::npos) bytes.resize(zero);
  text = desktop.CodePage().MultiByteToWide(TextCodePage(desktop, clipboard, memory), bytes);
  return true;
}

bool OpenClipboardMarkedPrivate(Desktop& desktop) {
  return MarkedPrivate(desktop.Clipboard(), desktop.Memory());
}

bool OpenClipboardKeptOffCloud(Desktop& desktop) {
  IClipboard& clipboard = desktop.Clipboard();
  IGlobalMemory& memory = desktop.Memory();
  const Uint canUpload = clipboard.RegisterClipboardFormatA(CanUploadToCloudFormat);
  if (canUpload == 0 || !clipboard.IsClipboardFormatAvailable(canUpload)) return false;
  const Hglobal block = clipboard.GetClipboardData(canUpload);
  if (block == 0 || memory.GlobalSize(block) < sizeof(Dword)) return true;
  LockedBlock lock(memory, block);
  if (!lock.Data()) return true;
  Dword value;
  std::memcpy(&value, lock.Data(), sizeof value);
  return value == 0;
}

namespace {

bool ReadText(Desktop& desktop, Hwnd owner, std::u16string& text, bool* markedPrivate) {
  if (markedPrivate) *markedPrivate = false;
  OpenedClipboard open(desktop.Clipboard(), owner);
  if (!open.IsOpen()) return false;
  if (markedPrivate) *markedPrivate = MarkedPrivate(desktop.Clipboard(), desktop.Memory());
  return ReadOpenClipboardText(desktop, text);
}

}  // namespace

bool GetClipboardText(Desktop& desktop, Hwnd owner, std::u16string& text) {
  return ReadText(desktop, owner, text, nullptr);
}

bool GetClipboardText(Desktop& desktop, Hwnd owner, std::u16string& text, bool& markedPrivate) {
  return ReadText(desktop, owner, text, &markedPrivate);
}

bool SetClipboardText(Desktop& desktop, Hwnd owner, const std::u16string& text) {
  return SetClipboardText(desktop, owner, text, false);
}

bool SetClipboardText(Desktop& desktop, Hwnd owner, const std::u16string& text, bool markPrivate) {
  IClipboard& clipboard = desktop.Clipboard();
  IGlobalMemory& memory = desktop.Memory();
  OpenedClipboard open(clipboard, owner);
  if (!open.IsOpen()) return false;

  const std::size_t bytes = text.size() * sizeof(char16_t);
  OwnedBlock block(memory, memory.GlobalAlloc(GmemMoveable | GmemDdeShare, bytes + sizeof(char16_t)));
  if (block.Get() == 0) throw Error("Not enough memory for the clipboard text");
  {
    LockedBlock lock(memory, block.Get());
    if (!lock.Data()) throw Error("The clipboard text's memory cannot be locked");
    std::memcpy(lock.Data(), text.data(), bytes);
    lock.Data()[bytes] = 0;
    lock.Data()[bytes + 1] = 0;
    // The old content goes only now that the new one is ready, so a failure above leaves it.
    if (!clipboard.EmptyClipboard()) throw Error("The clipboard cannot be emptied");
    if (clipboard.SetClipboardData(CfUnicodeText, block.Get()) == 0)
      throw Error("The clipboard refused the text");
    block.Release();  // the system owns it from here; the lock above still ends with this scope
  }
  if (markPrivate) {
    // The mark's content does not matter, only its presence.
    OwnedBlock mark(memory, memory.GlobalAlloc(GmemMoveable | GmemDdeShare, sizeof(Dword)));
    if (mark.Get() != 0) {
      {
        LockedBlock lock(memory, mark.Get());
        if (lock.Data()) std::memset(lock.Data(), 0, sizeof(Dword));
      }
      if (clipboard.SetClipboardData(clipboard.RegisterClipboardFormatA(ExcludeFromMonitorFormat),
                                     mark.Get()) != 0)
        mark.Release();
    }
  }
  return true;
}

}  // namespace clipboard

#include "clipboard/snapshot.h"

#include <algorithm>
#include <cstring>

#include "clipboard/clipboard_handles.h"
#include "clipboard/clipboard_text.h"
#include "clipboard/paste_writes.h"

namespace clipboard {

using namespace platform;

namespace {

bool Contains(const std::vector<Uint>& formats, Uint format) {
  return std::find(formats.begin(), formats.end(), format) != formats.end();
}

// Of formats that Windows converts into one another, the one listed first is the one its owner
// put there (the derived ones follow it); only that one is kept, and Windows derives the
// others again after the restore. That also keeps a large text from being held three times.
bool DerivedFromAnEarlier(const std::vector<Uint>& formats, Uint format, std::initializer_list<Uint> family) {
  if (std::find(family.begin(), family.end(), format) == family.end()) return false;
  for (Uint earlier : formats) {
    if (earlier == format) return false;
    if (std::find(family.begin(), family.end(), earlier) != family.end()) return true;
  }
  return false;
}

}  // namespace

ClipboardSnapshot::~ClipboardSnapshot() { FreeAll(); }

void ClipboardSnapshot::Free(const Item& item) {
  IClipboard& clipboard = desktop_.Clipboard();
  switch (item.kind) {
    case Kind::Memory:
      desktop_.Memory().GlobalFree(item.handle);
      break;
    case Kind::Bitmap:
    case Kind::Palette:
      clipboard.DeleteObject(item.handle);
      break;
    case Kind::EnhMetafile:
      clipboard.DeleteEnhMetaFile(item.handle);
      break;
  }
}

void ClipboardSnapshot::FreeAll() {
  for (const Item& item : items_) Free(item);
  items_.clear();
  bytes_ = 0;
}

std::vector<Uint> ClipboardSnapshot::Formats() const {
  std::vector<Uint> formats;
  for (const Item& item : items_) formats.push_back(item.format);
  return formats;
}

Handle ClipboardSnapshot::CopyBlock(Hglobal block) {
  IGlobalMemory& memory = desktop_.Memory();
  const std::size_t size = memory.GlobalSize(block);
  OwnedBlock copy(memory, memory.GlobalAlloc(GmemMoveable, size));
  if (copy.Get() == 0) return 0;
  if (size > 0) {
    LockedBlock from(memory, block);
    LockedBlock to(memory, copy.Get());
    if (!from.Data() || !to.Data()) return 0;
    std::memcpy(to.Data(), from.Data(), size);
  }
  bytes_ += size;
  return copy.Release();
}

// GetClipboardData has a delayed-rendered format rendered by its owner before it returns.
bool ClipboardSnapshot::Copy(Uint format, Kind kind) {
  IClipboard& clipboard = desktop_.Clipboard();
  const Handle original = clipboard.GetClipboardData(format);
  if (original == 0) return false;
  Handle copy = 0;
  const std::size_t before = bytes_;
  switch (kind) {
    case Kind::Memory:
      copy = CopyBlock(original);
      break;
    case Kind::Bitmap:
      copy = clipboard.CopyImage(original, ImageBitmap);
      break;
    case Kind::Palette:
      copy = clipboard.CopyPalette(original);
      break;
    case Kind::EnhMetafile:
      copy = clipboard.CopyEnhMetaFileA(original);
      break;
  }
  if (copy == 0) return false;
  items_.push_back({format, kind, copy, bytes_ - before});
  return true;
}

bool ClipboardSnapshot::Take(Hwnd owner) {
  FreeAll();
  skipped_.clear();
  taken_ = false;
  markedPrivate_ = false;
  IClipboard& clipboard = desktop_.Clipboard();
  OpenedClipboard open(clipboard, owner);
  if (!open.IsOpen()) return false;
  taken_ = true;
  try {
    markedPrivate_ = OpenClipboardMarkedPrivate(desktop_);
  } catch (const std::exception&) {
    markedPrivate_ = true;  // as a mark that cannot be read: kept out rather than recorded
  }

  std::vector<Uint> formats;
  for (Uint format = clipboard.EnumClipboardFormats(0); format != 0;
       format = clipboard.EnumClipboardFormats(format)) {
    // A list that comes round again would never end.
    if (Contains(formats, format)) break;
    formats.push_back(format);
  }
  const bool hasDib = Contains(formats, CfDib) || Contains(formats, CfDibV5);
  const bool hasEnhMetafile = Contains(formats, CfEnhMetafile);

  for (Uint format : formats) {
    bool copied = false;
    try {
      if (DerivedFromAnEarlier(formats, format, {CfUnicodeText, CfText, CfOemText}) ||
          DerivedFromAnEarlier(formats, format, {CfDib, CfDibV5})) {
        continue;
      }
      switch (format) {
        case CfBitmap:
        case CfDspBitmap:
          // Windows makes the bitmap from the DIB again, at no cost while nobody asks for it.
          if (format == CfBitmap && hasDib) continue;
          copied = Copy(format, Kind::Bitmap);
          break;
        case CfPalette:
          if (hasDib) continue;
          copied = Copy(format, Kind::Palette);
          break;
        case CfEnhMetafile:
        case CfDspEnhMetafile:
          copied = Copy(format, Kind::EnhMetafile);
          break;
        case CfMetafilePict:
          // Derived again from the enhanced metafile; on its own, its handle inside a block
          // cannot be copied as memory.
          if (hasEnhMetafile) continue;
          break;
        case CfLocale:
          continue;  // taken last, below
        case CfOwnerDisplay:
        case CfDspMetafilePict:
          break;  // drawn by the owner, or a handle inside a block: nothing to copy
        default:
          // Private and GDI-object formats hold handles that only their owner understands.
          if (format >= CfPrivateFirst && format <= CfGdiObjLast) break;
          copied = Copy(format, Kind::Memory);
          break;
      }
    } catch (const std::exception&) {
      copied = false;
    }
    if (!copied) skipped_.push_back(format);
  }
  // The locale tells how to read the text, and stays with it; without a text it says nothing.
  const bool textKept = std::any_of(items_.begin(), items_.end(), [](const Item& item) {
    return item.format == CfUnicodeText || item.format == CfText || item.format == CfOemText;
  });
  if (textKept && Contains(formats, CfLocale)) {
    bool copied = false;
    try {
      copied = Copy(CfLocale, Kind::Memory);
    } catch (const std::exception&) {
    }
    if (!copied) skipped_.push_back(CfLocale);
  }
  return true;
}

bool ClipboardSnapshot::Restore(Hwnd owner, std::size_t delayFrom, bool marked) {
  if (!taken_) return true;
  IClipboard& clipboard = desktop_.Clipboard();
  OpenedClipboard open(clipboard, owner);
  if (!open.IsOpen()) return false;
  clipboard.EmptyClipboard();
  std::vector<Item> delayed;
  for (Item& item : items_) {
    if (item.kind == Kind::Memory && item.bytes >= delayFrom) {
      // Offering a format without data answers null even when it succeeds; whether the format
      // is there tells. Where delaying is refused, the data goes on at once.
      clipboard.SetClipboardData(item.format, 0);
      if (clipboard.IsClipboardFormatAvailable(item.format)) {
        delayed.push_back(item);
        item.handle = 0;
        continue;
      }
    }
    // The clipboard owns what it accepted; what it refused is still the snapshot's to free.
    if (clipboard.SetClipboardData(item.format, item.handle) != 0) item.handle = 0;
  }
  for (const Item& item : items_)
    if (item.handle != 0) Free(item);
  // Put after the content, so that a mark of the same name the content carried is replaced.
  if (marked) PutPasteMarks(desktop_);
  items_ = std::move(delayed);
  bytes_ = 0;
  for (const Item& item : items_) bytes_ += item.bytes;
  taken_ = false;
  return true;
}

bool ClipboardSnapshot::RenderFormat(Uint format) {
  if (taken_) return false;
  auto it = std::find_if(items_.begin(), items_.end(),
                         [format](const Item& item) { return item.format == format; });
  if (it == items_.end()) return false;
  const Item item = *it;
  items_.erase(it);
  bytes_ -= item.bytes;
  if (desktop_.Clipboard().SetClipboardData(item.format, item.handle) == 0) Free(item);
  return true;
}

bool ClipboardSnapshot::RenderDelayed(Hwnd owner) {
  if (!HasDelayed()) return true;
  IClipboard& clipboard = desktop_.Clipboard();
  OpenedClipboard open(clipboard, owner);
  if (!open.IsOpen()) return false;
  // Each read of a delayed format asks its owner, which answers with RenderFormat.
  for (Uint format : Formats()) clipboard.GetClipboardData(format);
  FreeAll();
  return true;
}

}  // namespace clipboard

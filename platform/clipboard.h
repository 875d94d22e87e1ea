// The system clipboard, its viewer chain and the global memory blocks it holds.
#pragma once

#include <cstddef>
#include <string>

#include "platform/types.h"

namespace platform {

class IGlobalMemory {
 public:
  virtual ~IGlobalMemory() = default;
  virtual Hglobal GlobalAlloc(Uint flags, std::size_t bytes) = 0;
  virtual void* GlobalLock(Hglobal block) = 0;
  virtual bool GlobalUnlock(Hglobal block) = 0;
  virtual std::size_t GlobalSize(Hglobal block) = 0;
  virtual Hglobal GlobalFree(Hglobal block) = 0;  // 0 on success
};

class IClipboard {
 public:
  virtual ~IClipboard() = default;
  virtual bool OpenClipboard(Hwnd owner) = 0;
  virtual bool CloseClipboard() = 0;
  virtual bool EmptyClipboard() = 0;
  virtual Hglobal GetClipboardData(Uint format) = 0;
  virtual Hglobal SetClipboardData(Uint format, Hglobal block) = 0;
  virtual bool IsClipboardFormatAvailable(Uint format) = 0;
  virtual Uint RegisterClipboardFormatA(const std::string& name) = 0;
  virtual Hwnd SetClipboardViewer(Hwnd viewer) = 0;
  virtual bool ChangeClipboardChain(Hwnd remove, Hwnd next) = 0;
  // Changes with every change of the clipboard's content.
  virtual Dword GetClipboardSequenceNumber() = 0;
  // The format after `format` (0 starts the list); 0 at the end. The clipboard must be open.
  virtual Uint EnumClipboardFormats(Uint format) = 0;
  // The window that has the clipboard open; 0 when none has, or it was opened without one.
  virtual Hwnd GetOpenClipboardWindow() = 0;
  // The window that emptied the clipboard last, whose program put the content there; 0 for none.
  virtual Hwnd GetClipboardOwner() = 0;

  // The formats that hold GDI objects instead of memory blocks are copied with these; each
  // returns 0 when the object cannot be copied. CopyPalette copies the palette's entries into a
  // new palette (Windows has no single call for it).
  virtual Handle CopyImage(Handle image, Uint type) = 0;  // type: ImageBitmap
  virtual Handle CopyEnhMetaFileA(Handle metafile) = 0;
  virtual Handle CopyPalette(Handle palette) = 0;
  virtual bool DeleteObject(Handle object) = 0;  // bitmaps and palettes
  virtual bool DeleteEnhMetaFile(Handle metafile) = 0;
};

}  // namespace platform

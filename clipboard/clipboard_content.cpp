#include "clipboard/clipboard_content.h"

#include <cstring>

#include "clipboard/clipboard_handles.h"
#include "clipboard/clipboard_text.h"
#include "clipboard/image_formats.h"
#include "platform/errors.h"

namespace clipboard {

using namespace platform;

namespace {

// The block of `format` when it is there and not too large, else false.
bool ReadBlock(IClipboard& clipboard, IGlobalMemory& memory, Uint format, std::string& bytes) {
  bytes.clear();
  if (format == 0 || !clipboard.IsClipboardFormatAvailable(format)) return false;
  const Hglobal block = clipboard.GetClipboardData(format);
  if (block == 0) return false;
  const std::size_t size = memory.GlobalSize(block);
  if (size == 0 || size > MostBlockBytes) return false;
  LockedBlock lock(memory, block);
  if (!lock.Data()) throw Error("The clipboard's content cannot be read");
  bytes.assign(reinterpret_cast<const char*>(lock.Data()), size);
  return true;
}

// A text format's bytes up to its first zero.
void ReadTextBlock(IClipboard& clipboard, IGlobalMemory& memory, Uint format, std::string& bytes) {
  if (!ReadBlock(clipboard, memory, format, bytes)) return;
  const std::size_t zero = bytes.find('\0');
  if (zero != std::string::npos) bytes.resize(zero);
}

std::span<const std::uint8_t> AsBytes(const std::string& bytes) {
  return {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
}

// Puts a copy of the bytes (and `zeros` zero bytes after them) on the open clipboard.
void PutBlock(IClipboard& clipboard, IGlobalMemory& memory, Uint format, const void* data, std::size_t size,
              std::size_t zeros) {
  OwnedBlock block(memory, memory.GlobalAlloc(GmemMoveable | GmemDdeShare, size + zeros));
  if (block.Get() == 0) throw Error("Not enough memory for the clipboard's content");
  {
    LockedBlock lock(memory, block.Get());
    if (!lock.Data()) throw Error("The clipboard content's memory cannot be locked");
    if (size) std::memcpy(lock.Data(), data, size);
    std::memset(lock.Data() + size, 0, zeros);
  }
  if (clipboard.SetClipboardData(format, block.Get()) == 0) throw Error("The clipboard refused its content");
  block.Release();
}

}  // namespace

bool GetClipboardContent(Desktop& desktop, Hwnd owner, ClipboardContent& content, bool& markedPrivate,
                         bool pasteOwn) {
  IClipboard& clipboard = desktop.Clipboard();
  IGlobalMemory& memory = desktop.Memory();
  content = {};
  markedPrivate = false;
  OpenedClipboard open(clipboard, owner);
  if (!open.IsOpen()) return false;
  markedPrivate = !pasteOwn && OpenClipboardMarkedPrivate(desktop);
  // Private content is not read any further than that.
  if (markedPrivate) return false;
  content.keptOffCloud = !pasteOwn && OpenClipboardKeptOffCloud(desktop);
  ReadBlock(clipboard, memory, CfHdrop, content.fileList);
  const bool text = ReadOpenClipboardText(desktop, content.text);
  if (!content.text.empty()) {
    ReadTextBlock(clipboard, memory, clipboard.RegisterClipboardFormatA(HtmlFormat), content.html);
    ReadTextBlock(clipboard, memory, clipboard.RegisterClipboardFormatA(RtfFormat), content.rtf);
  } else if (content.fileList.empty()) {
    if (ReadBlock(clipboard, memory, clipboard.RegisterClipboardFormatA(PngFormat), content.png)) {
      // A block may be longer than the file put in it; what is not a PNG is not kept as one.
      content.png.resize(PngLength(AsBytes(content.png)));
    }
    if (content.png.empty()) {
      // The form the source put there, which the system lists before those it converts to: a
      // converted one costs the system a conversion of every pixel, and a CF_DIB made from a
      // CF_DIBV5 has lost its alpha.
      Uint first = CfDibV5;
      for (Uint format = clipboard.EnumClipboardFormats(0); format != 0;
           format = clipboard.EnumClipboardFormats(format)) {
        if (format == CfDib || format == CfDibV5) {
          first = format;
          break;
        }
      }
      if (!ReadBlock(clipboard, memory, first, content.dib))
        ReadBlock(clipboard, memory, first == CfDib ? CfDibV5 : CfDib, content.dib);
    }
  }
  return text || content.Rich();
}

bool SetClipboardContent(Desktop& desktop, Hwnd owner, const ClipboardContent& content) {
  if (!content.Rich()) return SetClipboardText(desktop, owner, content.text);
  IClipboard& clipboard = desktop.Clipboard();
  OpenedClipboard open(clipboard, owner);
  if (!open.IsOpen()) return false;
  if (!clipboard.EmptyClipboard()) throw Error("The clipboard cannot be emptied");
  PutOpenClipboardContent(desktop, content, false);
  return true;
}

bool PutOpenClipboardContent(Desktop& desktop, const ClipboardContent& content, bool delayImage) {
  IClipboard& clipboard = desktop.Clipboard();
  IGlobalMemory& memory = desktop.Memory();
  if (!content.text.empty())
    PutBlock(clipboard, memory, CfUnicodeText, content.text.data(), content.text.size() * 2, 2);
  auto put = [&](Uint format, const std::string& bytes, std::size_t zeros) {
    if (!bytes.empty() && format != 0) PutBlock(clipboard, memory, format, bytes.data(), bytes.size(), zeros);
  };
  put(clipboard.RegisterClipboardFormatA(HtmlFormat), content.html, 1);
  put(clipboard.RegisterClipboardFormatA(RtfFormat), content.rtf, 1);
  put(CfHdrop, content.fileList, 0);
  put(clipboard.RegisterClipboardFormatA(PngFormat), content.png, 0);
  if (content.dib.empty()) return false;
  if (delayImage) {
    // Offering a format without data answers null even when it succeeds; whether the format is
    // there tells. Where delaying is refused, the data goes on at once.
    clipboard.SetClipboardData(CfDibV5, 0);
    if (clipboard.IsClipboardFormatAvailable(CfDibV5)) return true;
  }
  PutImageData(desktop, content);
  return false;
}

void PutImageData(Desktop& desktop, const ClipboardContent& content) {
  if (!content.dib.empty())
    PutBlock(desktop.Clipboard(), desktop.Memory(), CfDibV5, content.dib.data(), content.dib.size(), 0);
}

bool FileListText(Desktop& desktop, const std::string& dropFiles, std::u16string& text) {
  text.clear();
  // DROPFILES: the list's offset, a point, a flag, then whether the names are wide.
  constexpr std::size_t HeaderBytes = 20;
  if (dropFiles.size() < HeaderBytes) return false;
  auto le32 = [&](std::size_t at) {
    std::uint32_t v;
    std::memcpy(&v, dropFiles.data() + at, 4);
    return v;
  };
  const std::size_t offset = le32(0);
  const bool wide = le32(16) != 0;
  if (offset < HeaderBytes || offset >= dropFiles.size()) return false;
  std::size_t at = offset;
  bool any = false;
  for (;;) {
    std::size_t end = at;
    if (wide) {
      while (end + 1 < dropFiles.size() && (dropFiles[end] != 0 || dropFiles[end + 1] != 0)) end += 2;
      if (end + 1 >= dropFiles.size()) return false;  // a name without its end
    } else {
      while (end < dropFiles.size() && dropFiles[end] != 0) ++end;
      if (end >= dropFiles.size()) return false;
    }
    if (end == at) break;  // the empty name that ends the list
    if (any) text += u"\r\n";
    if (wide) {
      const std::size_t units = (end - at) / 2;
      const std::size_t old = text.size();
      text.resize(old + units);
      std::memcpy(text.data() + old, dropFiles.data() + at, units * 2);
      at = end + 2;
    } else {
      text += desktop.CodePage().AnsiToWide(dropFiles.substr(at, end - at));
      at = end + 1;
    }
    any = true;
  }
  return any;
}

}  // namespace clipboard

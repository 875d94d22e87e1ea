#include "clipboard/paste_writes.h"

#include <cstring>

#include "clipboard/clipboard_handles.h"
#include "clipboard/clipboard_text.h"

namespace clipboard {

using namespace platform;

namespace {

void PutDword(IClipboard& clipboard, IGlobalMemory& memory, const char* name, Dword value) {
  const Uint format = clipboard.RegisterClipboardFormatA(name);
  if (format == 0) return;
  OwnedBlock block(memory, memory.GlobalAlloc(GmemMoveable | GmemDdeShare, sizeof value));
  if (block.Get() == 0) return;
  {
    LockedBlock lock(memory, block.Get());
    if (!lock.Data()) return;
    std::memcpy(lock.Data(), &value, sizeof value);
  }
  if (clipboard.SetClipboardData(format, block.Get()) != 0) block.Release();
}

}  // namespace

void PutPasteMarks(Desktop& desktop) {
  IClipboard& clipboard = desktop.Clipboard();
  IGlobalMemory& memory = desktop.Memory();
  // The exclusion's content does not matter, only its presence; a DWORD 0 is what others put.
  PutDword(clipboard, memory, CanIncludeInHistoryFormat, 0);
  PutDword(clipboard, memory, CanUploadToCloudFormat, 0);
  PutDword(clipboard, memory, ExcludeFromMonitorFormat, 0);
}

std::vector<std::pair<Uint, std::string>> ContentBlocks(IClipboard& clipboard,
                                                        const ClipboardContent& content) {
  std::vector<std::pair<Uint, std::string>> blocks;
  auto put = [&](Uint format, const std::string& bytes, std::size_t zeros) {
    if (!bytes.empty() && format != 0) blocks.push_back({format, bytes + std::string(zeros, '\0')});
  };
  if (!content.text.empty() || !content.Rich()) {
    std::string text(reinterpret_cast<const char*>(content.text.data()),
                     content.text.size() * sizeof(char16_t));
    blocks.push_back({CfUnicodeText, text + std::string(sizeof(char16_t), '\0')});
  }
  put(clipboard.RegisterClipboardFormatA(HtmlFormat), content.html, 1);
  put(clipboard.RegisterClipboardFormatA(RtfFormat), content.rtf, 1);
  put(CfHdrop, content.fileList, 0);
  put(clipboard.RegisterClipboardFormatA(PngFormat), content.png, 0);
  put(CfDibV5, content.dib, 0);
  return blocks;
}

}  // namespace clipboard

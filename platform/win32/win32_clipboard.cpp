#include <vector>

#include "platform/win32/win32_services.h"

namespace win32 {

bool Win32Clipboard::OpenClipboard(platform::Hwnd owner) { return ::OpenClipboard(ToHwnd(owner)) != 0; }

bool Win32Clipboard::CloseClipboard() { return ::CloseClipboard() != 0; }

bool Win32Clipboard::EmptyClipboard() { return ::EmptyClipboard() != 0; }

platform::Hglobal Win32Clipboard::GetClipboardData(platform::Uint format) {
  return From(::GetClipboardData(format));
}

platform::Hglobal Win32Clipboard::SetClipboardData(platform::Uint format, platform::Hglobal block) {
  return From(::SetClipboardData(format, To<HANDLE>(block)));
}

platform::Dword Win32Clipboard::GetClipboardSequenceNumber() { return ::GetClipboardSequenceNumber(); }

bool Win32Clipboard::IsClipboardFormatAvailable(platform::Uint format) {
  return ::IsClipboardFormatAvailable(format) != 0;
}

platform::Uint Win32Clipboard::RegisterClipboardFormatA(const std::string& name) {
  return ::RegisterClipboardFormatA(name.c_str());
}

platform::Hwnd Win32Clipboard::SetClipboardViewer(platform::Hwnd viewer) {
  return From(::SetClipboardViewer(ToHwnd(viewer)));
}

bool Win32Clipboard::ChangeClipboardChain(platform::Hwnd remove, platform::Hwnd next) {
  return ::ChangeClipboardChain(ToHwnd(remove), ToHwnd(next)) != 0;
}

platform::Uint Win32Clipboard::EnumClipboardFormats(platform::Uint format) {
  return ::EnumClipboardFormats(format);
}

platform::Hwnd Win32Clipboard::GetOpenClipboardWindow() { return From(::GetOpenClipboardWindow()); }

platform::Hwnd Win32Clipboard::GetClipboardOwner() { return From(::GetClipboardOwner()); }

platform::Handle Win32Clipboard::CopyImage(platform::Handle image, platform::Uint type) {
  return From(::CopyImage(To<HANDLE>(image), type, 0, 0, 0));
}

platform::Handle Win32Clipboard::CopyEnhMetaFileA(platform::Handle metafile) {
  return From(::CopyEnhMetaFileA(To<HENHMETAFILE>(metafile), nullptr));
}

platform::Handle Win32Clipboard::CopyPalette(platform::Handle palette) {
  HPALETTE source = To<HPALETTE>(palette);
  WORD count = 0;
  if (::GetObjectA(source, sizeof count, &count) == 0 || count == 0) return 0;
  // LOGPALETTE carries one entry itself; the others follow it.
  std::vector<unsigned char> bytes(sizeof(LOGPALETTE) + (count - 1) * sizeof(PALETTEENTRY));
  auto* logical = reinterpret_cast<LOGPALETTE*>(bytes.data());
  logical->palVersion = 0x300;
  logical->palNumEntries = count;
  if (::GetPaletteEntries(source, 0, count, logical->palPalEntry) != count) return 0;
  return From(::CreatePalette(logical));
}

bool Win32Clipboard::DeleteObject(platform::Handle object) {
  return ::DeleteObject(To<HGDIOBJ>(object)) != 0;
}

bool Win32Clipboard::DeleteEnhMetaFile(platform::Handle metafile) {
  return ::DeleteEnhMetaFile(To<HENHMETAFILE>(metafile)) != 0;
}

}  // namespace win32

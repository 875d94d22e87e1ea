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

}  // namespace win32

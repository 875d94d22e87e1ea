// cm_clipboard_writer TEXT [STAY_MS]: a program that copies TEXT (ASCII) as CF_UNICODETEXT from
// a window of its own, as any editor does, and stays STAY_MS milliseconds (default 1500) so
// that its window still owns the clipboard while the clipboard's viewers look at the change.
// Run under another file name, it stands for that program. Exit codes: 0 copied, 1 the
// clipboard could not be set, 2 misuse.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) return 2;
  const DWORD stayMs = argc == 3 ? static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)) : 1500;
  HWND window = ::CreateWindowExA(0, "STATIC", "Clipboard writer", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                  nullptr, ::GetModuleHandleA(nullptr), nullptr);
  if (!window) return 1;
  const std::size_t length = std::strlen(argv[1]);
  HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, (length + 1) * sizeof(wchar_t));
  if (!block) return 1;
  auto* text = static_cast<wchar_t*>(::GlobalLock(block));
  for (std::size_t i = 0; i <= length; ++i) text[i] = static_cast<unsigned char>(argv[1][i]);
  ::GlobalUnlock(block);
  bool copied = false;
  for (int attempt = 0; attempt < 50 && !copied; ++attempt) {
    if (::OpenClipboard(window)) {
      ::EmptyClipboard();
      copied = ::SetClipboardData(CF_UNICODETEXT, block) != nullptr;
      ::CloseClipboard();
    } else {
      ::Sleep(20);
    }
  }
  if (!copied) return 1;
  const DWORD until = ::GetTickCount() + stayMs;
  MSG msg;
  while (static_cast<LONG>(until - ::GetTickCount()) > 0) {
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&msg);
    ::Sleep(10);
  }
  ::DestroyWindow(window);
  return 0;
}

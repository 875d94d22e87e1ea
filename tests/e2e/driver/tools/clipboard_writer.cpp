// cm_clipboard_writer TEXT [STAY_MS]: a program that copies TEXT (ASCII) as CF_UNICODETEXT from
// a window of its own, as any editor does, and stays STAY_MS milliseconds (default 1500) so
// that its window still owns the clipboard while the clipboard's viewers look at the change.
// In TEXT \r, \n and \t stand for CR, LF and tab, and \\ for a backslash, so that a text
// with a lone LF (as a Unix editor copies it) or a lone CR passes the command line.
// Run under another file name, it stands for that program. Exit codes: 0 copied, 1 the
// clipboard could not be set, 2 misuse.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) return 2;
  const DWORD stayMs = argc == 3 ? static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)) : 1500;
  HWND window = ::CreateWindowExA(0, "STATIC", "Clipboard writer", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                  nullptr, ::GetModuleHandleA(nullptr), nullptr);
  if (!window) return 1;
  std::string wanted;
  for (const char* p = argv[1]; *p != 0; ++p) {
    if (*p != '\\' || p[1] == 0) {
      wanted += *p;
      continue;
    }
    const char next = *++p;
    wanted += next == 'r' ? '\r' : next == 'n' ? '\n' : next == 't' ? '\t' : next;
  }
  const std::size_t length = wanted.size();
  HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, (length + 1) * sizeof(wchar_t));
  if (!block) return 1;
  auto* text = static_cast<wchar_t*>(::GlobalLock(block));
  for (std::size_t i = 0; i <= length; ++i) text[i] = static_cast<unsigned char>(wanted.c_str()[i]);
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

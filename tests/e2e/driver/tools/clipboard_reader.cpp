// cm_clipboard_reader MS [HOLD_MS]: a clipboard viewer that reads the clipboard at every change,
// as clipboard tools and remote-desktop clients do, for MS milliseconds. It joins the viewer
// chain in front of the programs already in it, opens the clipboard when told of a change,
// passes the notification on while it still holds the clipboard, reads the text and lets go
// after HOLD_MS (default 5). The programs after it thus find the clipboard busy at every change.
// Prints the number of changes it was told of. Exit codes: 0 done, 2 misuse.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

HWND next = nullptr;
DWORD holdMs = 5;
long changes = 0;

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_DRAWCLIPBOARD: {
      ++changes;
      const bool open = ::OpenClipboard(hwnd) != 0;
      if (next) ::SendMessageA(next, msg, wParam, lParam);
      if (open) {
        if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
          if (void* text = ::GlobalLock(data)) ::GlobalUnlock(text);
        }
        ::Sleep(holdMs);
        ::CloseClipboard();
      }
      return 0;
    }
    case WM_CHANGECBCHAIN:
      if (reinterpret_cast<HWND>(wParam) == next) {
        next = reinterpret_cast<HWND>(lParam);
      } else if (next) {
        ::SendMessageA(next, msg, wParam, lParam);
      }
      return 0;
    default:
      return ::DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: cm_clipboard_reader MS [HOLD_MS]\n");
    return 2;
  }
  const DWORD runMs = static_cast<DWORD>(std::strtoul(argv[1], nullptr, 10));
  if (argc == 3) holdMs = static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10));
  WNDCLASSA wc = {};
  wc.lpfnWndProc = Proc;
  wc.hInstance = ::GetModuleHandleA(nullptr);
  wc.lpszClassName = "CmClipboardReader";
  ::RegisterClassA(&wc);
  HWND hwnd = ::CreateWindowA(wc.lpszClassName, "Clipboard reader", 0, 0, 0, 0, 0, nullptr, nullptr,
                              wc.hInstance, nullptr);
  next = ::SetClipboardViewer(hwnd);
  ::SetTimer(hwnd, 1, runMs, nullptr);
  MSG msg;
  while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_TIMER && msg.hwnd == hwnd) break;
    ::DispatchMessageA(&msg);
  }
  ::ChangeClipboardChain(hwnd, next);
  ::DestroyWindow(hwnd);
  std::printf("%ld\n", changes);
  std::fflush(stdout);
  return 0;
}

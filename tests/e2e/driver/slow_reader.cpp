// The slow reader: a small window that pastes late. At each Ctrl+V or Shift+Insert it receives,
// it waits a given time before it reads the clipboard's text, as a busy program would, and
// writes what it read to a file. It closes after the first read.
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr UINT_PTR kReadTimer = 1;

struct SlowReader {
  DWORD delayMs;
  std::string outFile;
};

SlowReader* reader = nullptr;

void ReadAndWrite(HWND hwnd) {
  std::string text = "<no text>";
  if (::OpenClipboard(hwnd)) {
    if (HANDLE block = ::GetClipboardData(CF_TEXT)) {
      if (const char* data = static_cast<const char*>(::GlobalLock(block))) {
        text.assign(data, strnlen(data, ::GlobalSize(block)));
        ::GlobalUnlock(block);
      }
    }
    ::CloseClipboard();
  } else {
    text = "<clipboard busy>";
  }
  if (FILE* file = std::fopen(reader->outFile.c_str(), "wb")) {
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
  }
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_KEYDOWN: {
      const bool ctrl = ::GetKeyState(VK_CONTROL) < 0;
      const bool shift = ::GetKeyState(VK_SHIFT) < 0;
      if ((wParam == 'V' && ctrl) || (wParam == VK_INSERT && shift))
        ::SetTimer(hwnd, kReadTimer, reader->delayMs, nullptr);
      return 0;
    }
    case WM_TIMER:
      if (wParam != kReadTimer) break;
      ::KillTimer(hwnd, kReadTimer);
      ReadAndWrite(hwnd);
      ::DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
  }
  return ::DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace

int RunSlowReader(DWORD delayMs, const std::string& outFile) {
  SlowReader state{delayMs, outFile};
  reader = &state;
  WNDCLASSA wc = {};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = ::GetModuleHandleA(nullptr);
  wc.lpszClassName = "SlowReader";
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  ::RegisterClassA(&wc);
  HWND hwnd = ::CreateWindowExA(0, "SlowReader", "Slow reader", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100,
                                300, 150, nullptr, nullptr, wc.hInstance, nullptr);
  if (!hwnd) return 1;
  ::SetForegroundWindow(hwnd);
  ::SetFocus(hwnd);
  MSG msg;
  while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
  return 0;
}

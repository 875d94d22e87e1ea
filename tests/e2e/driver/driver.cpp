// cm_test_driver: runs beside Clipboard_manager.exe under the same Wine prefix and display, and
// does what the end-to-end tests need of another program on the desktop: find windows, send
// them messages, press keys, read and answer message boxes.
//
// Windows are named by a target: an exact title, "class:NAME" (top-level or message-only) or
// "hwnd:0x1234". Exit codes: 0 success, 1 the condition was not met (or timed out), 2 misuse.
// Arguments, and the control texts it reads and writes, are UTF-8, so that a test can name
// text that no ANSI code page holds.
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <shellapi.h>  // after <windows.h>, which it needs

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/bytes.h"

int RunSlowReader(DWORD delayMs, const std::string& outFile);  // slow_reader.cpp

namespace {

constexpr int kOk = 0;
constexpr int kNotMet = 1;
constexpr int kMisuse = 2;

std::string Utf8(const wchar_t* text, int length) {
  if (length <= 0) return {};
  int size = ::WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), size, nullptr, nullptr);
  return out;
}

std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  int length = static_cast<int>(text.size());
  int size = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), length, out.data(), size);
  return out;
}

HWND FindTarget(const std::string& target) {
  if (target.rfind("hwnd:", 0) == 0) {
    HWND hwnd =
        reinterpret_cast<HWND>(static_cast<std::uintptr_t>(std::strtoull(target.c_str() + 5, nullptr, 0)));
    return ::IsWindow(hwnd) ? hwnd : nullptr;
  }
  if (target.rfind("class:", 0) == 0) {
    const char* name = target.c_str() + 6;
    HWND hwnd = ::FindWindowA(name, nullptr);
    return hwnd ? hwnd : ::FindWindowExA(HWND_MESSAGE, nullptr, name, nullptr);
  }
  return ::FindWindowA(nullptr, target.c_str());
}

std::string TextOf(HWND hwnd) {
  char buffer[4096] = {};
  ::GetWindowTextA(hwnd, buffer, sizeof buffer);
  return buffer;
}

std::string ClassOf(HWND hwnd) {
  char buffer[256] = {};
  ::GetClassNameA(hwnd, buffer, sizeof buffer);
  return buffer;
}

// Polls every 50 ms until `test` holds or `timeoutMs` has passed.
template <class Test>
bool WaitFor(DWORD timeoutMs, Test test) {
  DWORD start = ::GetTickCount();
  for (;;) {
    if (test()) return true;
    if (::GetTickCount() - start >= timeoutMs) return false;
    ::Sleep(50);
  }
}

// A virtual-key code: a number (0x41, 65), one letter or digit, or a name.
int ParseVk(const std::string& text) {
  static const struct {
    const char* name;
    int vk;
  } names[] = {{"shift", VK_SHIFT},   {"ctrl", VK_CONTROL},  {"alt", VK_MENU},      {"lwin", VK_LWIN},
               {"rshift", VK_RSHIFT}, {"insert", VK_INSERT}, {"delete", VK_DELETE}, {"enter", VK_RETURN},
               {"escape", VK_ESCAPE}, {"tab", VK_TAB},       {"space", VK_SPACE},   {"home", VK_HOME},
               {"end", VK_END},       {"left", VK_LEFT},     {"right", VK_RIGHT},   {"up", VK_UP},
               {"down", VK_DOWN},     {"back", VK_BACK}};
  if (text.size() == 1 && std::isalnum(static_cast<unsigned char>(text[0])))
    return std::toupper(static_cast<unsigned char>(text[0]));
  if ((text[0] == 'F' || text[0] == 'f') && text.size() <= 3 &&
      std::isdigit(static_cast<unsigned char>(text[1]))) {
    int n = std::atoi(text.c_str() + 1);
    if (n >= 1 && n <= 24) return VK_F1 + n - 1;
  }
  for (const auto& entry : names)
    if (_stricmp(entry.name, text.c_str()) == 0) return entry.vk;
  char* end = nullptr;
  long value = std::strtol(text.c_str(), &end, 0);
  return *end == '\0' && value > 0 && value < 256 ? static_cast<int>(value) : -1;
}

void Key(int vk, bool down) {
  DWORD flags = down ? 0 : KEYEVENTF_KEYUP;
  switch (vk) {
    case VK_INSERT:
    case VK_DELETE:
    case VK_HOME:
    case VK_END:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
    case VK_RCONTROL:
    case VK_RMENU:
      flags |= KEYEVENTF_EXTENDEDKEY;
  }
  ::keybd_event(static_cast<BYTE>(vk), static_cast<BYTE>(::MapVirtualKeyA(vk, 0)), flags, 0);
  ::Sleep(10);
}

// "none" or modifiers joined by "+" (ctrl, shift, alt, win, in any order); false when misspelt.
bool ParseModifiers(const std::string& text, std::vector<int>& mods) {
  mods.clear();
  if (text == "none") return true;
  std::string rest = text + "+";
  for (std::size_t start = 0, plus; (plus = rest.find('+', start)) != std::string::npos; start = plus + 1) {
    std::string mod = rest.substr(start, plus - start);
    int vk = mod == "win" ? VK_LWIN : ParseVk(mod);
    if (vk != VK_SHIFT && vk != VK_CONTROL && vk != VK_MENU && vk != VK_LWIN) return false;
    mods.push_back(vk);
  }
  return true;
}

// Presses the modifiers, then the key; `atKeyDown` runs just before the key goes down, the
// moment a registered hotkey fires.
template <class AtKeyDown>
void PressChord(const std::vector<int>& mods, int vk, AtKeyDown atKeyDown) {
  for (int mod : mods) Key(mod, true);
  atKeyDown();
  Key(vk, true);
  Key(vk, false);
  for (auto mod = mods.rbegin(); mod != mods.rend(); ++mod) Key(*mod, false);
}

// The request value that names a key for GetKeyNameTextA, formed as a program asking for the
// names of the active layout does: the scan code in bits 16 to 23, and the extended-key bit for
// the navigation keys (33 to 40, 45, 46), which share their scan codes with the keypad.
std::string KeyNameOf(int vk) {
  LONG request = static_cast<LONG>(::MapVirtualKeyA(vk, 0) << 16);
  if ((vk >= VK_PRIOR && vk <= VK_DOWN) || vk == VK_INSERT || vk == VK_DELETE) request |= 1 << 24;
  char name[256] = {};
  if (request == 0 || ::GetKeyNameTextA(request, name, sizeof name) <= 0) return {};
  return name;
}

// Command-line texts hold line breaks and tabs as \r, \n, \t, and a backslash as \\.
std::string Unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    char next = text[++i];
    out += next == 'r' ? '\r' : next == 'n' ? '\n' : next == 't' ? '\t' : next;
  }
  return out;
}

struct ChildSearch {
  std::string className;
  std::vector<HWND> found;
};

std::vector<HWND> ChildrenOfClass(HWND parent, const char* className) {
  ChildSearch search{className, {}};
  ::EnumChildWindows(
      parent,
      [](HWND child, LPARAM context) -> BOOL {
        auto* s = reinterpret_cast<ChildSearch*>(context);
        if (_stricmp(ClassOf(child).c_str(), s->className.c_str()) == 0) s->found.push_back(child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The text a control holds, asked of the control itself: GetWindowText answers for another
// process's window from the title it was created with, which an edit control does not keep.
// Asked with the wide call, so that every character comes back as it is.
bool ControlText(HWND hwnd, std::string& text) {
  DWORD_PTR length = 0;
  if (!::SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 5000, &length)) return false;
  std::wstring wide(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!::SendMessageTimeoutW(hwnd, WM_GETTEXT, wide.size(), reinterpret_cast<LPARAM>(wide.data()),
                             SMTO_NORMAL, 5000, &copied))
    return false;
  text = Utf8(wide.data(), static_cast<int>(std::min<std::size_t>(copied, length)));
  return true;
}

// A dialog box (message boxes included) by its caption.
HWND FindDialog(const std::string& caption) { return ::FindWindowA("#32770", caption.c_str()); }

std::vector<HWND> TopLevelWindowsOf(DWORD processId) {
  struct Search {
    DWORD pid;
    std::vector<HWND> found;
  } search{processId, {}};
  ::EnumWindows(
      [](HWND hwnd, LPARAM context) -> BOOL {
        auto* s = reinterpret_cast<Search*>(context);
        DWORD pid = 0;
        ::GetWindowThreadProcessId(hwnd, &pid);
        if (pid == s->pid) s->found.push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The clipboard may be held open by its owner for a moment; try for a while as a person would.
bool OpenClipboardPatiently() {
  return WaitFor(5000, [] { return ::OpenClipboard(nullptr) != 0; });
}

bool ReadClipboardText(std::string& text) {
  if (!OpenClipboardPatiently()) return false;
  bool read = false;
  if (HANDLE block = ::GetClipboardData(CF_TEXT)) {
    if (const char* data = static_cast<const char*>(::GlobalLock(block))) {
      text.assign(data, strnlen(data, ::GlobalSize(block)));
      ::GlobalUnlock(block);
      read = true;
    }
  }
  ::CloseClipboard();
  return read;
}

// The whole block of a format, for formats that are not text.
bool ReadClipboardBytes(UINT format, std::string& bytes) {
  if (format == CF_TEXT) return ReadClipboardText(bytes);
  if (!OpenClipboardPatiently()) return false;
  bool read = false;
  if (HANDLE block = ::GetClipboardData(format)) {
    if (const char* data = static_cast<const char*>(::GlobalLock(block))) {
      bytes.assign(data, ::GlobalSize(block));
      ::GlobalUnlock(block);
      read = true;
    }
  }
  ::CloseClipboard();
  return read;
}

// A 24-bit bottom-up DIB of about `bytes` bytes, of a pattern that differs from row to row.
// A pattern that codes to PNG in a fraction of a second, or with `noisy` rows among it (every
// other one) that take as long to code as a real screen's pixels: seconds.
int SetClipboardDib(std::size_t bytes, LONG width = 1024, bool noisy = false) {
  if (width <= 0) return kMisuse;
  const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~DWORD{3};
  const LONG height = static_cast<LONG>(std::max<std::size_t>(1, bytes / stride));
  const std::size_t size = sizeof(BITMAPINFOHEADER) + static_cast<std::size_t>(stride) * height;
  HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, size);
  if (!block) return kNotMet;
  auto* data = static_cast<unsigned char*>(::GlobalLock(block));
  BITMAPINFOHEADER header = {};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  std::memcpy(data, &header, sizeof header);
  std::uint32_t state = 2463534242u;  // xorshift32
  for (std::size_t i = sizeof header; i < size; ++i) {
    if (noisy && ((i - sizeof header) / stride) % 2 == 0) {
      state ^= state << 13;
      state ^= state >> 17;
      state ^= state << 5;
      data[i] = static_cast<unsigned char>(state);
    } else {
      data[i] = static_cast<unsigned char>((i * 7) ^ (i >> 12));
    }
  }
  ::GlobalUnlock(block);
  if (!OpenClipboardPatiently()) {
    ::GlobalFree(block);
    return kNotMet;
  }
  ::EmptyClipboard();
  bool set = ::SetClipboardData(CF_DIB, block) != nullptr;
  if (!set) ::GlobalFree(block);
  ::CloseClipboard();
  return set ? kOk : kNotMet;
}

int GetClipboard() {
  std::string text;
  if (!ReadClipboardText(text)) return kNotMet;
  std::fwrite(text.data(), 1, text.size(), stdout);
  return kOk;
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now() {
  LARGE_INTEGER now;
  ::QueryPerformanceCounter(&now);
  return now;
}

// Notes the moment of every change of the clipboard's sequence number, from a thread of its
// own, so that the changes are seen while the keys are still being pressed. It polls every
// millisecond: the number is a call into the server, and polling harder would take the time
// from the programs that are being measured.
class ClipboardWatch {
 public:
  ClipboardWatch() : sequence_(::GetClipboardSequenceNumber()) {
    thread_ = ::CreateThread(nullptr, 0, &ClipboardWatch::Run, this, 0, nullptr);
  }
  ~ClipboardWatch() {
    if (!thread_) return;
    stop_ = true;
    ::WaitForSingleObject(thread_, INFINITE);
    ::CloseHandle(thread_);
  }
  ClipboardWatch(const ClipboardWatch&) = delete;
  ClipboardWatch& operator=(const ClipboardWatch&) = delete;

  bool Started() const { return thread_ != nullptr; }
  int Count() const { return count_.load(std::memory_order_acquire); }
  LARGE_INTEGER At(int index) const { return times_[index]; }

 private:
  static DWORD WINAPI Run(void* self) {
    static_cast<ClipboardWatch*>(self)->Watch();
    return 0;
  }

  void Watch() {
    while (!stop_) {
      DWORD current = ::GetClipboardSequenceNumber();
      int count = count_.load(std::memory_order_relaxed);
      if (current != sequence_ && count < kMaxChanges) {
        sequence_ = current;
        times_[count] = Now();
        count_.store(count + 1, std::memory_order_release);
      }
      ::Sleep(1);
    }
  }

  static constexpr int kMaxChanges = 64;
  DWORD sequence_;
  LARGE_INTEGER times_[kMaxChanges] = {};
  std::atomic<int> count_{0};
  std::atomic<bool> stop_{false};
  HANDLE thread_ = nullptr;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Presses a hotkey `count` times and measures each time how long the clipboard takes to hold
// again what it held before. While the paste runs the clipboard is only watched, never opened,
// so that the watching cannot make the program's own clipboard calls fail. A paste makes two
// changes, and now and then a third within a millisecond of the first, so the changes are not
// counted: a paste is over when the clipboard has stood still for kSettleMs and at least the
// program's 250 ms of waits have passed since the first change; only then is its text read.
int PasteTiming(const std::vector<int>& mods, int vk, int count, UINT format) {
  constexpr double kWaitsMs = 250;
  constexpr double kSettleMs = 400;
  constexpr double kGiveUpMs = 5000;
  std::string before;
  if (!ReadClipboardBytes(format, before)) {
    std::puts("the clipboard holds nothing of that format to restore");
    return kNotMet;
  }
  std::vector<double> overheads;
  for (int press = 1; press <= count; ++press) {
    ClipboardWatch watch;
    if (!watch.Started()) return kNotMet;
    LARGE_INTEGER pressed{};
    PressChord(mods, vk, [&] { pressed = Now(); });
    // Quiet for a while is not yet over: on a busy machine the paste may still wait for the
    // target's read, up to its bound, and only the content tells that it came back.
    std::string after;
    bool restored = false;
    for (;;) {
      int changes = watch.Count();
      bool quiet = changes > 0 && Milliseconds(watch.At(0), Now()) >= kWaitsMs + kSettleMs &&
                   Milliseconds(watch.At(changes - 1), Now()) >= kSettleMs;
      if (quiet && changes >= 2) restored = ReadClipboardBytes(format, after) && after == before;
      if (restored || Milliseconds(pressed, Now()) >= kGiveUpMs) break;
      ::Sleep(quiet ? 100 : 5);
    }
    int changes = watch.Count();
    if (changes < 2 || !restored) {
      std::printf(
          "press %d: %d clipboard changes, then the clipboard held %zu bytes \"%.60s\", not %zu \"%.60s\"\n",
          press, changes, after.size(), after.c_str(), before.size(), before.c_str());
      return kNotMet;
    }
    for (int i = 0; i < changes; ++i)
      std::printf("  change %d at %.1f ms\n", i, Milliseconds(pressed, watch.At(i)));
    double first = Milliseconds(pressed, watch.At(0));
    double last = Milliseconds(pressed, watch.At(changes - 1));
    overheads.push_back(last - kWaitsMs);
    std::printf(
        "press %d: action text after %.1f ms, restored after %.1f ms (%d changes), overhead %.1f ms\n", press,
        first, last, changes, overheads.back());
  }
  std::printf("overhead over the 250 ms of waits: median %.1f ms, max %.1f ms, %zu presses\n",
              Median(overheads), *std::max_element(overheads.begin(), overheads.end()), overheads.size());
  return kOk;
}

// Presses the chord `count` times; each time, how long from the key going down until the window
// titled `popup` is visible and has handled what was sent to it before (the popup paints before
// it returns from showing itself), then Esc closes it again.
int PopupTiming(const std::vector<int>& mods, int vk, const std::string& popup, int count) {
  std::vector<double> times;
  for (int press = 1; press <= count; ++press) {
    for (int mod : mods) Key(mod, true);
    const LARGE_INTEGER pressed = Now();
    ::keybd_event(static_cast<BYTE>(vk), static_cast<BYTE>(::MapVirtualKeyA(vk, 0)), 0, 0);
    HWND window = nullptr;
    while (!(window = ::FindWindowA(nullptr, popup.c_str())) || !::IsWindowVisible(window)) {
      if (Milliseconds(pressed, Now()) >= 5000) {
        std::printf("press %d: no popup after 5 s\n", press);
        return kNotMet;
      }
      ::Sleep(1);
    }
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
    times.push_back(Milliseconds(pressed, Now()));
    Key(vk, false);
    for (auto mod = mods.rbegin(); mod != mods.rend(); ++mod) Key(*mod, false);
    std::printf("press %d: popup painted after %.1f ms\n", press, times.back());
    Key(VK_ESCAPE, true);
    Key(VK_ESCAPE, false);
    if (!WaitFor(5000, [&] { return !::IsWindowVisible(window); })) return kNotMet;
    ::Sleep(300);
  }
  std::printf("hotkey to popup painted: median %.1f ms, max %.1f ms, %zu presses\n", Median(times),
              *std::max_element(times.begin(), times.end()), times.size());
  return kOk;
}

// Presses Enter and reports how long until the edit control of the window titled `target`
// holds another text.
int EnterTiming(const std::string& target) {
  HWND window = FindTarget(target);
  std::vector<HWND> edits = window ? ChildrenOfClass(window, "Edit") : std::vector<HWND>{};
  std::string before, now;
  if (edits.empty() || !ControlText(edits[0], before)) return kNotMet;
  const DWORD sequence = ::GetClipboardSequenceNumber();
  double focused = -1, copied = -1;
  const LARGE_INTEGER pressed = Now();
  ::keybd_event(VK_RETURN, static_cast<BYTE>(::MapVirtualKeyA(VK_RETURN, 0)), 0, 0);
  ::keybd_event(VK_RETURN, static_cast<BYTE>(::MapVirtualKeyA(VK_RETURN, 0)), KEYEVENTF_KEYUP, 0);
  for (;;) {
    // The steps on the way, as they are seen: the focus back, the entry on the clipboard.
    if (focused < 0 && ::GetForegroundWindow() == window) focused = Milliseconds(pressed, Now());
    if (copied < 0 && ::GetClipboardSequenceNumber() != sequence) copied = Milliseconds(pressed, Now());
    if (!ControlText(edits[0], now) || now != before) break;
    if (Milliseconds(pressed, Now()) >= 5000) {
      std::puts("the text did not change within 5 s");
      return kNotMet;
    }
    ::Sleep(1);
  }
  std::printf(
      "Enter to the text in the window: %.1f ms (focus back at %.1f ms, clipboard changed at %.1f ms)\n",
      Milliseconds(pressed, Now()), focused, copied);
  return kOk;
}

int SetClipboard(const std::string& text) {
  HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  if (!block) return kNotMet;
  std::memcpy(::GlobalLock(block), text.c_str(), text.size() + 1);
  ::GlobalUnlock(block);
  if (!OpenClipboardPatiently()) {
    ::GlobalFree(block);
    return kNotMet;
  }
  ::EmptyClipboard();
  bool set = ::SetClipboardData(CF_TEXT, block) != nullptr;
  if (!set) ::GlobalFree(block);
  ::CloseClipboard();
  return set ? kOk : kNotMet;
}

// A REG_SZ value of the current user, read with the wide call and printed in UTF-8.
int RegString(const std::vector<std::string>& args) {
  if (args.size() != 3) return kMisuse;
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, Wide(args[1]).c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return kNotMet;
  wchar_t value[4096] = {};
  DWORD size = sizeof value - sizeof value[0], type = 0;
  LONG result =
      ::RegQueryValueExW(key, Wide(args[2]).c_str(), nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  ::RegCloseKey(key);
  if (result != ERROR_SUCCESS || type != REG_SZ) return kNotMet;
  std::string text = Utf8(value, static_cast<int>(std::wcslen(value)));
  std::fwrite(text.data(), 1, text.size(), stdout);
  return kOk;
}

int Usage() {
  std::fputs(
      "usage: cm_test_driver COMMAND ...\n"
      "  serve                       run the commands read from stdin, one a line, each argument\n"
      "                              \"x\" and its UTF-8 in hex, separated by spaces; reply to each\n"
      "                              \"CODE OUT_BYTES ERR_BYTES\\n\", then its stdout and stderr\n"
      "  wait-window WINDOW MS       wait until the window exists\n"
      "  popup-timing MODS KEY POPUP N  press the chord N times: ms until POPUP is painted, Esc\n"
      "  enter-timing WINDOW         press Enter: ms until the window's edit control changes\n"
      "  wait-gone WINDOW MS         wait until it no longer exists\n"
      "  wait-visible WINDOW MS      wait until it is visible\n"
      "  wait-hidden WINDOW MS       wait until it exists and is hidden\n"
      "  visible WINDOW              print visible|hidden; exit 1 when hidden\n"
      "  close WINDOW                post WM_CLOSE\n"
      "  post WINDOW MSG WPARAM LPARAM / send WINDOW MSG WPARAM LPARAM (send prints the result)\n"
      "  syscommand WINDOW SC        post WM_SYSCOMMAND (close, minimize, restore or a number)\n"
      "  query-end-session WINDOW    send WM_QUERYENDSESSION, then WM_ENDSESSION, as at log-off\n"
      "  log-off WINDOW              the same to every top-level window of that window's process\n"
      "  focus WINDOW                make it the foreground window\n"
      "  control-text WINDOW CLASS   print the text of its first child of that class (WM_GETTEXT)\n"
      "  labelled-text WINDOW LABEL  print the text of the edit box that follows the label LABEL\n"
      "  set-labelled-text WINDOW LABEL TEXT\n"
      "                              replace the text of that edit box, as typing\n"
      "  list-rows WINDOW N COLUMN   print a column of its N-th list view, shown or not, a row a line\n"
      "  wait-row WINDOW N COLUMN TEXT MS\n"
      "                              wait until a row of its N-th list view holds TEXT in COLUMN;\n"
      "                              print when it was seen (ms since 1970, the system's clock)\n"
      "  press-button WINDOW TEXT    click its visible child button captioned TEXT (posted)\n"
      "  click-button WINDOW TEXT    post BM_CLICK to that button: a check box changes its state\n"
      "  button-checked WINDOW TEXT  print checked|unchecked for its button TEXT; exit 1 unchecked\n"
      "  rect WINDOW [TEXT]          print the window's screen rectangle, or its button TEXT's\n"
      "  menu WINDOW TEXT            choose the item captioned TEXT in its menus (posted)\n"
      "  set-text WINDOW CLASS N TEXT\n"
      "                              replace the text of its N-th child edit of that class, as typing\n"
      "  wait-control-text WINDOW CLASS TEXT MS\n"
      "                              wait until a child of that class holds exactly TEXT\n"
      "                              (\\r, \\n, \\t and \\\\ stand for themselves)\n"
      "  wait-viewer WINDOW MS       wait until its program heads the clipboard viewer chain\n"
      "  key VK down|up              one keybd_event\n"
      "  press MODS VK               MODS: none or ctrl+shift+alt+win in any order\n"
      "  key-names VK...             print each key's GetKeyNameTextA name, one a line\n"
      "  foreground-title            print the foreground window's title\n"
      "  title WINDOW                print the window's title\n"
      "  pid WINDOW                  print the id of the window's process\n"
      "  wait-dialog CAPTION MS      wait for a dialog box (class #32770) with that caption\n"
      "  dialog-text CAPTION         print the texts of the box's static controls, one a line\n"
      "  click CAPTION BUTTON        press the box's button captioned BUTTON (e.g. OK)\n"
      "  get-clipboard               print the clipboard's CF_TEXT; exit 1 when it holds none\n"
      "  set-clipboard TEXT          put TEXT on the clipboard as CF_TEXT, as another program would\n"
      "  clipboard-sequence          print GetClipboardSequenceNumber\n"
      "  wait-clipboard-change N MS  wait until the sequence number is no longer N\n"
      "  paste-timing MODS VK COUNT [text|dib]\n"
      "                              press a hotkey COUNT times; print how long the clipboard takes\n"
      "                              to hold its text (or its CF_DIB) again each time\n"
      "  press-hold MODS VK MS       press the chord, release the key, hold the modifiers MS longer\n"
      "  clipboard-formats           print each format on the clipboard and its block's size\n"
      "  set-clipboard-dib BYTES [WIDTH [noisy]]\n"
      "                              put a 24-bit CF_DIB of about BYTES bytes (1024 pixels wide, or\n"
      "                              WIDTH) on the clipboard; noisy rows take seconds to code\n"
      "  slow-reader MS FILE         show a window that reads the clipboard's text MS after each\n"
      "                              Ctrl+V or Shift+Insert, writes it to FILE and closes\n"
      "  list-windows                print every top-level window: handle, pid, visible, class, title\n"
      "  reg-string KEY VALUE        print a REG_SZ value under HKEY_CURRENT_USER\n"
      "  click-row WINDOW ROW MODS   click row ROW of its visible list view with the mouse, MODS held\n"
      "  selected-rows WINDOW        print the selected rows of its visible list view, by index\n"
      "  shown-rows WINDOW COLUMN    print the texts of that column of its visible list view's rows,\n"
      "                              one row a line\n"
      "  double-click-row WINDOW ROW double-click row ROW of its visible list view\n"
      "  right-click-row WINDOW ROW  right-click row ROW of its visible list view\n"
      "  list-rect WINDOW INDEX      print the client area of its INDEX-th list view on the screen:\n"
      "                              \"left top width height\"\n"
      "  column-width WINDOW INDEX C print the width of column C of its INDEX-th list view\n"
      "  move WINDOW X Y W H         place the window (SetWindowPos)\n"
      "  setting-change NAME         broadcast WM_SETTINGCHANGE naming NAME, as Windows does when\n"
      "                              the user changes it (ImmersiveColorSet for the apps' mode)\n"
      "  type TEXT                   type TEXT into the focused window, character by character\n"
      "  repaint-timing WINDOW N       repaint the visible list view N times; print each one's ms\n"
      "  type-sequence WINDOW PACE GAP TEXT ROWS [TEXT ROWS ...]\n"
      "                              type-timing for each pair, one every PACE ms, the keys of\n"
      "                              a TEXT GAP ms apart\n"
      "  type-timing WINDOW TEXT ROWS\n"
      "                              type TEXT; print the ms until its visible list view shows ROWS\n"
      "                              rows, and until it has painted them\n"
      "  launch-timing EXE TITLE ROWS [log-off]\n"
      "  answer-gaps TITLE SECONDS\n"
      "                              start EXE; print the ms until a window TITLE exists, until it\n"
      "                              answers a message and until a list view of it shows ROWS rows, and with "
      "log-off until it\n"
      "                              answers WM_QUERYENDSESSION\n",
      stderr);
  return kMisuse;
}

DWORD Number(const char* text) { return static_cast<DWORD>(std::strtoul(text, nullptr, 0)); }

// The list view of a window's visible tab: its first visible child list view.
HWND VisibleListView(HWND window) {
  for (HWND list : ChildrenOfClass(window, "SysListView32"))
    if (::IsWindowVisible(list)) return list;
  return nullptr;
}

// Clicks a row of a report list view in another process with the mouse. Where a row lies is
// worked out from what can be asked across processes: the header's height and how many rows
// fill the rest of the client area. That count is rounded down, so the row height it gives
// is a little large; the click goes a third of the way into the row, which stays inside it for
// the first rows.
int ClickRow(HWND window, int row, const std::vector<int>& mods, int clicks = 1, bool right = false) {
  HWND list = VisibleListView(window);
  if (!list) return kNotMet;
  RECT client = {};
  ::GetClientRect(list, &client);
  int header = 0;
  for (HWND h : ChildrenOfClass(list, "SysHeader32")) {
    RECT r = {};
    if (::IsWindowVisible(h) && ::GetWindowRect(h, &r)) header = r.bottom - r.top;
  }
  DWORD_PTR perPage = 0, top = 0;
  ::SendMessageTimeoutA(list, LVM_GETCOUNTPERPAGE, 0, 0, SMTO_NORMAL, 5000, &perPage);
  ::SendMessageTimeoutA(list, LVM_GETTOPINDEX, 0, 0, SMTO_NORMAL, 5000, &top);
  const int shown = row - static_cast<int>(top);
  if (perPage == 0 || shown < 0 || shown >= static_cast<int>(perPage)) return kNotMet;
  const double height = static_cast<double>(client.bottom - header) / static_cast<double>(perPage);
  POINT point = {12, header + static_cast<int>((shown + 0.33) * height)};
  ::ClientToScreen(list, &point);
  ::SetForegroundWindow(window);
  ::SetCursorPos(point.x, point.y);
  ::Sleep(50);
  for (int mod : mods) Key(mod, true);
  for (int click = 0; click < clicks; ++click) {
    ::mouse_event(right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    ::Sleep(10);
    ::mouse_event(right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    ::Sleep(10);
  }
  for (auto mod = mods.rbegin(); mod != mods.rend(); ++mod) Key(*mod, false);
  return kOk;
}

int SelectedRows(HWND window) {
  HWND list = VisibleListView(window);
  if (!list) return kNotMet;
  DWORD_PTR count = 0;
  if (!::SendMessageTimeoutA(list, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, 5000, &count)) return kNotMet;
  const char* space = "";
  for (DWORD_PTR i = 0; i < count; ++i) {
    DWORD_PTR state = 0;
    ::SendMessageTimeoutA(list, LVM_GETITEMSTATE, i, LVIS_SELECTED, SMTO_NORMAL, 5000, &state);
    if (state & LVIS_SELECTED) {
      std::printf("%s%u", space, static_cast<unsigned>(i));
      space = " ";
    }
  }
  std::printf("\n");
  return kOk;
}

// Prints the texts of one column of the rows a window's visible list view shows, a line each.
// The list view belongs to another process, which can only write the texts into its own
// memory: the request and the buffer are made there.
// The texts of one column of a report list view in another process, top row first. The list
// view's own messages answer whether it is shown or not, so a hidden tab's table reads too.
bool ListColumn(HWND list, int column, std::vector<std::string>& rows) {
  rows.clear();
  if (!list) return false;
  DWORD pid = 0;
  ::GetWindowThreadProcessId(list, &pid);
  HANDLE process = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (!process) return false;
  constexpr int Chars = 4096;
  void* remote = ::VirtualAllocEx(process, nullptr, sizeof(LVITEMW) + Chars * sizeof(wchar_t),
                                  MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  bool ok = remote != nullptr;
  DWORD_PTR count = 0;
  if (ok && !::SendMessageTimeoutW(list, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, 5000, &count)) ok = false;
  auto* remoteText = reinterpret_cast<wchar_t*>(static_cast<char*>(remote) + sizeof(LVITEMW));
  for (DWORD_PTR i = 0; ok && i < count; ++i) {
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = remoteText;
    item.cchTextMax = Chars;
    std::vector<wchar_t> text(Chars, L'\0');
    DWORD_PTR length = 0;
    if (!::WriteProcessMemory(process, remote, &item, sizeof item, nullptr) ||
        !::SendMessageTimeoutW(list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(remote), SMTO_NORMAL, 5000,
                               &length) ||
        !::ReadProcessMemory(process, remoteText, text.data(), Chars * sizeof(wchar_t), nullptr)) {
      ok = false;
      break;
    }
    text.back() = L'\0';
    rows.push_back(Utf8(text.data(), static_cast<int>(std::wcslen(text.data()))));
  }
  if (remote) ::VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  ::CloseHandle(process);
  return ok;
}

int PrintRows(HWND list, int column) {
  std::vector<std::string> rows;
  if (!ListColumn(list, column, rows)) return kNotMet;
  for (const std::string& row : rows) std::printf("%s\n", row.c_str());
  return kOk;
}

int ShownRows(HWND window, int column) { return PrintRows(VisibleListView(window), column); }

HWND NthListView(HWND window, const std::string& index) {
  const std::vector<HWND> lists = ChildrenOfClass(window, "SysListView32");
  const auto n = static_cast<std::size_t>(std::atoi(index.c_str()));
  return n < lists.size() ? lists[n] : nullptr;
}

// Milliseconds since 1970 by the system's clock, which a Linux program reads as well.
long long UnixMs() {
  FILETIME now;
  ::GetSystemTimePreciseAsFileTime(&now);
  const unsigned long long ticks =
      static_cast<unsigned long long>(now.dwHighDateTime) << 32 | now.dwLowDateTime;
  return static_cast<long long>(ticks / 10000 - 11644473600000ULL);
}

// Waits until the N-th list view has a row whose column holds exactly `wanted`; prints when it
// was first seen (UnixMs), so that a caller on another desktop can time an arrival.
int WaitRow(HWND window, const std::string& index, int column, const std::string& wanted, DWORD timeoutMs) {
  std::vector<std::string> rows;
  const bool seen = WaitFor(timeoutMs, [&] {
    return ListColumn(NthListView(window, index), column, rows) &&
           std::find(rows.begin(), rows.end(), wanted) != rows.end();
  });
  if (seen) {
    std::printf("%lld\n", UnixMs());
    return kOk;
  }
  for (const std::string& row : rows) std::printf("%s\n", row.c_str());
  return kNotMet;
}

// The edit box that follows a label captioned `label`: the next edit among the label's siblings,
// before any other label.
HWND EditAfterLabel(HWND window, const std::string& label) {
  for (HWND found : ChildrenOfClass(window, "Static")) {
    std::string text = TextOf(found);
    std::erase(text, '&');
    if (text != label) continue;
    for (HWND next = ::GetWindow(found, GW_HWNDNEXT); next; next = ::GetWindow(next, GW_HWNDNEXT)) {
      const std::string kind = ClassOf(next);
      if (_stricmp(kind.c_str(), "Edit") == 0) return next;
      if (_stricmp(kind.c_str(), "Static") == 0) break;
    }
  }
  return nullptr;
}

// Types a text into the focused window as a keyboard that sends characters does, whatever the
// layout: each UTF-16 unit as a key of its own, `gapMs` apart. A caller that times what the
// keys bring asks for no wait after the last one, which its clock would count.
void TypeText(const std::wstring& text, DWORD gapMs = 10, bool waitAfterLast = true) {
  for (std::size_t k = 0; k < text.size(); ++k) {
    const wchar_t ch = text[k];
    INPUT input[2] = {};
    for (INPUT& in : input) {
      in.type = INPUT_KEYBOARD;
      in.ki.wScan = ch;
      in.ki.dwFlags = KEYEVENTF_UNICODE;
    }
    input[1].ki.dwFlags |= KEYEVENTF_KEYUP;
    ::SendInput(2, input, sizeof(INPUT));
    if (waitAfterLast || k + 1 < text.size()) ::Sleep(gapMs);
  }
}

// Types a text into the focused window and prints the milliseconds until the window's visible
// list view holds `rows` rows and has painted them: the painting is asked for with UpdateWindow,
// which returns once the list view's thread has painted.
int TypeTiming(HWND window, const std::string& text, DWORD_PTR rows, DWORD gapMs = 10) {
  HWND list = VisibleListView(window);
  if (!list) return kNotMet;
  LARGE_INTEGER start, shown, painted;
  ::QueryPerformanceCounter(&start);
  TypeText(Wide(Unescape(text)), gapMs, false);
  // Asked every millisecond: the answer comes only once the window's thread is free again.
  DWORD_PTR count = 0;
  const DWORD begun = ::GetTickCount();
  while (!::SendMessageTimeoutA(list, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, 60000, &count) || count != rows) {
    if (::GetTickCount() - begun > 60000) break;
    ::Sleep(1);
  }
  if (count != rows) {
    std::printf("the list view holds %lu rows, not %lu\n", static_cast<unsigned long>(count),
                static_cast<unsigned long>(rows));
    return kNotMet;
  }
  ::QueryPerformanceCounter(&shown);
  ::UpdateWindow(list);
  ::QueryPerformanceCounter(&painted);
  std::printf("%.1f ms to %lu rows, %.1f ms painted\n", Milliseconds(start, shown),
              static_cast<unsigned long>(rows), Milliseconds(start, painted));
  return kOk;
}

// TypeTiming for each TEXT ROWS pair in turn, a keystroke every `paceMs` as a typist keeps
// time: the next text is typed `paceMs` after the one before began, or at once when that one
// took longer. One program does it all, so that nothing between the keys takes time of its own.
int TypeSequence(HWND window, DWORD paceMs, DWORD gapMs, const std::vector<std::string>& pairs) {
  LARGE_INTEGER frequency, due;
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&due);
  int code = kOk;
  for (std::size_t k = 0; k + 1 < pairs.size(); k += 2) {
    for (LARGE_INTEGER now;; ::Sleep(1)) {
      ::QueryPerformanceCounter(&now);
      if (now.QuadPart >= due.QuadPart) break;
    }
    ::QueryPerformanceCounter(&due);
    due.QuadPart += frequency.QuadPart * paceMs / 1000;
    if (TypeTiming(window, pairs[k], std::strtoul(pairs[k + 1].c_str(), nullptr, 0), gapMs) != kOk)
      code = kNotMet;
    std::fflush(stdout);
  }
  return code;
}

// Has the window's visible list view repainted whole, `times` times, and prints how long each
// took: what drawing the rows the list shows costs, apart from what changed them.
int RepaintTiming(HWND window, int times) {
  HWND list = VisibleListView(window);
  if (!list) return kNotMet;
  for (int k = 0; k < times; ++k) {
    LARGE_INTEGER start, painted;
    ::QueryPerformanceCounter(&start);
    ::InvalidateRect(list, nullptr, FALSE);
    ::UpdateWindow(list);
    ::QueryPerformanceCounter(&painted);
    std::printf("%s%.1f", k == 0 ? "" : " ", Milliseconds(start, painted));
  }
  std::printf(" ms\n");
  return kOk;
}

// The most rows any list view of the window holds.
DWORD_PTR MostListRows(HWND window) {
  DWORD_PTR most = 0;
  for (HWND list : ChildrenOfClass(window, "SysListView32")) {
    DWORD_PTR count = 0;
    if (::SendMessageTimeoutA(list, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, 5000, &count))
      most = std::max(most, count);
  }
  return most;
}

// Asks the window for an answer (WM_NULL) again and again for `seconds`, as the system does to
// tell whether a program hangs, and prints the longest wait for one and how many waits were
// longer than 100 and 200 ms, each long one with when it began: what a user's click on the
// window would have waited.
int AnswerGaps(const std::string& title, DWORD seconds) {
  HWND window = ::FindWindowA(nullptr, title.c_str());
  if (!window) return kNotMet;
  LARGE_INTEGER frequency, end, before, after;
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&end);
  const LARGE_INTEGER begun = end;
  end.QuadPart += frequency.QuadPart * seconds;
  double longest = 0;
  int over100 = 0, over200 = 0, asked = 0;
  for (::QueryPerformanceCounter(&before); before.QuadPart < end.QuadPart; before = after) {
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 120000, &result)) return kNotMet;
    ::QueryPerformanceCounter(&after);
    const double ms = Milliseconds(before, after);
    longest = std::max(longest, ms);
    if (ms > 100) std::printf("wait_at_ms %.0f %.1f\n", Milliseconds(begun, before), ms);
    over100 += ms > 100;
    over200 += ms > 200;
    ++asked;
    ::Sleep(1);
  }
  std::printf("longest_ms %.1f\nover_100ms %d\nover_200ms %d\nasked %d\n", longest, over100, over200, asked);
  return kOk;
}

// Starts a program and times, from the moment it is started, until a window of that title
// exists and until one of its list views shows `rows` rows (its start-up has read its files).
// With `logOff`, the window is then asked WM_QUERYENDSESSION and told WM_ENDSESSION, as at a
// log-off, and the answer to the query is timed as well.
int LaunchTiming(const std::string& exe, const std::string& title, DWORD_PTR rows, bool logOff) {
  LARGE_INTEGER start, found, answered, shown, queried;
  std::string command = "\"" + exe + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  ::QueryPerformanceCounter(&start);
  if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
    return kNotMet;
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  HWND window = nullptr;
  while ((window = ::FindWindowA(nullptr, title.c_str())) == nullptr) ::Sleep(5);
  ::QueryPerformanceCounter(&found);
  // The first message the window answers: until then a user's click or key waits.
  DWORD_PTR ignored = 0;
  if (!::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 120000, &ignored)) return kNotMet;
  ::QueryPerformanceCounter(&answered);
  if (!WaitFor(120000, [&] { return MostListRows(window) >= rows; })) return kNotMet;
  ::QueryPerformanceCounter(&shown);
  std::printf("window %.0f ms, answered %.0f ms, %lu rows shown %.0f ms", Milliseconds(start, found),
              Milliseconds(start, answered), static_cast<unsigned long>(rows), Milliseconds(start, shown));
  if (logOff) {
    DWORD_PTR answer = 0;
    if (!::SendMessageTimeoutA(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 120000,
                               &answer))
      return kNotMet;
    ::QueryPerformanceCounter(&queried);
    std::printf(", log-off query answered %.0f ms (%.0f ms after it was sent)", Milliseconds(start, queried),
                Milliseconds(shown, queried));
    ::SendMessageTimeoutA(window, WM_ENDSESSION, answer != 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 120000,
                          &answer);
  }
  std::printf("\n");
  return kOk;
}

int WaitCommand(const std::vector<std::string>& args, bool (*test)(HWND)) {
  if (args.size() != 3) return Usage();
  const std::string& target = args[1];
  return WaitFor(Number(args[2].c_str()), [&] { return test(FindTarget(target)); }) ? kOk : kNotMet;
}

int Run(const std::vector<std::string>& args) {
  if (args.empty()) return Usage();
  const std::string& command = args[0];

  if (command == "wait-window") return WaitCommand(args, [](HWND h) { return h != nullptr; });
  if (command == "wait-gone") return WaitCommand(args, [](HWND h) { return h == nullptr; });
  if (command == "wait-visible") return WaitCommand(args, [](HWND h) { return h && ::IsWindowVisible(h); });
  if (command == "wait-hidden") return WaitCommand(args, [](HWND h) { return h && !::IsWindowVisible(h); });
  if (command == "list-windows") {
    std::vector<HWND> all;
    ::EnumWindows(
        [](HWND hwnd, LPARAM context) -> BOOL {
          reinterpret_cast<std::vector<HWND>*>(context)->push_back(hwnd);
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&all));
    for (HWND hwnd : all) {
      DWORD pid = 0;
      ::GetWindowThreadProcessId(hwnd, &pid);
      std::printf("%p %lu %s %s \"%s\"\n", static_cast<void*>(hwnd), static_cast<unsigned long>(pid),
                  ::IsWindowVisible(hwnd) ? "visible" : "hidden", ClassOf(hwnd).c_str(),
                  TextOf(hwnd).c_str());
    }
    return kOk;
  }
  if (command == "answer-gaps")
    return args.size() == 3 ? AnswerGaps(args[1], Number(args[2].c_str())) : Usage();
  if (command == "launch-timing") {
    if (args.size() != 4 && (args.size() != 5 || args[4] != "log-off")) return Usage();
    return LaunchTiming(args[1], args[2], Number(args[3].c_str()), args.size() == 5);
  }
  if (command == "foreground-title") {
    HWND hwnd = ::GetForegroundWindow();
    std::printf("%s\n", hwnd ? TextOf(hwnd).c_str() : "");
    return hwnd ? kOk : kNotMet;
  }
  if (command == "key") {
    if (args.size() != 3 || (args[2] != "down" && args[2] != "up")) return Usage();
    int vk = ParseVk(args[1]);
    if (vk < 0) return Usage();
    Key(vk, args[2] == "down");
    return kOk;
  }
  if (command == "press" || command == "paste-timing" || command == "press-hold") {
    std::vector<int> mods;
    const bool timing = command == "paste-timing";
    const bool sized = args.size() == (command == "press" ? 3u : 4u) || (timing && args.size() == 5);
    if (!sized || !ParseModifiers(args[1], mods)) return Usage();
    int vk = ParseVk(args[2]);
    if (vk < 0) return Usage();
    if (timing) {
      if (args.size() == 5 && args[4] != "dib" && args[4] != "text") return Usage();
      return PasteTiming(mods, vk, std::atoi(args[3].c_str()),
                         args.size() == 5 && args[4] == "dib" ? CF_DIB : CF_TEXT);
    }
    if (command == "press-hold") {
      // The key goes up at once, the modifiers only after the time given, as a person does.
      for (int mod : mods) Key(mod, true);
      Key(vk, true);
      Key(vk, false);
      ::Sleep(Number(args[3].c_str()));
      for (auto mod = mods.rbegin(); mod != mods.rend(); ++mod) Key(*mod, false);
      return kOk;
    }
    PressChord(mods, vk, [] {});
    return kOk;
  }
  if (command == "popup-timing") {
    std::vector<int> mods;
    if (args.size() != 5 || !ParseModifiers(args[1], mods) || ParseVk(args[2]) < 0) return Usage();
    return PopupTiming(mods, ParseVk(args[2]), args[3], std::atoi(args[4].c_str()));
  }
  if (command == "enter-timing") return args.size() == 2 ? EnterTiming(args[1]) : Usage();
  if (command == "clipboard-formats") {
    // Each format the clipboard offers, with the size of its block (0 for GDI objects).
    if (!OpenClipboardPatiently()) return kNotMet;
    for (UINT format = ::EnumClipboardFormats(0); format != 0; format = ::EnumClipboardFormats(format)) {
      HANDLE data = ::GetClipboardData(format);
      bool block = format != CF_BITMAP && format != CF_PALETTE && format != CF_ENHMETAFILE &&
                   format != CF_METAFILEPICT;
      std::printf("%u %zu\n", format, data && block ? static_cast<std::size_t>(::GlobalSize(data)) : 0);
    }
    ::CloseClipboard();
    return kOk;
  }
  if (command == "set-clipboard-dib")
    return args.size() == 2 ? SetClipboardDib(Number(args[1].c_str()))
           : args.size() == 3
               ? SetClipboardDib(Number(args[1].c_str()), static_cast<LONG>(Number(args[2].c_str())))
           : args.size() == 4 && args[3] == "noisy"
               ? SetClipboardDib(Number(args[1].c_str()), static_cast<LONG>(Number(args[2].c_str())), true)
               : Usage();
  if (command == "slow-reader") {
    if (args.size() != 3) return Usage();
    return RunSlowReader(Number(args[1].c_str()), args[2]);
  }
  if (command == "key-names") {
    if (args.size() < 2) return Usage();
    for (std::size_t i = 1; i < args.size(); ++i) {
      int vk = ParseVk(args[i]);
      if (vk < 0) return Usage();
      std::printf("%s\n", KeyNameOf(vk).c_str());
    }
    return kOk;
  }
  if (command == "clipboard-sequence") {
    std::printf("%lu\n", static_cast<unsigned long>(::GetClipboardSequenceNumber()));
    return kOk;
  }
  if (command == "wait-clipboard-change") {
    if (args.size() != 3) return Usage();
    DWORD from = Number(args[1].c_str());
    return WaitFor(Number(args[2].c_str()), [&] { return ::GetClipboardSequenceNumber() != from; }) ? kOk
                                                                                                    : kNotMet;
  }
  if (command == "type") {
    if (args.size() != 2) return Usage();
    TypeText(Wide(Unescape(args[1])));
    return kOk;
  }
  if (command == "get-clipboard") return args.size() == 1 ? GetClipboard() : Usage();
  if (command == "set-clipboard") return args.size() == 2 ? SetClipboard(args[1]) : Usage();
  if (command == "wait-dialog") {
    if (args.size() != 3) return Usage();
    return WaitFor(Number(args[2].c_str()), [&] { return FindDialog(args[1]) != nullptr; }) ? kOk : kNotMet;
  }
  if (command == "dialog-text") {
    if (args.size() != 2) return Usage();
    HWND box = FindDialog(args[1]);
    if (!box) return kNotMet;
    for (HWND label : ChildrenOfClass(box, "Static")) {
      std::string text = TextOf(label);
      if (!text.empty()) std::printf("%s\n", text.c_str());
    }
    return kOk;
  }
  if (command == "click") {
    if (args.size() != 3) return Usage();
    HWND box = FindDialog(args[1]);
    if (!box) return kNotMet;
    for (HWND button : ChildrenOfClass(box, "Button")) {
      std::string text = TextOf(button);
      std::erase(text, '&');
      if (text == args[2]) {
        // Posted, so that the driver never waits on the box's own modal loop.
        ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(button), BN_CLICKED),
                       reinterpret_cast<LPARAM>(button));
        return kOk;
      }
    }
    return kNotMet;
  }

  if (command == "reg-string") return RegString(args);
  if (command == "setting-change") {
    if (args.size() != 2) return Usage();
    const std::wstring name(args[1].begin(), args[1].end());
    DWORD_PTR answer = 0;
    ::SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(name.c_str()),
                          SMTO_ABORTIFHUNG, 5000, &answer);
    return kOk;
  }

  // The rest act on one existing window.
  if (args.size() < 2) return Usage();
  HWND hwnd = FindTarget(args[1]);
  if (!hwnd) {
    std::fprintf(stderr, "no window %s\n", args[1].c_str());
    return kNotMet;
  }
  if (command == "visible") {
    bool visible = ::IsWindowVisible(hwnd);
    std::printf("%s\n", visible ? "visible" : "hidden");
    return visible ? kOk : kNotMet;
  }
  if (command == "title") {
    std::printf("%s\n", TextOf(hwnd).c_str());
    return kOk;
  }
  if (command == "pid") {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    std::printf("%lu\n", static_cast<unsigned long>(pid));
    return kOk;
  }
  if (command == "focus") {
    ::SetForegroundWindow(hwnd);
    return WaitFor(5000, [&] { return ::GetForegroundWindow() == hwnd; }) ? kOk : kNotMet;
  }
  if (command == "wait-viewer") {
    if (args.size() != 3) return Usage();
    // The program's viewer is a window of its own, not the one named: any of the same process.
    DWORD process = 0;
    ::GetWindowThreadProcessId(hwnd, &process);
    return WaitFor(Number(args[2].c_str()),
                   [&] {
                     DWORD viewer = 0;
                     HWND head = ::GetClipboardViewer();
                     return head != nullptr && ::GetWindowThreadProcessId(head, &viewer) != 0 &&
                            viewer == process;
                   })
               ? kOk
               : kNotMet;
  }
  if (command == "menu") {
    // Chooses the item of the window's menu bar (or of its drop-down menus) captioned TEXT.
    if (args.size() != 3) return Usage();
    std::vector<HMENU> menus{::GetMenu(hwnd)};
    while (!menus.empty()) {
      HMENU menu = menus.back();
      menus.pop_back();
      if (!menu) continue;
      for (int i = 0, n = ::GetMenuItemCount(menu); i < n; ++i) {
        if (HMENU sub = ::GetSubMenu(menu, i)) {
          menus.push_back(sub);
          continue;
        }
        char caption[256] = {};
        ::GetMenuStringA(menu, static_cast<UINT>(i), caption, sizeof caption, MF_BYPOSITION);
        if (!caption[0]) {
          // An item the window draws itself keeps its text apart from its type.
          MENUITEMINFOA info = {};
          info.cbSize = sizeof info;
          info.fMask = MIIM_STRING;
          info.dwTypeData = caption;
          info.cch = sizeof caption - 1;
          ::GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info);
        }
        std::string text = caption;
        std::erase(text, '&');
        if (text != args[2]) continue;
        ::PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(::GetMenuItemID(menu, i), 0), 0);
        return kOk;
      }
    }
    return kNotMet;
  }
  if (command == "rect") {
    // The window's rectangle on the screen, or that of its visible button with this caption:
    // "left top width height".
    if (args.size() != 2 && args.size() != 3) return Usage();
    HWND target = args.size() == 2 ? hwnd : nullptr;
    if (args.size() == 3)
      for (HWND button : ChildrenOfClass(hwnd, "Button")) {
        std::string text = TextOf(button);
        std::erase(text, '&');
        if (text == args[2] && ::IsWindowVisible(button)) target = button;
      }
    RECT rect;
    if (!target || !::GetWindowRect(target, &rect)) return kNotMet;
    std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    return kOk;
  }
  if (command == "press-button") {
    if (args.size() != 3) return Usage();
    for (HWND button : ChildrenOfClass(hwnd, "Button")) {
      std::string text = TextOf(button);
      std::erase(text, '&');
      if (text != args[2] || !::IsWindowVisible(button)) continue;
      // Posted to the button's parent as the button itself reports a click, so that the driver
      // never waits on a modal window the click opens.
      ::PostMessageA(::GetParent(button), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(button), BN_CLICKED),
                     reinterpret_cast<LPARAM>(button));
      return kOk;
    }
    return kNotMet;
  }
  if (command == "click-button") {
    // A click of the button itself, as the mouse makes it: a check box changes its state and
    // tells its parent. Posted, so that the driver never waits on a modal window it opens.
    if (args.size() != 3) return Usage();
    for (HWND button : ChildrenOfClass(hwnd, "Button")) {
      std::string text = TextOf(button);
      std::erase(text, '&');
      if (text == args[2] && ::IsWindowVisible(button))
        return ::PostMessageA(button, BM_CLICK, 0, 0) ? kOk : kNotMet;
    }
    return kNotMet;
  }
  if (command == "button-checked") {
    if (args.size() != 3) return Usage();
    for (HWND button : ChildrenOfClass(hwnd, "Button")) {
      std::string text = TextOf(button);
      std::erase(text, '&');
      if (text != args[2]) continue;
      DWORD_PTR state = 0;
      if (!::SendMessageTimeoutA(button, BM_GETCHECK, 0, 0, SMTO_NORMAL, 5000, &state)) return kNotMet;
      std::printf("%s\n", state == BST_CHECKED ? "checked" : "unchecked");
      return state == BST_CHECKED ? kOk : kNotMet;
    }
    return kNotMet;
  }
  if (command == "set-text") {
    if (args.size() != 5) return Usage();
    std::vector<HWND> controls = ChildrenOfClass(hwnd, args[2].c_str());
    std::size_t index = std::strtoul(args[3].c_str(), nullptr, 0);
    if (index >= controls.size()) return kNotMet;
    std::wstring text = Wide(Unescape(args[4]));
    // Replacing the whole selection, as typing over it would: unlike WM_SETTEXT, which a
    // multi-line edit does not report, this tells the parent with EN_CHANGE.
    ::SendMessageW(controls[index], EM_SETSEL, 0, -1);
    ::SendMessageW(controls[index], EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
    return kOk;
  }
  if (command == "labelled-text" || command == "set-labelled-text") {
    if (args.size() != (command == "labelled-text" ? 3u : 4u)) return Usage();
    HWND edit = EditAfterLabel(hwnd, args[2]);
    if (!edit) return kNotMet;
    if (command == "set-labelled-text") {
      std::wstring text = Wide(Unescape(args[3]));
      // As typing over the whole text: the owner hears of it with EN_CHANGE.
      ::SendMessageW(edit, EM_SETSEL, 0, -1);
      ::SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
      return kOk;
    }
    std::string text;
    if (!ControlText(edit, text)) return kNotMet;
    std::fwrite(text.data(), 1, text.size(), stdout);
    return kOk;
  }
  if (command == "list-rows")
    return args.size() == 4 ? PrintRows(NthListView(hwnd, args[2]), std::atoi(args[3].c_str())) : Usage();
  if (command == "wait-row")
    return args.size() == 6 ? WaitRow(hwnd, args[2], std::atoi(args[3].c_str()), Unescape(args[4]),
                                      Number(args[5].c_str()))
                            : Usage();
  if (command == "control-text") {
    if (args.size() != 3) return Usage();
    std::vector<HWND> controls = ChildrenOfClass(hwnd, args[2].c_str());
    std::string text;
    if (controls.empty() || !ControlText(controls.front(), text)) return kNotMet;
    std::fwrite(text.data(), 1, text.size(), stdout);
    return kOk;
  }
  if (command == "wait-control-text") {
    if (args.size() != 5) return Usage();
    std::string wanted = Unescape(args[3]);
    auto shows = [&] {
      std::string text;
      for (HWND control : ChildrenOfClass(hwnd, args[2].c_str()))
        if (ControlText(control, text) && text == wanted) return true;
      return false;
    };
    if (WaitFor(Number(args[4].c_str()), shows)) return kOk;
    for (HWND control : ChildrenOfClass(hwnd, args[2].c_str())) {
      std::string text;
      if (ControlText(control, text)) std::printf("%s: \"%s\"\n", args[2].c_str(), text.c_str());
    }
    return kNotMet;
  }
  if (command == "close") return ::PostMessageA(hwnd, WM_CLOSE, 0, 0) ? kOk : kNotMet;
  if (command == "click-row") {
    std::vector<int> mods;
    if (args.size() != 4 || !ParseModifiers(args[3], mods)) return Usage();
    return ClickRow(hwnd, std::atoi(args[2].c_str()), mods);
  }
  if (command == "selected-rows") return SelectedRows(hwnd);
  if (command == "type-sequence") {
    if (args.size() < 6 || args.size() % 2 != 0) return Usage();
    return TypeSequence(hwnd, Number(args[2].c_str()), Number(args[3].c_str()),
                        std::vector<std::string>(args.begin() + 4, args.end()));
  }
  if (command == "repaint-timing")
    return args.size() == 3 ? RepaintTiming(hwnd, std::atoi(args[2].c_str())) : Usage();
  if (command == "type-timing")
    return args.size() == 4 ? TypeTiming(hwnd, args[2], std::strtoul(args[3].c_str(), nullptr, 0)) : Usage();
  if (command == "shown-rows")
    return args.size() == 3 ? ShownRows(hwnd, std::atoi(args[2].c_str())) : Usage();
  if (command == "list-rect" || command == "column-width") {
    if (args.size() != (command == "list-rect" ? 3u : 4u)) return Usage();
    const std::vector<HWND> lists = ChildrenOfClass(hwnd, "SysListView32");
    const auto index = static_cast<std::size_t>(std::atoi(args[2].c_str()));
    if (index >= lists.size()) return kNotMet;
    if (command == "column-width") {
      DWORD_PTR width = 0;
      if (!::SendMessageTimeoutW(lists[index], LVM_GETCOLUMNWIDTH, std::strtoul(args[3].c_str(), nullptr, 0),
                                 0, SMTO_NORMAL, 5000, &width))
        return kNotMet;
      std::printf("%lu\n", static_cast<unsigned long>(width));
      return kOk;
    }
    RECT client = {};
    if (!::GetClientRect(lists[index], &client)) return kNotMet;
    ::MapWindowPoints(lists[index], nullptr, reinterpret_cast<POINT*>(&client), 2);
    std::printf("%ld %ld %ld %ld\n", client.left, client.top, client.right - client.left,
                client.bottom - client.top);
    return kOk;
  }
  if (command == "move") {
    if (args.size() != 6) return Usage();
    return ::SetWindowPos(hwnd, nullptr, std::atoi(args[2].c_str()), std::atoi(args[3].c_str()),
                          std::atoi(args[4].c_str()), std::atoi(args[5].c_str()),
                          SWP_NOZORDER | SWP_NOACTIVATE)
               ? kOk
               : kNotMet;
  }
  if (command == "double-click-row")
    return args.size() == 3 ? ClickRow(hwnd, std::atoi(args[2].c_str()), {}, 2) : Usage();
  if (command == "right-click-row")
    return args.size() == 3 ? ClickRow(hwnd, std::atoi(args[2].c_str()), {}, 1, true) : Usage();
  if (command == "syscommand") {
    if (args.size() != 3) return Usage();
    WPARAM sc = args[2] == "close"      ? SC_CLOSE
                : args[2] == "minimize" ? SC_MINIMIZE
                : args[2] == "restore"  ? SC_RESTORE
                                        : Number(args[2].c_str());
    return ::PostMessageA(hwnd, WM_SYSCOMMAND, sc, 0) ? kOk : kNotMet;
  }
  if (command == "post" || command == "send") {
    if (args.size() != 5) return Usage();
    UINT msg = Number(args[2].c_str());
    WPARAM wParam = std::strtoull(args[3].c_str(), nullptr, 0);
    LPARAM lParam = static_cast<LPARAM>(std::strtoll(args[4].c_str(), nullptr, 0));
    if (command == "post") return ::PostMessageA(hwnd, msg, wParam, lParam) ? kOk : kNotMet;
    std::printf("%lld\n", static_cast<long long>(::SendMessageA(hwnd, msg, wParam, lParam)));
    return kOk;
  }
  if (command == "query-end-session" || command == "log-off") {
    std::vector<HWND> targets{hwnd};
    if (command == "log-off") {
      DWORD pid = 0;
      ::GetWindowThreadProcessId(hwnd, &pid);
      targets = TopLevelWindowsOf(pid);
    }
    // As the system does: ask every window, then tell every window whether the session ends.
    bool agreed = true;
    for (HWND target : targets) {
      DWORD_PTR answer = 0;
      if (!::SendMessageTimeoutA(target, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 30000,
                                 &answer) ||
          answer == 0)
        agreed = false;
    }
    for (HWND target : targets) {
      DWORD_PTR ignored = 0;
      ::SendMessageTimeoutA(target, WM_ENDSESSION, agreed ? TRUE : FALSE, ENDSESSION_LOGOFF, SMTO_NORMAL,
                            30000, &ignored);
    }
    std::printf("%s\n", agreed ? "agreed" : "refused");
    return agreed ? kOk : kNotMet;
  }
  return Usage();
}

// A temporary file that a command's stdout or stderr is pointed at while it runs, so that a
// served command prints exactly what it prints as a program of its own.
class OutputFile {
 public:
  bool Open() {
    wchar_t dir[MAX_PATH];
    wchar_t path[MAX_PATH];
    if (!::GetTempPathW(MAX_PATH, dir) || !::GetTempFileNameW(dir, L"cmd", 0, path)) return false;
    HANDLE file = ::CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    fd_ = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_BINARY);
    return fd_ >= 0;
  }
  int Fd() const { return fd_; }
  // What was written since the last call; the file is emptied for the next command.
  std::string Take() {
    long size = _lseek(fd_, 0, SEEK_END);
    std::string bytes(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
    _lseek(fd_, 0, SEEK_SET);
    std::size_t got = 0;
    while (got < bytes.size()) {
      int n = _read(fd_, &bytes[got], static_cast<unsigned>(bytes.size() - got));
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    _chsize(fd_, 0);
    _lseek(fd_, 0, SEEK_SET);
    return bytes;
  }

 private:
  int fd_ = -1;
};

bool WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    int n = _write(fd, bytes.data() + done, static_cast<unsigned>(bytes.size() - done));
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// One request: its arguments, each written as "x" and the lower-case hex of its UTF-8 bytes,
// separated by spaces. False when the line is not of that form.
bool ParseRequest(const std::string& line, std::vector<std::string>& args) {
  args.clear();
  std::vector<std::uint8_t> bytes;
  std::size_t at = 0;
  while (at < line.size()) {
    std::size_t end = line.find(' ', at);
    if (end == std::string::npos) end = line.size();
    if (line[at] != 'x' || !platform::ReadHex(std::string_view(line).substr(at + 1, end - at - 1), bytes))
      return false;
    args.emplace_back(bytes.begin(), bytes.end());
    at = end + 1;
  }
  return !args.empty();
}

// Runs the commands read from stdin, one a line, until stdin ends. Starting a Wine program
// costs about a tenth of a CPU second, and a test sends hundreds of commands: one process
// serves them all. Each reply is "CODE OUT_BYTES ERR_BYTES\n" followed by what the command
// printed on stdout, then on stderr.
int Serve() {
  _setmode(_fileno(stdin), _O_BINARY);
  const int reply = _dup(_fileno(stdout));
  const int replyErr = _dup(_fileno(stderr));
  OutputFile out;
  OutputFile err;
  if (reply < 0 || replyErr < 0 || !out.Open() || !err.Open() || _setmode(reply, _O_BINARY) < 0) {
    std::fputs("cannot set up the output of served commands\n", stderr);
    return kMisuse;
  }
  if (!WriteAll(reply, "ready\n")) return kMisuse;
  std::vector<std::string> args;
  for (;;) {
    std::string line;
    int c;
    while ((c = std::getchar()) != EOF && c != '\n') line.push_back(static_cast<char>(c));
    if (c == EOF) return kOk;
    std::fflush(stdout);
    std::fflush(stderr);
    _dup2(out.Fd(), _fileno(stdout));
    _dup2(err.Fd(), _fileno(stderr));
    int code = ParseRequest(line, args) && args[0] != "serve" ? Run(args) : Usage();
    std::fflush(stdout);
    std::fflush(stderr);
    _dup2(reply, _fileno(stdout));
    _dup2(replyErr, _fileno(stderr));
    std::string printed = out.Take();
    std::string complained = err.Take();
    std::string header = std::to_string(code) + " " + std::to_string(printed.size()) + " " +
                         std::to_string(complained.size()) + "\n";
    if (!WriteAll(reply, header + printed + complained)) return kOk;
  }
}

}  // namespace

int main() {
  // Texts read from the clipboard and from controls are printed byte for byte: a text-mode
  // stdout would write each of their CR LF line breaks as CR CR LF.
  _setmode(_fileno(stdout), _O_BINARY);
  // The wide command line: the ANSI one has already lost what the code page lacks.
  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  std::vector<std::string> args;
  for (int i = 1; argv && i < argc; ++i)
    args.push_back(Utf8(argv[i], static_cast<int>(std::wcslen(argv[i]))));
  ::LocalFree(argv);
  int code = args.size() == 1 && args[0] == "serve" ? Serve() : Run(args);
  std::fflush(stdout);
  return code;
}

#include "platform/win32/win32_windows.h"

#include <shlwapi.h>

#include <exception>
#include <future>
#include <string>

#include "platform/win32/win32_text.h"

namespace win32 {

using platform::WindowKind;

namespace {

// The last line of defence: a C++ exception must not unwind through the system's frames between
// the message loop and the window procedure. The forms report their own errors; this catches
// what escapes them, under the application's title as the error box does.
void ReportEscapedError(HWND hwnd, const char* text) {
  wchar_t caption[256] = {};
  HWND root = ::GetAncestor(hwnd, GA_ROOTOWNER);
  ::GetWindowTextW(root ? root : hwnd, caption, sizeof caption / sizeof caption[0]);
  // Error messages are UTF-8.
  ::MessageBoxW(nullptr, WideFromUtf8(text).c_str(), caption, MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

DWORD StyleOf(const platform::WindowDesc& desc) {
  if (desc.appWindow) return WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX;
  DWORD style = 0;
  switch (desc.kind) {
    case WindowKind::TopLevel:
      style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
      break;
    case WindowKind::Dialog:
      style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;  // framed by WS_EX_DLGMODALFRAME
      break;
    case WindowKind::Hidden:
      return WS_POPUP;
    case WindowKind::MessageOnly:
      return 0;
  }
  if (desc.sizeable) style |= WS_THICKFRAME;
  if (desc.minimizeBox) style |= WS_MINIMIZEBOX;
  if (desc.maximizeBox) style |= WS_MAXIMIZEBOX;
  return style;
}

DWORD ExStyleOf(const platform::WindowDesc& desc) {
  if (desc.appWindow) return 0;
  switch (desc.kind) {
    case WindowKind::TopLevel:
      return WS_EX_CONTROLPARENT;
    case WindowKind::Dialog:
      return WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME;
    case WindowKind::Hidden:
      return WS_EX_TOOLWINDOW;
    case WindowKind::MessageOnly:
      return 0;
  }
  return 0;
}

// The application window keeps only the commands that make sense for a window without an
// area of its own: Restore, Minimize and Close.
void TrimApplicationSystemMenu(HWND hwnd) {
  HMENU menu = ::GetSystemMenu(hwnd, FALSE);
  ::DeleteMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND);
  ::DeleteMenu(menu, SC_SIZE, MF_BYCOMMAND);
  ::DeleteMenu(menu, SC_MOVE, MF_BYCOMMAND);
}

}  // namespace

Win32Windows::Win32Windows(HINSTANCE instance) : instance_(instance) {}

Win32Windows::~Win32Windows() {
  for (auto& [hwnd, thread] : threads_) EndOwnThread(hwnd, thread);
  for (auto& [size, icon] : mainIcons_) ::DestroyIcon(icon);
}

void Win32Windows::EndOwnThread(HWND hwnd, std::thread& thread) {
  const DWORD id = ::GetWindowThreadProcessId(hwnd, nullptr);
  // A window is destroyed by its own thread: WM_CLOSE's default does it there.
  ::SendMessageW(hwnd, WM_CLOSE, 0, 0);
  if (id != 0) ::PostThreadMessageW(id, WM_QUIT, 0, 0);
  if (thread.joinable()) thread.join();
}

void Win32Windows::RegisterWindowClass() {
  if (classRegistered_) return;
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = &Win32Windows::WindowProcedure;
  wc.hInstance = instance_;
  // A form has no icon of its own; its caption shows the application's.
  wc.hIcon = ::LoadIconA(instance_, "MAINICON");
  wc.hIconSm =
      static_cast<HICON>(::LoadImageA(instance_, "MAINICON", IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                                      ::GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR | LR_SHARED));
  wc.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kWindowClass;
  classRegistered_ = ::RegisterClassExA(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

LRESULT CALLBACK Win32Windows::WindowProcedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* proc = reinterpret_cast<platform::IWindowProc*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  // Messages that arrive before WM_NCCREATE (WM_GETMINMAXINFO) or after WM_NCDESTROY have no
  // object to go to.
  if (!proc) return ::DefWindowProcA(hwnd, msg, wParam, lParam);

  LRESULT result = 0;
  try {
    result = proc->WindowProc(From(hwnd), msg, wParam, lParam);
  } catch (const std::exception& error) {
    ReportEscapedError(hwnd, error.what());
    result = msg == WM_NCCREATE ? TRUE : 0;
  } catch (...) {
    ReportEscapedError(hwnd, "Unknown error.");
    result = msg == WM_NCCREATE ? TRUE : 0;
  }
  // The object may be gone right after its window; nothing may reach it any more.
  if (msg == WM_NCDESTROY) ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
  return result;
}

platform::Hwnd Win32Windows::CreateWindowA(const platform::WindowDesc& desc, platform::IWindowProc* proc) {
  RegisterWindowClass();
  if (desc.ownThread) {
    platform::WindowDesc plain = desc;
    plain.ownThread = false;
    std::promise<HWND> made;
    std::future<HWND> window = made.get_future();
    std::thread thread([this, plain, proc, &made] {
      const HWND hwnd = ToHwnd(CreateWindowA(plain, proc));
      made.set_value(hwnd);
      if (hwnd == nullptr) return;
      MSG msg;
      while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
      }
    });
    const HWND hwnd = window.get();
    if (hwnd == nullptr) {
      thread.join();
      return 0;
    }
    const std::lock_guard<std::mutex> lock(threadsMutex_);
    threads_.emplace(hwnd, std::move(thread));
    return From(hwnd);
  }
  DWORD style = StyleOf(desc);
  DWORD exStyle = ExStyleOf(desc);
  HWND parent = ToHwnd(desc.owner);
  int x = desc.x, y = desc.y, width = desc.width, height = desc.height;

  if (desc.appWindow) {
    // The application window in the manner of the VCL's TApplication: no area of its own,
    // centred on the screen, and its showing is what makes the taskbar button exist. The forms
    // it owns get no buttons of their own.
    x = ::GetSystemMetrics(SM_CXSCREEN) / 2;
    y = ::GetSystemMetrics(SM_CYSCREEN) / 2;
    width = height = 0;
    parent = nullptr;
  } else if (desc.kind == WindowKind::MessageOnly) {
    parent = HWND_MESSAGE;
    x = y = width = height = 0;
  } else if (desc.kind == WindowKind::Hidden) {
    // Top-level rather than message-only, or it would not receive broadcasts such as
    // WM_QUERYENDSESSION; it is never shown.
    parent = nullptr;
    x = y = width = height = 0;
  } else if (width == 0 || height == 0) {
    x = y = width = height = CW_USEDEFAULT;
  } else if (desc.clientSize) {
    RECT rect = {0, 0, width, height};
    ::AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    width = rect.right - rect.left;
    height = rect.bottom - rect.top;
  }

  // Titles are UTF-8. The class is an ANSI one, so a letter outside the code page still shows
  // as '?', but every other one shows as itself.
  HWND hwnd = ::CreateWindowExW(exStyle, WideFromUtf8(kWindowClass).c_str(), WideFromUtf8(desc.title).c_str(),
                                style, x, y, width, height, parent, nullptr, instance_, proc);
  if (hwnd && desc.appWindow) TrimApplicationSystemMenu(hwnd);
  return From(hwnd);
}

void Win32Windows::DestroyWindow(platform::Hwnd hwnd) {
  std::thread thread;
  {
    const std::lock_guard<std::mutex> lock(threadsMutex_);
    if (auto it = threads_.find(ToHwnd(hwnd)); it != threads_.end()) {
      thread = std::move(it->second);
      threads_.erase(it);
    }
  }
  if (thread.joinable()) {
    EndOwnThread(ToHwnd(hwnd), thread);
    return;
  }
  ::DestroyWindow(ToHwnd(hwnd));
}

bool Win32Windows::ShowWindow(platform::Hwnd hwnd, int cmd) { return ::ShowWindow(ToHwnd(hwnd), cmd) != 0; }

bool Win32Windows::IsWindowVisible(platform::Hwnd hwnd) { return ::IsWindowVisible(ToHwnd(hwnd)) != 0; }

bool Win32Windows::IsIconic(platform::Hwnd hwnd) { return ::IsIconic(ToHwnd(hwnd)) != 0; }

bool Win32Windows::SetForegroundWindow(platform::Hwnd hwnd) {
  return ::SetForegroundWindow(ToHwnd(hwnd)) != 0;
}

bool Win32Windows::EnableWindow(platform::Hwnd hwnd, bool enable) {
  return ::EnableWindow(ToHwnd(hwnd), enable ? TRUE : FALSE) != 0;
}

bool Win32Windows::SetWindowTextW(platform::Hwnd hwnd, const std::string& text) {
  return ::SetWindowTextW(ToHwnd(hwnd), WideFromUtf8(text).c_str()) != 0;
}

bool Win32Windows::SetWindowPos(platform::Hwnd hwnd, int x, int y, int width, int height) {
  return ::SetWindowPos(ToHwnd(hwnd), nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE) != 0;
}

bool Win32Windows::GetWindowRect(platform::Hwnd hwnd, int& x, int& y, int& width, int& height) {
  RECT rect;
  if (!::GetWindowRect(ToHwnd(hwnd), &rect)) return false;
  x = rect.left;
  y = rect.top;
  width = rect.right - rect.left;
  height = rect.bottom - rect.top;
  return true;
}

void Win32Windows::SetWindowIcon(platform::Hwnd hwnd, platform::Hicon icon) {
  ::SendMessageA(ToHwnd(hwnd), WM_SETICON, ICON_BIG, static_cast<LPARAM>(icon));
  ::SendMessageA(ToHwnd(hwnd), WM_SETICON, ICON_SMALL, static_cast<LPARAM>(icon));
}

platform::LResult Win32Windows::SendMessageA(platform::Hwnd hwnd, platform::Uint msg, platform::WParam wParam,
                                             platform::LParam lParam) {
  return ::SendMessageA(ToHwnd(hwnd), msg, wParam, lParam);
}

bool Win32Windows::PostMessageA(platform::Hwnd hwnd, platform::Uint msg, platform::WParam wParam,
                                platform::LParam lParam) {
  return ::PostMessageA(ToHwnd(hwnd), msg, wParam, lParam) != 0;
}

platform::LResult Win32Windows::DefWindowProcA(platform::Hwnd hwnd, platform::Uint msg,
                                               platform::WParam wParam, platform::LParam lParam) {
  return ::DefWindowProcA(ToHwnd(hwnd), msg, wParam, lParam);
}

platform::Uint Win32Windows::RegisterWindowMessageA(const std::string& name) {
  return ::RegisterWindowMessageA(name.c_str());
}

std::uintptr_t Win32Windows::SetTimer(platform::Hwnd hwnd, std::uintptr_t id, platform::Uint elapseMs) {
  return ::SetTimer(ToHwnd(hwnd), id, elapseMs, nullptr);
}

bool Win32Windows::KillTimer(platform::Hwnd hwnd, std::uintptr_t id) {
  return ::KillTimer(ToHwnd(hwnd), id) != 0;
}

bool Win32Windows::GetCursorPos(platform::Point& pt) {
  POINT point;
  if (!::GetCursorPos(&point)) return false;
  pt.x = point.x;
  pt.y = point.y;
  return true;
}

std::string Win32Windows::GetWindowProgramFileName(platform::Hwnd hwnd) {
  DWORD processId = 0;
  if (hwnd == 0 || ::GetWindowThreadProcessId(ToHwnd(hwnd), &processId) == 0 || processId == 0) return {};
  // The limited right is granted for other users' and elevated processes too.
  HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  if (process == nullptr) return {};
  wchar_t path[MAX_PATH * 4];
  DWORD length = static_cast<DWORD>(std::size(path));
  const BOOL named = ::QueryFullProcessImageNameW(process, 0, path, &length);
  ::CloseHandle(process);
  if (!named) return {};
  std::size_t start = length;
  while (start > 0 && path[start - 1] != L'\\' && path[start - 1] != L'/') --start;
  return Utf8FromWide(path + start, length - start);
}

platform::Hwnd Win32Windows::GetForegroundWindow() {
  return reinterpret_cast<platform::Hwnd>(::GetForegroundWindow());
}

// The caret belongs to a thread, not a window: the thread that owns the window is asked, and
// its caret rectangle, given in the caret window's client coordinates, is moved to the screen.
bool Win32Windows::GetCaretRect(platform::Hwnd window, platform::Rect& caret) {
  DWORD thread = ::GetWindowThreadProcessId(ToHwnd(window), nullptr);
  if (thread == 0) return false;
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!::GetGUIThreadInfo(thread, &info) || info.hwndCaret == nullptr) return false;
  POINT corners[2] = {{info.rcCaret.left, info.rcCaret.top}, {info.rcCaret.right, info.rcCaret.bottom}};
  ::MapWindowPoints(info.hwndCaret, HWND_DESKTOP, corners, 2);
  caret = {corners[0].x, corners[0].y, corners[1].x, corners[1].y};
  return true;
}

platform::Rect Win32Windows::GetMonitorWorkArea(platform::Point pt) {
  MONITORINFO info = {};
  info.cbSize = sizeof info;
  HMONITOR monitor = ::MonitorFromPoint(POINT{pt.x, pt.y}, MONITOR_DEFAULTTONEAREST);
  if (monitor == nullptr || !::GetMonitorInfoW(monitor, &info)) {
    RECT area = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    return {area.left, area.top, area.right, area.bottom};
  }
  return {info.rcWork.left, info.rcWork.top, info.rcWork.right, info.rcWork.bottom};
}

namespace {

// The per-monitor calls came with Windows 8.1 and 10; older systems (and older Wine) scale the
// whole screen alike, which the screen's device context tells.
int ScreenDpi() {
  HDC screen = ::GetDC(nullptr);
  const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

template <class Function>
Function* SystemFunction(const wchar_t* module, const char* name) {
  HMODULE library = ::GetModuleHandleW(module);
  if (!library) library = ::LoadLibraryW(module);
  return library ? reinterpret_cast<Function*>(reinterpret_cast<void*>(::GetProcAddress(library, name)))
                 : nullptr;
}

}  // namespace

int WindowDpi(HWND window) {
  using ForWindow = UINT WINAPI(HWND);
  using ForSystem = UINT WINAPI();
  static ForWindow* const forWindow = SystemFunction<ForWindow>(L"user32.dll", "GetDpiForWindow");
  static ForSystem* const forSystem = SystemFunction<ForSystem>(L"user32.dll", "GetDpiForSystem");
  UINT dpi = 0;
  if (window != nullptr && forWindow) dpi = forWindow(window);
  if (dpi == 0 && forSystem) dpi = forSystem();
  return dpi != 0 ? static_cast<int>(dpi) : ScreenDpi();
}

int Win32Windows::GetDpiForWindow(platform::Hwnd hwnd) { return WindowDpi(ToHwnd(hwnd)); }

int Win32Windows::GetDpiAt(platform::Point pt) {
  // GetDpiForMonitor with MDT_EFFECTIVE_DPI (0).
  using ForMonitor = HRESULT WINAPI(HMONITOR, int, UINT*, UINT*);
  static ForMonitor* const forMonitor = SystemFunction<ForMonitor>(L"shcore.dll", "GetDpiForMonitor");
  UINT x = 0, y = 0;
  if (forMonitor)
    if (HMONITOR monitor = ::MonitorFromPoint(POINT{pt.x, pt.y}, MONITOR_DEFAULTTONEAREST);
        monitor && SUCCEEDED(forMonitor(monitor, 0, &x, &y)) && y != 0)
      return static_cast<int>(y);
  return GetDpiForWindow(0);
}

int Win32Windows::RunMessageLoop() {
  MSG msg = {};
  // GetMessage gives -1 on an invalid argument; that is no reason to dispatch or to spin.
  // The wide calls, in all three loops: the characters typed into the (Unicode) controls would
  // otherwise pass through the ANSI code page, and a letter outside it arrive as "?".
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return msg.message == WM_QUIT ? static_cast<int>(msg.wParam) : 0;
}

void Win32Windows::RunModalLoop(platform::Hwnd modal, bool (*done)(void*), void* context) {
  HWND window = ToHwnd(modal);
  MSG msg = {};
  // A modal window destroyed under the loop ends it as well.
  while (!done(context) && (!window || ::IsWindow(window))) {
    if (::GetMessageW(&msg, nullptr, 0, 0) <= 0) {
      // The quit belongs to the outer loop, which must see it too.
      if (msg.message == WM_QUIT) ::PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

void Win32Windows::PostQuitMessage(int exitCode) { ::PostQuitMessage(exitCode); }

bool Win32Windows::KeyPressWaiting() {
  // Presses only: the release of the key being answered is usually queued already. The
  // new-input bits of GetQueueStatus, which would dispatch nothing, miss keys under Wine.
  MSG msg;
  return ::PeekMessageW(&msg, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE | PM_NOYIELD) != 0;
}

void Win32Windows::ProcessMessages() {
  MSG msg = {};
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

int Win32Windows::CommonControlsVersion() {
  HMODULE library = ::GetModuleHandleA("comctl32.dll");
  bool loadedHere = false;
  if (!library) {
    library = ::LoadLibraryA("comctl32.dll");
    loadedHere = library != nullptr;
  }
  if (!library) return 0;
  int version = 0;
  // Through void(*)() so that the cast between unrelated function types is a deliberate one.
  auto getVersion = reinterpret_cast<DLLGETVERSIONPROC>(
      reinterpret_cast<void (*)()>(::GetProcAddress(library, "DllGetVersion")));
  if (getVersion) {
    DLLVERSIONINFO info = {};
    info.cbSize = sizeof info;
    if (SUCCEEDED(getVersion(&info)))
      version = static_cast<int>(info.dwMajorVersion * 100 + info.dwMinorVersion);
  }
  if (loadedHere) ::FreeLibrary(library);
  return version;
}

platform::Hicon Win32Windows::LoadMainIcon(int size) {
  auto found = mainIcons_.find(size);
  if (found != mainIcons_.end()) return From(found->second);
  auto icon =
      static_cast<HICON>(::LoadImageA(instance_, "MAINICON", IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
  if (icon) mainIcons_[size] = icon;
  return From(icon);
}

unsigned Win32Windows::GetSysColor(int index) { return ::GetSysColor(index); }

bool Win32Windows::HighContrast() {
  HIGHCONTRASTW contrast = {};
  contrast.cbSize = sizeof contrast;
  return ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
         (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

}  // namespace win32

// Windows, messages, timers and the message loop.
#pragma once

#include <string>

#include "platform/types.h"

namespace platform {

// Receives the messages of one window. Both backends call it from their window procedure.
class IWindowProc {
 public:
  virtual LResult WindowProc(Hwnd hwnd, Uint msg, WParam wParam, LParam lParam) = 0;

 protected:
  ~IWindowProc() = default;
};

enum class WindowKind {
  TopLevel,     // an ordinary overlapped window (owned by `owner` when given)
  Dialog,       // a fixed-border dialog window
  Hidden,       // an invisible top-level window that still receives broadcasts
  MessageOnly,  // a window that only receives messages sent or posted to it
};

struct WindowDesc {
  WindowKind kind = WindowKind::TopLevel;
  std::string title;  // UTF-8
  Hwnd owner = 0;
  int x = 0, y = 0, width = 0, height = 0;  // 0 lets the backend choose
  bool clientSize = false;                  // width and height are the client area, not the outer size
  bool sizeable = false;
  bool minimizeBox = false;
  bool maximizeBox = false;
  bool appWindow = false;  // carries the taskbar button of the application
  // The window's messages are handled on a thread of its own, so that a long answer (an image's
  // pixels handed to the system when a program asks for them) holds no other window up. Its
  // IWindowProc must then be safe to call from that thread while the others run; it is
  // destroyed with DestroyWindow as any other. A simulated desktop handles them on its one
  // thread, as every other window's.
  bool ownThread = false;
};

class IWindows {
 public:
  virtual ~IWindows() = default;

  virtual Hwnd CreateWindowA(const WindowDesc& desc, IWindowProc* proc) = 0;
  virtual void DestroyWindow(Hwnd hwnd) = 0;
  virtual bool ShowWindow(Hwnd hwnd, int cmd) = 0;
  virtual bool IsWindowVisible(Hwnd hwnd) = 0;
  virtual bool IsIconic(Hwnd hwnd) = 0;
  virtual bool SetForegroundWindow(Hwnd hwnd) = 0;
  virtual bool EnableWindow(Hwnd hwnd, bool enable) = 0;
  virtual bool SetWindowTextW(Hwnd hwnd, const std::string& text) = 0;  // UTF-8
  virtual bool SetWindowPos(Hwnd hwnd, int x, int y, int width, int height) = 0;
  virtual bool GetWindowRect(Hwnd hwnd, int& x, int& y, int& width, int& height) = 0;
  virtual void SetWindowIcon(Hwnd hwnd, Hicon icon) = 0;

  virtual LResult SendMessageA(Hwnd hwnd, Uint msg, WParam wParam, LParam lParam) = 0;
  virtual bool PostMessageA(Hwnd hwnd, Uint msg, WParam wParam, LParam lParam) = 0;
  virtual LResult DefWindowProcA(Hwnd hwnd, Uint msg, WParam wParam, LParam lParam) = 0;
  virtual Uint RegisterWindowMessageA(const std::string& name) = 0;

  virtual std::uintptr_t SetTimer(Hwnd hwnd, std::uintptr_t id, Uint elapseMs) = 0;
  virtual bool KillTimer(Hwnd hwnd, std::uintptr_t id) = 0;

  virtual bool GetCursorPos(Point& pt) = 0;
  virtual Hwnd GetForegroundWindow() = 0;
  // The file name, without its folder, of the executable whose process made the window (UTF-8);
  // empty when it cannot be told.
  virtual std::string GetWindowProgramFileName(Hwnd hwnd) = 0;
  // The text caret of the thread that owns `window`, in screen coordinates, as GetGUIThreadInfo
  // reports it; false when that thread shows no caret.
  virtual bool GetCaretRect(Hwnd window, Rect& caret) = 0;
  // The work area (the screen less the taskbar) of the monitor nearest to `pt`.
  virtual Rect GetMonitorWorkArea(Point pt) = 0;
  // Dots per inch (96 unscaled, 144 at 150 %): of the window's monitor, or for 0 the system's,
  // which new windows take; of the monitor nearest to `pt`.
  virtual int GetDpiForWindow(Hwnd hwnd) = 0;
  virtual int GetDpiAt(Point pt) = 0;

  // Dispatches messages until PostQuitMessage; returns its exit code.
  virtual int RunMessageLoop() = 0;
  // Dispatches messages until `done` returns true or the loop is quit (modal windows).
  virtual void RunModalLoop(Hwnd modal, bool (*done)(void*), void* context) = 0;
  virtual void PostQuitMessage(int exitCode) = 0;
  // Dispatches every message waiting in the queue, then returns.
  virtual void ProcessMessages() = 0;
  // Whether a key press (WM_KEYDOWN) waits in the thread's queue, looked for without removing
  // anything (PeekMessage with PM_NOREMOVE). Messages sent from other threads are answered
  // meanwhile, as by any PeekMessage.
  virtual bool KeyPressWaiting() = 0;

  // The common controls library's version as major * 100 + minor (6.0 gives 600).
  virtual int CommonControlsVersion() = 0;
  virtual Hicon LoadMainIcon(int size) = 0;
  virtual unsigned GetSysColor(int index) = 0;
  // Whether the user turned high contrast on (SPI_GETHIGHCONTRAST).
  virtual bool HighContrast() = 0;
};

}  // namespace platform

// Windows, messages, timers and the message loop on the real desktop.
#pragma once

#include <map>
#include <mutex>
#include <thread>

#include "platform/win32/win32_handles.h"
#include "platform/window_system.h"

namespace win32 {

// The dots per inch of the window's monitor; for nullptr, the system's.
int WindowDpi(HWND window);

class Win32Windows final : public platform::IWindows {
 public:
  explicit Win32Windows(HINSTANCE instance);
  ~Win32Windows() override;
  Win32Windows(const Win32Windows&) = delete;
  Win32Windows& operator=(const Win32Windows&) = delete;

  // Every window made here belongs to this class; peers may create their controls inside them.
  static constexpr const char* kWindowClass = "CorvilaneForm";

  platform::Hwnd CreateWindowA(const platform::WindowDesc& desc, platform::IWindowProc* proc) override;
  void DestroyWindow(platform::Hwnd hwnd) override;
  bool ShowWindow(platform::Hwnd hwnd, int cmd) override;
  bool IsWindowVisible(platform::Hwnd hwnd) override;
  bool IsIconic(platform::Hwnd hwnd) override;
  bool SetForegroundWindow(platform::Hwnd hwnd) override;
  bool EnableWindow(platform::Hwnd hwnd, bool enable) override;
  bool SetWindowTextW(platform::Hwnd hwnd, const std::string& text) override;
  bool SetWindowPos(platform::Hwnd hwnd, int x, int y, int width, int height) override;
  bool GetWindowRect(platform::Hwnd hwnd, int& x, int& y, int& width, int& height) override;
  void SetWindowIcon(platform::Hwnd hwnd, platform::Hicon icon) override;

  platform::LResult SendMessageA(platform::Hwnd hwnd, platform::Uint msg, platform::WParam wParam,
                                 platform::LParam lParam) override;
  bool PostMessageA(platform::Hwnd hwnd, platform::Uint msg, platform::WParam wParam,
                    platform::LParam lParam) override;
  platform::LResult DefWindowProcA(platform::Hwnd hwnd, platform::Uint msg, platform::WParam wParam,
                                   platform::LParam lParam) override;
  platform::Uint RegisterWindowMessageA(const std::string& name) override;

  std::uintptr_t SetTimer(platform::Hwnd hwnd, std::uintptr_t id, platform::Uint elapseMs) override;
  bool KillTimer(platform::Hwnd hwnd, std::uintptr_t id) override;

  bool GetCursorPos(platform::Point& pt) override;
  platform::Hwnd GetForegroundWindow() override;
  std::string GetWindowProgramFileName(platform::Hwnd hwnd) override;
  bool GetCaretRect(platform::Hwnd window, platform::Rect& caret) override;
  platform::Rect GetMonitorWorkArea(platform::Point pt) override;
  int GetDpiForWindow(platform::Hwnd hwnd) override;
  int GetDpiAt(platform::Point pt) override;

  int RunMessageLoop() override;
  void RunModalLoop(platform::Hwnd modal, bool (*done)(void*), void* context) override;
  void PostQuitMessage(int exitCode) override;
  void ProcessMessages() override;
  bool KeyPressWaiting() override;

  int CommonControlsVersion() override;
  platform::Hicon LoadMainIcon(int size) override;
  unsigned GetSysColor(int index) override;
  bool HighContrast() override;

 private:
  static LRESULT CALLBACK WindowProcedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  void RegisterWindowClass();

  // Ends a window of its own thread there, and the thread with it.
  static void EndOwnThread(HWND hwnd, std::thread& thread);

  HINSTANCE instance_;
  bool classRegistered_ = false;
  std::map<int, HICON> mainIcons_;  // by size, destroyed with this object
  std::mutex threadsMutex_;
  std::map<HWND, std::thread> threads_;  // the windows made with ownThread, and their threads
};

}  // namespace win32

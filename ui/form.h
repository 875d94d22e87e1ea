// A window with its controls as members, in the manner of a form designer.
#pragma once

#include <string>
#include <vector>

#include "platform/desktop.h"
#include "ui/control.h"
#include "ui/menu.h"

namespace ui {

class Application;
class Timer;

enum class BorderStyle { Sizeable, Dialog, Single };
enum class FormPosition { Designed, MainFormCenter };

constexpr int MrNone = 0;
constexpr int MrOk = 1;
constexpr int MrCancel = 2;

class Form : public Control, public platform::IWindowProc {
 public:
  Form(Application& app, std::string name);
  ~Form() override;

  Application& App() { return app_; }
  platform::Desktop& Desktop();

  // The window, created on first use.
  platform::Hwnd Handle();
  bool HandleAllocated() const { return handle_ != 0; }
  void DestroyHandle();

  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption);
  BorderStyle Border = BorderStyle::Sizeable;
  FormPosition Position = FormPosition::Designed;
  bool ClientSized = false;  // the bounds' width and height are the client area
  bool MinimizeBox = true;
  bool MaximizeBox = true;
  MainMenu* Menu = nullptr;

  // The form and its controls are designed at 96 DPI; on screen every length is scaled to the
  // DPI of the window's monitor.
  static constexpr int DesignDpi = 96;
  int Dpi() const { return dpi_; }
  int Scale(int designed) const;
  Bounds Scaled(const Bounds& designed) const;

  // The client area as designed, at 96 DPI; 0 takes the bounds' size for a client-sized form
  // and the extent of the controls for another.
  int DesignClientWidth = 0, DesignClientHeight = 0;
  Bounds DesignClient() const;
  // The client area's size on screen, as the window last told it (before that, the design's).
  int ClientWidth() const;
  int ClientHeight() const;
  // Where a control of this form is, in its parent, at the form's DPI and present size: its
  // designed bounds scaled, then moved or stretched by as much as its parent grew beyond the
  // design at the edges it is anchored to.
  Bounds Place(const Control& control) const;
  // The window's smallest outer size: the design's at the form's DPI.
  Bounds MinimumSize() const;
  // The window's client area became `width` by `height`: every control is placed again.
  void ClientResized(int width, int height);

  // Where the window is when it is neither minimized nor maximized, and whether it is
  // maximized, in pixels of the screen.
  struct Placement {
    Bounds normal;
    bool maximized = false;
    bool operator==(const Placement&) const = default;
  };
  Placement CurrentPlacement();
  // Takes a placement kept from an earlier run: moved onto the work area of the monitor
  // nearest to it (the one it was on may be gone) and no smaller than MinimumSize.
  void RestorePlacement(const Placement& placement);

  void SetVisible(bool visible) override;
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Shows the form modally; returns its modal result once it is closed.
  int ShowModal();
  bool Modal() const { return modal_; }
  void SetModalResult(int result) { modalResult_ = result; }
  // The normal close: asks FormCloseQuery, then hides the form or, for the main form, ends
  // the program. An error raised by the query escapes to the caller.
  void Close();

  Control* ActiveControl() const { return activeControl_; }
  void SetActiveControl(Control* control) { activeControl_ = control; }

  // A key pressed in the form's focused control, before the control acts on it: returns true
  // when the form took it (a shortcut), and the control then does not see it.
  bool KeyDown(int virtualKey, bool control);

  // The application's colours changed: the form and every control are drawn again.
  void ThemeChanged();

  void AddTimer(Timer* timer) { timers_.push_back(timer); }
  void RemoveTimer(Timer* timer);

  platform::LResult WindowProc(platform::Hwnd hwnd, platform::Uint msg, platform::WParam wParam,
                               platform::LParam lParam) final;

 protected:
  virtual void FormCloseQuery(bool& canClose) { (void)canClose; }
  virtual bool FormKeyDown(int virtualKey, bool control) {
    (void)virtualKey, (void)control;
    return false;
  }
  // A message for the form's window; return true when it is handled, with `result` set.
  virtual bool HandleMessage(platform::Uint msg, platform::WParam wParam, platform::LParam lParam,
                             platform::LResult& result) {
    (void)msg, (void)wParam, (void)lParam, (void)result;
    return false;
  }
  // Runs the default handling of the message (the framework's, then the platform's).
  platform::LResult DefaultHandler(platform::Uint msg, platform::WParam wParam, platform::LParam lParam);

 private:
  void PlaceForShowing();

  // The window moved to a monitor of `dpi`: it takes the system's suggested place and size, and
  // every control is laid out again.
  void DpiChanged(int dpi, const platform::Rect& suggested);
  // The bounds moved (and if need be shrunk) onto the work area of the monitor they start on.
  Bounds OnScreen(Bounds bounds);
  // How much the control's area has grown beyond its design, in pixels.
  struct Growth {
    int dx = 0, dy = 0;
  };
  Growth GrowthOf(const Control& control) const;
  void RelayoutAll();
  void NoteWindowRect();

  Application& app_;
  std::string caption_;
  platform::Hwnd handle_ = 0;
  int dpi_ = DesignDpi;
  int clientWidth_ = -1, clientHeight_ = -1;  // -1 until the window tells
  Bounds normal_;                             // the window's last rectangle while not maximized
  bool maximized_ = false;
  bool placed_ = false;  // a kept placement was restored: the window goes there
  bool modal_ = false;
  int modalResult_ = MrNone;
  Control* activeControl_ = nullptr;
  std::vector<Timer*> timers_;
};

}  // namespace ui

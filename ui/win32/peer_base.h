// What the Win32 peers of one form share, and the base of every control's peer.
//
// Every control window is a child of the form's window, whatever its ui parent: a group box
// or a tab sheet only offsets and hides its children. So every notification reaches
// the form, whose subclass hands it to the peer of the control that sent it.
#pragma once

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"
// <windows.h> first: commctrl.h needs its types.
#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/images.h"
#include "ui/application.h"
#include "ui/control.h"
#include "ui/form.h"
#include "ui/theme.h"

namespace win32::peers {

// The native controls are all Unicode windows: their text goes through win32_text.h. Captions
// are UTF-8, edits' text UTF-16; the key names of the hotkey list and the lines of memos are ANSI.

class ControlPeer;

// The form's window, its fonts and the look-up from a child window to its peer. Shared by the
// form's peer and the peers of its controls, so that none outlives the others' needs.
class FormHost : public std::enable_shared_from_this<FormHost> {
 public:
  explicit FormHost(ui::Form& form);
  ~FormHost();
  FormHost(const FormHost&) = delete;
  FormHost& operator=(const FormHost&) = delete;

  ui::Form& Form() const { return form_; }
  HWND Window() const { return window_; }
  // False once the form's window is destroyed; the peers then leave their windows alone.
  bool Alive() const { return window_ != nullptr; }

  // The colours the form draws with now.
  const ui::Theme& Theme() const { return form_.App().Theme(); }
  bool Dark() const { return Theme().Dark(); }

  // The system's message font at the form's DPI, plain and underlined.
  HFONT Font();
  HFONT UnderlinedFont();

  void Register(HWND window, ControlPeer* peer);
  void Unregister(HWND window);
  ControlPeer* Find(HWND window) const;

  void Forget(ControlPeer* peer);
  // A button's or box's caption with its access key marked, the keys shared out over the form.
  std::wstring ShownCaption(const ui::Control& control);
  // Alt and `key` pressed: presses the control whose access key it is; false when none has it.
  bool AccessKey(wchar_t key);
  void FocusNext(ControlPeer* from, bool backwards);
  // Gives the native focus to the form's active control, or to the first one the Tab key
  // reaches when the form has none.
  void FocusActiveControl();

  // Runs an event of a control behind the program's error report.
  void Raise(const std::function<void()>& event);

  // Subclasses the form's window; until then no notification reaches the peers.
  void Attach();

  // The form took the last key pressed: the character it makes is not typed.
  bool dropNextChar = false;

 private:
  static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR refData);
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT DpiChanged(WPARAM wParam, LPARAM lParam);
  void MeasureMenuItem(MEASUREITEMSTRUCT& measure);
  void DrawMenuItem(const DRAWITEMSTRUCT& draw);
  bool Reflect(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
  void Detach();
  bool CanTakeFocus(ControlPeer* peer) const;
  std::vector<ControlPeer*> TabCycle() const;

  ui::Form& form_;
  HWND window_;
  HFONT font_ = nullptr;
  HFONT underlined_ = nullptr;
  std::unordered_map<HWND, ControlPeer*> peers_;
  std::vector<ControlPeer*> tabOrder_;  // in the order their windows were made
};

// The peer of one control. Update() applies the whole state: the control's own (UpdateState)
// and its place on the form (UpdateLayout).
class ControlPeer : public ui::Peer {
 public:
  ControlPeer(std::shared_ptr<FormHost> host, ui::Control& control);
  ~ControlPeer() override;
  ControlPeer(const ControlPeer&) = delete;
  ControlPeer& operator=(const ControlPeer&) = delete;

  ui::Control& Control() const { return control_; }
  HWND Window() const { return window_; }
  FormHost& Host() const { return *host_; }

  void Update() final;
  // Position, size, visibility, enabled state and focus, from the control and its ancestors.
  void UpdateLayout();

  // The origin of the children's coordinates in the form's client area.
  virtual POINT ChildOrigin() const;
  // A page control's brush for its pages; nullptr for other controls.
  virtual HBRUSH PageBrush() { return nullptr; }
  // The colour beneath the control: its tab page's, or the form's.
  HBRUSH BackdropBrush() const;

  // Whether the Tab key visits the control now (a radio button only when it is the checked one).
  virtual bool TabStop() const { return window_ != nullptr; }
  // The Tab key has just brought the focus here.
  virtual void FocusedByTab() {}

  // Notifications the form received from this control's window.
  virtual bool OnCommand(UINT code) {
    (void)code;
    return false;
  }
  virtual bool OnNotify(NMHDR& header, LRESULT& result) {
    (void)header, (void)result;
    return false;
  }
  // Text on the colour of what lies beneath: the tab page or the form.
  virtual HBRUSH OnCtlColorStatic(HDC dc);
  // An edit box's or a list's colours (WM_CTLCOLOREDIT, WM_CTLCOLORLISTBOX); nullptr for the
  // system's.
  virtual HBRUSH OnCtlColorEdit(HDC dc);
  virtual bool OnSetCursor() { return false; }

 protected:
  // Makes the control's window, a child of the form's, with the form's font.
  void CreateWindowFor(const wchar_t* className, DWORD style, DWORD exStyle, const std::wstring& text = {});
  void SetStyle(DWORD style, DWORD mask);
  // The control's bounds in the form's client area.
  RECT PlacedRect() const;
  void RepaintBeneath(const RECT& area);

  virtual void UpdateState() {}
  // The theme's colours are new (or the first to be shown): the default paints the window again.
  virtual void ApplyTheme();
  // The native rectangle for the control's bounds, already moved into the form's client area.
  virtual void AdjustRect(RECT& rect) { (void)rect; }
  // Messages of the control's own window; the default passes them on.
  virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT Default(UINT msg, WPARAM wParam, LPARAM lParam);
  // A button's painting in the theme's colours while they are dark: true when the message is
  // answered (`result`). RepaintAfter paints it again after a message on which the button
  // draws itself at once.
  bool PaintInTheme(UINT msg, WPARAM wParam, LRESULT& result);
  void RepaintAfter(UINT msg);
  // Lays out the peers of all descendants again.
  void UpdateDescendants();
  // True while Update() runs: the notifications the update itself causes are not user input.
  bool Updating() const { return updating_ > 0; }
  void Raise(const std::function<void()>& event) { host_->Raise(event); }

 private:
  static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR refData);
  void Detach();

  std::shared_ptr<FormHost> host_;
  ui::Control& control_;
  HWND window_ = nullptr;
  int updating_ = 0;
  unsigned themeVersion_ = ~0u;
};

// Gives every control under `parent` that has no peer of this host one: all of them for a new
// window, later the controls made after it.
void AttachMissingPeers(const std::shared_ptr<FormHost>& host, ui::Control& parent);

// The peer of a control, when it is one of these peers.
ControlPeer* PeerOf(const ui::Control& control);

// A solid brush of the colour, kept for the whole run (the program uses a handful of colours).
HBRUSH SolidBrush(COLORREF colour);
// Asks the desktop window manager for a dark title bar, or the light one back; nothing where
// the system has no dark title bars.
void UseDarkTitleBar(HWND window, bool dark);
// The system's dark scroll bars and list parts where it has them (Windows 10 and later), its
// ordinary look otherwise.
void UseDarkControlTheme(HWND window, bool dark);
// Draws a push button, check box or radio button in the theme's colours: the system draws them
// only in its own.
void DrawButtonLike(HWND window, HDC dc, const ui::Theme& theme, HFONT font);

// The system's message font (what dialogs and message boxes show) at `dpi`.
LOGFONTW MessageFont(int dpi);

// A picture blended over what is drawn, centred in a box of `box` by the cell's height less two
// pixels at `left`; nothing for a picture larger than that.
void DrawPicture(HDC dc, int left, const RECT& cell, int box, const platform::Picture& picture);
// A list view cell (or row) that begins with a small picture, drawn whole in place of the list
// view's own drawing: the background, the picture blended over it and centred in a box of
// `box` by the cell's height less two pixels, then the text after it on one line, cut with an
// ellipsis where it does not fit.
void DrawPictureCell(HDC dc, const RECT& cell, int box, const platform::Picture& picture,
                     const std::wstring& text, COLORREF textColor, COLORREF backColor);
// The origin of `parent`'s children in the form's client area.
POINT OriginOfChildren(const ui::Control& parent);
// Whether the control is on screen: it and its ancestors visible, and its tab sheet active.
bool EffectivelyVisible(const ui::Control& control);
bool EffectivelyEnabled(const ui::Control& control);

// The peers of the control families; each returns nullptr for a control of another family.
std::unique_ptr<ControlPeer> MakeStandardPeer(const std::shared_ptr<FormHost>& host, ui::Control& control);
std::unique_ptr<ControlPeer> MakePagePeer(const std::shared_ptr<FormHost>& host, ui::Control& control);
std::unique_ptr<ControlPeer> MakeTablePeer(const std::shared_ptr<FormHost>& host, ui::Control& control);
// The peer of the form itself: its main menu and its bounds.
std::unique_ptr<ui::Peer> MakeFormPeer(const std::shared_ptr<FormHost>& host);

}  // namespace win32::peers

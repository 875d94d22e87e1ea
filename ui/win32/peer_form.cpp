// The form's side: its window's subclass, which hands the children's notifications to their
// peers, its fonts, the Tab key order, and the peers of the form and of its main menu.
#include <algorithm>
#include <climits>
#include <utility>

#include "ui/application.h"
#include "ui/controls.h"
#include "ui/menu.h"
#include "ui/win32/peer_base.h"

namespace win32::peers {

FormHost::FormHost(ui::Form& form)
    : form_(form), window_(form.HandleAllocated() ? ToHwnd(form.Handle()) : nullptr) {}

FormHost::~FormHost() {
  Detach();
  if (font_) ::DeleteObject(font_);
  if (underlined_) ::DeleteObject(underlined_);
}

void FormHost::Attach() {
  // The host's address is the subclass id, so a host made for the same window again never
  // takes over or removes another's subclass.
  if (window_)
    ::SetWindowSubclass(window_, &FormHost::SubclassProc, reinterpret_cast<UINT_PTR>(this),
                        reinterpret_cast<DWORD_PTR>(this));
}

void FormHost::Detach() {
  if (window_) ::RemoveWindowSubclass(window_, &FormHost::SubclassProc, reinterpret_cast<UINT_PTR>(this));
}

HFONT FormHost::Font() {
  if (!font_) {
    LOGFONTW font = MessageFont(form_.Dpi());
    font_ = ::CreateFontIndirectW(&font);
  }
  return font_;
}

HFONT FormHost::UnderlinedFont() {
  if (!underlined_) {
    LOGFONTW font = MessageFont(form_.Dpi());
    font.lfUnderline = TRUE;
    underlined_ = ::CreateFontIndirectW(&font);
  }
  return underlined_;
}

LRESULT FormHost::DpiChanged(WPARAM wParam, LPARAM lParam) {
  // The form lays its controls out at the new DPI; a label takes the new font as it does so,
  // the other controls right after. The old fonts go once nothing uses them.
  HFONT oldFont = std::exchange(font_, nullptr);
  HFONT oldUnderlined = std::exchange(underlined_, nullptr);
  const LRESULT result = ::DefSubclassProc(window_, WM_DPICHANGED, wParam, lParam);
  for (const auto& [window, peer] : peers_) {
    auto current = reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0));
    if (current == oldFont) ::SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(Font()), TRUE);
    if (current == oldUnderlined && oldUnderlined)
      ::SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(UnderlinedFont()), TRUE);
  }
  if (oldFont) ::DeleteObject(oldFont);
  if (oldUnderlined) ::DeleteObject(oldUnderlined);
  return result;
}

void FormHost::Register(HWND window, ControlPeer* peer) {
  peers_[window] = peer;
  if (std::find(tabOrder_.begin(), tabOrder_.end(), peer) == tabOrder_.end()) tabOrder_.push_back(peer);
}

void FormHost::Unregister(HWND window) { peers_.erase(window); }

ControlPeer* FormHost::Find(HWND window) const {
  auto found = peers_.find(window);
  return found != peers_.end() ? found->second : nullptr;
}

void FormHost::Forget(ControlPeer* peer) { std::erase(tabOrder_, peer); }

bool FormHost::CanTakeFocus(ControlPeer* peer) const {
  HWND window = peer->Window();
  return window && peer->TabStop() && ::IsWindowVisible(window) && ::IsWindowEnabled(window);
}

// The forms number their controls' TabOrder across the whole form, whatever group box holds
// them; controls without a number follow, in the order their windows were made.
std::vector<ControlPeer*> FormHost::TabCycle() const {
  std::vector<ControlPeer*> cycle = tabOrder_;
  std::stable_sort(cycle.begin(), cycle.end(), [](const ControlPeer* a, const ControlPeer* b) {
    int left = a->Control().TabOrder(), right = b->Control().TabOrder();
    return (left >= 0 ? left : INT_MAX) < (right >= 0 ? right : INT_MAX);
  });
  return cycle;
}

void FormHost::FocusNext(ControlPeer* from, bool backwards) {
  std::vector<ControlPeer*> cycle = TabCycle();
  auto count = static_cast<std::ptrdiff_t>(cycle.size());
  auto at = std::find(cycle.begin(), cycle.end(), from) - cycle.begin();
  if (at >= count) return;
  for (std::ptrdiff_t step = 1; step < count; ++step) {
    std::ptrdiff_t index = backwards ? (at - step + count) % count : (at + step) % count;
    ControlPeer* next = cycle[static_cast<std::size_t>(index)];
    if (!CanTakeFocus(next)) continue;
    ::SetFocus(next->Window());
    next->FocusedByTab();
    return;
  }
}

void FormHost::FocusActiveControl() {
  if (ui::Control* active = form_.ActiveControl())
    if (ControlPeer* peer = PeerOf(*active);
        peer && peer->Window() && ::IsWindowVisible(peer->Window()) && ::IsWindowEnabled(peer->Window())) {
      ::SetFocus(peer->Window());
      return;
    }
  for (ControlPeer* peer : TabCycle())
    if (CanTakeFocus(peer)) {
      ::SetFocus(peer->Window());
      return;
    }
}

void FormHost::Raise(const std::function<void()>& event) {
  try {
    form_.App().Guard(event);
  } catch (...) {
    // Guard reports every std::exception; anything else must still stop here, short of the
    // system's frames.
  }
}

bool FormHost::Reflect(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  ControlPeer* peer = nullptr;
  switch (msg) {
    case WM_COMMAND:
      if (lParam && (peer = Find(reinterpret_cast<HWND>(lParam))) && peer->OnCommand(HIWORD(wParam))) {
        result = 0;
        return true;
      }
      return false;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lParam);
      return header && (peer = Find(header->hwndFrom)) && peer->OnNotify(*header, result);
    }
    case WM_CTLCOLORSTATIC:
      if ((peer = Find(reinterpret_cast<HWND>(lParam))))
        if (HBRUSH brush = peer->OnCtlColorStatic(reinterpret_cast<HDC>(wParam))) {
          result = reinterpret_cast<LRESULT>(brush);
          return true;
        }
      return false;
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT && (peer = Find(reinterpret_cast<HWND>(wParam))) &&
          peer->OnSetCursor()) {
        result = TRUE;
        return true;
      }
      return false;
    case WM_NOTIFYFORMAT:
      // The form's window is an ANSI one; its children's notifications carry UTF-16 text.
      if (lParam == NF_QUERY && Find(reinterpret_cast<HWND>(wParam))) {
        result = NFR_UNICODE;
        return true;
      }
      return false;
  }
  return false;
}

LRESULT FormHost::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  HWND window = window_;
  switch (msg) {
    case WM_COMMAND:
      if (lParam == 0 && HIWORD(wParam) == 0 && form_.Menu)
        if (ui::MenuItem* item = form_.Menu->FindByCommand(LOWORD(wParam))) {
          Raise([item] { item->Click(); });
          return 0;
        }
      break;
    case WM_SETFOCUS: {
      // Activation gives the focus to the form's window; a dialog passes it on to a control.
      LRESULT result = ::DefSubclassProc(window, msg, wParam, lParam);
      FocusActiveControl();
      return result;
    }
    case WM_SHOWWINDOW:
      if (wParam) AttachMissingPeers(shared_from_this(), form_);
      break;
    case WM_DPICHANGED:
      return DpiChanged(wParam, lParam);
    case WM_NCDESTROY:
      // The children are gone already; the peers that outlive their windows see Alive() false.
      Detach();
      window_ = nullptr;
      return ::DefSubclassProc(window, msg, wParam, lParam);
  }
  LRESULT result = 0;
  if (Reflect(msg, wParam, lParam, result)) return result;
  return ::DefSubclassProc(window, msg, wParam, lParam);
}

LRESULT CALLBACK FormHost::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                        DWORD_PTR refData) {
  try {
    return reinterpret_cast<FormHost*>(refData)->WindowProc(msg, wParam, lParam);
  } catch (...) {
    return msg == WM_NCDESTROY ? ::DefSubclassProc(hwnd, msg, wParam, lParam) : 0;
  }
}

namespace {

HMENU BuildMenu(const ui::MenuItem& parent, bool bar) {
  HMENU menu = bar ? ::CreateMenu() : ::CreatePopupMenu();
  for (const ui::MenuItem* item : parent.Items()) {
    if (!item->Visible()) continue;
    std::wstring caption = WideFromUtf8(item->Caption());
    if (item->IsSeparator())
      ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    else if (!item->Items().empty())
      ::AppendMenuW(menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(BuildMenu(*item, false)),
                    caption.c_str());
    else
      ::AppendMenuW(menu, MF_STRING, item->CommandId(), caption.c_str());
  }
  return menu;
}

// The main menu's peer: any change of an item rebuilds the whole menu bar.
class MenuPeer final : public ui::Peer {
 public:
  MenuPeer(std::shared_ptr<FormHost> host, ui::MainMenu& menu) : host_(std::move(host)), menu_(menu) {}

  ~MenuPeer() override {
    // A window destroys its menu with itself, so only a live window's menu is ours to destroy.
    if (!host_->Alive() || !handle_) return;
    if (::GetMenu(host_->Window()) == handle_) ::SetMenu(host_->Window(), nullptr);
    ::DestroyMenu(handle_);
  }
  MenuPeer(const MenuPeer&) = delete;
  MenuPeer& operator=(const MenuPeer&) = delete;

  void Update() override {
    if (!host_->Alive()) {
      handle_ = nullptr;
      return;
    }
    HMENU fresh = BuildMenu(menu_, true);
    HMENU old = handle_;
    ::SetMenu(host_->Window(), fresh);
    handle_ = fresh;
    if (old) ::DestroyMenu(old);
    ::DrawMenuBar(host_->Window());
  }

 private:
  std::shared_ptr<FormHost> host_;
  ui::MainMenu& menu_;
  HMENU handle_ = nullptr;
};

class FormPeer final : public ui::Peer {
 public:
  explicit FormPeer(std::shared_ptr<FormHost> host)
      : host_(std::move(host)), bounds_(host_->Form().GetBounds()) {}

  void Update() override {
    if (!host_->Alive()) return;
    ui::Form& form = host_->Form();
    if (form.Menu != menu_) {
      menu_ = form.Menu;
      if (menu_) {
        // Unlike a control, a menu item does not update a peer it is given.
        auto peer = std::make_unique<MenuPeer>(host_, *menu_);
        MenuPeer& shown = *peer;
        menu_->AttachPeer(std::move(peer));
        shown.Update();
      } else {
        ::SetMenu(host_->Window(), nullptr);
      }
    }
    // Only a change of the bounds moves the window: the user may have moved it since.
    const ui::Bounds& bounds = form.GetBounds();
    if (bounds.left != bounds_.left || bounds.top != bounds_.top || bounds.width != bounds_.width ||
        bounds.height != bounds_.height) {
      bounds_ = bounds;
      MoveWindow(form);
    }
  }

 private:
  void MoveWindow(ui::Form& form) {
    HWND window = host_->Window();
    // A client-sized form keeps its position as given; only its size takes in the frame.
    const ui::Bounds scaled = form.Scaled(bounds_);
    RECT rect = {0, 0, scaled.width, scaled.height};
    if (form.ClientSized)
      ::AdjustWindowRectEx(&rect, static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_STYLE)),
                           ::GetMenu(window) != nullptr,
                           static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_EXSTYLE)));
    ::SetWindowPos(window, nullptr, scaled.left, scaled.top, rect.right - rect.left, rect.bottom - rect.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
  }

  std::shared_ptr<FormHost> host_;
  ui::MainMenu* menu_ = nullptr;
  ui::Bounds bounds_;
};

}  // namespace

std::unique_ptr<ui::Peer> MakeFormPeer(const std::shared_ptr<FormHost>& host) {
  return std::make_unique<FormPeer>(host);
}

}  // namespace win32::peers

// The form's side: its window's subclass, which hands the children's notifications to their
// peers, its fonts, the Tab key order, and the peers of the form and of its main menu.
#include <algorithm>
#include <climits>
#include <utility>

#include "ui/application.h"
#include "ui/controls.h"
#include "ui/keyboard_access.h"
#include "ui/menu.h"
#include "ui/win32/peer_base.h"

namespace win32::peers {

namespace {

// An item of a form's menu bar, rather than of one of its drop-down menus.
bool IsMenuBarItem(const ui::MenuItem& item) { return item.Parent() && !item.Parent()->Parent(); }

}  // namespace

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

// The form's own order (ui::TabSequence: the numbered controls, then reading order); a peer of
// a control that is not in it follows, in the order the windows were made.
std::vector<ControlPeer*> FormHost::TabCycle() const {
  std::vector<ControlPeer*> cycle;
  for (ui::Control* control : ui::TabSequence(form_))
    if (ControlPeer* peer = PeerOf(*control); peer && &peer->Host() == this) cycle.push_back(peer);
  for (ControlPeer* peer : tabOrder_)
    if (std::find(cycle.begin(), cycle.end(), peer) == cycle.end()) cycle.push_back(peer);
  return cycle;
}

std::wstring FormHost::ShownCaption(const ui::Control& control) {
  // The keys go first to the controls the Tab key reaches first.
  std::vector<ui::Control*> keyed;
  for (ui::Control* c : ui::TabSequence(form_))
    if (ui::HasAccessKey(*c) && c->Visible()) keyed.push_back(c);
  std::vector<std::string> captions;
  for (ui::Control* c : keyed) captions.push_back(ui::CaptionOf(*c));
  const std::vector<std::size_t> keys = ui::AccessKeys(captions);
  for (std::size_t i = 0; i < keyed.size(); ++i)
    if (keyed[i] == &control) return WideFromUtf8(ui::WithAccessKey(captions[i], keys[i]));
  return WideFromUtf8(ui::WithAccessKey(ui::CaptionOf(control), std::string::npos));
}

bool FormHost::AccessKey(wchar_t key) {
  // Alt and the letter underlined in a caption press that button or box, as in a dialog.
  auto upper = [](wchar_t c) {
    return static_cast<wchar_t>(
        reinterpret_cast<ULONG_PTR>(::CharUpperW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(c)))));
  };
  const wchar_t wanted = upper(key);
  for (const auto& [window, peer] : peers_) {
    if (!ui::HasAccessKey(peer->Control()) || !::IsWindowVisible(window) || !::IsWindowEnabled(window))
      continue;
    wchar_t text[256] = {};
    ::GetWindowTextW(window, text, 256);
    for (const wchar_t* c = text; *c && c[1]; ++c) {
      if (*c != L'&') continue;
      if (c[1] == L'&') {
        ++c;
        continue;
      }
      if (upper(c[1]) == wanted) {
        ::SetFocus(window);
        ::SendMessageW(window, BM_CLICK, 0, 0);
        return true;
      }
      break;
    }
  }
  return false;
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
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
      if ((peer = Find(reinterpret_cast<HWND>(lParam))))
        if (HBRUSH brush = peer->OnCtlColorEdit(reinterpret_cast<HDC>(wParam))) {
          result = reinterpret_cast<LRESULT>(brush);
          return true;
        }
      // A combo box's drop-down list is a window of its own, not a peer's.
      if (msg == WM_CTLCOLORLISTBOX && Dark()) {
        ::SetTextColor(reinterpret_cast<HDC>(wParam), Theme().windowText);
        ::SetBkColor(reinterpret_cast<HDC>(wParam), Theme().window);
        result = reinterpret_cast<LRESULT>(SolidBrush(Theme().window));
        return true;
      }
      return false;
    case WM_CTLCOLORBTN:
      if (Dark()) {
        result = reinterpret_cast<LRESULT>(SolidBrush(Theme().face));
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
    case WM_MEASUREITEM:
      if (wParam == 0 && lParam && reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->CtlType == ODT_MENU) {
        MeasureMenuItem(*reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
        return TRUE;
      }
      break;
    case WM_DRAWITEM:
      if (wParam == 0 && lParam && reinterpret_cast<DRAWITEMSTRUCT*>(lParam)->CtlType == ODT_MENU) {
        DrawMenuItem(*reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
        return TRUE;
      }
      break;
    case WM_ERASEBKGND:
      if (Dark()) {
        RECT client;
        ::GetClientRect(window, &client);
        ::FillRect(reinterpret_cast<HDC>(wParam), &client, SolidBrush(Theme().face));
        return 1;
      }
      break;
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

void FormHost::MeasureMenuItem(MEASUREITEMSTRUCT& measure) {
  const auto* item = reinterpret_cast<const ui::MenuItem*>(measure.itemData);
  if (!item) return;
  if (item->IsSeparator()) {
    measure.itemWidth = 0;
    measure.itemHeight = static_cast<UINT>(form_.Scale(7));
    return;
  }
  const std::wstring caption = WideFromUtf8(item->Caption());
  HDC dc = ::GetDC(window_);
  const HGDIOBJ old = ::SelectObject(dc, Font());
  RECT extent = {};
  ::DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &extent, DT_CALCRECT | DT_SINGLELINE);
  ::SelectObject(dc, old);
  ::ReleaseDC(window_, dc);
  const bool bar = IsMenuBarItem(*item);
  // The system adds the width of a check mark to an item of a drop-down menu by itself.
  measure.itemWidth = static_cast<UINT>(extent.right + form_.Scale(bar ? 4 : 24));
  measure.itemHeight =
      static_cast<UINT>(bar ? ::GetSystemMetrics(SM_CYMENU) - 1
                            : std::max<int>(extent.bottom + form_.Scale(8), form_.Scale(22)));
}

void FormHost::DrawMenuItem(const DRAWITEMSTRUCT& draw) {
  const auto* item = reinterpret_cast<const ui::MenuItem*>(draw.itemData);
  if (!item) return;
  const ui::Theme& theme = Theme();
  const bool bar = IsMenuBarItem(*item);
  const bool chosen = (draw.itemState & (ODS_SELECTED | ODS_HOTLIGHT)) != 0;
  const bool grey = (draw.itemState & (ODS_GRAYED | ODS_DISABLED | ODS_INACTIVE)) != 0;
  RECT cell = draw.rcItem;
  ::FillRect(draw.hDC, &cell, SolidBrush(chosen ? theme.highlight : bar ? theme.face : theme.header));
  if (item->IsSeparator()) {
    const int middle = (cell.top + cell.bottom) / 2;
    RECT rule = {cell.left + form_.Scale(4), middle, cell.right - form_.Scale(4), middle + 1};
    ::FillRect(draw.hDC, &rule, SolidBrush(theme.rule));
    return;
  }
  const COLORREF text = grey ? theme.grayText : chosen ? theme.highlightText : theme.faceText;
  const std::wstring caption = WideFromUtf8(item->Caption());
  const HGDIOBJ old = ::SelectObject(draw.hDC, Font());
  ::SetBkMode(draw.hDC, TRANSPARENT);
  ::SetTextColor(draw.hDC, text);
  RECT place = cell;
  if (!bar) {
    const int mark = ::GetSystemMetrics(SM_CXMENUCHECK);
    if (draw.itemState & ODS_CHECKED) {
      const HPEN pen = ::CreatePen(PS_SOLID, std::max(1, form_.Scale(2)), text);
      const HGDIOBJ oldPen = ::SelectObject(draw.hDC, pen);
      const int x = cell.left + form_.Scale(6), y = (cell.top + cell.bottom) / 2, s = form_.Scale(4);
      const POINT tick[] = {{x, y}, {x + s, y + s}, {x + 2 * s, y - s}};
      ::Polyline(draw.hDC, tick, 3);
      ::SelectObject(draw.hDC, oldPen);
      ::DeleteObject(pen);
    }
    place.left += mark + form_.Scale(8);
  }
  const UINT prefix = (draw.itemState & ODS_NOACCEL) ? DT_HIDEPREFIX : 0;
  ::DrawTextW(draw.hDC, caption.c_str(), static_cast<int>(caption.size()), &place,
              DT_SINGLELINE | DT_VCENTER | (bar ? DT_CENTER : DT_LEFT) | prefix);
  ::SelectObject(draw.hDC, old);
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

// In dark colours every item is drawn by the form (WM_MEASUREITEM, WM_DRAWITEM), with the item
// itself as its data: the system draws menus only in its own colours.
HMENU BuildMenu(const ui::MenuItem& parent, bool bar, const ui::Theme& theme) {
  HMENU menu = bar ? ::CreateMenu() : ::CreatePopupMenu();
  const bool dark = theme.Dark();
  for (const ui::MenuItem* item : parent.Items()) {
    if (!item->Visible()) continue;
    std::wstring caption = WideFromUtf8(item->Caption());
    if (!dark) {
      if (item->IsSeparator())
        ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      else if (!item->Items().empty())
        ::AppendMenuW(menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(BuildMenu(*item, false, theme)),
                      caption.c_str());
      else
        ::AppendMenuW(menu, MF_STRING | (item->Checked() ? MF_CHECKED : 0), item->CommandId(),
                      caption.c_str());
      continue;
    }
    // Drawn by the form, yet with its text, which screen readers and other programs read.
    MENUITEMINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_ID | MIIM_DATA | MIIM_STATE;
    info.fType = MFT_OWNERDRAW | (item->IsSeparator() ? MFT_SEPARATOR : 0);
    info.fState = item->Checked() ? MFS_CHECKED : 0;
    info.wID = item->IsSeparator() ? 0 : item->CommandId();
    info.dwItemData = reinterpret_cast<ULONG_PTR>(item);
    info.dwTypeData = caption.data();
    if (!item->IsSeparator() && !item->Items().empty()) {
      info.fMask |= MIIM_SUBMENU;
      info.hSubMenu = BuildMenu(*item, false, theme);
    }
    ::InsertMenuItemW(menu, static_cast<UINT>(::GetMenuItemCount(menu)), TRUE, &info);
  }
  if (dark) {
    MENUINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = MIM_BACKGROUND;
    info.hbrBack = SolidBrush(bar ? theme.face : theme.header);
    ::SetMenuInfo(menu, &info);
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
    HMENU fresh = BuildMenu(menu_, true, host_->Theme());
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
    if (const unsigned version = form.App().ThemeVersion(); version != themeVersion_) {
      themeVersion_ = version;
      UseDarkTitleBar(host_->Window(), host_->Dark());
      if (menu_ && menu_->GetPeer()) menu_->GetPeer()->Update();
      ::RedrawWindow(host_->Window(), nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    }
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
  unsigned themeVersion_ = ~0u;
};

}  // namespace

std::unique_ptr<ui::Peer> MakeFormPeer(const std::shared_ptr<FormHost>& host) {
  return std::make_unique<FormPeer>(host);
}

}  // namespace win32::peers

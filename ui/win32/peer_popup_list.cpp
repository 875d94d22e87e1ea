// The pop-up list's window: a top-most tool window, without a taskbar button, holding an edit
// box for the filter over a virtual ("owner-data") list view. The list view asks for the texts
// of the rows it shows and nothing else, so the count of items does not change the cost.
#include "platform/win32/win32_windows.h"
#include "ui/application.h"
#include "ui/popup_list.h"
#include "ui/win32/peer_base.h"
#include "ui/win32/peer_factory.h"

#include <algorithm>

namespace win32 {

namespace {

constexpr const wchar_t* kPopupClass = L"CorvilanePopupList";
constexpr UINT_PTR kSubclassId = 1;
constexpr int kEditHeight = 24;  // at 96 DPI
constexpr int kHintHeight = 20;  // at 96 DPI

class PopupListPeer final : public ui::Peer {
 public:
  explicit PopupListPeer(ui::PopupList& list) : list_(list) { Create(); }
  ~PopupListPeer() override {
    if (edit_) ::RemoveWindowSubclass(edit_, ChildProc, kSubclassId);
    if (view_) ::RemoveWindowSubclass(view_, ChildProc, kSubclassId);
    if (window_) {
      ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
      ::DestroyWindow(window_);
    }
    if (font_) ::DeleteObject(font_);
  }
  PopupListPeer(const PopupListPeer&) = delete;
  PopupListPeer& operator=(const PopupListPeer&) = delete;

  void Update() override {
    if (!window_ || updating_) return;
    ++updating_;
    if (list_.Visible() && !list_.IsAside()) {
      ApplyThemeIfChanged();
      Sync();
      if (!::IsWindowVisible(window_)) {
        const ui::Bounds& b = list_.GetBounds();
        ::SetWindowPos(window_, HWND_TOPMOST, b.left, b.top, b.width, b.height, SWP_SHOWWINDOW);
        TakeFontAt(WindowDpi(window_));
        Layout();
        ::SetForegroundWindow(window_);
        ::SetFocus(edit_);
        // Painted before the message that opened it returns, so that whoever waits on this
        // window's queue sees the list drawn.
        ::UpdateWindow(window_);
      }
      list_.PageSize = std::max(1, static_cast<int>(::SendMessageW(view_, LVM_GETCOUNTPERPAGE, 0, 0)));
    } else if (::IsWindowVisible(window_)) {
      ::ShowWindow(window_, SW_HIDE);
    }
    --updating_;
  }

 private:
  void Create() {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW cls = {};
    cls.cbSize = sizeof cls;
    if (!::GetClassInfoExW(instance, kPopupClass, &cls)) {
      cls.cbSize = sizeof cls;
      cls.style = CS_DROPSHADOW;
      cls.lpfnWndProc = PopupProc;
      cls.hInstance = instance;
      cls.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
      cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
      cls.lpszClassName = kPopupClass;
      ::RegisterClassExW(&cls);
    }
    window_ = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kPopupClass,
                                WideFromUtf16(u"Quick paste").c_str(), WS_POPUP | WS_BORDER, 0, 0, 0, 0,
                                nullptr, nullptr, instance, nullptr);
    if (!window_) return;
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));

    edit_ = ::CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 0, 0, 0,
                              0, window_, nullptr, instance, nullptr);
    view_ = ::CreateWindowExW(0, WC_LISTVIEWW, L"",
                              WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDATA | LVS_NOCOLUMNHEADER |
                                  LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                              0, 0, 0, 0, window_, nullptr, instance, nullptr);
    for (HWND child : {edit_, view_})
      ::SetWindowSubclass(child, ChildProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    TakeFontAt(WindowDpi(nullptr));
    ApplyThemeIfChanged();
    ::SendMessageW(view_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER,
                   LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    LVCOLUMNW column = {};
    column.mask = LVCF_WIDTH;
    column.cx = 100;
    ::SendMessageW(view_, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));

    // Shown once off the screen, without the focus, and drawn: the first showing of a window
    // and of its controls costs more than each later one (under Wine, more than the rest of
    // the popup's opening), and the user's first press should not wait for it.
    ::SetWindowPos(window_, HWND_TOPMOST, -32000, -32000, 420, 320, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    Layout();
    ::UpdateWindow(window_);
    ::ShowWindow(window_, SW_HIDE);
  }

  // The message font at the DPI of the monitor the popup opens on.
  void TakeFontAt(int dpi) {
    if (dpi == fontDpi_ && font_) return;
    LOGFONTW font = peers::MessageFont(dpi);
    HFONT fresh = ::CreateFontIndirectW(&font);
    if (!fresh) return;
    for (HWND child : {edit_, view_})
      ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(fresh), TRUE);
    if (font_) ::DeleteObject(font_);
    font_ = fresh;
    fontDpi_ = dpi;
  }

  // The filter box on top, the list, and the line of the keys' hint at the bottom.
  void Layout() {
    RECT client;
    ::GetClientRect(window_, &client);
    const int editHeight = ::MulDiv(kEditHeight, fontDpi_, 96);
    const int hintHeight = list_.Hint.empty() ? 0 : ::MulDiv(kHintHeight, fontDpi_, 96);
    ::MoveWindow(edit_, 0, 0, client.right, editHeight, TRUE);
    ::MoveWindow(view_, 0, editHeight, client.right,
                 std::max<int>(0, client.bottom - editHeight - hintHeight), TRUE);
    ::SendMessageW(view_, LVM_SETCOLUMNWIDTH, 0, client.right - ::GetSystemMetrics(SM_CXVSCROLL) - 4);
    ::InvalidateRect(window_, nullptr, TRUE);
  }

  void ApplyThemeIfChanged() {
    ui::Application& app = list_.App();
    if (app.ThemeVersion() == themeVersion_) return;
    themeVersion_ = app.ThemeVersion();
    const ui::Theme& theme = app.Theme();
    ::SendMessageW(view_, LVM_SETBKCOLOR, 0, theme.window);
    ::SendMessageW(view_, LVM_SETTEXTBKCOLOR, 0, theme.window);
    ::SendMessageW(view_, LVM_SETTEXTCOLOR, 0, theme.windowText);
    peers::UseDarkControlTheme(view_, theme.Dark());
    ::RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  }

  // The background, and under the list a rule and the hint in grey.
  void Paint(HDC dc) {
    const ui::Theme& theme = list_.App().Theme();
    RECT client;
    ::GetClientRect(window_, &client);
    ::FillRect(dc, &client, peers::SolidBrush(theme.window));
    if (list_.Hint.empty()) return;
    RECT hint = client;
    hint.top = client.bottom - ::MulDiv(kHintHeight, fontDpi_, 96);
    RECT rule = {hint.left, hint.top, hint.right, hint.top + 1};
    ::FillRect(dc, &rule, peers::SolidBrush(theme.rule));
    hint.left += ::MulDiv(6, fontDpi_, 96);
    const std::wstring text = WideFromUtf16(list_.Hint);
    const HGDIOBJ old = ::SelectObject(dc, font_);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, theme.grayText);
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &hint,
                DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
    ::SelectObject(dc, old);
  }

  // The filter box, the count and the selection as the list holds them.
  void Sync() {
    std::wstring filter = WideFromUtf16(list_.Filter());
    if (WindowText(edit_) != filter) ::SetWindowTextW(edit_, filter.c_str());
    // The owner's new items are shown; a move of the selection redraws its two rows by itself.
    // A filter typed on shows nothing new until its items are known: under Wine the list view
    // takes some 10 ms for a new count, which keys typed in quick succession would each pay.
    // Several rows highlighted, or no longer: they are drawn anew.
    if (list_.HighlightVersion() != shownHighlight_) {
      shownHighlight_ = list_.HighlightVersion();
      ::InvalidateRect(view_, nullptr, FALSE);
    }
    if (list_.ItemsVersion() != shownItems_) {
      shownItems_ = list_.ItemsVersion();
      if (list_.Count() != shownCount_) {
        shownCount_ = list_.Count();
        ::SendMessageW(view_, LVM_SETITEMCOUNT, static_cast<WPARAM>(shownCount_), LVSICF_NOINVALIDATEALL);
      }
      ::InvalidateRect(view_, nullptr, FALSE);
    }
    // Only the row shown selected before is cleared: the list view would walk every item to
    // clear all of them (Wine does, for a virtual list too).
    LVITEMW state = {};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    if (shownSelected_ >= 0 && shownSelected_ != list_.Selected() && shownSelected_ < list_.Count())
      ::SendMessageW(view_, LVM_SETITEMSTATE, static_cast<WPARAM>(shownSelected_),
                     reinterpret_cast<LPARAM>(&state));
    const bool moved = shownSelected_ != list_.Selected();
    shownSelected_ = list_.Selected();
    if (list_.Selected() >= 0) {
      state.state = LVIS_SELECTED | LVIS_FOCUSED;
      ::SendMessageW(view_, LVM_SETITEMSTATE, static_cast<WPARAM>(list_.Selected()),
                     reinterpret_cast<LPARAM>(&state));
      ::SendMessageW(view_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(list_.Selected()), FALSE);
      // The keyboard focus stays in the filter box, so the list view tells nobody of its
      // highlighted row: a screen reader hears of it here (the child id is the item's index
      // plus one).
      if (moved) {
        ::NotifyWinEvent(EVENT_OBJECT_SELECTION, view_, OBJID_CLIENT, list_.Selected() + 1);
        ::NotifyWinEvent(EVENT_OBJECT_FOCUS, view_, OBJID_CLIENT, list_.Selected() + 1);
      }
    }
  }

  static std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(
        static_cast<std::size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
  }

  // The first nine rows carry the digit that picks them, while the digits pick.
  const wchar_t* RowText(int row) {
    text_.clear();
    if (row < 0 || row >= list_.Count() || !list_.ItemText) return text_.c_str();
    if (list_.Filter().empty() && row < 9) {
      text_ += static_cast<wchar_t>(L'1' + row);
      text_ += L"   ";
    }
    text_ += WideFromUtf16(list_.ItemText(row));
    return text_.c_str();
  }

  // Every row is drawn here whole, so that its text starts at one place whether or not the item
  // has a picture, and its detail (the age) stands in grey at the right.
  bool DrawRow(NMLVCUSTOMDRAW& draw) {
    const int row = static_cast<int>(draw.nmcd.dwItemSpec);
    if (row < 0 || row >= list_.Count()) return false;
    RECT cell = {};
    cell.left = LVIR_BOUNDS;
    if (!::SendMessageW(view_, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell)))
      return false;
    const ui::Theme& theme = list_.App().Theme();
    const bool chosen = list_.IsHighlighted(row);
    const HDC dc = draw.nmcd.hdc;
    ::FillRect(dc, &cell, peers::SolidBrush(chosen ? theme.highlight : theme.window));
    const int margin = ::MulDiv(4, fontDpi_, 96);
    if (row > 0 && list_.StartsGroup && list_.StartsGroup(row)) {
      RECT rule = {cell.left + margin, cell.top, cell.right - margin, cell.top + 1};
      ::FillRect(dc, &rule, peers::SolidBrush(theme.rule));
    }
    int left = cell.left + margin;
    const int height = cell.bottom - cell.top - 2;
    if (list_.ItemPicture && height > 0) {
      const int box = 2 * height;
      if (const platform::Picture* picture = list_.ItemPicture(row, box, height))
        peers::DrawPicture(dc, left, cell, box, *picture);
      left += box + margin;
    }
    ::SetBkMode(dc, TRANSPARENT);
    int right = cell.right - margin;
    if (list_.ItemDetail) {
      const std::wstring detail = WideFromUtf16(list_.ItemDetail(row));
      if (!detail.empty()) {
        SIZE extent = {};
        ::GetTextExtentPoint32W(dc, detail.c_str(), static_cast<int>(detail.size()), &extent);
        RECT place = {std::max<int>(left, right - extent.cx), cell.top, right, cell.bottom};
        ::SetTextColor(dc, chosen ? theme.highlightText : theme.grayText);
        ::DrawTextW(dc, detail.c_str(), static_cast<int>(detail.size()), &place,
                    DT_SINGLELINE | DT_VCENTER | DT_RIGHT | DT_NOPREFIX);
        right = place.left - 3 * margin;
      }
    }
    const std::wstring text = RowText(row);
    RECT place = {left, cell.top, std::max(left, right), cell.bottom};
    ::SetTextColor(dc, chosen ? theme.highlightText : theme.windowText);
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &place,
                DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX | DT_LEFT);
    return true;
  }

  LRESULT OnNotify(NMHDR& header) {
    if (header.hwndFrom != view_) return 0;
    switch (header.code) {
      case LVN_GETDISPINFOW: {
        auto& info = reinterpret_cast<NMLVDISPINFOW&>(header);
        if (info.item.mask & LVIF_TEXT) info.item.pszText = const_cast<wchar_t*>(RowText(info.item.iItem));
        return 0;
      }
      case NM_CLICK: {
        const int row = reinterpret_cast<NMITEMACTIVATE&>(header).iItem;
        if (row >= 0) list_.ClickItem(row);
        return 0;
      }
      case NM_CUSTOMDRAW: {
        // The focus stays in the filter box, where an unfocused list's selection would show
        // faintly; the chosen row is drawn as a focused list draws it, in the theme's colours.
        auto& draw = reinterpret_cast<NMLVCUSTOMDRAW&>(header);
        if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
        if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT)
          return DrawRow(draw) ? CDRF_SKIPDEFAULT : CDRF_DODEFAULT;
        return CDRF_DODEFAULT;
      }
      default:
        return 0;
    }
  }

  static LRESULT CALLBACK PopupProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<PopupListPeer*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
      case WM_NOTIFY:
        return self->OnNotify(*reinterpret_cast<NMHDR*>(lParam));
      case WM_COMMAND:
        if (reinterpret_cast<HWND>(lParam) == self->edit_ && HIWORD(wParam) == EN_CHANGE && !self->updating_)
          self->list_.UserSetFilter(Utf16FromWide(WindowText(self->edit_)));
        return 0;
      case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE && !self->updating_) self->list_.Deactivated();
        return 0;
      case WM_SIZE:
        self->Layout();
        return 0;
      case WM_ERASEBKGND:
        self->Paint(reinterpret_cast<HDC>(wParam));
        return 1;
      case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(hwnd, &paint);
        self->Paint(dc);
        ::EndPaint(hwnd, &paint);
        return 0;
      }
      case WM_CTLCOLOREDIT: {
        const ui::Theme& theme = self->list_.App().Theme();
        ::SetTextColor(reinterpret_cast<HDC>(wParam), theme.windowText);
        ::SetBkColor(reinterpret_cast<HDC>(wParam), theme.window);
        return reinterpret_cast<LRESULT>(peers::SolidBrush(theme.window));
      }
      case WM_SETTINGCHANGE:
      case WM_SYSCOLORCHANGE:
      case WM_THEMECHANGED:
        self->list_.App().RefreshTheme();
        self->ApplyThemeIfChanged();
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
      default:
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    }
  }

  // Keys of the filter box and of the list view: the list's own keys never reach the box, and
  // typing while the list view has the focus goes on in the box.
  static LRESULT CALLBACK ChildProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                    DWORD_PTR data) {
    auto* self = reinterpret_cast<PopupListPeer*>(data);
    switch (msg) {
      case WM_GETDLGCODE:
        return DLGC_WANTALLKEYS | ::DefSubclassProc(hwnd, msg, wParam, lParam);
      case WM_KEYDOWN:
        if (self->list_.KeyDown(static_cast<int>(wParam))) return 0;
        break;
      case WM_CHAR: {
        const auto ch = static_cast<char16_t>(wParam);
        if (self->list_.Char(ch) || ch == u'\r' || ch == u'\n' || ch == 0x1B) return 0;
        if (hwnd == self->view_) {
          ::SetFocus(self->edit_);
          return ::SendMessageW(self->edit_, WM_CHAR, wParam, lParam);
        }
        break;
      }
      default:
        break;
    }
    return ::DefSubclassProc(hwnd, msg, wParam, lParam);
  }

  ui::PopupList& list_;
  HWND window_ = nullptr;
  HWND edit_ = nullptr;
  HWND view_ = nullptr;
  HFONT font_ = nullptr;
  int fontDpi_ = 96;
  std::wstring text_;  // the row text last handed to the list view, alive until it asks again
  int shownSelected_ = -1;
  std::uint64_t shownHighlight_ = 0;
  int shownCount_ = -1;
  std::uint64_t shownItems_ = ~std::uint64_t{0};
  int updating_ = 0;
  unsigned themeVersion_ = ~0u;
};

}  // namespace

std::unique_ptr<ui::Peer> Win32PeerFactory::CreatePopupListPeer(ui::PopupList& list) {
  return std::make_unique<PopupListPeer>(list);
}

}  // namespace win32

#include "ui/win32/peer_base.h"

#include <algorithm>
#include <cwchar>
#include <unordered_map>

#include "ui/controls.h"

namespace win32::peers {

namespace {

constexpr UINT_PTR kSubclassId = 1;

// Restores a counter when the scope ends, also when an exception leaves it.
class CountScope {
 public:
  explicit CountScope(int& count) : count_(count) { ++count_; }
  ~CountScope() { --count_; }
  CountScope(const CountScope&) = delete;
  CountScope& operator=(const CountScope&) = delete;

 private:
  int& count_;
};

}  // namespace

LOGFONTW MessageFont(int dpi) {
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof metrics;
  // Windows 10 gives the metrics for any DPI; older systems give them at the system's only.
  using ForDpi = BOOL WINAPI(UINT, UINT, PVOID, UINT, UINT);
  static ForDpi* const forDpi = [] {
    HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    return user32 ? reinterpret_cast<ForDpi*>(
                        reinterpret_cast<void*>(::GetProcAddress(user32, "SystemParametersInfoForDpi")))
                  : nullptr;
  }();
  if (forDpi && forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, static_cast<UINT>(dpi)))
    return metrics.lfMessageFont;
  if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    HDC screen = ::GetDC(nullptr);
    const int systemDpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ::ReleaseDC(nullptr, screen);
    metrics.lfMessageFont.lfHeight =
        ::MulDiv(metrics.lfMessageFont.lfHeight, dpi, systemDpi > 0 ? systemDpi : 96);
    return metrics.lfMessageFont;
  }
  LOGFONTW font = {};
  font.lfHeight = -::MulDiv(8, dpi, 72);
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = DEFAULT_CHARSET;
  std::wcscpy(font.lfFaceName, L"MS Shell Dlg 2");
  return font;
}

ControlPeer* PeerOf(const ui::Control& control) { return dynamic_cast<ControlPeer*>(control.GetPeer()); }

POINT OriginOfChildren(const ui::Control& parent) {
  if (!parent.Parent()) return {0, 0};  // the form: its client area
  if (ControlPeer* peer = PeerOf(parent)) return peer->ChildOrigin();
  POINT origin = OriginOfChildren(*parent.Parent());
  const ui::Bounds bounds = parent.ScaledBounds();
  origin.x += bounds.left;
  origin.y += bounds.top;
  return origin;
}

bool EffectivelyVisible(const ui::Control& control) {
  for (const ui::Control* c = &control; c->Parent(); c = c->Parent()) {
    if (!c->Visible()) return false;
    if (auto* pages = dynamic_cast<const ui::PageControl*>(c->Parent())) {
      int active = pages->ActivePageIndex();
      const auto& sheets = pages->Children();
      if (active < 0 || static_cast<std::size_t>(active) >= sheets.size() || sheets[active] != c)
        return false;
    }
  }
  return true;
}

bool EffectivelyEnabled(const ui::Control& control) {
  for (const ui::Control* c = &control; c->Parent(); c = c->Parent())
    if (!c->Enabled()) return false;
  return true;
}

ControlPeer::ControlPeer(std::shared_ptr<FormHost> host, ui::Control& control)
    : host_(std::move(host)), control_(control) {}

ControlPeer::~ControlPeer() {
  host_->Forget(this);
  HWND window = window_;
  Detach();
  if (window) ::DestroyWindow(window);
}

void ControlPeer::Detach() {
  if (!window_) return;
  ::RemoveWindowSubclass(window_, &ControlPeer::SubclassProc, kSubclassId);
  host_->Unregister(window_);
  window_ = nullptr;
}

void ControlPeer::CreateWindowFor(const wchar_t* className, DWORD style, DWORD exStyle,
                                  const std::wstring& text) {
  if (!host_->Alive()) return;
  // Created hidden, shown by the first UpdateLayout, which knows the ancestors' state. It is
  // made in its place already: an edit given its text while it has no width scrolls to the
  // text's end and stays scrolled when it grows.
  style = (style & ~WS_VISIBLE) | WS_CHILD | WS_CLIPSIBLINGS;
  RECT rect = PlacedRect();
  auto instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(host_->Window(), GWLP_HINSTANCE));
  window_ =
      ::CreateWindowExW(exStyle, className, text.c_str(), style, rect.left, rect.top, rect.right - rect.left,
                        rect.bottom - rect.top, host_->Window(), nullptr, instance, nullptr);
  if (!window_) return;
  ::SetWindowSubclass(window_, &ControlPeer::SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
  host_->Register(window_, this);
  ::SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(host_->Font()), FALSE);
}

void ControlPeer::SetStyle(DWORD style, DWORD mask) {
  if (!window_) return;
  auto current = static_cast<DWORD>(::GetWindowLongPtrW(window_, GWL_STYLE));
  DWORD wanted = (current & ~mask) | (style & mask);
  if (wanted == current) return;
  ::SetWindowLongPtrW(window_, GWL_STYLE, static_cast<LONG_PTR>(wanted));
  ::InvalidateRect(window_, nullptr, TRUE);
}

void ControlPeer::Update() {
  if (!host_->Alive()) return;
  CountScope scope(updating_);
  if (const unsigned version = host_->Form().App().ThemeVersion(); version != themeVersion_) {
    themeVersion_ = version;
    ApplyTheme();
  }
  UpdateState();
  UpdateLayout();
  // Where a container moves, hides or disables itself, its children follow.
  if (!control_.Children().empty()) UpdateDescendants();
}

RECT ControlPeer::PlacedRect() const {
  if (!control_.Parent()) return {};
  const ui::Bounds bounds = control_.ScaledBounds();
  POINT origin = OriginOfChildren(*control_.Parent());
  return {origin.x + bounds.left, origin.y + bounds.top, origin.x + bounds.left + bounds.width,
          origin.y + bounds.top + bounds.height};
}

void ControlPeer::UpdateLayout() {
  if (!window_ || !control_.Parent()) return;
  RECT rect = PlacedRect();
  AdjustRect(rect);

  RECT current;
  ::GetWindowRect(window_, &current);
  ::MapWindowPoints(nullptr, host_->Window(), reinterpret_cast<POINT*>(&current), 2);
  if (!::EqualRect(&current, &rect)) {
    ::SetWindowPos(window_, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    RepaintBeneath(current);
  }

  bool enabled = EffectivelyEnabled(control_);
  if ((::IsWindowEnabled(window_) != FALSE) != enabled) ::EnableWindow(window_, enabled ? TRUE : FALSE);

  bool visible = EffectivelyVisible(control_);
  bool shown = (::GetWindowLongPtrW(window_, GWL_STYLE) & WS_VISIBLE) != 0;
  if (shown != visible) {
    // A hidden window that keeps the focus would still take the keyboard's input.
    bool hadFocus = ::GetFocus() == window_;
    ::ShowWindow(window_, visible ? SW_SHOWNA : SW_HIDE);
    if (!visible) RepaintBeneath(rect);
    if (hadFocus && !visible) ::SetFocus(host_->Window());
  }

  if (visible && enabled && control_.Focused() && ::GetFocus() != window_ &&
      ::GetActiveWindow() == host_->Window())
    ::SetFocus(window_);
}

// The place a control leaves is erased by the form, but a sibling underneath it, such as a
// tab control, is not told to paint there again; it would stay in the form's colour.
void ControlPeer::RepaintBeneath(const RECT& area) {
  ::RedrawWindow(host_->Window(), &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

HBRUSH ControlPeer::BackdropBrush() const {
  if (host_->Dark()) return SolidBrush(host_->Theme().face);
  for (const ui::Control* c = control_.Parent(); c && c->Parent(); c = c->Parent())
    if (dynamic_cast<const ui::TabSheet*>(c))
      if (ControlPeer* pages = PeerOf(*c->Parent()))
        if (HBRUSH brush = pages->PageBrush()) return brush;
  return ::GetSysColorBrush(COLOR_BTNFACE);
}

HBRUSH ControlPeer::OnCtlColorStatic(HDC dc) {
  HBRUSH brush = BackdropBrush();
  LOGBRUSH colour = {};
  ::GetObjectW(brush, sizeof colour, &colour);
  ::SetBkColor(dc, colour.lbColor);
  if (host_->Dark())
    ::SetTextColor(dc, ::IsWindowEnabled(window_) ? host_->Theme().faceText : host_->Theme().grayText);
  return brush;
}

void ControlPeer::ApplyTheme() {
  if (window_) ::InvalidateRect(window_, nullptr, TRUE);
}

HBRUSH ControlPeer::OnCtlColorEdit(HDC dc) {
  if (!host_->Dark()) return nullptr;
  ::SetTextColor(dc, host_->Theme().windowText);
  ::SetBkColor(dc, host_->Theme().window);
  return SolidBrush(host_->Theme().window);
}

bool ControlPeer::PaintInTheme(UINT msg, WPARAM wParam, LRESULT& result) {
  if (!host_->Dark() || !window_) return false;
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = ::BeginPaint(window_, &paint);
      DrawButtonLike(window_, dc, host_->Theme(), host_->Font());
      ::EndPaint(window_, &paint);
      result = 0;
      return true;
    }
    case WM_PRINTCLIENT:
      DrawButtonLike(window_, reinterpret_cast<HDC>(wParam), host_->Theme(), host_->Font());
      result = 0;
      return true;
    case WM_ERASEBKGND:
      result = 1;
      return true;
  }
  return false;
}

void ControlPeer::RepaintAfter(UINT msg) {
  if (!host_->Dark() || !window_) return;
  switch (msg) {
    case WM_ENABLE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_SETTEXT:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CAPTURECHANGED:
    case WM_UPDATEUISTATE:
    case BM_SETSTATE:
    case BM_SETCHECK:
    case BM_SETSTYLE:
      // The button has drawn its new state at once, in the system's colours and outside
      // WM_PAINT; it is painted over in the theme's.
      ::InvalidateRect(window_, nullptr, FALSE);
      break;
  }
}

POINT ControlPeer::ChildOrigin() const {
  POINT origin = OriginOfChildren(*control_.Parent());
  const ui::Bounds bounds = control_.ScaledBounds();
  origin.x += bounds.left;
  origin.y += bounds.top;
  return origin;
}

void ControlPeer::UpdateDescendants() {
  std::vector<ui::Control*> pending(control_.Children().rbegin(), control_.Children().rend());
  // Parents before their children: a child's place depends on its parent's.
  while (!pending.empty()) {
    ui::Control* child = pending.back();
    pending.pop_back();
    if (ControlPeer* peer = PeerOf(*child)) peer->UpdateLayout();
    pending.insert(pending.end(), child->Children().rbegin(), child->Children().rend());
  }
}

LRESULT ControlPeer::Default(UINT msg, WPARAM wParam, LPARAM lParam) {
  return ::DefSubclassProc(window_, msg, wParam, lParam);
}

LRESULT ControlPeer::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_SETFOCUS:
      host_->Form().SetActiveControl(&control_);
      break;
    case WM_KEYDOWN:
      // The message loop has no dialog manager, so the controls move the focus themselves.
      if (wParam == VK_TAB && ::GetKeyState(VK_CONTROL) >= 0 && ::GetKeyState(VK_MENU) >= 0) {
        host_->FocusNext(this, ::GetKeyState(VK_SHIFT) < 0);
        return 0;
      }
      break;
    case WM_CHAR:
      // The character of a Tab key that moved the focus; a multi-line edit would insert it.
      if (wParam == L'\t' && ::GetKeyState(VK_CONTROL) >= 0) return 0;
      break;
  }
  return Default(msg, wParam, lParam);
}

LRESULT CALLBACK ControlPeer::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                           DWORD_PTR refData) {
  auto* peer = reinterpret_cast<ControlPeer*>(refData);
  if (msg == WM_NCDESTROY) {
    // The form's window is being destroyed with its children, or the peer destroys its own.
    peer->Detach();
    return ::DefSubclassProc(hwnd, msg, wParam, lParam);
  }
  try {
    // The form sees a key before the control does, so that its shortcuts work wherever the
    // focus is; the character of a key it took is not typed.
    if (msg == WM_KEYDOWN && peer->host_->Alive()) {
      peer->host_->dropNextChar = false;
      if (::GetKeyState(VK_MENU) >= 0 &&
          peer->host_->Form().KeyDown(static_cast<int>(wParam), ::GetKeyState(VK_CONTROL) < 0)) {
        peer->host_->dropNextChar = true;
        return 0;
      }
    }
    if (msg == WM_CHAR && peer->host_->dropNextChar) {
      peer->host_->dropNextChar = false;
      return 0;
    }
    if (msg == WM_SYSCHAR && peer->host_->Alive() && peer->host_->AccessKey(static_cast<wchar_t>(wParam)))
      return 0;
    return peer->WindowProc(msg, wParam, lParam);
  } catch (...) {
    // The events raised here report their own errors; nothing may unwind into the system.
    return 0;
  }
}

HBRUSH SolidBrush(COLORREF colour) {
  static std::unordered_map<COLORREF, HBRUSH> brushes;
  HBRUSH& brush = brushes[colour];
  if (!brush) brush = ::CreateSolidBrush(colour);
  return brush;
}

namespace {

template <typename Function>
Function* LoadFunction(const wchar_t* library, const char* name) {
  HMODULE module = ::GetModuleHandleW(library);
  if (!module) module = ::LoadLibraryW(library);
  if (!module) return nullptr;
  // Through void(*)() so that the cast between unrelated function types is a deliberate one.
  return reinterpret_cast<Function*>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

}  // namespace

void UseDarkTitleBar(HWND window, bool dark) {
  using SetAttribute = HRESULT WINAPI(HWND, DWORD, LPCVOID, DWORD);
  static SetAttribute* const setAttribute =
      LoadFunction<SetAttribute>(L"dwmapi.dll", "DwmSetWindowAttribute");
  if (!setAttribute || !window) return;
  // DWMWA_USE_IMMERSIVE_DARK_MODE is 20 since Windows 10 20H1, 19 on the builds before it.
  const BOOL value = dark ? TRUE : FALSE;
  if (FAILED(setAttribute(window, 20, &value, sizeof value))) setAttribute(window, 19, &value, sizeof value);
}

void UseDarkControlTheme(HWND window, bool dark) {
  using SetTheme = HRESULT WINAPI(HWND, LPCWSTR, LPCWSTR);
  static SetTheme* const setTheme = LoadFunction<SetTheme>(L"uxtheme.dll", "SetWindowTheme");
  if (!setTheme || !window) return;
  setTheme(window, dark ? L"DarkMode_Explorer" : nullptr, nullptr);
}

void DrawButtonLike(HWND window, HDC dc, const ui::Theme& theme, HFONT font) {
  RECT client;
  ::GetClientRect(window, &client);
  const auto style = static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_STYLE));
  const DWORD type = style & BS_TYPEMASK;
  const int length = ::GetWindowTextLengthW(window);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(std::max(0, ::GetWindowTextW(window, text.data(), length + 1))));
  const bool enabled = ::IsWindowEnabled(window) != FALSE;
  const auto state = static_cast<UINT>(::SendMessageW(window, BM_GETSTATE, 0, 0));
  const bool checked = (state & BST_CHECKED) != 0;
  const bool focused = ::GetFocus() == window;
  const bool hideAccel = (::SendMessageW(window, WM_QUERYUISTATE, 0, 0) & UISF_HIDEACCEL) != 0;
  const UINT prefix = hideAccel ? DT_HIDEPREFIX : 0;

  const HGDIOBJ oldFont = ::SelectObject(dc, font);
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, enabled ? theme.faceText : theme.grayText);
  if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) {
    const bool pushed = (state & BST_PUSHED) != 0;
    ::FillRect(dc, &client, SolidBrush(pushed ? theme.rule : theme.header));
    ::FrameRect(dc, &client, SolidBrush(focused ? theme.highlight : theme.rule));
    if (focused) {
      RECT inner = client;
      ::InflateRect(&inner, -1, -1);
      ::FrameRect(dc, &inner, SolidBrush(theme.highlight));
    }
    RECT label = client;
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &label,
                DT_CENTER | DT_VCENTER | DT_SINGLELINE | prefix);
  } else {
    ::FillRect(dc, &client, SolidBrush(theme.face));
    TEXTMETRICW metrics = {};
    ::GetTextMetricsW(dc, &metrics);
    const int box = std::max<int>(9, std::min<int>(metrics.tmAscent, client.bottom - client.top));
    RECT square = {client.left, client.top + (client.bottom - client.top - box) / 2, client.left + box, 0};
    square.bottom = square.top + box;
    const HPEN pen = ::CreatePen(PS_SOLID, 1, enabled ? theme.faceText : theme.grayText);
    const HGDIOBJ oldPen = ::SelectObject(dc, pen);
    const HGDIOBJ oldBrush = ::SelectObject(dc, SolidBrush(theme.window));
    const bool radio = type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
    if (radio) {
      ::Ellipse(dc, square.left, square.top, square.right, square.bottom);
      if (checked) {
        ::SelectObject(dc, SolidBrush(enabled ? theme.faceText : theme.grayText));
        const int inset = box / 4 + 1;
        ::Ellipse(dc, square.left + inset, square.top + inset, square.right - inset, square.bottom - inset);
      }
    } else {
      ::Rectangle(dc, square.left, square.top, square.right, square.bottom);
      if (checked) {
        const HPEN tick =
            ::CreatePen(PS_SOLID, std::max(1, box / 7), enabled ? theme.faceText : theme.grayText);
        ::SelectObject(dc, tick);
        const POINT mark[] = {{square.left + box / 5, square.top + box / 2},
                              {square.left + box * 2 / 5, square.bottom - box / 4},
                              {square.right - box / 5, square.top + box / 4}};
        ::Polyline(dc, mark, 3);
        ::SelectObject(dc, pen);
        ::DeleteObject(tick);
      }
    }
    ::SelectObject(dc, oldBrush);
    ::SelectObject(dc, oldPen);
    ::DeleteObject(pen);
    // The caption after the box, wrapped when it is longer than the control, centred upright.
    RECT label = {square.right + std::max(3, box / 3), client.top, client.right, client.bottom};
    RECT measured = label;
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &measured,
                DT_CALCRECT | DT_WORDBREAK | prefix);
    const int height = std::min<int>(measured.bottom - measured.top, client.bottom - client.top);
    label.top = client.top + (client.bottom - client.top - height) / 2;
    label.bottom = label.top + height;
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &label, DT_WORDBREAK | prefix);
    if (focused) {
      RECT around = {label.left - 1, label.top,
                     std::min<LONG>(client.right, label.left + (measured.right - measured.left) + 1),
                     label.bottom};
      ::SetTextColor(dc, theme.faceText);
      ::SetBkColor(dc, theme.face);
      ::DrawFocusRect(dc, &around);
    }
  }
  ::SelectObject(dc, oldFont);
}

void DrawPictureCell(HDC dc, const RECT& cell, int box, const platform::Picture& picture,
                     const std::wstring& text, COLORREF textColor, COLORREF backColor) {
  ::FillRect(dc, &cell, SolidBrush(backColor));
  const int left = cell.left + 2;
  DrawPicture(dc, left, cell, box, picture);
  RECT textRect = cell;
  textRect.left = left + box + 4;
  textRect.right -= 2;
  ::SetTextColor(dc, textColor);
  ::SetBkMode(dc, TRANSPARENT);
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect,
              DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX | DT_LEFT);
}

void DrawPicture(HDC dc, int left, const RECT& cell, int box, const platform::Picture& picture) {
  const int height = cell.bottom - cell.top;
  if (picture.width > 0 && picture.height > 0 && picture.width <= box && picture.height <= height) {
    // AlphaBlend takes premultiplied pixels, from a bitmap selected into a memory DC.
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = picture.width;
    info.bmiHeader.biHeight = -picture.height;  // top-down, as the picture's rows are
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HBITMAP bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && bits) {
      auto* out = static_cast<std::uint8_t*>(bits);
      const std::uint8_t* in = picture.pixels.data();
      for (std::size_t k = 0; k < picture.pixels.size(); k += 4) {
        const unsigned alpha = in[k + 3];
        for (int c = 0; c < 3; ++c) out[k + c] = static_cast<std::uint8_t>((in[k + c] * alpha + 127) / 255);
        out[k + 3] = static_cast<std::uint8_t>(alpha);
      }
      const HDC memory = ::CreateCompatibleDC(dc);
      const HGDIOBJ old = ::SelectObject(memory, bitmap);
      const BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
      ::AlphaBlend(dc, left + (box - picture.width) / 2, cell.top + (height - picture.height) / 2,
                   picture.width, picture.height, memory, 0, 0, picture.width, picture.height, blend);
      ::SelectObject(memory, old);
      ::DeleteDC(memory);
    }
    if (bitmap) ::DeleteObject(bitmap);
  }
}

}  // namespace win32::peers

// The page control: a tab control whose sheets' controls lie over its display area, shown
// only while their sheet is the active one.
#include "ui/controls.h"
#include "ui/win32/peer_base.h"

namespace win32::peers {

namespace {

class PageControlPeer final : public ControlPeer {
 public:
  PageControlPeer(std::shared_ptr<FormHost> host, ui::PageControl& pages)
      : ControlPeer(std::move(host), pages), pages_(pages) {
    CreateWindowFor(WC_TABCONTROLW, WS_TABSTOP | WS_GROUP, 0);
  }

  ~PageControlPeer() override {
    if (brush_) ::DeleteObject(brush_);
  }

  // The sheets' controls are not the tab control's children, so they cannot ask it to draw
  // their background; they take the colour it fills its page with, found once by letting it
  // paint into a one-pixel bitmap.
  HBRUSH PageBrush() override {
    if (brush_ || !Window()) return brush_;
    RECT display;
    ::GetClientRect(Window(), &display);
    ::SendMessageW(Window(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
    HDC screen = ::GetDC(Window());
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP pixel = ::CreateCompatibleBitmap(screen, 1, 1);
    HGDIOBJ old = ::SelectObject(memory, pixel);
    ::SetViewportOrgEx(memory, -(display.left + 2), -(display.bottom - 2), nullptr);
    ::SendMessageW(Window(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT | PRF_ERASEBKGND);
    ::SetViewportOrgEx(memory, 0, 0, nullptr);
    COLORREF colour = ::GetPixel(memory, 0, 0);
    ::SelectObject(memory, old);
    ::DeleteObject(pixel);
    ::DeleteDC(memory);
    ::ReleaseDC(Window(), screen);
    if (colour == CLR_INVALID) return nullptr;
    brush_ = ::CreateSolidBrush(colour);
    return brush_;
  }

  // The sheets' controls are placed in the display area, below the tabs.
  POINT ChildOrigin() const override {
    POINT origin = ControlPeer::ChildOrigin();
    if (!Window()) return origin;
    const ui::Bounds bounds = pages_.ScaledBounds();
    RECT display = {0, 0, bounds.width, bounds.height};
    ::SendMessageW(Window(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
    origin.x += display.left;
    origin.y += display.top;
    return origin;
  }

 private:
  void UpdateState() override {
    HWND window = Window();
    if (!window) return;
    std::vector<std::string> captions;
    for (ui::Control* child : pages_.Children())
      if (auto* sheet = dynamic_cast<ui::TabSheet*>(child)) captions.push_back(sheet->Caption());
    if (captions != captions_) {
      ::SendMessageW(window, TCM_DELETEALLITEMS, 0, 0);
      for (std::size_t i = 0; i < captions.size(); ++i) {
        std::wstring text = WideFromUtf8(captions[i]);
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = text.data();
        ::SendMessageW(window, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
      }
      captions_ = std::move(captions);
    }
    // Setting the selection by message raises no TCN_SELCHANGE; -1 leaves no tab selected.
    if (::SendMessageW(window, TCM_GETCURSEL, 0, 0) != pages_.ActivePageIndex())
      ::SendMessageW(window, TCM_SETCURSEL, static_cast<WPARAM>(pages_.ActivePageIndex()), 0);
  }

  // In dark colours the tab control is drawn here whole: the system draws its tabs and page
  // only in its own colours.
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    if (Host().Dark()) {
      switch (msg) {
        case WM_ERASEBKGND:
          return 1;
        case WM_PAINT: {
          PAINTSTRUCT paint;
          HDC dc = ::BeginPaint(Window(), &paint);
          PaintTabs(dc);
          ::EndPaint(Window(), &paint);
          return 0;
        }
        case WM_PRINTCLIENT:
          PaintTabs(reinterpret_cast<HDC>(wParam));
          return 0;
      }
    }
    return ControlPeer::WindowProc(msg, wParam, lParam);
  }

  void PaintTabs(HDC dc) {
    const ui::Theme& theme = Host().Theme();
    RECT client;
    ::GetClientRect(Window(), &client);
    ::FillRect(dc, &client, SolidBrush(theme.face));
    RECT display = client;
    ::SendMessageW(Window(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
    RECT frame = {display.left - 2, display.top - 2, display.right + 2, display.bottom + 2};
    ::FrameRect(dc, &frame, SolidBrush(theme.rule));
    const HGDIOBJ oldFont = ::SelectObject(dc, Host().Font());
    ::SetBkMode(dc, TRANSPARENT);
    const auto count = static_cast<int>(::SendMessageW(Window(), TCM_GETITEMCOUNT, 0, 0));
    const auto selected = static_cast<int>(::SendMessageW(Window(), TCM_GETCURSEL, 0, 0));
    for (int i = 0; i < count; ++i) {
      RECT tab = {};
      if (!::SendMessageW(Window(), TCM_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&tab)))
        continue;
      const bool chosen = i == selected;
      if (chosen) {
        tab.top -= 2;
        tab.left -= 2;
        tab.right += 2;
        tab.bottom += 1;
      }
      ::FillRect(dc, &tab, SolidBrush(chosen ? theme.face : theme.window));
      // The chosen tab opens onto its page: no line between them.
      RECT edges[] = {{tab.left, tab.top, tab.right, tab.top + 1},
                      {tab.left, tab.top, tab.left + 1, tab.bottom},
                      {tab.right - 1, tab.top, tab.right, tab.bottom}};
      for (const RECT& edge : edges) ::FillRect(dc, &edge, SolidBrush(theme.rule));
      if (!chosen) {
        RECT under = {tab.left, tab.bottom - 1, tab.right, tab.bottom};
        ::FillRect(dc, &under, SolidBrush(theme.rule));
      }
      wchar_t text[128] = {};
      TCITEMW item = {};
      item.mask = TCIF_TEXT;
      item.pszText = text;
      item.cchTextMax = 128;
      ::SendMessageW(Window(), TCM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
      ::SetTextColor(dc, chosen ? theme.faceText : theme.grayText);
      ::DrawTextW(dc, text, -1, &tab, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      if (chosen && ::GetFocus() == Window()) {
        RECT focus = tab;
        ::InflateRect(&focus, -3, -3);
        ::SetTextColor(dc, theme.faceText);
        ::SetBkColor(dc, theme.face);
        ::DrawFocusRect(dc, &focus);
      }
    }
    ::SelectObject(dc, oldFont);
  }

  bool OnNotify(NMHDR& header, LRESULT& result) override {
    if (header.code != TCN_SELCHANGE) return false;
    auto index = static_cast<int>(::SendMessageW(Window(), TCM_GETCURSEL, 0, 0));
    Raise([this, index] { pages_.SetActivePageIndex(index); });
    result = 0;
    return true;
  }

  ui::PageControl& pages_;
  std::vector<std::string> captions_;
  HBRUSH brush_ = nullptr;
};

// A tab sheet has no window. Its children's origin is the page control's display area,
// whatever bounds the sheet itself was given.
class TabSheetPeer final : public ControlPeer {
 public:
  using ControlPeer::ControlPeer;
  POINT ChildOrigin() const override { return OriginOfChildren(*Control().Parent()); }
  bool TabStop() const override { return false; }
};

}  // namespace

std::unique_ptr<ControlPeer> MakePagePeer(const std::shared_ptr<FormHost>& host, ui::Control& control) {
  if (auto* pages = dynamic_cast<ui::PageControl*>(&control))
    return std::make_unique<PageControlPeer>(host, *pages);
  if (dynamic_cast<ui::TabSheet*>(&control)) return std::make_unique<TabSheetPeer>(host, control);
  return nullptr;
}

}  // namespace win32::peers

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

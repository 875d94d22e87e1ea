// The table grid: a virtual ("owner-data") report list view over the row store.
//
// The list view holds no row. It knows only the count of shown rows (every row, or a filter's
// matches) and asks for each cell it paints, and, through the callback mask, for each row's
// selected and focused state, which live in the store. A change of the store therefore costs
// the same whatever the number of rows: the count is set and the visible rows are painted
// again. The list view's item indices are the shown positions.
#include <algorithm>

#include "ui/table_grid.h"
#include "ui/win32/peer_base.h"

namespace win32::peers {

namespace {

class TableGridPeer final : public ControlPeer {
 public:
  TableGridPeer(std::shared_ptr<FormHost> host, ui::TableGrid& grid)
      : ControlPeer(std::move(host), grid), grid_(grid) {
    DWORD style = LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS | WS_TABSTOP | WS_GROUP;
    if (!grid.MultiSelect) style |= LVS_SINGLESEL;
    CreateWindowFor(WC_LISTVIEWW, style, WS_EX_CLIENTEDGE);
    HWND window = Window();
    if (!window) return;
    ::SendMessageW(window, CCM_SETUNICODEFORMAT, TRUE, 0);
    DWORD extended = LVS_EX_DOUBLEBUFFER;
    if (grid.GridLines) extended |= LVS_EX_GRIDLINES;
    if (grid.RowSelect) extended |= LVS_EX_FULLROWSELECT;
    ::SendMessageW(window, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
    ::SendMessageW(window, LVM_SETCALLBACKMASK, LVIS_SELECTED | LVIS_FOCUSED, 0);
    InsertColumns();
  }

 private:
  void InsertColumns() {
    // The first column of a list view is always drawn left-aligned; one made second, behind a
    // placeholder that is then removed, keeps its own alignment.
    LVCOLUMNW placeholder = {};
    placeholder.mask = LVCF_WIDTH | LVCF_SUBITEM;
    placeholder.iSubItem = 1000;
    ::SendMessageW(Window(), LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&placeholder));
    const auto& columns = grid_.Rows().Columns();
    for (std::size_t i = 0; i < columns.size(); ++i) {
      if (!columns[i].visible) continue;
      std::wstring header = WideFromUtf16(columns[i].header);
      LVCOLUMNW column = {};
      column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
      column.fmt = columns[i].rightAligned ? LVCFMT_RIGHT : LVCFMT_LEFT;
      column.cx = Host().Form().Scale(columns[i].width);
      column.pszText = header.data();
      column.iSubItem = static_cast<int>(shownColumns_.size());
      ::SendMessageW(Window(), LVM_INSERTCOLUMNW, shownColumns_.size() + 1,
                     reinterpret_cast<LPARAM>(&column));
      shownColumns_.push_back(static_cast<int>(i));
    }
    ::SendMessageW(Window(), LVM_DELETECOLUMN, 0, 0);
    columnsDpi_ = 0;
    ScaleColumnsToDpi();
  }

  // A column's width at the form's DPI: as designed, or wide enough for its widest text.
  int ColumnWidth(std::size_t shown) {
    const int column = shownColumns_[shown];
    int width = Host().Form().Scale(grid_.Rows().Columns()[static_cast<std::size_t>(column)].width);
    if (grid_.WidestText) {
      const std::wstring texts = WideFromUtf16(grid_.WidestText(column));
      HDC dc = ::GetDC(Window());
      const HGDIOBJ old = ::SelectObject(dc, Host().Font());
      for (std::size_t start = 0; start < texts.size();) {
        const std::size_t end = std::min(texts.find(L'\n', start), texts.size());
        SIZE extent = {};
        ::GetTextExtentPoint32W(dc, texts.c_str() + start, static_cast<int>(end - start), &extent);
        // The list view leaves a margin of some 6 pixels on each side of a cell's text.
        if (end > start) width = std::max<int>(width, extent.cx + Host().Form().Scale(14));
        start = end + 1;
      }
      ::SelectObject(dc, old);
      ::ReleaseDC(Window(), dc);
    }
    return width;
  }

  // The widths at the form's DPI, after the window moved to a monitor of another.
  void ScaleColumnsToDpi() {
    if (Host().Form().Dpi() == columnsDpi_) return;
    columnsDpi_ = Host().Form().Dpi();
    for (std::size_t k = 0; k < shownColumns_.size(); ++k)
      ::SendMessageW(Window(), LVM_SETCOLUMNWIDTH, k, ColumnWidth(k));
    FitLastColumn();
  }

  // The last column takes the room the others leave, so that a grown table shows more of the
  // texts.
  void FitLastColumn() {
    if (shownColumns_.empty() || !Window()) return;
    RECT client;
    ::GetClientRect(Window(), &client);
    int others = 0;
    for (std::size_t k = 0; k + 1 < shownColumns_.size(); ++k)
      others += static_cast<int>(::SendMessageW(Window(), LVM_GETCOLUMNWIDTH, k, 0));
    const std::size_t last = shownColumns_.size() - 1;
    // Within the list's width while there is room, so that no scroll bar is needed to see
    // where a text is cut.
    const int width = std::max(Host().Form().Scale(120), static_cast<int>(client.right) - others);
    if (width != static_cast<int>(::SendMessageW(Window(), LVM_GETCOLUMNWIDTH, last, 0)))
      ::SendMessageW(Window(), LVM_SETCOLUMNWIDTH, last, width);
  }

  void ApplyTheme() override {
    const ui::Theme& theme = Host().Theme();
    ::SendMessageW(Window(), LVM_SETBKCOLOR, 0, theme.window);
    ::SendMessageW(Window(), LVM_SETTEXTBKCOLOR, 0, theme.window);
    ::SendMessageW(Window(), LVM_SETTEXTCOLOR, 0, theme.windowText);
    UseDarkControlTheme(Window(), Host().Dark());
    if (grid_.GridLines) {
      const DWORD lines = Host().Dark() ? 0 : LVS_EX_GRIDLINES;
      ::SendMessageW(Window(), LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_GRIDLINES, lines);
    }
    if (HWND header = ListView_GetHeader(Window())) {
      UseDarkControlTheme(header, Host().Dark());
      ::InvalidateRect(header, nullptr, TRUE);
    }
    ControlPeer::ApplyTheme();
  }

  void UpdateState() override {
    // While an update is in progress the store tells nobody; its end brings one Update.
    if (!Window() || grid_.Rows().UpdateCount() > 0) return;
    ScaleColumnsToDpi();
    int rows = grid_.ShownCount();
    if (rows != shownRows_) {
      ::SendMessageW(Window(), LVM_SETITEMCOUNT, static_cast<WPARAM>(rows),
                     LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
      shownRows_ = rows;
    }
    ::InvalidateRect(Window(), nullptr, FALSE);
    if (grid_.TakeShowCurrentRow() && grid_.Rows().CurrentRow() >= 0) {
      const int position = grid_.ShownPosition(grid_.Rows().CurrentRow());
      if (position >= 0) ::SendMessageW(Window(), LVM_ENSUREVISIBLE, static_cast<WPARAM>(position), FALSE);
    }
  }

  bool OnNotify(NMHDR& header, LRESULT& result) override {
    result = 0;
    switch (header.code) {
      case LVN_GETDISPINFOW:
        Answer(reinterpret_cast<NMLVDISPINFOW&>(header).item);
        return true;
      case LVN_ODFINDITEMW:
        // No search by typed text: it would have to read every row.
        result = -1;
        return true;
      case NM_CUSTOMDRAW:
        return CustomDraw(reinterpret_cast<NMLVCUSTOMDRAW&>(header), result);
    }
    return false;
  }

  // A selected row in the theme's colours (the list view would take the system's), and the
  // picture column's cells of rows with a picture, drawn here whole; every other cell as the
  // list view draws it.
  bool CustomDraw(NMLVCUSTOMDRAW& draw, LRESULT& result) {
    result = CDRF_DODEFAULT;
    const bool pictures = grid_.PictureColumn >= 0 && grid_.RowPicture;
    switch (draw.nmcd.dwDrawStage) {
      case CDDS_PREPAINT:
        result = CDRF_NOTIFYITEMDRAW;
        return true;
      case CDDS_ITEMPREPAINT:
        ColourRow(draw);
        result = pictures ? CDRF_NOTIFYSUBITEMDRAW : CDRF_DODEFAULT;
        if (OwnGridLines()) result |= CDRF_NOTIFYPOSTPAINT;
        return true;
      case CDDS_ITEMPOSTPAINT:
        DrawGridLines(draw);
        return true;
      case CDDS_ITEMPREPAINT | CDDS_SUBITEM:
        ColourRow(draw);
        break;
      default:
        return true;
    }
    if (!pictures) return true;
    const int position = static_cast<int>(draw.nmcd.dwItemSpec);
    const int sub = draw.iSubItem;
    if (sub < 0 || static_cast<std::size_t>(sub) >= shownColumns_.size() ||
        shownColumns_[static_cast<std::size_t>(sub)] != grid_.PictureColumn)
      return true;
    const int row = grid_.ShownRow(position);
    if (row < 0) return true;
    RECT cell = {};
    cell.top = sub;
    // The first column's bounds would be the whole row's.
    cell.left = sub == 0 ? LVIR_LABEL : LVIR_BOUNDS;
    if (!::SendMessageW(Window(), LVM_GETSUBITEMRECT, static_cast<WPARAM>(position),
                        reinterpret_cast<LPARAM>(&cell)))
      return true;
    const int height = cell.bottom - cell.top - 2;
    const int box = 2 * height;
    const platform::Picture* picture = height > 0 ? grid_.RowPicture(row, box, height) : nullptr;
    if (!picture) return true;
    const ui::Theme& theme = Host().Theme();
    const bool selected = grid_.Rows().RowSelected(row);
    const bool focused = ::GetFocus() == Window();
    const COLORREF text = selected ? (focused ? theme.highlightText : theme.faceText) : theme.windowText;
    const COLORREF back = selected ? (focused ? theme.highlight : theme.header) : theme.window;
    std::wstring shown = WideFromUtf16(grid_.ShownCell(grid_.PictureColumn, position, scratch_));
    for (wchar_t& ch : shown)
      if (ch < L' ') ch = L' ';
    DrawPictureCell(draw.nmcd.hdc, cell, box, *picture, shown, text, back);
    result = CDRF_SKIPDEFAULT;
    return true;
  }

  // The list view draws its grid lines in a system colour, bright on a dark background; there
  // they are drawn here, in the theme's.
  bool OwnGridLines() const { return grid_.GridLines && Host().Dark(); }

  void DrawGridLines(NMLVCUSTOMDRAW& draw) {
    RECT row = {};
    row.left = LVIR_BOUNDS;
    if (!::SendMessageW(Window(), LVM_GETITEMRECT, draw.nmcd.dwItemSpec, reinterpret_cast<LPARAM>(&row)))
      return;
    const HBRUSH rule = SolidBrush(Host().Theme().rule);
    RECT bottom = {row.left, row.bottom - 1, row.right, row.bottom};
    ::FillRect(draw.nmcd.hdc, &bottom, rule);
    int x = row.left;
    for (std::size_t k = 0; k < shownColumns_.size(); ++k) {
      x += static_cast<int>(::SendMessageW(Window(), LVM_GETCOLUMNWIDTH, k, 0));
      RECT edge = {x - 1, row.top, x, row.bottom};
      ::FillRect(draw.nmcd.hdc, &edge, rule);
    }
  }

  // In dark colours a selected row is drawn in the theme's highlight, not the system's.
  void ColourRow(NMLVCUSTOMDRAW& draw) {
    if (!Host().Dark()) return;
    const int row = grid_.ShownRow(static_cast<int>(draw.nmcd.dwItemSpec));
    const ui::Theme& theme = Host().Theme();
    if (row >= 0 && grid_.Rows().RowSelected(row)) {
      const bool focused = ::GetFocus() == Window();
      draw.nmcd.uItemState &= ~(CDIS_SELECTED | CDIS_FOCUS);
      draw.clrText = focused ? theme.highlightText : theme.faceText;
      draw.clrTextBk = focused ? theme.highlight : theme.header;
    } else {
      draw.clrText = theme.windowText;
      draw.clrTextBk = theme.window;
    }
  }

  // The header in the theme's colours: the system draws it only in its own.
  bool HeaderCustomDraw(NMCUSTOMDRAW& draw, LRESULT& result) {
    if (!Host().Dark()) return false;
    const ui::Theme& theme = Host().Theme();
    switch (draw.dwDrawStage) {
      case CDDS_PREPAINT: {
        RECT client;
        ::GetClientRect(draw.hdr.hwndFrom, &client);
        ::FillRect(draw.hdc, &client, SolidBrush(theme.header));
        result = CDRF_NOTIFYITEMDRAW;
        return true;
      }
      case CDDS_ITEMPREPAINT: {
        RECT cell = draw.rc;
        ::FillRect(draw.hdc, &cell, SolidBrush(theme.header));
        RECT edge = {cell.right - 1, cell.top + 2, cell.right, cell.bottom - 2};
        ::FillRect(draw.hdc, &edge, SolidBrush(theme.rule));
        RECT bottom = {cell.left, cell.bottom - 1, cell.right, cell.bottom};
        ::FillRect(draw.hdc, &bottom, SolidBrush(theme.rule));
        wchar_t text[128] = {};
        HDITEMW item = {};
        item.mask = HDI_TEXT | HDI_FORMAT;
        item.pszText = text;
        item.cchTextMax = 128;
        ::SendMessageW(draw.hdr.hwndFrom, HDM_GETITEMW, draw.dwItemSpec, reinterpret_cast<LPARAM>(&item));
        const int margin = Host().Form().Scale(6);
        cell.left += margin;
        cell.right -= margin;
        ::SetTextColor(draw.hdc, theme.faceText);
        ::SetBkMode(draw.hdc, TRANSPARENT);
        const UINT align = (item.fmt & HDF_JUSTIFYMASK) == HDF_RIGHT ? DT_RIGHT : DT_LEFT;
        ::DrawTextW(draw.hdc, text, -1, &cell,
                    align | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
        result = CDRF_SKIPDEFAULT;
        return true;
      }
      default:
        result = CDRF_DODEFAULT;
        return true;
    }
  }

  void Answer(LVITEMW& item) {
    const int row = grid_.ShownRow(item.iItem);
    bool exists = row >= 0;
    if (item.mask & LVIF_TEXT) {
      if (item.pszText && item.cchTextMax > 0) item.pszText[0] = L'\0';
      if (exists && item.pszText && item.cchTextMax > 0 && item.iSubItem >= 0 &&
          static_cast<std::size_t>(item.iSubItem) < shownColumns_.size()) {
        std::u16string_view text =
            grid_.ShownCell(shownColumns_[static_cast<std::size_t>(item.iSubItem)], item.iItem, scratch_);
        std::size_t length =
            std::min<std::size_t>(text.size(), static_cast<std::size_t>(item.cchTextMax) - 1);
        // A row is one line: line breaks and tabs of a cell show as spaces.
        for (std::size_t i = 0; i < length; ++i) item.pszText[i] = text[i] < u' ' ? L' ' : text[i];
        item.pszText[length] = L'\0';
      }
    }
    if (item.mask & LVIF_STATE) {
      UINT state = 0;
      if (exists && grid_.Rows().RowSelected(row)) state |= LVIS_SELECTED;
      if (exists && grid_.Rows().CurrentRow() == row) state |= LVIS_FOCUSED;
      item.state = (item.state & ~item.stateMask) | (state & item.stateMask);
    }
  }

  // The list view's own handling of clicks and of the selection keys walks every row when it
  // clears the selection (asking for the state of each, as the state is kept in the store),
  // which takes seconds for a long table; and it reports no change of a state it does not
  // keep. So the selection input is handled here, on the store, and the list view only shows
  // the result.
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    switch (msg) {
      case WM_NOTIFY: {
        // The header tells its parent, the list view, how it is to be drawn.
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        LRESULT result = 0;
        if (header && header->code == NM_CUSTOMDRAW && header->hwndFrom == ListView_GetHeader(Window()) &&
            HeaderCustomDraw(*reinterpret_cast<NMCUSTOMDRAW*>(lParam), result))
          return result;
        break;
      }
      case WM_SIZE: {
        const LRESULT result = ControlPeer::WindowProc(msg, wParam, lParam);
        FitLastColumn();
        return result;
      }
      case WM_LBUTTONDOWN:
      case WM_RBUTTONDOWN: {
        ::SetFocus(Window());
        int row = HitRow(PointOf(lParam), nullptr);
        if (row >= 0) Raise([&] { ClickAt(row, msg == WM_RBUTTONDOWN, wParam); });
        return 0;
      }
      case WM_LBUTTONDBLCLK: {
        int column = -1;
        int row = HitRow(PointOf(lParam), &column);
        // The first click of the pair has made the row current already.
        if (row >= 0 && column >= 0) Raise([&] { grid_.DblClickCell(column, row); });
        return 0;
      }
      case WM_RBUTTONDBLCLK:
        return 0;
      case WM_RBUTTONUP: {
        // The button's down has set the selection; the menu opens as it comes up, as Explorer's.
        // The list view is not told, so that it sends no WM_CONTEXTMENU of its own.
        if (HitRow(PointOf(lParam), nullptr) >= 0) {
          POINT screen = PointOf(lParam);
          ::ClientToScreen(Window(), &screen);
          Raise([&] { grid_.MenuKey(screen.x, screen.y); });
        }
        return 0;
      }
      case WM_CONTEXTMENU: {
        // From the keyboard (the menu key, Shift+F10) only: by the current row, or the corner.
        if (lParam != -1) return 0;
        POINT at = {0, 0};
        const int current =
            grid_.Rows().CurrentRow() >= 0 ? grid_.ShownPosition(grid_.Rows().CurrentRow()) : -1;
        RECT row = {};
        row.left = LVIR_LABEL;
        if (current >= 0 && ::SendMessageW(Window(), LVM_GETITEMRECT, static_cast<WPARAM>(current),
                                           reinterpret_cast<LPARAM>(&row)))
          at = {row.left, row.bottom};
        ::ClientToScreen(Window(), &at);
        Raise([&] { grid_.MenuKey(at.x, at.y); });
        return 0;
      }
      case WM_KEYDOWN: {
        bool handled = false;
        Raise([&] { handled = KeyDown(static_cast<UINT>(wParam)); });
        if (handled) return 0;
        break;
      }
    }
    return ControlPeer::WindowProc(msg, wParam, lParam);
  }

  static POINT PointOf(LPARAM lParam) {
    return {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  }

  // As Windows does it: a click selects the row alone, with Ctrl it toggles the row, with Shift
  // it selects the rows from the last plain click's row to it; a right click keeps a selection
  // that holds the row.
  void ClickAt(int row, bool right, WPARAM keys) {
    grid_.Rows().BeginUpdate();
    try {
      bool multi = grid_.MultiSelect;
      if (right) {
        const int shown = grid_.ShownRow(row);
        if (!grid_.Rows().RowSelected(shown)) grid_.ClickRow(row);
        grid_.Rows().SetCurrentRow(shown);
        grid_.Rows().SetAnchorRow(shown);
      } else if (multi && (keys & MK_SHIFT)) {
        grid_.ShiftClickRow(row, (keys & MK_CONTROL) != 0);
      } else if (multi && (keys & MK_CONTROL)) {
        grid_.CtrlClickRow(row);
      } else {
        grid_.ClickRow(row);
      }
    } catch (...) {
      grid_.Rows().EndUpdate();
      throw;
    }
    grid_.Rows().EndUpdate();
  }

  // The arrow, page, Home and End keys move the current row, selecting it alone, extending the
  // selection with Shift, or moving only the current row with Ctrl; Ctrl+Space toggles the
  // current row and Ctrl+A selects all.
  bool KeyDown(UINT key) {
    bool shift = ::GetKeyState(VK_SHIFT) < 0 && grid_.MultiSelect;
    bool control = ::GetKeyState(VK_CONTROL) < 0;
    int rows = grid_.ShownCount();
    int current = grid_.Rows().CurrentRow() >= 0 ? grid_.ShownPosition(grid_.Rows().CurrentRow()) : -1;
    int page = std::max(1, static_cast<int>(::SendMessageW(Window(), LVM_GETCOUNTPERPAGE, 0, 0)));
    int target;
    switch (key) {
      case VK_UP:
        target = current - 1;
        break;
      case VK_DOWN:
        target = current + 1;
        break;
      case VK_PRIOR:
        target = current - page;
        break;
      case VK_NEXT:
        target = current + page;
        break;
      case VK_HOME:
        target = 0;
        break;
      case VK_END:
        target = rows - 1;
        break;
      case VK_LEFT:
      case VK_RIGHT:
        ::SendMessageW(Window(), LVM_SCROLL, static_cast<WPARAM>(key == VK_LEFT ? -16 : 16), 0);
        return true;
      case VK_SPACE:
        if (current >= 0 && current < rows) {
          const int row = grid_.ShownRow(current);
          if (control && grid_.MultiSelect)
            grid_.Rows().SetRowSelected(row, !grid_.Rows().RowSelected(row));
          else
            grid_.Rows().SetRowSelected(row, true);
        }
        return true;
      case 'A':
        if (!control || !grid_.MultiSelect) return false;
        grid_.Rows().BeginUpdate();
        for (int position = 0; position < rows; ++position)
          grid_.Rows().SetRowSelected(grid_.ShownRow(position), true);
        grid_.Rows().EndUpdate();
        return true;
      default:
        return false;
    }
    if (rows == 0) return true;
    if (current < 0) target = key == VK_END ? rows - 1 : 0;
    target = std::clamp(target, 0, rows - 1);
    grid_.Rows().BeginUpdate();
    try {
      if (shift) {
        grid_.ShiftClickRow(target, control, current >= 0 ? current : target);
      } else if (control) {
        grid_.Rows().SetCurrentRow(grid_.ShownRow(target));
      } else {
        grid_.ClickRow(target);
      }
    } catch (...) {
      grid_.Rows().EndUpdate();
      throw;
    }
    grid_.Rows().EndUpdate();
    ::SendMessageW(Window(), LVM_ENSUREVISIBLE, static_cast<WPARAM>(target), FALSE);
    return true;
  }

  // The shown position of the row at a point of the list view's client area, -1 for none;
  // `column` gets the table's index of the column there.
  int HitRow(POINT point, int* column) {
    LVHITTESTINFO hit = {};
    hit.pt = point;
    ::SendMessageW(Window(), LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    if (hit.iItem < 0 || hit.iItem >= grid_.ShownCount() || !(hit.flags & LVHT_ONITEM)) return -1;
    if (column) {
      *column = hit.iSubItem >= 0 && static_cast<std::size_t>(hit.iSubItem) < shownColumns_.size()
                    ? shownColumns_[static_cast<std::size_t>(hit.iSubItem)]
                    : -1;
    }
    return hit.iItem;
  }

  ui::TableGrid& grid_;
  int columnsDpi_ = 96;
  std::vector<int> shownColumns_;  // list view column -> table column
  int shownRows_ = -1;
  std::u16string scratch_;
};

}  // namespace

std::unique_ptr<ControlPeer> MakeTablePeer(const std::shared_ptr<FormHost>& host, ui::Control& control) {
  if (auto* grid = dynamic_cast<ui::TableGrid*>(&control))
    return std::make_unique<TableGridPeer>(host, *grid);
  return nullptr;
}

}  // namespace win32::peers

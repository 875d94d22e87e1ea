// The table grid control: a view that shows the rows of a table it does not own, all of them or
// those of a filter, with a header. The selection, the current row and the anchor belong to the
// rows (see grid::Table), so that they follow the rows as others are inserted and deleted.
#pragma once

#include <functional>
#include <utility>

#include "grid/row_filter.h"
#include "grid/table.h"
#include "platform/images.h"
#include "ui/control.h"

namespace ui {

class TableGrid : public Control, private grid::TableObserver {
 public:
  // Shows `rows`, which must outlive the grid.
  TableGrid(Control* parent, std::string name, grid::Table& rows);
  ~TableGrid() override;

  grid::Table& Rows() const { return rows_; }

  bool MultiSelect = true;
  bool RowSelect = true;
  bool GridLines = true;

  // A small picture at the start of the cells of `PictureColumn`, for the rows that have one (an
  // image entry's thumbnail). Asked only for the rows being painted, with the largest size that
  // fits the cell; null for none, or none yet (ViewChanged paints again once it is ready).
  int PictureColumn = -1;
  std::function<const platform::Picture*(int row, int width, int height)> RowPicture;
  // The widest texts a column shows, one a line, for a column whose width must follow the
  // user's formats (the dates): the column is made wide enough for each at any DPI. Empty for
  // the designed width.
  std::function<std::u16string(int column)> WidestText;
  // A mark shown before the text of `MarkColumn`'s cells, for the rows that have one (a pinned
  // entry's); empty for none.
  int MarkColumn = -1;
  std::function<std::u16string_view(int row)> RowMark;
  // The most of a marked cell's text that is shown: the mark is put before a copy of it.
  static constexpr std::size_t MarkedTextUnits = 4096;

  // What the grid shows: the rows of a filter over this table, or every row (nullptr). The
  // filter must outlive its use here.
  void SetView(grid::RowFilter* view);
  grid::RowFilter* View() const { return view_; }
  // The shown rows, by their position from the top of the grid.
  int ShownCount();
  int ShownRow(int position);  // -1 for a position outside the shown rows
  int ShownPosition(int row);  // -1 for a row that is not shown
  // A cell as it is shown. The row-number column shows the row's position in the table (1 for
  // the top row), also while a filter hides rows.
  std::u16string_view ShownCell(int column, int position, std::u16string& scratch);
  // The view has moved on (a filter scanned further): the grid shows it again.
  void ViewChanged() { Control::Changed(); }
  // Raised when a change of the table leaves the view rows to scan.
  std::function<void()> OnViewPending;
  // Asks the grid to scroll the current row into sight; the request is taken by the display.
  void ShowCurrentRow() {
    showCurrentRow_ = true;
    Control::Changed();
  }
  bool TakeShowCurrentRow() { return std::exchange(showCurrentRow_, false); }
  // Takes the rows the view hides out of the selection.
  void DeselectHiddenRows();

  // The user's clicks name rows by their shown position.
  // A click: the row becomes the current row, the only selected one and the anchor.
  void ClickRow(int position);
  // With Ctrl: the row's selection flips, and it becomes the current row and the anchor.
  void CtrlClickRow(int position);
  // With Shift: the shown rows from the anchor to this one become the selection (added to it
  // with Ctrl as well), and this row the current one. Without a shown anchor the range starts
  // at `from`.
  void ShiftClickRow(int position, bool addToSelection, int from);
  void ShiftClickRow(int position, bool addToSelection = false) {
    ShiftClickRow(position, addToSelection, position);
  }
  // The user double-clicked a cell: the first click has made its row the current one. The
  // event names the table's row.
  void DblClickCell(int column, int position);
  std::function<void(TableGrid& sender, int column, int row)> OnCellDblClick;
  // A right click on a row: a row that is not selected becomes the only selected one, a
  // selection that holds it stays; the row becomes the current one and the anchor. Then the
  // grid asks for its menu at the point of the screen given.
  void RightClickRow(int position, int x, int y);
  // The menu key, or Shift+F10: the menu for the selection as it is, at the point given.
  void MenuKey(int x, int y);
  std::function<void(TableGrid& sender, int x, int y)> OnContextMenu;

 private:
  void TableChanged() override;

  grid::Table& rows_;
  grid::RowFilter* view_ = nullptr;
  bool showCurrentRow_ = false;
};

}  // namespace ui

// The table grid control: a row store shown as a table with a header.
#pragma once

#include <functional>

#include "grid/table.h"
#include "ui/control.h"

namespace ui {

class TableGrid : public Control, public grid::Table, private grid::TableObserver {
 public:
  TableGrid(Control* parent, std::string name, std::vector<grid::Column> columns);

  bool MultiSelect = true;
  bool RowSelect = true;
  bool GridLines = true;
  bool ResizableRows = true;

  // The user clicked a row: it becomes the current row, the only selected one and the anchor.
  void ClickRow(int row);
  // With Ctrl: the row's selection flips, and it becomes the current row and the anchor.
  void CtrlClickRow(int row);
  // With Shift: the rows from the anchor to this one become the selection (added to it with
  // Ctrl as well), and this row the current one. Without an anchor the range starts at `from`.
  void ShiftClickRow(int row, bool addToSelection, int from);
  void ShiftClickRow(int row, bool addToSelection = false) { ShiftClickRow(row, addToSelection, row); }
  // The user double-clicked a cell: the first click has made its row the current one.
  void DblClickCell(int column, int row);
  std::function<void(TableGrid& sender, int column, int row)> OnCellDblClick;

 private:
  void TableChanged() override { Control::Changed(); }
};

}  // namespace ui

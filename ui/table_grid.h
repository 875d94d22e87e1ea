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

  // The user clicked a row: it becomes the current row and the only selected one.
  void ClickRow(int row);
  // The user double-clicked a cell: the first click has made its row the current one.
  void DblClickCell(int column, int row);
  std::function<void(TableGrid& sender, int column, int row)> OnCellDblClick;

 private:
  void TableChanged() override { Control::Changed(); }
};

}  // namespace ui

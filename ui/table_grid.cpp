#include "ui/table_grid.h"

namespace ui {

TableGrid::TableGrid(Control* parent, std::string name, std::vector<grid::Column> columns)
    : Control(parent, std::move(name)), grid::Table(std::move(columns)) {
  SetObserver(this);
}

void TableGrid::ClickRow(int row) {
  ClearSelection();
  if (row >= 0 && row < RowCount()) SetRowSelected(row, true);
  SetCurrentRow(row);
}

void TableGrid::DblClickCell(int column, int row) {
  ClickRow(row);
  if (OnCellDblClick) Raise([&] { OnCellDblClick(*this, column, row); });
}

}  // namespace ui

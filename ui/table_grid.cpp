#include "ui/table_grid.h"

#include <utility>

namespace ui {

TableGrid::TableGrid(Control* parent, std::string name, std::vector<grid::Column> columns)
    : Control(parent, std::move(name)), grid::Table(std::move(columns)) {
  SetObserver(this);
}

void TableGrid::ClickRow(int row) {
  ClearSelection();
  if (row >= 0 && row < RowCount()) SetRowSelected(row, true);
  SetCurrentRow(row);
  SetAnchorRow(row >= 0 && row < RowCount() ? row : -1);
}

void TableGrid::CtrlClickRow(int row) {
  SetRowSelected(row, !RowSelected(row));
  SetCurrentRow(row);
  SetAnchorRow(row);
}

void TableGrid::ShiftClickRow(int row, bool addToSelection, int from) {
  // The anchor moves with its row as captures insert rows above it, so the range is the one
  // the user sees between the two clicks.
  if (AnchorRow() < 0) SetAnchorRow(from);
  int first = AnchorRow();
  int last = row;
  if (first > last) std::swap(first, last);
  if (!addToSelection) ClearSelection();
  for (int r = first; r <= last; ++r) SetRowSelected(r, true);
  SetCurrentRow(row);
}

void TableGrid::DblClickCell(int column, int row) {
  ClickRow(row);
  if (OnCellDblClick) Raise([&] { OnCellDblClick(*this, column, row); });
}

}  // namespace ui

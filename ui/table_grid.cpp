#include "ui/table_grid.h"

#include <string>
#include <utility>

namespace ui {

TableGrid::TableGrid(Control* parent, std::string name, std::vector<grid::Column> columns)
    : Control(parent, std::move(name)), grid::Table(std::move(columns)) {
  SetObserver(this);
}

void TableGrid::TableChanged() {
  Control::Changed();
  if (view_ != nullptr && !view_->Done() && OnViewPending) Raise(OnViewPending);
}

void TableGrid::SetView(grid::RowFilter* view) {
  view_ = view;
  Control::Changed();
}

int TableGrid::ShownCount() { return view_ != nullptr ? view_->Count() : RowCount(); }

int TableGrid::ShownRow(int position) {
  if (view_ != nullptr) return view_->RowAt(position);
  return position >= 0 && position < RowCount() ? position : -1;
}

int TableGrid::ShownPosition(int row) {
  if (view_ != nullptr) return view_->PositionOf(row);
  return row >= 0 && row < RowCount() ? row : -1;
}

std::u16string_view TableGrid::ShownCell(int column, int position, std::u16string& scratch) {
  const int row = ShownRow(position);
  if (row < 0) return {};
  if (view_ != nullptr && view_->Active() && column >= 0 && column < ColumnCount() &&
      Columns()[static_cast<std::size_t>(column)].kind == grid::ColumnKind::Increment) {
    std::string number = std::to_string(position + 1);
    scratch.assign(number.begin(), number.end());
    return scratch;
  }
  return CellView(column, row, scratch);
}

void TableGrid::DeselectHiddenRows() {
  if (view_ == nullptr || !view_->Active()) return;
  grid::UpdateScope update(*this);
  for (int row = 0; row < RowCount(); ++row) {
    if (RowSelected(row) && view_->PositionOf(row) < 0) SetRowSelected(row, false);
  }
}

void TableGrid::ClickRow(int position) {
  const int row = ShownRow(position);
  ClearSelection();
  if (row >= 0) SetRowSelected(row, true);
  SetCurrentRow(row);
  SetAnchorRow(row);
}

void TableGrid::CtrlClickRow(int position) {
  const int row = ShownRow(position);
  SetRowSelected(row, !RowSelected(row));
  SetCurrentRow(row);
  SetAnchorRow(row);
}

void TableGrid::ShiftClickRow(int position, bool addToSelection, int from) {
  // The anchor moves with its row as captures insert rows above it, so the range is the one
  // the user sees between the two clicks.
  int first = AnchorRow() >= 0 ? ShownPosition(AnchorRow()) : -1;
  if (first < 0) {
    SetAnchorRow(ShownRow(from));
    first = from;
  }
  int last = position;
  if (first > last) std::swap(first, last);
  if (!addToSelection) ClearSelection();
  for (int p = first; p <= last; ++p) SetRowSelected(ShownRow(p), true);
  SetCurrentRow(ShownRow(position));
}

void TableGrid::DblClickCell(int column, int position) {
  ClickRow(position);
  const int row = ShownRow(position);
  if (OnCellDblClick) Raise([&] { OnCellDblClick(*this, column, row); });
}

}  // namespace ui

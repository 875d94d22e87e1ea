#include "ui/table_grid.h"

#include <string>
#include <utility>

namespace ui {

TableGrid::TableGrid(Control* parent, std::string name, grid::Table& rows)
    : Control(parent, std::move(name)), rows_(rows) {
  rows_.SetObserver(this);
}

TableGrid::~TableGrid() { rows_.SetObserver(nullptr); }

void TableGrid::TableChanged() {
  Control::Changed();
  if (view_ != nullptr && !view_->Done() && OnViewPending) Raise(OnViewPending);
}

void TableGrid::SetView(grid::RowFilter* view) {
  view_ = view;
  Control::Changed();
}

int TableGrid::ShownCount() { return view_ != nullptr ? view_->Count() : rows_.RowCount(); }

int TableGrid::ShownRow(int position) {
  if (view_ != nullptr) return view_->RowAt(position);
  return position >= 0 && position < rows_.RowCount() ? position : -1;
}

int TableGrid::ShownPosition(int row) {
  if (view_ != nullptr) return view_->PositionOf(row);
  return row >= 0 && row < rows_.RowCount() ? row : -1;
}

std::u16string_view TableGrid::ShownCell(int column, int position, std::u16string& scratch) {
  const int row = ShownRow(position);
  if (row < 0) return {};
  // The row-number column counts the rows of the whole table, whatever its cell holds (a row
  // inserted at the top holds 0, which the files keep writing) and whatever a search hides.
  if (column >= 0 && column < rows_.ColumnCount() &&
      rows_.Columns()[static_cast<std::size_t>(column)].kind == grid::ColumnKind::Increment) {
    std::string number = std::to_string(row + 1);
    scratch.assign(number.begin(), number.end());
    return scratch;
  }
  const std::u16string_view mark = column == MarkColumn && RowMark ? RowMark(row) : std::u16string_view();
  if (mark.empty()) return rows_.CellView(column, row, scratch);
  std::u16string text;
  std::u16string_view cell = rows_.CellView(column, row, text);
  if (cell.size() > MarkedTextUnits) {
    std::size_t cut = MarkedTextUnits;
    if (cell[cut - 1] >= 0xD800 && cell[cut - 1] < 0xDC00) --cut;  // never half a surrogate pair
    cell = cell.substr(0, cut);
  }
  scratch.assign(mark);
  scratch += u' ';
  scratch += cell;
  return scratch;
}

void TableGrid::DeselectHiddenRows() {
  if (view_ == nullptr || !view_->Active()) return;
  grid::UpdateScope update(rows_);
  for (int row = 0; row < rows_.RowCount(); ++row) {
    if (rows_.RowSelected(row) && view_->PositionOf(row) < 0) rows_.SetRowSelected(row, false);
  }
}

void TableGrid::ClickRow(int position) {
  const int row = ShownRow(position);
  rows_.ClearSelection();
  if (row >= 0) rows_.SetRowSelected(row, true);
  rows_.SetCurrentRow(row);
  rows_.SetAnchorRow(row);
}

void TableGrid::CtrlClickRow(int position) {
  const int row = ShownRow(position);
  rows_.SetRowSelected(row, !rows_.RowSelected(row));
  rows_.SetCurrentRow(row);
  rows_.SetAnchorRow(row);
}

void TableGrid::ShiftClickRow(int position, bool addToSelection, int from) {
  // The anchor moves with its row as captures insert rows above it, so the range is the one
  // the user sees between the two clicks.
  int first = rows_.AnchorRow() >= 0 ? ShownPosition(rows_.AnchorRow()) : -1;
  if (first < 0) {
    rows_.SetAnchorRow(ShownRow(from));
    first = from;
  }
  int last = position;
  if (first > last) std::swap(first, last);
  if (!addToSelection) rows_.ClearSelection();
  for (int p = first; p <= last; ++p) rows_.SetRowSelected(ShownRow(p), true);
  rows_.SetCurrentRow(ShownRow(position));
}

void TableGrid::RightClickRow(int position, int x, int y) {
  const int row = ShownRow(position);
  if (row < 0) return;
  {
    grid::UpdateScope update(rows_);
    if (!rows_.RowSelected(row)) ClickRow(position);
    rows_.SetCurrentRow(row);
    rows_.SetAnchorRow(row);
  }
  MenuKey(x, y);
}

void TableGrid::MenuKey(int x, int y) {
  if (OnContextMenu) Raise([&] { OnContextMenu(*this, x, y); });
}

void TableGrid::DblClickCell(int column, int position) {
  ClickRow(position);
  const int row = ShownRow(position);
  if (OnCellDblClick) Raise([&] { OnCellDblClick(*this, column, row); });
}

}  // namespace ui

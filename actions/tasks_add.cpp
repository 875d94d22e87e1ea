#include "actions/tasks_add.h"

#include "actions/action_table.h"
#include "actions/tray_items.h"
#include "grid/data_directory.h"
#include "grid/table_file.h"
#include "history/history_table.h"

namespace actions {

TTasks_form::TTasks_form(ui::Application& app, MainWindow& main)
    : ui::Form(app, "Tasks_form"),
      TableGrid1(this, "TableGrid1", ActionColumns()),
      TableGrid2(this, "TableGrid2", history::HistoryColumns()),
      main_(main) {
  SetCaption("Add action");
  Border = ui::BorderStyle::Single;
  Position = ui::FormPosition::MainFormCenter;
  ClientSized = true;
  MaximizeBox = false;
  SetBounds(0, 0, 481, 320);
  TableGrid1.SetVisible(false);
  TableGrid2.SetVisible(false);
  OpenDialog1.Filter = "Corvilane Clipboard manager template|*.cnfg";
  OpenDialog2.Filter = "Corvilane Clipboard manager history|*.hstr";
  LoadActions();
}

TTasks_form::~TTasks_form() = default;

void TTasks_form::LoadActions() {
  platform::Desktop& desktop = Desktop();
  ui::TableGrid& actionTable = main_.ActionTable();
  ui::TableGrid& historyTable = main_.HistoryTable();
  actionTable.BeginUpdate();
  historyTable.BeginUpdate();
  // Each list is read on its own: a damaged or missing file costs only that list.
  try {
    grid::ReadRowsFromFile(actionTable, desktop.Files(), grid::DataPath(desktop.Files(), grid::ActionsFile), Separator,
                           LineBreakMark);
  } catch (const std::exception&) {
  }
  try {
    history::ReadHistoryFile(historyTable, desktop, grid::DataPath(desktop.Files(), grid::HistoryFile));
  } catch (const std::exception&) {
  }
  actionTable.EndUpdate();
  historyTable.EndUpdate();
  RefreshTrayActionItems(main_);
}

}  // namespace actions

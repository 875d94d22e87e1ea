// The action editor window. It also owns the hotkeys, the import staging tables and the file
// dialogs of the export and import commands.
#pragma once

#include "actions/main_window.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/file_dialogs.h"
#include "ui/form.h"
#include "ui/table_grid.h"

namespace actions {

class TTasks_form : public ui::Form {
 public:
  TTasks_form(ui::Application& app, MainWindow& main);
  ~TTasks_form() override;

  // Hidden staging tables of the imports, and the dialogs.
  ui::TableGrid TableGrid1;
  ui::TableGrid TableGrid2;
  ui::OpenDialog OpenDialog1{*this};
  ui::OpenDialog OpenDialog2{*this};
  ui::SaveDialog SaveDialog1{*this};

  // Reads both lists at start-up and prepares what depends on them.
  void LoadActions();

 private:
  MainWindow& main_;
};

}  // namespace actions

// What the action editor needs of the main window, which holds the lists.
#pragma once

#include <array>

#include "ui/form.h"
#include "ui/menu.h"
#include "ui/table_grid.h"

namespace actions {

constexpr int TrayActionSlots = 100;

class MainWindow {
 public:
  virtual ui::Form& MainForm() = 0;
  virtual ui::TableGrid& ActionTable() = 0;   // TableGrid1
  virtual ui::TableGrid& HistoryTable() = 0;  // TableGrid2
  virtual std::array<ui::MenuItem*, TrayActionSlots>& TrayActionItems() = 0;

 protected:
  ~MainWindow() = default;
};

}  // namespace actions

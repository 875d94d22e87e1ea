// The tray menu's numbered items, one per action, captioned with the action's name.
#pragma once

#include "actions/main_window.h"
#include "platform/desktop.h"

namespace actions {

// Shows one item per row (at most the slots there are) with the row's name, hides the rest.
void RefreshTrayActionItems(MainWindow& main);
// An item was chosen: every action of that name puts its text on the clipboard.
void N11Click(MainWindow& main, ui::MenuItem& sender);

}  // namespace actions

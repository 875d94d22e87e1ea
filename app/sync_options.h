// The "Options" tab's group for sync between the user's computers: the folder, the code, the
// button that starts and stops it, its status, and whether what comes from the others goes on
// this computer's clipboard.
#pragma once

#include "sync/sync.h"
#include "ui/controls.h"

namespace app {

class SyncOptions : public ui::GroupBox {
 public:
  explicit SyncOptions(ui::Control* parent);

  ui::Label SyncFolderLabel{this, "SyncFolderLabel", "Sync folder:"};
  ui::Edit SyncFolder_e{this, "SyncFolder_e"};
  ui::Button SyncChoose{this, "SyncChoose", "Choose\u2026"};
  ui::Label SyncCodeLabel{this, "SyncCodeLabel", "Sync code:"};
  ui::Edit SyncCode_e{this, "SyncCode_e"};
  ui::Button SyncStart{this, "SyncStart", "Start sync"};
  ui::Label SyncStatus{this, "SyncStatus", "Sync is off."};
  ui::CheckBox SyncToClipboard{this, "SyncToClipboard",
                               "Put what I copy on my other computers' clipboards too"};

  // Shows the state of `sync`: its folder and code while on, the button's caption and the status.
  void Show(syncing::Sync& sync);
  // Shows the kept choice of "Put what I copy on my other computers' clipboards too".
  void ShowChoice(syncing::Sync& sync);
};

}  // namespace app

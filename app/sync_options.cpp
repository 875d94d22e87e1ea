#include "app/sync_options.h"

#include "platform/utf.h"

namespace app {

SyncOptions::SyncOptions(ui::Control* parent)
    : ui::GroupBox(parent, "SyncOptions", "Sync between my computers") {
  SyncFolderLabel.SetBounds(12, 20, 70, 17);
  SyncFolder_e.SetBounds(84, 17, 124, 21);
  SyncChoose.SetBounds(212, 15, 70, 25);
  SyncCodeLabel.SetBounds(12, 46, 70, 17);
  SyncCode_e.SetBounds(84, 43, 198, 21);
  SyncStart.SetBounds(12, 70, 90, 25);
  SyncStatus.SetBounds(108, 68, 174, 34);
  SyncStatus.AutoSize = false;
  SyncStatus.WordWrap = true;
  SyncToClipboard.SetBounds(12, 106, 270, 30);
  for (ui::Control* control : std::initializer_list<ui::Control*>{&SyncFolder_e, &SyncCode_e, &SyncStatus})
    control->SetAnchors(ui::AnchorLeft | ui::AnchorTop | ui::AnchorRight);
  SyncChoose.SetAnchors(ui::AnchorRight | ui::AnchorTop);
}

void SyncOptions::Show(syncing::Sync& sync) {
  if (sync.Active() || !sync.Folder().empty()) {
    if (SyncFolder_e.Text().empty() || sync.Active())
      SyncFolder_e.SetText(platform::Utf8ToUtf16(sync.Folder()));
  }
  if (sync.Active() && !sync.Code().empty()) SyncCode_e.SetText(platform::Utf8ToUtf16(sync.Code()));
  SyncStart.SetCaption(sync.Active() ? "Stop sync" : "Start sync");
  SyncStatus.SetCaption(sync.Status());
  // The check box is the user's: sync reads it at each arrival. Set from the kept choice only at
  // the start (ShowChoice); a refresh of the status would otherwise undo a click every second.
}

void SyncOptions::ShowChoice(syncing::Sync& sync) { SyncToClipboard.SetChecked(sync.PutOnClipboard()); }

}  // namespace app

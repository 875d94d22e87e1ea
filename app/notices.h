// What the program tells the user without a box that waits for an answer: balloons over the
// tray icon, and the icon's tip, which says whether copies are being recorded and saved.
#pragma once

#include <string>
#include <vector>

#include "tray/tray_icon.h"

namespace app {

class Notices {
 public:
  // `icon` must outlive the notices.
  explicit Notices(tray::TTrayIcon& icon) : icon_(icon) {}

  // One balloon for all of them; nothing for none.
  void Tell(const std::vector<std::string>& notices);
  // Once a run: an entry's items were missing or damaged when it was put on the clipboard.
  // `itemsFolder` is the name of the folder they were looked for in.
  void TellMissingItems(const std::string& itemsFolder);

  // The tip: paused, copies not being saved, or the program's name.
  void SetPaused(bool paused);
  void SetNotSaving(bool notSaving);

 private:
  void ShowRecordingState();

  tray::TTrayIcon& icon_;
  bool paused_ = false;
  bool notSaving_ = false;
  bool toldMissingItems_ = false;
};

}  // namespace app

#include "app/notices.h"

#include "app/program_names.h"

namespace app {

void Notices::Tell(const std::vector<std::string>& notices) {
  if (notices.empty()) return;
  std::string text;
  for (const std::string& notice : notices) text += (text.empty() ? "" : " ") + notice;
  icon_.ShowBalloon(ProductName, text, true);
}

void Notices::TellMissingItems(const std::string& itemsFolder) {
  // Every later re-copy of such an entry would say the same.
  if (toldMissingItems_) return;
  toldMissingItems_ = true;
  Tell({"What this entry kept besides its text (an image, formatting or files) is missing from " +
        itemsFolder + " or damaged; the entry's text was copied instead."});
}

void Notices::SetPaused(bool paused) {
  paused_ = paused;
  ShowRecordingState();
}

void Notices::SetNotSaving(bool notSaving) {
  notSaving_ = notSaving;
  ShowRecordingState();
}

void Notices::ShowRecordingState() {
  icon_.Hint = paused_ ? "Recording paused" : notSaving_ ? "Copies are not being saved" : ProductName;
  icon_.Refresh();
}

}  // namespace app

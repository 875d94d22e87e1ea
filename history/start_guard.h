// A start that a crash ended must not end every start after it. A system codec that crashes on
// an image takes the program with it, and the same image would be drawn again at the next
// start; so while the pictures of a start are being made, a marker beside the history names
// the images being decoded. A start that finds the marker left behind sets those images aside
// for good, makes no pictures in its own run, and tells the user once.
#pragma once

#include <string>
#include <unordered_set>
#include <vector>

#include "history/thumbnails.h"
#include "platform/desktop.h"

namespace history {

class StartGuard {
 public:
  // `historyPath` is the history file's: the marker is "<history>.starting" and the images set
  // aside are listed in "<history>.set-aside", one name a line.
  StartGuard(platform::IFiles& files, std::string historyPath);
  ~StartGuard();
  StartGuard(const StartGuard&) = delete;
  StartGuard& operator=(const StartGuard&) = delete;

  // Reads what earlier starts left: the images an unfinished one was decoding join those set
  // aside. Returns those it found now (empty when the last start finished).
  std::vector<std::string> Begin();
  const std::unordered_set<std::string>& SetAside() const { return setAside_; }

  // A decoding of the start begins or ends; once none is left after the first, the start is
  // over and the marker goes.
  void Decoding(const std::string& item);
  void Decoded(const std::string& item);
  bool Finished() const { return finished_; }

  // Begin, then the thumbnails told what to leave out and hooked to the marker until the guard
  // goes. Returns the notice for the user, or an empty text.
  std::string Guard(Thumbnails& thumbnails);

 private:
  void WriteMarker();

  platform::IFiles& files_;
  std::string marker_, setAsidePath_;
  std::unordered_set<std::string> setAside_, decoding_;
  Thumbnails* guarded_ = nullptr;
  bool finished_ = false;
};

}  // namespace history

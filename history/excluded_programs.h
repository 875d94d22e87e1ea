// The programs whose copies are never recorded: password managers by default, or the list the
// user keeps in Data\excluded_programs.cnfg (a table text file of one file name a row), which
// replaces the default list whole.
#pragma once

#include <string>
#include <vector>

#include "platform/desktop.h"

namespace history {

class ExcludedPrograms {
 public:
  // The list that applies while the user's file does not exist.
  static const std::vector<std::u16string>& Defaults();

  explicit ExcludedPrograms(platform::Desktop& desktop);

  // Reads the user's file, or takes the default list when there is none. A file that cannot be
  // read or is damaged keeps the default list, so that nothing is recorded that the defaults
  // keep out; returns what the user should be told, or an empty text.
  std::string Load();
  // Whether copies from the executable named `fileName` (without folder) are kept out; the
  // names are compared without regard to case.
  bool Excludes(std::u16string_view fileName) const;
  // Whether the program that owns the clipboard now (or, when no window owns it, the program
  // of the foreground window) is kept out.
  bool ExcludesClipboardSource() const;

  // The names in force, as the user or the default list wrote them.
  const std::vector<std::u16string>& Names() const { return names_; }
  // Puts `names` in force (blank ones dropped) and writes them to the user's file, replacing
  // it; raises platform::IoError when it cannot be written, the names staying in force.
  void Apply(const std::vector<std::u16string>& names);

 private:
  void Take(const std::vector<std::u16string>& names);

  platform::Desktop& desktop_;
  std::vector<std::u16string> names_;
  std::vector<std::u16string> upper_;  // the names in upper case, as they are compared
};

}  // namespace history

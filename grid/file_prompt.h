// Asking the user which file to export to or import from. The commands that need a file name
// ask through this; the program answers with its common file dialogs.
#pragma once

#include <string>

namespace grid {

class FilePrompt {
 public:
  // `filter` is "Description|*.ext"; an empty `initialDir` leaves the folder to the system.
  // True, with the chosen name in `fileName`, when the user chose a file.
  virtual bool AskFileToSave(const std::string& filter, std::string& fileName) = 0;
  virtual bool AskFileToOpen(const std::string& filter, const std::string& initialDir,
                             std::string& fileName) = 0;

 protected:
  ~FilePrompt() = default;
};

}  // namespace grid

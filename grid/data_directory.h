// The program's data files: the folder "Data" beside the executable.
#pragma once

#include <string>

#include "platform/files.h"

namespace grid {

constexpr const char* ActionsFile = "actions.cnfg";
constexpr const char* HistoryFile = "clipboard_history.hstr";
constexpr const char* SettingsFile = "settings.stng";
constexpr const char* ExcludedProgramsFile = "excluded_programs.cnfg";

// The executable's folder: its path without the last component and the separator before it.
// Only a drive's root keeps its separator, so a suffix then yields two in a row, which the file
// functions accept.
inline std::string ExeDirectory(platform::IFiles& files) {
  std::string path = files.GetModuleFileNameW();
  std::size_t slash = path.find_last_of('\\');
  if (slash == std::string::npos) return std::string();
  if (slash == 2 && path[1] == ':') return path.substr(0, 3);
  return path.substr(0, slash);
}

// The full name of one data file, formed anew at every use so that it follows the executable.
// This is the one place that knows where the data files live.
inline std::string DataPath(platform::IFiles& files, const char* name) {
  return ExeDirectory(files) + "\\Data\\" + name;
}

}  // namespace grid

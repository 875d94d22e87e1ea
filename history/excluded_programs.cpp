#include "history/excluded_programs.h"

#include <algorithm>

#include "grid/data_directory.h"
#include "grid/data_file.h"
#include "grid/table.h"
#include "grid/text_query.h"
#include "platform/utf.h"

namespace history {

namespace {

std::u16string Upper(std::u16string_view text) {
  std::u16string upper(text);
  for (char16_t& unit : upper) unit = grid::UpperUnit(unit);
  return upper;
}

std::vector<std::u16string> UpperAll(const std::vector<std::u16string>& names) {
  std::vector<std::u16string> upper;
  for (const std::u16string& name : names) upper.push_back(Upper(name));
  return upper;
}

}  // namespace

const std::vector<std::u16string>& ExcludedPrograms::Defaults() {
  static const std::vector<std::u16string> names = {
      u"KeePass.exe",  u"KeePassXC.exe", u"1Password.exe", u"Bitwarden.exe",
      u"Dashlane.exe", u"Enpass.exe",    u"RoboForm.exe",  u"NordPass.exe",
  };
  return names;
}

ExcludedPrograms::ExcludedPrograms(platform::Desktop& desktop)
    : desktop_(desktop), names_(UpperAll(Defaults())) {}

std::string ExcludedPrograms::Load() {
  names_ = UpperAll(Defaults());
  grid::Table rows({{"Program", u"Program", grid::ColumnKind::Text}});
  const std::string path = grid::DataPath(desktop_.Files(), grid::ExcludedProgramsFile);
  const grid::DataFileLoad load =
      grid::LoadDataFile(rows, desktop_.Files(), desktop_.Clock(), path, u',', u'|');
  if (load.state == grid::DataFileLoad::State::Read && !load.malformed) {
    names_.clear();
    for (int row = 0; row < rows.RowCount(); ++row) {
      std::u16string name = rows.Cell(0, row);
      // A name typed with spaces around it still names the program.
      const auto first = name.find_first_not_of(u" \t");
      const auto last = name.find_last_not_of(u" \t");
      if (first == std::u16string::npos) continue;
      names_.push_back(Upper(std::u16string_view(name).substr(first, last - first + 1)));
    }
  }
  return grid::LoadNotice(desktop_.Files(), load, "The list of programs kept out of the history",
                          "list of programs kept out of the history",
                          "; copies from the usual password managers are kept out meanwhile.");
}

bool ExcludedPrograms::Excludes(std::u16string_view fileName) const {
  if (fileName.empty()) return false;
  return std::find(names_.begin(), names_.end(), Upper(fileName)) != names_.end();
}

bool ExcludedPrograms::ExcludesClipboardSource() const {
  platform::Hwnd source = desktop_.Clipboard().GetClipboardOwner();
  if (source == 0) source = desktop_.Windows().GetForegroundWindow();
  if (source == 0) return false;
  return Excludes(platform::Utf8ToUtf16(desktop_.Windows().GetWindowProgramFileName(source)));
}

}  // namespace history

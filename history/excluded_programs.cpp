#include "history/excluded_programs.h"

#include <algorithm>

#include "grid/data_directory.h"
#include "grid/data_file.h"
#include "grid/table.h"
#include "grid/table_file.h"
#include "grid/text_query.h"
#include "platform/utf.h"

namespace history {

namespace {

std::u16string Upper(std::u16string_view text) {
  std::u16string upper(text);
  for (char16_t& unit : upper) unit = grid::UpperUnit(unit);
  return upper;
}

// Without the spaces a name typed by hand may have around it.
std::u16string Trimmed(std::u16string_view name) {
  const auto first = name.find_first_not_of(u" \t");
  if (first == std::u16string_view::npos) return {};
  const auto last = name.find_last_not_of(u" \t");
  return std::u16string(name.substr(first, last - first + 1));
}

grid::Table NameTable() { return grid::Table({{"Program", u"Program", grid::ColumnKind::Text}}); }

std::string FilePath(platform::Desktop& desktop) {
  return grid::DataPath(desktop.Files(), grid::ExcludedProgramsFile);
}

}  // namespace

const std::vector<std::u16string>& ExcludedPrograms::Defaults() {
  static const std::vector<std::u16string> names = {
      u"KeePass.exe",  u"KeePassXC.exe", u"1Password.exe", u"Bitwarden.exe",
      u"Dashlane.exe", u"Enpass.exe",    u"RoboForm.exe",  u"NordPass.exe",
  };
  return names;
}

ExcludedPrograms::ExcludedPrograms(platform::Desktop& desktop) : desktop_(desktop) { Take(Defaults()); }

void ExcludedPrograms::Take(const std::vector<std::u16string>& names) {
  names_.clear();
  upper_.clear();
  for (const std::u16string& name : names) {
    std::u16string trimmed = Trimmed(name);
    if (trimmed.empty()) continue;
    upper_.push_back(Upper(trimmed));
    names_.push_back(std::move(trimmed));
  }
}

std::string ExcludedPrograms::Load() {
  Take(Defaults());
  grid::Table rows = NameTable();
  const grid::DataFileLoad load =
      grid::LoadDataFile(rows, desktop_.Files(), desktop_.Clock(), FilePath(desktop_), u',', u'|');
  if (load.state == grid::DataFileLoad::State::Read && !load.malformed) {
    std::vector<std::u16string> names;
    for (int row = 0; row < rows.RowCount(); ++row) names.push_back(rows.Cell(0, row));
    Take(names);
  }
  return grid::LoadNotice(desktop_.Files(), load, "The list of programs kept out of the history",
                          "list of programs kept out of the history",
                          "; copies from the usual password managers are kept out meanwhile.");
}

bool ExcludedPrograms::Excludes(std::u16string_view fileName) const {
  if (fileName.empty()) return false;
  return std::find(upper_.begin(), upper_.end(), Upper(fileName)) != upper_.end();
}

void ExcludedPrograms::Apply(const std::vector<std::u16string>& names) {
  Take(names);
  grid::Table rows = NameTable();
  for (const std::u16string& name : names_) rows.SetCell(0, rows.AppendRow(), name);
  grid::WriteRowsToFile(rows, desktop_.Files(), desktop_.CodePage(), FilePath(desktop_), u',', u'|',
                        grid::Utf16LeEncoding);
}

bool ExcludedPrograms::ExcludesClipboardSource() const {
  platform::Hwnd source = desktop_.Clipboard().GetClipboardOwner();
  if (source == 0) source = desktop_.Windows().GetForegroundWindow();
  if (source == 0) return false;
  return Excludes(platform::Utf8ToUtf16(desktop_.Windows().GetWindowProgramFileName(source)));
}

}  // namespace history

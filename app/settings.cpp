// The options in settings.stng and the autostart value.
#include "app/settings.h"

#include "app/program_names.h"
#include "app/registry_strings.h"
#include "app/settings_text.h"
#include "grid/data_directory.h"
#include "grid/data_file.h"
#include "grid/table_file.h"
#include "platform/errors.h"

namespace app {

using namespace platform;

namespace {

std::string Quoted(const std::string& text, char quote) {
  std::string quoted(1, quote);
  quoted.append(text).push_back(quote);
  return quoted;
}

}  // namespace

SettingsRead ReadSettings(Desktop& desktop) {
  SettingsRead read;
  Settings& settings = read.settings;
  IFiles& files = desktop.Files();
  std::string bytes;
  const std::string path = grid::DataPath(files, grid::SettingsFile);
  if (files.ReadAll(path, bytes) != 0) return read;
  const std::vector<std::string> lines = SplitSettingsLines(bytes);
  // The next save replaces the file: what it held is kept beside it first, and the user told.
  if (SettingsLinesDamaged(lines)) {
    grid::DataFileLoad load;
    load.state = grid::DataFileLoad::State::Read;
    load.malformed = true;
    load.keptAs = grid::KeepAside(files, path, bytes);
    read.notice = grid::LoadNotice(files, load, "The settings", "settings file", "");
  }
  // The first three lines are read in order, and the first that does not read leaves itself and
  // the rest at their defaults, as every version has read them.
  try {
    if (lines.size() < 1) return read;
    settings.startAutomatically = SettingsBool(lines[0]);
    if (lines.size() < 2) return read;
    settings.trayOnly = SettingsBool(lines[1]);
    if (lines.size() < 3) return read;
    settings.activePage = SettingsInt(lines[2]);
  } catch (const std::exception&) {
  }
  // The quick-paste hotkey's line stands apart from the three before it: files written before
  // it existed have only those, and a damaged one of them must not cost the hotkey.
  if (lines.size() > 3) SettingsHotKey(lines[3], settings.quickPaste);
  // So do the limits, each on its own; a negative number is no limit, as 0 is.
  auto limit = [&lines](std::size_t index, int& value) {
    if (lines.size() <= index) return;
    if (const std::optional<int> number = ReadSettingsInt(lines[index]); number && *number > 0)
      value = *number;
  };
  limit(4, settings.limits.days);
  limit(5, settings.limits.maxEntries);
  // Whether the history and the actions are sealed for the Windows account; any other text
  // than a boolean keeps them plain.
  settings.seal = lines.size() > 6 && ReadSettingsBool(lines[6]).value_or(false);
  return read;
}

std::string SettingsBytes(const Settings& settings) {
  return JoinSettingsLines({SettingsBoolText(settings.startAutomatically),
                            SettingsBoolText(settings.trayOnly),
                            std::to_string(settings.activePage.value_or(0)),
                            std::to_string(settings.quickPaste), std::to_string(settings.limits.days),
                            std::to_string(settings.limits.maxEntries), SettingsBoolText(settings.seal)});
}

void WriteSettings(Desktop& desktop, const Settings& settings, const std::string& exePath) {
  const std::string bytes = SettingsBytes(settings);
  IFiles& files = desktop.Files();
  const std::string path = grid::DataPath(files, grid::SettingsFile);
  if (Dword error = grid::ReplaceFileContents(files, path, bytes.data(), bytes.size()))
    throw Error("Cannot create file " + Quoted(path, '"') + ". " + files.ErrorText(error));

  // Quoted, so that a path with spaces cannot start another program at log-on.
  const std::string command = settings.startAutomatically ? Quoted(exePath, '"') : std::string();
  WriteRegistryString(desktop.Registry(), HkeyCurrentUser, RunKey, RunValue, command);
}

}  // namespace app

// The options and the active tab in settings.stng, the autostart value and the first run.
#include "app/registry_strings.h"
#include "app/settings_text.h"
#include "app/unit1.h"
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

const std::string& Line(const std::vector<std::string>& lines, std::size_t index) {
  if (index >= lines.size()) throw Error("List index out of bounds");
  return lines[index];
}

}  // namespace

void TForm1::LoadSettings() {
  try {
    settings_m.Clear();
    std::string bytes;
    std::string path = grid::DataPath(Desktop().Files(), grid::SettingsFile);
    if (Desktop().Files().ReadAll(path, bytes) != 0) throw Error("Cannot open file " + Quoted(path, '"'));
    settings_m.SetLines(SplitSettingsLines(bytes));
    // The next save replaces the file: what it held is kept beside it first, and the user told.
    if (SettingsLinesDamaged(settings_m.Lines())) {
      grid::DataFileLoad load;
      load.state = grid::DataFileLoad::State::Read;
      load.malformed = true;
      load.keptAs = grid::KeepAside(Desktop().Files(), path, bytes);
      settingsNotice_ = grid::LoadNotice(Desktop().Files(), load, "The settings", "settings file", "");
    }
    CheckBox1.SetChecked(SettingsBool(Line(settings_m.Lines(), 0)));
    CheckBox2.SetChecked(SettingsBool(Line(settings_m.Lines(), 1)));
    PageControl1.SetActivePageIndex(SettingsInt(Line(settings_m.Lines(), 2)));
  } catch (const std::exception&) {
    // A missing or damaged file leaves the rest at the defaults.
  }
  // The quick-paste hotkey's line stands apart from the three before it: files written before
  // it existed have only those, and a damaged one of them must not cost the hotkey.
  hotkeys::HotKey quickPaste = 0;
  if (settings_m.Lines().size() > 3 && SettingsHotKey(settings_m.Lines()[3], quickPaste))
    QuickPasteBox.SetValue(quickPaste);
  // So do the limits, each on its own; a negative number is no limit, as 0 is.
  history::RetentionLimits limits;
  auto limit = [this](std::size_t index, int& value) {
    if (settings_m.Lines().size() <= index) return;
    if (const std::optional<int> number = ReadSettingsInt(settings_m.Lines()[index]); number && *number > 0)
      value = *number;
  };
  limit(4, limits.days);
  limit(5, limits.maxEntries);
  recorder_.SetLimits(limits);
  ShowRetentionLimits(limits);
  // Line 7: whether the history and the actions are sealed for the Windows account; any other
  // text than a boolean keeps them plain.
  const bool seal = settings_m.Lines().size() > 6 && ReadSettingsBool(settings_m.Lines()[6]).value_or(false);
  SealBox.SetChecked(seal);
  history_.SetSealing(seal);
  actions_.SetSealing(seal);
  if (!CheckBox2.Checked()) {
    Show();
    Desktop().Windows().ShowWindow(App().Handle(), SwShowNormal);
  }
}

void TForm1::SaveSettings() {
  settings_m.Clear();
  settings_m.Append(SettingsBoolText(CheckBox1.Checked()));
  settings_m.Append(SettingsBoolText(CheckBox2.Checked()));
  settings_m.Append(std::to_string(PageControl1.ActivePageIndex()));
  settings_m.Append(std::to_string(QuickPasteBox.Value()));
  settings_m.Append(std::to_string(recorder_.Limits().days));
  settings_m.Append(std::to_string(recorder_.Limits().maxEntries));
  settings_m.Append(SettingsBoolText(history_.Sealing()));
  const std::string bytes = JoinSettingsLines(settings_m.Lines());

  IFiles& files = Desktop().Files();
  std::string path = grid::DataPath(files, grid::SettingsFile);
  // Replaced whole, so that a failed save keeps the previous file.
  if (Dword error = grid::ReplaceFileContents(files, path, bytes.data(), bytes.size()))
    throw Error("Cannot create file " + Quoted(path, '"') + ". " + files.ErrorText(error));

  // Quoted, so that a path with spaces cannot start another program at log-on.
  std::string command = CheckBox1.Checked() ? Quoted(ExePath(), '"') : std::string();
  WriteRegistryString(Desktop().Registry(), HkeyCurrentUser, RunKey, RunValue, command);
}

void TForm1::FirstRunCheck() {
  std::string text;
  ReadRegistryString(Desktop().Registry(), HkeyCurrentUser, MarkerKey, MarkerValue, text);
  if (text == "1") return;
  Desktop().Shell().ShellExecuteA(Handle(), "open", FirstRunPage, "", "", SwShowNormal);
  Show();
  WriteRegistryString(Desktop().Registry(), HkeyCurrentUser, MarkerKey, MarkerValue, "1");
}

}  // namespace app

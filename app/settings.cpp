// The options and the active tab in settings.stng, the autostart value and the first run.
#include <cctype>
#include <cstdlib>

#include "app/registry_strings.h"
#include "app/unit1.h"
#include "grid/data_directory.h"
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

// The settings file's lines; a line break is CR LF, a lone CR or a lone LF.
std::vector<std::string> SplitLines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    char c = bytes[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(line);
      line.clear();
      if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

bool IsNumber(const std::string& text) {
  if (text.empty()) return false;
  const char* begin = text.c_str();
  char* end = nullptr;
  std::strtod(begin, &end);
  return end == begin + text.size() && !std::isspace(static_cast<unsigned char>(text[0]));
}

bool EqualsIgnoringCase(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i]; ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return i == a.size() && b[i] == 0;
}

// A number (zero is false) or the words True and False in any letter case.
bool ToBool(const std::string& line) {
  if (IsNumber(line)) return std::strtod(line.c_str(), nullptr) != 0;
  if (EqualsIgnoringCase(line, "true")) return true;
  if (EqualsIgnoringCase(line, "false")) return false;
  throw Error(Quoted(line, '\'') + " is not a valid boolean value");
}

int ToInt(const std::string& line) {
  std::size_t i = 0;
  if (i < line.size() && (line[i] == '-' || line[i] == '+')) ++i;
  if (i == line.size()) throw Error(Quoted(line, '\'') + " is not a valid integer value");
  for (std::size_t j = i; j < line.size(); ++j)
    if (!std::isdigit(static_cast<unsigned char>(line[j])))
      throw Error(Quoted(line, '\'') + " is not a valid integer value");
  long value = std::strtol(line.c_str(), nullptr, 10);
  if (value > 2147483647L || value < -2147483647L - 1)
    throw Error(Quoted(line, '\'') + " is not a valid integer value");
  return static_cast<int>(value);
}

const std::string& Line(const std::vector<std::string>& lines, std::size_t index) {
  if (index >= lines.size()) throw Error("List index out of bounds");
  return lines[index];
}

// The settings file is replaced whole, so that a failed save keeps the previous one.
Dword ReplaceFileContents(IFiles& files, const std::string& path, const std::string& bytes) {
  if (files.IsReadOnly(path)) return ErrorAccessDenied;
  std::string temporary = path + ".tmp";
  FileHandle file = 0;
  if (Dword error = files.CreateForWriting(temporary, file)) return error;
  Dword error = files.Write(file, bytes.data(), bytes.size());
  if (error == 0) error = files.Flush(file);
  Dword closeError = files.Close(file);
  if (error == 0) error = closeError;
  if (error == 0) error = files.Replace(temporary, path);
  if (error != 0) files.Delete(temporary);
  return error;
}

}  // namespace

void TForm1::LoadSettings() {
  try {
    settings_m.Clear();
    std::string bytes;
    std::string path = grid::DataPath(Desktop().Files(), grid::SettingsFile);
    if (Desktop().Files().ReadAll(path, bytes) != 0) throw Error("Cannot open file " + Quoted(path, '"'));
    settings_m.SetLines(SplitLines(bytes));
    CheckBox1.SetChecked(ToBool(Line(settings_m.Lines(), 0)));
    CheckBox2.SetChecked(ToBool(Line(settings_m.Lines(), 1)));
    PageControl1.SetActivePageIndex(ToInt(Line(settings_m.Lines(), 2)));
  } catch (const std::exception&) {
    // A missing or damaged file leaves the rest at the defaults.
  }
  if (!CheckBox2.Checked()) {
    Show();
    Desktop().Windows().ShowWindow(App().Handle(), SwShowNormal);
  }
}

void TForm1::SaveSettings() {
  settings_m.Clear();
  settings_m.Append(CheckBox1.Checked() ? "-1" : "0");
  settings_m.Append(CheckBox2.Checked() ? "-1" : "0");
  settings_m.Append(std::to_string(PageControl1.ActivePageIndex()));
  std::string bytes;
  for (const std::string& line : settings_m.Lines()) bytes += line + "\r\n";

  IFiles& files = Desktop().Files();
  std::string path = grid::DataPath(files, grid::SettingsFile);
  if (Dword error = ReplaceFileContents(files, path, bytes))
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

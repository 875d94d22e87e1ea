// The settings file as arbitrary bytes: reading never crashes, the lines read are written back
// as the program writes them and read again unchanged, and each value the program reads from
// a line is written as the program writes it and reads back as the same value.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "app/settings_text.h"
#include "platform/errors.h"

namespace {

// The raising reader gives the value the other gives, and raises where that one gives nothing.
template <typename T>
void AgreesWith(T (*raising)(const std::string&), const std::string& line, const std::optional<T>& read) {
  try {
    if (const T value = raising(line); !read || value != *read) std::abort();
  } catch (const platform::Error&) {
    if (read) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> lines = app::SplitSettingsLines(bytes);
  for (const std::string& line : lines) {
    if (line.find_first_of("\r\n") != std::string::npos) std::abort();
  }
  if (app::SplitSettingsLines(app::JoinSettingsLines(lines)) != lines) std::abort();

  std::vector<std::string> written;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    // Most lines are no value: the forms that give nothing run here, as the raising ones cost
    // an exception per line, and the raising ones must agree with them on the first line.
    const std::optional<bool> flag = app::ReadSettingsBool(line);
    const std::optional<int> number = app::ReadSettingsInt(line);
    if (i == 0) {
      AgreesWith(app::SettingsBool, line, flag);
      AgreesWith(app::SettingsInt, line, number);
    }
    if (flag) {
      written.push_back(app::SettingsBoolText(*flag));
      if (app::ReadSettingsBool(written.back()) != flag) std::abort();
    }
    if (number) {
      written.push_back(std::to_string(*number));
      if (app::ReadSettingsInt(written.back()) != number) std::abort();
    }
    // A hotkey line that reads is written as its value, which reads back as the same hotkey.
    hotkeys::HotKey hotkey = 0;
    if (app::SettingsHotKey(line, hotkey)) {
      written.push_back(std::to_string(hotkey));
      hotkeys::HotKey again = 1;
      if (!app::SettingsHotKey(written.back(), again) || again != hotkey) std::abort();
      if (hotkey != 0 && (hotkey & 0xFF) == 0) std::abort();
    }
  }
  // What the program writes, it reads back line for line.
  const std::vector<std::string> again = app::SplitSettingsLines(app::JoinSettingsLines(written));
  if (again != written) std::abort();
  return 0;
}

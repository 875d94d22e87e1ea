#include "app/settings_text.h"

#include <cctype>
#include <cstdlib>

#include "platform/errors.h"

namespace app {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Sign, digits, an optional fraction and exponent; at least one digit before the exponent.
// Stricter than strtod, which would also take "inf", "nan" and hexadecimal forms.
bool IsNumber(const std::string& text) {
  std::size_t i = 0, n = text.size();
  if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < n && IsDigit(text[i])) ++i, ++digits;
  if (i < n && text[i] == '.') {
    ++i;
    while (i < n && IsDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t exponent = 0;
    while (i < n && IsDigit(text[i])) ++i, ++exponent;
    if (exponent == 0) return false;
  }
  return i == n;
}

// A number is zero when it has no digit other than 0 before its exponent.
bool IsZero(const std::string& number) {
  for (char c : number) {
    if (c == 'e' || c == 'E') break;
    if (IsDigit(c) && c != '0') return false;
  }
  return true;
}

bool EqualsIgnoringCase(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i]; ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return i == a.size() && b[i] == 0;
}

[[noreturn]] void NotValid(const std::string& line, const char* what) {
  std::string message(1, '\'');
  message.append(line).append("' is not a valid ").append(what).append(" value");
  throw platform::Error(message);
}

}  // namespace

std::vector<std::string> SplitSettingsLines(const std::string& bytes) {
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

std::string JoinSettingsLines(const std::vector<std::string>& lines) {
  std::string bytes;
  for (const std::string& line : lines) bytes.append(line).append("\r\n");
  return bytes;
}

std::string SettingsBoolText(bool value) { return value ? "-1" : "0"; }

std::optional<bool> ReadSettingsBool(const std::string& line) {
  if (IsNumber(line)) return !IsZero(line);
  if (EqualsIgnoringCase(line, "true")) return true;
  if (EqualsIgnoringCase(line, "false")) return false;
  return std::nullopt;
}

bool SettingsBool(const std::string& line) {
  const std::optional<bool> value = ReadSettingsBool(line);
  if (!value) NotValid(line, "boolean");
  return *value;
}

std::optional<int> ReadSettingsInt(const std::string& line) {
  std::size_t i = line.size() > 0 && (line[0] == '-' || line[0] == '+') ? 1 : 0;
  if (i == line.size() || line.size() - i > 10) return std::nullopt;
  for (std::size_t j = i; j < line.size(); ++j)
    if (!IsDigit(line[j])) return std::nullopt;
  long long value = std::strtoll(line.c_str(), nullptr, 10);
  if (value > 2147483647LL || value < -2147483648LL) return std::nullopt;
  return static_cast<int>(value);
}

int SettingsInt(const std::string& line) {
  const std::optional<int> value = ReadSettingsInt(line);
  if (!value) NotValid(line, "integer");
  return *value;
}

bool SettingsHotKey(const std::string& line, hotkeys::HotKey& value) {
  if (line.empty() || line.size() > 6) return false;
  for (char c : line)
    if (!IsDigit(c)) return false;
  const unsigned long number = std::strtoul(line.c_str(), nullptr, 10);
  constexpr unsigned long Modifiers =
      hotkeys::HotKeyCtrl | hotkeys::HotKeyShift | hotkeys::HotKeyAlt | hotkeys::HotKeyWin;
  if ((number & ~(Modifiers | 0xFF)) != 0 || (number != 0 && (number & 0xFF) == 0)) return false;
  value = static_cast<hotkeys::HotKey>(number);
  return true;
}

bool SettingsLinesDamaged(const std::vector<std::string>& lines) {
  if (lines.size() < 3 || !ReadSettingsBool(lines[0]) || !ReadSettingsBool(lines[1]) ||
      !ReadSettingsInt(lines[2]))
    return true;
  hotkeys::HotKey hotkey = 0;
  if (lines.size() > 3 && !SettingsHotKey(lines[3], hotkey)) return true;
  for (std::size_t limit : {4u, 5u})
    if (lines.size() > limit && !ReadSettingsInt(lines[limit])) return true;
  if (lines.size() > 6 && !ReadSettingsBool(lines[6])) return true;
  return lines.size() > 7 && !SettingsHotKey(lines[7], hotkey);
}

}  // namespace app

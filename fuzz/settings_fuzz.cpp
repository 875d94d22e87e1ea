// The settings reader takes any bytes: it never crashes, and what it reads writes back the same.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/settings_text.h"
#include "platform/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  for (const std::string& line : app::SplitSettingsLines(bytes)) {
    if (line.find_first_of("\r\n") != std::string::npos) std::abort();
    try {
      bool value = app::SettingsBool(line);
      if (app::SettingsBool(value ? "-1" : "0") != value) std::abort();
    } catch (const platform::Error&) {
    }
    try {
      int value = app::SettingsInt(line);
      if (app::SettingsInt(std::to_string(value)) != value) std::abort();
    } catch (const platform::Error&) {
    }
  }
  return 0;
}

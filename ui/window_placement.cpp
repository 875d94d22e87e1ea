#include "ui/window_placement.h"

#include <charconv>
#include <vector>

namespace ui {

std::string PlacementText(const Form::Placement& placement) {
  const Bounds& b = placement.normal;
  return std::to_string(b.left) + "," + std::to_string(b.top) + "," + std::to_string(b.width) + "," +
         std::to_string(b.height) + "," + (placement.maximized ? "1" : "0");
}

std::optional<Form::Placement> ParsePlacement(std::string_view text) {
  std::vector<int> values;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = std::min(text.find(',', start), text.size());
    const std::string_view field = text.substr(start, end - start);
    int value = 0;
    const auto [rest, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (field.empty() || error != std::errc() || rest != field.data() + field.size()) return std::nullopt;
    values.push_back(value);
    start = end + 1;
  }
  if (values.size() != 5 || values[4] < 0 || values[4] > 1) return std::nullopt;
  for (int size : {values[2], values[3]})
    if (size < 1 || size > 100000) return std::nullopt;
  for (int place : {values[0], values[1]})
    if (place < -100000 || place > 100000) return std::nullopt;
  return Form::Placement{{values[0], values[1], values[2], values[3]}, values[4] == 1};
}

std::optional<Form::Placement> ReadPlacement(platform::IRegistry& registry, const std::string& key,
                                             const std::string& name) {
  platform::Hkey handle = 0;
  if (registry.RegOpenKeyExW(platform::HkeyCurrentUser, key, 0, platform::KeyQueryValue, handle) !=
      platform::ErrorSuccess)
    return std::nullopt;
  char16_t data[64] = {};
  platform::Dword type = 0;
  platform::Dword size = sizeof data - sizeof data[0];  // room for a terminating zero of our own
  const long status = registry.RegQueryValueExW(handle, name, &type, data, &size);
  registry.RegCloseKey(handle);
  if (status != platform::ErrorSuccess || type != platform::RegSz) return std::nullopt;
  std::string text;
  for (std::size_t k = 0; k < size / sizeof data[0] && data[k] != 0; ++k) {
    if (data[k] > 0x7F) return std::nullopt;
    text += static_cast<char>(data[k]);
  }
  return ParsePlacement(text);
}

bool WritePlacement(platform::IRegistry& registry, const std::string& key, const std::string& name,
                    const Form::Placement& placement) {
  platform::Hkey handle = 0;
  if (registry.RegCreateKeyExW(platform::HkeyCurrentUser, key, 0, platform::KeyAllAccess, handle) !=
      platform::ErrorSuccess)
    return false;
  const std::string text = PlacementText(placement);
  std::u16string data(text.begin(), text.end());
  const long status =
      registry.RegSetValueExW(handle, name, platform::RegSz, data.c_str(),
                              static_cast<platform::Dword>((data.size() + 1) * sizeof(char16_t)));
  registry.RegCloseKey(handle);
  return status == platform::ErrorSuccess;
}

}  // namespace ui

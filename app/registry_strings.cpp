#include "app/registry_strings.h"

#include <algorithm>

namespace app {

using namespace platform;

bool WriteRegistryString(IRegistry& registry, Hkey root, const std::string& keyPath,
                         const std::string& valueName, const std::string& text) {
  Hkey key = 0;
  if (registry.RegCreateKeyExA(root, keyPath, 0, KeyAllAccess, key) != ErrorSuccess) return false;
  long result =
      registry.RegSetValueExA(key, valueName, RegSz, text.c_str(), static_cast<Dword>(text.size() + 1));
  registry.RegCloseKey(key);
  return result == ErrorSuccess;
}

void ReadRegistryString(IRegistry& registry, Hkey root, const std::string& keyPath,
                        const std::string& valueName, std::string& text, bool* success) {
  if (success) *success = false;
  Hkey key = 0;
  if (registry.RegOpenKeyExA(root, keyPath, 0, KeyQueryValue, key) != ErrorSuccess) return;
  Dword type = RegNone;
  Dword size = 0;
  if (registry.RegQueryValueExA(key, valueName, &type, nullptr, &size) == ErrorSuccess && type == RegSz) {
    // The whole value is read and its terminating NULs dropped: a value may be stored with
    // no NUL at all, or be empty, and neither may lose a character or fail.
    std::string value(size, '\0');
    long result =
        size == 0 ? ErrorSuccess : registry.RegQueryValueExA(key, valueName, &type, value.data(), &size);
    if (result == ErrorSuccess) {
      value.resize(std::min<std::size_t>(size, value.size()));
      while (!value.empty() && value.back() == '\0') value.pop_back();
      text = value;
    }
    if (success) *success = result == ErrorSuccess;
  }
  registry.RegCloseKey(key);
}

}  // namespace app

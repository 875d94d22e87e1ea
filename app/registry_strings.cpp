#include "app/registry_strings.h"

#include <algorithm>
#include <cstring>

#include "platform/utf.h"

namespace app {

using namespace platform;

bool WriteRegistryString(IRegistry& registry, Hkey root, const std::string& keyPath,
                         const std::string& valueName, const std::string& text) {
  Hkey key = 0;
  if (registry.RegCreateKeyExW(root, keyPath, 0, KeyAllAccess, key) != ErrorSuccess) return false;
  const std::u16string wide = Utf8ToUtf16(text);
  long result = registry.RegSetValueExW(key, valueName, RegSz, wide.c_str(),
                                        static_cast<Dword>((wide.size() + 1) * sizeof(char16_t)));
  registry.RegCloseKey(key);
  return result == ErrorSuccess;
}

void ReadRegistryString(IRegistry& registry, Hkey root, const std::string& keyPath,
                        const std::string& valueName, std::string& text, bool* success) {
  if (success) *success = false;
  Hkey key = 0;
  if (registry.RegOpenKeyExW(root, keyPath, 0, KeyQueryValue, key) != ErrorSuccess) return;
  Dword type = RegNone;
  Dword size = 0;
  if (registry.RegQueryValueExW(key, valueName, &type, nullptr, &size) == ErrorSuccess && type == RegSz) {
    // The whole value is read and its terminating NULs dropped: a value may be stored with
    // no NUL at all, or be empty, and neither may lose a character or fail.
    std::string bytes(size, '\0');
    long result =
        size == 0 ? ErrorSuccess : registry.RegQueryValueExW(key, valueName, &type, bytes.data(), &size);
    if (result == ErrorSuccess) {
      bytes.resize(std::min<std::size_t>(size, bytes.size()));
      std::u16string value(bytes.size() / sizeof(char16_t), u'\0');  // an odd last byte is no character
      std::memcpy(value.data(), bytes.data(), value.size() * sizeof(char16_t));
      while (!value.empty() && value.back() == u'\0') value.pop_back();
      text = Utf16ToUtf8(value);
    }
    if (success) *success = result == ErrorSuccess;
  }
  registry.RegCloseKey(key);
}

}  // namespace app

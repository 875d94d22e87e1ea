// A simulated per-user registry: a tree of keys holding typed values.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "platform/registry.h"

namespace sim {

struct RegValue {
  platform::Dword type = platform::RegSz;
  std::string data;  // the raw bytes, a REG_SZ value with its terminating NUL
};

class SimRegistry : public platform::IRegistry {
 public:
  long RegCreateKeyExW(platform::Hkey root, const std::string& subKey, platform::Dword options,
                       platform::Dword access, platform::Hkey& result) override;
  long RegOpenKeyExW(platform::Hkey root, const std::string& subKey, platform::Dword options,
                     platform::Dword access, platform::Hkey& result) override;
  long RegSetValueExW(platform::Hkey key, const std::string& valueName, platform::Dword type,
                      const void* data, platform::Dword size) override;
  long RegQueryValueExW(platform::Hkey key, const std::string& valueName, platform::Dword* type, void* data,
                        platform::Dword* size) override;
  long RegCloseKey(platform::Hkey key) override;

  // --- For tests; paths are below HKEY_CURRENT_USER ---
  void Set(const std::string& keyPath, const std::string& valueName, platform::Dword type, std::string data);
  // A REG_SZ value of UTF-8 `text`, stored as UTF-16LE with its zero.
  void SetString(const std::string& keyPath, const std::string& valueName, const std::string& text);
  std::optional<RegValue> Get(const std::string& keyPath, const std::string& valueName) const;
  // A value's data read as UTF-16LE, in UTF-8; its zeros are kept, as zero bytes.
  std::optional<std::string> GetText(const std::string& keyPath, const std::string& valueName) const;
  bool KeyExists(const std::string& keyPath) const;
  int OpenHandles() const { return static_cast<int>(handles_.size()); }
  void DenyWrites(bool deny) { denyWrites_ = deny; }

 private:
  struct Key {
    std::map<std::string, RegValue> values;  // by lower-case name
  };
  static std::string Normalize(const std::string& path);
  std::map<std::string, Key> keys_;                // by lower-case path
  std::map<platform::Hkey, std::string> handles_;  // open handle -> key path
  platform::Hkey next_ = 0x1000;
  bool denyWrites_ = false;
};

}  // namespace sim

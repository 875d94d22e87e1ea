// The per-user registry, through the wide ("W") calls: key and value names are UTF-8 here, and a
// REG_SZ value's data is UTF-16LE with its terminating zero, as the system stores it.
#pragma once

#include <string>

#include "platform/types.h"

namespace platform {

class IRegistry {
 public:
  virtual ~IRegistry() = default;
  virtual long RegCreateKeyExW(Hkey root, const std::string& subKey, Dword options, Dword access,
                               Hkey& result) = 0;
  virtual long RegOpenKeyExW(Hkey root, const std::string& subKey, Dword options, Dword access,
                             Hkey& result) = 0;
  virtual long RegSetValueExW(Hkey key, const std::string& valueName, Dword type, const void* data,
                              Dword size) = 0;
  // With data == nullptr only `type` and `size` are returned. On input `size` is the buffer size.
  virtual long RegQueryValueExW(Hkey key, const std::string& valueName, Dword* type, void* data,
                                Dword* size) = 0;
  virtual long RegCloseKey(Hkey key) = 0;
};

}  // namespace platform

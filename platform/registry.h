// The per-user registry.
#pragma once

#include <string>

#include "platform/types.h"

namespace platform {

class IRegistry {
 public:
  virtual ~IRegistry() = default;
  virtual long RegCreateKeyExA(Hkey root, const std::string& subKey, Dword options, Dword access,
                               Hkey& result) = 0;
  virtual long RegOpenKeyExA(Hkey root, const std::string& subKey, Dword options, Dword access,
                             Hkey& result) = 0;
  virtual long RegSetValueExA(Hkey key, const std::string& valueName, Dword type, const void* data,
                              Dword size) = 0;
  // With data == nullptr only `type` and `size` are returned. On input `size` is the buffer size.
  virtual long RegQueryValueExA(Hkey key, const std::string& valueName, Dword* type, void* data,
                                Dword* size) = 0;
  virtual long RegCloseKey(Hkey key) = 0;
};

}  // namespace platform

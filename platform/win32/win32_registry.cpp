#include "platform/win32/win32_services.h"
#include "platform/win32/win32_text.h"

namespace win32 {

namespace {

// The predefined keys are negative numbers cast to a handle, so in a 64-bit process
// HKEY_CURRENT_USER is 0xFFFFFFFF80000001; the desktop layer's 0x80000001 is sign-extended here.
HKEY ToHkey(platform::Hkey key) {
  if (key >= 0x80000000u && key <= 0x800000FFu)
    return reinterpret_cast<HKEY>(static_cast<std::intptr_t>(static_cast<std::int32_t>(key)));
  return To<HKEY>(key);
}

}  // namespace

long Win32Registry::RegCreateKeyExW(platform::Hkey root, const std::string& subKey, platform::Dword options,
                                    platform::Dword access, platform::Hkey& result) {
  HKEY key = nullptr;
  LONG status = ::RegCreateKeyExW(ToHkey(root), WideFromUtf8(subKey).c_str(), 0, nullptr, options, access,
                                  nullptr, &key, nullptr);
  result = status == ERROR_SUCCESS ? From(key) : 0;
  return status;
}

long Win32Registry::RegOpenKeyExW(platform::Hkey root, const std::string& subKey, platform::Dword options,
                                  platform::Dword access, platform::Hkey& result) {
  HKEY key = nullptr;
  LONG status = ::RegOpenKeyExW(ToHkey(root), WideFromUtf8(subKey).c_str(), options, access, &key);
  result = status == ERROR_SUCCESS ? From(key) : 0;
  return status;
}

long Win32Registry::RegSetValueExW(platform::Hkey key, const std::string& valueName, platform::Dword type,
                                   const void* data, platform::Dword size) {
  return ::RegSetValueExW(ToHkey(key), WideFromUtf8(valueName).c_str(), 0, type,
                          static_cast<const BYTE*>(data), size);
}

long Win32Registry::RegQueryValueExW(platform::Hkey key, const std::string& valueName, platform::Dword* type,
                                     void* data, platform::Dword* size) {
  // DWORD is unsigned long here, the desktop layer's Dword a 32-bit unsigned int.
  DWORD valueType = 0;
  DWORD valueSize = size ? *size : 0;
  LONG status =
      ::RegQueryValueExW(ToHkey(key), WideFromUtf8(valueName).c_str(), nullptr, type ? &valueType : nullptr,
                         static_cast<BYTE*>(data), size ? &valueSize : nullptr);
  if (type) *type = valueType;
  if (size) *size = valueSize;
  return status;
}

long Win32Registry::RegCloseKey(platform::Hkey key) { return ::RegCloseKey(ToHkey(key)); }

}  // namespace win32

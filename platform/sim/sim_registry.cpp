#include "platform/sim/sim_registry.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/utf.h"

namespace sim {

using namespace platform;

namespace {
constexpr long ErrorFileNotFoundReg = 2;
constexpr long ErrorAccessDeniedReg = 5;
constexpr long ErrorInvalidHandle = 6;
constexpr long ErrorMoreData = 234;

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}
}  // namespace

std::string SimRegistry::Normalize(const std::string& path) {
  std::string p = Lower(path);
  while (!p.empty() && p.back() == '\\') p.pop_back();
  while (!p.empty() && p.front() == '\\') p.erase(p.begin());
  return p;
}

long SimRegistry::RegCreateKeyExW(Hkey root, const std::string& subKey, Dword, Dword, Hkey& result) {
  if (root != HkeyCurrentUser) return ErrorInvalidHandle;
  if (denyWrites_) return ErrorAccessDeniedReg;
  std::string path = Normalize(subKey);
  // Every key on the way is created too.
  for (std::size_t pos = 0; (pos = path.find('\\', pos)) != std::string::npos; ++pos)
    keys_[path.substr(0, pos)];
  keys_[path];
  result = next_++;
  handles_[result] = path;
  return ErrorSuccess;
}

long SimRegistry::RegOpenKeyExW(Hkey root, const std::string& subKey, Dword, Dword, Hkey& result) {
  if (root != HkeyCurrentUser) return ErrorInvalidHandle;
  std::string path = Normalize(subKey);
  if (!keys_.count(path)) return ErrorFileNotFoundReg;
  result = next_++;
  handles_[result] = path;
  return ErrorSuccess;
}

long SimRegistry::RegSetValueExW(Hkey key, const std::string& valueName, Dword type, const void* data,
                                 Dword size) {
  auto h = handles_.find(key);
  if (h == handles_.end()) return ErrorInvalidHandle;
  if (denyWrites_) return ErrorAccessDeniedReg;
  RegValue& v = keys_[h->second].values[Lower(valueName)];
  v.type = type;
  v.data.assign(static_cast<const char*>(data), size);
  return ErrorSuccess;
}

long SimRegistry::RegQueryValueExW(Hkey key, const std::string& valueName, Dword* type, void* data,
                                   Dword* size) {
  auto h = handles_.find(key);
  if (h == handles_.end()) return ErrorInvalidHandle;
  const Key& k = keys_[h->second];
  auto it = k.values.find(Lower(valueName));
  if (it == k.values.end()) return ErrorFileNotFoundReg;
  const RegValue& v = it->second;
  if (type) *type = v.type;
  Dword needed = static_cast<Dword>(v.data.size());
  if (!data) {
    if (size) *size = needed;
    return ErrorSuccess;
  }
  if (!size) return 87;  // ERROR_INVALID_PARAMETER
  if (*size < needed) {
    *size = needed;
    return ErrorMoreData;
  }
  std::memcpy(data, v.data.data(), needed);
  *size = needed;
  return ErrorSuccess;
}

long SimRegistry::RegCloseKey(Hkey key) { return handles_.erase(key) ? ErrorSuccess : ErrorInvalidHandle; }

void SimRegistry::Set(const std::string& keyPath, const std::string& valueName, Dword type,
                      std::string data) {
  keys_[Normalize(keyPath)].values[Lower(valueName)] = RegValue{type, std::move(data)};
}

std::optional<RegValue> SimRegistry::Get(const std::string& keyPath, const std::string& valueName) const {
  auto k = keys_.find(Normalize(keyPath));
  if (k == keys_.end()) return std::nullopt;
  auto v = k->second.values.find(Lower(valueName));
  if (v == k->second.values.end()) return std::nullopt;
  return v->second;
}

void SimRegistry::SetString(const std::string& keyPath, const std::string& valueName,
                            const std::string& text) {
  std::u16string wide = Utf8ToUtf16(text);
  Set(keyPath, valueName, RegSz,
      std::string(reinterpret_cast<const char*>(wide.c_str()), (wide.size() + 1) * 2));
}

std::optional<std::string> SimRegistry::GetText(const std::string& keyPath,
                                                const std::string& valueName) const {
  std::optional<RegValue> value = Get(keyPath, valueName);
  if (!value) return std::nullopt;
  std::u16string wide(value->data.size() / 2, u'\0');
  std::memcpy(wide.data(), value->data.data(), wide.size() * 2);
  return Utf16ToUtf8(wide);
}

bool SimRegistry::KeyExists(const std::string& keyPath) const { return keys_.count(Normalize(keyPath)) != 0; }

}  // namespace sim

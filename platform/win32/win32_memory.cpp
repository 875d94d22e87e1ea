#include "platform/win32/win32_services.h"

namespace win32 {

platform::Hglobal Win32GlobalMemory::GlobalAlloc(platform::Uint flags, std::size_t bytes) {
  return From(::GlobalAlloc(flags, bytes));
}

void* Win32GlobalMemory::GlobalLock(platform::Hglobal block) { return ::GlobalLock(To<HGLOBAL>(block)); }

// As on Windows, false also when the last lock was released.
bool Win32GlobalMemory::GlobalUnlock(platform::Hglobal block) {
  return ::GlobalUnlock(To<HGLOBAL>(block)) != 0;
}

std::size_t Win32GlobalMemory::GlobalSize(platform::Hglobal block) {
  return ::GlobalSize(To<HGLOBAL>(block));
}

platform::Hglobal Win32GlobalMemory::GlobalFree(platform::Hglobal block) {
  return From(::GlobalFree(To<HGLOBAL>(block)));
}

}  // namespace win32

// Text at the boundary of the wide ("W") calls. The program's paths, captions and messages are
// UTF-8; wchar_t is a UTF-16 code unit on Windows.
#pragma once

#include <string>

#include "platform/utf.h"

namespace win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 text is passed to the system as it is");

inline std::wstring WideFromUtf8(const std::string& text) {
  std::u16string wide = platform::Utf8ToUtf16(text);
  return std::wstring(wide.begin(), wide.end());
}

inline std::string Utf8FromWide(const wchar_t* text, std::size_t length) {
  return platform::Utf16ToUtf8(std::u16string(text, text + length));
}

}  // namespace win32

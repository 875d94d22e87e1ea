// Text at the boundary of the wide ("W") calls. The program's paths, captions and messages are
// UTF-8, its tables' text UTF-16; wchar_t is a UTF-16 code unit on Windows.
#pragma once

#include <string>
#include <string_view>

#include "platform/utf.h"

namespace win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 text is passed to the system as it is");

// Copies, not conversions: both hold UTF-16.
inline std::wstring WideFromUtf16(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }
inline std::u16string Utf16FromWide(std::wstring_view text) {
  return std::u16string(text.begin(), text.end());
}

inline std::wstring WideFromUtf8(std::string_view text) { return WideFromUtf16(platform::Utf8ToUtf16(text)); }

inline std::string Utf8FromWide(const wchar_t* text, std::size_t length) {
  return platform::Utf16ToUtf8(Utf16FromWide(std::wstring_view(text, length)));
}

// The system's 8-bit code pages, in win32_codepage.cpp. Lengths are passed explicitly, so
// embedded NULs survive both ways; text the system cannot convert gives an empty string.

// In the ANSI code page; characters without a mapping become its default character.
std::string AnsiFromUtf16(const std::u16string& text);
// MultiByteToWideChar in `codePage`, which must be CP_ACP or one the system knows.
std::u16string Utf16FromMultiByte(unsigned codePage, const std::string& text);
// From the ANSI code page, for the native controls, which are all Unicode windows.
std::wstring WideFromAnsi(const std::string& text);
// One typed character in the ANSI code page; '?' for one that takes no single byte there.
char AnsiFromWideChar(wchar_t ch);

}  // namespace win32

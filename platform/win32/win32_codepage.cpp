#include <climits>

#include "platform/win32/win32_services.h"
#include "platform/win32/win32_text.h"

namespace win32 {

std::string AnsiFromUtf16(const std::u16string& text) {
  if (text.empty() || text.size() > INT_MAX) return {};
  auto source = reinterpret_cast<const wchar_t*>(text.data());
  int length = static_cast<int>(text.size());
  int size = ::WideCharToMultiByte(CP_ACP, 0, source, length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string result(static_cast<std::size_t>(size), '\0');
  size = ::WideCharToMultiByte(CP_ACP, 0, source, length, result.data(), size, nullptr, nullptr);
  result.resize(size > 0 ? static_cast<std::size_t>(size) : 0);
  return result;
}

std::u16string Utf16FromMultiByte(unsigned codePage, const std::string& text) {
  if (text.empty() || text.size() > INT_MAX) return {};
  int length = static_cast<int>(text.size());
  int size = ::MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
  if (size <= 0) return {};
  std::u16string result(static_cast<std::size_t>(size), u'\0');
  size = ::MultiByteToWideChar(codePage, 0, text.data(), length, reinterpret_cast<wchar_t*>(result.data()),
                               size);
  result.resize(size > 0 ? static_cast<std::size_t>(size) : 0);
  return result;
}

std::wstring WideFromAnsi(const std::string& text) { return WideFromUtf16(Utf16FromMultiByte(CP_ACP, text)); }

char AnsiFromWideChar(wchar_t ch) {
  const std::string ansi = AnsiFromUtf16(std::u16string(1, static_cast<char16_t>(ch)));
  return ansi.size() == 1 ? ansi[0] : '?';
}

std::string Win32CodePage::WideToAnsi(const std::u16string& text) { return AnsiFromUtf16(text); }

std::u16string Win32CodePage::AnsiToWide(const std::string& text) { return Utf16FromMultiByte(CP_ACP, text); }

std::u16string Win32CodePage::MultiByteToWide(platform::Uint codePage, const std::string& text) {
  if (codePage != CP_ACP && !::IsValidCodePage(codePage)) codePage = CP_ACP;
  return Utf16FromMultiByte(codePage, text);
}

platform::Uint Win32CodePage::LocaleAnsiCodePage(platform::Dword lcid) {
  DWORD codePage = 0;
  // With LOCALE_RETURN_NUMBER the "string" buffer receives the number itself.
  if (::GetLocaleInfoW(lcid, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                       reinterpret_cast<LPWSTR>(&codePage), sizeof codePage / sizeof(WCHAR)) == 0)
    return CP_ACP;
  return codePage;
}

}  // namespace win32

#include <climits>

#include "platform/win32/win32_services.h"
#include "platform/win32/win32_text.h"

namespace win32 {

// Lengths are passed explicitly, so embedded NULs survive both ways.
std::string Win32CodePage::WideToAnsi(const std::u16string& text) {
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

std::u16string Win32CodePage::AnsiToWide(const std::string& text) { return MultiByteToWide(CP_ACP, text); }

std::u16string Win32CodePage::MultiByteToWide(platform::Uint codePage, const std::string& text) {
  if (text.empty() || text.size() > INT_MAX) return {};
  if (codePage != CP_ACP && !::IsValidCodePage(codePage)) codePage = CP_ACP;
  int length = static_cast<int>(text.size());
  int size = ::MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
  if (size <= 0) return {};
  std::u16string result(static_cast<std::size_t>(size), u'\0');
  size = ::MultiByteToWideChar(codePage, 0, text.data(), length, reinterpret_cast<wchar_t*>(result.data()),
                               size);
  result.resize(size > 0 ? static_cast<std::size_t>(size) : 0);
  return result;
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

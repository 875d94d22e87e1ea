// The code pages of the simulated desktop, converted as Windows converts them.
//
// The desktop runs with an English (United States) system locale: ANSI code page Windows-1252,
// OEM code page 437. Windows-1251 and OEM 866 (Russian) are there too, for programs that state
// another locale on the clipboard.
#pragma once

#include <string>

#include "platform/codepage.h"

namespace sim {

constexpr platform::Dword LocaleEnglishUs = 0x0409;
constexpr platform::Dword LocaleRussian = 0x0419;
constexpr platform::Uint AnsiCodePage = 1252;
constexpr platform::Uint OemCodePage = 437;

// The code pages of a known locale; false for any other.
bool LocaleCodePages(platform::Dword lcid, platform::Uint& ansi, platform::Uint& oem);

// Bytes 0x80-0x9F of Windows-1252 are its typographic characters; its five unassigned bytes
// (81, 8D, 8F, 90, 9D), and 98 of Windows-1251, stand for the C1 controls of the same number,
// both ways, as Windows has them. A character without a byte becomes '?', a surrogate pair one
// '?', with no best-fit replacement. CpAcp and unknown code pages are the ANSI code page.
std::string WideToMultiByte(platform::Uint codePage, const std::u16string& text);
std::u16string MultiByteToWide(platform::Uint codePage, const std::string& text);

class SimCodePage : public platform::ICodePage {
 public:
  std::string WideToAnsi(const std::u16string& text) override;
  std::u16string AnsiToWide(const std::string& text) override;
  std::u16string MultiByteToWide(platform::Uint codePage, const std::string& text) override;
  platform::Uint LocaleAnsiCodePage(platform::Dword lcid) override;
};

}  // namespace sim

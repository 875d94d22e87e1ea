// Conversion between UTF-16 and the system's 8-bit code pages.
#pragma once

#include <string>

#include "platform/types.h"

namespace platform {

class ICodePage {
 public:
  virtual ~ICodePage() = default;
  // Characters without a mapping become the code page's default character.
  virtual std::string WideToAnsi(const std::u16string& text) = 0;
  virtual std::u16string AnsiToWide(const std::string& text) = 0;
  // MultiByteToWideChar in `codePage`; CpAcp, or a code page the system does not know, converts
  // with the ANSI code page.
  virtual std::u16string MultiByteToWide(Uint codePage, const std::string& text) = 0;
  // The ANSI code page of a locale (LOCALE_IDEFAULTANSICODEPAGE); CpAcp when the locale is
  // unknown or has none.
  virtual Uint LocaleAnsiCodePage(Dword lcid) = 0;
};

}  // namespace platform

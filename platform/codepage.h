// Conversion between UTF-16 and the system's ANSI code page.
#pragma once

#include <string>

namespace platform {

class ICodePage {
 public:
  virtual ~ICodePage() = default;
  // Characters without a mapping become the code page's default character.
  virtual std::string WideToAnsi(const std::u16string& text) = 0;
  virtual std::u16string AnsiToWide(const std::string& text) = 0;
};

}  // namespace platform

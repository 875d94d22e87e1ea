// The ANSI code page of the simulated desktop: Windows-1252, as Windows converts it.
#pragma once

#include <string>

#include "platform/codepage.h"

namespace sim {

// Bytes 0x80-0x9F are the typographic characters of Windows-1252; its five unassigned bytes
// (81, 8D, 8F, 90, 9D) stand for the C1 controls of the same number, both ways, as Windows
// has them. A character without a byte becomes '?', a surrogate pair one '?', with no
// best-fit replacement.
class SimCodePage : public platform::ICodePage {
 public:
  std::string WideToAnsi(const std::u16string& text) override;
  std::u16string AnsiToWide(const std::string& text) override;
};

}  // namespace sim

// The simulated desktop's ANSI code page.
#include "platform/sim/sim_codepage.h"

#include <gtest/gtest.h>

namespace sim_codepage_test {

namespace {

TEST(SimCodePage, ConvertsWindows1252BothWays) {
  sim::SimCodePage codePage;
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::u16string wide = codePage.AnsiToWide(all);
  EXPECT_EQ(wide[0x80 - 1], u'\u20AC');
  EXPECT_EQ(wide[0x9F - 1], u'\u0178');
  EXPECT_EQ(wide[0x81 - 1], u'\u0081');  // unassigned bytes are the C1 controls
  EXPECT_EQ(wide[0xE9 - 1], u'\u00E9');
  EXPECT_EQ(codePage.WideToAnsi(wide), all);

  EXPECT_EQ(codePage.WideToAnsi(u"\u0080\u0416\U0001F600\xD800x"), "????x");
}

}  // namespace
}  // namespace sim_codepage_test

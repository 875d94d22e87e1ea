// Texts for the benchmarks: about 100 characters, as copied from an editor or a browser.
#pragma once

#include <random>
#include <string>
#include <string_view>

namespace bench_text {

constexpr std::u16string_view Latin =
    u"abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.,;\u00E9";

// 90 to 110 characters drawn from `letters`.
inline std::u16string RandomText(std::mt19937& random, std::u16string_view letters = Latin) {
  std::u16string text;
  const int length = 90 + static_cast<int>(random() % 21);
  for (int i = 0; i < length; ++i) text.push_back(letters[random() % letters.size()]);
  return text;
}

}  // namespace bench_text

// Texts for the benchmarks: about 100 characters, as copied from an editor or a browser.
#pragma once

#include <random>
#include <string>
#include <string_view>

namespace bench_text {

constexpr std::u16string_view Latin =
    u"abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.,;\u00E9";

// Mostly Cyrillic, with the spaces, digits and stops that such texts hold.
constexpr std::u16string_view Cyrillic =
    u"\u0430\u0431\u0432\u0433\u0434\u0435\u0436\u0437\u0438\u0439\u043A\u043B\u043C\u043D\u043E\u043F"
    u"\u0440\u0441\u0442\u0443\u0444\u0445\u0446\u0447\u0448\u0449\u044A\u044B\u044C\u044D\u044E\u044F"
    u"\u0410\u0411\u0412\u0413\u0414\u0415\u0416\u0417\u0418\u041F\u0420\u0421\u0422 0123456789.,";

// 90 to 110 characters drawn from `letters`.
inline std::u16string RandomText(std::mt19937& random, std::u16string_view letters = Latin) {
  std::u16string text;
  const int length = 90 + static_cast<int>(random() % 21);
  for (int i = 0; i < length; ++i) text.push_back(letters[random() % letters.size()]);
  return text;
}

}  // namespace bench_text

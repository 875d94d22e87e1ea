#include "platform/sim/sim_codepage.h"

namespace sim {

namespace {

// The characters of bytes 0x80 to 0x9F.
constexpr char16_t High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

constexpr char DefaultChar = '?';

bool ToByte(char16_t ch, char& byte) {
  if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF)) {
    byte = static_cast<char>(ch);
    return true;
  }
  for (int i = 0; i < 32; ++i) {
    if (High[i] == ch) {
      byte = static_cast<char>(0x80 + i);
      return true;
    }
  }
  return false;
}

}  // namespace

std::string SimCodePage::WideToAnsi(const std::u16string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t ch = text[i];
    char byte;
    if (ToByte(ch, byte)) {
      out.push_back(byte);
      continue;
    }
    // A surrogate pair is one character and so one default character.
    if (ch >= 0xD800 && ch <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      ++i;
    }
    out.push_back(DefaultChar);
  }
  return out;
}

std::u16string SimCodePage::AnsiToWide(const std::string& text) {
  std::u16string out;
  out.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    out.push_back(byte >= 0x80 && byte <= 0x9F ? High[byte - 0x80] : static_cast<char16_t>(byte));
  }
  return out;
}

}  // namespace sim

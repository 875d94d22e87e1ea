// Bytes as the crypto and file layers take them, and as the lower-case hex text that names and
// settings files hold.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

inline std::span<const std::uint8_t> AsBytes(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

inline std::string HexText(std::span<const std::uint8_t> bytes) {
  static constexpr char Digits[] = "0123456789abcdef";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (std::uint8_t b : bytes) {
    text.push_back(Digits[b >> 4]);
    text.push_back(Digits[b & 15]);
  }
  return text;
}

// The value of a lower-case hex digit, or -1.
inline int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}

// `text` as bytes, two lower-case hex digits each; false when it is anything else.
inline bool ReadHex(std::string_view text, std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  if (text.size() % 2 != 0) return false;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = HexDigit(static_cast<unsigned char>(text[i]));
    const int low = HexDigit(static_cast<unsigned char>(text[i + 1]));
    if (high < 0 || low < 0) return false;
    bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
  }
  return true;
}

}  // namespace platform

// UTF-16, the text of the tables, the clipboard and the system's wide calls, and UTF-8, the text
// of paths, captions and error messages inside the program.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// The two halves of a surrogate pair, which together hold one character above U+FFFF.
constexpr bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
constexpr bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// A lone surrogate (Windows allows them in file names) is written as the three bytes its code
// point would take, so that a name read from the system comes back to it unchanged.
inline std::string Utf16ToUtf8(const std::u16string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

// What reading UTF-8 makes of bytes that are no valid UTF-8. Valid sequences (and the three
// bytes of a lone surrogate, as Utf16ToUtf8 writes it) read the same either way.
enum class BadUtf8 {
  // A byte that starts no valid sequence becomes U+FFFD, one per byte, and reading goes on after
  // it.
  Replace,
  // The lead byte alone tells the length of its sequence (a stray continuation byte counts as the
  // lead of two, a byte from F8 up as the lead of four), and the low bits of as many bytes as follow
  // it, up to that length, are taken as they are; a value above U+FFFF becomes a surrogate pair.
  // This is how UTF-8 table text files with a byte order mark have always been read, and a file
  // read again must give the rows it gave before.
  TakeBits,
};

inline std::u16string Utf8ToUtf16(std::string_view text, BadUtf8 bad = BadUtf8::Replace) {
  std::u16string out;
  out.reserve(text.size());
  const std::size_t n = text.size();
  auto byte = [text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  auto continuation = [&](std::size_t i) { return i < n && (byte(i) & 0xC0) == 0x80; };
  for (std::size_t i = 0; i < n;) {
    const unsigned char b = byte(i);
    char32_t c = 0;
    std::size_t length = 0;  // 0: no valid sequence starts here
    if (b < 0x80) {
      c = b;
      length = 1;
    } else if (b >= 0xC2 && b <= 0xDF && continuation(i + 1)) {
      c = ((b & 0x1Fu) << 6) | (byte(i + 1) & 0x3Fu);
      length = 2;
    } else if (b >= 0xE0 && b <= 0xEF && continuation(i + 1) && continuation(i + 2)) {
      c = ((b & 0x0Fu) << 12) | ((byte(i + 1) & 0x3Fu) << 6) | (byte(i + 2) & 0x3Fu);
      if (c >= 0x800) length = 3;
    } else if (b >= 0xF0 && b <= 0xF4 && continuation(i + 1) && continuation(i + 2) && continuation(i + 3)) {
      c = ((b & 0x07u) << 18) | ((byte(i + 1) & 0x3Fu) << 12) | ((byte(i + 2) & 0x3Fu) << 6) |
          (byte(i + 3) & 0x3Fu);
      if (c >= 0x10000 && c <= 0x10FFFF) length = 4;
    }
    if (length == 0 && bad == BadUtf8::Replace) {
      c = 0xFFFD;
      length = 1;
    } else if (length == 0) {
      if (b < 0xE0) {
        c = b & 0x1Fu;
        length = 2;
      } else if (b < 0xF0) {
        c = b & 0x0Fu;
        length = 3;
      } else {
        c = b & 0x07u;
        length = 4;
      }
      for (std::size_t k = 1; k < length && i + k < n; ++k) c = (c << 6) | (byte(i + k) & 0x3Fu);
    }
    if (c >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
    i += length;
  }
  return out;
}

}  // namespace platform

// How earlier versions of the program read a table text file in UTF-16LE, before the format
// carried exact texts: written out here on their own, from the reading rules they followed,
// so that the files written now are checked against them and not against the reader that
// comes with the writer.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

// The fields of each line that land in a table of `columns` columns (those past the last
// column are dropped, missing ones are empty), increment columns' fields included.
inline std::vector<std::vector<std::u16string>> EarlierReading(std::string_view bytes, std::size_t columns) {
  std::vector<std::vector<std::u16string>> rows;
  if (bytes.size() < 2 || bytes[0] != '\xFF' || bytes[1] != '\xFE') return rows;
  std::u16string buffer;
  int quotes = 0;
  std::size_t column = 0;
  bool newRow = true;
  auto endField = [&](bool lineEnds) {
    quotes = 0;
    if (newRow) {
      newRow = false;
      rows.emplace_back(columns);
      column = 0;
    } else {
      ++column;
    }
    if (column < columns) rows.back()[column] = buffer;
    buffer.clear();
    if (lineEnds) newRow = true;
  };
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
    const char16_t ch = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                              static_cast<unsigned char>(bytes[i + 1]) << 8);
    if (ch == u',') {
      if (quotes % 2 != 0) {
        buffer.push_back(ch);
      } else {
        endField(false);
      }
    } else if (ch == u'|') {
      buffer += u"\r\n";
    } else if (ch == u'"') {
      ++quotes;
      if (quotes % 2 != 0 && (!buffer.empty() || quotes == 3)) buffer.push_back(ch);
    } else if (ch == u'\r') {
    } else if (ch == u'\n') {
      endField(true);
    } else {
      buffer.push_back(ch);
    }
  }
  if (!buffer.empty()) endField(false);
  return rows;
}

// What those versions make of a text: each LF dropped, each CR and each '|' read as CR LF.
inline std::u16string EarlierText(std::u16string_view text) {
  std::u16string out;
  for (char16_t ch : text) {
    if (ch == u'\n') continue;
    if (ch == u'\r' || ch == u'|') {
      out += u"\r\n";
    } else {
      out.push_back(ch);
    }
  }
  return out;
}

}  // namespace testing_support

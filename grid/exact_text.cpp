#include "grid/exact_text.h"

// The field that carries exact texts:
//
//   exact1:<column>:<text>;<column>:<text>...
//
// with one entry for each cell of the row whose text the format cannot hold, columns counted
// from 0 in decimal without leading zeros, ascending. In each text '%', ';', '"', the
// separator, the mark and every code unit below U+0020 are written as '%' and two upper-case
// hex digits, or, for a separator or mark above U+00FF, as "%u" and four; all else is as it
// is. So the field holds no separator, quote, mark, CR or LF: the writer puts it out as it is,
// and a reader that keeps only as many fields as there are columns (every earlier version of
// the program) drops it whole and shows the row's nearest reading.
//
// There is one way to write each field, and the reader takes nothing that the writer would not
// have written: a field from elsewhere that happens to begin with the tag is rejected unless
// every entry is a text whose nearest reading is exactly what the row's cell holds.

namespace grid {

namespace {

constexpr char16_t Cr = u'\r';
constexpr char16_t Lf = u'\n';

bool MustEscape(char16_t unit, char16_t separator, char16_t mark) {
  return unit < 0x20 || unit == u'%' || unit == u';' || unit == u'"' || unit == separator || unit == mark;
}

constexpr char16_t HexDigits[] = u"0123456789ABCDEF";

int HexValue(char16_t digit) {
  if (digit >= u'0' && digit <= u'9') return digit - u'0';
  if (digit >= u'A' && digit <= u'F') return digit - u'A' + 10;
  return -1;  // lower case is not what the writer writes
}

// Reads `count` hex digits at `at`; -1 when they are not there.
long ReadHex(std::u16string_view text, std::size_t at, int count) {
  if (text.size() - at < static_cast<std::size_t>(count)) return -1;
  long value = 0;
  for (int k = 0; k < count; ++k) {
    const int digit = HexValue(text[at + static_cast<std::size_t>(k)]);
    if (digit < 0) return -1;
    value = value * 16 + digit;
  }
  return value;
}

}  // namespace

bool HoldsExactly(std::u16string_view text, char16_t mark) {
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t ch = text[i];
    if (ch == mark) return false;
    if (ch == Cr && (i + 1 >= n || text[i + 1] != Lf)) return false;
    if (ch == Lf && (i == 0 || text[i - 1] != Cr)) return false;
  }
  return true;
}

std::u16string NearestReading(std::u16string_view text, char16_t mark) {
  std::u16string out;
  out.reserve(text.size() + 8);
  for (char16_t ch : text) {
    if (ch == Lf) continue;
    if (ch == Cr || ch == mark) {
      out.push_back(Cr);
      out.push_back(Lf);
    } else {
      out.push_back(ch);
    }
  }
  return out;
}

bool ReadsAs(std::u16string_view text, std::u16string_view read, char16_t mark) {
  std::size_t j = 0;
  for (char16_t ch : text) {
    if (ch == Lf) continue;
    if (ch == Cr || ch == mark) {
      if (read.size() - j < 2 || read[j] != Cr || read[j + 1] != Lf) return false;
      j += 2;
    } else {
      if (j >= read.size() || read[j] != ch) return false;
      ++j;
    }
  }
  return j == read.size();
}

void AppendExactEntry(std::u16string& field, int column, std::u16string_view text, char16_t separator,
                      char16_t mark) {
  field.append(field.empty() ? ExactFieldTag : u";");
  for (char ch : std::to_string(column)) field.push_back(static_cast<char16_t>(ch));
  field.push_back(u':');
  field.reserve(field.size() + text.size() + 16);
  std::size_t copied = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (!MustEscape(unit, separator, mark)) continue;
    field.append(text.substr(copied, i - copied));
    copied = i + 1;
    field.push_back(u'%');
    if (unit > 0xFF) {
      field.push_back(u'u');
      field.push_back(HexDigits[unit >> 12]);
      field.push_back(HexDigits[(unit >> 8) & 0xF]);
    }
    field.push_back(HexDigits[(unit >> 4) & 0xF]);
    field.push_back(HexDigits[unit & 0xF]);
  }
  field.append(text.substr(copied));
}

bool DecodeExactField(std::u16string_view field, char16_t separator, char16_t mark,
                      std::vector<ExactEntry>& entries) {
  // The entries' strings keep their room from row to row; those past the count go at the end.
  std::size_t count = 0;
  auto done = [&](bool valid) {
    entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(valid ? count : 0), entries.end());
    return valid;
  };
  if (field.substr(0, ExactFieldTag.size()) != ExactFieldTag) return done(false);
  std::size_t at = ExactFieldTag.size();
  int lastColumn = -1;
  while (true) {
    // The column: decimal digits, no leading zero, then ':'.
    const std::size_t digitsStart = at;
    long column = 0;
    while (at < field.size() && field[at] >= u'0' && field[at] <= u'9') {
      column = column * 10 + (field[at] - u'0');
      if (column > 1'000'000) return done(false);
      ++at;
    }
    const std::size_t digits = at - digitsStart;
    if (digits == 0 || (digits > 1 && field[digitsStart] == u'0')) return done(false);
    if (at >= field.size() || field[at] != u':') return done(false);
    ++at;
    if (column <= lastColumn) return done(false);
    lastColumn = static_cast<int>(column);

    if (count == entries.size()) entries.emplace_back();
    std::u16string& text = entries[count].text;
    text.clear();
    while (at < field.size() && field[at] != u';') {
      const char16_t unit = field[at];
      if (unit != u'%') {
        if (MustEscape(unit, separator, mark)) return done(false);
        text.push_back(unit);
        ++at;
        continue;
      }
      long value;
      if (at + 1 < field.size() && field[at + 1] == u'u') {
        value = ReadHex(field, at + 2, 4);
        if (value <= 0xFF) return done(false);  // also -1: no four digits
        at += 6;
      } else {
        value = ReadHex(field, at + 1, 2);
        if (value < 0) return done(false);
        at += 3;
      }
      const auto decoded = static_cast<char16_t>(value);
      if (!MustEscape(decoded, separator, mark)) return done(false);
      text.push_back(decoded);
    }
    if (HoldsExactly(text, mark)) return done(false);  // the writer writes no entry for such a text
    entries[count++].column = static_cast<int>(column);
    if (at >= field.size()) return done(true);
    ++at;  // the ';' before the next entry
  }
}

}  // namespace grid

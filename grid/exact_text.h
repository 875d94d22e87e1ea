// The texts that the table text file cannot hold as they are (a lone LF, a lone CR, the line
// break mark itself), and the field after a row's last column that carries them exactly.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace grid {

// Whether the format reads the text back as it was: it holds no mark, and its CRs and LFs
// come only as CR LF pairs.
bool HoldsExactly(std::u16string_view text, char16_t mark);

// What the format reads back for the text: each LF dropped, each CR and each mark read as CR LF.
std::u16string NearestReading(std::u16string_view text, char16_t mark);

// The field begins with this tag; its version is in it, so that a later layout cannot be taken
// for this one.
constexpr std::u16string_view ExactFieldTag = u"exact1:";

// Whether NearestReading(text) is `read`, without making it.
bool ReadsAs(std::u16string_view text, std::u16string_view read, char16_t mark);

// Appends one entry of the field for the cell in `column`; `field` gets the tag when it is
// empty, and a ';' before every entry but the first. Entries go in ascending column order.
void AppendExactEntry(std::u16string& field, int column, std::u16string_view text, char16_t separator,
                      char16_t mark);

struct ExactEntry {
  int column = 0;
  std::u16string text;
};

// The entries of a field (`entries` is reused, so that its texts keep their room from call to
// call), or false when it is not one that AppendExactEntry makes: the tag
// missing, columns not ascending or with leading zeros, an escape where none belongs or none
// where one does, an entry whose text the format holds anyway.
bool DecodeExactField(std::u16string_view field, char16_t separator, char16_t mark,
                      std::vector<ExactEntry>& entries);

}  // namespace grid

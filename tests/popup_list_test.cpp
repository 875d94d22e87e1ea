// How the popup list cuts an item's text to one line.
#include "ui/popup_list.h"

#include <gtest/gtest.h>

namespace {

TEST(PopupListOneLine, ShowsTheFirstLineTrimmed_WithAnEllipsisWhereAnythingIsLeftOut) {
  struct Case {
    std::u16string text;
    std::size_t max;
    std::u16string shown;
  };
  const std::vector<Case> cases = {
      {u"plain", 10, u"plain"},
      {u"  padded\t ", 10, u"padded"},
      {u"first\r\nsecond", 20, u"first\u2026"},
      {u"first\nsecond", 20, u"first\u2026"},
      {u"first\rsecond", 20, u"first\u2026"},
      {u"first\r\n  \r\n", 20, u"first"},  // nothing but blanks after it
      {u"\r\n\r\n  third line", 20, u"third line"},
      {u"0123456789abc", 10, u"012345678\u2026"},
      {u"0123456789", 10, u"0123456789"},
      {u"word     next", 7, u"word\u2026"},               // no blanks before the ellipsis
      {u"abcdefgh\U0001F600xyz", 10, u"abcdefgh\u2026"},  // a cut never halves a surrogate pair
      {u"", 10, u""},
      {u" \r\n\t", 10, u""},
      {u"0123456789     \r\n", 10, u"0123456789"},  // the blanks past the room are still seen
      {u"0123456789     x", 10, u"012345678\u2026"},
      {u"0123456789" + std::u16string(1000000, u'z'), 10, u"012345678\u2026"},  // one huge line
      // Only the start is read: a run of blanks too long to walk counts as holding more.
      {u"first\r\n" + std::u16string(1000000, u' '), 20, u"first\u2026"},
      {u"first\r\n" + std::u16string(1000, u' '), 20, u"first"},
      {std::u16string(1000000, u'\n') + u"late", 20, u"\u2026"},
      {std::u16string(1000, u'\n') + u"late", 20, u"late"},
      {u"0123456789" + std::u16string(1000000, u' ') + u"\r\n", 10, u"012345678\u2026"},
  };
  for (const Case& c : cases) EXPECT_EQ(ui::PopupList::OneLine(c.text, c.max), c.shown);
}

}  // namespace

// The popup list's pieces that need no program: how an item's text is cut to one line, and
// where the popup goes on the screen.
#include <gtest/gtest.h>

#include "app/quick_paste.h"
#include "ui/popup_list.h"

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
  };
  for (const Case& c : cases) EXPECT_EQ(ui::PopupList::OneLine(c.text, c.max), c.shown);
}

TEST(PlacePopup, StaysInsideTheWorkAreaEvenWhenItIsSmallerThanThePopup) {
  const platform::Rect area{100, 50, 400, 250};
  const platform::Rect at = app::PlacePopup({390, 240, 392, 258}, area, 420, 320);
  EXPECT_EQ(at.left, 100);
  EXPECT_EQ(at.top, 50);
  EXPECT_EQ(at.right, 400);
  EXPECT_EQ(at.bottom, 250);
  // Left of and above the work area: brought inside.
  const platform::Rect off = app::PlacePopup({-50, 10, -48, 28}, {0, 0, 1000, 800}, 200, 100);
  EXPECT_EQ(off.left, 0);
  EXPECT_EQ(off.top, 28);
}

}  // namespace

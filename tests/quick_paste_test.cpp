// Where the quick-paste popup goes on the screen.
#include "app/quick_paste.h"

#include <gtest/gtest.h>

namespace quick_paste_test {

namespace {

using namespace platform;

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
}  // namespace quick_paste_test

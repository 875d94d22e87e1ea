// How the popup list cuts an item's text to one line, and how its keys gather several items.
#include "ui/popup_list.h"

#include <gtest/gtest.h>

#include "platform/sim/sim_desktop.h"
#include "temp_folder.h"
#include "ui/application.h"

namespace popup_list_test {

namespace {

using namespace platform;

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

class PopupListKeys : public ::testing::Test {
 public:
  PopupListKeys() : root_(testing_support::MakeTempFolder()), desk(root_), app(desk), list(app, "List") {
    list.SetCount(10);
    list.OnPick = [this](int index) { picks.push_back({{index}, Kind::Paste}); };
    list.OnPickMany = [this](const std::vector<int>& indices, Kind kind) {
      picks.push_back({indices, kind});
      return keepOpen == false;
    };
    list.Popup({0, 0, 100, 100});
  }
  ~PopupListKeys() override { std::filesystem::remove_all(root_); }
  // The key pressed with the modifiers held.
  void Press(int vk, std::initializer_list<std::uint8_t> held = {}) {
    for (std::uint8_t m : held) desk.keyboard.UserKeyDown(m);
    list.KeyDown(vk);
    for (std::uint8_t m : held) desk.keyboard.UserKeyUp(m);
  }
  void CtrlClick(int index) {
    desk.keyboard.UserKeyDown(VkControl);
    list.ClickItem(index);
    desk.keyboard.UserKeyUp(VkControl);
  }
  using Kind = ui::PopupList::PickKind;
  std::string root_;
  sim::SimDesktop desk;
  ui::Application app;
  ui::PopupList list;
  std::vector<std::pair<std::vector<int>, Kind>> picks;
  bool keepOpen = false;
};

TEST_F(PopupListKeys, ShiftArrowsAndCtrlClick_GatherItems_AndEachEnterPicksThemAscending) {
  Press(VkDown);
  Press(VkDown, {VkShift});
  Press(VkDown, {VkShift});
  EXPECT_EQ(list.Highlighted(), (std::vector<int>{1, 2, 3}));
  Press(VkUp, {VkShift});
  EXPECT_EQ(list.Highlighted(), (std::vector<int>{1, 2}));
  CtrlClick(6);
  CtrlClick(0);
  EXPECT_EQ(list.Highlighted(), (std::vector<int>{0, 1, 2, 6}));
  EXPECT_TRUE(list.IsHighlighted(6));
  EXPECT_FALSE(list.IsHighlighted(4));
  CtrlClick(2);  // taken out again
  EXPECT_EQ(list.Highlighted(), (std::vector<int>{0, 1, 6}));
  EXPECT_TRUE(list.IsOpen());
  Press(VkReturn);
  EXPECT_FALSE(list.IsOpen());
  ASSERT_EQ(picks.size(), 1u);
  EXPECT_EQ(picks[0], (std::pair<std::vector<int>, Kind>{{0, 1, 6}, Kind::Paste}));

  // A plain move, or a new filter, leaves one item highlighted.
  list.Popup({0, 0, 100, 100});
  Press(VkDown, {VkShift});
  Press(VkDown);
  EXPECT_EQ(list.Highlighted(), (std::vector<int>{2}));
  Press(VkUp, {VkShift});
  list.UserSetFilter(u"x");
  EXPECT_EQ(list.Highlighted(), (std::vector<int>{0}));

  // One item: Enter is the plain pick, Shift+Enter and Ctrl+Enter say how.
  Press(VkReturn, {VkShift});
  list.Popup({0, 0, 100, 100});
  Press(VkDown, {VkShift});
  Press(VkReturn, {VkControl});
  list.Popup({0, 0, 100, 100});
  Press(VkReturn);
  ASSERT_EQ(picks.size(), 4u);
  EXPECT_EQ(picks[1], (std::pair<std::vector<int>, Kind>{{0}, Kind::Plain}));
  EXPECT_EQ(picks[2], (std::pair<std::vector<int>, Kind>{{0, 1}, Kind::Queue}));
  EXPECT_EQ(picks[3], (std::pair<std::vector<int>, Kind>{{0}, Kind::Paste}));
}

TEST_F(PopupListKeys, PickRefused_KeepsTheListOpenWithItsHighlight_AndFewerItemsDropThoseGone) {
  keepOpen = true;
  Press(VkDown, {VkShift});
  Press(VkDown, {VkShift});
  Press(VkReturn, {VkShift});
  EXPECT_TRUE(list.IsOpen());
  EXPECT_EQ(list.Highlighted(), (std::vector<int>{0, 1, 2}));
  CtrlClick(8);
  list.SetCount(2);
  EXPECT_EQ(list.Highlighted(), (std::vector<int>{0, 1}));
  list.SetCount(0);
  EXPECT_TRUE(list.Highlighted().empty());
}

}  // namespace
}  // namespace popup_list_test

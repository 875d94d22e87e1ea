// The age shown beside each entry of quick paste.
#include "ui/age_text.h"

#include <gtest/gtest.h>

#include <tuple>

namespace age_text_test {

namespace {

using ui::CivilTime;

std::u16string Age(const CivilTime& now, const CivilTime& then, std::u16string_view date = u"2/27/2026") {
  return ui::AgeText(ui::CivilSeconds(now), ui::CivilSeconds(then), date);
}

TEST(AgeText, CountsMinutesHoursAndYesterday_ThenShowsTheDate) {
  const CivilTime now{2026, 3, 1, 0, 30, 0};  // just after midnight, the day after February's last
  struct Case {
    CivilTime then;
    std::u16string shown;
  };
  const Case cases[] = {
      {{2026, 3, 1, 0, 30, 0}, u"now"},          {{2026, 3, 1, 0, 29, 1}, u"now"},
      {{2026, 3, 1, 0, 30, 40}, u"now"},  // a little ahead: the same moment from another clock
      {{2026, 3, 1, 0, 29, 0}, u"1 min"},        {{2026, 3, 1, 0, 0, 0}, u"30 min"},
      {{2026, 2, 28, 23, 31, 0}, u"59 min"},  // within the hour, though yesterday by the calendar
      {{2026, 2, 28, 23, 0, 0}, u"yesterday"},   {{2026, 2, 28, 0, 0, 0}, u"yesterday"},
      {{2026, 2, 27, 23, 59, 59}, u"2/27/2026"}, {{2025, 3, 1, 0, 30, 0}, u"2/27/2026"},
      {{2026, 3, 1, 0, 35, 0}, u"2/27/2026"},  // the clock was put back since: no age to tell
  };
  for (const Case& c : cases)
    EXPECT_EQ(Age(now, c.then), c.shown) << c.then.year << "-" << c.then.month << "-" << c.then.day << " "
                                         << c.then.hour << ":" << c.then.minute << ":" << c.then.second;
  EXPECT_EQ(Age({2026, 12, 9, 18, 0, 0}, {2026, 12, 9, 9, 15, 0}), u"8 h");
  // Across a leap day and a year's end.
  EXPECT_EQ(Age({2024, 3, 1, 8, 0, 0}, {2024, 2, 29, 8, 0, 0}), u"yesterday");
  EXPECT_EQ(Age({2027, 1, 1, 8, 0, 0}, {2026, 12, 31, 22, 0, 0}), u"yesterday");
}

TEST(AgeText, CivilSecondsRoundTrip_BeforeAndAfter1970) {
  for (const CivilTime& time :
       {CivilTime{1969, 12, 31, 23, 59, 59}, CivilTime{1970, 1, 1, 0, 0, 0}, CivilTime{2000, 2, 29, 12, 0, 1},
        CivilTime{2026, 12, 9, 21, 20, 15}, CivilTime{1601, 1, 1, 0, 0, 0}}) {
    const CivilTime back = ui::CivilFromSeconds(ui::CivilSeconds(time));
    EXPECT_EQ(std::tie(back.year, back.month, back.day, back.hour, back.minute, back.second),
              std::tie(time.year, time.month, time.day, time.hour, time.minute, time.second));
  }
  EXPECT_EQ(ui::CivilSeconds({1970, 1, 2, 0, 0, 0}), 86400);
}

}  // namespace
}  // namespace age_text_test

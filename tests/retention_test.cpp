// How long entries stay: the date cells read back in whatever form the user's formats gave
// them, and the rows that the limits remove.
#include "history/retention.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "clipboard_history_support.h"
#include "history/history_table.h"
#include "platform/utf.h"

namespace retention_test {

namespace {

using namespace platform;
using history::DateReader;

SystemTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  SystemTime time;
  time.year = year;
  time.month = month;
  time.day = day;
  time.hour = hour;
  time.minute = minute;
  time.second = second;
  return time;
}

std::string Printed(const char* format, int a, int b, int c) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, a, b, c);
  return buffer;
}

class DateReaderTest : public clipboard_history_test::DesktopTest {
 protected:
  std::optional<std::int64_t> Read(const std::u16string& cell) { return DateReader(desk).Read(cell); }
  static std::int64_t Seconds(const SystemTime& time) { return DateReader::SecondsOf(time); }
};

TEST_F(DateReaderTest, UsForm_ReadsWhatCapturesWrite_AndNothingElse) {
  EXPECT_EQ(Read(u"12/8/2026 9:30:01 AM"), Seconds(At(2026, 12, 8, 9, 30, 1)));
  EXPECT_EQ(Read(u"12/8/2026"), Seconds(At(2026, 12, 8)));  // midnight has no time
  EXPECT_EQ(Read(u"1/31/2025 12:15:00 PM"), Seconds(At(2025, 1, 31, 12, 15)));
  EXPECT_EQ(Read(u"1/31/2025 12:15:00 AM"), Seconds(At(2025, 1, 31, 0, 15)));
  EXPECT_EQ(*Read(u"3/1/2024 11:59:59 PM") - *Read(u"2/28/2024 11:59:59 PM"), 2 * 86400) << "a leap day";
  for (const char16_t* foreign :
       {u"", u"yesterday", u"13/8/2026", u"12/8/2026 9:30:01", u"12/8/2026  9:30:01 AM",
        u"12/8/2026 9:30:01 AM later", u"08.12.2026", u"12/8/2026 13:30:01 PM", u"12/8/2026 9:30:61 AM",
        u"12/8/20261 9:30:01 AM", u"12/8/", u"12//2026"})
    EXPECT_EQ(Read(foreign), std::nullopt) << Utf16ToUtf8(foreign);
}

// The reader learns the form from the user's own formats: any order and separators, a 24-hour
// clock, a designator first, two-digit years; a form with names in it reads nothing.
TEST_F(DateReaderTest, OtherForms_LearntFromTheUsersFormats) {
  desk.time.ShortDateFormat = [](const SystemTime& t) {
    return Printed("%02d.%02d.%04d", t.day, t.month, t.year);
  };
  desk.time.LongTimeFormat = [](const SystemTime& t) {
    return Printed("%02d:%02d:%02d", t.hour, t.minute, t.second);
  };
  EXPECT_EQ(Read(u"08.12.2026 21:30:01"), Seconds(At(2026, 12, 8, 21, 30, 1)));
  EXPECT_EQ(Read(u"12/8/2026 9:30:01 AM"), std::nullopt);

  desk.time.ShortDateFormat = [](const SystemTime& t) {
    return Printed("%04d-%02d-%02d", t.year, t.month, t.day);
  };
  EXPECT_EQ(Read(u"2026-12-08 07:05:00"), Seconds(At(2026, 12, 8, 7, 5)));
  EXPECT_EQ(Read(u"2026-12-08"), Seconds(At(2026, 12, 8)));

  desk.time.ShortDateFormat = [](const SystemTime& t) {
    return Printed("%d/%d/%02d", t.day, t.month, t.year % 100);
  };
  desk.time.LongTimeFormat = [](const SystemTime& t) {
    return std::string(t.hour < 12 ? "AM " : "PM ") +
           Printed("%d:%02d:%02d", t.hour % 12 ? t.hour % 12 : 12, t.minute, t.second);
  };
  EXPECT_EQ(Read(u"8/12/26 PM 9:30:01"), Seconds(At(2026, 12, 8, 21, 30, 1)));
  EXPECT_EQ(Read(u"8/12/99 AM 12:00:05"), Seconds(At(1999, 12, 8, 0, 0, 5))) << "not a year ahead";
  EXPECT_EQ(Read(u"8/12/26 9:30:01"), std::nullopt);

  desk.time.ShortDateFormat = [](const SystemTime& t) {
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    return std::to_string(t.day) + " " + months[t.month - 1] + " " + std::to_string(t.year);
  };
  EXPECT_EQ(Read(u"8 Dec 2026 PM 9:30:01"), std::nullopt);
  EXPECT_EQ(Read(u"23 Nov 2045"), std::nullopt) << "not even the learning moment's own text";
}

class RetentionTest : public clipboard_history_test::DesktopTest {
 protected:
  RetentionTest() : list(history::HistoryColumns()) {
    // Newest first, as captures leave them; the undated and foreign-dated rows are imports.
    for (auto [date, text] : std::initializer_list<std::pair<const char16_t*, const char16_t*>>{
             {u"12/8/2026 9:00:00 AM", u"today"},
             {u"", u"undated"},
             {u"12/6/2026 9:00:00 AM", u"2 days"},
             {u"11/8/2026 9:31:00 AM", u"30 days less a minute"},
             {u"11/8/2026 9:29:00 AM", u"30 days and a minute"},
             {u"08.10.2026 09:00:00", u"foreign"},
             {u"10/29/2026", u"40 days"},
             {u"11/3/2025 9:00:00 AM", u"400 days"}}) {
      const int row = list.AppendRow();
      list.SetCell(history::Date, row, date);
      list.SetCell(history::Clipboadrs_history, row, text);
    }
  }
  std::vector<std::u16string> Texts() const {
    std::vector<std::u16string> texts;
    for (int row = 0; row < list.RowCount(); ++row)
      texts.push_back(list.Cell(history::Clipboadrs_history, row));
    return texts;
  }
  int Apply(history::RetentionLimits limits) {
    return history::ApplyRetention(list, DateReader(desk), limits, At(2026, 12, 8, 9, 30, 0));
  }
  grid::Table list;
};

TEST_F(RetentionTest, Age_RemovesWhatIsOlder_KeepsWhatDoesNotRead_AndTheSelectionFollows) {
  list.SetRowSelected(5, true);
  list.SetCurrentRow(6);
  EXPECT_EQ(Apply({30, 0}), 3);
  EXPECT_EQ(Texts(), (std::vector<std::u16string>{u"today", u"undated", u"2 days", u"30 days less a minute",
                                                  u"foreign"}));
  EXPECT_TRUE(list.RowSelected(4));
  EXPECT_EQ(list.CurrentRow(), 4) << "the current row went: the next kept one, here the last";
  EXPECT_EQ(Apply({30, 0}), 0);
  EXPECT_EQ(Apply({1, 0}), 2);
  EXPECT_EQ(Texts(), (std::vector<std::u16string>{u"today", u"undated", u"foreign"}));
}

TEST_F(RetentionTest, Count_KeepsTheNewest_AfterTheAge_AndNoLimitsKeepEverything) {
  EXPECT_EQ(Apply({0, 0}), 0);
  EXPECT_EQ(list.RowCount(), 8);
  EXPECT_EQ(Apply({0, 7}), 1);
  EXPECT_EQ(Texts().back(), u"40 days");
  EXPECT_EQ(Apply({7, 2}), 5) << "the count is of the rows the age leaves";
  EXPECT_EQ(Texts(), (std::vector<std::u16string>{u"today", u"undated"}));
}

}  // namespace
}  // namespace retention_test

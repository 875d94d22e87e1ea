// Entries that expire, in the whole program: the limits from the settings file and the
// "Privacy" group, applied at start-up, at each capture and every hour, and what they remove
// gone from every file in Data.
#include <gtest/gtest.h>

#include "program_fixture.h"

namespace retention_program_test {

namespace {

using testing_support::Utf16File;
using Texts = std::vector<std::string>;

// Dated as the program writes dates, 400, 40 and 2 days before the simulated start
// (12/8/2026 9:30 AM) and that morning, with an entry of another program's form and an undated
// one among them.
constexpr const char* AgedHistory =
    "0,12/8/2026 8:00:00 AM,from today\r\n"
    "2,12/6/2026 5:00:00 PM,from two days ago\r\n"
    "3,,undated import\r\n"
    "4,10/29/2026,from forty days ago\r\n"
    "5,2025-11-03 10:00:00,foreign form\r\n"
    "6,11/3/2025 10:00:00 AM,from four hundred days ago\r\n";

class RetentionProgramTest : public testing_support::ClipboardProgramTest {
 public:
  void PutSettings(const std::string& days, const std::string& count) {
    PutDataFile("settings.stng", "0\r\n-1\r\n1\r\n65581\r\n" + days + "\r\n" + count + "\r\n");
  }
  void Apply(int forgetItem, const char16_t* keepAtMost) {
    Form1().ForgetAfter_c.SetItemIndex(forgetItem);
    Form1().KeepAtMost_e.UserSetText(keepAtMost);
    Form1().PrivacyApply.Click();
  }
  std::vector<std::string> Items() {
    std::vector<std::string> items;
    for (const ui::ListItem& item : Form1().ForgetAfter_c.Items()) items.push_back(item.text);
    return items;
  }
  std::string ChosenItem() {
    const int index = Form1().ForgetAfter_c.ItemIndex();
    return index < 0 ? "" : Items()[static_cast<std::size_t>(index)];
  }
};

TEST_F(RetentionProgramTest, AgeAtStartUp_ForgetsTheOlderEntries_OnDiskToo_KeepsWhatDoesNotRead) {
  PutDataFile("clipboard_history.hstr", Utf16File(AgedHistory));
  PutSettings("30", "0");
  StartJoined();
  EXPECT_EQ((Texts{"from today", "from two days ago", "undated import", "foreign form"}), HistoryTexts());
  EXPECT_EQ(DataFilesHolding("from forty days ago"), Texts{});
  EXPECT_EQ(DataFilesHolding("from four hundred days ago"), Texts{});
  EXPECT_EQ(DataFileBytes("clipboard_history.hstr"),
            Utf16File("1,12/8/2026 8:00:00 AM,from today\r\n2,12/6/2026 5:00:00 PM,from two days ago\r\n"
                      "3,,undated import\r\n4,2025-11-03 10:00:00,foreign form\r\n"));
  EXPECT_EQ(ChosenItem(), "30 days");
}

TEST_F(RetentionProgramTest, CountAtACapture_TheOldestGo_AndWithinTwoSecondsNoFileHoldsThem) {
  PutSettings("0", "3");
  StartJoined();
  for (const char* text : {"one", "two", "three", "four", "five"}) ASSERT_TRUE(other.CopyText(text));
  EXPECT_EQ((Texts{"five", "four", "three"}), HistoryTexts());
  EXPECT_EQ(Form1().TableGrid2.Rows().RowCount(), 3);
  desk.windows.Advance(2000);
  EXPECT_EQ(DataFilesHolding("one"), Texts{});
  EXPECT_EQ(DataFilesHolding("two"), Texts{});
  EXPECT_FALSE(DataFilesHolding("five").empty());

  Restart();  // the count holds at the next start, and the file read then has the three
  desk.windows.Advance(1000);
  EXPECT_EQ((Texts{"five", "four", "three"}), HistoryTexts());
}

TEST_F(RetentionProgramTest, HourlyCheck_ForgetsEntriesAsTheyGrowTooOld) {
  PutSettings("1", "0");
  StartJoined();
  ASSERT_TRUE(other.CopyText("morning copy"));
  desk.windows.Advance(12 * 3600 * 1000);
  ASSERT_TRUE(other.CopyText("evening copy"));
  desk.windows.Advance(13 * 3600 * 1000);  // the morning copy is a day and an hour old
  EXPECT_EQ(Texts{"evening copy"}, HistoryTexts());
  EXPECT_EQ(DataFilesHolding("morning copy"), Texts{});
  desk.windows.Advance(12 * 3600 * 1000);
  EXPECT_EQ(Texts{}, HistoryTexts());
  EXPECT_EQ(DataFilesHolding("evening copy"), Texts{});
}

// The "Privacy" group's Apply puts new limits in force at once, removing what they exclude
// from the disk, and saves them as lines 5 and 6; a count that is no number changes nothing.
TEST_F(RetentionProgramTest, PrivacyApply_AppliesTheLimitsAtOnce_AndSavesThem) {
  PutDataFile("clipboard_history.hstr", Utf16File(AgedHistory));
  PutSettings("0", "0");
  StartJoined();
  EXPECT_EQ(Items(), (Texts{"Never", "1 day", "7 days", "30 days", "90 days", "365 days"}));
  EXPECT_EQ(ChosenItem(), "Never");
  EXPECT_EQ(Form1().KeepAtMost_e.Text(), u"0");
  EXPECT_EQ(HistoryTexts().size(), 6u);

  Apply(1, u"abc");
  ASSERT_EQ(desk.dialogs.Boxes().size(), 1u);
  EXPECT_EQ(desk.dialogs.Boxes()[0].text, "'abc' is not a valid number of entries.");
  EXPECT_EQ(HistoryTexts().size(), 6u);

  Apply(2, u"2");
  EXPECT_EQ((Texts{"from today", "from two days ago"}), HistoryTexts());
  EXPECT_EQ(DataFileBytes("settings.stng"), "0\r\n-1\r\n1\r\n65581\r\n7\r\n2\r\n0\r\n114774\r\n");
  EXPECT_EQ(DataFilesHolding("undated import"), Texts{});
  EXPECT_EQ(DataFilesHolding("foreign form"), Texts{});

  Apply(0, u"");
  EXPECT_EQ(DataFileBytes("settings.stng"), "0\r\n-1\r\n1\r\n65581\r\n0\r\n0\r\n0\r\n114774\r\n");
  EXPECT_EQ(Form1().KeepAtMost_e.Text(), u"0");
}

TEST_F(RetentionProgramTest, SettingsLines_AbsentOrDamagedGiveNoLimit_OtherDaysAreOffered) {
  struct Case {
    std::string file, chosen;
    std::u16string count;
    std::size_t kept;
  } cases[] = {
      {"0\r\n-1\r\n1\r\n", "Never", u"0", 6},
      {"0\r\n-1\r\n1\r\n65581\r\n30\r\n", "30 days", u"0", 4},
      {"0\r\n-1\r\n1\r\n65581\r\nx\r\n-5\r\n", "Never", u"0", 6},
      {"0\r\n-1\r\n1\r\n65581\r\n14\r\n5\r\n", "14 days", u"5", 4},
  };
  for (const Case& c : cases) {
    PutDataFile("clipboard_history.hstr", Utf16File(AgedHistory));
    PutDataFile("settings.stng", c.file);
    Restart();
    EXPECT_EQ(ChosenItem(), c.chosen) << c.file;
    EXPECT_EQ(Form1().KeepAtMost_e.Text(), c.count) << c.file;
    EXPECT_EQ(HistoryTexts().size(), c.kept) << c.file;
  }
  EXPECT_EQ(Items().back(), "14 days");
  Form1().Exit1.Click();
  FinishIfQuit();
  EXPECT_EQ(DataFileBytes("settings.stng"), "0\r\n-1\r\n1\r\n65581\r\n14\r\n5\r\n0\r\n114774\r\n");
}

TEST_F(RetentionProgramTest, ClearAll_LeavesNoTraceInAnyDataFile) {
  StartJoined();
  for (const char* text : {"first secret", "second secret"}) ASSERT_TRUE(other.CopyText(text));
  desk.windows.Advance(1000);
  ASSERT_FALSE(DataFilesHolding("first secret").empty());
  Form1().BitBtn2.Click();
  desk.windows.Advance(2000);
  EXPECT_EQ(DataFilesHolding("first secret"), Texts{});
  EXPECT_EQ(DataFilesHolding("second secret"), Texts{});
}

}  // namespace
}  // namespace retention_program_test

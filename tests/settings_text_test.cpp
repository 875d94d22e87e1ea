// The lines of the settings file: truth values, numbers and line breaks.
#include "app/settings_text.h"

#include <gtest/gtest.h>

#include "platform/errors.h"

namespace settings_text_test {

namespace {

TEST(SettingsText, TruthValuesAndIndexesReadOnlyTheirOwnForms) {
  for (const char* yes : {"-1", "2", "0.5", "+1e3", "TRUE", "tRuE"})
    EXPECT_TRUE(app::SettingsBool(yes)) << yes;
  for (const char* no : {"0", "-0", "0.000", "0e9", "False"}) EXPECT_FALSE(app::SettingsBool(no)) << no;
  for (const char* bad : {"", " 1", "1 ", "inf", "nan", "0x10", "1e", ".", "yes"})
    EXPECT_THROW(app::SettingsBool(bad), platform::Error) << bad;
  EXPECT_EQ(app::SettingsInt("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(app::SettingsInt("+7"), 7);
  for (const char* bad : {"", "-", "2147483648", "99999999999", "1.0", " 2", "0x1"})
    EXPECT_THROW(app::SettingsInt(bad), platform::Error) << bad;
  EXPECT_EQ(app::SplitSettingsLines("a\r\nb\rc\nd"), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(app::SplitSettingsLines("a\n\nb\r\n"), (std::vector<std::string>{"a", "", "b"}));
}

// What every version writes reads as whole; any line that is not its value, or too few lines,
// is damage. Lines past the eight known are a later version's.
TEST(SettingsText, DamagedFiles_AreTheOnesWithALineThatDoesNotRead) {
  using Lines = std::vector<std::string>;
  for (const Lines& whole : {Lines{"0", "-1", "0"}, Lines{"True", "False", "2", "65581", "30", "1000", "-1"},
                             Lines{"0", "0", "0", "0", "-1", "0", "0", "114774"},
                             Lines{"0", "0", "0", "0", "-1", "0", "0", "0", "a later version's line"}})
    EXPECT_FALSE(app::SettingsLinesDamaged(whole)) << whole.size();
  for (const Lines& damaged :
       {Lines{}, Lines{"0", "-1"}, Lines{"0", "banana", "0"}, Lines{"0", "0", "x"},
        Lines{"0", "0", "0", "256"}, Lines{"0", "0", "0", "0", "ten"}, Lines{"0", "0", "0", "0", "0", "1e3"},
        Lines{"0", "0", "0", "0", "0", "0", "?"}, Lines{"0", "0", "0", "0", "0", "0", "0", "V"}})
    EXPECT_TRUE(app::SettingsLinesDamaged(damaged)) << damaged.size();
}

}  // namespace
}  // namespace settings_text_test

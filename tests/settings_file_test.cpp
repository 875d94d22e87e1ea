// The settings as data: read from and written to settings.stng without any window.
#include "app/settings.h"

#include "app/program_names.h"
#include "program_fixture.h"

namespace settings_file_test {

namespace {

using testing_support::ProgramTest;

class SettingsFileTest : public ProgramTest {};

// What is read is what was written, byte for byte, and every field comes back.
TEST_F(SettingsFileTest, WrittenSettings_ReadBackTheSame_AndTheFileIsTheLinesEveryVersionWrites) {
  app::Settings settings;
  settings.startAutomatically = false;
  settings.trayOnly = true;
  settings.activePage = 2;
  settings.quickPaste = 16465;
  settings.limits = {30, 1000};
  settings.seal = true;
  settings.plainPaste = 0;
  app::WriteSettings(desk, settings, "C:\\Program Files\\Clipboard manager\\Clipboard_manager.exe");
  EXPECT_EQ(DataFileBytes("settings.stng"), "0\r\n-1\r\n2\r\n16465\r\n30\r\n1000\r\n-1\r\n0\r\n");
  // Off: the value is emptied, as every version has left it.
  EXPECT_EQ(desk.registry.GetText(app::RunKey, app::RunValue), std::string("\0", 1));

  const app::SettingsRead read = app::ReadSettings(desk);
  EXPECT_TRUE(read.notice.empty());
  EXPECT_EQ(app::SettingsBytes(read.settings), DataFileBytes("settings.stng"));
  EXPECT_EQ(read.settings.activePage, 2);
  EXPECT_EQ(read.settings.limits.days, 30);
  EXPECT_EQ(read.settings.limits.maxEntries, 1000);
  EXPECT_TRUE(read.settings.seal);
  EXPECT_EQ(read.settings.plainPaste, 0u);

  settings.startAutomatically = true;
  app::WriteSettings(desk, settings, "C:\\Program Files\\Clipboard manager\\Clipboard_manager.exe");
  EXPECT_EQ(desk.registry.GetText(app::RunKey, app::RunValue),
            std::string("\"C:\\Program Files\\Clipboard manager\\Clipboard_manager.exe\"") + '\0');
}

// A first line that does not read stops the first three there, as every version has read them;
// the later lines each stand on their own, and the damaged file is kept aside once.
TEST_F(SettingsFileTest, DamagedLines_LeaveTheirDefaults_TheRestRead_AndTheFileIsKeptAside) {
  PutDataFile("settings.stng", "0\r\nbanana\r\n1\r\n16465\r\nten\r\n50\r\nmaybe\r\nx\r\n");
  const app::SettingsRead read = app::ReadSettings(desk);
  EXPECT_FALSE(read.settings.startAutomatically);
  EXPECT_TRUE(read.settings.trayOnly);
  EXPECT_FALSE(read.settings.activePage);
  EXPECT_EQ(read.settings.quickPaste, 16465u);
  EXPECT_EQ(read.settings.limits.days, 0);
  EXPECT_EQ(read.settings.limits.maxEntries, 50);
  EXPECT_FALSE(read.settings.seal);
  EXPECT_EQ(read.settings.plainPaste, app::DefaultPlainPasteHotKey);  // no number
  EXPECT_FALSE(read.notice.empty());
  EXPECT_EQ(DataFileBytes("settings.malformed.stng"),
            "0\r\nbanana\r\n1\r\n16465\r\nten\r\n50\r\nmaybe\r\nx\r\n");

  // No file at all: the defaults, and nothing to tell.
  desk.files.Delete(DataFile("settings.stng"));
  const app::SettingsRead none = app::ReadSettings(desk);
  EXPECT_TRUE(none.notice.empty());
  EXPECT_EQ(app::SettingsBytes(none.settings),
            "-1\r\n-1\r\n0\r\n" + std::to_string(app::DefaultQuickPasteHotKey) + "\r\n0\r\n0\r\n0\r\n" +
                std::to_string(app::DefaultPlainPasteHotKey) + "\r\n");
}

}  // namespace
}  // namespace settings_file_test

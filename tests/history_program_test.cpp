// The clipboard history in the whole program: copies in other programs, the history tab's
// buttons, export and import, the file across runs, and the chain at start and exit.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "clipboard/clipboard_text.h"
#include "platform/sim/sim_clipboard.h"
#include "program_fixture.h"

namespace history_program_test {

namespace {

using namespace platform;
using testing_support::Utf16File;
using Texts = std::vector<std::string>;

constexpr Uint VkF5 = 0x74;

class HistoryProgramTest : public testing_support::ClipboardProgramTest {
 public:
  ui::TableGrid& History() { return Form1().TableGrid2; }
  std::string HistoryFile() { return DataFileBytes("clipboard_history.hstr"); }
};

TEST_F(HistoryProgramTest, FirstSecond_NothingIsHeard_ThenTheCurrentTextAndEveryCopyAreRecorded) {
  Start();
  ASSERT_TRUE(other.CopyText("early"));
  desk.windows.Advance(999);
  EXPECT_TRUE(HistoryTexts().empty());
  EXPECT_EQ("Clipboard contains", Form1().Label1.Caption());

  desk.windows.Advance(1);
  EXPECT_EQ(Texts{"early"}, HistoryTexts());
  other.CopyText("B");
  other.CopyText("B");
  other.CopyText("A");
  EXPECT_EQ((Texts{"A", "B", "early"}), HistoryTexts());
  EXPECT_EQ("Clipboard contains: A", Form1().Label1.Caption());
  EXPECT_EQ(u"12/8/2026 9:30:01 AM", History().Rows().Cell("Date", 0));
}

TEST_F(HistoryProgramTest, StartWithTheStoredTopEntryOnTheClipboard_RecordsNothingNew) {
  PutDataFile("clipboard_history.hstr",
              Utf16File("0,12/7/2026 6:00:00 PM,A\r\n2,12/7/2026 5:00:00 PM,B\r\n"));
  other.CopyText("A");
  StartJoined();
  EXPECT_EQ((Texts{"A", "B"}), HistoryTexts());
  EXPECT_EQ("Clipboard contains: A", Form1().Label1.Caption());
}

TEST_F(HistoryProgramTest, Exit_WritesTheCaptures_TheNextRunLoadsThem) {
  StartJoined();
  other.CopyText("first");
  other.CopyText("line 1\r\nline 2");
  Form1().Exit1.Click();
  FinishIfQuit();
  EXPECT_EQ(Utf16File("0,12/8/2026 9:30:01 AM,line 1|line 2\r\n"
                      "2,12/8/2026 9:30:01 AM,first\r\n"),
            HistoryFile());

  Restart();
  EXPECT_EQ((Texts{"line 1\r\nline 2", "first"}), HistoryTexts());
  EXPECT_EQ(u"1", History().Rows().Cell(0, 0));
}

TEST_F(HistoryProgramTest, ExportAndImportErrors_ShowTheStandardErrorBox) {
  StartJoined();
  other.CopyText("X");
  desk.dialogs.AnswerNextFileDialog("C:\\nowhere\\x");
  Form1().BitBtn5.Click();
  desk.dialogs.AnswerNextFileDialog("C:\\missing.hstr");
  Form1().BitBtn6.Click();
  ASSERT_EQ(2u, desk.dialogs.Boxes().size());
  EXPECT_EQ("Invalid filename.", desk.dialogs.Boxes()[0].text);
  EXPECT_EQ("File not found.", desk.dialogs.Boxes()[1].text);
  EXPECT_EQ(program->App().Title(), desk.dialogs.Boxes()[1].caption);
  EXPECT_EQ(MbOk | MbIconError, desk.dialogs.Boxes()[1].flags);
  EXPECT_EQ(Texts{"X"}, HistoryTexts());
}

TEST_F(HistoryProgramTest, ShiftClickAfterCaptures_SelectsTheRowsBetweenTheClicks_AndDeleteTakesThose) {
  StartJoined();
  for (const char* text : {"A", "B", "C", "D"}) other.CopyText(text);
  History().ClickRow(1);  // C
  other.CopyText("E");
  other.CopyText("F");
  History().ShiftClickRow(4);  // B; C has moved down to row 3 meanwhile
  EXPECT_EQ((Texts{"F", "E", "D", "C", "B", "A"}), HistoryTexts());
  for (int row = 0; row < 6; ++row) EXPECT_EQ(row == 3 || row == 4, History().Rows().RowSelected(row)) << row;

  // Extending again keeps the first click's row as the fixed end, whatever came in since.
  other.CopyText("G");
  History().ShiftClickRow(1);  // F
  for (int row = 0; row < 7; ++row) EXPECT_EQ(row >= 1 && row <= 4, History().Rows().RowSelected(row)) << row;

  Form1().BitBtn1.Click();
  EXPECT_EQ((Texts{"G", "B", "A"}), HistoryTexts());
  EXPECT_EQ(Utf16File("0,12/8/2026 9:30:01 AM,G\r\n0,12/8/2026 9:30:01 AM,B\r\n"
                      "3,12/8/2026 9:30:01 AM,A\r\n"),  // appended to the empty list
            HistoryFile());
}

TEST_F(HistoryProgramTest, Exit_AsTheChainsLastMember_UnlinksFromTheViewerBeforeIt) {
  StartJoined();
  sim::NeighbourViewer before(desk.clipboard);
  before.Join();
  ASSERT_EQ(program->Recorder().Window(), before.Next());
  Form1().Exit1.Click();
  FinishIfQuit();
  EXPECT_EQ(0u, before.Next());
}

TEST_F(HistoryProgramTest, PrivateCopy_NotShownOrRecorded_YetRestoredAfterAHotkeyPaste) {
  PutDataFile("actions.cnfg", Utf16File("1,Sign,Ctrl+F5,Regards,V\r\n"));
  StartJoined();
  other.CopyText("A");
  other.CopyExcludedText("hunter2");
  EXPECT_EQ(Texts{"A"}, HistoryTexts());
  EXPECT_EQ("Clipboard contains: ", Form1().Label1.Caption());

  ASSERT_TRUE(desk.hotkeys.Press(ModControl, VkF5));
  desk.windows.Advance(1);
  // Put back as private as it came: neither this history nor any other monitor records it.
  EXPECT_EQ("hunter2", desk.clipboard.Text());
  EXPECT_EQ((Texts{"Regards", "A"}), HistoryTexts());
  EXPECT_EQ("Clipboard contains: ", Form1().Label1.Caption());
}

// The tray's "Pause recording": nothing of a copy made meanwhile reaches the list, the label or
// a file, while the hotkey paste goes on working; choosing it again resumes, and a new start
// records.
TEST_F(HistoryProgramTest, PauseRecording_CopiesLeaveNoTrace_PastesStillWork_AndResumeOrRestartRecords) {
  PutDataFile("actions.cnfg", Utf16File("1,A,Ctrl+F5,action,V\r\n"));
  StartJoined();
  ASSERT_TRUE(other.CopyText("before"));
  desk.windows.Advance(1000);  // the journal is on the disk
  const std::string journal = DataFileBytes("clipboard_history.hstr.journal");
  auto pauseItem = [this] {
    const auto& entries = desk.notifyArea.Popups().back().entries;
    return *std::find_if(entries.begin(), entries.end(),
                         [](const MenuEntry& e) { return e.caption == "Pause recording"; });
  };

  desk.notifyArea.ChooseNext("Pause recording");
  desk.notifyArea.RightClick();
  EXPECT_EQ(std::string(desk.notifyArea.Icon().szTip), "Recording paused");
  ASSERT_TRUE(other.CopyText("secret while paused"));
  ASSERT_TRUE(desk.hotkeys.Press(ModControl, VkF5));
  desk.windows.Advance(2000);
  EXPECT_EQ(Texts{"before"}, HistoryTexts());
  EXPECT_EQ("Clipboard contains: before", Form1().Label1.Caption());
  EXPECT_EQ(journal, DataFileBytes("clipboard_history.hstr.journal"));
  EXPECT_EQ(desk.clipboard.Text(), "secret while paused");  // the paste gave it back
  desk.notifyArea.RightClick();
  EXPECT_TRUE(pauseItem().checked);

  desk.notifyArea.ChooseNext("Pause recording");
  desk.notifyArea.RightClick();
  desk.notifyArea.RightClick();
  EXPECT_FALSE(pauseItem().checked);
  EXPECT_EQ(std::string(desk.notifyArea.Icon().szTip), "Corvilane Clipboard Manager");
  ASSERT_TRUE(other.CopyText("after"));
  EXPECT_EQ((Texts{"after", "before"}), HistoryTexts());

  desk.notifyArea.ChooseNext("Pause recording");
  desk.notifyArea.RightClick();
  Restart();
  desk.windows.Advance(1000);
  ASSERT_TRUE(other.CopyText("next run"));
  EXPECT_EQ(HistoryTexts().front(), "next run");
}

// Copies made by a password manager are kept out by the program's file name, whatever its
// letter case; a list of the user's replaces the default one whole.
TEST_F(HistoryProgramTest, ExcludedPrograms_DefaultListOrTheUsersFile_NamesInAnyCase) {
  sim::ForeignProgram keepass(desk.clipboard, "KeePassXC");
  sim::ForeignProgram tool(desk.clipboard, "Tool");
  desk.windows.SetWindowProgramFileName(keepass.Window(), "keepassxc.EXE");
  desk.windows.SetWindowProgramFileName(tool.Window(), "Secret Tool.exe");
  desk.windows.SetWindowProgramFileName(other.Window(), "notepad.exe");
  StartJoined();
  ASSERT_TRUE(keepass.CopyText("hunter2"));
  EXPECT_TRUE(HistoryTexts().empty());
  EXPECT_EQ("Clipboard contains: ", Form1().Label1.Caption());
  ASSERT_TRUE(tool.CopyText("tool text"));
  ASSERT_TRUE(other.CopyText("notes"));
  EXPECT_EQ((Texts{"notes", "tool text"}), HistoryTexts());
  Form1().Exit1.Click();
  FinishIfQuit();
  EXPECT_EQ(std::string::npos, HistoryFile().find(std::string("h\0u\0n\0t\0e\0r\0", 12)));

  PutDataFile("excluded_programs.cnfg", Utf16File("SECRET TOOL.EXE\r\n"));
  Restart();
  desk.windows.Advance(1000);
  ASSERT_TRUE(keepass.CopyText("now recorded"));
  ASSERT_TRUE(tool.CopyText("kept out"));
  EXPECT_EQ((Texts{"now recorded", "notes", "tool text"}), HistoryTexts());
}

// Content put on the clipboard without an owner window is judged by the program in front.
TEST_F(HistoryProgramTest, ExcludedPrograms_CopyWithoutOwner_JudgedByTheForegroundProgram) {
  sim::ForeignProgram keepass(desk.clipboard, "KeePass");
  desk.windows.SetWindowProgramFileName(keepass.Window(), "KeePass.exe");
  StartJoined();
  desk.windows.SetForegroundWindow(keepass.Window());
  ASSERT_TRUE(clipboard::SetClipboardText(desk, 0, u"from the password manager"));
  EXPECT_TRUE(HistoryTexts().empty());
  desk.windows.SetForegroundWindow(other.Window());
  ASSERT_TRUE(clipboard::SetClipboardText(desk, 0, u"from elsewhere"));
  EXPECT_EQ(Texts{"from elsewhere"}, HistoryTexts());
}

// The "Privacy" group shows the programs kept out; its "Apply" puts the box's names in force at
// once and writes them, one a line, for the next start.
TEST_F(HistoryProgramTest, PrivacyApply_TakesTheNamesAtOnce_AndTheNextStartReadsThem) {
  sim::ForeignProgram keepass(desk.clipboard, "KeePass");
  sim::ForeignProgram tool(desk.clipboard, "Tool");
  desk.windows.SetWindowProgramFileName(keepass.Window(), "KeePass.exe");
  desk.windows.SetWindowProgramFileName(tool.Window(), "Secret Tool.exe");
  StartJoined();
  EXPECT_EQ(Form1().ExcludedPrograms_e.Text(),
            u"KeePass.exe\r\nKeePassXC.exe\r\n1Password.exe\r\nBitwarden.exe\r\nDashlane.exe\r\n"
            u"Enpass.exe\r\nRoboForm.exe\r\nNordPass.exe");
  EXPECT_FALSE(DataFileExists("excluded_programs.cnfg"));

  Form1().ExcludedPrograms_e.UserSetText(u"  secret tool.exe\r\n\r\nvault, the app.exe ");
  Form1().PrivacyApply.Click();
  EXPECT_EQ(DataFileBytes("excluded_programs.cnfg"),
            Utf16File("secret tool.exe\r\n\"vault, the app.exe\"\r\n"));
  EXPECT_EQ(Form1().ExcludedPrograms_e.Text(), u"secret tool.exe\r\nvault, the app.exe");
  ASSERT_TRUE(tool.CopyText("kept out"));
  ASSERT_TRUE(keepass.CopyText("recorded now"));
  EXPECT_EQ(Texts{"recorded now"}, HistoryTexts());

  Restart();
  desk.windows.Advance(1000);
  EXPECT_EQ(Form1().ExcludedPrograms_e.Text(), u"secret tool.exe\r\nvault, the app.exe");
  ASSERT_TRUE(tool.CopyText("kept out again"));
  EXPECT_EQ(HistoryTexts().front(), "recorded now");
}

// What "Delete selected" removes leaves the disk with it: within two seconds no file in Data
// holds it, the journal and any temporary file included.
TEST_F(HistoryProgramTest, DeleteSelected_LeavesNoTraceOfTheRemovedTextInAnyDataFile) {
  StartJoined();
  for (const char* text : {"keep me", "my-secret-token", "keep me too"}) ASSERT_TRUE(other.CopyText(text));
  desk.windows.Advance(1000);  // the journal is on the disk
  ASSERT_FALSE(DataFilesHolding("my-secret-token").empty());
  History().ClickRow(1);
  Form1().BitBtn1.Click();
  desk.windows.Advance(2000);
  EXPECT_EQ((Texts{"keep me too", "keep me"}), HistoryTexts());
  EXPECT_EQ(DataFilesHolding("my-secret-token"), std::vector<std::string>{});
}

}  // namespace
}  // namespace history_program_test

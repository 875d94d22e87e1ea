// Nothing stored or copied is lost: data files another program holds at start-up, damaged
// files, a kill after copies, a journal cut short, a second start, a busy clipboard and a
// failing write at log-off, all in the whole program on the simulated desktop.
#include <gtest/gtest.h>

#include "app/settings_text.h"
#include "history/history_store.h"
#include "history/journal.h"
#include "platform/sim/sim_clipboard.h"
#include "program_fixture.h"

namespace durable_program_test {

namespace {

using namespace platform;
using testing_support::Utf16File;
using Texts = std::vector<std::string>;

constexpr const char* HistoryName = "clipboard_history.hstr";
constexpr const char* JournalName = "clipboard_history.hstr.journal";
constexpr const char* ActionsName = "actions.cnfg";

const std::string StoredHistory =
    Utf16File("1,12/7/2026 6:00:00 PM,old A\r\n2,12/7/2026 5:00:00 PM,old B\r\n");
const std::string StoredActions = Utf16File("1,Greeting,No,Hello,V\r\n");

class DurableTest : public testing_support::ClipboardProgramTest {
 public:
  std::string HistoryFile() { return DataFileBytes(HistoryName); }
  std::vector<std::u16string> ActionNames() {
    std::vector<std::u16string> names;
    for (int row = 0; row < Form1().TableGrid1.Rows().RowCount(); ++row)
      names.push_back(Form1().TableGrid1.Rows().Cell("TextColumn1", row));
    return names;
  }
  void AddAction(const std::u16string& name, const std::u16string& text) {
    desk.windows.OnNextModal([=, this](Hwnd) {
      Tasks().Edit1.UserSetText(name);
      Tasks().edit2.UserSetText(text);
      Tasks().BitBtn1.Click();
      if (Tasks().Modal()) Tasks().BitBtn2.Click();
    });
    Form1().Add_b.Click();
  }
};

// ---- Data files held by another program at start-up ----

TEST_F(DurableTest, HistoryFileHeldForASecond_IsReadOnceFree_AndExitKeepsOldAndNewEntries) {
  PutDataFile(HistoryName, StoredHistory);
  desk.files.HoldWithoutSharing(DataFile(HistoryName), 1000);
  StartJoined();
  EXPECT_EQ((Texts{"old A", "old B"}), HistoryTexts());
  other.CopyText("new");
  Exit();
  ASSERT_TRUE(program->Exited());
  EXPECT_EQ(
      Utf16File(
          "0,12/8/2026 9:30:02 AM,new\r\n2,12/7/2026 6:00:00 PM,old A\r\n3,12/7/2026 5:00:00 PM,old B\r\n"),
      HistoryFile());
  EXPECT_TRUE(Balloons().empty());
}

TEST_F(DurableTest, HistoryFileHeldAllRun_IsNeverReplaced_AndTheRunsCopiesJoinItAtTheNextStart) {
  PutDataFile(HistoryName, StoredHistory);
  desk.files.HoldWithoutSharing(DataFile(HistoryName), sim::SimFiles::Forever);
  StartJoined();
  EXPECT_TRUE(HistoryTexts().empty());
  ASSERT_EQ(1u, Balloons().size());
  EXPECT_NE(std::string::npos, Balloons()[0].find(JournalName)) << Balloons()[0];
  EXPECT_TRUE(desk.dialogs.Boxes().empty());

  other.CopyText("run 1");
  other.CopyText("run 2");
  other.CopyText("gone");
  Form1().TableGrid2.Rows().SetRowSelected(0, true);
  Form1().BitBtn1.Click();  // "Delete selected" acts on this run's list
  Exit();
  EXPECT_TRUE(program->Exited());
  EXPECT_TRUE(desk.dialogs.Boxes().empty());
  EXPECT_EQ(1u, Balloons().size());

  desk.files.ClearFaults();
  EXPECT_EQ(StoredHistory, HistoryFile());
  Restart();
  EXPECT_EQ((Texts{"run 2", "run 1", "old A", "old B"}), HistoryTexts());
  Exit();
  // The dates are three seconds on: the first start waited that long for the file.
  // Put back from the journal, they are rows read at start-up like the file's.
  EXPECT_EQ(Utf16File("1,12/8/2026 9:30:04 AM,run 2\r\n2,12/8/2026 9:30:04 AM,run 1\r\n"
                      "3,12/7/2026 6:00:00 PM,old A\r\n4,12/7/2026 5:00:00 PM,old B\r\n"),
            HistoryFile());
  EXPECT_FALSE(DataFileExists(JournalName));
}

TEST_F(DurableTest, HistoryWriteBeforeTheHistoryIsRead_LeavesTheFileAsItWas) {
  PutDataFile(HistoryName, StoredHistory);
  grid::Table empty(history::HistoryColumns());
  history::HistoryStore store(
      desk, [this] { return DataFile(HistoryName); }, empty);
  store.WriteAll();
  EXPECT_EQ(StoredHistory, HistoryFile());

  store.Load();
  EXPECT_EQ(2, empty.RowCount());
}

TEST_F(DurableTest, ActionsFileHeldForASecond_IsRead) {
  PutDataFile(ActionsName, StoredActions);
  desk.files.HoldWithoutSharing(DataFile(ActionsName), 1000);
  Start();
  EXPECT_EQ(std::vector<std::u16string>{u"Greeting"}, ActionNames());
  EXPECT_TRUE(Balloons().empty());
}

TEST_F(DurableTest, ActionsFileHeldAllRun_IsNeverReplaced_ChangesGoToAFileBesideIt) {
  PutDataFile(ActionsName, StoredActions);
  PutDataFile(HistoryName, StoredHistory);
  desk.files.HoldWithoutSharing(DataFile(ActionsName), sim::SimFiles::Forever);
  Start();
  EXPECT_EQ((Texts{"old A", "old B"}), HistoryTexts());  // the other file is read as ever
  ASSERT_EQ(1u, Balloons().size());
  EXPECT_NE(std::string::npos, Balloons()[0].find("actions.saved-aside.cnfg")) << Balloons()[0];

  AddAction(u"Made now", u"text");
  EXPECT_EQ(std::vector<std::u16string>{u"Made now"}, ActionNames());
  desk.files.ClearFaults();
  EXPECT_EQ(StoredActions, DataFileBytes(ActionsName));
  EXPECT_EQ(Utf16File("1,Made now,No,text,V\r\n"), DataFileBytes("actions.saved-aside.cnfg"));
}

TEST_F(DurableTest, MalformedFiles_AreKeptAsideUnderTheirOwnName_BeforeTheFirstWrite) {
  const std::string damaged = Utf16File("1,12/7/2026 6:00:00 PM,A\r\n") + "x";  // a stray byte
  const std::string damagedActions = std::string("1,Name\0,No,T,V\r\n", 16);
  PutDataFile(HistoryName, damaged);
  PutDataFile(ActionsName, damagedActions);
  PutDataFile("clipboard_history.malformed.hstr", "an earlier one");
  StartJoined();
  EXPECT_EQ(Texts{"A"}, HistoryTexts());
  EXPECT_EQ("an earlier one", DataFileBytes("clipboard_history.malformed.hstr"));
  EXPECT_EQ(damaged, DataFileBytes("clipboard_history.malformed2.hstr"));
  EXPECT_EQ(damagedActions, DataFileBytes("actions.malformed.cnfg"));
  ASSERT_EQ(1u, Balloons().size());
  EXPECT_NE(std::string::npos, Balloons()[0].find("clipboard_history.malformed2.hstr")) << Balloons()[0];

  Exit();
  EXPECT_EQ(Utf16File("1,12/7/2026 6:00:00 PM,A\r\n"), HistoryFile());
  EXPECT_EQ(damaged, DataFileBytes("clipboard_history.malformed2.hstr"));
}

// A damaged settings file is copied aside before the next save replaces it, and told once;
// what can be read of it still applies.
TEST_F(DurableTest, DamagedSettingsFile_IsKeptAsideAndTold_AndTheNextSaveWritesAWholeOne) {
  const std::string damaged = "-1\r\n-1\r\n0\r\nbanana\r\n";
  PutDataFile("settings.stng", damaged);
  StartJoined();
  EXPECT_EQ(damaged, DataFileBytes("settings.malformed.stng"));
  ASSERT_EQ(1u, Balloons().size());
  EXPECT_NE(std::string::npos, Balloons()[0].find("settings.malformed.stng")) << Balloons()[0];
  EXPECT_TRUE(Form1().CheckBox2.Checked());  // the lines before the damage still apply
  Exit();
  EXPECT_FALSE(app::SettingsLinesDamaged(app::SplitSettingsLines(DataFileBytes("settings.stng"))));
  EXPECT_EQ(damaged, DataFileBytes("settings.malformed.stng"));
  Kill();
  Start();
  EXPECT_EQ(1u, Balloons().size());  // nothing more to tell
}

// The list of programs kept out is only read: damaged, it stays as it is, the defaults apply,
// and each start tells so without another copy of the same bytes.
TEST_F(DurableTest, DamagedExclusionList_KeptAsideOnce_DefaultsApply_EveryStartTells) {
  const std::string damaged = Utf16File("Tool.exe\r\n") + "x";
  PutDataFile("excluded_programs.cnfg", damaged);
  for (int run = 0; run < 2; ++run) {
    run == 0 ? StartJoined() : Restart();
    EXPECT_EQ(Form1().ExcludedPrograms_e.Text().substr(0, 11), u"KeePass.exe") << run;
    ASSERT_EQ(run + 1u, Balloons().size()) << run;
    EXPECT_NE(std::string::npos, Balloons().back().find("excluded_programs.malformed.cnfg"))
        << Balloons().back();
  }
  EXPECT_EQ(damaged, DataFileBytes("excluded_programs.cnfg"));
  EXPECT_EQ(damaged, DataFileBytes("excluded_programs.malformed.cnfg"));
  EXPECT_FALSE(DataFileExists("excluded_programs.malformed2.cnfg"));
}

// ---- Captures on disk at once ----

// A disk that fills during a run, or a folder that turns read-only: the user is told at once,
// once a cause, the tip says so meanwhile, and the copies reach the disk when it takes them.
TEST_F(DurableTest, CopiesThatCannotBeSaved_AreToldOnceACause_AndSavedWhenTheDiskTakesThem) {
  StartJoined();
  ASSERT_TRUE(other.CopyText("saved"));
  desk.files.FailWritesAfter(0);
  ASSERT_TRUE(other.CopyText("on a full disk"));
  ASSERT_EQ(Balloons().size(), 1u);
  EXPECT_NE(Balloons()[0].find("Copies cannot be saved (There is not enough space on the disk)"),
            std::string::npos)
      << Balloons()[0];
  EXPECT_EQ(std::string(desk.notifyArea.Icon().szTip), "Copies are not being saved");
  ASSERT_TRUE(other.CopyText("still full"));
  desk.windows.Advance(3000);
  EXPECT_EQ(Balloons().size(), 1u) << "one balloon a cause";

  desk.files.ClearFaults();
  desk.files.DenyAccess(DataFile(JournalName));
  desk.windows.Advance(1000);
  EXPECT_EQ(Balloons().size(), 2u) << "a new cause is told";
  desk.files.ClearFaults();
  desk.windows.Advance(1000);
  EXPECT_EQ(std::string(desk.notifyArea.Icon().szTip), "Corvilane Clipboard Manager");
  Kill();
  Start();
  EXPECT_EQ((Texts{"still full", "on a full disk", "saved"}), HistoryTexts());
}

TEST_F(DurableTest, KillAfterCopies_TheRestartShowsEveryOne) {
  PutDataFile(HistoryName, StoredHistory);
  StartJoined();
  other.CopyText("one");
  other.CopyText("two");
  other.CopyText("three");
  Kill();
  EXPECT_EQ(StoredHistory, HistoryFile());  // only the journal has them
  Start();
  EXPECT_EQ((Texts{"three", "two", "one", "old A", "old B"}), HistoryTexts());
  EXPECT_EQ(u"12/8/2026 9:30:01 AM", Form1().TableGrid2.Rows().Cell("Date", 0));
}

TEST_F(DurableTest, JournalCutMidRecord_KeepsTheWholeRecords_AndLaterCopiesAfterThem) {
  StartJoined();
  other.CopyText("kept");
  other.CopyText("cut short");
  Kill();
  const std::string journal = DataFileBytes(JournalName);
  PutDataFile(JournalName, journal.substr(0, journal.size() - 3));

  Start();
  EXPECT_EQ(Texts{"kept"}, HistoryTexts());
  Kill();
  other.CopyText("after");  // on the clipboard at the start: recorded when the chain is joined
  StartJoined();
  EXPECT_EQ((Texts{"after", "kept"}), HistoryTexts());
  Kill();
  Start();
  EXPECT_EQ((Texts{"after", "kept"}), HistoryTexts());
}

TEST_F(DurableTest, JournalHeldAtStartUp_IsLeftAsItWas_AndItsCopiesJoinTheHistoryAtTheNextStart) {
  PutDataFile(HistoryName, StoredHistory);
  StartJoined();
  other.CopyText("before");
  Kill();
  const std::string journal = DataFileBytes(JournalName);
  desk.files.HoldWithoutSharing(DataFile(JournalName), sim::SimFiles::Forever);
  StartJoined();
  // Joining the chain records what the clipboard holds again: the journal's copy of it is unread.
  EXPECT_EQ((Texts{"before", "old A", "old B"}), HistoryTexts());
  ASSERT_EQ(1u, Balloons().size());
  desk.files.ClearFaults();  // the other program lets go of it during the run
  other.CopyText("during");
  Exit();
  ASSERT_TRUE(program->Exited());
  EXPECT_EQ(journal, DataFileBytes(JournalName));

  Start();
  // The held journal's capture goes on top of the file, which this run wrote whole.
  EXPECT_EQ((Texts{"before", "during", "before", "old A", "old B"}), HistoryTexts());
}

TEST_F(DurableTest, AWriteOfTheHistoryFile_FoldsTheJournalIn_AndAFoldedJournalIsNotReplayed) {
  StartJoined();
  other.CopyText("a");
  other.CopyText("b");
  const std::string journal = DataFileBytes(JournalName);
  Form1().BitBtn1.Click();  // "Delete selected" with nothing selected writes the file
  EXPECT_FALSE(DataFileExists(JournalName));
  EXPECT_EQ(2u, HistoryTexts().size());

  // A crash between the file's write and the journal's removal leaves both.
  Kill();
  PutDataFile(JournalName, journal);
  Start();
  EXPECT_EQ((Texts{"b", "a"}), HistoryTexts());
}

TEST_F(DurableTest, ClearAll_IsNotUndoneByTheJournalAtTheNextStart) {
  StartJoined();
  other.CopyText("secret");
  Form1().BitBtn2.Click();
  Kill();
  Start();
  EXPECT_TRUE(HistoryTexts().empty());
}

// Rewriting a history of a million entries at every close costs the user half a second. The
// file is left alone only while it holds exactly what writing the list would give; a file in
// another form is written at the first close, and any change is written.
TEST_F(DurableTest, CloseWithNothingChanged_WritesNothing_OnceTheFileIsInTheWritersForm) {
  const std::string rows = "1,12/7/2026 6:00:00 PM,old A\r\n2,12/7/2026 5:00:00 PM,\"old, B\"\r\n";
  PutDataFile(HistoryName, rows);  // 8-bit, as an older version wrote it
  StartJoined();
  Exit();
  EXPECT_EQ(Utf16File(rows), HistoryFile());

  // A write would fail here, with a message.
  Restart();
  Form1().TableGrid2.ClickRow(1);  // a selection is no change
  desk.files.HoldWithoutSharing(DataFile(HistoryName), sim::SimFiles::Forever);
  Exit();
  EXPECT_TRUE(desk.dialogs.Boxes().empty());
  EXPECT_TRUE(Balloons().empty());
  EXPECT_EQ(Utf16File(rows), HistoryFile());
  desk.files.ClearFaults();

  // Another program deleted the file: the close puts the list back.
  Restart();
  ASSERT_EQ(desk.files.Delete(DataFile(HistoryName)), 0u);
  Exit();
  EXPECT_EQ(Utf16File(rows), HistoryFile());

  Restart();
  Form1().TableGrid2.ClickRow(1);
  Form1().BitBtn1.Click();  // "Delete selected"
  Exit();
  EXPECT_EQ(Utf16File("1,12/7/2026 6:00:00 PM,old A\r\n"), HistoryFile());

  // A capture goes to the journal at once; the close folds it into the file.
  Restart();
  desk.windows.Advance(1000);
  other.CopyText("new");
  Exit();
  EXPECT_FALSE(DataFileExists(JournalName));
  Restart();
  EXPECT_EQ((Texts{"new", "old A"}), HistoryTexts());
}

TEST_F(DurableTest, JournalOfAnotherKind_IsKeptAsideAndANewOneBegins) {
  PutDataFile(JournalName, "not a journal");
  StartJoined();
  EXPECT_EQ("not a journal", DataFileBytes("clipboard_history.hstr.malformed.journal"));
  other.CopyText("x");
  Kill();
  Start();
  EXPECT_EQ(Texts{"x"}, HistoryTexts());
}

// ---- One instance ----

TEST_F(DurableTest, SecondStart_ShowsTheRunningOnesWindow_AndEndsWithoutTouchingAnything) {
  desk.registry.SetString(app::MarkerKey, app::MarkerValue, "1");
  PutDataFile("settings.stng", "-1\r\n-1\r\n0\r\n");  // tray only
  StartJoined();
  ASSERT_FALSE(Form1().Visible());
  const std::size_t windows = desk.windows.AllWindows().size();
  const std::size_t notifyCalls = desk.notifyArea.Calls().size();
  desk.files.DenyAccess(DataFolder);  // any file access would fail and show

  app::Program second(desk);
  EXPECT_FALSE(second.Start());
  EXPECT_EQ(windows, desk.windows.AllWindows().size());
  EXPECT_EQ(notifyCalls, desk.notifyArea.Calls().size());
  desk.windows.Pump();
  EXPECT_TRUE(Form1().Visible());
  EXPECT_EQ(1, desk.notifyArea.IconCount());
  EXPECT_TRUE(desk.dialogs.Boxes().empty());

  // The running copy goes on working after the second start has ended.
  desk.files.ClearFaults();
  second.Exit();
  other.CopyText("still heard");
  EXPECT_EQ(Texts{"still heard"}, HistoryTexts());
}

TEST_F(DurableTest, AfterTheProgramEnded_TheNextStartRuns) {
  Start();
  Exit();
  program.reset();
  desk.windows.StartNewProcess();
  program = std::make_unique<app::Program>(desk);
  EXPECT_TRUE(program->Start());
}

// ---- A busy clipboard ----

class BusyClipboardTest : public DurableTest {
 public:
  BusyClipboardTest() : reader(desk.clipboard, "Clipboard reader") {}
  sim::NeighbourViewer reader;
};

TEST_F(BusyClipboardTest, HeldFor30ms_TheTextIsRecordedShortlyAfter_AndTheChainHearsAtOnce) {
  StartJoined();
  reader.Join();
  reader.ClearReceived();
  reader.HoldOnChange(30);
  other.CopyText("while held");
  EXPECT_TRUE(HistoryTexts().empty());
  EXPECT_EQ(1, reader.DrawClipboards());
  desk.windows.Advance(200);
  EXPECT_EQ(Texts{"while held"}, HistoryTexts());
  EXPECT_EQ("Clipboard contains: while held", Form1().Label1.Caption());
}

TEST_F(BusyClipboardTest, HeldFor2s_GivesUpAfterAboutASecond_AndTheNextCopyIsRecorded) {
  StartJoined();
  reader.Join();
  reader.HoldOnChange(2000);
  other.CopyText("missed");  // the hold ends before the copy: it waits for it
  desk.windows.Advance(1100);
  const int opens = desk.clipboard.Opens();
  desk.windows.Advance(1000);
  EXPECT_EQ(opens, desk.clipboard.Opens());  // no more tries
  EXPECT_TRUE(HistoryTexts().empty());
  reader.HoldOnChange(0);
  other.CopyText("next");
  EXPECT_EQ(Texts{"next"}, HistoryTexts());
}

TEST_F(BusyClipboardTest, ANewerChangeDuringTheRetries_EndsThem_ItsOwnNotificationReadsIt) {
  StartJoined();
  reader.Join();
  reader.HoldOnChange(5);
  other.CopyText("first");
  reader.HoldOnChange(0);
  desk.windows.Advance(6);  // the hold is over, the first retry is not yet due
  // Another program is in the middle of a copy: the content changed, its notification is to come.
  sim::ForeignProgram third(desk.clipboard, "Third");
  ASSERT_TRUE(third.HoldOpen());
  third.CopyText("second");
  const int opens = desk.clipboard.Opens();
  desk.windows.Advance(1000);
  EXPECT_EQ(opens, desk.clipboard.Opens());
  EXPECT_TRUE(HistoryTexts().empty());
  third.Release();
  EXPECT_EQ(Texts{"second"}, HistoryTexts());
}

// ---- Log-off and error boxes ----

TEST_F(DurableTest, FailedWriteAtLogOff_IsToldWithoutABox_AndTheLogOffGoesAhead) {
  StartJoined();
  other.CopyText("kept in the journal");
  desk.files.FailReplace(ErrorDiskFull);
  EXPECT_TRUE(desk.windows.LogOff());
  EXPECT_TRUE(desk.dialogs.Boxes().empty());
  ASSERT_EQ(1u, Balloons().size());
  EXPECT_NE(std::string::npos, Balloons()[0].find("Disk full")) << Balloons()[0];

  desk.files.ClearFaults();
  Kill();
  Start();
  EXPECT_EQ(Texts{"kept in the journal"}, HistoryTexts());
}

TEST_F(DurableTest, ExitWhileAnErrorBoxIsOpen_OpensNoSecondBox) {
  StartJoined();
  desk.files.FailReplace(ErrorDiskFull);
  int inside = 0;
  desk.dialogs.OnMessageBox([&](const sim::MessageBoxRecord&) {
    if (inside++ == 0) Form1().Exit3.Click();  // the tray's Exit while the box is up
  });
  Exit();
  EXPECT_EQ(1u, desk.dialogs.Boxes().size());
  EXPECT_FALSE(program->Exited());
}

// ---- Files without a byte order mark ----

TEST_F(DurableTest, ActionsFileFromNotepadInUtf8_IsReadAsUtf8_AndWrittenBackAsUtf16) {
  PutDataFile(ActionsName,
              "1,Gr\xC3\xBC\xC3\x9F"
              "e,No,\xE2\x82\xAC 5,V\r\n");
  Start();
  EXPECT_EQ(std::vector<std::u16string>{u"Grüße"}, ActionNames());
  EXPECT_EQ(u"€ 5", Form1().TableGrid1.Rows().Cell("TextColumn2", 0));
  AddAction(u"B", u"b");
  const std::string written = DataFileBytes(ActionsName);
  EXPECT_EQ("\xFF\xFE", written.substr(0, 2));
}

}  // namespace
}  // namespace durable_program_test

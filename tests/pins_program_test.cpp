// Pinned entries in the whole program: pinned from the history table's menu, its Ctrl+P and
// quick paste's, they stay through a restart, a kill, "Clear All", both limits, an export and
// an import, and a sealed history; quick paste lists them after the actions and before the
// other entries.
#include <gtest/gtest.h>

#include "app/entry_commands.h"
#include "app/quick_paste.h"
#include "earlier_reader.h"
#include "grid/data_file.h"
#include "grid/sealed_file.h"
#include "grid/table_file.h"
#include "history/entry_id.h"
#include "history/history_table.h"
#include "paste_recorder.h"
#include "program_fixture.h"

namespace pins_program_test {

namespace {

using namespace platform;
using testing_support::Utf16File;
using Texts = std::vector<std::string>;

constexpr const char* HistoryName = "clipboard_history.hstr";
constexpr const char* JournalName = "clipboard_history.hstr.journal";

class PinsTest : public testing_support::ClipboardProgramTest {
 public:
  // The history "delta" (newest), "gamma", "beta", "alpha".
  void StartWithEntries() {
    StartJoined();
    for (const char* text : {"alpha", "beta", "gamma", "delta"}) ASSERT_TRUE(other.CopyText(text));
  }
  int RowOf(const std::string& text) {
    const Texts texts = HistoryTexts();
    for (std::size_t k = 0; k < texts.size(); ++k)
      if (texts[k] == text) return static_cast<int>(k);
    return -1;
  }
  Texts Pinned() {
    Texts pinned;
    for (const std::string& text : HistoryTexts())
      if (history::IsPinned(program->HistoryList(), RowOf(text))) pinned.push_back(text);
    return pinned;
  }
  ui::TableGrid& Table() { return Form1().TableGrid2; }
  // A click on the entry's row in the history table, which then has the focus.
  void Select(const std::string& text) {
    Table().ClickRow(Table().ShownPosition(RowOf(text)));
    Table().SetFocus();
  }
  // The history table's menu on the entry's row, choosing `item`; the captions it showed.
  std::vector<std::string> MenuOn(const std::string& text, const std::string& item) {
    desk.notifyArea.ChooseNext(item);
    const std::size_t before = desk.notifyArea.Popups().size();
    Table().RightClickRow(Table().ShownPosition(RowOf(text)), 40, 50);
    std::vector<std::string> captions;
    if (desk.notifyArea.Popups().size() == before) return captions;
    for (const MenuEntry& entry : desk.notifyArea.Popups().back().entries) captions.push_back(entry.caption);
    return captions;
  }
  void CtrlP() {
    desk.keyboard.UserKeyDown(VkControl);
    Form1().KeyDown('P', true);
    desk.keyboard.UserKeyUp(VkControl);
  }
  // The rows of the history file as written, each line without its date.
  std::string FileText() {
    const std::string bytes = DataFileBytes(HistoryName);
    std::string text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) text += bytes[i];
    return text;
  }
  ui::PopupList& List() { return program->Quick().List; }
  bool OpenPopup() {
    desk.windows.SetForegroundWindow(other.Window());
    const bool taken = desk.hotkeys.Press(ModWin, VkInsert);
    desk.windows.Pump();
    desk.windows.Advance(300);
    return taken && List().IsOpen();
  }
  std::vector<std::u16string> Shown() {
    std::vector<std::u16string> texts;
    for (int i = 0; i < List().Count(); ++i) texts.push_back(List().ItemText(i));
    return texts;
  }
  void PopupCtrlP() {
    desk.keyboard.UserKeyDown(VkControl);
    List().KeyDown('P');
    desk.keyboard.UserKeyUp(VkControl);
  }
  static std::u16string Marked(const std::u16string& text) {
    return std::u16string(app::PinMark) + u" " + text;
  }
};

TEST_F(PinsTest, PinnedByTheMenuByCtrlPAndInThePopup_MarkedAndKeptThroughARestart) {
  StartWithEntries();
  EXPECT_EQ(MenuOn("gamma", "Pin"), (Texts{"Pin", "Edit\u2026", "Add to actions\u2026", "Copy", "Delete"}));
  Select("alpha");
  CtrlP();
  ASSERT_TRUE(OpenPopup());
  List().SetSelected(3);  // "beta", below the two pinned and "delta"
  ASSERT_EQ(List().ItemText(3), u"beta");
  PopupCtrlP();
  EXPECT_TRUE(List().IsOpen()) << "the popup stays open";
  EXPECT_EQ(Shown(),
            (std::vector<std::u16string>{Marked(u"gamma"), Marked(u"beta"), Marked(u"alpha"), u"delta"}));
  EXPECT_EQ(List().Selected(), 1) << "the selection follows the entry";
  List().KeyDown(VkEscape);
  EXPECT_EQ(Pinned(), (Texts{"gamma", "beta", "alpha"}));
  // Shown with the mark; a selection of pinned rows offers "Unpin".
  std::u16string scratch;
  EXPECT_EQ(std::u16string(Table().ShownCell(Table().MarkColumn, 1, scratch)), Marked(u"gamma"));
  EXPECT_EQ(std::u16string(Table().ShownCell(Table().MarkColumn, 0, scratch)), u"delta");
  EXPECT_EQ(MenuOn("beta", "Unpin").front(), "Unpin");
  EXPECT_EQ(Pinned(), (Texts{"gamma", "alpha"}));
  // Ctrl+P on a selection of pinned and unpinned rows pins them all; on pinned ones alone,
  // unpins them.
  Select("delta");
  Table().CtrlClickRow(Table().ShownPosition(RowOf("gamma")));
  CtrlP();
  EXPECT_EQ(Pinned(), (Texts{"delta", "gamma", "alpha"}));
  CtrlP();
  EXPECT_EQ(Pinned(), (Texts{"alpha"}));
  Select("gamma");
  CtrlP();

  Exit();
  EXPECT_EQ(FileText().find("gamma,pin1:1\r\n") != std::string::npos, true) << FileText();
  EXPECT_EQ(FileText().find("delta\r\n") != std::string::npos, true) << FileText();
  Restart();
  EXPECT_EQ(HistoryTexts(), (Texts{"delta", "gamma", "beta", "alpha"}));
  EXPECT_EQ(Pinned(), (Texts{"gamma", "alpha"}));
}

TEST_F(PinsTest, AFileWithPins_IsReadByEarlierVersions_WithEveryEntryAndItsText) {
  StartWithEntries();
  Select("beta");
  CtrlP();
  Exit();
  const std::string bytes = DataFileBytes(HistoryName);
  // The versions before items: the three columns.
  const auto rows = testing_support::EarlierReading(bytes, 3);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[2][2], u"beta");
  // The version with items but without pins (nor ids): the same rows, the pin dropped.
  std::vector<grid::Column> columns = history::HistoryColumns();
  std::erase_if(columns, [](const grid::Column& column) {
    return column.name == history::PinColumn || column.name == history::EntryIdColumn;
  });
  grid::Table earlier(columns);
  const grid::DataFileLoad load = grid::LoadDataFile(earlier, desk.files, desk.time, DataFile(HistoryName),
                                                     history::Separator, history::LineBreakMark);
  ASSERT_EQ(earlier.RowCount(), 4);
  // It keeps the file aside, pins and all, before it would write it without them.
  EXPECT_TRUE(load.dropped);
  EXPECT_EQ(DataFileBytes("clipboard_history.malformed.hstr"), bytes);
  for (int row = 0; row < 4; ++row)
    EXPECT_EQ(desk.codePage.WideToAnsi(earlier.Cell(history::Clipboadrs_history, row)),
              HistoryTexts()[static_cast<std::size_t>(row)]);
}

TEST_F(PinsTest, APinAndAnUnpin_ReachTheJournalAtOnce_SoAKillLosesNeither) {
  PutDataFile(HistoryName,
              Utf16File("1,12/1/2026 8:00:00 AM,old one\r\n2,12/1/2026 8:00:01 AM,old two,pin1:1\r\n"));
  StartWithEntries();
  const std::string file = DataFileBytes(HistoryName);
  desk.windows.Advance(1500);  // the copies' records are on the disk
  const int flushes = desk.files.Flushes();
  Select("beta");  // in the journal
  CtrlP();
  EXPECT_EQ(desk.files.Flushes(), flushes + 1) << "on the disk itself at once";
  Select("old one");  // in the file
  CtrlP();
  Select("old two");
  CtrlP();  // unpinned
  desk.windows.Advance(1500);
  EXPECT_EQ(DataFileBytes(HistoryName), file) << "the journal has the changes, not the file";
  Kill();
  Start();
  EXPECT_EQ(HistoryTexts(), (Texts{"delta", "gamma", "beta", "alpha", "old one", "old two"}));
  EXPECT_EQ(Pinned(), (Texts{"beta", "old one"}));
  // Captures after a kill go on from there, and the next close folds all of it into the file.
  desk.windows.Advance(1000);
  ASSERT_TRUE(other.CopyText("epsilon"));
  Exit();
  EXPECT_FALSE(DataFileExists(JournalName));
  Restart();
  EXPECT_EQ(Pinned(), (Texts{"beta", "old one"}));
  EXPECT_EQ(HistoryTexts().front(), "epsilon");
}

TEST_F(PinsTest, APinOfAFileRow_WaitsInTheJournalWhileTheFileCannotBeRead) {
  PutDataFile(HistoryName, Utf16File("1,12/1/2026 8:00:00 AM,old one\r\n2,12/1/2026 8:00:01 AM,old two\r\n"));
  Start();
  Select("old two");
  CtrlP();
  Kill();
  // Another program holds the file for the whole next run, whose copies go to the journal,
  // which the close writes anew.
  desk.files.HoldWithoutSharing(DataFile(HistoryName), sim::SimFiles::Forever);
  StartJoined();
  ASSERT_TRUE(other.CopyText("meanwhile"));
  Exit();
  desk.files.ClearFaults();
  Kill();
  Start();
  EXPECT_EQ(HistoryTexts(), (Texts{"meanwhile", "old one", "old two"}));
  EXPECT_EQ(Pinned(), (Texts{"old two"}));
}

TEST_F(PinsTest, APinTheDiskRefuses_IsToldKeptAndWrittenWithTheNextCopy) {
  PutDataFile(HistoryName, Utf16File("1,12/1/2026 8:00:00 AM,old one\r\n2,12/1/2026 8:00:01 AM,old two\r\n"));
  StartWithEntries();
  desk.files.FailWritesAfter(0);
  Select("old two");
  CtrlP();
  ASSERT_FALSE(Balloons().empty());
  EXPECT_NE(Balloons().back().find("could not be saved yet"), std::string::npos) << Balloons().back();
  EXPECT_EQ(Pinned(), (Texts{"old two"}));
  desk.files.ClearFaults();
  ASSERT_TRUE(other.CopyText("epsilon"));
  Kill();
  Start();
  EXPECT_EQ(HistoryTexts(), (Texts{"epsilon", "delta", "gamma", "beta", "alpha", "old one", "old two"}));
  EXPECT_EQ(Pinned(), (Texts{"old two"}));
}

TEST_F(PinsTest, AChangeLeftInAJournalAlreadyFolded_IsNotPutOnTheRowThatTookItsPlace) {
  PutDataFile(HistoryName, Utf16File("1,12/1/2026 8:00:00 AM,old one\r\n2,12/1/2026 8:00:01 AM,old two\r\n"
                                     "3,12/1/2026 8:00:02 AM,old three\r\n"));
  Start();
  Select("old two");
  CtrlP();
  const std::string journal = DataFileBytes(JournalName);
  Select("old one");
  Form1().BitBtn1.Click();  // "Delete selected" writes the file and empties the journal
  ASSERT_FALSE(DataFileExists(JournalName));
  // As if the program had ended after the file was written and before the journal was emptied.
  PutDataFile(JournalName, journal);
  Kill();
  Start();
  EXPECT_EQ(HistoryTexts(), (Texts{"old two", "old three"}));
  EXPECT_EQ(Pinned(), (Texts{"old two"}));
}

TEST_F(PinsTest, ClearAll_KeepsThePinnedEntries_DeleteSelected_RemovesAPinnedOne) {
  StartWithEntries();
  Select("gamma");
  CtrlP();
  Select("alpha");
  CtrlP();
  Form1().BitBtn2.Click();  // "Clear All", without a question
  EXPECT_EQ(desk.windows.ModalDepth(), 0);
  EXPECT_EQ(HistoryTexts(), (Texts{"gamma", "alpha"}));
  Restart();
  EXPECT_EQ(HistoryTexts(), (Texts{"gamma", "alpha"}));
  EXPECT_EQ(Pinned(), (Texts{"gamma", "alpha"}));
  Select("gamma");
  Form1().KeyDown(VkDelete, false);  // as "Delete selected" does
  EXPECT_EQ(HistoryTexts(), (Texts{"alpha"}));
  Select("alpha");
  EXPECT_EQ(MenuOn("alpha", "Delete").size(), 5u);
  EXPECT_EQ(HistoryTexts(), Texts{});
  Restart();
  EXPECT_EQ(HistoryTexts(), Texts{});
}

TEST_F(PinsTest, TheAgeAndCountLimits_LeavePinnedEntries_WhichTheCountLeavesOut) {
  // Entries dated 2 and 400 days before the simulated start (12/8/2026 9:30 AM).
  PutDataFile(HistoryName, Utf16File("1,12/8/2026 8:00:00 AM,today\r\n"
                                     "2,12/6/2026 5:00:00 PM,two days,pin1:1\r\n"
                                     "3,12/6/2026 4:00:00 PM,two days too\r\n"
                                     "4,11/3/2025 10:00:00 AM,old and pinned,pin1:1\r\n"
                                     "5,11/3/2025 9:00:00 AM,old\r\n"));
  PutDataFile("settings.stng", "0\r\n-1\r\n1\r\n65581\r\n30\r\n2\r\n");
  StartJoined();
  EXPECT_EQ(HistoryTexts(), (Texts{"today", "two days", "two days too", "old and pinned"}));
  // Each capture keeps the two newest entries that are not pinned, and every pinned one.
  ASSERT_TRUE(other.CopyText("new one"));
  EXPECT_EQ(HistoryTexts(), (Texts{"new one", "today", "two days", "old and pinned"}));
  ASSERT_TRUE(other.CopyText("new two"));
  EXPECT_EQ(HistoryTexts(), (Texts{"new two", "new one", "two days", "old and pinned"}));
  // Unpinned, an entry counts again: the next capture takes the count back to two.
  Select("two days");
  CtrlP();
  ASSERT_TRUE(other.CopyText("new three"));
  EXPECT_EQ(HistoryTexts(), (Texts{"new three", "new two", "old and pinned"}));
  desk.windows.Advance(2000);
  Kill();
  Start();
  EXPECT_EQ(HistoryTexts(), (Texts{"new three", "new two", "old and pinned"}));
  EXPECT_EQ(Pinned(), (Texts{"old and pinned"}));
  // An hour later the age limit passes over the pinned entry too.
  desk.windows.Advance(60 * 60 * 1000);
  EXPECT_EQ(Pinned(), (Texts{"old and pinned"}));
}

TEST_F(PinsTest, AnUnpinRightAfterTheCountLimitTookARow_IsKeptByAKill) {
  PutDataFile(HistoryName, Utf16File("1,12/8/2026 8:00:00 AM,a\r\n2,12/8/2026 7:00:00 AM,b\r\n"
                                     "3,12/8/2026 6:00:00 AM,p,pin1:1\r\n"));
  PutDataFile("settings.stng", "0\r\n-1\r\n1\r\n65581\r\n0\r\n2\r\n");
  StartJoined();
  ASSERT_TRUE(other.CopyText("new"));
  ASSERT_EQ(HistoryTexts(), (Texts{"new", "a", "p"}));
  // "b" is gone from the list and not yet from the file: "p" stands where the file has "b".
  Select("p");
  CtrlP();
  Kill();
  Start();
  // Unpinned, "p" counts again, and the limit takes it at the start.
  EXPECT_EQ(HistoryTexts(), (Texts{"new", "a"}));
  EXPECT_EQ(Pinned(), Texts{});
}

TEST_F(PinsTest, AnExport_CarriesThePins_AndAnImportKeepsThem) {
  StartWithEntries();
  Select("beta");
  CtrlP();
  desk.files.MakeFolder("C:\\Exports");
  desk.dialogs.AnswerNextFileDialog("C:\\Exports\\mine");
  Form1().BitBtn5.Click();
  Form1().BitBtn2.Click();  // "Clear All" leaves "beta"
  Select("beta");
  Form1().KeyDown(VkDelete, false);
  ASSERT_EQ(HistoryTexts(), Texts{});
  desk.dialogs.AnswerNextFileDialog("C:\\Exports\\mine.hstr");
  Form1().BitBtn6.Click();
  EXPECT_EQ(HistoryTexts(), (Texts{"delta", "gamma", "beta", "alpha"}));
  EXPECT_EQ(Pinned(), (Texts{"beta"}));
  Restart();
  EXPECT_EQ(Pinned(), (Texts{"beta"}));
  // Quick paste knows the imported pin.
  ASSERT_TRUE(OpenPopup());
  EXPECT_EQ(List().ItemText(0), Marked(u"beta"));
}

TEST_F(PinsTest, ASealedHistory_KeepsItsPinsSealed_ThroughAKillAndAClose) {
  PutDataFile("settings.stng", "0\r\n-1\r\n1\r\n65581\r\n0\r\n0\r\n-1\r\n114774\r\n");
  StartWithEntries();
  Select("gamma");
  CtrlP();
  EXPECT_TRUE(grid::IsSealed(DataFileBytes(JournalName)));
  EXPECT_EQ(DataFilesHolding("pin1"), Texts{});
  EXPECT_EQ(DataFilesHolding("gamma"), Texts{});
  Kill();
  Start();
  EXPECT_EQ(Pinned(), (Texts{"gamma"}));
  Exit();
  EXPECT_TRUE(grid::IsSealed(DataFileBytes(HistoryName)));
  EXPECT_EQ(DataFilesHolding("pin1"), Texts{});
  Restart();
  EXPECT_EQ(Pinned(), (Texts{"gamma"}));
  EXPECT_EQ(desk.crypto.NonceReuses(), 0);
}

TEST_F(PinsTest, AReCopyOfAPinnedEntry_LeavesThePinWhereItIs_AndPutsAnUnpinnedCopyOnTop) {
  StartWithEntries();
  Select("beta");
  CtrlP();
  Form1().TableGrid2.DblClickCell(2, RowOf("beta"));
  desk.windows.Advance(10);
  EXPECT_EQ(HistoryTexts(), (Texts{"beta", "delta", "gamma", "beta", "alpha"}));
  EXPECT_FALSE(history::IsPinned(program->HistoryList(), 0));
  EXPECT_TRUE(history::IsPinned(program->HistoryList(), 3));
  // Enter on a row copies it as a double-click does.
  Select("alpha");
  Form1().KeyDown(VkReturn, false);
  EXPECT_EQ(desk.clipboard.Text(), "alpha");
}

TEST_F(PinsTest, Popup_ListsActionsThenPinnedThenTheRest_EachOnce_AndFiltersThePinnedToo) {
  PutDataFile("actions.cnfg", Utf16File("1,Greeting,No,Hello there,V\r\n"));
  StartWithEntries();
  Select("alpha");
  CtrlP();
  Select("gamma");
  CtrlP();
  ASSERT_TRUE(OpenPopup());
  EXPECT_EQ(Shown(), (std::vector<std::u16string>{u"Greeting", Marked(u"gamma"), Marked(u"alpha"), u"delta",
                                                  u"beta"}));
  // A rule above the first entry, and above the first that is not pinned.
  std::vector<int> rules;
  for (int i = 0; i < List().Count(); ++i)
    if (List().StartsGroup(i)) rules.push_back(i);
  EXPECT_EQ(rules, (std::vector<int>{1, 3}));
  List().UserSetFilter(u"a");
  desk.windows.Advance(300);
  EXPECT_EQ(Shown(), (std::vector<std::u16string>{Marked(u"gamma"), Marked(u"alpha"), u"delta", u"beta"}));
  List().UserSetFilter(u"ta");
  desk.windows.Advance(300);
  EXPECT_EQ(Shown(), (std::vector<std::u16string>{u"delta", u"beta"}));
  // Unpinned in the popup: back in its place among the others, still selected.
  List().UserSetFilter(u"");
  desk.windows.Advance(300);
  List().SetSelected(2);
  PopupCtrlP();
  EXPECT_EQ(Shown(),
            (std::vector<std::u16string>{u"Greeting", Marked(u"gamma"), u"delta", u"beta", u"alpha"}));
  EXPECT_EQ(List().Selected(), 4);
  // A pinned entry picked pastes as any other.
  testing_support::PasteRecorder recorder{desk, other};
  recorder.Start();
  List().SetSelected(1);
  List().KeyDown(VkReturn);
  desk.windows.Advance(500);
  EXPECT_EQ(recorder.pasted, Texts{"gamma"});
}

}  // namespace
}  // namespace pins_program_test

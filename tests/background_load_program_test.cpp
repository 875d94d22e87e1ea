// A large history read in the background at start-up, in the whole program: its rows come in
// below the journal's, newest first, in batches a timer hands over (slowed here to one small
// batch a tick, so that a test acts between them); captures, searches, quick paste, pins and
// edits made meanwhile work, and nothing writes the history file from a list that lacks rows.
#include <gtest/gtest.h>

#include "app/edit_entry.h"
#include "app/entry_commands.h"
#include "app/quick_paste.h"
#include "grid/sealed_file.h"
#include "history/history_store.h"
#include "history/history_table.h"
#include "program_fixture.h"

namespace background_load_program_test {

namespace {

using namespace platform;
using testing_support::Utf16File;
using Texts = std::vector<std::string>;

constexpr const char* HistoryName = "clipboard_history.hstr";
constexpr const char* JournalName = "clipboard_history.hstr.journal";
constexpr int Rows = 400;
// Four rows a tick of 15 ms: the whole file takes 1.5 s, and the window joins the clipboard
// viewer chain after a second, when some 260 rows are in.
constexpr std::size_t BatchRows = 4;

// Lines "k,date,old<k>" for k from `from` to `to`, numbered as the file numbers them.
std::string OldLines(int from, int to, int number = 1) {
  std::string lines;
  for (int k = from; k <= to; ++k)
    lines += std::to_string(number++) + ",12/7/2026 6:00:00 PM,old" + std::to_string(k) + "\r\n";
  return lines;
}
Texts OldTexts(int from, int to) {
  Texts texts;
  for (int k = from; k <= to; ++k) texts.push_back("old" + std::to_string(k));
  return texts;
}
Texts Join(Texts a, const Texts& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class BackgroundLoadTest : public testing_support::ClipboardProgramTest {
 public:
  BackgroundLoadTest() : saved_(history::HistoryStore::loadPacing) {
    history::LoadPacing pacing;
    pacing.backgroundBytes = 1;
    pacing.firstBatchRows = BatchRows;
    pacing.mostBatchRows = BatchRows;
    pacing.batchesPerTick = 1;
    history::HistoryStore::loadPacing = pacing;
  }
  ~BackgroundLoadTest() override {
    program.reset();
    history::HistoryStore::loadPacing = saved_;
  }
  void PutOldHistory() { PutDataFile(HistoryName, Utf16File(OldLines(1, Rows))); }
  bool Loading() { return program->HistoryStore().Loading(); }
  // Lets the rest of the load come in.
  void LoadAll() {
    for (int k = 0; k < 20 && Loading(); ++k) desk.windows.Advance(200);
    ASSERT_FALSE(Loading());
  }
  int RowOf(const std::string& text) {
    const Texts texts = HistoryTexts();
    for (std::size_t k = 0; k < texts.size(); ++k)
      if (texts[k] == text) return static_cast<int>(k);
    return -1;
  }
  Texts Pinned() {
    Texts pinned;
    const Texts texts = HistoryTexts();
    for (int row : program->HistoryStore().Pins().Rows(program->HistoryList()))
      pinned.push_back(texts[static_cast<std::size_t>(row)]);
    return pinned;
  }
  // The texts of the history file, top first.
  Texts FileTexts() {
    grid::Table table(history::HistoryColumns());
    history::ReadHistoryFile(table, desk, DataFile(HistoryName));
    Texts texts;
    for (int row = 0; row < table.RowCount(); ++row)
      texts.push_back(desk.codePage.WideToAnsi(table.Cell("Clipboadrs_history", row)));
    return texts;
  }

 private:
  history::LoadPacing saved_;
};

TEST_F(BackgroundLoadTest, CapturesDuringTheLoad_LandOnTop_TheFileRowsFollowInOrder_AndTheFileWaitsForAll) {
  PutOldHistory();
  const std::string stored = DataFileBytes(HistoryName);
  StartJoined();
  ASSERT_TRUE(Loading());
  const int shown = program->HistoryList().RowCount();
  EXPECT_GT(shown, 100);
  EXPECT_LT(shown, Rows);
  EXPECT_EQ(HistoryTexts(), OldTexts(1, shown)) << "the newest first, in the file's order";

  ASSERT_TRUE(other.CopyText("new1"));
  desk.windows.Advance(60);
  ASSERT_TRUE(other.CopyText("new2"));
  ASSERT_TRUE(other.CopyText("old1")) << "a repeat of a row below, as at any time";
  desk.windows.Advance(100);
  ASSERT_TRUE(Loading());
  const Texts top = {"old1", "new2", "new1"};
  const Texts now = HistoryTexts();
  EXPECT_EQ(Texts(now.begin(), now.begin() + 3), top);
  EXPECT_TRUE(DataFileBytes(HistoryName) == stored) << "nothing writes the file from part of it";
  EXPECT_FALSE(DataFilesHolding("new2").empty()) << "the captures are in the journal at once";

  LoadAll();
  EXPECT_EQ(HistoryTexts(), Join(top, OldTexts(1, Rows)));
  EXPECT_TRUE(DataFileBytes(HistoryName) == stored);
  Exit();
  EXPECT_EQ(FileTexts(), Join(top, OldTexts(1, Rows)));
  EXPECT_FALSE(DataFileExists(JournalName));
  Restart();
  LoadAll();
  EXPECT_EQ(HistoryTexts(), Join(top, OldTexts(1, Rows)));
  EXPECT_TRUE(Balloons().empty());
}

TEST_F(BackgroundLoadTest, AKillDuringTheLoad_LeavesTheFileAsItWas_AndTheNextStartHasEveryRowOnce) {
  // With a count limit, which a capture during the load must not apply to a part of the list.
  PutDataFile("settings.stng", "0\r\n-1\r\n1\r\n65581\r\n0\r\n200\r\n0\r\n114774\r\n");
  PutOldHistory();
  const std::string stored = DataFileBytes(HistoryName);
  StartJoined();
  ASSERT_TRUE(Loading());
  ASSERT_TRUE(other.CopyText("during"));
  desk.windows.Advance(300);
  ASSERT_TRUE(Loading());
  EXPECT_TRUE(DataFileBytes(HistoryName) == stored);
  Kill();
  EXPECT_TRUE(DataFileBytes(HistoryName) == stored);

  Start();
  desk.windows.Advance(100);
  EXPECT_EQ(HistoryTexts().front(), "during") << "the journal's captures come in first";
  LoadAll();
  // Once all rows are in, the limit keeps the newest 200 and writes the file.
  EXPECT_EQ(HistoryTexts(), Join({"during"}, OldTexts(1, 199)));
  EXPECT_EQ(FileTexts(), Join({"during"}, OldTexts(1, 199)));
  Kill();
  Start();
  LoadAll();
  EXPECT_EQ(HistoryTexts(), Join({"during"}, OldTexts(1, 199)));
}

TEST_F(BackgroundLoadTest, ASearchAQuickPasteAndADeleteDuringTheLoad_SeeTheWholeHistory) {
  std::string lines = OldLines(1, Rows);
  // A row near the end that a search finds only once it is in.
  const std::string needle = "395,12/7/2026 6:00:00 PM,old395";
  lines.replace(lines.find(needle), needle.size(), needle + " needle");
  PutDataFile(HistoryName, Utf16File(lines));
  StartJoined();
  ASSERT_TRUE(Loading());

  Form1().Search_e.UserSetText(u"needle");
  desk.windows.Advance(100);
  ui::TableGrid& table = Form1().TableGrid2;
  EXPECT_EQ(table.ShownCount(), 0);
  LoadAll();
  desk.windows.Advance(200);
  ASSERT_EQ(table.ShownCount(), 1);
  EXPECT_EQ(table.Rows().Cell("Clipboadrs_history", table.ShownRow(0)), u"old395 needle");
  Form1().Search_e.UserSetText(u"");
  desk.windows.Advance(200);

  // Quick paste during the next start's load lists the rows in so far and pastes one.
  Kill();
  Start();
  desk.windows.Advance(1000);
  ASSERT_TRUE(Loading());
  desk.windows.SetForegroundWindow(other.Window());
  ASSERT_TRUE(desk.hotkeys.Press(ModWin, VkInsert));
  desk.windows.Pump();
  desk.windows.Advance(100);
  ui::PopupList& popup = program->Quick().List;
  ASSERT_TRUE(popup.IsOpen());
  int old3 = -1;
  for (int i = 0; i < popup.Count() && old3 < 0; ++i)
    if (popup.ItemText(i) == u"old3") old3 = i;
  ASSERT_GE(old3, 0);
  popup.ClickItem(old3);
  desk.windows.Advance(150);
  EXPECT_EQ(desk.clipboard.Text(), "old3");
  EXPECT_EQ(HistoryTexts().front(), "old3") << "recorded on top as a re-copy is";

  // A delete during the load takes the rest in first, and writes the whole history.
  ASSERT_TRUE(Loading());
  Form1().TableGrid2.Rows().SetRowSelected(RowOf("old2"), true);
  Form1().BitBtn1.Click();
  EXPECT_FALSE(Loading());
  Texts expected = Join({"old3", "old1"}, OldTexts(3, Rows));
  expected[2 + 395 - 3] = "old395 needle";
  EXPECT_EQ(HistoryTexts(), expected);
  EXPECT_EQ(FileTexts(), expected);
}

TEST_F(BackgroundLoadTest,
       PinsAndEditsInTheJournal_AreReplayedOnceTheirRowsAreIn_AndOnesMadeDuringTheLoadStay) {
  PutOldHistory();
  StartJoined();
  LoadAll();
  program->Entries().TogglePins({RowOf("old390")});
  desk.windows.OnNextModal([&](Hwnd) {
    app::TEditEntry* dialog = program->Entries().Dialog();
    ASSERT_NE(dialog, nullptr);
    dialog->Text_e.UserSetText(u"old380 edited");
    dialog->KeyDown(VkReturn, true);
  });
  program->Entries().Edit(RowOf("old380"));
  ASSERT_EQ(RowOf("old380 edited"), 379);
  Kill();  // the changes are in the journal alone

  Start();
  desk.windows.Advance(1000);
  ASSERT_TRUE(Loading());
  EXPECT_EQ(RowOf("old390"), -1) << "not in yet";
  // A pin and an edit of rows already in, during the load.
  program->Entries().TogglePins({RowOf("old5")});
  desk.windows.OnNextModal([&](Hwnd) {
    app::TEditEntry* dialog = program->Entries().Dialog();
    ASSERT_NE(dialog, nullptr);
    dialog->Text_e.UserSetText(u"old7 edited");
    dialog->KeyDown(VkReturn, true);
  });
  program->Entries().Edit(RowOf("old7"));
  LoadAll();
  auto check = [&](const char* when) {
    EXPECT_EQ(RowOf("old380 edited"), 379) << when;
    EXPECT_EQ(RowOf("old7 edited"), 6) << when;
    EXPECT_EQ(RowOf("old380"), -1) << when;
    EXPECT_EQ(Pinned(), (Texts{"old5", "old390"})) << when;
    EXPECT_EQ(static_cast<int>(HistoryTexts().size()), Rows) << when;
  };
  check("after the load");
  Kill();
  Start();
  LoadAll();
  check("after a kill and a start");
  Exit();
  Restart();
  LoadAll();
  check("after the close step");
}

TEST_F(BackgroundLoadTest, AJournalFoldedIntoTheFile_AndACaptureDuringTheLoad_GiveEachEntryOnce) {
  PutOldHistory();
  StartJoined();
  LoadAll();
  ASSERT_TRUE(other.CopyText("a"));
  ASSERT_TRUE(other.CopyText("b"));
  desk.windows.Advance(1000);
  const std::string journal = DataFileBytes(JournalName);
  Exit();
  // The program ended after the file was written and before the journal was emptied.
  PutDataFile(JournalName, journal);
  Restart();
  desk.windows.Advance(1000);
  ASSERT_TRUE(Loading());
  ASSERT_TRUE(other.CopyText("c"));
  program->Entries().TogglePins({RowOf("a")});
  LoadAll();
  const Texts expected = Join({"c", "b", "a"}, OldTexts(1, Rows));
  EXPECT_EQ(HistoryTexts(), expected);
  EXPECT_EQ(Pinned(), Texts{"a"});
  Kill();
  Start();
  LoadAll();
  EXPECT_EQ(HistoryTexts(), expected);
  EXPECT_EQ(Pinned(), Texts{"a"});
}

TEST_F(BackgroundLoadTest, ExitDuringTheLoad_WritesTheWholeHistoryWithTheCapture) {
  PutOldHistory();
  StartJoined();
  ASSERT_TRUE(other.CopyText("last"));
  ASSERT_TRUE(Loading());
  Exit();
  ASSERT_TRUE(program->Exited());
  EXPECT_EQ(FileTexts(), Join({"last"}, OldTexts(1, Rows)));
  EXPECT_FALSE(DataFileExists(JournalName));
}

TEST_F(BackgroundLoadTest,
       ASealedHistory_IsReadInTheBackground_AndOneDamagedPastItsFirstChunkIsNeverReplaced) {
  constexpr const char* Sealed = "0\r\n-1\r\n1\r\n65581\r\n0\r\n0\r\n-1\r\n114774\r\n";
  PutDataFile("settings.stng", Sealed);
  // Over a chunk of plain text, so that the damage comes after rows were handed over.
  constexpr int Many = 20000;
  PutDataFile(HistoryName, Utf16File(OldLines(1, Many)));
  history::HistoryStore::loadPacing.mostBatchRows = 4096;
  history::HistoryStore::loadPacing.batchesPerTick = 0;
  StartJoined();
  LoadAll();
  Exit();
  ASSERT_TRUE(grid::IsSealed(DataFileBytes(HistoryName)));
  Restart();
  LoadAll();
  ASSERT_EQ(static_cast<int>(HistoryTexts().size()), Many);
  EXPECT_EQ(HistoryTexts()[Many - 1], "old" + std::to_string(Many));
  Kill();

  std::string damaged = DataFileBytes(HistoryName);
  ASSERT_GT(damaged.size(), grid::ChunkBytes + 100);
  damaged[damaged.size() - 40] ^= 1;
  PutDataFile(HistoryName, damaged);
  const std::size_t toldBefore = Balloons().size();
  Start();
  history::HistoryStore::loadPacing.batchesPerTick = 1;
  desk.windows.Advance(1000);
  ASSERT_TRUE(other.CopyText("kept"));
  LoadAll();
  EXPECT_EQ(HistoryTexts(), Texts{"kept"}) << "none of the rows of a file not read whole";
  ASSERT_EQ(Balloons().size(), toldBefore + 1);
  EXPECT_NE(Balloons().back().find("could not be read"), std::string::npos) << Balloons().back();
  Exit();
  EXPECT_TRUE(DataFileBytes(HistoryName) == damaged);
}

}  // namespace
}  // namespace background_load_program_test

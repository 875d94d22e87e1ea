// The history file, the history tab's commands, and export and import of history files.
#include "history/history_commands.h"

#include <gtest/gtest.h>

#include "clipboard_history_support.h"
#include "platform/errors.h"
#include "ui/application.h"
#include "ui/file_dialogs.h"

namespace history_commands_test {

namespace {

using namespace platform;
using clipboard_history_test::Utf16File;
using Texts = std::vector<std::u16string>;

class HistoryCommandsTest : public clipboard_history_test::DesktopTest {
 protected:
  HistoryCommandsTest() : app(desk), window(app, "Form1") {
    desk.recorded.MakeFolder("C:\\Exports");
    store.Load();
  }

  void Fill(const Texts& texts, const std::u16string& date = u"") {
    for (const std::u16string& text : texts) {
      int r = list.AppendRow();
      list.SetCell(history::Date, r, date);
      list.SetCell(history::Clipboadrs_history, r, text);
    }
  }
  static Texts TextsOf(const grid::Table& table) {
    Texts texts;
    for (int r = 0; r < table.RowCount(); ++r) texts.push_back(table.Cell(history::Clipboadrs_history, r));
    return texts;
  }
  void Import(const std::optional<std::string>& file) {
    desk.dialogs.AnswerNextFileDialog(file);
    history::ImportHistory(desk, store, prompt);
  }
  std::string HistoryBytes() { return desk.recorded.FileBytes(HistoryPath); }

  ui::Application app;
  ui::Form window;  // hosts the dialogs, as the main window does
  grid::Table list{history::HistoryColumns()};
  history::HistoryStore store{desk, history::HistoryFilePath(desk), list};
  ui::SaveDialog SaveDialog1{window};
  ui::OpenDialog OpenDialog2{window};
  ui::DialogFilePrompt prompt{OpenDialog2, SaveDialog1};
};

TEST_F(HistoryCommandsTest, HistoryFile_GivesEveryTextBackExactly) {
  Fill({u"one\r\ntwo", u"lone\nfeed", u"a|b, \"c\"", u"lone\rreturn"}, u"12/8/2026 9:30:00 AM");
  history::WriteHistoryFile(list, desk, HistoryPath);
  grid::Table back(history::HistoryColumns());
  history::ReadHistoryFile(back, desk, HistoryPath);
  EXPECT_EQ((Texts{u"one\r\ntwo", u"lone\nfeed", u"a|b, \"c\"", u"lone\rreturn"}), TextsOf(back));
  EXPECT_EQ(u"12/8/2026 9:30:00 AM", back.Cell(history::Date, 2));
  EXPECT_EQ(HistoryPath, history::HistoryFilePath(desk)());
}

TEST_F(HistoryCommandsTest, DeleteSelected_Rows1And2And4Of6_LeavesTheOthersInOrderAndWrites) {
  Fill({u"0", u"1", u"2", u"3", u"4", u"5"});
  for (int row : {1, 2, 4}) list.SetRowSelected(row, true);
  history::DeleteSelected(store);
  EXPECT_EQ((Texts{u"0", u"3", u"5"}), TextsOf(list));
  EXPECT_EQ(Utf16File(u"1,,0\r\n2,,3\r\n3,,5\r\n"), HistoryBytes());
}

TEST_F(HistoryCommandsTest, DeleteAndClear_WriteErrorsAreDropped_ClearOnAnEmptyListWritesTheMarkAlone) {
  Fill({u"a"});
  list.SetRowSelected(0, true);
  desk.recorded.DenyAccess(DataFolder);
  EXPECT_NO_THROW(history::DeleteSelected(store));
  Fill({u"b"});
  EXPECT_NO_THROW(history::ClearAll(store));
  EXPECT_EQ(0, list.RowCount());
  EXPECT_TRUE(desk.recorded.writes.empty());

  desk.recorded.ClearFaults();
  desk.recorded.PutFile(HistoryPath, Utf16File(u"1,,stale\r\n"));
  history::ClearAll(store);
  EXPECT_EQ("\xFF\xFE", HistoryBytes());
}

TEST_F(HistoryCommandsTest, Export_SetsTheFilterJustBeforeShowing_AndAlwaysAddsTheExtension) {
  SaveDialog1.Filter = "Corvilane Clipboard manager template|*.cnfg";  // left by the actions export
  desk.dialogs.AnswerNextFileDialog("C:\\Exports\\empty.hstr");
  history::ExportHistory(desk, list, nullptr, prompt);
  EXPECT_EQ("\xFF\xFE", desk.recorded.FileBytes("C:\\Exports\\empty.hstr.hstr"));
  const sim::FileDialogRecord& shown = desk.dialogs.FileDialogs().at(0);
  EXPECT_EQ("Corvilane Clipboard manager history|*.hstr", shown.request.filter);
  EXPECT_FALSE(shown.request.overwritePrompt);

  Fill({u"A"}, u"1/2/2026 3:04:05 PM");
  desk.dialogs.AnswerNextFileDialog("C:\\Exports\\mine");
  history::ExportHistory(desk, list, nullptr, prompt);
  EXPECT_EQ(Utf16File(u"1,1/2/2026 3:04:05 PM,A\r\n"), desk.recorded.FileBytes("C:\\Exports\\mine.hstr"));
  desk.dialogs.AnswerNextFileDialog(std::nullopt);
  history::ExportHistory(desk, list, nullptr, prompt);
  EXPECT_EQ(2u, desk.recorded.writes.size());
}

TEST_F(HistoryCommandsTest, Import_AppendsEachEntryBelowWithItsDate_WritingTheHistoryOnce) {
  Fill({u"A", u"B\r\nline"}, u"12/1/2026 1:00:00 PM");
  Fill({u"C"});  // an entry without a date stays without one
  history::WriteHistoryFile(list, desk, "C:\\Exports\\old.hstr");
  list.RemoveAllRows();
  Fill({u"X"}, u"12/8/2026 9:30:00 AM");
  Import("C:\\Exports\\old.hstr");

  EXPECT_EQ((Texts{u"X", u"A", u"B\r\nline", u"C"}), TextsOf(list));
  EXPECT_EQ(u"12/8/2026 9:30:00 AM", list.Cell(history::Date, 0));
  EXPECT_EQ(u"12/1/2026 1:00:00 PM", list.Cell(history::Date, 1));
  EXPECT_EQ(u"12/1/2026 1:00:00 PM", list.Cell(history::Date, 2));
  EXPECT_EQ(u"", list.Cell(history::Date, 3));
  // The one write leaves the file as a write after each entry left it after the last one.
  ASSERT_EQ(1, desk.recorded.WritesTo(HistoryPath));
  EXPECT_EQ(Utf16File(u"1,12/8/2026 9:30:00 AM,X\r\n2,12/1/2026 1:00:00 PM,A\r\n"
                      u"3,12/1/2026 1:00:00 PM,B|line\r\n4,,C\r\n"),
            HistoryBytes());

  Import("C:\\Exports\\old.hstr");  // the same file again: appended again
  EXPECT_EQ(7, list.RowCount());
  EXPECT_EQ(2, desk.recorded.WritesTo(HistoryPath));
}

TEST_F(HistoryCommandsTest, Import_WhoseHistoryWriteFails_KeepsTheEntriesAndTheOldFile) {
  Fill({u"A", u"B"}, u"12/1/2026 1:00:00 PM");
  history::WriteHistoryFile(list, desk, "C:\\Exports\\old.hstr");
  list.RemoveAllRows();
  desk.recorded.PutFile(HistoryPath, Utf16File(u"1,,X\r\n"));
  Fill({u"X"});
  desk.recorded.DenyAccess(DataFolder);
  EXPECT_NO_THROW(Import("C:\\Exports\\old.hstr"));
  EXPECT_EQ((Texts{u"X", u"A", u"B"}), TextsOf(list));
  EXPECT_EQ(Utf16File(u"1,,X\r\n"), HistoryBytes());
  EXPECT_EQ(0, desk.recorded.WritesTo(HistoryPath));

  desk.recorded.ClearFaults();  // the next write stores them
  history::DeleteSelected(store);
  EXPECT_EQ(Utf16File(u"1,,X\r\n2,12/1/2026 1:00:00 PM,A\r\n3,12/1/2026 1:00:00 PM,B\r\n"), HistoryBytes());
}

TEST_F(HistoryCommandsTest, Import_ReadErrorBeforeAnythingIsAppended_CancelAppendsNothing) {
  Fill({u"X"});
  EXPECT_THROW(Import("C:\\missing.hstr"), IoError);
  Import(std::nullopt);
  EXPECT_EQ(Texts{u"X"}, TextsOf(list));
  EXPECT_TRUE(desk.recorded.writes.empty());
}

}  // namespace
}  // namespace history_commands_test

// The history file, the history tab's commands, and export and import of history files.
#include "history/history_commands.h"

#include <gtest/gtest.h>

#include "clipboard_history_support.h"
#include "platform/errors.h"
#include "ui/application.h"
#include "ui/form.h"

namespace {

using namespace platform;
using clipboard_history_test::Utf16File;
using Texts = std::vector<std::u16string>;

class HistoryCommandsTest : public clipboard_history_test::DesktopTest {
 protected:
  HistoryCommandsTest() : app(desk), editor(app, "Tasks_form") {}

  // Rows of (date, text), top row first.
  void Fill(const std::vector<std::pair<std::u16string, std::u16string>>& rows) {
    for (const auto& [date, text] : rows) {
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
  history::PathProvider Path() { return history::HistoryFilePath(desk); }
  std::string HistoryBytes() { return sim.files.FileBytes(HistoryPath); }

  ui::Application app;
  ui::Form editor;  // hosts the dialogs and the staging table, as the action editor does
  ui::TableGrid list{nullptr, "TableGrid2", history::HistoryColumns()};
  ui::TableGrid staging{&editor, "TableGrid2", history::HistoryColumns()};
  ui::SaveDialog SaveDialog1{editor};
  ui::OpenDialog OpenDialog2{editor};
};

TEST_F(HistoryCommandsTest, HistoryFile_IsBesideTheExecutable_AndFollowsItAtEveryUse) {
  history::PathProvider path = Path();
  EXPECT_EQ(HistoryPath, path());
  sim.files.SetModuleFileName("D:\\Tools\\cm.exe");
  EXPECT_EQ("D:\\Tools\\Data\\clipboard_history.hstr", path());
}

TEST_F(HistoryCommandsTest, HistoryFile_LineBreaks_CrLfSurvives_LoneLfLost_BarBecomesLineBreak) {
  Fill({{u"12/8/2026 9:30:00 AM", u"one\r\ntwo"}, {u"", u"lone\nfeed"}, {u"", u"a|b, \"c\""}});
  history::WriteHistoryFile(list, desk, HistoryPath);
  EXPECT_EQ(Utf16File(u"1,12/8/2026 9:30:00 AM,one|two\r\n2,,lonefeed\r\n3,,\"a|b, \"\"c\"\"\"\r\n"),
            HistoryBytes());

  grid::Table back(history::HistoryColumns());
  history::ReadHistoryFile(back, desk, HistoryPath);
  EXPECT_EQ((Texts{u"one\r\ntwo", u"lonefeed", u"a\r\nb, \"c\""}), TextsOf(back));
  EXPECT_EQ(u"12/8/2026 9:30:00 AM", back.Cell(history::Date, 0));
}

TEST_F(HistoryCommandsTest, HistoryFile_RowsInsertedAtTheTop_AreWrittenWithNumberZero) {
  Fill({{u"", u"old"}});
  list.InsertRowAtTop();
  list.SetCell(history::Clipboadrs_history, 0, u"new");
  history::WriteHistoryFile(list, desk, HistoryPath);
  EXPECT_EQ(Utf16File(u"0,,new\r\n2,,old\r\n"), HistoryBytes());
}

TEST_F(HistoryCommandsTest, DeleteSelected_Rows1And2And4Of6_LeavesTheOthersInOrderAndWrites) {
  for (int i = 0; i < 6; ++i) Fill({{u"", std::u16string(1, static_cast<char16_t>(u'0' + i))}});
  for (int row : {1, 2, 4}) list.SetRowSelected(row, true);
  history::DeleteSelected(desk, list, Path());
  EXPECT_EQ((Texts{u"0", u"3", u"5"}), TextsOf(list));
  EXPECT_EQ(Utf16File(u"1,,0\r\n2,,3\r\n3,,5\r\n"), HistoryBytes());
}

TEST_F(HistoryCommandsTest, DeleteSelected_NothingSelected_StillWrites_AndWriteErrorsAreDropped) {
  Fill({{u"", u"kept"}});
  history::DeleteSelected(desk, list, Path());
  EXPECT_EQ(Utf16File(u"1,,kept\r\n"), HistoryBytes());

  list.SetRowSelected(0, true);
  sim.files.DenyAccess(DataFolder);
  EXPECT_NO_THROW(history::DeleteSelected(desk, list, Path()));
  EXPECT_EQ(0, list.RowCount());
}

TEST_F(HistoryCommandsTest, ClearAll_OnAnEmptyList_StillWritesTheMarkAlone) {
  sim.files.PutFile(HistoryPath, Utf16File(u"1,,stale\r\n"));
  history::ClearAll(desk, list, Path());
  EXPECT_EQ("\xFF\xFE", HistoryBytes());
}

TEST_F(HistoryCommandsTest, ClearAll_WriteError_IsDropped_TheListIsCleared) {
  Fill({{u"", u"a"}, {u"", u"b"}});
  sim.files.PutFile(HistoryPath, Utf16File(u"1,,old\r\n"));
  sim.files.DenyAccess(DataFolder);
  EXPECT_NO_THROW(history::ClearAll(desk, list, Path()));
  EXPECT_EQ(0, list.RowCount());
  sim.files.ClearFaults();
  EXPECT_EQ(Utf16File(u"1,,old\r\n"), HistoryBytes());
}

TEST_F(HistoryCommandsTest, Export_SetsTheHistoryFilterJustBeforeShowing_AndAddsTheExtension) {
  Fill({{u"1/2/2026 3:04:05 PM", u"A"}});
  SaveDialog1.Filter = "Corvilane Clipboard manager template|*.cnfg";  // left by the actions export
  sim.files.MakeFolder("C:\\Exports");
  sim.dialogs.AnswerNextFileDialog("C:\\Exports\\mine");
  history::ExportHistory(desk, list, SaveDialog1);

  ASSERT_EQ(1u, sim.dialogs.FileDialogs().size());
  const sim::FileDialogRecord& shown = sim.dialogs.FileDialogs()[0];
  EXPECT_TRUE(shown.save);
  EXPECT_EQ("Corvilane Clipboard manager history|*.hstr", shown.request.filter);
  EXPECT_FALSE(shown.request.overwritePrompt);
  EXPECT_EQ("", shown.request.defaultExtension);
  EXPECT_EQ(Utf16File(u"1,1/2/2026 3:04:05 PM,A\r\n"), sim.files.FileBytes("C:\\Exports\\mine.hstr"));
  EXPECT_FALSE(sim.files.Exists("C:\\Exports\\mine"));
}

TEST_F(HistoryCommandsTest, Export_NameEndingInTheExtension_GetsItTwice_AnEmptyHistoryIsTheMarkAlone) {
  sim.files.MakeFolder("C:\\Exports");
  sim.dialogs.AnswerNextFileDialog("C:\\Exports\\saved.hstr");
  history::ExportHistory(desk, list, SaveDialog1);
  EXPECT_EQ("\xFF\xFE", sim.files.FileBytes("C:\\Exports\\saved.hstr.hstr"));
  EXPECT_FALSE(sim.files.Exists("C:\\Exports\\saved.hstr"));
}

TEST_F(HistoryCommandsTest, Export_Cancelled_WritesNothing) {
  Fill({{u"", u"A"}});
  sim.dialogs.AnswerNextFileDialog(std::nullopt);
  history::ExportHistory(desk, list, SaveDialog1);
  EXPECT_TRUE(desk.files.Writes().empty());
}

TEST_F(HistoryCommandsTest, Export_ErrorOfTheChosenFile_ReachesTheCaller) {
  Fill({{u"", u"A"}});
  sim.dialogs.AnswerNextFileDialog("C:\\No such folder\\x");
  try {
    history::ExportHistory(desk, list, SaveDialog1);
    FAIL() << "the write error was swallowed";
  } catch (const IoError& error) {
    EXPECT_STREQ("Invalid filename", error.what());
  }
  EXPECT_EQ(Texts{u"A"}, TextsOf(list));
}

TEST_F(HistoryCommandsTest, Import_AppendsEachTextBelowWithEmptyDate_WritingAfterEachOne) {
  // An export of A (newest), B, C.
  grid::Table exported(history::HistoryColumns());
  for (const char16_t* text : {u"A", u"B\r\nline", u"C"}) {
    int r = exported.AppendRow();
    exported.SetCell(history::Date, r, u"12/1/2026 1:00:00 PM");
    exported.SetCell(history::Clipboadrs_history, r, text);
  }
  sim.files.MakeFolder("C:\\Exports");
  history::WriteHistoryFile(exported, desk, "C:\\Exports\\old.hstr");
  Fill({{u"12/8/2026 9:30:00 AM", u"X"}});
  staging.AppendRow();  // left from an earlier import

  sim.dialogs.AnswerNextFileDialog("C:\\Exports\\old.hstr");
  history::ImportHistory(desk, list, staging, OpenDialog2, Path());

  EXPECT_EQ((Texts{u"X", u"A", u"B\r\nline", u"C"}), TextsOf(list));
  EXPECT_EQ(u"12/8/2026 9:30:00 AM", list.Cell(history::Date, 0));
  for (int r = 1; r < 4; ++r) EXPECT_EQ(u"", list.Cell(history::Date, r)) << r;
  EXPECT_EQ(3, staging.RowCount());

  ASSERT_EQ(3, desk.files.WritesTo(HistoryPath));
  const auto& writes = desk.files.Writes();
  EXPECT_EQ(Utf16File(u"1,12/8/2026 9:30:00 AM,X\r\n2,,A\r\n"), writes[1].bytes);
  EXPECT_EQ(Utf16File(u"1,12/8/2026 9:30:00 AM,X\r\n2,,A\r\n3,,B|line\r\n"), writes[2].bytes);
  EXPECT_EQ(writes[3].bytes, HistoryBytes());
}

TEST_F(HistoryCommandsTest, Import_SameFileTwice_AppendsItTwice) {
  sim.files.PutFile("C:\\in.hstr", Utf16File(u"1,,A\r\n2,,B\r\n"));
  sim.dialogs.AnswerNextFileDialog("C:\\in.hstr");
  sim.dialogs.AnswerNextFileDialog("C:\\in.hstr");
  history::ImportHistory(desk, list, staging, OpenDialog2, Path());
  history::ImportHistory(desk, list, staging, OpenDialog2, Path());
  EXPECT_EQ((Texts{u"A", u"B", u"A", u"B"}), TextsOf(list));
  EXPECT_EQ(4, desk.files.WritesTo(HistoryPath));
}

TEST_F(HistoryCommandsTest, Import_ReadError_ReachesTheCallerBeforeAnythingIsAppended) {
  Fill({{u"", u"X"}});
  sim.dialogs.AnswerNextFileDialog("C:\\missing.hstr");
  EXPECT_THROW(history::ImportHistory(desk, list, staging, OpenDialog2, Path()), IoError);
  EXPECT_EQ(Texts{u"X"}, TextsOf(list));
  EXPECT_TRUE(desk.files.Writes().empty());
}

TEST_F(HistoryCommandsTest, Import_Cancelled_OnlyEmptiesTheStagingTable) {
  Fill({{u"", u"X"}});
  staging.AppendRow();
  sim.dialogs.AnswerNextFileDialog(std::nullopt);
  history::ImportHistory(desk, list, staging, OpenDialog2, Path());
  EXPECT_EQ(0, staging.RowCount());
  EXPECT_EQ(Texts{u"X"}, TextsOf(list));
  EXPECT_TRUE(desk.files.Writes().empty());
}

TEST_F(HistoryCommandsTest, Import_HistoryWriteErrors_AreDropped_TheEntriesStay) {
  sim.files.PutFile("C:\\in.hstr", Utf16File(u"1,,A\r\n2,,B\r\n"));
  sim.files.DenyAccess(DataFolder);
  sim.dialogs.AnswerNextFileDialog("C:\\in.hstr");
  EXPECT_NO_THROW(history::ImportHistory(desk, list, staging, OpenDialog2, Path()));
  EXPECT_EQ((Texts{u"A", u"B"}), TextsOf(list));
}

}  // namespace

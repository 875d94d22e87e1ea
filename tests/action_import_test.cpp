// "Import actions": the rows of the chosen file are appended, and the actions file is written
// once for the whole import.
#include <gtest/gtest.h>

#include "actions/action_table.h"
#include "clipboard_history_support.h"

namespace action_import_test {

namespace {

using namespace platform;
using clipboard_history_test::Utf16File;

// Answers the open dialog with one file name.
class OneFile : public grid::FilePrompt {
 public:
  explicit OneFile(std::string name) : name_(std::move(name)) {}
  bool AskFileToSave(const std::string&, std::string&) override { return false; }
  bool AskFileToOpen(const std::string&, const std::string&, std::string& fileName) override {
    fileName = name_;
    return true;
  }

 private:
  std::string name_;
};

class ActionImportTest : public clipboard_history_test::DesktopTest {
 protected:
  static constexpr const char* ActionsPath = "C:\\Program Files\\Clipboard manager\\Data\\actions.cnfg";

  ActionImportTest() {
    desk.recorded.PutFile(ActionsPath, Utf16File(u"1,Mine,No,kept,V\r\n"));
    list.Load();
  }
  static std::u16string Rows(int from, int count) {
    std::u16string lines;
    for (int i = from; i < from + count; ++i) {
      const std::u16string n = Number(i);
      lines += n + u",A" + n + u",No,text " + n + u",V\r\n";
    }
    return lines;
  }
  static std::u16string Number(int i) {
    const std::string digits = std::to_string(i);
    return std::u16string(digits.begin(), digits.end());
  }
  // The actions file as writing `lines` gives it: every row numbered by its place.
  static std::string FileOf(const std::u16string& lines) { return Utf16File(lines); }

  hotkeys::KeyNames keyNames{desk.keyboard};
  actions::ActionList list{desk, keyNames};
};

TEST_F(ActionImportTest, ThousandRows_OneWriteOfTheWholeTable_AFailedWriteKeepsTheRowsForTheNextSave) {
  desk.recorded.PutFile("C:\\many.cnfg", Utf16File(Rows(2, 1000)));
  int told = 0;
  list.OnChanged = [&] { ++told; };
  OneFile prompt("C:\\many.cnfg");
  list.Import(prompt);
  EXPECT_EQ(1001, list.Table().RowCount());
  EXPECT_EQ(1, desk.recorded.WritesTo(ActionsPath));
  EXPECT_EQ(FileOf(u"1,Mine,No,kept,V\r\n" + Rows(2, 1000)), desk.recorded.FileBytes(ActionsPath));
  EXPECT_EQ(1, told);

  // A full disk: the import still appends every row, the file keeps what it held, and the next
  // change of the table writes them all.
  desk.recorded.PutFile("C:\\more.cnfg", Utf16File(Rows(1002, 3)));
  desk.recorded.FailReplace(ErrorDiskFull);
  OneFile more("C:\\more.cnfg");
  EXPECT_NO_THROW(list.Import(more));
  EXPECT_EQ(1004, list.Table().RowCount());
  EXPECT_EQ(FileOf(u"1,Mine,No,kept,V\r\n" + Rows(2, 1000)), desk.recorded.FileBytes(ActionsPath));
  desk.recorded.FailReplace(0);
  list.DeleteSelected();  // nothing selected: only the save
  EXPECT_EQ(FileOf(u"1,Mine,No,kept,V\r\n" + Rows(2, 1003)), desk.recorded.FileBytes(ActionsPath));

  // A file without rows appends nothing and writes nothing.
  const int writes = desk.recorded.WritesTo(ActionsPath);
  desk.recorded.PutFile("C:\\empty.cnfg", "\xFF\xFE");
  OneFile empty("C:\\empty.cnfg");
  list.Import(empty);
  EXPECT_EQ(1004, list.Table().RowCount());
  EXPECT_EQ(writes, desk.recorded.WritesTo(ActionsPath));
}

}  // namespace
}  // namespace action_import_test

// The "#" column of both tables: what the user reads there after captures, deletes, a search
// and a restart, and what the history file keeps writing in that field.
#include <gtest/gtest.h>

#include "program_fixture.h"

namespace row_numbers_program_test {

namespace {

using Texts = std::vector<std::u16string>;

class RowNumbersProgramTest : public testing_support::ClipboardProgramTest {
 public:
  ui::TableGrid& History() { return Form1().TableGrid2; }
  void CopyAll(std::initializer_list<std::u16string> texts) {
    for (const auto& text : texts) ASSERT_TRUE(other.CopyUnicodeText(text));
  }
  // The "#" column as shown, top first.
  static Texts Numbers(ui::TableGrid& grid) {
    Texts numbers;
    std::u16string scratch;
    for (int p = 0; p < grid.ShownCount(); ++p) numbers.emplace_back(grid.ShownCell(0, p, scratch));
    return numbers;
  }
  Texts Numbers() { return Numbers(History()); }
};

TEST_F(RowNumbersProgramTest, CapturedRows_CountFromTheTop_ThroughDeletesSearchesAndARestart) {
  StartJoined();
  CopyAll({u"alpha", u"bravo", u"charlie"});
  EXPECT_EQ(Numbers(), (Texts{u"1", u"2", u"3"}));

  // The middle row goes: the rows below it move up and count on without a gap.
  History().ClickRow(1);
  Form1().BitBtn1.Click();
  ASSERT_EQ(History().ShownCount(), 2);
  EXPECT_EQ(Numbers(), (Texts{u"1", u"2"}));

  CopyAll({u"delta", u"echo"});
  EXPECT_EQ(Numbers(), (Texts{u"1", u"2", u"3", u"4"}));

  // While a search hides rows, each shown row keeps its place in the whole history: of echo,
  // delta, charlie and alpha, "ha" finds the last two.
  Form1().Search_e.UserSetText(u"ha");
  EXPECT_EQ(Numbers(), (Texts{u"3", u"4"}));
  Form1().Search_e.UserSetText(u"");

  Exit();
  Restart();
  EXPECT_EQ(Numbers(), (Texts{u"1", u"2", u"3", u"4"}));
}

TEST_F(RowNumbersProgramTest, TheFileKeepsItsBytes_ACapturedRowIsStillWrittenWithZero) {
  PutDataFile("clipboard_history.hstr", testing_support::Utf16File("1,12/8/2026 9:30:01 AM,old\r\n"));
  StartJoined();
  CopyAll({u"new"});
  EXPECT_EQ(Numbers(), (Texts{u"1", u"2"}));
  Exit();
  // The rows read from the file count; a captured one writes the 0 it always wrote.
  const std::string bytes = DataFileBytes("clipboard_history.hstr");
  EXPECT_NE(bytes.find(testing_support::Utf16File("0,").substr(2)), std::string::npos);
  EXPECT_NE(bytes.find(testing_support::Utf16File("2,12/8/2026 9:30:01 AM,old").substr(2)),
            std::string::npos);
}

TEST_F(RowNumbersProgramTest, ActionsTable_CountsItsRows_WhateverTheFileSays) {
  PutDataFile("actions.cnfg", testing_support::Utf16File("7,One,No,first,V\r\n0,Two,No,second,V\r\n"
                                                         "0,Three,No,third,I\r\n"));
  Start();
  EXPECT_EQ(Numbers(Form1().TableGrid1), (Texts{u"1", u"2", u"3"}));
}

}  // namespace
}  // namespace row_numbers_program_test

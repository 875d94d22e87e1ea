// "Edit entry" and "Add to actions" in the whole program: an entry's text mended where it
// stands and kept through a kill and a restart, an image refused, the row found while a search
// filters the table and while copies come in, and an action made of an entry's text.
#include <gtest/gtest.h>

#include "actions/action_table.h"
#include "app/edit_entry.h"
#include "app/entry_commands.h"
#include "app/quick_paste.h"
#include "history/history_table.h"
#include "program_fixture.h"

namespace edit_entry_program_test {

namespace {

using namespace platform;
using testing_support::Utf16File;
using Texts = std::vector<std::string>;

constexpr const char* HistoryName = "clipboard_history.hstr";
const std::string Html = "ab" + std::string(62, '0') + ".html";
const std::string Png = "cd" + std::string(62, '0') + ".png";

class EditEntryTest : public testing_support::ClipboardProgramTest {
 public:
  // The history "gamma" (newest), "beta" with its HTML pinned, "alpha", and an image.
  void StartWithEntries() {
    PutDataFile(HistoryName, Utf16File("1,12/1/2026 8:00:00 AM,beta,items1:" + Html +
                                       ",pin1:1\r\n"
                                       "2,12/1/2026 7:00:00 AM,alpha\r\n"
                                       "3,12/1/2026 6:00:00 AM,[Image 5x3],items1:" +
                                       Png + "\r\n"));
    StartJoined();
    ASSERT_TRUE(other.CopyText("gamma"));
  }
  grid::Table& List() { return program->HistoryList(); }
  int RowOf(const std::string& text) {
    const Texts texts = HistoryTexts();
    for (std::size_t k = 0; k < texts.size(); ++k)
      if (texts[k] == text) return static_cast<int>(k);
    return -1;
  }
  void Select(const std::string& text) {
    ui::TableGrid& table = Form1().TableGrid2;
    table.ClickRow(table.ShownPosition(RowOf(text)));
    table.SetFocus();
  }
  // F2 in the history table; the dialog, when it opens, gets `typed` and then `keys`.
  bool EditWithF2(const std::u16string& typed, bool ctrlEnter = true) {
    bool opened = false;
    desk.windows.OnNextModal([&, typed, ctrlEnter](Hwnd) {
      app::TEditEntry* dialog = program->Entries().Dialog();
      ASSERT_NE(dialog, nullptr);
      EXPECT_EQ(dialog->Caption(), "Edit entry");
      opened = true;
      shownText = dialog->Text_e.Text();
      dialog->Text_e.UserSetText(typed);
      if (ctrlEnter)
        dialog->KeyDown(VkReturn, true);
      else
        dialog->KeyDown(VkEscape, false);
    });
    Form1().KeyDown(VkF2, false);
    return opened;
  }
  std::u16string shownText;
};

TEST_F(EditEntryTest, OK_ReplacesTheTextWhereItStands_SameDateAndPin_DropsTheFormats_KeepsTheClipboard) {
  StartWithEntries();
  const std::u16string date = List().Cell(history::Date, RowOf("beta"));
  Select("beta");
  ASSERT_TRUE(EditWithF2(u"beta, mended\r\nover two lines"));
  EXPECT_EQ(shownText, u"beta");
  const int row = RowOf("beta, mended\r\nover two lines");
  EXPECT_EQ(row, 1);
  EXPECT_EQ(List().Cell(history::Date, row), date);
  EXPECT_TRUE(history::IsPinned(List(), row));
  EXPECT_EQ(List().Cell(history::ItemsColumn, row), u"");
  EXPECT_EQ(desk.clipboard.Text(), "gamma") << "the clipboard is left as it is";
  EXPECT_EQ(HistoryTexts().size(), 4u);
  // Esc leaves the entry as it was.
  Select("alpha");
  ASSERT_TRUE(EditWithF2(u"not kept", false));
  EXPECT_EQ(RowOf("alpha"), 2);

  Exit();
  const std::string file = DataFileBytes(HistoryName);
  EXPECT_NE(file.find(Utf16File("\"beta, mended|over two lines\",pin1:1\r\n").substr(2)), std::string::npos);
  Restart();
  EXPECT_EQ(HistoryTexts(), (Texts{"gamma", "beta, mended\r\nover two lines", "alpha", "[Image 5x3]"}));
}

TEST_F(EditEntryTest, AnEdit_ReachesTheJournalAtOnce_SoAKillLosesNothing) {
  StartWithEntries();
  Select("gamma");  // a capture of this run, in the journal
  ASSERT_TRUE(EditWithF2(u"gamma mended"));
  Select("alpha");  // a row of the file
  ASSERT_TRUE(EditWithF2(u"alpha mended"));
  Kill();
  Start();
  EXPECT_EQ(HistoryTexts(), (Texts{"gamma mended", "beta", "alpha mended", "[Image 5x3]"}));
  EXPECT_TRUE(history::IsPinned(List(), 1));
  // The repeat check sees the mended text: copying the old one records it anew.
  desk.windows.Advance(1000);
  ASSERT_TRUE(other.CopyText("gamma"));
  EXPECT_EQ(HistoryTexts().front(), "gamma");
}

TEST_F(EditEntryTest, AnImageOrAListOfFiles_IsNotEdited_AndTheUserIsTold) {
  PutDataFile(HistoryName, Utf16File("1,12/1/2026 8:00:00 AM,C:\\a.txt,items1:ef" + std::string(62, '0') +
                                     ".hdrop\r\n2,12/1/2026 6:00:00 AM,[Image 5x3],items1:" + Png + "\r\n"));
  Start();
  for (const std::string entry : {"C:\\a.txt", "[Image 5x3]"}) {
    const std::size_t told = Balloons().size();
    Select(entry);
    EXPECT_FALSE(EditWithF2(u"text")) << entry;
    EXPECT_EQ(desk.windows.ModalDepth(), 0);
    ASSERT_EQ(Balloons().size(), told + 1) << entry;
    EXPECT_NE(Balloons().back().find("Only a text can be edited"), std::string::npos) << Balloons().back();
  }
  EXPECT_EQ(HistoryTexts(), (Texts{"C:\\a.txt", "[Image 5x3]"}));
}

TEST_F(EditEntryTest, WhileASearchFiltersTheTable_TheRowShownIsTheOneEdited_AndACopyMeanwhileMovesNothing) {
  StartWithEntries();
  Form1().Search_e.UserSetText(u"alp");
  desk.windows.Advance(500);
  ui::TableGrid& table = Form1().TableGrid2;
  ASSERT_EQ(table.ShownCount(), 1);
  table.ClickRow(0);
  table.SetFocus();
  desk.windows.OnNextModal([&](Hwnd) {
    // A copy while the window is open puts a row on top.
    ASSERT_TRUE(other.CopyText("delta"));
    program->Entries().Dialog()->Text_e.UserSetText(u"alpha edited");
    program->Entries().Dialog()->Ok_b.Click();
  });
  Form1().KeyDown(VkF2, false);
  EXPECT_EQ(HistoryTexts(), (Texts{"delta", "gamma", "beta", "alpha edited", "[Image 5x3]"}));
}

TEST_F(EditEntryTest, F2InThePopup_EditsTheHighlightedEntry_AndThePopupStaysOpenShowingIt) {
  StartWithEntries();
  desk.windows.SetForegroundWindow(other.Window());
  ASSERT_TRUE(desk.hotkeys.Press(ModWin, VkInsert));
  desk.windows.Pump();
  ui::PopupList& popup = program->Quick().List;
  ASSERT_TRUE(popup.IsOpen());
  popup.SetSelected(2);
  ASSERT_EQ(popup.ItemText(2), u"alpha");
  bool aside = false;
  desk.windows.OnNextModal([&](Hwnd) {
    aside = popup.IsAside();
    popup.Deactivated();  // the window took the focus
    program->Entries().Dialog()->Text_e.UserSetText(u"alpha from the popup");
    program->Entries().Dialog()->KeyDown(VkReturn, true);
  });
  popup.KeyDown(VkF2);
  EXPECT_TRUE(aside);
  EXPECT_TRUE(popup.IsOpen());
  EXPECT_FALSE(popup.IsAside());
  EXPECT_EQ(popup.ItemText(popup.Selected()), u"alpha from the popup");
  EXPECT_EQ(HistoryTexts()[2], "alpha from the popup");
}

TEST_F(EditEntryTest,
       AddToActions_OpensTheEditorWithTheText_NamedByItsFirstWords_AndTheActionKeepsItExactly) {
  const std::u16string text = u"cat log | grep x, then sort\r\nand more";
  StartJoined();
  ASSERT_TRUE(other.CopyText(desk.codePage.WideToAnsi(text)));
  ui::TableGrid& table = Form1().TableGrid2;
  std::u16string name, shown;
  desk.windows.OnNextModal([&](Hwnd) {
    name = Tasks().Edit1.Text();
    shown = Tasks().edit2.Text();
    Tasks().BitBtn1.Click();
  });
  desk.notifyArea.ChooseNext("Add to actions\u2026");
  table.RightClickRow(0, 10, 10);
  EXPECT_EQ(name, u"cat log | grep x, then sort");
  EXPECT_EQ(shown, text);
  const grid::Table& actions = program->ActionTable();
  ASSERT_EQ(actions.RowCount(), 1);
  EXPECT_EQ(actions.Cell(actions::TextColumn, 0), text);
  // A second time the editor's own naming makes the name fresh.
  desk.windows.OnNextModal([&](Hwnd) {
    name = Tasks().Edit1.Text();
    Tasks().BitBtn2.Click();
  });
  desk.notifyArea.ChooseNext("Add to actions\u2026");
  table.RightClickRow(0, 10, 10);
  EXPECT_EQ(name, u"cat log | grep x, then sort1");
  Restart();
  ASSERT_EQ(program->ActionTable().RowCount(), 1);
  EXPECT_EQ(program->ActionTable().Cell(actions::TextColumn, 0), text);
  EXPECT_EQ(program->ActionTable().Cell(actions::NameColumn, 0), u"cat log | grep x, then sort");
}

TEST(ActionNameOf, TakesTheFirstWordsOfTheFirstLineThatHoldsAny) {
  struct Case {
    std::u16string text, name;
  };
  const std::vector<Case> cases = {
      {u"  hello   world  ", u"hello world"},
      {u"\r\n\r\n  second line first\r\nthird", u"second line first"},
      {u"one two three four five six seven eight", u"one two three four five six"},
      {std::u16string(40, u'x'), std::u16string(app::ActionNameChars, u'x')},
      {u" \t\r\n", u"New Action"},
      {u"", u"New Action"},
  };
  for (const Case& c : cases) EXPECT_EQ(app::ActionNameOf(c.text), c.name);
}

}  // namespace
}  // namespace edit_entry_program_test

// The actions: their file, the editor, the hotkey paste, export and import, the tray items.
#include <gtest/gtest.h>

#include "paste_recorder.h"
#include "platform/sim/sim_clipboard.h"
#include "program_fixture.h"

namespace actions_program_test {

namespace {

using namespace platform;
using testing_support::Utf16File;

constexpr Uint VkF5 = 0x74;
constexpr Uint VkF6 = 0x75;
constexpr Uint VkF7 = 0x76;

class ActionsTest : public testing_support::ClipboardProgramTest {
 public:
  void PutActions(const std::string& lines) { PutDataFile("actions.cnfg", Utf16File(lines)); }

  ui::TableGrid& Table() { return Form1().TableGrid1; }
  std::string Name(int row) { return desk.codePage.WideToAnsi(Table().Rows().Cell("TextColumn1", row)); }
  std::string HotkeyText(int row) {
    return desk.codePage.WideToAnsi(Table().Rows().Cell("TextColumn3", row));
  }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (int row = 0; row < Table().Rows().RowCount(); ++row) names.push_back(Name(row));
    return names;
  }
  std::vector<std::string> VisibleTrayCaptions() {
    std::vector<std::string> captions;
    for (ui::MenuItem* item : Form1().TrayActionItems())
      if (item->Visible()) captions.push_back(item->Caption());
    return captions;
  }
  int KeyIndex(const std::string& name) {
    for (int i = 0; i < Tasks().ComboBox1.Count(); ++i)
      if (Tasks().ComboBox1.Items()[i].text == name) return i;
    return -1;
  }
  // Runs "Add" with the editor filled in by `fill`, then OK.
  void AddAction(const std::u16string& name, const std::u16string& text, const std::string& key = "",
                 std::function<void()> more = {}) {
    desk.windows.OnNextModal([=, this](Hwnd) {
      Tasks().Edit1.UserSetText(name);
      Tasks().edit2.UserSetText(text);
      if (!key.empty()) {
        Tasks().CheckBox5.Toggle();
        Tasks().ComboBox1.SetItemIndex(KeyIndex(key));
      }
      if (more) more();
      Tasks().BitBtn1.Click();
      if (Tasks().Modal()) Tasks().BitBtn2.Click();
    });
    Form1().Add_b.Click();
  }
  // Texts that the focused window reads from the clipboard at each paste key it receives.
  void RecordPastes() { recorder.Start(); }
  bool PressHotkey(Uint mods, Uint vk) {
    bool held = desk.hotkeys.Press(mods, vk);
    desk.windows.Advance(1);
    return held;
  }

  testing_support::PasteRecorder recorder{desk, other};
  std::vector<std::string>& pasted = recorder.pasted;
};

TEST_F(ActionsTest, ActionsFile_LoadsWhateverItsRowNumbersAndShortLines) {
  PutActions("7,Greet,No,\"Hello, world|Bye\",V\r\n7,Sign,No,Regards\r\n");
  StartJoined();
  ASSERT_EQ(Table().Rows().RowCount(), 2);
  EXPECT_EQ(Table().Rows().Cell(0, 0), u"1");
  EXPECT_EQ(Table().Rows().Cell(0, 1), u"2");
  EXPECT_EQ(Table().Rows().Cell("TextColumn2", 0), u"Hello, world\r\nBye");
  EXPECT_EQ(Table().Rows().Cell("Ins", 1), u"");
  EXPECT_EQ(VisibleTrayCaptions(), (std::vector<std::string>{"Greet", "Sign"}));
  EXPECT_TRUE(Tasks().ComboBox1.Count() > 100);
  EXPECT_EQ(Tasks().ComboBox1.ItemIndex(), 0);
}

TEST_F(ActionsTest, MissingActionsFile_StillLoadsTheHistoryAndFillsTheKeyList) {
  PutDataFile("clipboard_history.hstr", Utf16File("0,1/1/2026,kept\r\n"));
  StartJoined();
  EXPECT_EQ(Table().Rows().RowCount(), 0);
  EXPECT_EQ(HistoryTexts(), (std::vector<std::string>{"kept"}));
  EXPECT_GT(Tasks().ComboBox1.Count(), 0);
  EXPECT_TRUE(VisibleTrayCaptions().empty());
}

TEST_F(ActionsTest, TwoRowsWithOneHotkey_RegisterOnceAndPasteBothInOrder) {
  PutActions("1,A,Ctrl+F5,first,V\r\n2,B,Ctrl+F5,second,V\r\n");
  StartJoined();
  EXPECT_EQ(program->Actions().HotKeyManager1.Bindings().size(), 1u);
  ASSERT_TRUE(other.CopyText("mine"));
  RecordPastes();
  ASSERT_TRUE(PressHotkey(ModControl, VkF5));
  EXPECT_EQ(pasted, (std::vector<std::string>{"first", "second"}));
  EXPECT_EQ(desk.clipboard.Text(), "mine");
  EXPECT_EQ(desk.keyboard.Events().size(), 8u);
  EXPECT_EQ(desk.time.OpenEvents(), 0);
}

TEST_F(ActionsTest, Paste_SendsTheExactKeySequencesAndLeavesTwoHistoryEntries) {
  PutActions("1,A,Ctrl+F5,alpha,V\r\n2,B,Ctrl+F6,beta,I\r\n");
  StartJoined();
  ASSERT_TRUE(other.CopyText("mine"));
  ASSERT_TRUE(PressHotkey(ModControl, VkF5));
  Uint shiftScan = desk.keyboard.MapVirtualKeyA(0x10, 0), rshiftScan = desk.keyboard.MapVirtualKeyA(0xA1, 0);
  ASSERT_TRUE(PressHotkey(ModControl, VkF6));
  std::vector<sim::KeyEvent> expected = {{0x11, 0, 0, 0},
                                         {0x56, 0, 0, 0},
                                         {0x56, 0, 2, 0},
                                         {0x11, 0, 2, 0},
                                         {0xA1, static_cast<std::uint8_t>(rshiftScan), 0, 0},
                                         {0x2D, 0, 0, 0},
                                         {0xA1, static_cast<std::uint8_t>(rshiftScan), 3, 0},
                                         {0x10, static_cast<std::uint8_t>(shiftScan), 0, 0},
                                         {0x10, static_cast<std::uint8_t>(shiftScan), 2, 0},
                                         {0x2D, 0, 2, 0}};
  ASSERT_EQ(desk.keyboard.Events().size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const sim::KeyEvent& e = desk.keyboard.Events()[i];
    EXPECT_EQ(e.vk, expected[i].vk) << i;
    EXPECT_EQ(e.scan, expected[i].scan) << i;
    EXPECT_EQ(e.flags, expected[i].flags) << i;
    EXPECT_EQ(e.extraInfo, 0u) << i;
  }
  EXPECT_NE(shiftScan, 0u);
  EXPECT_EQ(HistoryTexts(), (std::vector<std::string>{"mine", "beta", "mine", "alpha", "mine"}));
}

TEST_F(ActionsTest, PasteMethodOtherThanTheTwoLetters_SendsNoKeystroke) {
  PutActions("1,A,Ctrl+F5,four fields\r\n2,B,Ctrl+F6,lower,v\r\n");
  StartJoined();
  ASSERT_TRUE(other.CopyText("mine"));
  RecordPastes();
  ASSERT_TRUE(PressHotkey(ModControl, VkF5));
  ASSERT_TRUE(PressHotkey(ModControl, VkF6));
  EXPECT_TRUE(desk.keyboard.Events().empty());
  EXPECT_EQ(desk.clipboard.Text(), "mine");
  EXPECT_EQ(HistoryTexts(), (std::vector<std::string>{"mine", "lower", "mine", "four fields", "mine"}));
}

TEST_F(ActionsTest, TwoPressesDuringAPaste_ArePastedAfterItInTheOrderPressed) {
  PutActions("1,A,Ctrl+F5,first,V\r\n2,B,Ctrl+F6,second,V\r\n3,C,Ctrl+F7,third,I\r\n");
  StartJoined();
  ASSERT_TRUE(other.CopyText("mine"));
  RecordPastes();
  desk.windows.Schedule(100, [this] { desk.hotkeys.Press(ModControl, VkF7); });
  desk.windows.Schedule(150, [this] { desk.hotkeys.Press(ModControl, VkF6); });
  ASSERT_TRUE(PressHotkey(ModControl, VkF5));
  desk.windows.Advance(5000);
  EXPECT_EQ(pasted, (std::vector<std::string>{"first", "third", "second"}));
  EXPECT_EQ(desk.clipboard.Text(), "mine");
  // Each paste gave the user's text back before the next began, so none restored another's.
  EXPECT_EQ(HistoryTexts(),
            (std::vector<std::string>{"mine", "second", "mine", "third", "mine", "first", "mine"}));
  EXPECT_FALSE(program->Paste().Running());
}

TEST_F(ActionsTest, ActionDeletedDuringAPaste_StillGivesTheUsersTextBack) {
  PutActions("1,A,Ctrl+F5,action,V\r\n");
  StartJoined();
  ASSERT_TRUE(other.CopyText("mine"));
  RecordPastes();
  desk.windows.Schedule(100, [this] {
    Table().ClickRow(0);
    Form1().Delete_b.Click();
  });
  ASSERT_TRUE(PressHotkey(ModControl, VkF5));
  EXPECT_EQ(Table().Rows().RowCount(), 0);
  EXPECT_EQ(pasted, (std::vector<std::string>{"action"}));
  EXPECT_EQ(desk.clipboard.Text(), "mine");
  EXPECT_TRUE(desk.dialogs.Boxes().empty());
  EXPECT_FALSE(desk.hotkeys.IsHeld(ModControl, VkF5));  // no row carries it any more
}

TEST_F(ActionsTest, PressBeforeTheChainIsJoined_StillGivesTheClipboardBack) {
  PutActions("1,A,Ctrl+F5,action,V\r\n");
  ASSERT_TRUE(other.CopyText("mine"));
  Start();
  RecordPastes();
  ASSERT_TRUE(PressHotkey(ModControl, VkF5));
  EXPECT_EQ(pasted, (std::vector<std::string>{"action"}));
  EXPECT_EQ(desk.clipboard.Text(), "mine");
}

TEST_F(ActionsTest, Add_ProposesAFreshNameFromTheNameField) {
  struct Case {
    std::string file;
    std::u16string field, proposed;
  };
  const Case cases[] = {
      {"1,Action,No,x,V\r\n", u"Action", u"Action1"},
      {"1,Action,No,x,V\r\n2,Action1,No,x,V\r\n", u"Action", u"Action2"},
      {"1,Action19,No,x,V\r\n", u"Action19", u"Action110"},
      {"1,New Action1,No,x,V\r\n2,New Action,No,x,V\r\n", u"New Action", u"New Action1"},
      {"1,,No,x,V\r\n", u"", u"1"},
  };
  for (const Case& c : cases) {
    PutActions(c.file);
    Restart();
    Tasks().Edit1.SetText(c.field);
    std::u16string proposed;
    desk.windows.OnNextModal([&](Hwnd) {
      proposed = Tasks().Edit1.Text();
      EXPECT_TRUE(Tasks().Edit1.AllSelected());
      Tasks().BitBtn2.Click();
    });
    Form1().Add_b.Click();
    EXPECT_EQ(proposed, c.proposed);
  }
}

TEST_F(ActionsTest, AddWithANameStillTaken_IsRefused) {
  PutActions("1,New Action1,No,x,V\r\n2,New Action,No,x,V\r\n");
  StartJoined();
  desk.windows.OnNextModal([&](Hwnd) {
    Tasks().edit2.UserSetText(u"text");
    Tasks().BitBtn1.Click();
    EXPECT_TRUE(Tasks().Modal());
    EXPECT_TRUE(Tasks().Edit1.Focused());
    Tasks().BitBtn2.Click();
  });
  Form1().Add_b.Click();
  ASSERT_EQ(desk.dialogs.Boxes().size(), 1u);
  EXPECT_EQ(desk.dialogs.Boxes()[0].text, "The Name is not unique!");
  EXPECT_EQ(desk.dialogs.Boxes()[0].caption, "Warning!");
  EXPECT_EQ(desk.dialogs.Boxes()[0].flags, 0x40u);
  EXPECT_EQ(Table().Rows().RowCount(), 2);
}

TEST_F(ActionsTest, Add_StoresTheActionRegistersItsHotkeyAndSaves) {
  StartJoined();
  AddAction(u"Mail", u"me@example.org", "F5", [this] { Tasks().RadioButton2.Click(); });
  ASSERT_EQ(Table().Rows().RowCount(), 1);
  EXPECT_EQ(Name(0), "Mail");
  EXPECT_EQ(HotkeyText(0), "Ctrl+F5");
  EXPECT_EQ(Table().Rows().Cell("Ins", 0), u"I");
  EXPECT_TRUE(desk.hotkeys.IsHeld(ModControl, VkF5));
  EXPECT_EQ(DataFileBytes("actions.cnfg"), Utf16File("1,Mail,Ctrl+F5,me@example.org,I\r\n"));
  EXPECT_EQ(VisibleTrayCaptions(), (std::vector<std::string>{"Mail"}));
}

TEST_F(ActionsTest, AddChecks_RunInOrderAndLeaveTheHotkeyFree) {
  StartJoined();
  AddAction(u"Mail", u"", "F5");
  ASSERT_EQ(desk.dialogs.Boxes().size(), 1u);
  EXPECT_EQ(desk.dialogs.Boxes()[0].text, "Please fill out all the fields!");
  EXPECT_FALSE(desk.hotkeys.IsHeld(ModControl, VkF5));
  AddAction(u"Mail", u"text", "F5");
  EXPECT_EQ(Table().Rows().RowCount(), 1);
  EXPECT_TRUE(desk.hotkeys.IsHeld(ModControl, VkF5));

  // Taken by now: the availability test comes before every other check.
  AddAction(u"Mail", u"", "F5");
  ASSERT_EQ(desk.dialogs.Dialogs().size(), 1u);
  EXPECT_EQ(desk.dialogs.Dialogs()[0].text, "Ctrl+F5 is NOT available for registration!!!");
  EXPECT_EQ(desk.dialogs.Dialogs()[0].type, MessageDialogType::Information);
  EXPECT_EQ(desk.dialogs.Boxes().size(), 1u);
}

TEST_F(ActionsTest, AddAtTheLimit_IsRefusedAndTheHotkeyStaysFree) {
  std::string lines;
  for (int i = 0; i < 100; ++i) lines += "1,A" + std::to_string(i) + ",No,x,V\r\n";
  PutActions(lines);
  StartJoined();
  EXPECT_EQ(VisibleTrayCaptions().size(), 100u);
  AddAction(u"New", u"text", "F5");
  ASSERT_EQ(desk.dialogs.Boxes().size(), 1u);
  EXPECT_EQ(desk.dialogs.Boxes()[0].text, "The max value of actions is 100!");
  EXPECT_FALSE(desk.hotkeys.IsHeld(ModControl, VkF5));
  Table().ClickRow(0);
  Form1().Delete_b.Click();
  AddAction(u"New", u"text", "F5");
  EXPECT_EQ(Table().Rows().RowCount(), 100);
  EXPECT_TRUE(desk.hotkeys.IsHeld(ModControl, VkF5));
}

TEST_F(ActionsTest, NoKeySelected_IsReportedWhenTheHotkeyIsRegistered) {
  StartJoined();
  desk.windows.OnNextModal([&](Hwnd) {
    Tasks().edit2.UserSetText(u"text");
    Tasks().CheckBox5.Toggle();
    Tasks().ComboBox1.SetItemIndex(-1);
    Tasks().BitBtn1.Click();
  });
  Form1().Add_b.Click();
  ASSERT_EQ(desk.dialogs.Dialogs().size(), 1u);
  EXPECT_EQ(desk.dialogs.Dialogs()[0].text, "No key selected from the list.");
  EXPECT_EQ(desk.dialogs.Dialogs()[0].type, MessageDialogType::Warning);
  EXPECT_EQ(HotkeyText(0), "No");
}

TEST_F(ActionsTest, EditKeepingTheHotkey_KeepsItRegistered) {
  PutActions("1,Report,Ctrl+F5,old,V\r\n");
  StartJoined();
  Table().ClickRow(0);
  desk.windows.OnNextModal([&](Hwnd) {
    EXPECT_TRUE(Tasks().CheckBox1.Checked());
    EXPECT_FALSE(Tasks().CheckBox2.Checked());
    EXPECT_TRUE(Tasks().CheckBox5.Checked());
    EXPECT_EQ(Tasks().ComboBox1.Items()[Tasks().ComboBox1.ItemIndex()].text, "F5");
    Tasks().edit2.UserSetText(u"new");
    Tasks().BitBtn1.Click();
  });
  Table().DblClickCell(1, 0);
  EXPECT_EQ(HotkeyText(0), "Ctrl+F5");
  ASSERT_TRUE(other.CopyText("mine"));
  RecordPastes();
  ASSERT_TRUE(PressHotkey(ModControl, VkF5));
  EXPECT_EQ(pasted, (std::vector<std::string>{"new"}));

  // "Add" right after proposes a name made from the edited one.
  std::u16string proposed;
  desk.windows.OnNextModal([&](Hwnd) {
    proposed = Tasks().Edit1.Text();
    Tasks().BitBtn2.Click();
  });
  Form1().Add_b.Click();
  EXPECT_EQ(proposed, u"Report1");
}

TEST_F(ActionsTest, EditRemovingOrReplacingTheHotkey_ReleasesTheOldOne) {
  PutActions("1,A,Ctrl+F5,text,V\r\n");
  StartJoined();
  Table().ClickRow(0);
  desk.windows.OnNextModal([&](Hwnd) {
    Tasks().ComboBox1.SetItemIndex(KeyIndex("F6"));
    Tasks().BitBtn1.Click();
  });
  Form1().Edit_b.Click();
  EXPECT_EQ(HotkeyText(0), "Ctrl+F6");
  EXPECT_FALSE(desk.hotkeys.IsHeld(ModControl, VkF5));
  EXPECT_TRUE(desk.hotkeys.IsHeld(ModControl, VkF6));

  desk.windows.OnNextModal([&](Hwnd) {
    Tasks().CheckBox5.Toggle();
    Tasks().BitBtn1.Click();
  });
  Form1().Edit_b.Click();
  EXPECT_EQ(HotkeyText(0), "No");
  EXPECT_FALSE(desk.hotkeys.IsHeld(ModControl, VkF6));
  EXPECT_FALSE(desk.hotkeys.Press(ModControl, VkF6));
}

TEST_F(ActionsTest, EditWithoutACurrentRow_DoesNothing) {
  StartJoined();
  Form1().Edit_b.Click();
  EXPECT_EQ(desk.windows.ModalsLeftOpen(), 0);
  EXPECT_FALSE(Tasks().Visible());
  EXPECT_TRUE(desk.dialogs.Boxes().empty());
}

TEST_F(ActionsTest, Delete_RemovesTheSelectedRowsAndKeepsTheOrderOfTheRest) {
  std::string lines;
  for (int i = 0; i < 6; ++i) lines += "1,A" + std::to_string(i) + ",No,x,V\r\n";
  PutActions(lines);
  StartJoined();
  for (int row : {2, 3, 5}) Table().Rows().SetRowSelected(row, true);
  Form1().Delete_b.Click();
  EXPECT_EQ(Names(), (std::vector<std::string>{"A0", "A1", "A4"}));
  EXPECT_EQ(VisibleTrayCaptions(), Names());
  EXPECT_EQ(DataFileBytes("actions.cnfg"), Utf16File("1,A0,No,x,V\r\n2,A1,No,x,V\r\n3,A4,No,x,V\r\n"));
  Form1().DeleteAll_b.Click();
  EXPECT_TRUE(VisibleTrayCaptions().empty());
  EXPECT_EQ(DataFileBytes("actions.cnfg"), "\xFF\xFE");
  Form1().DeleteAll_b.Click();
  EXPECT_EQ(DataFileBytes("actions.cnfg"), "\xFF\xFE");
}

TEST_F(ActionsTest, ExportThenImport_DoublesEveryActionAndItsHotkeyWorks) {
  PutActions("1,A,Ctrl+F5,text,V\r\n2,B,No,other,I\r\n");
  StartJoined();
  desk.files.MakeFolder("C:\\Users\\me");
  desk.dialogs.AnswerNextFileDialog("C:\\Users\\me\\mine");
  Form1().BitBtn3.Click();
  EXPECT_EQ(desk.files.FileBytes("C:\\Users\\me\\mine"), DataFileBytes("actions.cnfg"));
  EXPECT_EQ(desk.dialogs.FileDialogs()[0].request.filter, "Corvilane Clipboard manager template|*.cnfg");
  desk.dialogs.AnswerNextFileDialog("C:\\Users\\me\\mine");
  Form1().BitBtn4.Click();
  EXPECT_EQ(desk.dialogs.FileDialogs()[1].request.initialDirectory, ExeFolder);
  EXPECT_EQ(Names(), (std::vector<std::string>{"A", "B", "A", "B"}));
  EXPECT_EQ(VisibleTrayCaptions(), Names());
  Restart();
  ASSERT_TRUE(other.CopyText("mine"));
  RecordPastes();
  desk.windows.Advance(1000);
  ASSERT_TRUE(PressHotkey(ModControl, VkF5));
  EXPECT_EQ(pasted, (std::vector<std::string>{"text", "text"}));
}

TEST_F(ActionsTest, ExportToAFolderThatDoesNotExist_IsReported) {
  StartJoined();
  desk.dialogs.AnswerNextFileDialog("C:\\nowhere\\x.cnfg");
  Form1().BitBtn3.Click();
  ASSERT_EQ(desk.dialogs.Boxes().size(), 1u);
  EXPECT_EQ(desk.dialogs.Boxes()[0].text, "Invalid filename.");
  desk.dialogs.AnswerNextFileDialog("C:\\nowhere\\x.cnfg");
  Form1().BitBtn4.Click();
  EXPECT_EQ(desk.dialogs.Boxes().size(), 2u);
  EXPECT_EQ(Table().Rows().RowCount(), 0);
}

// A file of a hundred thousand rows over a few hotkeys: each hotkey is asked of the system once,
// the tray offers the first hundred, and the file keeps every row as it was.
TEST_F(ActionsTest, HundredThousandRowsSharingThreeHotkeys_RegisterEachOnceAndStayInTheFile) {
  const std::string keys[] = {"Ctrl+F5", "Ctrl+F6", "Ctrl+F7"};
  std::string lines;
  for (int i = 0; i < 100000; ++i)
    lines += std::to_string(i + 1) + ",A" + std::to_string(i) + "," + keys[i % 3] + ",text " +
             std::to_string(i) + ",V\r\n";
  PutActions(lines);
  const std::string written = DataFileBytes("actions.cnfg");
  StartJoined();
  EXPECT_EQ(desk.hotkeys.RegisterCalls(), 3 + 2);  // and the quick-paste and plain-text hotkeys
  EXPECT_EQ(program->Actions().HotKeyManager1.Bindings().size(), 3u);
  EXPECT_EQ(VisibleTrayCaptions().size(), 100u);
  program->Exit();
  EXPECT_EQ(DataFileBytes("actions.cnfg"), written);
}

TEST_F(ActionsTest, ImportBeyondTheLimit_ShowsTheFirstHundredAndAddRefuses) {
  std::string lines;
  for (int i = 0; i < 99; ++i) lines += "1,A" + std::to_string(i) + ",No,x,V\r\n";
  PutActions(lines);
  desk.files.PutFile(
      "C:\\five.cnfg",
      Utf16File("1,B0,No,x,V\r\n1,B1,No,x,V\r\n1,B2,No,x,V\r\n1,B3,No,x,V\r\n1,B4,No,x,V\r\n"));
  StartJoined();
  desk.dialogs.AnswerNextFileDialog("C:\\five.cnfg");
  Form1().BitBtn4.Click();
  EXPECT_EQ(Table().Rows().RowCount(), 104);
  std::vector<std::string> captions = VisibleTrayCaptions();
  ASSERT_EQ(captions.size(), 100u);
  EXPECT_EQ(captions.back(), "B0");
  AddAction(u"New", u"text");
  EXPECT_EQ(desk.dialogs.Boxes().back().text, "The max value of actions is 100!");
}

TEST_F(ActionsTest, TrayItem_PutsTheTextOfEveryActionOfThatNameOnTheClipboard) {
  PutActions("1,A&B,No,amp,V\r\n2,Twin,No,first,V\r\n3,Twin,No,second,V\r\n");
  StartJoined();
  EXPECT_EQ(VisibleTrayCaptions(), (std::vector<std::string>{"A&B", "Twin", "Twin"}));
  desk.notifyArea.ChooseNext("A&B");
  desk.notifyArea.RightClick();
  EXPECT_EQ(desk.clipboard.Text(), "amp");
  desk.notifyArea.ChooseNext("Twin");
  desk.notifyArea.RightClick();
  EXPECT_EQ(desk.clipboard.Text(), "second");
  EXPECT_TRUE(desk.keyboard.Events().empty());
  EXPECT_FALSE(Form1().Visible());
  EXPECT_EQ(HistoryTexts(), (std::vector<std::string>{"second", "first", "amp"}));
  std::vector<std::string> menu;
  for (const MenuEntry& e : desk.notifyArea.Popups()[0].entries) menu.push_back(e.caption);
  EXPECT_EQ(menu, (std::vector<std::string>{"A&B", "Twin", "Twin", "-", "Clipboard History", "Options",
                                            "Show Main window", "Pause recording", "Exit"}));
}

TEST_F(ActionsTest, Exit_ReleasesEveryHotkey) {
  PutActions("1,A,Ctrl+F5,text,V\r\n2,B,Ctrl+F6,text,V\r\n");
  StartJoined();
  EXPECT_TRUE(desk.hotkeys.IsHeld(ModControl, VkF6));
  Form1().Exit1.Click();
  FinishIfQuit();
  EXPECT_FALSE(desk.hotkeys.IsHeld(ModControl, VkF5));
  EXPECT_FALSE(desk.hotkeys.IsHeld(ModControl, VkF6));
  EXPECT_EQ(desk.hotkeys.AtomCount(), 0u);
}

}  // namespace
}  // namespace actions_program_test

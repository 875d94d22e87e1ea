// Quick paste as the user meets it: the popup opens where the user types, lists the actions and
// the history, pastes what is picked into the program that had the focus, and its hotkey is
// chosen on the Options tab and kept in the settings file.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>

#include "app/quick_paste.h"
#include "history/history_table.h"
#include "paste_recorder.h"
#include "program_fixture.h"

namespace quick_paste_program_test {

namespace {

using namespace platform;
using testing_support::Utf16File;

constexpr std::uint8_t VkF5 = 0x74;
constexpr std::uint8_t VkQ = 0x51;

class QuickPasteTest : public testing_support::ClipboardProgramTest {
 public:
  // Two actions, and the history "third" (newest), "second", "first".
  void StartWithEntries() {
    PutDataFile("actions.cnfg",
                Utf16File("1,Greeting,Ctrl+F5,Hello there,V\r\n2,Signature,No,Regards,I\r\n"));
    StartJoined();
    for (const char* text : {"first", "second", "third"}) ASSERT_TRUE(other.CopyText(text));
    desk.windows.SetForegroundWindow(other.Window());
  }
  app::QuickPaste& Quick() { return program->Quick(); }
  ui::PopupList& List() { return Quick().List; }
  bool PressQuickPaste() {
    const bool taken = desk.hotkeys.Press(ModWin, VkInsert);
    desk.windows.Pump();
    return taken;
  }
  std::vector<std::u16string> Shown() {
    std::vector<std::u16string> texts;
    for (int i = 0; i < List().Count(); ++i) texts.push_back(List().ItemText(i));
    return texts;
  }
  // The user presses a key and lets it go; the list sees the key going down.
  void Type(int vk) {
    desk.keyboard.UserKeyDown(static_cast<std::uint8_t>(vk));
    List().KeyDown(vk);
    desk.keyboard.UserKeyUp(static_cast<std::uint8_t>(vk));
  }
  // What the program sends with keybd_event.
  const std::vector<sim::KeyEvent>& SyntheticKeys() { return desk.keyboard.Events(); }
  std::string LastBalloon() {
    std::string text;
    for (const sim::NotifyCall& call : desk.notifyArea.Calls())
      if (call.data.uFlags & NifInfo) text = call.data.szInfo;
    return text;
  }

  testing_support::PasteRecorder recorder{desk, other};
};

TEST_F(QuickPasteTest, Popup_OpensBelowTheCaret_AtThePointerWithoutOne_AndAlwaysInsideTheWorkArea) {
  StartWithEntries();
  desk.windows.SetWorkAreas({{0, 0, 1920, 1040}, {1920, 0, 3200, 1024}});
  struct Case {
    const char* what;
    std::optional<Rect> caret;
    Point pointer;
    Rect expected;
  };
  const int w = app::QuickPaste::Width, h = app::QuickPaste::Height;
  const std::vector<Case> cases = {
      {"below the caret", Rect{300, 200, 302, 218}, {5, 5}, {300, 218, 300 + w, 218 + h}},
      {"at the pointer", std::nullopt, {700, 400}, {700, 400, 700 + w, 400 + h}},
      {"above a caret near the bottom", Rect{100, 900, 102, 918}, {5, 5}, {100, 900 - h, 100 + w, 900}},
      {"kept from the right edge", Rect{1800, 50, 1802, 68}, {5, 5}, {1920 - w, 68, 1920, 68 + h}},
      {"on the second monitor's right edge", Rect{3150, 10, 3152, 28}, {5, 5}, {3200 - w, 28, 3200, 28 + h}},
      {"pointer in the bottom right corner", std::nullopt, {1919, 1039}, {1920 - w, 1039 - h, 1920, 1039}},
  };
  for (const Case& c : cases) {
    desk.windows.SetCaret(other.Window(), c.caret);
    desk.windows.SetCursorPos(c.pointer);
    ASSERT_TRUE(PressQuickPaste()) << c.what;
    ASSERT_TRUE(List().IsOpen()) << c.what;
    const ui::Bounds& b = List().GetBounds();
    EXPECT_EQ((Rect{b.left, b.top, b.left + b.width, b.top + b.height}).left, c.expected.left) << c.what;
    EXPECT_EQ(b.top, c.expected.top) << c.what;
    EXPECT_EQ(b.left + b.width, c.expected.right) << c.what;
    EXPECT_EQ(b.top + b.height, c.expected.bottom) << c.what;
    EXPECT_EQ(Quick().Target(), other.Window()) << c.what;
    List().KeyDown(VkEscape);
  }
}

TEST_F(QuickPasteTest, Popup_ListsTheActionsByNameThenTheHistoryNewestFirst_OneTrimmedLineEach) {
  StartWithEntries();
  ASSERT_TRUE(other.CopyText("  two lines\r\nof text"));
  ASSERT_TRUE(PressQuickPaste());
  EXPECT_EQ(Shown(), (std::vector<std::u16string>{u"Greeting", u"Signature", u"two lines\u2026", u"third",
                                                  u"second", u"first"}));
  EXPECT_EQ(List().Selected(), 0);
}

TEST_F(QuickPasteTest, PickedByKeysByDigitOrByClick_PastesThatEntryAndKeepsItOnTheClipboard) {
  struct Case {
    const char* how;
    std::function<void(QuickPasteTest&)> pick;
    int index;  // of the item picked, -1 for the last
  };
  const std::vector<Case> cases = {
      {"Down, Down, Up, Down, Down, Enter",
       [](QuickPasteTest& t) {
         for (int vk : {VkDown, VkDown, VkUp, VkDown, VkDown, VkReturn}) t.Type(vk);
       },
       3},
      {"digit 5", [](QuickPasteTest& t) { t.List().Char(u'5'); }, 4},
      {"click", [](QuickPasteTest& t) { t.List().ClickItem(5); }, 5},
      {"Up at the top, Page Down to the end, Enter",
       [](QuickPasteTest& t) {
         for (int vk : {VkUp, VkNext, VkReturn}) t.Type(vk);
       },
       -1},
  };
  StartWithEntries();
  recorder.Start();
  for (const Case& c : cases) {
    ASSERT_TRUE(PressQuickPaste()) << c.how;
    const std::vector<std::u16string> shown = Shown();
    const std::string expected = desk.codePage.WideToAnsi(c.index < 0 ? shown.back() : shown[c.index]);
    recorder.pasted.clear();
    c.pick(*this);
    EXPECT_FALSE(List().IsOpen()) << c.how;
    EXPECT_EQ(desk.windows.Foreground(), other.Window()) << c.how;
    desk.windows.Advance(500);
    EXPECT_EQ(recorder.pasted, std::vector<std::string>{expected}) << c.how;
    // The entry stays on the clipboard, and comes to the top of the history as a re-copy does.
    EXPECT_EQ(desk.clipboard.Text(), expected) << c.how;
    EXPECT_EQ(HistoryTexts().front(), expected) << c.how;
    EXPECT_FALSE(Quick().PasteWaiting()) << c.how;
  }
  // A pick of the entry at the top records nothing new, as a re-copy of it does not.
  EXPECT_EQ(HistoryTexts(), (std::vector<std::string>{"first", "second", "third", "second", "first"}));
}

TEST_F(QuickPasteTest, Filter_NarrowsBothListsAsTheHistorySearchDoes_AndEnterPastesTheFirstMatch) {
  StartWithEntries();
  ASSERT_TRUE(other.CopyText("Second thoughts about greetings"));
  recorder.Start();
  ASSERT_TRUE(PressQuickPaste());
  List().KeyDown(VkDown);
  struct Case {
    std::u16string typed;
    std::vector<std::u16string> shown;
  };
  const std::vector<Case> cases = {
      {u"sec", {u"Second thoughts about greetings", u"second"}},
      {u"GREET", {u"Greeting", u"Second thoughts about greetings"}},
      {u"greet sec", {u"Second thoughts about greetings"}},
      {u"nothing like it", {}},
      {u"", {u"Greeting", u"Signature", u"Second thoughts about greetings", u"third", u"second", u"first"}},
      {u"d", {u"Second thoughts about greetings", u"third", u"second"}},
  };
  for (const Case& c : cases) {
    List().UserSetFilter(c.typed);
    desk.windows.Advance(50);
    EXPECT_EQ(Shown(), c.shown) << desk.codePage.WideToAnsi(c.typed);
    EXPECT_EQ(List().Selected(), c.shown.empty() ? -1 : 0) << desk.codePage.WideToAnsi(c.typed);
  }
  // Once something is typed, digits are part of it.
  EXPECT_FALSE(List().Char(u'2'));
  EXPECT_TRUE(List().IsOpen());
  Type(VkDown);
  Type(VkReturn);
  desk.windows.Advance(500);
  EXPECT_EQ(recorder.pasted, std::vector<std::string>{"third"});
}

TEST_F(QuickPasteTest, OpenPopup_FollowsACopyMadeMeanwhile_FilteredOrNot) {
  StartWithEntries();
  ASSERT_TRUE(PressQuickPaste());
  ASSERT_TRUE(other.CopyText("fresh copy"));
  desk.windows.Advance(500);
  EXPECT_EQ(Shown(), (std::vector<std::u16string>{u"Greeting", u"Signature", u"fresh copy", u"third",
                                                  u"second", u"first"}));
  List().UserSetFilter(u"copy");
  ASSERT_TRUE(other.CopyText("another copy"));
  desk.windows.Advance(500);
  EXPECT_EQ(Shown(), (std::vector<std::u16string>{u"another copy", u"fresh copy"}));
}

TEST_F(QuickPasteTest, KeysTypedFasterThanTheFilter_ShowNothingHalfDone_AndTheListEndsWithTheMatches) {
  StartWithEntries();
  {
    grid::Table& history = program->HistoryList();
    grid::UpdateScope update(history);
    const int text = history.ColumnIndex(history::Clipboadrs_history);
    for (int i = 0; i < 3000; ++i)
      history.SetCell(text, history.AppendRow(),
                      (i % 7 == 0 ? u"a sunflower field " : u"a sunny day ") +
                          desk.codePage.AnsiToWide(std::to_string(i)));
  }
  // Slices far smaller than the history, so that each scan spans many of them.
  program->Quick().Search().SliceUnits = 256;
  ASSERT_TRUE(PressQuickPaste());
  const std::uint64_t before = List().ItemsVersion();
  const int count = List().Count();
  const std::u16string word = u"sunflower";
  for (std::size_t k = 1; k < word.size(); ++k) {
    // The next key is already there: the scan stops, and the list is not told of what it found.
    desk.windows.SetKeyPressWaiting(true);
    List().UserSetFilter(word.substr(0, k));
    EXPECT_EQ(List().ItemsVersion(), before) << k;
    EXPECT_EQ(List().Count(), count) << k;
    desk.windows.Advance(1);
  }
  desk.windows.SetKeyPressWaiting(false);
  List().UserSetFilter(word);
  // A copy made while the scan is under way joins the list.
  ASSERT_TRUE(other.CopyText("SUNFLOWER seeds"));
  for (int tick = 0; tick < 100000 && List().Count() != 430; ++tick) desk.windows.Advance(1);
  desk.windows.Advance(1000);
  const std::vector<std::u16string> shown = Shown();
  ASSERT_EQ(shown.size(), 430u);  // the copy, then every seventh of the 3000
  EXPECT_EQ(shown[0], u"SUNFLOWER seeds");
  EXPECT_EQ(shown[1], u"a sunflower field 0");
  EXPECT_EQ(shown.back(), u"a sunflower field 2996");
  for (std::size_t k = 1; k < shown.size(); ++k)
    EXPECT_NE(shown[k].find(u"sunflower"), std::u16string::npos) << desk.codePage.WideToAnsi(shown[k]);
}

// A history long enough that the work ahead after a letter runs on threads: the search box's
// and the popup's at once, over the same table. A copy made meanwhile stops both, and the next
// letter shows in each what a plain scan finds.
TEST_F(QuickPasteTest, TheSearchBoxAndThePopupWorkingAheadOverOneHistory_EndWithThePlainScansRows) {
  StartWithEntries();
  grid::Table& history = program->HistoryList();
  const int text = history.ColumnIndex(history::Clipboadrs_history);
  {
    std::mt19937 random(7);
    const std::u16string letters = u"quoxQ a";
    grid::UpdateScope update(history);
    for (int i = 0; i < 12000; ++i) {
      std::u16string t;
      for (int k = 20 + random() % 40; k > 0; --k) t.push_back(letters[random() % letters.size()]);
      // The popup shows a text without the spaces around it.
      t.front() = t.back() = u'o';
      history.SetCell(text, history.AppendRow(), t);
    }
  }
  auto plainScan = [&](std::u16string_view typed) {
    const grid::TextQuery query(typed);
    std::vector<std::u16string> texts;
    for (int row = 0; row < history.RowCount(); ++row)
      if (query.Matches(history.Cell(text, row))) texts.push_back(history.Cell(text, row));
    return texts;
  };
  auto searchShows = [&] {
    ui::TableGrid& grid = Form1().TableGrid2;
    std::vector<std::u16string> texts;
    for (int p = 0; p < grid.ShownCount(); ++p) texts.push_back(history.Cell(text, grid.ShownRow(p)));
    return texts;
  };
  auto settle = [&] {
    for (int tick = 0; tick < 1000; ++tick) {
      desk.windows.Advance(1);
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
  };
  Form1().PageControl1.SetActivePageIndex(1);
  for (int round = 0; round < 3; ++round) {
    Form1().Search_e.UserSetText(u"q");
    desk.windows.Advance(1);
    ASSERT_TRUE(PressQuickPaste());
    List().UserSetFilter(u"q");
    desk.windows.Advance(1);
    if (round > 0) std::this_thread::sleep_for(std::chrono::milliseconds(round == 1 ? 1 : 100));
    ASSERT_TRUE(other.CopyText("a quiet copy"));
    Form1().Search_e.UserSetText(u"qu");
    List().UserSetFilter(u"qu");
    settle();
    const std::vector<std::u16string> expected = plainScan(u"qu");
    ASSERT_GT(expected.size(), 1000u);
    EXPECT_EQ(searchShows(), expected) << round;
    EXPECT_EQ(Shown(), expected) << round;  // no action holds "qu"
    List().KeyDown(VkEscape);
    Form1().Search_e.UserSetText(u"");
    desk.windows.Advance(100);
  }
}

TEST_F(QuickPasteTest, HistoryPaste_WaitsForEnterToBeReleased_AndSendsOnlyCtrlV) {
  StartWithEntries();
  recorder.Start();
  ASSERT_TRUE(PressQuickPaste());
  List().SetSelected(3);
  desk.keyboard.ClearEvents();
  desk.keyboard.UserKeyDown(VkReturn);
  List().KeyDown(VkReturn);
  desk.windows.Advance(400);
  EXPECT_TRUE(recorder.pasted.empty()) << "Ctrl+V went out with Enter still held";
  // Something took the focus meanwhile: the keystroke still goes to the target.
  desk.windows.SetForegroundWindow(Form1().Handle());
  desk.keyboard.UserKeyUp(VkReturn);
  desk.windows.Advance(100);
  EXPECT_EQ(recorder.pasted, std::vector<std::string>{"second"});
  EXPECT_EQ(desk.windows.Foreground(), other.Window());
  const std::vector<sim::KeyEvent> keys = SyntheticKeys();
  ASSERT_EQ(keys.size(), 4u);
  EXPECT_EQ(keys[0].vk, VkControl);
  EXPECT_EQ(keys[1].vk, VkV);
  // Ctrl+V is sent even when it is an action's hotkey, which does not take it.
  EXPECT_EQ(desk.hotkeys.HotKeysPosted(), 1);  // the quick-paste press alone
}

TEST_F(QuickPasteTest, ClipboardHeldByAnotherProgram_DelaysThePaste_AndNothingIsPastedIfItStaysHeld) {
  StartWithEntries();
  recorder.Start();
  sim::ForeignProgram holder(desk.clipboard, "Holder");
  struct Case {
    Dword heldMs;
    std::vector<std::string> pasted;
  };
  for (const Case& c : {Case{300, {"second"}}, Case{5000, {}}}) {
    recorder.pasted.clear();
    ASSERT_TRUE(PressQuickPaste());
    ASSERT_TRUE(holder.HoldOpen());
    desk.windows.Schedule(c.heldMs, [&holder] { holder.Release(); });
    List().Char(u'4');  // "second"
    desk.windows.Advance(c.heldMs / 2);
    EXPECT_TRUE(recorder.pasted.empty()) << c.heldMs;
    desk.windows.Advance(c.heldMs);
    EXPECT_EQ(recorder.pasted, c.pasted) << c.heldMs;
    EXPECT_FALSE(Quick().PasteWaiting()) << c.heldMs;
    desk.windows.SetForegroundWindow(other.Window());
  }
  EXPECT_EQ(desk.clipboard.Text(), "second");
}

TEST_F(QuickPasteTest, ActionPicked_PastesAsItsHotkeyDoes_AndTheUsersClipboardComesBack) {
  StartWithEntries();
  recorder.Start();
  ASSERT_TRUE(PressQuickPaste());
  List().Char(u'2');  // Signature, pasted with Shift+Insert
  desk.windows.Advance(2000);
  EXPECT_EQ(recorder.pasted, std::vector<std::string>{"Regards"});
  EXPECT_EQ(desk.clipboard.Text(), "third");
  EXPECT_EQ(desk.windows.Foreground(), other.Window());
  ASSERT_FALSE(SyntheticKeys().empty());
  EXPECT_EQ(SyntheticKeys()[1].vk, VkInsert);
}

TEST_F(QuickPasteTest, EscOrTheHotkeyAgain_CloseAndGiveTheFocusBack_AClickElsewhereLeavesItThere) {
  StartWithEntries();
  struct Case {
    const char* how;
    std::function<void(QuickPasteTest&)> close;
    bool focusBack;
  };
  const std::vector<Case> cases = {
      {"Esc", [](QuickPasteTest& t) { t.List().KeyDown(VkEscape); }, true},
      {"hotkey", [](QuickPasteTest& t) { t.PressQuickPaste(); }, true},
      {"click elsewhere", [](QuickPasteTest& t) { t.List().Deactivated(); }, false},
  };
  const std::optional<std::string> before = desk.clipboard.Text();
  for (const Case& c : cases) {
    desk.windows.SetForegroundWindow(other.Window());
    ASSERT_TRUE(PressQuickPaste()) << c.how;
    desk.windows.SetForegroundWindow(Form1().Handle());  // the popup stands in for the focus
    desk.keyboard.ClearEvents();
    c.close(*this);
    desk.windows.Advance(500);
    EXPECT_FALSE(List().IsOpen()) << c.how;
    EXPECT_EQ(desk.windows.Foreground() == other.Window(), c.focusBack) << c.how;
    EXPECT_TRUE(SyntheticKeys().empty()) << c.how;
    EXPECT_EQ(desk.clipboard.Text(), before) << c.how;
  }
}

TEST_F(QuickPasteTest, HotkeyChangedOnTheOptionsTab_IsSavedAsTheFourthLineAndTakenAtTheNextStart) {
  PutDataFile("settings.stng", "0\r\n-1\r\n2\r\n");
  Start();
  app::QuickPasteOptions& options = Form1().QuickPasteBox;
  EXPECT_EQ(options.Value(), app::DefaultQuickPasteHotKey);
  EXPECT_TRUE(options.QuickPasteWin.Checked());
  EXPECT_EQ(options.QuickPasteKey.Items()[options.QuickPasteKey.ItemIndex()].text, "Insert");

  options.QuickPasteWin.SetChecked(false);
  options.QuickPasteCtrl.SetChecked(true);
  options.QuickPasteShift.SetChecked(true);
  options.Picker().Show(hotkeys::HotKeyCtrl | hotkeys::HotKeyShift | VkQ);
  options.QuickPasteApply.Click();
  const hotkeys::HotKey ctrlShiftQ = hotkeys::HotKeyCtrl | hotkeys::HotKeyShift | VkQ;
  EXPECT_EQ(DataFileBytes("settings.stng"),
            "0\r\n-1\r\n2\r\n" + std::to_string(ctrlShiftQ) + "\r\n0\r\n0\r\n0\r\n114774\r\n");
  EXPECT_FALSE(desk.hotkeys.Press(ModWin, VkInsert)) << "the old combination is given back";
  EXPECT_TRUE(desk.hotkeys.Press(ModControl | ModShift, VkQ));
  desk.windows.Pump();
  EXPECT_TRUE(program->Quick().List.IsOpen());

  Restart();
  EXPECT_EQ(program->Settings().quickPaste, ctrlShiftQ);
  EXPECT_TRUE(desk.hotkeys.Press(ModControl | ModShift, VkQ));

  // Turned off: the fourth line says 0, and the combination is free again.
  Form1().QuickPasteBox.QuickPasteOn.SetChecked(false);
  Form1().QuickPasteBox.QuickPasteApply.Click();
  EXPECT_EQ(DataFileBytes("settings.stng"), "0\r\n-1\r\n2\r\n0\r\n0\r\n0\r\n0\r\n114774\r\n");
  EXPECT_FALSE(desk.hotkeys.Press(ModControl | ModShift, VkQ));
  Restart();
  EXPECT_FALSE(Form1().QuickPasteBox.QuickPasteOn.Checked());
  EXPECT_TRUE(desk.dialogs.Boxes().empty());
}

TEST_F(QuickPasteTest, SettingsFourthLine_ThatIsNoHotkey_LeavesTheDefaultAndTheOtherLinesRead) {
  for (const char* line : {"abc", "-5", "65536", "999999999", "16384", ""}) {
    PutDataFile("settings.stng", std::string("0\r\n0\r\n1\r\n") + line + "\r\n");
    Restart();
    EXPECT_EQ(program->Settings().quickPaste, app::DefaultQuickPasteHotKey) << line;
    EXPECT_FALSE(Form1().CheckBox1.Checked()) << line;
    EXPECT_EQ(Form1().PageControl1.ActivePageIndex(), 1) << line;
  }
  // A damaged third line does not cost the hotkey.
  PutDataFile("settings.stng", "0\r\n0\r\nx\r\n16465\r\n");
  Restart();
  EXPECT_EQ(program->Settings().quickPaste, 16465u);
}

TEST_F(QuickPasteTest, TakenCombination_IsRefusedWithAClearMessage_AndTheHotkeyStays) {
  PutDataFile("actions.cnfg", Utf16File("1,Greeting,Ctrl+F5,Hello there,V\r\n"));
  PutDataFile("settings.stng", "-1\r\n-1\r\n0\r\n");
  Start();
  ASSERT_TRUE(desk.hotkeys.HoldByOtherProgram(ModAlt, VkQ));
  app::QuickPasteOptions& options = Form1().QuickPasteBox;
  struct Case {
    hotkeys::HotKey value;
    std::string message;
  };
  const std::vector<Case> cases = {
      {hotkeys::HotKeyCtrl | VkF5,
       "Ctrl+F5 is taken by another program or by an action. The hotkey stays Win+Insert."},
      {hotkeys::HotKeyAlt | VkQ,
       "Alt+Q is taken by another program or by an action. The hotkey stays Win+Insert."},
      {hotkeys::HotKeyCtrl | VkV,
       "Ctrl+V is the keystroke that the program's pastes send. The hotkey stays Win+Insert."},
  };
  for (const Case& c : cases) {
    desk.dialogs.Clear();
    options.Picker().Show(c.value);
    options.QuickPasteApply.Click();
    ASSERT_EQ(desk.dialogs.Boxes().size(), 1u) << c.message;
    EXPECT_EQ(desk.dialogs.Boxes()[0].text, c.message);
    EXPECT_EQ(options.Value(), app::DefaultQuickPasteHotKey);
    EXPECT_EQ(options.Picker().Composed(), app::DefaultQuickPasteHotKey)
        << "the picker shows the hotkey in force";
    EXPECT_EQ(DataFileBytes("settings.stng"), "-1\r\n-1\r\n0\r\n") << "nothing is saved";
    EXPECT_TRUE(desk.hotkeys.Press(ModWin, VkInsert));
  }
}

TEST_F(QuickPasteTest, HotkeyTakenAtStartUp_IsToldInABalloon) {
  ASSERT_TRUE(desk.hotkeys.HoldByOtherProgram(ModWin, VkInsert));
  Start();
  EXPECT_NE(LastBalloon().find("Win+Insert is taken"), std::string::npos) << LastBalloon();
  // Apply while it is still held says so; once it is free, Apply takes it.
  Form1().QuickPasteBox.QuickPasteApply.Click();
  ASSERT_EQ(desk.dialogs.Boxes().size(), 1u);
  EXPECT_EQ(desk.dialogs.Boxes()[0].text,
            "Win+Insert is taken by another program or by an action. The hotkey "
            "stays Win+Insert.");
  ASSERT_TRUE(desk.hotkeys.ReleaseByOtherProgram(ModWin, VkInsert));
  Form1().QuickPasteBox.QuickPasteApply.Click();
  EXPECT_EQ(desk.dialogs.Boxes().size(), 1u);
  EXPECT_TRUE(PressQuickPaste());
  EXPECT_TRUE(List().IsOpen());
}

}  // namespace
}  // namespace quick_paste_program_test

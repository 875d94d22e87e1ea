// The hotkey paste as the user meets it: whatever the clipboard held comes back, keys held a
// little longer still paste, a held chord pastes once, the paste's own keystroke never
// triggers the program's hotkeys, and a slow program still gets the action's text.
#include <gtest/gtest.h>

#include "paste_recorder.h"
#include "program_fixture.h"

namespace hotkey_paste_program_test {

namespace {

using namespace platform;
using testing_support::Utf16File;

constexpr std::uint8_t VkF5 = 0x74;
constexpr std::uint8_t VkF7 = 0x76;

class HotkeyPasteTest : public testing_support::ClipboardProgramTest {
 public:
  void StartWithAction(const std::string& hotkeyText, const std::string& method = "V") {
    PutDataFile("actions.cnfg", Utf16File("1,A," + hotkeyText + ",action," + method + "\r\n"));
    StartJoined();
  }
  // The user presses the keys in order and lets the last one go at once.
  void PressChord(std::initializer_list<std::uint8_t> keys) {
    for (std::uint8_t vk : keys) desk.keyboard.UserKeyDown(vk);
    desk.keyboard.UserKeyUp(*(keys.end() - 1));
  }
  void ReleaseKeys(std::initializer_list<std::uint8_t> keys) {
    for (std::uint8_t vk : keys) desk.keyboard.UserKeyUp(vk);
  }
  std::vector<std::pair<Uint, std::string>> Content() { return testing_support::ProgramContent(desk); }
  std::vector<std::pair<Uint, std::string>> WithoutMarks(std::vector<std::pair<Uint, std::string>> content) {
    return testing_support::WithoutMarks(desk, std::move(content));
  }

  testing_support::PasteRecorder recorder{desk, other};
};

TEST_F(HotkeyPasteTest, WhateverTheClipboardHeld_ComesBackAndOnlyATextRestoreIsRecorded) {
  StartWithAction("Ctrl+F5");
  const Uint html = desk.clipboard.RegisterClipboardFormatA("HTML Format");
  const Uint exclude =
      desk.clipboard.RegisterClipboardFormatA("ExcludeClipboardContentFromMonitorProcessing");
  std::string dib(44, '\0');
  dib[0] = 40;
  struct Case {
    std::vector<std::pair<Uint, std::string>> content;
    std::vector<std::string> history;  // after the paste, newest first
  };
  const std::vector<Case> cases = {
      {{{CfText, std::string("mine\0", 5)}}, {"mine", "action", "mine"}},
      {{{CfDib, dib}}, {"action"}},
      {{{CfText, std::string("password\0", 9)}, {exclude, std::string(4, '\0')}}, {"action"}},
      {{{html, "<i>mine</i>"}, {CfText, std::string("mine\0", 5)}, {CfDib, dib}}, {"mine", "action", "mine"}},
      {{}, {"action"}},
  };
  recorder.Start();
  for (std::size_t i = 0; i < cases.size(); ++i) {
    Form1().TableGrid2.Rows().RemoveAllRows();
    ASSERT_TRUE(other.CopyFormats(cases[i].content)) << i;
    recorder.pasted.clear();
    ASSERT_TRUE(desk.hotkeys.Press(ModControl, VkF5));
    desk.windows.Advance(2000);
    EXPECT_EQ(recorder.pasted, (std::vector<std::string>{"action"})) << i;
    EXPECT_EQ(WithoutMarks(Content()), WithoutMarks(cases[i].content)) << i;
    // Given back, the user's content is no new copy for other histories.
    EXPECT_EQ(testing_support::PasteMarks(desk), testing_support::AllPasteMarks()) << i;
    EXPECT_EQ(HistoryTexts(), cases[i].history) << i;
  }
  EXPECT_TRUE(desk.dialogs.Boxes().empty());
}

// Formats of megabytes come back with their data delayed so that the user does not wait for
// the copy into the system; the data must still be on the clipboard for good once the paste is
// over, and the program's own capture must get a large text through that delay.
TEST_F(HotkeyPasteTest, LargeFormats_ComeBackWholeAndStayOnTheClipboard) {
  StartWithAction("Ctrl+F5");
  const Uint html = desk.clipboard.RegisterClipboardFormatA("HTML Format");
  std::string dib(3 * 1024 * 1024, '\x5a');
  dib[0] = 40;
  std::string text(200 * 1024, 'x');
  text += '\0';
  struct Case {
    std::vector<std::pair<Uint, std::string>> content;
    std::size_t historyEntries;  // after the paste
  };
  const std::vector<Case> cases = {
      {{{CfDib, dib}}, 1},
      {{{html, std::string(100 * 1024, '<')}, {CfText, std::string("mine\0", 5)}, {CfDib, dib}}, 3},
      {{{CfText, text}}, 3},
  };
  recorder.Start();
  for (std::size_t i = 0; i < cases.size(); ++i) {
    Form1().TableGrid2.Rows().RemoveAllRows();
    ASSERT_TRUE(other.CopyFormats(cases[i].content)) << i;
    const int notifications = desk.clipboard.Notifications();
    ASSERT_TRUE(desk.hotkeys.Press(ModControl, VkF5));
    desk.windows.Advance(2000);
    EXPECT_EQ(recorder.pasted.back(), "action") << i;
    for (const auto& [format, bytes] : cases[i].content) EXPECT_FALSE(desk.clipboard.IsDelayed(format)) << i;
    EXPECT_EQ(WithoutMarks(Content()), cases[i].content) << i;
    // The action's text, offered again after the capture's read, then the restore; putting
    // the data on afterwards is no change.
    EXPECT_EQ(desk.clipboard.Notifications(), notifications + 3) << i;
    ASSERT_EQ(HistoryTexts().size(), cases[i].historyEntries) << i;
    if (i == 2) {
      EXPECT_EQ(HistoryTexts().front(), text.substr(0, text.size() - 1));
    }
  }
  // Ending the program leaves the content as it is.
  program->Exit();
  EXPECT_EQ(WithoutMarks(Content()), cases.back().content);
}

TEST_F(HotkeyPasteTest, ModifiersHeldAfterTheKey_DelayThePasteUntilReleasedButNoLongerThanTwoSeconds) {
  StartWithAction("Ctrl+Alt+F7");
  ASSERT_TRUE(other.CopyText("mine"));
  recorder.Start();
  struct Case {
    Dword heldMs;
    std::vector<std::string> pasted;
    Dword keystrokeFrom, keystrokeTo;
  };
  // Held 3 s, the paste goes ahead at 2 s into the Ctrl+Alt the user still holds, and the
  // target sees Ctrl+Alt+V; the clipboard still comes back.
  const std::vector<Case> cases = {{450, {"action"}, 450, 470}, {3000, {}, 2000, 2020}};
  for (const Case& c : cases) {
    recorder.pasted.clear();
    recorder.keystrokes.clear();
    const Dword pressed = desk.time.GetTickCount();
    desk.windows.Schedule(c.heldMs, [this] { ReleaseKeys({VkControl, VkMenu}); });
    PressChord({VkControl, VkMenu, VkF7});
    desk.windows.Advance(c.heldMs + 2000);
    EXPECT_EQ(recorder.pasted, c.pasted) << c.heldMs;
    ASSERT_EQ(recorder.keystrokes.size(), 1u) << c.heldMs;
    EXPECT_GE(recorder.keystrokes[0] - pressed, c.keystrokeFrom) << c.heldMs;
    EXPECT_LE(recorder.keystrokes[0] - pressed, c.keystrokeTo) << c.heldMs;
    EXPECT_EQ(desk.clipboard.Text(), "mine") << c.heldMs;
    EXPECT_FALSE(program->Paste().Running());
  }
}

TEST_F(HotkeyPasteTest, ChordHeldPastTheRepeatDelay_PastesOnce) {
  StartWithAction("Ctrl+F5");
  ASSERT_TRUE(other.CopyText("mine"));
  recorder.Start();
  ASSERT_EQ(desk.hotkeys.RegistrationsOf(program->Actions().HotKeyManager1.Window()).size(), 1u);
  EXPECT_TRUE(desk.hotkeys.RegistrationsOf(program->Actions().HotKeyManager1.Window())[0].noRepeat);
  desk.keyboard.UserKeyDown(VkControl);
  desk.keyboard.UserKeyDown(VkF5);
  // The key repeats every 30 ms after the usual half-second delay.
  for (Dword at = 500; at <= 1500; at += 30)
    desk.windows.Schedule(at, [this] { desk.keyboard.UserKeyDown(VkF5); });
  desk.windows.Schedule(1600, [this] { ReleaseKeys({VkF5, VkControl}); });
  desk.windows.Advance(4000);
  EXPECT_EQ(desk.hotkeys.HotKeysPosted(), 1);
  EXPECT_EQ(recorder.pasted, (std::vector<std::string>{"action"}));
  EXPECT_EQ(desk.clipboard.Text(), "mine");
}

TEST_F(HotkeyPasteTest, ActionOnThePasteKeysItself_PastesOnceWithoutTriggeringItself) {
  struct Case {
    std::string hotkeyText, method;
    std::initializer_list<std::uint8_t> chord;
  };
  for (const Case& c :
       {Case{"Ctrl+V", "V", {VkControl, VkV}}, Case{"Shift+Insert", "I", {VkShift, VkInsert}}}) {
    StartWithAction(c.hotkeyText, c.method);
    ASSERT_EQ(desk.hotkeys.RegistrationsOf(program->Actions().HotKeyManager1.Window()).size(), 1u)
        << c.hotkeyText;
    ASSERT_TRUE(other.CopyText("mine"));
    recorder.Start();
    recorder.pasted.clear();
    const int posted = desk.hotkeys.HotKeysPosted();
    PressChord(c.chord);
    ReleaseKeys(c.chord);
    desk.windows.Advance(3000);
    EXPECT_EQ(desk.hotkeys.HotKeysPosted(), posted + 1) << c.hotkeyText;
    EXPECT_EQ(recorder.pasted, (std::vector<std::string>{"action"})) << c.hotkeyText;
    EXPECT_EQ(desk.clipboard.Text(), "mine") << c.hotkeyText;
    EXPECT_EQ(desk.hotkeys.RegistrationsOf(program->Actions().HotKeyManager1.Window()).size(), 1u)
        << c.hotkeyText;  // taken back after the keystroke
    program->Exit();
    Restart();
    desk.windows.Advance(1000);
  }
}

TEST_F(HotkeyPasteTest, SlowReader_GetsTheActionsTextUpToTheOneSecondBound) {
  StartWithAction("Ctrl+F5");
  ASSERT_TRUE(other.CopyText("mine"));
  struct Case {
    Dword readAfterMs;
    std::string read;
  };
  for (const Case& c : {Case{300, "action"}, Case{1500, "mine"}}) {
    recorder.pasted.clear();
    recorder.Start(c.readAfterMs);
    ASSERT_TRUE(desk.hotkeys.Press(ModControl, VkF5));
    // Shortly after the read the user's text is back, well before the bound.
    std::optional<std::string> soonAfterTheRead;
    desk.windows.Schedule(200 + c.readAfterMs + 100, [&] { soonAfterTheRead = desk.clipboard.Text(); });
    desk.windows.Advance(3000);
    EXPECT_EQ(recorder.pasted, (std::vector<std::string>{c.read})) << c.readAfterMs;
    EXPECT_EQ(soonAfterTheRead, "mine") << c.readAfterMs;
    EXPECT_EQ(desk.clipboard.Text(), "mine") << c.readAfterMs;
  }
}

// A hotkey written in another letter case or order (by hand, or by another tool) is the same
// hotkey: it is registered at start-up, so its press must paste, and a change elsewhere in the
// table must not give it back to the system.
TEST_F(HotkeyPasteTest, HotkeyTextInAnotherForm_PastesAndStaysRegisteredAfterAChange) {
  PutDataFile("actions.cnfg", Utf16File("1,A,shift+CTRL+f5,action,V\r\n2,B,No,other,V\r\n"));
  StartJoined();
  ASSERT_TRUE(other.CopyText("mine"));
  recorder.Start();
  ASSERT_TRUE(desk.hotkeys.Press(ModControl | ModShift, VkF5));
  desk.windows.Advance(2000);
  EXPECT_EQ(recorder.pasted, std::vector<std::string>{"action"});

  Form1().TableGrid1.ClickRow(1);
  Form1().Delete_b.Click();
  recorder.pasted.clear();
  ASSERT_TRUE(desk.hotkeys.Press(ModControl | ModShift, VkF5));
  desk.windows.Advance(2000);
  EXPECT_EQ(recorder.pasted, std::vector<std::string>{"action"});
}

// A password copied in a password manager stays out of the history when a hotkey paste puts
// it back on the clipboard, although the program itself then owns the clipboard.
TEST_F(HotkeyPasteTest, ContentOfAnExcludedProgram_StaysOutWhenThePasteGivesItBack) {
  sim::ForeignProgram keepass(desk.clipboard, "KeePassXC");
  desk.windows.SetWindowProgramFileName(keepass.Window(), "KeePassXC.exe");
  StartWithAction("Ctrl+F5");
  ASSERT_TRUE(keepass.CopyText("hunter2"));
  recorder.Start();
  ASSERT_TRUE(desk.hotkeys.Press(ModControl, VkF5));
  desk.windows.Advance(2000);
  EXPECT_EQ(recorder.pasted, std::vector<std::string>{"action"});
  EXPECT_EQ(desk.clipboard.Text(), "hunter2");
  EXPECT_EQ(HistoryTexts(), std::vector<std::string>{"action"});
  // A copy made afterwards is heard as before.
  ASSERT_TRUE(other.CopyText("later"));
  EXPECT_EQ(HistoryTexts(), (std::vector<std::string>{"later", "action"}));
}

}  // namespace
}  // namespace hotkey_paste_program_test

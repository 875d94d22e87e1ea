// The ways the program pastes, as the user meets them in another program's editor: the
// clipboard's text alone, entries one after another at each Ctrl+V, and the marks that keep the
// program's temporary writes out of Windows' clipboard history, compared format by format.
#include <gtest/gtest.h>

#include <algorithm>

#include <memory>

#include "actions/paste_queue.h"
#include "app/plain_paste.h"
#include "app/quick_paste.h"
#include "app/settings.h"
#include "app/settings_text.h"
#include "paste_recorder.h"
#include "program_fixture.h"

namespace paste_modes_program_test {

namespace {

using namespace platform;
using testing_support::AllPasteMarks;
using testing_support::PasteMarks;
using Named = std::vector<std::pair<std::string, std::string>>;

constexpr hotkeys::HotKey PlainHotKey = hotkeys::HotKeyWin | hotkeys::HotKeyCtrl | hotkeys::HotKeyAlt | VkV;

std::string Utf16Block(const std::u16string& text) {
  std::string bytes(reinterpret_cast<const char*>(text.data()), text.size() * 2);
  return bytes + std::string(2, '\0');
}

// A small DROPFILES block of wide names.
std::string DropFiles(const std::u16string& names) {
  std::string block(20, '\0');
  block[0] = 20;
  block[16] = 1;
  return block + Utf16Block(names) + std::string(2, '\0');
}

// The simulated editor: at each paste key that reaches it, it reads every format the clipboard
// offers, as a rich editor takes what it understands, and keeps them by name.
class Editor {
 public:
  Editor(sim::SimDesktop& desk, sim::ForeignProgram& program) : desk_(desk), program_(program) {
    desk_.keyboard.UserKeysReachHandler(true);
    desk_.keyboard.OnKeyEvent([this](const sim::KeyEvent& e) {
      if ((e.vk != VkV && e.vk != VkInsert) || e.flags != 0) return;
      if (e.vk == VkV && !desk_.keyboard.IsDown(VkControl)) return;
      Read();
    });
  }
  void Read() {
    sim::SimClipboard& clipboard = desk_.clipboard;
    if (!clipboard.OpenClipboard(program_.Window())) {
      pasted.push_back({{"<busy>", ""}});
      return;
    }
    for (Uint format : clipboard.Formats()) clipboard.GetClipboardData(format);
    Named content;
    for (auto& [name, bytes] : clipboard.NamedContent())
      if (name != "#16") content.push_back({name, bytes});  // the locale the system adds
    clipboard.CloseClipboard();
    pasted.push_back(content);
  }
  // The text of each paste, "" for one without text.
  std::vector<std::u16string> Texts() const {
    std::vector<std::u16string> texts;
    for (const Named& content : pasted) {
      std::u16string text;
      for (const auto& [name, bytes] : content)
        if (name == "#13")
          for (std::size_t i = 0; i + 3 < bytes.size(); i += 2)
            text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                          (static_cast<unsigned char>(bytes[i + 1]) << 8));
      texts.push_back(text);
    }
    return texts;
  }
  std::vector<Named> pasted;

 private:
  sim::SimDesktop& desk_;
  sim::ForeignProgram& program_;
};

class PasteModesTest : public testing_support::ClipboardProgramTest {
 public:
  void SetUp() override {
    StartJoined();
    desk.windows.SetForegroundWindow(other.Window());
    html = desk.clipboard.RegisterClipboardFormatA("HTML Format");
  }
  // The user's copy in the editor: a text with its HTML.
  Named CopyFormatted(const std::string& text) {
    EXPECT_TRUE(other.CopyFormats({{html, "<b>" + text + "</b>"}, {CfUnicodeText, Utf16Block(Utf16(text))}}));
    desk.windows.Advance(100);  // recorded, with its HTML kept beside it
    return desk.clipboard.NamedContent();
  }
  static std::u16string Utf16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }
  // The user presses Ctrl+V (or Shift+Insert) and lets it go.
  void PressPaste(std::uint8_t modifier = VkControl, std::uint8_t key = VkV) {
    desk.keyboard.UserKeyDown(modifier);
    desk.keyboard.UserKeyDown(key);
    desk.keyboard.UserKeyUp(key);
    desk.keyboard.UserKeyUp(modifier);
    desk.windows.Advance(1500);
  }
  std::shared_ptr<const clipboard::ClipboardContent> TextEntry(const std::string& text) {
    auto content = std::make_shared<clipboard::ClipboardContent>();
    content->text = Utf16(text);
    return content;
  }
  // The content without the marks, and without the locale the system gave the text (a restore
  // puts it there itself).
  Named WithoutMarks(Named content) {
    std::erase_if(content,
                  [](const auto& f) { return testing_support::IsPasteMark(f.first) || f.first == "#16"; });
    return content;
  }
  actions::PasteQueue& Queue() { return program->Queue(); }
  // The tray icon's tips as they changed, from the first that said a queue runs.
  std::vector<std::string> Tips() {
    std::vector<std::string> tips;
    for (const sim::NotifyCall& call : desk.notifyArea.Calls()) {
      const std::string tip = call.data.szTip;
      if (tip.rfind("Pasting", 0) == 0 || !tips.empty())
        if (tips.empty() || tips.back() != tip) tips.push_back(tip);
    }
    return tips;
  }
  // Quick paste: the popup opens over the editor, and the list sees the user's keys.
  ui::PopupList& OpenPopup() {
    EXPECT_TRUE(desk.hotkeys.Press(ModWin, VkInsert));
    desk.windows.Pump();
    ui::PopupList& list = program->Quick().List;
    EXPECT_TRUE(list.IsOpen());
    return list;
  }
  void Key(ui::PopupList& list, int vk, std::initializer_list<std::uint8_t> held = {}) {
    for (std::uint8_t m : held) desk.keyboard.UserKeyDown(m);
    desk.keyboard.UserKeyDown(static_cast<std::uint8_t>(vk));
    list.KeyDown(vk);
    desk.keyboard.UserKeyUp(static_cast<std::uint8_t>(vk));
    for (std::uint8_t m : held) desk.keyboard.UserKeyUp(m);
  }

  Uint html = 0;
  Editor editor{desk, other};
};

// The plain-text paste offers the text and nothing else, marked, and then gives back every
// format; a clipboard without text is left alone and nothing is pasted.
TEST_F(PasteModesTest, PlainPaste_OffersTheTextAloneMarked_ThenTheWholeClipboardComesBack) {
  const Named before = CopyFormatted("mine");
  const auto history = HistoryTexts();
  program->Paste().Press({{u"", actions::PasteMethod::CtrlV, PlainHotKey, actions::PasteMode::Plain}});
  desk.windows.Advance(2000);
  ASSERT_EQ(editor.pasted.size(), 1u);
  Named offered = {{"#13", Utf16Block(u"mine")}};
  for (const auto& mark : AllPasteMarks()) offered.push_back(mark);
  EXPECT_EQ(editor.pasted[0], offered);
  EXPECT_EQ(WithoutMarks(desk.clipboard.NamedContent()), before);
  EXPECT_EQ(PasteMarks(desk), AllPasteMarks());
  // Neither the offer nor the content given back is a new entry.
  EXPECT_EQ(HistoryTexts(), history);

  ASSERT_TRUE(other.CopyImage());
  const Named image = desk.clipboard.NamedContent();
  const std::size_t keys = desk.keyboard.Events().size();
  program->Paste().Press({{u"", actions::PasteMethod::CtrlV, PlainHotKey, actions::PasteMode::Plain}});
  desk.windows.Advance(2000);
  EXPECT_EQ(editor.pasted.size(), 1u);
  EXPECT_EQ(desk.keyboard.Events().size(), keys);
  EXPECT_EQ(desk.clipboard.NamedContent(), image);
}

// Each Ctrl+V (or Shift+Insert) pastes the next entry, oldest first; a program that only reads
// the clipboard meanwhile does not advance the queue; after the last, the clipboard holds what it
// held before, and the next Ctrl+V is the editor's own paste of it.
TEST_F(PasteModesTest, Queue_EachPressPastesTheNext_ReadersDoNotAdvanceIt_AndTheClipboardComesBack) {
  const Named before = CopyFormatted("mine");
  const auto history = HistoryTexts();
  ASSERT_EQ(Queue().Start({TextEntry("one"), TextEntry("two"), TextEntry("three")}),
            actions::PasteQueue::StartResult::Started);
  sim::ForeignProgram monitor(desk.clipboard, "Another clipboard manager");
  PressPaste();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(monitor.ReadUnicodeText(), u"one");
  desk.windows.Advance(1000);
  PressPaste(VkShift, VkInsert);
  EXPECT_EQ(monitor.ReadUnicodeText(), u"two");
  PressPaste();
  EXPECT_FALSE(Queue().Running());
  PressPaste();
  EXPECT_EQ(editor.Texts(), (std::vector<std::u16string>{u"one", u"two", u"three", u"mine"}));
  for (std::size_t i = 0; i < 3; ++i) {
    Named marks(editor.pasted[i].end() - 3, editor.pasted[i].end());
    EXPECT_EQ(marks, AllPasteMarks()) << i;
  }
  EXPECT_EQ(WithoutMarks(editor.pasted[3]), before);
  EXPECT_EQ(WithoutMarks(desk.clipboard.NamedContent()), before);
  EXPECT_EQ(Tips(), (std::vector<std::string>{"Pasting 1 of 3", "Pasting 2 of 3", "Pasting 3 of 3",
                                              "Corvilane Clipboard Manager"}));
  // The entries came from the history: pasting them adds nothing to it.
  EXPECT_EQ(HistoryTexts(), history);
}

// A copy the user makes ends the queue and stays; "Stop" ends it and gives back the clipboard
// from before.
TEST_F(PasteModesTest, Queue_EndedByACopyKeepsTheCopy_EndedByStopGivesTheClipboardBack) {
  const Named before = CopyFormatted("mine");
  ASSERT_EQ(Queue().Start({TextEntry("one"), TextEntry("two")}), actions::PasteQueue::StartResult::Started);
  PressPaste();
  ASSERT_TRUE(other.CopyUnicodeText(u"copied"));
  desk.windows.Advance(500);
  EXPECT_FALSE(Queue().Running());
  EXPECT_FALSE(Form1().StopPasteQueueItem.Visible());
  PressPaste();
  EXPECT_EQ(editor.Texts(), (std::vector<std::u16string>{u"one", u"copied"}));
  EXPECT_TRUE(PasteMarks(desk).empty());

  CopyFormatted("mine");
  ASSERT_EQ(Queue().Start({TextEntry("one"), TextEntry("two")}), actions::PasteQueue::StartResult::Started);
  PressPaste();
  EXPECT_TRUE(Form1().StopPasteQueueItem.Visible());
  Form1().StopPasteQueueItem.Click();
  desk.windows.Advance(500);
  EXPECT_FALSE(Form1().StopPasteQueueItem.Visible());
  EXPECT_FALSE(Queue().Running());
  PressPaste();
  EXPECT_EQ(editor.Texts().back(), u"mine");
  EXPECT_EQ(WithoutMarks(desk.clipboard.NamedContent()), before);

  // The program ends while a queue runs: the clipboard from before stays.
  ASSERT_EQ(Queue().Start({TextEntry("one"), TextEntry("two")}), actions::PasteQueue::StartResult::Started);
  PressPaste();
  program->Exit();
  EXPECT_EQ(WithoutMarks(desk.clipboard.NamedContent()), before);
}

// Ctrl+V held down repeats the key: the held press pastes one entry, and the next press the next.
TEST_F(PasteModesTest, Queue_CtrlVHeldDown_PastesOneEntry) {
  CopyFormatted("mine");
  ASSERT_EQ(Queue().Start({TextEntry("one"), TextEntry("two"), TextEntry("three")}),
            actions::PasteQueue::StartResult::Started);
  desk.keyboard.UserKeyDown(VkControl);
  desk.keyboard.UserKeyDown(VkV);
  for (int i = 0; i < 10; ++i) {
    desk.windows.Advance(30);
    desk.keyboard.UserKeyDown(VkV);  // auto-repeat
  }
  desk.keyboard.UserKeyUp(VkV);
  desk.keyboard.UserKeyUp(VkControl);
  desk.windows.Advance(1500);
  PressPaste();
  EXPECT_EQ(editor.Texts(), (std::vector<std::u16string>{u"one", u"two"}));
  EXPECT_EQ(Queue().Next(), 3);
}

// An image, a text and a file list: each is pasted with its own formats.
TEST_F(PasteModesTest, Queue_OfAnImageATextAndAFileList_PastesEachWithItsFormats) {
  const Named before = CopyFormatted("mine");
  auto image = std::make_shared<clipboard::ClipboardContent>();
  image->png = "\x89PNG-bytes";
  image->dib = std::string(44, '\x01');
  auto files = std::make_shared<clipboard::ClipboardContent>();
  files->text = u"C:\\a.txt";
  files->fileList = DropFiles(u"C:\\a.txt");
  ASSERT_EQ(Queue().Start({image, TextEntry("text"), files}), actions::PasteQueue::StartResult::Started);
  PressPaste();
  PressPaste();
  PressPaste();
  ASSERT_EQ(editor.pasted.size(), 3u);
  const Named marks = AllPasteMarks();
  auto with = [&marks](Named content) {
    content.insert(content.end(), marks.begin(), marks.end());
    return content;
  };
  EXPECT_EQ(editor.pasted[0], with({{"PNG", image->png}, {"#17", image->dib}}));
  EXPECT_EQ(editor.pasted[1], with({{"#13", Utf16Block(u"text")}}));
  EXPECT_EQ(editor.pasted[2], with({{"#13", Utf16Block(u"C:\\a.txt")}, {"#15", files->fileList}}));
  EXPECT_EQ(WithoutMarks(desk.clipboard.NamedContent()), before);
}

// The marks are on the action's text while it is pasted and on the restore, and the history
// records both as before; the user's own re-copy from the history carries none.
TEST_F(PasteModesTest, Marks_OnTheActionsTextAndItsRestore_NoneOnAReCopy) {
  CopyFormatted("mine");
  program->Paste().Press({{u"action", actions::PasteMethod::CtrlV, 0, actions::PasteMode::Restore}});
  desk.windows.Advance(2000);
  ASSERT_EQ(editor.pasted.size(), 1u);
  Named offered = {{"#13", Utf16Block(u"action")}};
  for (const auto& mark : AllPasteMarks()) offered.push_back(mark);
  EXPECT_EQ(editor.pasted[0], offered);
  EXPECT_EQ(PasteMarks(desk), AllPasteMarks());
  EXPECT_EQ(HistoryTexts(), (std::vector<std::string>{"mine", "action", "mine"}));

  Form1().TableGrid2.DblClickCell(2, 1);
  EXPECT_EQ(desk.clipboard.UnicodeText(), u"action");
  EXPECT_TRUE(PasteMarks(desk).empty());
  EXPECT_EQ(HistoryTexts().front(), "action");
}

// In the popup: Shift+Enter pastes an entry's text alone and leaves it on the clipboard as the
// user's copy, without marks; an image has no text, which the popup tells and stays open.
TEST_F(PasteModesTest, PopupShiftEnter_PastesTheTextAloneAndKeepsIt_AnImageIsTold) {
  ASSERT_TRUE(other.CopyImage());
  desk.windows.Advance(100);
  CopyFormatted("mine");
  ui::PopupList& list = OpenPopup();
  Key(list, VkReturn, {VkShift});
  desk.windows.Advance(1000);
  ASSERT_EQ(editor.pasted.size(), 1u);
  EXPECT_EQ(editor.pasted[0], (Named{{"#13", Utf16Block(u"mine")}}));
  EXPECT_EQ(WithoutMarks(desk.clipboard.NamedContent()), (Named{{"#13", Utf16Block(u"mine")}}));
  EXPECT_TRUE(PasteMarks(desk).empty());

  OpenPopup();
  Key(list, VkDown);
  Key(list, VkDown);
  ASSERT_EQ(list.ItemText(list.Selected()).rfind(u"[Image", 0), 0u);
  const std::size_t balloons = Balloons().size();
  Key(list, VkReturn, {VkShift});
  desk.windows.Advance(1000);
  EXPECT_TRUE(list.IsOpen());
  EXPECT_FALSE(list.Notice.empty());
  ASSERT_EQ(Balloons().size(), balloons + 1);
  EXPECT_EQ(Balloons().back(), "An image has no text to paste as plain text.");
  EXPECT_EQ(editor.pasted.size(), 1u);
}

// Enter on an image in quick paste: its PNG is checked and decoded in the background, the window
// answering meanwhile, and the paste follows with the whole image; a popup gone by then pastes
// nothing.
TEST_F(PasteModesTest, PopupEnterOnAnImage_DecodesItAwayFromTheWindow_ThenPastesItWhole) {
  ASSERT_TRUE(other.CopyImage());
  desk.windows.Advance(100);  // its PNG is made
  CopyFormatted("mine");
  desk.windows.Advance(100);
  ui::PopupList& list = OpenPopup();
  Key(list, VkDown);
  ASSERT_EQ(list.ItemText(list.Selected()).rfind(u"[Image", 0), 0u);
  desk.background.Hold(true);
  const int decodes = desk.images.Decodes();
  Key(list, VkReturn);
  desk.windows.Advance(1000);
  EXPECT_FALSE(list.IsOpen());
  EXPECT_EQ(desk.images.Decodes(), decodes) << "not on the window's thread";
  EXPECT_TRUE(editor.pasted.empty());
  desk.background.Hold(false);
  desk.windows.Advance(1000);
  EXPECT_GT(desk.images.Decodes(), decodes);
  ASSERT_EQ(editor.pasted.size(), 1u);
  std::vector<std::string> formats;
  for (const auto& [name, bytes] : WithoutMarks(editor.pasted[0])) formats.push_back(name);
  EXPECT_NE(std::find(formats.begin(), formats.end(), "PNG"), formats.end());
  EXPECT_TRUE(std::find(formats.begin(), formats.end(), "#17") != formats.end() ||
              std::find(formats.begin(), formats.end(), "#8") != formats.end())
      << "the bitmap decoded";

  // The program ends while the image is decoded: nothing is pasted afterwards.
  OpenPopup();
  Key(list, VkDown);
  desk.background.Hold(true);
  Key(list, VkReturn);
  program.reset();
  desk.background.Hold(false);
  desk.background.Finish();
  EXPECT_EQ(editor.pasted.size(), 1u);
}

// Several entries: Enter pastes them as one text in the order they were copied, joined by line
// breaks, and it stays as the user's copy; Ctrl+Enter queues them, oldest first.
TEST_F(PasteModesTest, PopupSeveral_EnterJoinsThemInCopyOrder_CtrlEnterQueuesThem) {
  for (const char* text : {"first", "second", "third"}) {
    ASSERT_TRUE(other.CopyUnicodeText(Utf16(text)));
    desk.windows.Advance(10);
  }
  ui::PopupList& list = OpenPopup();
  Key(list, VkDown, {VkShift});
  Key(list, VkDown, {VkShift});
  Key(list, VkReturn);
  desk.windows.Advance(1000);
  EXPECT_EQ(editor.Texts(), (std::vector<std::u16string>{u"first\r\nsecond\r\nthird"}));
  EXPECT_TRUE(PasteMarks(desk).empty());
  EXPECT_EQ(HistoryTexts().front(), "first\r\nsecond\r\nthird");

  // Now under the joined text: "third", "second", "first".
  OpenPopup();
  Key(list, VkDown);
  Key(list, VkDown, {VkShift});
  Key(list, VkReturn, {VkControl});
  desk.windows.Advance(100);
  EXPECT_TRUE(Queue().Running());
  EXPECT_EQ(Tips().front(), "Pasting 1 of 2");
  PressPaste();
  PressPaste();
  PressPaste();
  EXPECT_EQ(editor.Texts(), (std::vector<std::u16string>{u"first\r\nsecond\r\nthird", u"second", u"third",
                                                         u"first\r\nsecond\r\nthird"}));
}

// Win+Ctrl+Alt+V by default; changed on the Options tab and saved as the eighth line; a file
// without the line keeps the default; a combination Windows refuses at start-up is told once.
TEST_F(PasteModesTest, PlainHotkey_DefaultPastesTheText_ChangedIsSavedAsTheEighthLine_TakenIsTold) {
  CopyFormatted("mine");
  ASSERT_TRUE(desk.hotkeys.Press(ModWin | ModControl | ModAlt, VkV));
  desk.windows.Advance(2000);
  EXPECT_EQ(editor.Texts(), (std::vector<std::u16string>{u"mine"}));
  ASSERT_EQ(editor.pasted.size(), 1u);
  EXPECT_EQ(editor.pasted[0].size(), 4u);  // the text and the three marks

  app::PlainPasteOptions& options = Form1().PlainPasteBox;
  options.PlainPasteWin.SetChecked(false);
  options.PlainPasteAlt.SetChecked(false);
  options.PlainPasteShift.SetChecked(true);
  options.PlainPasteApply.Click();
  const hotkeys::HotKey ctrlShiftV = hotkeys::HotKeyCtrl | hotkeys::HotKeyShift | VkV;
  const std::vector<std::string> lines = app::SplitSettingsLines(DataFileBytes("settings.stng"));
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[7], std::to_string(ctrlShiftV));
  EXPECT_FALSE(desk.hotkeys.Press(ModWin | ModControl | ModAlt, VkV)) << "the old combination is given back";
  Restart();
  EXPECT_EQ(program->Settings().plainPaste, ctrlShiftV);
  EXPECT_TRUE(desk.hotkeys.Press(ModControl | ModShift, VkV));
  desk.windows.Advance(2000);

  // Off: 0, and nothing is held.
  Form1().PlainPasteBox.PlainPasteOn.SetChecked(false);
  Form1().PlainPasteBox.PlainPasteApply.Click();
  EXPECT_EQ(app::SplitSettingsLines(DataFileBytes("settings.stng")).at(7), "0");
  EXPECT_FALSE(desk.hotkeys.Press(ModControl | ModShift, VkV));

  // A file of seven lines keeps the default; another program holding it is told in a balloon.
  PutDataFile("settings.stng", "-1\r\n-1\r\n0\r\n65581\r\n0\r\n0\r\n0\r\n");
  sim::ForeignProgram holder(desk.clipboard, "Holder");
  ASSERT_TRUE(desk.hotkeys.RegisterHotKey(holder.Window(), 7, ModWin | ModControl | ModAlt, VkV));
  const std::size_t balloons = Balloons().size();
  Restart();
  EXPECT_EQ(program->Settings().plainPaste, app::DefaultPlainPasteHotKey);
  ASSERT_EQ(Balloons().size(), balloons + 1);
  EXPECT_NE(Balloons().back().find("plain-text paste hotkey"), std::string::npos);
  EXPECT_TRUE(desk.dialogs.Boxes().empty());
}

}  // namespace
}  // namespace paste_modes_program_test

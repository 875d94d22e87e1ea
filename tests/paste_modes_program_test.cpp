// The ways the program pastes, as the user meets them in another program's editor: the
// clipboard's text alone, entries one after another at each Ctrl+V, and the marks that keep the
// program's temporary writes out of Windows' clipboard history, compared format by format.
#include <gtest/gtest.h>

#include <memory>

#include "actions/paste_queue.h"
#include "paste_recorder.h"
#include "program_fixture.h"

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
  actions::PasteQueue& Queue() {
    if (!queue) {
      queue = std::make_unique<actions::PasteQueue>(desk, program->Paste());
      queue->OnChanged = [this] { tips.push_back(queue->Tip()); };
    }
    return *queue;
  }
  void TearDown() override { queue.reset(); }

  Uint html = 0;
  Editor editor{desk, other};
  std::unique_ptr<actions::PasteQueue> queue;
  std::vector<std::string> tips;
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
  EXPECT_EQ(tips, (std::vector<std::string>{"Pasting 1 of 3", "Pasting 2 of 3", "Pasting 3 of 3", ""}));
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
  EXPECT_EQ(tips.back(), "");
  PressPaste();
  EXPECT_EQ(editor.Texts(), (std::vector<std::u16string>{u"one", u"copied"}));
  EXPECT_TRUE(PasteMarks(desk).empty());

  CopyFormatted("mine");
  ASSERT_EQ(Queue().Start({TextEntry("one"), TextEntry("two")}), actions::PasteQueue::StartResult::Started);
  PressPaste();
  Queue().Stop();
  desk.windows.Advance(500);
  EXPECT_FALSE(Queue().Running());
  PressPaste();
  EXPECT_EQ(editor.Texts().back(), u"mine");
  EXPECT_EQ(WithoutMarks(desk.clipboard.NamedContent()), before);

  // The program ends while a queue runs: the clipboard from before stays.
  ASSERT_EQ(Queue().Start({TextEntry("one"), TextEntry("two")}), actions::PasteQueue::StartResult::Started);
  PressPaste();
  queue.reset();
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

}  // namespace

// Text outside the ANSI code page, as a user meets it: copied, recorded, pasted, put back, and
// offered in the tray.
#include <gtest/gtest.h>

#include "history/history_table.h"
#include "platform/sim/sim_codepage.h"
#include "platform/utf.h"
#include "program_fixture.h"

namespace unicode_program_test {

namespace {

using namespace platform;

constexpr Uint VkF5 = 0x74;

// Cyrillic, an em dash (in Windows-1252), CJK and a character outside the Basic Multilingual
// Plane, which UTF-16 holds as a surrogate pair.
const std::u16string Mixed =
    u"\u041F\u0440\u0438\u0432\u0435\u0442 \u043C\u0438\u0440 \u2014 "
    u"\u65E5\u672C\u8A9E \U0001F600";
// The same but for its last character, which no code page has either.
const std::u16string MixedOtherEmoji =
    u"\u041F\u0440\u0438\u0432\u0435\u0442 \u043C\u0438\u0440 \u2014 "
    u"\u65E5\u672C\u8A9E \U0001F601";

// A table file as the program writes it: UTF-16LE with a byte order mark.
std::string Utf16File(const std::u16string& text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

class UnicodeTest : public testing_support::ClipboardProgramTest {
 public:
  std::vector<std::u16string> History() {
    std::vector<std::u16string> texts;
    for (int row = 0; row < Form1().TableGrid2.Rows().RowCount(); ++row)
      texts.push_back(Form1().TableGrid2.Rows().Cell("Clipboadrs_history", row));
    return texts;
  }
  bool PressHotkey(Uint mods, Uint vk) {
    bool held = desk.hotkeys.Press(mods, vk);
    desk.windows.Advance(1);
    return held;
  }
};

TEST_F(UnicodeTest, Capture_RecordsTheTextExactly_RefusesOnlyAnExactRepeat_AndWritesItToTheFile) {
  StartJoined();
  ASSERT_TRUE(other.CopyUnicodeText(Mixed));
  EXPECT_EQ(History(), std::vector<std::u16string>{Mixed});
  EXPECT_EQ(Form1().Label1.Caption(), "Clipboard contains: Привет мир — 日本語 😀");

  ASSERT_TRUE(other.CopyUnicodeText(Mixed));
  EXPECT_EQ(History().size(), 1u);
  // In the ANSI code page both would read "?????? ??? — ??? ?"; they are different texts.
  ASSERT_TRUE(other.CopyUnicodeText(MixedOtherEmoji));
  EXPECT_EQ(History(), (std::vector<std::u16string>{MixedOtherEmoji, Mixed}));

  Form1().Exit1.Click();
  FinishIfQuit();
  const std::string file = DataFileBytes("clipboard_history.hstr");
  EXPECT_NE(file.find(Utf16File(Mixed).substr(2)), std::string::npos);
  EXPECT_NE(file.find(Utf16File(MixedOtherEmoji).substr(2)), std::string::npos);
}

TEST_F(UnicodeTest, DoubleClick_PutsAnImportedNonAnsiEntryBackExactly) {
  PutDataFile("clipboard_history.hstr", Utf16File(u"1,,first\r\n2,," + Mixed + u"\r\n"));
  StartJoined();
  Form1().TableGrid2.DblClickCell(2, 1);
  EXPECT_EQ(desk.clipboard.UnicodeText(), Mixed);
  EXPECT_EQ(History(), (std::vector<std::u16string>{Mixed, u"first", Mixed}));
  // Programs that read only CF_TEXT get what their code page can show.
  EXPECT_EQ(desk.clipboard.Text(), "?????? ??? \x97 ??? ?");
}

TEST_F(UnicodeTest, HotkeyPaste_PastesANonAnsiActionExactly_AndPutsTheUsersNonAnsiTextBack) {
  const std::u16string action = u"Gr\u00FC\u00DFe \u65E5\u672C \u2713";
  PutDataFile("actions.cnfg", Utf16File(u"1,Greet,Ctrl+F5," + action + u",V\r\n"));
  StartJoined();
  ASSERT_TRUE(other.CopyUnicodeText(Mixed));
  std::vector<std::u16string> pasted;
  desk.keyboard.OnKeyEvent([&](const sim::KeyEvent& e) {
    if (e.vk == 0x56 && e.flags == 0) pasted.push_back(other.ReadUnicodeText().value_or(u"<none>"));
  });
  ASSERT_TRUE(PressHotkey(ModControl, VkF5));
  EXPECT_EQ(pasted, std::vector<std::u16string>{action});
  EXPECT_EQ(desk.clipboard.UnicodeText(), Mixed);
  EXPECT_EQ(History(), (std::vector<std::u16string>{Mixed, action, Mixed}));
}

TEST_F(UnicodeTest, TrayItems_ShowNonAnsiNamesAndTellApartNamesThatDifferOnlyOutsideTheCodePage) {
  // "日本" and "中国" both read "??" in Windows-1252.
  PutDataFile("actions.cnfg", Utf16File(u"1,\u65E5\u672C,No,Japan,V\r\n2,\u4E2D\u56FD,No,China,V\r\n"
                                        u"3,\u0413\u0440\u0443\u0441\u0442\u044C,No,\u2639,V\r\n"));
  StartJoined();
  std::vector<std::string> captions;
  for (ui::MenuItem* item : Form1().TrayActionItems())
    if (item->Visible()) captions.push_back(item->Caption());
  EXPECT_EQ(captions, (std::vector<std::string>{"日本", "中国", "Грусть"}));

  desk.notifyArea.ChooseNext("中国");
  desk.notifyArea.RightClick();
  EXPECT_EQ(desk.clipboard.UnicodeText(), u"China");
  EXPECT_EQ(History(), std::vector<std::u16string>{u"China"});
  desk.notifyArea.ChooseNext("Грусть");
  desk.notifyArea.RightClick();
  EXPECT_EQ(desk.clipboard.UnicodeText(), u"\u2639");
}

// An older program writes CF_TEXT in its own code page and says which with CF_LOCALE.
TEST_F(UnicodeTest, LegacyProgram_CfTextOfAnotherCodePage_IsRecordedInItsOwnLetters) {
  StartJoined();
  ASSERT_TRUE(other.CopyLegacyText("\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0", sim::LocaleRussian));
  EXPECT_EQ(History(),
            std::vector<std::u16string>{u"\u041F\u0440\u0438\u0432\u0435\u0442, \u043C\u0438\u0440"});
  desk.clipboard.SetDerivesTextFormats(false);  // a clipboard that offers only what was put there
  ASSERT_TRUE(other.CopyLegacyText("\xC4\xE0", sim::LocaleRussian));
  EXPECT_EQ(History().front(), u"\u0414\u0430");
}

// Unpacked into a folder whose name no ANSI code page holds, the program still finds its files
// there, saves there at exit, and starts from there at log-on.
TEST_F(UnicodeTest, ExeInAFolderOutsideTheCodePage_ReadsAndWritesItsFilesThere_AndTheRunValueNamesIt) {
  const std::string folder = "C:\\Łódź 日本";
  desk.files.SetModuleFileName(folder + "\\Clipboard_manager.exe");
  desk.files.MakeFolder(folder + "\\Data");
  desk.files.PutFile(folder + "\\Data\\clipboard_history.hstr", Utf16File(u"1,,kept\r\n"));
  desk.files.PutFile(folder + "\\Data\\actions.cnfg", Utf16File(u"1,Greet,No,hello,V\r\n"));
  desk.files.PutFile(folder + "\\Data\\settings.stng", "-1\r\n0\r\n1\r\n");  // start at log-on
  StartJoined();
  EXPECT_EQ(History(), std::vector<std::u16string>{u"kept"});
  EXPECT_EQ(Form1().TableGrid1.Rows().RowCount(), 1);
  EXPECT_EQ(Form1().PageControl1.ActivePageIndex(), 1);
  ASSERT_TRUE(other.CopyUnicodeText(Mixed));
  const std::u16string date = Form1().TableGrid2.Rows().Cell("Date", 0);

  Form1().Exit1.Click();
  EXPECT_TRUE(desk.windows.QuitRequested());
  FinishIfQuit();
  EXPECT_TRUE(desk.dialogs.Boxes().empty());
  EXPECT_EQ(desk.files.FileBytes(folder + "\\Data\\clipboard_history.hstr"),
            Utf16File(u"0," + date + u"," + Mixed + u"\r\n2,,kept\r\n"));
  EXPECT_EQ(desk.files.FileBytes(folder + "\\Data\\settings.stng"),
            "-1\r\n0\r\n1\r\n65581\r\n0\r\n0\r\n0\r\n114774\r\n");  // and the hotkey, limits, sealing
  EXPECT_EQ(desk.registry.GetText(app::RunKey, app::RunValue),
            "\"C:\\Łódź 日本\\Clipboard_manager.exe\"" + std::string(1, '\0'));
  EXPECT_FALSE(desk.files.Exists(DataFile("clipboard_history.hstr")));  // nothing went to another folder
}

// The file dialogs hand back any name the user picked.
TEST_F(UnicodeTest, HistoryExportAndImport_ThroughFileNamesOutsideTheCodePage) {
  StartJoined();
  ASSERT_TRUE(other.CopyUnicodeText(Mixed));
  desk.files.MakeFolder("C:\\Экспорт");
  desk.dialogs.AnswerNextFileDialog("C:\\Экспорт\\история");
  Form1().BitBtn5.Click();
  EXPECT_TRUE(desk.files.Exists("C:\\Экспорт\\история.hstr"));

  desk.dialogs.AnswerNextFileDialog("C:\\Экспорт\\история.hstr");
  Form1().BitBtn6.Click();
  EXPECT_EQ(History(), (std::vector<std::u16string>{Mixed, Mixed}));
  EXPECT_TRUE(desk.dialogs.Boxes().empty());
}

}  // namespace
}  // namespace unicode_program_test

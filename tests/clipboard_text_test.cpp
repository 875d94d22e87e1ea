// Reading and writing the clipboard's plain text, and the owner's private mark.
#include "clipboard/clipboard_text.h"

#include <gtest/gtest.h>

#include "clipboard_history_support.h"
#include "platform/errors.h"

namespace clipboard_text_test {

namespace {

using namespace platform;
using clipboard::GetClipboardText;
using clipboard::SetClipboardText;

class ClipboardTextTest : public clipboard_history_test::DesktopTest {
 protected:
  ClipboardTextTest() : other(desk.clipboard) {}
  void TearDown() override {
    EXPECT_FALSE(desk.clipboard.IsOpen() && desk.clipboard.OpenedBy() == Main);
    EXPECT_EQ(0, desk.memory.SystemBlocksFreed());
    EXPECT_EQ(0, desk.memory.BadFrees());
  }
  static constexpr Hwnd Main = 0x4242;
  sim::ForeignProgram other;
};

TEST_F(ClipboardTextTest, Read_TakesTheBlockUpToItsFirstZero_AnImageIsNoText) {
  struct Case {
    std::function<bool()> copy;
    bool ok;
    std::u16string text;
  };
  const std::vector<Case> cases = {
      {[&] { return other.CopyText("two\r\nlines"); }, true, u"two\r\nlines"},
      {[&] { return other.CopyBytes(std::string("abc\0def\0", 8)); }, true, u"abc"},
      {[&] { return other.CopyTextInBlock("abc", 64); }, true, u"abc"},
      {[&] { return other.CopyBytes("no zero"); }, true, u"no zero"},  // nothing read past the block
      {[&] { return other.CopyImage(); }, false, u""},
      {[&] { return other.CopyUnicodeText(u"При 日本 😀"); }, true, u"При 日本 😀"},
      {[&] { return other.CopyUnicodeText(std::u16string(u"é\0after", 7)); }, true, u"é"},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    ASSERT_TRUE(cases[i].copy());
    std::u16string text;
    EXPECT_EQ(cases[i].ok, GetClipboardText(desk, Main, text)) << i;
    EXPECT_EQ(cases[i].text, text) << i;
    EXPECT_FALSE(desk.clipboard.IsOpen()) << i;
  }
}

TEST_F(ClipboardTextTest, HeldByAnotherProgram_BothFailAndNothingChanges) {
  other.CopyText("kept");
  sim::ForeignProgram holder(desk.clipboard, "holder");
  ASSERT_TRUE(holder.HoldOpen());
  std::u16string text;
  EXPECT_FALSE(GetClipboardText(desk, Main, text));
  EXPECT_EQ(u"", text);
  EXPECT_FALSE(SetClipboardText(desk, Main, u"new"));
  EXPECT_EQ(2, desk.memory.LiveBlocks());  // nothing allocated: the text and the system's locale
  holder.Release();
  EXPECT_EQ("kept", desk.clipboard.Text());
}

TEST_F(ClipboardTextTest, Write_IsTheOnlyContent_AnUnlockedMoveableShareableBlockWithItsZero) {
  for (const std::u16string text : {u"caf\u00E9 \U0001F600", u""}) {
    other.CopyExcludedText("previous");  // two formats
    ASSERT_TRUE(SetClipboardText(desk, Main, text));
    EXPECT_EQ(std::vector<Uint>{CfUnicodeText}, desk.clipboard.Formats());
    std::string bytes(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * 2);
    EXPECT_EQ(bytes, desk.clipboard.BlockBytes(CfUnicodeText));
    EXPECT_EQ(Main, desk.clipboard.Owner());
    ASSERT_EQ(2, desk.memory.LiveBlocks());  // the old blocks went; the system added the locale
    ASSERT_TRUE(desk.clipboard.OpenClipboard(other.Window()));
    Hglobal block = desk.clipboard.GetClipboardData(CfUnicodeText);
    desk.clipboard.CloseClipboard();
    EXPECT_EQ(GmemMoveable | GmemDdeShare, desk.memory.Flags(block));
    EXPECT_FALSE(desk.memory.IsLocked(block));
  }
}

// After the open, each failure frees the new block, raises, and closes the clipboard.
TEST_F(ClipboardTextTest, Write_FailureAfterTheOpen_FreesTheBlockAndRaises) {
  other.CopyText("old");
  desk.memory.FailLocks(1);
  EXPECT_THROW(SetClipboardText(desk, Main, u"new"), Error);
  EXPECT_EQ("old", desk.clipboard.Text());  // not emptied before the new text was ready
  EXPECT_EQ(2, desk.memory.LiveBlocks());   // the text and its locale

  desk.memory.FailAllocs(1);
  EXPECT_THROW(SetClipboardText(desk, Main, u"new"), Error);
  EXPECT_EQ("old", desk.clipboard.Text());

  desk.clipboard.FailSetData(1);
  EXPECT_THROW(SetClipboardText(desk, Main, u"new"), Error);
  EXPECT_EQ(0, desk.memory.LiveBlocks());
  EXPECT_FALSE(desk.clipboard.IsOpen());
  EXPECT_TRUE(SetClipboardText(desk, Main, u"new"));
}

TEST_F(ClipboardTextTest, Read_BlockThatCannotBeLocked_RaisesAndCloses) {
  other.CopyText("text");
  desk.memory.FailLocks(1);
  std::u16string text;
  EXPECT_THROW(GetClipboardText(desk, Main, text), Error);
  EXPECT_FALSE(desk.clipboard.IsOpen());
  EXPECT_EQ(desk.clipboard.Opens(), desk.clipboard.Closes());
}

TEST_F(ClipboardTextTest, PrivateMark_AnyOfTheFormats_AHistoryFlagOf1IsNone) {
  const std::vector<std::pair<std::function<void()>, bool>> cases = {
      {[&] { other.CopyText("pw"); }, false},
      {[&] { other.CopyExcludedText("pw"); }, true},
      {[&] { other.CopyViewerIgnoredText(u"pw"); }, true},
      {[&] { other.CopyTextWithHistoryFlag("pw", 0); }, true},
      {[&] { other.CopyTextWithHistoryFlag("pw", 1); }, false},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    cases[i].first();
    std::u16string text;
    bool markedPrivate = !cases[i].second;
    EXPECT_TRUE(GetClipboardText(desk, Main, text, markedPrivate)) << i;
    EXPECT_EQ(u"pw", text) << i;
    EXPECT_EQ(cases[i].second, markedPrivate) << i;
  }
}

// Older programs read the text as CF_TEXT or CF_OEMTEXT, which the system makes from the
// Unicode text with the code pages of the writer's input locale.
TEST_F(ClipboardTextTest, Write_OlderProgramsGetTheTextInTheirCodePage_QuestionMarksOnlyForMissingLetters) {
  const std::u16string text = u"Gr\u00FC\u00DFe \u041F\u0440\u0438 \U0001F600";
  auto oemText = [&] {
    EXPECT_TRUE(desk.clipboard.OpenClipboard(other.Window()));
    std::string bytes = desk.memory.Bytes(desk.clipboard.GetClipboardData(CfOemText));
    desk.clipboard.CloseClipboard();
    return bytes;
  };
  ASSERT_TRUE(SetClipboardText(desk, Main, text));
  EXPECT_EQ(
      "Gr\xFC\xDF"
      "e ??? ?",
      desk.clipboard.Text());  // Windows-1252
  EXPECT_EQ(std::string("Gr\x81\xE1"
                        "e ??? ?\0",
                        12),
            oemText());  // OEM 437

  desk.clipboard.SetInputLocale(sim::LocaleRussian);
  ASSERT_TRUE(SetClipboardText(desk, Main, text));
  EXPECT_EQ("Gr??e \xCF\xF0\xE8 ?", desk.clipboard.Text());         // Windows-1251
  EXPECT_EQ(std::string("Gr??e \x8F\xE0\xA8 ?\0", 12), oemText());  // OEM 866
}

// A program that offers only CF_TEXT wrote it in the code page of the locale it names.
TEST_F(ClipboardTextTest, Read_OnlyCfText_ConvertedWithTheCodePageOfItsLocale_OrTheAnsiCodePage) {
  for (bool derived : {true, false}) {
    desk.clipboard.SetDerivesTextFormats(derived);
    struct Case {
      std::function<bool()> copy;
      std::u16string text;
    };
    const std::vector<Case> cases = {
        {[&] { return other.CopyLegacyText("\xCF\xF0\xE8\xE2\xE5\xF2 \xA8", sim::LocaleRussian); },
         u"\u041F\u0440\u0438\u0432\u0435\u0442 \u0401"},
        {[&] { return other.CopyLegacyText("caf\xE9 \x80", sim::LocaleEnglishUs); }, u"caf\u00E9 \u20AC"},
        {[&] { return other.CopyLegacyText("caf\xE9", 0x0411); }, u"caf\u00E9"},  // a locale unknown here
        {[&] { return other.CopyText("caf\xE9"); }, u"caf\u00E9"},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
      ASSERT_TRUE(cases[i].copy());
      std::u16string text;
      EXPECT_TRUE(GetClipboardText(desk, Main, text)) << derived << i;
      EXPECT_EQ(cases[i].text, text) << derived << i;
    }
  }
}

}  // namespace
}  // namespace clipboard_text_test

// Every text comes back exactly from every file the program keeps it in (the history file, the
// journal, the actions file, the exports), while earlier versions still read those files; and
// damage to a file costs only what it touches. The whole program on the simulated desktop.
#include <gtest/gtest.h>

#include "earlier_reader.h"
#include "history/journal.h"
#include "paste_recorder.h"
#include "platform/sim/sim_clipboard.h"
#include "program_fixture.h"

namespace exact_texts_program_test {

namespace {

using namespace platform;
using testing_support::EarlierReading;
using testing_support::EarlierText;
using testing_support::Utf16File;
using Texts = std::vector<std::string>;

constexpr const char* HistoryName = "clipboard_history.hstr";
constexpr const char* JournalName = "clipboard_history.hstr.journal";
constexpr Uint VkF5 = 0x74;

// The texts the format cannot hold as they are, as a shell, a Unix editor and an old Mac one
// put them on the clipboard.
const Texts Awkward = {"a|b", "a\nb", "a\rb", "|"};
// The history shows them newest first.
const Texts AwkwardNewestFirst = {"|", "a\rb", "a\nb", "a|b"};

class ExactTextsTest : public testing_support::ClipboardProgramTest {
 public:
  void CopyAll(const Texts& texts) {
    for (const std::string& text : texts) ASSERT_TRUE(other.CopyText(text));
  }
  // Exit, and the process ends.
  void Exit() {
    ClipboardProgramTest::Exit();
    Kill();
  }
  // The texts of `column` that an earlier version reads from `bytes`, a file of `columns`.
  static std::vector<std::u16string> EarlierTexts(const std::string& bytes, std::size_t columns,
                                                  std::size_t column) {
    std::vector<std::u16string> texts;
    for (const auto& row : EarlierReading(bytes, columns)) texts.push_back(row[column]);
    return texts;
  }
  std::vector<std::u16string> Wide(const Texts& texts) {
    std::vector<std::u16string> wide;
    for (const std::string& text : texts) wide.push_back(desk.codePage.AnsiToWide(text));
    return wide;
  }
  std::vector<std::u16string> EarlierTextsOf(const Texts& texts) {
    std::vector<std::u16string> earlier;
    for (const std::u16string& text : Wide(texts)) earlier.push_back(EarlierText(text));
    return earlier;
  }

  testing_support::PasteRecorder recorder{desk, other};
};

TEST_F(ExactTextsTest, History_CaptureCloseRestartRecopyExportImport_GiveEveryTextBackExactly) {
  StartJoined();
  CopyAll(Awkward);
  EXPECT_EQ(AwkwardNewestFirst, HistoryTexts());

  // The journal holds them exactly.
  Kill();
  Start();
  EXPECT_EQ(AwkwardNewestFirst, HistoryTexts());

  // The history file too, and an earlier version reads it as one row per text, each text as
  // it always read such a text.
  Exit();
  const std::string file = DataFileBytes(HistoryName);
  EXPECT_EQ(EarlierTextsOf(AwkwardNewestFirst), EarlierTexts(file, 3, 2));
  StartJoined();
  EXPECT_EQ(AwkwardNewestFirst, HistoryTexts());
  EXPECT_TRUE(Balloons().empty());

  // A double-click puts the entry back on the clipboard as it was copied.
  Form1().TableGrid2.DblClickCell(2, 2);
  EXPECT_EQ(desk.clipboard.UnicodeText(), u"a\nb");
  EXPECT_EQ((Texts{"a\nb", "|", "a\rb", "a\nb", "a|b"}), HistoryTexts());

  desk.files.MakeFolder("C:\\Exports");
  desk.dialogs.AnswerNextFileDialog("C:\\Exports\\mine");
  Form1().BitBtn5.Click();
  const std::string exported = desk.files.FileBytes("C:\\Exports\\mine.hstr");
  EXPECT_EQ(EarlierTextsOf({"a\nb", "|", "a\rb", "a\nb", "a|b"}), EarlierTexts(exported, 3, 2));

  Form1().BitBtn2.Click();  // Clear All
  ASSERT_EQ(Texts{}, HistoryTexts());
  desk.dialogs.AnswerNextFileDialog("C:\\Exports\\mine.hstr");
  Form1().BitBtn6.Click();
  EXPECT_EQ((Texts{"a\nb", "|", "a\rb", "a\nb", "a|b"}), HistoryTexts());
  Exit();
  Start();
  EXPECT_EQ((Texts{"a\nb", "|", "a\rb", "a\nb", "a|b"}), HistoryTexts());
}

TEST_F(ExactTextsTest, TextsTheFormatHolds_AreWrittenByteForByteAsBefore) {
  PutDataFile(HistoryName, Utf16File("1,12/7/2026 6:00:00 PM,one|two\r\n2,,\"a, \"\"b\"\"\"\r\n"));
  StartJoined();
  EXPECT_EQ((Texts{"one\r\ntwo", "a, \"b\""}), HistoryTexts());
  CopyAll({"line 1\r\nline 2"});
  const std::string date = desk.codePage.WideToAnsi(program->HistoryList().Cell("Date", 0));
  Exit();
  EXPECT_EQ(
      Utf16File("0," + date + ",line 1|line 2\r\n2,12/7/2026 6:00:00 PM,one|two\r\n3,,\"a, \"\"b\"\"\"\r\n"),
      DataFileBytes(HistoryName));
}

TEST_F(ExactTextsTest, ActionWithAPipe_ThroughTheEditorARestartAndItsHotkey_PastesItExactly) {
  StartJoined();
  desk.windows.OnNextModal([this](Hwnd) {
    Tasks().Edit1.UserSetText(u"Errors");
    Tasks().edit2.UserSetText(u"cat log | grep error | sort");
    Tasks().CheckBox5.Toggle();
    for (int i = 0; i < Tasks().ComboBox1.Count(); ++i)
      if (Tasks().ComboBox1.Items()[i].text == "F5") Tasks().ComboBox1.SetItemIndex(i);
    Tasks().BitBtn1.Click();
    if (Tasks().Modal()) Tasks().BitBtn2.Click();
  });
  Form1().Add_b.Click();
  ASSERT_EQ(Form1().TableGrid1.Rows().RowCount(), 1);
  // An earlier version shows the pipes as line breaks, as it always did.
  EXPECT_EQ(std::vector<std::u16string>{u"cat log \r\n grep error \r\n sort"},
            EarlierTexts(DataFileBytes("actions.cnfg"), 5, 3));

  Restart();
  desk.windows.Advance(1000);
  EXPECT_EQ(Form1().TableGrid1.Rows().Cell("TextColumn2", 0), u"cat log | grep error | sort");
  ASSERT_TRUE(other.CopyText("mine"));
  recorder.Start();
  ASSERT_TRUE(desk.hotkeys.Press(ModControl, VkF5));
  desk.windows.Advance(1);
  EXPECT_EQ(recorder.pasted, Texts{"cat log | grep error | sort"});
  EXPECT_EQ(desk.clipboard.Text(), "mine");

  // Exported and imported, the action keeps it.
  desk.files.MakeFolder("C:\\Users\\me");
  desk.dialogs.AnswerNextFileDialog("C:\\Users\\me\\mine");
  Form1().BitBtn3.Click();
  desk.dialogs.AnswerNextFileDialog("C:\\Users\\me\\mine");
  Form1().BitBtn4.Click();
  ASSERT_EQ(Form1().TableGrid1.Rows().RowCount(), 2);
  EXPECT_EQ(Form1().TableGrid1.Rows().Cell("TextColumn2", 1), u"cat log | grep error | sort");
}

TEST_F(ExactTextsTest, ActionsFileOfAnEarlierVersion_WithAPipe_ReadsAsItAlwaysDid) {
  PutDataFile("actions.cnfg", Utf16File("1,Old,No,a|b,V\r\n"));
  StartJoined();
  EXPECT_EQ(Form1().TableGrid1.Rows().Cell("TextColumn2", 0), u"a\r\nb");
  EXPECT_TRUE(Balloons().empty());
}

// ---- Damage ----

// The payload offsets of the journal's records.
std::vector<history::JournalContent::Payload> JournalRecords(const std::string& bytes) {
  return history::DecodeJournal(bytes).records;
}

TEST_F(ExactTextsTest, JournalWithOneDamagedRecordOfFive_KeepsTheOtherFour_AndACopyOfTheDamage) {
  PutDataFile(HistoryName, Utf16File("1,12/7/2026 6:00:00 PM,old\r\n"));
  StartJoined();
  CopyAll({"one", "two", "three", "four", "five"});
  Kill();
  std::string journal = DataFileBytes(JournalName);
  const auto records = JournalRecords(journal);
  ASSERT_EQ(5u, records.size());
  journal[records[1].offset + records[1].size - 1] ^= 0x04;  // one bit of the second's text
  PutDataFile(JournalName, journal);

  StartJoined();
  EXPECT_EQ((Texts{"five", "four", "three", "one", "old"}), HistoryTexts());
  EXPECT_EQ(journal, DataFileBytes("clipboard_history.hstr.malformed.journal"));
  ASSERT_EQ(1u, Balloons().size());
  EXPECT_NE(std::string::npos, Balloons()[0].find("clipboard_history.hstr.malformed.journal"))
      << Balloons()[0];

  // The journal was written anew with the four: a kill now loses none of them.
  CopyAll({"six"});
  Kill();
  Start();
  EXPECT_EQ((Texts{"six", "five", "four", "three", "one", "old"}), HistoryTexts());
  Exit();
  EXPECT_FALSE(DataFileExists(JournalName));
  EXPECT_EQ(journal, DataFileBytes("clipboard_history.hstr.malformed.journal"));
}

TEST_F(ExactTextsTest, JournalWithGarbageAfterItsRecords_KeepsEveryRecord_AndACopy) {
  StartJoined();
  CopyAll({"one", "a|b", "a\nb"});
  Kill();
  const std::string journal = DataFileBytes(JournalName) + "\x13garbage written over the end";
  PutDataFile(JournalName, journal);
  Start();
  EXPECT_EQ((Texts{"a\nb", "a|b", "one"}), HistoryTexts());
  EXPECT_EQ(journal, DataFileBytes("clipboard_history.hstr.malformed.journal"));
  Kill();
  Start();
  EXPECT_EQ((Texts{"a\nb", "a|b", "one"}), HistoryTexts());
  EXPECT_EQ(3u, JournalRecords(DataFileBytes(JournalName)).size());
  EXPECT_FALSE(DataFileExists("clipboard_history.hstr.malformed2.journal"));
}

TEST_F(ExactTextsTest, HistoryLinesThatDoNotFitTheColumns_KeepTheFileAsideBeforeItIsReplaced) {
  const std::string hand =
      Utf16File("1,12/7/2026 6:00:00 PM,A\r\na line without separators\r\n2,,B,a fourth field\r\nx1,,C\r\n");
  PutDataFile(HistoryName, hand);
  StartJoined();
  EXPECT_EQ((Texts{"A", "", "B", "C"}), HistoryTexts());
  EXPECT_EQ(hand, DataFileBytes("clipboard_history.malformed.hstr"));
  ASSERT_EQ(1u, Balloons().size());
  EXPECT_NE(std::string::npos, Balloons()[0].find("clipboard_history.malformed.hstr")) << Balloons()[0];
  Exit();
  EXPECT_EQ(Utf16File("1,12/7/2026 6:00:00 PM,A\r\n2,,\r\n3,,B\r\n4,,C\r\n"), DataFileBytes(HistoryName));
  EXPECT_EQ(hand, DataFileBytes("clipboard_history.malformed.hstr"));

  // The file the program wrote reads without a word.
  Start();
  EXPECT_EQ(1u, Balloons().size());
}

TEST_F(ExactTextsTest, ActionsLineWithoutSeparators_KeepsTheFileAside) {
  const std::string hand = Utf16File("1,A,No,text,V\r\nHello there\r\n");
  PutDataFile("actions.cnfg", hand);
  StartJoined();
  EXPECT_EQ(Form1().TableGrid1.Rows().RowCount(), 2);
  EXPECT_EQ(hand, DataFileBytes("actions.malformed.cnfg"));
}

// A copy of tens of megabytes: the window answers between the pieces of its journal record,
// the record is whole when a kill comes after them, and the text comes back exactly.
TEST_F(ExactTextsTest, HugeCopy_IsJournaledInPiecesBetweenMessages_AndComesBackExactly) {
  std::u16string huge = u"first line of a huge copy\r\n";
  while (huge.size() < 12'000'000) huge += u"x|y\nz\u20AC\U0001F600 ";
  StartJoined();
  auto journalBytes = [this] { return desk.files.FileSize(DataFile(JournalName)); };
  const std::size_t before = journalBytes();
  const int flushes = desk.files.Flushes();
  ASSERT_TRUE(other.CopyUnicodeText(huge));
  EXPECT_EQ(huge, program->HistoryList().Cell("Clipboadrs_history", 0));
  // Not all of it yet: the rest goes a piece at each tick, so that messages are answered between.
  EXPECT_LT(journalBytes(), before + 2 * huge.size());
  int ticks = 0;
  while (journalBytes() < before + 2 * huge.size() && ticks < 100) {
    desk.windows.Advance(1);
    ++ticks;
  }
  EXPECT_GE(ticks, 2);
  // Flushed as its last piece went out, not a second after the copy, when the pieces might
  // still be going out and the rest would be written at once.
  EXPECT_EQ(flushes + 1, desk.files.Flushes());
  Kill();
  StartJoined();
  ASSERT_EQ(1, program->HistoryList().RowCount());
  EXPECT_TRUE(program->HistoryList().Cell("Clipboadrs_history", 0) == huge);
  ASSERT_TRUE(other.CopyText("small"));
  Form1().TableGrid2.DblClickCell(2, 1);
  EXPECT_TRUE(desk.clipboard.UnicodeText() == huge);
  EXPECT_TRUE(Balloons().empty());
}

}  // namespace
}  // namespace exact_texts_program_test

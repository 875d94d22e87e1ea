// Sealed files in the whole program: with settings line 7 at -1 no file in Data holds the user's
// texts, both forms read, a file that does not open is left exactly as it is, and nothing of a
// run is lost for it.
#include <gtest/gtest.h>

#include <tuple>

#include "grid/sealed_file.h"
#include "platform/sim/sim_clipboard.h"
#include "program_fixture.h"

namespace sealed_program_test {

namespace {

using testing_support::Utf16File;
using Texts = std::vector<std::string>;

constexpr const char* Sealed = "0\r\n-1\r\n1\r\n65581\r\n0\r\n0\r\n-1\r\n114774\r\n";
constexpr const char* Plain = "0\r\n-1\r\n1\r\n65581\r\n0\r\n0\r\n0\r\n";
constexpr const char* History = "clipboard_history.hstr";
constexpr const char* Journal = "clipboard_history.hstr.journal";
constexpr const char* Actions = "actions.cnfg";

class SealedProgramTest : public testing_support::ClipboardProgramTest {
 public:
  ~SealedProgramTest() override { EXPECT_EQ(desk.crypto.NonceReuses(), 0); }
  bool IsSealed(const char* name) { return grid::IsSealed(DataFileBytes(name)); }
  std::vector<std::u16string> ActionTexts() {
    std::vector<std::u16string> texts;
    for (int row = 0; row < program->ActionTable().RowCount(); ++row)
      texts.push_back(program->ActionTable().Cell("TextColumn2", row));
    return texts;
  }
};

TEST_F(SealedProgramTest, ACopy_IsSealedInTheJournalAtOnce_AndInTheFileAtTheClose_AndReadsBack) {
  PutDataFile("settings.stng", Sealed);
  PutDataFile(Actions, Utf16File("1,Greeting,No,my action text,V\r\n"));
  StartJoined();
  EXPECT_TRUE(IsSealed(Actions)) << "a plain file is sealed at the start";
  ASSERT_TRUE(other.CopyText("my secret copy"));
  desk.windows.Advance(1000);
  EXPECT_TRUE(IsSealed(Journal));
  EXPECT_EQ(DataFilesHolding("my secret copy"), Texts{});
  EXPECT_EQ(DataFilesHolding("my action text"), Texts{});
  Exit();
  EXPECT_TRUE(IsSealed(History));
  EXPECT_FALSE(DataFileExists(Journal));
  EXPECT_EQ(DataFilesHolding("my secret copy"), Texts{});
  EXPECT_EQ(DataFileBytes("settings.stng"), Sealed);

  Restart();
  EXPECT_EQ(HistoryTexts(), Texts{"my secret copy"});
  EXPECT_EQ(ActionTexts(), std::vector<std::u16string>{u"my action text"});
  EXPECT_TRUE(Form1().SealBox.Checked());
}

TEST_F(SealedProgramTest, TheOption_SealsPlainFiles_AndMakesSealedOnesPlainAgain_AtOnce) {
  PutDataFile("settings.stng", Plain);
  PutDataFile(History, Utf16File("1,12/7/2026 6:00:00 PM,old entry\r\n"));
  PutDataFile(Actions, Utf16File("1,Greeting,No,my action text,V\r\n"));
  StartJoined();
  ASSERT_TRUE(other.CopyText("fresh copy"));
  EXPECT_FALSE(Form1().SealBox.Checked());
  Form1().SealBox.Toggle();
  Form1().PrivacyApply.Click();
  EXPECT_TRUE(IsSealed(History));
  EXPECT_TRUE(IsSealed(Actions));
  EXPECT_EQ(DataFilesHolding("old entry"), Texts{});
  EXPECT_EQ(DataFilesHolding("fresh copy"), Texts{});
  EXPECT_EQ(DataFileBytes("settings.stng"), Sealed);
  ASSERT_TRUE(other.CopyText("copy while sealed"));
  desk.windows.Advance(1000);
  EXPECT_EQ(DataFilesHolding("copy while sealed"), Texts{});

  Form1().SealBox.Toggle();
  Form1().PrivacyApply.Click();
  EXPECT_FALSE(IsSealed(History));
  EXPECT_FALSE(IsSealed(Actions));
  EXPECT_EQ(DataFilesHolding("copy while sealed"), Texts{History});
  EXPECT_EQ(DataFilesHolding("old entry"), Texts{History});
  Restart();
  EXPECT_EQ(HistoryTexts(), (Texts{"copy while sealed", "fresh copy", "old entry"}));
}

// Another account's file (or one with a changed byte) is left exactly as it is; the run's
// copies wait in a journal of their own and join the history once the file reads again.
TEST_F(SealedProgramTest, AFileThatDoesNotOpen_IsLeftAsItIs_TheRunsCopiesJoinOnceItReadsAgain) {
  auto emptyClipboard = [this] {
    // Otherwise each start records the text the clipboard still holds.
    desk.clipboard.OpenClipboard(other.Window());
    desk.clipboard.EmptyClipboard();
    desk.clipboard.CloseClipboard();
  };
  PutDataFile("settings.stng", Sealed);
  desk.crypto.SetAccount("someone else");
  StartJoined();
  ASSERT_TRUE(other.CopyText("their entry"));
  Exit();
  const std::string theirs = DataFileBytes(History);
  desk.crypto.SetAccount("user");
  desk.files.Delete(DataFile(History));
  Restart();
  desk.windows.Advance(1000);
  ASSERT_TRUE(other.CopyText("kept entry"));
  Exit();
  const std::string good = DataFileBytes(History);

  std::string changed = good;
  changed[changed.size() - 20] ^= 0x04;
  emptyClipboard();

  for (const auto& [cause, file, told] : {std::tuple{"another account", theirs, "another Windows account"},
                                          std::tuple{"a changed byte", changed, "changed"}}) {
    SCOPED_TRACE(cause);
    PutDataFile(History, file);
    Restart();
    desk.windows.Advance(1000);
    EXPECT_TRUE(HistoryTexts().empty());
    ASSERT_FALSE(Balloons().empty());
    EXPECT_NE(Balloons().back().find(told), std::string::npos) << Balloons().back();
    const std::string copy = std::string("copy during ") + cause;
    ASSERT_TRUE(other.CopyText(copy));
    Exit();
    emptyClipboard();
    EXPECT_EQ(DataFileBytes(History), file) << "left byte for byte";
    EXPECT_EQ(DataFilesHolding(copy), Texts{});

    PutDataFile(History, good);
    Restart();
    EXPECT_EQ(HistoryTexts(), (Texts{copy, "kept entry", "their entry"}));
    Exit();
    emptyClipboard();
  }
}

TEST_F(SealedProgramTest, Journal_AChangedOrCutRecordCostsOnlyItself) {
  PutDataFile("settings.stng", Sealed);
  StartJoined();
  for (const char* text : {"one", "two", "three"}) ASSERT_TRUE(other.CopyText(text));
  desk.windows.Advance(1000);
  const std::string journal = DataFileBytes(Journal);
  program.reset();  // killed: the journal is all there is

  std::string changed = journal;
  const std::size_t second = changed.find("SREC", changed.find("SREC") + 1);
  changed[second + 30] ^= 0x01;
  PutDataFile(Journal, changed);
  desk.windows.StartNewProcess();
  Start();
  EXPECT_EQ(HistoryTexts(), (Texts{"three", "one"}));
  program.reset();

  PutDataFile(Journal, journal.substr(0, journal.size() - 5));  // the last record cut by a crash
  desk.windows.StartNewProcess();
  Start();
  EXPECT_EQ(HistoryTexts(), (Texts{"two", "one"}));
}

TEST_F(SealedProgramTest, AChangedActionsFile_IsLeftAsItIs_ChangesGoAside) {
  PutDataFile("settings.stng", Sealed);
  PutDataFile(Actions, Utf16File("1,Greeting,No,my action text,V\r\n"));
  StartJoined();
  Exit();
  std::string file = DataFileBytes(Actions);
  file[file.size() - 3] ^= 0x40;
  PutDataFile(Actions, file);
  Restart();
  EXPECT_TRUE(ActionTexts().empty());
  program->Actions().Table().SetCell("TextColumn2", program->Actions().Table().AppendRow(), u"new action");
  program->Actions().Changed();
  EXPECT_EQ(DataFileBytes(Actions), file);
  EXPECT_TRUE(IsSealed("actions.saved-aside.cnfg"));
  EXPECT_EQ(DataFilesHolding("new action"), Texts{});
}

TEST_F(SealedProgramTest, Export_IsPlain_Import_ReadsBothForms) {
  PutDataFile("settings.stng", Sealed);
  StartJoined();
  ASSERT_TRUE(other.CopyText("exported entry"));
  Exit();
  const std::string sealedFile = DataFileBytes(History);
  Restart();
  desk.files.MakeFolder("C:\\Exports");
  desk.dialogs.AnswerNextFileDialog("C:\\Exports\\mine");
  Form1().BitBtn5.Click();
  EXPECT_FALSE(grid::IsSealed(desk.files.FileBytes("C:\\Exports\\mine.hstr")));
  EXPECT_NE(desk.files.FileBytes("C:\\Exports\\mine.hstr").find(Utf16File("exported entry").substr(2)),
            std::string::npos);

  desk.files.PutFile("C:\\Exports\\sealed.hstr", sealedFile);
  desk.dialogs.AnswerNextFileDialog("C:\\Exports\\sealed.hstr");
  Form1().BitBtn6.Click();
  EXPECT_EQ(HistoryTexts(), (Texts{"exported entry", "exported entry"}));
}

// The program ended after the sealed file took the journal's copies but before the journal
// was emptied: the next start shows each copy once.
TEST_F(SealedProgramTest, EndedBetweenTheFileAndTheJournalsFold_EachCopyOnce) {
  PutDataFile("settings.stng", Sealed);
  StartJoined();
  for (const char* text : {"alpha", "beta"}) ASSERT_TRUE(other.CopyText(text));
  desk.windows.Advance(1000);
  const std::string journal = DataFileBytes(Journal);
  Exit();
  PutDataFile(Journal, journal);  // as if the fold had not happened
  Restart();
  EXPECT_EQ(HistoryTexts(), (Texts{"beta", "alpha"}));
}

}  // namespace
}  // namespace sealed_program_test

// Sealed files that were tampered with between runs, or swapped with one another: whatever the
// history file or the journal holds, the start shows the window and what could be read, tells
// the user once why the rest could not, never replaces a file it could not read, and keeps the
// run's copies for when the file reads again.
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "grid/sealed_file.h"
#include "platform/sim/sim_clipboard.h"
#include "program_fixture.h"

namespace sealed_hostile_program_test {

namespace {

using Texts = std::vector<std::string>;

constexpr const char* Sealed = "0\r\n-1\r\n1\r\n65581\r\n0\r\n0\r\n-1\r\n";
constexpr const char* History = "clipboard_history.hstr";
constexpr const char* Journal = "clipboard_history.hstr.journal";

class SealedHostileTest : public testing_support::ClipboardProgramTest {
 public:
  ~SealedHostileTest() override { EXPECT_EQ(desk.crypto.NonceReuses(), 0); }
  void EmptyClipboard() {
    desk.clipboard.OpenClipboard(other.Window());
    desk.clipboard.EmptyClipboard();
    desk.clipboard.CloseClipboard();
  }
  // A sealed history of the texts, made by a run of its own; with `journal`, also what that
  // run's journal held before its close folded it in.
  std::string MakeHistory(const Texts& texts, std::string* journal = nullptr) {
    desk.files.Delete(DataFile(History));
    StartJoined();
    for (const std::string& text : texts) EXPECT_TRUE(other.CopyText(text));
    desk.windows.Advance(1000);
    if (journal) *journal = DataFileBytes(Journal);
    Exit();
    Kill();
    EmptyClipboard();
    return DataFileBytes(History);
  }
  static std::size_t HeaderBytes(const std::string& sealed) {
    std::uint32_t blob = 0;
    std::memcpy(&blob, sealed.data() + 12, 4);
    return 16 + blob;
  }
};

TEST_F(SealedHostileTest, ASwappedCutOrLengthenedHistory_IsLeftByteForByte_TheUserIsTold_TheRunsCopiesWait) {
  PutDataFile("settings.stng", Sealed);
  const std::string mine = MakeHistory({"mine one", "mine two"});
  const std::string theirs = MakeHistory({"theirs"});
  ASSERT_TRUE(grid::IsSealed(mine) && grid::IsSealed(theirs));
  const std::size_t header = HeaderBytes(mine);
  ASSERT_LT(header, mine.size());

  const std::vector<std::tuple<const char*, std::string, const char*>> tampered = {
      {"its header on another file's chunks", mine.substr(0, header) + theirs.substr(HeaderBytes(theirs)),
       "changed"},
      {"another file's header on its chunks", theirs.substr(0, HeaderBytes(theirs)) + mine.substr(header),
       "changed"},
      {"cut in its last chunk", mine.substr(0, mine.size() - 7), "changed"},
      {"cut after its header", mine.substr(0, header + 3), "damaged"},
      {"cut inside its header", mine.substr(0, header - 5), "damaged"},
      {"only its magic", mine.substr(0, grid::SealedMagicBytes), "damaged"},
      {"garbage after its end", mine + "garbage after the end", "changed"},
      {"a whole chunk repeated", mine + mine.substr(header + 8), "changed"},
  };
  for (const auto& [what, file, told] : tampered) {
    SCOPED_TRACE(what);
    PutDataFile(History, file);
    desk.files.Delete(DataFile(Journal));
    const std::size_t before = Balloons().size();
    StartJoined();
    EXPECT_TRUE(HistoryTexts().empty());
    ASSERT_EQ(before + 1, Balloons().size());
    EXPECT_NE(std::string::npos, Balloons().back().find(told)) << Balloons().back();
    ASSERT_TRUE(other.CopyText(std::string("copy with ") + what));
    Exit();
    Kill();
    EmptyClipboard();
    EXPECT_EQ(file, DataFileBytes(History)) << "replaced";
    // The good file back: the copy made meanwhile joins it.
    PutDataFile(History, mine);
    StartJoined();
    EXPECT_EQ((Texts{std::string("copy with ") + what, "mine two", "mine one"}), HistoryTexts());
    Exit();
    Kill();
    EmptyClipboard();
  }
}

TEST_F(SealedHostileTest, AnotherRunsJournal_AddsItsCopies_AnotherAccountsIsLeftAsItIsAndTold) {
  PutDataFile("settings.stng", Sealed);
  std::string theirJournal;
  MakeHistory({"theirs"}, &theirJournal);
  const std::string mine = MakeHistory({"mine"});
  // The same account's journal of another history: its copies are the user's own, and join.
  PutDataFile(History, mine);
  PutDataFile(Journal, theirJournal);
  StartJoined();
  EXPECT_EQ((Texts{"theirs", "mine"}), HistoryTexts());
  Exit();
  Kill();
  EmptyClipboard();

  // Another account's: nothing of it opens, the user is told, and it stays as it is for the
  // account that can read it; the history, which did read, is written as usual.
  desk.crypto.SetAccount("someone else");
  std::string foreign;
  MakeHistory({"foreign"}, &foreign);
  desk.crypto.SetAccount("user");
  PutDataFile(History, mine);
  PutDataFile(Journal, foreign);
  const std::size_t before = Balloons().size();
  StartJoined();
  EXPECT_EQ((Texts{"mine"}), HistoryTexts());
  ASSERT_EQ(before + 1, Balloons().size());
  EXPECT_NE(std::string::npos, Balloons().back().find("journal")) << Balloons().back();
  ASSERT_TRUE(other.CopyText("copy beside it"));
  Exit();
  Kill();
  EXPECT_EQ(foreign, DataFileBytes(Journal));
  StartJoined();
  EXPECT_EQ((Texts{"copy beside it", "mine"}), HistoryTexts());
}

}  // namespace
}  // namespace sealed_hostile_program_test

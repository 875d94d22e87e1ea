// Sync between computers, each a program on a simulated desktop of its own, whose sync folders a
// simulated engine keeps alike: late, torn, twice, in any order and as conflict copies.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "app/entry_commands.h"
#include "app/program.h"
#include "app/unit1.h"
#include "clipboard/image_formats.h"
#include "clipboard/paste_writes.h"
#include "history/entry_changes.h"
#include "history/entry_id.h"
#include "history/history_table.h"
#include "history/item_store.h"
#include "image_support.h"
#include "platform/sim/sim_clipboard.h"
#include "platform/sim/sim_desktop.h"
#include "platform/utf.h"
#include "sync/sync_code.h"
#include "sync_computer.h"

namespace sync_program_test {

namespace {

namespace fs = std::filesystem;
using testing_support::SyncComputer;
constexpr const char* SyncFolder = SyncComputer::SyncFolder;
constexpr const char* DataFolder = SyncComputer::DataFolder;

struct Computer : SyncComputer {
  explicit Computer(int n) : SyncComputer(0x1000 + static_cast<std::uint64_t>(n) * 7919) {}
  void Start() {
    program = std::make_unique<app::Program>(desk);
    program->Start();
    desk.windows.Advance(1000);  // joins the viewer chain
  }
  void Kill() {
    program.reset();
    desk.windows.StartNewProcess();
  }
  void Copy(const std::string& text) {
    other.CopyText(text);
    desk.windows.Pump();
  }

  std::set<std::string> had;  // the files of its folder at the engine's last look
};

std::string Bytes(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// The engine: what one folder holds reaches the other, in the ways engines deliver it.
struct Engine {
  enum Mode { Whole, Torn, Twice, ConflictCopies, Reversed };
  static void Deliver(Computer& from, Computer& to, Mode mode, std::mt19937& random) {
    if (!fs::exists(from.Shared())) return;
    fs::create_directories(to.Shared());
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(from.Shared())) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    if (mode == Reversed) std::reverse(files.begin(), files.end());
    for (const fs::path& file : files) {
      const std::string name = file.filename().string();
      if (name.ends_with(".tmp")) continue;
      const std::string bytes = Bytes(file);
      const fs::path target = to.Shared() / name;
      // An engine carries a change to the others; it never puts an older copy over a newer one.
      if (fs::exists(target) && Bytes(target).size() >= bytes.size()) continue;
      auto put = [](const fs::path& path, const std::string& content) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << content;
      };
      if (mode == Torn && bytes.size() > 8) {
        // Half delivered first: the reader sees it so before the rest comes.
        put(target, bytes.substr(0, std::uniform_int_distribution<std::size_t>(1, bytes.size() - 1)(random)));
        to.desk.windows.Advance(1000);
        to.desk.windows.Advance(10);
      }
      put(target, bytes);
      if (mode == Twice) put(target, bytes);
      if (mode == ConflictCopies) {
        const std::size_t dot = name.find('.');
        put(to.Shared() / (name.substr(0, dot) + ".sync-conflict-20261208-093000-ABCDEFG" + name.substr(dot)),
            bytes);
        put(to.Shared() / (name.substr(0, dot) + " (Laptop's conflicted copy 2026-12-08)" + name.substr(dot)),
            bytes);
        put(to.Shared() / ("~syncthing~" + name + ".tmp"), bytes.substr(0, bytes.size() / 2));
      }
    }
  }
};

class SyncProgramTest : public ::testing::Test {
 public:
  SyncProgramTest() : random(38) {}
  Computer& Add() {
    computers.push_back(std::make_unique<Computer>(static_cast<int>(computers.size())));
    computers.back()->Start();
    return *computers.back();
  }
  // The engine carries every folder to every other, and each program has its turn.
  void Settle(Engine::Mode mode = Engine::Whole, int rounds = 3) {
    for (int round = 0; round < rounds; ++round) {
      // A file its computer removed goes from the others' folders too.
      for (auto& computer : computers) {
        std::set<std::string> now;
        if (fs::exists(computer->Shared()))
          for (const auto& entry : fs::directory_iterator(computer->Shared()))
            now.insert(entry.path().filename().string());
        for (const std::string& name : computer->had)
          if (!now.count(name))
            for (auto& other : computers) fs::remove(other->Shared() / name);
      }
      for (auto& computer : computers) {
        computer->had.clear();
        if (fs::exists(computer->Shared()))
          for (const auto& entry : fs::directory_iterator(computer->Shared()))
            computer->had.insert(entry.path().filename().string());
      }
      for (auto& from : computers)
        for (auto& to : computers)
          if (from != to && from->program && to->program) Engine::Deliver(*from, *to, mode, random);
      for (auto& computer : computers)
        if (computer->program) {
          computer->desk.windows.Advance(1000);
          computer->desk.windows.Advance(10);
        }
    }
  }
  // Two computers syncing: the first made the code, the second typed it.
  void Pair() {
    Computer& a = Add();
    Computer& b = Add();
    ASSERT_TRUE(a.StartSync());
    Settle();
    ASSERT_TRUE(b.StartSync(a.Code())) << b.program->Sync().Status();
    Settle();
  }
  std::vector<std::unique_ptr<Computer>> computers;
  std::mt19937 random;
};

bool AnyFileHolds(const fs::path& folder, const std::string& ascii) {
  std::string wide;
  for (char c : ascii) wide.append(1, c).append(1, '\0');
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string bytes = Bytes(entry.path());
    if (bytes.find(ascii) != std::string::npos || bytes.find(wide) != std::string::npos) return true;
  }
  return false;
}

TEST_F(SyncProgramTest, CopiesTravelBothWaysOnce_ThroughEveryWayAnEngineDelivers_AndNoFileHoldsThem) {
  Pair();
  Computer& a = *computers[0];
  Computer& b = *computers[1];
  EXPECT_EQ(a.program->Sync().Status().rfind("Synced with 1 other computer", 0), 0u)
      << a.program->Sync().Status();
  int n = 0;
  for (Engine::Mode mode :
       {Engine::Whole, Engine::Torn, Engine::Twice, Engine::ConflictCopies, Engine::Reversed}) {
    const std::string mine = "from a " + std::to_string(n), theirs = "from b " + std::to_string(n);
    a.Copy(mine);
    a.desk.windows.Advance(5000);
    b.desk.windows.Advance(5000);
    b.Copy(theirs);
    Settle(mode);
    // Each once, in the order of their copies, on both.
    const std::vector<std::string> expected{theirs, mine};
    for (Computer* c : {&a, &b}) {
      std::vector<std::string> texts = c->Texts();
      texts.resize(2);
      EXPECT_EQ(texts, expected) << "mode " << mode;
      EXPECT_EQ(c->program->HistoryList().RowCount(), 2 * (n + 1)) << "mode " << mode;
    }
    // The same id on both.
    EXPECT_EQ(a.program->HistoryList().Cell(history::EntryIdColumn, 1),
              b.program->HistoryList().Cell(history::EntryIdColumn, 1));
    EXPECT_FALSE(AnyFileHolds(a.Shared(), mine));
    EXPECT_FALSE(AnyFileHolds(b.Shared(), theirs));
    ++n;
  }
  EXPECT_EQ(a.desk.crypto.NonceReuses(), 0);
  EXPECT_EQ(b.desk.crypto.NonceReuses(), 0);
}

TEST_F(SyncProgramTest, DeleteSelectedClearAllAndTheLimits_ReachTheOthers_AndThreeComputersAgree) {
  Pair();
  Computer& a = *computers[0];
  Computer& b = *computers[1];
  Computer& c = Add();
  ASSERT_TRUE(c.StartSync(a.Code()));
  for (const char* text : {"one", "two", "three", "four", "five"}) {
    a.Copy(text);
    a.desk.windows.Advance(1000);
  }
  Settle(Engine::Reversed);
  ASSERT_EQ(c.Texts(), (std::vector<std::string>{"five", "four", "three", "two", "one"}));
  // "Delete selected" on b.
  b.program->HistoryList().SetRowSelected(1, true);
  b.program->Form1().BitBtn1.Click();
  Settle(Engine::ConflictCopies);
  for (Computer* x : {&a, &b, &c})
    EXPECT_EQ(x->Texts(), (std::vector<std::string>{"five", "three", "two", "one"}));
  // c keeps at most 3: what its limit removes goes everywhere.
  c.program->Form1().KeepAtMost_e.UserSetText(u"3");
  c.program->Form1().PrivacyApply.Click();
  Settle();
  for (Computer* x : {&a, &b, &c}) EXPECT_EQ(x->Texts(), (std::vector<std::string>{"five", "three", "two"}));
  // "Clear All" on a.
  a.program->Form1().BitBtn2.Click();
  Settle(Engine::Torn);
  for (Computer* x : {&a, &b, &c}) EXPECT_TRUE(x->Texts().empty());
  // A copy after the clear is not cleared.
  b.Copy("after");
  Settle();
  for (Computer* x : {&a, &b, &c}) EXPECT_EQ(x->Texts(), std::vector<std::string>{"after"});
}

TEST_F(SyncProgramTest, PrivateCopiesAndCopiesKeptOffTheCloud_NeverReachTheFolder) {
  Pair();
  Computer& a = *computers[0];
  Computer& b = *computers[1];
  auto copyMarked = [&](const std::string& text, const char* mark) {
    const platform::Uint format = a.desk.clipboard.RegisterClipboardFormatA(mark);
    a.other.CopyFormats({{platform::CfText, text + std::string(1, '\0')}, {format, std::string(4, '\0')}});
    a.desk.windows.Pump();
  };
  copyMarked("secret password", "CanIncludeInClipboardHistory");
  copyMarked("local only", clipboard::CanUploadToCloudFormat);
  a.Copy("shared");
  Settle();
  EXPECT_EQ(a.Texts(), (std::vector<std::string>{"shared", "local only"}));
  EXPECT_EQ(b.Texts(), std::vector<std::string>{"shared"});
  for (const char* text : {"secret", "local only"}) EXPECT_FALSE(AnyFileHolds(a.Shared(), text));
  // Nor does a password manager's copy (a program kept out by default), nor one its owner
  // marked as no monitor's business.
  sim::ForeignProgram vault(a.desk.clipboard, "KeePass");
  a.desk.windows.SetWindowProgramFileName(vault.Window(), "KeePass.exe");
  ASSERT_TRUE(vault.CopyText("vault password"));
  ASSERT_TRUE(a.other.CopyExcludedText("monitor secret"));
  a.desk.windows.Pump();
  Settle();
  EXPECT_EQ(b.Texts(), std::vector<std::string>{"shared"});
  for (const char* text : {"vault password", "monitor secret"}) EXPECT_FALSE(AnyFileHolds(a.Shared(), text));
  // Nor does a pause let anything through.
  a.program->Form1().PauseRecordingItem.Click();
  a.Copy("paused");
  Settle();
  EXPECT_EQ(b.Texts(), std::vector<std::string>{"shared"});
}

TEST_F(SyncProgramTest, AWrongOrMistypedCode_IsRefusedAndNothingIsWritten) {
  Computer& a = Add();
  Computer& b = Add();
  ASSERT_TRUE(a.StartSync());
  Settle();
  const auto before = [&] {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(b.Shared()))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  };
  const std::vector<std::string> names = before();
  // Without a code, with another computer's code, and with one character changed.
  syncing::SyncKey other{};
  other[0] = 1;
  std::string mistyped = a.Code();
  mistyped[5] = mistyped[5] == 'A' ? 'B' : 'A';
  for (const std::string& code : {std::string(), syncing::SyncCodeText(other), mistyped}) {
    EXPECT_FALSE(b.StartSync(code)) << code;
    EXPECT_EQ(b.Box().SyncStart.Caption(), "Start sync");
    EXPECT_FALSE(b.Box().SyncStatus.Caption().empty());
    EXPECT_EQ(before(), names);
  }
  // Lower case, spaces for the dashes: the same code.
  std::string typed = a.Code();
  std::replace(typed.begin(), typed.end(), '-', ' ');
  std::transform(typed.begin(), typed.end(), typed.begin(), ::tolower);
  EXPECT_TRUE(b.StartSync(typed)) << b.program->Sync().Status();
  EXPECT_EQ(b.Box().SyncStart.Caption(), "Stop sync");
}

TEST_F(SyncProgramTest, AKillInTheMiddleOfAWrite_CostsNoEntry_AndSyncGoesOnAfterTheRestart) {
  Pair();
  Computer& a = *computers[0];
  Computer& b = *computers[1];
  a.Copy("before");
  Settle();
  a.desk.files.FailWritesAfter(20);  // the next log write stops short
  a.Copy("cut");
  a.desk.windows.Advance(1000);
  a.Kill();
  a.desk.files.ClearFaults();
  Settle();  // b reads up to what is whole
  EXPECT_EQ(b.Texts(), std::vector<std::string>{"before"});
  a.Start();  // sync goes on by itself: the key is kept
  ASSERT_TRUE(a.program->Sync().Active()) << a.program->Sync().Status();
  a.Copy("after");
  Settle();
  EXPECT_EQ(b.Texts()[0], "after");
  EXPECT_EQ(a.desk.crypto.NonceReuses(), 0);
}

TEST_F(SyncProgramTest, AComputerAwayFor10000Entries_CatchesUp_AndCompactionKeepsWhatIsLeft) {
  Pair();
  Computer& a = *computers[0];
  Computer& b = *computers[1];
  b.Exit();
  for (int i = 0; i < 10000; ++i) a.Copy("entry " + std::to_string(i));
  Settle(Engine::Whole, 1);
  b.Start();
  ASSERT_TRUE(b.program->Sync().Active());
  Settle(Engine::Whole, 2);
  ASSERT_EQ(b.program->HistoryList().RowCount(), 10000);
  EXPECT_EQ(b.Texts().front(), "entry 9999");
  EXPECT_EQ(b.Texts().back(), "entry 0");
  // Most of them deleted on a: a's log is written anew with the rest.
  grid::Table& list = a.program->HistoryList();
  for (int row = 100; row < list.RowCount(); ++row) list.SetRowSelected(row, true);
  a.program->Form1().BitBtn1.Click();
  const std::uintmax_t before = [&] {
    std::uintmax_t size = 0;
    for (const auto& entry : fs::directory_iterator(a.Shared())) size += entry.file_size();
    return size;
  }();
  Settle();
  std::uintmax_t after = 0;
  bool secondGeneration = false;
  for (const auto& entry : fs::directory_iterator(a.Shared())) {
    after += entry.file_size();
    secondGeneration =
        secondGeneration || entry.path().filename().string().find(".1.cmlog") != std::string::npos;
  }
  EXPECT_TRUE(secondGeneration);
  // What is left, and the ids of what went (16 bytes each), so that a computer away learns of it.
  EXPECT_LT(after, before / 2);
  EXPECT_EQ(b.program->HistoryList().RowCount(), 100);
  // A computer new to the folder gets exactly what is left.
  Computer& c = Add();
  ASSERT_TRUE(c.StartSync(a.Code()));
  Settle();
  EXPECT_EQ(c.Texts(), a.Texts());
}

TEST_F(SyncProgramTest, SealedOnOneSidePlainOnTheOther_TheFolderGoneAndBack) {
  Pair();
  Computer& a = *computers[0];
  Computer& b = *computers[1];
  a.program->Form1().SealBox.SetChecked(true);
  a.program->Form1().PrivacyApply.Click();
  a.Copy("sealed side");
  b.Copy("plain side");
  Settle();
  EXPECT_EQ(a.Texts().size(), 2u);
  EXPECT_EQ(b.Texts().size(), 2u);
  // The folder goes away: told once, and sync goes on when it is back.
  const fs::path real = b.desk.files.RealPath(SyncFolder);
  fs::rename(real, real.string() + "-away");
  for (int i = 0; i < 5; ++i) b.desk.windows.Advance(1000);
  int told = 0;
  for (const sim::NotifyCall& call : b.desk.notifyArea.Calls())
    if ((call.data.uFlags & platform::NifInfo) &&
        std::string(call.data.szInfo).find("cannot be reached") != std::string::npos)
      ++told;
  EXPECT_EQ(told, 1);
  fs::rename(real.string() + "-away", real);
  a.Copy("while away");
  Settle();
  EXPECT_EQ(b.Texts()[0], "while away");
}

TEST_F(SyncProgramTest, AKillRightAfterACopy_KeepsItsId_SoALaterDeleteElsewhereStillFindsIt) {
  Pair();
  Computer& a = *computers[0];
  Computer& b = *computers[1];
  a.Copy("kept through a kill");
  a.desk.windows.Advance(1000);  // the journal's records reach the disk; the file is not written
  const std::u16string id = a.program->HistoryList().Cell(history::EntryIdColumn, 0);
  ASSERT_TRUE(history::ParseEntryId(id));
  a.Kill();
  a.Start();
  ASSERT_EQ(a.Texts(), std::vector<std::string>{"kept through a kill"});
  EXPECT_EQ(a.program->HistoryList().Cell(history::EntryIdColumn, 0), id);
  Settle();
  ASSERT_EQ(b.Texts(), std::vector<std::string>{"kept through a kill"});
  b.program->HistoryList().SetRowSelected(0, true);
  b.program->Form1().BitBtn1.Click();
  Settle();
  EXPECT_TRUE(a.Texts().empty());
  // Nor was it sent twice by the restart.
  a.Copy("next");
  Settle();
  EXPECT_EQ(b.Texts(), std::vector<std::string>{"next"});
}

TEST_F(SyncProgramTest, PinsAndEditsTravel_TheNewestWins_AndAComputerAwayGetsThemWithTheEntries) {
  Pair();
  Computer& a = *computers[0];
  Computer& b = *computers[1];
  a.Copy("first");
  a.desk.windows.Advance(1000);
  a.Copy("second");
  Settle();
  ASSERT_EQ(b.Texts(), (std::vector<std::string>{"second", "first"}));
  // A pin on b, an edit on a of the entry the other made.
  b.program->Entries().TogglePins({1});
  a.desk.windows.Advance(2000);
  history::EditEntryText(a.program->HistoryStore(), 1, u"first, edited");
  Settle(Engine::ConflictCopies);
  for (Computer* x : {&a, &b}) {
    EXPECT_EQ(x->Texts(), (std::vector<std::string>{"second", "first, edited"}));
    EXPECT_TRUE(history::IsPinned(x->program->HistoryList(), 1));
    EXPECT_FALSE(history::IsPinned(x->program->HistoryList(), 0));
  }
  // Both change the same entry; the later one holds on both, whatever order the engine brings.
  b.desk.windows.Advance(1000);
  history::EditEntryText(b.program->HistoryStore(), 0, u"older edit");
  a.desk.windows.Advance(5000);
  history::EditEntryText(a.program->HistoryStore(), 0, u"newer edit");
  Settle(Engine::Reversed);
  for (Computer* x : {&a, &b}) EXPECT_EQ(x->Texts().front(), "newer edit");
  // An unpin goes too, and a computer new to the folder finds every change on its entries.
  a.program->Entries().TogglePins({1});
  Settle();
  EXPECT_FALSE(history::IsPinned(b.program->HistoryList(), 1));
  b.program->Entries().TogglePins({0});
  Settle();
  Computer& c = Add();
  ASSERT_TRUE(c.StartSync(a.Code()));
  Settle();
  EXPECT_EQ(c.Texts(), (std::vector<std::string>{"newer edit", "first, edited"}));
  EXPECT_TRUE(history::IsPinned(c.program->HistoryList(), 0));
  EXPECT_FALSE(history::IsPinned(c.program->HistoryList(), 1));
  // The changes that arrived are kept through a restart, as the user's own are.
  b.Exit();
  b.Start();
  EXPECT_EQ(b.Texts(), (std::vector<std::string>{"newer edit", "first, edited"}));
  EXPECT_TRUE(history::IsPinned(b.program->HistoryList(), 0));
}

TEST_F(SyncProgramTest, TheHistoryBeforeSync_GoesToTheOthersAtItsStart_OnceAndInItsPlaceByDate) {
  Computer& a = Add();
  Computer& b = Add();
  a.Copy("a old");
  for (Computer* x : {&a, &b}) x->desk.windows.Advance(60000);
  b.Copy("b old");
  for (Computer* x : {&a, &b}) x->desk.windows.Advance(60000);
  a.Copy("a newer");
  a.program->Entries().TogglePins({1});
  ASSERT_TRUE(a.StartSync());
  Settle();
  ASSERT_TRUE(b.StartSync(a.Code()));
  Settle();
  for (Computer* x : {&a, &b}) {
    EXPECT_EQ(x->Texts(), (std::vector<std::string>{"a newer", "b old", "a old"}));
    EXPECT_TRUE(history::IsPinned(x->program->HistoryList(), 2));
  }
  // A restart pushes nothing again; what was copied while sync was off goes at its next start.
  a.Exit();
  a.Start();
  Settle();
  EXPECT_EQ(b.Texts().size(), 3u);
  a.Box().SyncStart.Click();  // "Stop sync"
  ASSERT_FALSE(a.program->Sync().Active());
  a.Copy("while off");
  Settle();
  EXPECT_EQ(b.Texts().size(), 3u);
  ASSERT_TRUE(a.StartSync(a.Code()));
  Settle();
  EXPECT_EQ(b.Texts(), (std::vector<std::string>{"while off", "a newer", "b old", "a old"}));
  EXPECT_EQ(a.Texts(), b.Texts());
}

TEST_F(SyncProgramTest, AnImageGoesWithItsPng_OnceItIsCoded) {
  Pair();
  Computer& a = *computers[0];
  Computer& b = *computers[1];
  a.desk.background.SetDelay(3000);  // the PNG takes a while
  const platform::Picture picture = testing_support::TestPicture(6, 4, true);
  ASSERT_TRUE(a.other.CopyFormats(
      {{platform::CfDibV5, testing_support::AsString(clipboard::PictureToDibV5(picture))}}));
  a.desk.windows.Pump();
  a.desk.background.SetDelay(0);
  Settle();
  ASSERT_EQ(b.program->HistoryList().RowCount(), 1);
  const std::u16string reference = b.program->HistoryList().Cell(history::ItemsColumn, 0);
  EXPECT_EQ(reference, a.program->HistoryList().Cell(history::ItemsColumn, 0));
  const std::vector<std::string> names = history::ItemNames(reference);
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(history::ItemKind(names[0]), history::PngItem);
  std::string png;
  EXPECT_TRUE(b.program->HistoryStore().Items().Get(names[0], png));
  // The item's file in the folder is named by a keyed hash, not by the PNG's own.
  for (const auto& entry : fs::directory_iterator(a.Shared()))
    EXPECT_EQ(entry.path().filename().string().find(names[0].substr(0, 16)), std::string::npos);
}

TEST_F(SyncProgramTest, TheIdsOfCopiesBehindALongOneWrittenInPieces_AreKeptByAKillToo) {
  Pair();
  Computer& a = *computers[0];
  // Long enough that its journal record goes out in pieces, and the copy after it waits.
  a.Copy(std::string(history::HistoryStore::PieceBytes / 2 + 10, 'x'));
  a.Copy("short after");
  for (int i = 0; i < 10; ++i) a.desk.windows.Advance(1000);
  const grid::Table& list = a.program->HistoryList();
  const std::vector<std::u16string> ids{list.Cell(history::EntryIdColumn, 0),
                                        list.Cell(history::EntryIdColumn, 1)};
  ASSERT_NE(ids[0], ids[1]);
  a.Kill();
  a.Start();
  ASSERT_EQ(a.program->HistoryList().RowCount(), 2);
  EXPECT_EQ(a.program->HistoryList().Cell(history::EntryIdColumn, 0), ids[0]);
  EXPECT_EQ(a.program->HistoryList().Cell(history::EntryIdColumn, 1), ids[1]);
}

TEST_F(SyncProgramTest, AWriteToTheFolderThatFails_LeavesNoPartOfABlock_AndGoesAgainWithTheNext) {
  Pair();
  Computer& a = *computers[0];
  Computer& b = *computers[1];
  a.Copy("before");
  Settle();
  // The share is full in the middle of the log's write (the journal has its record by then);
  // the program goes on.
  a.desk.background.Hold(true);
  a.Copy("refused");
  a.desk.windows.Advance(1000);
  a.desk.files.FailWritesAfter(20);
  a.desk.background.Hold(false);
  a.desk.windows.Advance(10);
  a.desk.files.ClearFaults();
  a.Copy("after");
  Settle();
  EXPECT_EQ(b.Texts(), (std::vector<std::string>{"after", "refused", "before"}));
  // A computer new to the folder reads all of a's log: nothing stops a reader half-way.
  Computer& c = Add();
  ASSERT_TRUE(c.StartSync(a.Code()));
  Settle();
  EXPECT_EQ(c.Texts(), (std::vector<std::string>{"after", "refused", "before"}));
  EXPECT_EQ(a.desk.crypto.NonceReuses(), 0);
}

}  // namespace
}  // namespace sync_program_test

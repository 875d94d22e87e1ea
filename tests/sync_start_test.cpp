// A program that starts with sync on, while the clipboard still holds what it last recorded and
// the folder holds entries the other computer made meanwhile: the clipboard's old content is not
// taken for a new copy, and so no second entry of it goes to the others.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/program.h"
#include "app/unit1.h"
#include "history/history_store.h"
#include "history/history_table.h"
#include "platform/sim/sim_clipboard.h"
#include "platform/sim/sim_desktop.h"
#include "platform/utf.h"
#include "sync_computer.h"

namespace sync_start_test {

namespace {

namespace fs = std::filesystem;

struct Machine : testing_support::SyncComputer {
  using SyncComputer::SyncComputer;
  // Started as at log-on: the program's first second, before it reads the clipboard, included.
  void Start() {
    program = std::make_unique<app::Program>(desk);
    program->Start();
    for (int ms = 0; ms < 3000; ms += 100) desk.windows.Advance(100);
  }
  void Copy(const std::string& text) {
    other.CopyText(text);
    desk.windows.Pump();
    desk.windows.Advance(2000);
  }
};

// What one folder holds, copied whole into the other, as an engine delivers it.
void Deliver(Machine& from, Machine& to) {
  if (!fs::exists(from.Shared())) return;
  fs::create_directories(to.Shared());
  for (const auto& entry : fs::directory_iterator(from.Shared()))
    fs::copy_file(entry.path(), to.Shared() / entry.path().filename(), fs::copy_options::overwrite_existing);
}

void Settle(Machine& a, Machine& b) {
  for (int round = 0; round < 3; ++round) {
    Deliver(a, b);
    Deliver(b, a);
    a.desk.windows.Advance(1100);
    b.desk.windows.Advance(1100);
  }
}

TEST(SyncStartTest, TheClipboardAsTheStartFindsItIsNoNewCopy_WhenEntriesFromElsewhereComeFirst) {
  Machine a(0x5101), b(0x5202);
  a.Start();
  b.Start();
  ASSERT_TRUE(a.StartSync());
  Settle(a, b);
  ASSERT_TRUE(b.StartSync(platform::Utf16ToUtf8(a.program->Form1().SyncBox.SyncCode_e.Text())))
      << b.program->Sync().Status();
  a.Copy("copied on a");  // and still on a's clipboard after a's exit
  Settle(a, b);
  ASSERT_EQ(b.Texts(), std::vector<std::string>{"copied on a"});

  a.Exit();
  b.Copy("copied on b while a was closed");
  Deliver(b, a);  // the engine ran meanwhile
  a.Start();
  Settle(a, b);
  const std::vector<std::string> expected{"copied on b while a was closed", "copied on a"};
  EXPECT_EQ(a.Texts(), expected);
  EXPECT_EQ(b.Texts(), expected);

  // A copy of that text made afterwards is a copy like any other.
  a.Copy("copied on a");
  Settle(a, b);
  const std::vector<std::string> after{"copied on a", "copied on b while a was closed", "copied on a"};
  EXPECT_EQ(a.Texts(), after);
  EXPECT_EQ(b.Texts(), after);
}

TEST(SyncStartTest, TheClipboardBoxKeepsTheUsersClick_AndWhatComesThenGoesOntoTheClipboard) {
  Machine a(0x5303), b(0x5404);
  a.Start();
  b.Start();
  ASSERT_TRUE(a.StartSync());
  Settle(a, b);
  ASSERT_TRUE(b.StartSync(platform::Utf16ToUtf8(a.program->Form1().SyncBox.SyncCode_e.Text())));
  ui::CheckBox& box = b.program->Form1().SyncBox.SyncToClipboard;
  ASSERT_FALSE(box.Checked());
  box.Toggle();  // the user's click, with sync on
  for (int tick = 0; tick < 5; ++tick) b.desk.windows.Advance(1100);
  EXPECT_TRUE(box.Checked()) << "the status's refresh undid the click";
  a.Copy("for b's clipboard");
  Settle(a, b);
  EXPECT_EQ(b.other.ReadText(), std::optional<std::string>("for b's clipboard"));
  // And back off: what comes next stays off the clipboard.
  box.Toggle();
  for (int tick = 0; tick < 5; ++tick) b.desk.windows.Advance(1100);
  EXPECT_FALSE(box.Checked());
  a.Copy("not for b's clipboard");
  Settle(a, b);
  EXPECT_EQ(b.Texts().front(), "not for b's clipboard");
  EXPECT_EQ(b.other.ReadText(), std::optional<std::string>("for b's clipboard"));
  // The choice is kept over a restart.
  box.Toggle();
  b.desk.windows.Advance(1100);
  b.Exit();
  b.Start();
  EXPECT_TRUE(b.program->Form1().SyncBox.SyncToClipboard.Checked());
}

// A history large enough to be read in the background: sync weighs the folder against every row,
// so what came from elsewhere before the exit is not taken for new when its rows are not in yet.
TEST(SyncStartTest, AHistoryReadInBatches_IsWholeBeforeSyncWeighsTheFolderAgainstIt) {
  const history::LoadPacing saved = history::HistoryStore::loadPacing;
  history::LoadPacing pacing;
  pacing.backgroundBytes = 1;
  pacing.firstBatchRows = 4;
  pacing.mostBatchRows = 4;
  pacing.batchesPerTick = 1;
  Machine a(0x5505), b(0x5606);
  a.Start();
  b.Start();
  ASSERT_TRUE(a.StartSync());
  Settle(a, b);
  ASSERT_TRUE(b.StartSync(platform::Utf16ToUtf8(a.program->Form1().SyncBox.SyncCode_e.Text())));
  for (int i = 0; i < 30; ++i) b.Copy("from b " + std::to_string(i));
  Settle(a, b);
  ASSERT_EQ(a.Texts(), b.Texts());
  ASSERT_EQ(a.Texts().size(), 30u);

  a.Exit();
  b.Copy("from b while a was closed");
  Deliver(b, a);
  history::HistoryStore::loadPacing = pacing;
  a.program = std::make_unique<app::Program>(a.desk);
  a.program->Start();
  EXPECT_TRUE(a.program->HistoryStore().Loading());
  for (int ms = 0; ms < 3000; ms += 100) a.desk.windows.Advance(100);
  history::HistoryStore::loadPacing = saved;
  Settle(a, b);
  EXPECT_TRUE(a.program->Sync().Active());
  EXPECT_EQ(a.Texts().size(), 31u);
  EXPECT_EQ(a.Texts(), b.Texts());
  EXPECT_EQ(a.Texts().front(), "from b while a was closed");
}

}  // namespace
}  // namespace sync_start_test

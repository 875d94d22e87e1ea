// The sync folder's sealed blocks and the records of a log: what a reader makes of a block cut
// short, changed, or of another kind, and of records it does not know; and the code as typed.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "platform/sim/sim_crypto.h"
#include "sync/sync_code.h"
#include "sync/sync_log.h"

namespace sync_log_test {

namespace {

using namespace syncing;

SyncKey Key(std::uint8_t seed) {
  SyncKey key{};
  for (std::size_t i = 0; i < key.size(); ++i) key[i] = static_cast<std::uint8_t>(seed + 5 * i);
  return key;
}

std::string Seal(sim::SimCrypto& crypto, const SyncKey& key, std::uint8_t n, FileKind kind,
                 const std::string& plain) {
  std::array<std::uint8_t, 12> nonce{};
  nonce[11] = n;
  std::string out;
  EXPECT_TRUE(SealBlock(crypto, key, nonce, kind, plain, out));
  return out;
}

std::vector<std::string> Open(sim::SimCrypto& crypto, const SyncKey& key, FileKind kind,
                              const std::string& bytes, BlockRun& run) {
  std::vector<std::string> plains;
  run = OpenBlocks(crypto, key, kind, bytes, 0, [&](std::string_view plain) { plains.emplace_back(plain); });
  return plains;
}

TEST(SyncBlocks, AReaderTakesTheWholeBlocks_AndTellsACutOneFromADamagedOne) {
  sim::SimCrypto crypto;
  const SyncKey key = Key(1);
  const std::string first = Seal(crypto, key, 1, FileKind::Log, "first");
  const std::string second = Seal(crypto, key, 2, FileKind::Log, "second");
  BlockRun run;
  EXPECT_EQ(Open(crypto, key, FileKind::Log, first + second, run),
            (std::vector<std::string>{"first", "second"}));
  EXPECT_EQ(run.whole, first.size() + second.size());
  EXPECT_FALSE(run.cut || run.damaged);
  // Half delivered: the first block, and the second to come.
  for (std::size_t cut : {std::size_t{1}, std::size_t{4}, BlockHead, second.size() - 1}) {
    EXPECT_EQ(Open(crypto, key, FileKind::Log, first + second.substr(0, cut), run),
              std::vector<std::string>{"first"});
    EXPECT_TRUE(run.cut);
    EXPECT_FALSE(run.damaged);
    EXPECT_EQ(run.whole, first.size());
  }
  // A changed byte, another key, another kind of file, a size no block has: nothing of it.
  std::string changed = first + second;
  changed[first.size() + BlockHead + 2] ^= 1;
  EXPECT_EQ(Open(crypto, key, FileKind::Log, changed, run), std::vector<std::string>{"first"});
  EXPECT_TRUE(run.damaged);
  EXPECT_TRUE(Open(crypto, Key(2), FileKind::Log, first, run).empty());
  EXPECT_TRUE(run.damaged);
  EXPECT_TRUE(Open(crypto, key, FileKind::Item, first, run).empty());
  EXPECT_TRUE(run.damaged);
  std::string huge = first;
  huge[3] = '\x7F';
  EXPECT_TRUE(Open(crypto, key, FileKind::Log, huge, run).empty());
  EXPECT_TRUE(run.damaged);
  EXPECT_EQ(run.whole, 0u);
}

TEST(SyncRecords, ReadBackAsWritten_KindsOfLaterVersionsPassedOver_AndARecordThatRunsOutRefused) {
  AddRecord narrow{{7, 1}, 1'796'000'000'000, u"plain text", {}};
  AddRecord wide{{7, 2}, 1'796'000'001'000, u"\u65E5\u672C \u00E9\U0001F600", {"a.png", "b.html"}};
  ChangeRecord pin{{9, 4}, 5, true, true, false, {}};
  ChangeRecord edit{{7, 1}, 6, false, false, true, u"new \u0416"};
  std::string plain;
  PutHeader(plain, 7, 3);
  PutAdd(plain, narrow);
  // A record of a kind this version does not know, between the others.
  plain += std::string("Z\x03\x00\x00\x00xyz", 8);
  PutAdd(plain, wide);
  const std::vector<EntryId> ids{{7, 1}, {9, 2}};
  PutIds(plain, 'D', ids);
  PutIds(plain, 'C', ids);
  PutChange(plain, pin);
  PutChange(plain, edit);
  LogRecords read;
  ASSERT_TRUE(ReadRecords(plain, read));
  EXPECT_TRUE(read.hasHeader);
  EXPECT_EQ(read.computer, 7u);
  EXPECT_EQ(read.generation, 3u);
  ASSERT_EQ(read.adds.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    const AddRecord& expected = i == 0 ? narrow : wide;
    EXPECT_EQ(read.adds[i].id, expected.id);
    EXPECT_EQ(read.adds[i].utcMs, expected.utcMs);
    EXPECT_EQ(read.adds[i].text, expected.text);
    EXPECT_EQ(read.adds[i].items, expected.items);
  }
  EXPECT_EQ(read.deletes, ids);
  EXPECT_EQ(read.clears, std::vector<std::vector<EntryId>>{ids});
  EXPECT_EQ(read.changes, (std::vector<ChangeRecord>{pin, edit}));
  // The last record cut short: what came before it is taken, and the block is told apart.
  for (std::size_t cut = 1; cut < 12; ++cut) {
    LogRecords some;
    EXPECT_FALSE(ReadRecords(std::string_view(plain).substr(0, plain.size() - cut), some));
    EXPECT_EQ(some.adds.size(), 2u);
    EXPECT_EQ(some.changes.size(), 1u);
  }
  // A text longer than its record says.
  std::string lying;
  PutAdd(lying, narrow);
  lying[1 + 4 + 24 + 1] = '\x7F';
  LogRecords none;
  EXPECT_FALSE(ReadRecords(lying, none));
  EXPECT_TRUE(none.adds.empty());
}

TEST(SyncCode, ReadsBackAsTyped_AndRefusesEveryMistype) {
  const SyncKey key = Key(9);
  const std::string code = SyncCodeText(key);
  ASSERT_EQ(code.size(), 14u * 4 + 13);
  for (char c : code) EXPECT_EQ(std::string("ILOU").find(c), std::string::npos) << code;
  EXPECT_EQ(ReadSyncCode(code), key);
  std::string loose;
  for (char c : code) loose += c == '-' ? ' ' : static_cast<char>(std::tolower(c));
  EXPECT_EQ(ReadSyncCode(" " + loose + " "), key);
  // Each character changed to each other one, one left out, one too many.
  const std::string alphabet = "0123456789ABCDEFGHJKMNPQRSTVWXYZ";
  for (std::size_t at = 0; at < code.size(); ++at) {
    if (code[at] == '-') continue;
    for (char other : alphabet) {
      if (other == code[at]) continue;
      std::string typo = code;
      typo[at] = other;
      EXPECT_FALSE(ReadSyncCode(typo)) << typo;
    }
    std::string shorter = code;
    shorter.erase(at, 1);
    EXPECT_FALSE(ReadSyncCode(shorter)) << shorter;
  }
  EXPECT_FALSE(ReadSyncCode(code + "A"));
  EXPECT_FALSE(ReadSyncCode(""));
}

}  // namespace
}  // namespace sync_log_test

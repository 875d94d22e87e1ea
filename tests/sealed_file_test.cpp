// Sealed files and journals: what goes in comes out for the account that sealed it, and a
// changed byte, another account or a cut never yields other text than was sealed.
#include "grid/sealed_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/sim_crypto.h"

namespace sealed_file_test {

namespace {

using grid::Unsealed;

class SealedFileTest : public ::testing::Test {
 protected:
  std::string Sealed(const std::string& plain) {
    std::string sealed;
    EXPECT_TRUE(grid::SealFile(crypto, plain, sealed));
    return sealed;
  }
  std::string Journal(const std::vector<std::string>& records, grid::JournalSealer& sealer) {
    std::string bytes;
    EXPECT_TRUE(sealer.Begin(bytes));
    for (const std::string& record : records) bytes += Record(sealer, record);
    return bytes;
  }
  static std::string Record(grid::JournalSealer& sealer, const std::string& record) {
    std::string out;
    EXPECT_TRUE(sealer.Seal(record, out));
    return out;
  }
  std::vector<std::string> Read(const std::string& bytes, grid::SealedJournalRead* result = nullptr) {
    std::vector<std::string> records;
    const grid::SealedJournalRead read =
        grid::ReadSealedJournal(crypto, bytes, [&](std::string_view r) { records.emplace_back(r); });
    if (result) *result = read;
    return records;
  }
  sim::SimCrypto crypto;
};

const std::string Text = std::string("\xFF\xFE", 2) + std::string("s\0e\0c\0r\0e\0t\0", 12);

TEST_F(SealedFileTest, File_OpensForTheAccountThatSealedIt_HoldsNoneOfTheText) {
  for (const std::string& plain : {std::string(), Text, std::string(100000, 'x')}) {
    const std::string sealed = Sealed(plain);
    EXPECT_TRUE(grid::IsSealed(sealed));
    if (!plain.empty()) {
      EXPECT_EQ(sealed.find(plain.substr(2, 6)), std::string::npos);
    }
    std::string back;
    ASSERT_EQ(grid::UnsealFile(crypto, sealed, back), Unsealed::Opened);
    EXPECT_EQ(back, plain);
  }
  EXPECT_FALSE(grid::IsSealed(Text));
  EXPECT_FALSE(grid::IsSealed(""));
  EXPECT_NE(Sealed(Text), Sealed(Text)) << "a fresh key and nonce at every write";
  EXPECT_GT(crypto.WipedBytes(), 0u);

  std::string back = "left over";
  crypto.SetAccount("someone else");
  EXPECT_EQ(grid::UnsealFile(crypto, Sealed(Text), back), Unsealed::Opened)
      << "sealed and opened by the same other account";
  const std::string theirs = Sealed(Text);
  crypto.SetAccount("user");
  EXPECT_EQ(grid::UnsealFile(crypto, theirs, back), Unsealed::Refused);
  EXPECT_TRUE(back.empty());
  crypto.SetRefusing(true);
  std::string none;
  EXPECT_FALSE(grid::SealFile(crypto, Text, none));
  EXPECT_TRUE(none.empty());
}

// Every single changed byte and every cut is told, and never opens to other text.
TEST_F(SealedFileTest, File_AnyChangedByteOrCut_IsRefusedTamperedOrDamaged) {
  const std::string sealed = Sealed(Text);
  for (std::size_t i = 0; i < sealed.size(); ++i) {
    std::string changed = sealed;
    changed[i] = static_cast<char>(changed[i] ^ 0x01);
    std::string back;
    EXPECT_NE(grid::UnsealFile(crypto, changed, back), Unsealed::Opened) << "byte " << i;
    EXPECT_TRUE(back.empty());
  }
  for (std::size_t length = 0; length < sealed.size(); ++length) {
    std::string back;
    EXPECT_NE(grid::UnsealFile(crypto, sealed.substr(0, length), back), Unsealed::Opened) << length;
  }
  std::string back;
  EXPECT_NE(grid::UnsealFile(crypto, sealed + "x", back), Unsealed::Opened);
}

// A large file goes in chunks: they open in any pieces, and cannot be reordered or dropped.
TEST_F(SealedFileTest, File_InChunks_ReadInAnyPieces_NoChunkMovedOrDropped) {
  std::string plain(2 * grid::ChunkBytes + 12345, '\0');
  for (std::size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<char>(i * 7 % 251);
  const std::string sealed = Sealed(plain);
  std::string back;
  grid::FileUnsealer unsealer(crypto, [&back](std::string_view piece) { back.append(piece); });
  for (std::size_t at = 0; at < sealed.size(); at += 4093)
    unsealer.Feed(std::string_view(sealed).substr(at, 4093));
  EXPECT_EQ(unsealer.Finish(), Unsealed::Opened);
  EXPECT_EQ(back, plain);

  const std::size_t chunk = 4 + grid::ChunkBytes + platform::GcmTagBytes;
  const std::size_t first = sealed.size() - 2 * chunk - (4 + 12345 + platform::GcmTagBytes);
  std::string swapped = sealed.substr(0, first) + sealed.substr(first + chunk, chunk) +
                        sealed.substr(first, chunk) + sealed.substr(first + 2 * chunk);
  EXPECT_EQ(grid::UnsealFile(crypto, swapped, back), Unsealed::Tampered);
  EXPECT_EQ(grid::UnsealFile(crypto, sealed.substr(0, first + 2 * chunk), back), Unsealed::Tampered)
      << "the last chunk dropped";
  EXPECT_EQ(
      grid::UnsealFile(crypto, sealed.substr(0, first + chunk) + sealed.substr(first + 2 * chunk), back),
      Unsealed::Tampered)
      << "a middle chunk dropped";
}

TEST_F(SealedFileTest, Journal_GoodRecordsAroundADamagedOneOrACutAreKept) {
  grid::JournalSealer sealer(crypto);
  const std::vector<std::string> records = {"one", "two", "three", std::string("fo\0ur", 5), "five"};
  const std::string journal = Journal(records, sealer);
  EXPECT_TRUE(grid::IsSealed(journal));
  EXPECT_EQ(journal.find("three"), std::string::npos);
  grid::SealedJournalRead read;
  EXPECT_EQ(Read(journal, &read), records);
  EXPECT_EQ(read.damaged, 0);
  EXPECT_EQ(read.end, journal.size());

  // A flipped bit anywhere in the second record costs that record only.
  const std::size_t second = journal.find("SREC", journal.find("SREC") + 1);
  const std::size_t third = journal.find("SREC", second + 1);
  for (std::size_t i = second; i < third; ++i) {
    std::string changed = journal;
    changed[i] = static_cast<char>(changed[i] ^ 0x10);
    EXPECT_EQ(Read(changed, &read),
              (std::vector<std::string>{"one", "three", std::string("fo\0ur", 5), "five"}))
        << "byte " << i - second;
    EXPECT_EQ(read.damaged, 1);
  }
  // A record cut by a crash: the ones before it stay, and the end tells where to go on.
  const std::string cut = journal.substr(0, journal.size() - 3);
  EXPECT_EQ(Read(cut, &read), std::vector<std::string>(records.begin(), records.end() - 1));
  EXPECT_EQ(read.end, journal.rfind("SREC"));
  EXPECT_EQ(Read(journal + "garbage SREC and more", &read), records);
  EXPECT_EQ(read.damaged, 1);
}

TEST_F(SealedFileTest, Journal_ResumedSessionsNeverReuseANonce_RecordsDoNotMoveBetweenJournals) {
  grid::JournalSealer first(crypto);
  std::string journal = Journal({"a", "b"}, first);
  for (int session = 0; session < 3; ++session) {
    grid::JournalSealer again(crypto);
    ASSERT_EQ(again.Resume(journal), Unsealed::Opened);
    journal += Record(again, "c" + std::to_string(session));
    journal += Record(again, "d" + std::to_string(session));
  }
  EXPECT_EQ(crypto.NonceReuses(), 0);
  EXPECT_EQ(Read(journal), (std::vector<std::string>{"a", "b", "c0", "d0", "c1", "d1", "c2", "d2"}));

  // A new journal under the same key: no DPAPI call, and still no nonce used twice.
  const int protections = crypto.Protections();
  std::string renewed;
  ASSERT_TRUE(first.Renew(renewed));
  renewed += Record(first, "e") + Record(first, "f");
  EXPECT_EQ(crypto.Protections(), protections);
  EXPECT_EQ(crypto.NonceReuses(), 0);
  EXPECT_EQ(Read(renewed), (std::vector<std::string>{"e", "f"}));

  grid::JournalSealer other(crypto);
  std::string foreign = Journal({"x"}, other);
  const std::string spliced = journal + foreign.substr(foreign.find("SREC"));
  EXPECT_EQ(Read(spliced).size(), 8u) << "a record of another journal fails this one's header";

  crypto.SetAccount("someone else");
  grid::SealedJournalRead read;
  EXPECT_TRUE(Read(journal, &read).empty());
  EXPECT_EQ(read.header, Unsealed::Refused);
  grid::JournalSealer stranger(crypto);
  EXPECT_EQ(stranger.Resume(journal), Unsealed::Refused);
  std::string out;
  EXPECT_FALSE(stranger.Seal("y", out));
}

}  // namespace
}  // namespace sealed_file_test

// The journal's records of changes to entries already in the list, beside its captures.
#include <gtest/gtest.h>

#include "history/journal.h"

namespace journal_change_test {

namespace {

using history::JournalChange;

std::string JournalOf(const std::vector<JournalChange>& changes) {
  std::string bytes(history::JournalHeader);
  history::EncodeJournalRecord(bytes, u"12/8/2026 9:30:01 AM", u"first");
  for (const JournalChange& change : changes) history::EncodeJournalChange(bytes, change);
  history::EncodeJournalRecord(bytes, u"12/8/2026 9:30:02 AM", u"last", u"ref");
  return bytes;
}

const JournalChange Pin{1, 0x12345678u, {{u"Pin", u"1"}}};
const JournalChange Edit{0, 7u, {{u"Clipboadrs_history", u"new, text|\r\n"}, {u"Items", u""}}};

TEST(JournalChange, ReadsBackBetweenCaptures_InOrder_AndCapturesStayCaptures) {
  const std::string bytes = JournalOf({Pin, Edit});
  const history::JournalContent content = history::DecodeJournal(bytes);
  EXPECT_FALSE(content.damaged);
  ASSERT_EQ(content.records.size(), 4u);
  EXPECT_FALSE(history::IsJournalChange(bytes, content.records[0]));
  EXPECT_FALSE(history::IsJournalChange(bytes, content.records[3]));
  JournalChange read;
  ASSERT_TRUE(history::ReadJournalChange(bytes, content.records[1], read));
  EXPECT_EQ(read, Pin);
  ASSERT_TRUE(history::ReadJournalChange(bytes, content.records[2], read));
  EXPECT_EQ(read, Edit);
  EXPECT_EQ(history::ReadJournalRecord(bytes, content.records[3]).reference, u"ref");
}

TEST(JournalChange, ADamagedChange_CostsOnlyItself) {
  std::string bytes = JournalOf({Pin, Edit});
  // A byte of the pin's payload changed: its CRC fails, the rest is found again.
  const std::size_t pinAt = history::DecodeJournal(bytes).records[1].offset;
  bytes[pinAt + 6] ^= 0x01;
  const history::JournalContent content = history::DecodeJournal(bytes);
  EXPECT_TRUE(content.damaged);
  ASSERT_EQ(content.records.size(), 3u);
  JournalChange read;
  ASSERT_TRUE(history::ReadJournalChange(bytes, content.records[1], read));
  EXPECT_EQ(read, Edit);
}

TEST(JournalChange, OneWhoseCountsDoNotFitItsPayload_IsRefused) {
  auto withPayload = [](std::string payload) {
    std::string bytes(history::JournalHeader);
    for (std::uint32_t word : {static_cast<std::uint32_t>(payload.size()), history::Crc32(payload)})
      for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((word >> (8 * i)) & 0xFF));
    return bytes + payload;
  };
  auto words = [](std::initializer_list<std::uint32_t> values) {
    std::string out;
    for (std::uint32_t word : values)
      for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((word >> (8 * i)) & 0xFF));
    return out;
  };
  const std::vector<std::string> payloads = {
      words({history::ChangeFlag, 0, 0, 1000}),               // more cells than bytes
      words({history::ChangeFlag, 0, 0, 1, 0xFFFFFFFFu, 0}),  // a name longer than the record
      words({history::ChangeFlag, 0, 0, 1, 0, 2}) + "ab",     // a text cut short
      words({history::ChangeFlag, 0, 0, 0}) + "xy",           // bytes left over
  };
  for (const std::string& payload : payloads) {
    const std::string bytes = withPayload(payload);
    const history::JournalContent content = history::DecodeJournal(bytes);
    ASSERT_EQ(content.records.size(), 1u);
    ASSERT_TRUE(history::IsJournalChange(bytes, content.records[0]));
    JournalChange read;
    EXPECT_FALSE(history::ReadJournalChange(bytes, content.records[0], read));
  }
}

TEST(JournalChange, ThePrint_TellsTheDateFromTheText) {
  EXPECT_NE(history::EntryPrint(u"ab", u"c"), history::EntryPrint(u"a", u"bc"));
  EXPECT_NE(history::EntryPrint(u"d", u"text"), history::EntryPrint(u"d", u"texT"));
  EXPECT_EQ(history::EntryPrint(u"d", u"text"), history::EntryPrint(u"d", u"text"));
}

}  // namespace
}  // namespace journal_change_test

// The capture journal's records: read back whole, and a file cut or damaged anywhere ends it at
// the last whole record.
#include "history/journal.h"

#include <gtest/gtest.h>

namespace {

using history::DecodeJournal;
using history::JournalRecord;

std::string Journal(const std::vector<JournalRecord>& records, std::vector<std::size_t>* ends = nullptr) {
  std::string bytes(history::JournalHeader);
  for (const JournalRecord& r : records) {
    history::EncodeJournalRecord(bytes, r.date, r.text);
    if (ends) ends->push_back(bytes.size());
  }
  return bytes;
}

const std::vector<JournalRecord> Three = {
    {u"12/8/2026 9:30:01 AM", u"first"},
    {u"", u"line 1\r\nline 2, \"quoted\" | \u20AC \U0001F600"},
    {u"12/8/2026 9:30:03 AM", u""},
};

std::vector<JournalRecord> Records(std::string_view bytes) {
  std::vector<JournalRecord> records;
  for (const auto& payload : DecodeJournal(bytes).records)
    records.push_back(history::ReadJournalRecord(bytes, payload));
  return records;
}

TEST(JournalTest, Records_ReadBackAsWritten) {
  const std::string bytes = Journal(Three);
  const auto content = DecodeJournal(bytes);
  EXPECT_TRUE(content.recognised);
  EXPECT_FALSE(content.damaged);
  EXPECT_EQ(Three, Records(bytes));
}

TEST(JournalTest, CutAtEveryByte_KeepsExactlyTheWholeRecordsBeforeTheCut) {
  std::vector<std::size_t> ends;
  const std::string bytes = Journal(Three, &ends);
  for (std::size_t length = history::JournalHeader.size(); length <= bytes.size(); ++length) {
    const auto content = DecodeJournal(std::string_view(bytes).substr(0, length));
    std::size_t whole = 0;
    while (whole < ends.size() && ends[whole] <= length) ++whole;
    ASSERT_TRUE(content.recognised) << length;
    ASSERT_EQ(whole, content.records.size()) << length;
    const std::vector<JournalRecord> read = Records(std::string_view(bytes).substr(0, length));
    EXPECT_TRUE(std::equal(read.begin(), read.end(), Three.begin())) << length;
    EXPECT_EQ(whole == 0 ? history::JournalHeader.size() : ends[whole - 1], content.validBytes);
    EXPECT_EQ(content.validBytes != length, content.damaged) << length;
  }
}

TEST(JournalTest, AChangedByte_EndsTheJournalBeforeItsRecord) {
  std::vector<std::size_t> ends;
  std::string bytes = Journal(Three, &ends);
  bytes[ends[0] + 12] ^= 0x20;  // inside the second record's text
  const auto content = DecodeJournal(bytes);
  EXPECT_EQ(1u, content.records.size());
  EXPECT_TRUE(content.damaged);
  EXPECT_EQ(ends[0], content.validBytes);
}

TEST(JournalTest, HeaderCutShort_IsAnEmptyJournal_AnotherFileIsNotOne) {
  EXPECT_TRUE(DecodeJournal("CMJ").recognised);
  EXPECT_TRUE(DecodeJournal("CMJ").records.empty());
  EXPECT_TRUE(DecodeJournal("").recognised);
  EXPECT_FALSE(DecodeJournal("").damaged);
  EXPECT_FALSE(DecodeJournal("PK\x03\x04 zip").recognised);
  EXPECT_FALSE(DecodeJournal("CMJRNL2\n").recognised);
}

TEST(JournalTest, Crc32_OfTheStandardCheckInput) { EXPECT_EQ(0xCBF43926u, history::Crc32("123456789")); }

}  // namespace

// The capture journal's records: read back whole, a file cut anywhere keeps the whole records
// before the cut, and damage costs only the records it touches.
#include "history/journal.h"

#include <gtest/gtest.h>

#include <memory>

namespace journal_test {

namespace {

using history::DecodeJournal;
using history::JournalRecord;

std::string Journal(const std::vector<JournalRecord>& records, std::vector<std::size_t>* ends = nullptr) {
  std::string bytes(history::JournalHeader);
  for (const JournalRecord& r : records) {
    history::EncodeJournalRecord(bytes, r);
    if (ends) ends->push_back(bytes.size());
  }
  return bytes;
}

const std::vector<JournalRecord> Three = {
    {u"12/8/2026 9:30:01 AM", u"[Image 5\u00D73]", u"0123abcd.png"},  // an entry that keeps items
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

const std::vector<JournalRecord> Five = {
    {u"12/8/2026 9:30:01 AM", u"one"},
    {u"12/8/2026 9:30:02 AM", u"two, with a longer text | and \r\n line breaks \n"},
    {u"12/8/2026 9:30:03 AM", u"three", u"aa.html;bb.rtf"},
    {u"", u"four"},
    {u"12/8/2026 9:30:05 AM", std::u16string(300, u'5')},
};

std::vector<JournalRecord> AllBut(std::size_t dropped) {
  std::vector<JournalRecord> records = Five;
  records.erase(records.begin() + static_cast<std::ptrdiff_t>(dropped));
  return records;
}

TEST(JournalTest, AnyBitFlippedInOneRecord_CostsThatRecordAlone) {
  std::vector<std::size_t> ends;
  const std::string bytes = Journal(Five, &ends);
  for (std::size_t damaged = 0; damaged < Five.size(); ++damaged) {
    const std::size_t begin = damaged == 0 ? history::JournalHeader.size() : ends[damaged - 1];
    for (std::size_t bit = 8 * begin; bit < 8 * ends[damaged]; ++bit) {
      std::string flipped = bytes;
      flipped[bit / 8] = static_cast<char>(flipped[bit / 8] ^ (1 << (bit % 8)));
      const auto content = DecodeJournal(flipped);
      ASSERT_EQ(AllBut(damaged), Records(flipped)) << "record " << damaged << ", bit " << bit;
      EXPECT_TRUE(content.damaged);
      EXPECT_EQ(begin, content.validBytes);
    }
  }
}

TEST(JournalTest, AnyBitFlippedInTheHeader_CostsNoRecord) {
  const std::string bytes = Journal(Five);
  for (std::size_t bit = 0; bit < 8 * history::JournalHeader.size(); ++bit) {
    std::string flipped = bytes;
    flipped[bit / 8] = static_cast<char>(flipped[bit / 8] ^ (1 << (bit % 8)));
    const auto content = DecodeJournal(flipped);
    EXPECT_TRUE(content.recognised) << bit;
    EXPECT_TRUE(content.damaged) << bit;
    EXPECT_EQ(0u, content.validBytes) << bit;
    ASSERT_EQ(Five, Records(flipped)) << bit;
  }
}

TEST(JournalTest, GarbageAfterOrAmongTheRecords_CostsOnlyItself) {
  std::vector<std::size_t> ends;
  const std::string bytes = Journal(Five, &ends);
  const std::string garbage[] = {std::string("\x01", 1), std::string(7, '\0'), std::string(64, '\xFF'),
                                 std::string("\x10\0\0\0\x10\0\0\0\x02\0\0\0garbage!", 20)};
  for (const std::string& g : garbage) {
    EXPECT_EQ(Five, Records(bytes + g)) << testing::PrintToString(g);
    EXPECT_TRUE(DecodeJournal(bytes + g).damaged);
    // Written over the third record's start, an even number of bytes long.
    std::string over = bytes;
    over.replace(ends[1], std::min(g.size() + g.size() % 2, ends[2] - ends[1]),
                 g + std::string(g.size() % 2, 'x'));
    EXPECT_EQ(AllBut(2), Records(over)) << testing::PrintToString(g);
  }
}

TEST(JournalTest, RecordsAfterDamage_AreFoundWhateverTheirSizes) {
  std::vector<JournalRecord> many;
  for (int i = 0; i < 40; ++i)
    many.push_back({u"d", std::u16string(static_cast<std::size_t>(i * 37 % 500), u'x')});
  std::vector<std::size_t> ends;
  std::string bytes = Journal(many, &ends);
  bytes[history::JournalHeader.size() + 8] ^= 1;  // the first record's date length
  std::vector<JournalRecord> expected(many.begin() + 1, many.end());
  EXPECT_EQ(expected, Records(bytes));
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

// A record written in pieces is byte for byte the record written at once, whatever the size of
// the pieces, and nothing is written before its CRC is known.
TEST(JournalTest, RecordWrittenInPieces_IsTheRecordWrittenAtOnce) {
  std::u16string longText;
  for (int i = 0; i < 5000; ++i)
    longText += u"piece \u20AC\U0001F600 " + std::u16string(1, static_cast<char16_t>(u'a' + i % 26));
  for (const JournalRecord& r :
       {Three[0], Three[1], Three[2], JournalRecord{u"12/8/2026 9:31:00 AM", longText}}) {
    std::string whole;
    history::EncodeJournalRecord(whole, r.date, r.text, r.reference);
    for (std::size_t budget : {std::size_t{1}, std::size_t{7}, std::size_t{4096}, whole.size() * 8}) {
      history::JournalRecordWriter writer(r.date, std::make_shared<const std::u16string>(r.text),
                                          r.reference);
      std::string written;
      int steps = 0;
      bool wroteBeforeChecked = false;
      while (!writer.Done() && steps < 1000000) {
        std::size_t left = budget;
        EXPECT_EQ(writer.Step(left,
                              [&](const char* bytes, std::size_t size) {
                                if (written.empty() && size < 12) wroteBeforeChecked = true;
                                written.append(bytes, size);
                                return std::uint32_t{0};
                              }),
                  0u);
        ++steps;
      }
      EXPECT_FALSE(wroteBeforeChecked);
      EXPECT_EQ(written, whole) << "budget " << budget << ", text of " << r.text.size();
      EXPECT_EQ(Records(std::string(history::JournalHeader) + written), std::vector<JournalRecord>{r});
    }
  }
}

TEST(JournalTest, RecordWrittenInPieces_StopsAtTheFirstError) {
  const std::u16string text(100000, u'x');
  history::JournalRecordWriter writer(u"date", std::make_shared<const std::u16string>(text));
  int calls = 0;
  std::uint32_t error = 0;
  for (int step = 0; step < 100 && error == 0 && !writer.Done(); ++step) {
    std::size_t budget = 4096;
    error = writer.Step(budget, [&](const char*, std::size_t) { return ++calls == 3 ? 112u : 0u; });
  }
  EXPECT_EQ(error, 112u);  // the disk is full
  EXPECT_EQ(calls, 3);
  EXPECT_FALSE(writer.Done());
}

// An image recorded before its PNG was made: its row holds a placeholder until an attach record
// names its items; a row that none resolves (the program ended during the coding) gives nothing.
TEST(JournalTest, AttachRecords_ResolveTheNewestRowWithTheirPlaceholder_OthersLoseTheirRow) {
  const std::u16string first = history::PendingReference(1), second = history::PendingReference(2);
  EXPECT_TRUE(history::IsPendingReference(first));
  EXPECT_FALSE(history::IsPendingReference(u"pending:"));
  EXPECT_FALSE(history::IsPendingReference(u"0123abcd.png"));
  const std::vector<JournalRecord> records = {
      {u"d0", u"[Image 1\u00D71]", first},  // an earlier run's, never resolved
      {u"d1", u"text"},
      {u"d2", u"[Image 2\u00D72]", first},  // this run's placeholders start again at 1
      {u"d3", u"[Image 3\u00D73]", second},
      {u"d4", u"after"},
      {second, u"", u"", true},  // could not be coded: the row keeps its text alone
      {first, u"", u"aa.png", true},
      {history::PendingReference(9), u"", u"bb.png", true},  // no row holds it
  };
  const std::string bytes = Journal(records);
  // Every record reads back as written, the attach records too.
  EXPECT_EQ(records, Records(bytes));
  EXPECT_FALSE(DecodeJournal(bytes).damaged);
  const auto rows = history::ResolveAttachments(bytes, DecodeJournal(bytes).records);
  ASSERT_EQ(records.size(), rows.size());
  const bool made[] = {false, true, true, true, true, false, false, false};
  for (std::size_t k = 0; k < rows.size(); ++k) EXPECT_EQ(made[k], rows[k].row) << k;
  EXPECT_TRUE(rows[2].resolved);
  EXPECT_EQ(u"aa.png", rows[2].reference);
  EXPECT_TRUE(rows[3].resolved);
  EXPECT_EQ(u"", rows[3].reference);
  EXPECT_FALSE(rows[1].resolved);
}

// A reader that knew no attach records took them for damage and read on; this one reads
// attach records only in their one spelling.
TEST(JournalTest, AttachRecordWithATextAfterItsReference_IsDamage) {
  std::string bytes(history::JournalHeader);
  history::EncodeJournalRecord(bytes, u"d", u"kept", u"");
  std::string attach;
  history::EncodeJournalRecord(attach, u"pending:1", u"stray", u"aa.png");
  // Make it claim to be an attach record: its CRC is made anew, so only the layout is wrong.
  attach[8 + 3] = static_cast<char>(attach[8 + 3] | 0x40);
  const std::uint32_t crc = history::Crc32(std::string_view(attach).substr(8));
  for (int i = 0; i < 4; ++i) attach[4 + i] = static_cast<char>(crc >> (8 * i));
  bytes += attach;
  const auto content = DecodeJournal(bytes);
  EXPECT_TRUE(content.damaged);
  ASSERT_EQ(1u, content.records.size());
  EXPECT_EQ(u"kept", history::ReadJournalRecord(bytes, content.records[0]).text);
}

}  // namespace
}  // namespace journal_test

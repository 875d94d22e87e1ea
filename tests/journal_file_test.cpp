// The journal's file in both forms: what the one writer appends or writes anew, the one reader
// gives back, in the form the file is in whatever form new journals are begun in.
#include "history/journal_file.h"

#include <gtest/gtest.h>

#include "clipboard_history_support.h"
#include "grid/sealed_file.h"

namespace journal_file_test {

namespace {

using history::JournalFile;
using history::JournalReading;
using history::JournalRecord;

class JournalFileTest : public clipboard_history_test::DesktopTest,
                        public ::testing::WithParamInterface<bool> {
 protected:
  static constexpr const char* Path =
      "C:\\Program Files\\Clipboard manager\\Data\\clipboard_history.hstr.journal";

  std::vector<JournalRecord> Records(const JournalReading& reading) {
    std::vector<JournalRecord> records;
    for (const auto& payload : reading.content.records)
      records.push_back(history::ReadJournalRecord(reading.Plain(), payload));
    return records;
  }
  JournalReading ReadBack() {
    JournalFile again(desk, [] { return std::string(Path); });
    return again.Read();
  }
  // The records, and a long one written a piece at a time.
  const std::vector<JournalRecord> captures = {
      {u"12/8/2026 9:30:01 AM", u"[Image 5\u00D73]", u"0123abcd.png"},
      {u"12/8/2026 9:30:02 AM", std::u16string(JournalFile::PieceBytes / 2 + 3, u'x')},
      {u"", u"line 1\r\nline 2 \u20AC \U0001F600"},
  };
  JournalFile journal{desk, [] { return std::string(Path); }};
};

TEST_P(JournalFileTest, AppendedAndWrittenAnew_ReadBackInTheFormsOwnFile) {
  const bool seal = GetParam();
  journal.SetSealing(seal);
  for (const JournalRecord& r : captures) ASSERT_EQ(0u, journal.Append(r.date, r.text, r.reference));
  EXPECT_EQ(!seal, journal.WritesPending());  // a sealed record goes whole
  ASSERT_EQ(0u, journal.WritePending(SIZE_MAX));
  EXPECT_FALSE(journal.WritesPending());
  journal.Flush();
  journal.Close();
  const std::string appended = desk.recorded.FileBytes(Path);
  EXPECT_EQ(seal, grid::IsSealed(appended));
  if (!seal) {
    // The bytes the format gives, record after record.
    std::string expected(history::JournalHeader);
    for (const JournalRecord& r : captures)
      history::EncodeJournalRecord(expected, r.date, r.text, r.reference);
    EXPECT_TRUE(expected == appended);
  }
  JournalReading reading = ReadBack();
  ASSERT_EQ(JournalReading::State::Read, reading.state);
  EXPECT_EQ(seal, reading.sealed);
  EXPECT_TRUE(reading.hasHeader);
  EXPECT_FALSE(reading.damaged);
  EXPECT_EQ(captures, Records(reading));

  // Appends go on in the journal read, under its key, whatever form new journals take now.
  JournalFile reader(desk, [] { return std::string(Path); });
  reader.SetSealing(!seal);
  reading = reader.Read();
  ASSERT_EQ(0u, reader.Append(u"later", u"one more", u""));
  reader.Close();
  EXPECT_EQ(seal, grid::IsSealed(desk.recorded.FileBytes(Path)));
  std::vector<JournalRecord> all = captures;
  all.push_back({u"later", u"one more"});
  EXPECT_EQ(all, Records(ReadBack()));

  // Written anew: in the chosen form, the records given, oldest first.
  journal.SetSealing(!seal);
  ASSERT_EQ(0u, journal.Rewrite(2, [&](int i, const JournalFile::PutRecord& put) {
    return put(all[static_cast<std::size_t>(i) + 2].date, all[static_cast<std::size_t>(i) + 2].text,
               all[static_cast<std::size_t>(i) + 2].reference);
  }));
  EXPECT_EQ(!seal, grid::IsSealed(desk.recorded.FileBytes(Path)));
  ASSERT_EQ(0u, journal.Append(u"last", u"after the rewrite", u""));
  journal.Close();
  reading = ReadBack();
  EXPECT_FALSE(reading.damaged);
  EXPECT_EQ((std::vector<JournalRecord>{all[2], all[3], {u"last", u"after the rewrite"}}), Records(reading));
  EXPECT_EQ(0, desk.crypto.NonceReuses());

  ASSERT_EQ(0u, journal.Delete());
  EXPECT_FALSE(journal.HasHeader());
  EXPECT_EQ(JournalReading::State::Missing, ReadBack().state);
  EXPECT_EQ(0u, journal.Delete());  // gone already
}

INSTANTIATE_TEST_SUITE_P(Forms, JournalFileTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& form) {
                           return form.param ? "Sealed" : "Plain";
                         });

TEST_F(JournalFileTest, SealedForAnotherAccount_IsUnreadable_AnotherKindIsForeign) {
  journal.SetSealing(true);
  ASSERT_EQ(0u, journal.Append(u"d", u"secret", u""));
  journal.Close();
  desk.crypto.SetAccount("someone else");
  JournalReading reading = ReadBack();
  EXPECT_EQ(JournalReading::State::Unreadable, reading.state);
  EXPECT_EQ(grid::SealingFailed, reading.error);
  EXPECT_FALSE(reading.why.empty());
  EXPECT_EQ(std::string::npos, reading.opened.find("s\0e\0c", 0, 6));

  desk.recorded.PutFile(Path, "not a journal of ours");
  EXPECT_EQ(JournalReading::State::Foreign, ReadBack().state);
}

}  // namespace
}  // namespace journal_file_test

// Entry ids: their one spelling, the journal's field that carries them, and the counter kept
// ahead on the disk.
#include <gtest/gtest.h>

#include <set>

#include "history/entry_id.h"
#include "program_fixture.h"

namespace entry_id_test {

namespace {

using history::EntryId;
using history::EntryIds;
using history::ParseEntryId;

TEST(EntryIdText, ReadsBackOnlyItsOwnSpelling) {
  for (EntryId id :
       {EntryId{1, 0}, EntryId{0xFEDCBA9876543210ULL, 18446744073709551615ULL}, EntryId{42, 7}}) {
    const std::u16string text = history::EntryIdText(id);
    ASSERT_EQ(ParseEntryId(text), id) << std::string(text.begin(), text.end());
  }
  for (const char16_t* other :
       {u"", u"0000000000000001", u"0000000000000001.", u"0000000000000001.07", u"000000000000000G.1",
        u"000000000000000A.1", u"0000000000000001.1x", u"0000000000000001.99999999999999999999"})
    EXPECT_FALSE(ParseEntryId(other))
        << std::string(other, other + std::char_traits<char16_t>::length(other));
}

TEST(JournalReference, CarriesTheIdBesideTheItemsAndSplitsBack) {
  const std::u16string id = history::EntryIdText({5, 9});
  struct Case {
    std::u16string items, id;
  } cases[] = {{u"", u""}, {u"", id}, {u"ab.png", u""}, {u"ab.png;cd.html", id}};
  for (const Case& c : cases) {
    std::u16string items, back;
    history::SplitJournalReference(history::JournalReference(c.items, c.id), items, back);
    EXPECT_EQ(items, c.items);
    EXPECT_EQ(back, c.id);
  }
  // A name that only looks like an id stays among the items.
  std::u16string items, back;
  history::SplitJournalReference(u"x.png;id1:nonsense", items, back);
  EXPECT_EQ(items, u"x.png;id1:nonsense");
  EXPECT_TRUE(back.empty());
}

class EntryIdsTest : public testing_support::ProgramTest {};

TEST_F(EntryIdsTest, NeverGivesACounterTwiceAcrossRunsAndCrashes) {
  std::set<std::uint64_t> counters;
  std::uint64_t computer = 0;
  for (int run = 0; run < 3; ++run) {
    EntryIds ids(desk);  // each run (a crash leaves the reservation as it was)
    for (int i = 0; i < 1500; ++i) {
      const EntryId id = ids.Next();
      if (computer == 0) computer = id.computer;
      EXPECT_EQ(id.computer, computer);
      EXPECT_TRUE(counters.insert(id.counter).second) << id.counter;
    }
  }
}

TEST_F(EntryIdsTest, AFileFromAnotherAccountGetsAComputerOfItsOwn) {
  std::uint64_t first;
  {
    EntryIds ids(desk);
    first = ids.Next().computer;
  }
  desk.crypto.SetAccount("someone else");
  desk.crypto.SeedRandom(99);
  EntryIds copied(desk);
  EXPECT_NE(copied.Next().computer, first);
}

}  // namespace
}  // namespace entry_id_test

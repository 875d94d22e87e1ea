// The history search in the whole program: the box on the history tab, what the table shows
// while it filters, and the tab's commands on a filtered table.
#include <gtest/gtest.h>

#include <random>

#include "platform/sim/sim_clipboard.h"
#include "program_fixture.h"

namespace search_program_test {

namespace {

using testing_support::Utf16File;
using Texts = std::vector<std::u16string>;

// Each case runs twice: with the texts copied as they are, which the table keeps in 8 bits, and
// with a unit above U+00FF at the end of each, which makes it keep them in UTF-16.
class SearchProgramTest : public testing_support::ClipboardProgramTest,
                          public testing::WithParamInterface<bool> {
 public:
  static constexpr char16_t WideMark = u'\u2116';
  // A text as this case copies it.
  std::u16string Copied(std::u16string text) const {
    if (GetParam()) text.push_back(WideMark);
    return text;
  }
  // A table file's lines as the copies of this case leave them.
  std::string CopiedFile(const std::string& lines) const {
    std::u16string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (GetParam() && lines.compare(i, 2, "\r\n") == 0) text.push_back(WideMark);
      text.push_back(static_cast<char16_t>(static_cast<unsigned char>(lines[i])));
    }
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : text) {
      bytes += static_cast<char>(unit & 0xFF);
      bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
  }
  ui::TableGrid& History() { return Form1().TableGrid2; }
  // Copies each text in another program, the first one first, so the last is on top.
  void CopyAll(std::initializer_list<std::u16string> texts) {
    for (const auto& text : texts) ASSERT_TRUE(other.CopyUnicodeText(Copied(text)));
  }
  void Type(std::u16string text) { Form1().Search_e.UserSetText(std::move(text)); }
  // The texts the table shows, top first, as they were before the case copied them.
  Texts Shown() {
    Texts texts;
    for (int p = 0; p < History().ShownCount(); ++p) {
      std::u16string text = History().Rows().Cell("Clipboadrs_history", History().ShownRow(p));
      if (GetParam() && !text.empty() && text.back() == WideMark) text.pop_back();
      texts.push_back(std::move(text));
    }
    return texts;
  }
  std::vector<bool> SelectedRows() {
    std::vector<bool> selected;
    for (int row = 0; row < History().Rows().RowCount(); ++row)
      selected.push_back(History().Rows().RowSelected(row));
    return selected;
  }
};
INSTANTIATE_TEST_SUITE_P(Widths, SearchProgramTest, testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Wide" : "Narrow"; });

TEST_P(SearchProgramTest, EveryTypedWord_InAnyOrder_NarrowsTheTable_AndAnEmptyBoxShowsAll) {
  StartJoined();
  CopyAll({u"quick brown fox", u"lazy dog", u"the fox jumps", u"brown bear", u"Brown Fox Ltd"});
  EXPECT_EQ(Form1().Search_e.CueText, "Search history");

  Type(u"f");
  EXPECT_EQ(Shown(), (Texts{u"Brown Fox Ltd", u"the fox jumps", u"quick brown fox"}));
  Type(u"fox bro");
  EXPECT_EQ(Shown(), (Texts{u"Brown Fox Ltd", u"quick brown fox"}));
  Type(u"brown fox");
  EXPECT_EQ(Shown(), (Texts{u"Brown Fox Ltd", u"quick brown fox"}));
  std::u16string scratch;
  EXPECT_EQ(History().ShownCell(0, 1, scratch), u"5");
  Type(u"brown cat");
  EXPECT_EQ(Shown(), Texts{});

  Type(u"");
  EXPECT_EQ(Shown().size(), 5u);
  EXPECT_EQ(History().ShownCell(0, 1, scratch), u"2");
}

TEST_P(SearchProgramTest, CaseIsIgnoredBeyondAscii_AsWindowsFoldsIt) {
  StartJoined();
  CopyAll({u"\u00C4rger im B\u00FCro", u"\u039F\u0394\u039F\u03A3 street", u"\u03BF\u03B4\u03BF\u03C2 avenue",
           u"plain"});
  Type(u"\u00E4RGER");
  EXPECT_EQ(Shown(), Texts{u"\u00C4rger im B\u00FCro"});
  Type(u"b\u00DCro");
  EXPECT_EQ(Shown(), Texts{u"\u00C4rger im B\u00FCro"});
  // σ finds both the capital Σ and the final ς.
  Type(u"\u03BF\u03B4\u03BF\u03C3");
  EXPECT_EQ(Shown(), (Texts{u"\u03BF\u03B4\u03BF\u03C2 avenue", u"\u039F\u0394\u039F\u03A3 street"}));
  Type(u"\u039F\u0394\u039F\u03C2 STREET");
  EXPECT_EQ(Shown(), Texts{u"\u039F\u0394\u039F\u03A3 street"});
}

TEST_P(SearchProgramTest, DeleteSelected_TakesOnlyTheSelectedShownRows_AndTheFileShowsIt) {
  StartJoined();
  CopyAll({u"A keep", u"B drop", u"C keep", u"D drop", u"E drop"});
  // A row selected before the search hides it stays, as the user can no longer see it.
  History().ClickRow(4);  // "A keep"
  Type(u"drop");
  ASSERT_EQ(Shown(), (Texts{u"E drop", u"D drop", u"B drop"}));
  History().ClickRow(0);
  History().CtrlClickRow(2);
  Form1().BitBtn1.Click();
  EXPECT_EQ(Shown(), Texts{u"D drop"});
  Type(u"");
  EXPECT_EQ(Shown(), (Texts{u"D drop", u"C keep", u"A keep"}));
  EXPECT_EQ(DataFileBytes("clipboard_history.hstr"),
            CopiedFile("0,12/8/2026 9:30:01 AM,D drop\r\n0,12/8/2026 9:30:01 AM,C keep\r\n"
                       "3,12/8/2026 9:30:01 AM,A keep\r\n"));
}

TEST_P(SearchProgramTest, ACaptureWhileFiltering_EntersTheHistory_AndShowsOnlyIfItMatches) {
  StartJoined();
  CopyAll({u"mail one", u"note"});
  Type(u"mail");
  History().ClickRow(0);
  CopyAll({u"mail two"});
  EXPECT_EQ(Shown(), (Texts{u"mail two", u"mail one"}));
  CopyAll({u"other"});
  EXPECT_EQ(Shown(), (Texts{u"mail two", u"mail one"}));
  EXPECT_EQ(History().Rows().RowCount(), 4);
  // The clicked entry keeps its selection as rows come in above it.
  EXPECT_EQ(History().ShownPosition(History().Rows().CurrentRow()), 1);
  EXPECT_TRUE(History().Rows().RowSelected(History().ShownRow(1)));
}

TEST_P(SearchProgramTest, ClearingTheBox_BringsEveryRowBack_WithTheSameEntriesSelected) {
  StartJoined();
  CopyAll({u"red 1", u"blue 2", u"red 3", u"green 4", u"red 5"});
  Type(u"red");
  History().ClickRow(0);       // red 5
  History().ShiftClickRow(2);  // to red 1
  History().CtrlClickRow(1);   // red 3 out again
  Form1().Search_e.SetFocus();
  EXPECT_TRUE(Form1().KeyDown(0x1B, false));  // Esc clears the box
  EXPECT_EQ(Form1().Search_e.Text(), u"");
  EXPECT_EQ(Shown().size(), 5u);
  // Rows: red 5, green 4, red 3, blue 2, red 1.
  EXPECT_EQ(SelectedRows(), (std::vector<bool>{true, false, false, false, true}));
  EXPECT_EQ(History().Rows().CurrentRow(), 2);
}

TEST_P(SearchProgramTest, ClearAllWhileFiltering_ClearsTheWholeHistory) {
  StartJoined();
  CopyAll({u"alpha", u"beta", u"alphabet"});
  Type(u"alpha");
  Form1().BitBtn2.Click();
  EXPECT_EQ(History().Rows().RowCount(), 0);
  EXPECT_EQ(Shown(), Texts{});
  EXPECT_EQ(DataFileBytes("clipboard_history.hstr"), Utf16File(""));
  CopyAll({u"alpha again", u"gamma"});
  EXPECT_EQ(Shown(), Texts{u"alpha again"});
}

TEST_P(SearchProgramTest, DoubleClickOnAFilteredRow_CopiesThatEntry) {
  StartJoined();
  CopyAll({u"first match", u"skip", u"second match", u"skip too"});
  Type(u"match");
  History().DblClickCell(2, 1);
  EXPECT_EQ(desk.clipboard.UnicodeText(), Copied(u"first match"));
  // Recorded again on top, where it matches the search too.
  EXPECT_EQ(Shown(), (Texts{u"first match", u"second match", u"first match"}));
}

TEST_P(SearchProgramTest, ExportWritesTheWholeHistory_ImportedRowsAreFiltered) {
  StartJoined();
  CopyAll({u"apple", u"pear"});
  Type(u"apple");
  desk.dialogs.AnswerNextFileDialog("C:\\Exports\\all");
  desk.files.MakeFolder("C:\\Exports");
  Form1().BitBtn5.Click();
  EXPECT_EQ(desk.files.FileBytes("C:\\Exports\\all.hstr"),
            CopiedFile("0,12/8/2026 9:30:01 AM,pear\r\n2,12/8/2026 9:30:01 AM,apple\r\n"));

  desk.files.PutFile("C:\\Exports\\more.hstr", Utf16File("1,,crab apple\r\n2,,plum\r\n3,,apple pie\r\n"));
  desk.dialogs.AnswerNextFileDialog("C:\\Exports\\more.hstr");
  Form1().BitBtn6.Click();
  desk.windows.Advance(20);  // the rows an import brings are scanned from the window's timer
  EXPECT_EQ(Shown(), (Texts{u"apple", u"crab apple", u"apple pie"}));
  EXPECT_EQ(History().Rows().RowCount(), 5);
}

TEST_P(SearchProgramTest, CtrlF_FocusesTheBoxOnTheHistoryTabOnly) {
  StartJoined();
  Form1().PageControl1.SetActivePageIndex(0);
  EXPECT_FALSE(Form1().KeyDown('F', true));
  EXPECT_FALSE(Form1().Search_e.Focused());
  Form1().PageControl1.SetActivePageIndex(1);
  History().SetFocus();
  EXPECT_FALSE(Form1().KeyDown('F', false));
  EXPECT_TRUE(Form1().KeyDown('F', true));
  EXPECT_TRUE(Form1().Search_e.Focused());
  // Esc elsewhere is not the box's.
  Type(u"x");
  History().SetFocus();
  EXPECT_FALSE(Form1().KeyDown(0x1B, false));
  EXPECT_EQ(Form1().Search_e.Text(), u"x");
}

TEST_P(SearchProgramTest, NothingOfTheSearchIsSaved) {
  StartJoined();
  CopyAll({u"kept", u"other"});
  Type(u"kept");
  Form1().Exit1.Click();
  FinishIfQuit();
  EXPECT_EQ(DataFileBytes("clipboard_history.hstr"),
            CopiedFile("0,12/8/2026 9:30:01 AM,other\r\n2,12/8/2026 9:30:01 AM,kept\r\n"));
  Restart();
  EXPECT_EQ(Form1().Search_e.Text(), u"");
  EXPECT_EQ(Shown().size(), 2u);
}

// A user at any speed: letters typed, Backspaces, words pasted and Esc, with copies and deletes
// in between, while the scans and the signing ahead run on in slices from the window's timer. Whenever the
// search has caught up, the table holds exactly the entries that a plain scan of the history finds.
// Stands for the list view: counts what the table is told.
class CountingPeer final : public ui::Peer {
 public:
  explicit CountingPeer(int& updates) : updates_(updates) {}
  void Update() override { ++updates_; }

 private:
  int& updates_;
};

TEST_P(SearchProgramTest, QuickBackspaces_TellTheTableOnlyOfTheLast_AndAWaitingKeyOfAnotherKindDelaysItOnly) {
  StartJoined();
  CopyAll({u"sunflower", u"sunny", u"summer", u"winter", u"sunflowers"});
  const std::u16string word = u"sunflower";
  for (std::size_t k = 1; k <= word.size(); ++k) {
    Type(word.substr(0, k));
    desk.windows.Advance(50);
  }
  int updates = 0;
  History().AttachPeer(std::make_unique<CountingPeer>(updates));
  updates = 0;
  // Each of these results is known from the letters typed; while the next Backspace waits,
  // none is shown.
  for (std::size_t k = word.size() - 1; k > 2; --k) {
    desk.windows.SetKeyPressWaiting(true);
    Type(word.substr(0, k));
    desk.windows.Advance(1);
    EXPECT_EQ(updates, 0) << k;
  }
  desk.windows.SetKeyPressWaiting(false);
  Type(u"su");
  EXPECT_GT(updates, 0);
  EXPECT_EQ(Shown(), (Texts{u"sunflowers", u"summer", u"sunny", u"sunflower"}));

  // The key that waited turns out to be another one (an arrow, say): the rows are shown at the
  // next tick all the same.
  updates = 0;
  desk.windows.SetKeyPressWaiting(true);
  Type(u"sunn");
  EXPECT_EQ(updates, 0);
  desk.windows.SetKeyPressWaiting(false);
  desk.windows.Advance(5);
  EXPECT_GT(updates, 0);
  EXPECT_EQ(Shown(), Texts{u"sunny"});
  History().AttachPeer(nullptr);
}

TEST_P(SearchProgramTest, AnySequenceOfEdits_CapturesAndDeletes_EndsWithThePlainScansRows) {
  std::mt19937 random(31);
  // With wide texts, some units above U+00FF among them, so that the history mixes both widths.
  const std::u16string letters =
      GetParam() ? u"quoxQUOX a\u00E9\u00C9\u0416\u0436" : u"quoxQUOX a\u00E9\u00C9";
  auto text = [&] {
    std::u16string t;
    for (int k = 5 + random() % 30; k > 0; --k) t.push_back(letters[random() % letters.size()]);
    return t;
  };
  std::string file = "\xFF\xFE";
  for (int i = 0; i < 400; ++i) {
    const std::u16string line = u"1,12/8/2026 9:30:00 AM," + text() + u"\r\n";
    for (char16_t unit : line) {
      file += static_cast<char>(unit & 0xFF);
      file += static_cast<char>(unit >> 8);
    }
  }
  PutDataFile("clipboard_history.hstr", file);
  // The texts are signed ahead from the window's timer a row or two a tick, so that copies,
  // deletes and the first search come while only some of them are.
  Start();
  Form1().HistorySearch.SignUnits = 0;
  desk.windows.Advance(1000);  // the main window joins the clipboard viewer chain
  Form1().HistorySearch.SignUnits = 40;
  ASSERT_FALSE(History().Rows().KeepsSignatures(History().Rows().ColumnIndex("Clipboadrs_history")));
  Form1().HistorySearch.SliceUnits = 200;  // a few rows a slice: every scan spans many timer ticks
  Form1().PageControl1.SetActivePageIndex(1);
  Form1().Search_e.SetFocus();

  // What a plain scan finds: the rows holding every typed word, without regard to case.
  auto plainScan = [&](const std::u16string& typed) {
    std::vector<std::u16string> words;
    std::u16string word;
    for (char16_t unit : typed + u" ") {
      if (unit == u' ') {
        if (!word.empty()) words.push_back(word);
        word.clear();
      } else {
        word.push_back(grid::UpperUnit(unit));
      }
    }
    Texts texts;
    const grid::Table& history = History().Rows();
    for (int row = 0; row < history.RowCount(); ++row) {
      std::u16string upper = history.Cell("Clipboadrs_history", row);
      for (char16_t& unit : upper) unit = grid::UpperUnit(unit);
      if (std::all_of(words.begin(), words.end(),
                      [&](const auto& w) { return upper.find(w) != std::u16string::npos; })) {
        std::u16string text = history.Cell("Clipboadrs_history", row);
        if (GetParam() && !text.empty() && text.back() == WideMark) text.pop_back();
        texts.push_back(std::move(text));
      }
    }
    return texts;
  };
  auto catchUp = [&] {
    for (int tick = 0; tick < 100000 && Form1().HistorySearch.Busy(); ++tick) desk.windows.Advance(1);
  };

  for (int sequence = 0; sequence < 30; ++sequence) {
    for (int edit = 0; edit < 25; ++edit) {
      std::u16string typed = Form1().Search_e.Text();
      switch (random() % 9) {
        case 0:
        case 1:
        case 2:
          Type(typed + letters[random() % letters.size()]);
          break;
        case 3:
        case 4:
          if (!typed.empty()) Type(typed.substr(0, typed.size() - 1));
          break;
        case 5: {
          // A word pasted in as keys (each but the last finds the next one waiting), or all at once.
          const std::u16string word = text().substr(0, 1 + random() % 6);
          if (random() % 2 == 0) {
            Type(typed + word);
            break;
          }
          for (std::size_t k = 0; k < word.size(); ++k) {
            desk.windows.SetKeyPressWaiting(k + 1 < word.size());
            Type(typed + word.substr(0, k + 1));
          }
          break;
        }
        case 6:
          EXPECT_TRUE(Form1().KeyDown(0x1B, false));  // Esc
          break;
        case 7:
          CopyAll({text()});
          break;
        case 8:
          if (History().ShownCount() > 0) {
            History().ClickRow(static_cast<int>(random() % History().ShownCount()));
            Form1().BitBtn1.Click();
          }
          break;
      }
      // Quick typing gives the scan no time; slow typing lets it finish.
      desk.windows.Advance(random() % 3 == 0 ? 0 : random() % 40);
    }
    catchUp();
    ASSERT_EQ(Shown(), plainScan(Form1().Search_e.Text())) << "sequence " << sequence;
  }
}

}  // namespace
}  // namespace search_program_test

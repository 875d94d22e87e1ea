// The snapshot of the whole clipboard that the hotkey paste takes and puts back.
#include "clipboard/snapshot.h"

#include <gtest/gtest.h>

#include "clipboard/paste_writes.h"

#include "clipboard_history_support.h"
#include "paste_recorder.h"

namespace clipboard_snapshot_test {

namespace {

using namespace platform;
using clipboard::ClipboardSnapshot;

constexpr Uint CfHDrop = 15;  // a file list

// Another program that offers a format without its data, and renders it when asked.
class DelayedRenderer : private IWindowProc {
 public:
  explicit DelayedRenderer(sim::SimDesktop& desk) : desk_(desk) {
    WindowDesc desc;
    desc.kind = WindowKind::Hidden;
    window_ = desk_.windows.CreateWindowA(desc, this);
  }
  ~DelayedRenderer() { desk_.windows.DestroyWindow(window_); }
  void Offer(Uint format, const std::string& bytes) {
    bytes_ = bytes;
    ASSERT_TRUE(desk_.clipboard.OpenClipboard(window_));
    desk_.clipboard.EmptyClipboard();
    desk_.clipboard.SetClipboardData(format, 0);
    desk_.clipboard.CloseClipboard();
  }
  int renders = 0;

 private:
  LResult WindowProc(Hwnd hwnd, Uint msg, WParam wParam, LParam lParam) override {
    if (msg != WmRenderFormat) return desk_.windows.DefWindowProcA(hwnd, msg, wParam, lParam);
    ++renders;
    desk_.clipboard.SetClipboardData(static_cast<Uint>(wParam),
                                     desk_.memory.MakeBlock(bytes_, bytes_.size()));
    return 0;
  }
  sim::SimDesktop& desk_;
  Hwnd window_;
  std::string bytes_;
};

class SnapshotTest : public clipboard_history_test::DesktopTest {
 protected:
  SnapshotTest() : other(desk.clipboard) {}
  void TearDown() override {
    EXPECT_FALSE(desk.clipboard.IsOpen());
    EXPECT_EQ(0, desk.memory.SystemBlocksFreed());
    EXPECT_EQ(0, desk.memory.BadFrees());
  }
  // Takes a snapshot, overwrites the clipboard with other text, and restores the snapshot.
  void RoundTrip(ClipboardSnapshot& snapshot) {
    ASSERT_TRUE(snapshot.Take(Paster));
    ASSERT_TRUE(other.CopyText("the action's text"));
    ASSERT_TRUE(snapshot.Restore(Paster));
  }
  std::vector<std::pair<Uint, std::string>> Content() { return testing_support::ProgramContent(desk); }
  static constexpr Hwnd Paster = 0x4343;
  sim::ForeignProgram other;
};

TEST_F(SnapshotTest, RoundTrip_GivesBackEachKindOfContentExactly) {
  const Uint html = desk.clipboard.RegisterClipboardFormatA("HTML Format");
  const Uint exclude =
      desk.clipboard.RegisterClipboardFormatA("ExcludeClipboardContentFromMonitorProcessing");
  std::string dib(44, '\0');
  dib[0] = 40;
  const std::vector<std::vector<std::pair<Uint, std::string>>> cases = {
      {{CfText, std::string("plain\0", 6)}},
      {{CfDib, dib}},
      {{CfText, std::string("secret\0", 7)}, {exclude, std::string(4, '\0')}},
      {{html, "<b>bold</b>"}, {CfText, std::string("bold\0spare", 10)}, {CfDib, dib}, {CfHDrop, "files"}},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    ASSERT_TRUE(other.CopyFormats(cases[i]));
    const int blocksBefore = desk.memory.LiveBlocks();
    ClipboardSnapshot snapshot(desk);
    RoundTrip(snapshot);
    EXPECT_EQ(Content(), cases[i]) << i;
    EXPECT_TRUE(snapshot.Skipped().empty()) << i;
    EXPECT_EQ(desk.clipboard.Owner(), Paster) << i;
    EXPECT_EQ(desk.memory.LiveBlocks(), blocksBefore) << i;  // the copies went to the clipboard
  }
}

TEST_F(SnapshotTest, EmptyClipboard_ComesBackEmpty) {
  ASSERT_TRUE(other.CopyFormats({}));
  ClipboardSnapshot snapshot(desk);
  RoundTrip(snapshot);
  EXPECT_TRUE(desk.clipboard.Formats().empty());
  EXPECT_EQ(snapshot.Bytes(), 0u);
}

TEST_F(SnapshotTest, DelayedFormat_IsRenderedAtTheTakeAndPutBackWithItsData) {
  DelayedRenderer renderer(desk);
  renderer.Offer(CfText, std::string("late\0", 5));
  ClipboardSnapshot snapshot(desk);
  ASSERT_TRUE(snapshot.Take(Paster));
  EXPECT_EQ(renderer.renders, 1);
  ASSERT_TRUE(other.CopyText("x"));
  ASSERT_TRUE(snapshot.Restore(Paster));
  EXPECT_EQ(desk.clipboard.Text(), "late");
  EXPECT_FALSE(desk.clipboard.IsDelayed(CfText));
}

TEST_F(SnapshotTest, FormatsThatCannotBeCopied_AreSkippedAndTheRestComesBack) {
  const Uint privateFormat = CfPrivateFirst + 1;
  ASSERT_TRUE(other.CopyFormats({{CfText, std::string("kept\0", 5)},
                                 {CfOwnerDisplay, "drawn"},
                                 {privateFormat, "handle"},
                                 {CfUnicodeText, std::string("k\0e\0p\0t\0\0\0", 10)},
                                 {CfLocale, "\x09\x04\0\0"},
                                 {CfHDrop, "fails"}}));
  ClipboardSnapshot snapshot(desk);
  ASSERT_TRUE(snapshot.Take(Paster));
  EXPECT_EQ(snapshot.Formats(), (std::vector<Uint>{CfText, CfHDrop, CfLocale}));
  EXPECT_EQ(snapshot.Skipped(), (std::vector<Uint>{CfOwnerDisplay, privateFormat}));
  ASSERT_TRUE(other.CopyText("x"));
  ASSERT_TRUE(snapshot.Restore(Paster));
  EXPECT_EQ(desk.clipboard.Formats(), (std::vector<Uint>{CfText, CfHDrop, CfLocale}));
}

TEST_F(SnapshotTest, AFailedCopy_SkipsThatFormatOnly) {
  ASSERT_TRUE(other.CopyFormats({{CfText, std::string("kept\0", 5)}, {CfDib, std::string(44, 'd')}}));
  ClipboardSnapshot snapshot(desk);
  desk.memory.FailLocks(1);  // the text's block cannot be read
  ASSERT_TRUE(snapshot.Take(Paster));
  EXPECT_EQ(snapshot.Skipped(), (std::vector<Uint>{CfText}));
  ASSERT_TRUE(snapshot.Restore(Paster));
  EXPECT_EQ(desk.clipboard.Formats(), (std::vector<Uint>{CfDib}));
}

TEST_F(SnapshotTest, ClipboardHeldByAnotherProgram_TakesNothingAndRestoreWaitsForIt) {
  ASSERT_TRUE(other.CopyText("mine"));
  sim::ForeignProgram holder(desk.clipboard, "Holder");
  ASSERT_TRUE(holder.HoldOpen());
  ClipboardSnapshot snapshot(desk);
  EXPECT_FALSE(snapshot.Take(Paster));
  EXPECT_FALSE(snapshot.Taken());
  holder.Release();
  ASSERT_TRUE(snapshot.Take(Paster));
  ASSERT_TRUE(other.CopyText("x"));
  ASSERT_TRUE(holder.HoldOpen());
  EXPECT_FALSE(snapshot.Restore(Paster));  // the copies are kept for another try
  holder.Release();
  ASSERT_TRUE(snapshot.Restore(Paster));
  EXPECT_EQ(desk.clipboard.Text(), "mine");
}

TEST_F(SnapshotTest, NotRestored_FreesItsCopies) {
  ASSERT_TRUE(other.CopyFormats({{CfDib, std::string(4096, 'p')}}));
  const int blocks = desk.memory.LiveBlocks();
  {
    ClipboardSnapshot snapshot(desk);
    ASSERT_TRUE(snapshot.Take(Paster));
    EXPECT_EQ(snapshot.Bytes(), 4096u);
    EXPECT_EQ(desk.memory.LiveBlocks(), blocks + 1);
  }
  EXPECT_EQ(desk.memory.LiveBlocks(), blocks);
}

// Given back by a paste, the content also carries the three marks, each a DWORD 0, in place of
// one of the same name that it had; and whether the content was private is known from the take.
TEST_F(SnapshotTest, MarkedRestore_AddsTheMarksOverTheContentsOwn_AndTheTakeTellsPrivateContent) {
  const Uint canInclude = desk.clipboard.RegisterClipboardFormatA("CanIncludeInClipboardHistory");
  const std::string one("\x01\0\0\0", 4);
  struct Case {
    std::vector<std::pair<Uint, std::string>> content;
    bool markedPrivate;
  };
  const std::vector<Case> cases = {
      {{{CfText, std::string("plain\0", 6)}}, false},
      {{{CfText, std::string("kept\0", 5)}, {canInclude, one}}, false},
      {{{CfText, std::string("secret\0", 7)}, {canInclude, std::string(4, '\0')}}, true},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    ASSERT_TRUE(other.CopyFormats(cases[i].content));
    ClipboardSnapshot snapshot(desk);
    ASSERT_TRUE(snapshot.Take(Paster));
    EXPECT_EQ(snapshot.MarkedPrivate(), cases[i].markedPrivate) << i;
    ASSERT_TRUE(other.CopyText("the action's text"));
    ASSERT_TRUE(snapshot.Restore(Paster, SIZE_MAX, true));
    EXPECT_EQ(testing_support::WithoutMarks(desk, Content()),
              testing_support::WithoutMarks(desk, cases[i].content))
        << i;
    EXPECT_EQ(testing_support::PasteMarks(desk), testing_support::AllPasteMarks()) << i;
  }
}

// A paste offers, with its data delayed, exactly the blocks the entry's re-copy puts there.
TEST_F(SnapshotTest, ContentBlocks_AreWhatSetClipboardContentPuts) {
  std::vector<clipboard::ClipboardContent> cases(5);
  cases[0].text = u"plain";
  cases[1].text = u"bold";
  cases[1].html = "<b>bold</b>";
  cases[1].rtf = "{\\rtf1 bold}";
  cases[2].png = "\x89PNG";
  cases[2].dib = std::string(44, '\x02');
  cases[3].text = u"C:\\a";
  cases[3].fileList = std::string(24, '\x03');
  // cases[4]: empty, as an empty text
  for (std::size_t i = 0; i < cases.size(); ++i) {
    ASSERT_TRUE(clipboard::SetClipboardContent(desk, Paster, cases[i]));
    EXPECT_EQ(clipboard::ContentBlocks(desk.clipboard, cases[i]), Content()) << i;
  }
}

}  // namespace
}  // namespace clipboard_snapshot_test

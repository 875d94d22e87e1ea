// The recorder's window in the clipboard viewer chain, between other programs' viewers.
#include "clipboard/viewer_chain.h"

#include <gtest/gtest.h>

#include "clipboard_history_support.h"

namespace viewer_chain_test {

namespace {

using namespace platform;
using clipboard_history_test::HistoryWindow;

class ViewerChainTest : public clipboard_history_test::DesktopTest {
 protected:
  ViewerChainTest()
      : other(desk.clipboard, "editor"), first(desk.clipboard, "first"), second(desk.clipboard, "second") {}
  sim::ForeignProgram other;
  sim::NeighbourViewer first, second;
};

TEST_F(ViewerChainTest, Join_ThePreviousHeadBecomesNextViewer_AndTheCurrentTextIsCaptured) {
  first.Join();
  other.CopyText("already there");
  first.ClearReceived();
  HistoryWindow main(desk);
  main.Join();
  main.Join();  // a second join must not make the window its own successor
  EXPECT_EQ(first.Window(), main.recorder.NextViewer);
  EXPECT_EQ(std::vector<std::u16string>{u"already there"}, main.Texts());
  // The system's notice at joining comes before NextViewer is known and goes no further.
  EXPECT_EQ(0, first.DrawClipboards());
  other.CopyText("next");
  EXPECT_EQ(2, main.tellings);
  EXPECT_EQ(1, first.DrawClipboards());
}

TEST_F(ViewerChainTest, Recorder_JoinsFromItsOwnWindowASecondAfterItWasMade_Once) {
  first.Join();
  other.CopyText("before");
  first.ClearReceived();
  HistoryWindow main(desk);
  desk.windows.Advance(history::Recorder::JoinDelay - 1);
  EXPECT_EQ(first.Window(), desk.clipboard.Viewer());
  EXPECT_TRUE(main.Texts().empty());
  desk.windows.Advance(1);
  EXPECT_EQ(main.recorder.Window(), desk.clipboard.Viewer());
  EXPECT_NE(main.handle, main.recorder.Window());
  EXPECT_EQ(first.Window(), main.recorder.NextViewer);
  EXPECT_EQ(std::vector<std::u16string>{u"before"}, main.Texts());
  main.Join();  // joined already: no second link
  desk.windows.Advance(10 * history::Recorder::JoinDelay);
  other.CopyText("after");
  EXPECT_EQ((std::vector<std::u16string>{u"after", u"before"}), main.Texts());
  EXPECT_EQ(1, first.DrawClipboards());
}

TEST_F(ViewerChainTest, DrawClipboard_PassedOnOnceWithZeroParameters_OnEveryPath) {
  first.Join();
  HistoryWindow main(desk);
  main.Join();
  first.ClearReceived();
  other.CopyText("A");  // recorded
  other.CopyText("A");  // a repeat: the capture ends early
  other.CopyImage();    // no text: an image entry, shown at once
  desk.memory.FailLocks(1);
  other.CopyText("B");  // the capture fails with an error
  ASSERT_EQ(4, first.DrawClipboards());
  for (const sim::SentMessage& m : first.Received()) {
    EXPECT_EQ(0u, m.wParam);
    EXPECT_EQ(0, m.lParam);
  }
  EXPECT_EQ(1u, main.errors.size());  // the failure went on to the window's error report
  EXPECT_EQ((std::vector<std::u16string>{u"[Image 1\u00D71]", u"A"}), main.Texts());
}

// main -> first -> second.
TEST_F(ViewerChainTest, ChangeCbChain_ForwardedUnchangedUnlessItNamesNextViewer) {
  second.Join();
  first.Join();
  HistoryWindow main(desk);
  main.Join();
  first.ClearReceived();

  second.Leave();  // not main's successor: forwarded to first, who repairs its own link
  ASSERT_EQ(1u, first.Received().size());
  EXPECT_EQ(second.Window(), first.Received()[0].wParam);
  EXPECT_EQ(0, first.Received()[0].lParam);
  EXPECT_EQ(0u, first.Next());
  EXPECT_EQ(first.Window(), main.recorder.NextViewer);

  second.Join();  // second -> main -> first
  first.Leave();  // main's successor: NextViewer takes the lParam, nothing is forwarded
  EXPECT_EQ(0u, main.recorder.NextViewer);
  EXPECT_EQ(1u, first.Received().size());
  other.CopyText("last member");  // still captured; the pass-on goes to handle 0
  EXPECT_EQ(std::vector<std::u16string>{u"last member"}, main.Texts());
  EXPECT_EQ(0, first.DrawClipboards());
}

TEST_F(ViewerChainTest, Leave_UnlinksFromTheMiddleAndAsLastMember_NotWhenNeverJoined) {
  first.Join();
  HistoryWindow main(desk), last(desk), never(desk);
  main.Join();
  second.Join();  // second -> main -> first
  main.recorder.LeaveChain();
  EXPECT_EQ(first.Window(), second.Next());
  EXPECT_EQ(0u, main.recorder.NextViewer);

  first.Leave();
  last.Join();     // last -> second -> 0
  second.Leave();  // last -> 0: the last member of the chain
  ASSERT_EQ(0u, last.recorder.NextViewer);
  sim::NeighbourViewer before(desk.clipboard);
  before.Join();  // before -> last -> 0
  last.recorder.LeaveChain();
  EXPECT_EQ(0u, before.Next());  // no longer passes notices to a window that is going

  before.ClearReceived();
  never.recorder.LeaveChain();
  never.Join();  // left for good
  EXPECT_TRUE(before.Received().empty());
  EXPECT_EQ(before.Window(), desk.clipboard.Viewer());
}

}  // namespace
}  // namespace viewer_chain_test

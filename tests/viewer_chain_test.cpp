// The main window in the clipboard viewer chain, between other programs' viewers.
#include "clipboard/viewer_chain.h"

#include <gtest/gtest.h>

#include "clipboard_history_support.h"

namespace {

using namespace platform;
using sim::SentMessage;
using clipboard_history_test::TestMainWindow;
using State = clipboard::ViewerChain::State;

class ViewerChainTest : public clipboard_history_test::DesktopTest {
 protected:
  ViewerChainTest() : other(sim.clipboard, "editor") {}

  // Sends the window made to the successor, in order.
  std::vector<SentMessage> SentBy(Uint msg) {
    std::vector<SentMessage> found;
    for (const SentMessage& m : sim.windows.Sent())
      if (m.msg == msg) found.push_back(m);
    return found;
  }

  sim::ForeignProgram other;
};

TEST_F(ViewerChainTest, Join_TakesThePreviousHeadAsNextViewer_AndCapturesAtOnce) {
  sim::NeighbourViewer neighbour(sim.clipboard);
  neighbour.Join();
  other.CopyText("already there");
  neighbour.ClearReceived();

  TestMainWindow main(desk);
  main.Join();
  EXPECT_EQ(neighbour.Window(), main.NextViewer);
  EXPECT_EQ(main.handle, sim.clipboard.Viewer());
  EXPECT_EQ(State::Joined, main.Chain.Membership());
  // The system's notice at joining arrives before NextViewer is known, so it stops here.
  EXPECT_EQ(1, main.notifications);
  EXPECT_EQ(0, neighbour.DrawClipboards());
  EXPECT_EQ(std::vector<std::u16string>{u"already there"}, main.Texts());

  other.CopyText("next");
  EXPECT_EQ(2, main.notifications);
  EXPECT_EQ(1, neighbour.DrawClipboards());
}

TEST_F(ViewerChainTest, Join_ASecondTime_DoesNotMakeTheWindowItsOwnSuccessor) {
  TestMainWindow main(desk);
  main.Join();
  main.Join();
  EXPECT_EQ(0u, main.NextViewer);
  other.CopyText("x");
  EXPECT_EQ(2, main.notifications);  // the join's and this one, no loop
}

TEST_F(ViewerChainTest, DrawClipboard_PassedOnOnceWithZeroParameters_OnEveryPath) {
  sim::NeighbourViewer neighbour(sim.clipboard);
  neighbour.Join();
  TestMainWindow main(desk);
  main.Join();
  neighbour.ClearReceived();

  other.CopyText("A");  // recorded
  other.CopyText("A");  // a repeat: the capture ends early
  other.CopyImage();    // no text
  sim.memory.FailLocks(1);
  other.CopyText("B");  // the capture fails with an error

  EXPECT_EQ(4, neighbour.DrawClipboards());
  for (const SentMessage& m : neighbour.Received()) {
    EXPECT_EQ(0u, m.wParam);
    EXPECT_EQ(0, m.lParam);
  }
  ASSERT_EQ(1u, main.errors.size());  // the failure went on to the window's error report
  EXPECT_EQ(std::vector<std::u16string>{u"A"}, main.Texts());
}

TEST_F(ViewerChainTest, LastMember_StillCaptures_AndItsPassOnGoesToNoWindow) {
  TestMainWindow main(desk);
  main.Join();
  sim.windows.Sent().clear();
  other.CopyText("alone");
  EXPECT_EQ(std::vector<std::u16string>{u"alone"}, main.Texts());
  std::vector<SentMessage> passOns = SentBy(WmDrawClipboard);
  ASSERT_EQ(2u, passOns.size());  // the system's to the window, the window's to handle 0
  EXPECT_EQ(main.handle, passOns[0].hwnd);
  EXPECT_EQ(0u, passOns[1].hwnd);
}

// main -> first -> second: the window repairs its own link and forwards what is not about it.
TEST_F(ViewerChainTest, ChangeCbChain_RepairsWhenItsSuccessorLeaves_ForwardsOtherwise) {
  sim::NeighbourViewer second(sim.clipboard, "second");
  sim::NeighbourViewer first(sim.clipboard, "first");
  second.Join();
  first.Join();
  TestMainWindow main(desk);
  main.Join();
  first.ClearReceived();
  second.ClearReceived();

  // The last one leaves: not main's successor, so forwarded unchanged to first, who repairs.
  second.Leave();
  ASSERT_EQ(1u, first.Received().size());
  EXPECT_EQ(WmChangeCbChain, first.Received()[0].msg);
  EXPECT_EQ(second.Window(), first.Received()[0].wParam);
  EXPECT_EQ(0, first.Received()[0].lParam);
  EXPECT_EQ(first.Window(), main.NextViewer);
  EXPECT_EQ(0u, first.Next());

  // main's successor leaves, naming successor 0: main takes it and forwards nothing.
  first.Leave();
  EXPECT_EQ(0u, main.NextViewer);
  EXPECT_EQ(1u, first.Received().size());

  other.CopyText("after");
  EXPECT_EQ(0, first.DrawClipboards());
  EXPECT_EQ(0, second.DrawClipboards());
  EXPECT_EQ(std::vector<std::u16string>{u"after"}, main.Texts());
}

TEST_F(ViewerChainTest, ChangeCbChain_NamingItsSuccessor_TakesTheWindowAfterIt) {
  sim::NeighbourViewer last(sim.clipboard, "last");
  sim::NeighbourViewer middle(sim.clipboard, "middle");
  last.Join();
  middle.Join();
  TestMainWindow main(desk);
  main.Join();
  last.ClearReceived();

  middle.Leave();
  EXPECT_EQ(last.Window(), main.NextViewer);
  EXPECT_TRUE(last.Received().empty());  // not forwarded
  other.CopyText("x");
  EXPECT_EQ(1, last.DrawClipboards());
}

TEST_F(ViewerChainTest, Leave_FromTheMiddle_UnlinksWithItsSuccessor) {
  sim::NeighbourViewer after(sim.clipboard, "after");
  after.Join();
  auto main = std::make_unique<TestMainWindow>(desk);
  main->Join();
  sim::NeighbourViewer before(sim.clipboard, "before");
  before.Join();  // before -> main -> after

  main->Chain.LeaveChain(main->handle);
  EXPECT_EQ(0u, main->NextViewer);
  EXPECT_EQ(State::Left, main->Chain.Membership());
  EXPECT_EQ(after.Window(), before.Next());

  const int seen = main->notifications;
  other.CopyText("x");
  EXPECT_EQ(seen, main->notifications);
  EXPECT_EQ(2, after.DrawClipboards());  // its join notice and this change

  // Left for good: neither a second leave nor a join does anything.
  main->Chain.LeaveChain(main->handle);
  main->Join();
  EXPECT_EQ(before.Window(), sim.clipboard.Viewer());
}

TEST_F(ViewerChainTest, Leave_AsTheLastMember_UnlinksWithSuccessorZero) {
  TestMainWindow main(desk);
  main.Join();
  sim::NeighbourViewer before(sim.clipboard, "before");
  before.Join();  // before -> main -> 0
  ASSERT_EQ(main.handle, before.Next());

  main.Chain.LeaveChain(main.handle);
  EXPECT_EQ(0u, before.Next());  // no longer passes notices to a window that is gone
}

TEST_F(ViewerChainTest, Leave_NeverJoined_TouchesNothing) {
  sim::NeighbourViewer neighbour(sim.clipboard);
  neighbour.Join();
  neighbour.ClearReceived();
  TestMainWindow main(desk);
  main.Chain.LeaveChain(main.handle);
  EXPECT_TRUE(neighbour.Received().empty());
  EXPECT_EQ(neighbour.Window(), sim.clipboard.Viewer());
  EXPECT_EQ(State::Left, main.Chain.Membership());
}

}  // namespace

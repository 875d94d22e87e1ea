// The owner of the program's own writes, whose image goes on the clipboard only when asked for:
// where the system refuses the delay or a render fails, and what ends the wait.
#include "clipboard/content_owner.h"

#include <gtest/gtest.h>

#include <memory>

#include "clipboard_history_support.h"

namespace content_owner_test {

namespace {

using namespace platform;

class ContentOwnerTest : public clipboard_history_test::DesktopTest {
 protected:
  ContentOwnerTest() : other(desk.clipboard) {}
  void TearDown() override {
    owner.reset();
    EXPECT_FALSE(desk.clipboard.IsOpen());
    EXPECT_EQ(0, desk.memory.SystemBlocksFreed());
    EXPECT_EQ(0, desk.memory.BadFrees());
  }
  std::shared_ptr<const clipboard::ClipboardContent> Image(std::string dib, std::string png = "") {
    auto content = std::make_shared<clipboard::ClipboardContent>();
    content->dib = std::move(dib);
    content->png = std::move(png);
    return content;
  }

  sim::ForeignProgram other;
  std::unique_ptr<clipboard::ContentOwner> owner = std::make_unique<clipboard::ContentOwner>(desk);
  const std::string dib = std::string(40, '\x01') + std::string(64, '\x7f');
};

TEST_F(ContentOwnerTest, DelayRefused_TheBitmapGoesOnAtOnce_AndARenderThatFailedIsDoneAtTheNextRequest) {
  desk.clipboard.FailSetData(1);  // the offer without data
  ASSERT_TRUE(owner->Put(Image(dib)));
  EXPECT_FALSE(owner->ImageDelayed());
  EXPECT_EQ(dib, desk.clipboard.BlockBytes(CfDibV5));

  ASSERT_TRUE(owner->Put(Image(dib, "png bytes")));
  ASSERT_TRUE(desk.clipboard.IsDelayed(CfDibV5));
  EXPECT_EQ("png bytes", desk.clipboard.BlockBytes(desk.clipboard.RegisterClipboardFormatA("PNG")));
  desk.memory.FailAllocs(1);
  EXPECT_FALSE(other.ReadFormat(CfDibV5).has_value());
  EXPECT_TRUE(owner->ImageDelayed());
  EXPECT_EQ(dib, other.ReadFormat(CfDibV5));
  EXPECT_FALSE(owner->ImageDelayed());
}

TEST_F(ContentOwnerTest, TheImageWaitsUntilTheOwnersEnd_UnlessAnotherWriteReplacedIt) {
  ASSERT_TRUE(owner->Put(Image(dib)));
  // The clipboard held by another program at the end: the image still waits, and goes on once
  // it is free.
  ASSERT_TRUE(other.HoldOpen());
  EXPECT_FALSE(owner->RenderNow());
  EXPECT_TRUE(owner->ImageDelayed());
  other.Release();
  // As the system asks when it destroys the owner's window.
  desk.windows.SendMessageA(owner->Window(), WmRenderAllFormats, 0, 0);
  EXPECT_FALSE(owner->ImageDelayed());
  EXPECT_EQ(dib, desk.clipboard.BlockBytes(CfDibV5));
  EXPECT_TRUE(owner->OnClipboard());

  ASSERT_TRUE(owner->Put(Image(dib)));
  ASSERT_TRUE(other.CopyText("newer"));
  EXPECT_FALSE(owner->OnClipboard());
  EXPECT_FALSE(owner->ImageDelayed());
  owner.reset();
  EXPECT_EQ("newer", other.ReadText());
  EXPECT_FALSE(desk.clipboard.IsClipboardFormatAvailable(CfDibV5));
}

}  // namespace
}  // namespace content_owner_test

// The windows at other DPIs: laid out from their 96-DPI design, scaled by their monitor's DPI,
// kept on the screen, and laid out anew when they move to a monitor of another DPI.
#include <gtest/gtest.h>

#include <functional>

#include "app/quick_paste.h"
#include "platform/sim/sim_windows.h"
#include "program_fixture.h"

namespace dpi_program_test {

namespace {

using namespace platform;

class DpiProgramTest : public testing_support::ClipboardProgramTest {
 public:
  Rect WindowRect(Hwnd hwnd) {
    int x = 0, y = 0, width = 0, height = 0;
    EXPECT_TRUE(desk.windows.GetWindowRect(hwnd, x, y, width, height));
    return {x, y, x + width, y + height};
  }
  // Every control of the form by name, with its bounds on screen.
  std::vector<std::pair<std::string, ui::Bounds>> Layout(ui::Control& form) {
    std::vector<std::pair<std::string, ui::Bounds>> controls;
    std::function<void(ui::Control&)> walk = [&](ui::Control& control) {
      for (ui::Control* child : control.Children()) {
        controls.emplace_back(child->Name(), child->ScaledBounds());
        walk(*child);
      }
    };
    walk(form);
    return controls;
  }
};

TEST_F(DpiProgramTest, At144Dpi_TheMainWindowAndEveryControlAreOneAndAHalfTimesTheirDesign) {
  Start();
  const auto designed = Layout(Form1());
  const Rect designedWindow = WindowRect(Form1().Handle());
  desk.windows.SetDpi(144);
  Restart();
  const Rect window = WindowRect(Form1().Handle());
  EXPECT_EQ(designedWindow.left, 295);
  EXPECT_EQ(designedWindow.Width(), 625);
  EXPECT_EQ(window.left, 443);
  EXPECT_EQ(window.top, 192);      // moved up to stay within the work area
  EXPECT_EQ(window.Width(), 937);  // 625 * 1.5, the right edge rounded
  EXPECT_EQ(window.Height(), 848);

  const auto scaled = Layout(Form1());
  ASSERT_EQ(scaled.size(), designed.size()) << "the same controls";
  for (std::size_t i = 0; i < scaled.size(); ++i) {
    ASSERT_EQ(scaled[i].first, designed[i].first);
    const ui::Bounds& d = designed[i].second;
    const ui::Bounds& s = scaled[i].second;
    EXPECT_NEAR(s.left, d.left * 1.5, 0.5) << scaled[i].first;
    EXPECT_NEAR(s.top, d.top * 1.5, 0.5) << scaled[i].first;
    EXPECT_NEAR(s.width, d.width * 1.5, 1.0) << scaled[i].first;
    EXPECT_NEAR(s.height, d.height * 1.5, 1.0) << scaled[i].first;
  }
  const ui::Bounds clearAll = Form1().BitBtn2.ScaledBounds();
  EXPECT_EQ((std::vector<int>{clearAll.left, clearAll.top, clearAll.width, clearAll.height}),
            (std::vector<int>{171, 600, 135, 39}));
}

// Scaled up, the window would reach past a small screen: it is kept on the work area.
TEST_F(DpiProgramTest, At192DpiOnASmallScreen_TheWindowStaysOnTheWorkArea) {
  desk.windows.SetWorkAreas({{0, 0, 1024, 728}});
  desk.windows.SetDpi(192);
  Start();
  const Rect window = WindowRect(Form1().Handle());
  EXPECT_EQ(window.left, 0);
  EXPECT_EQ(window.top, 0);
  EXPECT_EQ(window.Width(), 1024);
  EXPECT_EQ(window.Height(), 728);
}

// Moved to a monitor of another DPI, the window takes the place the system suggests and its
// controls are laid out at the new DPI.
TEST_F(DpiProgramTest, DpiChanged_TheSuggestedRectIsTaken_TheControlsFollow) {
  desk.windows.SetDpi(144);
  Start();
  Rect suggested{2000, 100, 2625, 553};
  desk.windows.SetDpi(96);
  desk.windows.SendMessageA(Form1().Handle(), WmDpiChanged, (96 << 16) | 96,
                            reinterpret_cast<LParam>(&suggested));
  const Rect window = WindowRect(Form1().Handle());
  EXPECT_EQ(window.left, 2000);
  EXPECT_EQ(window.Width(), 625);
  EXPECT_EQ(Form1().Dpi(), 96);
  // At its designed size and place; it keeps to the bottom edge of the client area, which on
  // the simulated desktop (whose windows have no frame) is as tall as the window.
  const ui::Bounds clearAll = Form1().BitBtn2.ScaledBounds();
  const int grown = Form1().ClientHeight() - 506;
  EXPECT_EQ((std::vector<int>{clearAll.left, clearAll.top, clearAll.width, clearAll.height}),
            (std::vector<int>{114, 400 + grown, 90, 26}));
}

TEST_F(DpiProgramTest, QuickPastePopup_ScaledToTheMonitorItOpensOn) {
  desk.windows.SetDpi(144);
  StartJoined();
  desk.windows.SetForegroundWindow(other.Window());
  ASSERT_TRUE(desk.hotkeys.Press(ModWin, VkInsert));
  desk.windows.Pump();
  ASSERT_TRUE(program->Quick().List.Visible());
  EXPECT_EQ(program->Quick().List.GetBounds().width, 630);
  EXPECT_EQ(program->Quick().List.GetBounds().height, 480);
}

}  // namespace
}  // namespace dpi_program_test

// Forms that grow: the controls follow the window's size by their anchors at any DPI, the window
// keeps its design size as its smallest, and a kept place comes back onto a monitor that exists.
#include <gtest/gtest.h>

#include "app/program_names.h"
#include "layout_support.h"
#include "program_fixture.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/table_grid.h"
#include "ui/window_placement.h"

namespace layout_test {

namespace {

// A form as the program's are made: tabs that fill it, a list that takes the room, a search box
// above it and buttons along its bottom edge, one of them kept at the right.
class GrowingForm : public ui::Form {
 public:
  GrowingForm(ui::Application& app, grid::Table& rows)
      : ui::Form(app, "GrowingForm"), List(&Sheet, "List", rows) {
    SetBounds(100, 100, 400, 300);
    Pages.SetBounds(0, 0, 400, 300);
    Pages.SetAnchors(ui::AnchorAll);
    Search.SetBounds(0, 0, 392, 21);
    Search.SetAnchors(ui::AnchorLeft | ui::AnchorTop | ui::AnchorRight);
    List.SetBounds(0, 24, 392, 200);
    List.SetAnchors(ui::AnchorAll);
    Delete.SetBounds(8, 232, 90, 26);
    Delete.SetAnchors(ui::AnchorLeft | ui::AnchorBottom);
    Close.SetBounds(294, 232, 90, 26);
    Close.SetAnchors(ui::AnchorRight | ui::AnchorBottom);
  }
  ui::PageControl Pages{this, "Pages"};
  ui::TabSheet Sheet{&Pages, "Sheet", "Sheet"};
  ui::Edit Search{&Sheet, "Search"};
  ui::TableGrid List;
  ui::Button Delete{&Sheet, "Delete", "Delete"};
  ui::Button Close{&Sheet, "Close", "Close"};
};

class LayoutTest : public testing_support::ProgramTest {
 public:
  LayoutTest() : rows({{"N", u"#", grid::ColumnKind::Increment, true, 27, true}}) {}
  void Resize(ui::Form& form, int width, int height) {
    int x, y, w, h;
    desk.windows.GetWindowRect(form.Handle(), x, y, w, h);
    desk.windows.SetWindowPos(form.Handle(), x, y, width, height);
  }
  grid::Table rows;
};

TEST_F(LayoutTest, AtEverySizeAndDpi_ControlsStayInsideAndApart_TheListTakesTheRoom) {
  for (int dpi : {96, 144}) {
    desk.windows.SetDpi(dpi);
    ui::Application app(desk);
    GrowingForm form(app, rows);
    form.Show();
    const ui::Bounds designed = form.List.ScaledBounds();
    for (auto [width, height] : {std::pair{400, 300}, std::pair{700, 500}, std::pair{1600, 1000}}) {
      const ui::Bounds minimum = form.MinimumSize();
      Resize(form, std::max(form.Scale(width), minimum.width), std::max(form.Scale(height), minimum.height));
      EXPECT_EQ(testing_support::LayoutFaults(form), std::vector<std::string>{}) << width << " at " << dpi;
      const ui::Bounds list = form.List.ScaledBounds();
      const int grownX = form.ClientWidth() - form.Scale(400), grownY = form.ClientHeight() - form.Scale(300);
      EXPECT_EQ(list.width, designed.width + grownX);
      EXPECT_EQ(list.height, designed.height + grownY);
      // The buttons stay by their edges: one at the left, one at the right, both at the bottom.
      EXPECT_EQ(form.Delete.ScaledBounds().left, form.Scale(8));
      EXPECT_EQ(form.Delete.ScaledBounds().top, form.Scale(232) + grownY);
      EXPECT_EQ(form.Close.ScaledBounds().left + form.Close.ScaledBounds().width,
                form.Scale(294 + 90) + grownX);
    }
  }
}

TEST_F(LayoutTest, TheWindowCannotBeMadeSmallerThanItsDesignAtItsDpi) {
  desk.windows.SetDpi(144);
  ui::Application app(desk);
  GrowingForm form(app, rows);
  form.Show();
  platform::MinMaxInfo info{};
  desk.windows.SendMessageA(form.Handle(), platform::WmGetMinMaxInfo, 0,
                            reinterpret_cast<platform::LParam>(&info));
  EXPECT_EQ(info.minTrackSize.x, 600);
  EXPECT_EQ(info.minTrackSize.y, 450);
}

TEST_F(LayoutTest, APlaceKeptOnAMonitorThatIsGone_ComesBackOntoTheNearestOne) {
  ui::Application app(desk);
  GrowingForm form(app, rows);
  desk.windows.SetWorkAreas({{0, 0, 1920, 1040}});
  // Kept while a second monitor stood at the right of the first.
  form.RestorePlacement({{2500, 300, 800, 600}, false});
  int x, y, w, h;
  ASSERT_TRUE(desk.windows.GetWindowRect(form.Handle(), x, y, w, h));
  EXPECT_EQ(w, 800);
  EXPECT_EQ(h, 600);
  EXPECT_GE(x, 0);
  EXPECT_LE(x + w, 1920);
  EXPECT_GE(y, 0);
  EXPECT_LE(y + h, 1040);

  // Too large for the monitor it is on now: as much as fits, never below the design size.
  form.RestorePlacement({{-50, -50, 4000, 200}, false});
  ASSERT_TRUE(desk.windows.GetWindowRect(form.Handle(), x, y, w, h));
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  EXPECT_EQ(w, 1920);
  EXPECT_EQ(h, 300);
}

TEST_F(LayoutTest, AMaximizedWindow_IsShownMaximized_AndKeepsItsNormalPlace) {
  ui::Application app(desk);
  GrowingForm form(app, rows);
  form.RestorePlacement({{200, 150, 640, 480}, true});
  form.Show();
  EXPECT_TRUE(desk.windows.IsZoomed(form.Handle()));
  // The list fills the work area's width less its design margins.
  EXPECT_EQ(form.List.ScaledBounds().width, 392 + (1920 - 400));
  const ui::Form::Placement kept = form.CurrentPlacement();
  EXPECT_TRUE(kept.maximized);
  EXPECT_EQ(kept.normal, (ui::Bounds{200, 150, 640, 480}));
}

}  // namespace

namespace {

TEST(WindowPlacementText, RoundTrips_AndRefusesWhatNoWindowHas) {
  const ui::Form::Placement kept{{-1200, 35, 1000, 700}, true};
  EXPECT_EQ(ui::PlacementText(kept), "-1200,35,1000,700,1");
  EXPECT_EQ(ui::ParsePlacement(ui::PlacementText(kept)), kept);
  for (const char* bad : {"", "1,2,3,4", "1,2,3,4,5,6", "1,2,3,4,2", "1,2,0,4,0", "1,2,3,-4,0", "a,2,3,4,0",
                          "1,,3,4,0", "1,2,3,4,0 ", "1,2,99999999999,4,0", "1,2,3,4,"})
    EXPECT_FALSE(ui::ParsePlacement(bad).has_value()) << bad;
}

}  // namespace

namespace {

class MainWindowLayoutTest : public testing_support::ProgramTest {
 public:
  void Place(ui::Form& form, int x, int y, int width, int height) {
    desk.windows.SetWindowPos(form.Handle(), x, y, width, height);
  }
  void Exit() {
    Form1().Exit1.Click();
    FinishIfQuit();
  }
  void Rect(int& x, int& y, int& w, int& h) {
    ASSERT_TRUE(desk.windows.GetWindowRect(Form1().Handle(), x, y, w, h));
  }
};

TEST_F(MainWindowLayoutTest, AtThreeSizesAndTwoDpis_EveryControlIsInsideItsParentAndClearOfTheOthers) {
  for (int dpi : {96, 144}) {
    desk.windows.SetDpi(dpi);
    Start();
    Form1().Show();
    const ui::Bounds minimum = Form1().MinimumSize();
    const ui::Bounds designed = Form1().TableGrid2.ScaledBounds();
    for (auto [width, height] :
         {std::pair{minimum.width, minimum.height}, std::pair{1000, 700}, std::pair{1800, 1000}}) {
      Place(Form1(), 0, 0, std::max(width, minimum.width), std::max(height, minimum.height));
      EXPECT_EQ(testing_support::LayoutFaults(Form1()), std::vector<std::string>{}) << width << " at " << dpi;
      // The tables take the room; the buttons stay below them.
      const ui::Bounds history = Form1().TableGrid2.ScaledBounds();
      EXPECT_GE(history.width, designed.width + (std::max(width, minimum.width) - minimum.width));
      EXPECT_GE(Form1().BitBtn1.ScaledBounds().top, history.top + history.height);
    }
    // The dialogs do not grow; they fit at either DPI.
    EXPECT_EQ(testing_support::LayoutFaults(Tasks()), std::vector<std::string>{}) << dpi;
    EXPECT_EQ(testing_support::LayoutFaults(About()), std::vector<std::string>{}) << dpi;
    program.reset();
    desk.windows.StartNewProcess();
  }
}

TEST_F(MainWindowLayoutTest, SizeAndPlace_AreRemembered_AndAPlaceOnAMonitorThatIsGone_ComesBackOnScreen) {
  desk.windows.SetWorkAreas({{0, 0, 1920, 1040}, {1920, 0, 3840, 1040}});
  Start();
  Form1().Show();
  Place(Form1(), 2100, 100, 1000, 700);
  Exit();
  Restart();
  Form1().Show();
  int x, y, w, h;
  Rect(x, y, w, h);
  EXPECT_EQ((std::vector<int>{x, y, w, h}), (std::vector<int>{2100, 100, 1000, 700}));

  // The second monitor is unplugged before the next start.
  Exit();
  desk.windows.SetWorkAreas({{0, 0, 1920, 1040}});
  Restart();
  Form1().Show();
  Rect(x, y, w, h);
  EXPECT_EQ(w, 1000);
  EXPECT_EQ(h, 700);
  EXPECT_GE(x, 0);
  EXPECT_LE(x + w, 1920);

  // A value that is not a placement leaves the window where it was designed to be.
  Exit();
  desk.registry.SetString(app::MarkerKey, app::MainWindowValue, "garbage");
  Restart();
  Form1().Show();
  Rect(x, y, w, h);
  EXPECT_EQ(w, 625);
  EXPECT_EQ(h, 565);
}

}  // namespace
}  // namespace layout_test

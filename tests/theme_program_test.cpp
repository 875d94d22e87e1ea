// The colours the windows draw with: chosen from the user's apps mode and high contrast, and
// changed in every open window as soon as the user switches.
#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "program_fixture.h"
#include "ui/application.h"
#include "ui/theme.h"

namespace theme_program_test {

namespace {

using ui::Theme;
using ui::ThemeMode;

// The relative luminance of a colour (0 black, 1 white), as the contrast rules count it.
double Luminance(ui::Colour colour) {
  auto channel = [](unsigned value) {
    const double c = value / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * channel(colour & 0xFF) + 0.7152 * channel((colour >> 8) & 0xFF) +
         0.0722 * channel((colour >> 16) & 0xFF);
}

double Contrast(ui::Colour a, ui::Colour b) {
  const double la = Luminance(a), lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// A peer for every control that counts how often it is told to show its control again.
class CountingPeers : public ui::PeerFactory {
 public:
  class Peer : public ui::Peer {
   public:
    explicit Peer(int& count) : count_(count) {}
    void Update() override { ++count_; }

   private:
    int& count_;
  };
  void CreatePeers(ui::Form& form) override { Attach(form); }
  void Attach(ui::Control& control) {
    control.AttachPeer(std::make_unique<Peer>(updates[&control]));
    for (ui::Control* child : control.Children()) Attach(*child);
  }
  std::map<ui::Control*, int> updates;
};

class ThemeProgramTest : public testing_support::ProgramTest {
 public:
  void SetAppsLight(platform::Dword value, platform::Dword type = platform::RegDword) {
    platform::Hkey key = 0;
    ASSERT_EQ(desk.registry.RegCreateKeyExW(platform::HkeyCurrentUser, ui::PersonalizeKey, 0,
                                            platform::KeyAllAccess, key),
              platform::ErrorSuccess);
    desk.registry.RegSetValueExW(key, ui::AppsUseLightThemeValue, type, &value, sizeof value);
    desk.registry.RegCloseKey(key);
  }
  const Theme& Shown() { return Form1().App().Theme(); }
  // Windows tells every top-level window; the main window is one of them.
  void BroadcastColourSetChange() {
    desk.windows.SendMessageA(Form1().Handle(), platform::WmSettingChange, 0, 0);
  }
};

TEST_F(ThemeProgramTest, ModeComesFromAppsUseLightTheme_AndHighContrastWinsOverIt) {
  // Absent: light, in the system's own colours.
  EXPECT_EQ(ui::ReadThemeMode(desk.registry, desk.windows), ThemeMode::Light);
  SetAppsLight(1);
  EXPECT_EQ(ui::ReadThemeMode(desk.registry, desk.windows), ThemeMode::Light);
  SetAppsLight(0);
  EXPECT_EQ(ui::ReadThemeMode(desk.registry, desk.windows), ThemeMode::Dark);
  // Only a DWORD of 0 means dark: a string "0" left by some tool is not the setting.
  SetAppsLight(0, platform::RegSz);
  EXPECT_EQ(ui::ReadThemeMode(desk.registry, desk.windows), ThemeMode::Light);
  SetAppsLight(0);
  desk.windows.SetHighContrast(true);
  EXPECT_EQ(ui::ReadThemeMode(desk.registry, desk.windows), ThemeMode::HighContrast);
}

TEST_F(ThemeProgramTest, LightAndHighContrast_AreTheSystemsColours_DarkIsDarkAndReadable) {
  for (ThemeMode mode : {ThemeMode::Light, ThemeMode::HighContrast}) {
    const Theme theme = ui::ThemeFor(mode, desk.windows);
    EXPECT_EQ(theme.window, desk.windows.GetSysColor(5));
    EXPECT_EQ(theme.windowText, desk.windows.GetSysColor(8));
    EXPECT_EQ(theme.face, desk.windows.GetSysColor(15));
    EXPECT_EQ(theme.faceText, desk.windows.GetSysColor(18));
    EXPECT_EQ(theme.highlight, desk.windows.GetSysColor(13));
    EXPECT_EQ(theme.highlightText, desk.windows.GetSysColor(14));
    EXPECT_EQ(theme.grayText, desk.windows.GetSysColor(17));
  }
  const Theme dark = ui::ThemeFor(ThemeMode::Dark, desk.windows);
  EXPECT_TRUE(dark.Dark());
  for (ui::Colour back : {dark.window, dark.face, dark.header}) EXPECT_LT(Luminance(back), 0.05);
  // Text on every background it is drawn on reads well; the grey of ages and hints too.
  EXPECT_GE(Contrast(dark.windowText, dark.window), 7.0);
  EXPECT_GE(Contrast(dark.faceText, dark.face), 7.0);
  EXPECT_GE(Contrast(dark.faceText, dark.header), 7.0);
  EXPECT_GE(Contrast(dark.highlightText, dark.highlight), 4.5);
  EXPECT_GE(Contrast(dark.grayText, dark.window), 4.5);
  EXPECT_GE(Contrast(dark.link, dark.face), 4.5);
  EXPECT_GE(Contrast(dark.rule, dark.window), 1.5);
}

TEST_F(ThemeProgramTest, TheProgramStartsInTheUsersMode) {
  SetAppsLight(0);
  Start();
  EXPECT_EQ(Shown().mode, ThemeMode::Dark);
}

TEST_F(ThemeProgramTest, ASwitchWhileTheWindowsAreOpen_RedrawsEveryControlAtOnce) {
  CountingPeers peers;
  program = std::make_unique<app::Program>(desk, &peers);
  program->Start();
  Form1().Show();
  ASSERT_EQ(Shown().mode, ThemeMode::Light);
  const unsigned version = Form1().App().ThemeVersion();

  // A setting that changed nothing of the colours redraws nothing.
  for (auto& [control, count] : peers.updates) count = 0;
  BroadcastColourSetChange();
  EXPECT_EQ(Form1().App().ThemeVersion(), version);

  SetAppsLight(0);
  for (auto& [control, count] : peers.updates) count = 0;
  BroadcastColourSetChange();
  EXPECT_EQ(Shown().mode, ThemeMode::Dark);
  EXPECT_EQ(Form1().App().ThemeVersion(), version + 1);
  for (ui::Control* control :
       {static_cast<ui::Control*>(&Form1()), static_cast<ui::Control*>(&Form1().TableGrid2),
        static_cast<ui::Control*>(&Form1().Search_e), static_cast<ui::Control*>(&Form1().PageControl1)})
    EXPECT_GT(peers.updates[control], 0) << control->Name();

  // And back, when the user chooses light again; also when only the system colours change.
  SetAppsLight(1);
  desk.windows.SendMessageA(Form1().Handle(), platform::WmSysColorChange, 0, 0);
  EXPECT_EQ(Shown().mode, ThemeMode::Light);
  desk.windows.SetHighContrast(true);
  BroadcastColourSetChange();
  EXPECT_EQ(Shown().mode, ThemeMode::HighContrast);
}

}  // namespace
}  // namespace theme_program_test

#include "ui/theme.h"

namespace ui {

namespace {

// The system colour indexes (GetSysColor).
constexpr int ColorWindow = 5;
constexpr int ColorWindowText = 8;
constexpr int ColorHighlight = 13;
constexpr int ColorHighlightText = 14;
constexpr int ColorBtnFace = 15;
constexpr int ColorBtnShadow = 16;
constexpr int ColorGrayText = 17;
constexpr int ColorBtnText = 18;
constexpr int ColorHotLight = 26;

}  // namespace

ThemeMode ReadThemeMode(platform::IRegistry& registry, platform::IWindows& windows) {
  if (windows.HighContrast()) return ThemeMode::HighContrast;
  platform::Hkey key = 0;
  if (registry.RegOpenKeyExW(platform::HkeyCurrentUser, PersonalizeKey, 0, platform::KeyQueryValue, key) !=
      platform::ErrorSuccess)
    return ThemeMode::Light;
  platform::Dword type = 0;
  platform::Dword value = 1;
  platform::Dword size = sizeof value;
  const long status = registry.RegQueryValueExW(key, AppsUseLightThemeValue, &type, &value, &size);
  registry.RegCloseKey(key);
  // Anything but a DWORD of 0 (another type, a short value) is taken as light.
  const bool dark =
      status == platform::ErrorSuccess && type == platform::RegDword && size == sizeof value && value == 0;
  return dark ? ThemeMode::Dark : ThemeMode::Light;
}

Theme ThemeFor(ThemeMode mode, platform::IWindows& windows) {
  Theme theme;
  theme.mode = mode;
  if (mode == ThemeMode::Dark) {
    // Close to what Windows' own dark apps show; the text keeps a contrast above 12:1.
    theme.window = Rgb(0x20, 0x20, 0x20);
    theme.windowText = Rgb(0xF0, 0xF0, 0xF0);
    theme.face = Rgb(0x2B, 0x2B, 0x2B);
    theme.faceText = Rgb(0xF0, 0xF0, 0xF0);
    theme.grayText = Rgb(0x9A, 0x9A, 0x9A);
    theme.highlight = Rgb(0x00, 0x5A, 0x9E);
    theme.highlightText = Rgb(0xFF, 0xFF, 0xFF);
    theme.header = Rgb(0x38, 0x38, 0x38);
    theme.rule = Rgb(0x55, 0x55, 0x55);
    theme.link = Rgb(0x63, 0xB4, 0xFF);
    return theme;
  }
  theme.window = windows.GetSysColor(ColorWindow);
  theme.windowText = windows.GetSysColor(ColorWindowText);
  theme.face = windows.GetSysColor(ColorBtnFace);
  theme.faceText = windows.GetSysColor(ColorBtnText);
  theme.grayText = windows.GetSysColor(ColorGrayText);
  theme.highlight = windows.GetSysColor(ColorHighlight);
  theme.highlightText = windows.GetSysColor(ColorHighlightText);
  theme.header = windows.GetSysColor(ColorBtnFace);
  theme.rule = windows.GetSysColor(ColorBtnShadow);
  theme.link = windows.GetSysColor(ColorHotLight);
  return theme;
}

}  // namespace ui

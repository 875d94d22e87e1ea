// The colours every window of the program draws with: the system's own while the user's apps
// are light or high contrast is on, a dark set of the program's own while the apps are dark.
#pragma once

#include <cstdint>

#include "platform/registry.h"
#include "platform/window_system.h"

namespace ui {

enum class ThemeMode { Light, Dark, HighContrast };

// A colour as Windows' COLORREF holds it: 0x00BBGGRR.
using Colour = std::uint32_t;
constexpr Colour Rgb(unsigned r, unsigned g, unsigned b) { return r | (g << 8) | (b << 16); }

struct Theme {
  ThemeMode mode = ThemeMode::Light;
  Colour window = 0;         // lists' and edit boxes' background
  Colour windowText = 0;     // their text
  Colour face = 0;           // the forms', tab pages', buttons' background
  Colour faceText = 0;       // labels, captions of buttons and check boxes
  Colour grayText = 0;       // text that says less: an entry's age, hints, disabled controls
  Colour highlight = 0;      // a selected row
  Colour highlightText = 0;  // its text
  Colour header = 0;         // a list's column headers, a raised button
  Colour rule = 0;           // lines: frames, grid lines, separators
  Colour link = 0;           // a link's text

  bool Dark() const { return mode == ThemeMode::Dark; }
  bool operator==(const Theme&) const = default;
};

// Where Windows keeps whether the apps are light (DWORD AppsUseLightTheme: 0 dark, else light).
constexpr const char* PersonalizeKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
constexpr const char* AppsUseLightThemeValue = "AppsUseLightTheme";

// High contrast first (the user's own colours win over everything), then the apps' mode; a
// missing or unreadable value means light, as on a Windows without the setting.
ThemeMode ReadThemeMode(platform::IRegistry& registry, platform::IWindows& windows);
// The colours of a mode; light and high contrast take the system's colours as they are now.
Theme ThemeFor(ThemeMode mode, platform::IWindows& windows);

}  // namespace ui

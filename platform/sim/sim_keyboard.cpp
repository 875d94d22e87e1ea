#include "platform/sim/sim_keyboard.h"

#include "platform/sim/sim_hotkeys.h"

#include <algorithm>
#include <cctype>

namespace sim {

using namespace platform;

namespace {

constexpr unsigned Ext = 0x100;

struct NamedScan {
  unsigned scan;  // plus Ext for the extended key
  const char* name;
};

// Key positions that all three layouts share: everything but letters, digits and the
// punctuation keys. Virtual key, scan code.
constexpr std::uint8_t CommonPositions[][2] = {
    {0x08, 0x0E},
    {0x09, 0x0F},
    {0x0C, 0x4C},
    {0x0D, 0x1C},
    {0x10, 0x2A},
    {0x11, 0x1D},
    {0x12, 0x38},
    {0x13, 0x45},
    {0x14, 0x3A},
    {0x1B, 0x01},
    {0x20, 0x39},
    {0x21, 0x49},
    {0x22, 0x51},
    {0x23, 0x4F},
    {0x24, 0x47},
    {0x25, 0x4B},
    {0x26, 0x48},
    {0x27, 0x4D},
    {0x28, 0x50},
    {0x2C, 0x54},
    {0x2D, 0x52},
    {0x2E, 0x53},
    {0x5B, 0x5B},
    {0x5C, 0x5C},
    {0x5D, 0x5D},
    {0x5F, 0x5F},
    // Numeric keypad with Num Lock on: the same scan codes as the navigation keys.
    {0x60, 0x52},
    {0x61, 0x4F},
    {0x62, 0x50},
    {0x63, 0x51},
    {0x64, 0x4B},
    {0x65, 0x4C},
    {0x66, 0x4D},
    {0x67, 0x47},
    {0x68, 0x48},
    {0x69, 0x49},
    {0x6A, 0x37},
    {0x6B, 0x4E},
    {0x6D, 0x4A},
    {0x6E, 0x53},
    {0x6F, 0x35},
    // F1..F24.
    {0x70, 0x3B},
    {0x71, 0x3C},
    {0x72, 0x3D},
    {0x73, 0x3E},
    {0x74, 0x3F},
    {0x75, 0x40},
    {0x76, 0x41},
    {0x77, 0x42},
    {0x78, 0x43},
    {0x79, 0x44},
    {0x7A, 0x57},
    {0x7B, 0x58},
    {0x7C, 0x64},
    {0x7D, 0x65},
    {0x7E, 0x66},
    {0x7F, 0x67},
    {0x80, 0x68},
    {0x81, 0x69},
    {0x82, 0x6A},
    {0x83, 0x6B},
    {0x84, 0x6C},
    {0x85, 0x6D},
    {0x86, 0x6E},
    {0x87, 0x76},
    // Num Lock shares Pause's scan code; only the extended bit tells them apart.
    {0x90, 0x45},
    {0x91, 0x46},
    // Left and right modifier keys.
    {0xA0, 0x2A},
    {0xA1, 0x36},
    {0xA2, 0x1D},
    {0xA3, 0x1D},
    {0xA4, 0x38},
    {0xA5, 0x38},
    // Media keys send E0-prefixed codes of main-block letter keys; the browser keys and the
    // rest have no scan code here.
    {0xAC, 0x32},
    {0xAD, 0x20},
    {0xAE, 0x2E},
    {0xAF, 0x30},
    {0xB0, 0x19},
    {0xB1, 0x10},
    {0xB2, 0x24},
    {0xB3, 0x22},
    {0xB7, 0x21},
};

constexpr NamedScan FunctionKeyNames[] = {
    {0x3B, "F1"},  {0x3C, "F2"},  {0x3D, "F3"},  {0x3E, "F4"},  {0x3F, "F5"},  {0x40, "F6"},
    {0x41, "F7"},  {0x42, "F8"},  {0x43, "F9"},  {0x44, "F10"}, {0x57, "F11"}, {0x58, "F12"},
    {0x64, "F13"}, {0x65, "F14"}, {0x66, "F15"}, {0x67, "F16"}, {0x68, "F17"}, {0x69, "F18"},
    {0x6A, "F19"}, {0x6B, "F20"}, {0x6C, "F21"}, {0x6D, "F22"}, {0x6E, "F23"}, {0x76, "F24"},
};

// Letters, digits and punctuation of the US layout: virtual key, scan code, name.
struct CharKey {
  std::uint8_t vk;
  std::uint8_t scan;
  const char* name;
};

constexpr CharKey UsCharKeys[] = {
    {'1', 0x02, "1"},
    {'2', 0x03, "2"},
    {'3', 0x04, "3"},
    {'4', 0x05, "4"},
    {'5', 0x06, "5"},
    {'6', 0x07, "6"},
    {'7', 0x08, "7"},
    {'8', 0x09, "8"},
    {'9', 0x0A, "9"},
    {'0', 0x0B, "0"},
    {'Q', 0x10, "Q"},
    {'W', 0x11, "W"},
    {'E', 0x12, "E"},
    {'R', 0x13, "R"},
    {'T', 0x14, "T"},
    {'Y', 0x15, "Y"},
    {'U', 0x16, "U"},
    {'I', 0x17, "I"},
    {'O', 0x18, "O"},
    {'P', 0x19, "P"},
    {'A', 0x1E, "A"},
    {'S', 0x1F, "S"},
    {'D', 0x20, "D"},
    {'F', 0x21, "F"},
    {'G', 0x22, "G"},
    {'H', 0x23, "H"},
    {'J', 0x24, "J"},
    {'K', 0x25, "K"},
    {'L', 0x26, "L"},
    {'Z', 0x2C, "Z"},
    {'X', 0x2D, "X"},
    {'C', 0x2E, "C"},
    {'V', 0x2F, "V"},
    {'B', 0x30, "B"},
    {'N', 0x31, "N"},
    {'M', 0x32, "M"},
    {0xBD, 0x0C, "-"},
    {0xBB, 0x0D, "="},
    {0xDB, 0x1A, "["},
    {0xDD, 0x1B, "]"},
    {0xBA, 0x27, ";"},
    {0xDE, 0x28, "'"},
    {0xC0, 0x29, "`"},
    {0xDC, 0x2B, "\\"},
    {0xBC, 0x33, ","},
    {0xBE, 0x34, "."},
    {0xBF, 0x35, "/"},
    // The extra key of 102-key keyboards gives a second backslash on this layout.
    {0xE2, 0x56, "\\"},
};

constexpr NamedScan UsNames[] = {
    {0x01, "Esc"},
    {0x0E, "Backspace"},
    {0x0F, "Tab"},
    {0x1C, "Enter"},
    {0x1D, "Ctrl"},
    {0x2A, "Shift"},
    {0x36, "Right Shift"},
    {0x37, "Num *"},
    {0x38, "Alt"},
    {0x39, "Space"},
    {0x3A, "Caps Lock"},
    {0x45, "Pause"},
    {0x46, "Scroll Lock"},
    {0x47, "Num 7"},
    {0x48, "Num 8"},
    {0x49, "Num 9"},
    {0x4A, "Num -"},
    {0x4B, "Num 4"},
    {0x4C, "Num 5"},
    {0x4D, "Num 6"},
    {0x4E, "Num +"},
    {0x4F, "Num 1"},
    {0x50, "Num 2"},
    {0x51, "Num 3"},
    {0x52, "Num 0"},
    {0x53, "Num Del"},
    {0x54, "Sys Req"},
    {Ext | 0x1C, "Num Enter"},
    {Ext | 0x1D, "Right Ctrl"},
    {Ext | 0x35, "Num /"},
    {Ext | 0x37, "Prnt Scrn"},
    {Ext | 0x38, "Right Alt"},
    {Ext | 0x45, "Num Lock"},
    {Ext | 0x46, "Break"},
    {Ext | 0x47, "Home"},
    {Ext | 0x48, "Up"},
    {Ext | 0x49, "Page Up"},
    {Ext | 0x4B, "Left"},
    {Ext | 0x4D, "Right"},
    {Ext | 0x4F, "End"},
    {Ext | 0x50, "Down"},
    {Ext | 0x51, "Page Down"},
    {Ext | 0x52, "Insert"},
    {Ext | 0x53, "Delete"},
    {Ext | 0x56, "Help"},
    {Ext | 0x5B, "Left Windows"},
    {Ext | 0x5C, "Right Windows"},
    {Ext | 0x5D, "Application"},
};

// German positions: Y and Z swapped, umlauts and sharp s where US has punctuation. The names
// are Windows-1252.
constexpr CharKey GermanCharKeys[] = {
    {'1', 0x02, "1"},
    {'2', 0x03, "2"},
    {'3', 0x04, "3"},
    {'4', 0x05, "4"},
    {'5', 0x06, "5"},
    {'6', 0x07, "6"},
    {'7', 0x08, "7"},
    {'8', 0x09, "8"},
    {'9', 0x0A, "9"},
    {'0', 0x0B, "0"},
    {'Q', 0x10, "Q"},
    {'W', 0x11, "W"},
    {'E', 0x12, "E"},
    {'R', 0x13, "R"},
    {'T', 0x14, "T"},
    {'Z', 0x15, "Z"},
    {'U', 0x16, "U"},
    {'I', 0x17, "I"},
    {'O', 0x18, "O"},
    {'P', 0x19, "P"},
    {'A', 0x1E, "A"},
    {'S', 0x1F, "S"},
    {'D', 0x20, "D"},
    {'F', 0x21, "F"},
    {'G', 0x22, "G"},
    {'H', 0x23, "H"},
    {'J', 0x24, "J"},
    {'K', 0x25, "K"},
    {'L', 0x26, "L"},
    {'Y', 0x2C, "Y"},
    {'X', 0x2D, "X"},
    {'C', 0x2E, "C"},
    {'V', 0x2F, "V"},
    {'B', 0x30, "B"},
    {'N', 0x31, "N"},
    {'M', 0x32, "M"},
    // clang-format off
    {0xDB, 0x0C, "\xDF"},  // sharp s
    {0xDD, 0x0D, "\xB4"},  // acute accent
    {0xBA, 0x1A, "\xDC"},  // U umlaut
    {0xBB, 0x1B, "+"},
    {0xC0, 0x27, "\xD6"},  // O umlaut
    {0xDE, 0x28, "\xC4"},  // A umlaut
    {0xDC, 0x29, "^"},
    {0xBF, 0x2B, "#"},
    {0xBC, 0x33, ","},
    {0xBE, 0x34, "."},
    {0xBD, 0x35, "-"},
    {0xE2, 0x56, "<"},
    // clang-format on
};

constexpr NamedScan GermanNames[] = {
    {0x01, "Esc"},
    {0x0E, "R\374cktaste"},
    {0x0F, "Tabulator"},
    {0x1C, "Eingabe"},
    {0x1D, "Strg"},
    {0x2A, "Umschalt"},
    {0x36, "Umschalt rechts"},
    {0x37, "Num *"},
    {0x38, "Alt"},
    {0x39, "Leertaste"},
    {0x3A, "Feststell"},
    {0x45, "Pause"},
    {0x46, "Rollen"},
    {0x47, "Num 7"},
    {0x48, "Num 8"},
    {0x49, "Num 9"},
    {0x4A, "Num -"},
    {0x4B, "Num 4"},
    {0x4C, "Num 5"},
    {0x4D, "Num 6"},
    {0x4E, "Num +"},
    {0x4F, "Num 1"},
    {0x50, "Num 2"},
    {0x51, "Num 3"},
    {0x52, "Num 0"},
    {0x53, "Num ,"},
    {0x54, "Druck"},
    {Ext | 0x1C, "Num Eingabe"},
    {Ext | 0x1D, "Strg rechts"},
    {Ext | 0x35, "Num /"},
    {Ext | 0x37, "Druck"},
    {Ext | 0x38, "Alt Gr"},
    {Ext | 0x45, "Num-Feststell"},
    {Ext | 0x46, "Untbr"},
    {Ext | 0x47, "Pos1"},
    {Ext | 0x48, "Nach-Oben"},
    {Ext | 0x49, "Bild-Auf"},
    {Ext | 0x4B, "Nach-Links"},
    {Ext | 0x4D, "Nach-Rechts"},
    {Ext | 0x4F, "Ende"},
    {Ext | 0x50, "Nach-Unten"},
    {Ext | 0x51, "Bild-Ab"},
    {Ext | 0x52, "Einfg"},
    {Ext | 0x53, "Entf"},
    {Ext | 0x56, "Hilfe"},
    {Ext | 0x5B, "Linke Windows-Taste"},
    {Ext | 0x5C, "Rechte Windows-Taste"},
    {Ext | 0x5D, "Anwendung"},
};

template <typename Layout, std::size_t C, std::size_t N>
Layout MakeLayout(Hkl hkl, const char* id, const CharKey (&charKeys)[C], const NamedScan (&names)[N]) {
  Layout layout;
  layout.hkl = hkl;
  layout.id = id;
  for (const auto& p : CommonPositions) layout.scanOfVk[p[0]] = p[1];
  for (const auto& k : charKeys) {
    layout.scanOfVk[k.vk] = k.scan;
    layout.names[k.scan] = k.name;
  }
  for (const auto& n : FunctionKeyNames) layout.names[n.scan] = n.name;
  for (const auto& n : names) layout.names[n.scan] = n.name;
  return layout;
}

bool SameId(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}

}  // namespace

SimKeyboard::SimKeyboard() {
  known_.push_back(MakeLayout<Layout>(UsEnglish, "00000409", UsCharKeys, UsNames));
  known_.push_back(MakeLayout<Layout>(German, "00000407", GermanCharKeys, GermanNames));
  Layout capitals = MakeLayout<Layout>(CapitalsLayout, "F0FF0409", UsCharKeys, UsNames);
  capitals.names[0x38] = "ALT";
  capitals.names[Ext | 0x38] = "RIGHT ALT";
  known_.push_back(capitals);
  installed_ = {UsEnglish};
  active_ = UsEnglish;
}

const SimKeyboard::Layout* SimKeyboard::Find(Hkl hkl) const {
  auto it = std::find_if(known_.begin(), known_.end(), [hkl](const Layout& l) { return l.hkl == hkl; });
  return it == known_.end() ? nullptr : &*it;
}

const SimKeyboard::Layout* SimKeyboard::Installed(Hkl hkl) const {
  return IsInstalled(hkl) ? Find(hkl) : nullptr;
}

bool SimKeyboard::IsInstalled(Hkl layout) const {
  return std::find(installed_.begin(), installed_.end(), layout) != installed_.end();
}

void SimKeyboard::keybd_event(std::uint8_t vk, std::uint8_t scan, Dword flags, std::uintptr_t extraInfo) {
  events_.push_back({vk, scan, flags, extraInfo});
  const bool taken = KeyChange(vk, (flags & KeyEventFKeyUp) != 0);
  if (onKeyEvent_ && !taken) onKeyEvent_(events_.back());
}

bool SimKeyboard::KeyChange(std::uint8_t vk, bool up) {
  const bool repeat = !up && down_[vk];
  down_[vk] = !up;
  if (up || !hotkeys_) return false;
  switch (vk) {
    case VkShift:
    case VkLShift:
    case VkRShift:
    case VkControl:
    case VkLControl:
    case VkRControl:
    case VkMenu:
    case VkLMenu:
    case VkRMenu:
    case VkLWin:
    case VkRWin:
      return false;  // modifiers alone are never hotkeys here
    default:
      break;
  }
  Uint modifiers = 0;
  if (IsDown(VkShift)) modifiers |= ModShift;
  if (IsDown(VkControl)) modifiers |= ModControl;
  if (IsDown(VkMenu)) modifiers |= ModAlt;
  if (IsDown(VkLWin) || IsDown(VkRWin)) modifiers |= ModWin;
  return hotkeys_->KeyDown(modifiers, vk, repeat);
}

void SimKeyboard::UserKeyDown(std::uint8_t vk) {
  const bool taken = KeyChange(vk, false);
  if (userKeysReach_ && onKeyEvent_ && !taken) onKeyEvent_({vk, 0, 0, 0});
}

void SimKeyboard::UserKeyUp(std::uint8_t vk) {
  KeyChange(vk, true);
  if (userKeysReach_ && onKeyEvent_) onKeyEvent_({vk, 0, KeyEventFKeyUp, 0});
}

bool SimKeyboard::IsDown(std::uint8_t vk) const {
  switch (vk) {
    case VkShift:
      return down_[VkShift] || down_[VkLShift] || down_[VkRShift];
    case VkControl:
      return down_[VkControl] || down_[VkLControl] || down_[VkRControl];
    case VkMenu:
      return down_[VkMenu] || down_[VkLMenu] || down_[VkRMenu];
    default:
      return down_[vk];
  }
}

std::int16_t SimKeyboard::GetAsyncKeyState(int vk) {
  if (vk < 0 || vk >= static_cast<int>(down_.size())) return 0;
  return IsDown(static_cast<std::uint8_t>(vk)) ? static_cast<std::int16_t>(0x8000) : 0;
}

Uint SimKeyboard::Map(const Layout& layout, Uint code, Uint mapType) {
  switch (mapType) {
    case 0:
      return code < layout.scanOfVk.size() ? layout.scanOfVk[code] : 0;
    case 1:
      if (code == 0) return 0;
      for (Uint vk = 1; vk < layout.scanOfVk.size(); ++vk)
        if (layout.scanOfVk[vk] == code) return vk;
      return 0;
    case 2: {
      if (code >= layout.scanOfVk.size() || layout.scanOfVk[code] == 0) return 0;
      auto it = layout.names.find(layout.scanOfVk[code]);
      if (it == layout.names.end() || it->second.size() != 1) return 0;
      return static_cast<unsigned char>(it->second[0]);
    }
    default:
      return 0;
  }
}

Uint SimKeyboard::MapVirtualKeyA(Uint code, Uint mapType) {
  const Layout* layout = Installed(active_);
  return layout ? Map(*layout, code, mapType) : 0;
}

Uint SimKeyboard::MapVirtualKeyExA(Uint code, Uint mapType, Hkl layout) {
  const Layout* l = Installed(layout == 0 ? active_ : layout);
  return l ? Map(*l, code, mapType) : 0;
}

int SimKeyboard::GetKeyNameTextA(LParam requestValue, std::string& name, int bufferSize) {
  name.clear();
  const Layout* layout = Installed(active_);
  if (!layout || bufferSize <= 0) return 0;
  // Bit 25 ("don't care about left or right") is not modelled.
  unsigned key = static_cast<unsigned>((requestValue >> 16) & 0xFF) | (((requestValue >> 24) & 1) ? Ext : 0);
  auto it = layout->names.find(key);
  if (it == layout->names.end()) return 0;
  name = it->second.substr(0, static_cast<std::size_t>(bufferSize - 1));
  return static_cast<int>(name.size());
}

Hkl SimKeyboard::GetKeyboardLayout(Dword) { return active_; }

int SimKeyboard::GetKeyboardLayoutList(int maxCount, std::vector<Hkl>& layouts) {
  layouts.clear();
  if (maxCount <= 0) return static_cast<int>(installed_.size());
  std::size_t count = std::min(installed_.size(), static_cast<std::size_t>(maxCount));
  layouts.assign(installed_.begin(), installed_.begin() + static_cast<std::ptrdiff_t>(count));
  return static_cast<int>(count);
}

Hkl SimKeyboard::LoadKeyboardLayoutA(const std::string& id, Uint flags) {
  auto it = std::find_if(known_.begin(), known_.end(), [&](const Layout& l) { return SameId(l.id, id); });
  if (it == known_.end()) return 0;
  if (!IsInstalled(it->hkl)) installed_.push_back(it->hkl);
  if ((flags & KlfActivate) && active_ != it->hkl) {
    active_ = it->hkl;
    ++activations_;
  }
  return it->hkl;
}

Hkl SimKeyboard::ActivateKeyboardLayout(Hkl layout, Uint) {
  Hkl previous = active_;
  if (layout == HklNext || layout == HklPrev) {
    auto it = std::find(installed_.begin(), installed_.end(), active_);
    std::size_t i = static_cast<std::size_t>(it - installed_.begin());
    std::size_t n = installed_.size();
    layout = installed_[layout == HklNext ? (i + 1) % n : (i + n - 1) % n];
  } else if (!IsInstalled(layout)) {
    return 0;
  }
  if (layout != active_) ++activations_;
  active_ = layout;
  return previous;
}

bool SimKeyboard::UnloadKeyboardLayout(Hkl layout) {
  if (!IsInstalled(layout) || installed_.size() <= 1) return false;
  std::erase(installed_, layout);
  unloaded_.push_back(layout);
  if (active_ == layout) active_ = installed_.front();
  return true;
}

void SimKeyboard::SetLayouts(const std::vector<Hkl>& installed, Hkl active) {
  installed_.clear();
  for (Hkl hkl : installed)
    if (Find(hkl) && !IsInstalled(hkl)) installed_.push_back(hkl);
  if (installed_.empty()) installed_.push_back(UsEnglish);
  active_ = IsInstalled(active) ? active : installed_.front();
}

}  // namespace sim

// Feeds arbitrary text to ParseHotKey on a simulated keyboard layout that the input's first
// byte picks (US English, German with its localized names, or a layout whose names are all
// capitals). Whatever the text,
// parsing must not crash, and a hotkey it finds must format to a text that reads back as the
// same hotkey, unless the key is one that cannot be read back: its name is a modifier word or
// "+", or a lower key code has the same name, which then comes back instead.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "hotkeys/hotkey_text.h"
#include "platform/sim/sim_keyboard.h"

namespace {

constexpr hotkeys::HotKey ValidBits = hotkeys::HotKeyKeyMask | hotkeys::HotKeyShift | hotkeys::HotKeyCtrl |
                                      hotkeys::HotKeyAlt | hotkeys::HotKeyWin;

constexpr platform::Hkl Layouts[] = {sim::SimKeyboard::UsEnglish, sim::SimKeyboard::German,
                                     sim::SimKeyboard::CapitalsLayout};
constexpr std::size_t LayoutCount = sizeof Layouts / sizeof Layouts[0];

struct Desk {
  explicit Desk(platform::Hkl layout) : names(keyboard) {
    keyboard.SetLayouts({layout}, layout);
    names.StartUp();
  }
  sim::SimKeyboard keyboard;
  hotkeys::KeyNames names;
};

// One desk per layout, made once: starting the key names reads every key of the layout.
Desk& DeskFor(std::size_t index) {
  static Desk* desks[LayoutCount] = {};
  if (desks[index] == nullptr) desks[index] = new Desk(Layouts[index]);
  return *desks[index];
}

bool IsModifierWord(const hotkeys::KeyNames& names, const std::string& s) {
  return s == "Ctrl" || s == "Shift" || s == "Alt" || s == "Win" || s == names.CtrlName() ||
         s == names.ShiftName() || s == names.AltName() || s == names.WinName();
}

// Whether `again` is what reading back the text of `value` may give.
bool ReadsBackAsDocumented(const hotkeys::KeyNames& names, hotkeys::HotKey value, hotkeys::HotKey again,
                           bool localized) {
  if (again == value) return true;
  std::uint16_t key = value & hotkeys::HotKeyKeyMask;
  std::string name = names.FormatHotKey(key, localized);
  if (again == 0) return IsModifierWord(names, name) || name == "+";
  std::uint16_t otherKey = again & hotkeys::HotKeyKeyMask;
  return (again & ~hotkeys::HotKeyKeyMask) == (value & ~hotkeys::HotKeyKeyMask) && otherKey < key &&
         hotkeys::EqualsIgnoringCase(names.FormatHotKey(otherKey, localized), name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t layout = data[0] % LayoutCount;
  Desk& desk = DeskFor(layout);
  std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  for (bool localized : {true, false}) {
    hotkeys::HotKey value = desk.names.ParseHotKey(text, localized);
    if (value == 0) continue;
    if ((value & ~ValidBits) != 0 || (value & hotkeys::HotKeyKeyMask) < 8) std::abort();
    std::string formatted = desk.names.FormatHotKey(value, localized);
    hotkeys::HotKey again = desk.names.ParseHotKey(formatted, localized);
    if (!ReadsBackAsDocumented(desk.names, value, again, localized)) std::abort();
  }
  // Parsing and formatting never change the user's layout.
  if (desk.keyboard.Active() != Layouts[layout]) std::abort();
  return 0;
}

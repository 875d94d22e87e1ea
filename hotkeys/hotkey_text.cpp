#include "hotkeys/hotkey_text.h"

#include <algorithm>
#include <array>
#include <vector>

namespace hotkeys {

namespace {

constexpr const char* EnglishShift = "Shift";
constexpr const char* EnglishCtrl = "Ctrl";
constexpr const char* EnglishAlt = "Alt";
constexpr const char* EnglishWin = "Win";

constexpr const char* UsEnglishLayoutId = "00000409";
constexpr int KeyNameBufferSize = 256;
constexpr int LayoutListSize = 100;
constexpr platform::LParam ExtendedKeyBit = platform::LParam{1} << 24;

// Browser and media keys. Most layouts give them no name, or the one character of the
// main-block key that shares their scan code, so they get names of their own.
constexpr std::uint8_t FirstFixedNameCode = 166;
constexpr std::uint8_t LastFixedNameCode = 183;
constexpr std::array<const char*, LastFixedNameCode - FirstFixedNameCode + 1> FixedNames = {
    "Browser Back",      "Browser Forward",     "Browser Refresh",    "Browser Stop",     "Browser Search",
    "Browser Favorites", "Browser Start/Home",  "Volume Mute",        "Volume Down",      "Volume Up",
    "Next Track",        "Previous Track",      "Stop Media",         "Play/Pause Media", "Start Mail",
    "Select Media",      "Start Application 1", "Start Application 2"};

// Page Up, Page Down, End, Home, the arrows, Insert and Delete share their scan codes with the
// numeric keypad; only the extended-key bit tells the dedicated keys apart.
bool IsExtendedKey(std::uint8_t code) { return (code >= 33 && code <= 40) || code == 45 || code == 46; }

unsigned char FoldCase(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + ('a' - 'A'));
  // Windows-1252: À..Þ pair with à..þ, except × and ÷; Š, Œ, Ž and Ÿ sit apart.
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 0x20);
  if (c == 0x8A || c == 0x8C || c == 0x8E) return static_cast<unsigned char>(c + 0x10);
  if (c == 0x9F) return 0xFF;
  return c;
}

std::string_view TrimSpaces(std::string_view s) {
  std::size_t first = s.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  std::size_t last = s.find_last_not_of(' ');
  return s.substr(first, last - first + 1);
}

// Items at every "+", leading spaces skipped, empty items dropped. A quote opens a stretch up
// to the same quote character in which "+" does not split, so a key named after a quote
// character still reads back.
std::vector<std::string_view> SplitItems(std::string_view text) {
  std::vector<std::string_view> items;
  std::size_t start = 0;
  bool inItem = false;
  char quote = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
      continue;
    }
    if (c == '+') {
      if (inItem) items.push_back(text.substr(start, i - start));
      inItem = false;
      continue;
    }
    if (!inItem) {
      if (c == ' ') continue;
      inItem = true;
      start = i;
    }
    if (c == '\'' || c == '"') quote = c;
  }
  if (inItem) items.push_back(text.substr(start));
  return items;
}

bool IsCapitalsOnly(const std::string& s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

}  // namespace

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return FoldCase(static_cast<unsigned char>(x)) == FoldCase(static_cast<unsigned char>(y));
         });
}

HotKey ComposeHotKey(std::uint8_t modifiers, std::uint16_t key) {
  HotKey bits = 0;
  if (modifiers & platform::ModAlt) bits += 0x80;
  if (modifiers & platform::ModControl) bits += 0x40;
  if (modifiers & platform::ModShift) bits += 0x20;
  if (modifiers & platform::ModWin) bits += 0x100;
  return bits * 256 + key;
}

void SplitHotKey(HotKey value, std::uint16_t& modifiers, std::uint16_t& key) {
  modifiers = 0;
  if (value & HotKeyShift) modifiers |= platform::ModShift;
  if (value & HotKeyCtrl) modifiers |= platform::ModControl;
  if (value & HotKeyAlt) modifiers |= platform::ModAlt;
  if (value & HotKeyWin) modifiers |= platform::ModWin;
  key = static_cast<std::uint16_t>(value & HotKeyKeyMask);
}

KeyNames::KeyNames(platform::IKeyboard& keyboard)
    : keyboard_(keyboard), shift_(EnglishShift), ctrl_(EnglishCtrl), alt_(EnglishAlt), win_(EnglishWin) {}

KeyNames::~KeyNames() {
  if (started_) ShutDown();
}

void KeyNames::StartUp() {
  if (started_) return;
  shift_ = FormatHotKey(platform::VkShift, true);
  ctrl_ = FormatHotKey(platform::VkControl, true);
  alt_ = FormatHotKey(platform::VkMenu, true);
  // Layouts that write their key names in capitals would look odd with "Win" beside "ALT".
  win_ = IsCapitalsOnly(alt_) ? "WIN" : EnglishWin;

  std::vector<platform::Hkl> installed;
  keyboard_.GetKeyboardLayoutList(LayoutListSize, installed);
  usLayout_ = keyboard_.LoadKeyboardLayoutA(UsEnglishLayoutId, platform::KlfNoTellShell);
  // A layout the user has installed is not ours to unload.
  unloadUsLayout_ =
      usLayout_ != 0 && std::find(installed.begin(), installed.end(), usLayout_) == installed.end();
  started_ = true;
  for (CodesByName& cache : codesByName_) cache.filled = false;
}

void KeyNames::ShutDown() {
  if (unloadUsLayout_) keyboard_.UnloadKeyboardLayout(usLayout_);
  usLayout_ = 0;
  unloadUsLayout_ = false;
  shift_ = EnglishShift;
  ctrl_ = EnglishCtrl;
  alt_ = EnglishAlt;
  win_ = EnglishWin;
  started_ = false;
  for (CodesByName& cache : codesByName_) cache.filled = false;
}

std::string KeyNames::ReadKeyName(platform::LParam request, bool localized) const {
  std::string name;
  // The key-name service answers for the active layout only, whatever layout gave the scan
  // code, so the English names are read with the US layout switched in for the moment.
  platform::Hkl previous = 0;
  if (!localized && usLayout_ != 0) {
    platform::Hkl active = keyboard_.GetKeyboardLayout(0);
    if (active != usLayout_) {
      keyboard_.ActivateKeyboardLayout(usLayout_, 0);
      previous = active;
    }
  }
  int length = keyboard_.GetKeyNameTextA(request, name, KeyNameBufferSize);
  if (length <= 0) name.clear();
  if (previous != 0) keyboard_.ActivateKeyboardLayout(previous, 0);
  return name;
}

std::string KeyNames::KeyName(std::uint8_t code, bool localized) const {
  platform::Uint scan =
      localized ? keyboard_.MapVirtualKeyA(code, 0) : keyboard_.MapVirtualKeyExA(code, 0, usLayout_);
  platform::LParam request = static_cast<platform::LParam>(scan) << 16;
  if (IsExtendedKey(code)) request |= ExtendedKeyBit;
  std::string name = request == 0 ? std::string() : ReadKeyName(request, localized);
  if (name.size() <= 1 && code >= FirstFixedNameCode && code <= LastFixedNameCode)
    name = FixedNames[code - FirstFixedNameCode];
  return name;
}

std::string KeyNames::FormatHotKey(HotKey value, bool localized) const {
  std::string text;
  auto prefix = [&](HotKey bit, const std::string& localName, const char* english) {
    if (value & bit) {
      text += localized ? localName : std::string(english);
      text += '+';
    }
  };
  prefix(HotKeyCtrl, ctrl_, EnglishCtrl);
  prefix(HotKeyShift, shift_, EnglishShift);
  prefix(HotKeyAlt, alt_, EnglishAlt);
  prefix(HotKeyWin, win_, EnglishWin);
  text += KeyName(static_cast<std::uint8_t>(value & HotKeyKeyMask), localized);
  return text;
}

bool KeyNames::IsModifierWordExactly(std::string_view word) const {
  return word == EnglishCtrl || word == ctrl_ || word == EnglishAlt || word == alt_ || word == EnglishShift ||
         word == shift_ || word == EnglishWin || word == win_;
}

HotKey KeyNames::ParseHotKey(std::string_view text, bool localized) const {
  std::vector<std::string_view> items = SplitItems(text);
  if (items.empty()) return 0;

  std::uint8_t modifiers = 0;
  for (std::size_t i = 0; i + 1 < items.size(); ++i) {
    std::string_view word = TrimSpaces(items[i]);
    if (EqualsIgnoringCase(word, EnglishShift) || EqualsIgnoringCase(word, shift_)) {
      modifiers |= platform::ModShift;
    } else if (EqualsIgnoringCase(word, EnglishCtrl) || EqualsIgnoringCase(word, ctrl_)) {
      modifiers |= platform::ModControl;
    } else if (EqualsIgnoringCase(word, EnglishAlt) || EqualsIgnoringCase(word, alt_)) {
      modifiers |= platform::ModAlt;
    } else if (EqualsIgnoringCase(word, EnglishWin) || EqualsIgnoringCase(word, win_)) {
      modifiers |= platform::ModWin;
    } else {
      modifiers = 0;
      break;
    }
  }
  if (modifiers == 0 && items.size() > 1) return 0;

  std::string keyItem(TrimSpaces(items.back()));
  std::uint16_t key = 0;
  if (keyItem.size() == 1) {
    char c = keyItem[0];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - ('a' - 'A'));
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z'))
      key = static_cast<std::uint8_t>(c);
    else
      key = KeyNameToCode(keyItem, localized);
  } else {
    // The keypad's plus key is named "Num +", which the split has cut at its "+".
    if (keyItem == "Num") keyItem += " +";
    // A modifier key on its own, written as the modifier word, is not a hotkey.
    if (!IsModifierWordExactly(keyItem)) key = KeyNameToCode(keyItem, localized);
  }
  if (key == 0) return 0;
  return ComposeHotKey(modifiers, key);
}

std::uint16_t KeyNames::KeyNameToCode(std::string_view name, bool localized) const {
  auto folded = [](std::string_view text) {
    std::string key(text);
    for (char& c : key) c = static_cast<char>(FoldCase(static_cast<unsigned char>(c)));
    return key;
  };
  CodesByName& cache = codesByName_[localized ? 1 : 0];
  // The user may switch layouts while the program runs; the names then are the new layout's.
  const platform::Hkl layout = localized || usLayout_ == 0 ? keyboard_.GetKeyboardLayout(0) : usLayout_;
  if (!cache.filled || cache.layout != layout) {
    cache.codes.clear();
    // Lowest code first: of two keys with one name, the lower is the one a text names.
    for (unsigned code = 8; code <= 255; ++code)
      cache.codes.emplace(folded(FormatHotKey(code, localized)), static_cast<std::uint16_t>(code));
    cache.filled = true;
    cache.layout = layout;
  }
  const auto found = cache.codes.find(folded(name));
  return found != cache.codes.end() ? found->second : 0;
}

}  // namespace hotkeys

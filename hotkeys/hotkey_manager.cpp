#include "hotkeys/hotkey_manager.h"

#include <algorithm>

namespace hotkeys {

namespace {

constexpr const char* AtomNamePrefix = "HotKeyManagerHotKey";
constexpr const char* TestAtomName = "HotKeyManagerHotKeyTest";

}  // namespace

std::string HotKeyAtomName(HotKey value) { return AtomNamePrefix + std::to_string(value); }

THotKeyManager::THotKeyManager(platform::IWindows& windows, platform::IHotKeys& hotKeys)
    : windows_(windows), hotKeys_(hotKeys) {
  platform::WindowDesc desc;
  desc.kind = platform::WindowKind::MessageOnly;
  desc.title = "HotKeyManager";
  window_ = windows_.CreateWindowA(desc, this);
}

THotKeyManager::~THotKeyManager() {
  ClearBindings();
  windows_.DestroyWindow(window_);
}

// Holding a chord past the key-repeat delay must not start paste after paste: MOD_NOREPEAT
// asks for one WM_HOTKEY per press. Systems older than Windows 7 refuse the flag, so a refusal
// is tried once more without it (a combination that is held is refused again, at no harm).
bool THotKeyManager::Register(platform::Atom id, HotKey value) {
  std::uint16_t modifiers = 0;
  std::uint16_t key = 0;
  SplitHotKey(value, modifiers, key);
  return hotKeys_.RegisterHotKey(window_, id, modifiers | platform::ModNoRepeat, key) ||
         hotKeys_.RegisterHotKey(window_, id, modifiers, key);
}

std::uint16_t THotKeyManager::AddBinding(HotKey value) {
  platform::Atom atom = hotKeys_.GlobalAddAtomA(HotKeyAtomName(value));
  // Without an atom there is no id to register under, and 0 already means "refused".
  if (atom == 0) return 0;
  if (!Register(atom, value)) {
    hotKeys_.GlobalDeleteAtom(atom);
    return 0;
  }
  bindings_.push_back({value, atom});
  return atom;
}

bool THotKeyManager::Release(const HotKeyBinding& binding) {
  bool unregistered = hotKeys_.UnregisterHotKey(window_, binding.Id);
  hotKeys_.GlobalDeleteAtom(binding.Id);
  return unregistered;
}

bool THotKeyManager::RemoveBinding(HotKey value) {
  auto it = std::find_if(bindings_.begin(), bindings_.end(),
                         [value](const HotKeyBinding& b) { return b.HotKey == value; });
  if (it == bindings_.end()) return false;
  bool unregistered = Release(*it);
  bindings_.erase(it);
  return unregistered;
}

void THotKeyManager::ClearBindings() {
  while (!bindings_.empty()) {
    Release(bindings_.back());
    bindings_.pop_back();
  }
}

void THotKeyManager::Suspend() {
  if (suspended_++ > 0) return;
  for (const HotKeyBinding& binding : bindings_) hotKeys_.UnregisterHotKey(window_, binding.Id);
}

// A combination that another program took in the meantime stays with it; the binding is kept
// so that the editor still knows the action's hotkey.
void THotKeyManager::Resume() {
  if (suspended_ == 0 || --suspended_ > 0) return;
  for (const HotKeyBinding& binding : bindings_) Register(binding.Id, binding.HotKey);
}

platform::LResult THotKeyManager::WindowProc(platform::Hwnd hwnd, platform::Uint msg, platform::WParam wParam,
                                             platform::LParam lParam) {
  if (msg == platform::WmHotKey && OnHotKeyPressed) {
    auto bits = static_cast<std::uintptr_t>(lParam);
    // The system reports the flags of the combination that was pressed, so a press only
    // matches the binding that registered exactly those.
    HotKey value = ComposeHotKey(static_cast<std::uint8_t>(platform::LoWord(bits)),
                                 static_cast<std::uint16_t>(platform::HiWord(bits)));
    bool bound = std::any_of(bindings_.begin(), bindings_.end(),
                             [value](const HotKeyBinding& b) { return b.HotKey == value; });
    if (bound) OnHotKeyPressed(value, static_cast<std::uint16_t>(platform::LoWord(wParam)));
  }
  return windows_.DefWindowProcA(hwnd, msg, wParam, lParam);
}

bool IsHotKeyFree(platform::IHotKeys& hotKeys, platform::Hwnd applicationWindow, HotKey value) {
  platform::Atom atom = hotKeys.GlobalAddAtomA(TestAtomName);
  std::uint16_t modifiers = 0;
  std::uint16_t key = 0;
  SplitHotKey(value, modifiers, key);
  bool registered = hotKeys.RegisterHotKey(applicationWindow, atom, modifiers, key);
  if (registered) hotKeys.UnregisterHotKey(applicationWindow, atom);
  hotKeys.GlobalDeleteAtom(atom);
  return registered;
}

}  // namespace hotkeys

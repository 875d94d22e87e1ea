#include "platform/sim/sim_hotkeys.h"

#include <algorithm>

namespace sim {

using namespace platform;

namespace {

// MOD_NOREPEAT and other option bits do not take part in telling combinations apart.
constexpr Uint ModifierMask = ModAlt | ModControl | ModShift | ModWin;
constexpr std::size_t MaxAtomNameLength = 255;
constexpr unsigned FirstStringAtom = 0xC000;

}  // namespace

SimHotKeys::SimHotKeys(SimWindows& windows) : windows_(windows) {}

std::string SimHotKeys::Key(const std::string& name) {
  std::string key = name;
  for (char& c : key)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - ('a' - 'A'));
  return key;
}

Atom SimHotKeys::GlobalAddAtomA(const std::string& name) {
  if (name.empty() || name.size() > MaxAtomNameLength) return 0;
  std::string key = Key(name);
  if (auto it = atomsByName_.find(key); it != atomsByName_.end()) {
    ++atoms_[it->second].references;
    return it->second;
  }
  if (nextAtom_ > 0xFFFF) return 0;
  Atom atom = static_cast<Atom>(nextAtom_++);
  atoms_[atom] = {name, 1};
  atomsByName_[key] = atom;
  return atom;
}

Atom SimHotKeys::GlobalDeleteAtom(Atom atom) {
  if (atom < FirstStringAtom) return 0;  // integer atoms are never stored
  auto it = atoms_.find(atom);
  if (it == atoms_.end()) return atom;
  if (--it->second.references == 0) {
    atomsByName_.erase(Key(it->second.name));
    atoms_.erase(it);
  }
  return 0;
}

const HotKeyRegistration* SimHotKeys::FindCombination(Uint modifiers, Uint vk) const {
  auto it = std::find_if(registrations_.begin(), registrations_.end(), [&](const HotKeyRegistration& r) {
    return r.vk == vk && r.modifiers == (modifiers & ModifierMask);
  });
  return it == registrations_.end() ? nullptr : &*it;
}

bool SimHotKeys::RegisterHotKey(Hwnd hwnd, int id, Uint modifiers, Uint vk) {
  ++registerCalls_;
  if (hwnd != 0 && !windows_.Exists(hwnd)) return false;
  if (FindCombination(modifiers, vk)) return false;
  bool idTaken = std::any_of(registrations_.begin(), registrations_.end(),
                             [&](const HotKeyRegistration& r) { return r.hwnd == hwnd && r.id == id; });
  if (idTaken) return false;
  registrations_.push_back({hwnd, id, modifiers & ModifierMask, vk, (modifiers & ModNoRepeat) != 0});
  return true;
}

bool SimHotKeys::UnregisterHotKey(Hwnd hwnd, int id) {
  auto it = std::find_if(registrations_.begin(), registrations_.end(),
                         [&](const HotKeyRegistration& r) { return r.hwnd == hwnd && r.id == id; });
  if (it == registrations_.end()) return false;
  registrations_.erase(it);
  return true;
}

bool SimHotKeys::KeyDown(Uint modifiers, Uint vk, bool repeat) {
  const HotKeyRegistration* r = FindCombination(modifiers, vk);
  if (!r) return false;
  if (!(repeat && r->noRepeat)) PostHotKey(r->hwnd, r->id, r->modifiers, r->vk);
  return true;
}

bool SimHotKeys::PostHotKey(Hwnd hwnd, int id, Uint modifiers, Uint vk) {
  ++posted_;
  LParam lParam = static_cast<LParam>((modifiers & 0xFFFF) | ((vk & 0xFFFF) << 16));
  return windows_.PostMessageA(hwnd, WmHotKey, static_cast<WParam>(id), lParam);
}

bool SimHotKeys::Press(Uint modifiers, Uint vk) {
  const HotKeyRegistration* r = FindCombination(modifiers, vk);
  if (!r) return false;
  return PostHotKey(r->hwnd, r->id, r->modifiers, r->vk);
}

Hwnd SimHotKeys::OtherProgramWindow() {
  if (otherProgram_ == 0) {
    WindowDesc desc;
    desc.kind = WindowKind::MessageOnly;
    desc.title = "Other program";
    otherProgram_ = windows_.CreateWindowA(desc, nullptr);
  }
  return otherProgram_;
}

bool SimHotKeys::HoldByOtherProgram(Uint modifiers, Uint vk) {
  return RegisterHotKey(OtherProgramWindow(), nextOtherId_++, modifiers, vk);
}

bool SimHotKeys::ReleaseByOtherProgram(Uint modifiers, Uint vk) {
  const HotKeyRegistration* r = FindCombination(modifiers, vk);
  if (!r || r->hwnd != otherProgram_) return false;
  return UnregisterHotKey(r->hwnd, r->id);
}

bool SimHotKeys::IsHeld(Uint modifiers, Uint vk) const { return FindCombination(modifiers, vk) != nullptr; }

std::vector<HotKeyRegistration> SimHotKeys::RegistrationsOf(Hwnd hwnd) const {
  std::vector<HotKeyRegistration> found;
  for (const HotKeyRegistration& r : registrations_)
    if (r.hwnd == hwnd) found.push_back(r);
  return found;
}

int SimHotKeys::AtomReferences(const std::string& name) const {
  auto it = atomsByName_.find(Key(name));
  return it == atomsByName_.end() ? 0 : AtomReferences(it->second);
}

int SimHotKeys::AtomReferences(Atom atom) const {
  auto it = atoms_.find(atom);
  return it == atoms_.end() ? 0 : it->second.references;
}

std::string SimHotKeys::AtomName(Atom atom) const {
  auto it = atoms_.find(atom);
  return it == atoms_.end() ? std::string() : it->second.name;
}

}  // namespace sim

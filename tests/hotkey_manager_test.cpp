#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "hotkeys/hotkey_manager.h"
#include "platform/sim/sim_hotkeys.h"
#include "platform/sim/sim_windows.h"

namespace hotkey_manager_test {

namespace {

using hotkeys::HotKey;
using hotkeys::THotKeyManager;
using platform::Hwnd;
using platform::ModAlt;
using platform::ModControl;
using platform::ModShift;
using platform::ModWin;

// Passes every call on to the simulated system and notes the unregistrations, so that their
// order and the state of the window at that moment can be checked.
class RecordingHotKeys : public platform::IHotKeys {
 public:
  RecordingHotKeys(sim::SimHotKeys& system, sim::SimWindows& windows) : system_(system), windows_(windows) {}

  platform::Atom GlobalAddAtomA(const std::string& name) override { return system_.GlobalAddAtomA(name); }
  platform::Atom GlobalDeleteAtom(platform::Atom atom) override { return system_.GlobalDeleteAtom(atom); }
  bool RegisterHotKey(Hwnd hwnd, int id, platform::Uint modifiers, platform::Uint vk) override {
    registeredOn.push_back(hwnd);
    if (refuseNoRepeat && (modifiers & platform::ModNoRepeat)) return false;
    return system_.RegisterHotKey(hwnd, id, modifiers, vk);
  }
  bool UnregisterHotKey(Hwnd hwnd, int id) override {
    unregistered.push_back(id);
    windowAliveAtUnregister.push_back(windows_.Exists(hwnd));
    return system_.UnregisterHotKey(hwnd, id);
  }

  bool refuseNoRepeat = false;  // as systems before Windows 7 do
  std::vector<Hwnd> registeredOn;
  std::vector<int> unregistered;
  std::vector<bool> windowAliveAtUnregister;

 private:
  sim::SimHotKeys& system_;
  sim::SimWindows& windows_;
};

struct Pressed {
  HotKey hotKey;
  std::uint16_t index;
  bool operator==(const Pressed&) const = default;
};

class HotKeyManagerTest : public ::testing::Test {
 protected:
  HotKeyManagerTest() {
    platform::WindowDesc desc;
    desc.kind = platform::WindowKind::Hidden;
    desc.title = "Clipboard_manager.exe";
    appWindow = windows.CreateWindowA(desc, nullptr);
    manager = std::make_unique<THotKeyManager>(windows, recording);
    manager->OnHotKeyPressed = [this](HotKey hotKey, std::uint16_t index) {
      pressed.push_back({hotKey, index});
    };
  }

  sim::VirtualClock clock;
  sim::SimWindows windows{clock};
  sim::SimHotKeys system{windows};
  RecordingHotKeys recording{system, windows};
  Hwnd appWindow = 0;
  std::unique_ptr<THotKeyManager> manager;
  std::vector<Pressed> pressed;
};

TEST_F(HotKeyManagerTest, AddBinding_RegistersOnOwnWindowUnderAtomNamedAfterValue) {
  std::uint16_t id = manager->AddBinding(0x4041);  // Ctrl+A
  ASSERT_NE(id, 0);
  EXPECT_EQ(system.AtomName(id), "HotKeyManagerHotKey16449");
  std::vector<sim::HotKeyRegistration> registered = system.RegistrationsOf(manager->Window());
  ASSERT_EQ(registered.size(), 1u);
  const sim::HotKeyRegistration& r = registered[0];
  EXPECT_EQ(r.id, id);
  EXPECT_EQ(r.modifiers, ModControl);
  EXPECT_EQ(r.vk, 'A');
  EXPECT_NE(manager->Window(), appWindow);

  std::uint16_t winId = manager->AddBinding(0x1E070);  // every modifier with F1
  ASSERT_NE(winId, 0);
  EXPECT_EQ(system.AtomName(winId), "HotKeyManagerHotKey122992");
  EXPECT_TRUE(system.IsHeld(ModAlt | ModControl | ModShift | ModWin, 0x70));
  ASSERT_EQ(manager->Bindings().size(), 2u);
  EXPECT_EQ(manager->Bindings()[0].HotKey, 0x4041u);
  EXPECT_EQ(manager->Bindings()[1].Id, winId);
}

TEST_F(HotKeyManagerTest, AddBinding_AsksForNoRepeatsAndRegistersWithoutWhereTheSystemRefusesThat) {
  ASSERT_NE(manager->AddBinding(0x4041), 0);
  recording.refuseNoRepeat = true;
  ASSERT_NE(manager->AddBinding(0x4042), 0);
  ASSERT_EQ(system.Registrations().size(), 2u);
  EXPECT_TRUE(system.Registrations()[0].noRepeat);
  EXPECT_FALSE(system.Registrations()[1].noRepeat);
  EXPECT_TRUE(system.IsHeld(ModControl, 'B'));
}

TEST_F(HotKeyManagerTest, SuspendAndResume_FreeTheCombinationsForAMomentAndKeepTheBindings) {
  std::uint16_t id = manager->AddBinding(0x4041);
  manager->Suspend();
  manager->Suspend();
  EXPECT_FALSE(system.IsHeld(ModControl, 'A'));
  manager->Resume();
  EXPECT_FALSE(system.IsHeld(ModControl, 'A'));  // the outer suspension still holds
  manager->Resume();
  EXPECT_TRUE(system.IsHeld(ModControl, 'A'));
  ASSERT_EQ(manager->Bindings().size(), 1u);
  EXPECT_EQ(system.RegistrationsOf(manager->Window())[0].id, id);
  system.Press(ModControl, 'A');
  windows.Advance(1);
  EXPECT_EQ(pressed, (std::vector<Pressed>{{0x4041, id}}));
}

TEST_F(HotKeyManagerTest, AddBinding_ValueAlreadyBound_ReturnsZeroAndKeepsFirst) {
  std::uint16_t id = manager->AddBinding(0x4041);
  EXPECT_EQ(manager->AddBinding(0x4041), 0);
  ASSERT_EQ(manager->Bindings().size(), 1u);
  EXPECT_EQ(manager->Bindings()[0].Id, id);
  EXPECT_EQ(system.AtomReferences(id), 1);  // the refused attempt gave its reference back
  EXPECT_TRUE(system.IsHeld(ModControl, 'A'));
}

TEST_F(HotKeyManagerTest, AddBinding_HeldByOtherProgram_ReturnsZeroAndReleasesAtom) {
  ASSERT_TRUE(system.HoldByOtherProgram(ModControl | ModAlt, 'V'));
  EXPECT_EQ(manager->AddBinding(0xC056), 0);
  EXPECT_TRUE(manager->Bindings().empty());
  EXPECT_EQ(system.AtomReferences(hotkeys::HotKeyAtomName(0xC056)), 0);
}

TEST_F(HotKeyManagerTest, Press_BoundValue_RaisesEventWithItsRegistrationId) {
  std::uint16_t first = manager->AddBinding(0x4041);
  std::uint16_t second = manager->AddBinding(0x6070);  // Ctrl+Shift+F1
  ASSERT_TRUE(system.Press(ModControl | ModShift, 0x70));
  ASSERT_TRUE(system.Press(ModControl, 'A'));
  EXPECT_TRUE(pressed.empty());  // nothing happens until the message loop runs
  windows.Pump();
  EXPECT_EQ(pressed, (std::vector<Pressed>{{0x6070, second}, {0x4041, first}}));
}

TEST_F(HotKeyManagerTest, Press_AfterRemoveBinding_RaisesNothing) {
  std::uint16_t id = manager->AddBinding(0x4041);
  ASSERT_TRUE(system.Press(ModControl, 'A'));  // already queued when the binding goes
  EXPECT_TRUE(manager->RemoveBinding(0x4041));
  EXPECT_FALSE(system.Press(ModControl, 'A'));
  windows.Pump();
  EXPECT_TRUE(pressed.empty());
  EXPECT_EQ(system.AtomReferences(id), 0);
}

TEST_F(HotKeyManagerTest, HotKeyMessage_WithOtherModifierFlags_RaisesNothing) {
  std::uint16_t id = manager->AddBinding(0x4041);
  // The id is right but the reported flags are not the registered ones.
  system.PostHotKey(manager->Window(), id, ModControl | ModShift, 'A');
  system.PostHotKey(manager->Window(), id, 0, 'A');
  EXPECT_FALSE(system.Press(ModControl | ModShift, 'A'));
  windows.Pump();
  EXPECT_TRUE(pressed.empty());
  // The index is taken from the message, the value from the flags and key.
  system.PostHotKey(manager->Window(), 0x1234, ModControl, 'A');
  windows.Pump();
  EXPECT_EQ(pressed, (std::vector<Pressed>{{0x4041, 0x1234}}));
}

TEST_F(HotKeyManagerTest, RemoveBinding_NotBound_ReturnsFalseAndTouchesNothing) {
  manager->AddBinding(0x4041);
  EXPECT_FALSE(manager->RemoveBinding(0x4042));
  EXPECT_TRUE(recording.unregistered.empty());
  EXPECT_EQ(manager->Bindings().size(), 1u);
}

TEST_F(HotKeyManagerTest, RemoveBinding_SystemRefuses_DropsBindingAndReleasesAtom) {
  std::uint16_t id = manager->AddBinding(0x4041);
  ASSERT_TRUE(system.UnregisterHotKey(manager->Window(), id));  // gone behind the manager's back
  EXPECT_FALSE(manager->RemoveBinding(0x4041));
  EXPECT_TRUE(manager->Bindings().empty());
  EXPECT_EQ(system.AtomReferences(id), 0);
}

TEST_F(HotKeyManagerTest, ClearBindings_LastToFirst_ReleasesEveryAtom) {
  std::uint16_t a = manager->AddBinding(0x4041);
  std::uint16_t b = manager->AddBinding(0x4042);
  std::uint16_t c = manager->AddBinding(0x4043);
  manager->ClearBindings();
  EXPECT_EQ(recording.unregistered, (std::vector<int>{c, b, a}));
  EXPECT_TRUE(manager->Bindings().empty());
  EXPECT_TRUE(system.Registrations().empty());
  EXPECT_EQ(system.AtomCount(), 0u);
}

TEST_F(HotKeyManagerTest, Destruction_UnregistersEverythingBeforeTheWindowGoes) {
  manager->AddBinding(0x4041);
  manager->AddBinding(0x2070);
  Hwnd window = manager->Window();
  manager.reset();
  EXPECT_EQ(recording.windowAliveAtUnregister, (std::vector<bool>{true, true}));
  EXPECT_FALSE(windows.Exists(window));
  EXPECT_TRUE(system.Registrations().empty());
  EXPECT_EQ(system.AtomCount(), 0u);
}

TEST_F(HotKeyManagerTest, IsHotKeyFree_FalseWhenBoundHereOrHeldElsewhere_LeavesNothingBehind) {
  manager->AddBinding(0x4041);
  ASSERT_TRUE(system.HoldByOtherProgram(ModAlt, 'X'));
  std::size_t registrations = system.Registrations().size();

  EXPECT_FALSE(hotkeys::IsHotKeyFree(recording, appWindow, 0x4041));
  EXPECT_FALSE(hotkeys::IsHotKeyFree(recording, appWindow, 0x8058));  // Alt+X
  EXPECT_TRUE(hotkeys::IsHotKeyFree(recording, appWindow, 0x4042));
  EXPECT_TRUE(hotkeys::IsHotKeyFree(recording, appWindow, 0x4042));  // the test itself held nothing
  EXPECT_EQ(recording.registeredOn.back(), appWindow);

  EXPECT_EQ(system.Registrations().size(), registrations);
  EXPECT_TRUE(system.RegistrationsOf(appWindow).empty());
  EXPECT_EQ(system.AtomReferences("HotKeyManagerHotKeyTest"), 0);
  // Only the successful tests had something to unregister.
  EXPECT_EQ(recording.unregistered.size(), 2u);
  EXPECT_NE(manager->AddBinding(0x4042), 0);
}

}  // namespace
}  // namespace hotkey_manager_test

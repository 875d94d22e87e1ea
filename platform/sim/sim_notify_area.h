// The simulated notification area: icons that a test can click, and popup menus it answers.
#pragma once

#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/notify_area.h"
#include "platform/sim/sim_windows.h"

namespace sim {

struct NotifyCall {
  platform::Dword message;
  platform::NotifyIconData data;
};

struct PopupRecord {
  std::vector<platform::MenuEntry> entries;
  platform::Uint flags;
  int x, y;
  platform::Hwnd owner;
  platform::LParam lastMouseMessage;  // the last tray mouse message delivered before the menu opened
};

class SimNotifyArea : public platform::INotifyArea {
 public:
  explicit SimNotifyArea(SimWindows& windows) : windows_(windows) {}

  bool Shell_NotifyIconA(platform::Dword message, const platform::NotifyIconData& data) override;
  platform::Dword NotifyIconDataV2Size() override { return 488; }
  platform::Uint TrackPopupMenu(const std::vector<platform::MenuEntry>& entries, platform::Uint flags, int x,
                                int y, platform::Hwnd owner) override;

  // --- For tests ---
  const std::vector<NotifyCall>& Calls() const { return calls_; }
  int IconCount() const { return static_cast<int>(icons_.size()); }
  // The icon that is shown, if exactly one is; throws otherwise.
  const platform::NotifyIconData& Icon() const;
  void SetAvailable(bool available) { available_ = available; }
  // Mouse actions on the (only) icon; each delivers its callback messages at once.
  void Click();
  void DoubleClick();
  void RightClick();
  void Deliver(platform::LParam mouseMessage);
  // The next popup chooses the entry with this caption; an unknown caption or none closes it.
  void ChooseNext(std::string caption) { choices_.push_back(std::move(caption)); }
  const std::vector<PopupRecord>& Popups() const { return popups_; }
  // Explorer restarts: every icon vanishes and "TaskbarCreated" goes to every top-level window.
  void RestartTaskbar();

 private:
  SimWindows& windows_;
  std::vector<NotifyCall> calls_;
  std::map<std::pair<platform::Hwnd, platform::Uint>, platform::NotifyIconData> icons_;
  std::deque<std::string> choices_;
  std::vector<PopupRecord> popups_;
  platform::LParam lastMouse_ = 0;
  bool available_ = true;
};

}  // namespace sim

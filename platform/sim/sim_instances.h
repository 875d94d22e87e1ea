// Named mutexes of the simulated session, shared by every program on the desktop.
#pragma once

#include <map>
#include <string>

#include "platform/instances.h"

namespace sim {

class SimInstances : public platform::IInstances {
 public:
  platform::Handle CreateMutexA(const std::string& name, bool& alreadyExisted) override {
    int& count = byName_[name];
    alreadyExisted = count > 0;
    ++count;
    const platform::Handle handle = nextHandle_;
    nextHandle_ += 4;
    handles_[handle] = name;
    return handle;
  }
  bool CloseHandle(platform::Handle handle) override {
    const auto it = handles_.find(handle);
    if (it == handles_.end()) return false;
    if (--byName_[it->second] == 0) byName_.erase(it->second);
    handles_.erase(it);
    return true;
  }

  // --- For tests ---
  int OpenHandles() const { return static_cast<int>(handles_.size()); }

 private:
  std::map<std::string, int> byName_;
  std::map<platform::Handle, std::string> handles_;
  platform::Handle nextHandle_ = 0x700;
};

}  // namespace sim

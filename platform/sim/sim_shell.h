// The simulated shell records what it was asked to open.
#pragma once

#include <string>
#include <vector>

#include "platform/shell.h"

namespace sim {

struct ShellRequest {
  platform::Hwnd owner;
  std::string verb, file, parameters, directory;
  int showCmd;
};

class SimShell : public platform::IShell {
 public:
  std::intptr_t ShellExecuteA(platform::Hwnd owner, const std::string& verb, const std::string& file,
                              const std::string& parameters, const std::string& directory,
                              int showCmd) override {
    requests_.push_back({owner, verb, file, parameters, directory, showCmd});
    return result_;
  }

  const std::vector<ShellRequest>& Requests() const { return requests_; }
  // 2 (file not found) makes every request fail.
  void SetResult(std::intptr_t result) { result_ = result; }

 private:
  std::vector<ShellRequest> requests_;
  std::intptr_t result_ = 42;
};

}  // namespace sim

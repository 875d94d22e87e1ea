// The shell's "open" and friends.
#pragma once

#include <string>

#include "platform/types.h"

namespace platform {

class IShell {
 public:
  virtual ~IShell() = default;
  // Returns a value above 32 on success, as ShellExecuteA does.
  virtual std::intptr_t ShellExecuteA(Hwnd owner, const std::string& verb, const std::string& file,
                                      const std::string& parameters, const std::string& directory,
                                      int showCmd) = 0;
};

}  // namespace platform

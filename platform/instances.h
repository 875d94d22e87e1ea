// Named objects that tell one running copy of the program from another.
#pragma once

#include <string>

#include "platform/types.h"

namespace platform {

class IInstances {
 public:
  virtual ~IInstances() = default;
  // Creates or opens the named mutex of the user's session (CreateMutexA, not owned);
  // `alreadyExisted` tells whether another process had made it. 0 on failure.
  virtual Handle CreateMutexA(const std::string& name, bool& alreadyExisted) = 0;
  virtual bool CloseHandle(Handle handle) = 0;
};

}  // namespace platform

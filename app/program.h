// The program: start-up, message loop and exit on a given desktop.
#pragma once

#include "platform/desktop.h"

namespace app {

// Runs the whole program on `desktop` and returns the process exit code.
int RunProgram(platform::Desktop& desktop);

}  // namespace app

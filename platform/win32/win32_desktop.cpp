#include "platform/win32/win32_desktop.h"

namespace win32 {

Win32Desktop::Win32Desktop(HINSTANCE instance)
    : instance_(instance), windows_(instance), background_(instance), coding_(instance) {}

}  // namespace win32

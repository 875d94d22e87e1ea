// Reading and writing one REG_SZ value, whose text is UTF-8 here.
#pragma once

#include <string>

#include "platform/registry.h"

namespace app {

// Creates the key when it is missing; true when the value was written.
bool WriteRegistryString(platform::IRegistry& registry, platform::Hkey root, const std::string& keyPath,
                         const std::string& valueName, const std::string& text);
// On success replaces `text` with the value's text; otherwise leaves it as it was.
void ReadRegistryString(platform::IRegistry& registry, platform::Hkey root, const std::string& keyPath,
                        const std::string& valueName, std::string& text, bool* success = nullptr);

}  // namespace app

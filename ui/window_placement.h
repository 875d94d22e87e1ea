// A window's place kept from one run to the next, as a REG_SZ value: "left,top,width,height,m",
// in pixels of the screen, m 1 for maximized and 0 for not.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/registry.h"
#include "ui/form.h"

namespace ui {

std::string PlacementText(const Form::Placement& placement);
// Nothing for a text not in that form, or for a size no window has (below 1 or above 100000).
std::optional<Form::Placement> ParsePlacement(std::string_view text);

// The value `name` under HKEY_CURRENT_USER\`key`; nothing when it is missing or not readable.
std::optional<Form::Placement> ReadPlacement(platform::IRegistry& registry, const std::string& key,
                                             const std::string& name);
// False when the registry refused it; the window then comes back at its designed place.
bool WritePlacement(platform::IRegistry& registry, const std::string& key, const std::string& name,
                    const Form::Placement& placement);

}  // namespace ui

// Checks of a form's layout as placed at its present size and DPI.
#pragma once

#include <string>
#include <vector>

#include "ui/controls.h"
#include "ui/form.h"

namespace testing_support {

// The area a control's children may use, in its own coordinates. A page control's pages lie
// below its tabs, inside its frame; those take some 28 by 8 pixels at 96 DPI.
inline ui::Bounds ChildArea(ui::Form& form, const ui::Control& parent) {
  if (&parent == &form) return {0, 0, form.ClientWidth(), form.ClientHeight()};
  if (parent.FillsParent()) return ChildArea(form, *parent.Parent());
  const ui::Bounds placed = parent.ScaledBounds();
  if (dynamic_cast<const ui::PageControl*>(&parent))
    return {0, 0, placed.width - form.Scale(8), placed.height - form.Scale(28)};
  return {0, 0, placed.width, placed.height};
}

// Every visible control inside the area of its parent and clear of its visible siblings; the
// faults found, one a line, empty for none.
inline std::vector<std::string> LayoutFaults(ui::Form& form) {
  std::vector<std::string> faults;
  std::vector<ui::Control*> pending{&form};
  while (!pending.empty()) {
    ui::Control* parent = pending.back();
    pending.pop_back();
    const ui::Bounds area = ChildArea(form, *parent);
    std::vector<ui::Control*> shown;
    for (ui::Control* child : parent->Children()) {
      if (!child->Visible()) continue;
      pending.push_back(child);
      if (child->FillsParent()) continue;
      shown.push_back(child);
      const ui::Bounds b = child->ScaledBounds();
      if (b.width <= 0 || b.height <= 0 || b.left < area.left || b.top < area.top ||
          b.left + b.width > area.left + area.width || b.top + b.height > area.top + area.height)
        faults.push_back(child->Name() + " outside " + parent->Name());
    }
    for (std::size_t i = 0; i < shown.size(); ++i)
      for (std::size_t k = i + 1; k < shown.size(); ++k) {
        const ui::Bounds a = shown[i]->ScaledBounds(), b = shown[k]->ScaledBounds();
        if (a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
            b.top < a.top + a.height)
          faults.push_back(shown[i]->Name() + " overlaps " + shown[k]->Name());
      }
  }
  return faults;
}

}  // namespace testing_support

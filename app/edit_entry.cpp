#include "app/edit_entry.h"

namespace app {

TEditEntry::TEditEntry(ui::Application& app) : ui::Form(app, "EditEntry") {
  SetCaption("Edit entry");
  Border = ui::BorderStyle::Sizeable;
  Position = ui::FormPosition::MainFormCenter;
  ClientSized = true;
  MinimizeBox = false;
  SetBounds(0, 0, 460, 300);

  Text_e.SetBounds(8, 8, 444, 250);
  Text_e.MultiLine = true;
  Text_e.ScrollBars = true;
  Ok_b.SetBounds(296, 266, 75, 26);
  Cancel_b.SetBounds(377, 266, 75, 26);
  Text_e.SetAnchors(ui::AnchorAll);
  Ok_b.SetAnchors(ui::AnchorRight | ui::AnchorBottom);
  Cancel_b.SetAnchors(ui::AnchorRight | ui::AnchorBottom);
  int order = 0;
  for (ui::Control* control : std::initializer_list<ui::Control*>{&Text_e, &Ok_b, &Cancel_b})
    control->SetTabOrder(order++);

  Ok_b.OnClick = [this] { SetModalResult(ui::MrOk); };
  Cancel_b.OnClick = [this] { SetModalResult(ui::MrCancel); };
}

bool TEditEntry::Run(std::u16string& text) {
  Text_e.SetText(text);
  Text_e.SetFocus();
  if (ShowModal() != ui::MrOk) return false;
  text = Text_e.Text();
  return true;
}

bool TEditEntry::FormKeyDown(int virtualKey, bool control) {
  if (virtualKey == platform::VkReturn && control) {
    Ok_b.Click();
    return true;
  }
  if (virtualKey == platform::VkEscape) {
    Cancel_b.Click();
    return true;
  }
  return false;
}

}  // namespace app

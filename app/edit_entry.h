// "Edit entry": a history entry's text in a box of many lines, to be mended before it is pasted.
#pragma once

#include <string>

#include "ui/application.h"
#include "ui/controls.h"
#include "ui/form.h"

namespace app {

class TEditEntry : public ui::Form {
 public:
  explicit TEditEntry(ui::Application& app);
  ~TEditEntry() override { DestroyHandle(); }

  ui::Edit Text_e{this, "Text_e"};
  ui::Button Ok_b{this, "Ok_b", "OK"};
  ui::Button Cancel_b{this, "Cancel_b", "Cancel"};

  // Shows `text` and waits; true, with `text` what the box holds, when the user chose OK.
  bool Run(std::u16string& text);

 protected:
  // Ctrl+Enter is OK and Esc is Cancel; Enter alone breaks the line.
  bool FormKeyDown(int virtualKey, bool control) override;
};

}  // namespace app

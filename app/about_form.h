// The About box.
#pragma once

#include "ui/application.h"
#include "ui/controls.h"
#include "ui/form.h"

namespace app {

class TAbout_f : public ui::Form {
 public:
  explicit TAbout_f(ui::Application& app);
  ~TAbout_f() override { DestroyHandle(); }

  ui::GroupBox GroupBox1{this, "GroupBox1", "About..."};
  ui::Image Image1{&GroupBox1, "Image1"};
  ui::Label Label1{&GroupBox1, "Label1", "Corvilane Clipboard Manager"};
  ui::Label Label2{&GroupBox1, "Label2", "Version 1.1"};
  ui::Label Label3{&GroupBox1, "Label3", "Copyright (c) Corvilane. All rights reserved."};
  ui::Label Label4{&GroupBox1, "Label4", ""};
  ui::Button BitBtn1{this, "BitBtn1", "OK"};

  void BitBtn1Click();
  void Label4Click();
  void Label4MouseEnter();
  void Label4MouseLeave();
};

}  // namespace app

#include "app/about_form.h"

#include "app/unit1.h"

namespace app {

using namespace platform;

TAbout_f::TAbout_f(ui::Application& app) : ui::Form(app, "About_f") {
  SetCaption("About...");
  Border = ui::BorderStyle::Dialog;
  Position = ui::FormPosition::MainFormCenter;
  ClientSized = true;
  MinimizeBox = false;
  MaximizeBox = false;
  SetBounds(0, 0, 324, 212);

  GroupBox1.SetBounds(8, 8, 308, 161);
  Image1.SetBounds(12, 20, 89, 129);
  Image1.HandCursor = true;
  Label1.SetBounds(112, 24, 185, 13);
  Label2.SetBounds(112, 44, 185, 13);
  Label3.SetBounds(112, 64, 185, 52);
  Label3.WordWrap = true;
  Label3.AutoSize = false;
  Label4.SetBounds(112, 128, 185, 13);
  Label4.SetCaption(WebSite);
  Label4.Underline = true;
  Label4.HandCursor = true;
  Label4.SetColorIndex(ColorHighlight);
  BitBtn1.SetBounds(124, 178, 75, 25);

  BitBtn1.OnClick = [this] { BitBtn1Click(); };
  Label4.OnClick = [this] { Label4Click(); };
  Image1.OnClick = [this] { Label4Click(); };
  Label4.OnMouseEnter = [this] { Label4MouseEnter(); };
  Label4.OnMouseLeave = [this] { Label4MouseLeave(); };
}

void TAbout_f::BitBtn1Click() { SetModalResult(ui::MrOk); }

void TAbout_f::Label4Click() {
  Desktop().Shell().ShellExecuteA(Handle(), "open", Label4.Caption(), "", "", SwShowNormal);
}

void TAbout_f::Label4MouseEnter() { Label4.SetColorIndex(ColorInactiveCaption); }

// Not back to the first colour: a visited link keeps a colour of its own while the box exists.
void TAbout_f::Label4MouseLeave() { Label4.SetColorIndex(ColorMenuHilight); }

}  // namespace app

#include "ui/application.h"

#include <algorithm>
#include <cctype>

#include "ui/form.h"

namespace ui {

using namespace platform;

namespace {
Application* current = nullptr;
}

Application* Application::Current() { return current; }

Application::Application(platform::Desktop& desktop, PeerFactory* peers)
    : desktop_(desktop), peers_(peers), previous_(current) {
  current = this;
  theme_ = ThemeFor(ReadThemeMode(desktop_.Registry(), desktop_.Windows()), desktop_.Windows());
}

void Application::RefreshTheme() {
  ui::Theme fresh = ThemeFor(ReadThemeMode(desktop_.Registry(), desktop_.Windows()), desktop_.Windows());
  if (fresh == theme_) return;
  theme_ = fresh;
  ++themeVersion_;
  for (Form* form : forms_) form->ThemeChanged();
}

Application::~Application() {
  if (current == this) current = previous_;
  if (handle_) desktop_.Windows().DestroyWindow(handle_);
}

std::string Application::TitleFromExePath(const std::string& path) {
  std::string name = path.substr(path.find_last_of("\\/") + 1);
  name = name.substr(0, name.find('.'));
  for (std::size_t i = 1; i < name.size(); ++i)
    name[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[i])));
  return name;
}

void Application::Initialize() {
  title_ = TitleFromExePath(desktop_.Files().GetModuleFileNameW());
  WindowDesc desc;
  desc.kind = WindowKind::TopLevel;
  desc.title = title_;
  desc.appWindow = true;
  handle_ = desktop_.Windows().CreateWindowA(desc, this);
  desktop_.Windows().SetWindowIcon(handle_, desktop_.Windows().LoadMainIcon(32));
}

void Application::AddForm(Form* form) {
  forms_.push_back(form);
  if (!mainForm_) mainForm_ = form;
}

void Application::RemoveForm(Form* form) {
  std::erase(forms_, form);
  if (mainForm_ == form) mainForm_ = nullptr;
}

void Application::Terminate() {
  terminated_ = true;
  desktop_.Windows().PostQuitMessage(0);
}

void Application::ProcessMessages() { desktop_.Windows().ProcessMessages(); }

void Application::Minimize() { desktop_.Windows().ShowWindow(handle_, SwMinimize); }

void Application::Restore() { desktop_.Windows().ShowWindow(handle_, SwRestore); }

// The forms are owned by the application window and go and come back with it. Windows does that
// for owned windows by itself, but not every platform that runs the program does (Wine leaves
// them on the screen), so it is done here; for a window already hidden or shown it changes
// nothing.
void Application::ShowFormsWithApplication(WParam sizeType) {
  if (sizeType != SizeMinimized && sizeType != SizeRestored) return;
  IWindows& windows = desktop_.Windows();
  for (Form* form : forms_) {
    if (!form->Visible() || !form->HandleAllocated()) continue;
    Hwnd hwnd = form->Handle();
    if (sizeType == SizeMinimized && windows.IsWindowVisible(hwnd)) windows.ShowWindow(hwnd, SwHide);
    if (sizeType == SizeRestored && !windows.IsWindowVisible(hwnd)) windows.ShowWindow(hwnd, SwShowNa);
  }
}

bool Application::ShowException(const std::exception& error) {
  if (errorBoxOpen_) return false;
  std::string text = error.what();
  if (text.empty() || text.back() != '.') text += '.';
  // Owned by the window the user works in, so that the keyboard focus returns to it once the
  // box is closed; the hidden application window only while no form is shown.
  Hwnd owner = handle_;
  for (Form* form : forms_)
    if (form->Visible() && form->HandleAllocated() && (form->Modal() || owner == handle_))
      owner = form->Handle();
  errorBoxOpen_ = true;
  try {
    desktop_.Dialogs().MessageBoxW(owner, text, title_, MbOk | MbIconError);
  } catch (...) {
    errorBoxOpen_ = false;
    throw;
  }
  errorBoxOpen_ = false;
  return true;
}

void Application::Guard(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::exception& error) {
    ShowException(error);
  }
}

void Application::FormVisibilityChanged() {
  if (!handle_) return;
  bool any = std::any_of(forms_.begin(), forms_.end(), [](Form* f) { return f->Visible(); });
  IWindows& windows = desktop_.Windows();
  if (any && !windows.IsWindowVisible(handle_))
    windows.ShowWindow(handle_, SwShowNa);
  else if (!any && windows.IsWindowVisible(handle_))
    windows.ShowWindow(handle_, SwHide);
}

LResult Application::WindowProc(Hwnd hwnd, Uint msg, WParam wParam, LParam lParam) {
  try {
    for (const auto& [id, hook] : hooks_) {
      LResult result = 0;
      if (hook(msg, wParam, lParam, result)) return result;
    }
    switch (msg) {
      case WmSize:
        ShowFormsWithApplication(wParam);
        break;
      case WmSettingChange:
      case WmSysColorChange:
      case WmThemeChanged:
        RefreshTheme();
        break;
      case WmClose:
        if (mainForm_) mainForm_->Close();
        return 0;
      case WmSysCommand:
        switch (SysCommandOf(wParam)) {
          case ScClose:
            if (mainForm_) mainForm_->Close();
            return 0;
          case ScMinimize:
            Minimize();
            return 0;
          case ScRestore:
            Restore();
            return 0;
        }
        break;
    }
  } catch (const std::exception& error) {
    ShowException(error);
    return 0;
  }
  return desktop_.Windows().DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace ui

// The application: its hidden window with the taskbar button, its forms and its error report.
#pragma once

#include <exception>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/desktop.h"
#include "ui/theme.h"

namespace ui {

class Form;
class PeerFactory;

class Application : public platform::IWindowProc {
 public:
  // `peers` create the on-screen peers of the forms' controls; nullptr where nothing is shown
  // (the simulated desktop). Not owned: they must outlive the forms.
  explicit Application(platform::Desktop& desktop, PeerFactory* peers = nullptr);
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  platform::Desktop& Desktop() { return desktop_; }
  PeerFactory* Peers() const { return peers_; }
  // The application of the running program; nullptr before it exists.
  static Application* Current();
  // Creates the application window, hidden, titled after the executable, with the main icon.
  void Initialize();
  platform::Hwnd Handle() const { return handle_; }
  const std::string& Title() const { return title_; }
  // The executable's file name without folder, cut before its first dot, the rest after the
  // first character in lower case.
  static std::string TitleFromExePath(const std::string& path);

  // The first form registered is the main form.
  void AddForm(Form* form);
  void RemoveForm(Form* form);
  Form* MainForm() const { return mainForm_; }
  const std::vector<Form*>& Forms() const { return forms_; }

  // Ends the message loop after the current message.
  void Terminate();
  bool Terminated() const { return terminated_; }
  void ProcessMessages();
  void Minimize();
  void Restore();

  // The standard error box: the message, a full stop added when it has none, under the
  // application title, with the error icon. While a box is open, a further error is not shown:
  // boxes must not pile up one behind the other, each holding its own modal loop. Returns
  // whether the box was shown.
  bool ShowException(const std::exception& error);
  // Runs `action`, showing any error that escapes it in the standard error box.
  void Guard(const std::function<void()>& action);

  // The colours the windows draw with, as the user's settings ask now.
  const ui::Theme& Theme() const { return theme_; }
  // Counts the changes of Theme(), for windows that look at it only when they are shown.
  unsigned ThemeVersion() const { return themeVersion_; }
  // Reads the user's settings again (a setting or the system colours changed); when the colours
  // change, every form is drawn again with the new ones, at once.
  void RefreshTheme();

  // Shows the application window while any form is visible and hides it while none is.
  void FormVisibilityChanged();

  // Hooks see the application window's messages first; one that returns true has handled it.
  using Hook = std::function<bool(platform::Uint msg, platform::WParam wParam, platform::LParam lParam,
                                  platform::LResult& result)>;
  // Returns an id for RemoveHook, which whoever added a hook calls before it goes away.
  int AddHook(Hook hook) {
    hooks_.push_back({nextHookId_, std::move(hook)});
    return nextHookId_++;
  }
  void RemoveHook(int id) {
    std::erase_if(hooks_, [id](const auto& entry) { return entry.first == id; });
  }

  platform::LResult WindowProc(platform::Hwnd hwnd, platform::Uint msg, platform::WParam wParam,
                               platform::LParam lParam) override;

 private:
  void ShowFormsWithApplication(platform::WParam sizeType);

  platform::Desktop& desktop_;
  PeerFactory* peers_;
  platform::Hwnd handle_ = 0;
  std::string title_;
  std::vector<Form*> forms_;
  Form* mainForm_ = nullptr;
  bool terminated_ = false;
  bool errorBoxOpen_ = false;
  Application* previous_ = nullptr;  // the application that was current before this one
  std::vector<std::pair<int, Hook>> hooks_;
  ui::Theme theme_;
  unsigned themeVersion_ = 0;
  int nextHookId_ = 1;
};

}  // namespace ui

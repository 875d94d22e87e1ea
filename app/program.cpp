#include "app/program.h"

#include "actions/tasks_add.h"
#include "app/about_form.h"
#include "app/globals.h"
#include "app/quick_paste.h"
#include "app/unit1.h"
#include "history/history_table.h"
#include "tray/tray_icon.h"

namespace app {

using namespace platform;

TForm1* Form1 = nullptr;
TAbout_f* About_f = nullptr;
actions::TTasks_form* Tasks_form = nullptr;

Program::Program(platform::Desktop& desktop, ui::PeerFactory* peers)
    : desktop_(desktop), app_(desktop, peers), keyNames_(desktop.Keyboard()) {}

Program::~Program() { Exit(); }

bool Program::Start() {
  bool another = false;
  instanceMutex_ = desktop_.Instances().CreateMutexA(InstanceMutexName, another);
  if (another) {
    desktop_.Instances().CloseHandle(instanceMutex_);
    instanceMutex_ = 0;
    IWindows& windows = desktop_.Windows();
    windows.PostMessageA(HwndBroadcast, windows.RegisterWindowMessageA(ShowRunningInstanceMessage), 0, 0);
    return false;
  }
  started_ = true;
  history::LastClipboardText.clear();  // nothing has been read in this run yet
  history::LastClipboardTextPrivate = false;
  keyNames_.StartUp();
  app_.Initialize();
  tray::RegisterTaskbarCreated(desktop_.Windows());
  form1_ = std::make_unique<TForm1>(app_);
  app::Form1 = form1_.get();
  about_ = std::make_unique<TAbout_f>(app_);
  app::About_f = about_.get();
  tasks_ = std::make_unique<actions::TTasks_form>(app_, *form1_, keyNames_);
  app::Tasks_form = tasks_.get();
  form1_->TellUser(tasks_->LoadNotices);
  quick_ = std::make_unique<QuickPaste>(*form1_, *tasks_, keyNames_);
  return true;
}

int Program::Run() { return desktop_.Windows().RunMessageLoop(); }

void Program::Exit() {
  if (!started_ || exited_) return;
  exited_ = true;
  quick_.reset();
  tasks_.reset();
  app::Tasks_form = nullptr;
  about_.reset();
  app::About_f = nullptr;
  form1_.reset();
  app::Form1 = nullptr;
  keyNames_.ShutDown();
  if (instanceMutex_ != 0) desktop_.Instances().CloseHandle(instanceMutex_);
  instanceMutex_ = 0;
}

int RunProgram(platform::Desktop& desktop, ui::PeerFactory* peers) {
  Program program(desktop, peers);
  if (!program.Start()) return 0;
  int code = program.Run();
  program.Exit();
  return code;
}

}  // namespace app

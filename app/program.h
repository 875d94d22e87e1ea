// The program: start-up, message loop and exit on a given desktop.
#pragma once

#include <memory>

#include "actions/action_table.h"
#include "actions/hotkey_paste.h"
#include "actions/paste_queue.h"
#include "app/globals.h"
#include "app/notices.h"
#include "app/settings.h"
#include "grid/table.h"
#include "history/entry_id.h"
#include "history/history_store.h"
#include "history/recopy.h"
#include "history/recorder.h"
#include "history/start_guard.h"
#include "history/thumbnails.h"
#include "hotkeys/hotkey_text.h"
#include "platform/desktop.h"
#include "sync/sync.h"
#include "ui/application.h"

namespace app {

class EntryCommands;
class PlainPaste;
class QuickPaste;
class TForm1;
struct PrivacyChoices;

// The program owns the two lists with what keeps them (the history's file and journal, and the
// recorder that fills it; the actions' file and hotkeys), the settings, the paste, the notices
// and the thumbnails, and the windows that show and edit them: each window is given what it
// shows, and none reaches into another.
class Program {
 public:
  // `peers` show the windows on screen; none on the simulated desktop.
  explicit Program(platform::Desktop& desktop, ui::PeerFactory* peers = nullptr);
  // Exits first when that has not happened yet.
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Creates the windows in order and loads the lists; the main window's visibility is then
  // what the settings and the first run made it. When another copy of the program runs, asks
  // it to show its main window instead and returns false, having touched no file, registry
  // value or window of its own.
  bool Start();
  // Runs the message loop until the program is told to end.
  int Run();
  // Destroys the windows in reverse order of creation.
  void Exit();

  ui::Application& App() { return app_; }
  TForm1& Form1() { return *form1_; }
  TAbout_f& About_f() { return *about_; }
  TTasks_form& Tasks_form() { return *tasks_; }
  QuickPaste& Quick() { return *quick_; }
  EntryCommands& Entries() { return *entries_; }
  grid::Table& HistoryList() { return historyList_; }
  history::HistoryStore& HistoryStore() { return *historyStore_; }
  history::Recorder& Recorder() { return *recorder_; }
  history::Recopy& Recopy() { return *recopy_; }
  grid::Table& ActionTable() { return actions_->Table(); }
  actions::ActionList& Actions() { return *actions_; }
  actions::HotkeyPaste& Paste() { return *paste_; }
  actions::PasteQueue& Queue() { return *queue_; }
  PlainPaste& Plain() { return *plain_; }
  app::Settings& Settings() { return settings_; }
  history::Thumbnails& Pictures() { return *pictures_; }
  app::Notices& Notices() { return *notices_; }
  syncing::Sync& Sync() { return *sync_; }
  bool Exited() const { return exited_; }

  // Writes settings.stng from the settings and what the main window shows of them.
  void SaveSettings();

 private:
  void ApplyPrivacy(const PrivacyChoices& choices);
  // Makes the sync and joins it to the "Options" tab's group; it goes on when it was on.
  void StartSync();
  void SyncStartClick();
  void LoadSync();
  void WriteAll();
  void FirstRunCheck();
  // A hotkey was pressed: every action that carries it is pasted, in row order.
  void HotKeyManager1HotKeyPressed(hotkeys::HotKey hotkey);
  bool IsOwnWindow(platform::Hwnd hwnd);

  platform::Desktop& desktop_;
  ui::Application app_;
  hotkeys::KeyNames keyNames_;
  grid::Table historyList_;
  std::unique_ptr<history::HistoryStore> historyStore_;
  std::unique_ptr<history::ExcludedPrograms> excludedPrograms_;
  std::unique_ptr<history::Recorder> recorder_;
  std::unique_ptr<history::Recopy> recopy_;
  std::unique_ptr<history::EntryIds> entryIds_;
  std::unique_ptr<syncing::Sync> sync_;
  // The history was still loading when sync was set up: its settings are read, and a sync that
  // was on begins, once every row is in.
  bool syncWaitsForLoad_ = false;
  std::unique_ptr<actions::ActionList> actions_;
  app::Settings settings_;
  std::unique_ptr<history::Thumbnails> pictures_;
  std::unique_ptr<TForm1> form1_;
  std::unique_ptr<app::Notices> notices_;
  std::unique_ptr<history::StartGuard> startGuard_;
  std::unique_ptr<TAbout_f> about_;
  std::unique_ptr<TTasks_form> tasks_;
  std::unique_ptr<actions::HotkeyPaste> paste_;
  std::unique_ptr<actions::PasteQueue> queue_;
  std::unique_ptr<PlainPaste> plain_;
  std::unique_ptr<EntryCommands> entries_;
  std::unique_ptr<QuickPaste> quick_;
  platform::Handle instanceMutex_ = 0;
  bool started_ = false;
  bool exited_ = false;
};

// Runs the whole program on `desktop`, its windows shown by `peers`, and returns the process
// exit code.
int RunProgram(platform::Desktop& desktop, ui::PeerFactory* peers = nullptr);

}  // namespace app

#include "app/program.h"

#include "app/about_form.h"
#include "app/entry_commands.h"
#include "app/globals.h"
#include "app/plain_paste.h"
#include "app/quick_paste.h"
#include "app/registry_strings.h"
#include "app/tasks_add.h"
#include "app/unit1.h"
#include "grid/data_file.h"
#include "history/history_table.h"
#include "platform/utf.h"
#include "tray/tray_icon.h"
#include "ui/window_placement.h"

namespace app {

using namespace platform;

TAbout_f* About_f = nullptr;
TTasks_form* Tasks_form = nullptr;

Program::Program(platform::Desktop& desktop, ui::PeerFactory* peers)
    : desktop_(desktop),
      app_(desktop, peers),
      keyNames_(desktop.Keyboard()),
      historyList_(history::HistoryColumns()) {}

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
  keyNames_.StartUp();
  app_.Initialize();
  tray::RegisterTaskbarCreated(desktop_.Windows());
  historyStore_ =
      std::make_unique<history::HistoryStore>(desktop_, history::HistoryFilePath(desktop_), historyList_);
  excludedPrograms_ = std::make_unique<history::ExcludedPrograms>(desktop_);
  recorder_ = std::make_unique<history::Recorder>(desktop_, *historyStore_, *excludedPrograms_);
  recopy_ = std::make_unique<history::Recopy>(desktop_, historyStore_->Items());
  recorder_->OwnRecopy = [this](history::CapturedEntry& entry) { return recopy_->EntryOnClipboard(entry); };
  entryIds_ = std::make_unique<history::EntryIds>(desktop_);
  actions_ = std::make_unique<actions::ActionList>(desktop_, keyNames_);
  pictures_ = std::make_unique<history::Thumbnails>(desktop_, historyStore_->Items());

  // The settings come first: the lists are read in the form they choose (sealed or plain).
  SettingsRead settings = ReadSettings(desktop_);
  settings_ = settings.settings;
  recorder_->SetLimits(settings_.limits);
  historyStore_->SetSealing(settings_.seal);
  actions_->SetSealing(settings_.seal);

  form1_ = std::make_unique<TForm1>(app_, *actions_, *historyStore_, *recorder_, *pictures_, *recopy_);
  notices_ = std::make_unique<app::Notices>(form1_->TrayIcon1);
  form1_->OnSettingsChanged = [this] { SaveSettings(); };
  form1_->OnPrivacyApply = [this](const PrivacyChoices& choices) { ApplyPrivacy(choices); };
  form1_->OnPauseChosen = [this] {
    recorder_->SetPaused(!recorder_->Paused());
    form1_->ShowPaused(recorder_->Paused());
    notices_->SetPaused(recorder_->Paused());
  };
  form1_->OnClosing = [this] { WriteAll(); };
  form1_->OnTell = [this](const std::vector<std::string>& notices) { notices_->Tell(notices); };
  form1_->OnItemsMissing = [this] {
    notices_->TellMissingItems(grid::FileNameOf(historyStore_->Items().Folder()));
  };
  recorder_->OnSaveFailed = [this](Dword error) {
    notices_->SetNotSaving(true);
    notices_->Tell({"Copies cannot be saved (" + grid::ErrorDescription(desktop_.Files(), error) +
                    "). They are kept and saved as soon as the disk takes them."});
  };
  recorder_->OnSaveResumed = [this] { notices_->SetNotSaving(false); };
  // Its place before it is first shown; a monitor gone since moves it onto one that is there.
  if (auto kept = ui::ReadPlacement(desktop_.Registry(), MarkerKey, MainWindowValue))
    form1_->RestorePlacement(*kept);
  form1_->ShowSettings(settings_);
  FirstRunCheck();
  about_ = std::make_unique<TAbout_f>(app_);
  app::About_f = about_.get();

  // Each list is read on its own: a damaged or missing file costs only that list, and a file
  // that could not be read is never replaced.
  std::vector<std::string> notices;
  auto load = [&notices](auto&& read) {
    try {
      if (std::string notice = read(); !notice.empty()) notices.push_back(notice);
    } catch (const std::exception&) {
    }
  };
  load([this] { return actions_->Load(); });
  // A large history is read in the background, its newest rows first, while the window answers;
  // the limits apply and a damaged file is told once every row is in.
  // The signing ahead for the search waits for the end of the load, so that the load does not
  // share the processor with it; a search meanwhile signs what it needs.
  historyStore_->OnLoaded = [this](const std::string& notice) {
    recorder_->ApplyLimits();
    if (syncWaitsForLoad_) {
      syncWaitsForLoad_ = false;
      LoadSync();
    }
    form1_->HistorySearch.Wake();
    if (!notice.empty()) notices_->Tell({notice});
  };
  load([this] { return historyStore_->StartLoad(); });
  load([this] { return excludedPrograms_->Load(); });
  load([&settings] { return settings.notice; });
  startGuard_ = std::make_unique<history::StartGuard>(desktop_.Files(), history::HistoryPath(desktop_));
  load([this] { return startGuard_->Guard(*pictures_); });
  recorder_->ApplyLimits();
  StartSync();
  actions_->OnChanged = [this] { form1_->RefreshTrayActionItems(); };
  form1_->RefreshTrayActionItems();
  form1_->ShowExcludedPrograms(excludedPrograms_->Names());
  tasks_ = std::make_unique<TTasks_form>(app_, *actions_, keyNames_);
  app::Tasks_form = tasks_.get();
  notices_->Tell(notices);

  paste_ = std::make_unique<actions::HotkeyPaste>(
      desktop_, [this] { app_.ProcessMessages(); }, [this](Hwnd hwnd) { return IsOwnWindow(hwnd); },
      [this] { return form1_->Handle(); });
  paste_->SuspendWhilePasting(actions_->HotKeyManager1);
  // What a program kept out copied stays out when a paste gives it back.
  paste_->SnapshotIsPrivate = [this] { return excludedPrograms_->ExcludesClipboardSource(); };
  recorder_->IsPrivateChange = [this] { return paste_ && paste_->CurrentWrite() == actions::OwnWrite::Skip; };
  recorder_->IsOwnPasteChange = [this] {
    return paste_ && paste_->CurrentWrite() == actions::OwnWrite::Record;
  };
  actions_->HotKeyManager1.OnHotKeyPressed = [this](hotkeys::HotKey hotkey, std::uint16_t) {
    HotKeyManager1HotKeyPressed(hotkey);
  };
  queue_ = std::make_unique<actions::PasteQueue>(desktop_, *paste_);
  queue_->OnChanged = [this] {
    notices_->SetPasting(queue_->Tip());
    form1_->StopPasteQueueItem.SetVisible(queue_->Running());
  };
  form1_->OnStopPasteQueue = [this] { queue_->Stop(); };
  plain_ = std::make_unique<PlainPaste>(PlainPaste::Needs{app_, *paste_, keyNames_, *notices_, settings_,
                                                          form1_->PlainPasteBox, [this] { SaveSettings(); },
                                                          [this] { return form1_->Handle(); }});
  entries_ = std::make_unique<EntryCommands>(
      EntryCommands::Needs{app_, *historyStore_, *notices_, [this]() -> TTasks_form& { return *tasks_; }});
  form1_->OnTogglePins = [this](const std::vector<int>& rows) { entries_->TogglePins(rows); };
  form1_->OnEditEntry = [this](int row) { entries_->Edit(row); };
  form1_->OnAddToActions = [this](int row) { entries_->AddToActions(row); };
  quick_ = std::make_unique<QuickPaste>(QuickPaste::Needs{
      app_, *actions_, *historyStore_, *paste_, *queue_, keyNames_, *pictures_, *notices_, settings_,
      form1_->QuickPasteBox, [this] { SaveSettings(); }, [this] { return form1_->Handle(); },
      [this](const std::vector<int>& rows) { entries_->TogglePins(rows); },
      [this](int row) { return entries_->Edit(row); }});
  // A thumbnail made meanwhile shows at once, in the table and in the open popup.
  pictures_->OnReady = [this] {
    form1_->TableGrid2.ViewChanged();
    quick_->PicturesReady();
  };
  recorder_->OnItemsMade = [this](const std::u16string& placeholder, const std::u16string& reference) {
    pictures_->Settled(placeholder, reference);
    if (sync_) sync_->ItemsMade(placeholder, reference);
  };
  return true;
}

void Program::StartSync() {
  sync_ = std::make_unique<syncing::Sync>(desktop_, *historyStore_, *recorder_, *entryIds_,
                                          [this] { return form1_->Handle(); });
  SyncOptions& box = form1_->SyncBox;
  sync_->OnChanged = [this] { form1_->SyncBox.Show(*sync_); };
  sync_->OnNotice = [this](const std::string& text) { notices_->Tell({text}); };
  sync_->PutOnClipboardChosen = [this] { return form1_->SyncBox.SyncToClipboard.Checked(); };
  box.SyncStart.OnClick = [this] { SyncStartClick(); };
  box.SyncChoose.OnClick = [this] {
    std::string folder;
    if (desktop_.Dialogs().BrowseForFolderW(
            form1_->Handle(), "Choose the folder your sync engine keeps the same on your computers", folder))
      form1_->SyncBox.SyncFolder_e.SetText(Utf8ToUtf16(folder));
  };
  // Sync weighs the folder against the whole history (what is here already, what to send): with
  // a history still loading it begins once every row is in.
  if (historyStore_->Loading())
    syncWaitsForLoad_ = true;
  else
    LoadSync();
  box.Show(*sync_);
}

void Program::LoadSync() {
  sync_->Load();
  form1_->SyncBox.ShowChoice(*sync_);
  form1_->SyncBox.Show(*sync_);
}

void Program::SyncStartClick() {
  SyncOptions& box = form1_->SyncBox;
  // As for the other commands over the whole history, the rest of a load comes in first.
  if (syncWaitsForLoad_) {
    historyStore_->CompleteLoad();
    if (syncWaitsForLoad_) {
      syncWaitsForLoad_ = false;
      LoadSync();
    }
  }
  sync_->SetPutOnClipboard(box.SyncToClipboard.Checked());
  if (sync_->Active())
    sync_->Stop();
  else
    sync_->Start(Utf16ToUtf8(box.SyncFolder_e.Text()), Utf16ToUtf8(box.SyncCode_e.Text()));
  box.Show(*sync_);
}

void Program::FirstRunCheck() {
  std::string text;
  ReadRegistryString(desktop_.Registry(), HkeyCurrentUser, MarkerKey, MarkerValue, text);
  if (text == "1") return;
  form1_->FirstRun();
  WriteRegistryString(desktop_.Registry(), HkeyCurrentUser, MarkerKey, MarkerValue, "1");
}

void Program::SaveSettings() {
  form1_->TakeChoices(settings_);
  WriteSettings(desktop_, settings_, desktop_.Files().GetModuleFileNameW());
}

void Program::WriteAll() {
  // An image still being coded joins the history before it is written.
  recorder_->FinishPending();
  {
    const grid::UpdateScope update(historyList_);
    historyStore_->WriteAll();
  }
  SaveSettings();
  // Registry failures are not the user's concern: the window comes back at its designed place.
  if (form1_->HandleAllocated())
    if (const ui::Form::Placement placement = form1_->CurrentPlacement(); placement.normal.width > 0)
      ui::WritePlacement(desktop_.Registry(), MarkerKey, MainWindowValue, placement);
}

void Program::ApplyPrivacy(const PrivacyChoices& choices) {
  // In force at once, each whatever becomes of the other; should a file not take them, the
  // error box says so.
  std::exception_ptr failure;
  try {
    excludedPrograms_->Apply(choices.excludedPrograms);
  } catch (const std::exception&) {
    failure = std::current_exception();
  }
  form1_->ShowExcludedPrograms(excludedPrograms_->Names());
  recorder_->SetLimits(choices.limits);
  form1_->ShowRetentionLimits(choices.limits);
  // Each file is written in the chosen form; one that cannot be is told, and the rest go on.
  for (auto seal : {std::function<void()>([&] { historyStore_->SetSealing(choices.seal); }),
                    std::function<void()>([&] { actions_->SetSealing(choices.seal); })}) {
    try {
      seal();
    } catch (const std::exception&) {
      if (!failure) failure = std::current_exception();
    }
  }
  settings_.limits = recorder_->Limits();
  settings_.seal = historyStore_->Sealing();
  // Saved now, so that the limits hold after a crash too.
  SaveSettings();
  if (failure) std::rethrow_exception(failure);
}

bool Program::IsOwnWindow(Hwnd hwnd) {
  return hwnd != 0 && ((form1_ && hwnd == form1_->Handle()) || (recorder_ && hwnd == recorder_->Window()) ||
                       (recopy_ && hwnd == recopy_->Window()) ||
                       (tasks_ && tasks_->HandleAllocated() && hwnd == tasks_->Handle()));
}

void Program::HotKeyManager1HotKeyPressed(hotkeys::HotKey hotkey) {
  // Everything the paste needs is taken now: the waits let the user edit or delete the actions,
  // and a paste must neither fail half-way nor paste what a row holds by then.
  const grid::Table& table = actions_->Table();
  const int textColumn = table.ColumnIndex(actions::TextColumn);
  const int methodColumn = table.ColumnIndex(actions::MethodColumn);
  std::vector<actions::PasteRequest> requests;
  for (int row : actions_->RowsWithHotKey(hotkey))
    requests.push_back(
        {table.Cell(textColumn, row), actions::PasteMethodOf(table.Cell(methodColumn, row)), hotkey});
  paste_->Press(std::move(requests));
}

int Program::Run() { return desktop_.Windows().RunMessageLoop(); }

void Program::Exit() {
  if (!started_ || exited_) return;
  exited_ = true;
  quick_.reset();
  form1_->OnTogglePins = nullptr;
  form1_->OnEditEntry = nullptr;
  form1_->OnAddToActions = nullptr;
  entries_.reset();
  plain_.reset();
  // A queue that runs gives the clipboard back first, through the paste.
  form1_->OnStopPasteQueue = nullptr;
  queue_.reset();
  recorder_->IsPrivateChange = nullptr;
  recorder_->IsOwnPasteChange = nullptr;
  paste_.reset();
  tasks_.reset();
  app::Tasks_form = nullptr;
  // The action hotkeys go with the editor, before the other windows.
  actions_->HotKeyManager1.ClearBindings();
  about_.reset();
  app::About_f = nullptr;
  startGuard_.reset();
  historyStore_->OnRowsLoaded = nullptr;
  historyStore_->OnLoaded = nullptr;
  if (pictures_) pictures_->OnReady = nullptr;
  recorder_->OnItemsMade = nullptr;
  recorder_->OnSaveFailed = nullptr;
  recorder_->OnSaveResumed = nullptr;
  // Its writes in flight end before the history and the recorder go.
  sync_.reset();
  notices_.reset();
  form1_.reset();
  // A re-copied image that no program asked for yet is put on the clipboard for good.
  recorder_->OwnRecopy = nullptr;
  recopy_.reset();
  pictures_.reset();
  actions_.reset();
  recorder_.reset();
  excludedPrograms_.reset();
  historyStore_.reset();
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

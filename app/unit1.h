// The main window: the tabs with both lists and the options, the main menu and the tray icon.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "actions/action_table.h"
#include "app/quick_paste_options.h"
#include "grid/row_filter.h"
#include "history/history_store.h"
#include "history/recorder.h"
#include "history/thumbnails.h"
#include "tray/tray_icon.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/file_dialogs.h"
#include "ui/form.h"
#include "ui/menu.h"
#include "ui/table_grid.h"
#include "ui/timer.h"

namespace app {

constexpr const char* ProductName = "Corvilane Clipboard Manager";
constexpr const char* WebSite = "https://corvilane.example";
constexpr const char* FirstRunPage = "https://corvilane.example/#cm=0";
constexpr const char* RunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* RunValue = "Corvilane_Clipboard_Manger";
constexpr const char* MarkerKey = "Software\\Corvilane\\Clipboard_manager";
constexpr const char* MarkerValue = "fr";
// The mutex that the running copy of the program holds, and the message by which a second start
// asks it to show its main window.
constexpr const char* InstanceMutexName = "Corvilane_Clipboard_Manager_Running";
constexpr const char* ShowRunningInstanceMessage = "Corvilane_Clipboard_Manager_Show";

// The tray menu's numbered items, one per action.
constexpr int TrayActionSlots = 100;
std::vector<std::unique_ptr<ui::MenuItem>> MakeNumberedItems(ui::PopupMenu& menu);

// Shows the program's lists, which it does not own: the actions in TableGrid1 and the history
// in TableGrid2, whose new entries the recorder tells it about.
class TForm1 : public ui::Form {
 public:
  TForm1(ui::Application& app, actions::ActionList& actions, history::HistoryStore& history,
         history::Recorder& recorder, history::ExcludedPrograms& excluded);
  ~TForm1() override;

  // Components, as the window declares them.
  ui::MainMenu MainMenu1{"MainMenu1"};
  ui::MenuItem File1{&MainMenu1, "File1", "File"};
  ui::MenuItem Exit1{&File1, "Exit1", "Exit"};
  ui::MenuItem Help1{&MainMenu1, "Help1", "Help"};
  ui::MenuItem Reference1{&Help1, "Reference1", "About..."};

  ui::PageControl PageControl1{this, "PageControl1"};
  ui::TabSheet TabSheet1{&PageControl1, "TabSheet1", "Actions"};
  ui::TabSheet TabSheet2{&PageControl1, "TabSheet2", "Clipboard history"};
  ui::TabSheet TabSheet3{&PageControl1, "TabSheet3", "Options"};

  ui::TableGrid TableGrid1;
  ui::Button Add_b{&TabSheet1, "Add_b", "Add"};
  ui::Button Edit_b{&TabSheet1, "Edit_b", "Edit"};
  ui::Button Delete_b{&TabSheet1, "Delete_b", "Delete"};
  ui::Button DeleteAll_b{&TabSheet1, "DeleteAll_b", "Delete all"};

  ui::TableGrid TableGrid2;
  ui::Edit Search_e{&TabSheet2, "Search_e"};
  ui::Button BitBtn1{&TabSheet2, "BitBtn1", "Delete selected"};
  ui::Button BitBtn2{&TabSheet2, "BitBtn2", "Clear All"};
  ui::Label Label1{&TabSheet2, "Label1", "Clipboard contains"};

  ui::GroupBox GroupBox1{&TabSheet3, "GroupBox1", "General"};
  ui::CheckBox CheckBox1{&GroupBox1, "CheckBox1", "Start automaticaly", true};
  ui::CheckBox CheckBox2{&GroupBox1, "CheckBox2", "Always start in system tray only", true};
  ui::GroupBox GroupBox2{&TabSheet3, "GroupBox2", "Actions"};
  ui::Button BitBtn3{&GroupBox2, "BitBtn3", "Export actions"};
  ui::Button BitBtn4{&GroupBox2, "BitBtn4", "Import actions"};
  ui::GroupBox GroupBox3{&TabSheet3, "GroupBox3", "Clipboard history"};
  ui::Button BitBtn5{&GroupBox3, "BitBtn5", "Export history"};
  ui::Button BitBtn6{&GroupBox3, "BitBtn6", "Import history"};
  ui::GroupBox PrivacyGroup{&TabSheet3, "PrivacyGroup", "Privacy"};
  ui::Label ExcludedProgramsLabel{&PrivacyGroup, "ExcludedProgramsLabel",
                                  "Never record copies from these programs (one file name a line):"};
  ui::Edit ExcludedPrograms_e{&PrivacyGroup, "ExcludedPrograms_e"};
  ui::Label ForgetAfterLabel{&PrivacyGroup, "ForgetAfterLabel", "Forget entries older than"};
  // Each item carries its number of days, 0 for never.
  ui::ComboBox ForgetAfter_c{&PrivacyGroup, "ForgetAfter_c"};
  ui::Label KeepAtMostLabel{&PrivacyGroup, "KeepAtMostLabel", "Keep at most"};
  ui::Edit KeepAtMost_e{&PrivacyGroup, "KeepAtMost_e"};
  ui::Label KeepAtMostUnitLabel{&PrivacyGroup, "KeepAtMostUnitLabel", "entries"};
  ui::CheckBox SealBox{&PrivacyGroup, "SealBox",
                       "Keep the history and actions encrypted, readable only by this Windows account"};
  ui::Button PrivacyApply{&PrivacyGroup, "PrivacyApply", "Apply"};
  QuickPasteOptions QuickPasteBox{&TabSheet3};
  ui::Memo settings_m{&TabSheet3, "settings_m"};

  ui::PopupMenu PopupMenu2{*this, "PopupMenu2"};
  // N11 to N200: one item per action, hidden until the actions are known. They are made before
  // the members below so that they stand at the head of the menu.
  std::vector<std::unique_ptr<ui::MenuItem>> NumberedItems = MakeNumberedItems(PopupMenu2);
  ui::MenuItem N1{&PopupMenu2, "N1", "-"};
  ui::MenuItem ClipboardHistory1{&PopupMenu2, "ClipboardHistory1", "Clipboard History"};
  ui::MenuItem Optoins1{&PopupMenu2, "Optoins1", "Options"};
  ui::MenuItem ShowMainwindow2{&PopupMenu2, "ShowMainwindow2", "Show Main window"};
  ui::MenuItem PauseRecordingItem{&PopupMenu2, "PauseRecordingItem", "Pause recording"};
  ui::MenuItem Exit3{&PopupMenu2, "Exit3", "Exit"};
  tray::TTrayIcon TrayIcon1{*this};

  // The file dialogs of the export and import commands.
  ui::OpenDialog OpenDialog1{*this};  // "Import actions"
  ui::OpenDialog OpenDialog2{*this};  // "Import history"
  ui::SaveDialog SaveDialog1{*this};  // both exports

  // Runs the history search on in slices while it has rows left to scan, so that the window
  // keeps answering however long the history is; from start-up until a search needs them, it
  // also signs the history's texts ahead, so that the first search does not wait for that.
  ui::Timer SearchTimer{*this, 1, true};
  // The text units a slice of the search reads: some tens of milliseconds, so that the window
  // answers in between however long the history is. Tests shrink it, so that their scans span
  // many slices.
  std::size_t SearchSliceUnits = std::size_t{1} << 26;
  // The text units signed in each slice of the signing ahead: a few milliseconds, so that the
  // history of a million entries is signed within half a second of start-up.
  std::size_t SignSliceUnits = std::size_t{1} << 22;
  // The history rows the search box matches; the history table shows them.
  grid::RowFilter HistoryFilter;

  // Tells the user, in a balloon over the tray icon, without a box that waits for an answer.
  void TellUser(const std::vector<std::string>& notices);
  // Once a run: an entry's items were missing or damaged when it was put on the clipboard.
  void TellMissingItems();
  history::HistoryStore& History() { return history_; }
  // The thumbnails of image entries, for the history table and quick paste.
  history::Thumbnails& Pictures() { return pictures_; }

  // Start-up work once the components exist.
  void FormCreate();

  // Settings and the first run.
  void LoadSettings();
  void SaveSettings();
  void FirstRunCheck();
  // What the user is to be told of the settings file as it was read: empty, or that it was
  // damaged and where its copy is.
  const std::string& SettingsNotice() const { return settingsNotice_; }

  // Shows one numbered tray item per action (at most the slots there are) with the action's
  // name, and hides the rest.
  void RefreshTrayActionItems();

  // Handlers.
  void Delete_bClick();
  void DeleteAll_bClick();
  // A numbered tray item: every action of that name puts its text on the clipboard.
  void N11Click(ui::MenuItem& sender);
  void Exit1Click();
  void Exit3Click();
  void Reference1Click();
  void TrayIcon1Click();
  void ShowMainwindow2Click();
  void ClipboardHistory1Click();
  void Optoins1Click();
  // Stops recording the clipboard until chosen again; the check mark and the icon's tip say so.
  void PauseRecordingItemClick();
  // The "Privacy" group's "Apply": the programs in the box, one a line, are kept out from now on,
  // the limits chosen are in force (what they remove goes at once), the data files are written
  // anew in the form chosen (sealed or plain), and the settings are saved.
  void PrivacyApplyClick();
  // The tray icon's tip: paused, copies not being saved, or the program's name.
  void ShowRecordingState();
  // Shows the programs kept out in the "Privacy" group's box.
  void ShowExcludedPrograms();
  // Shows these limits in the "Privacy" group.
  void ShowRetentionLimits(const history::RetentionLimits& limits);
  void CheckBox1KeyPress(char& key);
  void CheckBox2KeyPress(char& key);
  void Search_eChange();
  void SearchTimerTimer();
  // One slice of the history search's work (the first after a keystroke when `typed`);
  // whether work is left.
  bool StepSearch(bool typed);

  std::array<ui::MenuItem*, TrayActionSlots>& TrayActionItems() { return trayActionItems_; }

 protected:
  void FormCloseQuery(bool& canClose) override;
  bool FormKeyDown(int virtualKey, bool control) override;
  bool HandleMessage(platform::Uint msg, platform::WParam wParam, platform::LParam lParam,
                     platform::LResult& result) override;

 private:
  void MakeVisibleAndRestore(int showCmd);
  std::string ExePath();

  actions::ActionList& actions_;
  history::HistoryStore& history_;
  bool toldMissingItems_ = false;
  // Asked by a search scan now and then: whether it should stop for a key the user has pressed.
  std::function<bool()> keyPressWaiting_ = [this] { return Desktop().Windows().KeyPressWaiting(); };
  grid::SearchSlices searchSlices_{HistoryFilter};
  history::Thumbnails pictures_{Desktop(), history_.Items()};
  history::Recorder& recorder_;
  history::ExcludedPrograms& excluded_;
  ui::DialogFilePrompt actionFiles_{OpenDialog1, SaveDialog1};
  ui::DialogFilePrompt historyFiles_{OpenDialog2, SaveDialog1};
  std::array<ui::MenuItem*, TrayActionSlots> trayActionItems_{};
  platform::Uint showMessage_ = 0;
  bool notSaving_ = false;  // captures do not reach the disk
  std::string settingsNotice_;
};

}  // namespace app

// The main window: the tabs with both lists and the options, the main menu and the tray icon.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "actions/action_table.h"
#include "app/plain_paste_options.h"
#include "app/program_names.h"
#include "app/quick_paste_options.h"
#include "app/settings.h"
#include "app/sync_options.h"
#include "grid/row_filter.h"
#include "history/history_store.h"
#include "history/recopy.h"
#include "history/recorder.h"
#include "history/thumbnails.h"
#include "tray/tray_icon.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/file_dialogs.h"
#include "ui/form.h"
#include "ui/menu.h"
#include "ui/search_box.h"
#include "ui/table_grid.h"
#include "ui/timer.h"

namespace app {

// The tray menu's numbered items, one per action.
constexpr int TrayActionSlots = 100;
std::vector<std::unique_ptr<ui::MenuItem>> MakeNumberedItems(ui::PopupMenu& menu);

// What the "Privacy" group's "Apply" asks for.
struct PrivacyChoices {
  std::vector<std::u16string> excludedPrograms;
  history::RetentionLimits limits;
  bool seal = false;
};

// Shows the program's lists and options, which it does not own: the actions in TableGrid1, the
// history in TableGrid2 (whose new entries the recorder tells it about), and the settings on the
// "Options" tab, handing back what the user changed.
class TForm1 : public ui::Form {
 public:
  TForm1(ui::Application& app, actions::ActionList& actions, history::HistoryStore& history,
         history::Recorder& recorder, history::Thumbnails& pictures, history::Recopy& recopy);
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
  PlainPasteOptions PlainPasteBox{&TabSheet3};
  SyncOptions SyncBox{&TabSheet3};

  ui::PopupMenu PopupMenu2{*this, "PopupMenu2"};
  // N11 to N200: one item per action, hidden until the actions are known. They are made before
  // the members below so that they stand at the head of the menu.
  std::vector<std::unique_ptr<ui::MenuItem>> NumberedItems = MakeNumberedItems(PopupMenu2);
  ui::MenuItem N1{&PopupMenu2, "N1", "-"};
  ui::MenuItem ClipboardHistory1{&PopupMenu2, "ClipboardHistory1", "Clipboard History"};
  ui::MenuItem Optoins1{&PopupMenu2, "Optoins1", "Options"};
  ui::MenuItem ShowMainwindow2{&PopupMenu2, "ShowMainwindow2", "Show Main window"};
  ui::MenuItem PauseRecordingItem{&PopupMenu2, "PauseRecordingItem", "Pause recording"};
  // Shown only while a paste queue runs.
  ui::MenuItem StopPasteQueueItem{&PopupMenu2, "StopPasteQueueItem", "Stop the paste queue"};
  ui::MenuItem Exit3{&PopupMenu2, "Exit3", "Exit"};
  tray::TTrayIcon TrayIcon1{*this};

  // The history table's menu, on its rows.
  ui::PopupMenu HistoryMenu{*this, "HistoryMenu"};
  ui::MenuItem PinItem{&HistoryMenu, "PinItem", "Pin"};  // "Unpin" when every row chosen is pinned
  ui::MenuItem EditItem{&HistoryMenu, "EditItem", "Edit\u2026"};
  ui::MenuItem AddToActionsItem{&HistoryMenu, "AddToActionsItem", "Add to actions\u2026"};
  ui::MenuItem CopyItem{&HistoryMenu, "CopyItem", "Copy"};
  ui::MenuItem DeleteItem{&HistoryMenu, "DeleteItem", "Delete"};

  // The file dialogs of the export and import commands.
  ui::OpenDialog OpenDialog1{*this};  // "Import actions"
  ui::OpenDialog OpenDialog2{*this};  // "Import history"
  ui::SaveDialog SaveDialog1{*this};  // both exports

  // The history rows the search box matches; the history table shows them.
  grid::RowFilter HistoryFilter;
  // The search box's work: the scan between keys, the work ahead, and from start-up until a
  // search needs them, the signatures of the history's texts made ahead.
  ui::SearchBox HistorySearch;

  // Shows the options; with the tray-only option off the window shows itself too.
  void ShowSettings(const Settings& settings);
  // Puts what the user chose on the window into `settings`: the general options and the tab.
  void TakeChoices(Settings& settings) const;
  // Shows the programs kept out in the "Privacy" group's box.
  void ShowExcludedPrograms(const std::vector<std::u16string>& names);
  // Shows these limits in the "Privacy" group.
  void ShowRetentionLimits(const history::RetentionLimits& limits);
  // The first start for this Windows account: the welcome page opens, and the window shows.
  void FirstRun();
  // Shows one numbered tray item per action (at most the slots there are) with the action's
  // name, and hides the rest.
  void RefreshTrayActionItems();
  // The tray menu's "Pause recording" check mark.
  void ShowPaused(bool paused) { PauseRecordingItem.SetChecked(paused); }

  // What the window hands back to the program.
  // The general options changed on the "Options" tab: they are to be saved.
  std::function<void()> OnSettingsChanged;
  // The "Privacy" group's "Apply": the programs in the box, the limits chosen and the sealing
  // are to be in force, and saved. Raises platform::Error for a count that is no number.
  std::function<void(const PrivacyChoices&)> OnPrivacyApply;
  // "Pause recording" was chosen.
  std::function<void()> OnPauseChosen;
  // "Stop the paste queue" was chosen in the tray menu.
  std::function<void()> OnStopPasteQueue;
  // The window closes, or the session ends: everything is to be written.
  std::function<void()> OnClosing;
  // Something to tell the user in a balloon.
  std::function<void(const std::vector<std::string>&)> OnTell;
  // An entry was put on the clipboard without the items it refers to.
  std::function<void()> OnItemsMissing;
  // The history table's commands on entries, by their rows: the pin of the selected ones is to
  // be toggled, the current one's text edited, or an action made of it.
  std::function<void(const std::vector<int>& rows)> OnTogglePins;
  std::function<void(int row)> OnEditEntry;
  std::function<void(int row)> OnAddToActions;

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
  void PauseRecordingItemClick();
  // The "Privacy" group's "Apply".
  void PrivacyApplyClick();
  void CheckBox1KeyPress(char& key);
  void CheckBox2KeyPress(char& key);
  void Search_eChange();
  // The history table's menu at a point of the screen, for the selected rows.
  void HistoryMenuPopup(int x, int y);
  // The entry the history table's commands act on alone: its current row, when it is shown.
  int CurrentHistoryRow();
  // The rows selected and shown, from the top.
  std::vector<int> SelectedHistoryRows();
  void CopyHistoryRow(int row);

  std::array<ui::MenuItem*, TrayActionSlots>& TrayActionItems() { return trayActionItems_; }

 protected:
  void FormCloseQuery(bool& canClose) override;
  bool FormKeyDown(int virtualKey, bool control) override;
  bool HandleMessage(platform::Uint msg, platform::WParam wParam, platform::LParam lParam,
                     platform::LResult& result) override;

 private:
  void MakeVisibleAndRestore(int showCmd);

  actions::ActionList& actions_;
  history::HistoryStore& history_;
  history::Thumbnails& pictures_;
  // Gone with the window: work it asked for that ends later goes nowhere.
  std::shared_ptr<const void> alive_ = std::make_shared<int>(0);
  history::Recorder& recorder_;
  history::Recopy& recopy_;
  ui::DialogFilePrompt actionFiles_{OpenDialog1, SaveDialog1};
  ui::DialogFilePrompt historyFiles_{OpenDialog2, SaveDialog1};
  std::array<ui::MenuItem*, TrayActionSlots> trayActionItems_{};
  platform::Uint showMessage_ = 0;
};

}  // namespace app

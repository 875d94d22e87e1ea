// Whole-program tests: the program started on a simulated desktop of its own.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/about_form.h"
#include "app/program.h"
#include "app/tasks_add.h"
#include "app/unit1.h"
#include "history/history_table.h"
#include "platform/sim/sim_clipboard.h"
#include "platform/sim/sim_desktop.h"
#include "temp_folder.h"

namespace testing_support {

// Where the image entries' items are kept.
constexpr const char* ItemsFolder = "C:\\Program Files\\Clipboard manager\\Data\\clipboard_history.items";

class ProgramTest : public ::testing::Test {
 public:
  static constexpr const char* ExeFolder = "C:\\Program Files\\Clipboard manager";
  static constexpr const char* DataFolder = "C:\\Program Files\\Clipboard manager\\Data";

  ProgramTest() : root_(MakeTempFolder()), desk(root_) {
    desk.files.MakeFolder(DataFolder);
    // Most tests are about a program that has run before.
    desk.registry.SetString(app::MarkerKey, app::MarkerValue, "1");
  }
  ~ProgramTest() override {
    program.reset();
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

  void Start() {
    program = std::make_unique<app::Program>(desk);
    program->Start();
  }
  // Ends the program the way its message loop would once it was told to quit.
  void FinishIfQuit() {
    if (desk.windows.QuitRequested()) program->Exit();
  }
  // Ends this run (as the process would end) and starts the program again on the same desktop.
  void Restart() {
    program.reset();
    desk.windows.StartNewProcess();
    Start();
  }

  app::TForm1& Form1() { return program->Form1(); }
  app::TAbout_f& About() { return program->About_f(); }
  app::TTasks_form& Tasks() { return program->Tasks_form(); }

  std::string DataFile(const std::string& name) const { return std::string(DataFolder) + "\\" + name; }
  bool DataFileExists(const std::string& name) const { return desk.files.Exists(DataFile(name)); }
  std::string DataFileBytes(const std::string& name) const { return desk.files.FileBytes(DataFile(name)); }
  void PutDataFile(const std::string& name, const std::string& bytes) {
    desk.files.PutFile(DataFile(name), bytes);
  }
  // The names of the files in Data that hold `ascii` as UTF-16 text, whatever they are.
  std::vector<std::string> DataFilesHolding(const std::string& ascii) const {
    std::string wide;
    for (char c : ascii) wide.append(1, c).append(1, '\0');
    std::vector<std::string> holding;
    for (const auto& entry : std::filesystem::directory_iterator(desk.files.RealPath(DataFolder))) {
      std::ifstream file(entry.path(), std::ios::binary);
      const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
      if (bytes.find(wide) != std::string::npos) holding.push_back(entry.path().filename().string());
    }
    return holding;
  }

  std::string root_;
  sim::SimDesktop desk;
  std::unique_ptr<app::Program> program;
};

// The program with another program beside it that copies texts, once the main window has
// joined the clipboard viewer chain.
class ClipboardProgramTest : public ProgramTest {
 public:
  ClipboardProgramTest() : other(desk.clipboard, "Editor") {}

  void StartJoined() {
    Start();
    desk.windows.Advance(1000);  // the main window joins the clipboard viewer chain
  }
  // The history's texts, newest first, as they are (HistoryTexts gives them through the code page).
  std::vector<std::u16string> Entries() {
    std::vector<std::u16string> texts;
    const grid::Table& history = program->HistoryList();
    for (int row = 0; row < history.RowCount(); ++row)
      texts.push_back(history.Cell(history::Clipboadrs_history, row));
    return texts;
  }
  // A history row's reference to its items.
  std::u16string Reference(int row) { return program->HistoryList().Cell(history::ItemsColumn, row); }
  // The files of the items folder, by name.
  std::vector<std::string> ItemFiles() {
    std::vector<std::string> names;
    desk.files.ListFolder(ItemsFolder, names);
    std::sort(names.begin(), names.end());
    return names;
  }
  std::vector<std::string> HistoryTexts() {
    std::vector<std::string> texts;
    const grid::Table& history = program->HistoryList();
    for (int row = 0; row < history.RowCount(); ++row)
      texts.push_back(desk.codePage.WideToAnsi(history.Cell("Clipboadrs_history", row)));
    return texts;
  }
  // Exit from the tray menu, and its close step.
  void Exit() {
    Form1().Exit1.Click();
    FinishIfQuit();
  }
  // The process ends without its close step, as when it is killed; the next Start() is a new one.
  void Kill() {
    program.reset();
    desk.windows.StartNewProcess();
  }
  // The balloons' texts shown so far, oldest first.
  std::vector<std::string> Balloons() {
    std::vector<std::string> texts;
    for (const sim::NotifyCall& call : desk.notifyArea.Calls())
      if (call.data.uFlags & platform::NifInfo) texts.push_back(call.data.szInfo);
    return texts;
  }

  sim::ForeignProgram other;
};

// UTF-16LE bytes with a byte order mark, from ASCII text.
inline std::string Utf16File(const std::string& ascii) {
  std::string bytes = "\xFF\xFE";
  for (char c : ascii) {
    bytes += c;
    bytes += '\0';
  }
  return bytes;
}

}  // namespace testing_support

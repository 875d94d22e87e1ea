// A computer for the sync tests: the program on a simulated desktop of its own, with its data
// folder and a sync folder at the same place on every computer, and another program to copy in.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "app/program.h"
#include "app/unit1.h"
#include "history/history_table.h"
#include "platform/sim/sim_clipboard.h"
#include "platform/sim/sim_desktop.h"
#include "platform/utf.h"
#include "temp_folder.h"

namespace testing_support {

struct SyncComputer {
  static constexpr const char* SyncFolder = "D:\\Sync";
  static constexpr const char* DataFolder = "C:\\Program Files\\Clipboard manager\\Data";

  // `seed` makes its random keys, ids and nonces its own.
  explicit SyncComputer(std::uint64_t seed)
      : root(MakeTempFolder()), desk(root), other(desk.clipboard, "Editor") {
    desk.files.MakeFolder(DataFolder);
    desk.files.MakeFolder(SyncFolder);
    desk.registry.SetString(app::MarkerKey, app::MarkerValue, "1");
    desk.crypto.SeedRandom(seed);
  }
  ~SyncComputer() {
    program.reset();
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  }
  void Exit() {
    program->Form1().Exit1.Click();
    if (desk.windows.QuitRequested()) program->Exit();
    program.reset();
    desk.windows.StartNewProcess();
  }
  app::SyncOptions& Box() { return program->Form1().SyncBox; }
  bool StartSync(const std::string& code = {}) {
    Box().SyncFolder_e.UserSetText(platform::Utf8ToUtf16(SyncFolder));
    Box().SyncCode_e.UserSetText(platform::Utf8ToUtf16(code));
    Box().SyncStart.Click();
    return program->Sync().Active();
  }
  std::string Code() { return platform::Utf16ToUtf8(Box().SyncCode_e.Text()); }
  std::vector<std::string> Texts() {
    std::vector<std::string> texts;
    const grid::Table& list = program->HistoryList();
    for (int row = 0; row < list.RowCount(); ++row)
      texts.push_back(platform::Utf16ToUtf8(list.Cell(history::Clipboadrs_history, row)));
    return texts;
  }
  std::filesystem::path Shared() {
    return std::filesystem::path(desk.files.RealPath(SyncFolder)) / "Clipboard manager sync";
  }

  std::string root;
  sim::SimDesktop desk;
  sim::ForeignProgram other;
  std::unique_ptr<app::Program> program;
};

}  // namespace testing_support

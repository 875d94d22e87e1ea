// A small main window on a simulated desktop that joins the clipboard viewer chain and records
// clipboard changes in its history, as the program's main window does.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "clipboard/viewer_chain.h"
#include "history/capture.h"
#include "history/history_table.h"
#include "platform/sim/sim_desktop.h"
#include "temp_folder.h"
#include "ui/controls.h"
#include "ui/table_grid.h"

namespace clipboard_history_test {

// Files that record each completed replacement of a file with what the file then held.
class RecordingFiles : public sim::SimFiles {
 public:
  using SimFiles::SimFiles;
  struct FileWrite {
    std::string path, bytes;
  };
  std::vector<FileWrite> writes;
  int WritesTo(const std::string& path) const {
    return static_cast<int>(
        std::count_if(writes.begin(), writes.end(), [&](auto& w) { return w.path == path; }));
  }
  platform::Dword Replace(const std::string& source, const std::string& target) override {
    platform::Dword error = SimFiles::Replace(source, target);
    if (error == 0) writes.push_back({target, FileBytes(target)});
    return error;
  }
};

// The simulated desktop, whose program sees the files through `recorded`.
class TestDesktop : public sim::SimDesktop {
 public:
  explicit TestDesktop(const std::string& root) : SimDesktop(root), recorded(root) {}
  platform::IFiles& Files() override { return recorded; }
  RecordingFiles recorded;
};

// The main window's part in the chain and the capture, wired the way the program's main window
// wires them: default handling first, errors stopped at the window's boundary.
class TestMainWindow : public platform::IWindowProc {
  platform::Desktop& desktop_;  // first: the members below use it

 public:
  explicit TestMainWindow(platform::Desktop& desktop) : desktop_(desktop) {
    platform::WindowDesc desc;
    desc.title = "Main window";
    handle = desktop_.Windows().CreateWindowA(desc, this);
  }
  ~TestMainWindow() {
    Chain.LeaveChain(handle);
    desktop_.Windows().DestroyWindow(handle);
  }
  TestMainWindow(const TestMainWindow&) = delete;
  TestMainWindow& operator=(const TestMainWindow&) = delete;

  void Join() { Chain.JoinChain(handle); }

  platform::LResult WindowProc(platform::Hwnd hwnd, platform::Uint msg, platform::WParam wParam,
                               platform::LParam lParam) override {
    platform::IWindows& windows = desktop_.Windows();
    try {
      switch (msg) {
        case platform::WmDrawClipboard:
          windows.DefWindowProcA(hwnd, msg, wParam, lParam);
          ++notifications;
          Chain.DrawClipboard(
              [this] { history::CaptureClipboard(desktop_, handle, TableGrid2, Label1, LastClipboardText); });
          return 0;
        case platform::WmChangeCbChain:
          windows.DefWindowProcA(hwnd, msg, wParam, lParam);
          return Chain.ChangeCbChain(wParam, lParam);
        default:
          return windows.DefWindowProcA(hwnd, msg, wParam, lParam);
      }
    } catch (const std::exception& error) {
      errors.push_back(error.what());
      return 0;
    }
  }

  // The history's texts, top row first.
  std::vector<std::u16string> Texts() const {
    std::vector<std::u16string> texts;
    for (int r = 0; r < TableGrid2.RowCount(); ++r)
      texts.push_back(TableGrid2.Cell(history::Clipboadrs_history, r));
    return texts;
  }

  platform::Hwnd handle = 0;
  platform::Hwnd NextViewer = 0;
  clipboard::ViewerChain Chain{desktop_, NextViewer};
  ui::TableGrid TableGrid2{nullptr, "TableGrid2", history::HistoryColumns()};
  ui::Label Label1{nullptr, "Label1", "Clipboard contains"};
  std::u16string LastClipboardText;
  int notifications = 0;
  std::vector<std::string> errors;  // what reached the window's error boundary
};

// A simulated desktop in a folder of its own, removed afterwards.
class DesktopTest : public ::testing::Test {
 protected:
  static constexpr const char* DataFolder = "C:\\Program Files\\Clipboard manager\\Data";
  static constexpr const char* HistoryPath =
      "C:\\Program Files\\Clipboard manager\\Data\\clipboard_history.hstr";

  DesktopTest() : root_(testing_support::MakeTempFolder()), desk(root_) {
    desk.recorded.MakeFolder(DataFolder);
  }
  ~DesktopTest() override {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

  std::string root_;
  TestDesktop desk;
};

// UTF-16LE bytes with a byte order mark.
inline std::string Utf16File(std::u16string_view text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t u : text) {
    bytes.push_back(static_cast<char>(u & 0xFF));
    bytes.push_back(static_cast<char>(u >> 8));
  }
  return bytes;
}

}  // namespace clipboard_history_test

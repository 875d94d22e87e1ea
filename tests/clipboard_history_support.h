// A window on a simulated desktop that records clipboard changes in a history through the
// program's recorder, as the program's main window does, and a desktop for such tests.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "history/history_store.h"
#include "history/history_table.h"
#include "history/recorder.h"
#include "platform/sim/sim_desktop.h"
#include "temp_folder.h"

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

// The history with its store and recorder, as the program keeps them, beside a window that puts
// entries back on the clipboard as the main window does. What the recorder tells the window is
// kept in `told`, and the read errors it reports in `errors`.
class HistoryWindow {
  platform::Desktop& desktop_;  // first: the members below use it

 public:
  static constexpr const char* HistoryPath =
      "C:\\Program Files\\Clipboard manager\\Data\\clipboard_history.hstr";

  // `columns` are the history's; other columns make every attempt to record raise.
  explicit HistoryWindow(platform::Desktop& desktop,
                         std::vector<grid::Column> columns = history::HistoryColumns())
      : desktop_(desktop), list(std::move(columns)) {
    platform::WindowDesc desc;
    desc.title = "Main window";
    handle = desktop_.Windows().CreateWindowA(desc, &window_);
    recorder.OnClipboardText = [this](const std::u16string& text) {
      told = text;
      ++tellings;
    };
    recorder.OnReadError = [this](const std::exception& error) { errors.push_back(error.what()); };
  }
  ~HistoryWindow() { desktop_.Windows().DestroyWindow(handle); }
  HistoryWindow(const HistoryWindow&) = delete;
  HistoryWindow& operator=(const HistoryWindow&) = delete;

  // The recorder joins the viewer chain now, rather than a second after it was made.
  void Join() { recorder.JoinChain(); }

  // The history's texts, top row first.
  std::vector<std::u16string> Texts() const {
    std::vector<std::u16string> texts;
    for (int r = 0; r < list.RowCount(); ++r) texts.push_back(list.Cell(history::Clipboadrs_history, r));
    return texts;
  }

 private:
  struct Plain : platform::IWindowProc {
    explicit Plain(platform::Desktop& desktop) : desktop(&desktop) {}
    platform::Desktop* desktop;
    platform::LResult WindowProc(platform::Hwnd hwnd, platform::Uint msg, platform::WParam wParam,
                                 platform::LParam lParam) override {
      return desktop->Windows().DefWindowProcA(hwnd, msg, wParam, lParam);
    }
  } window_{desktop_};

 public:
  platform::Hwnd handle = 0;
  grid::Table list;
  history::HistoryStore store{desktop_, [] { return std::string(HistoryPath); }, list};
  history::ExcludedPrograms excluded{desktop_};
  history::Recorder recorder{desktop_, store, excluded};
  std::u16string told = u"(nothing told)";
  int tellings = 0;                 // how many changes the recorder read
  std::vector<std::string> errors;  // what the recorder could not read
};

// A simulated desktop in a folder of its own, removed afterwards.
class DesktopTest : public ::testing::Test {
 protected:
  static constexpr const char* DataFolder = "C:\\Program Files\\Clipboard manager\\Data";
  static constexpr const char* HistoryPath = HistoryWindow::HistoryPath;

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

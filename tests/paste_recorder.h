// What the focused program receives from a hotkey paste on the simulated desktop.
#pragma once

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "platform/sim/sim_clipboard.h"
#include "platform/sim/sim_desktop.h"

namespace testing_support {

// The focused program: at each Ctrl+V or Shift+Insert it receives, it reads the clipboard's
// text `delayMs` later, as a program of its own (`reader`). A key that the user's own Alt or
// Win turns into another chord pastes nothing.
class PasteRecorder {
 public:
  PasteRecorder(sim::SimDesktop& desk, sim::ForeignProgram& reader) : desk_(desk), reader_(reader) {}
  void Start(platform::Dword delayMs = 0) {
    desk_.keyboard.OnKeyEvent([this, delayMs](const sim::KeyEvent& e) {
      if ((e.vk != 0x56 && e.vk != 0x2D) || e.flags != 0) return;
      keystrokes.push_back(desk_.time.GetTickCount());
      if (desk_.keyboard.IsDown(0x12) || desk_.keyboard.IsDown(0x5B)) return;
      auto read = [this] { pasted.push_back(reader_.ReadText().value_or("<none>")); };
      if (delayMs == 0) {
        read();
      } else {
        desk_.windows.Schedule(delayMs, read);
      }
    });
  }
  std::vector<std::string> pasted;
  std::vector<platform::Dword> keystrokes;  // the tick count of each paste key

 private:
  sim::SimDesktop& desk_;
  sim::ForeignProgram& reader_;
};

// The marks of the program's own paste writes, which keep them out of other histories.
inline bool IsPasteMark(const std::string& name) {
  return name == "CanIncludeInClipboardHistory" || name == "CanUploadToCloudClipboard" ||
         name == "ExcludeClipboardContentFromMonitorProcessing";
}

// The formats programs put on the clipboard, with their blocks. The locale that the system gives
// a text is left out: a restore puts it there itself, with the text.
inline std::vector<std::pair<platform::Uint, std::string>> ProgramContent(sim::SimDesktop& desk) {
  std::vector<std::pair<platform::Uint, std::string>> content;
  for (platform::Uint format : desk.clipboard.Formats())
    if (format != platform::CfLocale) content.push_back({format, *desk.clipboard.BlockBytes(format)});
  return content;
}

// The same content without the marks of the paste's own writes (see PasteMarks).
inline std::vector<std::pair<platform::Uint, std::string>> WithoutMarks(
    sim::SimDesktop& desk, std::vector<std::pair<platform::Uint, std::string>> content) {
  std::erase_if(content,
                [&desk](const auto& format) { return IsPasteMark(desk.clipboard.FormatName(format.first)); });
  return content;
}

// The marks the clipboard carries, by name, each with its block: all three, as a paste's own
// write carries them, are {CanIncludeInClipboardHistory: 0, CanUploadToCloudClipboard: 0,
// ExcludeClipboardContentFromMonitorProcessing}.
inline std::vector<std::pair<std::string, std::string>> PasteMarks(sim::SimDesktop& desk) {
  std::vector<std::pair<std::string, std::string>> marks;
  for (const auto& [name, bytes] : desk.clipboard.NamedContent())
    if (IsPasteMark(name)) marks.push_back({name, bytes});
  std::sort(marks.begin(), marks.end());
  return marks;
}
inline std::vector<std::pair<std::string, std::string>> AllPasteMarks() {
  const std::string zero(4, '\0');
  return {{"CanIncludeInClipboardHistory", zero},
          {"CanUploadToCloudClipboard", zero},
          {"ExcludeClipboardContentFromMonitorProcessing", zero}};
}

}  // namespace testing_support

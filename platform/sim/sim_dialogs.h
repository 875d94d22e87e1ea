// Simulated message boxes and file dialogs: recorded, and answered as the test says.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/dialogs.h"

namespace sim {

struct MessageBoxRecord {
  platform::Hwnd owner;
  std::string text, caption;
  platform::Uint flags;
};

struct MessageDialogRecord {
  platform::Hwnd owner;
  std::string text;
  platform::MessageDialogType type;
};

struct FileDialogRecord {
  bool save;
  platform::FileDialogRequest request;
};

class SimDialogs : public platform::IDialogs {
 public:
  int MessageBoxW(platform::Hwnd owner, const std::string& text, const std::string& caption,
                  platform::Uint flags) override {
    boxes_.push_back({owner, text, caption, flags});
    if (onMessageBox_) onMessageBox_(boxes_.back());
    return platform::IdOk;
  }
  void MessageDialog(platform::Hwnd owner, const std::string& text,
                     platform::MessageDialogType type) override {
    dialogs_.push_back({owner, text, type});
  }
  bool GetOpenFileNameW(const platform::FileDialogRequest& request, std::string& fileName) override {
    return Answer(false, request, fileName);
  }
  bool GetSaveFileNameW(const platform::FileDialogRequest& request, std::string& fileName) override {
    return Answer(true, request, fileName);
  }
  // Answered as the file dialogs are, from AnswerNextFileDialog.
  bool BrowseForFolderW(platform::Hwnd owner, const std::string& title, std::string& folder) override {
    platform::FileDialogRequest request;
    request.owner = owner;
    request.filter = title;
    return Answer(false, request, folder);
  }

  // --- For tests ---
  const std::vector<MessageBoxRecord>& Boxes() const { return boxes_; }
  const std::vector<MessageDialogRecord>& Dialogs() const { return dialogs_; }
  const std::vector<FileDialogRecord>& FileDialogs() const { return fileDialogs_; }
  // The next file dialog returns this name; std::nullopt (or nothing queued) cancels it.
  void AnswerNextFileDialog(std::optional<std::string> fileName) { answers_.push_back(std::move(fileName)); }
  void OnMessageBox(std::function<void(const MessageBoxRecord&)> hook) { onMessageBox_ = std::move(hook); }
  void Clear() {
    boxes_.clear();
    dialogs_.clear();
    fileDialogs_.clear();
  }

 private:
  bool Answer(bool save, const platform::FileDialogRequest& request, std::string& fileName) {
    fileDialogs_.push_back({save, request});
    if (answers_.empty()) return false;
    std::optional<std::string> answer = std::move(answers_.front());
    answers_.pop_front();
    if (!answer) return false;
    fileName = *answer;
    return true;
  }

  std::vector<MessageBoxRecord> boxes_;
  std::vector<MessageDialogRecord> dialogs_;
  std::vector<FileDialogRecord> fileDialogs_;
  std::deque<std::optional<std::string>> answers_;
  std::function<void(const MessageBoxRecord&)> onMessageBox_;
};

}  // namespace sim

// The common open and save dialogs as components of a form. File names are UTF-8.
#pragma once

#include <string>

#include "grid/file_prompt.h"
#include "ui/form.h"

namespace ui {

class FileDialog {
 public:
  explicit FileDialog(Form& owner, bool save) : owner_(owner), save_(save) {}
  std::string Filter;      // "Description|*.ext"
  std::string InitialDir;  // empty: the system's choice
  std::string DefaultExt;  // empty: none is added
  bool OverwritePrompt = false;
  std::string FileName;  // the chosen file after Execute returned true

  // Shows the dialog; true when the user chose a file.
  bool Execute() {
    platform::FileDialogRequest request;
    request.owner = owner_.Handle();
    request.filter = Filter;
    request.initialDirectory = InitialDir;
    request.defaultExtension = DefaultExt;
    request.overwritePrompt = OverwritePrompt;
    platform::IDialogs& dialogs = owner_.Desktop().Dialogs();
    std::string name;
    bool chosen = save_ ? dialogs.GetSaveFileNameW(request, name) : dialogs.GetOpenFileNameW(request, name);
    if (chosen) FileName = name;
    return chosen;
  }

 private:
  Form& owner_;
  bool save_;
};

class OpenDialog : public FileDialog {
 public:
  explicit OpenDialog(Form& owner) : FileDialog(owner, false) {}
};

class SaveDialog : public FileDialog {
 public:
  explicit SaveDialog(Form& owner) : FileDialog(owner, true) {}
};

// Asks through an open and a save dialog of a form, each set up anew at every question.
class DialogFilePrompt final : public grid::FilePrompt {
 public:
  DialogFilePrompt(OpenDialog& open, SaveDialog& save) : open_(open), save_(save) {}
  bool AskFileToSave(const std::string& filter, std::string& fileName) override {
    save_.Filter = filter;
    if (!save_.Execute()) return false;
    fileName = save_.FileName;
    return true;
  }
  bool AskFileToOpen(const std::string& filter, const std::string& initialDir,
                     std::string& fileName) override {
    open_.Filter = filter;
    open_.InitialDir = initialDir;
    if (!open_.Execute()) return false;
    fileName = open_.FileName;
    return true;
  }

 private:
  OpenDialog& open_;
  SaveDialog& save_;
};

}  // namespace ui

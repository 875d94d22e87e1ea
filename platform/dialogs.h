// Message boxes and the common file dialogs, through the wide ("W") calls: texts, captions and
// file names are UTF-8 here.
#pragma once

#include <string>

#include "platform/types.h"

namespace platform {

enum class MessageDialogType { Warning, Error, Information, Confirmation };

struct FileDialogRequest {
  Hwnd owner = 0;
  std::string filter;            // "Description|*.ext" pairs, as the forms store them
  std::string initialDirectory;  // empty: the system's choice
  std::string defaultExtension;  // empty: none
  bool overwritePrompt = false;
};

class IDialogs {
 public:
  virtual ~IDialogs() = default;
  virtual int MessageBoxW(Hwnd owner, const std::string& text, const std::string& caption, Uint flags) = 0;
  // The framework's typed message dialog with a single "OK" button.
  virtual void MessageDialog(Hwnd owner, const std::string& text, MessageDialogType type) = 0;
  // Return true and fill `fileName` when the user chose a file.
  virtual bool GetOpenFileNameW(const FileDialogRequest& request, std::string& fileName) = 0;
  virtual bool GetSaveFileNameW(const FileDialogRequest& request, std::string& fileName) = 0;
  // The shell's folder picker; true and `folder` filled when the user chose one.
  virtual bool BrowseForFolderW(Hwnd owner, const std::string& title, std::string& folder) = 0;
};

}  // namespace platform

#include "platform/win32/win32_services.h"

#include <commdlg.h>

#include <vector>

namespace win32 {

namespace {

bool RunFileDialog(const platform::FileDialogRequest& request, std::string& fileName, bool save) {
  std::string filter = Win32Dialogs::FilterForDialog(request.filter);
  // Room for long paths; the dialog truncates nothing it can fit.
  std::vector<char> buffer(MAX_PATH * 4, '\0');
  fileName.copy(buffer.data(), buffer.size() - 1);

  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = ToHwnd(request.owner);
  ofn.lpstrFilter = request.filter.empty() ? nullptr : filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = buffer.data();
  ofn.nMaxFile = static_cast<DWORD>(buffer.size());
  ofn.lpstrInitialDir = request.initialDirectory.empty() ? nullptr : request.initialDirectory.c_str();
  ofn.lpstrDefExt = request.defaultExtension.empty() ? nullptr : request.defaultExtension.c_str();
  ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING;
  if (!save) ofn.Flags |= OFN_FILEMUSTEXIST;
  if (request.overwritePrompt) ofn.Flags |= OFN_OVERWRITEPROMPT;

  BOOL chosen = save ? ::GetSaveFileNameA(&ofn) : ::GetOpenFileNameA(&ofn);
  if (!chosen) return false;
  fileName = buffer.data();
  return true;
}

}  // namespace

std::string Win32Dialogs::FilterForDialog(const std::string& filter) {
  std::string result = filter;
  for (char& c : result)
    if (c == '|') c = '\0';
  // One NUL ends the last pattern, a second one the list.
  result.push_back('\0');
  result.push_back('\0');
  return result;
}

int Win32Dialogs::MessageBoxA(platform::Hwnd owner, const std::string& text, const std::string& caption,
                              platform::Uint flags) {
  return ::MessageBoxA(ToHwnd(owner), text.c_str(), caption.c_str(), flags);
}

void Win32Dialogs::MessageDialog(platform::Hwnd owner, const std::string& text,
                                 platform::MessageDialogType type) {
  const char* caption = "Information";
  UINT icon = MB_ICONINFORMATION;
  switch (type) {
    case platform::MessageDialogType::Warning:
      caption = "Warning";
      icon = MB_ICONWARNING;
      break;
    case platform::MessageDialogType::Error:
      caption = "Error";
      icon = MB_ICONERROR;
      break;
    case platform::MessageDialogType::Information:
      break;
    case platform::MessageDialogType::Confirmation:
      caption = "Confirm";
      icon = MB_ICONQUESTION;
      break;
  }
  ::MessageBoxA(ToHwnd(owner), text.c_str(), caption, MB_OK | icon);
}

bool Win32Dialogs::GetOpenFileNameA(const platform::FileDialogRequest& request, std::string& fileName) {
  return RunFileDialog(request, fileName, false);
}

bool Win32Dialogs::GetSaveFileNameA(const platform::FileDialogRequest& request, std::string& fileName) {
  return RunFileDialog(request, fileName, true);
}

}  // namespace win32

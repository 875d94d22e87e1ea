#include "platform/win32/win32_services.h"

#include <commdlg.h>
#include <shlobj.h>

#include <cwchar>
#include <vector>

#include "platform/win32/win32_text.h"

namespace win32 {

namespace {

bool RunFileDialog(const platform::FileDialogRequest& request, std::string& fileName, bool save) {
  std::wstring filter = WideFromUtf8(Win32Dialogs::FilterForDialog(request.filter));
  std::wstring initialDirectory = WideFromUtf8(request.initialDirectory);
  std::wstring defaultExtension = WideFromUtf8(request.defaultExtension);
  // Room for long paths; the dialog truncates nothing it can fit.
  std::vector<wchar_t> buffer(MAX_PATH * 4, L'\0');
  WideFromUtf8(fileName).copy(buffer.data(), buffer.size() - 1);

  OPENFILENAMEW ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = ToHwnd(request.owner);
  ofn.lpstrFilter = request.filter.empty() ? nullptr : filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = buffer.data();
  ofn.nMaxFile = static_cast<DWORD>(buffer.size());
  ofn.lpstrInitialDir = initialDirectory.empty() ? nullptr : initialDirectory.c_str();
  ofn.lpstrDefExt = defaultExtension.empty() ? nullptr : defaultExtension.c_str();
  ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING;
  if (!save) ofn.Flags |= OFN_FILEMUSTEXIST;
  if (request.overwritePrompt) ofn.Flags |= OFN_OVERWRITEPROMPT;

  BOOL chosen = save ? ::GetSaveFileNameW(&ofn) : ::GetOpenFileNameW(&ofn);
  if (!chosen) return false;
  const wchar_t* name = buffer.data();
  fileName = Utf8FromWide(name, std::wcslen(name));
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

int Win32Dialogs::MessageBoxW(platform::Hwnd owner, const std::string& text, const std::string& caption,
                              platform::Uint flags) {
  return ::MessageBoxW(ToHwnd(owner), WideFromUtf8(text).c_str(), WideFromUtf8(caption).c_str(), flags);
}

void Win32Dialogs::MessageDialog(platform::Hwnd owner, const std::string& text,
                                 platform::MessageDialogType type) {
  const wchar_t* caption = L"Information";
  UINT icon = MB_ICONINFORMATION;
  switch (type) {
    case platform::MessageDialogType::Warning:
      caption = L"Warning";
      icon = MB_ICONWARNING;
      break;
    case platform::MessageDialogType::Error:
      caption = L"Error";
      icon = MB_ICONERROR;
      break;
    case platform::MessageDialogType::Information:
      break;
    case platform::MessageDialogType::Confirmation:
      caption = L"Confirm";
      icon = MB_ICONQUESTION;
      break;
  }
  ::MessageBoxW(ToHwnd(owner), WideFromUtf8(text).c_str(), caption, MB_OK | icon);
}

bool Win32Dialogs::GetOpenFileNameW(const platform::FileDialogRequest& request, std::string& fileName) {
  return RunFileDialog(request, fileName, false);
}

bool Win32Dialogs::GetSaveFileNameW(const platform::FileDialogRequest& request, std::string& fileName) {
  return RunFileDialog(request, fileName, true);
}

bool Win32Dialogs::BrowseForFolderW(platform::Hwnd owner, const std::string& title, std::string& folder) {
  const std::wstring caption = WideFromUtf8(title);
  BROWSEINFOW info{};
  info.hwndOwner = ToHwnd(owner);
  info.lpszTitle = caption.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  PIDLIST_ABSOLUTE chosen = ::SHBrowseForFolderW(&info);
  if (!chosen) return false;
  std::vector<wchar_t> path(MAX_PATH * 4, L'\0');
  const bool ok =
      ::SHGetPathFromIDListEx(chosen, path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT);
  ::CoTaskMemFree(chosen);
  if (ok) folder = Utf8FromWide(path.data(), std::wcslen(path.data()));
  return ok;
}

}  // namespace win32

// The Win32 implementations of the desktop's interfaces other than the windows: each passes
// its calls to the Win32 function of the same name; those without a suffix (the files) to the
// wide ("W") one.
#pragma once

#include "platform/clipboard.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/hotkey_system.h"
#include "platform/instances.h"
#include "platform/keyboard.h"
#include "platform/notify_area.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/win32/win32_handles.h"

namespace win32 {

class Win32Clipboard final : public platform::IClipboard {
 public:
  bool OpenClipboard(platform::Hwnd owner) override;
  bool CloseClipboard() override;
  bool EmptyClipboard() override;
  platform::Hglobal GetClipboardData(platform::Uint format) override;
  platform::Hglobal SetClipboardData(platform::Uint format, platform::Hglobal block) override;
  bool IsClipboardFormatAvailable(platform::Uint format) override;
  platform::Uint RegisterClipboardFormatA(const std::string& name) override;
  platform::Hwnd SetClipboardViewer(platform::Hwnd viewer) override;
  bool ChangeClipboardChain(platform::Hwnd remove, platform::Hwnd next) override;
  platform::Dword GetClipboardSequenceNumber() override;
  platform::Uint EnumClipboardFormats(platform::Uint format) override;
  platform::Hwnd GetOpenClipboardWindow() override;
  platform::Hwnd GetClipboardOwner() override;
  platform::Handle CopyImage(platform::Handle image, platform::Uint type) override;
  platform::Handle CopyEnhMetaFileA(platform::Handle metafile) override;
  platform::Handle CopyPalette(platform::Handle palette) override;
  bool DeleteObject(platform::Handle object) override;
  bool DeleteEnhMetaFile(platform::Handle metafile) override;
};

class Win32GlobalMemory final : public platform::IGlobalMemory {
 public:
  platform::Hglobal GlobalAlloc(platform::Uint flags, std::size_t bytes) override;
  void* GlobalLock(platform::Hglobal block) override;
  bool GlobalUnlock(platform::Hglobal block) override;
  std::size_t GlobalSize(platform::Hglobal block) override;
  platform::Hglobal GlobalFree(platform::Hglobal block) override;
};

class Win32HotKeys final : public platform::IHotKeys {
 public:
  platform::Atom GlobalAddAtomA(const std::string& name) override;
  platform::Atom GlobalDeleteAtom(platform::Atom atom) override;
  bool RegisterHotKey(platform::Hwnd hwnd, int id, platform::Uint modifiers, platform::Uint vk) override;
  bool UnregisterHotKey(platform::Hwnd hwnd, int id) override;
};

class Win32Keyboard final : public platform::IKeyboard {
 public:
  void keybd_event(std::uint8_t vk, std::uint8_t scan, platform::Dword flags,
                   std::uintptr_t extraInfo) override;
  platform::Uint MapVirtualKeyA(platform::Uint code, platform::Uint mapType) override;
  std::int16_t GetAsyncKeyState(int vk) override;
  platform::Uint MapVirtualKeyExA(platform::Uint code, platform::Uint mapType, platform::Hkl layout) override;
  int GetKeyNameTextA(platform::LParam requestValue, std::string& name, int bufferSize) override;
  platform::Hkl GetKeyboardLayout(platform::Dword threadId) override;
  int GetKeyboardLayoutList(int maxCount, std::vector<platform::Hkl>& layouts) override;
  platform::Hkl LoadKeyboardLayoutA(const std::string& id, platform::Uint flags) override;
  platform::Hkl ActivateKeyboardLayout(platform::Hkl layout, platform::Uint flags) override;
  bool UnloadKeyboardLayout(platform::Hkl layout) override;
};

class Win32Registry final : public platform::IRegistry {
 public:
  long RegCreateKeyExW(platform::Hkey root, const std::string& subKey, platform::Dword options,
                       platform::Dword access, platform::Hkey& result) override;
  long RegOpenKeyExW(platform::Hkey root, const std::string& subKey, platform::Dword options,
                     platform::Dword access, platform::Hkey& result) override;
  long RegSetValueExW(platform::Hkey key, const std::string& valueName, platform::Dword type,
                      const void* data, platform::Dword size) override;
  long RegQueryValueExW(platform::Hkey key, const std::string& valueName, platform::Dword* type, void* data,
                        platform::Dword* size) override;
  long RegCloseKey(platform::Hkey key) override;
};

class Win32Shell final : public platform::IShell {
 public:
  std::intptr_t ShellExecuteA(platform::Hwnd owner, const std::string& verb, const std::string& file,
                              const std::string& parameters, const std::string& directory,
                              int showCmd) override;
};

class Win32NotifyArea final : public platform::INotifyArea {
 public:
  bool Shell_NotifyIconA(platform::Dword message, const platform::NotifyIconData& data) override;
  platform::Dword NotifyIconDataV2Size() override;
  platform::Uint TrackPopupMenu(const std::vector<platform::MenuEntry>& entries, platform::Uint flags, int x,
                                int y, platform::Hwnd owner) override;
};

class Win32Dialogs final : public platform::IDialogs {
 public:
  int MessageBoxW(platform::Hwnd owner, const std::string& text, const std::string& caption,
                  platform::Uint flags) override;
  void MessageDialog(platform::Hwnd owner, const std::string& text,
                     platform::MessageDialogType type) override;
  bool GetOpenFileNameW(const platform::FileDialogRequest& request, std::string& fileName) override;
  bool GetSaveFileNameW(const platform::FileDialogRequest& request, std::string& fileName) override;
  bool BrowseForFolderW(platform::Hwnd owner, const std::string& title, std::string& folder) override;

  // "Text files|*.txt|All|*.*" as the dialogs want it: NUL-separated, ending in two NULs.
  static std::string FilterForDialog(const std::string& filter);
};

class Win32Files final : public platform::IFiles {
 public:
  std::string GetModuleFileNameW() override;
  platform::Dword CreateForWriting(const std::string& path, platform::FileHandle& file) override;
  platform::Dword OpenForAppend(const std::string& path, platform::FileHandle& file) override;
  platform::Dword Write(platform::FileHandle file, const void* data, std::size_t size) override;
  platform::Dword Flush(platform::FileHandle file) override;
  platform::Dword Close(platform::FileHandle file) override;
  platform::Dword ReadAll(const std::string& path, std::string& bytes) override;
  platform::Dword ReadInPieces(const std::string& path, const PieceTaker& take) override;
  platform::Dword Replace(const std::string& source, const std::string& target) override;
  platform::Dword Delete(const std::string& path) override;
  platform::Dword CreateFolder(const std::string& path) override;
  platform::Dword ListFolder(const std::string& path, std::vector<std::string>& names) override;
  platform::Dword GetFileStamp(const std::string& path, FileStamp& stamp) override;
  bool IsReadOnly(const std::string& path) override;
  bool IsReparsePoint(const std::string& path) override;
  std::string ErrorText(platform::Dword code) override;
};

class Win32Clock final : public platform::IClock {
 public:
  platform::Dword GetTickCount() override;
  void Sleep(platform::Dword ms) override;
  platform::SystemTime GetLocalTime() override;
  std::int64_t UtcNowMs() override;
  platform::SystemTime LocalTimeOfUtc(std::int64_t utcMs) override;
  std::string FormatShortDate(const platform::SystemTime& time) override;
  std::string FormatLongTime(const platform::SystemTime& time) override;
  platform::Hevent CreateEventA(bool manualReset, bool initialState) override;
  bool CloseHandle(platform::Hevent handle) override;
  platform::Dword MsgWaitForMultipleObjects(platform::Hevent event, platform::Dword timeoutMs,
                                            platform::Dword wakeMask) override;
};

class Win32Instances final : public platform::IInstances {
 public:
  platform::Handle CreateMutexA(const std::string& name, bool& alreadyExisted) override;
  bool CloseHandle(platform::Handle handle) override;
};

class Win32CodePage final : public platform::ICodePage {
 public:
  std::string WideToAnsi(const std::u16string& text) override;
  std::u16string AnsiToWide(const std::string& text) override;
  std::u16string MultiByteToWide(platform::Uint codePage, const std::string& text) override;
  platform::Uint LocaleAnsiCodePage(platform::Dword lcid) override;
};

}  // namespace win32

// The real Windows desktop: every call goes to the Win32 "A" function of the same name.
#pragma once

#include "platform/desktop.h"
#include "platform/win32/win32_background.h"
#include "platform/win32/win32_crypto.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_images.h"
#include "platform/win32/win32_services.h"
#include "platform/win32/win32_windows.h"

namespace win32 {

class Win32Desktop final : public platform::Desktop {
 public:
  // `instance` is the module that holds the window class and the "MAINICON" resource.
  explicit Win32Desktop(HINSTANCE instance);
  Win32Desktop(const Win32Desktop&) = delete;
  Win32Desktop& operator=(const Win32Desktop&) = delete;

  HINSTANCE Instance() const { return instance_; }

  platform::IWindows& Windows() override { return windows_; }
  platform::IClipboard& Clipboard() override { return clipboard_; }
  platform::IGlobalMemory& Memory() override { return memory_; }
  platform::IHotKeys& HotKeys() override { return hotKeys_; }
  platform::IKeyboard& Keyboard() override { return keyboard_; }
  platform::IRegistry& Registry() override { return registry_; }
  platform::IShell& Shell() override { return shell_; }
  platform::INotifyArea& NotifyArea() override { return notifyArea_; }
  platform::IDialogs& Dialogs() override { return dialogs_; }
  platform::IFiles& Files() override { return files_; }
  platform::IClock& Clock() override { return clock_; }
  platform::ICodePage& CodePage() override { return codePage_; }
  platform::IInstances& Instances() override { return instances_; }
  platform::ICrypto& Crypto() override { return crypto_; }
  platform::IImages& Images() override { return images_; }
  platform::IBackground& Background() override { return background_; }
  platform::IBackground& ImageCoding() override { return coding_; }

 private:
  HINSTANCE instance_;
  Win32Windows windows_;
  Win32Clipboard clipboard_;
  Win32GlobalMemory memory_;
  Win32HotKeys hotKeys_;
  Win32Keyboard keyboard_;
  Win32Registry registry_;
  Win32Shell shell_;
  Win32NotifyArea notifyArea_;
  Win32Dialogs dialogs_;
  Win32Files files_;
  Win32Clock clock_;
  Win32CodePage codePage_;
  Win32Instances instances_;
  Win32Crypto crypto_;
  Win32Images images_;
  // Last: their threads end before the rest goes.
  Win32Background background_;
  Win32Background coding_;
};

}  // namespace win32

// The desktop the program runs on: one object that hands out the backend's implementations.
#pragma once

#include "platform/background.h"
#include "platform/clipboard.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/crypto.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/hotkey_system.h"
#include "platform/images.h"
#include "platform/instances.h"
#include "platform/keyboard.h"
#include "platform/notify_area.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/window_system.h"

namespace platform {

class Desktop {
 public:
  virtual ~Desktop() = default;
  virtual IWindows& Windows() = 0;
  virtual IClipboard& Clipboard() = 0;
  virtual IGlobalMemory& Memory() = 0;
  virtual IHotKeys& HotKeys() = 0;
  virtual IKeyboard& Keyboard() = 0;
  virtual IRegistry& Registry() = 0;
  virtual IShell& Shell() = 0;
  virtual INotifyArea& NotifyArea() = 0;
  virtual IDialogs& Dialogs() = 0;
  virtual IFiles& Files() = 0;
  virtual IClock& Clock() = 0;
  virtual ICodePage& CodePage() = 0;
  virtual IInstances& Instances() = 0;
  virtual ICrypto& Crypto() = 0;
  virtual IImages& Images() = 0;
  virtual IBackground& Background() = 0;
  // Work of seconds (a screenshot's PNG coding) runs here, on a thread of its own, so that the
  // short jobs of Background() never wait behind it.
  virtual IBackground& ImageCoding() = 0;
};

}  // namespace platform

// The whole simulated desktop: one object that owns every simulated part.
#pragma once

#include <string>

#include "platform/desktop.h"
#include "platform/sim/sim_background.h"
#include "platform/sim/sim_clipboard.h"
#include "platform/sim/sim_clock.h"
#include "platform/sim/sim_codepage.h"
#include "platform/sim/sim_crypto.h"
#include "platform/sim/sim_dialogs.h"
#include "platform/sim/sim_files.h"
#include "platform/sim/sim_hotkeys.h"
#include "platform/sim/sim_images.h"
#include "platform/sim/sim_instances.h"
#include "platform/sim/sim_keyboard.h"
#include "platform/sim/sim_notify_area.h"
#include "platform/sim/sim_registry.h"
#include "platform/sim/sim_shell.h"
#include "platform/sim/sim_windows.h"

namespace sim {

class SimDesktop : public platform::Desktop {
 public:
  // `fileRoot` is the real folder that stands for the simulated drives.
  explicit SimDesktop(const std::string& fileRoot)
      : windows(clock_),
        clipboard(windows, memory),
        hotkeys(windows),
        notifyArea(windows),
        files(fileRoot),
        time(windows),
        background(windows),
        coding(windows) {
    files.UseClock(&clock_);
    keyboard.ConnectHotKeys(hotkeys);
  }

  platform::IWindows& Windows() override { return windows; }
  platform::IClipboard& Clipboard() override { return clipboard; }
  platform::IGlobalMemory& Memory() override { return memory; }
  platform::IHotKeys& HotKeys() override { return hotkeys; }
  platform::IKeyboard& Keyboard() override { return keyboard; }
  platform::IRegistry& Registry() override { return registry; }
  platform::IShell& Shell() override { return shell; }
  platform::INotifyArea& NotifyArea() override { return notifyArea; }
  platform::IDialogs& Dialogs() override { return dialogs; }
  platform::IFiles& Files() override { return files; }
  platform::IClock& Clock() override { return time; }
  platform::ICodePage& CodePage() override { return codePage; }
  platform::IInstances& Instances() override { return instances; }
  platform::ICrypto& Crypto() override { return crypto; }
  platform::IImages& Images() override { return images; }
  platform::IBackground& Background() override { return background; }
  platform::IBackground& ImageCoding() override { return coding; }

 private:
  VirtualClock clock_;

 public:
  SimWindows windows;
  SimMemory memory;
  SimClipboard clipboard;
  SimHotKeys hotkeys;
  SimKeyboard keyboard;
  SimRegistry registry;
  SimShell shell;
  SimNotifyArea notifyArea;
  SimDialogs dialogs;
  SimFiles files;
  SimClock time;
  SimCodePage codePage;
  SimInstances instances;
  SimCrypto crypto;
  SimImages images;
  SimBackground background;
  SimBackground coding;  // a screenshot's PNG coding
};

}  // namespace sim

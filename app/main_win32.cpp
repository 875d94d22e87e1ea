// Program entry on the real Windows desktop.
#include "platform/win32/win32_desktop.h"

#include <exception>

#include "app/program.h"
#include "platform/win32/win32_text.h"
#include "ui/win32/peer_factory.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  try {
    // The peers outlive the program's forms, which RunProgram destroys before it returns.
    win32::Win32PeerFactory peers;
    win32::Win32Desktop desktop(instance);
    return app::RunProgram(desktop, &peers);
  } catch (const std::exception& error) {
    // The program reports its own errors; this is what escaped it, shown before the process ends.
    // Error messages are UTF-8.
    ::MessageBoxW(nullptr, win32::WideFromUtf8(error.what()).c_str(), L"Clipboard_manager",
                  MB_OK | MB_ICONERROR);
    return 1;
  }
}

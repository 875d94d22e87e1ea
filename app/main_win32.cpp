// Program entry on the real Windows desktop.
#include "platform/win32/win32_desktop.h"

#include <commctrl.h>

#include <exception>

#include "app/program.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  INITCOMMONCONTROLSEX controls = {};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_WIN95_CLASSES | ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES;
  ::InitCommonControlsEx(&controls);

  try {
    win32::Win32Desktop desktop(instance);
    return app::RunProgram(desktop);
  } catch (const std::exception& error) {
    // The program reports its own errors; this is what escaped it, shown before the process ends.
    ::MessageBoxA(nullptr, error.what(), "Clipboard_manager", MB_OK | MB_ICONERROR);
    return 1;
  }
}

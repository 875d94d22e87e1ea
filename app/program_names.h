// The names the program is known by: its product name, its registry keys and values, and the
// names by which a second start finds the first.
#pragma once

namespace app {

constexpr const char* ProductName = "Corvilane Clipboard Manager";
constexpr const char* WebSite = "https://corvilane.example";
constexpr const char* FirstRunPage = "https://corvilane.example/#cm=0";
constexpr const char* RunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* RunValue = "Corvilane_Clipboard_Manger";
constexpr const char* MarkerKey = "Software\\Corvilane\\Clipboard_manager";
constexpr const char* MarkerValue = "fr";
// Beside the marker: where the main window was and whether it was maximized (REG_SZ
// "left,top,width,height,maximized"), so that it comes back so.
constexpr const char* MainWindowValue = "Main window";
// The mutex that the running copy of the program holds, and the message by which a second start
// asks it to show its main window.
constexpr const char* InstanceMutexName = "Corvilane_Clipboard_Manager_Running";
constexpr const char* ShowRunningInstanceMessage = "Corvilane_Clipboard_Manager_Show";

}  // namespace app

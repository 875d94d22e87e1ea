// The program's start-up, windows, tray icon, settings and exit, used as a person would.
#include <gtest/gtest.h>

#include "platform/errors.h"
#include "program_fixture.h"

namespace shell_program_test {

namespace {

using namespace platform;
using testing_support::ProgramTest;
using testing_support::Utf16File;

// After the three lines of the options: the quick-paste hotkey, Win+Insert by default, then no
// age and no count limit, and plain files.
#define DEFAULT_LAST_LINES "65581\r\n0\r\n0\r\n0\r\n114774\r\n"
constexpr const char* Defaults = "-1\r\n-1\r\n0\r\n" DEFAULT_LAST_LINES;
constexpr const char* QuotedExe = "\"C:\\Program Files\\Clipboard manager\\Clipboard_manager.exe\"";

class ShellTest : public ProgramTest {
 public:
  std::string RunValue() { return desk.registry.GetText(app::RunKey, app::RunValue).value_or("<missing>"); }
  std::vector<Dword> NotifyMessages() {
    std::vector<Dword> messages;
    for (const auto& call : desk.notifyArea.Calls()) messages.push_back(call.message);
    return messages;
  }
  void SendToMain(Uint msg, WParam wParam = 0, LParam lParam = 0) {
    desk.windows.SendMessageA(Form1().Handle(), msg, wParam, lParam);
    desk.windows.Pump();
  }
};

TEST_F(ShellTest, TrayOnlyStart_ShowsTheTrayIconAndNothingElse) {
  Start();
  EXPECT_FALSE(Form1().Visible());
  EXPECT_FALSE(desk.windows.IsWindowVisible(Form1().Handle()));
  EXPECT_FALSE(desk.windows.TaskbarButtonVisible());
  ASSERT_EQ(desk.notifyArea.IconCount(), 1);
  const NotifyIconData& icon = desk.notifyArea.Icon();
  EXPECT_EQ(icon.cbSize, 488u);
  EXPECT_EQ(icon.uFlags, 7u);
  EXPECT_EQ(icon.uCallbackMessage, 0x800u);
  EXPECT_STREQ(icon.szTip, "Corvilane Clipboard Manager");
  EXPECT_EQ(NotifyMessages(), (std::vector<Dword>{NimAdd, NimSetVersion}));
  EXPECT_TRUE(desk.shell.Requests().empty());
}

TEST_F(ShellTest, StartWithTrayOnlyUnchecked_ShowsTheWindowAndTheTaskbarButton) {
  PutDataFile("settings.stng", "-1\r\n0\r\n2\r\n");
  Start();
  EXPECT_TRUE(Form1().Visible());
  EXPECT_TRUE(desk.windows.TaskbarButtonVisible());
  EXPECT_EQ(Form1().PageControl1.ActivePageIndex(), 2);
  EXPECT_EQ(desk.windows.Title(program->App().Handle()), "Clipboard_manager");
  EXPECT_EQ(desk.windows.Title(Form1().Handle()), "Corvilane Clipboard Manager - https://corvilane.example");
}

TEST_F(ShellTest, FirstRun_OpensThePageShowsTheWindowOnceAndWritesTheMarker) {
  desk.registry = sim::SimRegistry();
  Start();
  ASSERT_EQ(desk.shell.Requests().size(), 1u);
  const sim::ShellRequest& request = desk.shell.Requests()[0];
  EXPECT_EQ(request.verb, "open");
  EXPECT_EQ(request.file, "https://corvilane.example/#cm=0");
  EXPECT_EQ(request.parameters, "");
  EXPECT_EQ(request.directory, "");
  EXPECT_EQ(request.showCmd, SwShowNormal);
  EXPECT_EQ(request.owner, Form1().Handle());
  EXPECT_TRUE(Form1().Visible());  // although "tray only" is checked by default
  EXPECT_TRUE(desk.windows.TaskbarButtonVisible());
  auto marker = desk.registry.Get(app::MarkerKey, "fr");
  ASSERT_TRUE(marker);
  EXPECT_EQ(marker->type, RegSz);
  EXPECT_EQ(marker->data, std::string("1\0\0\0", 4));

  Restart();
  EXPECT_EQ(desk.shell.Requests().size(), 1u);
  EXPECT_FALSE(Form1().Visible());
}

TEST_F(ShellTest, MarkerOtherThanTheTextOne_CountsAsAFirstRunAndIsRewritten) {
  const std::vector<std::pair<Dword, std::string>> markers = {{RegDword, std::string("\1\0\0\0", 4)},
                                                              {RegSz, std::string("0\0\0\0", 4)},
                                                              {RegSz, std::string(" \0"
                                                                                  "1\0\0\0",
                                                                                  6)}};
  for (const auto& [type, data] : markers) {
    desk.registry.Set(app::MarkerKey, "fr", type, data);
    desk.shell = sim::SimShell();
    Restart();
    EXPECT_EQ(desk.shell.Requests().size(), 1u) << "type " << type;
    EXPECT_TRUE(Form1().Visible());
    auto marker = desk.registry.Get(app::MarkerKey, "fr");
    EXPECT_EQ(marker->type, RegSz);
    EXPECT_EQ(marker->data, std::string("1\0\0\0", 4));
  }
}

TEST_F(ShellTest, CloseCommand_HidesTheWindowAndWritesNothing) {
  PutDataFile("settings.stng", "-1\r\n0\r\n0\r\n");
  Start();
  ASSERT_TRUE(Form1().Visible());
  SendToMain(WmSysCommand, ScClose);
  EXPECT_FALSE(Form1().Visible());
  EXPECT_FALSE(desk.windows.TaskbarButtonVisible());
  EXPECT_FALSE(desk.windows.QuitRequested());
  EXPECT_EQ(desk.notifyArea.IconCount(), 1);
  EXPECT_EQ(DataFileBytes("settings.stng"), "-1\r\n0\r\n0\r\n");
  EXPECT_FALSE(DataFileExists("clipboard_history.hstr"));
}

TEST_F(ShellTest, EveryNormalClose_WritesHistorySettingsAndAutostartButNotTheActions) {
  const std::vector<std::pair<const char*, std::function<void(ShellTest&)>>> closes = {
      {"File/Exit", [](ShellTest& t) { t.Form1().Exit1.Click(); }},
      {"tray Exit",
       [](ShellTest& t) {
         t.desk.notifyArea.ChooseNext("Exit");
         t.desk.notifyArea.RightClick();
       }},
      {"WM_CLOSE", [](ShellTest& t) { t.SendToMain(WmClose); }},
      {"taskbar Close",
       [](ShellTest& t) {
         t.desk.windows.SendMessageA(t.program->App().Handle(), WmSysCommand, ScClose, 0);
       }},
      {"application WM_CLOSE",
       [](ShellTest& t) { t.desk.windows.SendMessageA(t.program->App().Handle(), WmClose, 0, 0); }},
  };
  for (const auto& [name, close] : closes) {
    desk.files.Delete(DataFile("settings.stng"));
    desk.files.Delete(DataFile("clipboard_history.hstr"));
    desk.registry = sim::SimRegistry();
    desk.registry.SetString(app::MarkerKey, app::MarkerValue, "1");
    Restart();
    close(*this);
    EXPECT_TRUE(desk.windows.QuitRequested()) << name;
    FinishIfQuit();
    EXPECT_EQ(DataFileBytes("settings.stng"), Defaults) << name;
    EXPECT_EQ(DataFileBytes("clipboard_history.hstr"), "\xFF\xFE") << name;
    EXPECT_EQ(RunValue(), std::string(QuotedExe) + '\0') << name;
    EXPECT_FALSE(DataFileExists("actions.cnfg")) << name;
  }
}

TEST_F(ShellTest, Exit_DestroysTheWindowsInReverseOrderAndRemovesTheIcon) {
  Start();
  Hwnd main = Form1().Handle(), about = About().Handle(), tasks = Tasks().Handle();
  Form1().Exit1.Click();
  FinishIfQuit();
  std::vector<Hwnd> order;
  for (Hwnd hwnd : desk.windows.DestroyOrder())
    if (hwnd == main || hwnd == about || hwnd == tasks) order.push_back(hwnd);
  EXPECT_EQ(order, (std::vector<Hwnd>{tasks, about, main}));
  EXPECT_EQ(NotifyMessages().back(), NimDelete);
  EXPECT_EQ(desk.notifyArea.IconCount(), 0);
}

TEST_F(ShellTest, ExitWithoutDataFolder_ShowsTheErrorAndKeepsRunning) {
  desk.files.Delete(DataFolder);
  std::filesystem::remove_all(desk.files.RealPath(DataFolder));
  Start();
  Form1().TableGrid2.Rows().AppendRow();
  Form1().Exit1.Click();
  EXPECT_FALSE(desk.windows.QuitRequested());
  ASSERT_EQ(desk.dialogs.Boxes().size(), 1u);
  const sim::MessageBoxRecord& box = desk.dialogs.Boxes()[0];
  EXPECT_EQ(box.caption, "Clipboard_manager");
  EXPECT_EQ(box.text, "Invalid filename.");
  EXPECT_EQ(box.flags, MbOk | MbIconError);
  EXPECT_EQ(Form1().TableGrid2.Rows().RowCount(), 1);
  EXPECT_EQ(Form1().TableGrid2.Rows().UpdateCount(), 0);
  EXPECT_FALSE(desk.registry.Get(app::RunKey, app::RunValue));  // the settings were not saved either
}

TEST_F(ShellTest, LogOff_WritesWhatExitWritesAndLetsTheSessionEnd) {
  Start();
  EXPECT_EQ(desk.windows.SendMessageA(Form1().Handle(), WmQueryEndSession, 0, 0), 1);
  EXPECT_EQ(DataFileBytes("settings.stng"), Defaults);
  EXPECT_EQ(DataFileBytes("clipboard_history.hstr"), "\xFF\xFE");
  EXPECT_EQ(RunValue(), std::string(QuotedExe) + '\0');
  EXPECT_TRUE(desk.windows.LogOff());
}

TEST_F(ShellTest, LogOffWithoutDataFolder_StillLetsTheSessionEnd_WithoutABoxInTheWay) {
  std::filesystem::remove_all(desk.files.RealPath(DataFolder));
  Start();
  EXPECT_EQ(desk.windows.SendMessageA(Form1().Handle(), WmQueryEndSession, 0, 0), 1);
  EXPECT_TRUE(desk.dialogs.Boxes().empty());
  EXPECT_EQ(desk.notifyArea.Calls().back().data.uFlags & NifInfo, NifInfo);
}

struct SettingsCase {
  const char* file;
  bool autostart, trayOnly;
  int tab;
};

TEST_F(ShellTest, SettingsFile_IsReadLineByLineUntilTheFirstBadLine) {
  const SettingsCase cases[] = {
      {"True\r\nfalse\r\n1\r\n", true, false, 1},
      {"0\n0\n2\n", false, false, 2},
      {"0\r0\r1", false, false, 1},
      {"2\r\n-1\r\n0\r\n", true, true, 0},
      {"0.5\r\nFALSE\r\n1\r\nextra\r\n", true, false, 1},
      {"yes\r\n0\r\n1\r\n", true, true, 0},
      {"0\r\nmaybe\r\n1\r\n", false, true, 0},
      {"0\r\n0\r\n", false, false, 0},
      {"0\r\n0\r\n7\r\n", false, false, -1},
      {"0\r\n0\r\nx\r\n", false, false, 0},
      {"", true, true, 0},
  };
  for (const SettingsCase& c : cases) {
    PutDataFile("settings.stng", c.file);
    Restart();
    EXPECT_EQ(Form1().CheckBox1.Checked(), c.autostart) << c.file;
    EXPECT_EQ(Form1().CheckBox2.Checked(), c.trayOnly) << c.file;
    EXPECT_EQ(Form1().PageControl1.ActivePageIndex(), c.tab) << c.file;
    EXPECT_EQ(Form1().Visible(), !c.trayOnly) << c.file;
  }
}

TEST_F(ShellTest, NoActiveTab_IsSavedAsMinusOne) {
  PutDataFile("settings.stng", "-1\r\n-1\r\n7\r\n");
  Start();
  Form1().Exit1.Click();
  EXPECT_EQ(DataFileBytes("settings.stng"), "-1\r\n-1\r\n-1\r\n" DEFAULT_LAST_LINES);
}

TEST_F(ShellTest, SpaceBarOnAFocusedOption_SavesTheStateFromBeforeTheToggle) {
  Start();
  Form1().CheckBox2.PressSpaceBar();
  EXPECT_FALSE(Form1().CheckBox2.Checked());
  EXPECT_EQ(DataFileBytes("settings.stng"), Defaults);
  Form1().Exit1.Click();
  EXPECT_EQ(DataFileBytes("settings.stng"), "-1\r\n0\r\n0\r\n" DEFAULT_LAST_LINES);
}

TEST_F(ShellTest, AutostartUncheckedWithTheMouse_LeavesAnEmptyValueAtExit) {
  Start();
  Form1().CheckBox1.Toggle();
  EXPECT_FALSE(desk.registry.Get(app::RunKey, app::RunValue));  // a click alone writes nothing
  Form1().Exit1.Click();
  EXPECT_EQ(RunValue(), std::string("\0", 1));
  Restart();
  Form1().CheckBox1.Toggle();
  Form1().Exit1.Click();
  EXPECT_EQ(RunValue(), std::string(QuotedExe) + '\0');
}

TEST_F(ShellTest, SettingsThatCannotBeWrittenFromAKeyPress_AreReportedAndTheProgramGoesOn) {
  Start();
  std::filesystem::remove_all(desk.files.RealPath(DataFolder));
  Form1().CheckBox1.KeyPress('x');
  ASSERT_EQ(desk.dialogs.Boxes().size(), 1u);
  EXPECT_EQ(desk.dialogs.Boxes()[0].text,
            "Cannot create file \"C:\\Program Files\\Clipboard manager\\Data\\settings.stng\". "
            "The system cannot find the path specified.");
  EXPECT_FALSE(desk.registry.Get(app::RunKey, app::RunValue));
}

TEST_F(ShellTest, SettingsOnAFullDisk_KeepThePreviousFile) {
  PutDataFile("settings.stng", "0\r\n0\r\n1\r\n");
  Start();
  Form1().CheckBox1.Toggle();
  desk.files.FailWritesAfter(0);
  Form1().CheckBox1.KeyPress('x');
  ASSERT_EQ(desk.dialogs.Boxes().size(), 1u);
  EXPECT_EQ(desk.dialogs.Boxes()[0].text.rfind(
                "Cannot create file \"C:\\Program Files\\Clipboard manager\\Data\\settings.stng\". ", 0),
            0u);
  EXPECT_EQ(DataFileBytes("settings.stng"), "0\r\n0\r\n1\r\n");
  EXPECT_FALSE(DataFileExists("settings.stng.tmp"));
  desk.files.ClearFaults();
  Form1().CheckBox1.KeyPress('x');
  EXPECT_EQ(DataFileBytes("settings.stng"), "-1\r\n0\r\n1\r\n" DEFAULT_LAST_LINES);
}

TEST_F(ShellTest, ExeInADriveRoot_StillFindsItsDataFolder) {
  desk.files.SetModuleFileName("C:\\Clipboard_manager.exe");
  desk.files.MakeFolder("C:\\Data");
  desk.files.PutFile("C:\\Data\\settings.stng", "0\r\n0\r\n1\r\n");
  Start();
  EXPECT_EQ(Form1().PageControl1.ActivePageIndex(), 1);
  Form1().Exit1.Click();
  EXPECT_EQ(desk.files.FileBytes("C:\\\\Data\\settings.stng"), "0\r\n0\r\n1\r\n" DEFAULT_LAST_LINES);
}

TEST_F(ShellTest, ApplicationTitle_IsTheExeNameUpToTheFirstDotInLowerCase) {
  EXPECT_EQ(ui::Application::TitleFromExePath("C:\\Program Files\\Clipboard_manager.exe"),
            "Clipboard_manager");
  EXPECT_EQ(ui::Application::TitleFromExePath("D:\\x.y\\MY.PROG.EXE"), "My");
  EXPECT_EQ(ui::Application::TitleFromExePath("C:\\ABC"), "Abc");
}

TEST_F(ShellTest, TrayClick_ShowsTheWindowInFrontOnItsTabAndADoubleClickActsOnce) {
  PutDataFile("settings.stng", "-1\r\n-1\r\n2\r\n");
  Start();
  int clicks = 0;
  auto original = Form1().TrayIcon1.OnClick;
  Form1().TrayIcon1.OnClick = [&] {
    ++clicks;
    original();
  };
  desk.notifyArea.DoubleClick();
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(Form1().Visible());
  EXPECT_TRUE(desk.windows.TaskbarButtonVisible());
  EXPECT_EQ(desk.windows.Foreground(), Form1().Handle());
  EXPECT_EQ(Form1().PageControl1.ActivePageIndex(), 2);
}

TEST_F(ShellTest, RightButton_OpensTheMenuOnThePressWithOnlyTheFixedCommands) {
  Start();
  desk.windows.SetCursorPos({640, 700});
  desk.notifyArea.Deliver(WmRButtonDown);
  ASSERT_EQ(desk.notifyArea.Popups().size(), 1u);
  const sim::PopupRecord& popup = desk.notifyArea.Popups()[0];
  EXPECT_EQ(popup.lastMouseMessage, static_cast<LParam>(WmRButtonDown));
  EXPECT_EQ(popup.x, 640);
  EXPECT_EQ(popup.y, 700);
  EXPECT_EQ(popup.flags, TpmLeftAlign | TpmRightButton);
  std::vector<std::string> captions;
  for (const MenuEntry& e : popup.entries) captions.push_back(e.caption);
  EXPECT_EQ(captions, (std::vector<std::string>{"Clipboard History", "Options", "Show Main window",
                                                "Pause recording", "Exit"}));
}

TEST_F(ShellTest, TrayCommands_ShowTheWindowOnTheirTabAlsoWhenMinimized) {
  const std::vector<std::pair<std::string, int>> commands = {
      {"Clipboard History", 1}, {"Options", 2}, {"Show Main window", 0}};
  PutDataFile("settings.stng", "-1\r\n0\r\n1\r\n");
  for (const auto& [caption, tab] : commands) {
    Restart();
    Form1().PageControl1.SetActivePageIndex(tab == 0 ? 2 : 0);
    desk.windows.SendMessageA(Form1().Handle(), WmSysCommand, ScMinimize, 0);
    ASSERT_TRUE(desk.windows.IsIconic(program->App().Handle()));
    EXPECT_TRUE(desk.windows.TaskbarButtonVisible());
    EXPECT_FALSE(desk.windows.IsWindowVisible(Form1().Handle()));
    desk.notifyArea.ChooseNext(caption);
    desk.notifyArea.RightClick();
    EXPECT_FALSE(desk.windows.IsIconic(program->App().Handle())) << caption;
    EXPECT_TRUE(desk.windows.IsWindowVisible(Form1().Handle())) << caption;
    EXPECT_EQ(Form1().PageControl1.ActivePageIndex(), tab) << caption;
  }
}

TEST_F(ShellTest, SystemCommandsWithTheSystemsLowBitsSet_AreTheSameCommands) {
  // Windows uses the low four bits of a command itself; a command chosen with the mouse
  // arrives with them set.
  PutDataFile("settings.stng", "-1\r\n0\r\n0\r\n");
  Start();
  desk.windows.SendMessageA(Form1().Handle(), WmSysCommand, ScMinimize | 2, 0);
  EXPECT_FALSE(desk.windows.IsWindowVisible(Form1().Handle()));
  desk.windows.SendMessageA(program->App().Handle(), WmSysCommand, ScRestore | 2, 0);
  EXPECT_TRUE(desk.windows.IsWindowVisible(Form1().Handle()));
  SendToMain(WmSysCommand, ScClose | 2);
  EXPECT_FALSE(Form1().Visible());
  EXPECT_FALSE(desk.windows.QuitRequested());
}

TEST_F(ShellTest, TaskbarButtonRestore_BringsTheMinimizedWindowBack) {
  PutDataFile("settings.stng", "-1\r\n0\r\n0\r\n");
  Start();
  desk.windows.SendMessageA(Form1().Handle(), WmSysCommand, ScMinimize, 0);
  EXPECT_FALSE(desk.windows.IsWindowVisible(Form1().Handle()));
  desk.windows.SendMessageA(program->App().Handle(), WmSysCommand, ScRestore, 0);
  EXPECT_TRUE(desk.windows.IsWindowVisible(Form1().Handle()));
  EXPECT_FALSE(desk.windows.IsIconic(program->App().Handle()));
}

TEST_F(ShellTest, TaskbarRestart_BringsTheIconBack) {
  Start();
  desk.notifyArea.RestartTaskbar();
  EXPECT_EQ(desk.notifyArea.IconCount(), 1);
  EXPECT_EQ(NotifyMessages(), (std::vector<Dword>{NimAdd, NimSetVersion, NimAdd}));
}

TEST_F(ShellTest, OldCommonControls_NeverListenForTheTaskbarRestart) {
  desk.windows.SetCommonControlsVersion(470);
  Start();
  desk.notifyArea.RestartTaskbar();
  EXPECT_EQ(desk.notifyArea.IconCount(), 0);
}

TEST_F(ShellTest, AboutBox_IsModalAndKeepsItsLinkColour) {
  PutDataFile("settings.stng", "-1\r\n0\r\n0\r\n");
  Start();
  bool mainEnabledWhileShown = true;
  desk.windows.OnNextModal([&](Hwnd) {
    mainEnabledWhileShown = desk.windows.IsEnabled(Form1().Handle());
    EXPECT_EQ(About().Label4.ColorIndex(), ColorHighlight);
    About().Label4.MouseEnter();
    EXPECT_EQ(About().Label4.ColorIndex(), ColorInactiveCaption);
    About().Label4.MouseLeave();
    About().Label4.Click();
    About().BitBtn1.Click();
  });
  Form1().Reference1.Click();
  EXPECT_EQ(desk.windows.ModalsLeftOpen(), 0);
  EXPECT_FALSE(mainEnabledWhileShown);
  EXPECT_TRUE(desk.windows.IsEnabled(Form1().Handle()));
  EXPECT_FALSE(About().Visible());
  EXPECT_EQ(About().Label4.ColorIndex(), ColorMenuHilight);
  ASSERT_EQ(desk.shell.Requests().size(), 1u);
  EXPECT_EQ(desk.shell.Requests()[0].file, "https://corvilane.example");
  EXPECT_EQ(desk.shell.Requests()[0].owner, About().Handle());
  EXPECT_EQ(desk.windows.Title(About().Handle()), "About...");
}

}  // namespace
}  // namespace shell_program_test

#!/usr/bin/env python3
"""The program's life in a prefix: the first run, a start to the tray, what the close and the
log-off write, and a close that cannot write because the Data folder is missing."""

import os
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

APP_TITLE = "Clipboard_manager"  # the application window's title, and the error boxes' caption
MARKER_KEY = r"HKCU\Software\Corvilane\Clipboard_manager"
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
RUN_VALUE = "Corvilane_Clipboard_Manger"

# Both options checked and the first tab active, as a new installation has them.
# The fourth line is the quick-paste hotkey, Win+Insert; the fifth and sixth are no limits, the seventh plain files.
DEFAULT_SETTINGS = b"-1\r\n-1\r\n0\r\n65581\r\n0\r\n0\r\n0\r\n114774\r\n"
EMPTY_TABLE = b"\xff\xfe"


def assert_exit_writes(desktop):
    """What closing the program writes when nothing was captured and no option was touched."""
    harness.assert_file_bytes(desktop.data_file("settings.stng"), DEFAULT_SETTINGS)
    harness.assert_file_bytes(desktop.data_file("clipboard_history.hstr"), EMPTY_TABLE)
    # Quoted, so that a path with spaces cannot start another program at log-on.
    expected = ("REG_SZ", f'"{desktop.windows_path(desktop.exe_path)}"')
    assert desktop.reg_value(RUN_KEY, RUN_VALUE) == expected, desktop.reg_value(RUN_KEY, RUN_VALUE)
    assert not os.path.exists(desktop.data_file("actions.cnfg")), "the actions file is never written at exit"


def test_first_run_tray_start_close_and_log_off(desktop):
    # The first run: the maker's page is opened and the window shown although the default
    # options say "start to the tray"; the marker makes it the only such run.
    desktop.start()
    desktop.must("wait-visible", harness.MAIN_TITLE, 60000)
    assert harness.wait_until(desktop.opened_urls, 10), "no page was opened at the first run"
    urls = desktop.opened_urls()
    assert len(urls) == 1 and urls[0].endswith("#cm=0"), urls
    assert harness.wait_until(lambda: desktop.reg_value(MARKER_KEY, "fr"), 10) == ("REG_SZ", "1")
    assert os.listdir(desktop.data_dir) == [], "start-up wrote into Data"
    desktop.screenshot("first-run")

    desktop.close_and_wait_exit()
    assert desktop.process.returncode == 0, f"exit code {desktop.process.returncode}"
    assert_exit_writes(desktop)

    # The second run starts to the tray: the windows exist and stay hidden. The program heads
    # the clipboard viewer chain only once its start-up is over and its message loop runs, so
    # by then a window it was going to show would be visible.
    desktop.start_watching()
    for title in (harness.MAIN_TITLE, APP_TITLE):
        code, out = desktop.driver("visible", title)
        assert code == 1 and out.strip() == "hidden", f"{title}: {out}"
    assert len(desktop.opened_urls()) == 1, "the page was opened again"
    desktop.screenshot("tray-start")

    # A left click on the tray icon, as the shell reports it to the icon's callback window,
    # shows the window and its taskbar button; the title bar's close hides both again.
    desktop.must("post", "TrayIconCallback", 0x800, 1, 0x201)  # WM_LBUTTONDOWN
    desktop.must("post", "TrayIconCallback", 0x800, 1, 0x202)  # WM_LBUTTONUP
    desktop.must("wait-visible", harness.MAIN_TITLE, 10000)
    desktop.must("wait-visible", APP_TITLE, 10000)
    # Minimizing the main window minimizes the application: the window goes, the application
    # window (and with it the taskbar button) stays; restoring that brings the window back.
    desktop.must("send", harness.MAIN_TITLE, 0x112, 0xF020, 0)  # SC_MINIMIZE
    desktop.must("wait-hidden", harness.MAIN_TITLE, 10000)
    desktop.must("visible", APP_TITLE)
    desktop.must("send", APP_TITLE, 0x112, 0xF120, 0)  # SC_RESTORE, as the taskbar button sends it
    desktop.must("wait-visible", harness.MAIN_TITLE, 10000)
    desktop.must("send", harness.MAIN_TITLE, 0x112, 0xF060, 0)  # WM_SYSCOMMAND, SC_CLOSE
    desktop.must("wait-hidden", harness.MAIN_TITLE, 10000)
    desktop.must("wait-hidden", APP_TITLE, 10000)
    assert desktop.running(), "the close command ended the program"

    # A log-off writes the same as a close; the files and the value are removed first, so
    # that what is found afterwards can only come from the log-off.
    os.remove(desktop.data_file("settings.stng"))
    os.remove(desktop.data_file("clipboard_history.hstr"))
    desktop.wine("reg", "delete", RUN_KEY, "/v", RUN_VALUE, "/f")
    assert desktop.must("query-end-session", harness.MAIN_TITLE).strip() == "agreed"
    assert_exit_writes(desktop)

    # The tray menu opens on the right button; "Exit", its last command, ends the program with
    # the same writes as a close.
    os.remove(desktop.data_file("settings.stng"))
    os.remove(desktop.data_file("clipboard_history.hstr"))
    desktop.tray_menu_choose((0x26, 0x0D), screenshot="tray-menu")  # Up selects the last item
    assert desktop.wait_exit(10), "the tray menu's Exit did not end the program"
    assert_exit_writes(desktop)


def test_close_without_data_folder_shows_the_error_and_goes_on(desktop):
    shutil.rmtree(desktop.data_dir)
    desktop.start()
    desktop.must("wait-visible", harness.MAIN_TITLE, 60000)

    desktop.must("close", harness.MAIN_TITLE)
    desktop.must("wait-dialog", APP_TITLE, 10000)
    assert desktop.must("dialog-text", APP_TITLE).splitlines() == ["Invalid filename."]
    desktop.screenshot("error-box")
    desktop.must("click", APP_TITLE, "OK")
    assert harness.wait_until(lambda: desktop.driver("wait-dialog", APP_TITLE, 0)[0] == 1, 10), \
        "the error box did not close"

    # The close was abandoned: the program still runs and answers messages, and since the
    # history could not be written, the settings were not written either.
    assert desktop.running(), "the program ended after the failed close"
    desktop.must("send", harness.MAIN_TITLE, 0, 0, 0)  # WM_NULL: returns only from a running loop
    desktop.must("wait-visible", harness.MAIN_TITLE, 1000)
    assert not os.path.exists(desktop.data_dir), "the Data folder was created"
    assert desktop.reg_value(RUN_KEY, RUN_VALUE) is None, "the autostart value was written"

    # A read-only history file is refused the same way, and is left exactly as it was.
    os.makedirs(desktop.data_dir)
    history = desktop.data_file("clipboard_history.hstr")
    with open(history, "wb") as f:
        f.write(b"\xff\xfe")
    os.chmod(history, 0o444)
    desktop.must("close", harness.MAIN_TITLE)
    desktop.must("wait-dialog", APP_TITLE, 10000)
    assert desktop.must("dialog-text", APP_TITLE).splitlines() == ["File access denied."]
    desktop.must("click", APP_TITLE, "OK")
    assert harness.wait_until(lambda: desktop.driver("wait-dialog", APP_TITLE, 0)[0] == 1, 10), \
        "the second error box did not close"
    assert desktop.running(), "the program ended after the refused write"
    with open(history, "rb") as f:
        assert f.read() == b"\xff\xfe", "the read-only history file was changed"

    # Once the file may be written again, the close goes through.
    os.chmod(history, 0o644)
    desktop.must("close", harness.MAIN_TITLE)
    assert desktop.wait_exit(10), "the program did not end after a close that could write"


harness.main(globals())

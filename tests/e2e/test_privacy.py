#!/usr/bin/env python3
"""Privacy with the real exe under Wine: a copy made by a password manager (a small program run
as KeePassXC.exe) is not recorded, while copies made by other programs are; and the tray
menu's "Pause recording" stops recording until it is chosen again."""

import os
import shutil
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

HISTORY = "clipboard_history.hstr"


def test_a_copy_made_by_keepassxc_is_not_recorded(desktop):
    source = os.path.join(os.path.dirname(desktop.driver_source), "cm_clipboard_writer.exe")
    shutil.copy2(source, os.path.join(desktop.run_dir, "KeePassXC.exe"))
    shutil.copy2(source, os.path.join(desktop.run_dir, "editor.exe"))
    desktop.start_watching()
    desktop.close_and_wait_exit()  # past the first run
    desktop.start_watching()
    desktop.copy_from_x("before")

    sequence = desktop.must("clipboard-sequence").strip()
    keepass = desktop.launch(os.path.join(desktop.run_dir, "KeePassXC.exe"), "correct-horse-battery", "1500")
    desktop.must("wait-clipboard-change", sequence, 20000)
    keepass.wait(30)
    assert keepass.returncode == 0, f"the copying program ended with {keepass.returncode}"
    # The program looked and showed nothing of it.
    desktop.wait_clipboard_seen("", 5000)

    editor = desktop.launch(os.path.join(desktop.run_dir, "editor.exe"), "from-the-editor", "1500")
    desktop.wait_clipboard_seen("from-the-editor", 20000)
    editor.wait(30)
    desktop.copy_from_x("after")
    desktop.close_and_wait_exit()
    harness.assert_history_file(desktop.data_file(HISTORY), [
        ("0", "after"),
        ("0", "from-the-editor"),
        ("3", "before"),
    ])


def test_pause_recording_from_the_tray_menu_and_resume(desktop):
    desktop.start_watching()
    desktop.close_and_wait_exit()  # past the first run
    desktop.start_watching()
    desktop.copy_from_x("before the pause")
    # "Pause recording" stands right above "Exit", the last item.
    desktop.tray_menu_choose((0x26, 0x26, 0x0D), screenshot="tray-menu-pause")
    assert harness.wait_until(lambda: desktop.driver("wait-visible", "class:#32768", 0)[0] != 0, 10), \
        "the tray menu stayed open"
    sequence = desktop.must("clipboard-sequence").strip()
    desktop.set_x_clipboard("copied while paused")
    desktop.must("wait-clipboard-change", sequence, 10000)
    time.sleep(1)  # time enough for a capture that should not happen
    desktop.wait_clipboard_seen("before the pause", 0)

    desktop.tray_menu_choose((0x26, 0x26, 0x0D))
    assert harness.wait_until(lambda: desktop.driver("wait-visible", "class:#32768", 0)[0] != 0, 10), \
        "the tray menu stayed open"
    desktop.copy_from_x("after the pause")
    desktop.close_and_wait_exit()
    harness.assert_history_file(desktop.data_file(HISTORY), [
        ("0", "after the pause"),
        ("2", "before the pause"),
    ])


harness.main(globals())

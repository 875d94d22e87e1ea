#!/usr/bin/env python3
"""Privacy with the real exe under Wine: a copy made by a password manager (a small program run
as KeePassXC.exe) is not recorded, while copies made by other programs are."""

import os
import shutil
import sys

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


harness.main(globals())

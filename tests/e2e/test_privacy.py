#!/usr/bin/env python3
"""Privacy with the real exe under Wine: a copy made by a password manager (a small program run
as KeePassXC.exe) is not recorded, while copies made by other programs are; and the tray
menu's "Pause recording" stops recording until it is chosen again; and entries older than the
days kept are gone from the history and its file once the program has started."""

import datetime
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


def us_date(moment):
    """A date as the program writes it in Wine's default locale (English, United States)."""
    text = f"{moment.month}/{moment.day}/{moment.year}"
    if (moment.hour, moment.minute, moment.second) != (0, 0, 0):
        text += f" {(moment.hour + 11) % 12 + 1}:{moment.minute:02}:{moment.second:02} " + \
            ("AM" if moment.hour < 12 else "PM")
    return text


def test_entries_older_than_the_days_kept_are_forgotten_at_start_up(desktop):
    desktop.start_watching()
    desktop.close_and_wait_exit()  # past the first run
    now = datetime.datetime.now().replace(microsecond=0)
    rows = [(now - datetime.timedelta(minutes=1), "from today"),
            (now - datetime.timedelta(days=2), "from two days ago"),
            (now - datetime.timedelta(days=40), "from forty days ago"),
            (now - datetime.timedelta(days=400), "from four hundred days ago")]
    text = "".join(f"{n},{us_date(moment)},{entry}\r\n" for n, (moment, entry) in enumerate(rows))
    with open(desktop.data_file(HISTORY), "wb") as f:
        f.write(b"\xff\xfe" + text.encode("utf-16-le"))
    # Not at log-on, tray only, the first tab, Win+Insert, 30 days kept, no count limit.
    with open(desktop.data_file("settings.stng"), "wb") as f:
        f.write(b"0\r\n-1\r\n0\r\n65581\r\n30\r\n0\r\n")

    desktop.start_watching()
    kept = [("1", "from today"), ("2", "from two days ago")]

    def forgotten_on_disk():
        try:
            harness.assert_history_file(desktop.data_file(HISTORY), kept)
            return True
        except AssertionError:
            return False
    # Written at start-up, while the program runs: not left for the exit to do.
    assert harness.wait_until(forgotten_on_disk, 10), harness.read_bytes(desktop.data_file(HISTORY))
    for name in os.listdir(os.path.dirname(desktop.data_file(HISTORY))):
        data = harness.read_bytes(desktop.data_file(name))
        assert "forty".encode("utf-16-le") not in data and "hundred".encode("utf-16-le") not in data, name
    desktop.close_and_wait_exit()
    harness.assert_history_file(desktop.data_file(HISTORY), kept)


harness.main(globals())

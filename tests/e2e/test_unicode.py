#!/usr/bin/env python3
"""Text that no ANSI code page holds, end to end: copied in X and recorded exactly, pasted by a
hotkey into Wine's notepad with the user's own text given back, and the program run from a
folder whose name holds such letters."""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

NOTEPAD = harness.NOTEPAD
HISTORY = "clipboard_history.hstr"
RUN_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\Run"
RUN_VALUE = "Corvilane_Clipboard_Manger"

# Cyrillic, an em dash, CJK and an emoji (a surrogate pair in UTF-16).
COPIED = "Привет мир — 日本語 😀"
ACTION = "Grüße 日本 ✓"
FOLDER = "Łódź 日本"


def test_copy_in_x_is_recorded_exactly(desktop):
    desktop.start_watching()
    desktop.copy_from_x(COPIED)  # waits until the label shows the whole text
    desktop.close_and_wait_exit()
    harness.assert_history_file(desktop.data_file(HISTORY), [("1", COPIED)])


def test_non_ansi_action_is_pasted_into_notepad_and_the_copied_text_comes_back(desktop):
    harness.write_actions(desktop, [["1", "Greeting", harness.hotkey_text(desktop, "ctrl", "alt", "F5"), ACTION, "V"]])
    harness.start_with_notepad(desktop)
    desktop.copy_from_x(COPIED)

    desktop.must("press", "ctrl+alt", "F5")
    # The driver reads notepad's text with the wide call and prints it in UTF-8.
    notepad = lambda: desktop.driver("control-text", NOTEPAD, "Edit", raw=True)[1]  # noqa: E731
    assert harness.wait_until(lambda: notepad() == ACTION.encode(), 15), f"notepad holds {notepad()!r}"
    desktop.wait_clipboard_seen(COPIED)  # the restore was read back
    # Until Wine has taken the X clipboard over, xclip still offers the earlier copy.
    taken = harness.wait_until(lambda: b"MULTIPLE" in (desktop.get_x_clipboard("TARGETS") or b""), 10)
    assert taken, f"X clipboard targets: {desktop.get_x_clipboard('TARGETS')!r}"
    assert desktop.get_x_clipboard() == COPIED.encode(), desktop.get_x_clipboard()
    desktop.screenshot("notepad-after-paste")

    desktop.close_and_wait_exit()
    harness.assert_history_file(desktop.data_file(HISTORY), [("0", COPIED), ("0", ACTION), ("3", COPIED)])


def test_run_from_a_folder_outside_the_code_page(desktop):
    desktop.use_run_folder(FOLDER)
    desktop.start_watching()
    desktop.copy_from_x(COPIED)

    # Log-off writes the history and the settings into that folder, and the autostart value.
    desktop.must("query-end-session", harness.MAIN_TITLE)
    assert harness.wait_until(lambda: os.path.exists(desktop.data_file(HISTORY)), 10)
    harness.assert_history_file(desktop.data_file(HISTORY), [("1", COPIED)])
    assert os.path.exists(desktop.data_file("settings.stng"))
    run = desktop.must("reg-string", RUN_KEY, RUN_VALUE)
    assert run.encode("latin-1").decode() == f'"{desktop.exe_windows_path()}"', run.encode("latin-1").decode()

    # "Exit" (the same close step) ends the program.
    desktop.close_and_wait_exit()


harness.main(globals())

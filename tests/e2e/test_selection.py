#!/usr/bin/env python3
"""Selecting history rows with the mouse while copies come in: a Shift+click selects the rows
between the two clicks as the user sees them, and "Delete selected" takes exactly those."""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

HISTORY = "clipboard_history.hstr"


def selected(desktop):
    return desktop.must("selected-rows", harness.MAIN_TITLE).split()


def test_shift_click_after_two_captures_selects_the_rows_between_the_clicks(desktop):
    desktop.start_watching()
    for text in ("alpha", "bravo", "charlie", "delta"):
        desktop.copy_from_x(text)
    desktop.tray_menu_choose((0x28, 0x0D))  # "Clipboard History": the window on the history tab
    desktop.must("wait-visible", harness.MAIN_TITLE, 10000)

    # delta, charlie, bravo, alpha: a plain click on charlie.
    desktop.must("click-row", harness.MAIN_TITLE, 1, "none")
    assert harness.wait_until(lambda: selected(desktop) == ["1"], 5), f"selected after the click: {selected(desktop)}"

    # Two copies push charlie down to row 3; Shift+click on bravo, now row 4.
    desktop.copy_from_x("echo")
    desktop.copy_from_x("foxtrot")
    desktop.must("click-row", harness.MAIN_TITLE, 4, "shift")
    assert harness.wait_until(lambda: selected(desktop) == ["3", "4"], 5), \
        f"selected after the Shift+click: {selected(desktop)}"
    desktop.screenshot("after-shift-click")

    desktop.must("press-button", harness.MAIN_TITLE, "Delete selected")
    expected = [("0", "foxtrot"), ("0", "echo"), ("0", "delta"), ("1", "alpha")]
    assert harness.wait_until(lambda: _history_is(desktop, expected), 5), \
        f"the history file after the delete: {harness.read_bytes(desktop.data_file(HISTORY))!r}"
    desktop.close_and_wait_exit()
    harness.assert_history_file(desktop.data_file(HISTORY), expected)


def _history_is(desktop, rows):
    try:
        harness.assert_history_file(desktop.data_file(HISTORY), rows)
        return True
    except AssertionError:
        return False


harness.main(globals())

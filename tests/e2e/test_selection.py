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


def click_row(desktop, row, mods, expected):
    """Clicks a row and waits for the selection to become `expected`. A click that arrives while
    Wine is still activating the window can get lost; a person would click again, and a click
    again on the same row with the same keys selects the same rows."""
    for _ in range(3):
        desktop.must("click-row", harness.MAIN_TITLE, row, mods)
        if harness.wait_until(lambda: selected(desktop) == expected, 3):
            return
    raise AssertionError(f"after a click on row {row} with {mods}: {selected(desktop)} selected, expected {expected}")


def test_shift_click_after_two_captures_selects_the_rows_between_the_clicks(desktop):
    desktop.start_watching()
    for text in ("alpha", "bravo", "charlie", "delta"):
        desktop.copy_from_x(text)
    desktop.tray_menu_choose((0x28, 0x0D))  # "Clipboard History": the window on the history tab
    desktop.must("wait-visible", harness.MAIN_TITLE, 10000)
    desktop.must("wait-gone", "class:#32768", 10000)  # the tray menu

    # delta, charlie, bravo, alpha: a plain click on charlie.
    click_row(desktop, 1, "none", ["1"])

    # Two copies push charlie down to row 3; Shift+click on bravo, now row 4.
    desktop.copy_from_x("echo")
    desktop.copy_from_x("foxtrot")
    click_row(desktop, 4, "shift", ["3", "4"])
    desktop.screenshot("after-shift-click")

    desktop.must("press-button", harness.MAIN_TITLE, "Delete selected")
    # alpha went into the empty list by appending, so it carries its row number.
    expected = [("0", "foxtrot"), ("0", "echo"), ("0", "delta"), ("4", "alpha")]
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

#!/usr/bin/env python3
"""Actions made through the real editor window: "Add", the fields, OK, the fresh name of the
next action, and the tray menu item that then puts an action's text on the clipboard."""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

EDITOR = "Add action"


def actions_file(rows):
    return b"\xff\xfe" + "".join(row + "\r\n" for row in rows).encode("utf-16-le")


def add_action(desktop, name, text):
    """Opens the editor with "Add", checks the proposed name, fills in the text and presses OK."""
    desktop.must("press-button", harness.MAIN_TITLE, "Add")
    desktop.must("wait-visible", EDITOR, 10000)
    desktop.must("wait-control-text", EDITOR, "Edit", name, 5000)
    desktop.must("set-text", EDITOR, "Edit", 1, text)  # Edit1 is the name, the next the text
    desktop.must("press-button", EDITOR, "OK")
    desktop.must("wait-hidden", EDITOR, 10000)


def test_add_two_actions_and_use_one_from_the_tray(desktop):
    desktop.start_watching()
    desktop.must("wait-visible", harness.MAIN_TITLE, 10000)

    add_action(desktop, "New Action", "first text")
    harness.assert_file_bytes(desktop.data_file("actions.cnfg"), actions_file(["1,New Action,No,first text,V"]))
    # The name field keeps what it showed, so the next "Add" counts it up.
    add_action(desktop, "New Action1", "second, with a comma")
    harness.assert_file_bytes(
        desktop.data_file("actions.cnfg"),
        actions_file(["1,New Action,No,first text,V", '2,New Action1,No,"second, with a comma",V']))
    desktop.screenshot("two-actions")

    # The tray menu now starts with the two names; Down and Enter choose the first.
    desktop.tray_menu_choose((0x28, 0x0D), screenshot="tray-menu-with-actions")
    assert harness.wait_until(lambda: desktop.driver("get-clipboard", raw=True)[1] == b"first text", 5), \
        desktop.driver("get-clipboard", raw=True)
    desktop.must("close", harness.MAIN_TITLE)
    assert desktop.wait_exit(10), "the program did not end after WM_CLOSE"


harness.main(globals())

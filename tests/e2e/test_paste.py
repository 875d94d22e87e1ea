#!/usr/bin/env python3
"""Actions pasted by their hotkeys into Wine's notepad, with Ctrl+V and with Shift+Insert, the
clipboard given back afterwards. (bench/paste_overhead_wine.py measures the time it takes.)"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

HISTORY = "clipboard_history.hstr"

GREETING = "Hello from the Ctrl+V action"
SIGNATURE = "Regards,\r\nThe team"  # written in the file as "Regards,|The team", quoted for its ","


def paste(desktop, hotkey, copied, notepad_text):
    """Presses a hotkey while `copied` is on the clipboard; checks that notepad then holds
    `notepad_text` and that the clipboard holds `copied` again, in Windows and in X."""
    desktop.must("press", *hotkey)
    pasted = harness.wait_until(lambda: harness.notepad_text(desktop) == notepad_text.encode(), 15)
    assert pasted, f"notepad holds {harness.notepad_text(desktop)!r}"
    # The label showed the action's text from the first clipboard write until the restore;
    # showing the copied text once more, it has seen the restore.
    desktop.wait_clipboard_seen(copied)
    # Until Wine has taken the X clipboard over, xclip still offers the same text from the
    # earlier copy; Wine's offer is told by the targets that xclip does not have.
    taken = harness.wait_until(lambda: b"MULTIPLE" in (desktop.get_x_clipboard("TARGETS") or b""), 10)
    assert taken, f"X clipboard targets: {desktop.get_x_clipboard('TARGETS')!r}"
    assert desktop.get_x_clipboard() == copied.encode(), desktop.get_x_clipboard()


def test_hotkeys_paste_with_ctrl_v_and_shift_insert(desktop):
    harness.write_actions(desktop, [
        ["1", "Greeting", harness.hotkey_text(desktop, "ctrl", "alt", "F5"), GREETING, "V"],
        ["2", "Signature", harness.hotkey_text(desktop, "ctrl", "alt", "F6"), '"Regards,|The team"', "I"],
    ])
    harness.start_with_notepad(desktop)

    desktop.copy_from_x("copied before Ctrl+V")
    paste(desktop, ("ctrl+alt", "F5"), "copied before Ctrl+V", GREETING)
    desktop.copy_from_x("copied before Shift+Insert")
    paste(desktop, ("ctrl+alt", "F6"), "copied before Shift+Insert", GREETING + SIGNATURE)
    desktop.screenshot("notepad-after-pastes")

    desktop.close_and_wait_exit()
    # Each paste leaves the action's text and, above it, the restored text; the first copy went
    # into the empty list by appending, so it carries its row number.
    harness.assert_history_file(desktop.data_file(HISTORY), [
        ("0", "copied before Shift+Insert"),
        ("0", '"Regards,|The team"'),
        ("0", "copied before Shift+Insert"),
        ("0", "copied before Ctrl+V"),
        ("0", GREETING),
        ("6", "copied before Ctrl+V"),
    ])


harness.main(globals())

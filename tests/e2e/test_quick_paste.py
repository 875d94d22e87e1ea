#!/usr/bin/env python3
"""Quick paste into Wine's notepad: the hotkey opens the popup over notepad, a typed filter
finds a history entry, Enter pastes it into notepad, which has the focus again, and the entry
stays on the clipboard. An action picked by its digit pastes as its hotkey does."""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

POPUP = "Quick paste"
HOTKEY = ("win", "insert")  # the default


def open_popup(desktop):
    desktop.must("press", *HOTKEY)
    desktop.must("wait-visible", POPUP, 10000)


def type_keys(desktop, text):
    for ch in text:
        desktop.must("key", "space" if ch == " " else ch, "down")
        desktop.must("key", "space" if ch == " " else ch, "up")


def test_filter_and_enter_paste_a_history_entry_into_notepad(desktop):
    harness.write_actions(desktop, [["1", "Greeting", "No", "Hello from an action", "V"]])
    harness.start_with_notepad(desktop)
    for text in ("alpha one", "beta two", "gamma three"):
        desktop.copy_from_x(text)
    desktop.must("focus", harness.NOTEPAD)

    open_popup(desktop)
    desktop.screenshot("popup-open")
    type_keys(desktop, "bet")
    desktop.screenshot("popup-filtered")
    desktop.must("key", "enter", "down")
    desktop.must("key", "enter", "up")

    pasted = harness.wait_until(lambda: harness.notepad_text(desktop) == b"beta two", 10)
    assert pasted, f"notepad holds {harness.notepad_text(desktop)!r}"
    assert desktop.must("foreground-title").strip() == harness.NOTEPAD
    assert desktop.driver("visible", POPUP)[0] != 0, "the popup is still shown"
    # The entry stays on the clipboard, and the history has it on top as after a re-copy.
    desktop.wait_clipboard_seen("beta two")
    assert desktop.driver("get-clipboard", raw=True)[1] == b"beta two"

    # The action by its digit: pasted, and the clipboard given back.
    open_popup(desktop)
    type_keys(desktop, "1")
    pasted = harness.wait_until(lambda: harness.notepad_text(desktop) == b"beta twoHello from an action", 10)
    assert pasted, f"notepad holds {harness.notepad_text(desktop)!r}"
    desktop.wait_clipboard_seen("beta two")
    desktop.screenshot("notepad-after-quick-pastes")

    # Esc leaves notepad as it was, with the focus.
    open_popup(desktop)
    type_keys(desktop, "x")
    desktop.must("key", "escape", "down")
    desktop.must("key", "escape", "up")
    desktop.must("wait-hidden", POPUP, 5000)
    assert harness.wait_until(lambda: desktop.must("foreground-title").strip() == harness.NOTEPAD, 5)
    assert harness.notepad_text(desktop) == b"beta twoHello from an action"
    desktop.close_and_wait_exit()


harness.main(globals())

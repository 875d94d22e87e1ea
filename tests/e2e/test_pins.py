#!/usr/bin/env python3
"""Pinned and edited entries in the real program under Wine: an entry pinned in quick paste
stays through "Clear All" and a restart, and is then the first history entry of the popup,
which pastes it into notepad; F2 in the popup edits an entry, and the history file holds the
new text and not the old."""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

POPUP = "Quick paste"
EDITOR = "Edit entry"
HISTORY = "clipboard_history.hstr"


def open_popup(desktop):
    desktop.must("press", "win", "insert")
    desktop.must("wait-visible", POPUP, 10000)


def tap(desktop, key):
    desktop.must("key", key, "down")
    desktop.must("key", key, "up")


def type_keys(desktop, text):
    for ch in text:
        tap(desktop, "space" if ch == " " else ch)


def history_text(desktop):
    # Until the first write of the file (the copies wait in the journal), there is none.
    try:
        with open(desktop.data_file(HISTORY), "rb") as f:
            return f.read()[2:].decode("utf-16-le", errors="replace")
    except FileNotFoundError:
        return ""


def test_a_pin_outlasts_clear_all_and_a_restart_and_comes_first_in_the_popup(desktop):
    harness.start_with_notepad(desktop)
    for text in ("keep me", "drop one", "drop two"):
        desktop.copy_from_x(text)
    harness.focus_notepad(desktop)

    # The popup lists "drop two", "drop one", "keep me": the third is pinned, and the popup stays.
    open_popup(desktop)
    tap(desktop, "down")
    tap(desktop, "down")
    desktop.must("press", "ctrl", "p")
    time.sleep(0.5)
    desktop.screenshot("popup-pinned")
    assert desktop.driver("visible", POPUP)[0] == 0, "the popup closed after Ctrl+P"
    tap(desktop, "escape")
    desktop.must("wait-hidden", POPUP, 5000)

    # "Clear All" on the history tab keeps the pinned entry, and writes the file at once.
    desktop.tray_menu_choose((0x28, 0x0D))  # "Clipboard History"
    desktop.must("wait-visible", harness.MAIN_TITLE, 10000)
    desktop.must("press-button", harness.MAIN_TITLE, "Clear All")
    assert harness.wait_until(
        lambda: "drop" not in history_text(desktop) and "keep me" in history_text(desktop), 5), history_text(desktop)
    desktop.screenshot("history-after-clear-all")
    desktop.close_and_wait_exit()
    harness.assert_history_file(desktop.data_file(HISTORY), [("1", "keep me", ",pin1:1")])

    # After a restart a newer copy comes above it in the history, but the popup lists the
    # pinned entry first, and Enter pastes it (into the notepad that stayed open).
    desktop.start_watching()
    desktop.copy_from_x("newer")
    harness.focus_notepad(desktop)
    open_popup(desktop)
    desktop.screenshot("popup-after-restart")
    tap(desktop, "enter")
    desktop.must("wait-hidden", POPUP, 10000)
    pasted = harness.wait_until(lambda: harness.notepad_text(desktop) == b"keep me", 10)
    assert pasted, f"notepad holds {harness.notepad_text(desktop)!r}"
    desktop.close_and_wait_exit()


def test_f2_in_the_popup_edits_the_entry_and_the_file_holds_the_new_text(desktop):
    harness.start_with_notepad(desktop)
    for text in ("first text", "second text"):
        desktop.copy_from_x(text)
    harness.focus_notepad(desktop)

    open_popup(desktop)
    desktop.must("press", "none", "F2")
    desktop.must("wait-visible", EDITOR, 10000)
    desktop.must("press", "ctrl", "end")
    type_keys(desktop, " edited")
    desktop.screenshot("edit-entry")
    desktop.must("press", "ctrl", "enter")
    # The window goes with the OK.
    assert harness.wait_until(lambda: desktop.driver("visible", EDITOR)[0] != 0, 10), "Edit entry is still shown"

    # The popup is back, open over notepad.
    desktop.must("wait-visible", POPUP, 10000)
    desktop.screenshot("popup-after-edit")
    tap(desktop, "escape")
    desktop.must("wait-hidden", POPUP, 5000)
    # The clipboard is left as it was.
    assert desktop.driver("get-clipboard", raw=True)[1] == b"second text"

    desktop.close_and_wait_exit()
    harness.assert_history_file(desktop.data_file(HISTORY), [("0", "second text edited"), ("2", "first text")])
    assert "second text," not in history_text(desktop) and not history_text(desktop).endswith("second text\r\n")


def shown_texts(desktop):
    code, out = desktop.driver("shown-rows", harness.MAIN_TITLE, "2", raw=True)
    return (out or b"").decode("utf-8").splitlines() if code == 0 else None


def select_row(desktop, row):
    """Clicks the row of the history table until it is the one selected: a click that comes
    while Wine's menu is still letting go of the mouse is lost."""
    for _ in range(3):
        desktop.must("click-row", harness.MAIN_TITLE, str(row), "none")
        if harness.wait_until(lambda: desktop.driver("selected-rows", harness.MAIN_TITLE)[1].split() == [str(row)], 3):
            return
    raise AssertionError(f"row {row} is not selected: {desktop.driver('selected-rows', harness.MAIN_TITLE)[1]!r}")


def test_the_history_tables_menu_and_keys(desktop):
    desktop.start_watching()
    for text in ("alpha", "beta", "gamma"):
        desktop.copy_from_x(text)
    desktop.tray_menu_choose((0x28, 0x0D))  # "Clipboard History"
    desktop.must("wait-visible", harness.MAIN_TITLE, 10000)
    assert harness.wait_until(lambda: shown_texts(desktop) == ["gamma", "beta", "alpha"], 10), shown_texts(desktop)

    # The right button on "beta" opens the menu; its first item pins the entry, which shows the
    # mark. Wine's menu shows itself a moment before it takes keys, and the pointer resting on its
    # corner can take the highlight away again: a key too early is lost (an Enter then closes the
    # menu without a choice), and the user tries again, as one would.
    pinned = ["gamma", "\U0001F4CC beta", "alpha"]
    for attempt in range(3):
        desktop.must("right-click-row", harness.MAIN_TITLE, "1")
        if desktop.driver("wait-visible", "class:#32768", 5000)[0] != 0:
            continue
        desktop.screenshot(f"history-menu-{attempt}")
        time.sleep(0.5)
        tap(desktop, "down")
        time.sleep(0.5)
        tap(desktop, "enter")
        if harness.wait_until(lambda: shown_texts(desktop) == pinned, 5):
            break
    assert shown_texts(desktop) == pinned, shown_texts(desktop)

    # Ctrl+P pins the selected row, Delete deletes it, F2 opens "Edit entry" (Esc closes it),
    # Enter copies the current row.
    select_row(desktop, 2)
    desktop.must("press", "ctrl", "p")
    pinned = ["gamma", "📌 beta", "📌 alpha"]
    assert harness.wait_until(lambda: shown_texts(desktop) == pinned, 10), shown_texts(desktop)
    select_row(desktop, 0)
    tap(desktop, "delete")
    pinned = ["📌 beta", "📌 alpha"]
    assert harness.wait_until(lambda: shown_texts(desktop) == pinned, 10), shown_texts(desktop)
    select_row(desktop, 0)
    desktop.must("press", "none", "F2")
    desktop.must("wait-visible", EDITOR, 10000)
    tap(desktop, "escape")
    assert harness.wait_until(lambda: desktop.driver("visible", EDITOR)[0] != 0, 10), "Edit entry is still shown"
    select_row(desktop, 1)
    tap(desktop, "enter")
    desktop.wait_clipboard_seen("alpha")
    desktop.screenshot("history-pinned")
    desktop.close_and_wait_exit()
    harness.assert_history_file(desktop.data_file(HISTORY),
                                [("0", "alpha"), ("0", "beta", ",pin1:1"), ("3", "alpha", ",pin1:1")])


harness.main(globals())

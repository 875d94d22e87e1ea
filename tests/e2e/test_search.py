#!/usr/bin/env python3
"""The history search box under Wine: Ctrl+F reaches it, typed words narrow the history table
to the entries that hold them, a double-click copies the filtered entry it hits, and Esc
brings every entry back; Backspaces typed while a scan is under way leave no stale rows."""

import os
import random
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

HISTORY = "clipboard_history.hstr"
TEXT_COLUMN = "2"  # the list view's columns: "#", "Date", "Clipboard history"
ENTRIES = ["Apple crumble", "banana split", "Äpfel und Birnen", "apple pie", "cherry tart"]


def write_history(desktop, texts):
    lines = "".join(f"0,12/8/2026 9:30:00 AM,{text}\r\n" for text in texts)
    with open(desktop.data_file(HISTORY), "wb") as f:
        f.write(b"\xff\xfe" + lines.encode("utf-16-le"))


def shown(desktop):
    code, out = desktop.driver("shown-rows", harness.MAIN_TITLE, TEXT_COLUMN, raw=True)
    return out.decode("utf-8").splitlines() if code == 0 else None


def wait_shown(desktop, expected, seconds=10):
    if not harness.wait_until(lambda: shown(desktop) == expected, seconds):
        raise AssertionError(f"the history table shows {shown(desktop)}, expected {expected}")


def search(desktop, text):
    """Ctrl+F on the history tab, then the text typed over whatever the box held."""
    desktop.must("focus", harness.MAIN_TITLE)
    desktop.must("press", "ctrl", "F")
    desktop.must("type", text)


def test_typed_words_filter_the_table_and_a_double_click_copies_the_entry_hit(desktop):
    write_history(desktop, ENTRIES)
    desktop.start_watching()
    desktop.tray_menu_choose((0x28, 0x0D))  # "Clipboard History": the window on the history tab
    desktop.must("wait-visible", harness.MAIN_TITLE, 10000)
    desktop.must("wait-gone", "class:#32768", 10000)  # the tray menu
    wait_shown(desktop, ENTRIES)
    desktop.screenshot("empty-box")

    search(desktop, "apple")
    wait_shown(desktop, ["Apple crumble", "apple pie"])
    desktop.must("type", " PIE")
    wait_shown(desktop, ["apple pie"])
    desktop.screenshot("filtered")

    # Row 0 of the filtered table is the history's fourth entry. A click that arrives while Wine
    # is still activating the list can get lost; a person would click again.
    for _ in range(3):
        desktop.must("click-row", harness.MAIN_TITLE, 0, "none")
        if harness.wait_until(lambda: desktop.must("selected-rows", harness.MAIN_TITLE).split() == ["0"], 3):
            break
    desktop.must("double-click-row", harness.MAIN_TITLE, 0)
    assert harness.wait_until(lambda: desktop.get_x_clipboard() == b"apple pie", 10), desktop.get_x_clipboard()
    # The copy comes back as a capture on top, and it matches the search as well.
    wait_shown(desktop, ["apple pie", "apple pie"])

    # Esc in the box (the double-click took the focus to the table) clears it.
    desktop.must("press", "ctrl", "F")
    desktop.must("press", "none", "escape")
    wait_shown(desktop, ["apple pie"] + ENTRIES)

    desktop.close_and_wait_exit()
    harness.assert_history_file(desktop.data_file(HISTORY),
                                [("0", "apple pie")] + [(str(row + 2), text) for row, text in enumerate(ENTRIES)])


def test_case_is_ignored_beyond_ascii(desktop):
    write_history(desktop, ENTRIES + ["ΟΔΟΣ", "οδος"])
    desktop.start_watching()
    desktop.tray_menu_choose((0x28, 0x0D))
    desktop.must("wait-visible", harness.MAIN_TITLE, 10000)
    desktop.must("wait-gone", "class:#32768", 10000)

    search(desktop, "äPFEL")
    wait_shown(desktop, ["Äpfel und Birnen"])
    search(desktop, "οδοσ")  # a small sigma finds the capital and the final one
    wait_shown(desktop, ["ΟΔΟΣ", "οδος"])
    desktop.close_and_wait_exit()




def test_quick_backspaces_then_a_letter_show_exactly_the_entries_holding_it(desktop):
    # Enough entries that each scan takes the window's timer several slices: the Backspaces come
    # while a scan is still under way.
    rng = random.Random(3)
    pool = "".join(rng.choice("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ ") for _ in range(1 << 16))
    texts = []
    for _ in range(600_000):
        start = rng.randrange(len(pool) - 110)
        texts.append(pool[start:start + rng.randint(90, 110)])
    write_history(desktop, texts)

    def holding(typed):
        return sum(1 for text in texts if typed.upper() in text.upper())

    desktop.start_watching()
    desktop.tray_menu_choose((0x28, 0x0D))
    desktop.must("wait-visible", harness.MAIN_TITLE, 60000)
    desktop.must("wait-gone", "class:#32768", 10000)
    desktop.must("focus", harness.MAIN_TITLE)
    desktop.must("press", "ctrl", "F")
    for letter in "quo":
        desktop.must("type", letter)
        time.sleep(0.15)
    desktop.must("type", "\b\b\b")
    # type-timing waits up to a minute for the list view to hold exactly these rows.
    desktop.must("type-timing", harness.MAIN_TITLE, "x", holding("x"))
    desktop.must("type-timing", harness.MAIN_TITLE, "\b", len(texts))
    desktop.close_and_wait_exit(60)


harness.main(globals())

#!/usr/bin/env python3
"""The real exe at 150 % (144 DPI, set by LogPixels in the prefix, as a scaled laptop has it):
the main window and its "Clear All" button are 1.4 to 1.6 times their 96-DPI size, and a
screenshot of the history tab is kept."""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

# The main window and "Clear All" as designed, at 96 DPI.
WINDOW = (625, 565)
CLEAR_ALL = (90, 26)


def size_of(desktop, *target):
    code, out = desktop.driver("rect", *target)
    assert code == 0, f"no rectangle for {target}"
    left, top, width, height = (int(v) for v in out.split())
    return left, top, width, height


def test_main_window_at_144_dpi(desktop):
    desktop.start_watching()
    desktop.close_and_wait_exit()  # past the first run
    desktop.set_dpi(144)
    # Shown, on the history tab.
    with open(desktop.data_file("settings.stng"), "wb") as f:
        f.write(b"0\r\n0\r\n1\r\n65581\r\n0\r\n0\r\n")
    desktop.start_watching()
    desktop.must("wait-visible", harness.MAIN_TITLE, 10000)
    _, _, width, height = size_of(desktop, harness.MAIN_TITLE)
    left, top, button_width, button_height = size_of(desktop, harness.MAIN_TITLE, "Clear All")
    desktop.screenshot("history-tab-144-dpi")
    for name, (w, h), (dw, dh) in (("main window", (width, height), WINDOW),
                                   ("Clear All", (button_width, button_height), CLEAR_ALL)):
        assert 1.4 <= w / dw <= 1.6 and 1.4 <= h / dh <= 1.6, f"{name} is {w}x{h}, designed {dw}x{dh}"
    # The button lies inside the window, below the list: nothing of the tab is cut.
    wx, wy, _, _ = size_of(desktop, harness.MAIN_TITLE)
    assert left + button_width <= wx + width and top + button_height <= wy + height, \
        "Clear All lies outside the window"
    desktop.close_and_wait_exit()


harness.main(globals())

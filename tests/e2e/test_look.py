#!/usr/bin/env python3
"""How the real exe looks under Wine: the "#" column counts the rows, the main window's content
follows its size (remembered across a restart), the windows and quick paste turn dark when the
apps are set dark and light again when the setting changes, and screenshots at 96 and 144 DPI,
light and dark, are kept in the test's folder."""

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

PERSONALIZE = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Themes\Personalize"
HISTORY_LIST = "1"  # the history table is the main window's second list view
# Shown at start-up, on the history tab.
SHOWN_ON_HISTORY = b"0\r\n0\r\n1\r\n65581\r\n0\r\n0\r\n"


def numbers(out):
    return [int(v) for v in out.split()]


def list_rect(desktop, window, index):
    code, out = desktop.driver("list-rect", window, index)
    assert code == 0, f"no list view {index} in {window}"
    return numbers(out)


def mean_luminance(path, rect):
    """The mean luminance (0 black, 1 white) of a rectangle of a screenshot."""
    left, top, width, height = rect
    out = subprocess.run(["convert", path, "-crop", f"{width}x{height}+{left}+{top}", "+repage",
                          "-colorspace", "Gray", "-format", "%[fx:mean]", "info:"],
                         check=True, capture_output=True, text=True, timeout=60).stdout
    return float(out)


def set_apps_light(desktop, value):
    desktop.wine("reg", "add", PERSONALIZE, "/v", "AppsUseLightTheme", "/t", "REG_DWORD", "/d", str(value), "/f")


def start_on_history(desktop, dpi=None):
    """Past the first run, then started again shown on the history tab (at `dpi`)."""
    desktop.start_watching()
    desktop.close_and_wait_exit()
    if dpi:
        desktop.set_dpi(dpi)
    with open(desktop.data_file("settings.stng"), "wb") as f:
        f.write(SHOWN_ON_HISTORY)
    desktop.start_watching()
    desktop.must("wait-visible", harness.MAIN_TITLE, 10000)


def shown_numbers(desktop):
    code, out = desktop.driver("shown-rows", harness.MAIN_TITLE, 0)
    assert code == 0
    return out.split()


def test_row_numbers_and_a_window_that_grows(desktop):
    start_on_history(desktop)
    for text in ("alpha", "bravo", "charlie"):
        desktop.copy_from_x(text)
    assert harness.wait_until(lambda: shown_numbers(desktop) == ["1", "2", "3"], 5), shown_numbers(desktop)
    desktop.screenshot("numbers")

    before = list_rect(desktop, harness.MAIN_TITLE, HISTORY_LIST)
    desktop.must("move", harness.MAIN_TITLE, 40, 20, 1000, 700)
    assert harness.wait_until(
        lambda: list_rect(desktop, harness.MAIN_TITLE, HISTORY_LIST)[2] >= before[2] + 300, 5), \
        f"the history table stayed {list_rect(desktop, harness.MAIN_TITLE, HISTORY_LIST)}, was {before}"
    after = list_rect(desktop, harness.MAIN_TITLE, HISTORY_LIST)
    # 700 is 135 pixels more than the window's designed height: the table takes nearly all of it.
    assert after[3] >= before[3] + 120, f"the history table did not grow downwards: {before} -> {after}"
    # The buttons stay by the bottom edge, below the table.
    _, top, _, _ = numbers(desktop.must("rect", harness.MAIN_TITLE, "Clear All"))
    assert top >= after[1] + after[3], "Clear All lies over the table"
    desktop.screenshot("grown")
    desktop.close_and_wait_exit()

    # The size and place come back with the next start.
    desktop.start_watching()
    desktop.must("wait-visible", harness.MAIN_TITLE, 10000)
    left, top, width, height = numbers(desktop.must("rect", harness.MAIN_TITLE))
    assert (width, height) == (1000, 700), f"the window came back {width}x{height}"
    assert shown_numbers(desktop) == ["1", "2", "3"]
    desktop.close_and_wait_exit()


def shoot_main(desktop, label):
    desktop.must("focus", harness.MAIN_TITLE)
    time.sleep(0.5)
    return desktop.screenshot(label)


def tour(desktop, mode, label):
    """Screenshots of the Options tab, the About box and the editor, in the mode given."""
    desktop.tray_menu_choose((0x28, 0x28, 0x28, 0x0D))  # past the action: "Options"
    desktop.must("wait-visible", harness.MAIN_TITLE, 10000)
    shoot_main(desktop, f"options-{mode}-{label}")
    # By the keyboard, as a menu drawn by the program has no text other programs can read there.
    for vk in (0x79, 0x27, 0x0D, 0x0D):  # F10, Right to "Help", Enter opens it, Enter on "About..."
        desktop.must("key", vk, "down")
        desktop.must("key", vk, "up")
        time.sleep(0.2)
    desktop.must("wait-visible", "About...", 10000)
    time.sleep(0.5)
    desktop.screenshot(f"about-{mode}-{label}")
    desktop.must("press-button", "About...", "OK")
    desktop.must("wait-hidden", "About...", 10000)


def popup_luminance(desktop, name):
    harness.focus_notepad(desktop)
    desktop.must("press", "win", "insert")
    desktop.must("wait-visible", harness.QUICK_PASTE, 10000)
    time.sleep(0.5)
    shot = desktop.screenshot(name)
    value = mean_luminance(shot, list_rect(desktop, harness.QUICK_PASTE, "0"))
    desktop.must("key", "escape", "down")
    desktop.must("key", "escape", "up")
    desktop.must("wait-hidden", harness.QUICK_PASTE, 5000)
    return value


def dark_and_back(desktop, label, dpi=None):
    """With the apps dark: the history table and the popup's list are dark; after the value
    changes and the change is broadcast, light again. Screenshots of each window on the way."""
    desktop.start_watching()
    desktop.close_and_wait_exit()  # past the first run
    if dpi:
        desktop.set_dpi(dpi)
    set_apps_light(desktop, 0)
    with open(desktop.data_file("settings.stng"), "wb") as f:
        f.write(b"0\r\n0\r\n0\r\n65581\r\n0\r\n0\r\n")  # shown, on the actions tab
    harness.write_actions(desktop, [("1", "Greeting", "No", "Hello there", "V")])
    harness.start_with_notepad(desktop)
    for text in ("first entry", "second entry", "a third one"):
        desktop.copy_from_x(text)

    shoot_main(desktop, f"actions-dark-{label}")
    desktop.must("press-button", harness.MAIN_TITLE, "Add")
    desktop.must("wait-visible", "Add action", 10000)
    time.sleep(0.5)
    desktop.screenshot(f"editor-dark-{label}")
    desktop.must("press-button", "Add action", "Cancel")
    desktop.must("wait-hidden", "Add action", 10000)

    desktop.tray_menu_choose((0x28, 0x28, 0x0D), screenshot=f"tray-menu-dark-{label}")  # past the action: "Clipboard History"
    desktop.must("wait-visible", harness.MAIN_TITLE, 10000)
    shot = shoot_main(desktop, f"history-dark-{label}")
    dark = mean_luminance(shot, list_rect(desktop, harness.MAIN_TITLE, HISTORY_LIST))
    assert dark < 0.25, f"the history table's mean luminance is {dark:.2f} with the apps dark"
    popup = popup_luminance(desktop, f"quick-paste-dark-{label}")
    assert popup < 0.25, f"the popup's list has a mean luminance of {popup:.2f} with the apps dark"
    tour(desktop, "dark", label)

    set_apps_light(desktop, 1)
    desktop.must("setting-change", "ImmersiveColorSet")
    desktop.tray_menu_choose((0x28, 0x28, 0x0D))
    desktop.must("wait-visible", harness.MAIN_TITLE, 10000)
    shot = shoot_main(desktop, f"history-light-{label}")
    light = mean_luminance(shot, list_rect(desktop, harness.MAIN_TITLE, HISTORY_LIST))
    assert light > 0.6, f"the history table stayed dark ({light:.2f}) after the switch to light"
    popup = popup_luminance(desktop, f"quick-paste-light-{label}")
    assert popup > 0.6, f"the popup's list stayed dark ({popup:.2f}) after the switch to light"
    tour(desktop, "light", label)
    desktop.close_and_wait_exit()


def test_dark_when_the_apps_are_dark_at_96_dpi(desktop):
    dark_and_back(desktop, "96dpi")


def test_dark_when_the_apps_are_dark_at_144_dpi(desktop):
    dark_and_back(desktop, "144dpi", dpi=144)


harness.main(globals())

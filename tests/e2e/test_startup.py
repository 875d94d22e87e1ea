#!/usr/bin/env python3
"""Start-up and the end of the program: the exe in a fresh prefix, its main window, WM_CLOSE."""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402


def test_main_window_appears_and_wm_close_ends_the_program(desktop):
    desktop.start()
    desktop.wait_window(harness.MAIN_TITLE, 60000)
    # The first run shows the main window even when started to the tray.
    desktop.must("wait-visible", harness.MAIN_TITLE, 10000)
    desktop.screenshot("main-window")

    desktop.must("close", harness.MAIN_TITLE)
    assert desktop.wait_exit(5), "the program was still running 5 s after WM_CLOSE"
    assert desktop.process.returncode == 0, f"exit code {desktop.process.returncode}"


harness.main(globals())

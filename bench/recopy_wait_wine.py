#!/usr/bin/env python3
"""How long the window goes without answering while a 3840x2160 image is copied back from the
history (a double-click on its row), with the real exe under Wine and a window manager in the
display. Prints, for each re-copy, the driver's answer-gaps figures (the longest gap in ms).

Run it after the e2e set-up, from the repository's root:
    (cd build/native && ctest -R e2e_wine_prefix)
    python3 bench/recopy_wait_wine.py build/win build/native"""

import os
import sys
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import harness  # noqa: E402


def main():
    win, native = (os.path.abspath(p) for p in sys.argv[1:3])
    os.environ.setdefault("CM_E2E_EXE", os.path.join(win, "Clipboard_manager.exe"))
    os.environ.setdefault("CM_E2E_DRIVER", os.path.join(win, "cm_test_driver.exe"))
    os.environ.setdefault("CM_E2E_TEMPLATE", os.path.join(native, "e2e", "template-prefix"))
    os.environ.setdefault("CM_E2E_WORK", os.path.join(native, "bench"))
    with harness.Desktop("recopy_wait") as desktop:
        desktop.start_watching()
        desktop.close_and_wait_exit()  # past the first run
        desktop.start_watching()
        desktop.tray_menu_choose((0x28, 0x0D))  # "Clipboard History"
        desktop.must("wait-visible", harness.MAIN_TITLE, 10000)
        desktop.must("set-clipboard-dib", 3840 * 3 * 2160, 3840)
        time.sleep(3)  # its PNG is made
        desktop.must("set-clipboard", "text on top")
        time.sleep(2)
        for k in range(2):
            found = {}
            watch = threading.Thread(target=lambda: found.setdefault(
                "gaps", desktop.driver("answer-gaps", harness.MAIN_TITLE, "3", raw=True)[1] or b""))
            watch.start()
            time.sleep(0.5)
            desktop.must("double-click-row", harness.MAIN_TITLE, 1 + k)  # the stored image's row
            watch.join()
            print(f"re-copy {k + 1}: " + " ".join(found["gaps"].decode(errors="replace").split()), flush=True)
            time.sleep(2)
        desktop.close_and_wait_exit()


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""How long the window goes without answering while a 3840x2160 image is copied back from the
history (a double-click on its row), with the real exe under Wine and a window manager in the
display. Each round puts a text on top and double-clicks the stored image's row below it. Prints,
for each re-copy, when it was on the clipboard and the driver's answer-gaps figures over 4 s (the
longest gap in ms); then
the same while a Windows program reads the re-copied image's CF_DIB, which has the program put
the bitmap on the clipboard only then.

Run it after the e2e set-up, from the repository's root:
    (cd build/native && ctest -R e2e_wine_prefix)
    python3 bench/recopy_wait_wine.py build/win build/native [ROUNDS]"""

import os
import shutil
import sys
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import harness  # noqa: E402


def journal_holds(desktop, text):
    path = desktop.data_file("clipboard_history.hstr.journal")
    return os.path.exists(path) and text.encode("utf-16-le") in harness.read_bytes(path)


def select_row(desktop, row):
    """A click that arrives while Wine is still activating the window can get lost: clicked again
    until the row is selected."""
    for _ in range(5):
        desktop.must("click-row", harness.MAIN_TITLE, row, "none")
        if desktop.driver("selected-rows", harness.MAIN_TITLE)[1].split() == [str(row)]:
            return
        time.sleep(0.3)
    raise SystemExit(f"row {row} could not be selected")


def main():
    win, native = (os.path.abspath(p) for p in sys.argv[1:3])
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 3
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
        # Its PNG is made and stored: the re-copies are of a stored image.
        items = desktop.data_file("clipboard_history.items")
        if not harness.wait_until(lambda: os.path.isdir(items) and os.listdir(items), 120):
            raise SystemExit("the screenshot's PNG was not stored")

        def watched(label, action):
            """The driver's answer-gaps over 4 s from just before `action`."""
            found = {}
            watch = threading.Thread(target=lambda: found.setdefault(
                "gaps", desktop.driver("answer-gaps", harness.MAIN_TITLE, "4", raw=True)[1] or b""))
            watch.start()
            time.sleep(0.5)
            action()
            watch.join()
            print(f"{label}: " + " ".join(found["gaps"].decode(errors="replace").split()), flush=True)

        for k in range(rounds):
            # A text on top: the image is row 1 each time.
            desktop.must("set-clipboard", f"text {k + 1}")
            if not harness.wait_until(lambda: journal_holds(desktop, f"text {k + 1}"), 30):
                raise SystemExit("the text was not recorded")
            select_row(desktop, 1)
            time.sleep(1)
            sequence = desktop.must("clipboard-sequence").strip()

            def recopy():
                start = time.monotonic()
                desktop.must("double-click-row", harness.MAIN_TITLE, 1)
                desktop.must("wait-clipboard-change", sequence, 3000)
                print(f"re-copy {k + 1} on the clipboard {1000 * (time.monotonic() - start):.0f} ms after the "
                      f"double-click", flush=True)

            watched(f"re-copy {k + 1}", recopy)
            time.sleep(1)
        tool = os.path.join(os.path.dirname(desktop.driver_source), "cm_format_tool.exe")
        if os.path.exists(tool):
            shutil.copy2(tool, os.path.join(desktop.run_dir, "cm_format_tool.exe"))
            watched("a program reads CF_DIB",
                    lambda: desktop.launch(os.path.join(desktop.run_dir, "cm_format_tool.exe"), "time", "8"))
        desktop.close_and_wait_exit()


if __name__ == "__main__":
    main()

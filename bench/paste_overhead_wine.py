#!/usr/bin/env python3
"""The hotkey paste of the real Clipboard_manager.exe under Wine: how much longer than its 250 ms
of waits (200 ms before its keystroke, 50 ms after it) a paste takes from the key press to the
restored clipboard, with a text on the clipboard and then with a 4 MB image. It measures and
prints; it judges nothing but that each paste gave the clipboard back.
Run it after the e2e set-up, from the repository's root:
    (cd build/native && ctest -R e2e_wine_prefix)
    python3 bench/paste_overhead_wine.py build/win build/native [PRESSES]
PRESSES defaults to 10 for each of the two."""

import os
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import harness  # noqa: E402

GREETING = "Hello from the Ctrl+V action"


def main():
    win_build, native_build = sys.argv[1], sys.argv[2]
    presses = int(sys.argv[3]) if len(sys.argv) > 3 else 10
    os.environ.update(CM_E2E_EXE=os.path.abspath(os.path.join(win_build, harness.EXE_NAME)),
                      CM_E2E_DRIVER=os.path.abspath(os.path.join(win_build, harness.DRIVER_NAME)),
                      CM_E2E_TEMPLATE=os.path.abspath(os.path.join(native_build, "e2e", "template-prefix")),
                      CM_E2E_WORK=os.path.abspath(os.path.join(native_build, "e2e")))
    with harness.Desktop("bench.paste_overhead") as desktop:
        harness.write_actions(desktop, [
            ["1", "Greeting", harness.hotkey_text(desktop, "ctrl", "alt", "F5"), GREETING, "V"]])
        harness.start_with_notepad(desktop)
        print("text on the clipboard:", flush=True)
        desktop.copy_from_x("copied before the timing")
        print(desktop.must("paste-timing", "ctrl+alt", "F5", presses), end="", flush=True)
        print("a 4 MB image on the clipboard:", flush=True)
        desktop.must("set-clipboard-dib", 4 * 1024 * 1024)
        print(desktop.must("paste-timing", "ctrl+alt", "F5", presses, "dib"), end="", flush=True)
        desktop.close_and_wait_exit()


if __name__ == "__main__":
    main()

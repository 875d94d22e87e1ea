#!/usr/bin/env python3
"""How many of 200 copies made in X (xclip, as a Linux program copies) at a steady pace the real
exe records under Wine, with a window manager in the display, at 10, 30, 50, 100 and 250 ms
apart. Prints, for each pace, the count recorded and the copies missed.

Run it after the e2e set-up, from the repository's root:
    (cd build/native && ctest -R e2e_wine_prefix)
    python3 bench/capture_pace_wine.py build/win build/native [COPIES] [PACE_MS...]"""

import os
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import harness  # noqa: E402


def history_texts(path):
    data = harness.read_bytes(path)[2:].decode("utf-16-le", errors="replace")
    return [line.split(",", 2)[2] for line in data.split("\r\n") if line.count(",") >= 2]


def run_pace(desktop, copies, pace_ms):
    desktop.start_watching()
    desktop.copy_from_x("start")
    texts = [f"pace {pace_ms} copy {i}" for i in range(copies)]
    started = time.monotonic()
    for i, text in enumerate(texts):
        # Each copy on its own beat, whatever the last one cost to start.
        delay = started + i * pace_ms / 1000 - time.monotonic()
        if delay > 0:
            time.sleep(delay)
        subprocess.Popen(["xclip", "-selection", "clipboard", "-i"], stdin=subprocess.PIPE, env=desktop.env,
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).communicate(text.encode(), timeout=30)
    time.sleep(3)
    desktop.close_and_wait_exit()
    recorded = set(history_texts(desktop.data_file("clipboard_history.hstr")))
    missed = [i for i, text in enumerate(texts) if text not in recorded]
    print(f"{pace_ms:4} ms apart: {copies - len(missed)} of {copies} recorded"
          + (f"; missed copies {missed[:20]}{' ...' if len(missed) > 20 else ''}" if missed else ""), flush=True)
    os.remove(desktop.data_file("clipboard_history.hstr"))


def main():
    win, native = (os.path.abspath(p) for p in sys.argv[1:3])
    copies = int(sys.argv[3]) if len(sys.argv) > 3 else 200
    paces = [int(p) for p in sys.argv[4:]] or [10, 30, 50, 100, 250]
    os.environ.setdefault("CM_E2E_EXE", os.path.join(win, "Clipboard_manager.exe"))
    os.environ.setdefault("CM_E2E_DRIVER", os.path.join(win, "cm_test_driver.exe"))
    os.environ.setdefault("CM_E2E_TEMPLATE", os.path.join(native, "e2e", "template-prefix"))
    os.environ.setdefault("CM_E2E_WORK", os.path.join(native, "bench"))
    with harness.Desktop("capture_pace") as desktop:
        desktop.start_watching()
        desktop.close_and_wait_exit()  # past the first run
        for pace in paces:
            run_pace(desktop, copies, pace)


if __name__ == "__main__":
    main()

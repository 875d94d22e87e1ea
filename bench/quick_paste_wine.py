#!/usr/bin/env python3
"""Quick paste of the real Clipboard_manager.exe under Wine with a large history: the time from
the hotkey's key going down until the popup is painted over notepad, and from Enter in the popup
until notepad holds the entry's text, beside an Enter typed into notepad itself.
Run it after the e2e set-up, from the repository's root:
    (cd build/native && ctest -R e2e_wine_prefix)
    python3 bench/quick_paste_wine.py build/win build/native [ENTRIES] [PRESSES]
ENTRIES defaults to 1,000,000 texts of about 100 characters, PRESSES to 10. With
CM_BENCH_HUGE_MB=N in the environment the four newest entries are texts of N million characters
each, which the popup shows the start of."""

import os
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
sys.path.insert(0, os.path.join(ROOT, "bench"))
import harness  # noqa: E402
from large_history_wine import history_bytes  # noqa: E402

POPUP = "Quick paste"


def main():
    win_build, native_build = sys.argv[1], sys.argv[2]
    entries = int(sys.argv[3]) if len(sys.argv) > 3 else 1_000_000
    presses = int(sys.argv[4]) if len(sys.argv) > 4 else 10
    os.environ.update(CM_E2E_EXE=os.path.abspath(os.path.join(win_build, harness.EXE_NAME)),
                      CM_E2E_DRIVER=os.path.abspath(os.path.join(win_build, harness.DRIVER_NAME)),
                      CM_E2E_TEMPLATE=os.path.abspath(os.path.join(native_build, "e2e", "template-prefix")),
                      CM_E2E_WORK=os.path.abspath(os.path.join(native_build, "e2e")))
    data, _ = history_bytes(entries)
    huge = int(os.environ.get("CM_BENCH_HUGE_MB", "0"))
    if huge:
        line = "a huge entry " + "0123456789 abcdefghij " * (huge * 1_000_000 // 22)
        rows = "".join(f"0,12/9/2026 9:30:0{k} AM,{k} {line}\r\n" for k in range(4))
        data = data[:2] + rows.encode("utf-16-le") + data[2:]
    print(f"history file: {entries} entries{f', four of {huge} million characters' if huge else ''}, "
          f"{len(data) / 2**20:.1f} MiB", flush=True)
    with harness.Desktop("bench.quick_paste") as desktop:
        with open(desktop.data_file("clipboard_history.hstr"), "wb") as f:
            f.write(data)
        # Three lines: the quick-paste hotkey is the default, Win+Insert.
        with open(desktop.data_file("settings.stng"), "wb") as f:
            f.write(b"0\r\n-1\r\n0\r\n")
        desktop.wine("reg", "add", r"HKCU\Software\Corvilane\Clipboard_manager", "/v", "fr", "/d", "1", "/f")
        harness.start_with_notepad(desktop)
        print(desktop.must("popup-timing", "win", "insert", POPUP, presses).strip(), flush=True)
        for run in range(1, 4):
            desktop.must("focus", harness.NOTEPAD)
            # The same Enter typed into notepad itself: what one key takes to reach a program
            # under Wine on this machine now; the paste's keystroke makes that trip once more.
            out = desktop.must("enter-timing", harness.NOTEPAD).strip()
            print(f"baseline {run}: {out.split(' (')[0]}", flush=True)
            desktop.must("press", "win", "insert")
            desktop.must("wait-visible", POPUP, 10000)
            desktop.must("key", "down", "down")
            desktop.must("key", "down", "up")
            out = desktop.must("enter-timing", harness.NOTEPAD).strip()
            print(f"paste {run}: {out} (its waits: at least 10 ms, then until the keys are up, "
                  f"looked at every 10 ms)", flush=True)
        desktop.close_and_wait_exit(120)


if __name__ == "__main__":
    main()

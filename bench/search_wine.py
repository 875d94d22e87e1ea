#!/usr/bin/env python3
"""The real Clipboard_manager.exe under Wine with a history of a million entries: the time from
each keystroke in the history search box to the table showing, and having painted, the matching
rows, typed letter by letter 150 ms apart as a user types (the driver types each case's keys
itself, keeping the pace). A word growing letter by letter, its letters taken back one Backspace
at a time, a common single letter, nine letters pasted in quick succession, a word found
nowhere, and quick Backspaces after a word followed by a letter (which must show exactly the
rows that hold that letter). The desktop's Xvfb display is run by openbox,
as every e2e desktop is. With "popup" the same keys go to the quick-paste popup's filter box,
opened over notepad, and the times are until its list holds the matching rows. CM_BENCH_PACE_MS
in the environment sets another time between keystrokes, for a faster typist, and
CM_BENCH_RUN_GAP_MS the time between the keys of a run (10 ms by default, faster than any
typist; a Backspace held down repeats every 33 ms at Windows' default rate).

Run it after the e2e set-up, from the repository's root:
    (cd build/native && ctest -R e2e_wine_prefix)
    python3 bench/search_wine.py build/win build/native [ENTRIES] [popup]
ENTRIES defaults to 1,000,000 texts of about 100 characters."""

import os
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
sys.path.insert(0, os.path.join(ROOT, "bench"))
import harness  # noqa: E402
from large_history_wine import cpu_seconds, exe_pid, use_builds  # noqa: E402
import random  # noqa: E402
import time  # noqa: E402

LETTERS = "abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.;\u00e9"


def texts(entries):
    rng = random.Random(7)
    return ["".join(rng.choice(LETTERS) for _ in range(rng.randint(90, 110))) for _ in range(entries)]


def matching(entries, typed):
    words = typed.upper().split()
    return sum(1 for text in entries if all(word in text.upper() for word in words))


def main():
    win_build, native_build = sys.argv[1], sys.argv[2]
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 1_000_000
    popup = len(sys.argv) > 4 and sys.argv[4] == "popup"
    pace = int(os.environ.get("CM_BENCH_PACE_MS", "150")) / 1000
    gap = int(os.environ.get("CM_BENCH_RUN_GAP_MS", "10"))
    use_builds(win_build, native_build)
    entries = texts(count)
    with harness.Desktop("bench.search") as desktop:
        lines = "".join(f"0,12/8/2026 9:30:00 AM,{text}\r\n" for text in entries)
        with open(desktop.data_file("clipboard_history.hstr"), "wb") as f:
            f.write(b"\xff\xfe" + lines.encode("utf-16-le"))
        if popup:
            # Three lines: the quick-paste hotkey is the default, Win+Insert.
            with open(desktop.data_file("settings.stng"), "wb") as f:
                f.write(b"0\r\n-1\r\n0\r\n")
            desktop.wine("reg", "add", r"HKCU\Software\Corvilane\Clipboard_manager", "/v", "fr", "/d", "1", "/f")
            harness.start_with_notepad(desktop)
            desktop.must("press", "win", "insert")
            desktop.must("wait-visible", harness.QUICK_PASTE, 60000)
            window = harness.QUICK_PASTE
        else:
            desktop.start_watching()
            desktop.tray_menu_choose((0x28, 0x0D))  # the window on the history tab
            desktop.must("wait-visible", harness.MAIN_TITLE, 60000)
            desktop.must("wait-gone", "class:#32768", 10000)
            desktop.must("focus", harness.MAIN_TITLE)
            desktop.must("press", "ctrl", "F")
            window = harness.MAIN_TITLE
        print(f"{count} entries of 90 to 110 characters, {1000 * pace:.0f} ms between keystrokes; "
              f"load average {os.getloadavg()[0]:.1f}", flush=True)

        # Each case starts from an empty box; a key is a letter, a run of letters typed in quick
        # succession (a paste), or Backspaces (typed as the character they make, which the box
        # takes as the key).
        cases = [
            ("letters added", ["q", "u", "o", "k", "k", "a"]),
            ("Backspace", ["\b", "\b", "\b", "\b", "\b", "\b"]),
            ("a common single letter", ["x", "\b"]),
            ("nine letters pasted", ["sunflower", "\b" * 9]),
            ("a word found nowhere", ["zqxjv", "\b" * 5]),
            ("quick Backspaces, then a letter", ["q", "u", "o", "\b\b\b", "x", "\b"]),
        ]
        typed = ""
        wrong = 0
        for name, keys in cases:
            print(f"-- {name}", flush=True)
            # The rows each keystroke must end with, worked out before any key is typed: the
            # driver then types the case's keys in one run at the pace, measuring each.
            steps = []
            for key in keys:
                typed = typed[:-len(key)] if key.startswith("\b") else typed + key
                steps.append((key, typed, matching(entries, typed) if typed else count))
            pid = exe_pid(desktop.exe_path)
            before = cpu_seconds(pid)
            args = [str(a) for key, _, rows in steps for a in (key, rows)]
            code, out = desktop.driver("type-sequence", window, str(int(1000 * pace)), str(gap), *args)
            if code != 0:
                wrong += 1
            for (key, typed, rows), line in zip(steps, out.splitlines()):
                what = f"{len(key)} backspaces to {typed!r}" if key.startswith("\b") else f"{typed!r}"
                share = f" ({100 * rows / count:.0f} % of the entries)" if len(typed) == 1 else ""
                # The driver sends the keys of a run `gap` ms apart, and its clock starts at the
                # first: the last one goes `gap` ms per key before it after that.
                after = ""
                if len(key) > 1 and " ms to " in line:
                    shown = float(line.split(" ms to ")[0])
                    after = f" ({shown - gap * (len(key) - 1):.1f} ms after the last key)"
                print(f"{what}{share}: {line.strip()}{after}", flush=True)
            print(f"the program's processor time for the case: {1000 * (cpu_seconds(pid) - before):.0f} ms",
                  flush=True)
            time.sleep(1)
        if wrong:
            print(f"{wrong} keystrokes did not end with the matching rows", flush=True)
        desktop.close_and_wait_exit(60)


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""The real Clipboard_manager.exe under Wine starting with an actions file of many rows, each
with a hotkey to read: the time from launch until the window answers with the actions table
filled, the processor time it took, and whether the file is left with every row it had.

Run it after the e2e set-up, from the repository's root:
    (cd build/native && ctest -R e2e_wine_prefix)
    python3 bench/many_actions_wine.py build/win build/native [ROWS [RUNS]]
ROWS defaults to 100,000, RUNS to 2."""

import os
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
sys.path.insert(0, os.path.join(ROOT, "bench"))
import harness  # noqa: E402
from large_history_wine import cpu_seconds, exe_pid, use_builds  # noqa: E402

SHOWN = 100  # the rows the program takes; the rest stay in the file


def main():
    win_build, native_build = sys.argv[1], sys.argv[2]
    rows = int(sys.argv[3]) if len(sys.argv) > 3 else 100_000
    runs = int(sys.argv[4]) if len(sys.argv) > 4 else 2
    use_builds(win_build, native_build)
    with harness.Desktop("bench.many_actions") as desktop:
        desktop.start_watching()
        desktop.close_and_wait_exit()  # past the first run
        keys = [harness.hotkey_text(desktop, "ctrl", "alt", f"F{n}") for n in range(1, 13)]
        harness.write_actions(desktop, [[str(k + 1), f"Action {k + 1}", keys[k % len(keys)], f"text {k + 1}", "V"]
                                        for k in range(rows)])
        path = desktop.data_file("actions.cnfg")
        written = harness.read_bytes(path)
        exe = desktop.windows_path(desktop.exe_path)
        print(f"{rows} actions ({len(written) / 2**20:.1f} MiB), load average {os.getloadavg()[0]:.1f}", flush=True)
        for run in range(runs):
            out = desktop.must("launch-timing", exe, harness.MAIN_TITLE, SHOWN)
            pid = exe_pid(desktop.exe_path)
            print(f"run {run + 1}: {out.strip()}; processor {cpu_seconds(pid):.2f} s", flush=True)
            desktop.must("close", harness.MAIN_TITLE)
            assert harness.wait_until(lambda: exe_pid(desktop.exe_path) is None, 120), "the program did not end"
            kept = harness.read_bytes(path) == written
            print(f"run {run + 1}: the file {'holds every row as it was' if kept else 'CHANGED'}", flush=True)


if __name__ == "__main__":
    main()

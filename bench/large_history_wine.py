#!/usr/bin/env python3
"""The real Clipboard_manager.exe under Wine with a large history: how long until its window
answers after launch (with an empty history and then with the large one, in the same run),
how long until it answers the log-off query (which writes the whole
history), and its peak resident memory against the history file's size.

Run it after the e2e set-up, from the repository's root:
    (cd build/native && ctest -R e2e_wine_prefix)
    python3 bench/large_history_wine.py build/win build/native [ENTRIES] [RUNS]
ENTRIES defaults to 1,000,000 texts of about 100 characters, RUNS to 3. With CM_BENCH_SEALED=1
in the environment the files are sealed (settings line 7 at -1): a first start, not timed,
seals the history file, and the runs then start from the sealed file. With CM_BENCH_IMAGES=N,
N of the entries are images, each with its item in the store."""

import os
import random
import re
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import harness  # noqa: E402

LETTERS = "abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.;\u00e9"


def history_bytes(entries, images=0):
    """A history file as the program leaves it at a close after a start: its rows numbered from 1
    (captures put on top in a run carry "#" 0 until the next start). With `images`, that many
    rows spread through it are image entries; returns the file and their items' names."""
    rng = random.Random(7)
    lines = []
    names = []
    every = entries // images if images else 0
    for number in range(1, entries + 1):
        if every and number % every == 0 and len(names) < images:
            names.append(f"{rng.getrandbits(256):064x}.png")
            lines.append(f"{number},12/8/2026 9:30:00 AM,[Image 1600\u00d71000],items1:{names[-1]}\r\n")
            continue
        text = "".join(rng.choice(LETTERS) for _ in range(rng.randint(90, 110)))
        lines.append(f"{number},12/8/2026 9:30:00 AM,{text}\r\n")
    return b"\xff\xfe" + "".join(lines).encode("utf-16-le"), names


def exe_pid(exe_path):
    """The Linux process that runs this copy of Clipboard_manager.exe (other desktops may run
    theirs)."""
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                # Started by another Wine program, it has the Windows path (Z:\\...) in its command line.
                line = f.read().decode("latin-1").replace("\\", "/").lower()
                if exe_path.lower() in line:
                    return int(pid)
        except OSError:
            continue
    return None


def status_kb(pid, field):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    return 0


def cpu_seconds(pid):
    """The processor time the process has used so far, user and system; on a busy machine the
    wall-clock figures grow with the load, this one does not."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def use_builds(win_build, native_build):
    """Points the harness at the exe and driver of the MinGW build and the e2e set-up of the
    native build."""
    os.environ.update(CM_E2E_EXE=os.path.abspath(os.path.join(win_build, harness.EXE_NAME)),
                      CM_E2E_DRIVER=os.path.abspath(os.path.join(win_build, harness.DRIVER_NAME)),
                      CM_E2E_TEMPLATE=os.path.abspath(os.path.join(native_build, "e2e", "template-prefix")),
                      CM_E2E_WORK=os.path.abspath(os.path.join(native_build, "e2e")))


def main():
    win_build, native_build = sys.argv[1], sys.argv[2]
    entries = int(sys.argv[3]) if len(sys.argv) > 3 else 1_000_000
    runs = int(sys.argv[4]) if len(sys.argv) > 4 else 3
    use_builds(win_build, native_build)
    images = int(os.environ.get("CM_BENCH_IMAGES", "0"))
    data, names = history_bytes(entries, images)
    print(f"history file: {entries} entries ({len(names)} of them images), {len(data) / 2**20:.1f} MiB", flush=True)
    with harness.Desktop("bench.large_history") as desktop:
        path = desktop.data_file("clipboard_history.hstr")
        with open(path, "wb") as f:
            f.write(data)
        # Each image entry's item: a small picture under its own name, as the store keeps them.
        if names:
            os.makedirs(desktop.data_file("clipboard_history.items"))
            for name in names:
                with open(desktop.data_file(os.path.join("clipboard_history.items", name)), "wb") as f:
                    f.write(b"\x89PNG\r\n\x1a\n" + name.encode())
        # The window stays hidden, as at a start at log-on: no painting of the list. Not a first
        # run either, which would open the maker's page.
        sealed = os.environ.get("CM_BENCH_SEALED") == "1"
        with open(desktop.data_file("settings.stng"), "wb") as f:
            f.write(b"0\r\n-1\r\n0\r\n65581\r\n0\r\n0\r\n-1\r\n" if sealed else b"0\r\n-1\r\n0\r\n")
        desktop.wine("reg", "add", r"HKCU\Software\Corvilane\Clipboard_manager", "/v", "fr", "/d", "1", "/f")
        exe = desktop.windows_path(desktop.exe_path)
        if sealed:
            desktop.must("launch-timing", exe, harness.MAIN_TITLE, entries)
            desktop.must("close", harness.MAIN_TITLE)
            assert harness.wait_until(lambda: exe_pid(desktop.exe_path) is None, 120), "the program did not end"
            assert harness.read_bytes(path).startswith(b"\x89CMSEAL"), "the history file was not sealed"
            print(f"sealed history file: {os.path.getsize(path) / 2**20:.1f} MiB", flush=True)
        journal = path + ".journal"
        for run in range(1, runs + 1):
            # An empty history first, in the same prefix, as the measure the large one is held to.
            os.replace(path, path + ".aside")
            empty = desktop.must("launch-timing", exe, harness.MAIN_TITLE, 0)
            desktop.must("close", harness.MAIN_TITLE)
            assert harness.wait_until(lambda: exe_pid(desktop.exe_path) is None, 120), "the program did not end"
            for leftover in (path, journal):
                if os.path.exists(leftover):
                    os.remove(leftover)
            os.replace(path + ".aside", path)
            print(f"run {run}: empty history: {empty.strip()}", flush=True)
            # Started twice: once to read the memory after start-up, once timed through the log-off.
            out = desktop.must("launch-timing", exe, harness.MAIN_TITLE, entries)
            pid = exe_pid(desktop.exe_path)
            # The search signatures are made once the rows are in: the peak is read once the
            # process has stopped working (its processor time stays the same for a second).
            settle_start = cpu_seconds(pid)
            last = settle_start
            for _ in range(60):
                time.sleep(1)
                now = cpu_seconds(pid)
                if now - last < 0.05:
                    break
                last = now
            peak = status_kb(pid, "VmHWM")
            resident = status_kb(pid, "VmRSS")
            cpu = cpu_seconds(pid)
            desktop.must("close", harness.MAIN_TITLE)
            assert harness.wait_until(lambda: exe_pid(desktop.exe_path) is None, 120), "the program did not end"
            print(f"run {run}: {entries} entries: {out.strip()}; peak resident after the signing "
                  f"{peak / 1024:.0f} MiB = {peak * 1024 / len(data):.2f} x the file, resident {resident / 1024:.0f} MiB, processor time {cpu:.2f} s; "
                  f"load average {os.getloadavg()[0]:.1f}", flush=True)
            timed = desktop.must("launch-timing", exe, harness.MAIN_TITLE, entries, "log-off")
            print(f"run {run}: {timed.strip()}", flush=True)
            # Nothing ends the process after a log-off here, as Windows would.
            desktop.must("close", harness.MAIN_TITLE)
            assert harness.wait_until(lambda: exe_pid(desktop.exe_path) is None, 120), "the program did not end"


if __name__ == "__main__":
    main()

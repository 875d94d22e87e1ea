#!/usr/bin/env python3
"""How long a copy on one computer takes to reach the other's history, with the real exe under
Wine: two programs, each on a display and in a prefix of its own, syncing through one folder
both reach ("folder"), or through two folders that two Syncthing instances on 127.0.0.1 keep
alike ("syncthing"). Each round copies a new text in A's display (xclip) and reads when it shows
in A's history table and in B's, by the system clock, through a driver on each desktop that
watches the table every 50 ms. Prints each round and the median and worst of each.

Run it after the e2e set-up, from the repository's root:
    (cd build/native && ctest -R e2e_wine_prefix)
    python3 bench/sync_wine.py build/win build/native [ROUNDS] [folder|syncthing ...]"""

import os
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import harness  # noqa: E402
import sync_harness as sh  # noqa: E402


def watch_row(desktop, text, seconds=60):
    """Starts a driver that waits for `text` in the desktop's history table; it prints when."""
    return subprocess.Popen(
        ["wine", os.path.join(desktop.run_dir, harness.DRIVER_NAME), "wait-row", harness.MAIN_TITLE,
         str(sh.HISTORY_LIST), str(sh.TEXT_COLUMN), text, str(seconds * 1000)],
        cwd=desktop.run_dir, env=desktop.env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
        stderr=subprocess.DEVNULL)


def seen_at(watcher, what):
    out, _ = watcher.communicate(timeout=120)
    if watcher.returncode != 0:
        raise SystemExit(f"{what}: not seen; the table held {out.decode('utf-8', 'replace').splitlines()}")
    return int(out.strip()) / 1000


def rounds(a, b, count, label):
    captured, arrived = [], []
    for k in range(count):
        text = f"{label} round {k} {time.time():.3f}"
        watchers = (watch_row(a, text), watch_row(b, text))
        time.sleep(1.5)  # both drivers started and watching
        copied = time.time()
        a.set_x_clipboard(text)
        at_a = seen_at(watchers[0], f"{text!r} in A's table")
        at_b = seen_at(watchers[1], f"{text!r} in B's table")
        captured.append((at_a - copied) * 1000)
        arrived.append((at_b - copied) * 1000)
        print(f"  {label} {k}: in A's table {captured[-1]:6.0f} ms, in B's table {arrived[-1]:6.0f} ms "
              f"(A to B {arrived[-1] - captured[-1]:6.0f} ms)", flush=True)
        # Apart by more than the programs' check of the folder, so each round starts afresh.
        time.sleep(1.3)
    for name, values in (("copy to A's table", captured), ("copy to B's table", arrived)):
        print(f"{label}: {name}: median {statistics.median(values):.0f} ms, worst {max(values):.0f} ms, "
              f"best {min(values):.0f} ms over {len(values)}", flush=True)


def pair(a, b, folder_a, folder_b, wait_delivery=None):
    sh.start_on_options(a)
    sh.start_on_options(b)
    code = sh.start_sync(a, sh.windows_path(folder_a))
    if wait_delivery:
        wait_delivery()
    sh.start_sync(b, sh.windows_path(folder_b), code)
    a.copy_from_x("warm-up")
    sh.wait_row(b, "warm-up", 60)


def main():
    win, native = (os.path.abspath(p) for p in sys.argv[1:3])
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 10
    modes = sys.argv[4:] or ["folder", "syncthing"]
    os.environ.setdefault("CM_E2E_EXE", os.path.join(win, "Clipboard_manager.exe"))
    os.environ.setdefault("CM_E2E_DRIVER", os.path.join(win, "cm_test_driver.exe"))
    os.environ.setdefault("CM_E2E_TEMPLATE", os.path.join(native, "e2e", "template-prefix"))
    os.environ.setdefault("CM_E2E_WORK", os.path.join(native, "bench"))
    for mode in modes:
        with harness.Desktop(f"sync_wine_{mode}") as a, sh.other_computer(a) as b:
            if mode == "folder":
                shared = os.path.join(a.dir, "shared")
                os.makedirs(shared)
                pair(a, b, shared, shared)
                rounds(a, b, count, mode)
            else:
                with sh.SyncthingPair(os.path.join(a.dir, "syncthing")) as engine:
                    engine.wait_connected(60)

                    def delivered():
                        own = os.path.join(engine.folders["a"], "Clipboard manager sync")
                        check = next(n for n in os.listdir(own) if n.endswith(".cmcheck"))
                        engine.wait_file("b", os.path.join("Clipboard manager sync", check), 60)
                    pair(a, b, engine.folders["a"], engine.folders["b"], delivered)
                    rounds(a, b, count, mode)


if __name__ == "__main__":
    main()

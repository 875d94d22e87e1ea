#!/usr/bin/env python3
"""What the check for a program kept out (the clipboard owner's process and its file name)
costs each capture, on the Windows desktop under Wine, with the clipboard owned by a window of
another process (a small copying program) and by one of the benchmark's own.

Run it after the e2e set-up, from the repository's root:
    (cd build/native && ctest -R e2e_wine_prefix)
    python3 bench/owner_check_wine.py build/win build/native [ROUNDS]"""

import os
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import harness  # noqa: E402


def main():
    win, native = (os.path.abspath(p) for p in sys.argv[1:3])
    rounds = sys.argv[3] if len(sys.argv) > 3 else "20000"
    os.environ.setdefault("CM_E2E_EXE", os.path.join(win, "Clipboard_manager.exe"))
    os.environ.setdefault("CM_E2E_DRIVER", os.path.join(win, "cm_test_driver.exe"))
    os.environ.setdefault("CM_E2E_TEMPLATE", os.path.join(native, "e2e", "template-prefix"))
    os.environ.setdefault("CM_E2E_WORK", os.path.join(native, "bench"))
    bench = os.path.join(win, "cm_owner_check_bench.exe")
    writer = os.path.join(win, "cm_clipboard_writer.exe")
    with harness.Desktop("owner_check") as desktop:
        holder = subprocess.Popen(["wine", writer, "held by another program", "60000"], env=desktop.env,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(3)  # the writer has copied
        for label in ("another process", "this process"):
            result = subprocess.run(["wine", bench, rounds], env=desktop.env, capture_output=True, text=True,
                                    timeout=300)
            print(result.stdout.strip() or f"{label}: failed ({result.returncode}) {result.stderr[-300:]}")
            if holder.poll() is None:
                holder.kill()
                holder.wait()


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""A huge text copy reaching the real Clipboard_manager.exe under Wine: the longest the
program's window goes without an answer while the copy is read and recorded, how many waits
passed 100 and 200 ms, the time until the journal holds it, and the memory the copy adds to the
program at its peak. Then what Wine's own transfer of that text from X costs a Windows program
that does nothing else (cm_format_tool reading CF_UNICODETEXT once), so that the two can be
told apart. A desktop's Xvfb display is run by openbox, as every e2e desktop is.

Run it after the e2e set-up, from the repository's root:
    (cd build/native && ctest -R e2e_wine_prefix)
    python3 bench/huge_copy_wine.py build/win build/native [MB ... | png4k | dib4k]
MB defaults to 20 and 100: the copy's size in megabytes of X text (one byte a character, so
twice that in UTF-16 on the Windows side). png4k copies a 3840x2160 PNG through X; dib4k has a
Windows program (cm_format_tool) put a 3840x2160 CF_DIB on the clipboard: the same waits, and
the time until the picture is stored."""

import glob
import os
import shutil
import struct
import sys
import threading
import time
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
sys.path.insert(0, os.path.join(ROOT, "bench"))
import harness  # noqa: E402
from large_history_wine import exe_pid, status_kb, use_builds  # noqa: E402

TOOL = "cm_format_tool.exe"
JOURNAL = "clipboard_history.hstr.journal"
PROBE_SECONDS = 40


def text_of(mb, mark):
    line = (mark + " the quick brown fox jumps over the lazy dog 0123456789\n").encode()
    return (line * (mb * 1024 * 1024 // len(line) + 1))[:mb * 1024 * 1024]


def journal_size(desktop):
    path = desktop.data_file(JOURNAL)
    return os.path.getsize(path) if os.path.exists(path) else 0


def measure(desktop, mb):
    desktop.start_watching()
    pid = exe_pid(desktop.exe_path)
    base = status_kb(pid, "VmRSS")
    data = text_of(mb, f"copy of {mb} MB")
    gaps = {}
    probe = threading.Thread(target=lambda: gaps.update(out=desktop.must("answer-gaps", harness.MAIN_TITLE,
                                                                          PROBE_SECONDS)))
    probe.start()
    time.sleep(1)
    before = journal_size(desktop)
    started = time.monotonic()
    desktop.set_x_clipboard(data)
    recorded = harness.wait_until(lambda: journal_size(desktop) >= before + 2 * len(data), PROBE_SECONDS - 5, 0.05)
    journaled = time.monotonic() - started
    probe.join()
    peak = status_kb(pid, "VmHWM")
    desktop.close_and_wait_exit(60)
    lines = [line.split() for line in gaps["out"].splitlines() if line.strip()]
    figures = {fields[0]: fields[1] for fields in lines if len(fields) == 2}
    for fields in lines:
        if fields[0] == "wait_at_ms":
            print(f"{mb} MB copy: a wait of {fields[2]} ms began {float(fields[1]) / 1000 - 1:.2f} s after the copy",
                  flush=True)
    print(f"{mb} MB copy: longest wait for an answer {figures['longest_ms']} ms, waits over 100 ms "
          f"{figures['over_100ms']}, over 200 ms {figures['over_200ms']} (of {figures['asked']}); "
          f"in the journal after {journaled * 1000:.0f} ms" + ("" if recorded else " (NOT recorded in time)") +
          f"; peak resident +{(peak - base) / 1024:.0f} MiB = {(peak - base) * 1024 / len(data):.2f} x the X text, "
          f"{(peak - base) * 1024 / (2 * len(data)):.2f} x its UTF-16", flush=True)

    # Wine's transfer alone: a fresh copy of the same size, read once by a program that does
    # nothing else with it, while nothing else watches the clipboard.
    desktop.set_x_clipboard(text_of(mb, f"again {mb} MB"))
    for attempt in range(5):  # until Wine has taken the new copy over from X
        time.sleep(1)
        code, out, _ = desktop._run([os.path.join(desktop.run_dir, TOOL), "time", "13"], 120)
        if code == 0 and "second read" in out:
            break
    reads = "; ".join(line for line in out.splitlines() if line.strip())
    print(f"{mb} MB copy: Wine's own transfer from X to a Windows program: {reads}", flush=True)


def picture_rows(width, height, seed):
    """Rows of one byte a pixel, a gradient that no coder shrinks to nothing, other for each seed
    so that no run's picture is one stored already."""
    return [bytes((x + y + seed * 37) & 0xFF for x in range(width)) for y in range(height)]


def png_of(width, height, seed):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    raw = b"".join(b"\0" + bytes(b for v in row for b in (v, 255 - v, v ^ 0x5A)) for row in picture_rows(width, height, seed))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 1)) + chunk(b"IEND", b""))


def dib_of(width, height, seed):
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 32, 0, width * height * 4, 3780, 3780, 0, 0)
    return header + b"".join(bytes(b for v in row for b in (v, 255 - v, v ^ 0x5A, 0)) for row in picture_rows(width, height, seed))


def stored_pictures(desktop):
    return len(glob.glob(os.path.join(desktop.data_dir, "clipboard_history.items", "*.png")))


def measure_image(desktop, kind, seed):
    width, height = 3840, 2160
    path = os.path.join(desktop.run_dir, f"picture.{kind}")
    with open(path, "wb") as f:
        f.write(png_of(width, height, seed) if kind == "png4k" else dib_of(width, height, seed))
    desktop.start_watching()
    before = stored_pictures(desktop)
    gaps = {}
    probe = threading.Thread(target=lambda: gaps.update(out=desktop.must("answer-gaps", harness.MAIN_TITLE, 20)))
    probe.start()
    time.sleep(1)
    started = time.monotonic()
    if kind == "png4k":
        with open(path, "rb") as f:
            desktop.set_x_clipboard(f.read(), "image/png")
    else:
        desktop.launch(os.path.join(desktop.run_dir, TOOL), "copy", "", "8", path, "3000")
    stored = harness.wait_until(lambda: stored_pictures(desktop) > before, 18, 0.05)
    took = time.monotonic() - started
    probe.join()
    desktop.close_and_wait_exit(60)
    # What the same read costs a program that does nothing else with it.
    _, alone, _ = desktop._run([os.path.join(desktop.run_dir, TOOL), "time", "PNG" if kind == "png4k" else "8"], 120)
    lines = [line.split() for line in gaps["out"].splitlines() if line.strip()]
    figures = {fields[0]: fields[1] for fields in lines if len(fields) == 2}
    waits = ", ".join(f"{fields[2]} ms at {float(fields[1]) / 1000 - 1:.2f} s" for fields in lines
                      if fields[0] == "wait_at_ms")
    print(f"{kind} ({os.path.getsize(path) / 2**20:.1f} MiB): longest wait for an answer {figures['longest_ms']} ms"
          f" (waits over 100 ms: {waits or 'none'}); picture stored after {took * 1000:.0f} ms" +
          ("" if stored else " (NOT stored in time)") +
          "; the read alone: " + "; ".join(line for line in alone.splitlines() if line.strip()), flush=True)


def main():
    win_build, native_build = sys.argv[1], sys.argv[2]
    sizes = sys.argv[3:] or ["20", "100"]
    use_builds(win_build, native_build)
    with harness.Desktop("bench.huge_copy") as desktop:
        shutil.copy2(os.path.join(os.path.dirname(desktop.driver_source), TOOL), os.path.join(desktop.run_dir, TOOL))
        desktop.start_watching()
        desktop.close_and_wait_exit()  # past the first run
        print(f"load average {os.getloadavg()[0]:.1f}", flush=True)
        for seed, size in enumerate(sizes):
            if size in ("png4k", "dib4k"):
                measure_image(desktop, size, seed)
            else:
                measure(desktop, int(size))


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Images that once crashed the real exe under Wine, or took gigabytes: a 33000x33000 RGBA PNG
copied while the history shows is kept without a crash, the window keeps answering, and a
restart shows the table; a 30000x30000 all-zero RGB PNG raises the peak resident by no more
than 64 MB and four times its file, recorded, shown and copied again, and at the next start;
a PNG whose header claims 2147483647x2147483647 makes no entry. The PNGs are made here: each
run of rows is compressed once and repeated, as every row is the same."""

import os
import struct
import sys
import time
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))), "bench"))
import harness  # noqa: E402
from large_history_wine import exe_pid  # noqa: E402

JOURNAL = "clipboard_history.hstr.journal"
TEXT_COLUMN = "2"


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def adler32_combine(first, second, second_length):
    """zlib's adler32_combine: the Adler-32 of two pieces from theirs and the second's length."""
    base = 65521
    rem = second_length % base
    sum1 = first & 0xFFFF
    sum2 = (rem * sum1) % base
    sum1 += (second & 0xFFFF) + base - 1
    sum2 += ((first >> 16) & 0xFFFF) + ((second >> 16) & 0xFFFF) + base - rem
    sum1 = sum1 - base if sum1 >= base else sum1
    sum1 = sum1 - base if sum1 >= base else sum1
    sum2 = sum2 - (base << 1) if sum2 >= (base << 1) else sum2
    sum2 = sum2 - base if sum2 >= base else sum2
    return sum1 | (sum2 << 16)


def uniform_png(width, height, colour_type, byte):
    """A PNG of `height` equal rows, each the filter byte 0 and then `byte` throughout, compressed
    at zlib's level 9: 100 rows at a time, flushed whole, so the same compressed piece repeats."""
    channels = {2: 3, 6: 4}[colour_type]
    row = b"\0" + bytes([byte]) * (width * channels)
    rows_per_piece = 100
    piece_rows = row * rows_per_piece

    def deflate(data, final):
        c = zlib.compressobj(9, zlib.DEFLATED, -15)
        return c.compress(data) + c.flush(zlib.Z_FINISH if final else zlib.Z_FULL_FLUSH)

    pieces, rest = divmod(height, rows_per_piece)
    piece = deflate(piece_rows, False)
    piece_adler = zlib.adler32(piece_rows)
    adler = 1
    for _ in range(pieces):
        adler = adler32_combine(adler, piece_adler, len(piece_rows))
    tail = row * rest
    adler = adler32_combine(adler, zlib.adler32(tail), len(tail))
    stream = b"\x78\xda" + piece * pieces + deflate(tail, True) + struct.pack(">I", adler)
    header = struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0)
    idat = b"".join(chunk(b"IDAT", stream[at:at + (1 << 20)]) for at in range(0, len(stream), 1 << 20))
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + idat + chunk(b"IEND", b"")


def journal_holds(desktop, text):
    path = desktop.data_file(JOURNAL)
    return os.path.exists(path) and text.encode("utf-16-le") in harness.read_bytes(path)


def shown(desktop):
    code, out = desktop.driver("shown-rows", harness.MAIN_TITLE, TEXT_COLUMN, raw=True)
    return out.decode("utf-8").splitlines() if code == 0 else None


def show_history(desktop):
    """Opens the window on the history tab from the tray menu."""
    desktop.tray_menu_choose((0x28, 0x0D))  # Down selects "Clipboard History", the first item
    desktop.must("wait-visible", harness.MAIN_TITLE, 10000)
    desktop.must("wait-gone", "class:#32768", 10000)


def resident(pid, field):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1]) * 1024
    return 0


def test_a_33000_square_rgba_png_copied_with_the_history_shown_is_kept_and_the_next_start_shows_it(desktop):
    png = uniform_png(33000, 33000, 6, 0x7F)
    print(f"33000x33000 RGBA: {len(png)} bytes", flush=True)
    text = "[Image 33000\u00d733000]"
    desktop.start_watching()
    show_history(desktop)
    desktop.set_x_clipboard(png, "image/png")
    assert harness.wait_until(lambda: journal_holds(desktop, text), 60), "the image made no entry"
    # The row is drawn with its mark; the window answers (every row read through a message with
    # a timeout) and the program runs on.
    assert harness.wait_until(lambda: (shown(desktop) or [""])[0] == text, 20), shown(desktop)
    time.sleep(2)
    desktop.screenshot("huge-image-row")
    assert desktop.running(), "the program ended"
    desktop.copy_from_x("after the image")
    assert shown(desktop)[:2] == ["after the image", text], shown(desktop)
    desktop.close_and_wait_exit(30)

    desktop.start_watching()
    show_history(desktop)
    assert harness.wait_until(lambda: shown(desktop) == ["after the image", text], 20), shown(desktop)
    time.sleep(2)
    desktop.screenshot("huge-image-after-restart")
    assert desktop.running(), "the restart ended"
    desktop.close_and_wait_exit(30)


def test_a_30000_square_zero_rgb_png_costs_at_most_64_mb_and_four_times_its_file(desktop):
    png = uniform_png(30000, 30000, 2, 0)
    allowed = (64 << 20) + 4 * len(png)
    text = "[Image 30000\u00d730000]"
    desktop.start_watching()
    show_history(desktop)
    desktop.copy_from_x("before the image")
    time.sleep(1)
    pid = exe_pid(desktop.exe_path)
    assert pid, "the exe's process was not found"
    base = resident(pid, "VmHWM")
    desktop.set_x_clipboard(png, "image/png")
    assert harness.wait_until(lambda: journal_holds(desktop, text), 60), "the image made no entry"
    assert harness.wait_until(lambda: (shown(desktop) or [""])[0] == text, 20), shown(desktop)
    # Copied again from its row: the PNG goes back on the clipboard.
    desktop.must("double-click-row", harness.MAIN_TITLE, "0")
    assert harness.wait_until(lambda: desktop.get_x_clipboard("image/png") == png, 30), "the re-copy gave no PNG"
    time.sleep(2)
    recorded = resident(pid, "VmHWM") - base
    desktop.close_and_wait_exit(30)

    desktop.start_watching()
    show_history(desktop)
    assert harness.wait_until(lambda: text in (shown(desktop) or []), 20), shown(desktop)
    time.sleep(3)
    pid = exe_pid(desktop.exe_path)
    restarted = resident(pid, "VmHWM") - base
    desktop.close_and_wait_exit(30)
    print(f"PNG {len(png)} bytes, allowed {allowed >> 20} MiB; peak resident above the start's: "
          f"{recorded >> 20} MiB recording, showing and copying again; {restarted >> 20} MiB at the next start",
          flush=True)
    assert recorded <= allowed, f"the peak grew by {recorded >> 20} MiB"
    assert restarted <= allowed, f"the next start's peak was {restarted >> 20} MiB above the first's"


def test_a_png_claiming_2147483647_square_makes_no_entry(desktop):
    header = struct.pack(">IIBBBBB", 0x7FFFFFFF, 0x7FFFFFFF, 8, 6, 0, 0, 0)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(b"\0" * 8)) + chunk(b"IEND", b"")
    print(f"{len(png)} bytes", flush=True)
    desktop.start_watching()
    show_history(desktop)
    desktop.copy_from_x("before")
    desktop.set_x_clipboard(png, "image/png")
    time.sleep(3)
    desktop.copy_from_x("after")
    assert harness.wait_until(lambda: journal_holds(desktop, "after"), 10)
    assert not journal_holds(desktop, "[Image 2147483647"), "the impossible image made an entry"
    assert shown(desktop) == ["after", "before"], shown(desktop)
    desktop.close_and_wait_exit(30)


harness.main(globals())

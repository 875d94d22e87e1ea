#!/usr/bin/env python3
"""The clipboard history, fed by a Linux program (xclip) through Wine's clipboard: what is
recorded, what the history file holds, and the history after a restart."""

import os
import struct
import sys
import time
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

HISTORY = "clipboard_history.hstr"
IMAGE = "[Image 2\u00d72]"  # an image entry's text

MULTI_LINE = "first line\r\nsecond line"
# A separator and quotes make the field quoted, with its quotes doubled; the "|" is written as
# it is, which an earlier version reads as a line break, and the exact text follows in a field
# of its own after the last column.
AWKWARD = 'she said "yes, twice" | then left'
AWKWARD_FIELDS = '"she said ""yes, twice"" | then left",exact1:2:she said %22yes%2C twice%22 %7C then left'


def png_image():
    """A 2 by 2 red PNG."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    pixels = b"".join(b"\x00" + b"\xff\x00\x00" * 2 for _ in range(2))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 2, 2, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(pixels)) + chunk(b"IEND", b""))


def copy(desktop, text, repeat=False):
    """Copies `text` in X and waits until the program has read it from the clipboard.

    A repeat leaves the program's label as it was, so there the wait is for Wine to take the
    new copy into the clipboard, then a short settle; the next copy's wait then also covers
    the repeat, since the program handles the notifications in order."""
    if not repeat:
        desktop.copy_from_x(text)
        return
    sequence = desktop.must("clipboard-sequence").strip()
    desktop.set_x_clipboard(text)
    desktop.must("wait-clipboard-change", sequence, 10000)
    time.sleep(0.5)


def copy_image(desktop):
    sequence = desktop.must("clipboard-sequence").strip()
    desktop.set_x_clipboard(png_image(), "image/png")
    desktop.must("wait-clipboard-change", sequence, 10000)
    desktop.wait_clipboard_seen(IMAGE)


def test_captures_the_file_and_a_restart(desktop):
    desktop.start_watching()

    copy(desktop, "alpha")
    copy(desktop, "bravo")
    copy(desktop, "alpha")  # recorded again: only a repeat of the top entry is refused
    copy(desktop, "charlie")
    copy(desktop, "charlie", repeat=True)
    copy_image(desktop)  # recorded too, its picture stored beside the history
    copy(desktop, MULTI_LINE)
    copy(desktop, AWKWARD)
    desktop.screenshot("after-copies")
    desktop.close_and_wait_exit()

    # Captures go in at the top with "#" 0; the first one went into the empty list by
    # appending, so it carries its row number. CR LF is written as "|".
    dates = harness.assert_history_file(desktop.data_file(HISTORY), [
        ("0", AWKWARD_FIELDS),
        ("0", "first line|second line"),
        ("0", IMAGE, harness.IMAGE_ITEM),
        ("0", "charlie"),
        ("0", "alpha"),
        ("0", "bravo"),
        ("7", "alpha"),
    ])

    # After a restart the history is back: the same rows and dates, now all appended by the
    # reading and so numbered. The top row read back exactly, "|" and all: that text, copied
    # again, is a repeat of it and adds nothing.
    desktop.start_watching()
    copy(desktop, AWKWARD)
    desktop.close_and_wait_exit()
    reloaded = harness.assert_history_file(desktop.data_file(HISTORY), [
        ("1", AWKWARD_FIELDS),
        ("2", "first line|second line"),
        ("3", IMAGE, harness.IMAGE_ITEM),
        ("4", "charlie"),
        ("5", "alpha"),
        ("6", "bravo"),
        ("7", "alpha"),
    ])
    assert reloaded == dates, f"the dates changed on the way through the file: {dates} -> {reloaded}"

    # The tray's "Clipboard History" opens the window on the history tab, whose "Clear All"
    # empties the list and writes the file at once.
    desktop.start_watching()
    desktop.tray_menu_choose((0x28, 0x0D))  # Down selects "Clipboard History", the first item
    desktop.must("wait-visible", harness.MAIN_TITLE, 10000)
    desktop.screenshot("history-tab")
    desktop.must("press-button", harness.MAIN_TITLE, "Clear All")
    assert harness.wait_until(lambda: open(desktop.data_file(HISTORY), "rb").read() == b"\xff\xfe", 5), \
        "Clear All did not write an empty history file"
    desktop.close_and_wait_exit()
    harness.assert_file_bytes(desktop.data_file(HISTORY), b"\xff\xfe")


harness.main(globals())

#!/usr/bin/env python3
"""Texts come back exactly, with the real exe under Wine: a shell command with pipes and a text
with a lone LF, copied by a Windows program, are given back by quick paste after a restart
as they were copied; an action whose text holds pipes pastes them; a journal with one flipped
bit keeps its other records."""

import os
import shutil
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

HISTORY = "clipboard_history.hstr"
JOURNAL = HISTORY + ".journal"
PIPES = "cat log | grep error | sort"
UNIX = "one\ntwo"


def second_run(desktop):
    """Past the first run, whose page and shown window are not what these tests are about."""
    desktop.start_watching()
    desktop.close_and_wait_exit()


def copy_from_windows(desktop, text):
    """Copies `text` from a Windows program of its own and waits until the program has read it."""
    writer = desktop.launch(os.path.join(desktop.run_dir, "cm_clipboard_writer.exe"), harness.escape(text), "1500")
    desktop.wait_clipboard_seen(text, 20000)
    writer.wait(30)
    assert writer.returncode == 0, f"the copying program ended with {writer.returncode}"


def test_pipes_and_a_lone_lf_come_back_exactly_after_a_restart(desktop):
    shutil.copy2(os.path.join(os.path.dirname(desktop.driver_source), "cm_clipboard_writer.exe"),
                 os.path.join(desktop.run_dir, "cm_clipboard_writer.exe"))
    second_run(desktop)
    harness.start_with_notepad(desktop)
    copy_from_windows(desktop, PIPES)
    copy_from_windows(desktop, UNIX)
    desktop.close_and_wait_exit()
    # Each row as an earlier version reads it, and the exact text after the last column.
    harness.assert_history_file(desktop.data_file(HISTORY), [
        ("0", "onetwo,exact1:2:one%0Atwo"),
        ("2", "cat log | grep error | sort,exact1:2:cat log %7C grep error %7C sort"),
    ])

    desktop.start_watching()
    harness.focus_notepad(desktop)
    harness.quick_paste(desktop, "grep")
    pasted = harness.wait_until(lambda: harness.notepad_text(desktop) == PIPES.encode(), 10)
    assert pasted, f"notepad holds {harness.notepad_text(desktop)!r}"
    assert desktop.driver("get-clipboard", raw=True)[1] == PIPES.encode()
    desktop.screenshot("pipes-pasted")

    # The lone LF stays a lone LF on the clipboard, as the Unix editor copied it.
    harness.quick_paste(desktop, "two")
    desktop.wait_clipboard_seen(UNIX)
    assert desktop.driver("get-clipboard", raw=True)[1] == UNIX.encode()
    desktop.close_and_wait_exit()


def journal_records(data):
    """The (offset, length) of each record of a journal that is not damaged."""
    at, records = 8, []
    while at < len(data):
        size = struct.unpack_from("<I", data, at)[0]
        records.append((at, 8 + size))
        at += 8 + size
    return records


def test_an_action_with_pipes_pastes_them(desktop):
    second_run(desktop)
    # As the program writes it: the nearest reading in the text column, which an earlier
    # version shows as line breaks, and the exact text after the last column.
    harness.write_actions(desktop, [["1", "Errors", harness.hotkey_text(desktop, "ctrl", "alt", "F5"), PIPES, "V",
                                     "exact1:3:" + PIPES.replace("|", "%7C")]])
    harness.start_with_notepad(desktop)
    desktop.must("press", "ctrl+alt", "F5")
    pasted = harness.wait_until(lambda: harness.notepad_text(desktop) == PIPES.encode(), 15)
    assert pasted, f"notepad holds {harness.notepad_text(desktop)!r}"
    desktop.close_and_wait_exit()


def test_a_journal_with_a_flipped_bit_keeps_its_other_records(desktop):
    second_run(desktop)
    desktop.start_watching()
    for text in ("one", "two", "three", "four", "five"):
        desktop.copy_from_x(text)
    desktop.stop()  # killed: only the journal holds the copies
    journal = bytearray(harness.read_bytes(desktop.data_file(JOURNAL)))
    records = journal_records(bytes(journal))
    assert len(records) == 5, f"the journal holds {len(records)} records"
    at, length = records[1]
    journal[at + length - 1] ^= 0x08  # one bit of the second copy's text
    with open(desktop.data_file(JOURNAL), "wb") as f:
        f.write(journal)

    desktop.start_watching()  # "five" is still on the clipboard: a repeat of the top entry
    desktop.close_and_wait_exit()
    harness.assert_history_file(desktop.data_file(HISTORY), [
        ("1", "five"),
        ("2", "four"),
        ("3", "three"),
        ("4", "one"),
    ])
    kept = desktop.data_file("clipboard_history.hstr.malformed.journal")
    assert harness.read_bytes(kept) == bytes(journal), "the damaged journal was not kept as it was"


harness.main(globals())

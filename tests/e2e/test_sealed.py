#!/usr/bin/env python3
"""Sealed files with the real exe under Wine (DPAPI in crypt32, AES-GCM in bcrypt): with
settings line 7 at -1 neither a copied text nor an action's text is in any file of Data, in
UTF-16 or UTF-8; a restart reads both back (the search finds the copy, the action's hotkey
pastes its text into notepad); a sealed history with one byte flipped is left byte for byte
through a run, and that run's copy joins the history once the good file is back; and with line
7 at 0 again the next run writes plain files that hold every entry."""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

HISTORY = "clipboard_history.hstr"
COPY = "sealed-copy-quokka-7731"
ACTION = "sealed-action-wombat-2209"
SEALED = b"0\r\n-1\r\n0\r\n65581\r\n0\r\n0\r\n-1\r\n"
PLAIN = b"0\r\n-1\r\n0\r\n65581\r\n0\r\n0\r\n0\r\n"


def write_settings(desktop, data):
    with open(desktop.data_file("settings.stng"), "wb") as f:
        f.write(data)


def files_holding(desktop, text):
    holding = []
    for name in os.listdir(desktop.data_dir):
        data = harness.read_bytes(os.path.join(desktop.data_dir, name))
        if text.encode("utf-16-le") in data or text.encode("utf-8") in data:
            holding.append(name)
    return holding


def test_sealed_files_hold_no_text_and_read_back(desktop):
    desktop.start_watching()
    desktop.close_and_wait_exit()  # past the first run
    harness.write_actions(desktop, [["1", "Animal", harness.hotkey_text(desktop, "ctrl", "alt", "F7"), ACTION, "V"]])
    write_settings(desktop, SEALED)
    harness.start_with_notepad(desktop)
    desktop.copy_from_x(COPY)
    assert harness.wait_until(lambda: os.path.exists(desktop.data_file(HISTORY + ".journal")), 10)
    assert files_holding(desktop, COPY) == [] and files_holding(desktop, ACTION) == [], \
        (files_holding(desktop, COPY), files_holding(desktop, ACTION))
    desktop.close_and_wait_exit()
    for name in (HISTORY, "actions.cnfg"):
        assert harness.read_bytes(desktop.data_file(name)).startswith(b"\x89CMSEAL\x1a"), name
    assert files_holding(desktop, COPY) == [] and files_holding(desktop, ACTION) == []

    # Read back: the action pastes into notepad, the search finds the copy.
    harness.start_with_notepad(desktop)
    desktop.must("press", "ctrl+alt", "F7")
    assert harness.wait_until(lambda: harness.notepad_text(desktop) == ACTION.encode(), 15), \
        harness.notepad_text(desktop)
    desktop.tray_menu_choose((0x28, 0x28, 0x0D))  # past the action: "Clipboard History"
    desktop.must("wait-visible", harness.MAIN_TITLE, 10000)
    desktop.must("wait-gone", "class:#32768", 10000)
    found = lambda: (desktop.driver("shown-rows", harness.MAIN_TITLE, "2", raw=True)[1] or b"").decode().splitlines()
    # The paste recorded the action's text and the copy given back, on top of the copy.
    assert harness.wait_until(lambda: found() == [COPY, ACTION, COPY], 10), found()
    # Typed into the search box (the window's first edit box), as the user types a word.
    desktop.must("set-text", harness.MAIN_TITLE, "Edit", 0, "quokka")
    assert harness.wait_until(lambda: found() == [COPY, COPY], 10), found()
    desktop.close_and_wait_exit()

    # A flipped byte: the file is left as it is, the run's copy waits for the good file.
    good = harness.read_bytes(desktop.data_file(HISTORY))
    flipped = bytearray(good)
    flipped[-30] ^= 0x01
    with open(desktop.data_file(HISTORY), "wb") as f:
        f.write(bytes(flipped))
    desktop.start_watching()
    desktop.copy_from_x("copy while the file is damaged")
    desktop.close_and_wait_exit()
    assert harness.read_bytes(desktop.data_file(HISTORY)) == bytes(flipped), "the damaged file was changed"
    with open(desktop.data_file(HISTORY), "wb") as f:
        f.write(good)

    # Plain again: every entry, the one kept in the journal too, is in the plain file.
    write_settings(desktop, PLAIN)
    desktop.start_watching()
    desktop.close_and_wait_exit()
    data = harness.read_bytes(desktop.data_file(HISTORY))
    assert data.startswith(b"\xff\xfe"), data[:16]
    for text in (COPY, "copy while the file is damaged"):
        assert text.encode("utf-16-le") in data, text
    assert ACTION.encode("utf-16-le") in harness.read_bytes(desktop.data_file("actions.cnfg"))


harness.main(globals())

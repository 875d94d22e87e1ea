#!/usr/bin/env python3
"""Sync between two computers with the real exe under Wine: two programs, each on a display and
in a Wine prefix of its own (two clipboards, two Data folders), started through the Options
tab's "Sync between my computers" group on one folder both reach, or on two folders that two
Syncthing instances keep alike.

Copies are made on each side in X (xclip), and by small Windows programs for the copies that
carry privacy marks; each side's history table is read through the driver."""

import os
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
import sync_harness as sh  # noqa: E402

TOOL = "cm_format_tool.exe"
OWN_FOLDER = "Clipboard manager sync"


def copy_marked(desktop, text, mark, data):
    """Copies `text` with the clipboard format `mark` beside it, holding `data`, as a password
    manager or a program that keeps its copies on this computer does."""
    tool = os.path.join(desktop.run_dir, TOOL)
    if not os.path.exists(tool):
        shutil.copy2(os.path.join(os.path.dirname(desktop.driver_source), TOOL), tool)
    mark_file = os.path.join(desktop.run_dir, "mark.bin")
    with open(mark_file, "wb") as f:
        f.write(data)
    sequence = desktop.must("clipboard-sequence").strip()
    writer = desktop.launch(tool, "copy", text, mark, "mark.bin", "1500")
    desktop.must("wait-clipboard-change", sequence, 20000)
    return writer


def test_two_computers_share_one_folder(desktop):
    shared = os.path.join(desktop.dir, "shared")
    os.makedirs(shared)
    folder = sh.windows_path(shared)
    own = os.path.join(shared, OWN_FOLDER)
    with sh.other_computer(desktop) as other:
        a, b = desktop, other
        sh.start_on_options(a)
        sh.start_on_options(b)

        # The first computer makes the key and shows its code, and asks for it elsewhere.
        code = sh.start_sync(a, folder)
        sh.wait_status(a, "Type this sync code on your other computers")
        a_files = sh.folder_snapshot(own)
        assert any(name.endswith(".cmcheck") for name in a_files), f"no key check in the folder: {a_files}"

        # A mistyped code and another key's code are both refused, and nothing is written.
        sh.press_start(b, folder, sh.mistyped(code))
        sh.wait_status(b, "mistyped character")
        sh.press_start(b, folder, sh.code_of_key(os.urandom(32)))
        sh.wait_status(b, "does not match this folder")
        assert b.driver("rect", harness.MAIN_TITLE, sh.START)[0] == 0, "a wrong code started sync"
        assert sh.folder_snapshot(own) == a_files, "a refused code changed the folder"

        # The right code, typed as a person might: lower case, in spaces rather than dashes.
        assert sh.start_sync(b, folder, code.lower().replace("-", " ")) == code
        sh.wait_status(b, "Synced with 1 other computer")

        # A copy on each side reaches the other, and the one from elsewhere stays off this
        # computer's clipboard unless asked for.
        a.copy_from_x("copied on A")
        sh.wait_row(b, "copied on A")
        b.copy_from_x("copied on B")
        sh.wait_row(a, "copied on B")
        a.wait_clipboard_seen("copied on A", 0)
        sh.wait_status(a, "Synced with 1 other computer")

        # A password manager's copy is not recorded; one its owner keeps off the cloud is
        # recorded here only. The copy after them shows that the writes before it are in.
        writer = copy_marked(a, "hunter2 from the password manager",
                             "ExcludeClipboardContentFromMonitorProcessing", b"\0\0\0\0")
        a.wait_clipboard_seen("", 20000)
        writer.wait(30)
        writer = copy_marked(a, "kept on this computer", "CanUploadToCloudClipboard", b"\0\0\0\0")
        a.wait_clipboard_seen("kept on this computer", 20000)
        writer.wait(30)
        # An image travels with its picture.
        png, pixels = sh.png_image()
        sh.copy_image(a, png)
        sh.wait_row(b, sh.IMAGE)
        a.copy_from_x("after the private copies")
        sh.wait_row(b, "after the private copies")
        assert sh.history(a) == ["after the private copies", sh.IMAGE, "kept on this computer", "copied on B",
                                 "copied on A"], sh.history(a)
        assert sh.history(b) == ["after the private copies", sh.IMAGE, "copied on B", "copied on A"], \
            sh.history(b)

        # Nothing in the folder tells what was copied: not in the files, not in their names.
        texts = ["copied on A", "copied on B", "hunter2", "kept on this computer", "after the private copies",
                 pixels]
        looked_at = sh.assert_no_text_in_folder(shared, texts)
        assert looked_at >= 3, f"only {looked_at} files in the folder"

        # "Clear All" on one side clears the other.
        b.tray_menu_choose((0x28, 0x0D))  # "Clipboard History": the history tab
        b.must("wait-visible", harness.MAIN_TITLE, 10000)
        b.must("press-button", harness.MAIN_TITLE, "Clear All")
        sh.wait_history(b, [])
        sh.wait_history(a, [])
        # What came from A some seconds ago went into B's history only, not onto its clipboard.
        b.wait_clipboard_seen("copied on B", 0)
        # And sync goes on after it.
        a.copy_from_x("after the clear")
        sh.wait_row(b, "after the clear")

        # Asked for, what the other copies goes onto this computer's clipboard too, where other
        # programs paste it; that is not a new copy here, and so nothing travels back.
        b.tray_menu_choose((0x28, 0x28, 0x0D))  # "Options"
        b.must("click-button", harness.MAIN_TITLE, sh.TO_CLIPBOARD)
        assert harness.wait_until(lambda: b.driver("button-checked", harness.MAIN_TITLE, sh.TO_CLIPBOARD)[0] == 0,
                                  10), "the check box stayed unchecked"
        a.copy_from_x("onto B's clipboard")
        sh.wait_row(b, "onto B's clipboard")
        on_clipboard = harness.wait_until(lambda: b.driver("get-clipboard")[1] == "onto B's clipboard", 20, 0.3)
        assert on_clipboard, f"B's clipboard holds {b.driver('get-clipboard')[1]!r}; " \
                             f"its label: {b.clipboard_label()!r}; its X clipboard: {b.get_x_clipboard()!r}"
        assert harness.wait_until(lambda: b.get_x_clipboard() == b"onto B's clipboard", 20), \
            f"B's X clipboard holds {b.get_x_clipboard()!r}"
        a.copy_from_x("after the clipboard's")
        sh.wait_row(b, "after the clipboard's")
        sh.wait_history(b, ["after the clipboard's", "onto B's clipboard", "after the clear"])
        sh.wait_history(a, ["after the clipboard's", "onto B's clipboard", "after the clear"])
        a.wait_clipboard_seen("after the clipboard's", 0)

        # A's choice survives its restart, and what B copied meanwhile comes in at its start.
        a.close_and_wait_exit()
        b.copy_from_x("while A was closed")
        sh.start_on_options(a)
        sh.wait_row(a, "while A was closed")
        assert a.driver("rect", harness.MAIN_TITLE, sh.STOP)[0] == 0, "sync is off after a restart"
        assert sh.code_box(a) == code, f"the code box shows {sh.code_box(a)!r} after a restart, was {code!r}"
        sh.wait_history(a, ["while A was closed", "after the clipboard's", "onto B's clipboard", "after the clear"])
        sh.assert_no_text_in_folder(shared, texts + ["after the clear", "onto B's clipboard", "while A was closed"])


def test_a_copy_travels_through_syncthing(desktop):
    with sh.SyncthingPair(os.path.join(desktop.dir, "syncthing")) as pair, \
            sh.other_computer(desktop) as other:
        a, b = desktop, other
        sh.start_on_options(a)
        sh.start_on_options(b)
        pair.wait_connected(60)
        code = sh.start_sync(a, sh.windows_path(pair.folders["a"]))
        # B joins once its own folder holds what A began there.
        checks = [n for n in os.listdir(os.path.join(pair.folders["a"], OWN_FOLDER)) if n.endswith(".cmcheck")]
        assert len(checks) == 1, checks
        pair.wait_file("b", os.path.join(OWN_FOLDER, checks[0]), 60)
        sh.start_sync(b, sh.windows_path(pair.folders["b"]), code)

        a.copy_from_x("through the engine from A")
        try:
            sh.wait_row(b, "through the engine from A", 60)
        except AssertionError as error:
            raise AssertionError(f"{error}\n{pair.state()}") from None
        b.copy_from_x("through the engine from B")
        try:
            sh.wait_row(a, "through the engine from B", 60)
        except AssertionError as error:
            raise AssertionError(f"{error}\n{pair.state()}") from None
        # The engine's own files in the folders (its marker, its temporary files) are left alone.
        assert os.path.isdir(os.path.join(pair.folders["b"], ".stfolder"))


harness.main(globals())

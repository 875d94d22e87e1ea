#!/usr/bin/env python3
"""The ways of pasting into Wine's notepad beyond the plain paste: an entry as plain text
(Shift+Enter in quick paste), the clipboard's text alone (Win+Ctrl+Alt+V), several entries at
once, entries one after another at each Ctrl+V, and the marks that keep the program's own
temporary writes out of Windows' clipboard history."""

import os
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

POPUP = harness.QUICK_PASTE
TOOL = "cm_format_tool.exe"
FRAGMENT = "<p>Some <b>bold</b> text</p>"


def html_block():
    head, tail = "<html><body><!--StartFragment-->", "<!--EndFragment--></body></html>"
    header = "Version:0.9\r\nStartHTML:{:010d}\r\nEndHTML:{:010d}\r\nStartFragment:{:010d}\r\nEndFragment:{:010d}\r\n"
    size = len(header.format(0, 0, 0, 0))
    return (header.format(size, size + len(head) + len(FRAGMENT) + len(tail), size + len(head),
                          size + len(head) + len(FRAGMENT)) + head + FRAGMENT + tail).encode()


def use_tool(desktop):
    shutil.copy2(os.path.join(os.path.dirname(desktop.driver_source), TOOL), os.path.join(desktop.run_dir, TOOL))


def copy_html(desktop):
    """A Windows program copies "Some bold text" with its "HTML Format"; returns the HTML block."""
    html = html_block()
    with open(os.path.join(desktop.run_dir, "fragment.html"), "wb") as f:
        f.write(html)
    writer = desktop.launch(os.path.join(desktop.run_dir, TOOL), "copy", "Some bold text", "HTML Format",
                            "fragment.html", "1500")
    desktop.wait_clipboard_seen("Some bold text", 20000)
    writer.wait(30)
    assert writer.returncode == 0
    return html


def clipboard_block(desktop, name):
    """The clipboard's block of the format `name` as another program reads it; None without it."""
    target = os.path.join(desktop.run_dir, "block.bin")
    if os.path.exists(target):
        os.remove(target)
    reader = desktop.launch(os.path.join(desktop.run_dir, TOOL), "get", name, "block.bin")
    reader.wait(60)
    if reader.returncode != 0:
        return None
    with open(target, "rb") as f:
        return f.read()


def key(desktop, name, *held):
    for mod in held:
        desktop.must("key", mod, "down")
    desktop.must("key", name, "down")
    desktop.must("key", name, "up")
    for mod in reversed(held):
        desktop.must("key", mod, "up")


def open_popup(desktop):
    desktop.must("press", "win", "insert")
    desktop.must("wait-visible", POPUP, 10000)


def wait_notepad(desktop, text, seconds=15):
    pasted = harness.wait_until(lambda: harness.notepad_text(desktop) == text.encode(), seconds)
    assert pasted, f"notepad holds {harness.notepad_text(desktop)!r}, not {text!r}"


def test_shift_enter_pastes_an_html_entry_as_its_text_alone(desktop):
    use_tool(desktop)
    harness.start_with_notepad(desktop)
    copy_html(desktop)
    desktop.copy_from_x("plain words")
    harness.focus_notepad(desktop)
    open_popup(desktop)
    for ch in "bold":
        key(desktop, ch)
    key(desktop, "enter", "shift")
    desktop.must("wait-hidden", POPUP, 5000)
    wait_notepad(desktop, "Some bold text")
    desktop.wait_clipboard_seen("Some bold text")
    # The text stays on the clipboard, as an entry picked with Enter does, but alone.
    assert clipboard_block(desktop, "HTML Format") is None
    assert clipboard_block(desktop, "CanIncludeInClipboardHistory") is None, "a re-copy carries no marks"
    desktop.screenshot("notepad-after-plain-entry")
    desktop.close_and_wait_exit()


def test_plain_text_hotkey_pastes_the_text_and_gives_the_html_back(desktop):
    use_tool(desktop)
    harness.start_with_notepad(desktop)
    html = copy_html(desktop)
    harness.focus_notepad(desktop)
    desktop.must("press", "ctrl+alt+lwin", "v")
    wait_notepad(desktop, "Some bold text")
    back = harness.wait_until(lambda: (clipboard_block(desktop, "HTML Format") or b"").rstrip(b"\0") == html, 15)
    assert back, clipboard_block(desktop, "HTML Format")
    assert clipboard_block(desktop, "CanIncludeInClipboardHistory") == b"\0\0\0\0"
    desktop.close_and_wait_exit()


def test_three_entries_at_once_are_pasted_in_copy_order(desktop):
    harness.start_with_notepad(desktop)
    for text in ("first entry", "second entry", "third entry"):
        desktop.copy_from_x(text)
    harness.focus_notepad(desktop)
    open_popup(desktop)
    key(desktop, "down", "shift")
    key(desktop, "down", "shift")
    desktop.screenshot("popup-three-highlighted")
    key(desktop, "enter")
    desktop.must("wait-hidden", POPUP, 5000)
    wait_notepad(desktop, "first entry\r\nsecond entry\r\nthird entry")
    desktop.close_and_wait_exit()


def test_a_queue_of_three_and_a_fourth_ctrl_v_pasting_what_was_there_before(desktop):
    harness.start_with_notepad(desktop)
    for text in ("one", "two", "three", "before"):
        desktop.copy_from_x(text)
    harness.focus_notepad(desktop)
    open_popup(desktop)
    key(desktop, "down")
    key(desktop, "down", "shift")
    key(desktop, "down", "shift")
    key(desktop, "enter", "ctrl")
    desktop.must("wait-hidden", POPUP, 5000)
    harness.focus_notepad(desktop)
    expected = ""
    for text in ("one", "two", "three", "before"):
        desktop.must("press", "ctrl", "v")
        expected += text
        wait_notepad(desktop, expected)
    desktop.screenshot("notepad-after-queue")
    desktop.close_and_wait_exit()


def test_an_actions_paste_leaves_the_marks_on_the_clipboard(desktop):
    use_tool(desktop)
    harness.write_actions(desktop, [["1", "Greeting", harness.hotkey_text(desktop, "ctrl", "alt", "F5"), "Hello", "V"]])
    harness.start_with_notepad(desktop)
    desktop.copy_from_x("mine")
    harness.focus_notepad(desktop)
    desktop.must("press", "ctrl+alt", "F5")
    wait_notepad(desktop, "Hello")
    desktop.wait_clipboard_seen("mine")
    marks = harness.wait_until(lambda: clipboard_block(desktop, "CanUploadToCloudClipboard") == b"\0\0\0\0", 10)
    assert marks, clipboard_block(desktop, "CanUploadToCloudClipboard")
    assert clipboard_block(desktop, "CanIncludeInClipboardHistory") == b"\0\0\0\0"
    assert clipboard_block(desktop, "ExcludeClipboardContentFromMonitorProcessing") is not None
    desktop.close_and_wait_exit()


harness.main(globals())

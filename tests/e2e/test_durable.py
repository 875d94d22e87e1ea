#!/usr/bin/env python3
"""Nothing stored or copied is lost, with the real exe under Wine: a history file that another
program holds during start-up, a kill after copies, a second start, and a clipboard that
another program reads at every change."""

import os
import shutil
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

HISTORY = "clipboard_history.hstr"
OLD_ENTRIES = "1,12/7/2026 6:00:00 PM,old A\r\n2,12/7/2026 5:00:00 PM,old B\r\n"
# The small programs built beside the test driver.
TOOLS = ("cm_file_holder.exe", "cm_clipboard_reader.exe")


def add_tools(desktop):
    source = os.path.dirname(desktop.driver_source)
    for tool in TOOLS:
        shutil.copy2(os.path.join(source, tool), os.path.join(desktop.run_dir, tool))


def second_run(desktop):
    """Past the first run, whose page and shown window are not what these tests are about."""
    desktop.start_watching()
    desktop.close_and_wait_exit()


def test_history_file_held_at_start_up_keeps_every_entry(desktop):
    add_tools(desktop)
    second_run(desktop)
    with open(desktop.data_file(HISTORY), "wb") as f:
        f.write(b"\xff\xfe" + OLD_ENTRIES.encode("utf-16-le"))
    ready = os.path.join(desktop.dir, "held")
    holder = desktop.launch(os.path.join(desktop.run_dir, "cm_file_holder.exe"), "Data\\" + HISTORY, "2000",
                            desktop.windows_path(ready))
    assert harness.wait_until(lambda: os.path.exists(ready), 30), "the file holder did not take the file"
    desktop.start_watching()
    holder.wait(30)
    assert holder.returncode == 0, f"the file holder ended with {holder.returncode}"

    desktop.copy_from_x("new entry")
    desktop.close_and_wait_exit()
    harness.assert_history_file(desktop.data_file(HISTORY), [
        ("0", "new entry"),
        ("2", "old A"),
        ("3", "old B"),
    ])


def test_kill_after_three_copies_then_a_restart_shows_them(desktop):
    second_run(desktop)
    desktop.start_watching()
    for text in ("one", "two", "three"):
        desktop.copy_from_x(text)
    desktop.stop()  # the process is killed: no close, no write of the history file
    assert harness.read_bytes(desktop.data_file(HISTORY)) == b"\xff\xfe", "the kill left a written history"

    desktop.start_watching()  # "three" is still on the clipboard: a repeat of the top entry
    desktop.close_and_wait_exit()
    # Put back from the journal at start-up, they are numbered like rows read from the file.
    harness.assert_history_file(desktop.data_file(HISTORY), [
        ("1", "three"),
        ("2", "two"),
        ("3", "one"),
    ])


def main_windows(desktop):
    out = desktop.must("list-windows")
    return [line for line in out.splitlines() if line.endswith(f'"{harness.MAIN_TITLE}"')]


def test_second_start_ends_by_itself_and_shows_the_running_one(desktop):
    second_run(desktop)
    desktop.start_watching()
    desktop.must("syscommand", harness.MAIN_TITLE, 0xF060)  # the close command only hides it
    desktop.must("wait-hidden", harness.MAIN_TITLE, 10000)
    before = sorted(os.listdir(desktop.data_dir))

    second = desktop.launch(desktop.exe_path)
    try:
        second.wait(30)
    except Exception:
        raise AssertionError("the second start is still running after 30 s")
    assert second.returncode == 0, f"the second start ended with {second.returncode}"
    desktop.must("wait-visible", harness.MAIN_TITLE, 10000)
    assert len(main_windows(desktop)) == 1, desktop.must("list-windows")
    assert desktop.running(), "the first copy ended"
    assert sorted(os.listdir(desktop.data_dir)) == before, "the second start touched the Data folder"
    desktop.screenshot("after-second-start")

    desktop.copy_from_x("still recording")
    desktop.close_and_wait_exit()
    harness.assert_history_file(desktop.data_file(HISTORY), [("1", "still recording")])


def test_copies_while_another_program_reads_the_clipboard_at_every_change(desktop):
    add_tools(desktop)
    second_run(desktop)
    desktop.start_watching()
    # In front of the program in the viewer chain: at every change it opens the clipboard and
    # tells the program while it still holds it.
    reader = desktop.launch(os.path.join(desktop.run_dir, "cm_clipboard_reader.exe"), "900000", "5")
    time.sleep(2)
    count = 300
    missed = []
    for i in range(count):
        text = f"copy {i:03d}"
        desktop.set_x_clipboard(text)
        code, _ = desktop.driver(*desktop._clipboard_seen_args(text, 5000))
        if code != 0:
            missed.append(text)
    assert reader.poll() is None, "the clipboard reader ended early"
    desktop.close_and_wait_exit(10)
    data = harness.read_bytes(desktop.data_file(HISTORY))[2:].decode("utf-16-le")
    recorded = {line.split(",", 2)[2] for line in data.split("\r\n") if line}
    lost = [f"copy {i:03d}" for i in range(count) if f"copy {i:03d}" not in recorded]
    print(f"{count - len(lost)} of {count} copies recorded; not seen in time: {missed}", flush=True)
    assert len(lost) <= 3, f"{len(lost)} copies were not recorded: {lost}"


harness.main(globals())

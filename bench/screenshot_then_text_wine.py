#!/usr/bin/env python3
"""A screenshot then a text, with the real exe under Wine and a window manager in the display:
another program puts a 3840x2160 bitmap on the clipboard as CF_DIB alone (as Print Screen and
most screenshot tools do), then a text 0.5 s later. Prints, for each round, how long after the
text's copy it is in the history table and in the journal, and when the image's PNG is on the
disk (its attach record in the journal).

Every other row of the bitmap is noise by default, which Windows' PNG coder takes about as long
over as a real screen (4 to 6 s under Wine); with "quick" as the last argument, a pattern it codes in well under a second.

Run it after the e2e set-up, from the repository's root:
    (cd build/native && ctest -R e2e_wine_prefix)
    python3 bench/screenshot_then_text_wine.py build/win build/native [ROUNDS] [quick]"""

import os
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import harness  # noqa: E402

JOURNAL = "clipboard_history.hstr.journal"
WIDTH, HEIGHT = 3840, 2160
TEXT_COLUMN = 2


def journal_holds(desktop, text):
    path = desktop.data_file(JOURNAL)
    return os.path.exists(path) and text.encode("utf-16-le") in harness.read_bytes(path)


def table_holds(desktop, text):
    out = desktop.driver("shown-rows", harness.MAIN_TITLE, str(TEXT_COLUMN), raw=True)[1] or b""
    return text in out.decode(errors="replace").splitlines()


def png_count(desktop):
    """The images the journal names: each attach record names its PNG (the same screenshot
    twice is stored once, so the folder alone would not tell)."""
    path = desktop.data_file(JOURNAL)
    return harness.read_bytes(path).count(".png".encode("utf-16-le")) if os.path.exists(path) else 0


def run_round(desktop, number, noisy):
    text = f"text after the screenshot {number}"
    pngs = png_count(desktop)
    desktop.must("set-clipboard-dib", WIDTH * 3 * HEIGHT, WIDTH, *(["noisy"] if noisy else []))
    shot = time.monotonic()
    time.sleep(0.5)
    desktop.must("set-clipboard", text)
    copied = time.monotonic()
    in_table = in_journal = png = None
    while time.monotonic() - copied < 30 and None in (in_table, in_journal, png):
        now = time.monotonic()
        if in_journal is None and journal_holds(desktop, text):
            in_journal = now - copied
        if in_table is None and table_holds(desktop, text):
            in_table = time.monotonic() - copied
        if png is None and png_count(desktop) > pngs:
            png = now - shot
        time.sleep(0.02)

    def shown(seconds):
        return "not within 30 s" if seconds is None else f"{seconds:.2f} s"

    print(f"round {number}: the text in the table {shown(in_table)} and in the journal {shown(in_journal)} "
          f"after its copy; the image's PNG on the disk {shown(png)} after the screenshot", flush=True)


def main():
    win, native = (os.path.abspath(p) for p in sys.argv[1:3])
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 and sys.argv[3].isdigit() else 2
    noisy = sys.argv[-1] != "quick"
    os.environ.setdefault("CM_E2E_EXE", os.path.join(win, "Clipboard_manager.exe"))
    os.environ.setdefault("CM_E2E_DRIVER", os.path.join(win, "cm_test_driver.exe"))
    os.environ.setdefault("CM_E2E_TEMPLATE", os.path.join(native, "e2e", "template-prefix"))
    os.environ.setdefault("CM_E2E_WORK", os.path.join(native, "bench"))
    with harness.Desktop("screenshot_then_text") as desktop:
        desktop.start_watching()
        desktop.close_and_wait_exit()  # past the first run
        desktop.start_watching()
        desktop.tray_menu_choose((0x28, 0x0D))  # "Clipboard History": the window on the history tab
        desktop.must("wait-visible", harness.MAIN_TITLE, 10000)
        for number in range(1, rounds + 1):
            run_round(desktop, number, noisy)
            time.sleep(2)  # the coding of this round's image has ended (its PNG is on the disk)
        desktop.close_and_wait_exit()


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Images and formatted text in the history of the real exe under Wine: a PNG with transparent
pixels copied in X comes back from quick paste pixel for pixel, alpha included, before and after
a restart; the same large image copied twice is stored once; HTML copied by a Windows program
comes back as the same "HTML Format" block; twenty large images cost little memory; a text
copied after a screenshot does not wait for the screenshot's PNG."""

import glob
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))), "bench"))
import harness  # noqa: E402
from large_history_wine import exe_pid  # noqa: E402

JOURNAL = "clipboard_history.hstr.journal"
TOOL = "cm_format_tool.exe"


def make_png(desktop, name, *draw):
    """An image made with ImageMagick in the test's folder; its path."""
    path = os.path.join(desktop.dir, name)
    subprocess.run(["convert", *draw, "png32:" + path], check=True, timeout=120)
    return path


def journal_holds(desktop, text):
    path = desktop.data_file(JOURNAL)
    if not os.path.exists(path):
        return False
    with open(path, "rb") as f:
        return text.encode("utf-16-le") in f.read()


def copy_image(desktop, path, text):
    """Offers the PNG in X and waits until its entry is in the journal."""
    with open(path, "rb") as f:
        desktop.set_x_clipboard(f.read(), "image/png")
    assert harness.wait_until(lambda: journal_holds(desktop, text), 30), f"no entry {text!r} was recorded"


def pixels_differing(desktop, expected, label):
    """How many pixels of the X clipboard's image/png differ from `expected` (alpha counted)."""
    got = os.path.join(desktop.dir, label + ".png")
    data = None
    for _ in range(50):
        data = desktop.get_x_clipboard("image/png")
        if data:
            break
        time.sleep(0.2)
    assert data, "the X clipboard holds no image/png"
    with open(got, "wb") as f:
        f.write(data)
    result = subprocess.run(["compare", "-metric", "AE", expected, got, "null:"], capture_output=True, text=True,
                            timeout=60)
    return int(float(result.stderr.split()[0]))


def data_bytes(desktop):
    return sum(os.path.getsize(p) for p in glob.glob(os.path.join(desktop.data_dir, "**"), recursive=True)
               if os.path.isfile(p))


def test_a_transparent_png_comes_back_pixel_for_pixel_from_quick_paste_and_after_a_restart(desktop):
    image = make_png(desktop, "transparent.png", "-size", "64x48", "xc:none", "-fill", "rgba(255,0,0,0.5)",
                     "-draw", "rectangle 8,8 40,30", "-fill", "rgba(0,90,255,1)", "-draw", "circle 50,30 56,36")
    harness.start_with_notepad(desktop)
    copy_image(desktop, image, "[Image 64\u00d748]")
    desktop.copy_from_x("something else")
    desktop.screenshot("history-with-image")
    desktop.must("focus", harness.NOTEPAD)
    harness.quick_paste(desktop, "image")
    assert pixels_differing(desktop, image, "after-quick-paste") == 0
    desktop.close_and_wait_exit()
    items = glob.glob(os.path.join(desktop.data_dir, "clipboard_history.items", "*.png"))
    assert len(items) == 1, items
    with open(items[0], "rb") as f, open(image, "rb") as g:
        assert f.read() == g.read(), "the stored PNG is not the one copied"

    harness.start_with_notepad(desktop)
    desktop.copy_from_x("yet another")
    desktop.must("focus", harness.NOTEPAD)
    harness.quick_paste(desktop, "image")
    assert pixels_differing(desktop, image, "after-restart") == 0
    desktop.close_and_wait_exit()


def test_a_large_image_copied_twice_is_stored_once(desktop):
    image = make_png(desktop, "large.png", "-size", "1600x1000", "plasma:fractal", "-seed", "3")
    png_size = os.path.getsize(image)
    desktop.start_watching()
    desktop.close_and_wait_exit()
    before = data_bytes(desktop)
    desktop.start_watching()
    copy_image(desktop, image, "[Image 1600\u00d71000]")
    desktop.copy_from_x("between the copies")
    with open(desktop.data_file(JOURNAL), "rb") as f:
        records = f.read().count("[Image 1600".encode("utf-16-le"))
    with open(image, "rb") as f:
        desktop.set_x_clipboard(f.read(), "image/png")
    assert harness.wait_until(
        lambda: open(desktop.data_file(JOURNAL), "rb").read().count("[Image 1600".encode("utf-16-le")) > records, 30)
    desktop.close_and_wait_exit()
    grown = data_bytes(desktop) - before
    print(f"PNG {png_size} bytes; Data grew by {grown} bytes ({grown / png_size:.3f} times)", flush=True)
    assert grown <= 1.1 * png_size


def test_html_copied_by_a_windows_program_comes_back_as_the_same_fragment(desktop):
    shutil.copy2(os.path.join(os.path.dirname(desktop.driver_source), TOOL), os.path.join(desktop.run_dir, TOOL))
    fragment = "<p>Some <b>bold</b> text</p>"
    head, tail = "<html><body><!--StartFragment-->", "<!--EndFragment--></body></html>"
    header = "Version:0.9\r\nStartHTML:{:010d}\r\nEndHTML:{:010d}\r\nStartFragment:{:010d}\r\nEndFragment:{:010d}\r\n"
    size = len(header.format(0, 0, 0, 0))
    html = (header.format(size, size + len(head) + len(fragment) + len(tail), size + len(head),
                          size + len(head) + len(fragment)) + head + fragment + tail).encode()
    source = os.path.join(desktop.run_dir, "fragment.html")
    with open(source, "wb") as f:
        f.write(html)
    harness.start_with_notepad(desktop)
    writer = desktop.launch(os.path.join(desktop.run_dir, TOOL), "copy", "Some bold text", "HTML Format",
                            "fragment.html", "1500")
    desktop.wait_clipboard_seen("Some bold text", 20000)
    writer.wait(30)
    assert writer.returncode == 0
    desktop.copy_from_x("plain words")
    desktop.must("focus", harness.NOTEPAD)
    harness.quick_paste(desktop, "bold")
    desktop.wait_clipboard_seen("Some bold text", 20000)
    reader = desktop.launch(os.path.join(desktop.run_dir, TOOL), "get", "HTML Format", "back.html")
    reader.wait(60)
    assert reader.returncode == 0, "the clipboard holds no HTML Format"
    with open(os.path.join(desktop.run_dir, "back.html"), "rb") as f:
        back = f.read()
    assert back.rstrip(b"\0") == html, back[:200]
    desktop.close_and_wait_exit()


def test_twenty_large_images_add_little_memory(desktop):
    images = harness.png_variants(make_png(desktop, "large.png", "-size", "1600x1000", "plasma:fractal"), 20)
    desktop.start_watching()
    pid = exe_pid(desktop.exe_path)
    assert pid, "the exe's process was not found"

    def resident(field):
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith(field + ":"):
                    return int(line.split()[1]) // 1024
        return 0

    desktop.copy_from_x("before the images")
    base = resident("VmRSS")
    for k, image in enumerate(images):
        with open(image, "rb") as f:
            desktop.set_x_clipboard(f.read(), "image/png")
        assert harness.wait_until(
            lambda: len(glob.glob(os.path.join(desktop.data_dir, "clipboard_history.items", "*.png"))) == k + 1, 30)
    time.sleep(1)
    peak, now = resident("VmHWM"), resident("VmRSS")
    print(f"resident before the images {base} MiB, after {now} MiB, peak {peak} MiB: +{peak - base} MiB at the peak",
          flush=True)
    assert peak - base < 32, f"twenty images took {peak - base} MiB at the peak"
    desktop.close_and_wait_exit()


def test_a_text_copied_after_a_screenshot_is_recorded_before_its_png_exists(desktop):
    """A 3840x2160 bitmap put on the clipboard as CF_DIB alone, then a text 0.5 s later: the text
    is in the history table and the journal while the image is still being coded (its rows of
    noise take Windows' coder about as long as a real screen's, seconds under Wine), not behind
    the coding, and the history keeps the order of the copies. The timings are
    bench/screenshot_then_text_wine.py's; the wait here is loose, and the figure is printed."""
    desktop.start_watching()
    desktop.close_and_wait_exit()  # past the first run
    desktop.start_watching()
    desktop.tray_menu_choose((0x28, 0x0D))  # "Clipboard History": the window on the history tab
    desktop.must("wait-visible", harness.MAIN_TITLE, 10000)
    width, height = 3840, 2160
    text = "after the screenshot"
    desktop.must("set-clipboard-dib", width * 3 * height, width, "noisy")
    time.sleep(0.5)
    desktop.must("set-clipboard", text)
    copied = time.monotonic()

    def in_table():
        out = desktop.driver("shown-rows", harness.MAIN_TITLE, "2", raw=True)[1] or b""
        return text in out.decode(errors="replace").splitlines()

    assert harness.wait_until(in_table, 5), "the text did not reach the table within 5 s of its copy"
    shown = time.monotonic() - copied
    items = desktop.data_file("clipboard_history.items")
    assert not glob.glob(os.path.join(items, "*.png")), \
        "the text reached the table only once the screenshot's PNG was made"
    assert journal_holds(desktop, text), "the text shown is not in the journal"
    assert journal_holds(desktop, f"[Image {width}\u00d7{height}]"), "the screenshot's row is not in the journal"
    print(f"the text in the table {shown:.2f} s after its copy", flush=True)
    desktop.close_and_wait_exit()  # waits for the coding
    data = harness.read_bytes(desktop.data_file("clipboard_history.hstr"))[2:].decode("utf-16-le")
    texts = [line.split(",", 2)[2] for line in data.split("\r\n") if line.count(",") >= 2]
    assert texts[0] == "after the screenshot", texts
    assert texts[1].startswith(f"[Image {width}\u00d7{height}]") and "items1:" in texts[1], texts
    assert glob.glob(os.path.join(desktop.data_file("clipboard_history.items"), "*.png")), "no PNG was stored"


def dib_pixels_differing(path, width, height):
    """How many pixels of the DIB in `path` (24 or 32 bits, either row order) differ, in blue,
    green or red, from the pattern that the driver's set-clipboard-dib puts there."""
    with open(path, "rb") as f:
        dib = f.read()
    size, got_width, got_height = int.from_bytes(dib[0:4], "little"), int.from_bytes(dib[4:8], "little"), \
        int.from_bytes(dib[8:12], "little", signed=True)
    bits, compression = int.from_bytes(dib[14:16], "little"), int.from_bytes(dib[16:20], "little")
    assert (got_width, abs(got_height)) == (width, height), (got_width, got_height)
    assert bits in (24, 32) and compression in (0, 3), (bits, compression)
    start = size + (12 if size == 40 and compression == 3 else 0)
    unit = bits // 8
    stride = (width * unit + 3) & ~3
    source_stride = (width * 3 + 3) & ~3
    differing = 0
    for row in range(height):  # bottom-up, as the driver wrote it
        stored = row if got_height > 0 else height - 1 - row
        got = dib[start + stored * stride:start + stored * stride + width * unit]
        first = 40 + row * source_stride
        expected = bytes(((i * 7) ^ (i >> 12)) & 0xFF for i in range(first, first + width * 3))
        if all(got[c::unit] == expected[c::3] for c in range(3)):
            continue
        differing += sum(1 for x in range(width) if got[x * unit:x * unit + 3] != expected[x * 3:x * 3 + 3])
    return differing


def test_a_recopied_screenshot_gives_a_windows_program_its_pixels_and_outlives_the_program(desktop):
    """A screenshot's re-copy puts its PNG on the clipboard at once and its bitmap when a program
    asks for it: a Windows program reading CF_DIB gets the very pixels, and so does one that reads
    it after the program has ended, no program having asked before."""
    shutil.copy2(os.path.join(os.path.dirname(desktop.driver_source), TOOL), os.path.join(desktop.run_dir, TOOL))
    width, height = 1200, 700
    text = f"[Image {width}\u00d7{height}]"

    def read_dib(name):
        reader = desktop.launch(os.path.join(desktop.run_dir, TOOL), "get", "8", name)
        reader.wait(60)
        assert reader.returncode == 0, "the clipboard holds no CF_DIB"
        return os.path.join(desktop.run_dir, name)

    def recopy_row(row):
        # A click that arrives while Wine is still activating the window can get lost: the row is
        # clicked until it is selected, then double-clicked.
        for _ in range(5):
            desktop.must("click-row", harness.MAIN_TITLE, row, "none")
            if desktop.driver("selected-rows", harness.MAIN_TITLE)[1].split() == [str(row)]:
                break
            time.sleep(0.3)
        sequence = desktop.must("clipboard-sequence").strip()
        desktop.must("double-click-row", harness.MAIN_TITLE, row)
        desktop.must("wait-clipboard-change", sequence, 20000)

    desktop.start_watching()
    desktop.close_and_wait_exit()  # past the first run
    desktop.start_watching()
    desktop.tray_menu_choose((0x28, 0x0D))  # "Clipboard History"
    desktop.must("wait-visible", harness.MAIN_TITLE, 10000)
    desktop.must("set-clipboard-dib", width * 3 * height, width)
    assert harness.wait_until(
        lambda: glob.glob(os.path.join(desktop.data_file("clipboard_history.items"), "*.png")), 60), \
        "the screenshot's PNG was not stored"
    desktop.must("set-clipboard", "text on top")
    assert harness.wait_until(lambda: journal_holds(desktop, "text on top"), 10)

    recopy_row(1)
    assert dib_pixels_differing(read_dib("recopied.dib"), width, height) == 0
    desktop.must("set-clipboard", "text again")
    assert harness.wait_until(lambda: journal_holds(desktop, "text again"), 10)
    recopy_row(1)  # the re-copy's row, on top before the text
    desktop.close_and_wait_exit()
    assert dib_pixels_differing(read_dib("after-exit.dib"), width, height) == 0


harness.main(globals())

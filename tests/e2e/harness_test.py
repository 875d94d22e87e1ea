#!/usr/bin/env python3
"""Checks of the e2e harness's own helpers that need no desktop: the large PNG variants, the
reading of the program's clipboard label from the driver's output, and the choice of tests by
name. Run by ctest with the unit tests."""

import os
import struct
import subprocess
import sys
import tempfile
import textwrap
import unittest
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import harness  # noqa: E402


def write_png(path, width, height, color, channels):
    """A PNG whose rows use every filter type, so that a variant's bottom row must not depend on
    the rows above."""
    rows = []
    for y in range(height):
        samples = bytes((x * 7 + y * 13 + c * 29) & 0xFF for x in range(width) for c in range(channels))
        rows.append(bytes([y % 5]) + samples)

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, color, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(b"".join(rows))) + chunk(b"IEND", b""))


def differing_pixels(a, b):
    result = subprocess.run(["compare", "-metric", "AE", a, b, "null:"], capture_output=True, text=True, timeout=60)
    assert result.returncode in (0, 1), result.stderr  # 2: a file ImageMagick could not read
    return int(float(result.stderr.split()[0]))


class PngVariantsTest(unittest.TestCase):
    def test_each_variant_is_a_valid_png_differing_from_the_source_in_its_bottom_row_alone(self):
        for color, channels in ((6, 4), (2, 3), (0, 1)):
            with self.subTest(color=color), tempfile.TemporaryDirectory() as folder:
                source = os.path.join(folder, "source.png")
                write_png(source, 40, 30, color, channels)
                variants = harness.png_variants(source, 3)
                self.assertEqual(len(set(variants)), 3)
                for path in variants:
                    size = subprocess.run(["identify", "-format", "%w %h", path], capture_output=True, text=True,
                                          check=True, timeout=60).stdout
                    self.assertEqual(size, "40 30")
                    # The top 29 rows as in the source: cropped, nothing differs.
                    top = [f"{p}[40x29+0+0]" for p in (source, path)]
                    self.assertEqual(differing_pixels(*top), 0)
                    self.assertGreater(differing_pixels(source, path), 0)
                self.assertGreater(differing_pixels(variants[0], variants[1]), 0)
                self.assertGreater(differing_pixels(variants[1], variants[2]), 0)


class LabelTest(unittest.TestCase):
    def test_the_clipboard_label_is_told_from_the_other_labels_and_an_empty_text_from_none(self):
        out = 'Static: "Items: 3"\nStatic: "Clipboard contains: say "hi""\nStatic: ""\n'
        self.assertEqual(harness._label_shown(out), 'say "hi"')
        self.assertEqual(harness._label_shown('Static: "Items: 3"\nStatic: "Clipboard contains: "\n'), "")
        self.assertIsNone(harness._label_shown('Static: "Items: 3"\n'))
        # A text of several lines is not read as a shorter text.
        self.assertIsNone(harness._label_shown('Static: "Clipboard contains: first\nsecond"\n'))


class ChoiceTest(unittest.TestCase):
    def run_file(self, body, *names):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "test_choice.py")
            with open(path, "w") as f:
                f.write(f"import sys\nsys.path.insert(0, {HERE!r})\nimport harness\n" + textwrap.dedent(body))
            return subprocess.run([sys.executable, path, *names], capture_output=True, text=True, timeout=60)

    def test_a_name_the_file_does_not_define_fails_even_when_defined_after_main(self):
        result = self.run_file("""
            def test_first(desktop):
                pass
            harness.main(globals())
            def test_late(desktop):
                pass
            """, "test_late")
        self.assertEqual(result.returncode, 2, result.stdout + result.stderr)
        self.assertIn("no such test in this file: test_late", result.stdout)


if __name__ == "__main__":
    unittest.main()

#!/usr/bin/env python3
"""Checks of the e2e harness's own helpers that need no desktop: the large PNG variants, the
reading of the program's clipboard label from the driver's output, the choice of tests by
name, and the talk with a serving driver (a stand-in here). Run by ctest with the unit tests."""

import os
import signal
import struct
import subprocess
import sys
import tempfile
import textwrap
import time
import unittest
import zlib
from unittest import mock

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


# Speaks the serving driver's protocol: "echo" prints its arguments joined by "|" with a CR LF
# line end and "err" on stderr; "fail" exits with the code given; "die" ends without a reply,
# leaving a child that holds its output pipe open, as a Wine server it started would (its id is
# written to the file named by the first argument).
STAND_IN = r"""
import subprocess, sys
out = sys.stdout.buffer
for line in sys.stdin.buffer:
    args = [bytes.fromhex(a[1:].decode()).decode() for a in line.split()]
    if args[0] == "die":
        child = subprocess.Popen(["sleep", "300"], stdin=subprocess.DEVNULL, stdout=sys.stdout,
                                 stderr=subprocess.DEVNULL)
        open(sys.argv[1], "w").write(str(child.pid))
        sys.exit(5)
    code = int(args[1]) if args[0] == "fail" else 0
    printed = ("|".join(args[1:]) + "\r\n").encode() if args[0] == "echo" else b""
    complained = b"err" if args[0] == "echo" else b"usage"
    out.write(b"%d %d %d\n" % (code, len(printed), len(complained)) + printed + complained)
    out.flush()
"""


class ServedDriverTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        names = ("CM_E2E_EXE", "CM_E2E_DRIVER", "CM_E2E_TEMPLATE", "CM_E2E_WORK")
        patcher = mock.patch.dict(os.environ, {name: self.folder.name for name in names})
        patcher.start()
        self.addCleanup(patcher.stop)
        commands = mock.patch.object(harness, "SERVED_COMMANDS", frozenset(("echo", "fail", "die")))
        commands.start()
        self.addCleanup(commands.stop)
        self.desktop = harness.Desktop("served")
        self.child_pid_file = os.path.join(self.folder.name, "child.pid")
        self.server = subprocess.Popen([sys.executable, "-c", STAND_IN, self.child_pid_file], stdin=subprocess.PIPE,
                                       stdout=subprocess.PIPE)
        self.desktop._server = self.server
        self.addCleanup(self.stop)

    def stop(self):
        with self.desktop._server_lock:
            self.desktop._stop_server()
        if self.server.poll() is None:
            self.server.kill()
            self.server.wait()
        if os.path.exists(self.child_pid_file):
            with open(self.child_pid_file) as f:
                os.kill(int(f.read()), signal.SIGKILL)
        self.folder.cleanup()

    def test_arguments_and_output_come_through_exactly(self):
        args = ("two words", "", "Zürich ✓", "back\\slash", "line\nbreak")
        code, out = self.desktop.driver("echo", *args, raw=True)
        self.assertEqual((code, out), (0, ("|".join(args) + "\r\n").encode()))
        # As text, with Unix line ends, as from a driver of its own; and again on the same process.
        self.assertEqual(self.desktop.driver("echo", 42), (0, "42\n"))
        self.assertIs(self.desktop._server, self.server)

    def test_misuse_fails_the_test_with_what_the_driver_said(self):
        self.assertEqual(self.desktop.driver("fail", 1), (1, ""))
        with self.assertRaisesRegex(AssertionError, "driver misuse.*\n.*usage"):
            self.desktop.driver("fail", 2)

    def test_a_driver_that_ends_in_a_command_fails_it_rather_than_waiting_for_the_timeout(self):
        # Its output pipe stays open in the child it left behind: its exit must be seen anyway,
        # or the call would raise TimeoutExpired.
        code, out = self.desktop.driver("die", timeout=60)
        self.assertNotEqual(code, 0)
        self.assertEqual(out, "")
        self.assertIsNone(self.desktop._server)

    def test_a_driver_stays_between_commands_until_it_is_let_go(self):
        for _ in range(4):
            self.assertEqual(self.desktop.driver("echo")[0], 0)
            time.sleep(0.3)
        self.assertIs(self.desktop._server, self.server)
        self.assertIsNone(self.server.poll())
        self.desktop.end_server()
        self.assertIsNone(self.desktop._server)
        self.assertEqual(self.server.wait(10), 0)  # it ended on the end of its input


if __name__ == "__main__":
    unittest.main()

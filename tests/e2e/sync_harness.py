"""Helpers of the end-to-end tests of sync between computers: a second computer beside the
test's own desktop (a display and a Wine prefix of its own, so a clipboard and a Data folder of
its own too), the "Sync between my computers" group of the Options tab driven as a user would,
and a pair of Syncthing instances on 127.0.0.1 that keep two folders alike.

Each program's history table is read through the driver whether its tab is shown or not, so
that the window can stay on the Options tab."""

import contextlib
import os
import shutil
import socket
import struct
import subprocess
import zlib
from xml.sax.saxutils import escape as xml_escape

import harness

# The group's captions, as the program shows them.
FOLDER_LABEL = "Sync folder:"
CODE_LABEL = "Sync code:"
START = "Start sync"
STOP = "Stop sync"
TO_CLIPBOARD = "Put what I copy on my other computers' clipboards too"

HISTORY_LIST = 1  # the history table is the main window's second list view
TEXT_COLUMN = 2

# settings.stng: not at log-on, the window shown, on the Options tab, Win+Insert, no limits.
SHOWN_ON_OPTIONS = b"0\r\n0\r\n2\r\n65581\r\n0\r\n0\r\n"


@contextlib.contextmanager
def other_computer(desktop, label="b"):
    """A second desktop inside the test's folder (kept with it when the test fails), with a run
    folder and a prefix of its own. A failure inside leaves a screenshot of its screen too."""
    other = harness.Desktop(os.path.join(desktop.name, label))
    with other:
        try:
            yield other
        except BaseException:
            with contextlib.suppress(Exception):
                other.screenshot("failure")
            raise
    # A passing test's prefix is of no further use and takes room.
    shutil.rmtree(other.prefix, ignore_errors=True)


def windows_path(path):
    """A Linux path as the programs of any prefix reach it: through drive Z:."""
    return "Z:" + path.replace("/", "\\")


def start_on_options(desktop):
    """Starts the program shown on its Options tab, and waits until it watches the clipboard."""
    with open(desktop.data_file("settings.stng"), "wb") as f:
        f.write(SHOWN_ON_OPTIONS)
    desktop.start()
    # Now and then, with the other computer's Wine busy beside it, Wine ends the program before
    # its first window with exit code 1 and not a word in its log: the program never ran, so it
    # is started again, once.
    if desktop.process.poll() is not None and desktop.driver("wait-window", harness.MAIN_TITLE, 0)[0] != 0:
        print(f"the program ended with exit code {desktop.process.returncode} before its window "
              f"existed; starting it again", flush=True)
        desktop.start()
    desktop.must("wait-viewer", harness.MAIN_TITLE, 30000)
    desktop.must("wait-visible", harness.MAIN_TITLE, 30000)
    # The group's button is shown: the Options tab is the one up.
    shown = harness.wait_until(lambda: any(desktop.driver("rect", harness.MAIN_TITLE, caption)[0] == 0
                                           for caption in (START, STOP)), 10)
    assert shown, f"no visible {START!r} or {STOP!r} button: the Options tab is not shown"


def code_box(desktop):
    return desktop.must("labelled-text", harness.MAIN_TITLE, CODE_LABEL)


def status_line(desktop):
    """The texts of the window's labels, one a line (the status line is one of them)."""
    return desktop.driver("wait-control-text", harness.MAIN_TITLE, "Static", "\\n", 0)[1]


def press_start(desktop, folder, code=""):
    """Types the folder and the code into their boxes and presses "Start sync"."""
    desktop.must("set-labelled-text", harness.MAIN_TITLE, FOLDER_LABEL, harness.escape(folder))
    desktop.must("set-labelled-text", harness.MAIN_TITLE, CODE_LABEL, harness.escape(code))
    desktop.must("press-button", harness.MAIN_TITLE, START)


def wait_status(desktop, part, seconds=20):
    """Waits until one of the window's labels holds `part`; fails with what they show."""
    found = harness.wait_until(lambda: part in status_line(desktop), seconds, 0.2)
    assert found, f"no label holds {part!r} after {seconds} s; the labels show:\n{status_line(desktop)}"


def start_sync(desktop, folder, code=""):
    """Starts sync in `folder` (a Windows path) with `code` (empty: this computer makes the key)
    and waits until the button reads "Stop sync"; returns the code the box then shows."""
    press_start(desktop, folder, code)
    started = harness.wait_until(lambda: desktop.driver("rect", harness.MAIN_TITLE, STOP)[0] == 0, 20, 0.2)
    assert started, f"sync did not start in {folder}; the labels show:\n{status_line(desktop)}"
    shown = code_box(desktop)
    assert shown.strip(), "sync started, but the Sync code box is empty"
    return shown


def history(desktop):
    """The texts of the history table, top row first."""
    code, out = desktop.driver("list-rows", harness.MAIN_TITLE, HISTORY_LIST, TEXT_COLUMN, raw=True)
    assert code == 0, "the history table cannot be read"
    return out.decode("utf-8").splitlines()


def wait_row(desktop, text, seconds=30):
    """Waits until the history table holds a row of `text`; returns when the driver saw it
    (seconds since 1970, the system's clock). Fails with the table as it then stood."""
    code, out = desktop.driver("wait-row", harness.MAIN_TITLE, HISTORY_LIST, TEXT_COLUMN, harness.escape(text),
                               int(seconds * 1000), timeout=seconds + 60)
    if code != 0:
        raise AssertionError(f"{text!r} did not reach the history of {desktop.name} in {seconds} s; its table "
                             f"holds {out.splitlines()}; the labels show:\n{status_line(desktop)}")
    return int(out.strip()) / 1000


def wait_history(desktop, expected, seconds=30):
    """Waits until the history table holds exactly `expected` (top row first)."""
    if harness.wait_until(lambda: history(desktop) == expected, seconds, 0.2):
        return
    raise AssertionError(f"the history of {desktop.name} holds {history(desktop)}, expected {expected}; "
                         f"the labels show:\n{status_line(desktop)}")


def png_image():
    """A 2 by 2 PNG of two colours, and its compressed pixels (which a sealed file never shows)."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    pixels = zlib.compress(b"\x00\xff\x00\x00\x10\x20\x30" + b"\x00\x00\x00\xff\x40\x50\x60")
    png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 2, 2, 8, 2, 0, 0, 0)) +
           chunk(b"IDAT", pixels) + chunk(b"IEND", b""))
    return png, pixels


IMAGE = "[Image 2\u00d72]"  # an image entry's text


def copy_image(desktop, png, attempts=3):
    """Copies the PNG in X and waits until the program has read it as an image. As with a text
    (see Desktop.copy_from_x), Wine's X clipboard bridge now and then answers the first read of a
    fresh X copy with nothing: the copy is then made anew, a few times at most."""
    for attempt in range(1, attempts + 1):
        sequence = desktop.must("clipboard-sequence").strip()
        desktop.set_x_clipboard(png, "image/png")
        desktop.must("wait-clipboard-change", sequence, 10000)
        if desktop.driver(*desktop._clipboard_seen_args(IMAGE, 10000))[0] == 0:
            return
        print(f"copy {attempt} of the image not seen by the program; its label shows "
              f"{desktop.clipboard_label()!r}", flush=True)
    desktop.wait_clipboard_seen(IMAGE, 0)


def folder_snapshot(root):
    """Every file under `root` with its size and modification time: what a write would change."""
    seen = {}
    for folder, _, files in os.walk(root):
        for name in files:
            path = os.path.join(folder, name)
            info = os.stat(path)
            seen[os.path.relpath(path, root)] = (info.st_size, info.st_mtime_ns)
    return seen


def assert_no_text_in_folder(root, texts):
    """Fails when a file's bytes or a file's name under `root` holds one of `texts`, in UTF-8 or
    UTF-16LE (a bytes text: those bytes); returns how many files were looked at."""
    count = 0
    for folder, _, files in os.walk(root):
        for name in files:
            path = os.path.join(folder, name)
            data = harness.read_bytes(path)
            count += 1
            for text in texts:
                forms = [text] if isinstance(text, bytes) else [text.encode("utf-8"), text.encode("utf-16-le")]
                for form in forms:
                    assert form not in data, f"{path} holds {text!r} ({len(form)} bytes at {data.find(form)})"
                assert isinstance(text, bytes) or text not in name, f"the file name {path} holds {text!r}"
    return count


# A sync code: 56 characters of Crockford's base 32 in groups of four, the key's 256 bits, four
# zero bits and the top 20 bits of the key's CRC-32.
_ALPHABET = "0123456789ABCDEFGHJKMNPQRSTVWXYZ"


def code_of_key(key):
    """The code a person would type for the 32-byte `key`: well formed, whatever the key."""
    assert len(key) == 32
    value = int.from_bytes(key + ((zlib.crc32(key) >> 12) & 0xFFFFF).to_bytes(3, "big"), "big")
    chars = [_ALPHABET[(value >> (5 * (55 - c))) & 31] for c in range(56)]
    return "-".join("".join(chars[k:k + 4]) for k in range(0, 56, 4))


def mistyped(code):
    """`code` with one character changed, as a slip of the finger would."""
    at = next(i for i, ch in enumerate(code) if ch != "-")
    return code[:at] + ("1" if code[at] != "1" else "2") + code[at + 1:]


# Syncthing: two instances on this computer, each keeping a folder of its own alike with the
# other's, and talking to nothing else.

SYNCTHING_FOLDER_ID = "cm-sync-e2e"


def _free_ports(count):
    sockets = []
    try:
        for _ in range(count):
            s = socket.socket()
            s.bind(("127.0.0.1", 0))
            sockets.append(s)
        return [s.getsockname()[1] for s in sockets]
    finally:
        for s in sockets:
            s.close()


class SyncthingPair:
    """Two Syncthing instances under `root`, "a" and "b", each with its own home and folder
    (root/a/folder and root/b/folder), listening and serving their GUI on 127.0.0.1 only, with
    global and local discovery, relays, NAT traversal, usage reports and upgrades off. Each knows
    the other by its device id at its address; the folder is watched for changes and rescanned
    every 2 s besides. Use as a context manager: the instances end with it."""

    def __init__(self, root):
        self.root = root
        self.names = ("a", "b")
        self.homes = {n: os.path.join(root, n, "home") for n in self.names}
        self.folders = {n: os.path.join(root, n, "folder") for n in self.names}
        self.processes = {}
        self.ids = {}
        self.api_key = "cm-e2e-" + os.urandom(8).hex()
        listen_a, listen_b, gui_a, gui_b = _free_ports(4)
        self.listen = {"a": listen_a, "b": listen_b}
        self.gui = {"a": gui_a, "b": gui_b}
        self.env = dict(os.environ, STNOUPGRADE="1", STNODEFAULTFOLDER="1", STNORESTART="1")

    def _run(self, *args):
        return subprocess.run(["syncthing", *args], env=self.env, capture_output=True, text=True, timeout=120)

    def __enter__(self):
        if shutil.which("syncthing") is None:
            raise AssertionError("syncthing is not installed: run scripts/install-deps")
        for n in self.names:
            os.makedirs(self.homes[n])
            # The marker Syncthing looks for in a folder it keeps, made here so that it takes
            # the folder as it is at its start.
            os.makedirs(os.path.join(self.folders[n], ".stfolder"))
            result = self._run("generate", f"--home={self.homes[n]}", "--no-default-folder")
            if result.returncode != 0:
                raise AssertionError(f"syncthing generate failed:\n{result.stdout}{result.stderr}")
            result = self._run("serve", f"--home={self.homes[n]}", "--device-id")
            self.ids[n] = result.stdout.strip()
            if result.returncode != 0 or len(self.ids[n]) < 50:
                raise AssertionError(f"no device id from syncthing:\n{result.stdout}{result.stderr}")
        for n in self.names:
            with open(os.path.join(self.homes[n], "config.xml"), "w") as f:
                f.write(self._config(n))
        for n in self.names:
            log = open(os.path.join(self.root, n, "syncthing.log"), "wb")
            self.processes[n] = subprocess.Popen(
                ["syncthing", "serve", f"--home={self.homes[n]}", "--no-browser", "--no-restart",
                 "--no-default-folder", "--skip-port-probing"],
                env=self.env, stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
                preexec_fn=harness._die_with_parent)
            log.close()
        return self

    def __exit__(self, *exc):
        for process in self.processes.values():
            harness.stop_process(process)
        return False

    def _config(self, n):
        devices = "".join(
            f'  <device id="{self.ids[m]}" name="{m}" compression="metadata" introducer="false">\n'
            f"    <address>tcp://127.0.0.1:{self.listen[m]}</address>\n"
            f"    <autoAcceptFolders>false</autoAcceptFolders>\n"
            f"  </device>\n" for m in self.names)
        shares = "".join(f'    <device id="{self.ids[m]}"></device>\n' for m in self.names)
        return (
            '<configuration version="36">\n'
            f'  <folder id="{SYNCTHING_FOLDER_ID}" label="clipboard" path="{xml_escape(self.folders[n])}" '
            'type="sendreceive" rescanIntervalS="2" fsWatcherEnabled="true" fsWatcherDelayS="1" '
            'ignorePerms="true" autoNormalize="true">\n'
            f"{shares}"
            '    <minDiskFree unit="%">0</minDiskFree>\n'
            "  </folder>\n"
            f"{devices}"
            '  <gui enabled="true" tls="false">\n'
            f"    <address>127.0.0.1:{self.gui[n]}</address>\n"
            f"    <apikey>{self.api_key}</apikey>\n"
            "  </gui>\n"
            "  <options>\n"
            f"    <listenAddress>tcp://127.0.0.1:{self.listen[n]}</listenAddress>\n"
            "    <globalAnnounceEnabled>false</globalAnnounceEnabled>\n"
            "    <localAnnounceEnabled>false</localAnnounceEnabled>\n"
            "    <relaysEnabled>false</relaysEnabled>\n"
            "    <natEnabled>false</natEnabled>\n"
            "    <startBrowser>false</startBrowser>\n"
            "    <urAccepted>-1</urAccepted>\n"
            "    <autoUpgradeIntervalH>0</autoUpgradeIntervalH>\n"
            "    <crashReportingEnabled>false</crashReportingEnabled>\n"
            '    <minHomeDiskFree unit="%">0</minHomeDiskFree>\n'
            "  </options>\n"
            "</configuration>\n")

    def rest(self, n, path):
        """A GET of the instance's REST API; the body as text, or why it failed."""
        import urllib.request
        request = urllib.request.Request(f"http://127.0.0.1:{self.gui[n]}{path}", headers={"X-API-Key": self.api_key})
        try:
            with urllib.request.urlopen(request, timeout=5) as response:
                return response.read().decode("utf-8", "replace")
        except OSError as error:
            return f"({path}: {error})"

    def state(self):
        """What the instances say of themselves, for a failure's message."""
        lines = []
        for n in self.names:
            alive = "running" if self.processes[n].poll() is None else f"ended with {self.processes[n].returncode}"
            lines.append(f"syncthing {n} ({alive}): connections {self.rest(n, '/rest/system/connections')[:600]}")
            lines.append(f"  folder {self.rest(n, '/rest/db/status?folder=' + SYNCTHING_FOLDER_ID)[:600]}")
            with contextlib.suppress(OSError):
                with open(os.path.join(self.root, n, "syncthing.log"), "rb") as f:
                    lines.append("  log: " + f.read()[-1500:].decode("utf-8", "replace"))
        return "\n".join(lines)

    def wait_connected(self, seconds=60):
        """Waits until each instance is connected to the other."""
        def connected():
            return self._connected("a", "b") and self._connected("b", "a")
        if not harness.wait_until(connected, seconds, 0.5):
            raise AssertionError(f"the Syncthing instances did not connect in {seconds} s\n{self.state()}")

    def _connected(self, n, m):
        import json
        try:
            data = json.loads(self.rest(n, "/rest/system/connections"))
        except ValueError:
            return False
        return bool(data.get("connections", {}).get(self.ids[m], {}).get("connected"))

    def wait_file(self, n, relative, seconds=60):
        """Waits until `relative` exists in instance `n`'s folder (delivered by the other)."""
        path = os.path.join(self.folders[n], relative)
        if not harness.wait_until(lambda: os.path.exists(path), seconds, 0.2):
            raise AssertionError(f"{relative} did not reach {self.folders[n]} in {seconds} s\n{self.state()}")

"""Helpers of the end-to-end tests: the real Clipboard_manager.exe under Wine.

Every test gets a desktop of its own: a private Xvfb display run by openbox, a private Wine
prefix (a cheap copy of the template prefix that the e2e_wine_prefix fixture makes once) and a
run folder that holds a copy of the exe with an empty Data folder beside it, as the release
package does.

The locations come from the environment that tests/e2e/e2e.cmake gives every test:
CM_E2E_EXE, CM_E2E_DRIVER, CM_E2E_TEMPLATE (the template prefix) and CM_E2E_WORK (the folder
that holds one sub-folder per test, kept after the run with logs and screenshots).

A test file defines functions named test_*, each taking a Desktop, and ends with
`harness.main(globals())`.
"""

import os
import re
import select
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import threading
import time
import traceback
import zlib

MAIN_TITLE = "Corvilane Clipboard Manager - https://corvilane.example"
EXE_NAME = "Clipboard_manager.exe"
DRIVER_NAME = "cm_test_driver.exe"

# The browser that the template prefix names (see make_template_prefix.py): a script that
# each desktop puts on its PATH, recording the addresses the program opens instead of opening them.
BROWSER_NAME = "cm-e2e-browser"

# Now and then Wine's loader fails to start a program at all and says so in these words (a
# missing program says "File not found" instead); the program never ran, so it is started
# again, a few times at most.
LAUNCH_FAILURE_MARKS = ("ShellExecuteEx failed: Internal error",)
LAUNCH_ATTEMPTS = 3

# How the driver prints the program's clipboard label when a wait for its text is not met.
_LABEL_LINE = 'Static: "Clipboard contains: '

# The driver's commands that one long-lived driver process serves (see Desktop.driver): they find
# windows, read them, post or send them messages and press keys, all of which a process does
# alike on its first command or its hundredth. The others start a driver of their own, as they
# always did: the clipboard's commands (a program of its own owns what it puts there, and ends
# as another program would), the timings and the programs that stay (slow-reader).
SERVED_COMMANDS = frozenset((
    "wait-window", "wait-gone", "wait-visible", "wait-hidden", "visible", "close", "post", "send",
    "syscommand", "focus", "control-text", "labelled-text", "set-labelled-text", "list-rows", "wait-row",
    "press-button", "click-button", "button-checked", "rect", "menu", "set-text", "wait-control-text",
    "wait-viewer", "key", "press", "key-names", "foreground-title", "title", "pid", "wait-dialog",
    "dialog-text", "click", "list-windows", "click-row", "selected-rows", "shown-rows", "double-click-row",
    "right-click-row", "list-rect", "column-width", "move", "clipboard-sequence", "wait-clipboard-change",
    "reg-string"))

# A desktop whose serving driver failed to start this many times runs every command on its own.
SERVER_ATTEMPTS = 3

# A served command starts at least this long after the previous one ended, about what starting a
# driver of its own took on a busy machine: the tests were written against that pace. A program
# given less time after a key, a click or a message than that (a menu that has just opened, a
# tab that is about to show) can miss what comes next, so those get longer.
SERVED_GAP = 0.1
SERVED_GAP_AFTER_INPUT = 0.4
INPUT_COMMANDS = frozenset((
    "close", "post", "send", "syscommand", "focus", "set-labelled-text", "press-button", "click-button",
    "menu", "set-text", "key", "press", "click", "click-row", "double-click-row", "right-click-row", "move"))

# The serving driver stays from its first command to the end of the test, or until the test
# waits for the prefix to end (Desktop.wait_prefix_ended). While it runs, the prefix stays up
# between the program's runs, as Windows does: a prefix whose last program has ended shuts its
# Wine server, services and desktop down, and the next program boots them all again, which
# took more processor time than anything else a test did.

# Folders of the prefix whose files only ever get read: hard links instead of copies.
_LINKED_DIRS = ("system32", "syswow64", "winsxs")


def _env(name):
    value = os.environ.get(name)
    if not value:
        raise SystemExit(f"{name} is not set; run the end-to-end tests through ctest")
    return value


def copy_prefix(template, target):
    """Copies a Wine prefix; the large system folders are hard-linked.

    Wine rewrites its registry files by writing a new file and renaming it, and never writes
    into its own DLLs, so the links cannot change the template."""

    def copy(src, dst):
        parts = os.path.relpath(src, template).split(os.sep)
        if len(parts) > 3 and parts[0] == "drive_c" and parts[2] in _LINKED_DIRS:
            os.link(src, dst)
        else:
            shutil.copy2(src, dst)

    shutil.copytree(template, target, symlinks=True, copy_function=copy)


def _die_with_parent():
    """Runs in the child before exec: the kernel ends it when the test process goes, so that a
    test killed by its timeout leaves no X server or program behind."""
    try:
        import ctypes
        ctypes.CDLL(None, use_errno=True).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG
    except (OSError, AttributeError):
        pass


def start_xvfb(log_path):
    """Starts a private X server on a free display; returns (process, display string)."""
    read_fd, write_fd = os.pipe()
    log = open(log_path, "wb")
    xvfb = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
        pass_fds=(write_fd,), stdout=log, stderr=subprocess.STDOUT, preexec_fn=_die_with_parent)
    os.close(write_fd)
    number = b""
    with os.fdopen(read_fd, "rb") as pipe:
        while not number.endswith(b"\n"):
            chunk = pipe.read(1)
            if not chunk:
                raise RuntimeError(f"Xvfb did not start; see {log_path}")
            number += chunk
    return xvfb, ":" + number.decode().strip()


# The window manager's settings; scripts/run's private display uses them too.
OPENBOX_RC = os.path.join(os.path.dirname(os.path.abspath(__file__)), "openbox-rc.xml")


def start_window_manager(display, log_path, seconds=30):
    """Starts openbox on `display` and returns its process once it manages the screen.

    Without a window manager, winex11 waits 2 s for the withdrawal of every window that is
    hidden or destroyed, which no one answers on a bare X server. Openbox sets the root
    window's _NET_NUMBER_OF_DESKTOPS only after it has taken the screen over, so xdotool can
    read it from then on."""
    env = dict(os.environ, DISPLAY=display)
    env.pop("XAUTHORITY", None)
    log = open(log_path, "wb")
    wm = subprocess.Popen(["openbox", "--sm-disable", "--config-file", OPENBOX_RC], env=env,
                          stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
                          preexec_fn=_die_with_parent)
    log.close()
    deadline = time.monotonic() + seconds
    while True:
        if wm.poll() is not None:
            raise RuntimeError(f"openbox ended with exit code {wm.returncode}; see {log_path}")
        ready = subprocess.run(["xdotool", "get_num_desktops"], env=env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, timeout=30).returncode == 0
        if ready:
            return wm
        if time.monotonic() >= deadline:
            stop_process(wm)
            raise RuntimeError(f"openbox did not take the display {display} over in {seconds} s; see {log_path}")
        time.sleep(0.05)


def stop_process(process):
    """Ends a process that this test started (an X server, the window manager) and reaps it."""
    if process is None or process.poll() is not None:
        return
    process.terminate()
    try:
        process.wait(10)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


class Desktop:
    """One private desktop with the program's run folder. Use as a context manager."""

    def __init__(self, name):
        self.name = name
        self.exe_source = _env("CM_E2E_EXE")
        self.driver_source = _env("CM_E2E_DRIVER")
        self.template = _env("CM_E2E_TEMPLATE")
        self.dir = os.path.join(_env("CM_E2E_WORK"), name)
        self.prefix = os.path.join(self.dir, "prefix")
        self.run_dir = os.path.join(self.dir, "run")
        self.data_dir = os.path.join(self.run_dir, "Data")
        self.exe_path = os.path.join(self.run_dir, EXE_NAME)
        self.urls_file = os.path.join(self.dir, "opened-urls.txt")
        self.screenshots = []
        self.process = None
        self._others = []
        self._xvfb = None
        self._wm = None
        self._exe_log = None
        self._server = None
        self._server_output = b""
        self._server_failures = 0
        self._server_lock = threading.Lock()
        self._server_used = 0.0
        self._server_gap = 0.0

    # Setting up and tearing down.

    def __enter__(self):
        if os.path.exists(self.dir):
            self._stop_wine()
            shutil.rmtree(self.dir)
        os.makedirs(self.dir)
        copy_prefix(self.template, self.prefix)
        os.makedirs(self.data_dir)
        shutil.copy2(self.exe_source, self.exe_path)
        shutil.copy2(self.driver_source, os.path.join(self.run_dir, DRIVER_NAME))
        bin_dir = os.path.join(self.dir, "bin")
        os.makedirs(bin_dir)
        browser = os.path.join(bin_dir, BROWSER_NAME)
        with open(browser, "w") as f:
            f.write(f'#!/bin/sh\nprintf "%s\\n" "$1" >> "{self.urls_file}"\n')
        os.chmod(browser, 0o755)
        # Now and then, with other desktops starting beside this one, openbox finds no display at
        # the number Xvfb gave (nothing of the test has run yet): a fresh X server is started.
        for attempt in range(1, 4):
            self._xvfb, self.display = start_xvfb(os.path.join(self.dir, "xvfb.log"))
            try:
                self._wm = start_window_manager(self.display, os.path.join(self.dir, "openbox.log"))
                break
            except RuntimeError as error:
                stop_process(self._xvfb)
                if attempt == 3:
                    raise
                print(f"{error}; starting the X server again", flush=True)
        self.env = dict(os.environ, WINEPREFIX=self.prefix, DISPLAY=self.display, WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d",
                        PATH=bin_dir + os.pathsep + os.environ.get("PATH", ""))
        self.env.pop("XAUTHORITY", None)
        return self

    def __exit__(self, *exc):
        self._stop_wine()
        # The window manager first: without its display it would only report an error.
        stop_process(self._wm)
        stop_process(self._xvfb)
        if self._exe_log:
            self._exe_log.close()
        return False

    def _stop_wine(self):
        """Ends every process of this desktop's prefix (all of them started by this test)."""
        if os.path.isdir(os.path.join(self.dir, "prefix")):
            subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=self.prefix),
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)
        with self._server_lock:
            self._stop_server()
        for process in [self.process, *self._others]:
            if process and process.poll() is None:
                process.kill()
                process.wait()

    def use_run_folder(self, name):
        """Moves the run folder (the exe, the driver and Data) to <test folder>/<name> before the
        program starts, so that it runs from a folder of that name."""
        target = os.path.join(self.dir, name)
        shutil.move(self.run_dir, target)
        self.run_dir = target
        self.data_dir = os.path.join(target, "Data")
        self.exe_path = os.path.join(target, EXE_NAME)

    def exe_windows_path(self):
        """The exe's path as Wine shows it to Windows programs: the Unix root is drive Z:."""
        return "Z:" + self.exe_path.replace("/", "\\")

    # The program.

    def _log(self):
        if not self._exe_log:
            self._exe_log = open(os.path.join(self.dir, "exe.log"), "ab")
        return self._exe_log

    def start(self):
        """Starts Clipboard_manager.exe from its run folder and waits until its main window
        exists (it may stay hidden)."""
        for attempt in range(1, LAUNCH_ATTEMPTS + 1):
            log = self._log()
            log.flush()
            log_start = os.path.getsize(os.path.join(self.dir, "exe.log"))
            self.process = subprocess.Popen(["wine", self.exe_path], cwd=self.run_dir, env=self.env,
                                            stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
                                            preexec_fn=_die_with_parent)
            code, _ = self.driver("wait-window", MAIN_TITLE, 60000)
            if code == 0 or self.process.poll() is None or not self._launch_failed_since(log_start):
                return self.process
            print(f"launch {attempt} of the program failed in Wine's loader; starting it again", flush=True)
            time.sleep(0.5)
        return self.process

    def _launch_failed_since(self, offset):
        """Whether Wine's loader reported, after `offset` in exe.log, that it could not start
        the program at all."""
        return _launch_failed(self._exe_log_bytes(offset))

    def _exe_log_bytes(self, offset=0):
        """What Wine has printed for the program so far, from `offset` on."""
        if self._exe_log:
            self._exe_log.flush()
        try:
            with open(os.path.join(self.dir, "exe.log"), "rb") as f:
                f.seek(offset)
                return f.read()
        except OSError:
            return b""

    def start_watching(self):
        """Starts the program and waits until it watches the clipboard: its start-up is over
        and its message loop runs."""
        self.start()
        self.must("wait-viewer", MAIN_TITLE, 30000)

    def close_and_wait_exit(self, seconds=30):
        """Sends WM_CLOSE to the main window and fails the test unless the program then ends."""
        self.must("close", MAIN_TITLE)
        assert self.wait_exit(seconds), f"the program was still running {seconds} s after WM_CLOSE"

    def tray_menu_choose(self, keys, screenshot=None):
        """Opens the tray icon's menu with the right button, as the shell reports it to the
        icon's callback window, and chooses an item with the keys given (virtual-key codes,
        such as Down 0x28, Up 0x26 and Enter 0x0D)."""
        self.must("post", "TrayIconCallback", 0x800, 1, 0x204)  # WM_RBUTTONDOWN
        self.must("wait-visible", "class:#32768", 30000)  # the popup menu
        if screenshot:
            self.screenshot(screenshot)
        for vk in keys:
            self.must("key", vk, "down")
            self.must("key", vk, "up")

    def stop(self):
        """Ends the program (and every other process of the prefix) at once, without a close."""
        self._stop_wine()

    def wait_prefix_ended(self, timeout=60):
        """Waits until every program of the prefix has ended and its Wine server with them, so
        that the next program boots the prefix afresh (and reads, say, a DPI set meanwhile)."""
        self.end_server()
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=timeout)

    def set_dpi(self, dpi):
        """Sets the prefix's DPI (LogPixels) for the programs started next. Wine reads it when the
        prefix boots, so the prefix is let end first."""
        self.wine("reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi),
                  "/f")
        self.wait_prefix_ended()

    def running(self):
        return self.process is not None and self.process.poll() is None

    def wait_exit(self, seconds):
        """Whether the program has ended within `seconds`."""
        try:
            self.process.wait(seconds)
            return True
        except subprocess.TimeoutExpired:
            return False

    # Other programs on the desktop.

    def _run(self, args, timeout, raw=False):
        """`_run_once`, started again when Wine's loader could not start the program at all."""
        for attempt in range(1, LAUNCH_ATTEMPTS + 1):
            code, out, err = self._run_once(args, timeout, raw)
            if code == 0 or attempt == LAUNCH_ATTEMPTS or not _launch_failed(out, err):
                return code, out, err
            print(f"launch {attempt} of wine {args[0]} failed in Wine's loader; starting it again", flush=True)
            time.sleep(0.5)

    def _run_once(self, args, timeout, raw=False):
        """Runs a Wine program to its end; returns (exit code, stdout, stderr), the output as
        text with Unix line ends, or as bytes when `raw`.

        The output goes through files, not pipes: a Wine program may start the prefix's
        long-lived processes (wineserver, the desktop's explorer), which inherit its output
        handles and would hold a pipe open long after the program itself has ended."""
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            process = subprocess.Popen(["wine", *args], env=self.env, cwd=self.run_dir, stdin=subprocess.DEVNULL,
                                       stdout=out, stderr=err)
            try:
                code = process.wait(timeout)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
                raise
            out.seek(0)
            err.seek(0)
            if raw:
                return code, out.read(), err.read()
            return (code, out.read().decode("latin-1").replace("\r\n", "\n"),
                    err.read().decode("latin-1").replace("\r\n", "\n"))

    def wine(self, *args, timeout=60, check=True):
        """Runs a Wine program (e.g. "reg", "query", ...) in this desktop; returns its output."""
        code, out, err = self._run(args, timeout)
        if check and code != 0:
            raise AssertionError(f"wine {' '.join(args)} exited {code}:\n{out}{err}")
        return out

    def driver(self, *args, timeout=120, raw=False):
        """Runs cm_test_driver.exe; returns (exit code, output). 0 means the condition held.
        The output is bytes exactly as printed when `raw`.

        Most commands go to one driver process that stays while it is used (its "serve"
        command) rather than to a new one each: starting a Wine program costs about a tenth of
        a CPU second, and a test sends a few hundred commands, many of them in polling loops."""
        args = [str(a) for a in args]
        served = self._served(args, timeout) if args and args[0] in SERVED_COMMANDS else None
        if served:
            code, out, err = served
            if not raw:
                out = out.decode("latin-1").replace("\r\n", "\n")
                err = err.decode("latin-1").replace("\r\n", "\n")
        else:
            code, out, err = self._run([os.path.join(self.run_dir, DRIVER_NAME), *args], timeout, raw)
        if code == 2:
            raise AssertionError(f"driver misuse: {args}\n{err}")
        return code, out

    def _served(self, args, timeout):
        """Has the serving driver run a command; returns (exit code, stdout, stderr) as bytes, or
        None when no serving driver could be had and the command has not run."""
        with self._server_lock:
            time.sleep(max(0.0, self._server_used + self._server_gap - time.monotonic()))
            try:
                return self._served_now(args, timeout)
            finally:
                self._server_used = time.monotonic()
                self._server_gap = SERVED_GAP_AFTER_INPUT if args[0] in INPUT_COMMANDS else SERVED_GAP

    def _served_now(self, args, timeout):
        for _ in range(2):
            server = self._driver_server()
            if server is None:
                return None
            request = " ".join("x" + a.encode("utf-8").hex() for a in args) + "\n"
            try:
                server.stdin.write(request.encode("ascii"))
                server.stdin.flush()
            except OSError:
                # It had ended (say, the desktop's Wine processes were ended) before the request:
                # nothing ran. A new one is started.
                self._stop_server()
                continue
            deadline = time.monotonic() + timeout
            try:
                header = self._server_read_line(deadline)
                code, out_size, err_size = (int(field) for field in header.split())
                body = self._server_read(out_size + err_size, deadline)
            except subprocess.TimeoutExpired:
                self._stop_server()
                raise
            except (EOFError, ValueError):
                # It ended in the middle of the command, as a driver of its own could have.
                code = server.poll()
                self._stop_server()
                return (code if code else 1), b"", b""
            return code, body[:out_size], body[out_size:]
        return None

    def _driver_server(self):
        """The running serving driver, started when there is none; None when it cannot be had."""
        if self._server is not None and self._server.poll() is None:
            return self._server
        self._stop_server()
        if self._server_failures >= SERVER_ATTEMPTS:
            return None
        log_path = os.path.join(self.dir, "driver-server.log")
        with open(log_path, "ab") as log:
            self._server = subprocess.Popen(["wine", os.path.join(self.run_dir, DRIVER_NAME), "serve"],
                                            env=self.env, cwd=self.run_dir, stdin=subprocess.PIPE,
                                            stdout=subprocess.PIPE, stderr=log, preexec_fn=_die_with_parent)
        try:
            if self._server_read_line(time.monotonic() + 60) == "ready":
                return self._server
        except (EOFError, subprocess.TimeoutExpired):
            pass
        self._server_failures += 1
        print(f"the serving test driver did not start (see {log_path}); its commands start a driver each",
              flush=True)
        self._stop_server()
        return None

    def _server_fill(self, size, deadline):
        """Reads the serving driver's output until `size` bytes of it wait in the buffer. Its
        output pipe may be held open by the prefix's long-lived processes, which inherit it when
        it starts them, so its end is seen by the process's exit, not by the pipe's."""
        fd = self._server.stdout.fileno()
        while len(self._server_output) < size:
            left = deadline - time.monotonic()
            if left <= 0:
                raise subprocess.TimeoutExpired("cm_test_driver serve", deadline)
            ready, _, _ = select.select([fd], [], [], min(left, 0.5))
            chunk = os.read(fd, 65536) if ready else None
            if chunk:
                self._server_output += chunk
            elif chunk == b"" or self._server.poll() is not None:
                # Whatever it wrote before it ended is in the pipe already.
                ready, _, _ = select.select([fd], [], [], 0)
                chunk = os.read(fd, 65536) if ready else b""
                if not chunk:
                    raise EOFError("the serving test driver ended")
                self._server_output += chunk

    def _server_read(self, size, deadline):
        self._server_fill(size, deadline)
        data, self._server_output = self._server_output[:size], self._server_output[size:]
        return data

    def _server_read_line(self, deadline):
        while b"\n" not in self._server_output:
            self._server_fill(len(self._server_output) + 1, deadline)
        line, _, self._server_output = self._server_output.partition(b"\n")
        return line.decode("ascii", "replace").strip()

    def end_server(self):
        """Lets the serving driver end by itself: its stdin is closed, on which it ends. The
        next served command starts another."""
        with self._server_lock:
            server = self._server
            if server is not None and server.poll() is None:
                try:
                    server.stdin.close()
                    server.wait(5)
                except (OSError, subprocess.TimeoutExpired):
                    pass
            self._stop_server()

    def _stop_server(self):
        server, self._server = self._server, None
        self._server_output = b""
        if server is None:
            return
        if server.poll() is None:
            server.kill()
        server.wait()
        for pipe in (server.stdin, server.stdout):
            try:
                pipe.close()
            except OSError:
                pass

    def must(self, *args):
        """Runs the driver and fails the test unless the condition held; returns the output."""
        code, out = self.driver(*args)
        if code != 0:
            raise AssertionError(f"driver {' '.join(map(str, args))}: not met\n{out}\n"
                                 f"windows now:\n{self.driver('list-windows')[1]}{self._program_state()}")
        return out

    def _program_state(self):
        """Whether the program runs, and the end of what Wine printed for it."""
        if not self.process:
            return "the program was not started\n"
        code = self.process.poll()
        state = "the program is running" if code is None else f"the program has ended with exit code {code}"
        tail = self._exe_log_bytes()[-2000:].decode("utf-8", "replace")
        return f"{state}; the end of exe.log:\n{tail}\n"

    def wait_window(self, target=MAIN_TITLE, timeout_ms=30000):
        return self.must("wait-window", target, timeout_ms)

    def launch(self, *args):
        """Starts another Wine program (e.g. "notepad") and leaves it running; it ends with the
        desktop."""
        process = subprocess.Popen(["wine", *args], cwd=self.run_dir, env=self.env, stdin=subprocess.DEVNULL,
                                   stdout=self._log(), stderr=subprocess.STDOUT, preexec_fn=_die_with_parent)
        self._others.append(process)
        return process

    def reg_value(self, key, name):
        """(type, data) of a registry value as `wine reg query` shows it, or None when it is missing."""
        code, out, _ = self._run(["reg", "query", key, "/v", name], 60)
        if code != 0:
            return None
        for line in out.splitlines():
            # "    NAME    REG_SZ    DATA"; empty data leaves the type last on the line.
            fields = line.lstrip().split("    ", 2)
            if len(fields) >= 2 and fields[0] == name:
                return fields[1], fields[2] if len(fields) == 3 else ""
        raise AssertionError(f"no value {name} in the output of reg query {key}:\n{out}")

    def windows_path(self, path):
        """The path as the programs in the prefix see it (Z:\\...)."""
        return self.wine("winepath", "-w", path).strip()

    @staticmethod
    def _clipboard_seen_args(text, timeout_ms):
        """The driver's wait for the program's label, which shows the text it last read from
        the clipboard as "Clipboard contains: <text>"."""
        return "wait-control-text", MAIN_TITLE, "Static", escape("Clipboard contains: " + text), timeout_ms

    def wait_clipboard_seen(self, text, timeout_ms=30000):
        """Waits until the program has read `text` from the clipboard."""
        return self.must(*self._clipboard_seen_args(text, timeout_ms))

    def clipboard_label(self):
        """The text that the program's label shows as last read from the clipboard, or None when
        the main window shows no such label."""
        # A wait for a text that a label never shows exactly prints what the labels show.
        return _label_shown(self.driver("wait-control-text", MAIN_TITLE, "Static", "\\n", 0)[1])

    def copy_from_x(self, text, attempts=3, timeout_ms=30000):
        """Copies `text` in X and waits until the program has read it.

        Now and then Wine's X clipboard bridge answers the program's first read of a fresh X
        copy with no text at all, although a later read gets it: the program then rightly
        records nothing and its label shows an empty text. Nothing would announce the text
        again, so the copy is made anew, as a user would, a few times at most. While the label
        still shows what it showed before, the program has not been told yet, which on a busy
        machine takes a while: that is waited for, up to `timeout_ms` in all. (When the label
        was empty before, an empty label tells nothing until a few seconds have passed.)"""
        before = self.clipboard_label()
        deadline = time.monotonic() + timeout_ms / 1000
        for attempt in range(1, attempts + 1):
            self.set_x_clipboard(text)
            copied = time.monotonic()
            while True:
                wait_ms = int(max(0.0, min(deadline - time.monotonic(), 2.0)) * 1000)
                code, out = self.driver(*self._clipboard_seen_args(text, wait_ms))
                if code == 0:
                    return
                shown = _label_shown(out)
                if time.monotonic() >= deadline:
                    raise AssertionError(f"the program did not read {text!r} from the clipboard in {timeout_ms} ms "
                                         f"and {attempt} copies; its label shows {shown!r}\n{self._program_state()}")
                if shown == "" and (before != "" or time.monotonic() - copied > 4):
                    break
            print(f"copy {attempt} of {text!r} not seen by the program: its label shows an empty text", flush=True)
        self.wait_clipboard_seen(text, 0)

    # The X clipboard of the display, which Wine keeps in step with the Windows clipboard; xclip
    # stands for a Linux program that copies or pastes.

    def set_x_clipboard(self, data, mime_type=None):
        """Copies `data` (bytes, or str sent as UTF-8) as the display's CLIPBOARD: text, or
        content of `mime_type` (such as "image/png")."""
        if isinstance(data, str):
            data = data.encode("utf-8")
        target = ["-t", mime_type] if mime_type else []
        # xclip stays behind as the owner of the selection until another program takes it, so
        # its output must not be a pipe that this call would wait on.
        subprocess.run(["xclip", "-selection", "clipboard", *target, "-i"], input=data, env=self.env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)

    def get_x_clipboard(self, target=None):
        """The display's CLIPBOARD as bytes, as text or as `target` (such as "TARGETS"), or None
        when it holds none."""
        target = ["-t", target] if target else []
        result = subprocess.run(["xclip", "-selection", "clipboard", *target, "-o"], env=self.env,
                                capture_output=True, timeout=30)
        return result.stdout if result.returncode == 0 else None

    def opened_urls(self):
        if not os.path.exists(self.urls_file):
            return []
        with open(self.urls_file) as f:
            return f.read().splitlines()

    # What a person would look at.

    def screenshot(self, label):
        """Saves the whole display as <test folder>/<label>.png and returns the path."""
        path = os.path.join(self.dir, label + ".png")
        subprocess.run(["import", "-display", self.display, "-window", "root", path], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        self.screenshots.append(path)
        return path

    def data_file(self, name):
        return os.path.join(self.data_dir, name)


def escape(text):
    """A text as a driver argument: line breaks, tabs and backslashes written as \\r, \\n, \\t, \\\\."""
    return text.replace("\\", "\\\\").replace("\r", "\\r").replace("\n", "\\n").replace("\t", "\\t")


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def assert_file_bytes(path, expected):
    """Fails with the first difference unless the file holds exactly `expected`."""
    if not os.path.exists(path):
        raise AssertionError(f"{path} does not exist")
    actual = read_bytes(path)
    if actual == expected:
        return
    at = next((i for i, (a, b) in enumerate(zip(actual, expected)) if a != b), min(len(actual), len(expected)))
    raise AssertionError(f"{path}: {len(actual)} bytes, expected {len(expected)}; first difference at byte {at}:\n"
                         f"  actual   {actual[max(0, at - 8):at + 24]!r}\n"
                         f"  expected {expected[max(0, at - 8):at + 24]!r}")


def png_variants(source, count):
    """`count` PNG files beside `source` (a non-interlaced PNG with 8 bits a sample), named
    <source stem>-<k>.png, each the same picture with a bottom row of its own: as large and as
    hard to compress as the source, and each a different image. Only the bottom row is
    compressed once per file, so that many large images cost little more than one to make."""
    data = read_bytes(source)
    chunks, at = [], 8
    while at < len(data):
        size, kind = struct.unpack(">I4s", data[at:at + 8])
        chunks.append((kind, data[at + 8:at + 8 + size]))
        at += 12 + size
    header = dict(chunks)[b"IHDR"]
    width, height, depth, color, _, _, interlace = struct.unpack(">IIBBBBB", header)
    assert depth == 8 and interlace == 0 and color in (0, 2, 4, 6), f"{source}: an unexpected PNG form"
    row = 1 + width * {0: 1, 2: 3, 4: 2, 6: 4}[color]
    pixels = zlib.decompress(b"".join(body for kind, body in chunks if kind == b"IDAT"))
    assert len(pixels) == row * height, f"{source}: {len(pixels)} bytes of pixels, expected {row * height}"
    above = zlib.compressobj(6)
    head = above.compress(pixels[:-row])

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    paths = []
    stem = os.path.splitext(source)[0]
    for k in range(count):
        # Filter type 0: the row's bytes are its samples, whatever the row above holds.
        bottom = b"\0" + bytes((x * (k + 3) + k) & 0xFF for x in range(row - 1))
        rest = above.copy()
        body = head + rest.compress(bottom) + rest.flush()
        path = f"{stem}-{k}.png"
        with open(path, "wb") as f:
            f.write(data[:8] + chunk(b"IHDR", header) + chunk(b"IDAT", body) + chunk(b"IEND", b""))
        paths.append(path)
    return paths


# A date and a time as a locale writes them, such as 12/8/2026 1:24:55 AM or 08.12.2026 01:24:55.
DATE = r"\d{1,4}[./-]\d{1,2}[./-]\d{1,4}(?: \d{1,2}:\d{2}(?::\d{2})?(?: ?[AP]M)?)?"


# The field an image entry's row ends with: the name of its stored picture.
IMAGE_ITEM = r",items1:[0-9a-f]{64}\.png"


def assert_history_file(path, rows):
    """Checks a history file byte for byte against `rows` of ("#" field, encoded text field),
    top row first, with any date in the date field; returns the dates. A row may carry a third
    element, a pattern for what follows its text field (IMAGE_ITEM)."""
    if not os.path.exists(path):
        raise AssertionError(f"{path} does not exist")
    data = read_bytes(path)
    assert data[:2] == b"\xff\xfe", f"{path} does not begin with the UTF-16LE mark: {data[:8]!r}"
    text = data[2:].decode("utf-16-le", errors="replace")
    pattern = "".join(f"{re.escape(row[0])},({DATE}),{re.escape(row[1])}{''.join(row[2:])}\r\n" for row in rows)
    match = re.fullmatch(pattern, text)
    if not match or data != b"\xff\xfe" + text.encode("utf-16-le"):
        expected = "".join(f"{row[0]},<date>,{row[1]}{''.join(row[2:])}\r\n" for row in rows)
        raise AssertionError(f"{path} holds\n{text!r}\nexpected\n{expected!r}")
    return match.groups()


def _label_shown(driver_output):
    """The text after "Clipboard contains: " in the labels that a driver wait printed, or None."""
    for line in driver_output.splitlines():
        if line.startswith(_LABEL_LINE) and line.endswith('"'):
            return line[len(_LABEL_LINE):-1]
    return None


def _launch_failed(*outputs):
    """Whether Wine's output (texts or bytes) says that its loader could not start the program."""
    text = "".join(o.decode("latin-1") if isinstance(o, bytes) else o for o in outputs)
    return any(mark in text for mark in LAUNCH_FAILURE_MARKS)


def wait_until(condition, seconds, interval=0.1):
    """Polls `condition` until it is true or `seconds` have passed; returns its last value."""
    deadline = time.monotonic() + seconds
    while True:
        value = condition()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(interval)


# The actions and the window that receives their pastes.

NOTEPAD = "Untitled - Notepad"


def hotkey_text(desktop, *keys):
    """The text the program gives a hotkey: the key names of the prefix's layout joined by "+",
    as Wine names them ("Control", not "Ctrl"); `keys` are the modifiers in the order Ctrl,
    Shift, Alt, Win, then the key."""
    return "+".join(desktop.must("key-names", *keys).splitlines())


def write_actions(desktop, rows):
    """Writes Data\\actions.cnfg: one line of already encoded fields per action."""
    lines = "".join(",".join(fields) + "\r\n" for fields in rows)
    with open(desktop.data_file("actions.cnfg"), "wb") as f:
        f.write(b"\xff\xfe" + lines.encode("utf-16-le"))


def start_with_notepad(desktop):
    """Starts the program, waits until it watches the clipboard, and gives notepad the focus."""
    desktop.start_watching()
    desktop.launch("notepad")
    desktop.wait_window(NOTEPAD, 30000)
    focus_notepad(desktop)


QUICK_PASTE = "Quick paste"


def quick_paste(desktop, typed):
    """Opens the quick-paste popup (Win+Insert), types `typed` into its filter and picks the
    first match with Enter."""
    desktop.must("press", "win", "insert")
    desktop.must("wait-visible", QUICK_PASTE, 30000)
    for ch in typed:
        desktop.must("key", "space" if ch == " " else ch, "down")
        desktop.must("key", "space" if ch == " " else ch, "up")
    desktop.must("key", "enter", "down")
    desktop.must("key", "enter", "up")
    desktop.must("wait-hidden", QUICK_PASTE, 30000)


def focus_notepad(desktop):
    """Gives notepad the focus and waits until it keeps it: a window that is still coming up on a
    busy machine can take the activation back a moment later, and the keys would go there."""
    kept = 0
    deadline = time.monotonic() + 30
    while kept < 2 and time.monotonic() < deadline:
        desktop.must("focus", NOTEPAD)
        time.sleep(0.2)
        kept = kept + 1 if desktop.driver("foreground-title")[1].strip() == NOTEPAD else 0
    assert kept >= 2, f"notepad does not keep the focus; {desktop.driver('foreground-title')[1]!r} has it"


def notepad_text(desktop):
    return desktop.driver("control-text", NOTEPAD, "Edit", raw=True)[1]


def main(namespace):
    """Runs the file's test_* functions in order, each on a fresh Desktop; exits non-zero on failure.

    Test names given on the command line run only those tests (ctest runs each on its own, so
    that several run at once); a name the file does not define is a failure, not a pass."""
    tests = [(name, fn) for name, fn in namespace.items() if name.startswith("test_") and callable(fn)]
    wanted = sys.argv[1:]
    unknown = [name for name in wanted if name not in dict(tests)]
    if unknown:
        print(f"no such test in this file: {' '.join(unknown)}", flush=True)
        sys.exit(2)
    if wanted:
        tests = [(name, fn) for name, fn in tests if name in wanted]
    file_stem = os.path.splitext(os.path.basename(namespace.get("__file__", "e2e")))[0]
    passed = failed = 0
    for name, fn in tests:
        print(f"[ RUN      ] {name}", flush=True)
        desktop = None
        ok = False
        try:
            with Desktop(f"{file_stem}.{name}") as desktop:
                try:
                    fn(desktop)
                except Exception:
                    # The screen as the failure left it, before the desktop is torn down.
                    try:
                        desktop.screenshot("failure")
                    except Exception as error:  # a failure of its own must not hide the first
                        print(f"  no screenshot of the failure: {error}", flush=True)
                    raise
            ok = True
            passed += 1
            print(f"[       OK ] {name}", flush=True)
        except Exception:
            failed += 1
            traceback.print_exc()
            if desktop is not None:
                # Kept under a name of its own, so that a second run of the test cannot wipe it.
                kept = f"{desktop.dir}.failed-{time.strftime('%H%M%S')}"
                shutil.move(desktop.dir, kept)
                desktop.screenshots = [shot.replace(desktop.dir, kept, 1) for shot in desktop.screenshots]
                print(f"  logs, prefix and screenshots: {kept}", flush=True)
            print(f"[  FAILED  ] {name}", flush=True)
        if desktop is not None:
            for shot in desktop.screenshots:
                print(f"  screenshot: {shot}", flush=True)
            if ok:
                # A passing test's prefix is of no further use and takes room.
                shutil.rmtree(desktop.prefix, ignore_errors=True)
    print(f"{passed} passed, {failed} failed", flush=True)
    sys.exit(1 if failed or not tests else 0)


signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))

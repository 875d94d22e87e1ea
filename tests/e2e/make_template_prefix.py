#!/usr/bin/env python3
"""Makes the Wine prefix that every end-to-end test starts from a copy of.

Creating a prefix (wineboot) takes about 15 s; copying one takes a fraction of that. The
template is made again only when Wine or this script has changed.

Settings of the template:
- a virtual desktop, so that windows get their captions, the application window its taskbar
  button and the tray icon a notification area, all drawn by Wine whatever runs the display
  (openbox only places the desktop's one X window), and so that every program of the prefix
  shares one desktop (FindWindow across programs);
- no crash dialog, which would wait for a click that never comes;
- the web browser is the program cm-e2e-browser, which each test puts on its PATH;
- Wine's own TrueType fonts (Tahoma, Marlett for the caption buttons, MS Sans Serif) in the
  prefix's Fonts folder, where Wine finds them whatever its packagers did.

Usage: make_template_prefix.py TEMPLATE_DIR
"""

import hashlib
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

WINE_FONTS = "/usr/share/wine/fonts"

REGISTRY = [
    (r"HKCU\Software\Wine\Explorer", "Desktop", "REG_SZ", "Default"),
    (r"HKCU\Software\Wine\Explorer\Desktops", "Default", "REG_SZ", "1024x768"),
    (r"HKCU\Software\Wine\WineDbg", "ShowCrashDialog", "REG_DWORD", "0"),
    (r"HKCU\Software\Wine\WineBrowser", "Browsers", "REG_SZ", harness.BROWSER_NAME),
]


def stamp():
    wine = subprocess.run(["wine", "--version"], capture_output=True, text=True).stdout.strip()
    with open(os.path.abspath(__file__), "rb") as f:
        script = hashlib.sha256(f.read()).hexdigest()
    return f"{wine} {script}\n"


def main():
    template = os.path.abspath(sys.argv[1])
    stamp_file = template + ".stamp"
    expected = stamp()
    if os.path.isdir(template) and os.path.exists(stamp_file):
        with open(stamp_file) as f:
            if f.read() == expected:
                print(f"template prefix {template} is up to date")
                return 0

    building = template + ".new"
    shutil.rmtree(building, ignore_errors=True)
    os.makedirs(os.path.dirname(template), exist_ok=True)
    xvfb, display = harness.start_xvfb(template + ".xvfb.log")
    wm = harness.start_window_manager(display, template + ".openbox.log")
    env = dict(os.environ, WINEPREFIX=building, DISPLAY=display, WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
    try:
        subprocess.run(["wineboot", "-i"], env=env, check=True, timeout=600, stdin=subprocess.DEVNULL)
        # wineboot can return while the new prefix is still being set up, and a "reg add" then
        # now and then fails (seen once in a few dozen builds): the set-up is waited for, and
        # each value is tried a few times.
        subprocess.run(["wineserver", "-w"], env=env, check=True, timeout=600)
        for key, value, kind, data in REGISTRY:
            for attempt in range(3):
                added = subprocess.run(["wine", "reg", "add", key, "/v", value, "/t", kind, "/d", data, "/f"],
                                       env=env, timeout=120, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
                if added.returncode == 0:
                    break
                print(f"reg add {key} {value} failed ({added.returncode}), attempt {attempt + 1}", flush=True)
                time.sleep(1)
            else:
                raise RuntimeError(f"could not set {key} {value} in the new prefix")
        if os.path.isdir(WINE_FONTS):
            fonts = os.path.join(building, "drive_c", "windows", "Fonts")
            for name in os.listdir(WINE_FONTS):
                if name.lower().endswith(".ttf"):
                    shutil.copy2(os.path.join(WINE_FONTS, name), fonts)
        # The registry reaches its files when the prefix's server ends.
        subprocess.run(["wineserver", "-w"], env=env, check=True, timeout=120)
    finally:
        subprocess.run(["wineserver", "-k"], env=env, stderr=subprocess.DEVNULL)
        harness.stop_process(wm)
        harness.stop_process(xvfb)

    shutil.rmtree(template, ignore_errors=True)
    os.rename(building, template)
    with open(stamp_file, "w") as f:
        f.write(expected)
    print(f"made template prefix {template}")
    return 0


if __name__ == "__main__":
    sys.exit(main())

"""Helpers for the end-to-end tests: throwaway Wine prefixes cloned from the
build's template, the real quellix.exe installed into them, the window driver,
the registry and screenshots. Nothing here leaves the machine."""

import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

SOURCE_DIR = os.environ.get("QUELLIX_SOURCE_DIR", os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..")))
BINARY_DIR = os.environ.get("QUELLIX_BINARY_DIR", os.path.join(SOURCE_DIR, "build", "x86_64"))
TEMPLATE = os.environ.get("QUELLIX_TEMPLATE_PREFIX", os.path.join(BINARY_DIR, "wine", "template"))
EXE = os.environ.get("QUELLIX_EXE", os.path.join(BINARY_DIR, "quellix.exe"))
EXE32 = os.environ.get("QUELLIX_EXE32", "")
DRIVER = os.environ.get("QUELLIX_DRIVER", os.path.join(BINARY_DIR, "tests", "qx_driver.exe"))
SCRIPTS = os.path.join(SOURCE_DIR, "scripts")
WINE64 = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"
DELIVERED = os.path.join(SOURCE_DIR, "delivered")
SCREENSHOTS = os.path.join(BINARY_DIR, "screenshots")

GWX_EXECUTABLES = ["GWX.exe", "GWXUX.exe", "GWXConfigManager.exe", "GWXDetector.exe", "GWXUXWorker.exe"]


def i386_runs():
    """True when this machine can run the 32-bit Wine loader (natively or via
    qemu-user registered with binfmt_misc)."""
    try:
        r = subprocess.run(["/usr/lib/wine/wine", "--version"], capture_output=True, timeout=60)
        return r.returncode == 0
    except (OSError, subprocess.TimeoutExpired):
        return False


class Prefix:
    """A throwaway copy of the template prefix, removed by close()."""

    def __init__(self, name):
        self.root = os.path.join(BINARY_DIR, "e2e", name)
        subprocess.run([os.path.join(SCRIPTS, "clone-prefix.sh"), TEMPLATE, self.root], check=True)
        self.env = dict(os.environ, WINEPREFIX=self.root, WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        self.drive_c = os.path.join(self.root, "drive_c")
        self.windows = os.path.join(self.drive_c, "windows")
        self.app_dir = os.path.join(self.drive_c, "Quellix")
        self.app_win = "C:\\Quellix\\"

    # --- paths -------------------------------------------------------------
    def system32(self, *parts):
        return os.path.join(self.windows, "system32", *parts)

    def syswow64(self, *parts):
        return os.path.join(self.windows, "syswow64", *parts)

    def app(self, *parts):
        return os.path.join(self.app_dir, *parts)

    def read_app_file(self, name, default=None):
        p = self.app(name)
        if not os.path.exists(p):
            return default
        with open(p, "rb") as f:
            return f.read()

    # --- installing and running --------------------------------------------
    def install(self, exe=EXE, with_batch=True, with_readme=True):
        os.makedirs(self.app_dir, exist_ok=True)
        shutil.copy(exe, self.app("quellix.exe"))
        if with_batch:
            shutil.copy(os.path.join(DELIVERED, "stop-gwx-from-startup.bat"), self.app_dir)
        if with_readme:
            shutil.copy(os.path.join(DELIVERED, "readme.txt"), self.app_dir)

    def wine(self, args, timeout=120, **kw):
        return run_captured([WINE64] + args, env=self.env, timeout=timeout, **kw)

    def run_exe(self, args=(), timeout=180, exe="C:\\Quellix\\quellix.exe"):
        start = time.monotonic()
        r = run_captured([WINE64, exe] + list(args), env=self.env, timeout=timeout, cwd=self.app_dir)
        return r.returncode, time.monotonic() - start

    def start_exe(self, args=(), exe="C:\\Quellix\\quellix.exe"):
        return subprocess.Popen([WINE64, exe] + list(args), env=self.env, cwd=self.app_dir,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def driver(self, *args, timeout=60):
        r = run_captured([WINE64, DRIVER] + [str(a) for a in args], env=self.env, timeout=timeout)
        return r.returncode, r.stdout.decode("latin-1")

    def controls(self, caption="Quellix 3.3"):
        """Every child window: dict text -> list of records."""
        rc, out = self.driver("controls", caption)
        result = []
        for line in out.splitlines():
            vis, x, y, w, h, px, py, cls, text = line.rstrip("\r").split("|", 8)
            result.append(dict(visible=vis == "visible", x=int(x), y=int(y), w=int(w), h=int(h),
                               left=int(px), top=int(py), cls=cls, text=text))
        return result

    def client_rect(self, caption="Quellix 3.3"):
        """The window's client area on the screen: (left, top, width, height)."""
        rc, out = self.driver("client", caption)
        if rc != 0:
            return None
        return tuple(int(v) for v in out.split())

    def screenshot_window(self, name, caption="Quellix 3.3"):
        """Saves the window's client area as build/screenshots/NAME.png."""
        left, top, width, height = self.client_rect(caption)
        os.makedirs(SCREENSHOTS, exist_ok=True)
        path = os.path.join(SCREENSHOTS, name + ".png")
        subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (width, height, left, top),
                        "+repage", path], env=self.env, capture_output=True, timeout=60)
        return path

    def record_browser(self):
        """Makes Wine's browser launcher write each address it is given to a
        file instead of starting a browser; returns that file's path."""
        log = os.path.join(self.root, "opened-urls.txt")
        script = os.path.join(self.root, "record-url.sh")
        with open(script, "w") as f:
            f.write('#!/bin/sh\nprintf "%%s\\n" "$1" >> "%s"\n' % log)
        os.chmod(script, 0o755)
        self.reg("add", "HKCU\\Software\\Wine\\WineBrowser", "/v", "Browsers", "/d", script, "/f")
        return log

    def reg(self, *args):
        r = self.wine(["reg"] + list(args))
        return r.returncode, r.stdout.decode("latin-1")

    def wait_server(self):
        subprocess.run([WINESERVER, "-w"], env=self.env, timeout=300)

    def close(self, remove=True):
        subprocess.run([WINESERVER, "-k"], env=self.env, capture_output=True)
        if remove:
            shutil.rmtree(self.root, ignore_errors=True)

    # --- a simulated GWX installation --------------------------------------
    def seed_gwx(self, system="system32", tasks=("refreshgwxconfig-B", "launchtrayprocess"),
                 subfolder_tasks=("refreshgwxconfigandcontent",), with_folder=True):
        base = os.path.join(self.windows, system)
        if with_folder:
            gwx = os.path.join(base, "GWX")
            os.makedirs(gwx, exist_ok=True)
            for name in GWX_EXECUTABLES:
                with open(os.path.join(gwx, name), "wb") as f:
                    f.write(b"MZ dummy " + name.encode())
        task_dir = os.path.join(base, "Tasks", "Microsoft", "Windows", "Setup", "GWXTriggers")
        os.makedirs(task_dir, exist_ok=True)
        for t in tasks:
            with open(os.path.join(task_dir, t), "w") as f:
                f.write("<Task/>")
        if subfolder_tasks:
            os.makedirs(os.path.join(task_dir, "Sub"), exist_ok=True)
            for t in subfolder_tasks:
                with open(os.path.join(task_dir, "Sub", t), "w") as f:
                    f.write("<Task/>")
        return base


def run_captured(cmd, timeout, **kw):
    """subprocess.run with the output in temporary files rather than pipes:
    Wine's helper processes (wineserver, explorer) inherit the output handles
    and would hold a pipe open long after the program ended."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        r = subprocess.run(cmd, stdout=out, stderr=err, timeout=timeout, **kw)
        out.seek(0)
        err.seek(0)
        r.stdout, r.stderr = out.read(), err.read()
        return r


def screenshot(name):
    """Saves the whole virtual screen as build/screenshots/NAME.png."""
    os.makedirs(SCREENSHOTS, exist_ok=True)
    path = os.path.join(SCREENSHOTS, name + ".png")
    subprocess.run(["import", "-window", "root", path], capture_output=True, timeout=60)
    return path


def grab_pixels(left, top, width, height, display=None):
    """The screen's pixels in a rectangle: a list of rows of (r, g, b)."""
    env = dict(os.environ)
    if display:
        env["DISPLAY"] = display
    r = subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (width, height, left, top),
                        "+repage", "-depth", "8", "ppm:-"], env=env, capture_output=True, timeout=60)
    data = r.stdout
    # P6 header: magic, width, height, maxval, each followed by whitespace.
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    pos += 1
    w, h = int(fields[1]), int(fields[2])
    pixels = data[pos:pos + w * h * 3]
    return [[tuple(pixels[(y * w + x) * 3:(y * w + x) * 3 + 3]) for x in range(w)] for y in range(h)]


def wait_until(predicate, timeout=30.0, step=0.1):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        value = predicate()
        if value:
            return value
        time.sleep(step)
    return predicate()


def main():
    """Runs the calling module's tests; exit 77 (skipped) when every test was
    skipped, so that ctest reports the skip."""
    result = unittest.main(module="__main__", exit=False, verbosity=2).result
    if result.wasSuccessful() and result.testsRun and len(result.skipped) == result.testsRun:
        sys.exit(77)
    sys.exit(0 if result.wasSuccessful() else 1)

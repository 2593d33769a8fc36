"""Helpers for the end-to-end tests: throwaway Wine prefixes cloned from the
build's template, the real quellix.exe installed into them, the window driver,
the registry and screenshots. Nothing here leaves the machine."""

import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import unittest

SOURCE_DIR = os.environ.get("QUELLIX_SOURCE_DIR", os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..")))
BINARY_DIR = os.environ.get("QUELLIX_BINARY_DIR", os.path.join(SOURCE_DIR, "build", "x86_64"))
TEMPLATE = os.environ.get("QUELLIX_TEMPLATE_PREFIX", os.path.join(BINARY_DIR, "wine", "template"))
TEMPLATE32 = os.environ.get("QUELLIX_TEMPLATE_PREFIX32", os.path.join(BINARY_DIR, "wine", "template32"))
EXE = os.environ.get("QUELLIX_EXE", os.path.join(BINARY_DIR, "quellix.exe"))
EXE32 = os.environ.get("QUELLIX_EXE32", "")
DRIVER = os.environ.get("QUELLIX_DRIVER", os.path.join(BINARY_DIR, "tests", "qx_driver.exe"))
DRIVER32 = os.environ.get("QUELLIX_DRIVER32", os.path.join(BINARY_DIR, "tests", "qx_driver32.exe"))
SCRIPTS = os.path.join(SOURCE_DIR, "scripts")
WINE64 = "/usr/lib/wine/wine64"
WINE32 = "/usr/lib/wine/wine"
WINESERVER = "/usr/lib/wine/wineserver"
DELIVERED = os.path.join(BINARY_DIR, "delivered")  # the files beside the exe, as the build writes them
SCREENSHOTS = os.path.join(BINARY_DIR, "screenshots")



def cached(binary_dir, name):
    """A value of a build folder's CMake cache."""
    with open(os.path.join(binary_dir, "CMakeCache.txt")) as f:
        for line in f:
            key, _, value = line.partition("=")
            if key.split(":")[0] == name:
                return value.strip()
    raise KeyError("%s is not in %s's cache" % (name, binary_dir))


# The version, as project() gives it to the build: the window's caption and
# the release's file names carry it.
VERSION = cached(BINARY_DIR, "CMAKE_PROJECT_VERSION")
CAPTION = "Quellix " + VERSION

GWX_EXECUTABLES = ["GWX.exe", "GWXUX.exe", "GWXConfigManager.exe", "GWXDetector.exe", "GWXUXWorker.exe"]

sys.path.insert(0, SCRIPTS)
import i386_mode  # noqa: E402


def i386_runs():
    """True when this machine can run the 32-bit Wine loader (natively or via
    qemu-user registered with binfmt_misc)."""
    return i386_mode.mode() != "none"


class Kind:
    """A kind of test prefix: its template, Wine loader and window driver, and
    the registry views its reg.exe can be asked for."""

    def __init__(self, name, template, loader, driver, views):
        self.name, self.template, self.loader, self.driver = name, template, loader, driver
        self.views = views

    def view(self, bits):
        """reg.exe's flags for the 32- or 64-bit registry view. A 32-bit-only
        system has one view, as the program sees it there."""
        return ["/reg:%d" % bits] if self.views else []


WIN64 = Kind("win64", TEMPLATE, WINE64, DRIVER, views=True)
WIN32 = Kind("win32", TEMPLATE32, WINE32, DRIVER32, views=False)


class Target:
    """One exe in one kind of prefix: the test build under wine64, the
    shipped i686 exe as a WoW64 process, or on a 32-bit-only system."""

    def __init__(self, name, kind, exe, native_system, default_view):
        self.name, self.kind, self.exe = name, kind, exe
        # The system folder as the exe names it in its logs.
        self.native_system = "C:\\windows\\" + native_system + "\\"
        self.default_view = default_view  # the view its plain registry opens use

    def unavailable(self):
        """Why this target cannot run on this machine, or None."""
        if self.exe != EXE and not (self.exe and os.path.exists(self.exe)):
            return "the i686 quellix.exe was not built (%s)" % (self.exe or "QUELLIX_EXE32 unset")
        if self.name == "x64":
            return None
        mode = i386_mode.mode()
        if mode == "none":
            return "32-bit programs cannot run on this machine (no i386 support, no qemu-user binfmt)"
        if self.kind is WIN32 and mode != "native":
            return "32-bit code runs here only through qemu-user, where a 32-bit-only prefix is not dependable"
        return None

    def suffix(self):
        """Appended to names of prefixes and screenshots, so that runs side by side stay apart."""
        return "" if self.name == "x64" else "-" + self.name


TARGETS = {
    "x64": Target("x64", WIN64, EXE, "SYSTEM32", 64),
    "wow64": Target("wow64", WIN64, EXE32, "SYSNATIVE", 32),
    "win32": Target("win32", WIN32, EXE32, "SYSTEM32", 32),
}
ALL = tuple(TARGETS)
# The run this process does; ctest starts each shared scenario file once per target.
TARGET = TARGETS[os.environ.get("QUELLIX_TARGET", "x64")]


class Prefix:
    """A throwaway copy of a template prefix, removed by close()."""

    def __init__(self, name, kind=None):
        self.kind = kind or TARGET.kind
        self.root = os.path.join(BINARY_DIR, "e2e", name + TARGET.suffix())
        subprocess.run([os.path.join(SCRIPTS, "clone-prefix.sh"), self.kind.template, self.root, self.kind.name],
                       check=True)
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
    def install(self, exe=None, with_batch=True, with_readme=True):
        os.makedirs(self.app_dir, exist_ok=True)
        shutil.copy(exe or TARGET.exe, self.app("quellix.exe"))
        if with_batch:
            shutil.copy(os.path.join(DELIVERED, "stop-gwx-from-startup.bat"), self.app_dir)
        if with_readme:
            shutil.copy(os.path.join(DELIVERED, "readme.txt"), self.app_dir)

    def strip_debug(self, name):
        """Drops the debug information of an installed exe, as the shipped one
        has none: the benchmarks time what users start."""
        subprocess.run(["x86_64-w64-mingw32-strip", "--strip-debug", self.app(name)], check=True)

    def wine(self, args, timeout=120, **kw):
        return run_captured([self.kind.loader] + args, env=self.env, timeout=timeout, **kw)

    def run_exe(self, args=(), timeout=180, exe="C:\\Quellix\\quellix.exe"):
        start = time.monotonic()
        r = run_captured([self.kind.loader, exe] + list(args), env=self.env, timeout=timeout, cwd=self.app_dir)
        return r.returncode, time.monotonic() - start

    def start_exe(self, args=(), exe="C:\\Quellix\\quellix.exe"):
        return subprocess.Popen([self.kind.loader, exe] + list(args), env=self.env, cwd=self.app_dir,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def driver(self, *args, timeout=60):
        r = run_captured([self.kind.loader, self.kind.driver] + [str(a) for a in args], env=self.env, timeout=timeout)
        return r.returncode, r.stdout.decode("latin-1")

    def controls(self, caption=CAPTION):
        """Every child window: dict text -> list of records."""
        rc, out = self.driver("controls", caption)
        result = []
        for line in out.splitlines():
            vis, x, y, w, h, px, py, cls, text = line.rstrip("\r").split("|", 8)
            result.append(dict(visible=vis == "visible", x=int(x), y=int(y), w=int(w), h=int(h),
                               left=int(px), top=int(py), cls=cls, text=text))
        return result

    def client_rect(self, caption=CAPTION):
        """The window's client area on the screen: (left, top, width, height)."""
        rc, out = self.driver("client", caption)
        if rc != 0:
            return None
        return tuple(int(v) for v in out.split())

    def click_at(self, x, y, caption=CAPTION):
        """A real mouse click through the X server at client point X, Y of the
        window, as a user's hand makes it."""
        left, top, _, _ = self.client_rect(caption)
        subprocess.run(["xdotool", "mousemove", str(left + x), str(top + y), "click", "1"],
                       env=self.env, check=True, capture_output=True, timeout=30)

    def screenshot_window(self, name, caption=CAPTION):
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

    def reg_value(self, key, name, *flags):
        """The data text of one value as `reg query` prints it, or None."""
        rc, out = self.reg("query", key, "/v", name, *flags)
        if rc != 0:
            return None
        for line in out.splitlines():
            parts = line.strip().split(None, 2)
            if len(parts) >= 2 and parts[0].lower() == name.lower() and parts[1].startswith("REG_"):
                return parts[2] if len(parts) == 3 else ""
        return None

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


class PrivateScreen:
    """A virtual X screen of its own, for tests that click with the real
    mouse: on the shared screen a window of a test running alongside could
    lie where the click lands."""

    def __init__(self):
        read, write = os.pipe()
        self.proc = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24",
                                      "-nolisten", "tcp"], pass_fds=(write,),
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read) as f:
            self.display = ":" + f.readline().strip()

    def close(self):
        self.proc.kill()
        self.proc.wait()


def run_captured(cmd, timeout, **kw):
    """subprocess.run with the output in temporary files rather than pipes:
    Wine's helper processes (wineserver, explorer) inherit the output handles
    and would hold a pipe open long after the program ended.
    The wait blocks until the process ends, and a timer kills it at the
    time-out: Popen.wait with a time-out polls, in steps of up to 50 ms, which
    the benchmarks would count as the program's time."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        proc = subprocess.Popen(cmd, stdout=out, stderr=err, **kw)
        expired = threading.Event()

        def kill():
            expired.set()
            proc.kill()

        timer = threading.Timer(timeout, kill)
        timer.daemon = True
        timer.start()
        try:
            returncode = proc.wait()
        finally:
            timer.cancel()
        if expired.is_set():
            raise subprocess.TimeoutExpired(cmd, timeout)
        out.seek(0)
        err.seek(0)
        return subprocess.CompletedProcess(cmd, returncode, out.read(), err.read())


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


class Selected(unittest.TestLoader):
    """Loads the classes that run in this process's target: those whose
    TARGETS name it (only "x64" when they name none)."""

    def loadTestsFromTestCase(self, case):
        if TARGET.name not in getattr(case, "TARGETS", ("x64",)):
            return self.suiteClass([])
        return super().loadTestsFromTestCase(case)


def main():
    """Runs the calling module's tests for this process's target; exit 77
    (skipped) when every test was skipped or the target cannot run here, so
    that ctest reports the skip."""
    reason = TARGET.unavailable()
    if reason:
        print("skipped: " + reason)
        sys.exit(77)
    result = unittest.main(module="__main__", exit=False, verbosity=2, testLoader=Selected()).result
    if result.wasSuccessful() and result.testsRun and len(result.skipped) == result.testsRun:
        sys.exit(77)
    sys.exit(0 if result.wasSuccessful() else 1)

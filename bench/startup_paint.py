"""Start-up speed: from process start to the main window's first complete
paint, quellix.exe against a minimal Win32 program that opens one window of
the same size, in one run under the same Wine prefix; with quellix.exe's
start-up phases from the marks it writes when asked to (and the yardstick's).
Both run without debug information, as shipped."""

import os
import re
import shutil
import sys

import quellixtest as qt

RUNS = int(os.environ.get("QUELLIX_BENCH_RUNS", "15"))
GOAL = 1.3
BENCH_DIR = os.environ.get("QUELLIX_BENCH_DIR", os.path.join(qt.BINARY_DIR, "bench"))
LAUNCHER = os.path.join(qt.BINARY_DIR, "bench", "bench_startup_launcher.exe")
MINIMAL = os.path.join(BENCH_DIR, "bench_startup_minimal.exe")


def main():
    for exe in (LAUNCHER, MINIMAL, qt.EXE):
        if not os.path.exists(exe):
            print("%s was not built" % exe)
            return 1
    p = qt.Prefix("bench-startup")
    try:
        p.install()
        shutil.copy(MINIMAL, p.app("minimal.exe"))
        for name in ("quellix.exe", "minimal.exe"):
            p.strip_debug(name)
        p.env["QUELLIX_STARTUP_MARKS"] = "C:\\Quellix\\startup-marks.txt"
        r = p.wine([LAUNCHER, str(RUNS), "C:\\Quellix\\quellix.exe", qt.CAPTION,
                    "C:\\Quellix\\minimal.exe", "Minimal 511x561"], timeout=1800)
        out = r.stdout.decode("latin-1").replace("\r\n", "\n")
        sys.stdout.write(out)
        m = re.search(r"^ratio .* = ([0-9.]+)$", out, re.M)
        if m:
            print("RATIO first paint / bare window: %s (goal <= %.2f)" % (m.group(1), GOAL))
        return r.returncode
    finally:
        p.close()


if __name__ == "__main__":
    sys.exit(main())

"""Start-up speed: from process start to the main window's first complete
paint, quellix.exe against a minimal Win32 program that opens one window of
the same size, in one run under the same Wine prefix."""

import os
import shutil
import sys

import quellixtest as qt

RUNS = 15
LAUNCHER = os.path.join(qt.BINARY_DIR, "bench", "bench_startup_launcher.exe")
MINIMAL = os.path.join(qt.BINARY_DIR, "bench", "bench_startup_minimal.exe")


def main():
    for exe in (LAUNCHER, MINIMAL, qt.EXE):
        if not os.path.exists(exe):
            print("%s was not built" % exe)
            return 1
    p = qt.Prefix("bench-startup")
    try:
        p.install()
        shutil.copy(MINIMAL, p.app("minimal.exe"))
        r = p.wine([LAUNCHER, str(RUNS), "C:\\Quellix\\quellix.exe", "Quellix 3.3",
                    "C:\\Quellix\\minimal.exe", "Minimal 511x561"], timeout=1800)
        sys.stdout.write(r.stdout.decode("latin-1").replace("\r\n", "\n"))
        return r.returncode
    finally:
        p.close()


if __name__ == "__main__":
    sys.exit(main())

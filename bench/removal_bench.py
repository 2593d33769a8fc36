"""The removal engine's benchmarks, each in a fresh prefix: DeleteTree against
"cmd /c rd /s /q" on identical trees, and how soon RunAndWait returns after the
process it started has ended."""

import os
import sys

import quellixtest as qt

BENCHES = ("bench_removal_tree.exe", "bench_removal_wait.exe")


def main():
    status = 0
    p = qt.Prefix("bench-removal")
    try:
        for name in BENCHES:
            exe = os.path.join(qt.BINARY_DIR, "bench", name)
            if not os.path.exists(exe):
                print("%s was not built" % exe)
                status = 1
                continue
            r = p.wine([exe], timeout=900)
            print("-- %s (exit %d)" % (name, r.returncode))
            sys.stdout.write(r.stdout.decode("latin-1").replace("\r\n", "\n"))
            status = status or r.returncode
    finally:
        p.close()
    return status


if __name__ == "__main__":
    sys.exit(main())

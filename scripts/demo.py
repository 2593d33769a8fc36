"""Runs quellix.exe /auto on a simulated GWX installation and shows what it did.

  demo.py [--with-i686]

The shipped i686 exe runs too where 32-bit code runs natively; through
qemu-user it takes a quarter of an hour, so there only with --with-i686."""

import argparse
import os
import subprocess
import sys
import time

import quellixtest as qt


def show(title, data):
    print("---- %s ----" % title)
    if data is None:
        print("(none)")
    else:
        print(data.decode("latin-1") if isinstance(data, bytes) else data)


def gwx_state(p, system):
    base = os.path.join(p.windows, system)
    return {name: os.path.isdir(os.path.join(base, name)) for name in ("GWX", "GWX-", "GWX--")}


def demo(exe, name, system):
    print("==== %s in a throwaway prefix: %s ====" % (os.path.basename(exe), name))
    p = qt.Prefix(name)
    try:
        p.install(exe=exe)
        p.seed_gwx(system=system)
        os.makedirs(os.path.join(p.windows, system, "GWX-"), exist_ok=True)
        with open(os.path.join(p.windows, system, "GWX-", "left-over.dll"), "w") as f:
            f.write("from an earlier pass")
        show("GWX before (%s)" % system, gwx_state(p, system))
        rc, seconds = p.run_exe(["/auto"], timeout=300)
        print("quellix.exe /auto exited with %d after %.1f s" % (rc, seconds))
        show("GWX after (%s)" % system, gwx_state(p, system))
        show("disable-triggers.cmd", p.read_app_file("disable-triggers.cmd"))
        show("log.txt", p.read_app_file("log.txt"))
        show("log2.txt", p.read_app_file("log2.txt"))
        proc = p.start_exe()
        if p.driver("wait", qt.CAPTION, 60000)[0] == 0:
            time.sleep(2)  # let the first paint finish
            print("screenshot:", qt.screenshot("demo-" + name))
        p.driver("close", qt.CAPTION)
        proc.wait(timeout=60)
        return rc
    finally:
        p.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--with-i686", action="store_true",
                        help="run the shipped i686 exe also where 32-bit code runs only through qemu-user")
    args = parser.parse_args()
    try:
        rc = demo(qt.EXE, "demo64-test-build", "system32")
        exe32 = os.path.join(qt.SOURCE_DIR, "build", "i686", "quellix.exe")
        mode = qt.i386_mode.mode()
        if mode == "none":
            print("NOTE: 32-bit programs cannot run here; the i686 run is skipped.")
        elif mode == "qemu" and not args.with_i686:
            print("NOTE: 32-bit programs run here only through qemu-user, which takes about "
                  "15 minutes; the i686 run is skipped (--with-i686 runs it).")
        else:
            # The shipped program as a WoW64 process: GWX in the real system32.
            rc |= demo(exe32, "demo32-shipped-wow64", "system32")
        return rc
    except subprocess.TimeoutExpired as e:
        # Every command here goes through the Wine loader: name the program.
        what = " ".join(str(a) for a in e.cmd[1:]) if isinstance(e.cmd, list) else e.cmd
        print("demo: stopped, \"%s\" did not end within %d s" % (what, e.timeout), file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main())

"""The whole "/auto" pass on a simulated GWX installation, against running the
same batch file and command file directly with cmd.exe, in one run under the
same Wine. Reports what the program adds on top of the two scripts, and where
a pass's time goes, from the marks the program writes when asked to.
For comparison it also times a bare window program that starts the two
scripts the way the program does: started by a window program, each script
gets a console host of its own, which the direct run does without."""

import os
import shutil
import statistics
import time

import quellixtest as qt

MARKS = "C:\\Quellix\\marks.txt"

RUNS = int(os.environ.get("QUELLIX_BENCH_RUNS", "5"))
GOAL = 1.1
BENCH_DIR = os.environ.get("QUELLIX_BENCH_DIR", os.path.join(qt.BINARY_DIR, "bench"))
STARTER = os.path.join(BENCH_DIR, "bench_stop_scripts.exe")


def auto_pass(p, phases):
    p.seed_gwx()
    rc, seconds = p.run_exe(["/auto"], timeout=900)
    assert rc == 0, rc
    # Counters in units of 100 ns (Wine's performance counter); the rest of
    # the process's time is its start, its form and its exit.
    path = p.app("marks.txt")
    marks = [(n, int(c)) for n, c in (line.split() for line in open(path).read().splitlines() if line)]
    os.remove(path)
    for (_, before), (name, at) in zip(marks, marks[1:]):
        phases.setdefault(name, []).append((at - before) / 1e7)
    phases.setdefault("(start, form, exit)", []).append(seconds - (marks[-1][1] - marks[0][1]) / 1e7)
    # Keep the command file of this pass for the direct run, then undo the rename.
    os.rename(p.system32("GWX-"), p.system32("GWX"))
    return seconds


def scripts_directly(p):
    start = time.monotonic()
    for script, redirect in (("stop-gwx-from-startup.bat", ">log.txt"),
                             ("disable-triggers.cmd", ">>log.txt")):
        # The exit code is that of the script's last command (schtasks finds no
        # such task under Wine); the program does not look at it either.
        p.wine(["cmd", "/c", "C:\\Quellix\\" + script + " " + redirect], timeout=600, cwd=p.app_dir)
    return time.monotonic() - start


def scripts_started(p):
    start = time.monotonic()
    r = p.wine(["C:\\Quellix\\starter.exe"], timeout=600, cwd=p.app_dir)
    assert r.returncode == 0, r.returncode
    return time.monotonic() - start


def main():
    p = qt.Prefix("bench-stop")
    try:
        p.install()
        p.strip_debug("quellix.exe")  # as shipped
        shutil.copy(STARTER, p.app("starter.exe"))
        p.run_exe(["/auto"], timeout=900)  # warm Wine up once
        p.env["QUELLIX_STARTUP_MARKS"] = MARKS
        program, direct, started, phases = [], [], [], {}
        for _ in range(RUNS):
            program.append(auto_pass(p, phases))
            direct.append(scripts_directly(p))
            started.append(scripts_started(p))
        mp, md, ms = statistics.median(program), statistics.median(direct), statistics.median(started)
        print("quellix.exe /auto pass   median %.2f s (%s)" % (mp, ", ".join("%.2f" % x for x in program)))
        print("cmd.exe, the two scripts median %.2f s (%s)" % (md, ", ".join("%.2f" % x for x in direct)))
        print("a window program starting them median %.2f s (%s)" % (ms, ", ".join("%.2f" % x for x in started)))
        print("overhead of the program: %.2f s (ratio %.2f)" % (mp - md, mp / md))
        print("against the bare window program: %.2f s (ratio %.2f)" % (mp - ms, mp / ms))
        print("phases of a pass (medians; each ends at the mark named):")
        for name, seconds in phases.items():
            print("  %-28s %7.3f s" % (name, statistics.median(seconds)))
        print("RATIO /auto / its two scripts: %.2f (goal <= %.2f)" % (mp / md, GOAL))
        print("RATIO /auto / a window program starting them: %.2f "
              "(no goal: both give each script a console host)" % (mp / ms))
    finally:
        p.close()


if __name__ == "__main__":
    main()

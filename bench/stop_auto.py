"""The whole "/auto" pass on a simulated GWX installation, against running the
same batch file and command file directly with cmd.exe, in one run under the
same Wine. Reports what the program adds on top of the two scripts."""

import os
import statistics
import time

import quellixtest as qt

RUNS = int(os.environ.get("QUELLIX_BENCH_RUNS", "5"))
GOAL = 1.1


def auto_pass(p):
    p.seed_gwx()
    rc, seconds = p.run_exe(["/auto"], timeout=900)
    assert rc == 0, rc
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


def main():
    p = qt.Prefix("bench-stop")
    try:
        p.install()
        p.run_exe(["/auto"], timeout=900)  # warm Wine up once
        program, direct = [], []
        for _ in range(RUNS):
            program.append(auto_pass(p))
            direct.append(scripts_directly(p))
        mp, md = statistics.median(program), statistics.median(direct)
        print("quellix.exe /auto pass   median %.2f s (%s)" % (mp, ", ".join("%.2f" % x for x in program)))
        print("cmd.exe, the two scripts median %.2f s (%s)" % (md, ", ".join("%.2f" % x for x in direct)))
        print("overhead of the program: %.2f s (ratio %.2f)" % (mp - md, mp / md))
        print("RATIO /auto / its two scripts: %.2f (goal <= %.2f)" % (mp / md, GOAL))
    finally:
        p.close()


if __name__ == "__main__":
    main()

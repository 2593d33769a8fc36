"""The whole "/postins" run of quellix.exe against a minimal program that
makes one WinINet POST to the same local HTTPS server, in one run under the
same Wine prefix. Reports what the program adds on top of the bare request.
Runs in a private network namespace where the machine allows one."""

import os
import shutil
import statistics
import sys
import time

import quellixtest as qt

sys.path.insert(0, os.path.join(qt.SOURCE_DIR, "tests", "reporting"))
import https_server as hs  # noqa: E402

RUNS = int(os.environ.get("QUELLIX_BENCH_RUNS", "7"))
TRUST = os.path.join(qt.BINARY_DIR, "tests", "qx_trust_ca.exe")
GOAL = 1.2
BENCH_DIR = os.environ.get("QUELLIX_BENCH_DIR", os.path.join(qt.BINARY_DIR, "bench"))
MINIMAL = os.path.join(BENCH_DIR, "bench_reporting_post.exe")


def timed(p, exe, args, peer):
    before = len(peer.recorded())
    start = time.monotonic()
    r = p.wine([exe] + args, timeout=300, cwd=p.app_dir)
    seconds = time.monotonic() - start
    assert r.returncode == 0, (exe, r.returncode)
    assert len(peer.recorded()) == before + 1, "each run posts exactly once"
    return seconds


def main():
    isolated = hs.isolate_network()
    work = os.path.join(qt.BINARY_DIR, "bench", "postins-peer")
    shutil.rmtree(work, ignore_errors=True)
    hs.make_certificates(work)
    peer = hs.Peer(work, isolated).start()
    p = qt.Prefix("bench-postins")
    try:
        p.install()
        shutil.copy(MINIMAL, p.app("minimal.exe"))
        assert p.wine([TRUST, hs.windows_path(os.path.join(work, "ca.der"))]).returncode == 0
        exe, minimal = "C:\\Quellix\\quellix.exe", "C:\\Quellix\\minimal.exe"
        timed(p, exe, ["/postins"], peer)  # warm Wine up once
        timed(p, minimal, [], peer)
        program, bare = [], []
        for _ in range(RUNS):
            program.append(timed(p, exe, ["/postins"], peer))
            bare.append(timed(p, minimal, [], peer))
        mp, mb = statistics.median(program), statistics.median(bare)
        print("network: %s" % ("private namespace" if isolated else "shared loopback"))
        print("quellix.exe /postins   median %.3f s (%s)" % (mp, ", ".join("%.3f" % x for x in program)))
        print("one bare WinINet POST  median %.3f s (%s)" % (mb, ", ".join("%.3f" % x for x in bare)))
        print("overhead of the program: %.3f s (ratio %.2f)" % (mp - mb, mp / mb))
        print("RATIO /postins / bare POST: %.2f (goal <= %.2f)" % (mp / mb, GOAL))
    finally:
        p.close()
        peer.stop()


if __name__ == "__main__":
    main()
